"""The stereo example chain in double precision: a gain in dB, a Butterworth lowpass, a dense stereo mix.

  example_chain.py GAIN_DB ORDER CUTOFF_HZ RATE OWN OTHER x...

x holds interleaved stereo frames. Prints the interleaved output frames: each channel scaled by the gain and
filtered by scipy's Butterworth design from rest, then output o = OWN x filtered channel o + OTHER x the other one.
"""
import sys

import numpy as np
from scipy import signal


def chain(x, gain_db, order, cutoff, rate, own, other):
    """The chain's output frames for the stereo frames x (one row per frame)."""
    sos = signal.butter(int(order), cutoff, btype="lowpass", fs=rate, output="sos")
    filtered = np.column_stack([signal.sosfilt(sos, 10.0 ** (gain_db / 20.0) * x[:, c]) for c in range(2)])
    mix = np.array([[own, other], [other, own]])
    return filtered @ mix.T


def main():
    gain_db, order, cutoff, rate, own, other = (float(a) for a in sys.argv[1:7])
    x = np.array([float(a) for a in sys.argv[7:]]).reshape(-1, 2)
    y = chain(x, gain_db, order, cutoff, rate, own, other)
    print(" ".join(repr(v) for v in y.reshape(-1)))


if __name__ == "__main__":
    main()
