"""FIR filtering, decimation and polyphase interpolation in double precision.

  convolve ntaps h... x...                       the first len(x) samples of numpy.convolve(x, h)
  upfirdn up down channels ntaps h... x...       scipy.signal.upfirdn(h, x, up, down) of every channel of the
                                                 interleaved frames x, printed as interleaved frames
"""
import sys

import numpy as np

mode = sys.argv[1]
if mode == "convolve":
    ntaps = int(sys.argv[2])
    values = np.array([float(a) for a in sys.argv[3:]])
    h, x = values[:ntaps], values[ntaps:]
    result = np.convolve(x, h)[: len(x)]
elif mode == "upfirdn":
    from scipy.signal import upfirdn

    up, down, channels, ntaps = (int(a) for a in sys.argv[2:6])
    values = np.array([float(a) for a in sys.argv[6:]])
    h, x = values[:ntaps], values[ntaps:].reshape(-1, channels)
    result = np.stack([upfirdn(h, x[:, c], up, down) for c in range(channels)], axis=1).ravel()
else:
    sys.exit("unknown mode " + mode)
print(" ".join(repr(float(v)) for v in result))
