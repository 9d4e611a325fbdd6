"""Tone speech: the synthetic speech that the speech stand-ins recognise.

Each word is a short sine burst at a frequency of its own; the decoder finds
voiced runs of 20 ms frames and names each run by its strongest word tone.
"""

import array
import math
import operator
import sys

SAMPLE_RATE = 16000
WORDS = ["零", "一", "二", "三", "四", "五", "六", "七", "八", "九",
         "你好", "世界", "语音", "识别", "测试", "结束"]
WORD_SAMPLES = 5120            # 0.32 s
WORD_AMPLITUDE = 16384
FADE_SAMPLES = 160             # 10 ms
MIN_SILENCE_SECONDS = 0.18
FRAME_SAMPLES = 320            # 20 ms
VOICED_RMS = 3000
MIN_RUN_FRAMES = 6

# A frame is voiced when sum(x*x) / FRAME_SAMPLES > VOICED_RMS**2; comparing
# the energies keeps square roots out of the per-frame loop.
_VOICED_ENERGY = VOICED_RMS * VOICED_RMS * FRAME_SAMPLES


def word_frequency(index):
    return 600 + 200 * index


def word_samples(index):
    """The samples of one word, faded in and out, as an array of int16."""
    step = 2 * math.pi * word_frequency(index) / SAMPLE_RATE
    samples = array.array("h", bytes(2 * WORD_SAMPLES))
    for n in range(WORD_SAMPLES):
        gain = min(1.0, (n + 1) / FADE_SAMPLES, (WORD_SAMPLES - n) / FADE_SAMPLES)
        samples[n] = round(WORD_AMPLITUDE * gain * math.sin(step * n))
    return samples


# Every word tone runs a whole number of cycles in FOLD_SAMPLES (the tones are
# multiples of 200 Hz, whose period is 80 samples at 16 kHz), so a frame folded
# onto FOLD_SAMPLES by adding its four quarters correlates with a tone exactly
# as the whole frame does, at a quarter of the multiplications.
FOLD_SAMPLES = 80


def _frame_tables():
    """Every word tone over FOLD_SAMPLES, as complex phasors.

    The squared magnitude of a folded frame's correlation with these equals
    the Goertzel power of the frame at that frequency; one complex dot
    product per tone runs in C through map().
    """
    tables = []
    for index in range(len(WORDS)):
        step = 2 * math.pi * word_frequency(index) / SAMPLE_RATE
        tables.append([complex(math.cos(step * n), math.sin(step * n)) for n in range(FOLD_SAMPLES)])
    return tables


_TABLES = _frame_tables()


def pcm_to_samples(pcm):
    """Raw signed 16-bit little-endian bytes to an int16 array (an odd last byte is dropped)."""
    samples = array.array("h")
    samples.frombytes(pcm[:len(pcm) - len(pcm) % 2])
    if sys.byteorder == "big":
        samples.byteswap()
    return samples


def samples_to_pcm(samples):
    if sys.byteorder == "big":
        samples = array.array("h", samples)
        samples.byteswap()
    return samples.tobytes()


def _frames(samples):
    for start in range(0, len(samples) - FRAME_SAMPLES + 1, FRAME_SAMPLES):
        yield samples[start:start + FRAME_SAMPLES]


def _is_voiced(frame):
    return sum(map(operator.mul, frame, frame)) > _VOICED_ENERGY


def _folded(frame):
    quarters = [frame[start:start + FOLD_SAMPLES] for start in range(0, FRAME_SAMPLES, FOLD_SAMPLES)]
    return list(map(operator.add, map(operator.add, quarters[0], quarters[1]),
                    map(operator.add, quarters[2], quarters[3])))


def _tone_powers(frame):
    folded = _folded(frame)
    powers = []
    for phasors in _TABLES:
        correlation = sum(map(operator.mul, folded, phasors))
        powers.append(correlation.real * correlation.real + correlation.imag * correlation.imag)
    return powers


def _voiced_runs(samples):
    """Lists of consecutive voiced frames, at least MIN_RUN_FRAMES long, in time order."""
    runs = []
    current = []
    for frame in _frames(samples):
        if _is_voiced(frame):
            current.append(frame)
            continue
        if len(current) >= MIN_RUN_FRAMES:
            runs.append(current)
        current = []
    if len(current) >= MIN_RUN_FRAMES:
        runs.append(current)
    return runs


def _run_word(run):
    totals = [0.0] * len(WORDS)
    for frame in run[1:-1]:
        totals = list(map(operator.add, totals, _tone_powers(frame)))
    return max(range(len(WORDS)), key=totals.__getitem__)


def decode_words(samples):
    """Word indices heard in the samples, in time order."""
    return [_run_word(run) for run in _voiced_runs(samples)]


def decode_text(samples):
    return "".join(WORDS[index] for index in decode_words(samples))


def decode_pcm(pcm):
    return decode_text(pcm_to_samples(pcm))
