#!/usr/bin/env python3
"""Writes a tone-speech recording for the recognition tests and prints its expected text.

    make_speech.py --duration 125 --seed 7 --out speech.wav --text-out speech.txt
    make_speech.py --duration 10 --words "你好,世界,3" --noise-rms 400 --out piece.pcm

The output is 16 kHz mono signed 16-bit: a WAV file, or raw little-endian PCM
when the name ends in ".pcm". Words never come within 0.3 s of a multiple of
58 s or 1200 s, where the program cuts its pieces, nor of either end of the file.
"""

import argparse
import array
import math
import os
import random
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "standins", "speechservice"))
import tonespeech  # noqa: E402

RATE = tonespeech.SAMPLE_RATE
PIECE_LENGTHS = (58 * RATE, 1200 * RATE)
BOUNDARY_MARGIN = int(0.3 * RATE)
MIN_GAP_SECONDS = tonespeech.MIN_SILENCE_SECONDS
RANDOM_GAP_SECONDS = (MIN_GAP_SECONDS, 0.6)
NOISE_BLOCK_SAMPLES = RATE
NOISE_BLOCK_COUNT = 8


def parse_words(text):
    """A comma-separated list of word indices (0-15) or vocabulary texts."""
    indices = []
    for item in (part.strip() for part in text.split(",")):
        if not item:
            continue
        if item in tonespeech.WORDS:
            indices.append(tonespeech.WORDS.index(item))
        elif item.isdigit() and int(item) < len(tonespeech.WORDS):
            indices.append(int(item))
        else:
            raise ValueError("unknown word: %s" % item)
    return indices


