#!/usr/bin/env bash
# Builds the Debian packages into build/package/ and checks them:
# - lintian finds no error and no warning in them;
# - a second build of the same sources, from scratch in another folder, gives the same bytes;
# - unpacked into a scratch root, the programs start, the manual pages render without a warning,
#   and the package, the pages, `vorn --version` and the library all carry the one version.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${package_packages[@]}"
ensure_native_libspng

# Every time stamp in the packages is the date of the commit being packaged (outside a git
# checkout, the date of the latest changelog entry), so that two builds can be compared.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    SOURCE_DATE_EPOCH=$(date -d "$(sed -n '/^ -- /{s/.*  //p;q}' packaging/changelog)" +%s)
fi
export SOURCE_DATE_EPOCH

build=build/package
again=build/package-again
rm -f "$build"/*.deb
cmake --workflow --preset package

failed=0
fail() { echo "$*" >&2; failed=1; }

debs=("$build"/*.deb)
[ -f "${debs[0]}" ] || { echo "No package was made in $build" >&2; exit 1; }
for deb in "${debs[@]}"; do
  echo "== $(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Architecture Depends
done

echo
echo "== Building the packages a second time, from scratch in $again"
rm -rf "$again"
cmake --preset package -B "$again" >/dev/null
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

echo
echo "== lintian"
# lintian's findings go to stdout; on stderr it notes that it runs as root, which is harmless.
if findings=$(lintian --fail-on error,warning "${debs[@]}" 2>"$build/lintian.err"); then
  echo "no error, no warning${findings:+; other findings:}"
  [ -z "$findings" ] || echo "$findings"
else
  echo "$findings"
  grep -v "running with root privileges" "$build/lintian.err" >&2 || true
  fail "lintian found errors or warnings, or could not check the packages"
fi

root=$build/package-root
rm -rf "$root"
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done
version=$(dpkg-deb --field "${debs[0]}" Version)

echo
echo "== Contents"
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
if [ -x "$root/usr/bin/vorn" ]; then
  line=$(timeout 20 "$root/usr/bin/vorn" --version </dev/null 2>&1 | head -n 1) || true
  [[ "$line" == *"$version"* ]] || fail "vorn --version says '$line', not $version"
fi
for library in "$root"/usr/lib/*/libvorn.so.${version%%.*} "$root"/usr/lib/libvorn.so.${version%%.*}; do
  [ -e "$library" ] || continue
  grep -aqx -- "$version" < <(strings -n 3 "$library") || fail "$library does not hold $version"
done

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
  (cd "$empty" && "$OLDPWD/$root/usr/bin/$program" >"$program.out") &
done
wait
for program in "${!banner[@]}"; do
  [ -f "$empty/$program.out" ] || continue
  first=$(head -n 1 "$empty/$program.out" | tr -d '\r')
  if [ "$first" != "${banner[$program]}" ] || ! grep -q "Can't open main file!" "$empty/$program.out"; then
    fail "$program did not run as expected; its output: $(cat "$empty/$program.out")"
  fi
done

if [ $failed -eq 0 ]; then
  echo "The packages of version $version in $build are lintian-clean, reproducible and whole."
fi
exit $failed
