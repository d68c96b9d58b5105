"""Interleaved channels filtered through a chain of parametric second-order sections designed from the published
audio-EQ cookbook formulas, in double precision from zero state.

  tone_sections.py COEFFS FS CHANNELS S type freq gain Q ... x...

COEFFS is "double", or "single" for coefficients rounded to single precision, as a float filter holds them (a pole
near the unit circle makes the response sensitive to that rounding). S sections of four numbers each (filter type,
frequency in Hz, gain in dB, Q), then the interleaved input samples.
Types: 1 plain gain; 8 and 10 the low and high shelf with Q fixed at 1/sqrt(2); 9 and 11 the low and high shelf
with the given Q; 12 peaking; 21 lowpass; 22 highpass. Every channel runs through the sections in order.

Prints the output samples, interleaved as the input.
"""
import math
import sys

import numpy as np
from scipy import signal


def cookbook(kind, fs, f, gain, q):
    if kind == 1:
        return [10.0 ** (gain / 20.0), 0.0, 0.0], [1.0, 0.0, 0.0]
    if kind in (8, 10):
        q = 1.0 / math.sqrt(2.0)
    A = 10.0 ** (gain / 40.0)
    w0 = 2.0 * math.pi * f / fs
    c, s = math.cos(w0), math.sin(w0)
    alpha = s / (2.0 * q)
    root = 2.0 * math.sqrt(A) * alpha
    if kind in (8, 9):
        b = [A * ((A + 1) - (A - 1) * c + root), 2 * A * ((A - 1) - (A + 1) * c), A * ((A + 1) - (A - 1) * c - root)]
        a = [(A + 1) + (A - 1) * c + root, -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - root]
    elif kind in (10, 11):
        b = [A * ((A + 1) + (A - 1) * c + root), -2 * A * ((A - 1) + (A + 1) * c), A * ((A + 1) + (A - 1) * c - root)]
        a = [(A + 1) - (A - 1) * c + root, 2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - root]
    elif kind == 12:
        b = [1 + alpha * A, -2 * c, 1 - alpha * A]
        a = [1 + alpha / A, -2 * c, 1 - alpha / A]
    elif kind == 21:
        b = [(1 - c) / 2, 1 - c, (1 - c) / 2]
        a = [1 + alpha, -2 * c, 1 - alpha]
    elif kind == 22:
        b = [(1 + c) / 2, -(1 + c), (1 + c) / 2]
        a = [1 + alpha, -2 * c, 1 - alpha]
    else:
        raise SystemExit("type %d has no cookbook form here" % kind)
    return [v / a[0] for v in b], [1.0, a[1] / a[0], a[2] / a[0]]


def main():
    args = sys.argv[1:]
    single = args[0] == "single"
    fs, channels, count = float(args[1]), int(args[2]), int(args[3])
    values = [float(v) for v in args[4 : 4 + 4 * count]]
    x = np.array([float(v) for v in args[4 + 4 * count :]], dtype=np.float64).reshape(-1, channels)
    y = x.copy()
    for k in range(count):
        kind, f, gain, q = values[4 * k : 4 * k + 4]
        b, a = cookbook(int(kind), fs, f, gain, q)
        if single:
            b, a = (np.float32(b).astype(np.float64), np.float32(a).astype(np.float64))
        y = signal.lfilter(b, a, y, axis=0)
    print(" ".join(repr(float(v)) for v in y.reshape(-1)))


main()
