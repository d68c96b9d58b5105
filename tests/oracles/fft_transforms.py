"""Reference transforms by numpy.fft, on inputs drawn here from a generator seeded by the size.

Usage: fft_transforms.py KIND N...  for each size N prints the input and then the expected output, one value per
line:
  fft N      2N input floats (re, im pairs), then numpy.fft.fft as (re, im) pairs
  ifft N     the same with numpy.fft.ifft (scaled by 1/N)
  rfft N     N real input floats, then numpy.fft.rfft packed as X[0], X[N/2], Re X[1], Im X[1], ... Im X[N/2-1]
  mod0 / mod1 ISIGN N   2N data floats, 2N modulator floats, then the expected output: isign 1 modulates by the
             modulator (mod1: real parts of the data only) and takes fft; isign -1 takes ifft and then modulates by
             the conjugate modulator
  fixed N    2N integers of magnitude below 2^30 as (re, im) pairs, then numpy.fft.fft of them as (re, im) pairs
Inputs are single-precision values (or integers), printed exactly; the references are computed in double precision.
"""
import sys

import numpy as np


def floats(rng, count):
    return rng.uniform(-1.0, 1.0, count).astype(np.float32).astype(np.float64)


def pairs(z):
    out = np.empty(2 * len(z))
    out[0::2] = z.real
    out[1::2] = z.imag
    return out


def complex_of(v):
    return v[0::2] + 1j * v[1::2]


def case(kind, n, isign):
    rng = np.random.default_rng(1000 + n)
    if kind in ("fft", "ifft"):
        x = floats(rng, 2 * n)
        transform = np.fft.fft if kind == "fft" else np.fft.ifft
        return [x, pairs(transform(complex_of(x)))]
    if kind == "rfft":
        x = floats(rng, n)
        spectrum = np.fft.rfft(x)
        packed = pairs(spectrum[:-1])
        packed[1] = spectrum[-1].real
        return [x, packed]
    if kind in ("mod0", "mod1"):
        x = floats(rng, 2 * n)
        m = floats(rng, 2 * n)
        z = complex_of(x)
        if kind == "mod1":
            z = z.real + 0j
        mod = complex_of(m) if isign == 1 else np.conj(complex_of(m))
        if isign == 1:
            y = np.fft.fft(z * mod)
        else:
            y = np.fft.ifft(complex_of(x))
            if kind == "mod1":
                y = y.real + 0j
            y = y * mod
        return [x, m, pairs(y)]
    if kind == "fixed":
        x = rng.integers(-(2 ** 30) + 1, 2 ** 30, 2 * n).astype(np.float64)
        return [x, pairs(np.fft.fft(complex_of(x)))]
    raise SystemExit("unknown kind " + kind)


def main():
    kind = sys.argv[1]
    args = [int(a) for a in sys.argv[2:]]
    isign = 0
    if kind in ("mod0", "mod1"):
        isign, args = args[0], args[1:]
    lines = []
    for n in args:
        for block in case(kind, n, isign):
            lines.extend(repr(float(v)) for v in block)
    print("\n".join(lines))


if __name__ == "__main__":
    main()
