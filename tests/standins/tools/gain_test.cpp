// The gain tool, "vantoringain.exe" /c /r /q "FILE.mp3", run as a separate
// process on MP3 files that ffmpeg.exe makes here from generated WAV files.
#include "tool_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr uint32_t kRate = 48000;
constexpr size_t kFrames = 3 * kRate;
const WavFormat kStereo = {kWaveFormatPcm, 2, kRate, 16};

struct Mp3Encoding {
    int channels;
    int sampleRate;
    int kbps;
};
const Mp3Encoding kProgramMp3 = {2, 48000, 128};

struct Measure {
    WavFormat format;
    double rmsDb = 0.0;
    double peakDb = 0.0;
    double seconds = 0.0;
};

// Left and right tones of the given amplitude, with optional loud 5 ms bursts
// twice a second that set the peak but hardly the RMS.
std::vector<int16_t> StereoTones(double amplitude, double burstAmplitude)
{
    std::vector<int16_t> samples;
    samples.reserve(kFrames * 2);
    for (size_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const bool burst = i % (kRate / 2) < kRate / 200;
        const double extra = burst ? burstAmplitude * std::sin(2.0 * kPi * 3000.0 * t) : 0.0;
        samples.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * kPi * 440.0 * t) + extra)));
        samples.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * kPi * 550.0 * t) + extra)));
    }
    return samples;
}

// Made the way the program makes its MP3 files, unless told otherwise.
bool MakeMp3(const ScratchFolder& folder, const std::vector<int16_t>& samples, const std::wstring& mp3,
             const Mp3Encoding& encoding = kProgramMp3)
{
    const std::wstring wav = folder.File(L"source.wav");
    const bool made =
        WriteBytes(wav, WavBytes(kStereo, samples)) &&
        RunBeside(L"ffmpeg.exe", {L"-y", L"-v", L"error", L"-i", wav, L"-acodec", L"libmp3lame", L"-ac",
                                  std::to_wstring(encoding.channels), L"-ar", std::to_wstring(encoding.sampleRate),
                                  L"-b:a", std::to_wstring(encoding.kbps) + L"k", mp3}) == 0;
    DeleteFileW(wav.c_str());
    return made && FileExists(mp3);
}

