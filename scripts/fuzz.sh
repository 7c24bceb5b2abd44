#!/usr/bin/env bash
# Builds the fuzz preset and runs every libFuzzer harness in turn, each for SECONDS (default 60)
# over a copy of its seeds in fuzz/corpus/<harness>/:
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]       e.g. scripts/fuzz.sh 600 setup_file
#
# Inputs the run finds interesting stay in build/fuzz/work/<harness>/ (the committed seeds are
# not touched); a crash, a violated property or a hang is written to fuzz/findings/<harness>/.
# Prints the executions, coverage and outcome of each harness; exits non-zero when any harness
# found something. Extra libFuzzer options come from HALVERN_FUZZ_OPTIONS (e.g. -runs=10000000).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
case "$seconds" in
  '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS] [HARNESS...]" >&2; exit 2 ;;
esac
if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for dir in fuzz/corpus/*/; do harnesses+=("$(basename "$dir")"); done
fi

scripts/bootstrap.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

read -r -a extra <<<"${HALVERN_FUZZ_OPTIONS:-}"
found=0
for harness in "${harnesses[@]}"; do
  binary=build/fuzz/fuzz/fuzz_$harness
  if [ ! -x "$binary" ] || [ ! -d "fuzz/corpus/$harness" ]; then
    echo "fuzz: no harness $harness" >&2
    exit 2
  fi
  work=build/fuzz/work/$harness
  findings=fuzz/findings/$harness
  rm -rf "$work"
  mkdir -p "$work" "$findings"
  cp fuzz/corpus/"$harness"/* "$work"/
  before=$(find "$findings" -type f | wc -l)

  status=0
  "$binary" "$work" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${extra[@]}" >"$work.log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work.log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work.log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$work.log" | tail -1 | cut -d' ' -f2)
  after=$(find "$findings" -type f | wc -l)
  if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
    found=1
    echo "fuzz $harness: FOUND something after ${runs:-?} executions (exit $status): see $findings/ and $work.log"
    grep -m3 -E 'property violated|ERROR:|SUMMARY' "$work.log" | sed 's/^/    /' || true
  else
    echo "fuzz $harness: ${runs:-?} executions in ${took:-?} s, cov ${cov:-?}, nothing found"
  fi
done
exit "$found"
