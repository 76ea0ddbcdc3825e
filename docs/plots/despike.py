# Despiking a magnetic profile with spikes on a smooth anomaly.
import matplotlib.pyplot as plt
import numpy as np

import vorlith

rng = np.random.default_rng(3)
x = np.arange(400)
mag = 51000.0 + 60.0 * np.exp(-(((x - 220) / 30.0) ** 2)) + rng.normal(0.0, 0.5, x.size)
spikes = rng.choice(x.size, 12, replace=False)
mag[spikes] += rng.choice([-1.0, 1.0], spikes.size) * rng.uniform(15.0, 40.0, spikes.size)
despiked = mag.copy()
vorlith.filter.despike(despiked, 5, 2.0)

fig, axes = plt.subplots()
axes.plot(x, mag, color="0.6", lw=0.8, label="recorded")
axes.plot(x, despiked, "r", lw=1.0, label="despiked")
axes.set_xlabel("sample")
axes.set_ylabel("nT")
axes.legend()
