"""Reference biquad outputs from scipy.signal.lfilter.

Arguments: groups of b0 b1 b2 a1 a2, a count n and n input samples. Prints the n output samples of the biquad
(b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) from zero state, in double precision.
"""
import sys

from scipy import signal

args = [float(x) for x in sys.argv[1:]]
i = 0
while i < len(args):
    b0, b1, b2, a1, a2 = args[i:i + 5]
    n = int(args[i + 5])
    x = args[i + 6:i + 6 + n]
    i += 6 + n
    print(" ".join(repr(float(v)) for v in signal.lfilter([b0, b1, b2], [1.0, a1, a2], x)))
