#!/usr/bin/python3
"""Reference values for the filter sections, made independently of the C++ code.

Each section is built the textbook way: the analogue prototype H(s) of the
design is written down as polynomials and taken to the z-plane with SciPy's
bilinear transform at the design's own bilinear constant (2 fs for the pass
filters, K = 2 pi f / tan(pi f T) for bells and shelves). The C++ code uses the
expanded closed forms instead, so agreement checks the algebra as well as the
arithmetic. Magnitudes come from scipy.signal.freqz.

Run by hand (CI never does), with Debian's python3-scipy:
    /usr/bin/python3 scripts/biquad_golden.py > tests/OrvelGUI/Core/data/biquad_golden.json
"""

import json
import math
import sys

import numpy as np
from scipy import signal

P = 3.141592654
P2 = 6.283185308
FS = 96000.0
T = 1.0 / 96000.0
PASS_SCALE = 2.0
EQ_SCALE = 8.0
BUTTERWORTH_Q = 0.707106781187
FLAT_Q = 2.41

Q_TABLE = [0.404, 0.422, 0.442, 0.464, 0.486, 0.511, 0.537, 0.565, 0.596, 0.63, 0.667, 0.707, 0.752, 0.801,
           0.857, 0.92, 0.991, 1.073, 1.169, 1.281, 1.415, 1.492, 1.578, 1.673, 1.781, 1.903, 2.041, 2.145,
           2.388, 2.608, 2.872, 3.194, 3.596, 4.319, 4.801, 5.765, 7.209, 8.653, 11.096, 12.981, 16.027, 17.31,
           23.081, 28.852, 34.623]

# slope -> ((order, Q, divisor) of biquad 0, of biquad 1); order 0 = flat bell.
SLOPES = {
    0: ((2, BUTTERWORTH_Q, 1.0), (0, BUTTERWORTH_Q, 1.0)),
    1: ((1, None, 1.0), (2, 1.0, 1.0)),
    2: ((2, 0.541196100146, 1.0), (2, 1.306562964876, 1.0)),
    3: ((1, None, 1.32267579991), (2, 0.691046625825, 1.44761713315)),
}

FREQUENCY_CODES = [10699, 21398, 32098, 41314, 52015, 56622]  # 20 Hz .. 20 kHz
GAINS = [-3840, -1546, 0, 1546, 3840]  # 1/256 dB: -15 .. +15 dB
WIDTHS = [0 << 8, 13 << 8, 30 << 8, 44 << 8]


def frequency_of(code):
    return 4.0 * 2.0 ** (code / 4608.0)


def prewarp(f):
    t = math.tan(P * f * T)
    return t, 2.0 * t * FS


def bell_constants(f):
    t = math.tan(P * f * T)
    w_big = P2 * f
    return t, w_big, w_big / t


def to_digital(b, a, constant, scale):
    """Bilinear transform with s = constant (1 - z^-1) / (1 + z^-1)."""
    bz, az = signal.bilinear(b, a, fs=constant / 2.0)
    bz = list(bz) + [0.0] * (3 - len(bz))
    az = list(az) + [0.0] * (3 - len(az))
    return [bz[0] / scale, bz[1] / scale, bz[2] / scale, -az[1] / scale, -az[2] / scale]


def pass_prototype(high_pass, order, f, q):
    _, w = prewarp(f)
    if order == 2:
        a = [1.0, w / q, w * w]
        b = [1.0, 0.0, 0.0] if high_pass else [0.0, 0.0, w * w]
    else:
        a = [1.0, w]
        b = [1.0, 0.0] if high_pass else [0.0, w]
    return b, a, 2.0 * FS


def bell_prototype(f, gain_db, q, variant):
    t, w_big, k = bell_constants(f)
    a_lin = 10.0 ** (gain_db / 20.0)
    if variant == 0:
        g = (a_lin - 1.0) / (a_lin + 1.0)
        bw = w_big / (f * q * P * T / t * 0.3023944391)
        return [1.0, (1.0 + g) * bw, w_big * w_big], [1.0, (1.0 - g) * bw, w_big * w_big], k
    bw = w_big / (f * q * P * T / t)
    boost, cut = (a_lin * bw, bw) if a_lin >= 1.0 else (bw, bw / a_lin)
    return [1.0, boost, w_big * w_big], [1.0, cut, w_big * w_big], k


