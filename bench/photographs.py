"""Makes the benchmark's three photographs: scikit-image's data set photographs cropped square
and scaled up with Lanczos resampling to SIDE x SIDE, each saved as PNG (Pillow's defaults),
JPEG (quality 90) and 24-bit BMP. The same inputs always give the same files.

    /usr/bin/python3 bench/photographs.py FOLDER [SIDE]
"""
import sys
from pathlib import Path

from PIL import Image
from skimage import data

# The carrier and the two hidden pictures: photographs with fine detail, no large flat areas.
SOURCES = [("Main", data.astronaut), ("Hidden 1", data.coffee), ("Hidden 2", data.hubble_deep_field)]


def square(picture):
    width, height = picture.size
    side = min(width, height)
    left, top = (width - side) // 2, (height - side) // 2
    return picture.crop((left, top, left + side, top + side))


def main():
    folder = Path(sys.argv[1])
    side = int(sys.argv[2]) if len(sys.argv) > 2 else 4096
    folder.mkdir(parents=True, exist_ok=True)
    for name, load in SOURCES:
        picture = square(Image.fromarray(load()).convert("RGB")).resize((side, side), Image.LANCZOS)
        picture.save(folder / f"{name}.png")
        picture.save(folder / f"{name}.jpg", quality=90)
        picture.save(folder / f"{name}.bmp")


if __name__ == "__main__":
    main()
