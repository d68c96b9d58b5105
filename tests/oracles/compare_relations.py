"""The six relations of single-precision pairs, as numpy compares float32 arrays (IEEE 754).

Usage: compare_relations.py X Y X Y ...  prints, for each pair, six lines of 1 or 0: x == y, x != y, x < y, x <= y,
x > y, x >= y.
"""
import sys

import numpy as np


def main():
    args = np.array([float(a) for a in sys.argv[1:]], dtype=np.float32)
    x, y = args[0::2], args[1::2]
    with np.errstate(invalid="ignore"):
        table = np.stack([x == y, x != y, x < y, x <= y, x > y, x >= y], axis=1)
    print("\n".join(str(int(v)) for v in table.ravel()))


if __name__ == "__main__":
    main()
