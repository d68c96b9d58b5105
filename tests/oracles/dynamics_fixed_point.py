"""Fixed-point gain computers of the dynamics modules, in Python integers: Q31 products are the exact product shifted
right 31 (toward minus infinity), sums and differences are saturated to the 32-bit range.

  compressor level gain threshold offset slope attackBlock attackSample releaseBlock releaseSample n x...
      the compressor's gain for the samples in blocks of n (a block of 0 runs once with no samples); prints every
      gain, then the level state and the gain after the last block
  expander detector threshold slope knee k0 k1 k2 attack release x...
      the expander's detector and gain per sample; prints every gain, then the detector
"""
import sys

MAX = 2**31 - 1
MIN = -2**31
LIN_TO_DB = [-639209571, 202017807, 1238211947, -856309067, 257306901]
DB_TO_LIN = [2786635, 16777214, 11675120, 3772608, 1329489]


def sat(v):
    return max(MIN, min(MAX, v))


def mul(a, b):
    return min((a * b) >> 31, MAX)


def wrap32(v):
    v &= 0xFFFFFFFF
    return v - 2**32 if v & 0x80000000 else v


def level_db(x, out_shift):
    """20 log10 of a Q31 word with 20 fraction bits of dB from the table's words shifted right 5, then shifted
    left (out_shift > 0, saturating) or right."""
    k = 0
    while k < 31 and ((x >> 31) & 1) == ((x >> 30) & 1):
        x = wrap32(x << 1)
        k += 1
    c = [w >> 5 for w in LIN_TO_DB]
    x2 = min((x * x) >> 31, MAX)
    x3 = (x * x2) >> 31
    acc = sat(c[0] + c[1] * -k)
    acc = sat(acc + sat((x * c[2]) >> 31))
    acc = sat(acc + ((c[3] * x2) >> 31))
    acc = sat(acc + ((c[4] * x3) >> 31))
    return sat(acc << out_shift) if out_shift >= 0 else acc >> -out_shift


def term(c, t):
    return sat((c * t * 256) >> 32) & ~0x7F


def linear(db24):
    """10^(dB/20) of dB with 24 fraction bits, as a gain with 24 fraction bits."""
    w = ((DB_TO_LIN[0] * db24) >> 31) << 7
    n = w >> 24
    f = w & 0xFFFFFF
    f2 = ((f * f) >> 31) << 7
    f3 = ((f2 * f) >> 31) << 7
    g = sat(DB_TO_LIN[1] + term(DB_TO_LIN[2], f))
    g = sat(g + term(DB_TO_LIN[3], f2))
    g = sat(g + term(DB_TO_LIN[4], f3))
    if n > 7:
        return MAX
    return sat(g << n) if n >= 0 else g >> min(-n, 31)


def compressor(args):
    level, gain, threshold, offset, slope, ab, a_s, rb, rs, n = args[:10]
    xs = args[10:]
    out = []
    blocks = [xs[i:i + n] for i in range(0, len(xs), n)] if n > 0 else [[]]
    for block in blocks:
        peak = max([0] + block)
        bc, sc = (ab, a_s) if level < peak else (rb, rs)
        level = sat(level + sat(mul(peak, bc) - mul(level, bc)))
        over = sat(level_db(level, 4) - threshold)
        reduction = 0 if over <= 0 else term(slope, over)
        target = linear(sat(offset - reduction))
        for _ in block:
            gain = sat(gain + sat(sat(mul(target, sc) << 7) - mul(gain, sc)))
            out.append(gain)
    return out + [level, gain]


def expander(args):
    d, threshold, slope, knee, k0, k1, k2, attack, release = args[:9]
    out = []
    for x in args[9:]:
        c = attack if x > d else release
        d = sat(((c * x) >> 31) + (((MAX - c) * d) >> 31))
        level = level_db(d, -2)
        if level >= sat(threshold + knee):
            out.append(MAX)
            continue
        if level < sat(threshold - knee):
            db = sat(mul(slope, sat(threshold - level)) * 8192)
        else:
            num = (level - threshold) << 31
            q = abs(num) // abs(knee)
            x = sat(q if (num >= 0) == (knee > 0) else -q)
            db = sat(mul(k0, x) + k1)
            db = sat(mul(db, x) + k2)
        out.append(sat(linear(sat(db * 64)) * 128))
    return out + [d]


def main():
    mode = sys.argv[1]
    args = [int(a) for a in sys.argv[2:]]
    values = compressor(args) if mode == "compressor" else expander(args)
    print(" ".join(str(v) for v in values))


if __name__ == "__main__":
    main()
