"""Zero crossings of a signal: each sample has the sign class -1 (below zero) or +1 (zero and above), and is compared
with the class of the sample before it, the first sample with the starting class (0 meaning neither sign).

Usage: zero_crossings.py X...  prints, for each direction in the order both, rising, falling and each starting class
in the order 0, +1, -1, one line of 1 or 0 per sample (a crossing in that direction: any change of class, negative
to non-negative, non-negative to negative), then the class of the last sample.
"""
import sys

import numpy as np


def main():
    x = np.array([int(a) for a in sys.argv[1:]], dtype=np.int64)
    sign = np.where(x < 0, -1, 1)
    for direction in ("both", "rising", "falling"):
        for state in (0, 1, -1):
            before = np.concatenate(([state], sign[:-1]))
            if direction == "both":
                hits = sign != before
            elif direction == "rising":
                hits = (sign == 1) & (before == -1)
            else:
                hits = (sign == -1) & (before == 1)
            print("\n".join(str(int(h)) for h in hits))
            print(int(sign[-1]))


if __name__ == "__main__":
    main()
