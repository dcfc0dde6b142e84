"""Checks a CamillaDSP configuration written by `orvel-cli export --format
camilladsp` against the version-3 configuration rules and against the
processor it describes.

    check_camilladsp.py CONFIG.yml WIRE.jsonl

CONFIG.yml is read with a YAML parser. The rules checked: the top-level keys;
devices with samplerate 96000, chunksize, a capture and a playback device of
a version-3 type with their fields and sample formats; every filter of a
known type with exactly the parameters its kind takes, of the right types
and in range (frequencies below half the sample rate); mixers with their
channel counts and a mapping whose destinations and sources fit them; a
pipeline of Filter steps with `channels` lists (not the old `channel` key)
and `names`, and Mixer steps, whose channel counts follow from capture
through the mixers to playback, every name used defined.

WIRE.jsonl is the simulator's log of a recall of the same configuration
file: the response of each playback channel through the pipeline, computed
here from the filters' definitions (the cookbook's biquads, first-order
bilinear sections, Butterworth combinations, gains, delays, the mixer), must
be that of the processor's output from its integers, strips and delays.
Exit 0 when everything holds, 1 otherwise, with what failed.
"""

import sys

import numpy as np
import yaml

import processor_reference as ref

TOP_LEVEL = {"title", "description", "devices", "mixers", "filters", "processors", "pipeline"}
DEVICE_OPTIONAL = {"queuelimit", "silence_threshold", "silence_timeout", "enable_rate_adjust", "target_level",
                   "adjust_period", "resampler", "capture_samplerate", "stop_on_rate_change", "rate_measure_interval",
                   "volume_ramp_time", "volume_limit", "multithreaded", "worker_threads"}
CAPTURE_TYPES = {"Alsa", "CoreAudio", "Wasapi", "Jack", "Pulse", "Bluez", "RawFile", "WavFile", "Stdin",
                 "SignalGenerator"}
PLAYBACK_TYPES = {"Alsa", "CoreAudio", "Wasapi", "Jack", "Pulse", "File", "Stdout"}
FORMATS = {"S16LE", "S24LE", "S24LE3", "S32LE", "FLOAT32LE", "FLOAT64LE"}
ALSA_CAPTURE = {"type", "channels", "device", "format", "stop_on_inactive", "link_volume_control",
                "link_mute_control", "labels"}
ALSA_PLAYBACK = {"type", "channels", "device", "format"}
# Biquad kinds: (required parameters, optional parameters).
BIQUADS = {
    "Free": ({"a1", "a2", "b0", "b1", "b2"}, set()),
    "Highpass": ({"freq", "q"}, set()),
    "Lowpass": ({"freq", "q"}, set()),
    "HighpassFO": ({"freq"}, set()),
    "LowpassFO": ({"freq"}, set()),
    "Peaking": ({"freq", "gain"}, {"q", "bandwidth"}),
    "LowshelfFO": ({"freq", "gain"}, set()),
    "HighshelfFO": ({"freq", "gain"}, set()),
    "Lowshelf": ({"freq", "gain"}, {"q", "slope"}),
    "Highshelf": ({"freq", "gain"}, {"q", "slope"}),
}
COMBOS = {"ButterworthHighpass", "ButterworthLowpass", "LinkwitzRileyHighpass", "LinkwitzRileyLowpass"}
# Playback channel responses must agree within these from 20 Hz to 20 kHz
# where the processor's output is within COMPARE_RANGE_DB of its largest
# value. (Below 20 Hz the truncated coefficients of a low high-pass show:
# 0.02 dB at 10 Hz for a 20 Hz one, which no parametric filter reproduces.)
COMPARE_RANGE_DB = 60.0
MAGNITUDE_TOLERANCE_DB = 0.01
PHASE_TOLERANCE_DEGREES = 0.05


class Problems:
    def __init__(self):
        self.items = []

    def __call__(self, where, what):
        self.items.append(f"{where}: {what}")


