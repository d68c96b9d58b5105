"""Meter ballistics as one-pole filters: a rising step follows the attack pole, the fall after it the release pole.

  step attack_ms release_ms rate level rise_samples fall_samples
      the coefficient of a time constant t at rate r is 1 - exp(-1000 / (t r)); prints the envelope of a step from 0
      to level held rise_samples, then of silence for fall_samples, each segment through scipy.signal.lfilter
      started from where the other left off
"""
import math
import sys

import numpy as np
from scipy.signal import lfilter


def one_pole(time_ms, rate):
    return 1.0 - math.exp(-1000.0 / (time_ms * rate))


def step(attack_ms, release_ms, rate, level, rise, fall):
    a = one_pole(attack_ms, rate)
    r = one_pole(release_ms, rate)
    up, _ = lfilter([a], [1.0, -(1.0 - a)], np.full(rise, level), zi=[0.0])
    down, _ = lfilter([r], [1.0, -(1.0 - r)], np.zeros(fall), zi=[(1.0 - r) * up[-1]])
    return np.concatenate([up, down])


if __name__ == "__main__":
    args = sys.argv[1:]
    if args[0] == "step":
        a, r, rate, level = (float(v) for v in args[1:5])
        out = step(a, r, rate, level, int(args[5]), int(args[6]))
        print(" ".join(repr(float(v)) for v in out))
