#!/usr/bin/python3
"""Makes the sound-quality benchmark's signals: 44.1 kHz stereo 16-bit WAVE files of about six
seconds each, made here from code and Debian's packages (sox, espeak-ng, timidity with the
freepats instruments), nothing downloaded. The same files every time: the noise is seeded.

    bench/quality/signals.py FOLDER            writes FOLDER/NAME.wav for each signal

Each signal is made where it is missing, so a second run costs nothing.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np
from scipy import signal
from scipy.io import wavfile

RATE = 44100
SECONDS = 6.0
PEAK = 10 ** (-1 / 20)  # every signal is scaled to a peak of -1 dB full scale


def seconds(count=SECONDS):
    return np.arange(int(count * RATE)) / RATE


def pan(mono, position):
    """Equal-power pan of a mono signal, position from -1 (left) to 1 (right)."""
    angle = (position + 1) * np.pi / 4
    return np.stack([mono * np.cos(angle), mono * np.sin(angle)], axis=1)


def castanets(rng):
    """Clicks on short decaying noise bursts through a wooden body resonance, in irregular
    rolls: the attacks that smear before themselves in a coder with long blocks."""
    out = np.zeros((int(SECONDS * RATE), 2))
    body = [signal.butter(2, [f * 0.8 / (RATE / 2), f * 1.25 / (RATE / 2)], "bandpass") for f in (1800, 3200)]
    time = 0.2
    while time < SECONDS - 0.3:
        start = int(time * RATE)
        length = int(0.04 * RATE)
        burst = rng.standard_normal(length) * np.exp(-np.arange(length) / (0.004 * RATE))
        burst = signal.lfilter(*body[rng.integers(2)], burst) * 6.0
        burst[:3] += rng.choice([-0.5, 0.5]) * np.array([1.0, -0.6, 0.3])  # the click
        out[start:start + length] += pan(burst * rng.uniform(0.4, 1.0), rng.uniform(-0.6, 0.6))
        # Rolls of quick strokes between single ones.
        time += rng.choice([0.06, 0.08, 0.12, 0.25, 0.4])
    return out


def karplus_strong(pitch, length, rng, brightness=0.5):
    """A plucked string: a noise burst recirculating through a delay line of one period and a
    two-point average, which loses the high partials first, as a string does."""
    period = RATE / pitch
    delay = int(period)
    fraction = period - delay
    line = rng.uniform(-1, 1, delay + 1)
    line = signal.lfilter([brightness, 1 - brightness], [1], line)  # a softer pluck
    out = np.empty(length)
    ring = list(line)
    index = 0
    decay = 0.996
    for n in range(length):
        current = ring[index]
        following = ring[(index + 1) % len(ring)]
        value = (1 - fraction) * current + fraction * following
        out[n] = value
        ring[index] = decay * 0.5 * (current + following)
        index = (index + 1) % len(ring)
    return out


def plucked(rng):
    """Karplus-Strong strings: a picked melody over arpeggiated chords, spread across the
    stereo field."""
    out = np.zeros((int(SECONDS * RATE), 2))
    notes = [(0.0, 196.0, -0.5), (0.25, 293.7, 0.3), (0.5, 392.0, 0.5), (0.75, 493.9, -0.2),
             (1.0, 587.3, 0.1), (1.5, 220.0, -0.5), (1.75, 329.6, 0.3), (2.0, 440.0, 0.5),
             (2.25, 523.3, -0.2), (2.5, 659.3, 0.1), (3.0, 174.6, -0.5), (3.125, 261.6, 0.3),
             (3.25, 349.2, 0.5), (3.375, 440.0, -0.2), (3.5, 698.5, 0.1), (3.75, 880.0, 0.4),
             (4.0, 196.0, -0.5), (4.1, 246.9, 0.3), (4.2, 293.7, 0.5), (4.3, 392.0, -0.2),
             (4.5, 784.0, 0.1), (5.0, 98.0, 0.0), (5.0, 196.0, -0.4), (5.0, 392.0, 0.4)]
    for start, pitch, position in notes:
        begin = int(start * RATE)
        length = min(int(1.5 * RATE), len(out) - begin)
        string = karplus_strong(pitch, length, rng, brightness=rng.uniform(0.3, 0.7))
        out[begin:begin + length] += pan(string * 0.5, position)
    return out


def applause(rng):
    """Dense random claps: noise-like material full of small attacks, the hardest case for
    a coder's time resolution."""
    out = np.zeros((int(SECONDS * RATE), 2))
    count = int(SECONDS * 60)
    length = int(0.03 * RATE)
    shape = np.exp(-np.arange(length) / (0.005 * RATE))
    for _ in range(count):
        start = rng.integers(0, len(out) - length)
        low, high = sorted(rng.uniform(600, 6000, 2))
        clap = signal.lfilter(*signal.butter(2, [low / (RATE / 2), max(high, low * 1.5) / (RATE / 2)],
                                             "bandpass"), rng.standard_normal(length) * shape)
        out[start:start + length] += pan(clap * rng.uniform(0.2, 1.0), rng.uniform(-1, 1))
    return out


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def sox_signal(path, effects):
    """A signal sox makes from nothing ("synth"), as 44.1 kHz stereo 16-bit."""
    run(["sox", "-n", "-r", str(RATE), "-c", "2", "-b", "16", path] + effects)


