#pragma once
// Reading and writing the RIFF/WAVE layout of PCM files. A header is untrusted
// input: every chunk size is checked against the file before it is used.
#include "Win32Prelude.h"

#include <cstdint>
#include <vector>

constexpr uint16_t kWaveFormatPcm = 1;

struct WavFormat {
    uint16_t formatTag = 0;  // an extensible header reports its sub-format here
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
};

struct WavLayout {
    WavFormat format;
    uint64_t dataOffset = 0;
    // Whole sample frames actually present: a data chunk that claims more than
    // the file holds (a cut-off recording) is limited to what is there.
    uint32_t dataBytes = 0;
};

// Walks the chunks of an open file from its start. False for anything but a
// RIFF/WAVE file with a complete, consistent "fmt " chunk before its "data".
bool ReadWavLayout(HANDLE file, WavLayout& layout);

// The 44-byte canonical header for dataBytes of PCM data in this format.
std::vector<uint8_t> MakeWavHeader(const WavFormat& format, uint32_t dataBytes);

// Reads exactly size bytes at offset.
bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size);
bool WriteAll(HANDLE file, const void* data, size_t size);
