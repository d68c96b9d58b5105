#!/usr/bin/python3
"""Writes ButterworthTables.cpp: the Butterworth prototypes of orders 1 to 10 that design_butterworth moves to any
cutoff.

Every prototype has its cutoff at a quarter of the half band (w = pi/4, fs/8) and is made by the bilinear transform
with prewarping, K = tan(pi/8). Sections come in biquad order (b0, b1, b2, a1, a2); an odd order starts with its
first-order section, and the second-order sections follow by increasing pole radius (increasing a2). The first
section carries the whole gain; every later section has a numerator with b0 = 1. Each value is rounded to float.

- Lowpass: unity gain at DC; later numerators 1, 2, 1.
- Highpass: unity gain at the Nyquist frequency; later numerators 1, -2, 1. Same denominators as the lowpass.
- Allpass: same denominators as the lowpass. An odd order is the sum of its lowpass and highpass: the sections
  whose poles that sum cancels get their own denominator as numerator, the others their mirrored (allpass)
  numerator. An even order is the product of every section's own allpass.

Run: /usr/bin/python3 gen_butterworth_tables.py  (rewrites ButterworthTables.cpp beside this script)
"""
import os

import numpy as np

ORDERS = range(1, 11)
K = np.tan(np.pi / 8)


def denominators(order):
    """(a1, a2) of each section: the first-order one first (odd orders), then by increasing a2."""
    first = [((K - 1) / (K + 1), 0.0)] if order % 2 else []
    pairs = []
    for k in range(1, order // 2 + 1):
        # Analog factor s^2 + d s + 1 of the Butterworth polynomial, through s = (1 - z^-1) / (K (1 + z^-1)).
        d = 2 * np.sin((2 * k - 1) * np.pi / (2 * order))
        a0 = 1 + d * K + K * K
        pairs.append((2 * (K * K - 1) / a0, (1 - d * K + K * K) / a0, k))
    pairs.sort(key=lambda p: p[1])
    return first + [(a1, a2) for a1, a2, _ in pairs], [k for _, _, k in pairs]


def section_gain(a1, a2, at_dc):
    """Gain that gives the section unity at DC (lowpass) or at the Nyquist frequency (highpass)."""
    if a2 == 0.0:
        return (1 + a1) / 2 if at_dc else (1 - a1) / 2
    return (1 + a1 + a2) / 4 if at_dc else (1 - a1 + a2) / 4


def lowpass_or_highpass(order, lowpass):
    dens, _ = denominators(order)
    sign = 1 if lowpass else -1
    gain = np.prod([section_gain(a1, a2, lowpass) for a1, a2 in dens])
    sections = []
    for i, (a1, a2) in enumerate(dens):
        g = gain if i == 0 else 1.0
        if a2 == 0.0:
            sections.append([g, sign * g, 0.0, a1, 0.0])
        else:
            sections.append([g, sign * 2 * g, g, a1, a2])
    return sections


def allpass(order):
    dens, ks = denominators(order)
    numerators = []
    if order % 2:
        numerators.append([1.0, dens[0][0], 0.0])
        for (a1, a2), k in zip(dens[1:], ks):
            # The pole pair at angle j pi / order (j = (order + 2k - 1) / 2) is a root of 1 + s^order, and so is
            # cancelled by the sum of lowpass and highpass, when j is odd; otherwise the sum mirrors it.
            j = (order + 2 * k - 1) // 2
            numerators.append([1.0, a1, a2] if j % 2 else [a2, a1, 1.0])
    else:
        numerators = [[a2, a1, 1.0] for a1, a2 in dens]
    # Later numerators are scaled to b0 = 1; the first section takes up the gain they shed.
    gain = np.prod([n[0] for n in numerators[1:]])
    sections = []
    for i, ((a1, a2), n) in enumerate(zip(dens, numerators)):
        scale = gain if i == 0 else 1.0 / n[0]
        sections.append([n[0] * scale, n[1] * scale, n[2] * scale, a1, a2])
    return sections


def response(sections, w):
    z1 = np.exp(-1j * w)
    h = np.ones_like(z1)
    for b0, b1, b2, a1, a2 in sections:
        h *= (b0 + b1 * z1 + b2 * z1 * z1) / (1 + a1 * z1 + a2 * z1 * z1)
    return h


def check(order, lp, hp, ap):
    """The designs meet their own definitions before they are written."""
    w = np.linspace(0.01, np.pi - 0.01, 64)
    hl, hh, ha = response(lp, w), response(hp, w), response(ap, w)
    cutoff = response(lp, np.array([np.pi / 4]))
    assert abs(abs(cutoff[0]) - np.sqrt(0.5)) < 1e-12, order
    assert abs(response(lp, np.array([0.0]))[0] - 1) < 1e-12, order
    assert abs(response(hp, np.array([np.pi]))[0] - 1) < 1e-12, order
    assert np.allclose(np.abs(hl) ** 2 + np.abs(hh) ** 2, 1, atol=1e-12), order
    assert np.allclose(np.abs(ha), 1, atol=1e-12), order
    if order % 2:
        assert np.allclose(ha, hl + hh, atol=1e-12), order
    else:
        own = [[a2, a1, 1.0, a1, a2] for _, _, _, a1, a2 in lp]
        assert np.allclose(ha, response(own, w), atol=1e-12), order


def literal(value):
    """The float-rounded value as an exact hexadecimal literal."""
    f = float(np.float32(value))
    if f == 0.0:
        return "0.0"
    mantissa, exponent = f.hex().split("p")
    return mantissa.rstrip("0").rstrip(".") + "p" + exponent


def table(name, designs):
    lines = []
    for order in ORDERS:
        lines.append(f"static const LongDouble {name}{order:02d}[{5 * ((order + 1) // 2)}] = {{")
        for s in designs[order]:
            lines.append("    // " + ", ".join(f"{float(np.float32(v)):.9g}" for v in s))
            lines.append("    " + ", ".join(literal(v) for v in s) + ",")
        lines.append("};")
    lines.append(f"const LongDouble *const {name}[10] = {{")
    for first in (1, 6):
        lines.append("    " + ", ".join(f"{name}{order:02d}" for order in range(first, first + 5)) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    lowpass, highpass, allpasses = {}, {}, {}
    for order in ORDERS:
        lowpass[order] = lowpass_or_highpass(order, True)
        highpass[order] = lowpass_or_highpass(order, False)
        allpasses[order] = allpass(order)
        check(order, lowpass[order], highpass[order], allpasses[order])
    text = "\n".join([
        "// Generated by gen_butterworth_tables.py; do not edit. Rerun the script to change the prototypes.",
        "#include \"Dsp/Designs/ButterworthTables.h\"",
        "",
        table("butter_lpf_coeffs", lowpass),
        "",
        table("butter_hpf_coeffs", highpass),
        "",
        table("butter_apf_coeffs", allpasses),
        "",
    ])
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "ButterworthTables.cpp")
    with open(out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
