#!/usr/bin/env python3
"""Writes Source/Dsp/Asrc/AsrcTables.cpp: the sample-rate converter's 29 stored configurations.

Each set's interpolation prototype is a Kaiser-windowed sinc lowpass of taps x M values at the input rate x M,
passing to 18 kHz. Its stop band starts at 24 kHz for M >= 64 and at fin - 18 kHz for M <= 32 (there the
interpolator is followed by finer phases, so only the input's images need to go); the cut-off lies midway and
the window's beta is Kaiser's for the set's attenuation plus 2 dB, which holds the label with the listed tap
counts. The whole prototype is scaled so its rows sum to 0.8912 (-1 dB) on average: the response at the
multiples of the input rate lies in the stop band, so every row's sum is within 1e-4 of that without a
per-row correction. Rows are stored in Q1.31, row r tap j = h[j M + r] for r = 0 .. M + 2, h taken as 0 past
its end: the three rows after M - 1 continue the prototype, so interpolating across the last phase has no jump.

Every set takes one loop filter; the 48 kHz sets start from its stored state, the 51200 set from that state
scaled by 51200 / 48000, as its integrator start is.

The prototype is computed in plain double arithmetic (Python's math module, a fixed summation order), so the
output is the same on every run; numpy only checks the result. Rerun after any change:
/usr/bin/python3 tools/gen_asrc_tables.py
"""
import math
import os
from fractions import Fraction

import numpy as np

OUTPUT_RATE = 48000
PASSBAND = 18000.0
ROW_SUM = 0.8912
ROW_SUM_TOLERANCE = 1e-4
DESIGN_MARGIN_DB = 2.0
Q31 = 2 ** 31
VALUES_PER_LINE = 8

LABELS = (80, 100, 120, 140)
TAPS = {8: (28, 32, 36, 44), 16: (28, 32, 36, 44), 32: (28, 32, 36, 40)}
WIDE_TAPS = (44, 56, 64, 76)  # M = 64 and above

# The loop filter of every set, as decimal float literals; the state is the 48 kHz sets' starting state.
REG_A = ("0.9984256", "0.0011124931", "-0.0011124928", "0.99998367")
REG_B = ("-1.3799784e-08", "-2.2485723e-05", "-5.6303904e-09", "-1.9382094e-06")
REG_C = ("2.2485727e-05", "-1.9382176e-06")
REG_D = ("-2.9962355e-13", "-5.025505e-10")
REGSTATE = ("25245.156", "-219785.05")
INTEGRATOR_START = "-12641574.0"


def stored_sets():
    """(input rate, M, attenuation label in dB, taps per phase), in the header's order."""
    sets = []
    for m in (8, 16, 32, 64, 128, 256, 512):
        sets.extend((OUTPUT_RATE, m, label, taps) for label, taps in zip(LABELS, TAPS.get(m, WIDE_TAPS)))
    sets.append((51200, 64, 100, 56))
    return sets


def stopband_edge(fin, m):
    return 24000.0 if m >= 64 else fin - 18000.0


def stem(fin, m, label):
    return "QIRN_ASRC_%d_TO_%d_%dM_%03dDB" % (fin, OUTPUT_RATE, m, label)


def bessel_i0(x):
    """The modified Bessel function of order 0 by its power series, summed until the terms stop counting."""
    total, term, k = 1.0, 1.0, 0
    while term > total * 1e-18:
        k += 1
        term *= (x / (2.0 * k)) ** 2
        total += term
    return total


def kaiser_beta(attenuation):
    """Kaiser's window parameter for an attenuation above 50 dB, the only kind stored."""
    return 0.1102 * (attenuation - 8.7)


