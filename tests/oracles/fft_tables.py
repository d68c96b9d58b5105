"""The twiddle tables of the fixed-point FFT as numpy computes them.

Usage: fft_tables.py  prints 512 cosine entries and then 512 sine entries: trunc(f(2 pi i / 1024) x 2^31) with
2^31 held at 2^31 - 1, and the values at whole quarter turns taken exact.
"""
import numpy as np


def main():
    i = np.arange(512)
    angle = 2.0 * np.pi * i / 1024.0
    lines = []
    for f in (np.cos, np.sin):
        v = f(angle)
        v[i % 256 == 0] = np.round(v[i % 256 == 0])
        words = np.minimum(np.trunc(v * 2.0 ** 31), 2.0 ** 31 - 1)
        lines.extend(str(int(w)) for w in words)
    print("\n".join(lines))


if __name__ == "__main__":
    main()
