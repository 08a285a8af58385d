"""Pictures hidden in the low bits of another picture, and taken out again.

    import vornhold
    coded = vornhold.encode("photo.jpg", "secret.png")   # the coded picture's PNG bytes
    same = vornhold.encode("photo.jpg", "secret.png", form="classic")  # the programs' layouts
    pictures = vornhold.decode(coded)                     # {1: PNG bytes of the hidden picture}
    revealed = vornhold.reveal(coded)                     # its low bits made visible, as a PNG

A picture is given as a file's bytes (PNG, JPEG or BMP; bytes, bytearray or memoryview), as a
path (str or os.PathLike), or as a numpy array of uint8, height x width x 3 (RGB) or 4 (RGBA, the
alpha left out), the top row first. Pictures are read and coded exactly as the vorn command reads
and codes them, so the same inputs give the same bytes (a compact picture draws a fresh salt each
time, and opens to the same pictures).

What was done on the way (a hidden picture scaled into the carrier's frame, a transparency
dropped, how a compact picture stored each hidden picture, what a coded picture was taken to
hold) is warned as a vornhold.Note. A refusal raises
the vornhold.Error of its kind (UsageError, InputError, OutputError, MemoryError) with the text
vorn would print; a file that cannot be opened raises Python's own OSError.
"""

import os
import sys

from . import _kit
from ._kit import Error, InputError, MemoryError, Note, OutputError, UsageError, __version__, has_keyed

__all__ = ["encode", "decode", "reveal", "has_keyed", "Error", "UsageError", "InputError", "OutputError",
           "MemoryError", "Note", "__version__"]


def _file(picture, name):
    """The picture as (file bytes, the name that begins the kit's texts about it)."""
    if isinstance(picture, (str, os.PathLike)):
        path = os.fspath(picture)
        with open(path, "rb") as file:
            return file.read(), os.fsencode(path)
    if isinstance(picture, (bytes, bytearray, memoryview)):
        return picture, name
    numpy = sys.modules.get("numpy")  # an array's module is loaded already
    if numpy is not None and isinstance(picture, numpy.ndarray):
        return _kit.bmp_of_pixels(numpy.ascontiguousarray(picture), name), name
    raise TypeError(f"{name}: a picture is file bytes, a path or a numpy array, not {type(picture).__name__}")


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


def encode(carrier, hidden1=None, hidden2=None, *, build="vornhold2", fit="contain", password=None,
           format="png", form=None, carrier_bits=None):
    """Hides hidden1 and hidden2 (either may be None) in the carrier; returns the coded picture's
    file bytes, PNG or BMP as format says.

    form is "compact" (the default, as vorn's): each hidden picture at its own size, coded
    (lossless where it fits) and encrypted in the k lowest bits of every colour byte, k being
    carrier_bits (1 to 4) or, when None, the one that gives the best balance of the carrier's and
    the pictures' quality; how each picture was stored and what the carrier keeps is warned as a
    Note. Or "classic": the programs' layouts, the very bytes vorn encode --classic writes.

    Classic only: a hidden picture of another size than the carrier is scaled into its frame as
    fit says: "contain" (whole, centred, black bars), "cover" (filling it, cropped around the
    centre) or "stretch"; build is "vornhold2" or "vornhold", the bit order of hidden picture 2.
    A password (a str) encrypts and authenticates the hidden pictures: only it takes them out
    again. Without one a compact picture opens for anyone.
    """
    carrier_file, carrier_name = _file(carrier, "the carrier")
    hidden1_file, hidden1_name = (None, "") if hidden1 is None else _file(hidden1, "hidden picture 1")
    hidden2_file, hidden2_name = (None, "") if hidden2 is None else _file(hidden2, "hidden picture 2")
    return _kit.encode(carrier_file, carrier_name, hidden1_file, hidden1_name, hidden2_file, hidden2_name,
                       _word(build, "build"), _word(fit, "fit"), password, _word(format, "format"),
                       "" if form is None else _word(form, "form"), _carrier_bits(carrier_bits))


def decode(coded, *, hidden=None, build=None, password=None, raw=False, as_arrays=False):
    """Takes the hidden pictures out of a coded picture (PNG or BMP): a dict from 1 and 2 to each
    hidden picture it holds, as PNG file bytes, or as numpy arrays (height x width x 3 uint8)
    with as_arrays.

    Every form is read without being told which: a compact picture's pictures come back at their
    own sizes (hidden, build and raw do not apply to it), and one changed after it was coded is
    refused. For a classic picture, what it holds (hidden: 1, 2 or "both") and the build that wrote it are guessed from the
    picture unless given; the guess is warned as a Note. A keyed picture needs its password; a
    classic one given a password is taken out all the same, noted. Each picture is
    reconstructed, the dither's grain filtered out, unless raw asks for the stored levels at full
    range.
    """
    coded_file, name = _file(coded, "the coded picture")
    if isinstance(hidden, int) and not isinstance(hidden, bool):
        hidden = str(hidden)
    return _kit.decode(coded_file, name, None if hidden is None else _word(hidden, "hidden"),
                       None if build is None else _word(build, "build"), password, bool(raw), bool(as_arrays))


def reveal(picture, *, format="png"):
    """The picture with the low four bits of every colour byte moved to the top, which shows what
    hides there: its file bytes, PNG, BMP or (only to be looked at) JPEG as format says."""
    picture_file, name = _file(picture, "the picture")
    return _kit.reveal(picture_file, name, _word(format, "format"))
