#!/usr/bin/python3
"""How well standard peaks describe the processor's bells, by the two ways of
translating a bell's width: the analog one (the standard Q of the bell's
analog prototype, as the filter-settings export used to write it) and the
one exact at 96 kHz (that Q with the designs' tan(x) / x undone, as it
writes it now).

For every entry of the width table, gains of -15 .. +15 dB, both bell
variants and centres from 20 Hz to 20 kHz, the processor's bell (the closed
forms of its designs 5 and 6, unquantised) is compared between 20 Hz and
20 kHz with the standard peak of the translated Q: as an analog curve, and
as the 96 kHz biquad of the cookbook. Prints the largest differences in dB.

Run by hand (CI does not), with Debian's python3-numpy:
    /usr/bin/python3 scripts/bell_translation.py
"""

import numpy as np

P = 3.141592654
FS = 96000.0
T = 1.0 / FS
BANDWIDTH = 0.3023944391
Q_TABLE = [0.404, 0.422, 0.442, 0.464, 0.486, 0.511, 0.537, 0.565, 0.596, 0.63, 0.667, 0.707, 0.752, 0.801, 0.857,
           0.92, 0.991, 1.073, 1.169, 1.281, 1.415, 1.492, 1.578, 1.673, 1.781, 1.903, 2.041, 2.145, 2.388, 2.608,
           2.872, 3.194, 3.596, 4.319, 4.801, 5.765, 7.209, 8.653, 11.096, 12.981, 16.027, 17.31, 23.081, 28.852,
           34.623]
HZ = np.geomspace(20.0, 20000.0, 600)
Z1 = np.exp(-2j * np.pi * HZ / FS)


def db(b, a):
    return 20.0 * np.log10(np.abs((b[0] + b[1] * Z1 + b[2] * Z1 * Z1) / (a[0] + a[1] * Z1 + a[2] * Z1 * Z1)))


def bell(f, gain, q, variant):
    """The processor's designs 5 (variant 0) and 6, a0 not normalised."""
    a = 10.0 ** (gain / 20.0)
    t = np.tan(P * f * T)
    w = 2.0 * P * f
    k = w / t
    if variant == 0:
        g = (a - 1.0) / (a + 1.0)
        bw = w / (f * q * P * T / t * BANDWIDTH)
        m, e = k * (1.0 + g) * bw, k * (1.0 - g) * bw
    else:
        bw = w / (f * q * P * T / t)
        m, e = (a * bw * k, bw * k) if a >= 1.0 else (bw * k, bw / a * k)
    return [k * k + m + w * w, 2.0 * (w * w - k * k), k * k - m + w * w], [k * k + e + w * w, 2.0 * (w * w - k * k),
                                                                             k * k - e + w * w]


def analog_q(q, gain, variant):
    a = 10.0 ** (gain / 20.0)
    if variant == 0:
        g = (a - 1.0) / (a + 1.0)
        return BANDWIDTH * q / np.sqrt(1.0 - g * g)
    return q * 10.0 ** (-abs(gain) / 40.0)


def analog_peak_db(f, gain, q):
    a = 10.0 ** (gain / 40.0)
    s = 1j * HZ / f
    return 20.0 * np.log10(np.abs((s * s + s * a / q + 1.0) / (s * s + s / (a * q) + 1.0)))


def cookbook_peak_db(f, gain, q):
    a = 10.0 ** (gain / 40.0)
    w0 = 2.0 * np.pi * f / FS
    alpha = np.sin(w0) / (2.0 * q)
    return db([1.0 + alpha * a, -2.0 * np.cos(w0), 1.0 - alpha * a], [1.0 + alpha / a, -2.0 * np.cos(w0), 1.0 - alpha / a])


def main():
    worst = {"analog Q, analog curve": 0.0, "analog Q, 96 kHz biquad": 0.0, "exact Q, 96 kHz biquad": 0.0}
    for f in np.geomspace(20.0, 20000.0, 31):
        warp = P * f * T / np.tan(P * f * T)
        for q in Q_TABLE:
            for gain in (-15.0, -9.0, -3.0, 3.0, 9.0, 15.0):
                for variant in (0, 1):
                    device = db(*bell(f, gain, q, variant))
                    old = analog_q(q, gain, variant)
                    for name, curve in (("analog Q, analog curve", analog_peak_db(f, gain, old)),
                                        ("analog Q, 96 kHz biquad", cookbook_peak_db(f, gain, old)),
                                        ("exact Q, 96 kHz biquad", cookbook_peak_db(f, gain, old * warp))):
                        worst[name] = max(worst[name], float(np.max(np.abs(curve - device))))
    for name, value in worst.items():
        print(f"{name}: largest difference {value:.6f} dB")


if __name__ == "__main__":
    main()
