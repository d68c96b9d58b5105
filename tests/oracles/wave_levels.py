"""The loudest stretch of a recording against its background, from 15 ms frame energies.

Usage: wave_levels.py FILE RATE MIN_LENGTH_MS MIN_RATIO_DB SPIKE_DB  (FILE: raw 16-bit native-endian samples)
prints: start end returned, where returned is the end before its last clamp, or the count when a lead-in of repeated
samples was left out.

1. Lead-in: neighbours i-1, i are compared for i = 1, 2, ... while i < n and i - 1 < rate; past i - 1 = 200 the
   lead-in is repeated while (equal - 1) / (i - 1) > 0.8, and the scan stops at the first i after that where it is
   not, k = i - 1 (or k = the last i looked at). A repeated lead-in is cut back to the last k where three equal
   samples x[k-2..k] end (at least 1), and those k samples are left out.
2. Frames of L = floor(rate * 15 / 1000) samples, F = n // L; under two frames: 0 .. n - 1.
3. E[f] = sum over the frame of (x - mean of the F * L framed samples)^2, summed in sample order.
4. spike > 0: with D = 10 log10 E as it was, for k = 0 .. F - 3 a frame k+1 rising more than spike above k and
   falling more than spike to k+2 takes (E[k] + E[k+2]) / 2.
5. P[f] = energy before f, R[f] = energy from f on (R[F] = 0), each raised by its share of 1% of the total T.
6. Of every i < j <= F with more than 7 frames outside, Q = P[i] + R[j] > 0 and more than floor(min / 1000 * rate)
   samples inside: the first best (T - Q) / (j - i) / (Q / outside) above 10^((ratio - 6) / 10).
"""
import sys

import numpy as np


def lead_in(x, rate):
    n = len(x)
    equal = 0
    repeated = False
    i = 1
    while i < n and i - 1 < rate:
        if x[i - 1] == x[i]:
            equal += 1
        if i - 1 > 200:
            if (equal - 1) / (i - 1) > 0.8:
                repeated = True
            elif repeated:
                break
        i += 1
    if not repeated:
        return 0
    k = i - 1
    if k < 2:
        return k
    while k > 1 and not (x[k - 2] == x[k - 1] == x[k]):
        k -= 1
    return k


def levels(x, rate, min_length, ratio_db, spike_db):
    count = len(x)
    skipped = lead_in(x, rate)
    x = x[skipped:].astype(np.float64)
    n = len(x)
    length = int(np.floor(rate * 15.0 / 1000.0))
    frames = n // length if length > 0 else 0
    if frames < 2:
        return 0, count - 1, count - 1 if skipped == 0 else count

    framed = x[: frames * length]
    mean = framed.sum() / (frames * length)
    squares = ((framed - mean) ** 2).reshape(frames, length)
    energy = np.cumsum(squares, axis=1)[:, -1]
    if spike_db > 0:
        db = 10.0 * np.log10(energy)
        for k in range(frames - 2):
            if db[k + 1] - db[k] > spike_db and db[k + 2] - db[k + 1] < -spike_db:
                energy[k + 1] = (energy[k] + energy[k + 2]) / 2.0

    before = np.concatenate(([0.0], np.cumsum(energy)))
    total = before[frames]
    after = np.concatenate((np.cumsum(energy[::-1])[::-1], [0.0]))
    floor = 0.01 * total
    f = np.arange(frames, dtype=np.float64)
    before[:frames] += f * floor / frames
    after[:frames] += (frames - f) * floor / frames

    least = 10.0 ** ((ratio_db - 6.0) / 10.0)
    inside_samples = np.floor(min_length / 1000.0 * rate)
    best, start, end = 0.0, 0, 0
    for i in range(frames):
        j = np.arange(i + 1, frames + 1)
        width = j - i
        outside = frames - width
        keep = (outside > 7) & (inside_samples < width * length)
        j, width, outside = j[keep], width[keep], outside[keep]
        q = before[i] + after[j]
        with np.errstate(divide="ignore", invalid="ignore"):
            noise = q / outside
            ratio = (total - q) / width / noise
        ratio = np.where(noise > 0, ratio, 0.0)
        if len(ratio) == 0:
            continue
        pick = int(np.argmax(ratio))
        if ratio[pick] > best and ratio[pick] > least:
            best = ratio[pick]
            start = i * length
            end = start + int(width[pick]) * length
    returned = end
    if end == 0 or end >= n:
        end = n - 1
    return start + skipped, end + skipped, returned if skipped == 0 else count


def main():
    x = np.fromfile(sys.argv[1], dtype=np.int16)
    rate, min_length, ratio_db, spike_db = (float(a) for a in sys.argv[2:6])
    print(*levels(x, rate, min_length, ratio_db, spike_db))


if __name__ == "__main__":
    main()