def is_number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool) and np.isfinite(v)


def check_keys(problems, where, value, required, optional=frozenset()):
    if not isinstance(value, dict):
        problems(where, f"expected a mapping, got {type(value).__name__}")
        return False
    for key in required - value.keys():
        problems(where, f"missing {key}")
    for key in value.keys() - required - optional:
        problems(where, f"unknown key {key}")
    return True


def check_devices(problems, devices):
    if not check_keys(problems, "devices", devices, {"samplerate", "chunksize", "capture", "playback"},
                      DEVICE_OPTIONAL):
        return 0, 0
    if devices.get("samplerate") != 96000 or isinstance(devices.get("samplerate"), bool):
        problems("devices.samplerate", f"expected 96000, got {devices.get('samplerate')!r}")
    if not isinstance(devices.get("chunksize"), int) or devices["chunksize"] <= 0:
        problems("devices.chunksize", "expected a positive integer")
    counts = []
    for kind, types, fields in (("capture", CAPTURE_TYPES, ALSA_CAPTURE), ("playback", PLAYBACK_TYPES, ALSA_PLAYBACK)):
        device = devices.get(kind, {})
        where = "devices." + kind
        if not isinstance(device, dict) or device.get("type") not in types:
            problems(where, f"type {device.get('type') if isinstance(device, dict) else device!r} is not one of {sorted(types)}")
            counts.append(0)
            continue
        if device["type"] == "Alsa":
            check_keys(problems, where, device, {"type", "channels", "device"}, fields - {"type", "channels", "device"})
            if not isinstance(device.get("device"), str) or not device.get("device"):
                problems(where + ".device", "expected a device name")
            if "format" in device and device["format"] not in FORMATS:
                problems(where + ".format", f"{device['format']!r} is not one of {sorted(FORMATS)}")
        channels = device.get("channels")
        if not isinstance(channels, int) or isinstance(channels, bool) or channels <= 0:
            problems(where + ".channels", "expected a positive integer")
            channels = 0
        counts.append(channels)
    return counts[0], counts[1]


def check_filter(problems, name, f, samplerate):
    where = f"filters.{name}"
    if not check_keys(problems, where, f, {"type", "parameters"}, {"description"}):
        return
    p = f["parameters"]
    kind = f["type"]
    if kind == "Biquad":
        sub = p.get("type") if isinstance(p, dict) else None
        if sub not in BIQUADS:
            problems(where, f"unknown Biquad type {sub!r}")
            return
        required, optional = BIQUADS[sub]
        check_keys(problems, where + ".parameters", p, required | {"type"}, optional)
        if sub == "Peaking" and len({"q", "bandwidth"} & p.keys()) != 1:
            problems(where, "Peaking takes q or bandwidth")
    elif kind == "BiquadCombo":
        sub = p.get("type") if isinstance(p, dict) else None
        if sub not in COMBOS:
            problems(where, f"unknown BiquadCombo type {sub!r}")
            return
        check_keys(problems, where + ".parameters", p, {"type", "freq", "order"})
        if not isinstance(p.get("order"), int) or p["order"] < 1:
            problems(where, "order must be a positive integer")
    elif kind == "Gain":
        check_keys(problems, where + ".parameters", p, {"gain"}, {"inverted", "mute", "scale"})
        if is_number(p.get("gain")) and abs(p["gain"]) > 150.0:
            problems(where, "gain beyond +-150 dB")
        if "scale" in p and p["scale"] not in ("dB", "linear"):
            problems(where, "scale is dB or linear")
    elif kind == "Delay":
        check_keys(problems, where + ".parameters", p, {"delay"}, {"unit", "subsample"})
        if "unit" in p and p["unit"] not in ("ms", "mm", "samples"):
            problems(where, "unit is ms, mm or samples")
        if is_number(p.get("delay")) and p["delay"] < 0:
            problems(where, "negative delay")
    else:
        problems(where, f"unexpected filter type {kind!r}")
        return
    for key, value in p.items():
        if key in ("type", "unit", "scale"):
            continue
        if key in ("inverted", "mute", "subsample"):
            if not isinstance(value, bool):
                problems(f"{where}.{key}", "expected true or false")
        elif key == "order":
            continue
        elif not is_number(value):
            problems(f"{where}.{key}", f"expected a number, got {value!r}")
    if is_number(p.get("freq")) and not 0.0 < p["freq"] < samplerate / 2.0:
        problems(where + ".freq", f"{p['freq']} is not between 0 and half the sample rate")
    if is_number(p.get("q")) and p["q"] <= 0.0:
        problems(where + ".q", "must be positive")


