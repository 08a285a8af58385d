#!/usr/bin/env bash
# Runs the Windows programs under Wine beside the Linux build of the same programs on generated
# pictures, and requires the same output files (byte for byte; PNGs pixel for pixel, since the
# deflate may differ) and the same console text (in Windows line endings: every "\n"
# becomes "\r\n"). Each command below is one test of the windows preset, working in its own
# folder under WORK; LINUX (the default preset's tree) and WINDOWS are the two build trees.
#   compare.sh SOURCE LINUX WINDOWS WORK linux-build
#   compare.sh SOURCE LINUX WINDOWS WORK programs WIDTH HEIGHT CODER
#   compare.sh SOURCE LINUX WINDOWS WORK failure
#   compare.sh SOURCE LINUX WINDOWS WORK vorn-run linux|windows
#   compare.sh SOURCE LINUX WINDOWS WORK vorn-compare
#   compare.sh SOURCE LINUX WINDOWS WORK vorn-cross-open
set -euo pipefail
root=$1
linux=$2
windows=$3
work=$4
command=$5
shift 5
wine_run=$root/scripts/wine-run.sh

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...: counts whether the command succeeds
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
  fi
}
report() {
  echo "$command: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# Starts a program in FOLDER and lets it run until it has printed its run time (after which it
# would only pause) or has ended by itself; what it printed is kept in the file OUT. Fails when
# the program takes longer than two minutes.
#   run_program FOLDER OUT COMMAND...
run_program() {
  local folder=$1 out=$2
  shift 2
  : >"$out"  # exists before the first grep below looks for it
  (cd "$folder" && exec "$@") >"$out" </dev/null &
  local pid=$! tenths=0
  while ! grep -q 'Execution time: .* ms' "$out" && kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    if [ $((++tenths)) -gt 1200 ]; then
      echo "$* did not finish within 2 minutes" >&2
      kill "$pid"
      return 1
    fi
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Console text with the run time, which differs from run to run, left out.
without_run_time() { sed -e 's/Execution time: -\{0,1\}[0-9]* ms/Execution time: N ms/' "$1"; }
# Whether the Windows text is the Linux text with every "\n" written as "\r\n".
same_text() { cmp -s <(without_run_time "$1" | sed -e 's/$/\r/') <(without_run_time "$2"); }

# PNG files are compared by their pixels, other files byte for byte: a build deflates with ISA-L
# or, without it, zlib, and ISA-L picks its code by the processor, so the same picture's PNG bytes
# may differ.
same_picture() {
  case $1 in
    *.png) /usr/bin/python3 -c 'import sys
from PIL import Image
a, b = (Image.open(path) for path in sys.argv[1:3])
sys.exit(a.mode != b.mode or a.size != b.size or a.tobytes() != b.tobytes())' "$1" "$2" ;;
    *) cmp "$1" "$2" ;;
  esac
}

# The Linux build of the programs, and the tool that makes the pictures.
linux_build() {
  cd "$root"
  cmake --preset default >/dev/null
  cmake --build --preset default --target vornhold2 vornhold vornlens vorn vorn_sample_pictures
}

# Each program started with an argument from another folder, so that it works in its own
# folder: encoding with both hidden pictures, decoding, and revealing the coded picture. A
# carrier whose sides are powers of two has its hidden pictures scrambled; the other one has
# padded rows and is not scrambled.
programs() {
  local width=$1 height=$2 coder=$3
  local pair=$work/programs/${width}x$height/$coder
  rm -rf "$pair"
  local system bin run exe
  for system in linux windows; do
    bin=$pair/$system
    "$linux/bench/vorn_sample_pictures" "$bin" "$width" "$height"
    if [ "$system" = linux ]; then
      cp "$linux/coder/$coder" "$linux/filter/vornlens" "$bin/"
      run=()
      exe=
    else
      cp "$windows/coder/$coder.exe" "$windows/filter/vornlens.exe" "$bin/"
      run=("$wine_run")
      exe=.exe
    fi
    check "$bin: encoding" run_program "$pair" "$bin.encode.txt" "${run[@]}" "$bin/$coder$exe" Main.bmp
    check "$bin: decoding" run_program "$pair" "$bin.decode.txt" "${run[@]}" "$bin/$coder$exe" Coded.bmp
    check "$bin: revealing" run_program "$pair" "$bin.reveal.txt" "${run[@]}" "$bin/vornlens$exe" Coded.bmp
  done
  local output step
  for output in Coded.bmp Decoded_1.bmp Decoded_2.bmp out.bmp; do
    check "$pair: $output" cmp "$pair/linux/$output" "$pair/windows/$output"
  done
  for step in encode decode reveal; do
    check "$pair: console text of $step" same_text "$pair/linux.$step.txt" "$pair/windows.$step.txt"
  done
}

