"""Output of a cascade of biquads run in double precision by scipy.signal.sosfilt.

  filterf_sosfilt.py S b0 b1 b2 a1 a2 (S times) x0 x1 ...

Each section is b0 + b1 z^-1 + b2 z^-2 over 1 + a1 z^-1 + a2 z^-2. Prints one output per input sample.
"""
import sys

import numpy as np
from scipy import signal

args = [float(v) for v in sys.argv[1:]]
stages = int(args[0])
sos = np.array([[*args[1 + 5 * k:4 + 5 * k], 1.0, *args[4 + 5 * k:6 + 5 * k]] for k in range(stages)])
x = np.array(args[1 + 5 * stages:])
for v in signal.sosfilt(sos, x):
    print(repr(float(v)))
