#!/usr/bin/python3
"""The same work done by the vorlith module and by NumPy/SciPy, timed in one run.

For every case both sides get the same values, each in its own representation
(NaN for a missing value on the NumPy side, the type's dummy in a MultiVector),
and run with preallocated outputs where both sides allow it. Each timing is
the median of several repeats after one warm-up call. Three library figures
are printed:

  call      the library call alone, on MultiVectors made beforehand;
  +conv     the call plus making the MultiVectors from the NumPy arrays and
            reading the results back as NumPy arrays (the "(ndarray)" rows pass
            NumPy arrays to the call itself: there both figures are the same);
  ratio     library time / peer time (below 1: the library is faster), for the
            call alone and with the conversions.

In the rows "mv / ndarray" and "dummy / nan=True" both sides are the library: the peer
column is the call on MultiVectors (on arrays holding dummies), the call column the same
call on NumPy arrays (holding NaN, with nan=True).

Whether a MultiVector made from a NumPy array shares its memory (a view) or
copies it is reported in the header. The results of both sides are compared
once per case (largest difference relative to the data's scale).

  python3 bench/peers.py            full sizes (1e6 / 1e7 elements)
  python3 bench/peers.py --quick    small sizes, a smoke test of the script
"""

import argparse
import os
import platform
import statistics
import sys
import time
from dataclasses import dataclass
from typing import Callable

import numpy as np
import scipy
from scipy.interpolate import Akima1DInterpolator

vorlith = None  # imported by main() once the thread settings are in the environment
DUMMY = -1.0e32  # the double dummy (vorlith.DUMMY_DOUBLE)


@dataclass
class Case:
    name: str
    size: int
    peer: Callable[[object], object]  # the NumPy/SciPy work on peer_setup()'s value
    prepare: Callable[[], object]  # NumPy arrays to MultiVectors (conversion in)
    call: Callable[[object], object]  # the library call on prepared vectors
    finish: Callable[[object], object]  # library result back to NumPy (conversion out)
    peer_setup: Callable[[], object] = lambda: None  # fresh peer input, outside the timing
    in_place: bool = False  # the call changes its input: prepare afresh before every call
    comparable: Callable[[object], object] = lambda r: r  # finished result in the peer's form (untimed)
    inner: object = None  # index or mask: the part of the results both sides define alike
    threads: int = 0  # run the case with vorlith.num_threads(threads) (0: as configured)


def timed(fn, repeats, setup=lambda: None):
    """Median wall-clock seconds of fn(setup()) over `repeats` runs after one warm-up;
    setup runs outside the timing."""
    result = fn(setup())
    times = []
    for _ in range(repeats):
        state = setup()
        start = time.perf_counter()
        fn(state)
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def with_dummies(rng, n, fraction=0.01):
    """n random doubles with `fraction` of them missing: (values with NaN, with DUMMY)."""
    values = rng.normal(100.0, 25.0, n)
    missing = rng.random(n) < fraction
    nan_form = values.copy()
    nan_form[missing] = np.nan
    dummy_form = values.copy()
    dummy_form[missing] = DUMMY
    return nan_form, dummy_form


def reduction_cases(rng, n):
    nan_form, dummy_form = with_dummies(rng, n)
    mv = lambda: vorlith.MultiVector(dummy_form)
    return [
        Case("nanmean / mean", n, lambda _: np.nanmean(nan_form), mv, lambda v: vorlith.math.mean(v), lambda r: r),
        Case("nanmin / compute_min", n, lambda _: np.nanmin(nan_form), mv, lambda v: vorlith.range.compute_min(v),
             lambda r: r),
        Case("nanmax / compute_max", n, lambda _: np.nanmax(nan_form), mv, lambda v: vorlith.range.compute_max(v),
             lambda r: r),
        Case("nanmin+nanmax / compute_range", n, lambda _: (np.nanmin(nan_form), np.nanmax(nan_form)), mv,
             lambda v: vorlith.range.compute_range(v), lambda r: r),
    ]


def add_case(rng, n):
    a, b = rng.random(n), rng.random(n)
    out = np.empty(n)

    def prepare():
        return vorlith.MultiVector(a), vorlith.MultiVector(b), vorlith.MultiVector(np.empty(n))

    def call(vectors):
        va, vb, vout = vectors
        return vorlith.math.add(va, vb, out=vout)

    return [Case("add", n, lambda _: np.add(a, b, out=out), prepare, call, lambda v: v.numpy())]


