import gc
import re

import numpy as np
import pytest

import vorlith
from conftest import NUMERIC_DTYPES


def sample(dtype, n=5000):
    """Values across the type's range with its dummy at the first, a middle and the last place."""
    values = np.linspace(0, 100, n).astype(dtype)
    values[[0, n // 2, n - 1]] = vorlith.dummy_of(dtype)
    return values


@pytest.mark.parametrize("dtype", NUMERIC_DTYPES)
def test_numeric_round_trip(dtype, block):
    values = sample(dtype)
    v = vorlith.MultiVector(values, block=block)
    assert v.block == block and len(v) == len(values) and v.dtype == np.dtype(dtype)
    assert v.count_dummy() == 3
    np.testing.assert_array_equal(v.numpy(), values)
    floats = vorlith.to_float_nan(v)
    assert np.isnan(floats[[0, 2500, 4999]]).all() and np.isnan(floats).sum() == 3
    back = vorlith.from_float_nan(floats, dtype, block=block)
    np.testing.assert_array_equal(back.numpy(), values)


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
@pytest.mark.parametrize("components", [2, 3])
def test_point_round_trip(dtype, components, block):
    values = np.arange(30, dtype=dtype).reshape(-1, components)
    values[1, 0] = vorlith.dummy_of(dtype)
    v = vorlith.MultiVector(values, block=block)
    assert v.type_name == f"{np.dtype(dtype).name.replace('32', '').replace('float64', 'double')}_point_{components}d"
    np.testing.assert_array_equal(v.numpy(), values)
    fields = np.dtype([(name, dtype) for name in "xyz"[:components]])
    structured = vorlith.MultiVector(values.copy().view(fields).ravel(), block=block)
    np.testing.assert_array_equal(structured.numpy(), values)
    floats = vorlith.to_float_nan(v)
    assert np.isnan(floats[1]).all() and not np.isnan(np.delete(floats, 1, axis=0)).any()
    back = vorlith.from_float_nan(floats, dtype)
    np.testing.assert_array_equal(vorlith.to_float_nan(back), floats)


def test_opaque_round_trip(block):
    texts = np.array([b"12.5", b"", b"abc", b"x" * 9])
    v = vorlith.MultiVector(texts, block=block)
    assert v.type_name == "opaque(9)" and v.element_size == 9
    np.testing.assert_array_equal(v.numpy(), texts)
    assert v.count_dummy() == 1
    floats = vorlith.to_float_nan(v)
    assert floats[0] == 12.5 and np.isnan(floats[1:]).all()


def test_views_are_zero_copy_keep_the_vector_alive_and_block_resizing():
    v = vorlith.MultiVector(np.array([3.0, 1.0, 2.0]))
    view = v.numpy()
    view[0] = 42.0
    assert vorlith.math.sum(v) == 45.0
    v.sort()  # in-place work is fine under a live view
    np.testing.assert_array_equal(view, [1.0, 2.0, 42.0])
    for resize in (lambda: v.resize(100), v.to_block, lambda: v.append([1.0]),
                   lambda: vorlith.math.add(v, v, out=v)):
        with pytest.raises(BufferError):
            resize()
    w = vorlith.MultiVector(np.zeros(2))
    kept = w.numpy()
    del w
    gc.collect()
    kept[1] = 1.0  # the vector lives on in the view's base
    assert kept.sum() == 1.0
    del view
    v.resize(100)
    assert len(v) == 100
    blocks = vorlith.MultiVector(np.arange(3.0), block=True)
    with pytest.raises(ValueError):
        blocks.numpy()[0] = 1.0  # block storage gives read-only copies
    blocks.to_contiguous()
    assert not blocks.block and blocks.numpy().flags.writeable


def test_non_contiguous_input_is_copied():
    for array in (np.arange(20.0)[::2], np.arange(4, dtype=">i4")):  # strided, big-endian
        np.testing.assert_array_equal(vorlith.MultiVector(array).numpy(), array)


@pytest.mark.parametrize("data, error, message", [
    (np.zeros(3, dtype=np.float16), TypeError, "unsupported dtype"),
    (np.zeros((3, 2), dtype=np.int32), TypeError, "unsupported dtype"),
    (np.zeros((3, 4)), ValueError, "2 or 3 columns"),
    (np.zeros((2, 2, 2)), ValueError, "dimensions"),
    (np.float64(1.0), ValueError, "dimensions"),
    (np.array(["text"]), TypeError, "unsupported dtype"),
])
def test_bad_arrays_raise(data, error, message):
    with pytest.raises(error, match=message):
        vorlith.MultiVector(data)


def test_constructors_and_conversion():
    assert vorlith.MultiVector.zeros("S8", 3).type_name == "opaque(8)"
    assert vorlith.MultiVector.zeros(vorlith.DataType.INT16, 2).dtype == np.int16
    d = vorlith.MultiVector.dummies(np.int32, 4, block=True)
    assert d.block and d.count_dummy() == 4 and (d.numpy() == vorlith.DUMMY_INT32).all()
    with pytest.raises(ValueError, match="negative"):
        vorlith.MultiVector.zeros(np.float64, -1)
    # The library's conversion: halves round away from zero, saturation, dummies stay.
    v = vorlith.MultiVector(np.array([2.5, -2.5, 1e9, vorlith.DUMMY_DOUBLE]))
    np.testing.assert_array_equal(v.astype(np.int16).numpy(), [3, -3, 32767, vorlith.DUMMY_INT16])
    assert v.copy(block=True).block and not v.copy().block


def test_sorting_and_index():
    keys = np.array([3.0, 1.0, 2.0, 1.0, np.nan, 0.5])
    index = vorlith.sort_index(keys)
    assert index.dtype == np.int64
    np.testing.assert_array_equal(index, np.argsort(keys, kind="stable"))
    two = vorlith.sort_index([1, 1, 0, 0], [5, 4, 3, 6], descending=[False, True])
    np.testing.assert_array_equal(two, [3, 2, 0, 1])
    np.testing.assert_array_equal(vorlith.take([10.0, 20.0, 30.0], index)[:3],
                                  [vorlith.DUMMY_DOUBLE, 20.0, vorlith.DUMMY_DOUBLE])
    v = vorlith.MultiVector(np.array([b"b", b"A", b"a"]))
    v.stable_sort(case_sensitive=False)
    assert v.is_sorted(case_sensitive=False)
    with pytest.raises(TypeError, match="one to four"):
        vorlith.sort_index()


def test_contract_failures_raise_contract_error():
    reason = "rfft_1d_forward: count 0 is below 1"
    location = r"GSL: Precondition failure at \S+: \d+"
    with pytest.raises(vorlith.ContractError, match=rf"^{reason} \({location}\)$") as failure:
        vorlith.fft.rfft_1d_forward(np.ones(3), count=0)
    assert failure.value.reason == reason and re.fullmatch(location, failure.value.location)
    assert issubclass(vorlith.ContractError, ValueError)
