// Measures the main window while it works, driving the real window through
// posted messages and the UI library's own message loop (see bench/ui.sh):
//   1. start of Vantorin.exe to its first paint (warm Wine prefix);
//   2. adding 100 files until every row shows its duration;
//   3. one full repaint with 100 rows at 1280x800 (50 WM_PAINTs);
//   4. the longest time the UI thread is away from its message loop while
//      ten pieces are in flight, and while 100 rows are all recognising.
// A probe thread posts a message to a window of the UI thread and waits for
// it to be handled, again and again; the longest wait is the longest time the
// thread was away from its loop.
//   ui_bench.exe MEDIA_FILE [RUNS]
// MEDIA_FILE is a tone-speech WAV; the speech stand-in must be running.
#include "UserHttpLib.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "PipelineSupport.h"
#include "PlayListCtrl.h"
#include "RtmpPlayer.h"
#include "StringUtils.h"
#include "UiManager.h"
#include "skinned_window_support.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace UiLib;

namespace {

constexpr UINT kRunMessage = WM_APP + 101;
constexpr UINT kProbeMessage = WM_APP + 102;
constexpr int kRows = 100;
constexpr int kInFlightRows = 10;
constexpr int kPaints = 50;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;
constexpr DWORD kWaitMs = 10 * 60 * 1000;

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Largest(const std::vector<double>& values)
{
    return values.empty() ? -1.0 : *std::max_element(values.begin(), values.end());
}

std::string Joined(const std::vector<double>& values)
{
    std::string text;
    for (double value : values)
        text += (text.empty() ? "" : " ") + std::to_string(static_cast<long>(value + 0.5));
    return text;
}

void Trace(const wchar_t*) {}

class BenchPlayer : public RtmpPlayer {
public:
    int GetSkinSource() override { return SkinFromFolder; }
    CUiString GetSkinDirectory() override { return AppTest::SourceSkinFolderFromInstance(); }
};

// A message-only window of the UI thread: runs work handed over by the
// controller thread, and answers the probe.
class UiThread {
public:
    UiThread()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VantorinUiBench";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        probeDone_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~UiThread()
    {
        DestroyWindow(window_);
        CloseHandle(probeDone_);
    }
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    // Runs work on the UI thread, between two messages of its loop, and waits.
    void Run(const std::function<void()>& work)
    {
        Task task{work, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        PostMessageW(window_, kRunMessage, reinterpret_cast<WPARAM>(&task), 0);
        WaitForSingleObject(task.done, kWaitMs);
        CloseHandle(task.done);
    }

    template <class Answer>
    Answer Ask(const std::function<Answer()>& question)
    {
        Answer answer{};
        Run([&] { answer = question(); });
        return answer;
    }

    // Waits until condition() holds on the UI thread, asking every 2 ms;
    // the time it first held, or -1 after timeoutMs.
    double WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
    {
        const double deadline = NowMs() + timeoutMs;
        while (NowMs() < deadline) {
            if (Ask<bool>(condition))
                return NowMs();
            Sleep(2);
        }
        return -1.0;
    }

    // Starts posting probes; each waits for the one before to be handled.
    void StartProbe()
    {
        probing_ = true;
        probeThread_ = std::thread([this] {
            while (probing_) {
                const double posted = NowMs();
                PostMessageW(window_, kProbeMessage, 0, 0);
                WaitForSingleObject(probeDone_, INFINITE);
                waits_.push_back({posted, handledAt_ - posted});
                Sleep(2);
            }
        });
    }

    // Stops the probe; (post time, wait) of every probe.
    std::vector<std::pair<double, double>> StopProbe()
    {
        probing_ = false;
        probeThread_.join();
        std::vector<std::pair<double, double>> waits;
        waits.swap(waits_);
        return waits;
    }

private:
    struct Task {
        std::function<void()> work;
        HANDLE done;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        UiThread* self = reinterpret_cast<UiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kRunMessage) {
            Task* task = reinterpret_cast<Task*>(wParam);
            task->work();
            SetEvent(task->done);
            return 0;
        }
        if (message == kProbeMessage && self != nullptr) {
            self->handledAt_ = NowMs();
            SetEvent(self->probeDone_);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    HANDLE probeDone_ = nullptr;
    std::atomic<bool> probing_{false};
    std::atomic<double> handledAt_{0.0};
    std::thread probeThread_;
    std::vector<std::pair<double, double>> waits_;
};

// Start of the real program to its first paint: the main window is visible
// and has nothing left to paint. The program is closed again after each run.
std::vector<double> FirstPaints(int runs)
{
    const std::wstring exe = AnsiToWide(GetExeDir() + "\\Vantorin.exe");
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        std::wstring line = L"\"" + exe + L"\"";
        const double start = NowMs();
        if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "Vantorin.exe did not start\n");
            return times;
        }
        WaitForInputIdle(process.hProcess, 30000);
        HWND window = nullptr;
        double painted = -1.0;
        while (NowMs() - start < 30000.0) {
            window = FindWindowW(L"Vantorin", nullptr);
            if (window != nullptr && IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE)) {
                painted = NowMs();
                break;
            }
            Sleep(1);
        }
        // The first run only warms the prefix up.
        if (run > 0 && painted > 0.0)
            times.push_back(painted - start);
        if (window != nullptr)
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return times;
}

