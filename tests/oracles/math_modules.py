"""Reference outputs of the float math modules, in single precision.

Usage:
  math_modules.py unary NAME... -- X...        for each NAME, its value at every X
  math_modules.py binary NAME -- A... -- B... [-- NAME -- A... -- B...]...
                                                for each NAME, its value at every pair (A, B) that follows it
  math_modules.py split NAME... -- X...        for each NAME (frexp, modf), its first then its second output at
                                                every X

Every value is printed on a line of its own, functions in the order named.

Functions of the platform library are taken in double precision and rounded once to single precision (a correctly
rounded float library); where a level or power is first scaled by a single-precision constant, that product is
rounded to single precision first, as the modules form it. The polynomial forms evaluate their steps as fused
multiply-adds, each rounded once from the exact rational value. Results below the normal range are flushed to zero,
as the library runs with flush-to-zero.
"""
import sys
from fractions import Fraction

import numpy as np

F32 = np.float32
TINY = F32(2.0**-126)

LOG2_COEFF = [F32(1.2314958572387695), F32(-4.11852502822876), F32(6.021970272064209), F32(-3.1339645385742188)]
POW2_COEFF = [F32(0.0037887918297201395), F32(-0.001062594586983323), F32(0.0781150832772255),
              F32(0.21440613269805908), F32(0.7084623575210571), F32(0.9962897896766663)]


def flush(v):
    v = np.asarray(v, dtype=np.float32)
    return np.where(np.abs(v) < TINY, np.copysign(F32(0.0), v), v).astype(np.float32)


def once(fn, x):
    """fn in double precision, rounded once to single."""
    return flush(fn(np.asarray(x, dtype=np.float64)).astype(np.float32))


def round32(q):
    """The single-precision float nearest the rational q, ties to even."""
    guess = F32(float(q))
    if not np.isfinite(guess):
        return guess
    best = guess
    for c in (np.nextafter(guess, F32(np.inf)), np.nextafter(guess, F32(-np.inf))):
        if not np.isfinite(c):
            continue
        dc, db = abs(Fraction(float(c)) - q), abs(Fraction(float(best)) - q)
        if dc < db or (dc == db and int(c.view(np.uint32)) % 2 == 0):
            best = c
    return best


def fma(a, b, c):
    a, b, c = F32(a), F32(b), F32(c)
    if not (np.isfinite(a) and np.isfinite(b) and np.isfinite(c)):
        return F32(np.float64(a) * np.float64(b) + np.float64(c))
    return round32(Fraction(float(a)) * Fraction(float(b)) + Fraction(float(c)))


def scaled(fn, constant):
    """fn of (x times a single-precision constant, rounded), in double precision, rounded once."""
    return lambda x: once(fn, np.asarray(x, dtype=np.float32) * F32(constant))


def times(fn, constant):
    """fn in double precision rounded to single, then times a single-precision constant."""
    return lambda x: flush(once(fn, x) * F32(constant))


def floored_level(log_scale, floor):
    def level(x):
        m = np.abs(np.asarray(x, dtype=np.float32))
        with np.errstate(invalid="ignore"):
            normal = m >= TINY
        return np.where(normal, once(np.log, np.where(normal, m, 1)) * F32(log_scale), F32(floor)).astype(np.float32)
    return level


def log2_cubic(m, e):
    p = fma(LOG2_COEFF[0], m, LOG2_COEFF[1])
    p = fma(p, m, LOG2_COEFF[2])
    return fma(p, m, F32(e) + LOG2_COEFF[3])


def db_approx(scale, floor, low, high):
    """scale x log2 |x| by the cubic; |x| below `low` gives `floor`, or is held at `low` where floor is None."""
    def one(v):
        a = abs(F32(v))
        if np.isnan(a):
            return a
        if a < low:
            if floor is not None:
                return F32(floor)
            a = low
        a = min(a, high)
        m, e = np.frexp(a)
        return F32(log2_cubic(m, int(e)) * F32(scale))
    return lambda x: np.array([one(v) for v in x], dtype=np.float32)


def undb_approx(scale):
    def one(v):
        t = F32(v) * F32(scale)
        if np.isnan(t):
            return t
        whole = np.floor(t)
        f = F32(0.0) if np.isinf(t) else F32(t - whole)
        p = F32(POW2_COEFF[0])
        p = fma(p, f, POW2_COEFF[1])
        for c in POW2_COEFF[2:]:
            p = fma(p, f, c)
        n = int(np.clip(whole, -1000, 1000))
        with np.errstate(over="ignore"):
            return flush(np.ldexp(p, n))
    return lambda x: np.array([one(v) for v in x], dtype=np.float32)


