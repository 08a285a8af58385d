"""The policy table (tests/policy/cases.tsv) run against the module and against vorn on the same
files: each must give what the table expects, with the same refusal texts, and the module the
very coded bytes vorn writes."""

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


def command_of(row):
    return row["command"].split()[0]


def options_of(row):
    """The options after the command ("encode --fit cover"): each of the table's takes a value."""
    words = row["command"].split()[1:]
    return dict(zip(words[::2], words[1::2]))


def password_of(row, folder):
    """The first line of the row's --password-file, as vorn reads it; None without one."""
    name = options_of(row).get("--password-file")
    return None if name is None else (folder / name).read_text(encoding="utf-8").splitlines()[0]


def via_module(row, folder):
    """{"coded"} for an encode, {"opened"} for an encode that keys, {"taken"} for a decode, or
    {"refusal"}."""
    password = password_of(row, folder)
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", vornhold.Note)
            if command_of(row) == "decode":
                return {"taken": vornhold.decode(folder / row["input"], password=password).get(1)}
            coded = vornhold.encode(folder / row["input"], row["hidden1"] and folder / row["hidden1"],
                                    fit=options_of(row).get("--fit", "contain"), password=password, format="bmp")
            if row["expect"] == "opens":
                return {"opened": vornhold.decode(coded, password=password).get(1)}
            return {"coded": coded}
    except vornhold.Error as refusal:
        return {"refusal": str(refusal)}


def via_vorn(row, folder):
    """The same as via_module, from vorn's files."""
    options = [folder / word if "." in word else word for word in row["command"].split()[1:]]
    out = folder / f"{row['name']}.vorn"
    if command_of(row) == "decode":
        code, text = run_vorn("decode", folder / row["input"], "-o", out, "--force", *options)
        return {"refusal": text} if code else {"taken": (out / "hidden-1.png").read_bytes()}
    hidden = ["--hidden1", folder / row["hidden1"]] if row["hidden1"] else []
    code, text = run_vorn("encode", folder / row["input"], *hidden, "-o", f"{out}.bmp", "--force", *options)
    if code:
        return {"refusal": text}
    if row["expect"] != "opens":
        return {"coded": (folder / f"{row['name']}.vorn.bmp").read_bytes()}
    code, text = run_vorn("decode", f"{out}.bmp", "-o", out, "--force", *options)
    return {"refusal": text} if code else {"opened": (out / "hidden-1.png").read_bytes()}


def fault(row, result, folder):
    """Why a front end's result is not what the row expects; None when it is."""
    if row["expect"] == "refused":
        return None if row["message"] in result.get("refusal", "") else f"expected a refusal saying {row['message']!r}"
    if "refusal" in result:
        return f"refused: {result['refusal']}"
    expected = (folder / row["expected"]).read_bytes()
    got = next(iter(result.values()))
    if row["expect"] in ("same", "opens"):
        return None if got == expected else f"differs from {row['expected']}"
    limit = float(row["expect"].removeprefix("near "))
    if len(got) != len(expected) or got[:54] != expected[:54]:
        return f"not the size of {row['expected']}"
    mean = sum(abs(a - b) for a, b in zip(got[54:], expected[54:])) / (len(expected) - 54)
    return None if mean <= limit else f"differs from {row['expected']} by {mean:.1f} on average"


def test_the_table_has_every_case():
    assert len(TABLE) == 24


@pytest.mark.parametrize("row", TABLE, ids=[row["name"] for row in TABLE])
def test_the_module_and_vorn_give_what_the_table_expects_and_the_same(row, pictures):
    module, vorn = via_module(row, pictures), via_vorn(row, pictures)
    assert (fault(row, module, pictures), fault(row, vorn, pictures)) == (None, None)
    # Given the same paths, the two write the same bytes and refuse in the same words.
    assert module == vorn
