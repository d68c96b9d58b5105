"""Reference windowed-sinc lowpass taps from scipy.signal.firwin.

Arguments: groups of three numbers, numTaps cutoff fs. Prints the numTaps taps of each group: the ideal lowpass
through a general Hamming window of pedestal 0.53836 (as a float), scaled to unity gain at DC.
"""
import sys

import numpy as np
from scipy import signal

PEDESTAL = float(np.float32(0.53836))

args = [float(x) for x in sys.argv[1:]]
for i in range(0, len(args), 3):
    n, cutoff, fs = int(args[i]), args[i + 1], args[i + 2]
    taps = signal.firwin(n, cutoff, window=("general_hamming", PEDESTAL), fs=fs)
    print(" ".join(repr(float(v)) for v in taps))
