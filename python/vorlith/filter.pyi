"""Convolution with a kernel, and multi-scale despiking."""

import numpy as np
import numpy.typing as npt

from . import InPlace, MultiVector, VectorLike

def convolution(channel: VectorLike, kernel: npt.ArrayLike, *, keep_length: bool = False, out: MultiVector | np.ndarray | None = None, nan: bool | None = None) -> MultiVector | np.ndarray: ...
def despike(channel: InPlace, width: int, tolerance: float, *, max_iterations: int | None = None, nan: bool | None = None) -> int:
    """Despikes a float64 channel in place, each stretch between dummies on its own; returns how many samples changed."""
