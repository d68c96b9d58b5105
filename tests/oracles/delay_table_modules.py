"""Reference outputs of the table modules.

Arguments: MODE then numbers.
  lookup TYPE MINX MAXX N t_0 .. t_(N-1) x...: a table spread evenly over MINX .. MAXX read at every x, nearest
      entry (TYPE 0) or by np.interp (other types); x at or past an end gives that end's entry.
Prints one value per x.
"""
import sys

import numpy as np

args = sys.argv[1:]
mode = args[0]
if mode == "lookup":
    kind = int(args[1])
    lo, hi = float(args[2]), float(args[3])
    n = int(args[4])
    table = np.array([float(v) for v in args[5:5 + n]])
    xs = np.array([float(v) for v in args[5 + n:]])
    grid = np.linspace(lo, hi, n)
    out = []
    for x in xs:
        if x <= lo:
            out.append(table[0])
        elif x >= hi:
            out.append(table[-1])
        elif kind == 0:
            out.append(table[int(np.floor((x - lo) * (n - 1) / (hi - lo) + 0.5))])
        else:
            out.append(np.interp(x, grid, table))
    print(" ".join(repr(float(v)) for v in out))
elif mode == "lagrange":
    # lagrange F...: for each fraction F, the weights of the 4-point Lagrange polynomial through nodes -1, 0, 1, 2
    # at F (node 0 is the tap the fraction starts from).
    from scipy.interpolate import lagrange

    nodes = np.array([-1.0, 0.0, 1.0, 2.0])
    out = []
    for f in (float(v) for v in args[1:]):
        for j in range(4):
            unit = np.zeros(4)
            unit[j] = 1.0
            out.append(lagrange(nodes, unit)(f))
    print(" ".join(repr(float(v)) for v in out))
elif mode == "hermite":
    # hermite N x_0 y_0 .. x_(N-1) y_(N-1) x...: the curve through the points whose tangents are flat where the
    # neighbouring slopes change sign or one is zero, the slope where both are equal, otherwise the tangent of the
    # mean of their angles; end tangents 2 s - m of the next point in. Outside the points: the end values.
    from scipy.interpolate import CubicHermiteSpline

    n = int(args[1])
    pts = np.array([float(v) for v in args[2:2 + 2 * n]]).reshape(n, 2)
    xs = np.array([float(v) for v in args[2 + 2 * n:]])
    px, py = pts[:, 0], pts[:, 1]
    s = np.diff(py) / np.diff(px)
    m = np.zeros(n)
    for i in range(1, n - 1):
        a, b = s[i - 1], s[i]
        if a * b < 0 or a == 0 or b == 0:
            m[i] = 0.0
        elif a == b:
            m[i] = a
        else:
            m[i] = np.tan((np.arctan(a) + np.arctan(b)) / 2)
    if n == 2:
        m[:] = s[0]
    else:
        m[0] = 2 * s[0] - m[1]
        m[-1] = 2 * s[-1] - m[-2]
    curve = CubicHermiteSpline(px, py, m)
    out = [py[0] if x <= px[0] else py[-1] if x >= px[-1] else curve(x) for x in xs]
    print(" ".join(repr(float(v)) for v in out))
elif mode == "linear":
    # linear N x_0 y_0 .. x_(N-1) y_(N-1) x...: np.interp through the points (the end values outside them).
    n = int(args[1])
    pts = np.array([float(v) for v in args[2:2 + 2 * n]]).reshape(n, 2)
    xs = np.array([float(v) for v in args[2 + 2 * n:]])
    print(" ".join(repr(float(v)) for v in np.interp(xs, pts[:, 0], pts[:, 1])))
