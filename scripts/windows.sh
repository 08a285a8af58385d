#!/usr/bin/env bash
# Builds the Windows executables with MinGW-w64 and runs the windows preset's tests under Wine:
# the test suite, then each Windows program and a table of vorn command lines beside the Linux
# build of the same program, requiring the same output files and console text
# (tests/windows/compare.sh). This script installs what they need, readies Wine, builds the
# libraries for Windows, and runs the preset's workflow.
#   bash scripts/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/wine-env.sh
start_seconds=$SECONDS

ensure_packages "${build_packages[@]}"
ensure_packages --with-recommends "${windows_packages[@]}"
ensure_native_libspng

# Wine starts background services with the first program it runs, and they keep that program's
# stdout open for seconds after it ends, which stalls every reader of a pipe (CTest included).
# So one server is kept up for the whole script and its services are started at once, on
# /dev/null. The server can be made to stay up only once the prefix exists, and its services
# must not be left to the first test: they would hold that test's output open as long as the
# server lives.
stop_wine() { wineserver -k </dev/null >/dev/null 2>&1 || true; }
start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
}
trap stop_wine EXIT
start_wine
echo "Wine ready in $((SECONDS - start_seconds)) s ($WINEPREFIX)"

# vorn's PNG, JPEG and WebP libraries, libsodium and utf8proc for keyed and compact pictures,
# built for Windows from Debian's source packages.
bash scripts/third-party.sh mingw zlib libisal libspng libjpeg-turbo libsodium utf8proc libwebp
cmake --workflow --preset windows

echo "Windows part took $((SECONDS - start_seconds)) s"
