"""Statistics of groups of samples, in double precision.

  runs len x...          x cut into consecutive runs of len values
  channels m x...        x as interleaved frames of m channels, one group per channel

Every group prints 14 numbers: max, min, largest magnitude, mean, RMS, standard deviation and variance (ddof 0),
mean of squares, sum, sum of squares; the first positions of the max, the min and the largest magnitude; the median.
"""
import sys

import numpy as np

mode, size = sys.argv[1], int(sys.argv[2])
x = np.array([float(v) for v in sys.argv[3:]])
if mode == "runs":
    groups = [x[k : k + size] for k in range(0, len(x) - size + 1, size)]
elif mode == "channels":
    groups = [x[c::size] for c in range(size)]
else:
    sys.exit("unknown mode " + mode)
result = []
for g in groups:
    result += [g.max(), g.min(), np.abs(g).max(), g.mean(), np.sqrt(np.mean(g * g)), g.std(ddof=0), g.var(ddof=0),
               np.mean(g * g), g.sum(), np.sum(g * g), g.argmax(), g.argmin(), np.abs(g).argmax(), np.median(g)]
print(" ".join(repr(float(v)) for v in result))
