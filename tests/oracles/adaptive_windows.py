"""Convolution and correlation windows, and complex FIRs run per bin, in double precision.

  conv alen blen start numout a... b...    outputs start .. start + numout - 1 of numpy.convolve(a, b): 0 before the
                                           first, nothing past the last
  corr alen blen start numout a... b...    the same window of numpy.correlate(a, b, "full")
  binconv nbins nframes len... taps... x... every bin's frames filtered by numpy.convolve with its own complex taps:
                                           taps bin after bin, len[b] real parts then len[b] imaginary parts; x the
                                           real parts of all frames (frame after frame, nbins each), then the
                                           imaginary parts; printed frame after frame as re, im of every bin
"""
import sys

import numpy as np

mode = sys.argv[1]
if mode in ("conv", "corr"):
    alen, blen, start, numout = (int(v) for v in sys.argv[2:6])
    values = np.array([float(v) for v in sys.argv[6:]])
    a, b = values[:alen], values[alen:]
    full = np.convolve(a, b) if mode == "conv" else np.correlate(a, b, "full")
    result = [0.0 if k < 0 else full[k] for k in range(start, start + numout) if k < len(full)]
elif mode == "binconv":
    nbins, nframes = int(sys.argv[2]), int(sys.argv[3])
    lens = [int(v) for v in sys.argv[4 : 4 + nbins]]
    values = np.array([float(v) for v in sys.argv[4 + nbins :]])
    taps = []
    at = 0
    for n in lens:
        taps.append(values[at : at + n] + 1j * values[at + n : at + 2 * n])
        at += 2 * n
    count = nbins * nframes
    x = (values[at : at + count] + 1j * values[at + count : at + 2 * count]).reshape(nframes, nbins)
    y = np.stack([np.convolve(x[:, b], taps[b])[:nframes] for b in range(nbins)], axis=1)
    result = np.stack([y.real, y.imag], axis=2).ravel()
else:
    sys.exit("unknown mode " + mode)
print(" ".join(repr(float(v)) for v in result))
