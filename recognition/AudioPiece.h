#pragma once
// One piece of one source file, as the piece scheduler keeps it, and the
// window messages that carry pieces to the main window.
#include "Lock.h"
#include "TempWork.h"

#include "Win32Prelude.h"

#include <atomic>
#include <memory>
#include <string>

class CAudioTaskSdk;
class TempCopy;

// Both messages: wParam the AudioPiece, which stays with CAudioConvert; lParam
// the piece's id, so that the receiver can ask CAudioConvert::IsLivePiece
// whether the piece still exists before it reads it (a removed piece's
// address may be reused by a new one).
// A REST piece has come back for the last time.
constexpr UINT WM_USER_AUDIO_RESULT = WM_USER + 3000;
// A speech SDK piece made progress or ended (steps done equal progress steps).
constexpr UINT WM_USER_AUDIO_PROGRESS = WM_USER + 3002;
// WM_USER_TASK_RESULT (WM_USER + 3001) lives with CTaskManager.

struct AudioPiece {
    enum Engine { kEngineSdk = 0, kEngineRest = 1 };

    AudioPiece(const std::string& sourcePath, int duration, int pieceCount, int pieceIndex,
               const std::wstring& arguments, const std::string& pieceFile)
        : source(sourcePath),
          duration(duration),
          count(pieceCount),
          index(pieceIndex),
          command(arguments),
          pieceFile(pieceFile)
    {
    }
    AudioPiece(const AudioPiece&) = delete;
    AudioPiece& operator=(const AudioPiece&) = delete;

    // The speech SDK task appends while the UI thread joins a file's text.
    void AppendText(const std::string& utf8)
    {
        CAutoLock guard(&textLock_);
        text_ += utf8;
    }
    void SetText(const std::string& utf8)
    {
        CAutoLock guard(&textLock_);
        text_ = utf8;
    }
    std::string GetText()
    {
        CAutoLock guard(&textLock_);
        return text_;
    }

    // The message is written by the task's thread and read by the UI thread
    // and by GetFilePieces, so it goes through the same lock.
    void SetMessageText(const std::string& text)
    {
        CAutoLock guard(&textLock_);
        message_ = text;
    }
    std::string GetMessageText()
    {
        CAutoLock guard(&textLock_);
        return message_;
    }

    const std::string source;    // the file the user added (the list row's key)
    const int duration;          // seconds, of the whole file
    const int count;             // pieces the file was cut into
    const int index;             // 0 for the first piece; the order key
    const std::wstring command;  // ffmpeg.exe arguments; the piece map's key
    const std::string pieceFile;
    int id = 0;  // unique in the process; set by CAudioConvert

    std::atomic<int> code{0};  // 0, the service's or SDK's error, -1 local
    int starts = 0;            // handed to a task; under the scheduler's lock
    bool prepared = false;     // cut from a prepared copy, not the source
    int engine = kEngineRest;
    CAudioTaskSdk* sdkTask = nullptr;  // the task running or last run; SDK only
    bool sdkCalledBack = false;        // its task has called back; under the scheduler's lock
    // The Temp copy it is cut from while that is still being written; null
    // for a prepared file. Under the scheduler's lock.
    std::shared_ptr<TempCopy> copy;
    std::atomic<int> progressSteps{100};
    std::atomic<int> stepsDone{0};
    // What the piece is cut from, held while it may still be cut; let go
    // when it has come back for the last time. Under the scheduler's lock.
    std::shared_ptr<CutInput> input;

private:
    CLock textLock_;
    std::string message_;
    std::string text_;  // UTF-8
};

// The order of the waiting queue and of a file's pieces.
inline bool ComparePieceOrder(const AudioPiece* a, const AudioPiece* b)
{
    return a->index < b->index;
}
