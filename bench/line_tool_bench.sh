#!/usr/bin/env bash
# Throughput and peak memory of vorlith-line on a generated table (default 10,000,000 rows
# of four columns), on one core, against cat and wc -l on the same file in the same run.
# Usage: bench/line_tool_bench.sh [build-dir] [rows]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
rows=${2:-10000000}
tool=$build/tools/vorlith-line/vorlith-line
[[ -x $tool ]] || { echo "line_tool_bench: build $tool first" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "line_tool_bench: needs GNU time (package time)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/line_tool_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export OMP_NUM_THREADS=1

awk -v n="$rows" 'BEGIN {
  srand(1); print "fid,x,y,mag"
  for (i = 0; i < n; ++i)
    printf "%d,%.2f,%.2f,%.3f\n", i, 500000 + i * 0.5, 7000000 + i * 0.25, 50000 + 100 * sin(i / 1000) + rand()
}' >"$work/line.csv"
bytes=$(stat -c %s "$work/line.csv")
columns_mb=$(awk -v n="$rows" 'BEGIN { printf "%.0f", n * 4 * 8 / 1e6 }')
printf 'input: %d rows, 4 columns, %.1f MB; the columns as doubles: %s MB\n' "$rows" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$columns_mb"
printf '%-40s %9s %9s %13s\n' program seconds "MB/s" "peak RSS MB"

# measure LABEL COMMAND...: elapsed time and maximum resident set size (as time -v reports it).
measure() {
  local label=$1
  shift
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null
  read -r seconds kilobytes <"$work/time"
  awk -v l="$label" -v s="$seconds" -v k="$kilobytes" -v b="$bytes" \
    'BEGIN { printf "%-40s %9.2f %9.1f %13.1f\n", l, s, (s > 0 ? b / 1e6 / s : 0), k / 1024 }'
}
measure "cat" cat "$work/line.csv"
measure "wc -l" wc -l "$work/line.csv"
measure "vorlith-line stats" "$tool" -q -i "$work/line.csv" stats
measure "vorlith-line (read and write)" "$tool" -q -i "$work/line.csv" -o "$work/copy.csv"
cmp -s "$work/line.csv" "$work/copy.csv" && echo "round trip: byte-identical" || echo "round trip: DIFFERS"
measure "vorlith-line stats, written to a file" "$tool" -q -i "$work/line.csv" -o "$work/copy.csv" stats
measure "vorlith-line despike, written" "$tool" -q -i "$work/line.csv" -o "$work/copy.csv" despike -c mag
