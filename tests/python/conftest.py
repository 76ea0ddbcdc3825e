import numpy as np
import pytest

import vorlith

# Every element type the module maps, as the dtype and shape of one sample array.
NUMERIC_DTYPES = [np.int8, np.uint8, np.int16, np.uint16, np.int32, np.uint32, np.int64, np.uint64,
                  np.float32, np.float64]


@pytest.fixture(params=[False, True], ids=["contiguous", "block"])
def block(request):
    return request.param


@pytest.fixture
def small_thread_block():
    """Sends small vectors down the parallel paths."""
    old = vorlith.get_min_thread_block()
    vorlith.set_min_thread_block(7)
    yield
    vorlith.set_min_thread_block(old)
