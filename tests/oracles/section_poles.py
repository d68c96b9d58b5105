"""Largest pole magnitude of each section with denominator 1 + a1 z^-1 + a2 z^-2, from scipy.signal.tf2zpk.

Arguments: a1 a2 of each section in turn (a2 = 0 for a first-order section). Prints one magnitude per section.
"""
import sys

import numpy as np
from scipy import signal

values = [float(v) for v in sys.argv[1:]]
for a1, a2 in zip(values[0::2], values[1::2]):
    poles = signal.tf2zpk([1.0], [1.0, a1, a2])[1]
    print(repr(float(np.max(np.abs(poles)))))
