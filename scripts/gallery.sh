#!/usr/bin/env bash
# Remakes the pictures under docs/ that README and docs/programs.md show: the demo's pictures as
# PNG files, and for each coder build a drawing of what every bit of a coded byte holds. Runs the
# demo first when its pictures are missing. Needs imagemagick and librsvg2-bin, which the programs
# and the tests never need.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages imagemagick librsvg2-bin fonts-dejavu-core
demo=build/programs/demo
[ -f "$demo/out.bmp" ] || bash scripts/demo.sh
mkdir -p docs

# The packaged ImageMagick, whatever else PATH may offer under the same name. Dates are left
# out so that remaking an unchanged picture changes no byte.
to_png() {
  /usr/bin/convert "$1" -strip -define png:exclude-chunks=date,time \
    -define png:compression-level=9 "docs/$2"
}
to_png "$demo/Main.bmp" carrier.png
to_png "$demo/Hidden 1.bmp" hidden-1.png
to_png "$demo/Hidden 2.bmp" hidden-2.png
to_png "$demo/Coded.bmp" coded.png
to_png "$demo/Decoded_1.bmp" decoded-1.png
to_png "$demo/Decoded_2.bmp" decoded-2.png
to_png "$demo/out.bmp" revealed.png

# Writes an SVG drawing of a coded byte for one build. Each further argument is one row:
# "label|cells", eight cells from bit 7 down, each "owner:text" with owner c (carrier),
# p (hidden picture 1), q (hidden picture 2) or z (always 0).
layout_svg() {
  local build=$1
  shift
  local cell_w=58 cell_h=40 label_w=170 top=78
  local width=$((label_w + 8 * cell_w + 64)) rows_end=$((top + $# * cell_h))
  local -A fill=([c]="#a9bfdc" [p]="#f4b870" [q]="#97cf8f" [z]="#eeeeee")
  cat <<SVG
<svg xmlns="http://www.w3.org/2000/svg" width="$width" height="$((rows_end + 176))"
     font-family="DejaVu Sans" font-size="15">
<rect width="100%" height="100%" fill="white"/>
<text x="12" y="28" font-size="19" font-weight="bold">The bits of a coded byte: $build</text>
SVG
  local bit x y
  for bit in 7 6 5 4 3 2 1 0; do
    x=$((label_w + (7 - bit) * cell_w + cell_w / 2))
    echo "<text x=\"$x\" y=\"$((top - 12))\" text-anchor=\"middle\" fill=\"#555\">bit $bit</text>"
  done
  local row=0 entry label cells cell owner
  for entry in "$@"; do
    label=${entry%%|*}
    cells=${entry#*|}
    y=$((top + row * cell_h))
    echo "<text x=\"12\" y=\"$((y + 26))\">$label</text>"
    x=$label_w
    for cell in $cells; do
      owner=${cell%%:*}
      echo "<rect x=\"$x\" y=\"$y\" width=\"$cell_w\" height=\"$cell_h\" fill=\"${fill[$owner]}\" stroke=\"white\" stroke-width=\"2\"/>"
      echo "<text x=\"$((x + cell_w / 2))\" y=\"$((y + 26))\" text-anchor=\"middle\">${cell#*:}</text>"
      x=$((x + cell_w))
    done
    row=$((row + 1))
  done
  local legend=(
    "c|the carrier, Main.bmp, dithered to 4 bits (c3 to c0) or 6 bits (c5 to c0)"
    "p|Hidden 1.bmp dithered to 2 bits (p1 p0)"
    "q|Hidden 2.bmp dithered to 4 bits (q3 to q0), or to 2 bits (q1 q0) beside Hidden 1"
  )
  y=$((rows_end + 30))
  for entry in "${legend[@]}"; do
    echo "<rect x=\"12\" y=\"$((y - 14))\" width=\"18\" height=\"18\" fill=\"${fill[${entry%%|*}]}\"/>"
    echo "<text x=\"40\" y=\"$y\">${entry#*|}</text>"
    y=$((y + 26))
  done
  echo "<text x=\"12\" y=\"$y\">* scrambled: when width and height are powers of two, the value at</text>"
  echo "<text x=\"26\" y=\"$((y + 20))\">pixel (x, y) belongs to the pixel at (bit-reversed x, bit-reversed y)</text>"
  echo "<text x=\"12\" y=\"$((y + 46))\">Decoded_1.bmp shows bits 1 0; Decoded_2.bmp and vornlens show bits 3 to 0</text>"
  echo "</svg>"
}

work=build/programs/gallery
mkdir -p "$work"
layout_svg vornhold2 \
  "no hidden picture|c:c3 c:c2 c:c1 c:c0 z:0 z:0 z:0 z:0" \
  "Hidden 1 only|c:c5 c:c4 c:c3 c:c2 c:c1 c:c0 p:p1* p:p0*" \
  "Hidden 2 only|c:c3 c:c2 c:c1 c:c0 q:q0* q:q1* q:q2* q:q3*" \
  "both|c:c3 c:c2 c:c1 c:c0 p:p0* p:p1* q:q0 q:q1" >"$work/layout-vornhold2.svg"
layout_svg vornhold \
  "no hidden picture|c:c3 c:c2 c:c1 c:c0 z:0 z:0 z:0 z:0" \
  "Hidden 1 only|c:c5 c:c4 c:c3 c:c2 c:c1 c:c0 p:p1* p:p0*" \
  "Hidden 2 only|c:c3 c:c2 c:c1 c:c0 q:q3* q:q2* q:q1* q:q0*" \
  "both|c:c3 c:c2 c:c1 c:c0 q:q1 q:q0 p:p1* p:p0*" >"$work/layout-vornhold.svg"
for build in vornhold2 vornhold; do
  rsvg-convert "$work/layout-$build.svg" -o "$work/layout-$build.png"
  to_png "$work/layout-$build.png" "layout-$build.png"
done
ls -l docs
