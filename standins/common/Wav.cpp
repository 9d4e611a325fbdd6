#include "Wav.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr DWORD kPlainFmtSize = 16;
constexpr DWORD kExtensibleFmtSize = 40;
// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes, which carry the format tag.
constexpr uint8_t kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void PutLe16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    PutLe16(out, static_cast<uint16_t>(v));
    PutLe16(out, static_cast<uint16_t>(v >> 16));
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

bool IsTag(const uint8_t* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

// Parses a "fmt " chunk body of the given size (at least 16 bytes, at most the
// 40 read). The block alignment must agree with channels and sample width.
bool ParseFmt(const uint8_t* body, DWORD size, WavFormat& format)
{
    format.formatTag = Le16(body);
    format.channels = Le16(body + 2);
    format.sampleRate = Le32(body + 4);
    const uint16_t blockAlign = Le16(body + 12);
    format.bitsPerSample = Le16(body + 14);
    if (format.formatTag == kWaveFormatExtensible) {
        if (size < kExtensibleFmtSize || Le16(body + 16) < 22 ||
            std::memcmp(body + 26, kSubtypeTail, sizeof(kSubtypeTail)) != 0)
            return false;
        format.formatTag = Le16(body + 24);
    }
    if (format.channels == 0 || format.sampleRate == 0 || format.bitsPerSample == 0 || format.bitsPerSample % 8 != 0)
        return false;
    return blockAlign == format.channels * (format.bitsPerSample / 8);
}

}  // namespace

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &read, nullptr) &&
           read == size;
}

bool WriteAll(HANDLE file, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written != chunk)
            return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool ReadWavLayout(HANDLE file, WavLayout& layout)
{
    LARGE_INTEGER size;
    uint8_t riff[12];
    if (!GetFileSizeEx(file, &size) || !ReadAt(file, 0, riff, sizeof(riff)) || !IsTag(riff, "RIFF") ||
        !IsTag(riff + 8, "WAVE"))
        return false;
    // The RIFF size is often wrong in files written by streaming tools, so the
    // real file size bounds the walk instead.
    const uint64_t end = static_cast<uint64_t>(size.QuadPart);
    bool haveFormat = false;
    uint64_t position = sizeof(riff);
    while (position + 8 <= end) {
        uint8_t header[8];
        if (!ReadAt(file, position, header, sizeof(header)))
            return false;
        const DWORD chunkSize = Le32(header + 4);
        const uint64_t body = position + 8;
        if (IsTag(header, "fmt ")) {
            uint8_t fmt[kExtensibleFmtSize] = {};
            const DWORD wanted = std::min(chunkSize, kExtensibleFmtSize);
            if (chunkSize < kPlainFmtSize || body + chunkSize > end || !ReadAt(file, body, fmt, wanted) ||
                !ParseFmt(fmt, wanted, layout.format))
                return false;
            haveFormat = true;
        } else if (IsTag(header, "data")) {
            if (!haveFormat)
                return false;
            const uint32_t blockAlign = layout.format.channels * (layout.format.bitsPerSample / 8u);
            const uint64_t present = std::min<uint64_t>(chunkSize, end - body);
            layout.dataOffset = body;
            layout.dataBytes = static_cast<uint32_t>(present - present % blockAlign);
            return true;
        }
        // Chunks are padded to an even size.
        position = body + chunkSize + (chunkSize & 1u);
    }
    return false;
}

std::vector<uint8_t> MakeWavHeader(const WavFormat& format, uint32_t dataBytes)
{
    const uint16_t blockAlign = static_cast<uint16_t>(format.channels * (format.bitsPerSample / 8));
    std::vector<uint8_t> out;
    out.reserve(44);
    PutTag(out, "RIFF");
    // A RIFF size cannot pass 4 GiB; it saturates rather than wrapping round.
    PutLe32(out, dataBytes > UINT32_MAX - 36 ? UINT32_MAX : 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe32(out, kPlainFmtSize);
    PutLe16(out, format.formatTag);
    PutLe16(out, format.channels);
    PutLe32(out, format.sampleRate);
    PutLe32(out, format.sampleRate * blockAlign);
    PutLe16(out, blockAlign);
    PutLe16(out, format.bitsPerSample);
    PutTag(out, "data");
    PutLe32(out, dataBytes);
    return out;
}
