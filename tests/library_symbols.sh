#!/usr/bin/env bash
# The static library defines no global symbol of its own beyond vorn.h's functions. What the
# compiler adds besides is allowed: its exception-handling references (DW.ref.*), the 32-bit
# x86 position-independent code's thunks, and weak instances of the standard library's
# templates (names in std), which are not the library's names and merge with a caller's copies.
#   library_symbols.sh NM LIBRARY
set -euo pipefail
nm=$1
library=$2
stray=$("$nm" -g --defined-only "$library" | awk 'NF == 3 { print $2, $3 }' |
  grep -v -e ' vorn_' -e ' DW\.ref\.' -e ' __x86\.get_pc_thunk\.' -e '^[WVu] _ZN\?K\?St' || true)
if [ -n "$stray" ]; then
  echo "libvorn defines global symbols outside vorn_:" >&2
  echo "$stray" >&2
  exit 1
fi