def check_mixer(problems, name, m):
    where = f"mixers.{name}"
    if not check_keys(problems, where, m, {"channels", "mapping"}, {"description"}):
        return None
    channels = m["channels"]
    if not check_keys(problems, where + ".channels", channels, {"in", "out"}):
        return None
    seen = set()
    for i, entry in enumerate(m["mapping"] if isinstance(m["mapping"], list) else []):
        w = f"{where}.mapping[{i}]"
        if not check_keys(problems, w, entry, {"dest", "sources"}, {"mute"}):
            continue
        if not isinstance(entry["dest"], int) or not 0 <= entry["dest"] < channels["out"]:
            problems(w, f"dest {entry['dest']!r} outside 0..{channels['out'] - 1}")
        if entry["dest"] in seen:
            problems(w, f"dest {entry['dest']} mapped twice")
        seen.add(entry["dest"])
        for j, source in enumerate(entry["sources"]):
            s = f"{w}.sources[{j}]"
            if not check_keys(problems, s, source, {"channel"}, {"gain", "inverted", "mute", "scale"}):
                continue
            if not isinstance(source["channel"], int) or not 0 <= source["channel"] < channels["in"]:
                problems(s, f"channel {source['channel']!r} outside 0..{channels['in'] - 1}")
            if "gain" in source and not is_number(source["gain"]):
                problems(s, "gain is a number")
            for flag in ("inverted", "mute"):
                if flag in source and not isinstance(source[flag], bool):
                    problems(s, f"{flag} is true or false")
    return channels["in"], channels["out"]


def check_pipeline(problems, config, capture, playback, mixers):
    channels = capture
    filters = config.get("filters") or {}
    pipeline = config.get("pipeline")
    if not isinstance(pipeline, list) or not pipeline:
        problems("pipeline", "expected a list of steps")
        return
    for i, step in enumerate(pipeline):
        where = f"pipeline[{i}]"
        kind = step.get("type") if isinstance(step, dict) else None
        if kind == "Filter":
            if "channel" in step:
                problems(where, "the old key 'channel': version 3 takes a 'channels' list")
            if not check_keys(problems, where, step, {"type", "channels", "names"}, {"description", "bypassed"}):
                continue
            if not isinstance(step["channels"], list) or not step["channels"]:
                problems(where, "channels must be a non-empty list")
            else:
                for c in step["channels"]:
                    if not isinstance(c, int) or not 0 <= c < channels:
                        problems(where, f"channel {c!r} outside 0..{channels - 1}")
            if not isinstance(step["names"], list) or not step["names"]:
                problems(where, "names must be a non-empty list")
            else:
                for n in step["names"]:
                    if n not in filters:
                        problems(where, f"filter {n!r} is not defined")
        elif kind == "Mixer":
            if not check_keys(problems, where, step, {"type", "name"}, {"description", "bypassed"}):
                continue
            if step["name"] not in mixers:
                problems(where, f"mixer {step['name']!r} is not defined")
                continue
            shape = mixers[step["name"]]
            if shape is None:
                continue
            if shape[0] != channels:
                problems(where, f"mixer takes {shape[0]} channels, the pipeline has {channels}")
            channels = shape[1]
        else:
            problems(where, f"unknown step type {kind!r}")
    if channels != playback:
        problems("pipeline", f"ends with {channels} channels, playback has {playback}")


