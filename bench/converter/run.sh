#!/usr/bin/env bash
# The converter at scale: builds the bench preset, writes the inputs with
# make_bench_msgs into a temporary folder and prints
#   - attachment throughput of quorvex on the 100 and 200 MiB items (best of 3,
#     wall time), beside GNU base64 on the same payload;
#   - memory of the 200 MiB run: peak RSS, peak anonymous and file-backed RSS
#     sampled from /proc, peak heap (heaptrack, when installed), and a run under
#     a 64 MiB RLIMIT_DATA;
#   - files per second for one quorvex process per small item from a shell loop;
#   - the Perl peer msgconvert on the same items, as a time ratio to ours;
#   - that every .eml parses and the 200 MiB attachment round-trips (sha256).
#
# Usage: bench/converter/run.sh [work folder]   (default: a new /tmp/quorvex-bench.*)
# Environment: SMALL_COUNT (1000), RUNS (3), KEEP=1 keeps the work folder.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
HERE=$ROOT/bench/converter
BIN=$ROOT/build/bench/bin
Q=$BIN/quorvex
SMALL_COUNT=${SMALL_COUNT:-1000}
RUNS=${RUNS:-3}
WORK=${1:-$(mktemp -d /tmp/quorvex-bench.XXXXXX)}
mkdir -p "$WORK"
if [[ -z "${KEEP:-}" && -z "${1:-}" ]]; then trap 'rm -rf "$WORK"' EXIT; fi

source "$ROOT/bench/timing.sh"
mbps() { awk -v bytes="$1" -v s="$2" 'BEGIN { printf "%.0f", bytes / 1e6 / s }'; }

say "== build"
(cd "$ROOT" && cmake --preset bench >/dev/null && cmake --build --preset bench -j2 --target quorvex make_bench_msgs >/dev/null)
say "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg), $(uname -r)"
say "work folder: $WORK ($(df -PT "$WORK" | awk 'NR == 2 { print $2 }'))"

say "== generate"
t0=$(now)
"$BIN/make_bench_msgs" "$WORK/in" "$SMALL_COUNT" 100,200
say "$SMALL_COUNT small items ($(du -sh "$WORK/in/small" | cut -f1)), big100.msg, big200.msg in $(elapsed "$t0" "$(now)") s"

say "== large attachments: quorvex wall time, best of $RUNS (includes the fsync of the .eml)"
for mib in 100 200; do
  payload=$((mib << 20))
  times=() cpu=()
  for ((r = 0; r < RUNS; r++)); do
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    sync
    t0=$(now)
    /usr/bin/time -f '%U %S' -o "$WORK/cpu.txt" "$Q" "$WORK/in/big$mib.msg" "$WORK/out"
    times+=("$(elapsed "$t0" "$(now)")")
    cpu+=("$(awk '{ printf "%.2f", $1 + $2 }' "$WORK/cpu.txt")")
  done
  best=$(min "${times[@]}")
  best_cpu=$(min "${cpu[@]}")
  declare "best_$mib=$best"
  say "big$mib: ${times[*]} s (cpu ${cpu[*]} s) -> best $best s = $(mbps "$payload" "$best") MB/s of payload" \
    "($(mbps "$payload" "$best_cpu") MB/s on CPU time alone)"
  times=()
  for ((r = 0; r < RUNS; r++)); do
    rm -f "$WORK/b64.txt"
    t0=$(now)
    base64 "$WORK/in/big$mib.bin" >"$WORK/b64.txt"
    times+=("$(elapsed "$t0" "$(now)")")
  done
  best=$(min "${times[@]}")
  say "big$mib: GNU base64 to a file (no fsync): ${times[*]} s -> best $best s = $(mbps "$payload" "$best") MB/s"
  rm -f "$WORK/b64.txt"
done

say "== memory of the 200 MiB run (input file: $(stat -c %s "$WORK/in/big200.msg") bytes, mapped read-only)"
rm -rf "$WORK/out" && mkdir "$WORK/out"
/usr/bin/time -v -o "$WORK/timev.txt" "$Q" "$WORK/in/big200.msg" "$WORK/out"
say "max RSS (/usr/bin/time -v, mapped file pages included): $(awk -F': ' '/Maximum resident/ { print $2 }' "$WORK/timev.txt") KB"
# RssAnon and RssFile of the running process, read every few milliseconds:
# file pages of the mapped input show up in RssFile, heap and stack in RssAnon.
rm -rf "$WORK/out" && mkdir "$WORK/out"
"$Q" "$WORK/in/big200.msg" "$WORK/out" &
pid=$!
anon=0 file=0
while [[ -r /proc/$pid/status ]]; do
  while read -r key value _; do
    case $key in
      RssAnon:) ((value > anon)) && anon=$value ;;
      RssFile:) ((value > file)) && file=$value ;;
    esac
  done <"/proc/$pid/status" 2>/dev/null || true
  [[ $(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) == Z ]] && break
  sleep 0.002
done
wait "$pid"
say "sampled peaks: RssAnon $anon KB, RssFile $file KB (binary, libraries and the mapped input)"
if command -v heaptrack >/dev/null; then
  rm -rf "$WORK/out" && mkdir "$WORK/out"
  heaptrack -o "$WORK/heaptrack" "$Q" "$WORK/in/big200.msg" "$WORK/out" >/dev/null 2>&1
  say "heaptrack: $(heaptrack_print "$WORK"/heaptrack.* 2>/dev/null | grep -E '^peak heap memory consumption')"
