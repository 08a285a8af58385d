#!/usr/bin/env bash
# Measures how visible hidden pictures are to steganalysis: builds vorn, then runs
# bench/steganalysis.py (six classic detectors and a trained SPAM detector against simulated
# embeddings, vorn's forms and steghide, on crops of scikit-image photographs).
#   bash scripts/steganalysis.sh            the full run (about 5-10 minutes on 2 cores), its
#                                           tables written into docs/steganalysis.md
#   bash scripts/steganalysis.sh --quick    every fifth crop, fewer rates (about a minute),
#                                           written to build/steganalysis-quick.md
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${steganalysis_packages[@]}"
ensure_native_libspng
cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target vorn
# Debian's own Python, which the python3-* packages above serve.
out=docs/steganalysis.md
[ "${1:-}" = --quick ] && out=build/steganalysis-quick.md
/usr/bin/python3 bench/steganalysis.py "$@" --vorn build/default/vorn/vorn "$out"
