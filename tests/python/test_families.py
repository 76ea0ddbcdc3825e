"""One call per algorithm family against NumPy or known results; in-place arrays;
bad input; the GIL released during long calls."""

import sys
import threading
import time

import numpy as np
import pytest

import vorlith
from vorlith import convert, fft, filter, predict, spline, text
from vorlith import math as vmath
from vorlith import range as vrange

D = vorlith.DUMMY_DOUBLE


def with_dummies(n=50_000, seed=1):
    values = np.random.default_rng(seed).normal(size=n)
    values[[0, 7, n // 2, n - 1]] = D
    return values


def test_math_against_numpy(small_thread_block):
    a, b = with_dummies(), with_dummies(seed=2)
    va = vorlith.MultiVector(a)
    missing = (a == D) | (b == D)
    np.testing.assert_array_equal(np.asarray(vmath.add(va, b)), np.where(missing, D, a + b))
    assert vmath.mean(va) == pytest.approx(np.mean(a[a != D]), rel=1e-12)
    stats = vmath.statistics(va, start=1, count=100)
    assert (stats.count, stats.dummies, stats.maximum) == (99, 1, a[1:101].max())


def test_distance_and_out_argument():
    x, y = np.array([0.0, 3.0, 3.0, D, 6.0]), np.array([0.0, 4.0, 8.0, 1.0, 8.0])
    out = vorlith.MultiVector.zeros(np.float32, 0)
    result = vmath.distance_cumulative(x, y, start_distance=10.0, out=out)
    assert result is out
    np.testing.assert_array_equal(out.numpy(), np.array([10, 15, 19, D, 22], np.float32))


def test_in_place_members_write_back_into_arrays():
    base = np.array([-1.0, 2.0, -3.0, D, -5.0, 6.0])
    strided = base[::2]
    vmath.abs(strided)
    np.testing.assert_array_equal(base, [1.0, 2.0, 3.0, D, 5.0, 6.0])
    ints = np.array([1, 50, 100], dtype=np.int16)
    vrange.clamp_to_range(ints, 10, 60)
    np.testing.assert_array_equal(ints, [10, 50, 60])
    with pytest.raises(ValueError, match="read-only"):
        vmath.abs(np.frombuffer(b"\0" * 16))
    with pytest.raises(TypeError, match="in place"):
        vmath.abs([1.0, 2.0])


def test_range_against_numpy():
    values = with_dummies()
    nan = np.where(values == D, np.nan, values)
    assert vrange.compute_range(values) == (np.nanmin(nan), np.nanmax(nan))
    assert vrange.compute_max_and_index(values) == (np.nanmax(nan), int(np.nanargmax(nan)))
    assert vrange.order(np.arange(5.0)) == (False, vrange.Order.INCREASING)
    points = vorlith.MultiVector(np.array([[1.0, 5.0], [3.0, 2.0]]))
    assert vrange.compute_point_range(points) == ((1.0, 2.0), (3.0, 5.0))


def test_convert_points_and_field_vectors():
    x, y, z = np.array([1.0, D]), np.array([2.0, 3.0]), np.array([4.0, 5.0])
    points = convert.doubles_to_points(x, y, z, dtype=np.float32)
    assert points.dtype == np.float32 and points.shape == (2, 3) and points[1, 0] == np.float32(D)
    back = convert.points_to_doubles(points)
    np.testing.assert_array_equal(back[2], [4.0, D])
    east, north, up = np.array([0.0]), np.array([2.0]), np.array([-2.0])
    convert.xyz_to_amp_inc_dec(east, north, up)
    np.testing.assert_allclose([east[0], north[0], up[0]], [np.sqrt(8), 45.0, 0.0])


def test_predict_fills_a_gap_of_a_smooth_signal():
    signal = np.sin(np.arange(2000.0) / 40)
    gappy = signal.copy()
    gappy[1000:1010] = D
    assert predict.fill_gaps(gappy, edges=predict.EdgeType.NONE, roll=predict.RollWeight.SQUARED) == 10
    np.testing.assert_allclose(gappy[1000:1010], signal[1000:1010], atol=5e-3)
    assert predict.fill_gaps(np.full(5, D)) == 0


def test_akima_reproduces_a_line():
    knots = np.array([0.0, 1.0, 3.0, 4.0, 6.0, 7.0])
    positions = np.array([5.5, 0.5, 2.0])  # any order
    np.testing.assert_allclose(spline.akima(knots, 2 * knots + 1, positions), 2 * positions + 1, atol=1e-12)
    # Beyond the knots: dummies without extension.
    assert (spline.akima_regular(knots, 2 * knots + 1, knots[0] - 5, 1.0, 3) == D).all()
    assert spline.akima_regular(knots, 2 * knots + 1, knots[0] - 5, 1.0, 3, extension=None).min() > D


def test_filters():
    x = np.array([1.0, D, 2.0, 4.0, 8.0, 16.0, 32.0, 64.0, 128.0])
    kernel = np.array([0.1, 0.2, 0.4, 0.2, 0.1, 0.05])
    valid = filter.convolution(x, kernel)
    np.testing.assert_allclose(valid, [D, D, *np.convolve(x[2:], kernel[::-1], "valid")], rtol=1e-12)
    kept = filter.convolution(x, kernel[:5], keep_length=True)
    assert len(kept) == len(x) and (kept[:2] == D).all() and (kept[-2:] == D).all()
    spiky = np.zeros(9)
    spiky[4] = 10.0
    assert filter.despike(spiky, 1, 0.5) == 1 and spiky[4] != 10.0


@pytest.mark.parametrize("n", [1 << 12, 1000, 999])
def test_fft_against_numpy(n):
    x = np.random.default_rng(n).normal(size=n)
    real, imaginary = fft.rfft_1d_forward(x)
    np.testing.assert_allclose(real - 1j * imaginary, np.fft.rfft(x), atol=1e-9)
    if n % 2 == 0:
        np.testing.assert_allclose(fft.rfft_1d_inverse(real, imaginary), x, atol=1e-12)
    grid = x[: (n // 10) * 10].reshape(10, -1)
    spectrum = fft.rfft_2d_forward(grid)
    np.testing.assert_allclose(spectrum, np.fft.rfft2(grid), atol=1e-9)
    np.testing.assert_allclose(fft.rfft_2d_inverse(spectrum, grid.shape[1]), grid, atol=1e-12)


def test_text():
    np.testing.assert_array_equal(text.tokenize_to_doubles("1.5, 2;;x").numpy(), [1.5, 2.0, D])
    assert text.compare(b"abc ", b"abd") == -1 and text.compare(b"ABC", b"abc", case_sensitive=False) == 0


def test_long_calls_release_the_gil():
    values = vorlith.MultiVector(np.random.default_rng(0).normal(size=2_000_000))
    counter = [0]
    stop = threading.Event()

    def count():
        while not stop.is_set():
            counter[0] += 1
            time.sleep(0)  # hands the GIL back at once

    old = sys.getswitchinterval()
    sys.setswitchinterval(100.0)  # the main thread gives the GIL up only where a call releases it
    worker = threading.Thread(target=count)
    try:
        worker.start()
        before = counter[0]
        values.sort()
        after = counter[0]
    finally:
        stop.set()
        worker.join()
        sys.setswitchinterval(old)
    assert after > before
    assert values.is_sorted()
