"""The module's face: every way of giving a picture, every output beside vorn's, the refusals
with their classes and texts, passwords, and notes."""

import builtins
import re
import struct
import subprocess
import sys
import warnings
import zlib

import numpy
import pytest
from PIL import Image

import vornhold
from conftest import VORN, run_vorn


def classic(*pictures, **settings):
    """vornhold.encode in the classic form, the programs' layouts, which these tests compare with vorn's."""
    return vornhold.encode(*pictures, form="classic", **settings)


def quiet(call):
    """The call's result, its notes ignored."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", vornhold.Note)
        return call()


# ---- Pictures given every way, and what the module writes beside vorn ---------------------------

FORMS = {
    "bytes": lambda path: path.read_bytes(),
    "bytearray": lambda path: bytearray(path.read_bytes()),
    "memoryview": lambda path: memoryview(path.read_bytes()),
    "str path": str,
    "PathLike": lambda path: path,
}


@pytest.mark.parametrize("form", FORMS.values(), ids=FORMS.keys())
def test_every_form_of_input_codes_and_decodes_as_vorn_does(form, pictures, tmp_path):
    run_vorn("encode", pictures / "plain24.bmp", "--hidden1", pictures / "hidden.png", "-o", tmp_path / "coded.png")
    run_vorn("decode", tmp_path / "coded.png", "-o", tmp_path)
    coded = classic(form(pictures / "plain24.bmp"), form(pictures / "hidden.png"))
    assert coded == (tmp_path / "coded.png").read_bytes()
    (tmp_path / "module.png").write_bytes(coded)
    taken = quiet(lambda: vornhold.decode(form(tmp_path / "module.png")))
    assert taken == {1: (tmp_path / "hidden-1.png").read_bytes()}


def test_arrays_in_and_out_are_the_pixels_of_the_files(pictures, tmp_path):
    coded = pictures / "hidden1_coded.bmp"
    width, height = struct.unpack("<ii", coded.read_bytes()[18:26])
    (tmp_path / "hidden.png").write_bytes(quiet(lambda: vornhold.decode(coded))[1])
    rgb = quiet(lambda: vornhold.decode(coded, as_arrays=True))[1]
    assert (rgb.shape, rgb.dtype) == ((height, width, 3), numpy.uint8)
    # The array holds the PNG's pixels when the kit reads both alike; any layout, alpha ignored.
    run_vorn("encode", tmp_path / "hidden.png", "-o", tmp_path / "coded.bmp")
    alpha = numpy.full((height, width, 1), 7, numpy.uint8)
    for array in (rgb, numpy.concatenate([rgb, alpha], axis=2), numpy.asfortranarray(rgb), rgb[::-1][::-1]):
        assert classic(array, format="bmp") == (tmp_path / "coded.bmp").read_bytes()


# Each row: the module's call on the pictures' folder, and vorn's arguments (run there) writing
# OUT, or OUT/hidden-1.png for a decode, from the same inputs.
OUTPUTS = {
    "build vornhold, picture 2 alone": (
        lambda f: classic(f / "plain24.bmp", None, f / "hidden.png", build="vornhold", format="BMP"),
        ["encode", "--classic", "plain24.bmp", "--hidden2", "hidden.png", "--build", "vornhold", "-o", "OUT.bmp"]),
    "reveal to PNG": (lambda f: vornhold.reveal(f / "hidden1_coded.bmp"),
                      ["reveal", "hidden1_coded.bmp", "-o", "OUT.png"]),
    "reveal to BMP": (lambda f: vornhold.reveal(f / "hidden1_coded.bmp", format="bmp"),
                      ["reveal", "hidden1_coded.bmp", "-o", "OUT.bmp"]),
    "reveal to JPEG": (lambda f: vornhold.reveal(f / "hidden1_coded.bmp", format="jpg"),
                       ["reveal", "hidden1_coded.bmp", "-o", "OUT.jpg"]),
    "decode raw": (lambda f: quiet(lambda: vornhold.decode(f / "hidden1_coded.bmp", raw=True))[1],
                   ["decode", "hidden1_coded.bmp", "--raw", "-o", "OUT"]),
}


@pytest.mark.parametrize("call, args", OUTPUTS.values(), ids=OUTPUTS.keys())
def test_the_module_writes_what_vorn_writes(call, args, pictures, tmp_path):
    out = tmp_path / args[-1]
    run = subprocess.run([VORN, *args[:-1], out], cwd=pictures, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert call(pictures) == (out / "hidden-1.png" if args[0] == "decode" else out).read_bytes()


# ---- Refusals -----------------------------------------------------------------------------------

def png_declaring(width, height):
    """A PNG whose header declares width x height RGB pixels, padded to the least such a picture
    compresses to, so that only its size can refuse it."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    padding = bytes(width * height * 3 // 1032)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"paDd", padding) +
            chunk(b"IDAT", zlib.compress(b"")) + chunk(b"IEND", b""))


