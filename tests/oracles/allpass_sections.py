"""Allpass sections around a delay line read through an FIR on the line, in double precision.

  g channels taps d1 w1 ... dT wT x...

The line tap is F(z) = sum of wk z^-dk (every dk at least 1 frame); the section stores v = x + g y and outputs
y = F v - g x, so per channel Y/X = (F - g) / (1 - g F), run with scipy.signal.lfilter on the interleaved frames of
x. Prints the output samples, interleaved as x was.
"""
import sys

import numpy as np
from scipy.signal import lfilter

g, channels, taps = float(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
pairs = [(int(sys.argv[4 + 2 * k]), float(sys.argv[5 + 2 * k])) for k in range(taps)]
x = np.array([float(v) for v in sys.argv[4 + 2 * taps :]])
order = max(d for d, _ in pairs)
f = np.zeros(order + 1)
for d, w in pairs:
    f[d] += w
b = f.copy()
b[0] -= g
a = -g * f
a[0] += 1.0
y = np.zeros_like(x)
for c in range(channels):
    y[c::channels] = lfilter(b, a, x[c::channels])
print(" ".join(repr(float(v)) for v in y))
