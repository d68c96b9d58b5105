"""Float gain computers of the dynamics modules, one sample at a time in double precision, with exact logarithms
and powers.

  limiter env0 attack release threshold kneeDepth slope kneeRecip gainOffset x...
      prints the gain in dB for each sample, then the envelope after the last sample
  limiter_f32 c0 c1 c2 c3 p0 p1 p2 p3 p4 p5 env0 attack release threshold kneeDepth slope kneeRecip gainOffset x...
      the same limiter in single precision, its dB values through the cubic log2 of a frexp mantissa (c) and the
      quintic 2^f of a fraction (p), highest power first; prints the linear gain for each sample
  compressor env0 attack release gainAttack gainRelease gain threshold slope gainOffset x...
      prints the gain for each sample, then the envelope and the gain after the block
"""
import math
import sys

import numpy as np

SMALLEST_NORMAL = 2.0 ** -126


def level_db(env):
    """20 log10 |env|, an envelope below the smallest normal float taking the level of that float."""
    return 20.0 * math.log10(max(abs(env), SMALLEST_NORMAL))


def limiter(env, attack, release, threshold, knee_depth, slope, knee_recip, offset, xs):
    out = []
    for x in xs:
        c = attack if x > env else release
        env = x * c + env * (1.0 - c)
        over = level_db(env) - threshold
        if knee_depth == 0.0:
            gain = 0.0 if over < 0.0 else -slope * over
        else:
            u = over * knee_recip
            y = u if u > 1.0 else (0.0 if u < -1.0 else (u + 1.0) ** 2 / 4.0)
            gain = -knee_depth * slope * y
        out.append(gain + offset)
    return out + [env]


def limiter_f32(c, p, env, attack, release, threshold, knee_depth, slope, knee_recip, offset, xs):
    f = np.float32
    c = [f(v) for v in c]
    p = [f(v) for v in p]
    env, attack, release = f(env), f(attack), f(release)
    threshold, knee_depth, slope, knee_recip, offset = map(f, (threshold, knee_depth, slope, knee_recip, offset))
    out = []
    for x in map(f, xs):
        k = attack if x > env else release
        env = x * k + env * (f(1.0) - k)
        v = abs(env)
        if v < f(SMALLEST_NORMAL):
            level = f(-758.5956)
        else:
            m, e = np.frexp(v)
            level = f(6.0206) * (((c[0] * m + c[1]) * m + c[2]) * m + (f(e) + c[3]))
        over = level - threshold
        if knee_depth == f(0.0):
            gain = f(0.0) if over < f(0.0) else -slope * over
        else:
            u = over * knee_recip
            y = u if u > f(1.0) else (f(0.0) if u < f(-1.0) else ((u + f(2.0)) * u + f(1.0)) * f(0.25))
            gain = y * -(knee_depth * slope)
        t = (gain + offset) * f(0.1660964)
        whole = np.floor(t)
        frac = t - whole
        q = p[0]
        for coeff in p[1:]:
            q = q * frac + coeff
        out.append(np.ldexp(q, int(whole)))
    return out


def compressor(env, attack, release, gain_attack, gain_release, gain, threshold, slope, offset, xs):
    peak = max([0.0] + [x for x in xs if not math.isnan(x)])
    c, gc = (attack, gain_attack) if env < peak else (release, gain_release)
    env = c * peak + (1.0 - c) * env
    over = max(level_db(env) - threshold, 0.0)
    target = 10.0 ** ((offset - slope * over) / 20.0)
    out = []
    for _ in xs:
        gain = gain * (1.0 - gc) + target * gc
        out.append(gain)
    return out + [env, gain]


mode = sys.argv[1]
args = [float(a) for a in sys.argv[2:]]
if mode == "limiter":
    result = limiter(*args[0:8], args[8:])
elif mode == "limiter_f32":
    result = limiter_f32(args[0:4], args[4:10], *args[10:18], args[18:])
elif mode == "compressor":
    result = compressor(*args[0:9], args[9:])
else:
    sys.exit("unknown mode " + mode)
print(" ".join(repr(float(v)) for v in result))
