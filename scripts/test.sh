#!/usr/bin/env bash
# Builds the three programs and the test suites, then runs every test with CTest.
#   bash scripts/test.sh          release build
#   bash scripts/test.sh asan     the same suite built with AddressSanitizer and UBSan
#   bash scripts/test.sh m32      the same suite as a 32-bit program, the library without threads
#                                 (through QEMU's emulator where the kernel runs no 32-bit programs)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/run32.sh

preset=${1:-default}
ensure_packages "${build_packages[@]}"
if [ "$preset" = m32 ]; then
  ensure_packages g++-multilib
  ensure_32bit_programs_run
else
  ensure_native_libspng
fi
cmake --workflow --preset "$preset"
