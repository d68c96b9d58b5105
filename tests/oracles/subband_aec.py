"""The subband echo canceller as its equations state it, in double precision on complex numpy arrays.

Every subband has L complex taps W over its last L reference samples X (X[0] the newest) and a real variance P per
tap. Per block: e = d - W.X (the output), the taps decay by alpha and the variances by alpha^2, then each refinement
pass forms S = |e|^2 + sum |X|^2 P, predicts P = P0 + (1 - alpha^2)(|W|^2 + P), forms the new error with the taps of
before the pass, the gains K = P / (noise_scale S + 1e-19 + |X|^2 P), the taps W = W0 + K conj(X) e and the variances
P (1 - K |X|^2 / 2). The post-filter gain of a subband is 1 - sum K |X|^2, held to 0..1.

As a module other tests import:
  run(mic, ref, num_taps, noise_scale, alpha, iterations, ...) -> dict of output, taps, variances, gains, post_gains
  run_v1(mic, ref, num_taps, noise_scale, alpha, iterations, ...) -> output
mic and ref are complex arrays of blocks x subbands.

As a script (random subband data from a seed; the microphone is the reference through a random echo path of a few
taps plus near-end noise):
  subband_aec.py blocks subbands taps iterations noise_scale alpha min_variance freeze_from freeze_to seed
prints the microphone and reference blocks (re, im per subband), the output blocks, then the final taps
(subband-major, re, im), variances, and the post-filter gains of the last block. min_variance "none" has no floor;
blocks freeze_from <= b < freeze_to run frozen.
"""
import sys

import numpy as np


def open_ties(points):
    """The residual-echo table with every tie of two equal x values opened, left to right."""
    p = [list(map(float, xy)) for xy in points]
    n = len(p)
    for i in range(n - 1):
        if p[i][0] != p[i + 1][0]:
            continue
        if i == 0:
            p[0][0] -= abs(p[0][0]) * 0.01 or 0.01
        elif i == n - 2:
            p[i + 1][0] = p[i][0] + (abs(p[i][0]) * 0.01 or 0.01)
        else:
            p[i][0] += 0.01 * (p[i - 1][0] - p[i][0])
    return p


def post_filter(gains, points):
    """Linear gains through the table of (x, y) points in dB, straight lines between them, ends held."""
    p = np.array(open_ties(points))
    db = 20.0 * np.log10(np.maximum(gains, 1e-300))
    return 10.0 ** (np.interp(db, p[:, 0], p[:, 1]) / 20.0)


def run(mic, ref, num_taps, noise_scale, alpha, iterations, min_variance=None, freeze=None, post_table=None,
        initial_variance=1.0):
    mic = np.asarray(mic, dtype=complex)
    ref = np.asarray(ref, dtype=complex)
    blocks, subbands = mic.shape
    L = num_taps
    W = np.zeros((subbands, L), complex)
    P = np.full((subbands, L), float(initial_variance))
    X = np.zeros((subbands, L), complex)
    K = np.zeros((subbands, L))
    a2 = alpha * alpha
    output = np.zeros((blocks, subbands), complex)
    post = np.ones((blocks, subbands))
    for b in range(blocks):
        if L > 0:
            X = np.roll(X, 1, axis=1)
            X[:, 0] = ref[b]
        power = np.abs(X) ** 2
        d = mic[b]
        e = d - (W * X).sum(axis=1)
        output[b] = e
        if freeze is None or not freeze[b]:
            W = alpha * W
            W0 = W.copy()
            P = a2 * P
            P0 = P.copy()
            for _ in range(max(iterations, 0)):
                s = np.abs(e) ** 2 + (power * P).sum(axis=1)
                P = P0 + (1.0 - a2) * (np.abs(W) ** 2 + P)
                if min_variance is not None:
                    P = np.maximum(P, min_variance)
                e = d - (W * X).sum(axis=1)
                K = P / ((noise_scale * s + 1e-19)[:, None] + power * P)
                W = W0 + K * np.conj(X) * e[:, None]
                P = P * (1.0 - 0.5 * K * power)
        post[b] = np.clip(1.0 - (K * power).sum(axis=1), 0.0, 1.0) if L > 0 else 1.0
    if post_table is not None:
        output = output * post_filter(post, post_table)
    return {"output": output, "taps": W, "variances": P, "gains": K, "post_gains": post}


def run_v1(mic, ref, num_taps, noise_scale, alpha, iterations, **options):
    return run(mic, ref, num_taps, noise_scale, alpha, iterations, **options)["output"]


def random_case(blocks, subbands, seed):
    rng = np.random.default_rng(seed)
    shape = (blocks, subbands)
    ref = (rng.standard_normal(shape) + 1j * rng.standard_normal(shape)).astype(np.complex64)
    path = (rng.standard_normal((subbands, 3)) + 1j * rng.standard_normal((subbands, 3))) * 0.5
    echo = np.zeros(shape, complex)
    for k in range(3):
        echo[k:] += path[:, k] * ref[: blocks - k]
    noise = 0.05 * (rng.standard_normal(shape) + 1j * rng.standard_normal(shape))
    mic = (echo + noise).astype(np.complex64)
    return mic.astype(complex), ref.astype(complex)


def interleaved(z):
    return np.stack([z.real, z.imag], axis=-1).ravel()


def main(args):
    blocks, subbands, taps, iterations = (int(a) for a in args[:4])
    noise_scale, alpha = float(args[4]), float(args[5])
    min_variance = None if args[6] == "none" else float(args[6])
    freeze_from, freeze_to, seed = (int(a) for a in args[7:10])
    mic, ref = random_case(blocks, subbands, seed)
    freeze = [freeze_from <= b < freeze_to for b in range(blocks)]
    r = run(mic, ref, taps, noise_scale, alpha, iterations, min_variance, freeze)
    values = [interleaved(mic), interleaved(ref), interleaved(r["output"]), interleaved(r["taps"]),
              r["variances"].ravel(), r["post_gains"][-1]]
    print(" ".join(repr(float(v)) for v in np.concatenate(values)))


if __name__ == "__main__":
    main(sys.argv[1:])