def shelf_prototype(low, f, gain_db):
    _, w_big, k = bell_constants(f)
    a_lin = 10.0 ** (gain_db / 20.0)
    if low:
        return [1.0, a_lin / (a_lin + 1.0) * w_big * 2.0 * P], [1.0, 1.0 / (a_lin + 1.0) * w_big * 2.0 * P], k
    corner = w_big * 0.159
    return [a_lin / (a_lin + 1.0), corner], [1.0 / (a_lin + 1.0), corner], k


def pass_section(high_pass, slope, index, f):
    order, q, divisor = SLOPES[slope][index]
    if order == 0:
        b, a, c = bell_prototype(f, 0.0, q, 0)
    else:
        b, a, c = pass_prototype(high_pass, order, f / divisor, q)
    return to_digital(b, a, c, PASS_SCALE)


def eq_section(band_type, variant, gain_db, f, q):
    if band_type == 0:
        b, a, c = bell_prototype(f, gain_db, q, variant)
    elif band_type in (1, 6):
        b, a, c = shelf_prototype(True, f, gain_db if band_type == 1 else -9.0)
    elif band_type in (2, 7):
        b, a, c = shelf_prototype(False, f, gain_db if band_type == 2 else -9.0)
    elif band_type == 3:
        b, a, c = pass_prototype(False, 2, max(40.0, f), BUTTERWORTH_Q)
    elif band_type == 4:
        b, a, c = pass_prototype(True, 2, f, BUTTERWORTH_Q)
    else:
        raise ValueError(band_type)
    return to_digital(b, a, c, EQ_SCALE)


def flat_section(band_type, f, q):
    if band_type == 0:
        b, a, c = bell_prototype(f, 0.0, q, 0)
    elif band_type in (1, 2):
        b, a, c = shelf_prototype(band_type == 1, f, 0.0)
    else:
        b, a, c = bell_prototype(f, 0.0, FLAT_Q, 0)
    return to_digital(b, a, c, EQ_SCALE)


def quantise(section):
    # Truncation toward zero, as int() does.
    return [int(v * 2147483647.0) for v in section]


def magnitudes(section, scale, points):
    b = [section[0] * scale, section[1] * scale, section[2] * scale]
    a = [1.0, -section[3] * scale, -section[4] * scale]
    _, h = signal.freqz(b, a, worN=points, fs=FS)
    return [[p, 20.0 * math.log10(abs(v))] for p, v in zip(points, h)]


def probe_points(f):
    return [p for p in (f / 4.0, f / 2.0, f, 2.0 * f, 4.0 * f) if 1.0 <= p < FS / 2.0]


def main():
    cases = []
    for high_pass in (True, False):
        for slope in SLOPES:
            for index in (0, 1):
                for code in FREQUENCY_CODES:
                    f = frequency_of(code)
                    section = pass_section(high_pass, slope, index, f)
                    cases.append({"kind": "pass", "high_pass": high_pass, "slope": slope, "index": index,
                                  "frequency": code, "section": section, "quantised": quantise(section),
                                  "magnitude_db": magnitudes(section, PASS_SCALE, probe_points(f))})
    eq_types = [(0, 0), (0, 1), (1, 0), (2, 0), (3, 0), (4, 0), (6, 0), (7, 0)]
    for band_type, variant in eq_types:
        for code in FREQUENCY_CODES:
            for gain in GAINS:
                # Only bells have a width.
                for width in (WIDTHS if band_type == 0 else WIDTHS[1:2]):
                    f = frequency_of(code)
                    q = Q_TABLE[min(width >> 8, 44)]
                    section = eq_section(band_type, variant, gain * 0.00390625, f, q)
                    cases.append({"kind": "eq", "type": band_type, "variant": variant, "frequency": code,
                                  "gain": gain, "width": width, "section": section, "quantised": quantise(section),
                                  "magnitude_db": magnitudes(section, EQ_SCALE, probe_points(f))})
    for band_type in range(8):
        for code in FREQUENCY_CODES:
            f = frequency_of(code)
            section = flat_section(band_type, f, Q_TABLE[13])
            cases.append({"kind": "flat", "type": band_type, "frequency": code, "width": 13 << 8,
                          "section": section, "quantised": quantise(section),
                          "magnitude_db": magnitudes(section, EQ_SCALE, probe_points(f))})
    json.dump({"generator": "scripts/biquad_golden.py", "numpy": np.__version__,
               "cases": cases}, sys.stdout, indent=None, separators=(",", ":"))
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