def sort_cases(rng, n):
    values = rng.random(n)

    def peer_sort(work):
        work.sort()
        return work

    def call_sort(vector):
        vector.sort()
        return vector

    def prepare_index():
        return vorlith.MultiVector(values), vorlith.MultiVector(np.empty(n, dtype=np.int64))

    def call_index(vectors):
        key, index = vectors
        return vorlith.sort_index(key, out=index)

    def sorted_by_index(index):
        # Keys equal within the library's relative tolerance (1e-14) may keep another
        # order than an exact sort, so the sorted values are compared, not the positions.
        return values[index.numpy()]

    return [
        Case("sort / sort", n, peer_sort, lambda: vorlith.MultiVector(values.copy()), call_sort, lambda v: v.numpy(),
             peer_setup=values.copy, in_place=True),
        Case("argsort stable / sort_index", n, lambda _: values[np.argsort(values, kind="stable")], prepare_index,
             call_index, sorted_by_index),
    ]


def akima_case(rng, n):
    x = np.cumsum(rng.uniform(0.5, 1.5, n))
    y = np.sin(x / 50.0) * 100.0 + rng.normal(0.0, 1.0, n)
    xi = np.linspace(x[0], x[-1], n)

    def prepare():
        return vorlith.MultiVector(x), vorlith.MultiVector(y), vorlith.MultiVector(xi), vorlith.MultiVector(np.empty(n))

    def call(vectors):
        vx, vy, vxi, out = vectors
        return vorlith.spline.akima(vx, vy, vxi, out=out)

    # Both are Akima splines, with two documented differences left out of the comparison:
    # the knots are extended differently beyond the ends (the first and last two intervals
    # change), and the library averages the two interval slopes at a knot whose slope
    # weights sum to at most 0.01 (absolute), where SciPy's threshold is relative.
    slopes = np.diff(y) / np.diff(x)
    weights = np.abs(np.diff(slopes))
    averaged = np.zeros(n, dtype=bool)
    averaged[2:-2] = weights[2:] + weights[:-2] <= 0.01
    interval = np.searchsorted(x, xi, side="right") - 1
    inner = (interval >= 2) & (interval < n - 3)
    inner[inner] &= ~(averaged[interval[inner]] | averaged[interval[inner] + 1])
    return [Case("Akima1DInterpolator / akima", n, lambda _: Akima1DInterpolator(x, y)(xi), prepare, call,
                 lambda v: v.numpy(), inner=inner)]


def convolution_case(rng, n, taps=31):
    signal = rng.normal(0.0, 1.0, n)
    kernel = np.hamming(taps)
    kernel /= kernel.sum()

    def prepare():
        return vorlith.MultiVector(signal), vorlith.MultiVector(np.empty(n - taps + 1))

    def call(vectors):
        source, out = vectors
        return vorlith.filter.convolution(source, kernel, out=out)

    # numpy.convolve flips the kernel; this one is symmetric, so both compute the same sums.
    return [Case(f"convolve {taps} taps / convolution", n, lambda _: np.convolve(signal, kernel, mode="valid"),
                 prepare, call, lambda v: v.numpy())]


def fft_case(rng, n):
    signal = rng.normal(0.0, 1.0, n)

    def prepare():
        return vorlith.MultiVector(signal)

    def call(source):
        return vorlith.fft.rfft_1d_forward(source)

    def finish(result):
        re, im = result
        return re.numpy(), im.numpy()

    def comparable(parts):
        # The library's imaginary part has the opposite sign of NumPy's.
        re, im = parts
        return re - 1j * im

    return [Case("rfft / rfft_1d_forward", n, lambda _: np.fft.rfft(signal), prepare, call, finish,
                 comparable=comparable)]


