#!/usr/bin/python3
"""NMR at equal payload rate: each signal of signals.py coded by each coder at a sweep of its own
settings (rates, or our variable-rate formats' qualities), each file one point, its payload rate
and its NMR. Per signal and coder, the NMR at the fixed payload rates is read off its points:
linear in log(rate) between the nearest measured point either side, never extrapolated ('-'
outside the points). Then, at each payload rate, every coder minus our constant-rate WMA v2:
the median over the signals and the worst signal (the most negative: where ours loses most).
Run through bench/quality/run --equal-payload, which installs, builds and checks first.

    equal_payload.py --host FILTERHOST --work FOLDER [--coders ours,ours-vbr,lame,opus,...]
                     [--signals castanets,plucked,...] [--jobs 1] [--picture FILE.png]

Coders: ours (the 44.1 kHz stereo CBR formats of the catalogue), ours-vbr (its quality-based
formats), lame, opus, vorbis, aac and wmav2 (FFmpeg's). The points are written to
FOLDER/equal-payload.json, and curves_picture.py draws them (into --picture, by default
FOLDER/curves.png).
"""

import argparse
import concurrent.futures
import json
import math
import os
import statistics
import sys
import types

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import asf_packets  # noqa: E402
import bench  # noqa: E402
import nmr  # noqa: E402
import signals  # noqa: E402

PAYLOADS = [48, 64, 96, 128, 160, 192]  # kbps at which the coders are compared
BASELINE = "ours"
# Each coder's settings, wide enough that its payload brackets every rate of PAYLOADS on every
# signal where the coder can spend that much: libvorbis spends far under its nominal rate on
# sparse signals, so its sweep reaches higher; our CBR formats carry a little over theirs (one
# frame more than the audio, the last packet), so its lowest, 32 kbps, brackets 48.
SWEEPS = {
    "ours": [32, 48, 64, 80, 96, 128, 160, 192],
    "ours-vbr": [10, 25, 50, 75, 90, 98],  # qualities
    "lame": [40, 48, 64, 80, 96, 128, 160, 192, 224],  # MP3's constant rates
    "opus": [32, 48, 64, 96, 128, 160, 192, 256],
    "vorbis": [48, 64, 96, 128, 160, 192, 256, 320],
    "aac": [40, 48, 64, 96, 128, 160, 192, 256],
    "wmav2": [32, 48, 64, 80, 96, 128, 160, 192],
}
DEFAULT_CODERS = ["ours", "ours-vbr", "lame", "opus", "vorbis", "aac"]
FAILURES = (bench.CoderFailed, nmr.AlignmentError, asf_packets.AsfError)


class Missing:
    """Why a setting gave no point: a failure (a coder's error, no lag), or the measure's
    refusal of a decoded file that no longer follows its source's waveform (lower rates of
    coders that reconstruct noise rather than waveform), which the curves simply lack."""

    def __init__(self, why, failed):
        self.why, self.failed = why, failed


def bench_coder(coder, setting):
    """The coder and nominal rate as bench.py names them (our VBR qualities are coders there)."""
    return (f"q{setting}", 0) if coder == "ours-vbr" else (coder, setting)


def find_lag(host, folder, coder, setting):
    """The coder's lag at this setting on the probe, or why there is none."""
    name, kbps = bench_coder(coder, setting)
    try:
        return bench.coder_lag(types.SimpleNamespace(host=host), name, kbps, folder)
    except FAILURES as error:
        return f"no lag: {error}"


def settle_lags(lags, coders):
    """Where the probe gives no lag at some setting (at the lowest rates a coder's noise bursts
    correlate with the probe's under the measure's 0.5), the lag that all its other settings
    agree on: a coder's delay is its own, not its rate's. Every signal then checks it, as it
    checks every lag. Returns what to print of each coder's lags."""
    shown = {}
    for coder in coders:
        found = {lag for (c, _), lag in lags.items() if c == coder and isinstance(lag, int)}
        for setting in SWEEPS[coder]:
            lag = lags[(coder, setting)]
            shown[(coder, setting)] = str(lag)
            if not isinstance(lag, int) and len(found) == 1:
                lags[(coder, setting)] = next(iter(found))
                shown[(coder, setting)] = f"{lags[(coder, setting)]} (the others'; probe: {lag})"
    return shown


def measure(host, folder, signal, source, coder, setting, lag):
    """One point: (payload kbps, NMR dB, what ffmpeg said decoding), or why there is none."""
    name, kbps = bench_coder(coder, setting)
    row = bench.Row(signal, kbps, name)
    try:
        bench.measure_row(types.SimpleNamespace(host=host, speed_seconds=0), row, source,
                          {(name, kbps): lag}, folder)
    except nmr.AlignmentError as error:
        return Missing(f"refused by the measure: {error}", failed=False)
    except FAILURES as error:
        return Missing(str(error), failed=True)
    return row.payload_kbps, row.result.total_db, row.decoder_said


def at_payload(points, target):
    """The NMR at the target payload from (payload, NMR) points: linear in log(payload) between
    the nearest point either side; None outside them."""
    ordered = sorted(points)
    for payload, value in ordered:
        if payload == target:
            return value
    for (low, low_value), (high, high_value) in zip(ordered, ordered[1:]):
        if low < target < high:
            share = math.log(target / low) / math.log(high / low)
            return low_value + share * (high_value - low_value)
    return None


def interpolated(points, signal_names, coders):
    """{(signal, coder): [NMR or None at each of PAYLOADS]} from the points."""
    table = {}
    for name in signal_names:
        for coder in coders:
            mine = [(p["payload_kbps"], p["nmr_db"]) for p in points
                    if p["signal"] == name and p["coder"] == coder]
            table[(name, coder)] = [at_payload(mine, target) for target in PAYLOADS]
    return table


