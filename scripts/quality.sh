#!/usr/bin/env bash
# Measures how much of every picture the coder's error diffusion keeps, against plain truncation
# of the same bits, on the samples and on photographs of other sizes from the scikit-image data
# set: builds the programs, encodes with them in a scratch folder (each run pauses 5 s after it,
# all runs go side by side), and writes docs/quality.md (the method and the tables),
# docs/quality-table.md (the tables alone) and docs/quality.png (the plot).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${quality_packages[@]}"
cmake --preset programs >/dev/null
cmake --build --preset programs

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Debian's own Python, which the python3-* packages above serve.
/usr/bin/python3 scripts/quality.py build/programs docs "$scratch"
