#pragma once
// Generator of the synthetic tone speech the speech stand-ins recognise:
// 16 kHz mono 16-bit PCM, one steady tone per word.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tonespeech {

constexpr int kSampleRate = 16000;
constexpr size_t kWordSamples = 5120;    // 0.32 s
constexpr size_t kMinGapSamples = 2880;  // 0.18 s
constexpr size_t kFrameSamples = 320;    // 20 ms

// UTF-8 text of word k, 0..15.
std::string WordText(int word);
double WordFrequency(int word);

struct Recording {
    std::vector<int16_t> samples;
    std::vector<size_t> wordStarts;  // sample index where each word begins
    std::string text;                // the words' texts, concatenated
};

struct Layout {
    size_t leadSamples = 8000;       // silence before the first word
    std::vector<size_t> gapSamples;  // silence after word i (cycled); kMinGapSamples when empty
    size_t tailSamples = 8000;       // silence after the last word
    int noiseAmplitude = 0;          // peak of a uniform background noise
};

// The words in order; no word comes within 0.3 s of a multiple of 58 s or of
// 1200 s, so both engines' pieces cut only silence.
Recording Speak(const std::vector<int>& words, const Layout& layout = Layout());

// Adds a tone of `frames` whole frames at `frequency`, constant `amplitude`,
// without fades.
void AppendTone(std::vector<int16_t>* samples, double frequency, int amplitude, size_t frames);
void AppendSilence(std::vector<int16_t>* samples, size_t count);

struct WavOptions {
    bool listChunk = false;    // an INFO list before the data, as converters write
    bool unknownSize = false;  // data size all ones, as a writer that cannot seek back leaves it
    uint32_t sampleRate = 16000;
    uint16_t channels = 1;
};

// The samples as a WAV file, header included.
std::string WavFile(const std::vector<int16_t>& samples, const WavOptions& options = WavOptions());
// The samples as raw little-endian bytes.
std::string PcmBytes(const std::vector<int16_t>& samples);

}  // namespace tonespeech
