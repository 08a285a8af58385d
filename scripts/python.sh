#!/usr/bin/env bash
# Builds the Python module vornhold and installs it for Debian's Python (/usr/bin/python3) with
# pip, which builds build/python with the python preset (pyproject.toml); then imports it from
# elsewhere to show it is found. As root the package goes where Debian's Python reads locally
# installed modules (/usr/local/lib/python3.11/dist-packages), which Debian's pip writes to only
# when told to break the system's packages: it touches none of Debian's. `pip uninstall vornhold`
# takes it away again.
#   bash scripts/python.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${python_packages[@]}"
ensure_native_libspng
/usr/bin/python3 -m pip install --no-index --break-system-packages --root-user-action=ignore .
(cd / && /usr/bin/python3 -c 'import vornhold; print("vornhold", vornhold.__version__, "installed in", vornhold.__path__[0])')
