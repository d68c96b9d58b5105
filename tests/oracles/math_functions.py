"""Reference values of elementary functions in double precision.

Usage: math_functions.py NAME ARG...  prints NAME applied to the arguments, one value per line. The two-argument
functions (atan2, atan2_turns) take their arguments as pairs y x y x ...
"""
import sys

import numpy as np

ONE_ARG = {
    "sin": np.sin,
    "cos": np.cos,
    "sin_turns": lambda x: np.sin(2.0 * np.pi * x),
    "cos_turns": lambda x: np.cos(2.0 * np.pi * x),
    "db20": lambda x: 20.0 * np.log10(np.abs(x)),
    "undb20": lambda x: 10.0 ** (x / 20.0),
    "log10": np.log10,
    "sqrt": np.sqrt,
    "reciprocal": lambda x: 1.0 / x,
    "unwrap": np.unwrap,  # the whole argument list is one phase sequence
}

TWO_ARG = {
    "atan2": np.arctan2,
    "atan2_turns": lambda y, x: np.arctan2(y, x) / (2.0 * np.pi),
}


def main():
    name = sys.argv[1]
    args = np.array([float(a) for a in sys.argv[2:]], dtype=np.float64)
    with np.errstate(divide="ignore", invalid="ignore"):
        if name in ONE_ARG:
            values = ONE_ARG[name](args)
        else:
            values = TWO_ARG[name](args[0::2], args[1::2])
    print("\n".join(repr(float(v)) for v in values))


if __name__ == "__main__":
    main()