def against_baseline(table, signal_names, coder, index):
    """Per signal where both are measured: (coder's NMR minus ours, signal), at PAYLOADS[index]."""
    out = []
    for name in signal_names:
        theirs, ours = table[(name, coder)][index], table[(name, BASELINE)][index]
        if theirs is not None and ours is not None:
            out.append((theirs - ours, name))
    return out


def cell(value, width):
    return f"{'-':>{width}}" if value is None else f"{value:{width}.1f}"


def print_report(points, gaps, lags, signal_names, coders):
    print("lag of each coder (samples; at each setting, its rate or quality):")
    for coder in coders:
        print(f"  {coder:<8} " + ", ".join(f"{s}: {lags[(coder, s)]}" for s in SWEEPS[coder]))
    print()
    print(f"{'signal':<10} {'coder':<8} {'setting':>7} {'payload kbps':>12} {'NMR dB':>7}")
    for p in points:
        print(f"{p['signal']:<10} {p['coder']:<8} {p['setting']:>7} {p['payload_kbps']:12.1f} "
              f"{p['nmr_db']:7.2f}")
    for (name, coder, setting), missing in gaps:
        print(f"{name:<10} {coder:<8} {setting:>7} {missing.why}")

    table = interpolated(points, signal_names, coders)
    print()
    print("NMR at equal payload, dB ('-': outside the coder's measured payloads)")
    print(f"{'signal':<10} {'kbps':>4} " + " ".join(f"{coder:>8}" for coder in coders))
    for name in signal_names:
        for index, target in enumerate(PAYLOADS):
            print(f"{name:<10} {target:>4} "
                  + " ".join(cell(table[(name, c)][index], 8) for c in coders))

    others = [c for c in coders if c != BASELINE]
    if BASELINE not in coders or not others:
        return
    print()
    print(f"coder minus {BASELINE} at equal payload, dB (negative: the coder is better): the "
          "median over the signals, the worst signal; (n): signals where both are measured, if "
          "not all")
    print(f"{'kbps':>4} " + " ".join(f"{coder:<26}" for coder in others))
    for index, target in enumerate(PAYLOADS):
        cells = []
        for coder in others:
            compared = against_baseline(table, signal_names, coder, index)
            if not compared:
                cells.append(f"{'-':<26}")
                continue
            worst, worst_name = min(compared)
            count = f" ({len(compared)})" if len(compared) < len(signal_names) else ""
            median = statistics.median(d for d, _ in compared)
            text = f"{median:+5.1f} {worst:+5.1f} {worst_name}{count}"
            cells.append(f"{text:<26}")
        print(f"{target:>4} " + " ".join(cells))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--coders", default=",".join(DEFAULT_CODERS))
    parser.add_argument("--signals", default=",".join(name for name, _ in signals.SIGNALS))
    parser.add_argument("--jobs", type=int, default=1)
    parser.add_argument("--picture")
    args = parser.parse_args()
    coders = args.coders.split(",")
    for coder in coders:
        if coder not in SWEEPS:
            parser.error(f"no coder {coder} (coders: {', '.join(SWEEPS)})")
    sources = dict(signals.make_all(os.path.join(args.work, "signals")))
    wanted = args.signals.split(",")
    unknown = [name for name in wanted if name not in sources]
    if unknown:
        parser.error(f"no signal {', '.join(unknown)}")
    folder = os.path.join(args.work, "coded")
    os.makedirs(folder, exist_ok=True)

    # The files that several workers read are made here first, once.
    settings = [(coder, setting) for coder in coders for setting in SWEEPS[coder]]
    for coder, setting in settings:
        name, _ = bench_coder(coder, setting)
        for source in [bench.probe(folder)] + [sources[n] for n in wanted]:
            bench.converted(source, name, folder)

    with concurrent.futures.ProcessPoolExecutor(max_workers=args.jobs) as pool:
        found = {key: pool.submit(find_lag, args.host, folder, *key) for key in settings}
        lags = {key: future.result() for key, future in found.items()}
        shown_lags = settle_lags(lags, coders)
        measured = {}
        for name in wanted:
            for coder, setting in settings:
                lag = lags[(coder, setting)]
                if isinstance(lag, int):
                    measured[(name, coder, setting)] = pool.submit(
                        measure, args.host, folder, name, sources[name], coder, setting, lag)
        points, gaps, said = [], [], []
        for (name, coder, setting) in [(n, c, s) for n in wanted for c, s in settings]:
            key = (name, coder, setting)
            if key not in measured:
                gaps.append((key, Missing(lags[(coder, setting)], failed=True)))
                continue
            result = measured[key].result()
            print(f"  {name} {coder} {setting}", file=sys.stderr, flush=True)
            if isinstance(result, Missing):
                gaps.append((key, result))
                continue
            payload, value, decoder_said = result
            points.append({"signal": name, "coder": coder, "setting": setting,
                           "payload_kbps": payload, "nmr_db": value})
            if decoder_said:
                said.append((key, decoder_said))

    print_report(points, gaps, shown_lags, wanted, coders)
    for (name, coder, setting), words in said:
        print(f"ffmpeg, decoding {name} {coder} {setting}: {words}")
    saved = os.path.join(args.work, "equal-payload.json")
    with open(saved, "w") as file:
        json.dump({"payloads": PAYLOADS, "signals": wanted, "coders": coders, "points": points},
                  file, indent=1)
    import curves_picture  # matplotlib only where a picture is drawn

    picture = args.picture or os.path.join(args.work, "curves.png")
    curves_picture.draw(saved, picture)
    print(f"\npoints: {saved}\npicture: {picture}")
    return 1 if said or any(missing.failed for _, missing in gaps) else 0


if __name__ == "__main__":
    sys.exit(main())
