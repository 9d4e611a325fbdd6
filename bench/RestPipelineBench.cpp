// Recognises one recording end to end through the piece scheduler, the real
// ffmpeg.exe and the REST speech stand-in, and reports what the program
// itself costs: the wall time against the floor that the one-start-per-tick
// rule and the stand-in's own service times set, the process's CPU time and
// peak working set, and where each piece's time went.
//   rest_pipeline_bench.exe RECORDING SECONDS EXPECTED_TEXT_FILE [TICK_MS [FIXED_S PER_SECOND_S]]
// TICK_MS is the scheduler's tick (the main window's is 1000 ms); FIXED_S and
// PER_SECOND_S set the stand-in's latency model for the run (none by default).
#include "CSpeechClient.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "PipelineSupport.h"
#include "PubUtils.h"
#include "StringUtils.h"
#include "TestSupport.h"

#include "Win32Prelude.h"
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

// Unix time in seconds, the stand-in's clock for "received_at".
double UnixSeconds()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const ULONGLONG ticks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return double(ticks - 116444736000000000ULL) / 1e7;
}

double ElapsedSince(double startUnix)
{
    return UnixSeconds() - startUnix;
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0.0;
    const auto seconds = [](const FILETIME& t) {
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return 0;
    return counters.PeakWorkingSetSize;
}

// Wall time of one ffmpeg.exe run with the given output options.
double FfmpegSeconds(const std::string& recording, const std::string& options)
{
    const std::string out = GetTempDir() + "\\bench_decode.pcm";
    const std::wstring line =
        AnsiToWide("-y -i \"" + recording + "\" " + options + " -f s16le -ac 1 -ar 16000 \"" + out + "\"");
    const double start = UnixSeconds();
    ScopedHandle process = StartFfmpeg(line, false);
    if (!process)
        return -1.0;
    WaitForSingleObject(process.get(), INFINITE);
    const double seconds = ElapsedSince(start);
    DeleteFileW(AnsiToWide(out).c_str());
    return seconds;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Largest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// The earliest the last result can come back when each piece takes exactly
// its measured service time: one start per tick (the first at once), at most
// kMaxRunning at a time.
double CappedFloor(const std::vector<double>& serviceSeconds, double tick)
{
    std::vector<double> ends;
    double start = 0.0;
    double last = 0.0;
    for (size_t i = 0; i < serviceSeconds.size(); ++i) {
        if (i > 0)
            start += tick;
        if (ends.size() >= size_t(CAudioConvert::kMaxRunning)) {
            std::sort(ends.begin(), ends.end());
            // A slot frees at the earliest end; the start waits for the next tick after it.
            while (start < ends.front())
                start += tick;
            ends.erase(ends.begin());
        }
        ends.push_back(start + serviceSeconds[i]);
        last = std::max(last, ends.back());
    }
    return last;
}

struct PieceTiming {
    double started = 0.0;      // seconds after AddTask began
    double tokenAsked = -1.0;  // token request read by the stand-in
    double arrived = -1.0;     // recognition request read by the stand-in
    double upload = 0.0;       // reading its body, from its headers on
    double service = 0.0;      // the stand-in's own time for it
    double returned = -1.0;    // result message received
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: rest_pipeline_bench RECORDING SECONDS EXPECTED_TEXT_FILE "
                             "[TICK_MS [FIXED_S PER_SECOND_S]]\n");
        return 2;
    }
    const std::string recording = argv[1];
    const int duration = std::atoi(argv[2]);
    const std::string expected = ReadFileBytes(argv[3]);
    const DWORD tickMs = argc > 4 ? static_cast<DWORD>(std::atoi(argv[4])) : 1000;
    const std::string fixed = argc > 6 ? argv[5] : "0";
    const std::string perSecond = argc > 6 ? argv[6] : "0";

    SpeechService service;
    if (service.Port() == 0) {
        std::fprintf(stderr, "speech stand-in not running\n");
        return 2;
    }
    service.PrepareRestRun();
    service.Control("latency", "fixed=" + fixed + "&per_second=" + perSecond);
    MessageWindow window;
    CData::GetInstance()->InitUserlib(window.Handle());

    const size_t pieces = static_cast<size_t>(PieceCount(duration, CAudioConvert::kRestPieceSeconds));
    std::map<AudioPiece*, PieceTiming> timings;
    CAudioConvert convert;
    const double cpuBefore = ProcessCpuSeconds();
    const double start = UnixSeconds();
    if (!convert.AddTask(recording, duration, recording)) {
        std::fprintf(stderr, "AddTask failed\n");
        return 1;
    }
    const double addTaskSeconds = ElapsedSince(start);
    // Pieces start in index order: AddTask starts the first, and each tick
    // that finds a free slot starts the next.
    std::vector<double> startTimes(1, 0.0);
    window.SetHandler([&](const PostedMessage& posted) {
        if (posted.message == WM_USER_AUDIO_RESULT)
            timings[reinterpret_cast<AudioPiece*>(posted.wParam)].returned = ElapsedSince(start);
    });

    // Ticks fall due at start + k * tick, without drift, and the loop wakes
    // for the tick or for a message, whichever comes first.
    const double tick = tickMs / 1000.0;
    const double deadline = 3600.0;
    size_t ticks = 0;
    while (window.Received(WM_USER_AUDIO_RESULT).size() < pieces && ElapsedSince(start) < deadline) {
        const double due = double(ticks + 1) * tick - ElapsedSince(start);
        if (due <= 0.0) {
            ++ticks;
            if (convert.GetRunning() < CAudioConvert::kMaxRunning && startTimes.size() < pieces)
                startTimes.push_back(ElapsedSince(start));
            convert.OnTimer();
            continue;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(due * 1000.0) + 1, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    const double wall = ElapsedSince(start);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const bool done = window.Received(WM_USER_AUDIO_RESULT).size() >= pieces;
    PumpUntil([&] { return convert.GetRunning() == 0; }, 60000);

    std::string text;
    int failed = 0;
    std::map<std::string, AudioPiece*> byText;
    for (AudioPiece* piece : convert.GetFilePieces(recording)) {
        text += piece->GetText();
        failed += piece->code.load() != 0;
        byText[piece->GetText()] = piece;
        if (size_t(piece->index) < startTimes.size())
            timings[piece].started = startTimes[size_t(piece->index)];
    }

    // The stand-in's view: when each recognition request was read in full
    // and how long it took to answer.
    const Json::Value stats = service.Stats();
    // Each piece asks for a token of its own and sends it with its audio.
    std::map<std::string, double> tokenAskedAt;
    for (const Json::Value& entry : stats["requests"])
        if (entry["endpoint"].asString() == "token" && entry["err_no"].asInt() == 0)
            tokenAskedAt[entry["token"].asString()] = entry["received_at"].asDouble() - start;
    std::vector<double> serviceByIndex(pieces, 0.0);
    for (const Json::Value& entry : stats["requests"]) {
        if (entry["endpoint"].asString() != "recognize" || entry["err_no"].asInt() != 0)
            continue;
        const auto found = byText.find(entry["text"].asString());
        if (found == byText.end())
            continue;
        PieceTiming& timing = timings[found->second];
        timing.arrived = entry["received_at"].asDouble() - start;
        timing.upload = entry["upload_seconds"].asDouble();
        const auto asked = tokenAskedAt.find(entry["token"].asString());
        if (asked != tokenAskedAt.end())
            timing.tokenAsked = asked->second;
        timing.service = entry["service_seconds"].asDouble();
        if (size_t(found->second->index) < pieces)
            serviceByIndex[size_t(found->second->index)] = timing.service;
    }
    std::vector<double> services, cut, prepare, upload, after;
    for (const auto& item : timings) {
        const PieceTiming& t = item.second;
        if (t.tokenAsked < 0.0 || t.arrived < 0.0 || t.returned < 0.0)
            continue;
        services.push_back(t.service);
        cut.push_back(t.tokenAsked - t.started);
        prepare.push_back(t.arrived - t.upload - t.tokenAsked);
        upload.push_back(t.upload);
        after.push_back(t.returned - t.arrived - t.service);
    }
    const double slowest = Largest(services);
    const double floor = double(pieces - 1) * tick + slowest;
    const double capped = CappedFloor(serviceByIndex, tick);

    const double fullDecode = FfmpegSeconds(recording, "");
    const double firstCut =
        FfmpegSeconds(recording, "-ss " + FormatHms(0) + " -to " + FormatHms(CAudioConvert::kRestPieceSeconds));
    const int lastStart = (int(pieces) - 1) * CAudioConvert::kRestPieceSeconds;
    const double lastCut = FfmpegSeconds(
        recording, "-ss " + FormatHms(lastStart) + " -to " + FormatHms(lastStart + CAudioConvert::kRestPieceSeconds));
    SpeechService::ForgetSettings();
    service.Control("latency");

    std::printf("pieces              %zu, tick %lu ms, stand-in latency %s s + %s s per audio second\n", pieces,
                static_cast<unsigned long>(tickMs), fixed.c_str(), perSecond.c_str());
    std::printf("finished            %s, failed pieces %d, text %s (%zu bytes)\n", done ? "yes" : "NO", failed,
                text == expected ? "as expected" : "DIFFERS", text.size());
    std::printf("wall time           %.2f s\n", wall);
    std::printf("floor               %.2f s  ((pieces - 1) x tick + slowest service time %.2f s)\n", floor, slowest);
    std::printf("overhead            %.2f s = %.1f %% of the floor\n", wall - floor, 100.0 * (wall - floor) / floor);
    if (capped > floor + 0.005)
        std::printf("floor with the ten-task limit %.2f s; overhead over it %.2f s = %.1f %%\n", capped, wall - capped,
                    100.0 * (wall - capped) / capped);
    std::printf("process CPU time    %.2f s\n", cpu);
    std::printf("peak working set    %.1f MiB\n", double(PeakWorkingSet()) / (1024.0 * 1024.0));
    std::printf("ffmpeg full decode  %.2f s; cut of the first piece %.2f s, of the last piece %.2f s\n", fullDecode,
                firstCut, lastCut);
    std::printf("per piece, median / max:\n");
    std::printf("  start to token request read (cut, read the piece)      %.2f / %.2f s\n", Median(cut), Largest(cut));
    std::printf("  token request to recognition headers read (Base64, JSON, connect) %.2f / %.2f s\n", Median(prepare),
                Largest(prepare));
    std::printf("  upload of the recognition body                         %.2f / %.2f s\n", Median(upload),
                Largest(upload));
    std::printf("  service                                                %.2f / %.2f s\n", Median(services), slowest);
    std::printf("  reply written to result message                        %.3f / %.3f s\n", Median(after),
                Largest(after));
    std::printf("AddTask (copy into Temp, queue, first start) %.2f s\n", addTaskSeconds);
    std::printf("requests            token %d, recognize %d\n", service.TokenRequests(), service.RecognizeRequests());
    return done && failed == 0 && text == expected ? 0 : 1;
}
