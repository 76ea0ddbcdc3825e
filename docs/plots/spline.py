# Akima resampling of irregular knots, with and without a gap limit.
import matplotlib.pyplot as plt
import numpy as np

import vorlith

x = np.array([0.0, 1.0, 2.0, 3.0, 4.5, 5.0, 11.0, 12.0, 13.0, 14.5, 15.0])
y = np.array([1.0, 1.2, 2.8, 3.0, 3.1, 2.0, 1.0, 1.6, 1.5, 3.0, 3.1])
grid = np.linspace(-1.0, 16.0, 341)
free = vorlith.spline.akima(x, y, grid, extension=None)
limited = vorlith.spline.akima(x, y, grid, max_gap=3.0, extension=1.0)

fig, axes = plt.subplots()
axes.plot(grid, vorlith.to_float_nan(free), color="0.7", label="no limits")
axes.plot(grid, vorlith.to_float_nan(limited), "r", label="max_gap=3, extension=1")
axes.plot(x, y, "ko", label="knots")
axes.set_xlabel("x")
axes.legend(loc="upper left", bbox_to_anchor=(1.0, 1.0))
