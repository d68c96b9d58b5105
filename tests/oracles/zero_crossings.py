"""Zero crossings of a signal: each sample has the sign class -1 (below zero) or +1 (zero and above), and is compared
with the class of the sample before it, the first sample with the given starting class.

Usage: zero_crossings.py MODE STATE X...  prints one line of 1 or 0 per sample (a crossing in the selected
direction: both for MODE 0, negative to non-negative for MODE > 0, non-negative to negative for MODE < 0), then the
class of the last sample (STATE when there are no samples).
"""
import sys

import numpy as np


def main():
    mode, state = int(sys.argv[1]), int(sys.argv[2])
    x = np.array([int(a) for a in sys.argv[3:]], dtype=np.int64)
    sign = np.where(x < 0, -1, 1)
    before = np.concatenate(([state], sign[:-1]))
    if mode == 0:
        hits = sign != before
    elif mode > 0:
        hits = (sign == 1) & (before == -1)
    else:
        hits = (sign == -1) & (before == 1)
    print("\n".join(str(int(h)) for h in hits))
    print(int(sign[-1]) if len(sign) else state)


if __name__ == "__main__":
    main()