fi
# RLIMIT_DATA caps private writable memory (heap, anonymous maps, data
# segments), not read-only file maps: the run must succeed under 64 MiB, and a
# 1 MiB cap shows that the limit is enforced.
for cap in 64 1; do
  rm -rf "$WORK/out" && mkdir "$WORK/out"
  prlimit --data=$((cap << 20)) "$Q" "$WORK/in/big200.msg" "$WORK/out" >"$WORK/line.txt" 2>&1 || true
  n=$(find "$WORK/out" -name '*.eml' | wc -l)
  say "RLIMIT_DATA ${cap} MiB: $n .eml written $(head -c 120 "$WORK/line.txt" | tr '\n' ' ')"
done

say "== round trip of the 200 MiB attachment"
rm -rf "$WORK/out" && mkdir "$WORK/out"
"$Q" "$WORK/in/big200.msg" "$WORK/out"
python3 "$HERE/check_outputs.py" large "$WORK/out"/*.eml "$WORK/in/big200.bin"
rm -rf "$WORK/out"

say "== small items: one quorvex process per file from a shell loop"
rm -rf "$WORK/small-out" && mkdir "$WORK/small-out"
t0=$(now)
for f in "$WORK"/in/small/*.msg; do "$Q" "$f" "$WORK/small-out"; done
q_small=$(elapsed "$t0" "$(now)")
say "quorvex: $SMALL_COUNT files in $q_small s = $(awk -v n="$SMALL_COUNT" -v s="$q_small" 'BEGIN { printf "%.0f", n / s }') files/s"
t0=$(now)
for f in "$WORK"/in/small/*.msg; do /bin/true "$f" "$WORK/small-out"; done
t_true=$(elapsed "$t0" "$(now)")
say "same loop running /bin/true: $t_true s = $(awk -v n="$SMALL_COUNT" -v s="$t_true" 'BEGIN { printf "%.0f", n / s }') starts/s (the loop's own ceiling on this machine)"
python3 "$HERE/check_outputs.py" small "$WORK/small-out" "$SMALL_COUNT"
# For reference only: the same loop with fsync and fdatasync turned into no-ops,
# to show what the one fsync per .eml costs on this disk.
if command -v cc >/dev/null; then
  printf 'int fsync(int fd) { (void)fd; return 0; }\nint fdatasync(int fd) { (void)fd; return 0; }\n' >"$WORK/nosync.c"
  cc -shared -fPIC -O2 -o "$WORK/nosync.so" "$WORK/nosync.c"
  rm -rf "$WORK/small-out" && mkdir "$WORK/small-out"
  t0=$(now)
  for f in "$WORK"/in/small/*.msg; do LD_PRELOAD=$WORK/nosync.so "$Q" "$f" "$WORK/small-out"; done
  t_nosync=$(elapsed "$t0" "$(now)")
  say "quorvex with fsync stubbed out: $t_nosync s = $(awk -v n="$SMALL_COUNT" -v s="$t_nosync" 'BEGIN { printf "%.0f", n / s }') files/s (not a configuration we ship)"
fi

say "== peer: msgconvert (Perl) on the same items"
if ! command -v msgconvert >/dev/null; then
  apt-get install -y libemail-outlook-message-perl >/dev/null
fi
# msgconvert writes <name>.eml into its working folder.
rm -rf "$WORK/peer" && mkdir "$WORK/peer"
t0=$(now)
(cd "$WORK/peer" && for f in "$WORK"/in/small/*.msg; do msgconvert "$f" >/dev/null 2>&1 || true; done)
p_small=$(elapsed "$t0" "$(now)")
say "msgconvert: $(find "$WORK/peer" -name '*.eml' | wc -l) of $SMALL_COUNT files in $p_small s = $(awk -v n="$SMALL_COUNT" -v s="$p_small" 'BEGIN { printf "%.1f", n / s }') files/s; time per file msgconvert/quorvex = $(awk -v a="$p_small" -v b="$q_small" 'BEGIN { printf "%.1f", a / b }')"
python3 "$HERE/check_outputs.py" parse "$WORK/peer" || true
rm -rf "$WORK/peer" && mkdir "$WORK/peer"
t0=$(now)
(cd "$WORK/peer" && /usr/bin/time -f '%M' -o "$WORK/peer-rss.txt" timeout 600 msgconvert "$WORK/in/big100.msg" >/dev/null 2>&1) || true
p_big=$(elapsed "$t0" "$(now)")
if [[ -s "$WORK/peer/big100.eml" ]]; then
  say "msgconvert big100: $p_big s = $(mbps $((100 << 20)) "$p_big") MB/s, max RSS $(tail -1 "$WORK/peer-rss.txt") KB;" \
    "time msgconvert/quorvex = $(awk -v a="$p_big" -v b="$best_100" 'BEGIN { printf "%.0f", a / b }')"
else
  say "msgconvert big100: no output after $p_big s"
fi
rm -rf "$WORK/peer" "$WORK/small-out"
