"""Subband filters and levels in double precision, block after block; every subband or word is its own signal.

  nlms nsub maxTaps numTaps mu eps blocks x... d...
      complex NLMS per subband: y = sum conj(w_i) x[n - i], e = d - y, w_i += mu / (P + eps) x[n - i] conj(e)
      with P the power of the numTaps newest reference samples; prints y then e of every block, interleaved.
  fir nsub taps blocks coeffs... x...
      complex FIR per subband (scipy lfilter); coefficients as a real plane then an imaginary plane, tap-major.
  firvl nsub blocks counts... coeffs... x...
      a FIR per subband with its own tap count; subbands 0 and nsub - 1 filter their real parts only.
  rms complex a1 b0 values blocks x...
      p = b0 |x|^2 - a1 p per value (scipy lfilter), prints sqrt(p).
  sof b0 b1 b2 a1 a2 words blocks x...
      one biquad per word across blocks (scipy lfilter).
  smooth mode start width rate n x...
      the average of every bin's window: constant width or constant octaves from the start bin up, an upper edge
      at or past n held to n - 1, an empty window the bin alone.
Signals are whole blocks in order; complex values are (real, imaginary) pairs.
"""
import sys

import numpy as np
from scipy.signal import lfilter


def complex_blocks(values, blocks, nsub):
    v = np.array(values, dtype=float).reshape(blocks, nsub, 2)
    return v[:, :, 0] + 1j * v[:, :, 1]


def interleave(z):
    return np.stack([z.real, z.imag], axis=-1).ravel()


def nlms(a):
    nsub, max_taps, num_taps, blocks = int(a[0]), int(a[1]), int(a[2]), int(a[5])
    mu, eps = float(a[3]), float(a[4])
    count = blocks * nsub * 2
    x = complex_blocks(a[6 : 6 + count], blocks, nsub)
    d = complex_blocks(a[6 + count : 6 + 2 * count], blocks, nsub)
    w = np.zeros((nsub, num_taps), dtype=complex)
    history = np.zeros((nsub, max(max_taps, num_taps)), dtype=complex)
    out = []
    for n in range(blocks):
        history = np.roll(history, 1, axis=1)
        history[:, 0] = x[n]
        recent = history[:, :num_taps]
        y = np.sum(np.conj(w) * recent, axis=1)
        e = d[n] - y
        power = np.sum(np.abs(recent) ** 2, axis=1)
        w += (mu / (power + eps))[:, None] * recent * np.conj(e)[:, None]
        out.append(np.concatenate([interleave(y), interleave(e)]))
    return np.concatenate(out)


def fir(a):
    nsub, taps, blocks = int(a[0]), int(a[1]), int(a[2])
    c = np.array(a[3 : 3 + 2 * nsub * taps], dtype=float)
    coeffs = (c[: nsub * taps] + 1j * c[nsub * taps :]).reshape(taps, nsub)
    x = complex_blocks(a[3 + 2 * nsub * taps :], blocks, nsub)
    y = np.stack([lfilter(coeffs[:, k], [1.0], x[:, k]) for k in range(nsub)], axis=1)
    return interleave(y)


def firvl(a):
    nsub, blocks = int(a[0]), int(a[1])
    counts = [int(v) for v in a[2 : 2 + nsub]]
    pos = 2 + nsub
    x_start = pos + sum(c if k in (0, nsub - 1) else 2 * c for k, c in enumerate(counts))
    x = complex_blocks(a[x_start:], blocks, nsub)
    y = np.zeros((blocks, nsub), dtype=complex)
    for k, c in enumerate(counts):
        if k in (0, nsub - 1):
            y[:, k] = lfilter(np.array(a[pos : pos + c], dtype=float), [1.0], x[:, k].real)
            pos += c
        else:
            taps = np.array(a[pos : pos + c], dtype=float) + 1j * np.array(a[pos + c : pos + 2 * c], dtype=float)
            y[:, k] = lfilter(taps, [1.0], x[:, k])
            pos += 2 * c
    return interleave(y)


def rms(a):
    complex_input, a1, b0, values, blocks = int(a[0]), float(a[1]), float(a[2]), int(a[3]), int(a[4])
    x = np.array(a[5:], dtype=float)
    if complex_input:
        power = np.abs(complex_blocks(x, blocks, values)) ** 2
    else:
        power = x.reshape(blocks, values) ** 2
    return np.sqrt(lfilter([b0], [1.0, a1], power, axis=0)).ravel()


def sof(a):
    b, den = [float(v) for v in a[0:3]], [1.0, float(a[3]), float(a[4])]
    words, blocks = int(a[5]), int(a[6])
    x = np.array(a[7:], dtype=float).reshape(blocks, words)
    return lfilter(b, den, x, axis=0).ravel()


def smooth(a):
    mode, start, width, rate, n = int(a[0]), float(a[1]), float(a[2]), float(a[3]), int(a[4])
    x = np.array(a[5:], dtype=float)
    half = 0.5 * rate
    k0 = min(max(int(np.trunc(start / half + 0.5)), 0), n)
    y = x.copy()
    for i in range(k0, n):
        if mode == 0:
            d = int(np.trunc(width / half + 0.5))
            low, high = i - d, i + d + 1
        else:
            low, high = int(np.trunc(2.0 ** -width * i + 0.5)), int(np.trunc(2.0**width * i + 0.5)) + 1
        high = n - 1 if high >= n else high
        low = min(max(low, 0), n)
        y[i] = x[i] if high <= low else np.mean(x[low:high])
    return y


modes = {"nlms": nlms, "fir": fir, "firvl": firvl, "rms": rms, "sof": sof, "smooth": smooth}
result = modes[sys.argv[1]](sys.argv[2:])
print(" ".join(repr(float(v)) for v in result))
