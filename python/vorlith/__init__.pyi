from typing import Any, Sequence, Union

import numpy as np
import numpy.typing as npt

import contextlib
import enum

from . import convert as convert
from . import fft as fft
from . import io as io
from . import level as level
from . import line as line
from . import filter as filter
from . import math as math
from . import predict as predict
from . import range as range
from . import spline as spline
from . import text as text
from . import synthetic as synthetic

__version__: str

#: Anything accepted where a channel is read: a MultiVector, or data NumPy turns into an
#: array of a supported dtype (copied).
VectorLike = Union["MultiVector", npt.ArrayLike]
#: A channel changed in place: a MultiVector, or a writable NumPy array (the results are
#: copied back into it).
InPlace = Union["MultiVector", np.ndarray]
DTypeLike = Union[npt.DTypeLike, "DataType"]

class ContractError(ValueError):
    """A precondition of the library failed; str() gives the reason, then the check's source position."""
    #: What failed, e.g. "rfft_1d_forward: count 0 is below 1" ("" when unknown).
    reason: str
    #: The library's message: "GSL: Precondition failure at <file>: <line>".
    location: str

class DataType(enum.Enum):
    INT8 = 0
    UINT8 = 1
    INT16 = 2
    UINT16 = 3
    INT32 = 4
    UINT32 = 5
    INT64 = 6
    UINT64 = 7
    FLOAT = 8
    DOUBLE = 9
    FLOAT_POINT_2D = 10
    DOUBLE_POINT_2D = 11
    FLOAT_POINT_3D = 12
    DOUBLE_POINT_3D = 13
    OPAQUE = 14

DUMMY_INT8: int
DUMMY_UINT8: int
DUMMY_INT16: int
DUMMY_UINT16: int
DUMMY_INT32: int
DUMMY_UINT32: int
DUMMY_INT64: int
DUMMY_UINT64: int
DUMMY_FLOAT: float
DUMMY_DOUBLE: float
DUMMY_OPAQUE: bytes

class MultiVector:
    """A typed channel held by the library, in contiguous or block storage.

    Made from a copy of `data`: int8..uint64, float32, float64; bytes S1..S4096 (opaque
    text); float32/float64 points from (n, 2) / (n, 3) arrays or structured arrays of 2 or
    3 equal fields. Non-contiguous input is copied. Unsupported dtypes raise TypeError,
    wrong shapes ValueError.
    """
    def __init__(self, data: npt.ArrayLike, *, block: bool = False, share: bool = False) -> None: ...
    @staticmethod
    def zeros(dtype: DTypeLike, length: int = 0, *, block: bool = False) -> MultiVector: ...
    @staticmethod
    def dummies(dtype: DTypeLike, length: int = 0, *, block: bool = False) -> MultiVector: ...
    @property
    def dtype(self) -> np.dtype[Any]: ...
    @property
    def data_type(self) -> DataType: ...
    @property
    def type_name(self) -> str: ...
    @property
    def element_size(self) -> int: ...
    @property
    def block(self) -> bool: ...
    def __len__(self) -> int: ...
    def numpy(self) -> np.ndarray:
        """Zero-copy view (contiguous storage; keeps the vector alive and blocks resizing
        while it lives) or a read-only copy (block storage)."""
    def __array__(self, dtype: npt.DTypeLike | None = None) -> np.ndarray: ...
    def copy(self, *, block: bool | None = None) -> MultiVector: ...
    def astype(self, dtype: DTypeLike, *, block: bool | None = None) -> MultiVector: ...
    def resize(self, length: int) -> None: ...
    def to_block(self) -> None: ...
    def to_contiguous(self) -> None: ...
    def append(self, other: VectorLike) -> None: ...
    def count_dummy(self, *, start: int = 0, count: int = -1) -> int: ...
    def fill_dummy(self, *, start: int = 0, count: int = -1) -> None: ...
    def find_dummy(self, *, start: int = 0, count: int = -1) -> int: ...
    def find_non_dummy(self, *, start: int = 0, count: int = -1) -> int: ...
    def reverse(self) -> None: ...
    def sort(self, *, descending: bool = False, case_sensitive: bool = True) -> None: ...
    def stable_sort(self, *, descending: bool = False, case_sensitive: bool = True) -> None: ...
    def is_sorted(self, *, descending: bool = False, case_sensitive: bool = True) -> bool: ...

def dummy_of(dtype: npt.DTypeLike) -> Any:
    """The dummy of a numeric dtype (component dtype for points)."""

def to_float_nan(data: VectorLike, *, start: int = 0, count: int = -1) -> np.ndarray:
    """float64 values of the range, NaN for dummies (points: (n, k), NaN rows)."""

def from_float_nan(data: npt.ArrayLike, dtype: npt.DTypeLike = ..., *, block: bool = False) -> MultiVector:
    """A MultiVector of dtype (default float64) with dummies where data is NaN."""

def sort_index(
    *args: VectorLike,
    descending: bool | Sequence[bool] = False,
    case_sensitive: bool = True,
    out: MultiVector | None = None,
) -> MultiVector | np.ndarray:
    """Stable argsort on one to four keys (the positional arguments); int64 positions."""

def take(source: VectorLike, index: VectorLike, *, out: MultiVector | np.ndarray | None = None) -> MultiVector | np.ndarray:
    """source[index]; index values outside the source give dummies."""

def get_min_thread_block() -> int: ...
def set_min_thread_block(block: int) -> None: ...
def get_num_threads() -> int: ...
def set_num_threads(threads: int | None) -> None: ...
def num_threads(threads: int | None) -> contextlib.AbstractContextManager[None]:
    """Within the block, parallel operations use at most `threads` threads."""
def get_nan_missing() -> bool: ...
def set_nan_missing(missing: bool) -> None: ...
