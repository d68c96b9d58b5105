"""Reference magnitudes of graphic-equaliser bands: the closed form of the Butterworth band equaliser.

Arguments: groups of five numbers, order f1 f2 gain_db fs. With N the largest multiple of 4 not above the order,
G = 10^(gain / 20), w0 = 2 pi sqrt(f1 f2) / fs (0 when f1 <= 0), W = tan(pi (f2 - f1) / fs) and
Omega = (cos w0 - cos w) / (sin w W), the squared magnitude is (G^2 + G Omega^N) / (1 + G Omega^N): G at w0, sqrt(G)
where Omega = +-1 (the band edges) and 1 far from the band; an order below 4 is flat. For each group prints M, then M
lines of frequency (Hz) and magnitude, at frequencies around and inside the band and across the spectrum.
"""
import sys

import numpy as np


def magnitude(order, f1, f2, gain, fs, f):
    n = 4 * (order // 4)
    if n == 0:
        return np.ones_like(f)
    G = 10 ** (gain / 20)
    low = max(f1, 0.0)
    w0 = 2 * np.pi * np.sqrt(low * f2) / fs
    W = np.tan(np.pi * (f2 - low) / fs)
    w = 2 * np.pi * f / fs
    omega_n = ((np.cos(w0) - np.cos(w)) / (np.sin(w) * W)) ** n
    return np.sqrt((G * G + G * omega_n) / (1 + G * omega_n))


args = [float(x) for x in sys.argv[1:]]
for i in range(0, len(args), 5):
    order, f1, f2, gain, fs = int(args[i]), args[i + 1], args[i + 2], args[i + 3], args[i + 4]
    centre = np.sqrt(max(f1, 0.0) * f2)
    candidates = [f1, f2, centre, (f1 + f2) / 2, f1 * 0.5, f1 * 0.9, f1 * 1.1, f2 * 0.9, f2 * 1.1, f2 * 2, f2 * 4]
    candidates += [fs * m for m in (0.0005, 0.002, 0.01, 0.05, 0.1, 0.2, 0.3, 0.4, 0.45, 0.49)]
    freqs = np.array(sorted({x for x in candidates if 0 < x < fs / 2}))
    mag = magnitude(order, f1, f2, gain, fs, freqs)
    print(len(freqs))
    for x, m in zip(freqs, mag):
        print(repr(float(x)), repr(float(m)))
