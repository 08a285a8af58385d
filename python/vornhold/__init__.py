"""Pictures hidden in the low bits of another picture, and taken out again.

    import vornhold
    coded = vornhold.encode("photo.jpg", "secret.png")    # the coded picture's PNG bytes
    pixels = vornhold.encode("photo.jpg", "secret.png", as_array=True)  # its pixels, with numpy
    pictures = vornhold.decode(coded)                      # {1: PNG bytes of the hidden picture}
    arrays = vornhold.decode(coded, as_array=True)         # {1: its pixels}
    revealed = vornhold.reveal(coded)                      # its low bits made visible, as a PNG

A picture is given as a file's bytes (PNG, JPEG or BMP; bytes, bytearray or memoryview), as a
path (str or os.PathLike), as a numpy array of uint8, height x width x 3 (RGB) or 4 (RGBA, the
alpha left out), the top row first, or as a Pillow image. Every call returns file bytes, or with
as_array=True numpy arrays of uint8, height x width x 3; numpy is needed for arrays alone.
Pictures are read and coded exactly as the vorn command reads and codes them, so the same inputs
give the same bytes (a compact picture draws a fresh salt each time, and opens to the same
pictures).

What was done on the way (a hidden picture scaled into the carrier's frame, a transparency
dropped, how a compact picture stored each hidden picture, what a coded picture was taken to
hold) is warned as a vornhold.Note. A refusal raises the vornhold.Error of its kind (UsageError,
InputError, OutputError, MemoryError) with the kit's text; a file that cannot be opened raises
Python's own OSError.
"""
from __future__ import annotations

import os
from typing import TYPE_CHECKING, Literal, Union, overload

from . import _kit
from ._kit import Error, InputError, MemoryError, Note, OutputError, UsageError, __version__, has_keyed
from ._pictures import file_of, numpy_for, pixels_of_bmp

if TYPE_CHECKING:
    import numpy
    import numpy.typing
    import PIL.Image

    Picture = Union[bytes, bytearray, memoryview, str, os.PathLike[str], os.PathLike[bytes],
                    numpy.typing.NDArray[numpy.uint8], PIL.Image.Image]
    Pixels = numpy.typing.NDArray[numpy.uint8]

__all__ = ["encode", "decode", "reveal", "has_keyed", "Error", "UsageError", "InputError", "OutputError",
           "MemoryError", "Note", "__version__"]



def _word(value, setting):
    if not isinstance(value, str):
        raise TypeError(f"{setting} is a str, not {type(value).__name__}")
    return value


def _carrier_bits(value):
    """carrier_bits as the kit takes it: 0 when not given, which leaves k to the kit's choice."""
    if value is None:
        return 0
    if not isinstance(value, int) or isinstance(value, bool) or value < 0:
        raise TypeError(f"carrier_bits is an int from 1 to 4 or None, not {value!r}")
    return value


@overload
def encode(carrier: Picture, hidden1: Picture | None = None, hidden2: Picture | None = None, *,
           build: str = ..., fit: str = ..., password: str | None = ..., format: str = ...,
           form: str | None = ..., carrier_bits: int | None = ..., as_array: Literal[False] = ...) -> bytes: ...
@overload
def encode(carrier: Picture, hidden1: Picture | None = None, hidden2: Picture | None = None, *,
           build: str = ..., fit: str = ..., password: str | None = ..., format: str = ...,
           form: str | None = ..., carrier_bits: int | None = ..., as_array: Literal[True]) -> Pixels: ...


