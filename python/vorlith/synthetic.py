"""Seeded synthetic surveys over a smooth field, with known level errors per line.

For trying the levelling (`vorlith.level`) and the survey tools on data whose true field
and per-line errors are known: `make_survey` gives the columns as NumPy arrays,
`to_survey` a `vorlith.io.Survey` of them.
"""

import numpy as np

from . import DUMMY_DOUBLE as DUMMY


def field(x, y, size):
    """A smooth magnetic-like field: a regional gradient and a few broad anomalies."""
    u, v = x / size, y / size
    return (50000.0 + 40.0 * u - 25.0 * v + 60.0 * np.exp(-((u - 0.3) ** 2 + (v - 0.6) ** 2) / 0.02)
            - 35.0 * np.exp(-((u - 0.7) ** 2 + (v - 0.3) ** 2) / 0.05)
            + 8.0 * np.sin(6.0 * u) * np.cos(4.0 * v))


def make_survey(seed=1, *, size=10000.0, line_spacing=200.0, tie_spacing=1000.0, sample=10.0,
                heading=0.0, tie_heading=90.0, noise=0.05, dropouts=0, wobble=15.0):
    """Columns (float64 arrays, `line` int32) of traverse lines 1, 2, ... along `heading` and
    tie lines 9001, ... along `tie_heading` over [0, size]^2: `mag` is the field `true` plus a
    level error `error` (constant, drift, heading offset) and noise, with `dropouts` dummy runs."""
    rng = np.random.default_rng(seed)
    columns = {k: [] for k in ("line", "x", "y", "t", "mag", "true", "error")}
    t0 = 0.0
    centre = size / 2

    def add_lines(first_number, spacing, angle, is_tie):
        nonlocal t0
        a = np.radians(angle)
        along = np.array([np.sin(a), np.cos(a)])
        across = np.array([along[1], -along[0]])
        half = size * 0.75
        offsets = np.arange(-half + spacing / 2, half, spacing)
        s = np.arange(-half, half, sample)
        for k, offset in enumerate(offsets):
            forward = k % 2 == 0
            steps = s if forward else s[::-1]
            side = offset + wobble * np.sin(steps / 700.0 + k)
            x = centre + steps * along[0] + side * across[0]
            y = centre + steps * along[1] + side * across[1]
            # The longest run of samples inside the square (no jumps across the edge).
            inside = np.concatenate([[0], (x >= 0) & (x <= size) & (y >= 0) & (y <= size), [0]])
            edges = np.flatnonzero(np.diff(inside.astype(np.int8)))
            if len(edges) == 0:
                continue
            longest = np.argmax(edges[1::2] - edges[::2])
            first, last = edges[2 * longest], edges[2 * longest + 1]
            if last - first < 2:
                continue
            x, y = x[first:last], y[first:last]
            n = len(x)
            t = t0 + np.arange(n) * sample / 60.0  # 60 m/s
            t0 = t[-1] + 300.0
            constant = rng.normal(0.0, 1.0 if is_tie else 4.0)
            heading_offset = 0.0 if is_tie else (2.0 if forward else -2.0)
            drift = 0.0 if is_tie else rng.normal(0.0, 3.0) / (n * sample / 60.0)
            error = constant + heading_offset + drift * (t - t[0])
            true = field(x, y, size)
            columns["line"].append(np.full(n, first_number + k, dtype=np.int32))
            for name, values in (("x", x), ("y", y), ("t", t), ("true", true), ("error", error),
                                 ("mag", true + error + rng.normal(0.0, noise, n))):
                columns[name].append(values)

    add_lines(1, line_spacing, heading, False)
    add_lines(9001, tie_spacing, tie_heading, True)
    out = {k: np.concatenate(v) for k, v in columns.items()}
    for _ in range(dropouts):
        start = rng.integers(0, len(out["mag"]) - 20)
        out["mag"][start:start + rng.integers(5, 21)] = DUMMY
    return out


def to_survey(columns):
    """A vorlith.io.Survey of the columns, its lines indexed by `line`."""
    import vorlith

    survey = vorlith.io.Survey()
    for name, values in columns.items():
        survey.add_channel(name, values)
    survey.index_lines("line")
    return survey
