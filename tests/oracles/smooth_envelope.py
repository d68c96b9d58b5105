"""Envelope trajectories, one sample at a time, in double precision.

  ar env0 attack release x...            attack/release follower on |x|; prints env after each sample
  adsr request stage env attack decay sustain release peak x...
                                         prints x * env for each sample, then request, stage and env at the end
"""
import sys


def attack_release(env, attack, release, xs):
    out = []
    for x in xs:
        a = abs(x)
        c = attack if a > env else release
        env = a * c + env * (1.0 - c)
        out.append(env)
    return out


def adsr(request, stage, env, attack, decay, sustain, release, peak, xs):
    out = []
    for x in xs:
        if stage == 0:
            if env >= peak - 0.01:
                stage = 1
            env = attack * peak + (1.0 - attack) * env
        elif stage == 1:
            old = env
            env = env * (1.0 - decay)
            if old <= sustain:
                stage = 2
        elif stage == 2:
            env = sustain
            if request != 0:
                request = 0
                stage = 3
        elif stage == 3:
            env = env * (1.0 - release)
        out.append(x * env)
    return out + [request, stage, env]


mode = sys.argv[1]
args = [float(a) for a in sys.argv[2:]]
if mode == "ar":
    result = attack_release(args[0], args[1], args[2], args[3:])
elif mode == "adsr":
    result = adsr(int(args[0]), int(args[1]), *args[2:8], args[8:])
else:
    sys.exit("unknown mode " + mode)
print(" ".join(repr(float(v)) for v in result))
