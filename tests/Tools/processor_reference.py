"""The processor's signal path, computed from what it was sent, for the
checkers of the command tests.

Filter coefficients come from `orvel-cli biquads --json` (the integers in wire
order b0, -a1, b1, -a2, b2 at each filter address) or from the simulator's
packet log; strip gains and delays from the log (commands 6 and 8). Nothing
here uses the program's own response code.

The device's conventions: coefficients are fixed point with 1.0 = 2^31 / s
(s = 2 in slots 0 and 1, the pass filters; s = 8 in the equaliser's slots);
the channel of an address is its low byte (0 Low L .. 5 High R); a strip's
linear gain of 2^31 - 1 is the fader's +12.04 dB (3082 / 256 dB); strips 2
to 7 feed output stages that invert, so a negative linear gain there is a
signal of normal polarity; delays are whole samples at 96 kHz.
"""

import json

import numpy as np

SAMPLE_RATE = 96000.0
FULL_SCALE = 2147483647.0
FULL_SCALE_DB = 3082 / 256.0
CHANNELS = ["Low L", "Low R", "Mid L", "Mid R", "High L", "High R"]


class Wire:
    """What the device holds: the last value sent to each target."""

    def __init__(self):
        self.filters = {}  # address -> five integers, wire order
        self.strips = {}  # index -> (linear, mute)
        self.delays = {}  # index -> samples

    @staticmethod
    def from_log(path):
        wire = Wire()
        with open(path) as log:
            for line in log:
                line = line.strip()
                if not line:
                    continue
                packet = json.loads(line)
                if packet.get("dir") != "rx":
                    continue
                fields = packet.get("fields", {})
                if packet["type"] == 2:
                    wire.filters[int(fields["address"])] = [int(c) for c in fields["coefficients"]]
                elif packet["type"] == 6:
                    wire.strips[int(fields["index"])] = (int(fields["linear"]), int(fields["mute"]) != 0)
                elif packet["type"] == 8:
                    wire.delays[int(fields["index"])] = int(fields["samples"])
        return wire

    def take_biquads(self, path):
        """Replaces the filters by those `biquads --json` lists."""
        with open(path) as listing:
            entries = json.load(listing)
        self.filters = {int(e["address"]): [int(c) for c in e["coefficients"]] for e in entries if e.get("sent")}

    def chain(self, channel, hz):
        """The filter chain of a channel (0 .. 5) at the frequencies `hz`."""
        w = 2.0 * np.pi * np.asarray(hz, dtype=float) / SAMPLE_RATE
        z1 = np.exp(-1j * w)
        z2 = z1 * z1
        h = np.ones_like(z1)
        for address, c in sorted(self.filters.items()):
            if address & 0xFF != channel:
                continue
            scale = 2.0 if (address >> 8) < 2 else 8.0
            b0, na1, b1, na2, b2 = (v * scale / 2.0**31 for v in c)
            h = h * (b0 + b1 * z1 + b2 * z2) / (1.0 - na1 * z1 - na2 * z2)
        return h

    def strip_factor(self, index):
        """The signed factor a strip multiplies the signal by."""
        linear, mute = self.strips.get(index, (0, False))
        if mute or linear == 0:
            return 0.0
        magnitude = abs(linear) / FULL_SCALE * 10.0 ** (FULL_SCALE_DB / 20.0)
        inverted = (linear < 0) != (index >= 2)
        return -magnitude if inverted else magnitude

    def output(self, channel, hz):
        """Input strip, chain, delay and output strip of a channel."""
        w = 2.0 * np.pi * np.asarray(hz, dtype=float) / SAMPLE_RATE
        delay = np.exp(-1j * w * self.delays.get(channel, 0))
        return self.strip_factor(channel % 2) * self.chain(channel, hz) * delay * self.strip_factor(2 + channel)

    def side_sum(self, side, hz):
        return sum(self.output(2 * panel + side, hz) for panel in range(3))


def decibels(h):
    with np.errstate(divide="ignore"):
        return 20.0 * np.log10(np.abs(h))


def phase_difference(a_degrees, b_degrees):
    """Distance of two phases in degrees, wrapping taken into account."""
    d = (np.asarray(a_degrees) - np.asarray(b_degrees) + 180.0) % 360.0 - 180.0
    return np.abs(d)
