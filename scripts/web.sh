#!/usr/bin/env bash
# Builds the web page (the engine and the picture kit compiled to WebAssembly, with the
# page's files) into build/wasm/web/site and serves it on 127.0.0.1 until stopped with Ctrl-C.
#   bash scripts/web.sh [PORT]       build and serve (port 8000 by default)
#   bash scripts/web.sh --build      build only
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

# A first build in a fresh clone (no WebAssembly libraries, no page yet) is timed whole: the
# README says how long it takes.
first_build=
[ -d build/wasm ] || [ -d build/third-party/wasm ] || first_build=1
ensure_packages "${web_packages[@]}"
# vorn's PNG, JPEG and WebP libraries and libsodium for keyed and compact pictures, built for
# WebAssembly from Debian's source packages (once; a rerun only compares their stamps).
bash scripts/third-party.sh wasm zlib libspng libjpeg-turbo libsodium utf8proc libwebp
# Debian's emcc finds its JavaScript modules through NODE_PATH when Node.js is not Debian's own.
export NODE_PATH=/usr/share/nodejs
cmake --preset wasm >/dev/null
cmake --build --preset wasm
site=build/wasm/web/site
python3 scripts/figures.py record scripts/web.sh wasm-size --bytes "$(stat -c %s "$site/vorn.wasm")"
if [ -n "$first_build" ]; then
  python3 scripts/figures.py record scripts/web.sh web-first-build --seconds "$SECONDS"
fi
[ "${1:-}" = --build ] && exit 0

port=${1:-8000}
echo "The page is at http://127.0.0.1:$port/ (Ctrl-C stops the server)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
