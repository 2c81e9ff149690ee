#!/usr/bin/python3
"""Noise-to-mask ratio of a coded signal against its reference, after the basic (FFT) ear model
of PEAQ: outer and middle ear weighting, quarter-Bark bands, level-dependent frequency
spreading, smearing in time, a masking offset, and the noise as the difference of the two
weighted magnitude spectra.

    bench/quality/nmr.py [--lag SAMPLES] REFERENCE.wav TEST.wav

--lag gives the coder's delay (test after reference, in samples), which is then checked rather
than searched for.

The measure is frozen: the encoder is tuned against it, so it does not change with the
encoder. A change here makes every figure measured before it incomparable with those after.
"""

import math
import sys

import numpy as np
from scipy import fft, signal
from scipy.io import wavfile

MODEL_RATE = 48000  # the ear model's frame and bands are defined at 48 kHz
FRAME = 2048
HOP = FRAME // 2
BAND_LOW_HZ = 80.0
BAND_HIGH_HZ = 18000.0
BARK_STEP = 0.25
FULL_SCALE_SPL = 92.0  # dB SPL that a full-scale sine reaches
DISTURBED_DB = 1.5  # a frame whose worst band exceeds this counts as disturbed
MAX_LAG = 8192  # largest codec delay searched for, in samples at the signal's rate


def bark(hz):
    return 7.0 * np.arcsinh(hz / 650.0)


def hertz(z):
    return 650.0 * np.sinh(z / 7.0)


