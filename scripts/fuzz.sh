#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs them on their kept corpus
# (fuzz/corpus/<target>) and the generated seed pictures, as many targets at once as the machine
# has cores, within a time given for the whole run: each target gets an even share of it (at
# least 20 s), so that adding a target spreads the time rather than lengthening the run. Any finding (a crash, a sanitizer report, a failed check, a hang,
# runaway memory) fails the script; libFuzzer saves the input as build/fuzz/findings/<target>-*.
# Once the fault is fixed, that input goes into fuzz/corpus/<target> so that the replay tests
# keep it.
#   bash scripts/fuzz.sh [seconds in all]     default 300
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

total=${1:-300}
ensure_packages "${build_packages[@]}" clang-14 libclang-rt-14-dev
ensure_native_libspng
cmake --preset fuzz
cmake --build --preset fuzz
build/fuzz/fuzz/vorn_fuzz_seeds build/fuzz/seeds
mkdir -p build/fuzz/findings

# Targets run side by side, one per core, each with its own log, shown in order afterwards.
fuzz_target() {
  local target=$1
  # New inputs go to the first folder, which stays out of the source tree.
  mkdir -p "build/fuzz/work/$target"
  local status=0
  "build/fuzz/fuzz/vorn_fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/findings/$target-" \
      "build/fuzz/work/$target" "fuzz/corpus/$target" $(ls -d "build/fuzz/seeds/$target" 2>/dev/null) \
      > "build/fuzz/logs/$target.log" 2>&1 || status=$?
  echo "$status" > "build/fuzz/logs/$target.status"
}
# Every target the build made: the keyed form's and vorn's own are there where they are built.
targets=()
for executable in build/fuzz/fuzz/vorn_fuzz_*; do
  target=${executable#build/fuzz/fuzz/vorn_fuzz_}
  if [ -f "$executable" ] && [ -x "$executable" ] && [ "$target" != seeds ]; then targets+=("$target"); fi
done
at_once=$(nproc)
rounds=$(( (${#targets[@]} + at_once - 1) / at_once ))
seconds=$(( total / rounds ))
[ "$seconds" -ge 20 ] || seconds=20
mkdir -p build/fuzz/logs
rm -f build/fuzz/logs/*
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$at_once" ]; do wait -n; done
  echo "== fuzzing $target for $seconds s"
  fuzz_target "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
  echo "== $target"
  cat "build/fuzz/logs/$target.log"
  if [ "$(cat "build/fuzz/logs/$target.status")" != 0 ]; then failed+=("$target"); fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in build/fuzz/findings)" >&2
  exit 1
fi
echo "Fuzzing found no fault."
