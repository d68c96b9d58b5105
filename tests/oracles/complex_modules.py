"""Reference values of the complex-sample operations in double precision.

Usage: complex_modules.py OP ARG...  prints the result, one value per line. Complex values are given and printed as
interleaved (real, imaginary) pairs.
  angle|abs|abs2 RE IM ...        the angle, magnitude or squared magnitude of each complex value
  conj RE IM ...                  the conjugates
  polar MAG ANGLE ...             mag * exp(i angle) of each pair
  unwrap CHANNELS P ...           each channel of an interleaved block of phases unwrapped on its own
  modulate FREQ CHANNELS COMPLEX V ...
                                  each channel of an interleaved block (complex when COMPLEX is 1) times
                                  exp(i 2 pi FREQ k / n), k the sample of the channel and n the samples per channel
"""
import sys

import numpy as np


def complex_of(values):
    # Set part by part: an arithmetic sum would turn a negative zero imaginary part positive, and with it the
    # angle of a value on the negative real axis.
    z = np.zeros(len(values) // 2, dtype=np.complex128)
    z.real = values[0::2]
    z.imag = values[1::2]
    return z


def interleave(z):
    return np.column_stack([z.real, z.imag]).ravel()


def main():
    op = sys.argv[1]
    args = np.array([float(a) for a in sys.argv[2:]], dtype=np.float64)
    if op == "angle":
        out = np.angle(complex_of(args))
    elif op == "abs":
        out = np.abs(complex_of(args))
    elif op == "abs2":
        out = np.abs(complex_of(args)) ** 2
    elif op == "conj":
        out = interleave(np.conj(complex_of(args)))
    elif op == "polar":
        out = interleave(args[0::2] * np.exp(1j * args[1::2]))
    elif op == "unwrap":
        channels = int(args[0])
        out = np.unwrap(args[1:].reshape(-1, channels), axis=0).ravel()
    elif op == "modulate":
        freq, channels, is_complex = args[0], int(args[1]), args[2] == 1
        x = complex_of(args[3:]) if is_complex else args[3:].astype(np.complex128)
        x = x.reshape(-1, channels)
        k = np.arange(x.shape[0])
        out = interleave((x * np.exp(2j * np.pi * freq * k / x.shape[0])[:, None]).ravel())
    else:
        raise SystemExit("unknown operation " + op)
    print("\n".join(repr(float(v)) for v in out))


if __name__ == "__main__":
    main()
