"""Checks `orvel-cli response --sum --csv` against an independent computation.

    check_summed_response.py BIQUADS.json WIRE.jsonl RESPONSE.csv

BIQUADS.json is what `biquads --json` printed, WIRE.jsonl the simulator's log
of a recall of the same file (strip gains and delays), RESPONSE.csv the sum
to check. The sum is computed here with numpy from those integers; its group
delay by a numerical derivative of the unwrapped phase (central differences
on a fine grid), so that it does not share the analytic method it checks.
Exit 0 when every column agrees within the tolerances below, 1 otherwise.
"""

import csv
import sys

import numpy as np

import processor_reference as ref

# Where the sum is within this of its largest value, phase and group delay
# are well defined and compared; below it only the magnitude is.
COMPARE_RANGE_DB = 60.0
MAGNITUDE_TOLERANCE_DB = 0.0002  # the CSV has 4 decimals
PHASE_TOLERANCE_DEGREES = 0.002  # 3 decimals
GROUP_DELAY_TOLERANCE_MS = 1e-4  # 0.1 us
GROUP_DELAY_RELATIVE = 1e-4


def numerical_group_delay_ms(wire, side, hz):
    """-d(phase)/d(omega) by central differences of the unwrapped phase."""
    step = hz * 1e-5
    phases = np.unwrap(np.angle(np.stack([wire.side_sum(side, hz - step), wire.side_sum(side, hz + step)])), axis=0)
    d_omega = 2.0 * np.pi * 2.0 * step / ref.SAMPLE_RATE
    return -(phases[1] - phases[0]) / d_omega / ref.SAMPLE_RATE * 1000.0


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    wire = ref.Wire.from_log(argv[2])
    wire.take_biquads(argv[1])
    with open(argv[3]) as table:
        rows = list(csv.reader(table))
    header, rows = rows[0], rows[1:]
    hz = np.array([float(r[0]) for r in rows])
    failures = 0
    for column, name in enumerate(header):
        if not name.startswith("Sum ") or " " in name[4:]:
            continue
        side = 0 if name == "Sum L" else 1
        magnitude = np.array([float(r[column]) for r in rows])
        phase = np.array([float(r[column + 1]) for r in rows])
        delay = np.array([float(r[column + 2]) for r in rows])
        h = wire.side_sum(side, hz)
        want_db = ref.decibels(h)
        want_phase = np.degrees(np.angle(h))
        want_delay = numerical_group_delay_ms(wire, side, hz)
        defined = want_db > np.max(want_db) - COMPARE_RANGE_DB
        db_errors = np.abs(np.maximum(magnitude, -200) - np.maximum(want_db, -200))
        db_error = np.max(db_errors)
        phase_error = np.max(ref.phase_difference(phase, want_phase)[defined])
        delay_limit = GROUP_DELAY_TOLERANCE_MS + GROUP_DELAY_RELATIVE * np.abs(want_delay)
        delay_excess = np.max((np.abs(delay - want_delay) - delay_limit)[defined])
        print(f"{name}: {len(hz)} frequencies, {int(np.sum(defined))} with phase; largest differences: "
              f"{db_error:.6f} dB, {phase_error:.6f} degrees, "
              f"{np.max(np.abs(delay - want_delay)[defined]) * 1000.0:.6f} us group delay; "
              f"group delay from {np.min(want_delay[defined]):.4f} to {np.max(want_delay[defined]):.4f} ms")
        if db_error > MAGNITUDE_TOLERANCE_DB:
            print(f"  magnitude differs by {db_error} dB")
            failures += 1
        if phase_error > PHASE_TOLERANCE_DEGREES:
            print(f"  phase differs by {phase_error} degrees")
            failures += 1
        if delay_excess > 0.0:
            print(f"  group delay differs beyond its tolerance by {delay_excess} ms")
            failures += 1
        if not np.any(defined):
            print("  the sum is silent everywhere")
            failures += 1
    if not any(n.startswith("Sum ") for n in header):
        print("no Sum column in", header)
        failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
