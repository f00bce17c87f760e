#!/usr/bin/env bash
# mailvane-convert at scale. Builds the bench preset, writes inputs with
# make_bench_msgs into a temporary folder and prints
#   - files per second on SMALL_COUNT small items: mailvane-convert -j2 and -j1,
#     one quorvex process per file from a shell loop, and /bin/true in the same
#     loop (best of RUNS each);
#   - the 200 MiB attachment: MB/s of mailvane-convert -j1 against quorvex (best
#     of RUNS), and the worker's peak memory (VmHWM, the mapped input included);
#   - a tree of BIG_COUNT small files (hard links to the small items, so only
#     the results take room): that it completes, the parent's peak memory
#     (VmHWM, sampled), and how often the progress line changed (under script(1),
#     so that standard error is a terminal);
#   - that every small result parses (check_outputs.py).
#
# Usage: bench/archive/run.sh [work folder]   (default: a new /tmp/archive-bench.*)
# Environment: SMALL_COUNT (2000), BIG_COUNT (100000, a multiple of SMALL_COUNT), RUNS (3),
# SECTIONS (small,large,many: which parts run), KEEP=1 keeps the folder.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$ROOT/build/bench/bin
Q=$BIN/quorvex
MC=$BIN/mailvane-convert
SMALL_COUNT=${SMALL_COUNT:-2000}
BIG_COUNT=${BIG_COUNT:-100000}
RUNS=${RUNS:-3}
SECTIONS=${SECTIONS:-small,large,many}
WORK=${1:-$(mktemp -d /tmp/archive-bench.XXXXXX)}
mkdir -p "$WORK"
if [[ -z "${KEEP:-}" && -z "${1:-}" ]]; then trap 'rm -rf "$WORK"' EXIT; fi

source "$ROOT/bench/timing.sh"
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }
# The peak of VmHWM (KB) of a process while it runs, into the file $2.
watch_hwm() {
  local pid=$1 out=$2 peak=0 v
  while kill -0 "$pid" 2>/dev/null; do
    v=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    [[ -n "$v" && "$v" -gt "$peak" ]] && peak=$v
    sleep 0.05
  done
  echo "$peak" >"$out"
}

say "== build"
(cd "$ROOT" && cmake --preset bench >/dev/null &&
  cmake --build --preset bench -j2 --target quorvex mailvane-convert make_bench_msgs >/dev/null)
say "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(uname -r)"
say "work folder: $WORK ($(df -PT "$WORK" | awk 'NR == 2 { print $2 }'))"

say "== generate"
[[ -f "$WORK/in/big200.msg" ]] || "$BIN/make_bench_msgs" "$WORK/in" "$SMALL_COUNT" 200
say "$SMALL_COUNT small items ($(du -sh "$WORK/in/small" | cut -f1)), big200.msg"

