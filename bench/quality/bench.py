#!/usr/bin/python3
"""The sound-quality table: each signal of signals.py encoded at each rate by each coder,
decoded by Debian's ffmpeg and scored by nmr.py against its source. Run through
bench/quality/run, which installs, builds and checks what this needs first.

    bench.py --host FILTERHOST --work FOLDER [--rates 64,96,128] [--coders ours,wmav2,aac,vorbis]
             [--signals castanets,plucked,...] [--speed-seconds 60]

Our variable-rate formats are coders too: q90 (quality 90, 44.1 kHz stereo), q90@48000x1. The
peers beside FFmpeg's wmav2 are FFmpeg's aac, libvorbis, LAME (libmp3lame, constant rate) and
libopus, each as ffmpeg sets it up by default at the rate asked for.

Per signal, rate and coder: the NMR (the standard's average, dB), the 95th-percentile frame,
the share of disturbed frames, the payload rate (coded audio bytes a second, without container
headers or padding), the padding share of the ASF data packets, and the encoding speed (audio
seconds per CPU second of the whole encoding process, one thread, on the signal looped to
--speed-seconds so that start-up weighs little). Then the medians per rate and coder.
"""

import argparse
import json
import os
import re
import resource
import statistics
import subprocess
import sys

import numpy as np
from scipy.io import wavfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import asf_packets  # noqa: E402
import nmr  # noqa: E402
import signals  # noqa: E402

# Our runtime's constant-rate formats for 44.1 kHz stereo in the first codec (WMA v2): the
# options word is the format's index in the list `filterhost options` shows. Each encode checks
# that the file declares the rate asked for.
OUR_WORDS = {32: 17, 48: 13, 64: 12, 80: 10, 96: 9, 128: 7, 160: 5, 192: 3}
# The same for our Professional encoder (the fourth codec).
PRO_WORDS = {64: 0x30015, 80: 0x30013, 96: 0x3000F, 128: 0x3000B, 160: 0x30009, 192: 0x30007,
             256: 0x30005, 320: 0x30003, 384: 0x30001}
CODERS = ["ours", "pro", "wmav2", "aac", "vorbis", "lame", "opus"]
# Our runtime's quality-based variable-rate formats as coders "q<quality>" (44.1 kHz stereo) or
# "q<quality>@<rate>x<channels>", e.g. q90@48000x1: each codes the signal converted to its
# rate and channels (by sox), against which it is measured, whatever the --rates column says.
VBR_CODER = re.compile(r"q(\d+)(?:@(\d+)x([12]))?$")
EXTENSIONS = {"ours": "wma", "pro": "wma", "wmav2": "wma", "aac": "m4a", "vorbis": "ogg", "lame": "mp3",
              "opus": "opus"}
FFMPEG_CODECS = {"wmav2": "wmav2", "aac": "aac", "vorbis": "libvorbis", "lame": "libmp3lame",
                 "opus": "libopus"}
# Opus codes full band only at 48 kHz, and would resample inside ffmpeg; it is given the signal
# converted by sox instead, and measured against that, as our formats at other rates are.
FFMPEG_LAYOUTS = {"opus": (48000, 2)}


class CoderFailed(Exception):
    pass


def run(command, env=None):
    """Runs a command; its CPU time (user and system, children included) in seconds."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        raise CoderFailed(f"{os.path.basename(command[0])}: {done.stderr.decode(errors='replace').strip()}")
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime), done


def vbr_layout(coder):
    """(quality, rate, channels) of a variable-rate coder of ours, or None."""
    match = VBR_CODER.match(coder)
    if not match:
        return None
    return int(match[1]), int(match[2] or signals.RATE), int(match[3] or 2)


def extension(coder):
    return "wma" if vbr_layout(coder) else EXTENSIONS[coder]


def vbr_word(host, coder):
    """The options word of the variable-rate format, found by its description."""
    quality, rate, channels = vbr_layout(coder)
    _, listed = run([host, "formats", "--json"])
    wanted = f"VBR Quality {quality}, {rate // 1000} kHz, {channels} channel 16 bit VBR"
    for entry in json.loads(listed.stdout.decode()):
        if entry["codecIndex"] == 0 and entry["description"] == wanted:
            return entry["word"]
    raise CoderFailed(f"no format {wanted}")


def layout(coder):
    """The rate and channels that the coder codes."""
    if vbr_layout(coder):
        return vbr_layout(coder)[1:]
    return FFMPEG_LAYOUTS.get(coder, (signals.RATE, 2))


def converted(source, coder, folder):
    """The source at the coder's rate and channels (sox converts it where they differ)."""
    rate, channels = layout(coder)
    if (rate, channels) == (signals.RATE, 2):
        return source
    path = os.path.join(folder, os.path.basename(source)[:-4] + f"-{rate}x{channels}.wav")
    if not os.path.exists(path):
        run(["sox", source, "-r", str(rate), "-c", str(channels), path])
    return path