def section(b0, b1, b2, a0, a1, a2, z1):
    z2 = z1 * z1
    return (b0 + b1 * z1 + b2 * z2) / (a0 + a1 * z1 + a2 * z2)


def biquad_response(p, z1, fs):
    """The cookbook's designs; first-order kinds by the same prewarped bilinear transform."""
    kind = p["type"]
    w0 = 2.0 * np.pi * p["freq"] / fs
    cs, sn, t = np.cos(w0), np.sin(w0), np.tan(w0 / 2.0)
    if kind in ("Highpass", "Lowpass", "Peaking"):
        alpha = sn / (2.0 * p["q"])
    if kind == "Highpass":
        return section((1 + cs) / 2, -(1 + cs), (1 + cs) / 2, 1 + alpha, -2 * cs, 1 - alpha, z1)
    if kind == "Lowpass":
        return section((1 - cs) / 2, 1 - cs, (1 - cs) / 2, 1 + alpha, -2 * cs, 1 - alpha, z1)
    if kind == "Peaking":
        a = 10.0 ** (p["gain"] / 40.0)
        return section(1 + alpha * a, -2 * cs, 1 - alpha * a, 1 + alpha / a, -2 * cs, 1 - alpha / a, z1)
    # First order: the analog prototype in s / (2 pi freq), s = (1 - z^-1) / (t (1 + z^-1)).
    if kind == "HighpassFO":  # s / (s + 1)
        return section(1.0, -1.0, 0.0, 1.0 + t, t - 1.0, 0.0, z1)
    if kind == "LowpassFO":  # 1 / (s + 1)
        return section(t, t, 0.0, 1.0 + t, t - 1.0, 0.0, z1)
    a = 10.0 ** (p["gain"] / 40.0)
    if kind == "LowshelfFO":  # (s + a) / (s + 1 / a): gain a^2 below the midpoint freq
        return section(1.0 + a * t, a * t - 1.0, 0.0, 1.0 + t / a, t / a - 1.0, 0.0, z1)
    if kind == "HighshelfFO":  # a^2 (s + 1 / a) / (s + a)
        return section(a * a * (1.0 + t / a), a * a * (t / a - 1.0), 0.0, 1.0 + a * t, a * t - 1.0, 0.0, z1)
    raise ValueError(f"no response for Biquad type {kind}")


