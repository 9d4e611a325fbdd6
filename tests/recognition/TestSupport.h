#pragma once
// Small helpers shared by the recognition tests: a message-only window that
// records what the pipeline posts to it, a message pump with a deadline, and
// 16-bit PCM WAV files.
#include "Win32Prelude.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Records every WM_USER+n message and WM_SYSCOMMAND; handler (if set) sees
// each one first.
class MessageWindow {
public:
    using Handler = std::function<void(const PostedMessage&)>;

    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Handle() const { return window_; }
    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    std::vector<PostedMessage> Received(UINT message) const;
    void Clear() { received_.clear(); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    Handler handler_;
    std::vector<PostedMessage> received_;
};

// Dispatches this thread's messages until done() holds or timeoutMs pass;
// returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpFor(DWORD milliseconds);

struct WavData {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
};

bool WriteWav(const std::string& path, const WavData& wav);
// False unless the file is a 16-bit PCM WAV file.
bool ReadWav(const std::string& path, WavData* wav);
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// Root mean square of samples [begin, end).
double Rms(const std::vector<int16_t>& samples, size_t begin, size_t end);
int Peak(const std::vector<int16_t>& samples);

// Runs a program with a command line (quoted program name first) and waits;
// the exit code, or -1 when it could not be started.
int RunAndWait(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs);

// A worker that says when its run, completion callback included, is over,
// so that a test can keep what the callback may reach alive until then.
// Only for runs whose callback does not delete the worker.
template <class Task>
class WatchedTask : public Task {
public:
    void Run() override
    {
        Task::Run();
        ended_.store(true);
    }
    bool HasEnded() const { return ended_.load(); }

private:
    std::atomic<bool> ended_{false};
};
