#!/usr/bin/env bash
# The checks of the Debian packages that cpack made in BUILD (the package preset's workflow runs
# them once the packages are made). VERSION is the project's version.
#   check.sh made BUILD VERSION         each package carries VERSION; their fields are listed
#   check.sh reproducible BUILD SOURCE  a second build from scratch in BUILD-again, same bytes
#   check.sh lintian BUILD              lintian finds no error and no warning
#   check.sh unpack BUILD               the packages unpacked into BUILD/package-root
#   check.sh manual-pages BUILD VERSION the pages are there, render cleanly and carry VERSION
#   check.sh version BUILD VERSION      `vorn --version` and the library carry VERSION
#   check.sh programs BUILD             each program starts under its own name
set -euo pipefail
check=$1
build=$(cd "$2" && pwd)
root=$build/package-root

failed=0
fail() { echo "$*" >&2; failed=1; }

debs=("$build"/*.deb)
[ -f "${debs[0]}" ] || { echo "No package was made in $build" >&2; exit 1; }

case $check in
made)
  version=$3
  for deb in "${debs[@]}"; do
    echo "== $(basename "$deb")"
    dpkg-deb --field "$deb" Package Version Architecture Depends
    [ "$(dpkg-deb --field "$deb" Version)" = "$version" ] ||
      fail "$(basename "$deb") is not of the project's version $version (left from an older build?)"
  done
  ;;

reproducible)
  # Both builds take their time stamps from SOURCE_DATE_EPOCH, which cpack sets to the commit's
  # date where it is not set (cmake/cpack-options.cmake).
  source=$3
  again=$build-again
  rm -rf "$again"
  (cd "$source" && cmake --preset package -B "$again" >/dev/null)
  cmake --build "$again" >/dev/null
  (cd "$again" && cpack -G DEB >/dev/null)
  first=$(cd "$build" && ls -- *.deb)
  second=$(cd "$again" && ls -- *.deb)
  if [ "$first" != "$second" ]; then
    fail "The two builds made different packages: [$first] and [$second]"
  else
    for deb in $first; do
      if cmp -s "$build/$deb" "$again/$deb"; then
        echo "$deb: identical ($(sha256sum <"$build/$deb" | cut -c1-16)...)"
      else
        fail "$deb: the two builds differ (compare them with diffoscope)"
      fi
    done
  fi
  ;;

lintian)
  # lintian's findings go to stdout; on stderr it notes that it runs as root, which is harmless.
  if findings=$(lintian --fail-on error,warning "${debs[@]}" 2>"$build/lintian.err"); then
    echo "no error, no warning${findings:+; other findings:}"
    [ -z "$findings" ] || echo "$findings"
  else
    echo "$findings"
    grep -v "running with root privileges" "$build/lintian.err" >&2 || true
    fail "lintian found errors or warnings, or could not check the packages"
  fi
  ;;

unpack)
  rm -rf "$root"
  for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$root"
  done
  ;;

manual-pages)
  version=$3
  man1=$root/usr/share/man/man1
  for page in vornhold2 vornlens; do
    [ -f "$man1/$page.1.gz" ] || fail "missing manual page: $man1/$page.1.gz"
  done
  [ "$(readlink "$man1/vornhold.1.gz" 2>/dev/null)" = vornhold2.1.gz ] ||
    fail "vornhold.1.gz is not a link to vornhold2.1.gz"
  for file in "$root"/usr/share/man/man*/*; do
    if ! warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) || [ -n "$warnings" ]; then
      fail "manual page $(basename "$file") does not render cleanly: $warnings"
    elif [ ! -L "$file" ] && ! zcat "$file" | grep -q "^\.TH .*$version"; then
      fail "manual page $(basename "$file") does not carry the version $version"
    fi
  done
  ;;

version)
  version=$3
  if [ -x "$root/usr/bin/vorn" ]; then
    line=$(timeout 20 "$root/usr/bin/vorn" --version </dev/null 2>&1 | head -n 1) || true
    [[ "$line" == *"$version"* ]] || fail "vorn --version says '$line', not $version"
  fi
  for library in "$root"/usr/lib/*/libvorn.so.${version%%.*} "$root"/usr/lib/libvorn.so.${version%%.*}; do
    [ -e "$library" ] || continue
    grep -aqx -- "$version" < <(strings -n 3 "$library") || fail "$library does not hold $version"
  done
  ;;

programs)
  # Started without a picture in an empty folder, each program names itself and reports the
  # missing input (then pauses 3 s); that proves each lies under its own name and runs.
  empty=$build/package-run
  rm -rf "$empty"
  mkdir -p "$empty"
  declare -A banner=([vornhold2]="Vornhold 2" [vornhold]="Vornhold" [vornlens]="Loading main file...")
  for program in "${!banner[@]}"; do
    if [ ! -x "$root/usr/bin/$program" ]; then
      fail "missing program: $root/usr/bin/$program"
      continue
    fi
    (cd "$empty" && exec "$root/usr/bin/$program" >"$program.out" </dev/null) &
  done
  wait
  for program in "${!banner[@]}"; do
    [ -f "$empty/$program.out" ] || continue
    first=$(head -n 1 "$empty/$program.out" | tr -d '\r')
    if [ "$first" != "${banner[$program]}" ] || ! grep -q "Can't open main file!" "$empty/$program.out"; then
      fail "$program did not run as expected; its output: $(cat "$empty/$program.out")"
    fi
  done
  ;;

*)
  echo "unknown check: $check" >&2
  exit 2
  ;;
esac
exit $failed
