#!/usr/bin/env bash
# A library defines no global symbol of its own but vorn_ functions, so that a program linking it
# meets none of its names. What the compiler adds besides is allowed: its exception-handling
# references (DW.ref.*), the 32-bit x86 position-independent code's thunks, weak instances of
# the standard library's templates (names in std), and the shared library's version node
# (VORN_n); so are C++ functions in the namespace vorn_internal, which the keyed objects share and
# whose mangled names carry the namespace.
# Given the header, the shared library's exported functions are exactly the header's: none
# missing, and none of the engine's inner or testing calls exported.
#   library_symbols.sh NM LIBRARY [HEADER]
set -euo pipefail
nm=$1
library=$2
header=${3:-}
stray=$("$nm" -g --defined-only "$library" | awk 'NF == 3 { print $2, $3 }' |
  grep -v -e ' vorn_' -e ' _ZNK\?13vorn_internal' -e ' DW\.ref\.' -e ' __x86\.get_pc_thunk\.' \
    -e '^[WVu] _ZN\?K\?St' -e '^A VORN_[0-9]*$' || true)
if [ -n "$stray" ]; then
  echo "$library defines global symbols outside vorn_:" >&2
  echo "$stray" >&2
  exit 1
fi
if [ -n "$header" ]; then
  # A declaration begins in the first column and names its function before the parenthesis.
  declared=$(sed -n 's/^[a-z].*[ *]\(vorn_[a-z0-9_]*\)(.*/\1/p' "$header" | sort -u)
  exported=$("$nm" -D --defined-only "$library" | awk '$2 == "T" { sub(/@.*/, "", $3); print $3 }' | sort -u)
  if [ "$declared" != "$exported" ]; then
    echo "$library exports other functions than $header declares:" >&2
    diff <(echo "$declared") <(echo "$exported") >&2 || true
    exit 1
  fi
fi
