#!/usr/bin/env bash
# Builds the Debian packages into build/package/ and checks them (the package preset's tests,
# packaging/tests/check.sh):
# - lintian finds no error and no warning in them;
# - a second build of the same sources, from scratch in another folder, gives the same bytes;
# - unpacked into a scratch root, the programs start, the manual pages render without a warning,
#   and the package, the pages, `vorn --version` and the library all carry the one version.
# Every time stamp in the packages is the date of the commit being packaged (outside a git
# checkout, the date of the latest changelog entry) unless SOURCE_DATE_EPOCH says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${program_packages[@]}" "${package_packages[@]}"
ensure_native_libspng

# Packages left from an earlier version would be checked with the new ones.
rm -f build/package/*.deb
cmake --workflow --preset package
echo "The packages in build/package are lintian-clean, reproducible and whole."
