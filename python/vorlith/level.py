"""Crossovers and tie-line levelling of a whole survey (a `vorlith.io.Survey`).

`crossovers(survey, channel, ties)` finds where traverse lines cross tie lines (and ties
cross each other) and gives a dict of NumPy arrays: the position (x, y), per side
("line_" and "tie_") the line index, row, distance, time, heading and interpolated
value, `usable` and `difference` (traverse minus tie; NaN where a dummy makes the
crossing unusable). `level(...)` levels the channel: a constant per tie (each network of
ties held by its first tie), then each traverse line's model (constant, linear or poly2
in distance or time) fitted robustly to its crossings with the levelled ties. It adds the
corrected channel (`<channel>_lev` unless `output` names one) and returns a `Levelling`
whose `crossovers`, `corrections`, `lines`, `before` and `after` are arrays and dicts for
plotting; `report(levelling)` is the text report.

Ties are a selection text ("9000-9999", "9010,9020"), or a sequence of line numbers or
labels, matched as `Survey.select_lines` matches them.
"""

from ._core import level as _level

Levelling = _level.Levelling

__all__ = ["Levelling", "crossovers", "level", "report", "tie_indices"]


def tie_indices(survey, ties):
    """Indices into `survey.lines` of the tie lines `ties` (a selection text or a sequence
    of line numbers or labels). Raises ValueError when nothing matches."""
    text = ties if isinstance(ties, str) else ",".join(str(t) for t in ties)
    indices = survey.select_lines(text)
    if not indices:
        raise ValueError(f"no line of the survey matches the ties {text!r}")
    return indices


def crossovers(survey, channel, ties, *, x="x", y="y", time=None, interpolation="linear"):
    """Crossings of traverse lines with ties and of ties with each other, as arrays."""
    return _level.crossovers(survey, channel, tie_indices(survey, ties), x=x, y=y,
                             time=time or "", interpolation=interpolation)


def level(survey, channel, ties, *, model="constant", along="distance", output=None, x="x",
          y="y", time=None, interpolation="linear", rejection=4.685):
    """Levels `channel` of the survey in place (a new channel) and returns a Levelling.

    model: "constant", "linear" or "poly2" per traverse line, in `along` ("distance" or
    "time", which needs `time`); a line with too few crossings takes a lower order.
    rejection: Tukey cut-off in robust standard deviations (1.4826 * MAD)."""
    return _level.level(survey, channel, tie_indices(survey, ties), x=x, y=y, time=time or "",
                        interpolation=interpolation, model=model, along=along,
                        output=output or "", rejection=rejection)


def report(levelling, worst=10):
    """The text report of a levelling: survey and per-line statistics, worst crossings."""
    return levelling.report(worst)
