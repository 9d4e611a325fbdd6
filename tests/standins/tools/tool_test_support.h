#pragma once
// Files, WAV data and tool runs for the audio tool tests.
#include "Wav.h"

#include <cstdint>
#include <string>
#include <vector>

// A folder of its own beside the test binary, emptied and removed at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::vector<std::wstring> Names() const;

private:
    std::wstring path_;
};

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

std::vector<uint8_t> WavBytes(const WavFormat& format, const std::vector<int16_t>& samples);
// Reads a 16-bit PCM WAV file whole; false when it is not one.
bool LoadWav(const std::wstring& path, WavFormat& format, std::vector<int16_t>& samples);

// Runs a program from the test's folder and waits; -1 when it did not start.
long RunBeside(const std::wstring& program, const std::vector<std::wstring>& arguments);

double Rms(const std::vector<int16_t>& samples, size_t start, size_t count);
double DbFs(double level);

constexpr double kPi = 3.14159265358979323846;