// Decodes with ffmpeg.exe, keeping the file's own rate and channels.
bool MeasureMp3(const ScratchFolder& folder, const std::wstring& mp3, Measure& measure)
{
    const std::wstring wav = folder.File(L"decoded.wav");
    std::vector<int16_t> samples;
    const bool decoded =
        RunBeside(L"ffmpeg.exe", {L"-y", L"-v", L"error", L"-i", mp3, L"-acodec", L"pcm_s16le", wav}) == 0 &&
        LoadWav(wav, measure.format, samples) && !samples.empty();
    DeleteFileW(wav.c_str());
    if (!decoded)
        return false;
    int peak = 0;
    for (int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    measure.rmsDb = DbFs(Rms(samples, 0, samples.size()));
    measure.peakDb = DbFs(peak);
    measure.seconds = static_cast<double>(samples.size()) / measure.format.channels / measure.format.sampleRate;
    return true;
}

long Gain(const std::vector<std::wstring>& arguments)
{
    return RunBeside(L"vantoringain.exe", arguments);
}

TEST(GainTool, RaisesQuietFilesWithinThePeakCeiling)
{
    struct Case {
        const char* name;
        std::vector<int16_t> samples;
        std::vector<std::wstring> switches;
        double expectRmsDb;  // NAN: only "higher"
        double minimumRiseDb;
        Mp3Encoding encoding;
    };
    const Case cases[] = {
        {"quiet tones reach the target level",
         StereoTones(1000.0, 0.0),
         {L"/c", L"/r", L"/q"},
         -16.0,
         10.0,
         kProgramMp3},
        {"loud bursts hold the gain down",
         StereoTones(700.0, 15000.0),
         {L"/c", L"/r", L"/q", L"/x"},
         NAN,
         3.0,
         kProgramMp3},
        {"mono 44.1 kHz 64k stays so", StereoTones(1000.0, 0.0), {L"/c", L"/r", L"/q"}, -16.0, 10.0, {1, 44100, 64}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::wstring mp3 = folder.File(L"\u54cd\u5ea6 quiet.mp3");
        ASSERT_TRUE(MakeMp3(folder, c.samples, mp3, c.encoding));
        Measure before;
        ASSERT_TRUE(MeasureMp3(folder, mp3, before));

        std::vector<std::wstring> arguments = c.switches;
        arguments.push_back(mp3);
        ASSERT_EQ(0, Gain(arguments));

        Measure after;
        ASSERT_TRUE(MeasureMp3(folder, mp3, after));
        const double kbps = ReadBytes(mp3).size() * 8.0 / after.seconds / 1000.0;
        std::printf("%s: RMS %.2f -> %.2f dBFS, peak %.2f -> %.2f dBFS, %.1f kb/s\n", c.name, before.rmsDb, after.rmsDb,
                    before.peakDb, after.peakDb, kbps);
        EXPECT_EQ(c.encoding.channels, after.format.channels);
        EXPECT_EQ(c.encoding.sampleRate, static_cast<int>(after.format.sampleRate));
        EXPECT_NEAR(c.encoding.kbps, kbps, c.encoding.kbps / 16.0);
        EXPECT_NEAR(before.seconds, after.seconds, 0.1);
        EXPECT_GE(after.rmsDb - before.rmsDb, c.minimumRiseDb);
        if (!std::isnan(c.expectRmsDb)) {
            EXPECT_NEAR(c.expectRmsDb, after.rmsDb, 1.0);
        }
        EXPECT_LT(after.peakDb, -0.5) << "the loudest peak stays clear of full scale";
        EXPECT_EQ(1u, folder.Names().size()) << "no temporary file is left";
    }
}

TEST(GainTool, LeavesFilesItCannotOrNeedNotRaiseUnchanged)
{
    struct Case {
        const char* name;
        std::function<bool(const ScratchFolder&, const std::wstring&)> make;
        long expectExit;  // -2: any failure
    };
    const Case cases[] = {
        {"already loud",
         [](const ScratchFolder& f, const std::wstring& mp3) { return MakeMp3(f, StereoTones(20000.0, 0.0), mp3); }, 0},
        {"digital silence",
         [](const ScratchFolder& f, const std::wstring& mp3) { return MakeMp3(f, StereoTones(0.0, 0.0), mp3); }, 0},
        {"not audio",
         [](const ScratchFolder&, const std::wstring& mp3) { return WriteBytes(mp3, std::vector<uint8_t>(5000, 'x')); },
         -2},
        {"empty file", [](const ScratchFolder&, const std::wstring& mp3) { return WriteBytes(mp3, {}); }, -2},
        {"MP3 frame headers followed by garbage",
         [](const ScratchFolder&, const std::wstring& mp3) {
             std::vector<uint8_t> bytes;
             for (int frame = 0; frame < 20; ++frame) {
                 const uint8_t header[4] = {0xFF, 0xFB, 0x94, 0x64};  // MPEG-1 layer III 128k 48 kHz
                 bytes.insert(bytes.end(), header, header + 4);
                 bytes.resize(bytes.size() + 380, static_cast<uint8_t>(frame * 13));
             }
             return WriteBytes(mp3, bytes);
         },
         -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::wstring mp3 = folder.File(L"file.mp3");
        ASSERT_TRUE(c.make(folder, mp3));
        const std::vector<uint8_t> original = ReadBytes(mp3);
        const long exitCode = Gain({L"/c", L"/r", L"/q", mp3});
        if (c.expectExit == -2) {
            EXPECT_NE(0, exitCode);
        } else {
            EXPECT_EQ(c.expectExit, exitCode);
        }
        EXPECT_EQ(original, ReadBytes(mp3));
        EXPECT_EQ(1u, folder.Names().size()) << "no temporary file is left";
    }
}

TEST(GainTool, MissingFileOrNoFileFails)
{
    ScratchFolder folder;
    EXPECT_NE(0, Gain({L"/c", L"/r", L"/q", folder.File(L"absent.mp3")}));
    EXPECT_NE(0, Gain({L"/c", L"/r", L"/q"}));
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