def encode(carrier, hidden1=None, hidden2=None, *, build="vornhold2", fit="contain", password=None,
           format="png", form=None, carrier_bits=None, as_array=False):
    """Hides hidden1 and hidden2 (either may be None) in the carrier; returns the coded picture's
    file bytes, PNG or BMP as format says, or with as_array its pixels as a numpy array.

    form None (the default, as vorn's) is "stealth" where every hidden picture fits its budget bit
    for bit or at 42 dB or more, else "compact" with a Note that tests for hidden data would find
    the picture. "compact": each hidden picture at its own size, coded (lossless where it fits)
    and sealed in the k lowest bits of every colour byte (without a password under a key anyone
    can derive: scrambled, not secret), k being carrier_bits (1 to 4) or, when None, the one that
    gives the best balance of the carrier's and the pictures' quality;
    how each picture was stored and what the carrier keeps is warned as a Note. "stealth": the
    same container laid by changes of one in a few colour bytes where tests for hidden data do not
    see them, the pictures stored at the quality that fits (or scaled down). Or "classic": the
    programs' layouts, the very bytes the vorn command writes in its classic form.

    Classic only: a hidden picture of another size than the carrier is scaled into its frame as
    fit says: "contain" (whole, centred, black bars), "cover" (filling it, cropped around the
    centre) or "stretch"; build is "vornhold2" or "vornhold", the bit order of hidden picture 2.
    A password (a str) encrypts and authenticates the hidden pictures: only it takes them out
    again. Without one a compact picture opens for anyone.
    """
    numpy = numpy_for("as_array") if as_array else None
    carrier_file, carrier_name = file_of(carrier, "the carrier")
    hidden1_file, hidden1_name = (None, "") if hidden1 is None else file_of(hidden1, "hidden picture 1")
    hidden2_file, hidden2_name = (None, "") if hidden2 is None else file_of(hidden2, "hidden picture 2")
    coded = _kit.encode(carrier_file, carrier_name, hidden1_file, hidden1_name, hidden2_file, hidden2_name,
                        _word(build, "build"), _word(fit, "fit"), password,
                        "bmp" if as_array else _word(format, "format"),
                        "" if form is None else _word(form, "form"), _carrier_bits(carrier_bits))
    return pixels_of_bmp(coded, numpy) if as_array else coded


@overload
def decode(coded: Picture, *, hidden: int | str | None = ..., build: str | None = ..., password: str | None = ...,
           raw: bool = ..., as_array: Literal[False] = ...) -> dict[int, bytes]: ...
@overload
def decode(coded: Picture, *, hidden: int | str | None = ..., build: str | None = ..., password: str | None = ...,
           raw: bool = ..., as_array: Literal[True]) -> dict[int, Pixels]: ...


def decode(coded, *, hidden=None, build=None, password=None, raw=False, as_array=False, as_arrays=False):
    """Takes the hidden pictures out of a coded picture (PNG or BMP): a dict from 1 and 2 to each
    hidden picture it holds, as PNG file bytes, or with as_array as numpy arrays (height x width
    x 3 uint8). as_arrays, the setting's earlier name, is taken too.

    Every form is read without being told which: a compact picture's pictures come back at their
    own sizes (hidden, build and raw do not apply to it), and one changed after it was coded is
    refused. For a classic picture, what it holds (hidden: 1, 2 or "both") and the build that
    wrote it are guessed from the picture unless given; the guess is warned as a Note. A keyed
    picture needs its password; a classic one given a password is taken out all the same, noted.
    Each picture is reconstructed, the dither's grain filtered out, unless raw asks for the
    stored levels at full range.
    """
    arrays = bool(as_array or as_arrays)
    if arrays:
        numpy_for("as_array")
    coded_file, name = file_of(coded, "the coded picture")
    if isinstance(hidden, int) and not isinstance(hidden, bool):
        hidden = str(hidden)
    return _kit.decode(coded_file, name, None if hidden is None else _word(hidden, "hidden"),
                       None if build is None else _word(build, "build"), password, bool(raw), arrays)


@overload
def reveal(picture: Picture, *, format: str = ..., as_array: Literal[False] = ...) -> bytes: ...
@overload
def reveal(picture: Picture, *, format: str = ..., as_array: Literal[True]) -> Pixels: ...


def reveal(picture, *, format="png", as_array=False):
    """The picture with the low four bits of every colour byte moved to the top, which shows what
    hides there: its file bytes, PNG, BMP or (only to be looked at) JPEG as format says, or with
    as_array its pixels as a numpy array."""
    numpy = numpy_for("as_array") if as_array else None
    picture_file, name = file_of(picture, "the picture")
    revealed = _kit.reveal(picture_file, name, "bmp" if as_array else _word(format, "format"))
    return pixels_of_bmp(revealed, numpy) if as_array else revealed
