#!/usr/bin/env bash
# Builds the Python module vornhold and installs it for Debian's Python (/usr/bin/python3), in
# the folder it reads locally installed modules from; then imports it from elsewhere to show it
# is found.
#   bash scripts/python.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${python_packages[@]}"
ensure_native_libspng
cmake --preset python
cmake --build --preset python --target vorn_python
cmake --install build/python --component python
(cd / && /usr/bin/python3 -c 'import vornhold; print("vornhold", vornhold.__version__, "installed in", vornhold.__path__[0])')
