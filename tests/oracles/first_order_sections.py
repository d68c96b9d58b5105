"""First-order sections steered by a control frequency, in double precision.

Arguments: groups, each one of
  fixed fs f highpass n x0 .. x(n-1)
      The pole k = tan(pi/4 - w/2) of w = 2 pi f / fs, which equals (1 - sin w) / cos w, then scipy.signal.lfilter
      of b = [(1 - k) / 2] * 2 (low-pass) or [(1 + k) / 2, -(1 + k) / 2] (high-pass) over a = [1, -k] from rest.
      Prints k, then one output per input sample.
  gliding fs f p0 c n x0 .. x(n-1)
      A low-pass whose pole moves toward the pole of f by c of the way every sample, starting from p0, each output
      y = (1 - p) / 2 (x + x1) + p y1 from rest. Prints the last pole, then one output per input sample.
  cubic fs f
      The Q1.31 pole of the fixed-point section, in Python integers: x = f / (fs / 2) in single precision times 2^31,
      truncated; t1 = min(1646185664 + (x * -1108184861 >> 31), 2^31 - 1); t2 = (x * t1 >> 31) - 1619954706;
      t3 = x * t2 >> 31; pole = 4 (t3 + 536812743), saturated to 32 bits. Prints the pole.
"""
import sys

import numpy as np
from scipy import signal


def pole(fs, f):
    w = 2 * np.pi * f / fs
    return np.tan(np.pi / 4 - w / 2)


def fixed(fs, f, highpass, x):
    k = pole(fs, f)
    g = (1 + k) / 2 if highpass else (1 - k) / 2
    return [k, *signal.lfilter([g, -g if highpass else g], [1, -k], x)]


def gliding(fs, f, p, c, x):
    target = pole(fs, f)
    x1 = y1 = 0.0
    y = []
    for v in x:
        p = p * (1 - c) + c * target
        y1 = (1 - p) / 2 * (v + x1) + p * y1
        x1 = v
        y.append(y1)
    return [p, *y]


def cubic(fs, f):
    x = int(np.float32(f) / np.float32(fs / 2) * np.float32(2 ** 31))
    t1 = min(1646185664 + (x * -1108184861 >> 31), 2 ** 31 - 1)
    t2 = (x * t1 >> 31) - 1619954706
    t3 = x * t2 >> 31
    return [max(-2 ** 31, min(2 ** 31 - 1, 4 * (t3 + 536812743)))]


args = sys.argv[1:]
out = []
i = 0
while i < len(args):
    mode = args[i]
    if mode == "cubic":
        out += cubic(float(args[i + 1]), float(args[i + 2]))
        i += 3
        continue
    lead = 4 if mode == "fixed" else 5
    head = [float(v) for v in args[i + 1:i + lead]]
    n = int(args[i + lead])
    x = np.array([float(v) for v in args[i + lead + 1:i + lead + 1 + n]])
    i += lead + 1 + n
    out += fixed(head[0], head[1], head[2] != 0, x) if mode == "fixed" else gliding(*head, x)
print(" ".join(repr(float(v)) if isinstance(v, float) or hasattr(v, "dtype") else str(v) for v in out))