def array_cases(rng, n):
    """Calls on NumPy arrays as a NumPy user makes them (no MultiVector made by the caller),
    against the same call on MultiVectors made beforehand ("mv / ndarray" rows: both sides
    are the library), and the NaN switch against the dummy path on arrays ("dummy / nan=True")."""
    nan_form, dummy_form = with_dummies(rng, n)
    a, b = rng.random(n), rng.random(n)
    out = np.empty(n)
    mv_dummy, mv_a, mv_b, mv_out = (vorlith.MultiVector(v) for v in (dummy_form, a, b, out))
    arrays = lambda: None
    same = lambda r: r
    as_dummies = lambda r: np.nan_to_num(r, nan=DUMMY)  # NaN results in the dummy path's form
    return [
        Case("mean mv / ndarray", n, lambda _: vorlith.math.mean(mv_dummy), arrays,
             lambda _: vorlith.math.mean(dummy_form), same),
        Case("add mv / ndarray", n, lambda _: vorlith.math.add(mv_a, mv_b), arrays,
             lambda _: vorlith.math.add(a, b), same),
        Case("add out= mv / ndarray", n, lambda _: vorlith.math.add(mv_a, mv_b, out=mv_out), arrays,
             lambda _: vorlith.math.add(a, b, out=out), same),
        Case("mean dummy / nan=True", n, lambda _: vorlith.math.mean(dummy_form), arrays,
             lambda _: vorlith.math.mean(nan_form, nan=True), same),
        Case("add dummy / nan=True", n, lambda _: vorlith.math.add(dummy_form, b), arrays,
             lambda _: vorlith.math.add(nan_form, b, nan=True), same, comparable=as_dummies),
        Case("nanmean / mean(ndarray, nan=True)", n, lambda _: np.nanmean(nan_form), arrays,
             lambda _: vorlith.math.mean(nan_form, nan=True), same),
        Case("add / add(ndarray, nan=True)", n, lambda _: np.add(nan_form, b), arrays,
             lambda _: vorlith.math.add(nan_form, b, nan=True), same),
    ]


def thread_cases(rng):
    """mean of 1e5 and 1e6 doubles without missing values from arrays, against numpy.mean,
    on one thread and on two."""
    cases = []
    for n in (100_000, 1_000_000):
        values = rng.normal(size=n)
        for threads in (1, 2):
            cases.append(Case(f"mean / mean(ndarray) {threads} thr", n, lambda _, v=values: np.mean(v),
                              lambda: None, lambda _, v=values: vorlith.math.mean(v), lambda r: r,
                              threads=threads))
    return cases


# --- line processing: Hampel, decimation, lag -------------------------------------


