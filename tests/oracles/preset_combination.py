"""Presets combined value by value, in single precision.

  presets rows cols mode x...   x holds presets x rows x cols values, the presets of one column together:
                                value (r, c) of preset p at (c * presets + p) * rows + r

Prints the rows x cols combined values in row order: the product of the presets (mode 0) or their sum.
"""
import sys

import numpy as np

presets, rows, cols, mode = (int(v) for v in sys.argv[1:5])
x = np.array([float(v) for v in sys.argv[5:]], dtype=np.float32).reshape(cols, presets, rows)
combined = np.prod(x, axis=1, dtype=np.float32) if mode == 0 else np.sum(x, axis=1, dtype=np.float32)
print(" ".join(repr(float(v)) for v in combined.T.reshape(-1)))