if [[ ,$SECTIONS, == *,small,* ]]; then
say "== $SMALL_COUNT small items, best of $RUNS"
declare -A best
for what in j2 j1 loop true; do
  times=()
  for ((r = 0; r < RUNS; r++)); do
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    sync
    t0=$(now)
    case $what in
      j2) "$MC" -j2 --quiet "$WORK/in/small" "$WORK/out" ;;
      j1) "$MC" -j1 --quiet "$WORK/in/small" "$WORK/out" ;;
      loop) for f in "$WORK"/in/small/*.msg; do "$Q" "$f" "$WORK/out"; done ;;
      true) for f in "$WORK"/in/small/*.msg; do /bin/true "$f" "$WORK/out"; done ;;
    esac
    times+=("$(elapsed "$t0" "$(now)")")
  done
  best[$what]=$(min "${times[@]}")
  say "$what: ${times[*]} s -> best ${best[$what]} s = $(rate "$SMALL_COUNT" "${best[$what]}") files/s"
  if [[ $what == j2 ]]; then
    python3 "$ROOT/bench/converter/check_outputs.py" small "$WORK/out" "$SMALL_COUNT"
  fi
done
say "ratios: -j2 / quorvex loop = $(awk -v a="${best[loop]}" -v b="${best[j2]}" 'BEGIN { printf "%.2f", a / b }')," \
  "-j2 / /bin/true loop = $(awk -v a="${best[true]}" -v b="${best[j2]}" 'BEGIN { printf "%.2f", a / b }')," \
  "-j2 / -j1 = $(awk -v a="${best[j1]}" -v b="${best[j2]}" 'BEGIN { printf "%.2f", a / b }')"
fi

if [[ ,$SECTIONS, == *,large,* ]]; then
say "== 200 MiB attachment, best of $RUNS (input $(stat -c %s "$WORK/in/big200.msg") bytes)"
mkdir -p "$WORK/one" && ln -f "$WORK/in/big200.msg" "$WORK/one/big200.msg"
payload=$((200 << 20))
for what in quorvex convert; do
  times=()
  for ((r = 0; r < RUNS; r++)); do
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    sync
    t0=$(now)
    if [[ $what == quorvex ]]; then "$Q" "$WORK/one/big200.msg" "$WORK/out"; else "$MC" -j1 --quiet "$WORK/one" "$WORK/out"; fi
    times+=("$(elapsed "$t0" "$(now)")")
  done
  b=$(min "${times[@]}")
  say "$what: ${times[*]} s -> best $b s = $(rate "$payload" "$(awk -v s="$b" 'BEGIN { print s * 1e6 }')") MB/s of payload"
done
rm -rf "$WORK/out" && mkdir "$WORK/out"
"$MC" -j1 --quiet "$WORK/one" "$WORK/out" &
parent=$!
worker=""
for _ in $(seq 1 2000); do
  worker=$(cat /proc/$parent/task/*/children 2>/dev/null | tr ' ' '\n' | grep . | head -1 || true)
  [[ -n "$worker" ]] && grep -q -- --worker "/proc/$worker/cmdline" 2>/dev/null && break
  worker=""
  sleep 0.001
done
watch_hwm "$worker" "$WORK/hwm.txt" &
wait $parent
wait
say "worker peak VmHWM: $(cat "$WORK/hwm.txt") KB (input $(($(stat -c %s "$WORK/in/big200.msg") / 1024)) KB + 64 MiB = $(($(stat -c %s "$WORK/in/big200.msg") / 1024 + 65536)) KB)"

fi

if [[ ,$SECTIONS, == *,many,* ]]; then
say "== $BIG_COUNT small files (hard links, $SMALL_COUNT per folder)"
rm -rf "$WORK/out" "$WORK/many"
mkdir -p "$WORK/many"
for ((k = 0; k < BIG_COUNT / SMALL_COUNT; k++)); do cp -al "$WORK/in/small" "$WORK/many/$k"; done
t0=$(now)
rm -f "$WORK/pid"
script -qefc "'$MC' -j2 '$WORK/many' '$WORK/out' & echo \$! > '$WORK/pid'; wait \$!" "$WORK/progress.txt" >/dev/null &
while [[ ! -s "$WORK/pid" ]]; do sleep 0.01; done
watch_hwm "$(cat "$WORK/pid")" "$WORK/parent-hwm.txt" &
wait
t_big=$(elapsed "$t0" "$(now)")
updates=$(tr -cd '\r' <"$WORK/progress.txt" | wc -c)
say "completed in $t_big s = $(rate "$BIG_COUNT" "$t_big") files/s; results: $(find "$WORK/out" -name '*.eml' | wc -l)"
say "parent peak VmHWM: $(cat "$WORK/parent-hwm.txt" 2>/dev/null || echo '?') KB"
say "progress line: $updates updates in $t_big s; last: $(tr '\r' '\n' <"$WORK/progress.txt" | grep files/s | tail -2 | head -1)"
rm -rf "$WORK/out" "$WORK/many"
fi