def first_clear_start(start):
    """The earliest start at or after start whose word keeps clear of every piece boundary."""
    moved = True
    while moved:
        moved = False
        end = start + tonespeech.WORD_SAMPLES
        for length in PIECE_LENGTHS:
            nearest = -(-(start - BOUNDARY_MARGIN) // length) * length
            if start - BOUNDARY_MARGIN < nearest < end + BOUNDARY_MARGIN:
                start = nearest + BOUNDARY_MARGIN
                moved = True
    return start


def fits(start, total_samples):
    return start + tonespeech.WORD_SAMPLES + BOUNDARY_MARGIN <= total_samples


def place_words(indices, total_samples, gap_seconds, lead_seconds):
    """(start sample, word index) pairs for the given words, one gap after each."""
    placed = []
    start = first_clear_start(int(lead_seconds * RATE))
    for index in indices:
        if not fits(start, total_samples):
            raise ValueError("%d words do not fit in %.2f s" % (len(indices), total_samples / RATE))
        placed.append((start, index))
        start = first_clear_start(start + tonespeech.WORD_SAMPLES + int(gap_seconds * RATE))
    return placed


def place_random_words(rng, total_samples, lead_seconds):
    """Random words with random gaps until the recording is full."""
    placed = []
    start = first_clear_start(int(lead_seconds * RATE))
    while fits(start, total_samples):
        placed.append((start, rng.randrange(len(tonespeech.WORDS))))
        gap = int(rng.uniform(*RANDOM_GAP_SECONDS) * RATE)
        start = first_clear_start(start + tonespeech.WORD_SAMPLES + gap)
    return placed


def white_noise(rng, count):
    return [rng.gauss(0.0, 1.0) for _ in range(count)]


def pink_noise(rng, count):
    """White noise through three one-pole filters: roughly -3 dB per octave."""
    slow = middle = fast = 0.0
    samples = []
    for white in white_noise(rng, count):
        slow = 0.99765 * slow + white * 0.0990460
        middle = 0.96300 * middle + white * 0.2965164
        fast = 0.57000 * fast + white * 1.0526913
        samples.append(slow + middle + fast + white * 0.1848)
    return samples


def noise_block(rng, kind, rms):
    raw = pink_noise(rng, NOISE_BLOCK_SAMPLES) if kind == "pink" else white_noise(rng, NOISE_BLOCK_SAMPLES)
    mean = sum(raw) / len(raw)
    raw_rms = math.sqrt(sum((value - mean) ** 2 for value in raw) / len(raw))
    scale = rms / raw_rms
    return array.array("h", (round((value - mean) * scale) for value in raw))


def noise_bed(rng, kind, rms, total_samples):
    """Stationary noise: a few precomputed one-second blocks laid in random order."""
    blocks = [noise_block(rng, kind, rms) for _ in range(NOISE_BLOCK_COUNT)]
    bed = array.array("h")
    while len(bed) < total_samples:
        bed.extend(rng.choice(blocks))
    del bed[total_samples:]
    return bed


def clip(value):
    return max(-32768, min(32767, value))


def mix_word(samples, start, word):
    end = start + len(word)
    mixed = [a + b for a, b in zip(samples[start:end], word)]
    try:
        samples[start:end] = array.array("h", mixed)
    except OverflowError:
        samples[start:end] = array.array("h", map(clip, mixed))


def render(placed, total_samples, noise_kind, noise_rms, rng):
    word_table = [tonespeech.word_samples(index) for index in range(len(tonespeech.WORDS))]
    if noise_rms <= 0:
        samples = array.array("h", bytes(2 * total_samples))
        for start, index in placed:
            samples[start:start + tonespeech.WORD_SAMPLES] = word_table[index]
        return samples
    samples = noise_bed(rng, noise_kind, noise_rms, total_samples)
    for start, index in placed:
        mix_word(samples, start, word_table[index])
    return samples


def write_audio(path, samples):
    pcm = tonespeech.samples_to_pcm(samples)
    if path.lower().endswith(".pcm"):
        with open(path, "wb") as out:
            out.write(pcm)
        return
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(pcm)


def expected_text(placed):
    return "".join(tonespeech.WORDS[index] for _, index in placed)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--duration", type=float, required=True, help="seconds")
    chosen = parser.add_mutually_exclusive_group()
    chosen.add_argument("--words", help="comma-separated word indices or texts")
    chosen.add_argument("--seed", type=int, default=1, help="seed of the random words and gaps")
    parser.add_argument("--gap", type=float, default=0.3, help="silence after each given word, seconds")
    parser.add_argument("--lead", type=float, default=0.5, help="silence before the first word, seconds")
    parser.add_argument("--noise-rms", type=float, default=0.0)
    parser.add_argument("--noise", choices=("white", "pink"), default="white")
    parser.add_argument("--noise-seed", type=int, default=0)
    parser.add_argument("--out", required=True, help=".wav, or .pcm for raw samples")
    parser.add_argument("--text-out", help="file for the expected text (UTF-8)")
    args = parser.parse_args(argv)
    if args.gap < MIN_GAP_SECONDS:
        parser.error("--gap must be at least %.2f s" % MIN_GAP_SECONDS)
    if args.noise_rms >= tonespeech.VOICED_RMS / 2:
        parser.error("--noise-rms must stay well under the voicing threshold %d" % tonespeech.VOICED_RMS)
    return args


def main(argv=None):
    args = parse_arguments(argv)
    total_samples = int(round(args.duration * RATE))
    if args.words is not None:
        placed = place_words(parse_words(args.words), total_samples, args.gap, args.lead)
    else:
        placed = place_random_words(random.Random(args.seed), total_samples, args.lead)
    samples = render(placed, total_samples, args.noise, args.noise_rms, random.Random(args.noise_seed))
    write_audio(args.out, samples)
    text = expected_text(placed)
    if args.text_out:
        with open(args.text_out, "w", encoding="utf-8", newline="") as out:
            out.write(text)
    sys.stdout.buffer.write(text.encode("utf-8") + b"\n")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except ValueError as error:
        sys.exit("make_speech.py: %s" % error)
