#!/usr/bin/python3
"""Processes a multi-line ASEG-GDF2 survey line by line on a dask.distributed cluster.

Reads the survey (.dfn/.dat) with vorlith.io, sends each survey line's magnetic channel
to the cluster as one task (despiking, gap prediction, a 9-tap low-pass
that never reaches across a line change), gathers the results in line order and writes
the survey with the two new channels `<channel>_DESPIKED` and `<channel>_LOWPASS` as
ASEG-GDF2, names, units and NULLs of the input kept. The same code runs on a cluster of
many machines (pass its scheduler address with --scheduler); by default it starts a
LocalCluster of single-threaded worker processes.
"""

import argparse
import os
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_INPUT = os.path.join(HERE, os.pardir, "tests", "data", "aseg-gdf2", "Example_GroundMag_HillValley_1985.dfn")

import vorlith  # noqa: E402

DUMMY = vorlith.DUMMY_DOUBLE
DESPIKE_WIDTH = 2
DESPIKE_TOLERANCE = 5.0
LOWPASS = np.hamming(9) / np.hamming(9).sum()


def process_line(channels, channel):
    """The task: one line's channels in, the processed channel and counts out."""
    despiked = vorlith.MultiVector(np.asarray(channels[channel], dtype=np.float64))
    # The despiker works between gaps itself and leaves the dummies alone.
    spikes = vorlith.filter.despike(despiked, DESPIKE_WIDTH, DESPIKE_TOLERANCE)
    filled = vorlith.MultiVector(despiked.numpy())
    predicted = vorlith.predict.fill_gaps(filled, edges=vorlith.predict.EdgeType.EXTRAPOLATE)
    if len(filled) >= len(LOWPASS):
        lowpass = vorlith.filter.convolution(filled, LOWPASS, keep_length=True)
    else:
        lowpass = np.full(len(filled), DUMMY)
    return {"despiked": despiked.numpy(), "lowpass": lowpass, "spikes": spikes, "predicted": predicted}


def pick_channel(survey, wanted):
    if wanted:
        return wanted
    for channel in survey.channels:
        if channel.unit.lower() == "nt" and channel.columns == 1 and channel.dtype == np.float64:
            return channel.name
    raise SystemExit("no channel in nT: name one with --channel")


def run(survey, channel, client):
    start = time.perf_counter()
    results = survey.map_lines(lambda line: process_line(line, channel), client=client)
    elapsed = time.perf_counter() - start
    source = survey.channel(channel)
    for suffix, key in (("_DESPIKED", "despiked"), ("_LOWPASS", "lowpass")):
        survey.add_channel(channel + suffix, np.concatenate([r[key] for r in results]),
                           unit=source.unit, null=source.null, format=source.format)
    return elapsed, results


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input", nargs="?", default=DEFAULT_INPUT, help="ASEG-GDF2 survey (.dfn or .dat)")
    parser.add_argument("--output", default=os.path.join("out", "survey_batch.dfn"), help="ASEG-GDF2 output")
    parser.add_argument("--channel", default="", help="channel to process (default: the first in nT)")
    parser.add_argument("--line-field", default="", help="line field (default: LINE or FLTLINE)")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes (default 2)")
    parser.add_argument("--scheduler", default=None, help="address of a running dask scheduler")
    args = parser.parse_args(argv)

    from distributed import Client, LocalCluster

    survey = vorlith.io.read(args.input, line_field=args.line_field)
    channel = pick_channel(survey, args.channel)
    print(f"survey batch: {survey.rows} rows, {len(survey.lines)} lines, channel {channel}", flush=True)
    if args.scheduler:
        with Client(args.scheduler) as client:
            elapsed, results = run(survey, channel, client)
    else:
        # One single-threaded process per worker, and one OpenMP thread in each, so that
        # the workers do not compete for the cores.
        environment = {"OMP_THREAD_LIMIT": "1", "OMP_NUM_THREADS": "1"}
        with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                          dashboard_address=None, env=environment) as cluster, Client(cluster) as client:
            elapsed, results = run(survey, channel, client)
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    vorlith.io.write(survey, args.output)
    spikes = sum(r["spikes"] for r in results)
    predicted = sum(r["predicted"] for r in results)
    print(f"{len(results)} lines in {elapsed:.2f} s: {spikes} spikes removed, {predicted} samples predicted; "
          f"wrote {args.output}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
