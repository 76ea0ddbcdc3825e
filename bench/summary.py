#!/usr/bin/python3
"""Runs the benchmark programs given on the command line, passes their output through,
and ends with one table of every goal they report (the "goal: what | measured | limit |
met" lines of bench_support.h), with the load average before and after the run.

  python3 bench/summary.py build/bench/convert_bench build/bench/sort_bench ...
"""

import os
import subprocess
import sys


def load():
    return "{:.2f} {:.2f} {:.2f}".format(*os.getloadavg())


def main(programs):
    before = load()
    goals, failed = [], []
    for program in programs:
        print(f"== {os.path.basename(program)}", flush=True)
        run = subprocess.Popen([program], stdout=subprocess.PIPE, text=True)
        for line in run.stdout:
            sys.stdout.write(line)
            if line.startswith("goal: "):
                goals.append([field.strip() for field in line[6:].split("|")])
        if run.wait() != 0:
            failed.append(program)
    width = max((len(g[0]) for g in goals), default=10)
    print(f"\nGoals (load average before {before}, after {load()}; figures taken with a load "
          "above 1 are indicative only)")
    print(f"{'goal':<{width}}  {'measured':>9}  {'limit':>9}  result")
    for what, measured, limit, result in goals:
        print(f"{what:<{width}}  {measured:>9}  {limit:>9}  {result}")
    met = sum(g[3] == "met" for g in goals)
    print(f"{met} of {len(goals)} goals met")
    for program in failed:
        print(f"{program} failed", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
