"""The sine and arctangent tables of the turn-based kernels, from numpy, rounded to single precision.

Usage: math_tables.py  prints the 512 sine entries sin(2 pi i / 512), then the 514 arctangent entries
atan(i / 512) / (2 pi), one per line.
"""
import numpy as np

sine = np.sin(2.0 * np.pi * np.arange(512) / 512.0).astype(np.float32)
atan = (np.arctan(np.arange(514) / 512.0) / (2.0 * np.pi)).astype(np.float32)
print("\n".join(repr(float(v)) for v in np.concatenate([sine, atan])))
