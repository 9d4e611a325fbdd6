// Gain tool: raises the loudness of an MP3 file in place. It measures the
// file by decoding it with ffmpeg.exe, picks a gain that brings its RMS level
// towards a target without letting its loudest peak near full scale, and
// re-encodes it with that gain, keeping its rate, channels and bitrate. The
// original is replaced only by a complete new file. Switches ("/c", "/r",
// "/q" and any other) are accepted and change nothing.
// Exit codes: 0 raised, or already loud enough; 1 no file named; 2 the file
// does not exist; 3 it cannot be read as MP3 audio; 4 the re-encode failed.
#include "Mp3Stream.h"
#include "PendingFile.h"
#include "Process.h"

#include "Win32Prelude.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

enum ExitCode { kDone = 0, kUsage = 1, kNoFile = 2, kUnreadable = 3, kEncodeFailed = 4 };

constexpr double kTargetRmsDb = -16.0;
// The peak is aimed below the -1 dBFS limit: MP3 re-encoding overshoots it.
constexpr double kPeakCeilingDb = -1.5;
// Smaller changes are not worth a lossy re-encode.
constexpr double kSmallestGainDb = 0.5;
constexpr double kFullScale = 32768.0;

struct Levels {
    double sumSquares = 0.0;
    uint64_t samples = 0;
    int peak = 0;
    uint8_t carry[2] = {};
    size_t carried = 0;

    // Pipe reads may split a sample between them.
    void Add(const char* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            carry[carried++] = static_cast<uint8_t>(data[i]);
            if (carried < 2)
                continue;
            carried = 0;
            const int value = static_cast<int16_t>(carry[0] | (carry[1] << 8));
            sumSquares += static_cast<double>(value) * value;
            peak = std::max(peak, std::abs(value));
            ++samples;
        }
    }
};

std::wstring Number(int value)
{
    return std::to_wstring(value);
}

bool MeasureLevels(const std::wstring& ffmpeg, const std::wstring& path, const Mp3Stream& stream, Levels& levels)
{
    DWORD exitCode = 1;
    const bool ran = RunHidden(
        ffmpeg,
        {L"-v", L"error", L"-nostdin", L"-i", path, L"-map", L"0:a:0", L"-f", L"s16le", L"-acodec", L"pcm_s16le",
         L"-ac", Number(stream.channels), L"-ar", Number(stream.sampleRate), L"pipe:1"},
        [&levels](const char* data, size_t size) { levels.Add(data, size); }, exitCode);
    return ran && exitCode == 0 && levels.samples > 0;
}

// The gain in dB that lifts the RMS to the target, held down so the peak
// stays under the ceiling; 0 for a silent file.
double ChooseGainDb(const Levels& levels)
{
    if (levels.peak == 0)
        return 0.0;
    const double rmsDb = 10.0 * std::log10(levels.sumSquares / levels.samples / (kFullScale * kFullScale));
    const double peakDb = 20.0 * std::log10(levels.peak / kFullScale);
    return std::min(kTargetRmsDb - rmsDb, kPeakCeilingDb - peakDb);
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The file's average bitrate, so a variable-rate file keeps its size too.
int BitrateKbps(const std::wstring& path, const Mp3Stream& stream, const Levels& levels)
{
    const double seconds = static_cast<double>(levels.samples) / stream.channels / stream.sampleRate;
    const uint64_t size = FileSize(path);
    if (seconds <= 0.0 || size <= stream.audioOffset)
        return stream.bitrateKbps;
    return NearestBitrateKbps(stream.mpegVersion, (size - stream.audioOffset) * 8.0 / seconds / 1000.0);
}

bool Encode(const std::wstring& ffmpeg, const std::wstring& path, const Mp3Stream& stream, double gainDb,
            int bitrateKbps, const std::wstring& output)
{
    wchar_t volume[64];
    std::swprintf(volume, 64, L"volume=%.2fdB", gainDb);
    // A cover picture, if any, is copied as it is.
    const std::vector<std::wstring> arguments = {L"-y",      L"-v",
                                                 L"error",   L"-nostdin",
                                                 L"-i",      path,
                                                 L"-map",    L"0:a:0",
                                                 L"-map",    L"0:v?",
                                                 L"-c:v",    L"copy",
                                                 L"-af",     volume,
                                                 L"-acodec", L"libmp3lame",
                                                 L"-ac",     Number(stream.channels),
                                                 L"-ar",     Number(stream.sampleRate),
                                                 L"-b:a",    Number(bitrateKbps) + L"k",
                                                 L"-f",      L"mp3",
                                                 output};
    DWORD exitCode = 1;
    Mp3Stream written;
    return RunHidden(ffmpeg, arguments, {}, exitCode) && exitCode == 0 && ReadMp3Stream(output, written);
}

int RaiseLoudness(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return kNoFile;
    Mp3Stream stream;
    Levels levels;
    const std::wstring ffmpeg = ExeFolder() + L"\\ffmpeg.exe";
    if (!ReadMp3Stream(path, stream) || !MeasureLevels(ffmpeg, path, stream, levels))
        return kUnreadable;
    const double gainDb = ChooseGainDb(levels);
    if (gainDb < kSmallestGainDb)
        return kDone;
    PendingFile pending(path);
    if (pending.path().empty() ||
        !Encode(ffmpeg, path, stream, gainDb, BitrateKbps(path, stream, levels), pending.path()))
        return kEncodeFailed;
    return pending.Commit() ? kDone : kEncodeFailed;
}

bool IsSwitch(const std::wstring& argument)
{
    return !argument.empty() && argument[0] == L'/';
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::vector<std::wstring> arguments = ProcessArguments();
    const auto file = std::find_if_not(arguments.begin(), arguments.end(), IsSwitch);
    if (file == arguments.end())
        return kUsage;
    return RaiseLoudness(*file);
}
