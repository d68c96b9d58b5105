"""Constant overlap-add of the window products a sample meets through analysis and synthesis.

  stft_cola.py N HOP w[0] ... w[N-1] [N HOP w[0] ... w[N-1] ...]

For each window of N coefficients prints 1 when scipy.signal.check_COLA accepts it at N - HOP samples of overlap (0
otherwise), then the smallest and largest value of the coefficients overlap-added at that hop: both 1 when the chain
returns its input unscaled.
"""
import sys

import numpy as np
from scipy import signal


def main(argv):
    at = 0
    while at < len(argv):
        n, hop = int(argv[at]), int(argv[at + 1])
        w = np.asarray([float(v) for v in argv[at + 2:at + 2 + n]])
        at += 2 + n
        accepted = signal.check_COLA(w, n, n - hop, tol=1e-6)
        summed = w.reshape(-1, hop).sum(axis=0)
        print(1 if accepted else 0, summed.min(), summed.max())


if __name__ == "__main__":
    main(sys.argv[1:])
