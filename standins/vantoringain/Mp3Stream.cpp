#include "Mp3Stream.h"

#include "ScopedHandle.h"
#include "Wav.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr DWORD kId3HeaderSize = 10;
constexpr DWORD kSearchBytes = 64 * 1024;
constexpr int kBitratesV1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kBitratesV2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kRatesV1[3] = {44100, 48000, 32000};

struct FrameHeader {
    int versionBits = 0;
    Mp3Stream stream;
    size_t length = 0;
};

// Decodes a layer III frame header; false for a free, reserved or bad field.
bool ParseFrameHeader(const uint8_t* p, FrameHeader& frame)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    frame.versionBits = (p[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (frame.versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    const bool mpeg1 = frame.versionBits == 3;
    Mp3Stream& s = frame.stream;
    s.mpegVersion = mpeg1 ? 1 : 2;
    s.sampleRate = kRatesV1[rateIndex] >> (mpeg1 ? 0 : frame.versionBits == 2 ? 1 : 2);
    s.channels = (p[3] >> 6) == 3 ? 1 : 2;
    s.bitrateKbps = (mpeg1 ? kBitratesV1 : kBitratesV2)[bitrateIndex];
    const int padding = (p[2] >> 1) & 1;
    frame.length = static_cast<size_t>((mpeg1 ? 144 : 72) * s.bitrateKbps * 1000 / s.sampleRate + padding);
    return true;
}

// The size of the ID3v2 tag at the start, 0 when there is none.
uint64_t Id3v2Size(HANDLE file)
{
    uint8_t h[kId3HeaderSize];
    if (!ReadAt(file, 0, h, sizeof(h)) || h[0] != 'I' || h[1] != 'D' || h[2] != '3' ||
        ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0)
        return 0;
    const uint64_t body = (static_cast<uint64_t>(h[6]) << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
    const bool footer = (h[5] & 0x10) != 0;
    return kId3HeaderSize + body + (footer ? kId3HeaderSize : 0);
}

}  // namespace

bool ReadMp3Stream(const std::wstring& path, Mp3Stream& stream)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size))
        return false;
    const uint64_t start = Id3v2Size(file.get());
    const uint64_t end = static_cast<uint64_t>(size.QuadPart);
    if (start >= end)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(kSearchBytes, end - start)));
    if (!ReadAt(file.get(), start, bytes.data(), static_cast<DWORD>(bytes.size())))
        return false;
    // A lone sync pattern can occur by chance; a frame counts only when the
    // next one follows where its length says, with the same version and rate.
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        FrameHeader frame;
        FrameHeader next;
        if (!ParseFrameHeader(&bytes[i], frame) || i + frame.length + 4 > bytes.size() ||
            !ParseFrameHeader(&bytes[i + frame.length], next) || next.versionBits != frame.versionBits ||
            next.stream.sampleRate != frame.stream.sampleRate)
            continue;
        stream = frame.stream;
        stream.audioOffset = start + i;
        return true;
    }
    return false;
}

int NearestBitrateKbps(int mpegVersion, double kbps)
{
    const int* table = mpegVersion == 1 ? kBitratesV1 : kBitratesV2;
    int best = table[1];
    for (int i = 1; i < 15; ++i) {
        if (std::fabs(table[i] - kbps) < std::fabs(best - kbps))
            best = table[i];
    }
    return best;
}
