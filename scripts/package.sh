#!/usr/bin/env bash
# Builds the Debian package of the three programs and checks it: unpacked into a scratch root,
# it must hold the three programs, which must start, and their manual pages, which must render
# without a warning. The package is left in build/programs/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${package_packages[@]}"
cmake --workflow --preset package

build=build/programs
debs=("$build"/vornhold_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "Expected one package in $build, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
dpkg-deb --field "$deb" Package Version Architecture Depends

root=$build/package-root
rm -rf "$root"
dpkg-deb -x "$deb" "$root"

failed=0
for page in vornhold2 vornhold vornlens; do
  file=$root/usr/share/man/man1/$page.1
  if [ ! -f "$file" ]; then
    echo "missing manual page: $file" >&2
    failed=1
  elif ! warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) || [ -n "$warnings" ]; then
    echo "manual page $page.1 does not render cleanly: $warnings" >&2
    failed=1
  fi
done

# Started without a picture in an empty folder, each program names itself and reports the
# missing input (then pauses 3 s); that proves each lies under its own name and runs.
empty=$build/package-run
rm -rf "$empty"
mkdir -p "$empty"
declare -A banner=([vornhold2]="Vornhold 2" [vornhold]="Vornhold" [vornlens]="Loading main file...")
declare -A output=()
for program in vornhold2 vornhold vornlens; do
  if [ ! -x "$root/usr/bin/$program" ]; then
    echo "missing program: $root/usr/bin/$program" >&2
    failed=1
    continue
  fi
  (cd "$empty" && "$OLDPWD/$root/usr/bin/$program" >"$program.out") &
done
wait
for program in "${!banner[@]}"; do
  [ -f "$empty/$program.out" ] || continue
  first=$(head -n 1 "$empty/$program.out" | tr -d '\r')
  if [ "$first" != "${banner[$program]}" ] || ! grep -q "Can't open main file!" "$empty/$program.out"; then
    echo "$program did not run as expected; its output:" >&2
    cat "$empty/$program.out" >&2
    failed=1
  fi
done

[ $failed -eq 0 ] && echo "Package $deb holds the three programs and their manual pages."
exit $failed
