# Gap prediction on a synthetic two-component signal.
import matplotlib.pyplot as plt
import numpy as np

import vorlith

t = np.arange(120)
signal = 50.0 + 8.0 * np.sin(t / 6.0) + 3.0 * np.sin(t / 2.3)
channel = signal.copy()
gap = slice(55, 70)
channel[gap] = vorlith.DUMMY_DOUBLE
filled = channel.copy()
vorlith.predict.fill_gaps(filled)

fig, axes = plt.subplots()
axes.plot(t, vorlith.to_float_nan(channel), "k.-", label="data")
axes.plot(t[gap], signal[gap], "k--", lw=0.8, label="removed")
axes.plot(t[gap], filled[gap], "r.-", label="predicted")
axes.set_xlabel("sample")
axes.legend()
