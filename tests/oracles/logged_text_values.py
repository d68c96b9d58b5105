"""The numbers of a text log after its header line, as numpy reads a whitespace-separated table.

  path        the log; prints every value row by row
"""
import sys

import numpy as np

values = np.loadtxt(sys.argv[1], skiprows=1, ndmin=2)
print(" ".join(repr(float(v)) for v in values.ravel()))
