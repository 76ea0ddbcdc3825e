# Low-pass convolution of a noisy profile.
import matplotlib.pyplot as plt
import numpy as np

import vorlith

rng = np.random.default_rng(7)
x = np.arange(300)
profile = 40.0 * np.exp(-(((x - 150) / 25.0) ** 2)) + rng.normal(0.0, 3.0, x.size)
taps = np.arange(-10, 11)
kernel = np.sinc(taps / 8.0) * np.hamming(taps.size)
kernel /= kernel.sum()
smooth = vorlith.filter.convolution(profile, kernel, keep_length=True)

fig, axes = plt.subplots()
axes.plot(x, profile, color="0.6", lw=0.8, label="noisy")
axes.plot(x, vorlith.to_float_nan(smooth), "r", label="low-passed")
axes.set_xlabel("sample")
axes.legend()
