"""The package as NumPy and pandas users call it: arrays in and out, NaN, pickling, threads."""

import os
import pickle
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import vorlith
from vorlith import math as vmath, predict

D = vorlith.DUMMY_DOUBLE
A = np.arange(5.0)


@pytest.mark.parametrize("call, error, message", [
    (lambda: vmath.add(A, np.arange(3.0)), ValueError, "a has 5 values and b has 3"),
    (lambda: vmath.weighted_mean(A, A[:4]), ValueError, "first has 5 values and second has 4"),
    (lambda: vmath.mean(np.ones((4, 2))), ValueError, r"v: expected a 1-D channel, got a 2-D array of shape \(4, 2\)"),
    (lambda: vmath.add(1.0, 2.0), TypeError, "both numbers"),
    (lambda: vmath.add(None, A), TypeError, None),
    (lambda: vmath.add(A, A, start=6), vorlith.ContractError, "start"),
    (lambda: predict.EdgeType("sideways"), ValueError, "unknown EdgeType .sideways.: expected one of NONE"),
    (lambda: predict.fill_gaps(A, edges=5), TypeError, None),
    (lambda: vorlith.set_num_threads(0), ValueError, "at least 1"),
    (lambda: vorlith.filter.despike(np.ones(10, np.int32), 2, 0.1), vorlith.ContractError, "int32, not double"),
    (lambda: vorlith.filter.convolution(A, []), ValueError, None),
    (lambda: vorlith.fft.rfft_2d_inverse(np.ones((2, 3), complex), 8), ValueError, None),
    (lambda: vorlith.convert.points_to_doubles(A), TypeError, None),
    (lambda: vorlith.range.compute_point_range(A), TypeError, None),
    (lambda: vorlith.sort_index(A, descending=[True, False]), ValueError, None),
    (lambda: vorlith.line.lag(np.ones(3), 1.0, along=[2.0, 1.0, 0.0]), vorlith.ContractError, "do not increase"),
    (lambda: vorlith.line.lag(A, 1.0, method="cubic"), ValueError, "method"),
    (lambda: vorlith.line.fill_gaps(A, max_gap=-1), ValueError, "max_gap"),
    (lambda: vmath.add(A, A, out=np.full(2, 7.0)), BufferError,
     "out: the call would make it 5 values long, but the array holds 2"),
])
def test_bad_input_names_the_arguments(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_arrays_in_give_arrays_out():
    mv = vorlith.MultiVector(A)
    assert isinstance(vmath.add(mv, mv), vorlith.MultiVector) and isinstance(vmath.add(mv, A), np.ndarray)
    np.testing.assert_array_equal(vmath.add(A, 1.0), A + 1.0)
    np.testing.assert_array_equal(vmath.multiply(2, np.array([True, False])), [2.0, 0.0])
    frame = pd.DataFrame({"mag": [1.0, np.nan, 3.0]})
    frame["twice"] = vmath.add(frame["mag"], frame["mag"], nan=True)
    np.testing.assert_array_equal(frame["twice"], [2.0, np.nan, 6.0])
    assert np.shares_memory(np.asarray(mv), mv.numpy())
    assert predict.fill_gaps(np.array([1.0, D, 3.0]), edges="extrapolate") == 1
    assert vorlith.MultiVector.zeros("DOUBLE_POINT_2D", 1).type_name == "double_point_2d"


def test_nan_means_missing_when_asked():
    x = np.array([1.0, np.nan, 3.0, 6.0], np.float32)
    assert np.isnan(vmath.mean(np.full(3, np.nan), nan=True))
    assert np.isnan(vmath.statistics([np.nan], nan=True).maximum)
    vorlith.set_nan_missing(True)
    try:
        np.testing.assert_array_equal(vmath.subtract(x, 1.0), x - 1.0)
        assert vmath.add(x, x, nan=False)[1] != vmath.add(x, x, nan=False)[1]  # NaN is a number again
    finally:
        vorlith.set_nan_missing(False)


@pytest.mark.parametrize("value", [
    vorlith.MultiVector(np.array([1.5, D])),
    vorlith.MultiVector(np.array([b"ab", b"c"]), block=True),
    vorlith.MultiVector(np.arange(6, dtype=np.float32).reshape(2, 3)),
    vorlith.MultiVector.zeros(np.int16, 0),
])
def test_vectors_pickle(value):
    back = pickle.loads(pickle.dumps(value))
    assert (back.type_name, back.block) == (value.type_name, value.block)
    np.testing.assert_array_equal(back.numpy(), value.numpy())
    assert pickle.loads(pickle.dumps(vmath.statistics(A))) == vmath.statistics(A)


def test_threads_follow_the_user():
    before = vorlith.get_num_threads()
    with vorlith.num_threads(1):
        assert vorlith.get_num_threads() == 1
    assert vorlith.get_num_threads() == before
    script = "import vorlith; print(vorlith.get_num_threads())"
    env = dict(os.environ, OMP_NUM_THREADS="1")
    assert subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True).stdout == "1\n"


def test_shared_memory():
    """A shared vector is the array: changes show both ways, a call that would lengthen it
    is refused naming it, and the vector keeps the array alive."""
    a = np.arange(4.0)
    shared = vorlith.MultiVector(a, share=True)
    vmath.abs(shared)
    a[0] = -7.0
    assert shared.numpy()[0] == -7.0
    vmath.add_base_multiplier(shared, 1.0, 2.0)
    assert a.tolist() == [-12.0, 4.0, 6.0, 8.0]
    with pytest.raises(BufferError, match="self: the vector shares"):
        shared.append(np.ones(1))
    del a
    assert shared.numpy().tolist() == [-12.0, 4.0, 6.0, 8.0]
    for bad in (np.arange(8.0)[::2], np.arange(4.0).astype(">f8"), np.frombuffer(b"\0" * 16)):
        with pytest.raises(ValueError, match="share"):
            vorlith.MultiVector(bad, share=True)
