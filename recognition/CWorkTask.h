#pragma once
// Prepares one source file on a thread of its own: a 16 kHz mono WAV copy
// through ffmpeg.exe, the denoise tool (or a plain copy), and for a louder
// volume an MP3 raised by the gain tool.
#include "SimpleThread.h"
#include "TaskRequest.h"

#include <atomic>
#include <string>

class CWorkTask : public SimpleThread {
public:
    // Result codes: which step failed.
    enum Result {
        kNotRun = -1,
        kOk = 0,
        kWavFailed = 1,
        kDenoiseFailed = 2,
        kCopyFailed = 3,
        kMp3Failed = 4,
    };

    CWorkTask() = default;
    ~CWorkTask() override = default;

    // Copies the request and starts the thread; false when no thread could be
    // made (then nothing runs and no callback comes).
    bool SetRequest(const TaskRequest& request, int timeoutMs);
    // kNotRun until Run has finished.
    int GetResult() const { return result_.load(); }
    // The request with the paths Run filled in.
    TaskRequest GetRequest() const { return request_; }
    // True once Run is over, callback included, or when no thread could be
    // made: nothing on the worker's thread touches the object any more.
    bool HasEnded() const { return ended_.load(); }

    void Run() override;

    // The parameter lines of the external tools.
    static std::string WavParameters(const std::string& source, const std::string& wav);
    static std::string DenoiseParameters(const std::string& wav, const std::string& processedWav);
    static std::string Mp3Parameters(const std::string& processedWav, const std::string& mp3);
    static std::string GainParameters(const std::string& mp3);

private:
    int Prepare();
    // Removes the step's output first, so that only a file this run wrote can
    // count, then runs the tool; done when the output exists.
    bool RunStep(const std::wstring& tool, const std::string& parameters, const std::string& output, int timeoutLevel,
                 const char* timeoutText);
    // A wait that times out is only logged.
    void RunTool(const std::wstring& tool, const std::string& parameters, int timeoutLevel, const char* timeoutText);

    TaskRequest request_;
    int timeoutMs_ = 0;
    std::atomic<int> result_{kNotRun};
    std::atomic<bool> ended_{false};
    bool show_ = false;
    // "failed" until the preparation succeeds, then "ok".
    std::string status_ = "failed";
    std::string statusCopy_ = "failed";
};
