"""Analysis windows and overlap-add, block by block, written from their definitions over whole signals.

Arguments: a mode, then name=value pairs; arrays are comma-separated. Every mode takes ch (channels), n (input
block size), p (output block size) and x (the input blocks one after another, interleaved frames), and prints the
output blocks one after another.

  overlap       w                            frames laid hop p apart, each weighted by w, summed; block t is
                                             the summed signal from t*p
  repeat        r l w                        as overlap with each block laid r times end to end under w (length l)
  alias         k l w                        sum over k of w[m + k*p] * history[m + k*p], history the last l
                                             samples of the channel (zeros before the start)
  window32      w32 shift                    Fract32: (w32 * x) >> 31 saturated, then shifted by shift
  overlap32     [w32]                        Fract32 overlap with saturating products and sums; without w32 the
                                             blocks are added as they stand
  alias32       k l w32 shift                Fract32 alias: saturated products summed exactly, shifted, saturated
  convert       w                            the common exponent and the Fract32 coefficients of a float window
  cola          n p                          scipy.signal.check_COLA of the squared sqrt-Hann window (1 or 0)
"""
import math
import sys

import numpy as np

F32 = np.float32
LO, HI = -(2**31), 2**31 - 1


def sat(v):
    return max(LO, min(HI, v))


def mul32(a, b):
    return sat((a * b) >> 31)


def shift32(v, s):
    return sat(v << s) if s >= 0 else v >> -s


mode = sys.argv[1]
kw = dict(a.split("=", 1) for a in sys.argv[2:])


def floats(name):
    return np.array([float(v) for v in kw[name].split(",") if v], dtype=F32)


def ints(name):
    return [int(v) for v in kw[name].split(",") if v]


def num(name):
    return int(kw[name])


out = []
if mode == "cola":
    from scipy.signal import check_COLA, get_window

    n, p = num("n"), num("p")
    w = np.sqrt(get_window("hann", n))
    out = [1 if check_COLA(w * w, n, n - p) else 0]
elif mode == "convert":
    w = floats("w")
    e = max([-32] + [0 if (v == 0 or not math.isfinite(v)) else math.frexp(float(v))[1] for v in w])
    out = [e]
    for v in w:
        s = float(v) * 2.0**-e
        if s < -1.0:
            out.append(LO)
        elif s >= 1.0:
            out.append(HI)
        else:
            y = float(F32(s) * F32(2147483648.0))
            out.append(int(math.floor(abs(y) + 0.5)) * (1 if y >= 0 else -1))
else:
    ch, n, p = num("ch"), num("n"), num("p")
    fixed = mode.endswith("32")
    x = np.array(ints("x"), dtype=object) if fixed else floats("x")
    blocks = x.reshape(-1, n, ch)
    t_count = len(blocks)
    if mode == "window32":
        w, s = ints("w32"), num("shift")
        out = [shift32(mul32(w[j], int(v)), s) for b in blocks for j, f in enumerate(b) for v in f]
    elif mode in ("overlap", "repeat", "overlap32"):
        if mode == "overlap32":
            w = ints("w32") if "w32" in kw else None
            frames = [[[mul32(int(v), w[j]) if w else int(v) for v in f] for j, f in enumerate(b)] for b in blocks]
            total = [[0] * ch for _ in range(t_count * p + n)]
            for t in range(t_count):
                for j in range(n):
                    for c in range(ch):
                        total[t * p + j][c] = sat(total[t * p + j][c] + frames[t][j][c])
            total = np.array(total, dtype=object)
        else:
            w = floats("w")
            if mode == "repeat":
                r, l = num("r"), num("l")
                laid = np.concatenate([np.tile(blocks, (1, r, 1)), np.zeros((t_count, l - r * n, ch), F32)], axis=1)
            else:
                laid = blocks
            frames = laid * w[None, : laid.shape[1], None]
            total = np.zeros((t_count * p + frames.shape[1], ch), F32)
            for t in range(t_count):
                total[t * p : t * p + frames.shape[1]] += frames[t]
        out = np.concatenate([total[t * p : t * p + p] for t in range(t_count)]).ravel()
    elif mode in ("alias", "alias32"):
        k, l = num("k"), num("l")
        signal = np.concatenate([np.zeros((l, ch), dtype=blocks.dtype)] + list(blocks)) if not fixed else None
        if fixed:
            signal = [[0] * ch for _ in range(l)] + [list(f) for b in blocks for f in b]
            w, s = ints("w32"), num("shift")
        else:
            w = floats("w")
        for t in range(t_count):
            end = l + (t + 1) * n
            hist = signal[end - l : end]
            for m in range(p):
                for c in range(ch):
                    if fixed:
                        acc = sum(mul32(w[m + q * p], int(hist[m + q * p][c])) for q in range(k))
                        out.append(sat(shift32(acc, s)))
                    else:
                        acc = w[m] * hist[m][c]
                        for q in range(1, k):
                            acc = F32(acc + w[m + q * p] * hist[m + q * p][c])
                        out.append(acc)
    else:
        sys.exit("unknown mode " + mode)
print(" ".join(repr(v if isinstance(v, int) else float(v)) for v in out))
