#pragma once
// Shared by the pipeline tests: the speech stand-in's control endpoint, and
// pointing the program's settings at it.
#include "CHttpClient.h"
#include "ScopedHandle.h"

#include "Win32Prelude.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

class SpeechService {
public:
    // Reads the port the stand-in wrote beside the test program; 0 when none.
    SpeechService();

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;
    // The certificate the stand-in wrote beside its port file.
    std::string CertificateFile() const;

    // Token and recognition addresses by the stand-in's host name, and the CA
    // file that verifies it (empty for the system's store).
    void PointSettingsHere(const std::string& caFile) const;
    // A clean stand-in, the program's settings pointed at it and verifying its
    // certificate, its key pair
    // in use, the REST engine and the first language chosen.
    void PrepareRestRun() const;
    // Blanks the three settings again: the public service's defaults.
    static void ForgetSettings();

    // POST /control/<action>?<query>; the reply parsed.
    Json::Value Control(const std::string& action, const std::string& query = std::string()) const;
    Json::Value Stats() const;
    void Reset() const { Control("reset"); }
    int TokenRequests() const { return Stats()["token_requests"].asInt(); }
    int RecognizeRequests() const { return Stats()["recognize_requests"].asInt(); }

private:
    int port_ = 0;
};

// The stand-in's always-accepted key pair.
extern const char kServiceApiKey[];
extern const char kServiceSecretKey[];

// The log lines written while it lives (one capture at a time).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The texts of the lines of one level that begin with prefix.
    static std::vector<std::string> Matching(int level, const std::string& prefix);

private:
    static void Observe(int level, const char* tag, const char* text);

    static std::mutex mutex_;
    static std::vector<std::pair<int, std::string>> lines_;
};

bool WriteBinaryFile(const std::string& path, const std::string& bytes);
// Text escaped for a query string, as the stand-in's control reads it.
std::string Escaped(const std::string& text);

// A named pipe handed to ffmpeg.exe as its input: the converter opens it and
// waits for bytes that never come, so a worker stays in its converter step
// until the test lets go. That step checks no stop flag, as a slow cut of a
// long recording would not.
class HeldInput {
public:
    HeldInput();
    ~HeldInput() { Release(); }
    HeldInput(const HeldInput&) = delete;
    HeldInput& operator=(const HeldInput&) = delete;

    const std::string& Path() const { return path_; }
    // True once the converter has opened the pipe.
    bool WaitForReader(DWORD timeoutMs);
    // Closes the pipe; the converter reads its end and gives up without
    // writing anything.
    void Release();

private:
    std::string path_;
    ScopedHandle pipe_;
    ScopedHandle connected_;
    OVERLAPPED overlapped_ = {};
};
