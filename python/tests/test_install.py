"""pip installs the module from the checkout into a fresh venv, offline, reusing the extension this
build made; there, without numpy, pictures go in and out as bytes as they do here."""

import hashlib
import os
import subprocess
import sys

import vornhold
from conftest import BUILD, ROOT

# Run in the venv with the carrier's and the hidden picture's paths.
SCRIPT = """
import hashlib, importlib.resources, sys, vornhold
coded = vornhold.encode(open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), form="classic")
print(hashlib.sha256(coded).hexdigest(), hashlib.sha256(vornhold.decode(coded, hidden=1)[1]).hexdigest())
print(vornhold.__file__)
print(*sorted(f.name for f in importlib.resources.files("vornhold").iterdir() if f.name.endswith(("pyi", "typed"))))
try:
    vornhold.decode(coded, hidden=1, as_array=True)
except ImportError as missing:
    print(missing)
"""


def test_pip_installs_the_module_into_a_fresh_venv_where_bytes_need_no_numpy(pictures, tmp_path):
    subprocess.run([sys.executable, "-m", "venv", tmp_path / "venv"], check=True)
    python = tmp_path / "venv" / "bin" / "python"
    isolated = {name: value for name, value in os.environ.items() if name != "PYTHONPATH"}
    install = subprocess.run([python, "-m", "pip", "install", "--no-index", "--no-cache-dir", "--config-settings",
                              f"build-dir={BUILD}", ROOT], env=isolated, capture_output=True, text=True)
    assert install.returncode == 0, install.stdout + install.stderr

    carrier, hidden = pictures / "plain24.bmp", pictures / "hidden.png"
    run = subprocess.run([python, "-c", SCRIPT, carrier, hidden], cwd=tmp_path, env=isolated, capture_output=True,
                         text=True)
    assert run.returncode == 0, run.stderr
    coded = vornhold.encode(carrier, hidden, form="classic")
    taken = vornhold.decode(coded, hidden=1)[1]
    assert run.stdout.splitlines() == [
        f"{hashlib.sha256(coded).hexdigest()} {hashlib.sha256(taken).hexdigest()}",
        str(tmp_path / "venv" / "lib" / f"python{sys.version_info.major}.{sys.version_info.minor}" / "site-packages"
            / "vornhold" / "__init__.py"),
        "_kit.pyi py.typed",
        "as_array=True gives numpy arrays, and numpy is not installed here (pip install numpy, or Debian's "
        "python3-numpy)"]