class EarModel:
    """The parts of the model that depend only on the frame and the rate."""

    def __init__(self):
        n = np.arange(FRAME)
        self.window = 0.5 * math.sqrt(8.0 / 3.0) * (1.0 - np.cos(2 * np.pi * n / (FRAME - 1)))
        bin_hz = np.arange(FRAME // 2 + 1) * MODEL_RATE / FRAME

        # A full-scale sine between two bins sets the level scale: its largest bin reads
        # FULL_SCALE_SPL.
        sine = np.sin(2 * np.pi * 1019.5 * n / MODEL_RATE)
        peak = np.max(np.abs(np.fft.rfft(self.window * sine)))
        self.scale = 10 ** (FULL_SCALE_SPL / 20) / peak

        # Outer and middle ear, as an amplitude weight per bin (nothing at DC).
        khz = np.maximum(bin_hz, 1.0) / 1000.0
        weight_db = -0.6 * 3.64 * khz**-0.8 + 6.5 * np.exp(-0.6 * (khz - 3.3) ** 2) - 1e-3 * khz**3.6
        weight_db[0] = -np.inf
        self.ear = 10 ** (weight_db / 20)

        # Quarter-Bark bands from 80 Hz to 18 kHz (109 of them), each taking the share of every
        # bin that falls inside it.
        low_z, high_z = bark(BAND_LOW_HZ), bark(BAND_HIGH_HZ)
        count = int(math.ceil((high_z - low_z) / BARK_STEP))
        edges_z = np.minimum(low_z + BARK_STEP * np.arange(count + 1), high_z)
        lower, upper = hertz(edges_z[:-1]), hertz(edges_z[1:])
        self.centre_hz = hertz((edges_z[:-1] + edges_z[1:]) / 2)
        step = MODEL_RATE / FRAME
        bin_low, bin_high = bin_hz - step / 2, bin_hz + step / 2
        overlap = np.minimum(upper[:, None], bin_high[None, :]) - np.maximum(lower[:, None], bin_low[None, :])
        self.grouping = np.maximum(overlap, 0.0) / step  # bands x bins
        self.bands = count

        # Internal noise of the ear, added to each band's energy before spreading.
        centre_khz = self.centre_hz / 1000.0
        self.internal_noise = 10 ** (0.4 * 0.364 * centre_khz**-0.8)

        # Masking offset: 3 dB up to 12 Bark, then a quarter dB per Bark of band position.
        position_z = np.arange(count) * BARK_STEP
        offset_db = np.where(position_z <= 12.0, 3.0, 0.25 * position_z)
        self.mask_gain = 10 ** (-offset_db / 10)

        tau = 0.008 + 100.0 / self.centre_hz * (0.030 - 0.008)
        self.decay = np.exp(-HOP / (MODEL_RATE * tau))

        # Band distances for spreading: target i minus source l, in Bark.
        index = np.arange(count)
        self.distance = (index[:, None] - index[None, :]) * BARK_STEP
        self.spread_norm = self._spread(np.ones((1, count)), normalise=False)[0]

    def _spread(self, energy, normalise=True):
        """Spreads band energies (frames x bands) over neighbouring bands: 27 dB/Bark downward,
        a level-dependent slope upward, each source's spread normalised to unit sum, the
        contributions added in the 0.4 power domain."""
        out = np.empty_like(energy)
        below = self.distance < 0
        for start in range(0, energy.shape[0], 128):
            e = energy[start:start + 128]  # frames x sources
            upper_slope = -24.0 - 230.0 / self.centre_hz[None, :] + 2.0 * np.log10(e)
            slope = np.where(below[None, :, :], 27.0, upper_slope[:, None, :])  # frames x i x l
            spread = 10 ** (slope * self.distance[None, :, :] / 10)
            spread /= spread.sum(axis=1, keepdims=True)
            summed = np.sum((e[:, None, :] * spread) ** 0.4, axis=2) ** (1 / 0.4)
            out[start:start + 128] = summed
        return out / self.spread_norm if normalise else out

    def spectra(self, channel):
        """Ear-weighted magnitude spectra, frames x bins."""
        frames = np.lib.stride_tricks.sliding_window_view(channel, FRAME)[::HOP]
        return np.abs(np.fft.rfft(frames * self.window, axis=1)) * (self.scale * self.ear)

    def noise_to_mask(self, reference, test):
        """Per frame and band, noise power over the reference's masking threshold."""
        ref, tst = self.spectra(reference), self.spectra(test)
        noise = (ref - tst) ** 2 @ self.grouping.T
        energy = np.maximum(ref**2 @ self.grouping.T, 1e-12) + self.internal_noise
        mask = self._smear(self._spread(energy)) * self.mask_gain
        return noise / mask

    def _smear(self, excitation):
        """Forward masking: each band's excitation decays from frame to frame with a time
        constant from 30 ms at 100 Hz down toward 8 ms, and the mask takes the larger of the
        decayed and the present excitation."""
        out = np.empty_like(excitation)
        held = np.zeros(self.bands)
        for frame in range(excitation.shape[0]):
            held = self.decay * held + (1 - self.decay) * excitation[frame]
            out[frame] = np.maximum(held, excitation[frame])
        return out


_model = None


def model():
    global _model
    if _model is None:
        _model = EarModel()
    return _model


class AlignmentError(Exception):
    pass


def find_lag(reference, test, expected=None):
    """The delay of test after reference in samples (mono sums): the peak of the
    cross-correlation, or the expected lag of the coder that made test (found once on a signal
    whose correlation has one clear peak). Checked on each half of the reference that holds
    sound: with no lag expected, the half's peak must be at the lag; with one, the half's
    correlation there must be a local peak and at least 0.9 of its highest (a steady tone peaks
    alike at every period); and the normalised correlation there must be at least 0.5. Else the
    signals are not aligned, and are refused rather than scored: a periodic signal whose peaks
    are all alike, or a coder that lost or added samples part-way."""
    ref, tst = reference.sum(axis=1), test.sum(axis=1)

    energy = np.concatenate([[0.0], np.cumsum(tst**2)])

    def correlation(start, stop, centre, reach):
        """Lags within reach of centre, and how well ref[start:stop] matches test at each: the
        correlation over the norm of the stretch of test that it meets (so that a louder
        stretch, as a decaying note's start, does not win for its level)."""
        piece = ref[start:stop]
        size = fft.next_fast_len(len(tst) + len(piece), real=True)
        # corr[j] pairs piece[0] with tst[j]; lag 0 puts it at tst[start]. A negative
        # position wraps into the padding, where it reads as a linear correlation.
        corr = fft.irfft(fft.rfft(tst, size) * np.conj(fft.rfft(piece, size)), size)
        positions = np.arange(start + centre - reach, min(start + centre + reach + 1, len(tst)))
        met = energy[np.clip(positions + len(piece), 0, len(tst))] - energy[np.clip(positions, 0, len(tst))]
        norm = np.linalg.norm(piece) * np.sqrt(np.maximum(met, 0.0)) + 1e-30
        return positions - start, corr[positions % size] / norm

    if expected is None:
        lags, values = correlation(0, len(ref), 0, MAX_LAG)
        lag = int(lags[np.argmax(values)])
    else:
        lag = expected
    half = len(ref) // 2
    for start, stop in ((0, half), (half, len(ref))):
        # Only where test overlaps: what it lacks at either end is scored, not a misalignment.
        start, stop = max(start, -lag), min(stop, len(tst) - lag)
        if stop - start < FRAME:
            continue
        piece = ref[start:stop]
        other = tst[start + lag:stop + lag]
        if np.sqrt(np.mean(piece**2)) < 1e-3:
            continue
        lags, values = correlation(start, stop, lag, MAX_LAG)
        near = np.abs(lags - lag) <= 16
        local = int(lags[near][np.argmax(values[near])])
        at_lag = values[lags == lag][0]
        if expected is None and abs(int(lags[np.argmax(values)]) - lag) > 1:
            raise AlignmentError(f"a half of the signal peaks at lag {lags[np.argmax(values)]}, not {lag}")
        if abs(local - lag) > 1 or at_lag < 0.9 * values.max():
            raise AlignmentError(f"a half of the signal does not peak at lag {lag}")
        normalised = np.dot(piece, other) / (np.linalg.norm(piece) * np.linalg.norm(other) + 1e-30)
        if normalised < 0.5:
            raise AlignmentError(f"correlation {normalised:.2f} at lag {lag}")
    return lag


def align(reference, test, expected_lag=None):
    """Test shifted by its lag and cut (or padded with silence) to the reference's length:
    what test lacks at either end counts as noise."""
    lag = find_lag(reference, test, expected_lag)
    if lag >= 0:
        shifted = test[lag:]
    else:
        shifted = np.concatenate([np.zeros((-lag, test.shape[1])), test])
    out = np.zeros_like(reference)
    count = min(len(shifted), len(reference))
    out[:count] = shifted[:count]
    return out, lag


def data_bounds(reference):
    """First and last sample of the reference's sound: where five successive samples of a
    channel add up to more than 200 in 16-bit units."""
    level = np.abs(reference).max(axis=1)
    sums = np.convolve(level, np.ones(5), mode="valid")
    loud = np.nonzero(sums > 200 / 32768)[0]
    if len(loud) == 0:
        return 0, 0
    return int(loud[0]), int(loud[-1]) + 5


class Result:
    def __init__(self, total_db, p95_db, disturbed, lag, frames):
        self.total_db = total_db  # the average over frames and bands, as the standard takes it
        self.p95_db = p95_db  # the 95th percentile of the per-frame figure
        self.disturbed = disturbed  # share of frames whose worst band exceeds 1.5 dB
        self.lag = lag
        self.frames = frames


def measure(reference, test, rate, aligned=False, expected_lag=None):
    """NMR of test (samples x channels, floats at full scale 1) against reference, after
    aligning them (see find_lag) unless they are. Identical signals give minus infinity."""
    lag = 0
    if not aligned:
        test, lag = align(reference, test, expected_lag)
    if rate != MODEL_RATE:
        divisor = math.gcd(rate, MODEL_RATE)
        reference = signal.resample_poly(reference, MODEL_RATE // divisor, rate // divisor, axis=0)
        test = signal.resample_poly(test, MODEL_RATE // divisor, rate // divisor, axis=0)
    first, last = data_bounds(reference)
    reference, test = reference[first:last], test[first:last]
    if len(reference) < FRAME:
        raise ValueError("the reference holds less than one frame of sound")
    ear = model()
    ratios = [ear.noise_to_mask(reference[:, c], test[:, c]) for c in range(reference.shape[1])]
    with np.errstate(divide="ignore"):
        # Each channel's total, the two averaged in dB; per frame, the channels' mean.
        totals = [10 * np.log10(np.mean(r)) for r in ratios]
        per_frame = 10 * np.log10(np.mean([r.mean(axis=1) for r in ratios], axis=0))
        worst_band = 10 * np.log10(np.max([r.max(axis=1) for r in ratios], axis=0))
    total = float(np.mean(totals))
    p95 = float(np.percentile(np.maximum(per_frame, -300.0), 95))
    disturbed = float(np.mean(worst_band > DISTURBED_DB))
    return Result(total, p95 if p95 > -300.0 else -math.inf, disturbed, lag, len(per_frame))


def read_wave(path):
    rate, data = wavfile.read(path)
    if data.ndim == 1:
        data = data[:, None]
    if data.dtype == np.int16:
        data = data / 32768.0
    elif data.dtype == np.int32:
        data = data / 2147483648.0
    elif data.dtype == np.uint8:
        data = (data - 128.0) / 128.0
    return rate, data.astype(np.float64)


def main(argv):
    args = argv[1:]
    expected = None
    if len(args) == 4 and args[0] == "--lag":
        expected, args = int(args[1]), args[2:]
    if len(args) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    rate, reference = read_wave(args[0])
    test_rate, test = read_wave(args[1])
    if rate != test_rate or reference.shape[1] != test.shape[1]:
        print("nmr: the two files differ in rate or channels", file=sys.stderr)
        return 1
    try:
        result = measure(reference, test, rate, expected_lag=expected)
    except AlignmentError as error:
        print(f"nmr: not aligned: {error}", file=sys.stderr)
        return 1
    print(f"NMR {result.total_db:.2f} dB, 95th percentile frame {result.p95_db:.2f} dB, "
          f"disturbed frames {100 * result.disturbed:.1f}%, lag {result.lag}, {result.frames} frames")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
