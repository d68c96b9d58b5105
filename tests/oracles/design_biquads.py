"""Reference biquads for the single-purpose designs, in double precision.

Arguments: groups of five, name fs f gain Q, with name one of allpass1, allpass2, bandpass, notch, peak, lowshelf,
highshelf (the audio-EQ cookbook forms), peakInverse, lowshelfInverse, highshelfInverse (the forms whose cut is the
inverse of their boost). Prints b0 b1 b2 a1 a2 (normalised to a0 = 1) per group.

The cookbook forms follow its published closed forms: alpha = sin(w0) / (2Q) for Q > 0 and the bandwidth form for
Q < 0, except for the shelves, which read Q < 0 as the slope S through the cookbook's 1/Q = sqrt((A + 1/A)(1/S - 1)
+ 2); Q = 0 is taken as the lowest Q, 1e-10. The other forms are their analog prototypes (normalised to a corner at
1 rad/s, prewarped) put through scipy's bilinear transform; the first-order allpass likewise.
"""
import sys

import numpy as np
from scipy import signal

LOWEST_Q = 1e-10


def cookbook(kind, fs, f, gain, q):
    w0 = 2 * np.pi * f / fs
    s, c = np.sin(w0), np.cos(w0)
    A = 10 ** (gain / 40)
    if q == 0:
        q = LOWEST_Q
    if q < 0 and kind in ("lowshelf", "highshelf"):
        q = 1 / np.sqrt((A + 1 / A) * (1 / -q - 1) + 2)
    if kind == "allpass" and q <= 0:
        q = LOWEST_Q
    alpha = s / (2 * q) if q > 0 else s * np.sinh(np.log(2) / 2 * -q * w0 / s)
    r = 2 * np.sqrt(A) * alpha
    up, down = (A + 1) - (A - 1) * c, (A + 1) + (A - 1) * c
    forms = {
        "allpass": ([1 - alpha, -2 * c, 1 + alpha], [1 + alpha, -2 * c, 1 - alpha]),
        "lowshelf": ([A * (up + r), 2 * A * ((A - 1) - (A + 1) * c), A * (up - r)],
                     [down + r, -2 * ((A - 1) + (A + 1) * c), down - r]),
        "highshelf": ([A * (down + r), -2 * A * ((A - 1) + (A + 1) * c), A * (down - r)],
                      [up + r, 2 * ((A - 1) - (A + 1) * c), up - r]),
        "peak": ([1 + alpha * A, -2 * c, 1 - alpha * A], [1 + alpha / A, -2 * c, 1 - alpha / A]),
        "notch": ([1, -2 * c, 1], [1 + alpha, -2 * c, 1 - alpha]),
        "bandpass": ([alpha, 0, -alpha], [1 + alpha, -2 * c, 1 - alpha]),
    }
    b, a = forms[kind]
    return [b[0] / a[0], b[1] / a[0], b[2] / a[0], a[1] / a[0], a[2] / a[0]]


def bilinear(b, a, fs, f):
    """Analog b(s) / a(s) with its corner at 1 rad/s, moved to f (prewarped) and transformed at fs."""
    corner = 2 * fs * np.tan(np.pi * f / fs)
    scale = corner ** -np.arange(len(b) - 1, -1, -1.0)  # s -> s / corner
    bz, az = signal.bilinear(np.asarray(b) * scale, np.asarray(a) * scale, fs)
    bz, az = np.pad(bz, (0, 3 - len(bz))) / az[0], np.pad(az, (0, 3 - len(az))) / az[0]
    return [bz[0], bz[1], bz[2], az[1], az[2]]


def inverse_form(kind, fs, f, gain, q):
    """Boost prototype of V = 10^(|gain| / 20); a cut swaps numerator and denominator."""
    V = 10 ** (abs(gain) / 20)
    q = q if q > 0 else LOWEST_Q
    b, a = {
        "peakInverse": ([1, V / q, 1], [1, 1 / q, 1]),
        "lowshelfInverse": ([1, np.sqrt(2 * V), V], [1, np.sqrt(2), 1]),
        "highshelfInverse": ([V, np.sqrt(2 * V), 1], [1, np.sqrt(2), 1]),
    }[kind]
    return bilinear(b, a, fs, f) if gain >= 0 else bilinear(a, b, fs, f)


def design(name, fs, f, gain, q):
    if name == "allpass1":
        return bilinear([-1, 1], [1, 1], fs, f)  # (1 - s) / (1 + s): -90 degrees at the corner
    if name == "allpass2":
        return cookbook("allpass", fs, f, gain, q)
    if name.endswith("Inverse"):
        return inverse_form(name, fs, f, gain, q)
    return cookbook(name, fs, f, gain, q)


args = sys.argv[1:]
for i in range(0, len(args), 5):
    name = args[i]
    fs, f, gain, q = (float(x) for x in args[i + 1:i + 5])
    print(" ".join(repr(float(v)) for v in design(name, fs, f, gain, q)))
