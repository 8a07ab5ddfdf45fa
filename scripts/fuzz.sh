#!/usr/bin/env bash
# Runs every fuzz target of a PW_FUZZ build for SECONDS each, from the seed corpus in
# tests/fuzz/corpus/<target>/ plus what earlier runs of this tree found.
#   scripts/fuzz.sh <fuzz build dir> <seconds>
# A crash, a leak, a sanitizer report, a broken property or a hang (10 s on one input)
# fails the run; the input that did it lands in <build dir>/artifacts/. The last line
# per target gives the executions done.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$(cd "$1" && pwd)
seconds=$2
mkdir -p "$dir/artifacts"
# Every save ends in an fsync; on a RAM disk that costs nothing, so the targets that save
# run many times faster there.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
status=0
for bin in "$dir"/tests/fuzz/fuzz_*; do
  [ -f "$bin" ] && [ -x "$bin" ] || continue
  name=$(basename "$bin")
  target=${name#fuzz_}
  seeds="$root/tests/fuzz/corpus/$target"
  found="$dir/corpus/$target"
  mkdir -p "$found"
  log="$dir/artifacts/$name.log"
  QT_QPA_PLATFORM=offscreen \
    LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/$name-" "$found" "$seeds" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "FUZZ FAIL  $name (exit $rc), log: $log"
    grep -E 'ERROR|SUMMARY|property broken|Test unit written' "$log" | head -20
  else
    echo "fuzz ok    $name: ${runs:-?} executions in ${seconds} s"
  fi
done
exit $status
