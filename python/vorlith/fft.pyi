"""Real discrete Fourier transforms.

rfft_1d_forward gives (real, imaginary) with imaginary = -Im(numpy.fft.rfft(x)), unscaled;
rfft_1d_inverse undoes it for even signal lengths.
"""

import numpy as np
import numpy.typing as npt

from . import MultiVector, VectorLike

def rfft_1d_forward(x: VectorLike, *, start: int = 0, count: int = -1, nan: bool | None = None) -> tuple[MultiVector | np.ndarray, MultiVector | np.ndarray]: ...
def rfft_1d_inverse(real: VectorLike, imaginary: VectorLike, *, out: MultiVector | None = None, start: int = 0, count: int = -1, nan: bool | None = None) -> MultiVector | np.ndarray: ...
def rfft_2d_forward(data: npt.ArrayLike) -> np.ndarray: ...
def rfft_2d_inverse(spectrum: npt.ArrayLike, columns: int) -> np.ndarray: ...
