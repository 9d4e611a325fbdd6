#pragma once
// Copies of sources into the Temp folder whose bytes are written on a thread
// of the copier's own: a batch of long recordings is handed over at once,
// and the window does not stop answering for as long as the disk needs.
// What can fail at once fails when the copy is asked for: the source cannot
// be opened for reading, or the disk lacks the room for it and for the
// copies still being written.
#include "Lock.h"
#include "ScopedHandle.h"

#include "Win32Prelude.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class CopierState;

class TempCopy {
public:
    enum class State { kCopying, kDone, kFailed };

    TempCopy(std::string source, std::string path, ScopedHandle from, ULONGLONG size);
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    const std::string& GetSource() const { return source_; }
    const std::string& GetPath() const { return path_; }
    // kDone once the copy is whole and closed, so that a cut may open it.
    State GetState() const { return state_.load(); }

private:
    friend class CopierState;

    const std::string source_;
    const std::string path_;
    ScopedHandle from_;
    ScopedHandle to_;
    const ULONGLONG size_;
    std::atomic<State> state_{State::kCopying};
};

class TempCopier {
public:
    // The longest a stop waits for the copier's thread.
    static constexpr DWORD kStopWaitMs = 2000;

    // ended runs on the copier's thread after each copy has ended: whole,
    // failed, or dropped because nobody wanted it any more (never once the
    // copier is stopping).
    explicit TempCopier(std::function<void()> ended);
    // Stops the copy under way and waits for the thread, at most kStopWaitMs:
    // a read that never returns (a network share that stalled) must not hold
    // the close. A thread still busy then is cancelled and left to end on its
    // own or with the process; the file it writes is deleted, and goes from
    // the folder once the thread lets go of it. Unfinished copies end failed
    // and no end is told after Stop has returned. Once is enough.
    void Stop();
    ~TempCopier();
    TempCopier(const TempCopier&) = delete;
    TempCopier& operator=(const TempCopier&) = delete;

    // Opens source and queues its copy to path (overwriting a file of that
    // name); null when the source cannot be read or the disk lacks the room.
    // The copy is dropped, and its file deleted, once the copier holds the
    // last reference to it.
    std::shared_ptr<TempCopy> Start(const std::string& source, const std::string& path);

    // A copy is queued or being written, or its end is being told.
    bool IsBusy();

private:
    // Shared with the thread, which may outlive the copier.
    const std::shared_ptr<CopierState> state_;
    ScopedHandle thread_;
};

// One block of a copy: reads at most size bytes from `from` and writes them
// to `to`; copied gets the count, 0 at the end of the source. A test sets one
// that fails or waits, since no disk fails on demand; null puts the real one
// back.
using CopyBlockFn = bool (*)(HANDLE from, HANDLE to, char* buffer, DWORD size, DWORD* copied);
void SetCopyBlock(CopyBlockFn block);
