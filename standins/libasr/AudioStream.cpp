#include "AudioStream.h"

namespace {

// Chunks before the audio (format, LIST, JUNK) are kept whole until the data
// chunk shows up; a header larger than this is not a recording we take.
constexpr size_t kMaxHeaderBytes = 64 * 1024;
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kRiffHeaderBytes = 12;
constexpr uint16_t kFormatPcm = 1;

uint16_t ReadU16(const std::string& s, size_t at)
{
    return uint16_t(uint8_t(s[at]) | (uint8_t(s[at + 1]) << 8));
}

uint32_t ReadU32(const std::string& s, size_t at)
{
    return uint32_t(ReadU16(s, at)) | (uint32_t(ReadU16(s, at + 2)) << 16);
}

bool IdAt(const std::string& s, size_t at, const char* id)
{
    return s.compare(at, 4, id, 4) == 0;
}

bool IsPcm16kMono16(const std::string& s, size_t body, uint32_t size)
{
    if (size < 16)
        return false;
    return ReadU16(s, body) == kFormatPcm && ReadU16(s, body + 2) == 1 && ReadU32(s, body + 4) == 16000 &&
           ReadU16(s, body + 14) == 16;
}

}  // namespace

bool AudioStream::Feed(const uint8_t* bytes, size_t count, ToneDecoder* decoder, std::vector<int>* words)
{
    if (state_ == State::Bad)
        return false;
    if (state_ == State::Audio) {
        PassAudio(bytes, count, decoder, words);
        return true;
    }
    if (header_.size() + count > kMaxHeaderBytes) {
        state_ = State::Bad;
        return false;
    }
    header_.append(reinterpret_cast<const char*>(bytes), count);
    size_t audioStart = 0;
    switch (ParseHeader(&audioStart)) {
    case Parse::NeedMore:
        return true;
    case Parse::Bad:
        state_ = State::Bad;
        header_.clear();
        return false;
    case Parse::Raw:
        audioLimited_ = false;
        break;
    case Parse::Wav:
        break;
    }
    state_ = State::Audio;
    const std::string held = std::move(header_);
    header_.clear();
    PassAudio(reinterpret_cast<const uint8_t*>(held.data()) + audioStart, held.size() - audioStart, decoder, words);
    return true;
}

AudioStream::Parse AudioStream::ParseHeader(size_t* audioStart)
{
    const size_t have = header_.size();
    const size_t probe = have < 4 ? have : 4;
    if (header_.compare(0, probe, "RIFF", probe) != 0) {
        *audioStart = 0;
        return Parse::Raw;
    }
    if (have < kRiffHeaderBytes)
        return Parse::NeedMore;
    if (!IdAt(header_, 8, "WAVE"))
        return Parse::Bad;

    bool formatChecked = false;
    size_t at = kRiffHeaderBytes;
    while (have - at >= kChunkHeaderBytes) {
        const uint32_t size = ReadU32(header_, at + 4);
        const size_t body = at + kChunkHeaderBytes;
        if (IdAt(header_, at, "data")) {
            if (!formatChecked)
                return Parse::Bad;
            // A writer that could not seek back leaves the size 0 or all ones:
            // the audio then runs to the end of the stream.
            audioLimited_ = size != 0 && size != 0xFFFFFFFFu;
            audioLeft_ = size;
            *audioStart = body;
            return Parse::Wav;
        }
        const uint64_t padded = uint64_t(size) + (size & 1u);
        if (padded > kMaxHeaderBytes)
            return Parse::Bad;
        if (have - body < padded)
            return Parse::NeedMore;
        if (IdAt(header_, at, "fmt ")) {
            if (!IsPcm16kMono16(header_, body, size))
                return Parse::Bad;
            formatChecked = true;
        }
        at = body + size_t(padded);
    }
    return Parse::NeedMore;
}

void AudioStream::PassAudio(const uint8_t* bytes, size_t count, ToneDecoder* decoder, std::vector<int>* words)
{
    if (audioLimited_) {
        if (count > audioLeft_)
            count = size_t(audioLeft_);
        audioLeft_ -= count;
    }
    decoder->Feed(bytes, count, words);
}
