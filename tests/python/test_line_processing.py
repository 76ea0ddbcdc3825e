"""vorlith.line on NumPy arrays: lag against numpy.interp, decimation against the response it
states, Hampel against a window median of NumPy, gap limits, bad input."""

import numpy as np
import pytest

import vorlith
from vorlith import line

D = vorlith.DUMMY_DOUBLE


@pytest.mark.parametrize("shift", [0.37, -2.5, 3.0])
def test_lag_matches_numpy_interp(block, small_thread_block, shift):
    rng = np.random.default_rng(3)
    t = np.cumsum(rng.uniform(0.5, 1.5, 2000))
    y = np.sin(t / 7.0)
    got = line.lag(vorlith.MultiVector(y, block=block), shift, along=vorlith.MultiVector(t)).numpy()
    expect = np.interp(t + shift, t, y, left=D, right=D)
    np.testing.assert_allclose(got, expect, rtol=0, atol=1e-12)
    # A dummy sample: the positions falling next to it have no neighbouring data.
    y[1000] = D
    got = line.lag(y, shift, along=t)
    inside = (t + shift > t[999]) & (t + shift < t[1001])
    assert np.all(got[inside] == D)
    assert np.all(got[~inside & (expect != D)] != D)


def test_decimate_attenuates_above_the_new_nyquist():
    n, factor = 20000, 8
    i = np.arange(n)
    low, high = np.cos(2 * np.pi * 0.02 * i), np.cos(2 * np.pi * (0.5 / factor) * i)
    out = line.decimate(low + high, factor, attenuation=70.0)
    assert out.shape == ((n + factor - 1) // factor,)
    data = out != D
    assert data.sum() > 0.9 * out.size and not data[0] and not data[-1]
    np.testing.assert_allclose(out[data], low[::factor][data], atol=10 ** (-70 / 20) * 3)


def test_hampel_matches_the_rule_written_with_numpy_medians():
    rng = np.random.default_rng(5)
    x = rng.normal(size=500)
    x[[50, 200, 201]] += 40
    x[[0, 300]] = D
    original, k = x.copy(), 4
    flags = line.hampel(x, k, 3.0)
    for i in range(x.size):
        window = original[max(0, i - k):i + k + 1]
        window = window[window != D]
        if original[i] == D or window.size < k + 1:
            assert not flags[i] and x[i] == original[i]
            continue
        median = np.median(window)
        outlier = abs(original[i] - median) > 3.0 * 1.4826 * np.median(abs(window - median))
        assert flags[i] == outlier and x[i] == (median if outlier else original[i])
    assert flags[[50, 200, 201]].all()
    only = rng.normal(size=50)
    only[10] = 30
    before = only.copy()
    assert line.hampel(only, 3, replace=False)[10] and np.array_equal(only, before)


def test_gap_limits_and_mask():
    x = np.array([1.0, D, 3.0, D, D, D, 7.0, 8.0, D, 10.0])
    filled = line.fill_gaps(x, max_gap=1)
    assert list(np.flatnonzero(filled)) == [1, 8]
    assert x[1] == pytest.approx(2.0) and np.all(x[3:6] == D)
    y = np.array([1.0, D, 3.0, D, D, D, 7.0])
    filled = line.fill_gaps(y, method="akima", max_distance=4.5, position=[0, 1, 2, 3, 4, 5, 6])
    assert list(np.flatnonzero(filled)) == [1, 3, 4, 5] and y[4] == pytest.approx(5.0)
    values, mask = line.akima_resample([0, 1, 2, 3], [0, D, 2, 3], [0.5, 2.5], max_gap=0)
    assert list(values) == [D, 2.5] and not mask.any()


@pytest.mark.parametrize("call, message", [
    (lambda: line.hampel(np.ones(5), 0), "half_width 0"),
    (lambda: line.decimate(np.ones(5), 0), "factor 0"),
    (lambda: line.lag(np.ones(3), 1.0, along=[2.0, 1.0, 0.0]), "do not increase"),
    (lambda: line.fill_gaps(np.ones(3), max_distance=1.0), "needs a position channel"),
])
def test_bad_input_raises_contract_error(call, message):
    with pytest.raises(vorlith.ContractError, match=message):
        call()


def test_bad_keywords_raise_value_error():
    with pytest.raises(ValueError, match="method"):
        line.lag(np.ones(3), 1.0, method="cubic")
    with pytest.raises(ValueError, match="max_gap"):
        line.fill_gaps(np.ones(3), max_gap=-1)
