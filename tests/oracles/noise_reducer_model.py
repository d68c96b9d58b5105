"""Reference model of the subband noise reducer, written from its equations, in single precision like the module.

Per subband and block: a first-order low-pass of the input power, a noise floor that rises by a small step toward a
louder power and falls at once to a quieter one, a-posteriori and decision-directed a-priori ratios, a gain read from
a 10 x 10 table by bilinear interpolation, a first-order low-pass of the gain held above a floor, and a low-pass of the
output power that feeds the next a-priori ratio. Coefficients come from scipy, not from the module.

Importable: `run_scnr(blocks, sample_rate, min_gain_db, over_estimate)` takes complex blocks (blocks x subbands) and
returns the output blocks.

Command line:
  set RATE MIN_GAIN_DB [RATE MIN_GAIN_DB ...]
                                prints what Set writes into variables 2..14, in double precision, per pair
  model SEED NSUB BLOCKS RATE MIN_GAIN_DB BETA [V2 .. V14]
                                prints the input (re, im per subband per block), then per block the output (re, im)
                                and the states powerState, outPowerState, gainState, noiseFloor, outPower; given
                                variables 2..14 (as the module holds them) take the place of the derived ones
  invariance SEED NSUB BLOCKS RATE MIN_GAIN_DB BETA
                                prints, for input scales 1e-3, 1 and 1e3, the output-to-input energy in dB, first with
                                the excess power held at or above 0, then with it also held at or below 1; then the
                                input as the model mode prints it
"""
import sys

import numpy as np

GAIN_TABLE = np.array([
    [0.23835, 0.35461, 0.4557, 0.55078, 0.64309, 0.73416, 0.82476, 0.91536, 1.0062, 1.0975],
    [0.18066, 0.27959, 0.37159, 0.46221, 0.5531, 0.64484, 0.73758, 0.83133, 0.92602, 1.0215],
    [0.15539, 0.24879, 0.33944, 0.43088, 0.52377, 0.6181, 0.71369, 0.8103, 0.90772, 1.0058],
    [0.14091, 0.23232, 0.32354, 0.41662, 0.51154, 0.60793, 0.70541, 0.80367, 0.90249, 1.0017],
    [0.13151, 0.22238, 0.3147, 0.40936, 0.50587, 0.60364, 0.70224, 0.80137, 0.90084, 1.0005],
    [0.12494, 0.21595, 0.30945, 0.40543, 0.50307, 0.60172, 0.70096, 0.80053, 0.90029, 1.0002],
    [0.12013, 0.2116, 0.3062, 0.40321, 0.50164, 0.60083, 0.70042, 0.80021, 0.9001, 1.0001],
    [0.11648, 0.20856, 0.30413, 0.40193, 0.50089, 0.60041, 0.70018, 0.80008, 0.90004, 1.0],
    [0.11364, 0.20639, 0.30278, 0.40117, 0.50049, 0.6002, 0.70008, 0.80003, 0.90001, 1.0],
    [0.11139, 0.20481, 0.30189, 0.40072, 0.50027, 0.6001, 0.70004, 0.80003, 0.90001, 1.0],
], dtype=np.float32).ravel()

F = np.float32


def set_values(sample_rate, min_gain_db):
    """Variables 2..14 as Set derives them, in double precision, indexed by variable number."""
    from scipy import signal
    r = float(sample_rate)
    rise_ms = 2000.0
    rise = 1.0 if rise_ms * r < 100.0 else float(-np.expm1(-1000.0 / (rise_ms * r)))
    pb, pa = signal.butter(1, 12.0, btype="low", fs=r)
    gb, ga = signal.butter(1, 5.0, btype="low", fs=r)
    return {
        2: 10.0 ** (min_gain_db * 0.05), 3: rise_ms, 4: rise,
        5: 12.0, 6: pb[0], 7: pb[1], 8: pa[1],
        9: 5.0, 10: gb[0], 11: gb[1], 12: ga[1],
        13: 0.3119, 14: float(np.exp(-1.0 / (0.3119 * r))),
    }