def sign(x):
    x = np.asarray(x, dtype=np.float32)
    return np.where(x < 0, F32(-1), np.where(x == 0, F32(0), F32(1))).astype(np.float32)


UNARY = {
    "acos": lambda x: once(np.arccos, x),
    "asin": lambda x: once(np.arcsin, x),
    "atan": lambda x: once(np.arctan, x),
    "cos": lambda x: once(np.cos, x),
    "cosh": lambda x: once(np.cosh, x),
    "sin": lambda x: once(np.sin, x),
    "sinh": lambda x: once(np.sinh, x),
    "tan": lambda x: once(np.tan, x),
    "tanh": lambda x: once(np.tanh, x),
    "exp": lambda x: once(np.exp, x),
    "log": lambda x: once(np.log, x),
    "log10": times(np.log, 0.4342944920063019),
    "log2": times(np.log, 1.4426950216293335),
    "db10": floored_level(4.342944622039795, -379.29779052734375),
    "db20": floored_level(8.68588924407959, -758.5955810546875),
    "db10approx": db_approx(3.0102999210357666, -379.29779052734375, TINY, F32(np.inf)),
    "db20approx": db_approx(6.0206, None, F32(1.1755e-38), np.finfo(np.float32).max),
    "undb10": scaled(np.exp, 0.230258509516716),
    "undb20": scaled(np.exp, 0.115129254758358),
    "undb10approx": undb_approx(0.3321928),
    "undb20approx": undb_approx(0.1660964),
    "pow10tox": scaled(np.exp, 2.3025851249694824),
    "sqrt": lambda x: once(lambda v: np.sqrt(np.abs(v)), x),
    "reciprocal": lambda x: flush(F32(1) / np.asarray(x, dtype=np.float32)),
    "ceil": lambda x: np.ceil(np.asarray(x, dtype=np.float32)),
    "floor": lambda x: np.floor(np.asarray(x, dtype=np.float32)),
    "round": lambda x: np.floor(np.asarray(x, dtype=np.float32) + F32(0.5)),
    "sign": sign,
}


def remainder(a, b):
    """Floored remainder by one divisor b per sample: x - floor(x (1/d)) d with the last step fused; 0 passes x."""
    out = []
    for x, d in zip(a, b):
        x, d = F32(x), F32(d)
        out.append(x if d == 0 else fma(-np.floor(x * (F32(1) / d)), d, x))
    return np.array(out, dtype=np.float32)


def remainder_by_frame(a, b):
    """Floored remainder by a divisor of its own per sample: x - floor(x / d) d; 0 passes x."""
    a, b = np.asarray(a, dtype=np.float32), np.asarray(b, dtype=np.float32)
    divisor = np.where(b == 0, F32(1), b)
    return np.where(b == 0, a, a - np.floor(a / divisor) * divisor).astype(np.float32)


BINARY = {
    "atan2": lambda a, b: once(lambda u: np.arctan2(u, np.asarray(b, dtype=np.float64)), a),
    "pow": lambda a, b: once(lambda u: np.power(np.abs(u), np.asarray(b, dtype=np.float64)), a),
    "fmod": lambda a, b: np.fmod(np.asarray(a, dtype=np.float32), np.asarray(b, dtype=np.float32)),
    "ldexp": lambda a, b: flush(np.ldexp(np.asarray(a, dtype=np.float32), np.asarray(b, dtype=np.int64))),
    "remainder": remainder,
    "remainder_by_frame": remainder_by_frame,
}


def split(name, x):
    x = np.asarray(x, dtype=np.float32)
    if name == "frexp":
        m, e = np.frexp(x)
        return m, np.where(np.isfinite(x), e, 0).astype(np.float64)
    fraction, whole = np.modf(x)
    return fraction, whole


def groups(words):
    out, current = [], []
    for w in words:
        if w == "--":
            out.append(current)
            current = []
        else:
            current.append(w)
    out.append(current)
    return out


def main():
    mode = sys.argv[1]
    parts = groups(sys.argv[2:])
    values = []
    with np.errstate(all="ignore"):
        if mode == "binary":
            for k in range(0, len(parts), 3):
                a, b = ([float(v) for v in p] for p in parts[k + 1:k + 3])
                values.extend(BINARY[parts[k][0]](a, b))
        else:
            x = [float(v) for v in parts[1]]
            for name in parts[0]:
                if mode == "unary":
                    values.extend(UNARY[name](x))
                else:
                    first, second = split(name, x)
                    values.extend(first)
                    values.extend(second)
    print("\n".join(repr(float(v)) for v in values))


if __name__ == "__main__":
    main()
