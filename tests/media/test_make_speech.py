#!/usr/bin/env python3
"""The tone-speech generator: word placement, output formats, noise and speed."""

import math
import os
import random
import subprocess
import sys
import tempfile
import time
import unittest
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "make_speech.py")
sys.path.insert(0, HERE)
import make_speech  # noqa: E402

RATE = make_speech.RATE
WORD = make_speech.tonespeech.WORD_SAMPLES
MARGIN = int(0.3 * RATE)


def run_generator(folder, *arguments):
    return subprocess.run([sys.executable, GENERATOR] + list(arguments),
                          cwd=folder, capture_output=True)


def distance_to_boundary(start, length):
    """Samples between a word and the nearest multiple of length outside it (negative when it straddles one)."""
    end = start + WORD
    before = start - (start // length) * length
    after = -(-end // length) * length - end
    if (start // length) != ((end - 1) // length):
        return -1
    return min(before, after)


def rms(samples):
    mean = sum(samples) / len(samples)
    return math.sqrt(sum((value - mean) ** 2 for value in samples) / len(samples))


def lag_one_correlation(samples):
    mean = sum(samples) / len(samples)
    centred = [value - mean for value in samples]
    return sum(a * b for a, b in zip(centred, centred[1:])) / sum(value * value for value in centred)


class PlacementTest(unittest.TestCase):
    def test_random_words_keep_clear_of_piece_boundaries(self):
        total = 2500 * RATE
        placed = make_speech.place_random_words(random.Random(4), total, 0.5)
        starts = [start for start, _ in placed]
        self.assertGreater(len(placed), 3000)
        for start in starts:
            for length in make_speech.PIECE_LENGTHS:
                self.assertGreaterEqual(distance_to_boundary(start, length), MARGIN, (start, length))
        self.assertLessEqual(starts[-1] + WORD + MARGIN, total)
        gaps = [b - (a + WORD) for a, b in zip(starts, starts[1:])]
        self.assertGreaterEqual(min(gaps), int(0.18 * RATE))
        self.assertEqual(len({index for _, index in placed}), 16)

    def test_word_about_to_straddle_a_boundary_is_moved_past_it(self):
        for lead, expected in ((57.8, 58.3), (57.39, 58.3), (57.38, 57.38), (1199.9, 1200.3), (58.2, 58.3)):
            with self.subTest(lead=lead):
                placed = make_speech.place_words([1], 1300 * RATE, 0.3, lead)
                self.assertEqual(placed[0][0], int(expected * RATE))

    def test_given_words_follow_each_other_by_word_and_gap(self):
        placed = make_speech.place_words([3, 1, 4], 10 * RATE, 0.25, 1.0)
        self.assertEqual(placed, [(16000, 3), (16000 + 9120, 1), (16000 + 2 * 9120, 4)])

    def test_words_that_do_not_fit_are_refused(self):
        with self.assertRaises(ValueError):
            make_speech.place_words([1] * 10, 5 * RATE, 0.3, 0.5)

    def test_word_lists(self):
        self.assertEqual(make_speech.parse_words("0, 15,你好,九"), [0, 15, 10, 9])
        self.assertEqual(make_speech.parse_words(""), [])
        for bad in ("16", "-1", "hello"):
            with self.subTest(bad), self.assertRaises(ValueError):
                make_speech.parse_words(bad)


class OutputTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_wav_and_pcm_hold_the_same_samples(self):
        for name in ("a.wav", "a.pcm"):
            result = run_generator(self.folder.name, "--duration", "3.5", "--seed", "9", "--out", name,
                                   "--text-out", name + ".txt")
            self.assertEqual(result.returncode, 0, result.stderr)
        with wave.open(self.path("a.wav"), "rb") as recording:
            self.assertEqual((recording.getnchannels(), recording.getsampwidth(), recording.getframerate()),
                             (1, 2, RATE))
            wav_pcm = recording.readframes(recording.getnframes())
        with open(self.path("a.pcm"), "rb") as raw:
            self.assertEqual(raw.read(), wav_pcm)
        self.assertEqual(len(wav_pcm), int(3.5 * RATE) * 2)
        with open(self.path("a.wav.txt"), encoding="utf-8") as first, \
                open(self.path("a.pcm.txt"), encoding="utf-8") as second:
            self.assertEqual(first.read(), second.read())

    def test_seed_decides_the_words(self):
        texts = [run_generator(self.folder.name, "--duration", "20", "--seed", seed, "--out", "s.pcm").stdout
                 for seed in ("1", "1", "2")]
        self.assertEqual(texts[0], texts[1])
        self.assertNotEqual(texts[0], texts[2])

    def test_noise_has_the_asked_level_and_colour(self):
        correlations = {}
        for kind in ("white", "pink"):
            with self.subTest(kind):
                name = kind + ".pcm"
                result = run_generator(self.folder.name, "--duration", "4", "--words", "", "--noise", kind,
                                       "--noise-rms", "600", "--out", name)
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(self.path(name), "rb") as raw:
                    samples = make_speech.tonespeech.pcm_to_samples(raw.read())
                self.assertAlmostEqual(rms(samples), 600, delta=15)
                correlations[kind] = lag_one_correlation(samples)
        self.assertLess(abs(correlations["white"]), 0.05)
        self.assertGreater(correlations["pink"], 0.3)

    def test_bad_arguments_are_refused(self):
        cases = [
            ("noise near the threshold", ["--noise-rms", "2000"]),
            ("gap too short", ["--words", "1,2", "--gap", "0.1"]),
            ("unknown word", ["--words", "1,hello"]),
            ("too many words", ["--words", ",".join(["3"] * 20)]),
        ]
        for name, arguments in cases:
            with self.subTest(name):
                result = run_generator(self.folder.name, "--duration", "5", "--out", "bad.pcm", *arguments)
                self.assertNotEqual(result.returncode, 0)
                self.assertTrue(result.stderr)

    def test_half_an_hour_with_noise_takes_seconds(self):
        started = time.monotonic()
        result = run_generator(self.folder.name, "--duration", "1800", "--seed", "3", "--noise", "pink",
                               "--noise-rms", "500", "--out", "long.wav")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLess(time.monotonic() - started, 20)
        self.assertEqual(os.path.getsize(self.path("long.wav")), 44 + 1800 * RATE * 2)
        self.assertGreater(len(result.stdout.decode("utf-8")), 3000)


if __name__ == "__main__":
    unittest.main()
