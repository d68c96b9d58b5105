"""Reference outputs for the fixed-point biquads: float designs scaled and quantised to Fract32, run by lfilter.

  fixedbq_lfilter.py seed n

Draws n input samples uniformly in [-0.1, 0.1) from the seed, on the 24-bit grid (a Fract32 word with its low 8 bits
zero), and designs five sections: four single sections (second-order Butterworth lowpass and highpass, a +9 dB
peaking equaliser, a first-order Butterworth lowpass) and the two sections of a fourth-order Butterworth lowpass.

Each section's coefficients b0, b1, b2, a1, a2 share one shift s, the largest frexp exponent among them and at
least 0; each coefficient is stored as round(c * 2^(31 - s)) on the 24-bit grid, so every kernel, the 24-bit
datapaths included, runs exactly the same filter.

Prints the n input words, then per section: s, the five coefficient words, the l1 norms of the impulse responses of
1/A and of B/A (the gains from a per-sample error and from the section's input to its output), and the n outputs of
lfilter with the quantised coefficients. The last section's input is the output of the one before it.
"""
import math
import sys

import numpy as np
from scipy import signal


def grid24(v):
    """Fract32 words of the values v, rounded to multiples of 256 and kept in range."""
    words = np.round(np.asarray(v, dtype=np.float64) * 2.0**23) * 256.0
    return np.clip(words, -2.0**31, 2.0**31 - 256.0)


def quantise(b, a):
    coeffs = [b[0], b[1], b[2], a[1], a[2]]
    s = max([0] + [math.frexp(c)[1] for c in coeffs])
    words = grid24(np.array(coeffs) / 2.0**s)
    return s, words


def real(s, words):
    c = words / 2.0**31 * 2.0**s
    return np.array([c[0], c[1], c[2]]), np.array([1.0, c[3], c[4]])


def l1_impulse(b, a, length=1 << 16):
    impulse = np.zeros(length)
    impulse[0] = 1.0
    return float(np.sum(np.abs(signal.lfilter(b, a, impulse))))


def peaking(f0, gain_db, q):
    amp = 10.0 ** (gain_db / 40.0)
    w0 = 2.0 * math.pi * f0
    alpha = math.sin(w0) / (2.0 * q)
    b = np.array([1.0 + alpha * amp, -2.0 * math.cos(w0), 1.0 - alpha * amp])
    a = np.array([1.0 + alpha / amp, -2.0 * math.cos(w0), 1.0 - alpha / amp])
    return b / a[0], a / a[0]


def padded(b, a):
    """A first-order design written as a section with zero b2 and a2."""
    return np.pad(b, (0, 3 - len(b))), np.pad(a, (0, 3 - len(a)))


seed, n = int(sys.argv[1]), int(sys.argv[2])
rng = np.random.default_rng(seed)
x_words = grid24(rng.uniform(-0.1, 0.1, n))
x = x_words / 2.0**31

sections = [
    signal.butter(2, 0.1),
    signal.butter(2, 0.6, "high"),
    peaking(0.08, 9.0, 2.0),
    padded(*signal.butter(1, 0.4)),
]
cascade = signal.butter(4, 0.2, output="sos")

out = [x_words]
for b, a in sections:
    s, words = quantise(b, a)
    bq, aq = real(s, words)
    out += [[s], words, [l1_impulse([1.0], aq), l1_impulse(bq, aq)], signal.lfilter(bq, aq, x)]
stage_in = x
for sos in cascade:
    s, words = quantise(sos[:3], sos[3:])
    bq, aq = real(s, words)
    stage_in = signal.lfilter(bq, aq, stage_in)
    out += [[s], words, [l1_impulse([1.0], aq), l1_impulse(bq, aq)], stage_in]
print(" ".join(repr(float(v)) for part in out for v in part))
