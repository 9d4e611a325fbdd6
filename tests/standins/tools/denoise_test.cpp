// The denoise tool, "vantorinaudio.exe" "IN.wav" "OUT.wav", run as a separate
// process on WAV files made here.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr uint32_t kRate = 16000;
constexpr size_t kToneSamples = 5120;   // 0.32 s
constexpr size_t kLeadSamples = 10240;  // time for the noise estimate to settle
constexpr size_t kTailSamples = 200;    // the file ends inside a tone, mid-frame
constexpr double kNoiseRms = 1000.0;
const WavFormat kSpeech = {kWaveFormatPcm, 1, kRate, 16};

struct Stretch {
    size_t start;
    size_t count;
    bool tone;
};

// Six tones from 600 to 3600 Hz, each followed by silence, then a last tone
// cut off in its last frame; white noise over everything.
struct NoisyTones {
    std::vector<int16_t> samples;
    std::vector<Stretch> stretches;

    NoisyTones()
    {
        std::vector<double> clean(kLeadSamples, 0.0);
        for (int hz = 600; hz <= 3600; hz += 600) {
            AddTone(clean, hz, kToneSamples);
            stretches.push_back({clean.size(), kToneSamples, false});
            clean.resize(clean.size() + kToneSamples, 0.0);
        }
        AddTone(clean, 600, kToneSamples + kTailSamples);
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, kNoiseRms);
        for (double value : clean)
            samples.push_back(
                static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, value + noise(random))))));
    }

    void AddTone(std::vector<double>& clean, int hz, size_t count)
    {
        stretches.push_back({clean.size(), count, true});
        for (size_t i = 0; i < count; ++i)
            clean.push_back(16384.0 * std::sin(2.0 * kPi * hz * i / kRate));
    }
};

// RMS over the given kind of stretch, each trimmed at both ends so that onsets
// and the preprocessor's smoothing do not count.
double StretchRms(const std::vector<int16_t>& samples, const std::vector<Stretch>& stretches, bool tone, size_t trim)
{
    double sum = 0.0;
    size_t count = 0;
    for (const Stretch& s : stretches) {
        if (s.tone != tone || s.count <= 2 * trim)
            continue;
        const double rms = Rms(samples, s.start + trim, s.count - 2 * trim);
        sum += rms * rms * (s.count - 2 * trim);
        count += s.count - 2 * trim;
    }
    return std::sqrt(sum / count);
}

std::vector<uint8_t> Chunk(const char* id, std::vector<uint8_t> body, uint32_t declaredSize)
{
    std::vector<uint8_t> chunk(id, id + 4);
    for (int shift = 0; shift < 32; shift += 8)
        chunk.push_back(static_cast<uint8_t>(declaredSize >> shift));
    chunk.insert(chunk.end(), body.begin(), body.end());
    if (body.size() % 2 != 0)
        chunk.push_back(0);
    return chunk;
}

std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body)
{
    return Chunk(id, body, static_cast<uint32_t>(body.size()));
}

std::vector<uint8_t> RiffWave(const std::vector<std::vector<uint8_t>>& chunks)
{
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    for (const auto& chunk : chunks)
        body.insert(body.end(), chunk.begin(), chunk.end());
    return Chunk("RIFF", body);
}

// The 16-byte "fmt " body of the canonical header for this format.
std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    const std::vector<uint8_t> header = MakeWavHeader({tag, channels, rate, bits}, 0);
    return std::vector<uint8_t>(header.begin() + 20, header.begin() + 36);
}

