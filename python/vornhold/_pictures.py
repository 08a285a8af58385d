"""Pictures between Python's forms and the kit's files: what a caller gives (file bytes, a path,
a numpy array, a Pillow image) as the file the kit reads, and a BMP file the kit wrote as a numpy
array. Marshalling only: every picture is read and written by the kit."""

import io
import os
import struct
import sys

from . import _kit

# Pillow's modes with more than 8 bits a channel: given to the kit as a 16-bit PNG, which it
# reads at full depth, where Pillow's own conversion to RGB would clip them.
_DEEP_MODES = {"I", "I;16", "I;16L", "I;16B", "I;16N"}
# Pillow's modes with an alpha channel, given as RGBA so that the kit drops it as it drops any.
_ALPHA_MODES = {"RGBA", "RGBa", "LA", "La", "PA"}


def file_of(picture, name):
    """The picture as (file bytes, the name that begins the kit's texts about it)."""
    if isinstance(picture, (str, os.PathLike)):
        path = os.fspath(picture)
        with open(path, "rb") as file:
            return file.read(), os.fsencode(path)
    if isinstance(picture, (bytes, bytearray, memoryview)):
        return picture, name
    # An array's or an image's module is loaded already: neither is imported for the others.
    numpy = sys.modules.get("numpy")
    if numpy is not None and isinstance(picture, numpy.ndarray):
        return _kit.bmp_of_pixels(numpy.ascontiguousarray(picture), name), name
    image = sys.modules.get("PIL.Image")
    if image is not None and isinstance(picture, image.Image):
        return _file_of_image(picture, name), name
    raise TypeError(f"{name}: a picture is file bytes, a path, a numpy array or a Pillow image, "
                    f"not {type(picture).__name__}")


def _file_of_image(image, name):
    if image.mode in _DEEP_MODES:
        png = io.BytesIO()
        image.save(png, "PNG")
        return png.getvalue()
    alpha = image.mode in _ALPHA_MODES or "transparency" in image.info
    rgb = image.convert("RGBA" if alpha else "RGB")
    if rgb.width == 0 or rgb.height == 0:  # no pixels to shape; the kit refuses the empty file
        return b""
    pixels = memoryview(rgb.tobytes()).cast("B", (rgb.height, rgb.width, len(rgb.mode)))
    return _kit.bmp_of_pixels(pixels, name)


def numpy_for(setting):
    """numpy, which `setting`=True needs; a clear ImportError where it is not installed."""
    try:
        import numpy
    except ImportError as missing:
        raise ImportError(f"{setting}=True gives numpy arrays, and numpy is not installed here "
                          "(pip install numpy, or Debian's python3-numpy)") from missing
    return numpy


def pixels_of_bmp(bmp, numpy):
    """The pixels of a BMP file the kit wrote (24 bits, rows bottom-up, each of blue, green, red
    bytes padded to 4 bytes) as a height x width x 3 uint8 array, RGB, the top row first."""
    raster, width, height, bits = struct.unpack_from("<I4xii2xH", bmp, 10)
    if bmp[:2] != b"BM" or bits != 24 or width < 0 or height < 0:
        raise ValueError("the kit wrote a BMP of another kind than 24-bit bottom-up")
    row = (width * 3 + 3) & ~3
    rows = numpy.frombuffer(bmp, numpy.uint8, row * height, raster).reshape(height, row)
    return numpy.ascontiguousarray(rows[::-1, :width * 3].reshape(height, width, 3)[:, :, ::-1])
