#!/usr/bin/env bash
# Builds the benchmark and runs it with vorn's cases on photographs: three scikit-image
# photographs scaled up to SIDE x SIDE (made once by bench/photographs.py, kept in
# build/bench-photographs/SIDE/), as PNG, JPEG and BMP.
#   bash scripts/bench.sh [side] [runs] [word]   defaults: 4096, 5 runs, every case
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

side=${1:-4096}
runs=${2:-5}
word=${3:-}
ensure_packages "${build_packages[@]}" python3-numpy python3-pil python3-skimage
cmake --preset default >/dev/null
cmake --build --preset default -j 2 --target vorn_bench

photographs=build/bench-photographs/$side
if [ ! -f "$photographs/Hidden 2.bmp" ]; then
  rm -rf "$photographs"
  # Debian's own Python, which the python3-* packages above serve.
  /usr/bin/python3 bench/photographs.py "$photographs.partial" "$side"
  mv "$photographs.partial" "$photographs"
fi
build/default/bench/vorn_bench "$side" "$runs" "$word" "$photographs"