// Copies of the media file with names of their own.
std::vector<std::wstring> MakeMediaFiles(const std::string& media)
{
    const std::wstring folder = AnsiToWide(GetAppDataDir()) + L"\\ui_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> files;
    for (int i = 0; i < kRows; ++i) {
        const std::wstring path = folder + L"\\recording" + std::to_wstring(i) + L".wav";
        CopyFileW(AnsiToWide(media).c_str(), path.c_str(), FALSE);
        files.push_back(path);
    }
    return files;
}

class Bench {
public:
    Bench(BenchPlayer& player, UiThread& ui, SpeechService& service, std::vector<std::wstring> files, int runs)
        : player_(player), ui_(ui), service_(service), files_(std::move(files)), runs_(runs)
    {
    }

    void RunAll()
    {
        ui_.Run([&] { SetWindowPos(player_.GetHwnd(), nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER); });
        AddFiles();
        Repaint();
        Recognising(kInFlightRows, "0.5", 0, "ten pieces in flight (10 rows started, stand-in 0.5 s + 0.03 s per s)");
        Recognising(kRows, "1", 20000, "100 rows all recognising (stand-in 1 s + 0.03 s per s, 20 s)");
        // No task may still run when the process ends.
        Clear();
        ui_.Run([&] { player_.Close(); });
    }

private:
    CPlayListCtrl* List() { return player_.GetPlayList(); }

    bool AllRowsShowDuration()
    {
        CPlayListCtrl* list = List();
        for (int row = 0; row < list->GetCount(); ++row)
            if (list->GetItemDuration(row) <= 0)
                return false;
        return !GetUpdateRect(player_.GetHwnd(), nullptr, FALSE);
    }

    int CountStatus(int status)
    {
        int count = 0;
        for (int row = 0; row < List()->GetCount(); ++row)
            count += List()->GetItemStatus(row) == status;
        return count;
    }

    // Drops every row and its pieces, and waits for running pieces to end,
    // so that each run starts from an empty list and free task slots.
    void Clear()
    {
        ui_.Run([&] {
            for (int row = 0; row < List()->GetCount(); ++row)
                player_.GetAudioConvert()->RemoveFile(WideToAnsi(List()->GetItemFile(row)));
            List()->RemoveAll();
        });
        ui_.WaitFor([&] { return player_.GetAudioConvert()->GetRunning() == 0; }, kWaitMs);
        ui_.Run([] { ClearTempDir(); });
    }

    // Adds the first `rows` files as the file dialog's command does, on the
    // UI thread; the time until every row shows its duration on screen.
    double Add(int rows)
    {
        const double start = NowMs();
        ui_.Run([&] {
            for (int i = 0; i < rows; ++i)
                List()->AddFile(files_[size_t(i)].c_str());
        });
        return ui_.WaitFor([&] { return AllRowsShowDuration(); }, 60000) - start;
    }

    void AddFiles()
    {
        std::vector<double> times;
        for (int run = 0; run < runs_; ++run) {
            Clear();
            times.push_back(Add(kRows));
        }
        std::printf("add %d files until every row shows its duration: median %.0f ms (runs: %s)\n", kRows,
                    Median(times), Joined(times).c_str());
    }

    void Repaint()
    {
        std::vector<double> times;
        ui_.Run([&] {
            const HWND window = player_.GetHwnd();
            for (int i = 0; i < kPaints; ++i) {
                InvalidateRect(window, nullptr, FALSE);
                const double start = NowMs();
                UpdateWindow(window);
                times.push_back(NowMs() - start);
            }
        });
        RECT client = {};
        GetClientRect(player_.GetHwnd(), &client);
        std::sort(times.begin(), times.end());
        std::printf("full repaint, %d rows, client %ldx%ld: median %.1f ms, 90th %.1f ms, max %.1f ms (%d paints)\n",
                    List()->GetCount(), client.right, client.bottom, Median(times), times[times.size() * 9 / 10],
                    Largest(times), kPaints);
    }

