"""Reference runs of a cascade of second-order sections over one channel, from zero state.

  biquad_filter.py FORM S coeff... x...

S sections of five coefficients each, then the input samples. FORM names the state the kernel keeps:

  df2    coefficients b0 b1 b2 a1 a2; state per section w[n-1], w[n-2] of w = x / A(z)
  df1    coefficients b0 b1 b2 a1 a2; state per section x[n-1], x[n-2], y[n-1], y[n-2] of the section's own input
         and output (a section with a2 = b2 = 0 is first-order and keeps x[n-2], y[n-2] at 0)
  tdf2   coefficients b0 b1 b2 a1 a2; state per section s0, s1 of the transposed direct form II (scipy's zf)
  ss     state-space parameters c0..c4; state per section s0 = zf[0], s1 = zf[1] + c1 zf[0]
  delay  four sections b0 b1 b2 a1 a2; the output is the cascade's four samples late, the state the thirteen words
         of the pipelined cascade: w[n-2] of sections 0-3, w[n-1] of sections 0-3, the newest input, then the latest
         output of each section (section k is k samples behind the input)
  ext    coefficients b0 b1 b2 a1 a2 (doubles); every sum exact, the output rounded to float once and fed back as
         rounded; state per section s0, s1

Prints the output samples, the state words, a tolerance for each state word and one for the output samples: how far
float rounding may take a kernel's values from these (see tolerances()). The ext model rounds as the kernel does, so
its tolerances are 0.
"""
import sys
from fractions import Fraction

import numpy as np
from scipy import signal

U = 2.0 ** -24  # unit roundoff of float
ROUNDINGS = 8  # roundings per section and sample, at most, in any form


def impulse_response(b, a, length=1 << 14):
    impulse = np.zeros(length)
    impulse[0] = 1.0
    return signal.lfilter(b, a, impulse)


def l2(h):
    return float(np.sqrt(np.sum(h * h)))


def from_state_space(c):
    """b, a of the section whose design_sos2ss image is c (in double, where the float parameters are exact)."""
    c0, c1, c2, c3, c4 = c
    a1 = -2.0 * c1
    a2 = c1 * c1 - c2
    b0 = c3
    b1 = c4 + a1 * b0
    b2 = c0 + a2 * b0 - (a1 * a1 * b0 - a1 * b1) / 2.0
    return [b0, b1, b2], [1.0, a1, a2]


def round_to_float(q):
    """The float nearest to the rational q, ties to even."""
    if q == 0:
        return 0.0
    negative = q < 0
    q = -q if negative else q
    e = q.numerator.bit_length() - q.denominator.bit_length()
    if q < Fraction(2) ** e:
        e -= 1
    quantum = Fraction(2) ** (max(e, -126) - 23)
    m = q / quantum
    whole = m.numerator // m.denominator
    rest = m - whole
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2 == 1):
        whole += 1
    v = float(whole * quantum)
    return -v if negative else v


def run_ext(sections, x):
    state = []
    for c in sections:
        b0, b1, b2, a1, a2 = (Fraction(v) for v in c)
        s0 = s1 = Fraction(0)
        y = []
        for v in x:
            X = Fraction(v)
            out = round_to_float(b0 * X + s0)
            Y = Fraction(out)
            s0 = (-a1 * Y + b1 * X) + s1
            s1 = -a2 * Y + b2 * X
            y.append(out)
        state += [float(s0), float(s1)]
        x = y
    return x, state, [0.0] * len(state), 0.0


