#!/usr/bin/python3
"""Reading and writing a whole survey: vorlith.io against pandas, in one run.

Makes a survey of ROWS rows and 12 channels (line and fiducial integers, ten reals
with 2 to 3 decimals, 500 lines), writes it as comma-separated text and as ASEG-GDF2,
then times each step (processor time of its one thread, so that other work on
the machine does not count; the fastest of --repeat runs) in a fresh child process of its
own so that its peak memory (maximum resident set) is its own:

  vorlith read / write    vorlith.io.read and vorlith.io.write (one thread)
  pandas read / write     pandas.read_csv and DataFrame.to_csv on the same file (the
                          ASEG-GDF2 records read with delim_whitespace and written
                          blank-separated)

Printed per step: seconds, MB/s of the file, peak memory, peak memory less the
interpreter's own (a child that only imports that side's modules) as a ratio to the channels'
bytes. Write steps read the file first; only the write is timed, the peak covers both.

  PYTHONPATH=build/python python3 bench/survey_io_bench.py             5,000,000 rows
  PYTHONPATH=build/python python3 bench/survey_io_bench.py --rows 200000
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

CHANNELS = 12


def make_survey(rows, folder):
    import vorlith

    rng = np.random.default_rng(7)
    per_line = max(1, rows // 500)
    survey = vorlith.io.Survey()
    survey.add_channel("LINE", (1000 + 10 * (np.arange(rows) // per_line)).astype(np.int32), format="I8")
    survey.add_channel("FID", np.arange(rows, dtype=np.int32), format="I9")
    survey.add_channel("X", np.round(500000 + np.cumsum(rng.normal(5, 0.1, rows)), 2), unit="m", format="F12.2")
    survey.add_channel("Y", np.round(6200000 + rng.normal(0, 50, rows), 2), unit="m", format="F12.2")
    for i in range(CHANNELS - 4):
        survey.add_channel(f"C{i}", np.round(rng.normal(50000, 300, rows), 3), unit="nT", format="F10.3")
    survey.index_lines()
    csv = os.path.join(folder, "survey.csv")
    dfn = os.path.join(folder, "survey.dfn")
    vorlith.io.write(survey, csv)
    vorlith.io.write(survey, dfn)
    names = survey.names
    channel_bytes = sum(survey[name].nbytes for name in names)
    return csv, dfn, names, channel_bytes


def peak_memory():
    """This process's peak resident bytes (VmHWM starts afresh at exec, unlike the
    children's ru_maxrss, which starts from the parent's)."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


def child(step, path, names):
    """One step, run in its own process; prints the seconds it took and its peak memory."""
    out = path + ".out"
    if step.startswith("baseline"):
        if step == "baseline-pandas":
            import pandas  # noqa: F401
        else:
            import vorlith  # noqa: F401
        print(0.0, peak_memory())
        return
    if step.startswith("vorlith"):
        import vorlith

        start = time.process_time()
        survey = vorlith.io.read(path)
        if step == "vorlith-write":
            start = time.process_time()
            vorlith.io.write(survey, out if path.endswith(".csv") else out + ".dfn")
    else:
        import pandas

        aseg = path.endswith(".dfn")
        data = path[:-4] + ".dat" if aseg else path
        start = time.process_time()
        frame = (pandas.read_csv(data, delim_whitespace=True, header=None, names=names) if aseg
                 else pandas.read_csv(data))
        if step == "pandas-write":
            start = time.process_time()
            frame.to_csv(out, sep=" " if aseg else ",", index=False, header=not aseg)
    print(time.process_time() - start, peak_memory())


def run_child(step, path, names, repeat=1):
    """(seconds, peak resident bytes) of one step, each run in a child process of its own:
    the fastest of `repeat` runs (the machine's other work only ever adds time) and the
    largest peak."""
    results = []
    for _ in range(repeat):
        run = subprocess.run([sys.executable, os.path.abspath(__file__), "--child", step, path, ",".join(names)],
                             stdout=subprocess.PIPE, text=True, env=dict(os.environ, OMP_NUM_THREADS="1"))
        if run.returncode != 0:
            raise SystemExit(f"{step} on {path} failed")
        seconds, peak = run.stdout.split()[-2:]
        results.append((float(seconds), int(peak)))
    return min(seconds for seconds, _ in results), max(peak for _, peak in results)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rows", type=int, default=5_000_000)
    parser.add_argument("--repeat", type=int, default=3, help="runs per step; the fastest counts")
    parser.add_argument("--child", nargs=3, metavar=("STEP", "PATH", "NAMES"), help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.child:
        step, path, names = args.child
        child(step, path, names.split(","))
        return 0

    with tempfile.TemporaryDirectory(prefix="survey-bench-") as folder:
        csv, dfn, names, channel_bytes = make_survey(args.rows, folder)
        baselines = {side: run_child("baseline-" + side, csv, names)[1] for side in ("vorlith", "pandas")}
        print(f"{args.rows} rows x {len(names)} channels: {channel_bytes / 1e6:.0f} MB of channels; "
              f"interpreter with its modules: vorlith {baselines['vorlith'] / 1e6:.0f} MB, "
              f"pandas {baselines['pandas'] / 1e6:.0f} MB", flush=True)
        for label, path in (("delimited", csv), ("ASEG-GDF2", dfn)):
            size = os.path.getsize(path if path.endswith(".csv") else path[:-4] + ".dat")
            print(f"\n{label}: {size / 1e6:.0f} MB file", flush=True)
            print(f"  {'step':14} {'seconds':>8} {'MB/s':>7} {'peak MB':>8} {'(peak-base)/channels':>21}")
            times = {}
            for step in ("vorlith-read", "pandas-read", "vorlith-write", "pandas-write"):
                seconds, peak = run_child(step, path, names, args.repeat)
                times[step] = seconds
                print(f"  {step:14} {seconds:8.2f} {size / 1e6 / seconds:7.0f} {peak / 1e6:8.0f} "
                      f"{(peak - baselines[step.split('-')[0]]) / channel_bytes:21.2f}", flush=True)
            print(f"  speed-up over pandas: read {times['pandas-read'] / times['vorlith-read']:.1f}x, "
                  f"write {times['pandas-write'] / times['vorlith-write']:.1f}x", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
