"""Reference one-pole smoother steps: 1 - exp(-1000 blockSize / (time_ms fs)), in double precision.

Arguments: groups of three numbers, blockSize time_ms fs. Prints one step per group.
"""
import sys

import numpy as np

args = [float(x) for x in sys.argv[1:]]
for i in range(0, len(args), 3):
    block, time_ms, fs = args[i:i + 3]
    print(repr(float(-np.expm1(-1000.0 * block / (time_ms * fs)))))
