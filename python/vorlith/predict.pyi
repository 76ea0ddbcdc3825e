"""Filling dummy gaps by linear prediction (Burg autoregressive models from both sides)."""

import enum

from . import InPlace

class EdgeType(enum.Enum):
    NONE = 0
    EXTRAPOLATE = 1
    WRAP = 2

class RollWeight(enum.Enum):
    LINEAR = 1
    SQUARED = 2

def fill_gaps(
    channel: InPlace,
    *,
    edges: EdgeType | str = ...,
    roll: RollWeight | str = ...,
    level: float | None = None,
    prediction_length: int = 0,
    filter_length: int = 0,
    fit_length: int = 0,
    nan: bool | None = None,
) -> int:
    """Fills the dummy gaps in place; returns how many samples were filled."""