# Each row: the call on the pictures' folder, the class it raises and its exact text (None:
# Python's own). The policy table holds more, compared with vorn's texts.
REFUSALS = {
    "not a picture": (lambda f: classic(b"GIF89a"), vornhold.InputError,
                      "the carrier: a GIF picture, which vorn does not read; convert it to PNG first"),
    "too many pixels": (lambda f: vornhold.reveal(png_declaring(20000, 20000)), vornhold.InputError,
                        "the picture: the picture is 20000x20000 pixels (400 million), more than the 269 million "
                        "allowed"),
    "an unknown build": (lambda f: classic(f / "plain24.bmp", build="vornhold3"), vornhold.UsageError,
                         "the build is vornhold2 or vornhold, not 'vornhold3'"),
    "unknown contents": (lambda f: vornhold.decode(f / "hidden1_coded.bmp", hidden=3), vornhold.UsageError,
                         "the hidden pictures held are 1, 2 or both, not '3'"),
    "a lossy format": (lambda f: classic(f / "plain24.bmp", format="JPG"), vornhold.UsageError,
                       "the format 'JPG': .jpg would destroy the hidden bits (it compresses with loss or reduces the "
                       "colours); name the output .png or .bmp"),
    "a path for a format": (lambda f: vornhold.reveal(f / "plain24.bmp", format="x.png"), vornhold.UsageError,
                            "the format 'x.png': unknown output format; name the output .png or .bmp"),
    "an empty password": (lambda f: vornhold.decode(f / "keyed.bmp", password=""), vornhold.InputError,
                          "the password is empty; a keyed picture needs one"),
    "a password that is no text": (
        lambda f: classic(f / "keyed_carrier.bmp", f / "keyed_hidden.png", password="tea\udc80"),
        vornhold.InputError, "the password is not valid UTF-8"),
    "an unknown form": (lambda f: vornhold.encode(f / "plain24.bmp", form="small"), vornhold.UsageError,
                        "the form is classic, compact or stealth, not 'small'"),
    "carrier bits for the classic form": (
        lambda f: classic(f / "plain24.bmp", f / "hidden.png", carrier_bits=2), vornhold.UsageError,
        "the carrier's low bits (k) are chosen in the compact form only; the classic form's layouts fix them"),
    "carrier bits beyond 4": (
        lambda f: vornhold.encode(f / "plain24.bmp", f / "hidden.png", form="compact", carrier_bits=5),
        vornhold.UsageError, "the compact form gives up 1 to 4 low bits of every colour byte, not 5"),
    "compact with nothing to hide": (
        lambda f: vornhold.encode(f / "plain24.bmp", form="compact"), vornhold.UsageError,
        "nothing to hide: give hidden picture 1 or 2 (only the classic form writes the carrier alone)"),
    "carrier bits that are no int": (
        lambda f: vornhold.encode(f / "plain24.bmp", f / "hidden.png", form="compact", carrier_bits="2"), TypeError,
        "carrier_bits is an int from 1 to 4 or None, not '2'"),
    "a missing file": (lambda f: vornhold.reveal(f / "missing.png"), FileNotFoundError, None),
    "no picture": (lambda f: vornhold.encode(12), TypeError,
                   "the carrier: a picture is file bytes, a path, a numpy array or a Pillow image, not int"),
    "a password that is no str": (lambda f: vornhold.decode(f / "keyed.bmp", password=b"tea"), TypeError,
                                  "the password is a str"),
    "an array of floats": (lambda f: vornhold.encode(numpy.zeros((2, 2, 3))), TypeError,
                           "the carrier: an array picture holds uint8 values"),
    "an array of grey": (lambda f: vornhold.encode(numpy.zeros((2, 2), numpy.uint8)), ValueError,
                         "the carrier: an array picture is height x width x 3 (RGB) or 4 (RGBA)"),
}


@pytest.mark.parametrize("call, kind, text", REFUSALS.values(), ids=REFUSALS.keys())
def test_a_refusal_raises_its_class_with_its_text(call, kind, text, pictures):
    with pytest.raises(kind) as raised:
        call(pictures)
    if text is not None:
        assert str(raised.value) == text


def test_each_kind_of_fault_is_a_vornhold_error_and_memory_a_memory_error_too():
    for kind in (vornhold.UsageError, vornhold.InputError, vornhold.OutputError, vornhold.MemoryError):
        assert issubclass(kind, vornhold.Error)
        assert issubclass(kind, builtins.MemoryError) == (kind is vornhold.MemoryError)


def test_pictures_beyond_the_memory_raise_the_memory_error(tmp_path):
    # 15000 x 15000 pixels are within the kit's limit, and their 675 MB beyond an address space of
    # 512 MiB: the kit runs out of memory as it takes them.
    (tmp_path / "huge.png").write_bytes(png_declaring(15000, 15000))
    script = ("import resource, vornhold\n"
              "resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20))\n"
              "try:\n    vornhold.reveal('huge.png')\n"
              "except MemoryError as error:\n    print(type(error).__module__, error)\n")
    run = subprocess.run([sys.executable, "-c", script], cwd=tmp_path, capture_output=True, text=True)
    assert run.stdout == ("vornhold huge.png: not enough memory for these pictures; free some memory or use "
                          "smaller pictures\n")