def prototype(fin, m, label, taps):
    """The scaled lowpass prototype, taps x M doubles, symmetric about its middle."""
    n_total = taps * m
    cutoff = (PASSBAND + stopband_edge(fin, m)) / 2.0
    c = 2.0 * cutoff / (fin * m)  # the cut-off as a fraction of the prototype's Nyquist rate
    beta = kaiser_beta(label + DESIGN_MARGIN_DB)
    i0_beta = bessel_i0(beta)
    half = []
    for n in range(n_total // 2):
        offset = n - (n_total - 1) / 2.0  # never 0: the length is even
        x = math.pi * c * offset
        ratio = 2.0 * offset / (n_total - 1)
        window = bessel_i0(beta * math.sqrt(1.0 - ratio * ratio)) / i0_beta
        half.append(c * math.sin(x) / x * window)
    h = half + half[::-1]
    scale = m * ROW_SUM / math.fsum(h)
    return [v * scale for v in h]


def coefficient_rows(h, m, taps):
    """Row r tap j = h[j M + r] in Q1.31 for r = 0 .. M + 2, h taken as 0 past its end."""
    words = [round(v * Q31) for v in h] + [0] * m
    return [[words[j * m + r] for j in range(taps)] for r in range(m + 3)]


def check(name, rows, fin, m, label):
    """Stops unless every row sums to 0.8912 and the stop band holds the label."""
    sums = np.array([math.fsum(row) for row in rows]) / Q31
    if np.abs(sums - ROW_SUM).max() > ROW_SUM_TOLERANCE:
        raise SystemExit("%s: a row sum is off by %g" % (name, np.abs(sums - ROW_SUM).max()))
    h = np.array(rows[:m], dtype=np.float64).T.reshape(-1)
    size = 1 << int(math.ceil(math.log2(8 * len(h))))
    response = np.abs(np.fft.rfft(h, size))
    freqs = np.arange(len(response)) * (fin * m / size)
    worst = 20.0 * np.log10(response[freqs >= stopband_edge(fin, m)].max() / response[0])
    if worst > -label:
        raise SystemExit("%s: stop band at %.1f dB, label %d dB" % (name, worst, label))


def nearest_float32(value):
    """The float32 nearest the exact value (a Fraction)."""
    guess = np.float32(float(value))
    neighbours = (np.nextafter(guess, np.float32(-np.inf)), guess, np.nextafter(guess, np.float32(np.inf)))
    return min(neighbours, key=lambda f: abs(Fraction(float(f)) - value))


def float_literal(value):
    """The shortest decimal that reads back as this float32, as a C float literal."""
    text = np.format_float_scientific(value, unique=True, trim="-") if value != 0 and (
        abs(value) < 1e-3 or abs(value) >= 1e8) else np.format_float_positional(value, unique=True, trim="0")
    if np.float32(text) != value:
        raise SystemExit("float literal %s does not read back as %r" % (text, value))
    return text + "f"


def given_floats(texts):
    """The float32 values of decimals the loop filter gives, checked to print back as given."""
    values = [nearest_float32(Fraction(t)) for t in texts]
    for text, value in zip(texts, values):
        if float_literal(value) != text + "f":
            raise SystemExit("%s prints as %s" % (text, float_literal(value)))
    return values


def scaled_floats(values, fin):
    return [nearest_float32(Fraction(float(v)) * fin / OUTPUT_RATE) for v in values]


def int_lines(values):
    return ["    " + " ".join("%d," % v for v in values[i:i + VALUES_PER_LINE])
            for i in range(0, len(values), VALUES_PER_LINE)]


def float_array(name, values):
    return 'extern "C" const float %s[%d] = {%s};' % (name, len(values), ", ".join(float_literal(v) for v in values))


def emit_set(fin, m, label, taps, loop):
    name = stem(fin, m, label)
    rows = coefficient_rows(prototype(fin, m, label, taps), m, taps)
    check(name, rows, fin, m, label)
    words = [w for row in rows for w in row]
    reg_a, reg_b, reg_c, reg_d, state, start = loop
    lines = ["// %d Hz to %d Hz, %d phases of %d taps, stop band from %d Hz at %d dB." % (
        fin, OUTPUT_RATE, m, taps, stopband_edge(fin, m), label),
        'extern "C" const int32_t %s_COEFF[%d] = {' % (name, len(words))]
    lines += int_lines(words)
    lines.append("};")
    for suffix, values in (("REG_A", reg_a), ("REG_B", reg_b), ("REG_C", reg_c), ("REG_D", reg_d),
                           ("REGSTATE", scaled_floats(state, fin))):
        lines.append(float_array(name + "_" + suffix, values))
    lines += [
        'extern "C" const qirn_asrc_props %s_PROPS = {' % name,
        "    .nominalStep = %dLL," % (m * 2 ** 32 * fin // OUTPUT_RATE),
        "    .coefficients = %s_COEFF," % name,
        "    .inputRate = %s," % float_literal(np.float32(fin)),
        "    .outputRate = %s," % float_literal(np.float32(OUTPUT_RATE)),
        "    .passbandEdge = %s," % float_literal(np.float32(PASSBAND)),
        "    .taps = %d," % taps,
        "    .phases = %d," % m,
        "    .rows = %d," % (m + 3),
        "    .coefficientCount = %d," % len(words),
    ]
    lines += ["    .%s = %s_%s," % (field, name, suffix) for field, suffix in (
        ("regA", "REG_A"), ("regB", "REG_B"), ("regC", "REG_C"), ("regD", "REG_D"), ("regState", "REGSTATE"))]
    lines += ["    .integratorStart = %s," % float_literal(scaled_floats([start], fin)[0]), "};", ""]
    return lines


def main():
    loop = (given_floats(REG_A), given_floats(REG_B), given_floats(REG_C), given_floats(REG_D),
            given_floats(REGSTATE), given_floats([INTEGRATOR_START])[0])
    lines = [
        "// Generated by tools/gen_asrc_tables.py; do not edit.",
        "// The sample-rate converter's stored configurations: Kaiser-windowed sinc prototypes in Q1.31, (M + 3) rows",
        "// of `taps` values, row r tap j = h[j M + r], each row summing to 0.8912, and the loop filter every set shares.",
        '#include "kve/kve_asrc.h"',
        "",
    ]
    for fin, m, label, taps in stored_sets():
        lines += emit_set(fin, m, label, taps, loop)
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Source", "Dsp", "Asrc", "AsrcTables.cpp")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "w") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
