"""Group delay and gain of FIR filters, from scipy.signal.group_delay and freqz.

Arguments: groups of 43 numbers: the upper edge of the band to measure (a fraction of the Nyquist frequency), then
the 42 taps of an impulse response (tap j weights the sample j samples old). For each group prints M, then M lines
of angular frequency (radians per sample), group delay (samples) and gain (dB) there, at M points from 0 to the edge.
"""
import sys

import numpy as np
from scipy import signal

TAPS = 42
POINTS = 48

args = [float(x) for x in sys.argv[1:]]
for i in range(0, len(args), TAPS + 1):
    edge = args[i]
    taps = np.array(args[i + 1:i + 1 + TAPS])
    w = np.linspace(0, edge * np.pi, POINTS)
    _, delay = signal.group_delay((taps, 1), w=w)
    _, h = signal.freqz(taps, 1, worN=w)
    print(POINTS)
    for x, d, v in zip(w, delay, h):
        print(repr(float(x)), repr(float(d)), repr(float(20 * np.log10(abs(v)))))
