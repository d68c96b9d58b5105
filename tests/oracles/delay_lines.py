"""Models of delay lines, in numpy and scipy.

  modulated kind ch max base depth frames m[frames] x[frames*ch]
      a delay line written frame by frame and read, after each frame is written, at D = clamp(m*depth + base, 0,
      max) frames back: kind "linear" between n and n + 1 frames back; kind "cubic" through four taps n - 2 .. n + 1
      frames back (0 .. 3 at D = 0), a tap newer than the frame just written reading that frame, weighted in single
      precision. Prints the output frames.
  fract32 kind ch max baseQ16 depthQ16 frames m[frames] x[frames*ch]
      the same line on Fract32 words: D in Q16 = base + ((m*depth) >> 31), held to 0 .. max*65536, the fraction in
      Q31, each product shifted right 31 toward minus infinity and the cubic's terms summed in their datapath
      order, saturated.
  sparse x... ; d... ; c...    y[n] = sum_t c[t] x[n - d[t]] (x before 0 is 0). Prints y.
  groupdelay h...              the mean group delay of the filter h over 0.02 .. 0.25 of the sample rate.
"""
import sys

import numpy as np
import scipy.signal

mode = sys.argv[1]
args = sys.argv[2:]


def modulated():
    kind = args[0]
    ch, top, base, depth, frames = int(args[1]), int(args[2]), float(args[3]), float(args[4]), int(args[5])
    m = np.array([float(v) for v in args[6 : 6 + frames]], dtype=np.float32)
    x = np.array([float(v) for v in args[6 + frames :]], dtype=np.float32).reshape(frames, ch)
    f32 = np.float32
    y = np.zeros_like(x)
    for t in range(frames):
        d = f32(m[t] * f32(depth)) + f32(base)
        d = f32(min(max(d, f32(0)), f32(top))) if not np.isnan(d) else f32(0)
        n = int(d)
        f = f32(d - f32(n))
        if kind == "linear":
            taps, w = [n, n + 1], [f32(1) - f, f]
        else:
            first = 0 if d == 0 else n - 2
            taps = [max(first + k, 0) for k in range(4)]
            f2, f3 = f * f, f * f * f
            w = [f32(-0.3333) * f + f32(0.5) * f2 - f32(0.16667) * f3, f32(1) + f32(0.5) * f3 - f32(0.5) * f - f2,
                 f + f32(0.5) * f2 - f32(0.5) * f3, f32(0.16667) * (f3 - f)]
        for c in range(ch):
            acc = f32(0)
            for k, wk in zip(taps, w):
                acc = f32(acc + f32(wk) * (x[t - k, c] if t - k >= 0 else f32(0)))
            y[t, c] = acc
    return y.ravel()


def fract32():
    kind = args[0]
    ch, top, base, depth, frames = (int(v) for v in args[1:6])
    m = [int(v) for v in args[6 : 6 + frames]]
    x = [int(v) for v in args[6 + frames :]]
    big = 0x7FFFFFFF

    def q(a, b):
        return (a * b) >> 31

    y = []
    for t in range(frames):
        d = min(max(base + min(q(m[t], depth), big), 0), big)
        f = 0 if d >= top << 16 else (d & 0xFFFF) << 15
        d = min(d, top << 16)
        n = d >> 16
        if kind == "linear":
            taps = [n, n + 1]
        else:
            first = 0 if d == 0 else n - 2
            taps = [max(first + k, 0) for k in range(4)]
        f2 = min(q(f, f), big)
        f3 = q(f, f2)
        for c in range(ch):
            l = [x[(t - k) * ch + c] if t - k >= 0 else 0 for k in taps]
            if kind == "linear":
                s = q(l[0], big - f) + min(q(l[1], f), big)
            else:
                s = (q(l[0], f2 >> 1) + q(l[0], q(f3, -357921099)) + q(l[0], q(f, -715756299)) + l[1]
                     + q(l[1], f3 >> 1) - q(l[1], f2) + q(l[1], q(f, -0x40000000)) + q(l[2], q(f3, -0x40000000))
                     + q(l[2], f2 >> 1) + min(q(f, l[2]), big) + q(l[3], q(f3, 357921099))
                     + q(l[3], q(f, -357921099)))
            y.append(min(max(s, -(1 << 31)), big))
    return y


def sparse():
    text = " ".join(args).split(";")
    x, d, c = (np.array([float(v) for v in part.split()]) for part in text)
    y = np.zeros(len(x))
    for dt, ct in zip(d.astype(int), c):
        y[dt:] += ct * x[: len(x) - dt]
    return y


def groupdelay():
    h = np.array([float(v) for v in args])
    w = np.linspace(0.02, 0.25, 50) * 2 * np.pi
    _, gd = scipy.signal.group_delay((h, [1.0]), w=w)
    return [float(np.mean(gd))]


result = {"modulated": modulated, "fract32": fract32, "sparse": sparse, "groupdelay": groupdelay}[mode]()
print(" ".join(repr(float(v)) for v in result))
