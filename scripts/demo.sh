#!/usr/bin/env bash
# The whole workflow on the bundled sample pictures, as a user would run it: builds the three
# programs, hides "Hidden 1.bmp" and "Hidden 2.bmp" in "Main.bmp", takes them out of "Coded.bmp"
# again and reveals its low bits. Everything it writes lies in build/programs/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

build=build/programs
folder=$build/demo

# A first run (no build of the programs yet) is timed whole, build included: the README says how
# long a newcomer waits for it.
first_run=
[ -d "$build" ] || first_run=1
ensure_packages "${program_packages[@]}"
ensure_native_libspng
cmake --preset programs
cmake --build --preset programs

# With one argument a program makes its own folder the current one, so copies of the programs
# go beside the pictures, and every picture name below is taken from that folder.
rm -rf "$folder"
mkdir -p "$folder"
cp samples/Main.bmp "samples/Hidden 1.bmp" "samples/Hidden 2.bmp" "$folder/"
cp "$build/coder/vornhold2" "$build/filter/vornlens" "$folder/"

# The programs end their lines in CR LF; the prefix tells apart two programs running at once.
show() { tr -d '\r' | sed "s/^/[$1] /"; }

cat <<TEXT

Each program waits after its run so that a window opened for it stays readable: the coder
5 seconds, the filter 30 seconds. Decoding and revealing both only read Coded.bmp, so they run
side by side, so the workflow takes about 35 seconds after the build.
TEXT

echo
echo "== Encoding: vornhold2 Main.bmp hides Hidden 1.bmp and Hidden 2.bmp in it"
"$folder/vornhold2" Main.bmp | show vornhold2

echo
echo "== Decoding (vornhold2 Coded.bmp) and revealing (vornlens Coded.bmp) side by side"
"$folder/vornhold2" Coded.bmp | show vornhold2 &
"$folder/vornlens" Coded.bmp | show vornlens &
wait

echo
echo "== Pictures written in $folder"
declare -A meaning=(
  [Coded.bmp]="the carrier with both hidden pictures in its low bits"
  [Decoded_1.bmp]="the two lowest bits of every byte, moved to the top"
  [Decoded_2.bmp]="the four lowest bits, moved to the top and unscrambled"
  [out.bmp]="Coded.bmp with its four low bits shown as the top ones"
)
status=0
for name in Coded.bmp Decoded_1.bmp Decoded_2.bmp out.bmp; do
  if [ -f "$folder/$name" ]; then
    printf '%-14s %8d bytes  %s\n' "$name" "$(stat -c %s "$folder/$name")" "${meaning[$name]}"
  else
    printf '%-14s missing\n' "$name"
    status=1
  fi
done
# (The demo needs no Python; where there is none, nothing is recorded.)
if [ "$status" = 0 ] && [ -n "$first_run" ] && command -v python3 >/dev/null; then
  python3 scripts/figures.py record scripts/demo.sh demo-first-run --seconds "$SECONDS"
fi
exit $status
