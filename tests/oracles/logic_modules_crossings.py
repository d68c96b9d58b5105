"""Zero crossings of every channel of an interleaved signal: each sample has the sign class -1 (below zero) or +1
(zero and above, -0.0 included), compared with the class of the channel's sample before it, the first sample with
the class 0 (neither sign).

Usage: logic_modules_crossings.py CHANNELS X...  (X interleaved samples) prints, for the directions both, rising and
falling in that order, one line of 1 or 0 per sample in the interleaved order (a change of class, negative to
non-negative, non-negative to negative), then the class of each channel's last sample.
"""
import sys

import numpy as np


def main():
    channels = int(sys.argv[1])
    x = np.array([float(a) for a in sys.argv[2:]], dtype=np.float32).reshape(-1, channels)
    sign = np.where(x < 0, -1, 1)
    before = np.vstack([np.zeros((1, channels), dtype=sign.dtype), sign[:-1]])
    hits = {
        "both": sign != before,
        "rising": (sign == 1) & (before == -1),
        "falling": (sign == -1) & (before == 1),
    }
    for direction in ("both", "rising", "falling"):
        print("\n".join(str(int(h)) for h in hits[direction].ravel()))
    print("\n".join(str(int(s)) for s in sign[-1]))


if __name__ == "__main__":
    main()
