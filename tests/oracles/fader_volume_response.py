"""Frequency response of a volume control with loudness compensation, from its closed form.

  fader_volume_response.py gainDB c2 c1 c0 cB0 cB1 cB2 a1 a2 fs f...

The gain g = 10^(gainDB / 20); below 0 dB the compensation share e = g (10^(q / 20) - 1) with the level polynomial
q = c2 gainDB^2 + c1 gainDB + c0, and e = 0 at or above 0 dB. The response is

  H(z) = g + e (cB0 + cB1 z^-1 + cB2 z^-2) / (1 + a1 z^-1 + a2 z^-2)

evaluated with scipy's freqz at each frequency f (Hz) for the sample rate fs. Prints the real and imaginary part of H
at each frequency, in order.
"""
import sys

import numpy as np
from scipy import signal

gain_db, c2, c1, c0, cb0, cb1, cb2, a1, a2, fs = (float(a) for a in sys.argv[1:11])
freqs = np.array([float(a) for a in sys.argv[11:]])

g = 10.0 ** (gain_db / 20.0)
e = 0.0
if gain_db < 0.0:
    q = c2 * gain_db * gain_db + c1 * gain_db + c0
    e = g * (10.0 ** (q / 20.0) - 1.0)
_, share = signal.freqz([cb0, cb1, cb2], [1.0, a1, a2], worN=freqs, fs=fs)
h = g + e * share
print(" ".join(f"{v.real!r} {v.imag!r}" for v in h))
