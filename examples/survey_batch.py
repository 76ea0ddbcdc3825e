#!/usr/bin/python3
"""Processes many survey lines on a dask.distributed cluster, one task per line.

Each task generates its line from its own seed and runs the survey-line demo's
pipeline on it (examples/survey_line_demo.py: despiking, gap prediction, Akima
resampling, low-pass and spectrum), returning a small summary; only summaries
travel between the processes. The same submission code runs on a cluster that
spans many machines (pass its scheduler address with --scheduler); here it
starts a LocalCluster of worker processes with one thread each, once with one
worker and once with two, and reports lines per second for both.
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def _share_import_path():
    # Worker processes must import this folder's modules and the vorlith module from the
    # same places as this process.
    paths = [HERE] + [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    os.environ["PYTHONPATH"] = os.pathsep.join(dict.fromkeys(paths))
    if HERE not in sys.path:
        sys.path.insert(0, HERE)


_share_import_path()

import survey_line_demo as demo  # noqa: E402


def process_one(index, samples, seed):
    """The task: one line, generated and processed where it runs."""
    start = time.perf_counter()
    line = demo.generate_line(samples, seed + index)
    result = demo.process_line(line)
    return {
        "line": index,
        "samples": samples,
        "spikes_removed": result.spikes_removed,
        "samples_filled": result.samples_filled,
        "seconds": time.perf_counter() - start,
    }


def run_batch(client, lines, samples, seed):
    """Submits one task per line and waits for all; returns (wall seconds, summaries)."""
    from distributed import wait

    start = time.perf_counter()
    futures = [client.submit(process_one, i, samples, seed, pure=False) for i in range(lines)]
    wait(futures)
    elapsed = time.perf_counter() - start
    return elapsed, client.gather(futures)


def run_on_local_cluster(workers, lines, samples, seed, library_threads):
    from distributed import Client, LocalCluster

    # One single-threaded process per worker. The library parallelises long loops with
    # OpenMP on every processor of the machine; OMP_THREAD_LIMIT in the workers' environment
    # caps that so that workers do not compete for the cores.
    environment = {"OMP_THREAD_LIMIT": str(library_threads), "OMP_NUM_THREADS": str(library_threads)}
    with LocalCluster(
        n_workers=workers,
        threads_per_worker=1,
        processes=True,
        dashboard_address=None,
        env=environment,
    ) as cluster, Client(cluster) as client:
        client.run(_warm_up)
        return run_batch(client, lines, samples, seed)


def _warm_up():
    # Imports the pipeline and lets the FFT and the spline touch their code paths once, so
    # start-up does not count as processing time.
    line = demo.generate_line(2000, 0)
    demo.process_line(line)


def report(label, elapsed, summaries, lines):
    task_seconds = sum(s["seconds"] for s in summaries)
    spikes = sum(s["spikes_removed"] for s in summaries)
    filled = sum(s["samples_filled"] for s in summaries)
    print(
        f"{label}: {lines} lines in {elapsed:.2f} s = {lines / elapsed:.2f} lines/s "
        f"(task time {task_seconds:.2f} s; {spikes} spikes removed, {filled} samples predicted)",
        flush=True,
    )


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lines", type=int, default=200, help="number of lines (default 200)")
    parser.add_argument("--samples", type=int, default=100_000, help="samples per line (default 100000)")
    parser.add_argument("--seed", type=int, default=1000, help="seed of line 0; line i uses seed + i")
    parser.add_argument("--workers", default="1,2", help="worker counts to compare (default 1,2)")
    parser.add_argument("--library-threads", type=int, default=1,
                        help="OpenMP threads the library may use inside each worker (default 1)")
    parser.add_argument("--scheduler", default=None,
                        help="address of a running dask scheduler to use instead of local clusters")
    args = parser.parse_args(argv)
    if args.lines < 1 or args.samples < 200:
        parser.error("need at least one line of at least 200 samples")

    load = os.getloadavg()
    print(f"survey batch: {args.lines} lines x {args.samples} samples; "
          f"load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}", flush=True)
    if args.scheduler:
        from distributed import Client

        with Client(args.scheduler) as client:
            client.upload_file(os.path.join(HERE, "survey_line_demo.py"))
            elapsed, summaries = run_batch(client, args.lines, args.samples, args.seed)
        report(f"cluster at {args.scheduler}", elapsed, summaries, args.lines)
        return 0

    for workers in (int(w) for w in args.workers.split(",")):
        elapsed, summaries = run_on_local_cluster(workers, args.lines, args.samples, args.seed, args.library_threads)
        report(f"{workers} worker{'s' if workers > 1 else ''}", elapsed, summaries, args.lines)
    return 0


if __name__ == "__main__":
    sys.exit(main())
