#!/usr/bin/env bash
# Instruction counts (callgrind) of one quorvex binary: repeatable on a busy
# machine, where wall times are not. Sums over 20 small items and the 10 MiB
# item that make_bench_msgs writes, and over every .msg of the shared corpus.
#
# Usage: bench/converter/icount.sh <quorvex> <folder written by make_bench_msgs IN 1000 10> [corpus folder]
set -euo pipefail
q=$1 in=$2 corpus=${3:-$(dirname "$0")/../../../shared/corpus}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
count() {
  rm -rf "$out"/* && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$q" "$1" "$out/" 2>&1 |
    awk '/Collected/ { print $4 }'
}
small=0
for f in $(ls "$in"/small/*.msg | head -20); do small=$((small + $(count "$f"))); done
corp=0
while IFS= read -r f; do n=$(count "$f"); corp=$((corp + ${n:-0})); done < <(find "$corpus" -name '*.msg' | sort)
echo "$q: small20=$small big10=$(count "$in/big10.msg") corpus=$corp"