def butterworth_response(p, z1, fs):
    high = p["type"] == "ButterworthHighpass"
    order = p["order"]
    h = np.ones_like(z1)
    for k in range(order // 2):
        q = 1.0 / (2.0 * np.sin(np.pi * (2 * k + 1) / (2 * order)))
        h = h * biquad_response({"type": "Highpass" if high else "Lowpass", "freq": p["freq"], "q": q}, z1, fs)
    if order % 2:
        h = h * biquad_response({"type": "HighpassFO" if high else "LowpassFO", "freq": p["freq"]}, z1, fs)
    return h


def filter_response(f, hz, fs):
    p = f["parameters"]
    w = 2.0 * np.pi * hz / fs
    z1 = np.exp(-1j * w)
    if f["type"] == "Biquad":
        return biquad_response(p, z1, fs)
    if f["type"] == "BiquadCombo":
        return butterworth_response(p, z1, fs)
    if f["type"] == "Gain":
        g = 10.0 ** (p["gain"] / 20.0) * (-1.0 if p.get("inverted") else 1.0)
        return np.full_like(z1, 0.0 if p.get("mute") else g)
    if f["type"] == "Delay":
        unit = p.get("unit", "ms")
        samples = p["delay"] if unit == "samples" else p["delay"] * fs / 1000.0
        return np.exp(-1j * w * samples)
    raise ValueError(f"no response for filter type {f['type']}")


def pipeline_responses(config, hz):
    """The response from each capture channel to each channel after the pipeline."""
    fs = config["devices"]["samplerate"]
    capture = config["devices"]["capture"]["channels"]
    # paths[c][i]: response from capture channel i to channel c.
    paths = [[np.full(len(hz), 1.0 + 0j) if i == c else np.zeros(len(hz), complex) for i in range(capture)]
             for c in range(capture)]
    for step in config["pipeline"]:
        if step["type"] == "Mixer":
            mixer = config["mixers"][step["name"]]
            mixed = [[np.zeros(len(hz), complex) for _ in range(capture)] for _ in range(mixer["channels"]["out"])]
            for entry in mixer["mapping"]:
                for source in entry["sources"]:
                    g = 0.0 if source.get("mute") else 10.0 ** (source.get("gain", 0.0) / 20.0)
                    g = -g if source.get("inverted") else g
                    for i in range(capture):
                        mixed[entry["dest"]][i] = mixed[entry["dest"]][i] + g * paths[source["channel"]][i]
            paths = mixed
        else:
            for c in step["channels"]:
                for name in step["names"]:
                    h = filter_response(config["filters"][name], hz, fs)
                    paths[c] = [path * h for path in paths[c]]
    return paths


def check_response(problems, config, wire):
    hz = np.geomspace(20.0, 20000.0, 400)
    paths = pipeline_responses(config, hz)
    for channel, name in enumerate(ref.CHANNELS):
        want = wire.output(channel, hz)
        side = channel % 2
        other = paths[channel][1 - side]
        if np.max(np.abs(other)) > 0.0:
            problems(f"playback {channel} ({name})", "takes the other side's input")
        got = paths[channel][side]
        silent_want, silent_got = np.max(np.abs(want)) == 0.0, np.max(np.abs(got)) == 0.0
        if silent_want or silent_got:
            if silent_want != silent_got:
                problems(f"playback {channel} ({name})", f"silent here {silent_got}, on the processor {silent_want}")
            print(f"{name}: silent in both")
            continue
        want_db, got_db = ref.decibels(want), ref.decibels(got)
        compared = want_db > np.max(want_db) - COMPARE_RANGE_DB
        db_error = np.max(np.abs(want_db - got_db)[compared])
        phase_error = np.max(ref.phase_difference(np.degrees(np.angle(got)), np.degrees(np.angle(want)))[compared])
        print(f"{name}: {int(np.sum(compared))} of {len(hz)} frequencies compared; largest differences "
              f"{db_error:.6f} dB, {phase_error:.6f} degrees")
        if db_error > MAGNITUDE_TOLERANCE_DB:
            problems(f"playback {channel} ({name})", f"magnitude differs from the processor's by {db_error:.4f} dB")
        if phase_error > PHASE_TOLERANCE_DEGREES:
            problems(f"playback {channel} ({name})", f"phase differs from the processor's by {phase_error:.4f} degrees")


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    with open(argv[1]) as text:
        config = yaml.safe_load(text)
    problems = Problems()
    if not check_keys(problems, "top level", config, {"devices", "pipeline"}, TOP_LEVEL - {"devices", "pipeline"}):
        print("\n".join(problems.items))
        return 1
    capture, playback = check_devices(problems, config["devices"])
    if capture != 2 or playback != 6:
        problems("devices", f"expected 2 capture and 6 playback channels, got {capture} and {playback}")
    for name, f in (config.get("filters") or {}).items():
        check_filter(problems, name, f, config["devices"].get("samplerate", 96000))
    mixers = {name: check_mixer(problems, name, m) for name, m in (config.get("mixers") or {}).items()}
    check_pipeline(problems, config, capture, playback, mixers)
    if not problems.items:
        check_response(problems, config, ref.Wire.from_log(argv[2]))
    for item in problems.items:
        print("FAIL", item)
    print(f"{len(config.get('filters') or {})} filters, {len(config['pipeline'])} pipeline steps, "
          f"{len(problems.items)} problems")
    return 1 if problems.items else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
