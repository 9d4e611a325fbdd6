#pragma once
// The process-wide log: one line per call into "Vantorin.log" in the
// application-data folder, mirrored to the debugger output, serialised by one
// lock so lines from different threads never interleave.
#include "Win32Prelude.h"

#include <atomic>
#include <cstdio>
#include <string>

class CLogger {
public:
    // Called after each written line while set (level, tag, formatted text).
    using Observer = void (*)(int level, const char* tag, const char* text);

    static constexpr size_t kBufferSize = 2048;

    // An empty path gives a logger without a file: it writes nothing anywhere.
    explicit CLogger(const std::string& path);
    // Writes the end banner and closes the file, but keeps the lock and buffer
    // alive: threads that outlive the program entry may still call Write, which
    // then finds no file and does nothing.
    ~CLogger();
    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

    // Levels: 1 information, 2 warning, 3 error (appends the thread's pending
    // system error and resets it to 0). The tag is "Class::Method". A formatted
    // text that is empty or does not fit in kBufferSize - 1 characters is dropped.
    void Write(int level, const char* tag, const char* format, ...) __attribute__((format(gnu_printf, 4, 5)));

    void SetObserver(Observer observer);

    // Local time as "%Y-%m-%d %H:%M:%S".
    static std::string TimeStamp();

private:
    void WriteLine(int level, const char* tag, DWORD lastError);

    FILE* file_ = nullptr;
    char buffer_[kBufferSize] = {};
    CRITICAL_SECTION lock_;
    Observer observer_ = nullptr;
    // Set once the lock exists; a write before that (a thread started while
    // the globals are still being initialised) does nothing.
    std::atomic<bool> ready_{false};
};

// Opens the program's log on the application-data folder; the initialiser of
// g_logger (see Globals.cpp).
CLogger InitLogger();

extern CLogger g_logger;

// Logs "<< name" on construction and "name >> N ms" on destruction.
class PrintTime {
public:
    explicit PrintTime(const std::string& name);
    ~PrintTime();
    PrintTime(const PrintTime&) = delete;
    PrintTime& operator=(const PrintTime&) = delete;

private:
    std::string name_;
    DWORD start_;
};

// The UI library's trace hook: logs each trace text as a warning.
void UiLibExceptFunc(const wchar_t* text);
