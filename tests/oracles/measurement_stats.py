"""Histogram counts and correlations, from numpy.

  histogram START WIDTH BINS VALUES...   numpy.histogram of the values over BINS bins centred on START + k WIDTH
                                         (edges shifted half a bin), then the count below the first edge and the
                                         count at or beyond the last; one line
  correlation TYPE N X(N) Y(N)           the normalised correlation of two blocks of Fract32 integers as the
                                         fixed-point observer forms it: exact integer sums of products shifted
                                         right 31 (held to 2^31 - 1) and of magnitudes (type 1) or energies
                                         (type 2), the ratio in float32, as a Fract32 truncated toward zero;
                                         then numpy.corrcoef of the two blocks; one line
"""
import sys

import numpy as np


def histogram(start, width, bins, x):
    edges = start + (np.arange(bins + 1) - 0.5) * width
    counts, _ = np.histogram(x[(x >= edges[0]) & (x < edges[-1])], bins=edges)
    return list(counts) + [int(np.sum(x < edges[0])), int(np.sum(x >= edges[-1]))]


def product(a, b):
    return min((a * b) >> 31, 2**31 - 1)


def fract32(c):
    if not c < np.float32(1.0):
        return 2**31 - 1
    scaled = c * np.float32(2.0**31)
    return -(2**31) if scaled <= -(2.0**31) else int(scaled)


def correlation(kind, x, y):
    p = sum(product(a, b) for a, b in zip(x, y))
    if kind == 1:
        a = sum(abs(v) for v in x)
        b = sum(abs(v) for v in y)
        den = np.float32(a) * np.float32(b) * np.float32(2.0**-31)
    else:
        a = sum(product(v, v) for v in x)
        b = sum(product(v, v) for v in y)
        den = np.sqrt(np.float32(b) * np.float32(a))
    with np.errstate(invalid="ignore", divide="ignore"):
        c = np.float32(p) / den
    with np.errstate(invalid="ignore", divide="ignore"):
        r = np.corrcoef(np.array(x, dtype=np.float64), np.array(y, dtype=np.float64))[0, 1]
    return [fract32(c), r]


def main():
    mode = sys.argv[1]
    if mode == "histogram":
        start, width, bins = float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
        row = histogram(start, width, bins, np.array([float(v) for v in sys.argv[5:]]))
    else:
        kind, n = int(sys.argv[2]), int(sys.argv[3])
        values = [int(v) for v in sys.argv[4 : 4 + 2 * n]]
        row = correlation(kind, values[:n], values[n:])
    print(" ".join(repr(float(v)) if isinstance(v, float) else str(v) for v in row))


if __name__ == "__main__":
    main()
