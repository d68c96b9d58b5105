"""Outputs of the float arithmetic modules, in numpy float32, for many cases in one run.

Arguments: cases separated by "/". A case is: OP P N OUT, then P parameters, then N inputs, each given as
CH WORDS and its WORDS samples (interleaved frames of CH channels). OUT is the output wire's words. Prints, per
case, how many words the module writes and then those words, in order (two-output and N-1-output cases: the
outputs one after the other).

Ops: elementwise over the words every wire holds: abs, square, sum, prod, sqadd, sumdiff, sub, div, scaleoffset
(P = 2: gain, offset), clip (P = 2: lower, upper), poly (P coefficients, highest power first); one output channel
over the frames every input and the output hold: sum1, prod1 (starting at 1.0), prod1first (starting as channel 0 of
input 0), sqadd1, csum1 (complex: frames of (re, im) pairs); gain (input 0 one channel times each channel of
input 1). Sums run in input order, then channel order. Fused multiply-adds (sqadd, scaleoffset, poly) are rounded
once, from the exact value.
"""
import sys
from fractions import Fraction

import numpy as np

f32 = np.float32


def round_f32(exact):
    """The float32 nearest an exact rational, ties to the even significand."""
    guess = f32(float(exact))
    candidates = [np.nextafter(guess, f32(-np.inf)), guess, np.nextafter(guess, f32(np.inf))]

    def key(c):
        return (abs(Fraction(float(c)) - exact), int(np.array(c).view(np.uint32)) & 1)

    return min(candidates, key=key)


def fma(a, b, c):
    exact = Fraction(float(a)) * Fraction(float(b)) + Fraction(float(c))
    if exact == 0:
        return f32(a) * f32(b) + f32(c)  # the sign of a zero sum
    return round_f32(exact)


vfma = np.vectorize(fma, otypes=[np.float32])


def held(inputs, out):
    return min([len(x) for _, x in inputs] + [out])


def frames(inputs, out, lanes):
    return min([len(x) // (ch * lanes) if ch else 0 for ch, x in inputs] + [out // lanes])


def fold(inputs, out, start, step):
    n = held(inputs, out)
    y = start(n, inputs)
    for _, x in inputs[1 if start is first else 0:]:
        y = step(y, x[:n])
    return y


def first(n, inputs):
    return inputs[0][1][:n].copy()


def one_channel(inputs, out, start, step, from_first=False, lanes=1):
    n = frames(inputs, out, lanes)
    y = np.full(n * lanes, start, dtype=f32)
    for k, (ch, x) in enumerate(inputs):
        for c in range(ch):
            for lane in range(lanes):
                column = x[c * lanes + lane :: ch * lanes][:n]
                if from_first and k == 0 and c == 0:
                    y[lane::lanes] = column
                else:
                    y[lane::lanes] = step(y[lane::lanes], column)
    return y


def run(op, params, inputs, out):
    add = lambda y, x: (y + x).astype(f32)
    mul = lambda y, x: (y * x).astype(f32)
    sqadd = lambda y, x: vfma(x, x, y)
    if op == "abs":
        return np.abs(inputs[0][1][: held(inputs, out)])
    if op == "square":
        x = inputs[0][1][: held(inputs, out)]
        return x * x
    if op == "sum":
        return fold(inputs, out, first, add)
    if op == "prod":
        return fold(inputs, out, first, mul)
    if op == "sqadd":
        return fold(inputs, out, lambda n, _: np.zeros(n, dtype=f32), sqadd)
    if op == "sum1":
        return one_channel(inputs, out, 0.0, add)
    if op == "csum1":
        return one_channel(inputs, out, 0.0, add, lanes=2)
    if op == "prod1":
        return one_channel(inputs, out, 1.0, mul)
    if op == "prod1first":
        return one_channel(inputs, out, 1.0, mul, from_first=True)
    if op == "sqadd1":
        return one_channel(inputs, out, 0.0, sqadd)
    if op == "gain":
        (_, g), (ch, x) = inputs
        n = min(len(g), len(x) // ch, out // ch)
        return (x[: n * ch].reshape(n, ch) * g[:n, None]).astype(f32).ravel()
    if op == "sumdiff":
        n = held(inputs, out)
        a, b = inputs[0][1][:n], inputs[1][1][:n]
        return np.concatenate([(a + b) * f32(0.5), (a - b) * f32(0.5)])
    if op in ("sub", "div"):
        last = inputs[-1][1]
        parts = []
        for _, x in inputs[:-1]:
            n = min(len(x), len(last), out)
            with np.errstate(divide="ignore", invalid="ignore"):
                parts.append(x[:n] - last[:n] if op == "sub" else np.where(last[:n] == 0, f32(0), x[:n] / last[:n]))
        return np.concatenate(parts).astype(f32) if parts else np.zeros(0, dtype=f32)
    if op == "scaleoffset":
        return vfma(inputs[0][1][: held(inputs, out)], params[0], params[1])
    if op == "clip":
        x = inputs[0][1][: held(inputs, out)]
        return np.minimum(np.maximum(x, params[0]), params[1])
    if op == "poly":
        x = inputs[0][1][: held(inputs, out)]
        y = np.full(len(x), params[0] if len(params) else 0.0, dtype=f32)
        for c in params[1:]:
            y = vfma(y, x, c)
        return y
    raise ValueError(op)


def parse(tokens):
    op, p, n, out = tokens[0], int(tokens[1]), int(tokens[2]), int(tokens[3])
    params = [f32(float(t)) for t in tokens[4 : 4 + p]]
    at = 4 + p
    inputs = []
    for _ in range(n):
        ch, words = int(tokens[at]), int(tokens[at + 1])
        inputs.append((ch, np.array([float(t) for t in tokens[at + 2 : at + 2 + words]], dtype=f32)))
        at += 2 + words
    return op, params, inputs, out


def main():
    cases, current = [], []
    for token in sys.argv[1:] + ["/"]:
        if token == "/":
            if current:
                cases.append(parse(current))
            current = []
        else:
            current.append(token)
    values = []
    for case in cases:
        out = run(*case)
        values.append(str(len(out)))
        values.extend(repr(float(v)) for v in out)
    print(" ".join(values))


if __name__ == "__main__":
    main()
