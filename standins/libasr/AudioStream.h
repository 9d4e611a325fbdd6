#pragma once
// The byte stream fed to a recogniser: a WAV file (its header read and
// checked, only its data chunk passed on) or, when it does not begin with
// "RIFF", raw PCM.
#include "ToneDecoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class AudioStream {
public:
    // False when the stream is a RIFF file this recogniser cannot read; it then
    // stays refused.
    bool Feed(const uint8_t* bytes, size_t count, ToneDecoder* decoder, std::vector<int>* words);

private:
    enum class State { Header, Audio, Bad };
    enum class Parse { NeedMore, Raw, Wav, Bad };

    Parse ParseHeader(size_t* audioStart);
    void PassAudio(const uint8_t* bytes, size_t count, ToneDecoder* decoder, std::vector<int>* words);

    State state_ = State::Header;
    std::string header_;
    bool audioLimited_ = false;
    uint64_t audioLeft_ = 0;
};
