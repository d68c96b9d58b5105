"""Multirate FIR filtering, convolution, correlation and a normalised LMS filter, in double precision.

  decimate D ntaps h... x...       scipy.signal.upfirdn(h, x, down=D), the first len(x) // D outputs
  interpolate L ntaps h... x...    scipy.signal.upfirdn(h, x, up=L), the first len(x) * L outputs
  conv na a... b...                numpy.convolve(a, b), the full result
  corr na a... b...                numpy.correlate(a, b, "full"), lag 0 at index len(b) - 1
  lms ntaps mu n d... x...         a normalised LMS filter of ntaps weights from zero: per sample the newest input
                                   enters a ring of ntaps samples, y = w . ring, e = d - y, then every weight moves by
                                   e x mu / (E + 0.001) times its sample, E the energy of the ring; prints y then e
"""
import sys

import numpy as np
from scipy import signal

mode = sys.argv[1]
v = [float(a) for a in sys.argv[2:]]
if mode == "decimate":
    d, nt = int(v[0]), int(v[1])
    h, x = np.array(v[2 : 2 + nt]), np.array(v[2 + nt :])
    out = signal.upfirdn(h, x, down=d)[: len(x) // d]
elif mode == "interpolate":
    up, nt = int(v[0]), int(v[1])
    h, x = np.array(v[2 : 2 + nt]), np.array(v[2 + nt :])
    out = signal.upfirdn(h, x, up=up)[: len(x) * up]
elif mode in ("conv", "corr"):
    na = int(v[0])
    a, b = np.array(v[1 : 1 + na]), np.array(v[1 + na :])
    out = np.convolve(a, b) if mode == "conv" else np.correlate(a, b, "full")
elif mode == "lms":
    nt, mu, n = int(v[0]), v[1], int(v[2])
    d, x = np.array(v[3 : 3 + n]), np.array(v[3 + n : 3 + 2 * n])
    w = np.zeros(nt)
    ring = np.zeros(nt)  # ring[j]: the sample j steps old
    ys, es = [], []
    for i in range(n):
        ring = np.concatenate(([x[i]], ring[:-1]))
        y = float(w @ ring)
        e = d[i] - y
        w = w + e * mu / (float(ring @ ring) + 0.001) * ring
        ys.append(y)
        es.append(e)
    out = np.array(ys + es)
else:
    sys.exit("unknown mode " + mode)
print(" ".join(repr(float(t)) for t in out))
