#!/usr/bin/python3
"""Crossovers and levelling of a generated survey, compared with GMT's x2sys_cross.

Generates a survey (vorlith.synthetic) of --lines traverse lines and
--ties tie lines with --samples samples in all, times vorlith.level.crossovers and
vorlith.level.level (with the growth of the peak resident memory during each call), then
exports the traverse lines (all, or the first --x2sys-lines) and every tie as plain x y z
tracks, sets up an x2sys TAG for them in a temporary X2SYS_HOME, runs x2sys_cross on the
traverse-tie pairs (external crossings, linear interpolation) and matches each of our
usable crossings on those tracks to its nearest x2sys crossing: same position within
--tolerance metres and same difference within 1e-3 of the channel's units.

Run: PYTHONPATH=build/python /usr/bin/python3 bench/levelling_bench.py
"""

import argparse
import os
import shutil
import subprocess
import tempfile
import time

import numpy as np

import vorlith  # noqa: E402
from vorlith.synthetic import make_survey, to_survey  # noqa: E402


def memory_kib(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def timed(call):
    """(result, seconds, growth of the peak resident memory in MiB) of call()."""
    with open("/proc/self/clear_refs", "w") as refs:  # restarts the peak at the current size
        refs.write("5")
    before = memory_kib("VmRSS")
    start = time.perf_counter()
    result = call()
    seconds = time.perf_counter() - start
    return result, seconds, (memory_kib("VmHWM") - before) / 1024


def run_x2sys(columns, numbers, traverse_numbers, tie_numbers, folder, size):
    """x2sys_cross crossings (x, y, traverse, tie, z_X) and its run time."""
    env = dict(os.environ, X2SYS_HOME=folder)
    fmt = os.path.join(folder, "bench.fmt")
    with open(fmt, "w") as f:
        f.write("#ASCII\n#SKIP 0\n")
        for name in "xyz":
            f.write(f"{name}\ta\tN\t0\t1\t0\t%.10lg\n")
    line = columns["line"]
    start = time.perf_counter()
    names = []
    for number in list(traverse_numbers) + list(tie_numbers):
        rows = line == number
        name = f"{'T' if number in tie_numbers else 'L'}{number:05d}"
        z = np.where(columns["mag"][rows] == -1e32, np.nan, columns["mag"][rows])
        np.savetxt(os.path.join(folder, name + ".trk"),
                   np.stack([columns["x"][rows], columns["y"][rows], z], 1), fmt="%.4f")
        names.append(name)
    export = time.perf_counter() - start
    with open(os.path.join(folder, "pairs.txt"), "w") as f:
        for a in traverse_numbers:
            for b in tie_numbers:
                f.write(f"L{a:05d} T{b:05d}\n")
    subprocess.run(["gmt", "x2sys_init", "BENCH", f"-D{fmt}", "-Etrk", "-F", "-Ndc", "-Nsc",
                    f"-R0/{size}/0/{size}", f"-I{size / 100}", "-Vq"], cwd=folder, env=env,
                   check=True)
    start = time.perf_counter()
    out = subprocess.run(["gmt", "x2sys_cross"] + [n + ".trk" for n in names] +
                         ["-TBENCH", "-Qe", "-Il", "-Apairs.txt", "-Vq"], cwd=folder, env=env,
                         check=True, capture_output=True, text=True).stdout
    seconds = time.perf_counter() - start
    found, pair = [], None
    for text in out.splitlines():
        if text.startswith("#"):
            continue
        if text.startswith(">"):
            words = text.split()
            pair = (int(words[1][1:]), int(words[3][1:]))
            continue
        values = text.split()
        found.append((float(values[0]), float(values[1]), pair[0], pair[1], float(values[10])))
    return np.array(found, dtype=float).reshape(-1, 5), seconds, export


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--samples", type=int, default=10_000_000)
    parser.add_argument("--lines", type=int, default=500)
    parser.add_argument("--ties", type=int, default=50)
    parser.add_argument("--x2sys-lines", type=int, default=0,
                        help="traverse lines given to x2sys_cross (0: all)")
    parser.add_argument("--no-x2sys", action="store_true", help="time vorlith.level only")
    parser.add_argument("--tolerance", type=float, default=0.01, help="position, metres")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    size = 100_000.0
    per_line = args.samples / (args.lines + args.ties)
    start = time.perf_counter()
    columns = make_survey(args.seed, size=size, line_spacing=size / args.lines,
                          tie_spacing=size / args.ties, sample=size / per_line, heading=0.0,
                          tie_heading=90.0, noise=0.05, dropouts=500, wobble=30.0)
    survey = to_survey({k: columns[k] for k in ("line", "x", "y", "t", "mag")})
    print(f"survey: {len(columns['x']):,} samples, {len(survey.lines)} lines "
          f"(generated in {time.perf_counter() - start:.1f} s)")
    print(f"load: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f} "
          f"on {os.cpu_count()} cores; threads: vorlith.level runs on one")

    found, seconds, grown = timed(lambda: vorlith.level.crossovers(survey, "mag", "9001-9999"))
    usable = found["usable"]
    print(f"crossovers: {len(found['x']):,} found ({(~usable).sum()} unusable) in {seconds:.2f} s, "
          f"peak memory +{grown:.0f} MiB")
    result, seconds, grown = timed(lambda: vorlith.level.level(
        survey, "mag", "9001-9999", model="linear", along="time", time="t"))
    print(f"level (search included, linear in time): {seconds:.2f} s, peak memory +{grown:.0f} MiB; "
          f"crossover rms {result.before['rms']:.3f} -> {result.after['rms']:.3f}")

    if args.no_x2sys:
        return
    if shutil.which("gmt") is None:
        print("x2sys: gmt is not installed (scripts/install-deps.sh installs it)")
        return
    numbers = np.array([line.number for line in survey.lines]).astype(int)
    traverse_numbers = [n for n in numbers if n < 9000]
    if args.x2sys_lines:
        traverse_numbers = traverse_numbers[:args.x2sys_lines]
    tie_numbers = [n for n in numbers if n > 9000]
    with tempfile.TemporaryDirectory() as folder:
        theirs, seconds_x2sys, export = run_x2sys(columns, numbers, traverse_numbers, tie_numbers,
                                                  folder, size)
    subset = np.isin(numbers[found["line"]], traverse_numbers) & usable
    mine = np.stack([found["x"][subset], found["y"][subset]], 1)
    _, ours_seconds, _ = timed(lambda: vorlith.level.crossovers(
        survey, "mag", "9001-9999"))  # same call, for the same-run time
    print(f"x2sys_cross on {len(traverse_numbers)} traverse lines x {len(tie_numbers)} ties "
          f"({int(np.isin(columns['line'], traverse_numbers + tie_numbers).sum()):,} samples): "
          f"{len(theirs):,} crossings in {seconds_x2sys:.1f} s (track export {export:.1f} s, "
          f"not counted); vorlith on the whole survey: {ours_seconds:.2f} s, "
          f"{seconds_x2sys / ours_seconds:.0f}x faster")
    if len(theirs) == 0 or len(mine) == 0:
        print("nothing to compare")
        return
    # Nearest x2sys crossing of each of ours, by position (a grid of 100 m cells).
    matched = 0
    worst_position = worst_value = 0.0
    cells = {}
    for k, (x, y) in enumerate(theirs[:, :2]):
        cells.setdefault((int(x // 100), int(y // 100)), []).append(k)
    difference = found["difference"][subset]
    for (x, y), d in zip(mine, difference):
        near = [k for i in (-1, 0, 1) for j in (-1, 0, 1)
                for k in cells.get((int(x // 100) + i, int(y // 100) + j), [])]
        if not near:
            continue
        k = min(near, key=lambda k: np.hypot(theirs[k, 0] - x, theirs[k, 1] - y))
        position = np.hypot(theirs[k, 0] - x, theirs[k, 1] - y)
        value = abs(theirs[k, 4] - d)
        if position <= args.tolerance and value <= 1e-3:
            matched += 1
            worst_position = max(worst_position, position)
            worst_value = max(worst_value, value)
    print(f"comparison: {len(mine):,} usable vorlith crossings on those tracks, {len(theirs):,} "
          f"from x2sys; {matched:,} of ours matched within {args.tolerance} m and 1e-3 "
          f"(largest deviations {worst_position:.2g} m, {worst_value:.2g})")


if __name__ == "__main__":
    main()
