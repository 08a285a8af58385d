#!/usr/bin/env bash
# Builds the three programs and the test suites, then runs every test with CTest.
#   bash scripts/test.sh          release build
#   bash scripts/test.sh asan     the same suite built with AddressSanitizer and UBSan
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

preset=${1:-default}
ensure_packages "${build_packages[@]}"
cmake --workflow --preset "$preset"