def line_cases(rng, n, window=501):
    import scipy.ndimage
    import scipy.signal

    spiky = rng.normal(0.0, 1.0, n)
    spiky[rng.random(n) < 0.001] += 50.0
    k = window // 2

    def prepare_hampel():
        return vorlith.MultiVector(spiky)

    # The library replaces outliers by the window median: there the two agree, away from
    # the ends (the peer pads the window, the library shortens it).
    flagged = np.zeros(n, dtype=bool)

    def call_hampel(v):
        flagged[:] = vorlith.line.hampel(v, k, 3.0)
        flagged[:k] = flagged[-k:] = False
        return v

    # The two anti-alias filters differ by design (the library's is a Kaiser design for 60 dB,
    # the peer's 20 * factor + 1 Hamming taps), so the results are compared on a constant,
    # which both pass unchanged; the work does not depend on the values.
    factor = 10
    smooth = np.full(n, 100.0)
    taps = 20 * factor  # the peer's FIR length in kept samples: its padded ends differ
    kept = np.zeros((n + factor - 1) // factor, dtype=bool)
    kept[taps:-taps] = True

    def prepare_decimate():
        return vorlith.MultiVector(smooth)

    def call_decimate(v):
        return vorlith.line.decimate(v, factor)

    along = np.cumsum(rng.uniform(0.5, 1.5, n))
    y = np.sin(along / 50.0)
    shift = 0.37

    def prepare_lag():
        return vorlith.MultiVector(y), vorlith.MultiVector(along), vorlith.MultiVector(np.empty(n))

    def call_lag(vectors):
        vy, va, out = vectors
        return vorlith.line.lag(vy, shift, along=va, out=out)

    return [
        Case(f"median_filter {window} / line.hampel", n, lambda _: scipy.ndimage.median_filter(spiky, window),
             prepare_hampel, call_hampel, lambda v: v.numpy(), in_place=True, inner=flagged),
        Case(f"decimate fir {factor} / line.decimate", n,
             lambda _: scipy.signal.decimate(smooth, factor, ftype="fir"), prepare_decimate,
             call_decimate, lambda v: v.numpy(), inner=kept),
        Case("interp / line.lag", n, lambda _: np.interp(along + shift, along, y, left=DUMMY, right=DUMMY),
             prepare_lag, call_lag, lambda v: v.numpy()),
    ]


def build_cases(quick, seed):
    rng = np.random.default_rng(seed)
    big, small = (20000, 5000) if quick else (10_000_000, 1_000_000)
    pow2 = 1 << 12 if quick else 1 << 20
    cases = reduction_cases(rng, big)
    cases += add_case(rng, big)
    cases += array_cases(rng, big)
    cases += [] if quick else thread_cases(rng)
    cases += sort_cases(rng, small) + sort_cases(rng, big)
    cases += akima_case(rng, small)
    cases += convolution_case(rng, big)
    cases += fft_case(rng, pow2) + fft_case(rng, small)
    # A window of 501 at 1e7 samples would keep the peer busy for minutes per call.
    cases += line_cases(rng, small) + line_cases(rng, big, window=51)
    return cases


def difference(peer, library):
    """Largest |peer - library| relative to the peer's largest magnitude; NaN on both sides agrees."""
    p = np.asarray(peer, dtype=np.complex128 if np.iscomplexobj(peer) else np.float64).ravel()
    q = np.asarray(library, dtype=p.dtype).ravel()
    if p.shape != q.shape:
        return float("inf")
    both_missing = np.isnan(p) & np.isnan(q)  # NaN on both sides (the nan=True rows) agree
    p, q = p[~both_missing], q[~both_missing]
    scale = max(float(np.max(np.abs(p))), 1e-300) if p.size else 1.0
    return float(np.max(np.abs(p - q))) / scale if p.size else 0.0


def run_case(case, repeats):
    if case.threads:
        with vorlith.num_threads(case.threads):
            return run_case(Case(**{**case.__dict__, "threads": 0}), repeats)
    peer_time, peer_result = timed(case.peer, repeats, case.peer_setup)
    if case.in_place:
        call_time, call_result = timed(case.call, repeats, case.prepare)
    else:
        vectors = case.prepare()
        call_time, call_result = timed(lambda _: case.call(vectors), repeats)
    library_result = case.comparable(case.finish(call_result))
    total_time, _ = timed(lambda _: case.finish(case.call(case.prepare())), repeats)
    if case.inner is not None:
        peer_result, library_result = peer_result[case.inner], library_result[case.inner]
    diff = difference(peer_result, library_result)
    return peer_time, call_time, total_time, diff


def shares_memory():
    array = np.arange(8.0)
    vector = vorlith.MultiVector(array)
    return np.shares_memory(array, vector.numpy())


def view_back():
    vector = vorlith.MultiVector(np.arange(8.0))
    return np.shares_memory(vector.numpy(), vector.numpy())


def library_threads(args):
    if args.threads:
        return f"{args.threads} (OMP_THREAD_LIMIT, OMP_NUM_THREADS)"
    return (f"{os.cpu_count()} (OpenMP, one per processor, above {vorlith.get_min_thread_block()} elements "
            "and 131072 elements' work)")


def header(args):
    load = os.getloadavg()
    lines = [
        f"peers.py: vorlith vs NumPy {np.__version__} / SciPy {scipy.__version__} on Python {platform.python_version()}",
        f"machine: {os.cpu_count()} logical processors; load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}",
        f"library threads: {library_threads(args)}; the NumPy/SciPy functions here run on one thread",
        f"repeats: {args.repeats} (median); MultiVector from a NumPy array: "
        + ("view (shares memory)" if shares_memory() else "copy")
        + "; MultiVector.numpy(): " + ("view" if view_back() else "copy"),
    ]
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="small sizes: checks that the script works")
    parser.add_argument("--repeats", type=int, default=None, help="timed repeats per figure (default 7, quick 2)")
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--only", default="",
                        help="run only cases whose name contains this text (or one of several, comma-separated)")
    parser.add_argument("--threads", type=int, default=0,
                        help="limit the library to this many OpenMP threads (default: all processors)")
    args = parser.parse_args(argv)
    if args.threads:
        # Read by the OpenMP runtime, the FFT setup and vorlith's thread cap when the module loads.
        os.environ["OMP_THREAD_LIMIT"] = os.environ["OMP_NUM_THREADS"] = str(args.threads)
    global vorlith
    import vorlith
    if args.repeats is None:
        args.repeats = 2 if args.quick else 7

    print(header(args))
    columns = f"{'case':<34}{'n':>10}{'peer ms':>11}{'call ms':>11}{'+conv ms':>11}{'ratio':>8}{'+conv':>8}{'diff':>10}"
    print(columns)
    print("-" * len(columns))
    worst = 0.0
    for case in build_cases(args.quick, args.seed):
        if not any(part in case.name for part in args.only.split(",")):
            continue
        peer, call, total, diff = run_case(case, args.repeats)
        worst = max(worst, diff)
        print(f"{case.name:<34}{case.size:>10}{peer * 1e3:>11.3f}{call * 1e3:>11.3f}{total * 1e3:>11.3f}"
              f"{call / peer:>8.2f}{total / peer:>8.2f}{diff:>10.1e}", flush=True)
    load = os.getloadavg()
    print(f"load average at the end: {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}")
    if worst > 1e-9:
        print(f"results differ by up to {worst:.1e} (relative)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
