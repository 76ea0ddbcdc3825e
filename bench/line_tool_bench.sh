#!/usr/bin/env bash
# vorlith-line against a pandas script doing the same work per line (group-by), on a
# generated survey (default 5,000,000 rows in 500 lines: line, fid, x, y, mag) in
# delimited text and in ASEG-GDF2. For every subcommand: elapsed and CPU time and the
# peak resident memory of a whole run (read, work on each line, write), one thread.
# Usage: bench/line_tool_bench.sh [build-dir] [rows] [lines]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
rows=${2:-5000000}
lines=${3:-500}
tool=$build/tools/vorlith-line/vorlith-line
python=/usr/bin/python3
[[ -x $tool ]] || { echo "line_tool_bench: build $tool first" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "line_tool_bench: needs GNU time (package time)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/line_tool_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1

# Lines alternate direction; mag has a spike every 997 rows and a gap every 1009.
awk -v n="$rows" -v l="$lines" 'BEGIN {
  srand(1); per = int(n / l); print "line,fid,x,y,mag"
  for (i = 0; i < n; ++i) {
    line = 1000 + 10 * int(i / per); k = i % per; along = (int(i / per) % 2 ? per - k : k) * 2.5
    mag = (i % 1009 == 0) ? "" : sprintf("%.3f", 50000 + 100 * sin(i / 1000) + rand() + (i % 997 == 0 ? 80 : 0))
    printf "%d,%d,%.2f,%.2f,%s\n", line, i, 500000 + along, 7000000 + 100 * int(i / per), mag
  }
}' >"$work/survey.csv"
"$tool" -q -i "$work/survey.csv" -o "$work/survey.dfn"
# MiB, as GNU time reports the peak (its kilobytes are KiB).
channel_mb=$(awk -v n="$rows" 'BEGIN { printf "%.1f", n * (4 + 4 + 3 * 8) / 1048576 }')
printf 'survey: %d rows, %d lines; csv %.0f MiB, ASEG-GDF2 .dat %.0f MiB; channels in memory %s MiB\n' "$rows" "$lines" \
  "$(stat -c %s "$work/survey.csv" | awk '{ print $1 / 1048576 }')" "$(stat -c %s "$work/survey.dat" | awk '{ print $1 / 1048576 }')" \
  "$channel_mb"
echo "load before: $(uptime | sed 's/.*load average/load average/')"

cat >"$work/peer.py" <<'PY'
"""The pandas side: read, the same work per line with a group-by, write."""
import sys
import numpy as np
import pandas as pd
from scipy.interpolate import Akima1DInterpolator

source, target, command = sys.argv[1], sys.argv[2], sys.argv[3]
aseg = source.endswith(".dat")
names = ["line", "fid", "x", "y", "mag"]
null = "-99999.999"
if aseg:
    for record in open(source[:-4] + ".dfn"):
        if ";mag:" in record:
            null = record.split("NULL=")[1].split(",")[0].split(":")[0].strip()
    df = pd.read_csv(source, delim_whitespace=True, header=None, names=names, na_values=[null])
else:
    df = pd.read_csv(source)
groups = df.groupby("line", sort=False)

def resample(g):
    x = g["x"].to_numpy()
    if x[-1] < x[0]:
        g = g.iloc[::-1]
        x = x[::-1]
    grid = np.arange(np.ceil(x[0] / 5) * 5, x[-1] + 1e-9, 5.0)
    out = {"line": g["line"].iloc[0], "x": grid}
    for c in ("fid", "y", "mag"):
        ok = g[c].notna().to_numpy()
        out[c] = Akima1DInterpolator(x[ok], g[c].to_numpy()[ok])(grid)
    return pd.DataFrame(out)

if command == "copy":
    pass
elif command == "stats":
    numeric = df[["fid", "x", "y", "mag"]].groupby(df["line"], sort=False)
    print(numeric.agg(["count", "min", "max", "mean", "std", "median"]).join(numeric.quantile(0.05), rsuffix="p5")
          .join(numeric.quantile(0.95), rsuffix="p95").to_string()[:0])
    sys.exit(0)
elif command == "despike":
    median = groups["mag"].transform(lambda s: s.rolling(5, center=True, min_periods=1).median())
    df["mag"] = df["mag"].where((df["mag"] - median).abs() < 1, median)
elif command == "fill-gaps":
    df["mag"] = groups["mag"].transform(lambda s: s.interpolate(limit_area="inside"))
elif command == "filter":
    df["mag"] = groups["mag"].transform(lambda s: s.rolling(9, center=True, win_type="hann").mean())
elif command == "resample":
    df = pd.concat([resample(g) for _, g in groups], ignore_index=True)
elif command == "distance":
    step = np.hypot(groups["x"].diff(), groups["y"].diff()).fillna(0)
    df["distance"] = step.groupby(df["line"], sort=False).cumsum()
elif command == "clamp":
    df["mag"] = df["mag"].clip(49950, 50050)
if aseg:
    df.to_csv(target, sep=" ", header=False, index=False, na_rep=null)
else:
    df.to_csv(target, index=False)
PY

# measure LABEL COMMAND...: elapsed, CPU (user + system) seconds and peak RSS in MB.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
  awk '{ printf "%8.2f %8.2f %8.0f", $1, $2 + $3, $4 / 1024 }' "$work/time"
}
declare -A args=(
  [copy]=""
  [stats]="stats --per-line"
  [despike]="despike -c mag -w 5 --tolerance 1"
  [fill-gaps]="fill-gaps -c mag"
  [filter]="filter -c mag --lowpass hann -n 9 --keep-length"
  [resample]="resample -p x -s 5"
  [distance]="distance -x x -y y"
  [clamp]="clamp -c mag --min 49950 --max 50050"
)
for format in csv dfn; do
  input=$work/survey.$format
  peer_input=$work/survey.${format/dfn/dat}
  echo
  echo "format: $format"
  printf '%-10s %8s %8s %8s | %8s %8s %8s | %7s %7s %9s\n' subcommand "tool s" "cpu s" "MiB" "pandas s" "cpu s" "MiB" \
    "x elap" "x cpu" "MB/chan"
  for command in copy stats despike fill-gaps filter resample distance clamp; do
    out=$work/out.$format
    [[ $command == stats ]] && out=""
    read -r te tc tm <<<"$(measure "$tool" -q -i "$input" ${out:+-o "$out"} ${args[$command]})"
    read -r pe pc pm <<<"$(measure "$python" "$work/peer.py" "$peer_input" "$work/peer.out" "$command")"
    awk -v c="$command" -v te="$te" -v tc="$tc" -v tm="$tm" -v pe="$pe" -v pc="$pc" -v pm="$pm" -v ch="$channel_mb" \
      'BEGIN { printf "%-10s %8.2f %8.2f %8.0f | %8.2f %8.2f %8.0f | %7.1f %7.1f %9.2f\n", c, te, tc, tm, pe, pc, pm,
               (te > 0 ? pe / te : 0), (tc > 0 ? pc / tc : 0), tm / ch }'
    rm -f "$work"/out.* "$work"/peer.out
  done
done
echo
echo "load after: $(uptime | sed 's/.*load average/load average/')"
echo "x elap, x cpu: pandas time / tool time (goal >= 5); MB/chan: tool peak memory / the channels' bytes (goal <= 1.5)."
echo "The pandas side does the same kind of work per line, not the same algorithms: despike is a rolling-median"
echo "replacement, fill-gaps linear interpolation, filter a Hann rolling mean; resample uses Akima as the tool does."