# ---- Passwords ----------------------------------------------------------------------------------

def test_a_password_opens_as_the_same_text_composed_otherwise_in_the_module_and_in_vorn(pictures, tmp_path):
    keyed = classic(pictures / "keyed_carrier.bmp", pictures / "keyed_hidden.png", password="caf\u00e9")
    expected = (pictures / "keyed.hidden-1.png").read_bytes()
    assert vornhold.decode(keyed, password="cafe\u0301") == {1: expected}
    (tmp_path / "keyed.png").write_bytes(keyed)
    (tmp_path / "password.txt").write_text("cafe\u0301\n", encoding="utf-8")
    code, _ = run_vorn("decode", tmp_path / "keyed.png", "--password-file", tmp_path / "password.txt", "-o", tmp_path)
    assert code == 0
    assert (tmp_path / "hidden-1.png").read_bytes() == expected


# ---- Notes --------------------------------------------------------------------------------------

# Each row: the call on the pictures' folder and the notes it warns, in order.
NOTES = {
    "a hidden picture scaled": (
        lambda f: classic(f / "plain24.bmp", (f / "fit_contain_wide.png").read_bytes()),
        ["hidden picture 1 scaled from 37x5 to 16x2 and centred"]),
    "a transparency dropped": (lambda f: classic((f / "rgba.png").read_bytes()),
                               ["the carrier: its transparency is dropped; only the colours are used"]),
    "what a coded picture holds, guessed": (
        lambda f: vornhold.decode((f / "hidden1_coded.bmp").read_bytes()),
        ["the coded picture: assuming hidden picture 1 alone (read from the picture; name what it holds and its "
         "build to choose otherwise)"]),
    "a classic picture given a password": (
        lambda f: vornhold.decode(classic(f / "keyed_carrier.bmp", f / "keyed_hidden.png"), hidden=1,
                                  password="tea"),
        ["the coded picture: holds no keyed picture; its hidden pictures are taken out without the password"]),
    "nothing guessed": (lambda f: vornhold.decode(f / "hidden1_coded.bmp", hidden=1), []),
    "a compact picture given a password": (
        lambda f: vornhold.decode((f / "compact.bmp").read_bytes(), password="tea"),
        ["the coded picture: a compact picture without a password; it opens without one"]),
}


@pytest.mark.parametrize("call, notes", NOTES.values(), ids=NOTES.keys())
def test_notes_are_warned_at_the_callers_line(call, notes, pictures):
    with warnings.catch_warnings(record=True) as warned:
        warnings.simplefilter("always")
        call(pictures)
    assert [str(warning.message) for warning in warned] == notes
    assert all(warning.category is vornhold.Note and warning.filename == __file__ for warning in warned)


# Each row: the compact encode's settings, and the one note it warns (a pattern: the sizes and the
# carrier's PSNR depend on the random bits drawn), which says how the picture went and what k gives.
# The stealth form's budget needs a larger carrier than the table's 48 x 48: the same carrier,
# three times across and down.
COMPACT_NOTES = {
    "k chosen": ({}, r"hidden picture 1 \(16x8\) as lossless WebP, \d+ bytes; the carrier keeps [4-7] of its 8 bits "
                     r"\([\d.]+ dB\)"),
    "k given": ({"carrier_bits": 4}, r"hidden picture 1 \(16x8\) as lossless WebP, \d+ bytes; the carrier keeps 4 of "
                                     r"its 8 bits \([\d.]+ dB\)"),
    "with a password": ({"password": "tea", "carrier_bits": 1}, r".*; the carrier keeps 7 of its 8 bits .*"),
    "stealth": ({"form": "stealth", "tiles": 3}, r"hidden picture 1 \(16x8\) as lossless WebP, \d+ bytes; \d+ of the carrier's "
                                     r"colour bytes changed by one \([\d.]+ %, [\d.]+ dB\)"),
}


@pytest.mark.parametrize("settings, note", COMPACT_NOTES.values(), ids=COMPACT_NOTES.keys())
def test_a_compact_encode_notes_what_it_stored_and_opens_to_the_picture(settings, note, pictures):
    with warnings.catch_warnings(record=True) as warned:
        warnings.simplefilter("always")
        tiles = settings.pop("tiles", 1)
        carrier = numpy.tile(numpy.asarray(Image.open(pictures / "keyed_carrier.bmp").convert("RGB")), (tiles, tiles, 1))
        coded = vornhold.encode(carrier, pictures / "hidden.png", **{"form": "compact", **settings})
    assert [warning.category for warning in warned] == [vornhold.Note]
    assert re.fullmatch(note, str(warned[0].message))
    opened = quiet(lambda: vornhold.decode(coded, password=settings.get("password")))
    assert opened == {1: (pictures / "compact.hidden-1.png").read_bytes()}