# A failure run of each program (no argument, no input file) waits its 3 seconds out and exits
# with code 0; they all wait together.
failure() {
  local failing=$work/failure
  rm -rf "$failing"
  mkdir -p "$failing"
  local pids=() program name pid
  for program in coder/vornhold2 coder/vornhold filter/vornlens; do
    name=$(basename "$program")
    (cd "$failing" && exec "$linux/$program") >"$failing/$name.linux.txt" </dev/null &
    pids+=($!)
    (cd "$failing" && exec "$wine_run" "$windows/$program.exe") >"$failing/$name.windows.txt" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    check "exit code 0 after a failure" wait "$pid"
  done
  for program in vornhold2 vornhold vornlens; do
    check "$program: console text of a failure" \
      same_text "$failing/$program.linux.txt" "$failing/$program.windows.txt"
  done
}

# vorn on both systems: the same command lines in copies of one folder must write the same files
# (PNGs the same pixels), print the same errors (Windows ends each line with "\r\n") and exit
# alike. The inputs: BMP pictures, a JPEG, and the PNG that vorn itself wrote. Keyed and compact
# pictures draw a random salt (and compact ones random filler), so they differ; what they hold
# must not: each system takes out the same pictures, a wrong password or none is refused alike,
# and each opens the other's. The carrier's PSNR that compact encoding reports depends on the
# filler, so it is left out of the comparison of errors. The password is typed in NFD with a
# Windows line end, and comes from a file and from standard input (stdin.txt). Linux's vorn runs
# in a session of its own, with no terminal to ask a password on, as Wine's programs have no
# console here: asked for one, both say so.
vorn_work=$work/vorn
vorn_runs=(
  "encode --classic Main.bmp --hidden1 Hidden_1.bmp --hidden2 Hidden_2.bmp -o coded.png"
  "decode coded.png -o out"
  "reveal coded.png -o revealed.bmp"
  "encode --classic coded.png --hidden1 out/hidden-1.png -o again.bmp --build vornhold"
  "encode --classic photo.jpg -o from-jpeg.png"
  "encode --classic Main.bmp -o coded.png"
  "decode Main.bmp --max-megapixels 0"
  "reveal missing.png -o x.png"
  "encode --classic Main.bmp --hidden2 Hidden_2.bmp --password-file password.txt -o keyed.png"
  "decode keyed.png --password-file password.txt -o keyed-out"
  "decode keyed.png --password-file wrong.txt -o refused"
  "decode keyed.png -o refused"
  "encode --classic Main.bmp --hidden1 Hidden_1.bmp --hidden2 Hidden_2.bmp --build vornhold --password-file - -o keyed-stdin.bmp"
  "decode keyed-stdin.bmp --password-file password.txt -o keyed-stdin-out"
  "encode Main.bmp --hidden1 Hidden_1.bmp --hidden2 Hidden_2.bmp -o compact.png"
  "decode compact.png -o compact-out"
  "encode Main.bmp --hidden1 Hidden_1.bmp --hidden2 Hidden_2.bmp --password-file password.txt -o compact-keyed.png"
  "decode compact-keyed.png --password-file password.txt -o compact-keyed-out"
  "encode --classic Main.bmp --hidden1 Hidden_1.bmp --password -o asked.png"
)

