"""Reference transforms of seeded random blocks, one block per size.

  fft_plan.py KIND N...

KIND is r2c (N real samples to N/2 + 1 bins), c2r (N/2 + 1 bins to N samples, scaled by 1/N) or c2c (N complex
values to N bins, then those N bins back, scaled by 1/N). For each N the script prints the input block as float32
values, then the transform computed in double precision from exactly those float32 values:

  r2c  x[0..N-1], then re, im of each of the N/2 + 1 bins
  c2r  re, im of each of the N/2 + 1 bins, then the N samples; the imaginary parts of bins 0 and N/2 are random, as
       a caller may leave them, and the samples are those of the same bins with both set to 0
  c2c  re, im of each of the N values, then re, im of their N bins, then re, im of the inverse of the N values

Every transform is followed by the largest magnitude among its outputs, from which a test sets its tolerance.
"""
import sys

import numpy as np


def floats(values):
    return np.asarray(values, dtype=np.float32).astype(np.float64)


def interleaved(z):
    out = np.empty(2 * len(z))
    out[0::2] = z.real
    out[1::2] = z.imag
    return out


def emit(values):
    print(" ".join(repr(float(v)) for v in values))


def peak(values):
    return float(np.max(np.abs(values)))


def main():
    kind = sys.argv[1]
    for n in (int(a) for a in sys.argv[2:]):
        rng = np.random.default_rng(1000 + n)
        if kind == "r2c":
            x = floats(rng.uniform(-1.0, 1.0, n))
            bins = np.fft.rfft(x)
            emit(x)
            emit(interleaved(bins))
            emit([peak(bins)])
        elif kind == "c2r":
            words = floats(rng.uniform(-1.0, 1.0, n + 2))
            bins = words[0::2] + 1j * words[1::2]
            heard = bins.copy()
            heard[0] = heard[0].real
            heard[-1] = heard[-1].real
            x = np.fft.irfft(heard, n)
            emit(words)
            emit(x)
            emit([peak(x)])
        elif kind == "c2c":
            words = floats(rng.uniform(-1.0, 1.0, 2 * n))
            z = words[0::2] + 1j * words[1::2]
            forward = np.fft.fft(z)
            inverse = np.fft.ifft(z)
            emit(words)
            emit(interleaved(forward))
            emit([peak(forward)])
            emit(interleaved(inverse))
            emit([peak(inverse)])
        else:
            sys.exit("unknown transform " + kind)


main()
