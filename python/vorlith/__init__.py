"""Survey-line channels in typed vectors, with the library's numerical processing.

The package wraps the compiled library: `MultiVector` holds a channel (made from a NumPy
array; `numpy()` gives a zero-copy view back), and the submodules `math`, `range`,
`convert`, `predict`, `spline`, `filter`, `fft`, `text` and `line` hold the algorithm families.
Functions accept a MultiVector or anything NumPy turns into an array (a number where a
constant channel makes sense). Results are MultiVectors when every channel argument is a
MultiVector and NumPy arrays (views of the result, no copy) otherwise. Missing values are
each type's dummy (DUMMY_INT8 to DUMMY_OPAQUE); with `nan=True` on a call, or
`set_nan_missing(True)`, NaN in float arrays is missing instead. `set_num_threads` caps
the threads (default: OMP_NUM_THREADS when set). Library preconditions raise
`ContractError` (a ValueError) with the reason and the position.
"""

import contextlib as _contextlib
import os as _os
import sys as _sys
from importlib import metadata as _metadata
from typing import Union as _Union

import numpy as _np
import numpy.typing as _npt

from . import _core
from ._core import (
    DUMMY_DOUBLE,
    DUMMY_FLOAT,
    DUMMY_INT8,
    DUMMY_INT16,
    DUMMY_INT32,
    DUMMY_INT64,
    DUMMY_OPAQUE,
    DUMMY_UINT8,
    DUMMY_UINT16,
    DUMMY_UINT32,
    DUMMY_UINT64,
    ContractError,
    DataType,
    MultiVector,
    get_min_thread_block,
    get_nan_missing,
    get_num_threads,
    set_min_thread_block,
    set_nan_missing,
    set_num_threads,
    sort_index,
    take,
)

try:
    __version__ = _metadata.version("vorlith")
except _metadata.PackageNotFoundError:  # run from a build tree, not installed
    __version__ = "0.1.0"


@_contextlib.contextmanager
def num_threads(threads):
    """Within the block, parallel operations use at most `threads` threads (None: all)."""
    previous = get_num_threads()
    set_num_threads(threads)
    try:
        yield
    finally:
        set_num_threads(previous)


def _threads_from_environment():
    text = _os.environ.get("OMP_NUM_THREADS", "").split(",")[0].strip()
    if text.isdigit() and int(text) > 0:
        set_num_threads(int(text))


_threads_from_environment()

#: A channel that is only read: a MultiVector, or data NumPy turns into an array (copied).
VectorLike = _Union[MultiVector, _npt.ArrayLike]
#: A channel changed in place: a MultiVector, or a writable array that receives the results.
InPlace = _Union[MultiVector, _np.ndarray]
#: An element type: a NumPy dtype, "S<n>" for opaque text, or a DataType.
DTypeLike = _Union[_npt.DTypeLike, DataType]

# The compiled submodules become importable as vorlith.math, vorlith.range, ...
for _name in ("math", "range", "convert", "predict", "spline", "filter", "fft", "text", "line"):
    _module = getattr(_core, _name)
    _module.__name__ = f"{__name__}.{_name}"
    _sys.modules[_module.__name__] = _module
    globals()[_name] = _module
del _name, _module

_DUMMIES = {
    _np.dtype(_np.int8): DUMMY_INT8,
    _np.dtype(_np.uint8): DUMMY_UINT8,
    _np.dtype(_np.int16): DUMMY_INT16,
    _np.dtype(_np.uint16): DUMMY_UINT16,
    _np.dtype(_np.int32): DUMMY_INT32,
    _np.dtype(_np.uint32): DUMMY_UINT32,
    _np.dtype(_np.int64): DUMMY_INT64,
    _np.dtype(_np.uint64): DUMMY_UINT64,
    _np.dtype(_np.float32): DUMMY_FLOAT,
    _np.dtype(_np.float64): DUMMY_DOUBLE,
}


def dummy_of(dtype):
    """The dummy of a numeric dtype (of the component type for points)."""
    try:
        return _np.dtype(dtype).type(_DUMMIES[_np.dtype(dtype)])
    except KeyError:
        raise TypeError(f"no numeric dummy for dtype {_np.dtype(dtype)!r}") from None


def to_float_nan(data, *, start=0, count=-1):
    """A float64 array of the range with NaN where the data holds dummies.

    Points give (n, 2) / (n, 3) arrays with the whole row NaN for a dummy point;
    opaque text is read as numbers by the library's text rules.
    """
    vector = data if isinstance(data, MultiVector) else MultiVector(data)
    length = len(vector)
    if start < 0 or start > length or count < -1 or (count != -1 and start + count > length):
        raise IndexError(f"range start={start}, count={count} is outside a vector of length {length}")
    stop = length if count == -1 else start + count
    if vector.data_type == DataType.OPAQUE:
        vector = vector.astype(_np.float64)
    values = _np.asarray(vector)[start:stop]
    result = values.astype(_np.float64)
    dummy = values == dummy_of(values.dtype)
    if values.ndim == 2:
        dummy = dummy.any(axis=1)
    result[dummy] = _np.nan
    return result


def from_float_nan(data, dtype=_np.float64, *, block=False):
    """A MultiVector of `dtype` from float values with NaN for missing ones.

    NaN becomes the dummy; other values convert by the library's rules (integers round
    half away from zero and saturate). An (n, 2) / (n, 3) array gives points of `dtype`
    (float32 or float64), a row with any NaN a dummy point.
    """
    values = _np.array(data, dtype=_np.float64)
    missing = _np.isnan(values)
    if values.ndim == 2:
        points = values.astype(dtype)
        points[missing.any(axis=1)] = dummy_of(dtype)
        return MultiVector(points, block=block)
    values[missing] = DUMMY_DOUBLE
    return MultiVector(values, block=block).astype(dtype)


__all__ = [
    "ContractError",
    "DataType",
    "MultiVector",
    "DUMMY_INT8",
    "DUMMY_UINT8",
    "DUMMY_INT16",
    "DUMMY_UINT16",
    "DUMMY_INT32",
    "DUMMY_UINT32",
    "DUMMY_INT64",
    "DUMMY_UINT64",
    "DUMMY_FLOAT",
    "DUMMY_DOUBLE",
    "DUMMY_OPAQUE",
    "dummy_of",
    "to_float_nan",
    "from_float_nan",
    "sort_index",
    "take",
    "get_min_thread_block",
    "set_min_thread_block",
    "get_num_threads",
    "set_num_threads",
    "num_threads",
    "get_nan_missing",
    "set_nan_missing",
    "VectorLike",
    "InPlace",
    "DTypeLike",
]
# The submodules stay out of __all__: `from vorlith import *` must not shadow the
# built-ins range and filter.

from . import io  # noqa: E402  (whole surveys: vorlith.io.read, vorlith.io.write)
from . import level  # noqa: E402  (crossovers and tie-line levelling of surveys)
from . import synthetic  # noqa: E402  (seeded synthetic surveys with known level errors)
