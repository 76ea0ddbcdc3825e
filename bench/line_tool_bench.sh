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
# Elapsed time depends on what else runs on the machine; the CPU time (user + system) of
# the one process is the figure for one core.
printf '%-38s %8s %8s %8s %8s %12s\n' program elapsed "MB/s" "cpu s" "MB/s" "peak RSS MB"

# measure LABEL COMMAND...: elapsed and CPU time, maximum resident set size (as time -v
# reports it), and the input's megabytes per second on each clock.
measure() {
  local label=$1
  shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null
  read -r elapsed user system kilobytes <"$work/time"
  awk -v l="$label" -v e="$elapsed" -v c="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
    -v k="$kilobytes" -v b="$bytes" 'BEGIN {
      printf "%-38s %8.2f %8.1f %8.2f %8.1f %12.1f\n", l, e, (e > 0 ? b / 1e6 / e : 0), c,
             (c > 0 ? b / 1e6 / c : 0), k / 1024 }'
}
measure "cat" cat "$work/line.csv"
measure "wc -l" wc -l "$work/line.csv"
measure "vorlith-line stats" "$tool" -q -i "$work/line.csv" stats
measure "vorlith-line (read and write)" "$tool" -q -i "$work/line.csv" -o "$work/copy.csv"
cmp -s "$work/line.csv" "$work/copy.csv" && echo "round trip: byte-identical" || echo "round trip: DIFFERS"
measure "vorlith-line stats, written to a file" "$tool" -q -i "$work/line.csv" -o "$work/copy.csv" stats
measure "vorlith-line despike, written" "$tool" -q -i "$work/line.csv" -o "$work/copy.csv" despike -c mag