def encode(host, coder, kbps, source, target):
    """Encodes source into target; the process's CPU seconds."""
    if vbr_layout(coder):
        env = dict(os.environ, WMAFILTER_THREADS="1")
        seconds, _ = run([host, "encode", source, target, "--options", str(vbr_word(host, coder))],
                         env)
        return seconds
    if coder in ("ours", "pro"):
        words = OUR_WORDS if coder == "ours" else PRO_WORDS
        env = dict(os.environ, WMAFILTER_THREADS="1")
        seconds, _ = run([host, "encode", source, target, "--options", str(words[kbps])], env)
        _, info = run([host, "info", target])
        if not re.search(rf"(?<![0-9]){kbps} kbps", info.stdout.decode()):
            raise CoderFailed(f"options word {words[kbps]} is not {kbps} kbps: {info.stdout.decode()}")
        return seconds
    seconds, _ = run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-threads", "1", "-i", source,
                      "-c:a", FFMPEG_CODECS[coder], "-b:a", f"{kbps}k", target])
    return seconds


def decode(coded, target):
    """Decodes with ffmpeg to float WAVE; what ffmpeg said about the file (nothing if clean)."""
    _, done = run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", coded, "-c:a", "pcm_f32le",
                   "-f", "wav", target])
    return done.stderr.decode(errors="replace").strip()


