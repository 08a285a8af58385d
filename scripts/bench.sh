#!/usr/bin/env bash
# Builds the benchmark and runs it with vorn's cases on photographs: three scikit-image
# photographs scaled up to SIDE x SIDE (made once by bench/photographs.py, kept in
# build/bench-photographs/SIDE/), as PNG, JPEG and BMP. Then, unless a word picks cases,
# bench/forms.py times the real vorn in its forms (classic, compact, compact with a password) at
# 1920x1080 and 4096x4096, and steghide beside vorn as a peer at 1920x1080.
#   bash scripts/bench.sh [side] [runs] [word]   defaults: 4096, 5 runs, every case
#   bash scripts/bench.sh forms [runs]           the forms and the peer alone (default: 3 runs)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

forms_only=
if [ "${1:-}" = forms ]; then
  forms_only=1
  shift
  runs=${1:-3}
else
  side=${1:-4096}
  runs=${2:-5}
  word=${3:-}
fi
ensure_packages "${build_packages[@]}" python3-numpy python3-pil python3-skimage steghide time imagemagick webp
ensure_native_libspng
cmake --preset default >/dev/null

if [ -z "$forms_only" ]; then
  cmake --build --preset default -j 2 --target vorn_bench
  photographs=build/bench-photographs/$side
  if [ ! -f "$photographs/Hidden 2.bmp" ]; then
    rm -rf "$photographs"
    # Debian's own Python, which the python3-* packages above serve.
    /usr/bin/python3 bench/photographs.py "$photographs.partial" "$side"
    mv "$photographs.partial" "$photographs"
  fi
  build/default/bench/vorn_bench "$side" "$runs" "$word" "$photographs"
  if [ -n "$word" ]; then exit 0; fi
fi

cmake --build --preset default -j 2 --target vorn
/usr/bin/python3 bench/forms.py build/default/vorn/vorn build/bench-photographs --runs "$runs" --peer