# Runs the table on one system in its own folder; its console output goes beside the folder.
vorn_run() {
  local system=$1
  local folder=$vorn_work/$system console=$vorn_work/$system-console
  rm -rf "$folder" "$console"
  mkdir -p "$console"
  "$linux/bench/vorn_sample_pictures" "$folder" 64 64
  mv "$folder/Hidden 1.bmp" "$folder/Hidden_1.bmp"
  mv "$folder/Hidden 2.bmp" "$folder/Hidden_2.bmp"
  cp "$root/fuzz/corpus/vorn_jpeg/rgb-16x8" "$folder/photo.jpg"
  printf 'A\xcc\x8angstro\xcc\x88m\r\n' >"$folder/password.txt"
  cp "$folder/password.txt" "$folder/stdin.txt"
  printf 'Angstrom\n' >"$folder/wrong.txt"
  local vorn i code words
  case $system in
    linux) vorn=(setsid -w "$linux/vorn/vorn") ;;
    windows) vorn=("$wine_run" "$windows/vorn/vorn.exe") ;;
    *) echo "unknown system: $system" >&2; return 2 ;;
  esac
  for i in "${!vorn_runs[@]}"; do
    read -r -a words <<<"${vorn_runs[$i]}"
    code=0
    (cd "$folder" && export VORN_WINE_STDIN="$folder/stdin.txt" && exec "${vorn[@]}" "${words[@]}") \
      >"$console/$i.out" 2>"$console/$i.err" <"$folder/stdin.txt" || code=$?
    echo "$code" >"$console/$i.code"
  done
}

without_carrier_db() { sed -e 's/of its 8 bits ([0-9.]* dB)/of its 8 bits (N dB)/' "$1"; }
vorn_compare() {
  local i output picture
  for i in "${!vorn_runs[@]}"; do
    check "vorn ${vorn_runs[$i]}: exit code" \
      cmp -s "$vorn_work/linux-console/$i.code" "$vorn_work/windows-console/$i.code"
    check "vorn ${vorn_runs[$i]}: errors" \
      cmp -s <(without_carrier_db "$vorn_work/linux-console/$i.err" | sed -e 's/$/\r/') \
      <(without_carrier_db "$vorn_work/windows-console/$i.err")
  done
  for output in coded.png out/hidden-1.png out/hidden-2.png revealed.bmp again.bmp from-jpeg.png \
    keyed-out/hidden-2.png keyed-stdin-out/hidden-1.png keyed-stdin-out/hidden-2.png \
    compact-out/hidden-1.png compact-out/hidden-2.png compact-keyed-out/hidden-1.png \
    compact-keyed-out/hidden-2.png; do
    check "vorn: $output" same_picture "$vorn_work/linux/$output" "$vorn_work/windows/$output"
  done
  for picture in keyed.png compact.png compact-keyed.png; do
    check "vorn: $picture of fresh salts differ" \
      bash -c '! cmp -s "$1/linux/$2" "$1/windows/$2"' - "$vorn_work" "$picture"
  done
  check "vorn: a wrong password writes nothing" [ ! -e "$vorn_work/windows/refused" ]
}

# Each system opens the other's keyed and compact pictures, and takes out the same pictures as
# the system that wrote them (which, compared by vorn-compare, are the same on both).
# cross_open FROM TO PICTURE OUT VORN...: TO's vorn opens FROM's PICTURE as FROM's did into OUT
cross_open() {
  local from=$1 to=$2 picture=$3 out=$4
  shift 4
  local options=()
  [[ $picture = *keyed* ]] && options=(--password-file password.txt)
  (cd "$vorn_work/$to" && "$@" decode "../$from/$picture" "${options[@]}" -o "from-$from-$out" \
    </dev/null >/dev/null 2>&1) || return 1
  local hidden
  for hidden in "$vorn_work/$from/$out"/*.png; do
    same_picture "$hidden" "$vorn_work/$to/from-$from-$out/$(basename "$hidden")" || return 1
  done
}
vorn_cross_open() {
  local opened picture out
  for opened in "keyed.png keyed-out" "compact.png compact-out" "compact-keyed.png compact-keyed-out"; do
    read -r picture out <<<"$opened"
    rm -rf "$vorn_work/linux/from-windows-$out" "$vorn_work/windows/from-linux-$out"
    check "vorn: Linux opens the Windows $picture" \
      cross_open windows linux "$picture" "$out" "$linux/vorn/vorn"
    check "vorn: Windows opens the Linux $picture" \
      cross_open linux windows "$picture" "$out" "$wine_run" "$windows/vorn/vorn.exe"
  done
  # No temporary file is left on either system, by the table's runs or by these.
  check "vorn: no temporary left" [ -z "$(find "$vorn_work" -name '*.tmp')" ]
}

case $command in
  linux-build) linux_build; exit ;;
  programs) programs "$@" ;;
  failure) failure ;;
  vorn-run) vorn_run "$@"; exit ;;
  vorn-compare) vorn_compare ;;
  vorn-cross-open) vorn_cross_open ;;
  *) echo "unknown command: $command" >&2; exit 2 ;;
esac
report
