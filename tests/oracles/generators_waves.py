"""Sawtooth, square and triangle waves from scipy.signal, at exact phases.

Arguments: kind n, then one pair phase0 step per run; kind is one of saw, square, triangle. The phase of sample k of
a run is phase0 + k * step in double precision. The generators' phases map onto scipy's angle as follows:
  saw: phase in [-1, 1) rising from -1 to 1, angle pi * (phase + 1);
  square: phase in radians, +1 for the first half of each period, angle = phase;
  triangle: phase in (-2, 2], output |phase| - 1, angle pi * phase / 2 with a symmetric (width 0.5) ramp.
Prints the n samples of each run, run after run.
"""
import sys

import numpy as np
from scipy import signal

kind = sys.argv[1]
n = int(sys.argv[2])
runs = [float(a) for a in sys.argv[3:]]

for phase0, step in zip(runs[0::2], runs[1::2]):
    phase = phase0 + np.arange(n, dtype=np.float64) * step
    if kind == "saw":
        out = signal.sawtooth(np.pi * (phase + 1.0))
    elif kind == "square":
        out = signal.square(phase)
    elif kind == "triangle":
        out = signal.sawtooth(np.pi * phase / 2.0, width=0.5)
    else:
        raise SystemExit("unknown wave " + kind)
    print(" ".join(repr(float(v)) for v in out))
