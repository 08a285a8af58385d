"""Pictures as numpy arrays out of every call and Pillow images in: the same pixels as the files
the calls give and take."""

import io

import numpy
import pytest
from PIL import Image

import vornhold
from vornhold import _kit
from vornhold._pictures import pixels_of_bmp

pytestmark = pytest.mark.filterwarnings("ignore::vornhold.Note")


@pytest.mark.parametrize("height, width", [(1, 1), (3, 2), (2, 5), (4, 7)])
def test_a_bmp_of_the_kit_reads_back_as_the_array_it_was_made_of(height, width):
    # Widths 1, 2, 5 and 7 pad their rows with 1, 2, 1 and 3 bytes; rows and colours all differ.
    pixels = numpy.arange(height * width * 3, dtype=numpy.uint8).reshape(height, width, 3)
    assert numpy.array_equal(pixels_of_bmp(_kit.bmp_of_pixels(pixels, "the carrier"), numpy), pixels)


# Each row: a call on the pictures' folder with its settings; its file is a PNG.
CALLS = {
    "encode": lambda f, **settings: vornhold.encode(f / "plain24.bmp", f / "hidden.png", form="classic", **settings),
    "decode": lambda f, **settings: vornhold.decode(f / "hidden1_coded.bmp", **settings)[1],
    "reveal": lambda f, **settings: vornhold.reveal(f / "hidden1_coded.bmp", **settings),
}


@pytest.mark.parametrize("call", CALLS.values(), ids=CALLS.keys())
def test_an_array_holds_the_pixels_of_the_file_the_call_gives(call, pictures):
    array = call(pictures, as_array=True)
    expected = numpy.asarray(Image.open(io.BytesIO(call(pictures))).convert("RGB"))
    assert array.dtype == numpy.uint8 and array.flags.c_contiguous
    assert numpy.array_equal(array, expected)


# Each row: a Pillow image made from RGB pixels, and the pixels that code as it should.
OPAQUE = numpy.full((8, 16, 1), 255, numpy.uint8)
IMAGES = {
    "RGB": (Image.fromarray, lambda pixels: pixels),
    "RGBA": (lambda pixels: Image.fromarray(numpy.concatenate([pixels, OPAQUE], axis=2)),
             lambda pixels: numpy.concatenate([pixels, OPAQUE], axis=2)),
    "grey": (lambda pixels: Image.fromarray(pixels[:, :, 0]), lambda pixels: pixels[:, :, [0, 0, 0]]),
    "palette": (lambda pixels: Image.fromarray(pixels).quantize(5),
                lambda pixels: numpy.asarray(Image.fromarray(pixels).quantize(5).convert("RGB"))),
    # 16 bits a channel, read at full depth rather than clipped to white.
    "16-bit grey": (lambda pixels: Image.fromarray(pixels[:, :, 0].astype(numpy.uint16) * 257),
                    lambda pixels: pixels[:, :, [0, 0, 0]]),
}


@pytest.mark.parametrize("image, expected", IMAGES.values(), ids=IMAGES.keys())
def test_a_pillow_image_codes_as_its_pixels_do(image, expected, pictures):
    pixels = numpy.asarray(Image.open(pictures / "plain24.bmp").convert("RGB"))
    classic = {"form": "classic", "format": "bmp"}
    assert vornhold.encode(image(pixels), **classic) == vornhold.encode(expected(pixels), **classic)