def noise(path, folder):
    """Pink noise with a slow swell, the two channels independent: steady noise-like material."""
    sox_signal(path, ["synth", str(SECONDS), "pinknoise", "pinknoise", "tremolo", "0.5", "60",
                      "gain", "-n", "-1"])


def sweep(path, folder):
    """A logarithmic sine sweep from 40 Hz to 16 kHz over a steady 110 Hz square bass (sox's
    own synthesis), two pure tonal lines that move."""
    sox_signal(path, ["synth", str(SECONDS), "sine", "40:16000", "square", "110",
                      "remix", "1v0.7,2v0.3", "1v0.3,2v0.7", "gain", "-n", "-1"])


def speech(path, folder):
    """Two espeak-ng voices, one a little to each side, taking turns and at the end together."""
    lines = [("en-us", "Now is the time to check how speech survives the coder.", -0.4),
             ("en-gb+f3", "Sixty six sharp consonants, and a quiet hiss.", 0.4)]
    parts = []
    for voice, text, position in lines:
        spoken = os.path.join(folder, f"speech-{voice}.wav")
        run(["espeak-ng", "-v", voice, "-s", "165", "-w", spoken, text])
        rate, data = wavfile.read(spoken)
        common = math.gcd(RATE, rate)  # espeak-ng speaks at 22050 Hz
        data = signal.resample_poly(data / 32768.0, RATE // common, rate // common)
        parts.append(pan(data, position))
        os.remove(spoken)
    out = np.zeros((int(SECONDS * RATE), 2))
    first = parts[0][:len(out)]
    out[:len(first)] += first
    second_start = min(len(first), int(2.5 * RATE))
    second = parts[1][:len(out) - second_start]
    out[second_start:second_start + len(second)] += second
    write(path, out)


def variable_length(value):
    """A MIDI variable-length quantity."""
    bytes_ = [value & 0x7F]
    value >>= 7
    while value:
        bytes_.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(bytes_)


def midi_file():
    """A small type-0 MIDI file: piano chords and melody, a plucked bass, strings and drums,
    two bars of 4/4 at 100 beats a minute, played twice."""
    ticks = 96  # a beat
    events = []  # (tick, message bytes)

    def note(start, length, channel, key, velocity):
        events.append((start, bytes([0x90 | channel, key, velocity])))
        events.append((start + length, bytes([0x80 | channel, key, 0])))

    programs = {0: 0, 1: 33, 2: 48}  # piano, finger bass, string ensemble; channel 9 is drums
    for channel, program in programs.items():
        events.append((0, bytes([0xC0 | channel, program])))
    events.append((0, bytes([0xB0 | 1, 10, 40])))  # bass a little left
    events.append((0, bytes([0xB0 | 2, 10, 90])))  # strings a little right
    chords = [[60, 64, 67], [57, 60, 64], [53, 57, 60], [55, 59, 62]]
    melody = [72, 74, 76, 79, 76, 74, 72, 71, 69, 72, 77, 76, 74, 71, 67, 71]
    for repeat in range(2):
        bar0 = repeat * 8 * ticks
        for index, chord in enumerate(chords):
            start = bar0 + index * 2 * ticks
            for key in chord:
                note(start, 2 * ticks - 4, 0, key, 80)
                note(start, 2 * ticks, 2, key - 12, 50)
            note(start, ticks - 8, 1, chord[0] - 24, 100)
            note(start + ticks, ticks - 8, 1, chord[0] - 17, 90)
        for index, key in enumerate(melody):
            note(bar0 + index * ticks // 2, ticks // 2 - 6, 0, key, 100)
        for beat in range(8):
            start = bar0 + beat * ticks
            note(start, 10, 9, 36 if beat % 2 == 0 else 38, 110)  # kick and snare
            for eighth in range(2):
                note(start + eighth * ticks // 2, 10, 9, 42, 70)  # closed hi-hat
        note(bar0, 20, 9, 49, 90)  # crash at each repeat
    events.sort(key=lambda event: (event[0], event[1][0] & 0xF0 != 0x80))
    track = bytearray(b"\x00\xff\x51\x03" + (600000).to_bytes(3, "big"))  # 100 beats a minute
    last = 0
    for tick, message in events:
        track += variable_length(tick - last) + message
        last = tick
    track += b"\x00\xff\x2f\x00"
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks) + b"MTrk" + struct.pack(">I", len(track))
            + bytes(track))


def midi(path, folder):
    """The MIDI file above, played by timidity with the freepats instruments."""
    with tempfile.TemporaryDirectory(dir=folder) as scratch:
        song = os.path.join(scratch, "song.mid")
        with open(song, "wb") as file:
            file.write(midi_file())
        played = os.path.join(scratch, "played.wav")
        run(["timidity", "-c", "/etc/timidity/freepats.cfg", "-Ow", "-s", str(RATE),
             "--output-stereo", "--output-16bit", "-o", played, song])
        _, data = wavfile.read(played)
    write(path, data[:int(SECONDS * RATE)] / 32768.0)


def write(path, data):
    """Scaled to the common peak, 16-bit, through a scratch name so that a stopped run leaves
    no half file behind."""
    data = data * (PEAK / np.max(np.abs(data)))
    scratch = path + ".part"
    wavfile.write(scratch, RATE, np.round(data * 32767).astype(np.int16))
    os.replace(scratch, path)


def synthesised(make, seed):
    def writer(path, folder):
        write(path, make(np.random.default_rng(seed)))
    return writer


# Name, maker; in the order the table shows them. The attacks first.
SIGNALS = [
    ("castanets", synthesised(castanets, 1)),
    ("plucked", synthesised(plucked, 2)),
    ("applause", synthesised(applause, 3)),
    ("noise", noise),
    ("speech", speech),
    ("sweep", sweep),
    ("midi", midi),
]


def make_all(folder):
    os.makedirs(folder, exist_ok=True)
    paths = []
    for name, make in SIGNALS:
        path = os.path.join(folder, name + ".wav")
        if not os.path.exists(path):
            made = path + ".made.wav" if make in (noise, sweep) else path
            make(made, folder)
            if made != path:  # sox's output, scaled like the others
                rate, data = wavfile.read(made)
                write(path, data / 32768.0)
                os.remove(made)
        paths.append((name, path))
    return paths


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    for name, path in make_all(sys.argv[1]):
        print(path)
