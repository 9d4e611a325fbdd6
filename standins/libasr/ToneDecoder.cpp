#include "ToneDecoder.h"

#include <cmath>

namespace {

constexpr double kSampleRate = 16000.0;
constexpr double kPi = 3.14159265358979323846;
// A frame is voiced when its RMS exceeds 3000: compared as the exact integer
// sum of squares over 320 samples, 3000^2 * 320.
constexpr int64_t kVoicedSumOfSquares = 2880000000LL;
constexpr size_t kMinRunFrames = 6;

const char* const kWordTexts[kToneWordCount] = {
    "\xE9\x9B\xB6",              // 零
    "\xE4\xB8\x80",              // 一
    "\xE4\xBA\x8C",              // 二
    "\xE4\xB8\x89",              // 三
    "\xE5\x9B\x9B",              // 四
    "\xE4\xBA\x94",              // 五
    "\xE5\x85\xAD",              // 六
    "\xE4\xB8\x83",              // 七
    "\xE5\x85\xAB",              // 八
    "\xE4\xB9\x9D",              // 九
    "\xE4\xBD\xA0\xE5\xA5\xBD",  // 你好
    "\xE4\xB8\x96\xE7\x95\x8C",  // 世界
    "\xE8\xAF\xAD\xE9\x9F\xB3",  // 语音
    "\xE8\xAF\x86\xE5\x88\xAB",  // 识别
    "\xE6\xB5\x8B\xE8\xAF\x95",  // 测试
    "\xE7\xBB\x93\xE6\x9D\x9F",  // 结束
};

double WordFrequency(int word)
{
    return 600.0 + 200.0 * word;
}

double GoertzelPower(const int16_t* samples, size_t count, double frequency)
{
    const double coeff = 2.0 * std::cos(2.0 * kPi * frequency / kSampleRate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double s = samples[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

bool IsVoiced(const int16_t* samples, size_t count)
{
    int64_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += int64_t(samples[i]) * samples[i];
    return sum > kVoicedSumOfSquares;
}

}  // namespace

const char* ToneWordText(int word)
{
    if (word < 0 || word >= kToneWordCount)
        return nullptr;
    return kWordTexts[word];
}

void ToneDecoder::Feed(const uint8_t* bytes, size_t count, std::vector<int>* words)
{
    for (size_t i = 0; i < count; ++i) {
        if (!haveLowByte_) {
            lowByte_ = bytes[i];
            haveLowByte_ = true;
            continue;
        }
        haveLowByte_ = false;
        frame_[filled_++] = int16_t(uint16_t(lowByte_ | (uint16_t(bytes[i]) << 8)));
        if (filled_ == kFrameSamples) {
            EndFrame(words);
            filled_ = 0;
        }
    }
}

void ToneDecoder::Finish(std::vector<int>* words)
{
    // A last partial frame is not judged.
    EndRun(words);
    filled_ = 0;
    haveLowByte_ = false;
}

void ToneDecoder::EndFrame(std::vector<int>* words)
{
    if (IsVoiced(frame_, kFrameSamples))
        AddVoicedFrame();
    else
        EndRun(words);
}

void ToneDecoder::AddVoicedFrame()
{
    ++runFrames_;
    if (runFrames_ == 1)
        return;  // the first frame of a run is never counted
    for (int k = 0; k < kToneWordCount; ++k) {
        if (runFrames_ > 2)
            runPower_[k] += lastPower_[k];
        lastPower_[k] = GoertzelPower(frame_, kFrameSamples, WordFrequency(k));
    }
}

void ToneDecoder::EndRun(std::vector<int>* words)
{
    if (runFrames_ >= kMinRunFrames) {
        int best = 0;
        for (int k = 1; k < kToneWordCount; ++k) {
            if (runPower_[k] > runPower_[best])
                best = k;
        }
        words->push_back(best);
    }
    runFrames_ = 0;
    for (int k = 0; k < kToneWordCount; ++k) {
        runPower_[k] = 0.0;
        lastPower_[k] = 0.0;
    }
}
