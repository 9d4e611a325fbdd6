#!/usr/bin/env python3
"""The tone-speech decoder on recordings from the test generator."""

import array
import math
import os
import subprocess
import sys
import tempfile
import unittest
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.join(HERE, "..", "..", "..")
GENERATOR = os.path.join(SOURCE_ROOT, "tests", "media", "make_speech.py")
sys.path.insert(0, os.path.join(SOURCE_ROOT, "standins", "speechservice"))
import tonespeech  # noqa: E402

REST_PIECE_BYTES = 58 * tonespeech.SAMPLE_RATE * 2


def generate(*arguments):
    """(PCM bytes, expected text) of one generator run."""
    with tempfile.TemporaryDirectory() as folder:
        audio = os.path.join(folder, "speech.wav")
        text_file = os.path.join(folder, "speech.txt")
        printed = subprocess.run([sys.executable, GENERATOR, "--out", audio, "--text-out", text_file]
                                 + list(arguments), check=True, capture_output=True).stdout
        with wave.open(audio, "rb") as recording:
            pcm = recording.readframes(recording.getnframes())
        with open(text_file, encoding="utf-8") as expected:
            text = expected.read()
    assert printed.decode("utf-8").rstrip("\n") == text
    return pcm, text


def rest_pieces(pcm):
    """The PCM sliced into 58-second pieces, as the converter's -ss/-to cuts give them."""
    return [pcm[start:start + REST_PIECE_BYTES] for start in range(0, len(pcm), REST_PIECE_BYTES)]


def tone(frequency, samples, amplitude):
    step = 2 * math.pi * frequency / tonespeech.SAMPLE_RATE
    return array.array("h", (round(amplitude * math.sin(step * n)) for n in range(samples)))


class DecoderTest(unittest.TestCase):
    def test_every_word_in_order(self):
        pcm, text = generate("--duration", "11", "--words", ",".join(str(k) for k in range(16)))
        self.assertEqual(text, "".join(tonespeech.WORDS))
        self.assertEqual(tonespeech.decode_words(tonespeech.pcm_to_samples(pcm)), list(range(16)))

    def test_reversed_words_and_vocabulary_texts(self):
        pcm, text = generate("--duration", "6", "--words", "结束,测试,你好,9,0,九", "--gap", "0.18")
        self.assertEqual(text, "结束测试你好九零九")
        self.assertEqual(tonespeech.decode_pcm(pcm), text)

    def test_pieces_cut_at_58_seconds_join_to_the_whole_text(self):
        pcm, text = generate("--duration", "300", "--seed", "11")
        pieces = rest_pieces(pcm)
        self.assertEqual(len(pieces), 6)
        piece_texts = [tonespeech.decode_pcm(piece) for piece in pieces]
        self.assertTrue(all(piece_texts[:5]), "every full piece holds words")
        self.assertEqual("".join(piece_texts), text)

    def test_noise_under_the_threshold_changes_nothing(self):
        for kind in ("white", "pink"):
            with self.subTest(kind):
                pcm, text = generate("--duration", "120", "--seed", "5", "--noise", kind,
                                     "--noise-rms", "900", "--noise-seed", "3")
                self.assertEqual("".join(tonespeech.decode_pcm(piece) for piece in rest_pieces(pcm)), text)

    def test_noise_alone_and_silence_give_no_text(self):
        noise, _ = generate("--duration", "5", "--words", "", "--noise-rms", "900")
        self.assertEqual(tonespeech.decode_pcm(noise), "")
        self.assertEqual(tonespeech.decode_pcm(bytes(32000)), "")
        self.assertEqual(tonespeech.decode_pcm(b""), "")

    def test_runs_shorter_than_six_frames_are_ignored(self):
        frame = tonespeech.FRAME_SAMPLES
        silence = array.array("h", bytes(2 * 10 * frame))
        for frames, expected in ((5, ""), (6, "六")):
            with self.subTest(frames=frames):
                samples = silence + tone(1800, frames * frame, 12000) + silence
                self.assertEqual(tonespeech.decode_text(samples), expected)

    def test_voicing_threshold(self):
        # A sine's RMS is its peak over sqrt(2): 4100 gives 2899, 4400 gives 3111.
        silence = array.array("h", bytes(2 * 3200))
        for amplitude, expected in ((4100, ""), (4400, "结束")):
            with self.subTest(amplitude=amplitude):
                samples = silence + tone(3600, 3200, amplitude) + silence
                self.assertEqual(tonespeech.decode_text(samples), expected)

    def test_last_partial_frame_is_ignored(self):
        # Six voiced frames make a word only when the sixth is whole.
        frame = tonespeech.FRAME_SAMPLES
        samples = array.array("h", bytes(2 * frame)) + tone(1000, 6 * frame, 12000)
        self.assertEqual(tonespeech.decode_text(samples), "二")
        self.assertEqual(tonespeech.decode_text(samples[:-1]), "")

    def test_odd_byte_count_is_tolerated(self):
        pcm, text = generate("--duration", "3", "--words", "7,8")
        self.assertEqual(tonespeech.decode_pcm(pcm + b"\x01"), text)


if __name__ == "__main__":
    unittest.main()