def _steps(blocks, sample_rate, min_gain_db, over_estimate, excess_ceiling=None, values=None):
    """Yields (output block, states) per input block; `values` (variables 2..14) replace the derived ones."""
    if values is None:
        values = set_values(sample_rate, min_gain_db)
    v = {k: F(x) for k, x in values.items()}
    beta = F(over_estimate)
    c, lam, min_gain = v[4], v[14], v[2]
    pb0, pb1, pa1, gb0, gb1, ga1 = v[6], v[7], v[8], v[10], v[11], v[12]
    nsub = blocks.shape[1]
    power_state, out_power_state, gain_state, floor, out_power = (np.zeros(nsub, F) for _ in range(5))
    for x in blocks:
        re, im = x.real.astype(F), x.imag.astype(F)
        w = (re * re + im * im) - pa1 * power_state
        p = np.abs(pb0 * w + pb1 * power_state)
        power_state = w
        floor = np.where(p > floor, (F(1) - c) * floor + c * p, p)
        s = np.maximum(p - beta * floor, F(0))
        if excess_ceiling is not None:
            s = np.minimum(s, F(excess_ceiling))
        n = beta * floor + F(3e-10)
        q = lam * out_power + (F(1) - lam) * s
        with np.errstate(divide="ignore", invalid="ignore"):
            gamma = np.nan_to_num(np.clip(s / n, F(0.04), F(30)), nan=0.04)
            rho = np.nan_to_num(np.clip(q / (q + n), F(0), F(1)), nan=0.0)
        u = np.clip((gamma * F(0.066) - F(0.0031000375747680664)) * F(4.5), F(0), F(8.9991))
        vv = np.clip(rho * F(9), F(0), F(8.9991))
        iu, iv = np.floor(u).astype(int), np.floor(vv).astype(int)
        fu, fv = u - iu.astype(F), vv - iv.astype(F)
        i = 10 * iv + iu
        t = GAIN_TABLE
        g = (F(1) - fu) * ((F(1) - fv) * t[i] + fv * t[i + 10]) + fu * ((F(1) - fv) * t[i + 1] + fv * t[i + 11])
        wg = g - ga1 * gain_state
        gain = np.maximum(gb0 * wg + gb1 * gain_state, min_gain)
        gain_state = wg
        y_re, y_im = gain * re, gain * im
        wo = (y_re * y_re + y_im * y_im) - pa1 * out_power_state
        out_power = pb0 * wo + pb1 * out_power_state
        out_power_state = wo
        yield (y_re + 1j * y_im).astype(np.complex64), (power_state, out_power_state, gain_state, floor, out_power)


def run_scnr(blocks, sample_rate, min_gain_db, over_estimate, excess_ceiling=None):
    """Output blocks (complex64, blocks x subbands) of the reducer on complex input blocks."""
    blocks = np.asarray(blocks, dtype=np.complex64)
    return np.array([y for y, _ in _steps(blocks, sample_rate, min_gain_db, over_estimate, excess_ceiling)],
                    dtype=np.complex64).reshape(blocks.shape)


def subband_blocks(seed, nsub, count):
    """Stationary noise of a different level per subband (powers about 0.1 to 10), with bursts 10 to 30 dB above it
    that switch on and off every 10 to 40 blocks, each subband on its own pattern."""
    rng = np.random.default_rng(seed)
    level = 10.0 ** rng.uniform(-0.5, 0.5, nsub)
    noise = (rng.standard_normal((count, nsub)) + 1j * rng.standard_normal((count, nsub))) * level / np.sqrt(2)
    bursts = np.zeros((count, nsub))
    for k in range(nsub):
        b, on = 0, False
        while b < count:
            run = int(rng.integers(10, 41))
            if on:
                bursts[b:b + run, k] = 10.0 ** (rng.uniform(10, 30) / 20.0) * level[k]
            on, b = not on, b + run
    phase = np.exp(2j * np.pi * rng.uniform(0, 1, (count, nsub)))
    return (noise + bursts * phase).astype(np.complex64)


def energy_db(x, y):
    return 10.0 * np.log10(np.sum(np.abs(y.astype(np.complex128)) ** 2) / np.sum(np.abs(x.astype(np.complex128)) ** 2))


def main(argv):
    mode, args = argv[0], [float(a) for a in argv[1:]]
    if mode == "set":
        for i in range(0, len(args), 2):
            values = set_values(args[i], args[i + 1])
            print(" ".join(repr(float(values[k])) for k in range(2, 15)))
        return
    seed, nsub, count, rate, min_gain_db, beta = int(args[0]), int(args[1]), int(args[2]), *args[3:6]
    x = subband_blocks(seed, nsub, count)
    if mode == "model":
        values = dict(zip(range(2, 15), args[6:19])) if len(args) >= 19 else None
        print(" ".join(repr(float(a)) for a in x.view(np.float32).ravel()))
        for y, states in _steps(x, rate, min_gain_db, beta, values=values):
            print(" ".join(repr(float(a)) for a in y.astype(np.complex64).view(np.float32)))
            for st in states:
                print(" ".join(repr(float(a)) for a in st))
    elif mode == "invariance":
        for ceiling in (None, 1.0):
            print(" ".join(repr(energy_db(s * x, run_scnr(s * x, rate, min_gain_db, beta, ceiling)))
                           for s in (1e-3, 1.0, 1e3)))
        print(" ".join(repr(float(a)) for a in x.view(np.float32).ravel()))


if __name__ == "__main__":
    main(sys.argv[1:])
