#!/usr/bin/python3
"""Levels a synthetic survey and maps its crossover differences before and after.

Generates a seeded survey (traverse lines 1, 2, ... and tie lines 9001, ... over a smooth
field, with a constant, a drift in time and a heading offset per line, noise and
dropouts: vorlith.synthetic.make_survey), levels `mag` with a linear trend in
time per traverse line, prints the report and how far the levelled channel is from the
true field, and writes a PNG with the crossover differences before and after levelling.
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import vorlith  # noqa: E402
from vorlith.synthetic import DUMMY, make_survey, to_survey  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=2)
    parser.add_argument("--noise", type=float, default=0.05, help="noise sd, nT")
    parser.add_argument("--model", default="linear", choices=["constant", "linear", "poly2"])
    parser.add_argument("--out", default="levelling.png", help="the PNG to write")
    args = parser.parse_args()

    columns = make_survey(args.seed, noise=args.noise, dropouts=30, heading=20.0,
                          tie_heading=110.0)
    survey = to_survey(columns)
    result = vorlith.level.level(survey, "mag", "9001-9999", model=args.model, along="time",
                                 time="t")
    print(vorlith.level.report(result, worst=5))
    valid = columns["mag"] != DUMMY
    residual = (survey["mag_lev"] - columns["true"])[valid]
    residual -= np.median(residual)  # the datum is the reference tie's level
    print(f"levelled minus true field: rms {np.sqrt(np.mean(residual ** 2)):.3f} nT "
          f"(noise {args.noise} nT)")

    c = result.crossovers
    limit = np.nanpercentile(np.abs(c["difference"]), 98)
    figure, axes = plt.subplots(1, 2, figsize=(12, 5.6), sharex=True, sharey=True)
    for ax, key, title in ((axes[0], "difference", "before"), (axes[1], "after", "after")):
        ax.plot(columns["x"], columns["y"], ",", color="0.8")
        shown = ax.scatter(c["x"], c["y"], c=c[key], s=10, cmap="RdBu_r", vmin=-limit, vmax=limit)
        rejected = c["weight"] == 0
        ax.scatter(c["x"][rejected], c["y"][rejected], s=30, facecolors="none", edgecolors="k",
                   linewidths=0.6)
        stats = result.before if key == "difference" else result.after
        ax.set_title(f"crossover differences {title}: rms {stats['rms']:.3f} nT")
        ax.set_aspect("equal")
    figure.colorbar(shown, ax=axes, label="traverse minus tie, nT (circled: no weight)")
    figure.savefig(args.out, dpi=110)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
