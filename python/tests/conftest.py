"""What the module's tests share: vorn to compare with, and the policy table's pictures.

CTest gives the paths of the build and its programs in the environment; run by hand, the tests
take them from build/default.
"""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("VORN_BUILD", ROOT / "build" / "default"))
VORN = os.environ.get("VORN_EXE", str(BUILD / "vorn" / "vorn"))
POLICY_PICTURES = os.environ.get("VORN_POLICY_PICTURES", str(BUILD / "vorn" / "tests" / "vorn_policy_pictures"))
POLICY_CASES = os.environ.get("VORN_POLICY_CASES", str(ROOT / "tests" / "policy" / "cases.tsv"))


def run_vorn(*args):
    """vorn with these arguments: (exit code, stderr without its "vorn: " prefix and line end). An
    encode is in the classic form, which the module gives unless asked for another, unless the
    arguments name the compact form."""
    words = [*map(str, args)]
    if words[:1] == ["encode"] and "--compact" not in words:
        words.insert(1, "--classic")
    run = subprocess.run([VORN, *words], capture_output=True, text=True, stdin=subprocess.DEVNULL)
    return run.returncode, run.stderr.strip().removeprefix("vorn: ")


@pytest.fixture(scope="session")
def pictures(tmp_path_factory):
    """A folder holding the policy table's inputs and expected files."""
    folder = tmp_path_factory.mktemp("policy")
    subprocess.run([POLICY_PICTURES, str(folder)], check=True)
    return folder
