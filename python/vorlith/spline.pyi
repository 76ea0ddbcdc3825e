"""Akima spline interpolation through the knots (x[i], y[i])."""

import numpy as np

from . import MultiVector, VectorLike

def akima(x: VectorLike, y: VectorLike, positions: VectorLike, *, max_gap: float = 0.0, extension: float | None = 0.0, out: MultiVector | np.ndarray | None = None, nan: bool | None = None) -> MultiVector | np.ndarray: ...
def akima_regular(x: VectorLike, y: VectorLike, first: float, increment: float, samples: int, *, max_gap: float = 0.0, extension: float | None = 0.0, out: MultiVector | np.ndarray | None = None, nan: bool | None = None) -> MultiVector | np.ndarray: ...
