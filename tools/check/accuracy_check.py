#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause
"""Accuracy figures of a recorded NMEA log, computed apart from GPS Desk's own code.

Takes the position of every GGA sentence with a fix (one per second), turns it into metres
with the ellipsoid's radii of curvature at the first fix (meridian M, prime vertical N) —
a different route from the program's earth-centred conversion, exact to well under a
micrometre over a few metres — and prints the same figures the receiver test shows:
points, sigma east/north, CEP50 estimate 0.5887 (sE + sN), empirical CEP50 and CEP95
(linear interpolation between ranks), 2DRMS.

    tools/check/accuracy_check.py LOG      (needs python3-numpy)
"""
import math
import sys

import numpy as np

A = 6378137.0
F = 1 / 298.257223563
E2 = F * (2 - F)


def degrees(field, hemisphere, width):
    value = float(field[:width]) + float(field[width:]) / 60.0
    return -value if hemisphere in "SW" else value


def gga_positions(path):
    for line in open(path, encoding="latin-1"):
        line = line.strip()
        if not line.startswith("$") or line[3:6] != "GGA" or "*" not in line:
            continue
        body, checksum = line[1:].split("*", 1)
        total = 0
        for ch in body:
            total ^= ord(ch)
        if "%02X" % total != checksum[:2].upper():
            continue
        f = body.split(",")
        if len(f) < 10 or not f[6] or int(f[6]) == 0 or not f[2] or not f[4]:
            continue
        yield degrees(f[2], f[3], 2), degrees(f[4], f[5], 3), float(f[9] or 0)


def main():
    points = list(gga_positions(sys.argv[1]))
    lat0, lon0, h0 = points[0]
    s = math.sin(math.radians(lat0))
    w = math.sqrt(1 - E2 * s * s)
    m = A * (1 - E2) / w ** 3 + h0
    n = A / w + h0
    east = np.array([math.radians(lon - lon0) * n * math.cos(math.radians(lat0)) for _, lon, _ in points])
    north = np.array([math.radians(lat - lat0) * m for lat, _, _ in points])
    east -= east.mean()
    north -= north.mean()
    se, sn = east.std(), north.std()
    radii = np.hypot(east, north)
    print("points %d" % len(points))
    print("sigmaE %.6f sigmaN %.6f" % (se, sn))
    print("cep50_estimate %.6f" % (0.5887 * (se + sn)))
    print("cep50 %.6f" % np.percentile(radii, 50))
    print("cep95 %.6f" % np.percentile(radii, 95))
    print("drms2 %.6f" % (2 * math.sqrt(se * se + sn * sn)))


if __name__ == "__main__":
    main()
