#!/usr/bin/env bash
# Builds the web page and the native programs, then runs the browser tests in headless Chromium:
# the page's controls and window.vornhold, compared with the programs' files byte for byte, the
# policy table (tests/policy/cases.tsv) against the page and vorn alike, and keyed pictures
# between the page, vorn and the native library.
#   bash scripts/web-test.sh                 the tests
#   bash scripts/web-test.sh --screenshots   the tests, writing docs/web-encode.png and
#                                            docs/web-decode.png from the real page
#   bash scripts/web-test.sh --bench [SIDE]  encoding SIDE x SIDE (4096) with two hidden pictures
#                                            in Chromium beside the native program
#   bash scripts/web-test.sh --bench-key [RUNS]  deriving a keyed picture's key (the format's
#                                            cost) in Chromium beside the native library
#   bash scripts/web-test.sh --bench-compact [SIDE [RUNS]]  hiding two SIDE x SIDE (4096) pictures
#                                            in the page's default form and taking them out,
#                                            beside vorn encode --compact and vorn decode
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${build_packages[@]}" "${web_packages[@]}" "${web_test_packages[@]}"
command -v npm >/dev/null || ensure_packages npm
ensure_native_libspng

bash scripts/web.sh --build
cmake --preset default >/dev/null
targets=(vornhold2 vornhold vornlens vorn vorn_policy_pictures vorn_sample_pictures vorn_keyed_fixture)
[ "${1:-}" = --bench ] && targets+=(vorn_bench)
cmake --build --preset default --target "${targets[@]}"

scratch=$PWD/build/web-test
rm -rf "$scratch"
mkdir -p "$scratch"
export VORN_WEB_SCRATCH=$scratch
(cd web/test && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)

case "${1:-}" in
  --bench)
    exec node web/test/bench.mjs "${2:-4096}" ;;
  --bench-key)
    exec node web/test/key-bench.mjs "${2:-5}" ;;
  --bench-compact)
    exec node web/test/compact-bench.mjs "${2:-4096}" "${3:-3}" ;;
  --screenshots)
    export VORN_WEB_SCREENSHOTS=$PWD/docs ;;
esac
cd web/test
node --test --test-concurrency=1 api.test.mjs policy.test.mjs keyed.test.mjs compact.test.mjs page.test.mjs