def payload(coded, coder):
    """Payload bytes and padding share (ASF files only; None elsewhere)."""
    if extension(coder) == "wma":
        counts = asf_packets.read(coded)
        return counts.payload_bytes, counts.padding_share
    _, done = run(["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                   "packet=size", "-of", "csv=p=0", coded])
    # One line a packet, its size first (side data may follow it).
    return sum(int(line.split(",")[0]) for line in done.stdout.decode().split()), None


def probe(folder):
    """Noise bursts of changing colour and length between silences, independent channels:
    their correlation has one peak, where a coder's lag is."""
    path = os.path.join(folder, "probe.wav")
    if not os.path.exists(path):
        rng = np.random.default_rng(11)
        out = np.zeros((3 * signals.RATE, 2))
        position = 2000
        while position < len(out) - 9000:
            length = int(rng.integers(2000, 8000))
            out[position:position + length] = rng.standard_normal((length, 2)) * rng.uniform(0.05, 0.3)
            position += length + int(rng.integers(500, 4000))
        signals.write(path, out)
    return path


def looped(source, folder, total_seconds):
    """The signal repeated to about total_seconds, for timing."""
    path = os.path.join(folder, os.path.basename(source)[:-4] + f"-loop{total_seconds}.wav")
    if not os.path.exists(path):
        rate, data = wavfile.read(source)
        repeats = max(1, int(round(total_seconds * rate / len(data))))
        wavfile.write(path, rate, np.tile(data, (repeats, 1)))
    return path


class Row:
    def __init__(self, signal, kbps, coder):
        self.signal, self.kbps, self.coder = signal, kbps, coder
        self.result = None
        self.payload_kbps = None
        self.padding = None
        self.speed = None
        self.failure = None
        self.decoder_said = ""


def measure_row(args, row, source, lags, folder):
    source = converted(source, row.coder, folder)
    coded = os.path.join(folder, f"{row.signal}-{row.coder}-{row.kbps}.{extension(row.coder)}")
    decoded = coded + ".wav"
    encode(args.host, row.coder, row.kbps, source, coded)
    row.decoder_said = decode(coded, decoded)
    rate, reference = nmr.read_wave(source)
    _, test = nmr.read_wave(decoded)
    bytes_, row.padding = payload(coded, row.coder)
    row.payload_kbps = bytes_ * 8 / (len(reference) / rate) / 1000
    row.result = nmr.measure(reference, test, rate, expected_lag=lags[(row.coder, row.kbps)])
    if args.speed_seconds > 0:
        loop = looped(source, folder, args.speed_seconds)
        timed = os.path.join(folder, f"timed.{extension(row.coder)}")
        cpu = encode(args.host, row.coder, row.kbps, loop, timed)
        loop_seconds = os.path.getsize(loop) / (rate * 2 * reference.shape[1])  # 16-bit, near enough
        row.speed = loop_seconds / cpu if cpu > 0 else float("inf")
        os.remove(timed)
    os.remove(decoded)


def coder_lag(args, coder, kbps, folder):
    """The coder's lag at this rate, found on the probe with nothing expected."""
    source = converted(probe(folder), coder, folder)
    coded = os.path.join(folder, f"probe-{coder}-{kbps}.{extension(coder)}")
    encode(args.host, coder, kbps, source, coded)
    decode(coded, coded + ".wav")
    _, reference = nmr.read_wave(source)
    _, test = nmr.read_wave(coded + ".wav")
    lag = nmr.find_lag(reference, test)
    os.remove(coded + ".wav")
    return lag


def number(value, form):
    if value is None:
        return "-"
    if value == float("-inf"):
        return "-inf"
    return format(value, form)


def percent(share):
    return f"{'-':>7}" if share is None else f"{100 * share:6.1f}%"


def print_table(rows):
    print(f"{'signal':<10} {'kbps':>4} {'coder':<7} {'NMR dB':>7} {'p95 dB':>7} {'disturbed':>9} "
          f"{'payload kbps':>12} {'padding':>7} {'x realtime':>10}")
    for row in rows:
        head = f"{row.signal:<10} {row.kbps:>4} {row.coder:<7}"
        if row.failure:
            print(f"{head} failed: {row.failure}")
            continue
        print(f"{head} {number(row.result.total_db, '7.2f')} {number(row.result.p95_db, '7.2f')} "
              f"{number(100 * row.result.disturbed, '8.1f')}% {number(row.payload_kbps, '12.1f')} "
              f"{percent(row.padding)} {number(row.speed, '10.0f')}")


def print_summary(rows, rates, coders):
    """Per rate and coder: the median and the worst NMR over the signals, and against FFmpeg's
    WMA v2 at the same nominal rate the difference of the medians and the worst difference on
    any one signal (positive: worse than it)."""
    print()
    print(f"{'kbps':>4} {'coder':<7} {'median NMR':>10} {'worst NMR':>9} {'vs wmav2':>8} "
          f"{'worst vs wmav2':>14} {'payload kbps':>12} {'padding':>7} {'x realtime':>10}")
    for kbps in rates:
        ffmpeg_wma = {r.signal: r.result.total_db for r in rows
                      if r.kbps == kbps and r.coder == "wmav2" and not r.failure}
        baseline = statistics.median(ffmpeg_wma.values()) if ffmpeg_wma else None
        for coder in coders:
            done = [r for r in rows if r.kbps == kbps and r.coder == coder and not r.failure]
            if not done:
                continue
            nmrs = [r.result.total_db for r in done]
            median = statistics.median(nmrs)
            compared = [r.result.total_db - ffmpeg_wma[r.signal] for r in done if r.signal in ffmpeg_wma]
            against = coder != "wmav2" and baseline is not None and compared
            paddings = [r.padding for r in done if r.padding is not None]
            speeds = [r.speed for r in done if r.speed is not None]
            print(f"{kbps:>4} {coder:<7} {median:10.2f} {max(nmrs):9.2f} "
                  f"{number(median - baseline if against else None, '+8.2f'):>8} "
                  f"{number(max(compared) if against else None, '+14.2f'):>14} "
                  f"{statistics.median([r.payload_kbps for r in done]):12.1f} "
                  f"{percent(max(paddings) if paddings else None)} "
                  f"{number(statistics.median(speeds) if speeds else None, '10.0f'):>10}")
    print("(medians over the signals; padding: the largest share; x realtime: audio seconds per "
          "CPU second)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rates", default="64,96,128")
    parser.add_argument("--coders", default=",".join(CODERS))
    parser.add_argument("--signals", default=",".join(name for name, _ in signals.SIGNALS))
    parser.add_argument("--speed-seconds", type=int, default=60)
    args = parser.parse_args()
    rates = [int(rate) for rate in args.rates.split(",")]
    coders = args.coders.split(",")
    wanted = args.signals.split(",")
    for kbps in rates:
        if kbps not in OUR_WORDS:
            parser.error(f"no 44.1 kHz stereo format of {kbps} kbps")
    for coder in coders:
        if coder not in CODERS and not vbr_layout(coder):
            parser.error(f"no coder {coder}")

    sources = dict(signals.make_all(os.path.join(args.work, "signals")))
    unknown = [name for name in wanted if name not in sources]
    if unknown:
        parser.error(f"no signal {', '.join(unknown)}")
    folder = os.path.join(args.work, "coded")
    os.makedirs(folder, exist_ok=True)

    lags = {}
    for coder in coders:
        for kbps in rates:
            try:
                lags[(coder, kbps)] = coder_lag(args, coder, kbps, folder)
            except (CoderFailed, nmr.AlignmentError, asf_packets.AsfError) as error:
                lags[(coder, kbps)] = error
    print("lag of each coder (samples its decoded output runs after the source; negative: it "
          "lost the start):")
    for coder in coders:
        print(f"  {coder:<7} " + ", ".join(f"{kbps} kbps: {lags[(coder, kbps)]}" for kbps in rates))
    print()

    rows = []
    for name in wanted:
        for kbps in rates:
            for coder in coders:
                row = Row(name, kbps, coder)
                lag = lags[(coder, kbps)]
                try:
                    if isinstance(lag, Exception):
                        raise CoderFailed(f"no lag: {lag}")
                    measure_row(args, row, sources[name], lags, folder)
                except (CoderFailed, nmr.AlignmentError, asf_packets.AsfError) as error:
                    row.failure = str(error)
                rows.append(row)
                print(f"  {name} {kbps} {coder}", file=sys.stderr, flush=True)
    print_table(rows)
    print_summary(rows, rates, coders)
    said = [r for r in rows if r.decoder_said]
    for row in said:
        print(f"ffmpeg, decoding {row.signal} {row.kbps} {row.coder}: {row.decoder_said}")
    return 1 if said or any(row.failure for row in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
