# Amplitude spectrum of a profile sampled every 5 m.
import matplotlib.pyplot as plt
import numpy as np

import vorlith

spacing = 5.0
rng = np.random.default_rng(11)
distance = np.arange(1024) * spacing
profile = (10.0 * np.sin(2 * np.pi * distance / 400.0) + 4.0 * np.sin(2 * np.pi * distance / 60.0)
           + rng.normal(0.0, 1.0, distance.size))
real, imaginary = vorlith.fft.rfft_1d_forward(profile)
amplitude = np.hypot(real, imaginary) * 2.0 / distance.size
wavenumber = np.arange(len(real)) / (distance.size * spacing)

fig, axes = plt.subplots()
axes.semilogy(wavenumber[1:], amplitude[1:], "k", lw=0.8)
axes.set_xlabel("cycles per metre")
axes.set_ylabel("amplitude")
