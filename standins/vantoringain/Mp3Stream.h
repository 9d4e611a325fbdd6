#pragma once
// What a re-encode must keep of an MP3 file: its sample rate, channel count
// and bitrate, read from its first MPEG audio layer III frame.
#include <cstdint>
#include <string>

struct Mp3Stream {
    int mpegVersion = 0;  // 1 (MPEG-1) or 2 (MPEG-2 and 2.5: the same bitrates)
    int sampleRate = 0;
    int channels = 0;
    int bitrateKbps = 0;       // of the first frame
    uint64_t audioOffset = 0;  // where the frames start, after any ID3v2 tag
};

// False when no two consecutive layer III frame headers are found near the
// start of the file.
bool ReadMp3Stream(const std::wstring& path, Mp3Stream& stream);

// The bitrate of the version's table nearest to the given average.
int NearestBitrateKbps(int mpegVersion, double kbps);
