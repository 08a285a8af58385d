#!/usr/bin/env bash
# Measures how much of every hidden picture comes back: in the classic form what `vorn decode`
# writes by default (reconstructed) and with --raw, and under a password; in the compact form
# what vorn chooses and what comes back; on the samples and on photographs of several sizes from
# the scikit-image data set. Builds vorn, encodes and decodes with it in a scratch folder, and
# writes docs/quality.md (the method and every case), docs/quality-table.md and
# docs/quality-compact-table.md (the summaries the README shows) and docs/quality.png (the plot).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${quality_packages[@]}"
ensure_native_libspng
cmake --preset programs >/dev/null
cmake --build --preset programs --target vorn

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Debian's own Python, which the python3-* packages above serve.
/usr/bin/python3 scripts/quality.py build/programs/vorn/vorn docs "$scratch" --keyed
