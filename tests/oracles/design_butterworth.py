"""Reference frequency responses of Butterworth filters, from scipy.signal.butter.

Arguments: groups of four numbers, order kind f fs (kind 0 lowpass, 1 highpass, 2 allpass). For each group prints
the number M of test frequencies, then M lines of frequency (Hz), real and imaginary part of the response there.

The allpass of an odd order is the lowpass plus the highpass of that order; that of an even order is the product of
the allpass sections (a2 + a1 z^-1 + z^-2) / (1 + a1 z^-1 + a2 z^-2) built on the lowpass's denominators.
"""
import sys

import numpy as np
from scipy import signal


def response(sos, fs, freqs):
    return signal.sosfreqz(sos, worN=freqs, fs=fs)[1]


def reference(order, kind, f, fs, freqs):
    low = signal.butter(order, f, "low", fs=fs, output="sos")
    if kind == 0:
        return response(low, fs, freqs)
    high = signal.butter(order, f, "high", fs=fs, output="sos")
    if kind == 1:
        return response(high, fs, freqs)
    if order % 2:
        return response(low, fs, freqs) + response(high, fs, freqs)
    mirrored = np.array([[s[5], s[4], s[3], s[3], s[4], s[5]] for s in low])
    return response(mirrored, fs, freqs)


args = [float(x) for x in sys.argv[1:]]
for i in range(0, len(args), 4):
    order, kind, f, fs = int(args[i]), int(args[i + 1]), args[i + 2], args[i + 3]
    candidates = [f * m for m in (0.05, 0.3, 0.7, 0.9, 1.0, 1.1, 1.5, 3.0, 10.0)]
    candidates += [fs * m for m in (0.001, 0.05, 0.2, 0.35, 0.45, 0.499)]
    freqs = np.array(sorted({x for x in candidates if 0 < x < fs / 2}))
    h = reference(order, kind, f, fs, freqs)
    print(len(freqs))
    for x, v in zip(freqs, h):
        print(repr(float(x)), repr(float(v.real)), repr(float(v.imag)))
