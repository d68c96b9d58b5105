"""Reference blocks for the FFT modules: seeded random blocks of several interleaved channels and their transforms.

  fft_modules.py KIND CHANNELS N...

For each N the script prints the input block as the module's input wire holds it (channels interleaved, complex
values as (re, im) pairs, every value a float32), then the expected output block laid out the same way, computed in
double precision from exactly those float32 values:

  rfft   N real samples per channel            -> numpy.fft.rfft, N/2 + 1 bins per channel
  irfft  N/2 + 1 bins per channel              -> numpy.fft.irfft, N samples per channel; the imaginary parts of
         bins 0 and N/2 are random in the input, as a caller may leave them, and the output is that of the same bins
         with both set to 0
  fft    N complex values per channel          -> numpy.fft.fft
  ifft   N complex values per channel          -> numpy.fft.ifft (scaled by 1/N)
  fixed     N complex values per channel, Q31 integers of magnitude below 2^31 / 2N (printed as floats), and
            numpy.fft.fft of them: a spectrum that stays inside the Fract32 range
  fixedinv  the same values and numpy.fft.ifft of them
  fixedreal N real Q31 integers of magnitude below 2^31 / N and numpy.fft.rfft of them

Channel c of every input is drawn from its own generator, so a channel mixed up with another shows.
"""
import sys

import numpy as np


def interleave(blocks):
    """Channel blocks of equal length (in words) to one wire block; with complex values their (re, im) pairs stay
    together."""
    return np.stack(blocks, axis=1).reshape(-1)


def as_words(z):
    """Complex values as (re, im) pairs of float64 words."""
    return np.column_stack((z.real, z.imag)).ravel()


def case(kind, channel, n):
    """The input block and the expected output of one channel, and whether each is complex."""
    rng = np.random.default_rng(7000 + 100 * n + channel)
    words_in = 2 * n if kind in ("fft", "ifft", "fixed", "fixedinv") else n + 2 if kind == "irfft" else n
    if kind.startswith("fixed"):
        bound = 2.0 ** 30 / n if kind != "fixedreal" else 2.0 ** 31 / n
        x = np.round(rng.uniform(-1.0, 1.0, words_in) * (bound - 1.0))
    else:
        x = rng.uniform(-1.0, 1.0, words_in).astype(np.float32).astype(np.float64)
    if kind in ("rfft", "fixedreal"):
        return x, as_words(np.fft.rfft(x)), False, True
    z = x[0::2] + 1j * x[1::2]
    if kind == "irfft":
        z[0] = z[0].real
        z[-1] = z[-1].real
        return x, np.fft.irfft(z, n), True, False
    if kind in ("fft", "fixed"):
        return x, as_words(np.fft.fft(z)), True, True
    if kind in ("ifft", "fixedinv"):
        return x, as_words(np.fft.ifft(z)), True, True
    sys.exit("unknown transform " + kind)


def emit(values):
    print(" ".join(repr(float(v)) for v in values))


def main():
    kind = sys.argv[1]
    channels = int(sys.argv[2])
    for n in (int(a) for a in sys.argv[3:]):
        cases = [case(kind, c, n) for c in range(channels)]
        complex_in, complex_out = cases[0][2], cases[0][3]
        ins = [c[0] for c in cases]
        outs = [c[1] for c in cases]
        emit(interleave([v.reshape(-1, 2) for v in ins]) if complex_in else interleave(ins))
        emit(interleave([v.reshape(-1, 2) for v in outs]) if complex_out else interleave(outs))


main()
