"""The policy table (tests/policy/cases.tsv) run against the module and against vorn on the same
files: each must give what the table expects, refusing alike in its own words, and the module
the very coded bytes vorn writes. vorn's own test runs every row; the module reads pictures
through the same kit operation, so here only the rows that pass through the module's mapping
of arguments run: the first, and every one with options, a decode or a refusal."""

import warnings

import pytest

import vornhold
from conftest import POLICY_CASES, run_vorn

FIELDS = ("name", "command", "input", "hidden1", "expect", "expected", "message")


def read_table():
    with open(POLICY_CASES, encoding="utf-8") as table:
        lines = [line.rstrip("\n") for line in table if line.strip() and not line.startswith("#")]
    return [dict(zip(FIELDS, (None if field == "-" else field for field in line.split("\t")))) for line in lines]


TABLE = read_table()


FLAGS = ("--compact",)  # the table's options that take no value


def options_of(row):
    """The options after the command ("encode --compact --carrier-bits 4"), each with its value
    (True for a flag)."""
    words, options = row["command"].split()[1:], {}
    while words:
        name = words.pop(0)
        options[name] = True if name in FLAGS else words.pop(0)
    return options


def via_module(row, folder):
    """("refusal", its text), or ("picture", the coded picture, or the hidden picture 1 that a
    decode, or the decode of an encode expected to open, gives)."""
    options = options_of(row)
    password = options.get("--password-file") and (folder / options["--password-file"]).read_text().splitlines()[0]
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", vornhold.Note)
            if row["command"].startswith("decode"):
                return "picture", vornhold.decode(folder / row["input"], password=password).get(1)
            bits = options.get("--carrier-bits")
            coded = vornhold.encode(folder / row["input"], row["hidden1"] and folder / row["hidden1"],
                                    fit=options.get("--fit", "contain"), password=password, format="bmp",
                                    form="compact" if "--compact" in options else "classic",
                                    carrier_bits=bits and int(bits))
            return "picture", vornhold.decode(coded, password=password).get(1) if row["expect"] == "opens" else coded
    except vornhold.Error as refusal:
        return "refusal", str(refusal)


def via_vorn(row, folder):
    """The same from vorn's files."""
    options = [folder / word if "." in word else word for word in row["command"].split()[1:]]
    out = folder / f"{row['name']}.vorn"
    if row["command"].startswith("encode"):
        hidden = ["--hidden1", folder / row["hidden1"]] if row["hidden1"] else []
        code, text = run_vorn("encode", folder / row["input"], *hidden, "-o", f"{out}.bmp", "--force", *options)
        if code or row["expect"] != "opens":
            return ("refusal", text) if code else ("picture", (folder / f"{out}.bmp").read_bytes())
        # Taken out again with the password option alone.
        at = options.index("--password-file") if "--password-file" in options else len(options)
        options = options[at:at + 2]
    code, text = run_vorn("decode", f"{out}.bmp" if row["command"].startswith("encode") else folder / row["input"],
                          "-o", out, "--force", *options)
    return ("refusal", text) if code else ("picture", (out / "hidden-1.png").read_bytes())


def fault(row, result, folder):
    """Why a front end's result is not what the row expects; None when it is."""
    kind, got = result
    if row["expect"] == "refused":
        return None if kind == "refusal" and row["message"] in got else f"expected a refusal saying {row['message']!r}"
    if kind == "refusal":
        return f"refused: {got}"
    expected = (folder / row["expected"]).read_bytes()
    if row["expect"] in ("same", "opens"):
        return None if got == expected else f"differs from {row['expected']}"
    if len(got) != len(expected) or got[:54] != expected[:54]:
        return f"not the size of {row['expected']}"
    mean = sum(abs(a - b) for a, b in zip(got[54:], expected[54:])) / (len(expected) - 54)
    return None if mean <= float(row["expect"].removeprefix("near ")) else f"differs by {mean:.1f} on average"


# vorn's options and the module's arguments for the same setting: a refusal names the caller's.
WORDS = (("--password", "password=..."), ("--hidden", "hidden"), ("--build", "build"))


def in_module_words(result):
    kind, got = result
    if kind == "refusal":
        for option, argument in WORDS:
            got = got.replace(option, argument)
    return kind, got


def test_the_table_has_every_case():
    assert len(TABLE) == 32


MAPPED = [row for i, row in enumerate(TABLE)
          if i == 0 or row["command"] != "encode" or row["expect"].split()[0] not in ("same", "near")]


@pytest.mark.parametrize("row", MAPPED, ids=[row["name"] for row in MAPPED])
def test_the_module_gives_what_the_table_expects_and_what_vorn_gives(row, pictures):
    module = via_module(row, pictures)
    assert fault(row, module, pictures) is None
    # Given the same paths, the two write the same bytes and refuse alike, each in its own words.
    assert module == in_module_words(via_vorn(row, pictures))
