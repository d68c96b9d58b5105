"""Reference biquads for the numbered filter types, in double precision.

Arguments: groups of five numbers, type fs f gain Q. Prints b0 b1 b2 a1 a2 (normalised to a0 = 1) per group.

Second-order types follow the published audio-EQ cookbook closed forms (alpha from Q, or from a bandwidth in
octaves when Q < 0); first-order types are their analog prototypes put through scipy's bilinear transform (with the
corner prewarped unless the type says otherwise); Butterworth types come from scipy.signal.butter.
"""
import sys

import numpy as np
from scipy import signal


def cookbook(kind, fs, f, gain, q):
    w0 = 2 * np.pi * f / fs
    s, c = np.sin(w0), np.cos(w0)
    A = 10 ** (gain / 40)
    if q > 0:
        alpha = s / (2 * q)
    else:
        alpha = s * np.sinh(np.log(2) / 2 * -q * w0 / s)
    r = 2 * np.sqrt(A) * alpha
    up, down = (A + 1) - (A - 1) * c, (A + 1) + (A - 1) * c
    forms = {
        "allpass": ([1 - alpha, -2 * c, 1 + alpha], [1 + alpha, -2 * c, 1 - alpha]),
        "lowshelf": ([A * (up + r), 2 * A * ((A - 1) - (A + 1) * c), A * (up - r)],
                     [down + r, -2 * ((A - 1) + (A + 1) * c), down - r]),
        "highshelf": ([A * (down + r), -2 * A * ((A - 1) + (A + 1) * c), A * (down - r)],
                      [up + r, 2 * ((A - 1) - (A + 1) * c), up - r]),
        "peaking": ([1 + alpha * A, -2 * c, 1 - alpha * A], [1 + alpha / A, -2 * c, 1 - alpha / A]),
        "notch": ([1, -2 * c, 1], [1 + alpha, -2 * c, 1 - alpha]),
        "bandpass": ([alpha, 0, -alpha], [1 + alpha, -2 * c, 1 - alpha]),
        "lowpass": ([(1 - c) / 2, 1 - c, (1 - c) / 2], [1 + alpha, -2 * c, 1 - alpha]),
        "highpass": ([(1 + c) / 2, -(1 + c), (1 + c) / 2], [1 + alpha, -2 * c, 1 - alpha]),
    }
    b, a = forms[kind]
    return [b[0] / a[0], b[1] / a[0], b[2] / a[0], a[1] / a[0], a[2] / a[0]]


def first_order(b, a, fs):
    """Analog b(s) / a(s) of degree 1 through the bilinear transform at fs."""
    bz, az = signal.bilinear(b, a, fs)
    bz, az = bz / az[0], az / az[0]
    return [bz[0], bz[1], 0.0, az[1], 0.0]


def butter(order, btype, fs, f):
    sos = signal.butter(order, f, btype, fs=fs, output="sos")[0]
    return [sos[0], sos[1], sos[2], sos[4], sos[5]]


def design(kind, fs, f, gain, q):
    G = 10 ** (gain / 20)
    warped = 2 * fs * np.tan(np.pi * f / fs)  # analog corner that lands on f
    plain = 2 * np.pi * f  # analog corner without prewarping
    second = {7: "allpass", 9: "lowshelf", 11: "highshelf", 12: "peaking", 13: "notch", 14: "bandpass",
              21: "lowpass", 22: "highpass"}
    if kind == 1:
        return [G, 0, 0, 0, 0]
    if kind in (2, 3, 4, 5):
        return butter(1 if kind in (2, 4) else 2, "low" if kind in (2, 3) else "high", fs, f)
    if kind == 8:
        return cookbook("lowshelf", fs, f, gain, np.sqrt(0.5))
    if kind == 10:
        return cookbook("highshelf", fs, f, gain, np.sqrt(0.5))
    if kind in second:
        return cookbook(second[kind], fs, f, gain, q)
    if kind == 6:
        return first_order([-1, warped], [1, warped], fs)
    if kind == 15:
        return first_order([plain], [1, plain], fs)
    if kind == 16:
        return first_order([1, 0], [1, plain], fs)
    if kind in (17, 19):
        w = warped if kind == 17 else warped / np.sqrt(G)
        return first_order([1, G * w], [1, w], fs)  # gain G at DC, 1 at high frequencies
    if kind in (18, 20):
        w = warped if kind == 18 else warped * np.sqrt(G)
        return first_order([G, w], [1, w], fs)  # gain 1 at DC, G at high frequencies
    return [1, 0, 0, 0, 0]


args = [float(x) for x in sys.argv[1:]]
for i in range(0, len(args), 5):
    kind, fs, f, gain, q = args[i:i + 5]
    print(" ".join(repr(float(v)) for v in design(int(kind), fs, f, gain, q)))
