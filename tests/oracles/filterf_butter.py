"""Magnitude responses of Butterworth filters from scipy.signal.butter.

  filterf_butter.py order kind cutoff fs f1 f2 ...

kind 0 lowpass, 1 highpass. Prints |H| at each frequency f1, f2, ... (Hz).
"""
import sys

import numpy as np
from scipy import signal

order, kind = int(sys.argv[1]), int(sys.argv[2])
cutoff, fs = float(sys.argv[3]), float(sys.argv[4])
freqs = np.array([float(v) for v in sys.argv[5:]])
sos = signal.butter(order, cutoff, "low" if kind == 0 else "high", fs=fs, output="sos")
for v in np.abs(signal.sosfreqz(sos, worN=freqs, fs=fs)[1]):
    print(repr(float(v)))
