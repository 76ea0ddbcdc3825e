"""Line processing: gap-limited fills, Hampel despiking, lag correction and decimation."""

import numpy as np

from . import InPlace, MultiVector, VectorLike
from .predict import EdgeType, RollWeight

def fill_gaps(
    channel: InPlace,
    *,
    method: str = "prediction",
    max_gap: int | None = None,
    max_distance: float | None = None,
    position: VectorLike | None = None,
    edges: EdgeType | str = ...,
    roll: RollWeight | str = ...,
    level: float | None = None,
    prediction_length: int = 0,
    filter_length: int = 0,
    fit_length: int = 0,
    nan: bool | None = None,
) -> np.ndarray:
    """Fills the gaps within the limit in place ('prediction' or 'akima'); returns the filled-samples mask."""
def akima_resample(x: VectorLike, y: VectorLike, xi: VectorLike, *, max_gap: int | None = None, max_distance: float | None = None, nan: bool | None = None) -> tuple[MultiVector | np.ndarray, np.ndarray]:
    """Akima values at xi with a gap limit, and the mask of positions inside a gap of the samples."""
def hampel(channel: InPlace, half_width: int, threshold: float = 3.0, *, replace: bool = True, nan: bool | None = None) -> np.ndarray:
    """Hampel despiker in place (rolling median and MAD); returns the outlier mask."""
def lag(channel: VectorLike, shift: float, *, along: VectorLike | None = None, method: str = "linear", out: MultiVector | np.ndarray | None = None, nan: bool | None = None) -> MultiVector | np.ndarray:
    """The channel read at positions shifted by `shift` (samples, or units of `along`)."""
def decimate(channel: VectorLike, factor: int, *, attenuation: float = 60.0, out: MultiVector | np.ndarray | None = None, nan: bool | None = None) -> MultiVector | np.ndarray:
    """Every factor-th sample after a zero-phase anti-alias low-pass of the stated attenuation."""
