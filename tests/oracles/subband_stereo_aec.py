"""The two-reference subband echo canceller as a state-space model, in double precision.

Every tap of every subband holds a pair of complex coefficients w = (w1, w2), one per reference channel, observed
through the pair of reference samples h = (x1, x2) it weights (the microphone is d = sum of h^T w over the taps plus
noise), and a 2x2 Hermitian covariance P of that pair. Per block and subband:

  - the reference pair enters tap 0 of the history; e = d - sum h^T w is the output;
  - w and P decay: w <- A w (kept as w'), P <- A^2 P (its diagonal kept as P0);
  - each refinement pass: S = |e|^2 + sum h^T P conj(h); the diagonal of P is predicted again,
    P_cc <- P0_cc + (1 - A^2)(|w_c|^2 + P_cc); D = noiseScale S + 1e-19; per tap the gain g = P conj(h) / (D + h^T P
    conj(h)); e = d - sum h^T w with the taps before the pass; w <- w' + g e; P <- P - g (h^T P);
  - the residual-echo gain is 1 - sum Re(h^T g) over the taps, from the last pass's gains.

Every variance starts at 1 and every cross term at 0.

  subband_stereo_aec.py seed nsub blocks taps noise_scale alpha iterations silent
      random subband signals (the second reference all zero when silent is 1), rounded to single precision; printed
      per block: the microphone (re, im per subband), the reference (re, im of x1 then x2 per subband), the output
      (re, im), the residual-echo gain, the taps (re, im of w1 then w2 per tap, subband after subband), the
      variances (P11, P22 per tap) and the cross terms (re, im of P12 per tap).

Other tests import run_stereo.
"""
import sys

import numpy as np


def run_stereo(mic, ref1, ref2, num_taps, noise_scale, alpha, iterations, states=None):
    """Runs the canceller over blocks of subband samples.

    mic, ref1, ref2: complex arrays (blocks, subbands). states: None, or a list that receives per block a dict of the
    taps w (subbands, taps, 2), the covariances P (subbands, taps, 2, 2) and the residual-echo gain. Returns the
    output before any post-filter (blocks, subbands) and the residual-echo gains (blocks, subbands).
    """
    mic = np.asarray(mic, dtype=complex)
    blocks, nsub = mic.shape
    refs = np.stack([np.asarray(ref1, dtype=complex), np.asarray(ref2, dtype=complex)], axis=-1)
    taps = max(int(num_taps), 0)
    a = float(alpha)
    w = np.zeros((nsub, taps, 2), dtype=complex)
    p = np.zeros((nsub, taps, 2, 2), dtype=complex)
    p[:, :, 0, 0] = 1.0
    p[:, :, 1, 1] = 1.0
    h = np.zeros((nsub, taps, 2), dtype=complex)
    g = np.zeros((nsub, taps, 2), dtype=complex)
    out = np.zeros((blocks, nsub), dtype=complex)
    post = np.ones((blocks, nsub))
    for t in range(blocks):
        d = mic[t]
        if taps > 0:
            h = np.roll(h, 1, axis=1)
            h[:, 0, :] = refs[t]
        e = d - np.einsum("ktc,ktc->k", h, w)
        out[t] = e
        w = a * w
        w_decayed = w.copy()
        p = a * a * p
        p0 = np.real(np.diagonal(p, axis1=2, axis2=3)).copy()
        for _ in range(iterations):
            s = np.abs(e) ** 2 + np.real(np.einsum("ktc,ktcd,ktd->kt", h, p, np.conj(h))).sum(axis=1)
            diag = p0 + (1.0 - a * a) * (np.abs(w) ** 2 + np.real(np.diagonal(p, axis1=2, axis2=3)))
            p[:, :, 0, 0] = diag[:, :, 0]
            p[:, :, 1, 1] = diag[:, :, 1]
            noise = noise_scale * s + 1e-19
            innovation = np.real(np.einsum("ktc,ktcd,ktd->kt", h, p, np.conj(h)))
            g = np.einsum("ktcd,ktd->ktc", p, np.conj(h)) / (noise[:, None] + innovation)[:, :, None]
            e = d - np.einsum("ktc,ktc->k", h, w)
            w = w_decayed + g * e[:, None, None]
            hp = np.einsum("ktc,ktcd->ktd", h, p)
            p = p - np.einsum("ktc,ktd->ktcd", g, hp)
            for c in range(2):
                p[:, :, c, c] = np.real(p[:, :, c, c])
        post[t] = 1.0 - np.real(np.einsum("ktc,ktc->k", g, h))
        if states is not None:
            states.append({"w": w.copy(), "p": p.copy(), "post": post[t].copy()})
    return out, post


def single(values):
    return np.asarray(values, dtype=np.float32).astype(float)


def main():
    seed, nsub, blocks, taps = (int(v) for v in sys.argv[1:5])
    noise_scale, alpha = float(sys.argv[5]), float(sys.argv[6])
    iterations, silent = int(sys.argv[7]), int(sys.argv[8])
    rng = np.random.default_rng(seed)

    def noise():
        return single(rng.standard_normal((blocks, nsub))) + 1j * single(rng.standard_normal((blocks, nsub)))

    ref1 = noise()
    ref2 = noise() * (0 if silent else 1)
    # A microphone that carries an echo of both references plus its own noise.
    path = rng.standard_normal((nsub, max(taps, 1), 2)) * 0.5 + 1j * rng.standard_normal((nsub, max(taps, 1), 2)) * 0.5
    echo = np.zeros((blocks, nsub), dtype=complex)
    for i in range(min(taps, blocks)):
        echo[i:] += path[:, i, 0] * ref1[: blocks - i] + path[:, i, 1] * ref2[: blocks - i]
    mic = single(echo.real + 0.1 * rng.standard_normal((blocks, nsub)))
    mic = mic + 1j * single(echo.imag + 0.1 * rng.standard_normal((blocks, nsub)))

    states = []
    out, post = run_stereo(mic, ref1, ref2, taps, single(noise_scale)[()], single(alpha)[()], iterations,
                           states=states)
    lines = []
    for t in range(blocks):
        row = [np.column_stack([mic[t].real, mic[t].imag]).ravel()]
        row.append(np.column_stack([ref1[t].real, ref1[t].imag, ref2[t].real, ref2[t].imag]).ravel())
        row.append(np.column_stack([out[t].real, out[t].imag]).ravel())
        row.append(post[t])
        w = states[t]["w"]
        p = states[t]["p"]
        row.append(np.stack([w.real, w.imag], axis=-1).ravel())
        row.append(np.real(np.stack([p[:, :, 0, 0], p[:, :, 1, 1]], axis=-1)).ravel())
        row.append(np.stack([p[:, :, 0, 1].real, p[:, :, 0, 1].imag], axis=-1).ravel())
        lines.append(" ".join("%.17g" % v for v in np.concatenate(row)))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