def tolerances(filters, peaks):
    """The output's tolerance and each section's state tolerance.

    A rounding in section k is at most U times the section's largest magnitude; it enters at the section's output,
    ahead of its recursion (through 1/A) or ahead of the whole section (through H), and travels on through the
    later sections. Its spread at any point is the L2 norm of that path; with ROUNDINGS such errors per section and
    sample, independent and uniform, the error's standard deviation is the root of the summed variances, and the
    tolerance 8 of them. A section's state words (its input, recursion or output samples) take the largest of the
    paths that reach the section's input, recursion or output."""
    count = len(filters)
    out_variance = 0.0
    state_variance = [0.0] * count
    for k, (b, a) in enumerate(filters):
        scale = ROUNDINGS / 3 * (U * peaks[k]) ** 2
        starts = [impulse_response([1.0], [1.0]), impulse_response([1.0], a), impulse_response(b, a)]
        state_variance[k] += scale * max(l2(h) for h in starts) ** 2
        reach = [0.0] * count
        worst_out = 0.0
        for h in starts:
            for m in range(k + 1, count):
                bm, am = filters[m]
                reach[m] = max(reach[m], l2(h), l2(signal.lfilter([1.0], am, h)), l2(signal.lfilter(bm, am, h)))
                h = signal.lfilter(bm, am, h)
            worst_out = max(worst_out, l2(h))
        for m in range(k + 1, count):
            state_variance[m] += scale * reach[m] ** 2
        out_variance += scale * worst_out**2
    return 8 * np.sqrt(out_variance), [8 * np.sqrt(v) for v in state_variance]


def run(form, sections, x):
    x = np.asarray(x, dtype=np.float64)
    n = len(x)
    filters = [from_state_space(c) if form == "ss" else (list(c[:3]), [1.0, c[3], c[4]]) for c in sections]
    state = []
    peaks = []
    trace = []
    for c, (b, a) in zip(sections, filters):
        y, zf = signal.lfilter(b, a, x, zi=np.zeros(2))
        w = signal.lfilter([1.0], a, x)
        if form == "df2":
            state.append([w[-1], w[-2] if n > 1 else 0.0])
        elif form == "df1":
            first_order = a[2] == 0.0 and b[2] == 0.0
            state.append([x[-1], 0.0 if first_order or n < 2 else x[-2], y[-1], 0.0 if first_order or n < 2 else y[-2]])
        elif form == "tdf2":
            state.append([zf[0], zf[1]])
        elif form == "ss":
            state.append([zf[0], zf[1] + c[1] * zf[0]])
        trace.append((w, x, y))
        peaks.append(max(np.max(np.abs(v)) for v in (x, y, w, zf)))
        x = y
    out_tolerance, state_tolerance = tolerances(filters, peaks)
    if form == "delay":
        return run_delay(trace, n, out_tolerance, state_tolerance)
    words = [v for s in state for v in s]
    tolerance = [t for s, t in zip(state, state_tolerance) for _ in s]
    return list(x), words, tolerance, out_tolerance


def run_delay(trace, n, out_tolerance, state_tolerance):
    def at(v, i):
        return v[i] if i >= 0 else 0.0

    out = [at(trace[-1][2], t - 4) for t in range(n)]
    w2 = [at(w, n - 2 - k) for k, (w, _, _) in enumerate(trace)]
    w1 = [at(w, n - 1 - k) for k, (w, _, _) in enumerate(trace)]
    pipe = [at(trace[0][1], n - 1)] + [at(y, n - 1 - k) for k, (_, _, y) in enumerate(trace)]
    tolerance = state_tolerance + state_tolerance + [0.0] + state_tolerance
    return out, w2 + w1 + pipe, tolerance, out_tolerance


def main():
    form = sys.argv[1]
    count = int(sys.argv[2])
    values = [float(v) for v in sys.argv[3:]]
    sections = [values[5 * k : 5 * k + 5] for k in range(count)]
    x = values[5 * count :]
    if form == "ext":
        y, state, state_tolerance, out_tolerance = run_ext(sections, x)
    elif form in ("df2", "df1", "tdf2", "ss", "delay"):
        y, state, state_tolerance, out_tolerance = run(form, sections, x)
    else:
        sys.exit("unknown form " + form)
    print(" ".join(repr(float(v)) for v in list(y) + list(state) + list(state_tolerance) + [out_tolerance]))


main()
