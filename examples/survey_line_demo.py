#!/usr/bin/python3
"""Processes one synthetic magnetic survey line with the vorlith module.

The line is generated from a seed, so every run with the same options gives the
same numbers: positions along a slightly wandering flight line with irregular
sample spacing, a smooth regional field, a few dipole-like anomalies, sensor
noise, single-sample spikes and dropout gaps where the magnetometer recorded
nothing (dummies). The pipeline despikes the line, predicts the gaps, resamples
it to a regular spacing with an Akima spline, low-passes it with a 31-tap
kernel and takes its amplitude spectrum, then writes

  OUT/survey_line.csv            the line as sampled: fid,x,y,distance,mag and
                                 the despiked and gap-filled channels (`*` = dummy)
  OUT/survey_line_resampled.csv  the regular profile: distance,mag_resampled,mag_lowpass
  OUT/survey_line.png            raw and processed profiles and the spectrum

Run `python3 examples/survey_line_demo.py --help` for the options.
"""

import argparse
import os
import sys
import time
from dataclasses import dataclass, field

import numpy as np
import scipy.fft

import vorlith

DUMMY = vorlith.DUMMY_DOUBLE

# Survey geometry and processing settings (metres, nanotesla).
NOMINAL_SPACING = 5.0
LOWPASS_TAPS = 31
LOWPASS_CUTOFF = 1.0 / 80.0  # cycles per metre: keeps anomalies wider than about 80 m
DESPIKE_WIDTH = 4  # samples: the widest feature the despiker may treat as a spike
DESPIKE_TOLERANCE = 2.0  # nT: deviations below this are noise, not spikes
DESPIKE_MAX_ITERATIONS = 10
NOISE_SIGMA = 0.3  # nT


@dataclass
class SurveyLine:
    """One line as the aircraft recorded it; mag holds DUMMY in the gaps."""

    fid: np.ndarray
    x: np.ndarray
    y: np.ndarray
    distance: np.ndarray
    mag: np.ndarray
    clean: np.ndarray  # the field without noise, spikes or gaps (for checking only)
    spike_positions: np.ndarray  # sample indices of the injected spikes


