"""Sine whose phase step glides toward a target, closed form.

Arguments: phase0 inc0 target coeff n. The step before sample k is inc_k = target + (inc0 - target) * (1 - coeff)^k,
so the phase at sample k is phase0 + k * target + (inc0 - target) * (1 - (1 - coeff)^k) / coeff. Prints the n
outputs sin(phase_k), then the phase after the last sample reduced to 0..2pi, then the step after the last sample.
"""
import math
import sys

import numpy as np

phase0, inc0, target, coeff = (float(a) for a in sys.argv[1:5])
n = int(sys.argv[5])

k = np.arange(0, n + 1, dtype=np.float64)
decay = (1.0 - coeff) ** k
if coeff == 0.0:
    phases = phase0 + k * inc0
else:
    phases = phase0 + k * target + (inc0 - target) * (1.0 - decay) / coeff
outputs = np.sin(phases[:n])
final_phase = math.fmod(phases[n], 2.0 * math.pi)
if final_phase < 0.0:
    final_phase += 2.0 * math.pi
final_step = target + (inc0 - target) * decay[n]
print(" ".join(repr(float(v)) for v in outputs), repr(final_phase), repr(float(final_step)))
