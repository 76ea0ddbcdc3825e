"""vorlith.line on NumPy arrays: lag against numpy.interp, the other calls, bad input."""

import numpy as np
import pytest

import vorlith
from vorlith import line

D = vorlith.DUMMY_DOUBLE


@pytest.mark.parametrize("shift", [0.37, -2.5, 3.0])
def test_lag_matches_numpy_interp(small_thread_block, shift):
    rng = np.random.default_rng(3)
    t = np.cumsum(rng.uniform(0.5, 1.5, 2000))
    y = np.sin(t / 7.0)
    got = line.lag(vorlith.MultiVector(y), shift, along=vorlith.MultiVector(t)).numpy()
    expect = np.interp(t + shift, t, y, left=D, right=D)
    np.testing.assert_allclose(got, expect, rtol=0, atol=1e-12)


def test_hampel_gap_limits_decimate():
    x = np.sin(np.arange(400) / 9.0)
    x[[50, 200, 201]] += 40
    x[[0, 300]] = D
    original = x.copy()
    assert list(np.flatnonzero(line.hampel(x, 4, 3.0))) == [50, 200, 201] and x[300] == D
    assert x[50] == np.median(original[46:55])
    g = np.array([1.0, D, 3.0, D, D, D, 7.0, 8.0, D, 10.0])
    assert list(np.flatnonzero(line.fill_gaps(g, max_gap=1))) == [1, 8] and g[1] == 2.0
    assert list(np.flatnonzero(line.fill_gaps(g, method="akima", max_distance=4, position=np.arange(10)))) == [3, 4, 5]
    values, mask = line.akima_resample([0, 1, 2, 3], [0, D, 2, 3], [0.5, 2.5], max_gap=0)
    assert list(values) == [D, 2.5] and not mask.any()
    assert line.decimate(np.ones(1000), 4).shape == (250,)
