// Measures the main window while it works, driving the real window through
// posted messages and the UI library's own message loop (see bench/ui.sh):
//   1. start of Vantorin.exe to its first paint (warm Wine prefix);
//   2. adding 100 files until every row shows its duration;
//   3. one full repaint with 100 rows at 1280x800 (50 WM_PAINTs);
//   4. the longest time the UI thread is away from its message loop while
//      ten pieces are in flight, and while 100 rows are all recognising;
//   5. the start-all click with 20 recordings of 200 MB each.
// A probe thread posts a message to a window of the UI thread and waits for
// it to be handled, again and again; the longest wait is the longest time the
// thread was away from its loop.
//   ui_bench.exe MEDIA_FILE SKIN_FOLDER [RUNS [BIG_FOLDER]]
// MEDIA_FILE is a tone-speech WAV; SKIN_FOLDER the source tree's DlgRes,
// relative to the program's folder; BIG_FOLDER holds the large recordings
// big0.wav, big1.wav, ... (figure 5 is left out without it); the speech
// stand-in must be running.
#include "UserHttpLib.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "PipelineSupport.h"
#include "PlayListCtrl.h"
#include "RtmpPlayer.h"
#include "StringUtils.h"
#include "UiManager.h"

#include "Win32Prelude.h"

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

// Every message the UI thread's loop takes, with the time it was taken: while
// the probe keeps a message waiting, the time to the next one is what the
// message before cost.
// The thread's own CPU time tells work from waiting for the processor.
struct Taken {
    double at;
    double cpuMs;
    UINT message;
    HWND window;
};
std::vector<Taken> g_taken;

