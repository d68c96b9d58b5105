"""The Schroeder allpass section by its difference equations, with scipy.signal.lfilter, in double precision.

  allpass gain delay x...      w[n] = x[n] + g w[n - delay], y[n] = w[n - delay] - g w[n]; prints y[n] for every
                               sample, then w[n - delay] for every sample
"""
import sys

import numpy as np
from scipy.signal import lfilter

g = float(sys.argv[1])
delay = int(sys.argv[2])
x = np.array([float(a) for a in sys.argv[3:]])
feedback = np.zeros(delay + 1)
feedback[0], feedback[delay] = 1.0, -g
w = lfilter([1.0], feedback, x)
delayed = np.concatenate([np.zeros(delay), w])[: len(x)]
forward = np.zeros(delay + 1)
forward[0], forward[delay] = -g, 1.0
y = lfilter(forward, feedback, x)
print(" ".join(repr(float(v)) for v in np.concatenate([y, delayed])))