def generate_line(samples, seed):
    """Returns a reproducible SurveyLine of `samples` samples for `seed`."""
    if samples < 200:
        raise ValueError("a survey line needs at least 200 samples")
    rng = np.random.default_rng(seed)
    n = samples

    # Ground speed varies a little, so the spacing drifts smoothly around its nominal value
    # with some jitter from the clock.
    drift = _smooth_noise(rng, n, correlation=400)
    spacing = NOMINAL_SPACING * (1.0 + 0.06 * drift + 0.01 * rng.standard_normal(n))
    spacing[0] = 0.0
    along = np.cumsum(spacing)

    # The line runs at a fixed heading with a smooth lateral wander of a few metres.
    heading = np.deg2rad(rng.uniform(0.0, 180.0))
    across = 4.0 * _smooth_noise(rng, n, correlation=800)
    x0, y0 = 480000.0 + rng.uniform(0.0, 40000.0), 6650000.0 + rng.uniform(0.0, 40000.0)
    x = x0 + along * np.sin(heading) + across * np.cos(heading)
    y = y0 + along * np.cos(heading) - across * np.sin(heading)
    distance = np.concatenate(([0.0], np.cumsum(np.hypot(np.diff(x), np.diff(y)))))

    length = distance[-1]
    u = distance / length
    regional = (
        51200.0
        + rng.uniform(-150.0, 150.0) * u
        + 25.0 * np.sin(2.0 * np.pi * (0.7 * u + rng.uniform()))
    )
    anomalies = np.zeros(n)
    centres = rng.uniform(0.05, 0.95, max(4, n // 2500)) * length
    for centre in centres:
        depth = rng.uniform(40.0, 400.0)
        # Beyond 100 depths the anomaly is below a tenth of a nanotesla.
        lo, hi = np.searchsorted(distance, [centre - 100.0 * depth, centre + 100.0 * depth])
        anomalies[lo:hi] += _dipole_profile(
            distance[lo:hi],
            centre=centre,
            depth=depth,
            amplitude=rng.uniform(30.0, 600.0) * rng.choice([-1.0, 1.0], p=[0.2, 0.8]),
            phase=rng.uniform(0.3, 1.3),
        )
    clean = regional + anomalies
    mag = clean + NOISE_SIGMA * rng.standard_normal(n)

    # Single-sample spikes, kept apart from each other and from the ends.
    spike_count = max(4, n // 1500)
    spike_positions = np.sort(rng.choice(np.arange(10, n - 10, 12), size=spike_count, replace=False))
    mag[spike_positions] += rng.uniform(15.0, 250.0, spike_count) * rng.choice([-1.0, 1.0], spike_count)

    # Dropouts: a few gaps of 5 to 120 samples, the first on the flank of an anomaly
    # (where a poor prediction would show), the others anywhere; spikes next to a gap are
    # dropped with it.
    gap_mask = np.zeros(n, dtype=bool)
    flank = int(np.searchsorted(distance, centres[0])) + 10
    starts = [flank] + [int(rng.integers(50, n - 170)) for _ in range(max(2, n // 5000))]
    for first in starts:
        width = int(rng.integers(5, 121))
        first = min(max(first, 50), n - width - 50)
        gap_mask[first : first + width] = True
    near_gap = np.convolve(gap_mask, np.ones(9), mode="same") > 0
    keep = ~near_gap[spike_positions]
    spike_positions = spike_positions[keep]
    mag[gap_mask] = DUMMY

    fid = np.arange(1000, 1000 + n, dtype=np.int64)
    return SurveyLine(fid, x, y, distance, mag, clean, spike_positions)


def _smooth_noise(rng, n, correlation):
    """Unit-variance noise correlated over about `correlation` samples (white noise through
    a moving average twice, which is a triangular window)."""
    smooth = rng.standard_normal(n + 2 * correlation)
    for _ in range(2):
        sums = np.cumsum(np.concatenate(([0.0], smooth)))
        smooth = (sums[correlation:] - sums[:-correlation]) / correlation
    smooth = smooth[:n]
    return (smooth - smooth.mean()) / smooth.std()


def _dipole_profile(distance, centre, depth, amplitude, phase):
    """Total-field anomaly of a buried horizontal line of dipoles across the profile."""
    u = distance - centre
    h = depth
    shape = ((h * h - u * u) * np.cos(phase) + 2.0 * h * u * np.sin(phase)) * h * h / (h * h + u * u) ** 2
    return amplitude * shape


@dataclass
class ProcessedLine:
    mag_despiked: np.ndarray
    mag_filled: np.ndarray
    resampled_distance: np.ndarray
    mag_resampled: np.ndarray
    mag_lowpass: np.ndarray
    wavenumber: np.ndarray  # cycles per kilometre
    amplitude: np.ndarray  # nT
    spikes_removed: int
    gaps_filled: int
    samples_filled: int
    timings: dict = field(default_factory=dict)


def lowpass_kernel(taps=LOWPASS_TAPS, cutoff=LOWPASS_CUTOFF, spacing=NOMINAL_SPACING):
    """A Hamming-windowed sinc with unit gain at zero wavenumber."""
    k = np.arange(taps) - (taps - 1) / 2
    kernel = np.sinc(2.0 * cutoff * spacing * k) * np.hamming(taps)
    return kernel / kernel.sum()


def data_runs(is_dummy):
    """(first, last + 1) of every run of non-dummy samples."""
    edges = np.diff(np.concatenate(([True], is_dummy, [True])).astype(np.int8))
    return list(zip(np.flatnonzero(edges == -1), np.flatnonzero(edges == 1)))


def process_line(line, spacing=NOMINAL_SPACING):
    """Runs the whole pipeline on `line` and returns a ProcessedLine."""
    timings = {}
    clock = time.perf_counter

    # The despiker leaves the gaps alone and treats each stretch between them as a line of
    # its own. It works on the array in place.
    t = clock()
    despiked = line.mag.copy()
    is_gap = despiked == DUMMY
    spikes_removed = vorlith.filter.despike(
        despiked, DESPIKE_WIDTH, DESPIKE_TOLERANCE, max_iterations=DESPIKE_MAX_ITERATIONS
    )
    timings["despike"] = clock() - t

    # Gap prediction fills every dummy run from both sides, in place.
    t = clock()
    channel = vorlith.MultiVector(despiked)
    samples_filled = vorlith.predict.fill_gaps(channel, edges=vorlith.predict.EdgeType.EXTRAPOLATE)
    filled = channel.numpy()
    timings["predict gaps"] = clock() - t

    # Resample the distance-indexed line to a regular spacing.
    t = clock()
    count = int(np.floor((line.distance[-1] - line.distance[0]) / spacing)) + 1
    resampled = vorlith.spline.akima_regular(line.distance, channel, float(line.distance[0]), spacing, count)
    mag_resampled = resampled
    resampled_distance = line.distance[0] + spacing * np.arange(count)
    timings["akima resample"] = clock() - t

    # Low-pass: the output keeps the length of the input, with dummies at both ends where
    # the kernel does not fit.
    t = clock()
    mag_lowpass = vorlith.filter.convolution(resampled, lowpass_kernel(spacing=spacing), keep_length=True)
    timings["low-pass 31 taps"] = clock() - t

    # Amplitude spectrum of the resampled profile after removing its mean and trend, padded
    # with zeros to a length with small prime factors (a profile of prime length would make
    # the transform slow).
    t = clock()
    centred = resampled_distance - resampled_distance.mean()
    residual = mag_resampled - mag_resampled.mean()
    slope = np.dot(centred, residual) / np.dot(centred, centred)
    padded = np.zeros(scipy.fft.next_fast_len(count, real=True))
    padded[:count] = residual - slope * centred
    re, im = vorlith.fft.rfft_1d_forward(padded)
    amplitude = np.hypot(re, im) * (2.0 / count)
    wavenumber = np.arange(amplitude.size) / (padded.size * spacing) * 1000.0
    timings["spectrum"] = clock() - t

    return ProcessedLine(
        mag_despiked=despiked,
        mag_filled=filled,
        resampled_distance=resampled_distance,
        mag_resampled=mag_resampled,
        mag_lowpass=mag_lowpass,
        wavenumber=wavenumber,
        amplitude=amplitude,
        spikes_removed=spikes_removed,
        gaps_filled=sum(1 for first, last in data_runs(~is_gap) if np.all(filled[first:last] != DUMMY)),
        samples_filled=samples_filled,
        timings=timings,
    )


def _format_column(values, fmt):
    text = np.char.mod(fmt, values)
    return np.where(values == DUMMY, "*", text)


def write_csv(path, columns):
    """Writes named columns (name, values, printf format) with `*` for dummies."""
    names = [name for name, _, _ in columns]
    texts = [_format_column(values, fmt) for _, values, fmt in columns]
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write(",".join(names) + "\n")
        rows = texts[0]
        for text in texts[1:]:
            rows = np.char.add(np.char.add(rows, ","), text)
        out.write("\n".join(rows.tolist()))
        out.write("\n")


def write_outputs(line, result, out_dir):
    """Writes both CSV files and the figure; returns their paths."""
    os.makedirs(out_dir, exist_ok=True)
    line_csv = os.path.join(out_dir, "survey_line.csv")
    profile_csv = os.path.join(out_dir, "survey_line_resampled.csv")
    figure = os.path.join(out_dir, "survey_line.png")
    write_csv(
        line_csv,
        [
            ("fid", line.fid, "%d"),
            ("x", line.x, "%.2f"),
            ("y", line.y, "%.2f"),
            ("distance", line.distance, "%.2f"),
            ("mag", line.mag, "%.3f"),
            ("mag_despiked", result.mag_despiked, "%.3f"),
            ("mag_filled", result.mag_filled, "%.3f"),
        ],
    )
    write_csv(
        profile_csv,
        [
            ("distance", result.resampled_distance, "%.2f"),
            ("mag_resampled", result.mag_resampled, "%.3f"),
            ("mag_lowpass", result.mag_lowpass, "%.3f"),
        ],
    )
    plot_line(line, result, figure)
    return line_csv, profile_csv, figure


def plot_line(line, result, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    km = line.distance / 1000.0
    raw = np.where(line.mag == DUMMY, np.nan, line.mag)
    lowpass = np.where(result.mag_lowpass == DUMMY, np.nan, result.mag_lowpass)
    gap = line.mag == DUMMY

    fig = plt.figure(figsize=(12, 9), layout="constrained")
    grid = fig.add_gridspec(3, 2, height_ratios=[1.2, 1.0, 1.0])
    full = fig.add_subplot(grid[0, :])
    zoom = fig.add_subplot(grid[1, :])
    spectrum = fig.add_subplot(grid[2, 0])
    residual = fig.add_subplot(grid[2, 1])

    full.plot(km, raw, color="0.55", lw=0.6, label="raw (spikes, gaps)")
    full.plot(result.resampled_distance / 1000.0, lowpass, color="tab:blue", lw=1.0, label="processed, low-passed")
    _shade_gaps(full, km, gap)
    full.set_title("Magnetic survey line: raw and processed total field")
    full.set_xlabel("distance along line (km)")
    full.set_ylabel("total field (nT)")
    full.legend(loc="upper right", fontsize=8)

    # Zoom on the gap where the field changes most, so the prediction shows.
    first, last = max(data_runs(~gap), key=lambda r: np.ptp(result.mag_filled[r[0] - 1 : r[1] + 1]))
    pad = 150 + (last - first)
    lo, hi = max(0, first - pad), min(line.mag.size, last + pad)
    zoom.plot(km[lo:hi], raw[lo:hi], color="0.55", lw=0.8, marker=".", ms=2, label="raw")
    zoom.plot(km[lo:hi], result.mag_filled[lo:hi], color="tab:orange", lw=1.0, label="despiked, gaps predicted")
    zoom.plot(km[first:last], result.mag_filled[first:last], color="tab:red", lw=1.5, zorder=3, label="predicted gap")
    zoom.plot(km[first:last], line.clean[first:last], color="k", lw=0.8, ls="--", zorder=4,
              label="true field in the gap (not recorded)")
    inside = (result.resampled_distance >= line.distance[lo]) & (result.resampled_distance <= line.distance[hi - 1])
    zoom.plot(result.resampled_distance[inside] / 1000.0, lowpass[inside], color="tab:blue", lw=1.0, label="low-passed")
    _shade_gaps(zoom, km[lo:hi], gap[lo:hi])
    zoom.set_title(f"Detail around a predicted gap of {last - first} samples")
    zoom.set_xlabel("distance along line (km)")
    zoom.set_ylabel("total field (nT)")
    zoom.legend(loc="upper left", fontsize=8, ncol=2)
    finite = result.mag_filled[lo:hi]
    margin = 0.15 * (finite.max() - finite.min() + 1.0)
    zoom.set_ylim(finite.min() - margin, finite.max() + 3.0 * margin)  # room for the legend

    positive = result.wavenumber > 0
    spectrum.loglog(result.wavenumber[positive], result.amplitude[positive], color="tab:green", lw=0.6)
    spectrum.axvline(LOWPASS_CUTOFF * 1000.0, color="k", ls="--", lw=0.8, label="low-pass cut-off")
    spectrum.set_title("Amplitude spectrum of the resampled profile")
    spectrum.set_xlabel("wavenumber (cycles/km)")
    spectrum.set_ylabel("amplitude (nT)")
    spectrum.legend(loc="lower left", fontsize=8)

    residual.plot(km, np.where(gap, np.nan, line.mag - result.mag_despiked), color="tab:purple", lw=0.6)
    residual.set_title(f"Removed by the despiker ({result.spikes_removed} samples changed)")
    residual.set_xlabel("distance along line (km)")
    residual.set_ylabel("raw - despiked (nT)")

    fig.savefig(path, dpi=110)
    plt.close(fig)


def _shade_gaps(axes, km, gap):
    for first, last in data_runs(~gap):
        axes.axvspan(km[max(first - 1, 0)], km[min(last, km.size - 1)], color="tab:red", alpha=0.12, lw=0)


def summary_text(line, result, files):
    total = sum(result.timings.values())
    lines = [
        f"survey line: {line.mag.size} samples over {line.distance[-1] / 1000.0:.2f} km "
        f"(mean spacing {line.distance[-1] / (line.mag.size - 1):.2f} m)",
        f"spikes removed: {result.spikes_removed} ({line.spike_positions.size} injected)",
        f"gaps filled: {result.gaps_filled} ({result.samples_filled} samples)",
        f"resampled: {result.mag_resampled.size} samples at {NOMINAL_SPACING:g} m",
        "timings (ms):",
    ]
    lines += [f"  {name:<18}{seconds * 1000.0:9.2f}" for name, seconds in result.timings.items()]
    lines.append(f"  {'total':<18}{total * 1000.0:9.2f}")
    lines += [f"wrote {path}" for path in files]
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--samples", type=int, default=20000, help="samples on the line (default 20000)")
    parser.add_argument("--seed", type=int, default=7, help="seed of the generated line (default 7)")
    parser.add_argument("--out", default="out", help="output folder (default out)")
    args = parser.parse_args(argv)
    if args.samples < 200:
        parser.error("--samples must be at least 200")

    line = generate_line(args.samples, args.seed)
    result = process_line(line)
    files = write_outputs(line, result, args.out)
    print(summary_text(line, result, files))
    return 0


if __name__ == "__main__":
    sys.exit(main())
