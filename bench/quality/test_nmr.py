#!/usr/bin/python3
"""Self-check of the noise-to-mask ratio, run by bench/quality/run before it measures anything
(and alone as bench/quality/test_nmr.py, in a few seconds). It checks that the measure says
what it should of signals whose answer is known, not any figure of a codec."""

import math
import os
import sys
import unittest

import numpy as np
from scipy import signal

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nmr  # noqa: E402

RATE = 44100


def music_like(seconds=2.0, channels=1, seed=1):
    """Plucked harmonic notes over a quiet low-passed noise floor: a spectrum that falls with
    frequency, as music's does, so that noise shaped like it is masked better than flat."""
    rng = np.random.default_rng(seed)
    t = np.arange(int(seconds * RATE)) / RATE
    out = np.zeros_like(t)
    for start, pitch in zip(np.arange(0, seconds, 0.25), [220, 277, 330, 440, 330, 277, 247, 196]):
        note = t >= start
        for k in range(1, 12):
            out[note] += 0.3 / k * np.sin(2 * np.pi * pitch * k * (t[note] - start)) * np.exp(-3 * (t[note] - start))
    low = signal.lfilter(*signal.butter(2, 2000 / (RATE / 2)), rng.standard_normal(len(t)))
    out += 0.01 * low
    return np.stack([out * (1 - 0.2 * c) for c in range(channels)], axis=1)


def flat_noise(shape, power, seed):
    return np.random.default_rng(seed).standard_normal(shape) * math.sqrt(power)


def shaped_noise(reference, power, seed):
    """Noise whose short-time spectrum follows the reference's, as a coder that shapes its noise
    under the masking threshold leaves it; scaled to the given power."""
    rng = np.random.default_rng(seed)
    out = np.zeros_like(reference)
    for c in range(reference.shape[1]):
        _, _, spectrum = signal.stft(reference[:, c], nperseg=1024)
        phases = np.exp(2j * np.pi * rng.random(spectrum.shape))
        _, noise = signal.istft(np.abs(spectrum) * phases, nperseg=1024)
        out[:, c] = noise[:len(reference)]
    return out * math.sqrt(power / np.mean(out**2))


class NoiseToMaskTest(unittest.TestCase):
    def setUp(self):
        self.reference = music_like()
        self.power = float(np.mean(self.reference**2))

    def test_identical_signals_score_minus_infinity(self):
        stereo = music_like(channels=2)
        result = nmr.measure(stereo, stereo.copy(), RATE)
        self.assertEqual(result.total_db, -math.inf)
        self.assertEqual(result.p95_db, -math.inf)
        self.assertEqual(result.disturbed, 0.0)
        self.assertEqual(result.lag, 0)

    def test_white_noise_scores_fall_with_its_level(self):
        scores = []
        for snr in (0, 10, 20, 30, 40, 60):
            noise = flat_noise(self.reference.shape, self.power / 10 ** (snr / 10), seed=snr)
            scores.append(nmr.measure(self.reference, self.reference + noise, RATE, aligned=True).total_db)
        # Noise at the signal's level is plainly audible; 60 dB under this quiet signal (-20 dB
        # full scale) it is near the threshold of hearing, where the internal noise is the mask.
        # The noise's power is on the ratio's numerator: 10 dB less noise, close to 10 dB less
        # NMR while the signal masks it.
        self.assertGreater(scores[0], 10.0, scores)
        self.assertLess(scores[-1], 0.0, scores)
        steps = np.diff(scores[:5])
        self.assertTrue(np.all(steps < -7.0) and np.all(steps > -13.0), scores)

    def test_noise_shaped_like_the_signal_scores_better_than_flat_noise(self):
        power = self.power / 10 ** (25 / 10)
        flat = nmr.measure(self.reference, self.reference + flat_noise(self.reference.shape, power, 7),
                           RATE, aligned=True)
        shaped = nmr.measure(self.reference, self.reference + shaped_noise(self.reference, power, 7),
                             RATE, aligned=True)
        self.assertLess(shaped.total_db, flat.total_db - 6.0, (shaped.total_db, flat.total_db))

    def test_a_delayed_test_signal_is_aligned_before_measuring(self):
        noise = flat_noise(self.reference.shape, self.power / 1000, seed=3)
        coded = self.reference + noise
        exact = nmr.measure(self.reference, coded, RATE, aligned=True).total_db
        for lag in (2111, -40):
            delayed = coded[-lag:] if lag < 0 else np.concatenate([np.zeros((lag, 1)), coded])
            result = nmr.measure(self.reference, delayed, RATE)
            self.assertEqual(result.lag, lag)
            # Aligned, the score is the one the undelayed signal gets (up to the edges).
            self.assertAlmostEqual(result.total_db, exact, delta=0.5)

    def test_misaligned_signals_are_refused_rather_than_scored(self):
        other = music_like(seed=2)[::-1].copy()
        with self.assertRaises(nmr.AlignmentError):
            nmr.measure(self.reference, other, RATE)
        # A coder that loses samples part-way: the second half is 300 samples early.
        noise = flat_noise((2 * RATE, 1), 0.01, seed=5)
        slipped = np.concatenate([noise[:RATE], noise[RATE + 300:]])
        for expected in (None, 0, -300):
            with self.assertRaises(nmr.AlignmentError):
                nmr.measure(noise, slipped, RATE, expected_lag=expected)

    def test_a_periodic_signal_is_aligned_at_the_lag_expected(self):
        t = np.arange(2 * RATE) / RATE
        tone = (0.3 * np.sin(2 * np.pi * 441 * t) + 0.1 * np.sin(2 * np.pi * 1323 * t))[:, None]
        delayed = np.concatenate([np.zeros((2048, 1)), tone])
        # A steady tone matches itself at every period: the lag is known, and checked.
        self.assertEqual(nmr.measure(tone, delayed, RATE, expected_lag=2048).total_db, -math.inf)
        with self.assertRaises(nmr.AlignmentError):
            nmr.measure(tone, delayed, RATE, expected_lag=2048 + 37)


if __name__ == "__main__":
    unittest.main()