double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0.0;
    const auto ms = [](const FILETIME& t) {
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

LRESULT CALLBACK NoteTakenMessage(int code, WPARAM removed, LPARAM message)
{
    if (code == HC_ACTION && removed == PM_REMOVE) {
        const MSG* taken = reinterpret_cast<const MSG*>(message);
        g_taken.push_back({NowMs(), ThreadCpuMs(), taken->message, taken->hwnd});
    }
    return CallNextHookEx(nullptr, code, removed, message);
}

std::string MessageName(UINT message)
{
    // clang-format off
    switch (message) {
    case WM_TIMER: return "WM_TIMER (the window's tick)";
    case WM_PAINT: return "WM_PAINT";
    case WM_USER_AUDIO_RESULT: return "WM_USER_AUDIO_RESULT";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case kProbeMessage: return "probe";
    case kRunMessage: return "bench task";
    default: return "message " + std::to_string(message);
    }
    // clang-format on
}

// For a paint, the class of the window painted: the main window, a message
// box, a combo's drop-down...
std::string PaintedWindow(const Taken& taken)
{
    if (taken.message != WM_PAINT)
        return std::string();
    wchar_t name[64] = {};
    if (!IsWindow(taken.window) || GetClassNameW(taken.window, name, 64) == 0)
        return " (a window now gone)";
    return " (" + WideToAnsi(name) + ")";
}

// The costliest messages taken after `from`, slowest first.
std::string CostliestMessages(double from, size_t count)
{
    std::vector<std::pair<double, size_t>> costs;
    for (size_t i = 0; i + 1 < g_taken.size(); ++i)
        if (g_taken[i].at >= from)
            costs.push_back({g_taken[i + 1].at - g_taken[i].at, i});
    std::sort(costs.rbegin(), costs.rend());
    std::string text;
    for (size_t i = 0; i < costs.size() && i < count; ++i) {
        const size_t k = costs[i].second;
        text += (i ? ", " : "") + MessageName(g_taken[k].message) + PaintedWindow(g_taken[k]) + " " +
                std::to_string(static_cast<long>(costs[i].first + 0.5)) + " ms (CPU " +
                std::to_string(static_cast<long>(g_taken[k + 1].cpuMs - g_taken[k].cpuMs + 0.5)) + " ms)";
    }
    return text;
}

// The most CPU time the UI thread spent between taking two messages, after
// `from`: the longest stretch of its own work, whatever the scheduler did.
double LongestOwnWorkMs(double from)
{
    double longest = 0.0;
    for (size_t i = 0; i + 1 < g_taken.size(); ++i)
        if (g_taken[i].at >= from)
            longest = std::max(longest, g_taken[i + 1].cpuMs - g_taken[i].cpuMs);
    return longest;
}

void Trace(const wchar_t* text)
{
    std::fwprintf(stderr, L"%ls\n", text);
}

// Reads the skin from the source tree instead of the program's resource.
class BenchPlayer : public RtmpPlayer {
public:
    explicit BenchPlayer(std::wstring skinFolder) : skinFolder_(std::move(skinFolder)) {}
    int GetSkinSource() override { return SkinFromFolder; }
    CUiString GetSkinDirectory() override { return CUiString(skinFolder_.c_str()); }

private:
    std::wstring skinFolder_;
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

long long SizeMb(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return ((static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / (1024 * 1024);
}

// big0.wav, big1.wav, ... as long as they exist in folder.
std::vector<std::wstring> BigFiles(const std::string& folder)
{
    std::vector<std::wstring> files;
    for (int i = 0;; ++i) {
        const std::wstring path = AnsiToWide(folder) + L"\\big" + std::to_wstring(i) + L".wav";
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return files;
        files.push_back(path);
    }
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
    Bench(BenchPlayer& player, UiThread& ui, SpeechService& service, std::vector<std::wstring> files,
          std::vector<std::wstring> bigFiles, int runs)
        : player_(player),
          ui_(ui),
          service_(service),
          files_(std::move(files)),
          bigFiles_(std::move(bigFiles)),
          runs_(runs)
    {
    }

    void RunAll()
    {
        ui_.Run([&] { SetWindowPos(player_.GetHwnd(), nullptr, 0, 0, kWidth, kHeight, SWP_NOZORDER); });
        AddFiles();
        Repaint();
        Idle(10000);
        Recognising(kInFlightRows, "0.5", 0, "ten pieces in flight (10 rows started, stand-in 0.5 s + 0.03 s per s)");
        Recognising(kRows, "1", 20000, "100 rows all recognising (stand-in 1 s + 0.03 s per s, 20 s)");
        if (!bigFiles_.empty()) {
            const std::string title = std::to_string(bigFiles_.size()) + " rows of " +
                                      std::to_string(SizeMb(bigFiles_[0])) +
                                      " MB each started (stand-in 1 s + 0.03 s per s, 10 s)";
            Recognising(int(bigFiles_.size()), "1", 10000, title.c_str(), bigFiles_);
        }
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
    double Add(int rows) { return Add(rows, files_); }

    double Add(int rows, const std::vector<std::wstring>& files)
    {
        const double start = NowMs();
        ui_.Run([&] {
            for (int i = 0; i < rows; ++i)
                List()->AddFile(files[size_t(i)].c_str());
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

    std::vector<double> Paints()
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
        std::sort(times.begin(), times.end());
        return times;
    }

    void Repaint()
    {
        RECT client = {};
        GetClientRect(player_.GetHwnd(), &client);
        const std::vector<double> times = Paints();
        std::printf("full repaint, %d rows, client %ldx%ld: median %.1f ms, 90th %.1f ms, max %.1f ms (%d paints)\n",
                    List()->GetCount(), client.right, client.bottom, Median(times), times[times.size() * 9 / 10],
                    Largest(times), kPaints);
        // The same with the text pane holding the text of a 30-minute file,
        // as it does while a selected row's pieces come back.
        std::wstring text;
        while (text.size() < 3500)
            text += L"\u8bed\u97f3\u8bc6\u522b\u6d4b\u8bd5\u4e16\u754c\u4f60\u597d\u4e00\u4e8c\u4e09";
        CControlUI* pane = player_.GetManager().FindControlByName(L"edtText");
        ui_.Run([&] { pane->SetText(text.c_str()); });
        const std::vector<double> withText = Paints();
        ui_.Run([&] { pane->SetText(L""); });
        std::printf("  with %zu characters in the text pane: median %.1f ms, 90th %.1f ms, max %.1f ms\n", text.size(),
                    Median(withText), withText[withText.size() * 9 / 10], Largest(withText));
    }

    // The same probe while nothing runs: what the machine and Wine alone cost.
    void Idle(DWORD holdMs)
    {
        std::vector<double> longest, ownWork;
        std::string costliest;
        for (int run = 0; run < runs_; ++run) {
            HHOOK hook = ui_.Ask<HHOOK>([] {
                g_taken.clear();
                return SetWindowsHookExW(WH_GETMESSAGE, NoteTakenMessage, nullptr, GetCurrentThreadId());
            });
            const double from = NowMs();
            ui_.StartProbe();
            Sleep(holdMs);
            double worst = 0.0;
            for (const auto& wait : ui_.StopProbe())
                worst = std::max(worst, wait.second);
            longest.push_back(worst);
            ui_.Run([&] {
                UnhookWindowsHookEx(hook);
                costliest += "\n    run " + std::to_string(run + 1) + ": " + CostliestMessages(from, 3);
                ownWork.push_back(LongestOwnWorkMs(from));
            });
        }
        std::printf("idle, %d rows, nothing running (%lu s):\n  longest away from the loop: median %.0f ms "
                    "(runs: %s)\n  longest own work between two messages (thread CPU time, 10 ms steps): "
                    "median %.0f ms (runs: %s)\n  costliest messages:%s\n",
                    List()->GetCount(), static_cast<unsigned long>(holdMs / 1000), Median(longest),
                    Joined(longest).c_str(), Median(ownWork), Joined(ownWork).c_str(), costliest.c_str());
    }

    // Starts `rows` rows with "btnStartAll", clicked through posted mouse
    // messages, and probes the loop: until every row is done when holdMs is
    // 0, else for holdMs.
    void Recognising(int rows, const char* latencyFixed, DWORD holdMs, const char* title)
    {
        Recognising(rows, latencyFixed, holdMs, title, files_);
    }

    void Recognising(int rows, const char* latencyFixed, DWORD holdMs, const char* title,
                     const std::vector<std::wstring>& files)
    {
        std::vector<double> clicks, away, longest, ownWork;
        std::string notes, costliest;
        for (int run = 0; run < runs_; ++run) {
            Clear();
            Add(rows, files);
            service_.Control("latency", std::string("fixed=") + latencyFixed + "&per_second=0.03");
            const LPARAM at = ui_.Ask<LPARAM>([&] {
                const RECT& rc = player_.GetManager().FindControlByName(L"btnStartAll")->GetBounds();
                return MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
            });
            const HWND window = player_.GetHwnd();
            HHOOK hook = ui_.Ask<HHOOK>([] {
                g_taken.clear();
                return SetWindowsHookExW(WH_GETMESSAGE, NoteTakenMessage, nullptr, GetCurrentThreadId());
            });
            ui_.StartProbe();
            const double clicked = NowMs();
            PostMessageW(window, WM_MOUSEMOVE, 0, at);
            PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageW(window, WM_LBUTTONUP, 0, at);
            // Posted messages are taken in order: this runs once the click is handled.
            double clickDone = 0.0;
            ui_.Run([&] { clickDone = NowMs(); });
            int recognising = 0;
            if (holdMs == 0) {
                ui_.WaitFor([&] { return CountStatus(CPlayListCtrl::kStatusDone) == rows; }, kWaitMs);
            } else {
                Sleep(holdMs);
                recognising = ui_.Ask<int>([&] { return CountStatus(CPlayListCtrl::kStatusRecognizing); });
            }
            const auto waits = ui_.StopProbe();
            ui_.Run([&] {
                UnhookWindowsHookEx(hook);
                costliest += "\n    run " + std::to_string(run + 1) + ": " + CostliestMessages(clickDone, 4);
                ownWork.push_back(LongestOwnWorkMs(clickDone));
            });
            service_.Control("latency");
            double worst = 0.0, worstClick = 0.0;
            for (const auto& wait : waits) {
                // A probe posted before the click was handled may wait for it.
                double& slot = wait.first < clickDone ? worstClick : worst;
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
        std::printf("  longest own work between two messages after the click (thread CPU time, 10 ms steps): "
                    "median %.0f ms (runs: %s)\n",
                    Median(ownWork), Joined(ownWork).c_str());
        if (!notes.empty())
            std::printf("  rows still recognising at the end of each run:%s\n", notes.c_str());
        std::printf("  costliest messages after the click:%s\n", costliest.c_str());
    }

    BenchPlayer& player_;
    UiThread& ui_;
    SpeechService& service_;
    std::vector<std::wstring> files_;
    std::vector<std::wstring> bigFiles_;
    int runs_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: ui_bench MEDIA_FILE SKIN_FOLDER [RUNS [BIG_FOLDER]]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
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
    BenchPlayer player(AnsiToWide(argv[2]));
    if (player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600) == nullptr) {
        std::fprintf(stderr, "main window not created\n");
        return 1;
    }
    Bench bench(player, ui, service, files, argc > 4 ? BigFiles(argv[4]) : std::vector<std::wstring>(), runs);
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
