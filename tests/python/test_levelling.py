"""vorlith.level on generated surveys: crossings against a brute-force search, levelling
that recovers the field to the noise, crossings at dropouts, bad input."""

import numpy as np
import pytest

import vorlith
from vorlith.synthetic import DUMMY, make_survey, to_survey


def brute_force_crossings(columns, ties):
    """(line, tie, x, y) of every proper crossing of a traverse segment with a tie segment
    and of two tie segments, by testing all pairs of segments (small surveys only)."""
    line, x, y = columns["line"], columns["x"], columns["y"]
    start = np.nonzero(line[:-1] == line[1:])[0]
    seg_line = line[start]
    p0, p1 = np.stack([x[start], y[start]], axis=1), np.stack([x[start + 1], y[start + 1]], axis=1)
    is_tie = np.isin(seg_line, ties)

    def orient(p, q, r):
        return (q[..., 0] - p[..., 0]) * (r[..., 1] - p[..., 1]) - (q[..., 1] - p[..., 1]) * (r[..., 0] - p[..., 0])

    found = []
    for i in np.nonzero(is_tie)[0]:
        other = (seg_line != seg_line[i]) & (~is_tie | (seg_line > seg_line[i]))
        a0, a1, b0, b1 = p0[other], p1[other], p0[i], p1[i]
        oa0, oa1 = orient(b0, b1, a0), orient(b0, b1, a1)
        hit = (oa0 * oa1 < 0) & (orient(a0, a1, b0) * orient(a0, a1, b1) < 0)
        t = oa0[hit] / (oa0[hit] - oa1[hit])
        where = a0[hit] + t[:, None] * (a1[hit] - a0[hit])
        found += [(int(l), int(seg_line[i]), cx, cy) for l, (cx, cy) in zip(seg_line[other][hit], where)]
    return found


@pytest.mark.parametrize("seed, heading, tie_heading", [(3, 0.0, 90.0), (4, 33.0, 101.0)])
def test_crossings_match_a_brute_force_search(seed, heading, tie_heading):
    columns = make_survey(seed, size=3000.0, line_spacing=150.0, tie_spacing=700.0, sample=30.0,
                          heading=heading, tie_heading=tie_heading, wobble=40.0)
    survey = to_survey(columns)
    found = vorlith.level.crossovers(survey, "mag", "9000-9999")
    numbers = np.array([line.number for line in survey.lines])
    ours = sorted((min(a, b), max(a, b), round(x, 6), round(y, 6)) for a, b, x, y in zip(
        numbers[found["line"]], numbers[found["tie"]], found["x"], found["y"]))
    expected = sorted((min(a, b), max(a, b), round(x, 6), round(y, 6))
                      for a, b, x, y in brute_force_crossings(columns, np.arange(9000, 10000)))
    assert len(ours) > 50
    assert ours == expected


def level_generated(seed, **options):
    columns = make_survey(seed, noise=0.05, dropouts=40)
    survey = to_survey(columns)
    result = vorlith.level.level(survey, "mag", "9001-9099", time="t", **options)
    return columns, survey, result


@pytest.mark.parametrize("model, order", [("linear", 1), ("poly2", 2)])
def test_levelling_recovers_the_field_to_the_noise(model, order):
    columns, survey, result = level_generated(7, model=model, along="time")
    noise = 0.05
    assert result.before["rms"] > 3.0
    # Two noisy samples meet at a crossing: their difference has sd noise * sqrt(2).
    assert result.after["rms"] < 2.0 * noise
    # Against the true field, up to what crossings cannot see: the reference tie's datum
    # and a surface of the model's order (a trend all traverse lines share).
    valid = columns["mag"] != DUMMY
    residual = (survey["mag_lev"] - columns["true"])[valid]
    x, y = columns["x"][valid] / 1e4, columns["y"][valid] / 1e4
    surface = np.stack([x ** i * y ** j for i in range(3) for j in range(3) if i + j <= order], 1)
    residual -= surface @ np.linalg.lstsq(surface, residual, rcond=None)[0]
    assert np.sqrt(np.mean(residual ** 2)) < 2.0 * noise  # 0.078 linear, 0.082 poly2 (noise 0.05)
    # Order k needs k + 2 crossings.
    c = result.corrections
    crossings = c["crossings"][~c["tie"]]
    np.testing.assert_array_equal(c["order"][~c["tie"]], np.minimum(order, np.maximum(crossings - 2, 0)))


def test_crossings_at_dropouts_are_unusable():
    columns, survey, result = level_generated(11)
    c = result.crossovers
    mag = columns["mag"]
    row = np.floor(c["line_row"]).astype(int)
    tie_row = np.floor(c["tie_row"]).astype(int)
    gap = (mag[row] == DUMMY) | (mag[row + 1] == DUMMY) | (mag[tie_row] == DUMMY) | \
        (mag[np.minimum(tie_row + 1, len(mag) - 1)] == DUMMY)
    assert gap.sum() > 0
    np.testing.assert_array_equal(~c["usable"], gap)
    assert np.isnan(c["difference"][gap]).all() and np.isnan(c["after"][gap]).all()
    assert (c["weight"][gap] == 0).all()
    # The levelled channel keeps the dummies where they were.
    np.testing.assert_array_equal(survey["mag_lev"] == DUMMY, mag == DUMMY)
    text = vorlith.level.report(result, worst=3)
    assert "worst crossings after levelling" in text and f"{gap.sum()} unusable" in text


def test_ties_by_list_and_bad_input():
    columns = make_survey(5, size=2000.0, line_spacing=200.0, tie_spacing=800.0, sample=50.0)
    survey = to_survey(columns)
    ties = sorted({int(n) for n in columns["line"] if n > 9000})
    by_text = vorlith.level.crossovers(survey, "mag", f"{ties[0]}-{ties[-1]}")
    by_list = vorlith.level.crossovers(survey, "mag", ties)
    np.testing.assert_array_equal(by_text["x"], by_list["x"])
    with pytest.raises(ValueError, match="no line of the survey matches"):
        vorlith.level.level(survey, "mag", "5000-5999")
    with pytest.raises(vorlith.io.SurveyError, match="no x channel 'east'"):
        vorlith.level.crossovers(survey, "mag", ties, x="east")
    with pytest.raises(ValueError, match="model is"):
        vorlith.level.level(survey, "mag", ties, model="cubic")
