"""Gains of a one-pole smoother, closed form: g_k = target + (g_0 - target) * (1 - coeff)^k for k = 1..n.

Arguments: g0 target coeff n [hold|nohold]. With hold (the default), a start within 1e-10 of the target (single
precision) keeps g_0 for every sample instead.
"""
import sys

import numpy as np

g0, target, coeff = (float(a) for a in sys.argv[1:4])
n = int(sys.argv[4])
hold = len(sys.argv) < 6 or sys.argv[5] == "hold"

k = np.arange(1, n + 1, dtype=np.float64)
if hold and abs(np.float32(target) - np.float32(g0)) < np.float32(1e-10):
    gains = np.full(n, g0)
else:
    gains = target + (g0 - target) * (1.0 - coeff) ** k
print(" ".join(repr(float(g)) for g in gains))
