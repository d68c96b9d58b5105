"""The stereo example chain on WAV files, as a user runs it through the host program.

  example_chain_files.py write PATH RATE SECONDS
      Writes a 16-bit stereo WAV file: 440 Hz on the left; 9 kHz (past the chain's cutoff) and 660 Hz on the right.
  example_chain_files.py snr IN OUT SKIP_SECONDS GAIN_DB ORDER CUTOFF_HZ OWN OTHER
      Computes the chain on IN with scipy and prints the signal-to-noise ratio in dB of OUT against it, over the
      frames after SKIP_SECONDS (the gain's glide), then the number of frames of OUT and of IN.
"""
import sys

import numpy as np
from scipy.io import wavfile

from example_chain import chain


def as_float(samples):
    """Samples as the host reads them: 16-bit words over 32768."""
    return samples.astype(np.float64) / 32768.0 if samples.dtype == np.int16 else samples.astype(np.float64)


def write(path, rate, seconds):
    t = np.arange(int(rate * seconds)) / rate
    left = 0.5 * np.sin(2 * np.pi * 440.0 * t)
    right = 0.3 * np.sin(2 * np.pi * 9000.0 * t) + 0.2 * np.sin(2 * np.pi * 660.0 * t)
    frames = np.round(np.column_stack([left, right]) * 32767.0).astype(np.int16)
    wavfile.write(path, int(rate), frames)


def snr(inp, out, skip, gain_db, order, cutoff, own, other):
    rate, x = wavfile.read(inp)
    out_rate, y = wavfile.read(out)
    assert out_rate == rate
    x, y = as_float(x), as_float(y)
    expected = chain(x, gain_db, order, cutoff, rate, own, other)
    first = int(skip * rate)
    n = min(len(expected), len(y))
    error = y[first:n] - expected[first:n]
    ratio = np.sum(expected[first:n] ** 2) / max(np.sum(error ** 2), 1e-300)
    print(repr(10.0 * np.log10(ratio)), len(y), len(x))


def main():
    if sys.argv[1] == "write":
        write(sys.argv[2], float(sys.argv[3]), float(sys.argv[4]))
    else:
        snr(sys.argv[2], sys.argv[3], *(float(a) for a in sys.argv[4:10]))


main()
