// Denoise tool: suppresses stationary noise in a 16 kHz mono 16-bit PCM WAV
// file and writes the result, same format and length, to a second file.
// Exit codes: 0 written; 1 wrong arguments; 2 input missing or unreadable;
// 3 not a WAV file; 4 a format other than 16 kHz mono 16-bit PCM; 5 the
// output could not be written.
#include "PendingFile.h"
#include "Process.h"
#include "ScopedHandle.h"
#include "Wav.h"

#include <speex/speex_preprocess.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

enum ExitCode { kDone = 0, kUsage = 1, kNoInput = 2, kNotWav = 3, kWrongFormat = 4, kWriteFailed = 5 };

constexpr uint32_t kSampleRate = 16000;
constexpr int kFrameSamples = 320;  // 20 ms at 16 kHz
constexpr size_t kFramesPerBlock = 256;

struct PreprocessTraits {
    using Value = SpeexPreprocessState*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { speex_preprocess_state_destroy(v); }
};
using ScopedPreprocess = ScopedResource<PreprocessTraits>;

bool IsSpeechFormat(const WavFormat& format)
{
    return format.formatTag == kWaveFormatPcm && format.channels == 1 && format.sampleRate == kSampleRate &&
           format.bitsPerSample == 16;
}

ScopedPreprocess MakeDenoiser()
{
    ScopedPreprocess state(speex_preprocess_state_init(kFrameSamples, static_cast<int>(kSampleRate)));
    if (!state)
        return state;
    int on = 1;
    int off = 0;
    speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_DENOISE, &on);
    speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_AGC, &off);
    speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_VAD, &off);
    speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_DEREVERB, &off);
    return state;
}

// Denoises a block in place, frame by frame. A last partial frame is padded
// with silence for the preprocessor and only its real samples are kept.
void DenoiseBlock(SpeexPreprocessState* state, std::vector<spx_int16_t>& block, size_t samples)
{
    spx_int16_t frame[kFrameSamples];
    for (size_t start = 0; start < samples; start += kFrameSamples) {
        const size_t count = std::min<size_t>(kFrameSamples, samples - start);
        std::fill(std::copy_n(block.begin() + start, count, frame), frame + kFrameSamples, spx_int16_t(0));
        speex_preprocess_run(state, frame);
        std::copy_n(frame, count, block.begin() + start);
    }
}

bool DenoiseData(HANDLE input, const WavLayout& layout, HANDLE output)
{
    ScopedPreprocess denoiser = MakeDenoiser();
    const std::vector<uint8_t> header = MakeWavHeader(layout.format, layout.dataBytes);
    if (!denoiser || !WriteAll(output, header.data(), header.size()))
        return false;
    std::vector<spx_int16_t> block(kFramesPerBlock * kFrameSamples);
    const size_t totalSamples = layout.dataBytes / sizeof(spx_int16_t);
    for (size_t done = 0; done < totalSamples;) {
        const size_t samples = std::min(block.size(), totalSamples - done);
        const DWORD bytes = static_cast<DWORD>(samples * sizeof(spx_int16_t));
        if (!ReadAt(input, layout.dataOffset + done * sizeof(spx_int16_t), block.data(), bytes))
            return false;
        DenoiseBlock(denoiser.get(), block, samples);
        if (!WriteAll(output, block.data(), bytes))
            return false;
        done += samples;
    }
    return true;
}

int Denoise(const std::wstring& inputPath, const std::wstring& outputPath)
{
    ScopedHandle input(CreateFileW(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!input)
        return kNoInput;
    WavLayout layout;
    if (!ReadWavLayout(input.get(), layout))
        return kNotWav;
    if (!IsSpeechFormat(layout.format))
        return kWrongFormat;

    PendingFile pending(outputPath);
    if (pending.path().empty())
        return kWriteFailed;
    ScopedHandle output(
        CreateFileW(pending.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output || !DenoiseData(input.get(), layout, output.get()))
        return kWriteFailed;
    output.reset();
    input.reset();
    return pending.Commit() ? kDone : kWriteFailed;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::vector<std::wstring> arguments = ProcessArguments();
    if (arguments.size() != 2)
        return kUsage;
    return Denoise(arguments[0], arguments[1]);
}