std::vector<uint8_t> ExtensibleFmt(uint16_t subFormat)
{
    std::vector<uint8_t> body = FmtBody(0xFFFE, 1, kRate, 16);
    const uint8_t extension[24] = {22,   0,    16,   0,    4,    0,    0,    0,    static_cast<uint8_t>(subFormat),
                                   0,    0,    0,    0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                   0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.insert(body.end(), extension, extension + sizeof(extension));
    return body;
}

// The file as a recording cut off after size bytes would leave it.
std::vector<uint8_t> CutOff(std::vector<uint8_t> bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> SampleBytes(size_t count)
{
    std::vector<uint8_t> bytes(count * 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 37);
    return bytes;
}

long Denoise(const std::wstring& input, const std::wstring& output)
{
    return RunBeside(L"vantorinaudio.exe", {input, output});
}

TEST(DenoiseTool, LowersTheNoiseFloorAndKeepsTonesFormatAndLength)
{
    ScratchFolder folder;
    const NoisyTones input;
    const std::wstring in = folder.File(L"tones in.wav");
    const std::wstring out = folder.File(L"\u964d\u566a out.wav");
    ASSERT_TRUE(WriteBytes(in, WavBytes(kSpeech, input.samples)));

    ASSERT_EQ(0, Denoise(in, out));

    WavFormat format;
    std::vector<int16_t> output;
    ASSERT_TRUE(LoadWav(out, format, output));
    EXPECT_EQ(kWaveFormatPcm, format.formatTag);
    EXPECT_EQ(1, format.channels);
    EXPECT_EQ(kRate, format.sampleRate);
    EXPECT_EQ(16, format.bitsPerSample);
    ASSERT_EQ(input.samples.size(), output.size());

    const double noiseIn = StretchRms(input.samples, input.stretches, false, 1600);
    const double noiseOut = StretchRms(output, input.stretches, false, 1600);
    const double toneIn = StretchRms(input.samples, input.stretches, true, 320);
    const double toneOut = StretchRms(output, input.stretches, true, 320);
    const size_t tail = input.samples.size() - kTailSamples;
    const double tailIn = Rms(input.samples, tail, kTailSamples);
    const double tailOut = Rms(output, tail, kTailSamples);
    std::printf("noise floor %.1f -> %.1f (%.1f dB); tones %.1f -> %.1f (%.1f dB); last partial frame %.1f -> %.1f\n",
                noiseIn, noiseOut, DbFs(noiseOut) - DbFs(noiseIn), toneIn, toneOut, DbFs(toneOut) - DbFs(toneIn),
                tailIn, tailOut);
    EXPECT_LT(noiseOut, noiseIn / 2.0) << "at least 6 dB less noise between the tones";
    EXPECT_GT(toneOut, toneIn * 0.7) << "the tones keep most of their energy";
    EXPECT_GT(tailOut, tailIn * 0.5) << "the last partial frame is processed, not dropped";
    EXPECT_EQ(2u, folder.Names().size()) << "no temporary file is left";
}

TEST(DenoiseTool, ReadsLayoutsBeyondTheCanonicalHeader)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        size_t samples;
    };
    const std::vector<uint8_t> data = SampleBytes(1000);
    std::vector<uint8_t> fmt18 = FmtBody(kWaveFormatPcm, 1, kRate, 16);
    fmt18.insert(fmt18.end(), {0, 0});
    const Case cases[] = {
        {"odd-sized unknown chunks before and between",
         RiffWave({Chunk("LIST", {'a', 'b', 'c'}), Chunk("fmt ", FmtBody(1, 1, kRate, 16)),
                   Chunk("junk", {1, 2, 3, 4, 5}), Chunk("data", data)}),
         1000},
        {"18-byte fmt chunk", RiffWave({Chunk("fmt ", fmt18), Chunk("data", data)}), 1000},
        {"extensible PCM format", RiffWave({Chunk("fmt ", ExtensibleFmt(1)), Chunk("data", data)}), 1000},
        {"data chunk cut off mid-sample",
         CutOff(RiffWave({Chunk("fmt ", FmtBody(1, 1, kRate, 16)), Chunk("data", data)}), 44 + 601), 300},
        {"no samples at all", RiffWave({Chunk("fmt ", FmtBody(1, 1, kRate, 16)), Chunk("data", {})}), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ASSERT_TRUE(WriteBytes(folder.File(L"in.wav"), c.bytes));
        ASSERT_EQ(0, Denoise(folder.File(L"in.wav"), folder.File(L"out.wav")));
        WavFormat format;
        std::vector<int16_t> output;
        ASSERT_TRUE(LoadWav(folder.File(L"out.wav"), format, output));
        EXPECT_EQ(kWaveFormatPcm, format.formatTag);
        EXPECT_EQ(c.samples, output.size());
        EXPECT_EQ(44 + c.samples * 2, ReadBytes(folder.File(L"out.wav")).size());
    }
}

TEST(DenoiseTool, RejectedInputWritesNothing)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;  // empty: no input file at all
    };
    const std::vector<uint8_t> data = SampleBytes(400);
    std::vector<uint8_t> text(200, 'x');
    const Case cases[] = {
        {"missing input", {}},
        {"not a WAV file", text},
        {"fmt chunk larger than the file", RiffWave({Chunk("fmt ", FmtBody(1, 1, kRate, 16), 4000)})},
        {"fmt chunk too short", RiffWave({Chunk("fmt ", std::vector<uint8_t>(12, 1)), Chunk("data", data)})},
        {"data before fmt", RiffWave({Chunk("data", data), Chunk("fmt ", FmtBody(1, 1, kRate, 16))})},
        {"no data chunk", RiffWave({Chunk("fmt ", FmtBody(1, 1, kRate, 16)), Chunk("LIST", data)})},
        {"44.1 kHz", RiffWave({Chunk("fmt ", FmtBody(1, 1, 44100, 16)), Chunk("data", data)})},
        {"stereo", RiffWave({Chunk("fmt ", FmtBody(1, 2, kRate, 16)), Chunk("data", data)})},
        {"8-bit", RiffWave({Chunk("fmt ", FmtBody(1, 1, kRate, 8)), Chunk("data", data)})},
        {"32-bit float", RiffWave({Chunk("fmt ", FmtBody(3, 1, kRate, 32)), Chunk("data", data)})},
        {"extensible float", RiffWave({Chunk("fmt ", ExtensibleFmt(3)), Chunk("data", data)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        if (!c.bytes.empty()) {
            ASSERT_TRUE(WriteBytes(folder.File(L"in.wav"), c.bytes));
        }
        EXPECT_NE(0, Denoise(folder.File(L"in.wav"), folder.File(L"out.wav")));
        EXPECT_FALSE(FileExists(folder.File(L"out.wav")));
        EXPECT_EQ(c.bytes.empty() ? 0u : 1u, folder.Names().size()) << "no temporary file is left";
    }
}

TEST(DenoiseTool, FailureLeavesAnExistingOutputAsItWas)
{
    ScratchFolder folder;
    const std::vector<uint8_t> previous = {'o', 'l', 'd'};
    ASSERT_TRUE(WriteBytes(folder.File(L"out.wav"), previous));
    ASSERT_TRUE(WriteBytes(folder.File(L"in.wav"),
                           RiffWave({Chunk("fmt ", FmtBody(1, 2, kRate, 16)), Chunk("data", SampleBytes(100))})));
    EXPECT_NE(0, Denoise(folder.File(L"in.wav"), folder.File(L"out.wav")));
    EXPECT_EQ(previous, ReadBytes(folder.File(L"out.wav")));
}

TEST(DenoiseTool, NeedsExactlyTwoPaths)
{
    ScratchFolder folder;
    ASSERT_TRUE(WriteBytes(folder.File(L"in.wav"), WavBytes(kSpeech, std::vector<int16_t>(640, 100))));
    EXPECT_NE(0, RunBeside(L"vantorinaudio.exe", {folder.File(L"in.wav")}));
    EXPECT_NE(0,
              RunBeside(L"vantorinaudio.exe", {folder.File(L"in.wav"), folder.File(L"a.wav"), folder.File(L"b.wav")}));
    EXPECT_EQ(1u, folder.Names().size());
}

}  // namespace
