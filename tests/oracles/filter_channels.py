"""Reference outputs of multichannel filters, every channel filtered on its own from rest.

  filter_channels.py sos C S coeff... x...       one cascade of S sections (b0 b1 b2 a1 a2 each) for every channel
  filter_channels.py nsos C S coeff... x...      channel c runs its own S sections, the sets one after another
  filter_channels.py butter C order kind f fs x...  scipy.signal.butter of that order at cutoff f (kind 0 lowpass,
                                                 1 highpass)
  filter_channels.py fir C T tap... x...         taps in time order: tap 0 weights the newest sample

x holds interleaved frames of C channels. Prints the output frames, interleaved the same way.
"""
import sys

import numpy as np
from scipy import signal


def sos_of(values, count):
    return np.array([[*values[5 * k : 5 * k + 3], 1.0, *values[5 * k + 3 : 5 * k + 5]] for k in range(count)])


def main():
    kind = sys.argv[1]
    channels = int(sys.argv[2])
    values = [float(v) for v in sys.argv[3:]]
    if kind == "sos":
        count = int(values[0])
        sections = [sos_of(values[1 : 1 + 5 * count], count)] * channels
        rest = values[1 + 5 * count :]
    elif kind == "nsos":
        count = int(values[0])
        width = 5 * count
        sections = [sos_of(values[1 + c * width : 1 + (c + 1) * width], count) for c in range(channels)]
        rest = values[1 + channels * width :]
    elif kind == "butter":
        order, band, f, fs = int(values[0]), int(values[1]), values[2], values[3]
        sections = [signal.butter(order, f, "low" if band == 0 else "high", fs=fs, output="sos")] * channels
        rest = values[4:]
    elif kind == "fir":
        count = int(values[0])
        taps = np.array(values[1 : 1 + count])
        rest = values[1 + count :]
    else:
        sys.exit("unknown kind " + kind)
    x = np.asarray(rest, dtype=np.float64).reshape(-1, channels)
    y = np.empty_like(x)
    for c in range(channels):
        if kind == "fir":
            y[:, c] = np.convolve(x[:, c], taps)[: len(x)]
        else:
            y[:, c] = signal.sosfilt(sections[c], x[:, c])
    print(" ".join(repr(float(v)) for v in y.reshape(-1)))


main()
