#include "ToneSpeechAudio.h"

#include <algorithm>
#include <cmath>

namespace tonespeech {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kFadeSamples = 160;      // 10 ms
constexpr size_t kBoundaryMargin = 4800;  // 0.3 s
const size_t kPieceLengths[] = {58u * kSampleRate, 1200u * kSampleRate};

// Written out independently of the recogniser's own table, so that a wrong
// text there fails the tests.
const char* const kTexts[16] = {
    u8"零", u8"一", u8"二",   u8"三",   u8"四",   u8"五",   u8"六",   u8"七",
    u8"八", u8"九", u8"你好", u8"世界", u8"语音", u8"识别", u8"测试", u8"结束",
};

// The first start at or after `start` that keeps the word clear of every piece boundary.
size_t ClearOfBoundaries(size_t start)
{
    for (;;) {
        bool moved = false;
        for (size_t length : kPieceLengths) {
            const size_t next = (start + kWordSamples + kBoundaryMargin) / length * length;
            if (next != 0 && next + kBoundaryMargin > start) {
                start = next + kBoundaryMargin;
                moved = true;
            }
        }
        if (!moved)
            return start;
    }
}

int16_t Clamp(double value)
{
    return int16_t(std::lround(std::max(-32768.0, std::min(32767.0, value))));
}

void PutU16(std::string* out, uint16_t v)
{
    out->push_back(char(v & 0xFF));
    out->push_back(char(v >> 8));
}

void PutU32(std::string* out, uint32_t v)
{
    PutU16(out, uint16_t(v & 0xFFFF));
    PutU16(out, uint16_t(v >> 16));
}

}  // namespace

std::string WordText(int word)
{
    return kTexts[word];
}

double WordFrequency(int word)
{
    return 600.0 + 200.0 * word;
}

Recording Speak(const std::vector<int>& words, const Layout& layout)
{
    Recording out;
    std::vector<double> signal(layout.leadSamples, 0.0);
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t start = ClearOfBoundaries(signal.size());
        signal.resize(start, 0.0);
        out.wordStarts.push_back(start);
        out.text += WordText(words[i]);
        const double step = 2.0 * kPi * WordFrequency(words[i]) / kSampleRate;
        for (size_t n = 0; n < kWordSamples; ++n) {
            const double fade = std::min({1.0, double(n) / kFadeSamples, double(kWordSamples - 1 - n) / kFadeSamples});
            signal.push_back(16384.0 * fade * std::sin(step * double(n)));
        }
        const bool last = i + 1 == words.size();
        const size_t gap = last                        ? layout.tailSamples
                           : layout.gapSamples.empty() ? kMinGapSamples
                                                       : layout.gapSamples[i % layout.gapSamples.size()];
        signal.resize(signal.size() + gap, 0.0);
    }
    if (words.empty())
        signal.resize(signal.size() + layout.tailSamples, 0.0);

    uint32_t seed = 12345;
    out.samples.reserve(signal.size());
    for (double value : signal) {
        double noise = 0.0;
        if (layout.noiseAmplitude > 0) {
            seed = seed * 1664525u + 1013904223u;
            noise = (double(seed >> 8) / double(1u << 24) * 2.0 - 1.0) * layout.noiseAmplitude;
        }
        out.samples.push_back(Clamp(value + noise));
    }
    return out;
}

void AppendTone(std::vector<int16_t>* samples, double frequency, int amplitude, size_t frames)
{
    const size_t base = samples->size();
    for (size_t n = 0; n < frames * kFrameSamples; ++n)
        samples->push_back(Clamp(amplitude * std::sin(2.0 * kPi * frequency * double(base + n) / kSampleRate)));
}

void AppendSilence(std::vector<int16_t>* samples, size_t count)
{
    samples->resize(samples->size() + count, 0);
}

std::string PcmBytes(const std::vector<int16_t>& samples)
{
    std::string out;
    out.reserve(samples.size() * 2);
    for (int16_t s : samples)
        PutU16(&out, uint16_t(s));
    return out;
}

std::string WavFile(const std::vector<int16_t>& samples, const WavOptions& options)
{
    const std::string pcm = PcmBytes(samples);
    std::string list;
    if (options.listChunk) {
        // An odd-sized chunk, so the reader must honour the pad byte after it.
        const std::string software = "Lavf59.27.10";
        std::string info = "INFOISFT";
        PutU32(&info, uint32_t(software.size() + 1));
        info += software;
        info.push_back('\0');
        list = "LIST";
        PutU32(&list, uint32_t(info.size()));
        list += info;
        if (info.size() % 2)
            list.push_back('\0');
    }
    std::string out = "RIFF";
    PutU32(&out, uint32_t(4 + 24 + list.size() + 8 + pcm.size()));
    out += "WAVE";
    out += "fmt ";
    PutU32(&out, 16);
    PutU16(&out, 1);
    PutU16(&out, options.channels);
    PutU32(&out, options.sampleRate);
    PutU32(&out, options.sampleRate * options.channels * 2);
    PutU16(&out, uint16_t(options.channels * 2));
    PutU16(&out, 16);
    out += list;
    out += "data";
    PutU32(&out, options.unknownSize ? 0xFFFFFFFFu : uint32_t(pcm.size()));
    out += pcm;
    return out;
}

}  // namespace tonespeech