    // Starts `rows` rows with "btnStartAll", clicked through posted mouse
    // messages, and probes the loop: until every row is done when holdMs is
    // 0, else for holdMs.
    void Recognising(int rows, const char* latencyFixed, DWORD holdMs, const char* title)
    {
        std::vector<double> clicks, away, longest;
        std::string notes;
        for (int run = 0; run < runs_; ++run) {
            Clear();
            Add(rows);
            service_.Control("latency", std::string("fixed=") + latencyFixed + "&per_second=0.03");
            const LPARAM at = ui_.Ask<LPARAM>([&] {
                const RECT& rc = player_.GetManager().FindControlByName(L"btnStartAll")->GetBounds();
                return MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
            });
            const HWND window = player_.GetHwnd();
            ui_.StartProbe();
            const double clicked = NowMs();
            PostMessageW(window, WM_MOUSEMOVE, 0, at);
            PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageW(window, WM_LBUTTONUP, 0, at);
            // Posted messages are taken in order: this runs once the click is handled.
            ui_.Run([] {});
            const double clickDone = NowMs();
            int recognising = 0;
            if (holdMs == 0) {
                ui_.WaitFor([&] { return CountStatus(CPlayListCtrl::kStatusDone) == rows; }, kWaitMs);
            } else {
                Sleep(holdMs);
                recognising = ui_.Ask<int>([&] { return CountStatus(CPlayListCtrl::kStatusRecognizing); });
            }
            const auto waits = ui_.StopProbe();
            service_.Control("latency");
            double worst = 0.0, worstClick = 0.0;
            for (const auto& wait : waits) {
                // A probe posted before the click was handled waits for it.
                double& slot = wait.first + wait.second <= clickDone + 1.0 ? worstClick : worst;
                slot = std::max(slot, wait.second);
            }
            clicks.push_back(clickDone - clicked);
            away.push_back(worst);
            longest.push_back(std::max(worst, worstClick));
            if (holdMs != 0)
                notes += " " + std::to_string(recognising) + "/" + std::to_string(rows);
        }
        std::printf("%s:\n  start-all click handled in: median %.0f ms (runs: %s)\n", title, Median(clicks),
                    Joined(clicks).c_str());
        std::printf("  longest away from the loop after the click: median %.0f ms (runs: %s)\n", Median(away),
                    Joined(away).c_str());
        std::printf("  longest away from the loop, click included: median %.0f ms (runs: %s)\n", Median(longest),
                    Joined(longest).c_str());
        if (!notes.empty())
            std::printf("  rows still recognising at the end of each run:%s\n", notes.c_str());
    }

    BenchPlayer& player_;
    UiThread& ui_;
    SpeechService& service_;
    std::vector<std::wstring> files_;
    int runs_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_bench MEDIA_FILE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    SpeechService service;
    if (service.Port() == 0) {
        std::fprintf(stderr, "speech stand-in not running\n");
        return 2;
    }
    // Nothing may wait for the maker's services.
    WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:9");
    WriteConfigString(L"UpdateUrl", L"http://127.0.0.1:9");
    service.PrepareRestRun();
    CData::GetInstance()->SetRnnoise(false);
    CData::GetInstance()->SetVolGain(false);

    const std::vector<double> paints = FirstPaints(runs);
    std::printf("start to first paint (Vantorin.exe, warm prefix): median %.0f ms (runs: %s)\n", Median(paints),
                Joined(paints).c_str());
    std::fflush(stdout);

    const std::vector<std::wstring> files = MakeMediaFiles(argv[1]);
    CUiManager::SetInstance(GetModuleHandleW(nullptr), Trace);
    CData::GetInstance()->SetExiting(false);
    UiThread ui;
    BenchPlayer player;
    if (player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600) == nullptr) {
        std::fprintf(stderr, "main window not created\n");
        return 1;
    }
    Bench bench(player, ui, service, files, runs);
    std::thread controller([&] {
        bench.RunAll();
        std::fflush(stdout);
    });
    // The program's own loop; it ends when the closed window posts the quit message.
    CUiManager::MessageLoop();
    controller.join();
    SpeechService::ForgetSettings();
    return 0;
}
