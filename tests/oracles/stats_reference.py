"""Block statistics and sorting in double precision.

The arguments are groups, each a count followed by that many values.

  stats GROUPS...   per group, one line: sum, sum of squares, mean, mean of squares, RMS, variance, standard
                    deviation (both of the population, ddof 0), then value and first position of the largest, the
                    smallest, the largest magnitude and the smallest magnitude, NaN values passed over
  sort GROUPS...    per group, numpy.sort of its values on one line
"""
import sys

import numpy as np


def groups(args):
    values = [float(a) for a in args]
    at = 0
    while at < len(values):
        count = int(values[at])
        yield np.array(values[at + 1 : at + 1 + count], dtype=np.float64)
        at += 1 + count


def extreme(x, pick_value, pick_index):
    return [pick_value(x), float(pick_index(x))]


def stats(x):
    row = [np.sum(x), np.sum(x * x), np.mean(x), np.mean(x * x), np.sqrt(np.mean(x * x)), np.var(x), np.std(x)]
    magnitude = np.abs(x)
    row += extreme(x, np.nanmax, np.nanargmax) + extreme(x, np.nanmin, np.nanargmin)
    row += extreme(magnitude, np.nanmax, np.nanargmax) + extreme(magnitude, np.nanmin, np.nanargmin)
    return row


def main():
    mode = sys.argv[1]
    with np.errstate(invalid="ignore"):
        for x in groups(sys.argv[2:]):
            row = stats(x) if mode == "stats" else np.sort(x)
            print(" ".join(repr(float(v)) for v in row))


if __name__ == "__main__":
    main()
