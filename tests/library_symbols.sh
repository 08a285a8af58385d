#!/usr/bin/env bash
# The static library defines no global symbol of its own beyond vorn.h's functions. What the
# compiler adds for exception handling (DW.ref.*) and the one libstdc++ template the encoder's
# thread hand-over instantiates are not the library's names and cannot clash with a caller's.
#   library_symbols.sh NM LIBRARY
set -euo pipefail
nm=$1
library=$2
stray=$("$nm" -g --defined-only "$library" | awk 'NF == 3 { print $3 }' |
  grep -v -e '^vorn_' -e '^DW\.ref\.' -e '^_ZNSt11unique_lockISt5mutexE6unlockEv$' || true)
if [ -n "$stray" ]; then
  echo "libvorn defines global symbols outside vorn_:" >&2
  echo "$stray" >&2
  exit 1
fi
