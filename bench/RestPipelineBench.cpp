// Recognises one recording end to end through the piece scheduler, the real
// ffmpeg.exe and the REST speech stand-in, and reports the wall time, the
// peak working set and the wall time of one full ffmpeg.exe decode of the
// same file.
//   rest_pipeline_bench.exe RECORDING SECONDS EXPECTED_TEXT_FILE [TICK_MS]
// TICK_MS is the scheduler's tick (the main window's is 1000 ms).
#include "CSpeechClient.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "PipelineSupport.h"
#include "PubUtils.h"
#include "StringUtils.h"
#include "TestSupport.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Seconds(ULONGLONG fromMs) { return double(GetTickCount64() - fromMs) / 1000.0; }

// One full decode of the recording to 16 kHz mono PCM, as the pieces are cut.
double FullDecodeSeconds(const std::string& recording)
{
    const std::string out = GetTempDir() + "\\bench_full_decode.pcm";
    const std::wstring line = AnsiToWide("-y -i \"" + recording + "\" -f s16le -ac 1 -ar 16000 \"" + out + "\"");
    const ULONGLONG start = GetTickCount64();
    ScopedHandle process = StartFfmpeg(line, false);
    if (!process)
        return -1.0;
    WaitForSingleObject(process.get(), INFINITE);
    const double seconds = Seconds(start);
    DeleteFileW(AnsiToWide(out).c_str());
    return seconds;
}

size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return 0;
    return counters.PeakWorkingSetSize;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: rest_pipeline_bench RECORDING SECONDS EXPECTED_TEXT_FILE [TICK_MS]\n");
        return 2;
    }
    const std::string recording = argv[1];
    const int duration = std::atoi(argv[2]);
    const std::string expected = ReadFileBytes(argv[3]);
    const DWORD tickMs = argc > 4 ? static_cast<DWORD>(std::atoi(argv[4])) : 1000;

    SpeechService service;
    if (service.Port() == 0) {
        std::fprintf(stderr, "speech stand-in not running\n");
        return 2;
    }
    service.PrepareRestRun();
    MessageWindow window;
    CData::GetInstance()->InitUserlib(window.Handle());

    CAudioConvert convert;
    const ULONGLONG start = GetTickCount64();
    if (!convert.AddTask(recording, duration, recording)) {
        std::fprintf(stderr, "AddTask failed\n");
        return 1;
    }
    const size_t pieces = static_cast<size_t>(PieceCount(duration, CAudioConvert::kRestPieceSeconds));
    ULONGLONG lastTick = GetTickCount64();
    const bool done = PumpUntil(
        [&] {
            if (GetTickCount64() - lastTick >= tickMs) {
                lastTick = GetTickCount64();
                convert.OnTimer();
            }
            return window.Received(WM_USER_AUDIO_RESULT).size() >= pieces;
        },
        3600 * 1000);
    const double wall = Seconds(start);
    PumpUntil([&] { return convert.GetRunning() == 0; }, 60000);

    std::string text;
    int failed = 0;
    for (AudioPiece* piece : convert.GetFilePieces(recording)) {
        text += piece->GetText();
        failed += piece->code.load() != 0;
    }
    const double decode = FullDecodeSeconds(recording);
    SpeechService::ForgetSettings();

    std::printf("pieces            %zu (tick %lu ms)\n", pieces, static_cast<unsigned long>(tickMs));
    std::printf("finished          %s, failed pieces %d, text %s (%zu bytes)\n", done ? "yes" : "NO", failed,
                text == expected ? "as expected" : "DIFFERS", text.size());
    std::printf("wall time         %.2f s\n", wall);
    std::printf("peak working set  %.1f MiB\n", double(PeakWorkingSet()) / (1024.0 * 1024.0));
    std::printf("ffmpeg full decode %.2f s\n", decode);
    std::printf("requests          token %d, recognize %d\n", service.TokenRequests(), service.RecognizeRequests());
    return done && failed == 0 && text == expected ? 0 : 1;
}
