"""Makes the benchmark's three photographs: scikit-image's data set photographs cropped around
the centre to the wanted shape and scaled with Lanczos resampling to SIDE x SIDE (or WIDTH x
HEIGHT), each saved as PNG (Pillow's defaults), JPEG (quality 90) and 24-bit BMP. The same inputs
always give the same files.

    /usr/bin/python3 bench/photographs.py FOLDER [SIDE | WIDTHxHEIGHT]
"""
import sys
from pathlib import Path

from PIL import Image
from skimage import data

# The carrier and the two hidden pictures: photographs with fine detail, no large flat areas.
SOURCES = [("Main", data.astronaut), ("Hidden 1", data.coffee), ("Hidden 2", data.hubble_deep_field)]


def parse_size(text):
    """'4096' gives (4096, 4096); '1920x1080' gives (1920, 1080)."""
    width, _, height = text.lower().partition("x")
    return int(width), int(height or width)


def crop_to_shape(picture, width, height):
    """The largest part of picture around its centre with the shape width : height."""
    source_width, source_height = picture.size
    if source_width * height > source_height * width:
        crop_width, crop_height = source_height * width // height, source_height
    else:
        crop_width, crop_height = source_width, source_width * height // width
    left, top = (source_width - crop_width) // 2, (source_height - crop_height) // 2
    return picture.crop((left, top, left + crop_width, top + crop_height))


def photograph(load, width, height):
    picture = Image.fromarray(load()).convert("RGB")
    return crop_to_shape(picture, width, height).resize((width, height), Image.LANCZOS)


def make(folder, width, height):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    for name, load in SOURCES:
        picture = photograph(load, width, height)
        picture.save(folder / f"{name}.png")
        picture.save(folder / f"{name}.jpg", quality=90)
        picture.save(folder / f"{name}.bmp")


def main():
    width, height = parse_size(sys.argv[2]) if len(sys.argv) > 2 else (4096, 4096)
    make(sys.argv[1], width, height)


if __name__ == "__main__":
    main()
