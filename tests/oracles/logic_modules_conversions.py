"""Conversions between the three sample types of 32-bit words: float (IEEE single), Fract32 (signed Q1.31, value =
word / 2^31) and 32-bit signed integer.

Rules: float to Fract32 is x * 2^31 truncated toward zero and saturated to the 32-bit range, NaN giving 0; Fract32 to
float is word / 2^31 rounded to the nearest single (ties to even); float to integer rounds half away from zero, each
of x + 0.5 (x >= 0) and 0.5 - x (x < 0) first rounded to single precision, saturated to -2147483647..2147483647, NaN
giving 0; integer to float rounds to the nearest single (ties to even); integer and Fract32 words carry over
unchanged between each other; a type to itself is unchanged.

Usage: logic_modules_conversions.py WORD...  (each an unsigned 32-bit pattern) prints, for every input type 0, 1, 2
and every output type 0, 1, 2 in that order, one line per word: the converted word as a signed 32-bit integer.
"""
import sys

import numpy as np

LIMIT = 2147483647


def float_to_fract32(bits):
    x = bits.view(np.float32).astype(np.float64)
    out = np.zeros(x.shape, dtype=np.int64)
    ok = ~np.isnan(x)
    scaled = np.trunc(x[ok] * 2.0**31)
    out[ok] = np.clip(scaled, -(2.0**31), 2.0**31 - 1).astype(np.int64)
    return out


def float_to_int(bits):
    x = bits.view(np.float32)
    out = np.zeros(x.shape, dtype=np.int64)
    ok = ~np.isnan(x)
    with np.errstate(over="ignore", invalid="ignore"):
        up = np.floor((x + np.float32(0.5)).astype(np.float32).astype(np.float64))
        down = -np.floor((np.float32(0.5) - x).astype(np.float32).astype(np.float64))
    rounded = np.where(x >= 0, up, down)
    out[ok] = np.clip(rounded[ok], -LIMIT, LIMIT).astype(np.int64)
    return out


def single_bits(values):
    """The signed words of the singles nearest to the (exactly held) float64 values, ties to even."""
    return values.astype(np.float32).view(np.int32).astype(np.int64)


def main():
    words = np.array([int(a) for a in sys.argv[1:]], dtype=np.uint64).astype(np.uint32)
    signed = words.view(np.int32).astype(np.int64)
    rows = []
    for src in range(3):
        for dst in range(3):
            if src == dst:
                rows.append(signed)
            elif src == 0:
                rows.append(float_to_fract32(words) if dst == 1 else float_to_int(words))
            elif src == 1:
                rows.append(single_bits(signed.astype(np.float64) / 2.0**31) if dst == 0 else signed)
            else:
                rows.append(single_bits(signed.astype(np.float64)) if dst == 0 else signed)
    print("\n".join(str(int(v)) for row in rows for v in row))


if __name__ == "__main__":
    main()
