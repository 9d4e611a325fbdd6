#!/usr/bin/env python3
"""Generated speech cut into pieces by the real ffmpeg.exe under Wine, with the
program's own cut arguments, decodes piece by piece to the whole expected text.

    test_ffmpeg_pieces.py BUILD_DIR
"""

import os
import shlex
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

BUILD_DIR = None

REST_CUT = '-y -i "{source}" -ss {start} -to {end} -f s16le -ac 1 -ar 16000 "{piece}"'
SDK_CUT = '-y -i "{source}" -ss {start} -to {end} -acodec pcm_s16le -ac 1 -ar 16000 "{piece}"'


def format_hms(seconds):
    return "%02d:%02d:%02d" % (seconds // 3600, seconds % 3600 // 60, seconds % 60)


def piece_count(duration, length):
    return duration // length + (1 if duration % length > 1 else 0)


def run_ffmpeg(folder, argument_line):
    command = [os.path.join(BUILD_DIR, "wine-run"), os.path.join(BUILD_DIR, "bin", "ffmpeg.exe")]
    subprocess.run(command + shlex.split(argument_line), cwd=folder, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def read_piece(path):
    if path.endswith(".wav"):
        with wave.open(path, "rb") as piece:
            return piece.readframes(piece.getnframes())
    with open(path, "rb") as piece:
        return piece.read()


class FfmpegPiecesTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def generate(self, duration, seed):
        subprocess.run([sys.executable, GENERATOR, "--duration", str(duration), "--seed", str(seed),
                        "--noise", "pink", "--noise-rms", "300", "--out", "source.wav",
                        "--text-out", "source.txt"], cwd=self.folder.name, check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(self.folder.name, "source.txt"), encoding="utf-8") as text:
            return text.read()

    def cut_and_decode(self, duration, length, cut_format, extension):
        """Texts of the pieces ffmpeg cut, and the whole-file PCM for comparison."""
        texts = []
        for index in range(piece_count(duration, length)):
            piece = "%d%s" % (index, extension)
            run_ffmpeg(self.folder.name, cut_format.format(
                source="source.wav", start=format_hms(index * length),
                end=format_hms(index * length + length), piece=piece))
            texts.append(tonespeech.decode_pcm(read_piece(os.path.join(self.folder.name, piece))))
        return texts

    def test_rest_pieces_of_58_seconds(self):
        expected = self.generate(130, 21)
        texts = self.cut_and_decode(130, 58, REST_CUT, ".pcm")
        self.assertEqual(len(texts), 3)
        self.assertTrue(all(texts))
        self.assertEqual("".join(texts), expected)

    def test_rest_piece_is_the_plain_slice_of_the_source(self):
        self.generate(130, 22)
        run_ffmpeg(self.folder.name, REST_CUT.format(source="source.wav", start=format_hms(58),
                                                     end=format_hms(116), piece="slice.pcm"))
        whole = read_piece(os.path.join(self.folder.name, "source.wav"))
        self.assertEqual(read_piece(os.path.join(self.folder.name, "slice.pcm")), whole[58 * 32000:116 * 32000])

    def test_sdk_pieces_of_1200_seconds(self):
        expected = self.generate(1250, 23)
        texts = self.cut_and_decode(1250, 1200, SDK_CUT, ".wav")
        self.assertEqual(len(texts), 2)
        self.assertTrue(all(texts))
        self.assertEqual("".join(texts), expected)


if __name__ == "__main__":
    BUILD_DIR = os.path.abspath(sys.argv.pop(1))
    unittest.main()
