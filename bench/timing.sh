# Shared by the benchmark scripts (sourced): printing and timing helpers.
say() { printf '%s\n' "$*"; }
now() { date +%s.%N; }
# seconds as a float between two `now` values
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
min() { printf '%s\n' "$@" | sort -g | head -1; }
