#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for a short while, one at a
# time. Exits non-zero when any target found a crash, leak, hang or OOM; the
# inputs that caused them are left in build/fuzz/findings/<target>/.
#
#   fuzz/run-brief.sh [target...]
#
# FUZZ_SECONDS (default 20) is the time per target. FUZZ_KEEP_GOING=1 keeps a
# target running after a finding (libFuzzer's fork mode, one job), for long runs
# that should collect every finding rather than stop at the first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-20}
build=build/fuzz
all="cfb_fuzzer msg_fuzzer rtf_decompress_fuzzer rtf_html_fuzzer rtf_extract_fuzzer mime_fuzzer convert_fuzzer"
targets=${*:-$all}

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz -j2 || exit 1
fuzz/make-seeds.sh "$build" "$build/seeds" || exit 1

# Undefined behaviour is a finding like a crash: stop at the first report.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
for t in $targets; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  # One fuzzing process at a time, libFuzzer's default (-jobs would move the
  # output into files in the working folder).
  args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
        -dict=fuzz/msg.dict -artifact_prefix="$findings/" -max_len=262144)
  if [ "${FUZZ_KEEP_GOING:-0}" = 1 ]; then
    args+=(-fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1)
  fi
  before=$(find "$findings" -type f | wc -l)
  echo "== $t (${seconds} s)"
  "$build/fuzz/$t" "${args[@]}" "$corpus" "$build/seeds/$t" >"$build/$t.log" 2>&1
  rc=$?
  after=$(find "$findings" -type f | wc -l)
  grep -E "^#[0-9]+.*cov:" "$build/$t.log" | tail -1
  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$build/$t.log" | tail -1
  if [ $rc -ne 0 ] || [ "$after" -gt "$before" ]; then
    echo "FINDING in $t (exit $rc): see $build/$t.log and $findings/"
    grep -E "^==[0-9]+==ERROR|^SUMMARY|runtime error" "$build/$t.log" | head -5
    status=1
  fi
done
exit $status
