"""NaN as missing on NumPy arrays (nan=True), and out= arrays written where they lie."""

import numpy as np
import pytest

import vorlith
from vorlith import math as vmath

N = 20000  # several pieces of the library's loops, and several chunks with small_thread_block
CLEAN = np.random.default_rng(5).normal(100.0, 25.0, N)
HOLED = CLEAN.copy()
HOLED[[0, 8191, 8192, N - 1]] = np.nan
HOLED[77] = vorlith.DUMMY_DOUBLE  # the dummy stays missing with nan=True


@pytest.mark.parametrize("dtype", [np.float64, np.float32])
@pytest.mark.parametrize("values", [CLEAN, HOLED], ids=["without NaN", "with NaN"])
def test_nan_is_missing(values, dtype, small_thread_block):
    x = values.astype(dtype)
    missing = np.where(x == vorlith.dummy_of(dtype), np.nan, x).astype(np.float64)
    other = CLEAN[::-1].copy()  # NaN in one input only, then in both
    before = x.copy()
    assert vmath.mean(x, nan=True) == pytest.approx(np.nanmean(missing), rel=1e-12)
    assert vmath.sum(x, nan=True) == pytest.approx(np.nansum(missing), rel=1e-12)
    np.testing.assert_array_equal(vmath.add(x, other, nan=True), missing + other)
    np.testing.assert_array_equal(vmath.subtract(other, x, nan=True), other - missing)
    np.testing.assert_array_equal(vmath.multiply(x, x[::-1], nan=True), missing * missing[::-1])
    np.testing.assert_array_equal(x, before)  # read, never swapped where it lies
    # A MultiVector keeps dummies: the array's NaN and the vector's dummy are both missing.
    vector = vorlith.MultiVector(other)
    vector.numpy()[5] = vorlith.DUMMY_DOUBLE
    expected = missing + vector.numpy()
    expected[5] = np.nan
    np.testing.assert_array_equal(vmath.add(x, vector, nan=True), expected)
    into = vorlith.MultiVector(np.zeros(N))
    vmath.add(x, vector, out=into, nan=True)
    np.testing.assert_array_equal(into.numpy(), np.nan_to_num(expected, nan=vorlith.DUMMY_DOUBLE))


def test_changed_in_place_with_nan():
    clean = np.array([-1.0, vorlith.DUMMY_DOUBLE, 3.0])
    holed = np.array([-1.0, np.nan, 3.0], np.float32)
    for x in (clean, holed):
        vmath.abs(x, nan=True)
        np.testing.assert_array_equal(x, [1.0, np.nan, 3.0])


def test_out_arrays_written_where_they_lie():
    a = np.arange(6.0)
    for out in (np.full(6, 7.0), np.zeros(6, np.float32), np.zeros(12)[::2]):
        assert vmath.add(a, a, out=out) is out
        np.testing.assert_array_equal(out, 2 * a)
    out = np.zeros(6)
    holed = np.where(a == 2.0, np.nan, a)
    assert vmath.add(holed, a, out=out, nan=True) is out
    np.testing.assert_array_equal(out, holed + a)


@pytest.mark.parametrize("out, call, error", [
    (np.full(6, 7.0), lambda out: vmath.add(np.arange(6.0), 1.0, out=out, start=7), vorlith.ContractError),
    (np.full(8, 7.0), lambda out: vmath.add(np.arange(6.0), 1.0, out=out), BufferError),
    (np.full(4, 7.0), lambda out: vmath.hypotenuse(*[np.ones(6)] * 3, out=out), BufferError),
])
def test_rejected_out_array_is_left_unchanged(out, call, error):
    before = out.copy()
    with pytest.raises(error):
        call(out)
    np.testing.assert_array_equal(out, before)
