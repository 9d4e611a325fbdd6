#pragma once
// The recogniser's speech model: a word is a steady tone, one frequency per
// word of a 16-word vocabulary, separated from the next by silence.
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kToneWordCount = 16;

// UTF-8 text of word k; null outside 0..15.
const char* ToneWordText(int word);

// Decodes 16 kHz mono 16-bit little-endian PCM that arrives in pieces of any
// size, odd ones included.
class ToneDecoder {
public:
    // Appends the index of each word that these bytes complete.
    void Feed(const uint8_t* bytes, size_t count, std::vector<int>* words);
    // Ends the audio: a voiced run still open counts when it is long enough.
    void Finish(std::vector<int>* words);

private:
    static constexpr size_t kFrameSamples = 320;

    void EndFrame(std::vector<int>* words);
    void AddVoicedFrame();
    void EndRun(std::vector<int>* words);

    int16_t frame_[kFrameSamples] = {};
    size_t filled_ = 0;
    bool haveLowByte_ = false;
    uint8_t lowByte_ = 0;
    size_t runFrames_ = 0;
    // Tone power summed over the run's frames but its first and last; the
    // newest frame's power waits in lastPower_ until it is known not to be last.
    double runPower_[kToneWordCount] = {};
    double lastPower_[kToneWordCount] = {};
};
