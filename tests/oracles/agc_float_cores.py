"""Float gain computers of the dynamics modules, one sample at a time in double precision, with exact logarithms
and powers.

  limiter env0 attack release threshold kneeDepth slope kneeRecip gainOffset x...
      prints the gain in dB for each sample, then the envelope after the last sample
  compressor env0 attack release gainAttack gainRelease gain threshold slope gainOffset x...
      prints the gain for each sample, then the envelope and the gain after the block
"""
import math
import sys

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
elif mode == "compressor":
    result = compressor(*args[0:9], args[9:])
else:
    sys.exit("unknown mode " + mode)
print(" ".join(repr(float(v)) for v in result))
