#!/usr/bin/env bash
# Installs the library into a scratch prefix, then builds the example docs/library.md shows
# against the installed files only, once with pkg-config and once with find_package(vorn CONFIG),
# and runs it each time.
#   install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The example docs/library.md shows is the file in examples/, word for word.
python3 - "$source_dir/docs/library.md" "$source_dir/examples/hide.c" <<'PY'
import sys
readme, example = (open(p).read() for p in sys.argv[1:3])
if example.strip() not in readme:
    sys.exit("docs/library.md does not show examples/hide.c as it stands")
PY

prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" --component development >/dev/null
cmake --install "$build_dir" --prefix "$prefix" --component runtime >/dev/null
libdir=$(dirname "$(find "$prefix" -name vorn.pc)")/..

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -std=c99 -Wall -Wextra -Werror -o "$scratch/hide" "$source_dir/examples/hide.c" \
  $(pkg-config --cflags --libs vorn)
LD_LIBRARY_PATH=$libdir "$scratch/hide"

cmake -S "$source_dir/tests/install" -B "$scratch/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DEXAMPLE="$source_dir/examples/hide.c" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
LD_LIBRARY_PATH=$libdir "$scratch/consumer/hide_shared"
"$scratch/consumer/hide_static"
