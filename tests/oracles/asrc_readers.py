"""The converter's polyphase readers as plain integer arithmetic, in Python's unbounded integers.

Arguments (integers): interpolation (0 linear, 1 cubic), M, taps, ring length L, channels, the (M + 3) x taps
coefficient rows, then operations until the end: 0 n s... writes n interleaved frames (n x channels samples);
1 n step reads n frames at that read step. Prints every frame read, its channels in order.
"""
import sys

args = [int(x) for x in sys.argv[1:]]
cubic, m, taps, length, channels = args[:5]
at = 5 + (m + 3) * taps
coeff = args[5:at]
log2m = m.bit_length() - 1
shift = 32 + log2m
rings = [[0] * length for _ in range(channels)]
write = 0
pos = 0


def row(k):
    return coeff[k * taps:(k + 1) * taps]


def weights(t):
    if not cubic:
        return [0x7FFFFFFF - t, t]
    t2 = (t * t) >> 31
    t3 = (t * t2) >> 31
    return [((t * t) >> 33) - ((t3 * 0x0AAAAAAB) >> 31) - ((t * 0x15555555) >> 31),
            ((t * t2) >> 33) - ((t2 * 0x40000000) >> 31) - ((t * 0x20000000) >> 31) + 0x40000000,
            ((t * t) >> 33) - ((t3 * 0x20000000) >> 31) + (t >> 1),
            ((t3 * 0x0AAAAAAB) >> 31) - ((t * 0x0AAAAAAB) >> 31)]


def saturate(v):
    return max(-2 ** 31, min(2 ** 31 - 1, v))


out = []
while at < len(args):
    op, n = args[at], args[at + 1]
    at += 2
    if op == 0:
        for k in range(n):
            for c in range(channels):
                rings[c][write] = args[at + k * channels + c]
            write = (write + 1) % length
        at += n * channels
        continue
    step = args[at]
    at += 1
    for _ in range(n):
        i = pos >> shift
        phase = (pos >> 32) & (m - 1)
        t = (pos >> 1) & 0x7FFFFFFF
        newest = i + taps - 1
        if newest >= length:
            newest -= length
        w = weights(t)
        coefficients = []
        for j in range(taps):
            acc = 0
            for k, wk in enumerate(w):
                acc = (acc & ~0xFFFFFFFF) + wk * row(phase + k)[j] + 2 ** 31
            coefficients.append(acc >> 32)
        for c in range(channels):
            acc = 0
            for j in range(taps):
                acc = (coefficients[j] * rings[c][(newest - j) % length] + (acc << 32) + 2 ** 31) >> 32
            out.append(saturate(acc * (8 if cubic else 4)))
        pos += step
    if pos >> shift >= length:
        pos -= length << shift
print(" ".join(str(v) for v in out))
