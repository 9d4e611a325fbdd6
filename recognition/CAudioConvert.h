#pragma once
// Cuts source files into pieces and recognises every piece on a task of its
// own: a CAudioTask (REST service) or a CAudioTaskSdk (speech SDK), at most
// ten at a time, first pieces of every file before any second piece. A failed
// REST piece is started again, up to five starts in all.
#include "AudioPiece.h"
#include "Lock.h"
#include "SimpleThread.h"
#include "TempCopy.h"

#include "Win32Prelude.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CAudioTask;
class CAudioTaskSdk;

class CAudioConvert {
public:
    static constexpr int kMaxRunning = 10;
    static constexpr int kMaxStarts = 5;
    static constexpr int kRestPieceSeconds = 58;
    static constexpr int kSdkPieceSeconds = 1200;
    // Used when the file's duration is unknown.
    static constexpr int kUnknownDuration = 3600;

    CAudioConvert() = default;
    // Drops the waiting pieces and asks running speech SDK tasks to stop,
    // without waiting for them. The main window sets the exiting flag first,
    // so the callbacks of tasks that end later do nothing; a callback that
    // was already under way is waited for.
    virtual ~CAudioConvert();
    CAudioConvert(const CAudioConvert&) = delete;
    CAudioConvert& operator=(const CAudioConvert&) = delete;

    // file is what gets cut (the prepared copy, or source itself); source is
    // the path the user added. False, with nothing queued, when an unprepared
    // source could not be copied into Temp.
    bool AddTask(const std::string& file, int duration, const std::string& source);
    void OnTimer();
    // Starts at most one waiting piece while fewer than kMaxRunning run.
    void Dispatch();
    // Completions, on the tasks' threads.
    void OnAudioCallBack(CAudioTask* task);
    // Virtual so that a test can hold a completion at the manager's door.
    virtual void OnAudioSdkCallBack(CAudioTaskSdk* task);
    // The completion of a speech SDK task whose file was removed while it
    // ran: frees it and its piece, and lowers its manager's running count
    // when that manager still exists. False for any other task.
    static bool EndRetiredTask(CAudioTaskSdk* task);
    // Drops every piece of the source at once, without waiting: a speech SDK
    // task still running is asked to stop, and it and its piece are freed
    // when it has called back.
    void RemoveFile(const std::string& source);
    // The source's pieces as the main window may show them, in piece order:
    // REST pieces that came back for the last time, every speech SDK piece.
    std::vector<AudioPiece*> GetFilePieces(const std::string& source);
    // Whether a piece named by a window message still exists; id is the
    // message's lParam (the piece's id), or 0 to check the address only.
    bool IsLivePiece(const AudioPiece* piece, LPARAM id);
    // Tasks started and not yet called back.
    int GetRunning();
    // A source's copy into Temp is still being written (or the start owed
    // for it is being made): its pieces have not all become startable yet.
    bool IsCopying();
    void StopAll();

protected:
    // Where the tasks come from; a test may hand out tasks whose thread
    // cannot be started.
    virtual CAudioTask* NewRestTask();
    virtual CAudioTaskSdk* NewSdkTask();

    // A copy of the source in the Temp folder temp under a name no other copy
    // or piece has, written by the copier; null when it could not be begun.
    // Virtual so that a test can let the copier end the copy before AddTask
    // books the start it makes.
    virtual std::shared_ptr<TempCopy> CopyToTemp(const std::string& source, const std::string& temp);

private:
    // Under the lock: starts the first waiting piece that can be cut now,
    // while fewer than kMaxRunning run. False when none started.
    bool StartFirstReady();
    // A copy has ended or was dropped, on the copier's thread: a start that
    // AddTask made while its copy was being written begins its task now.
    void OnCopyEnded();
    // Under the lock: a waiting piece's copy is still being written.
    bool IsAnyCopyPending() const;
    // On the UI thread: the pieces of copies that failed after AddTask come
    // back failed, and the user is told as when the copy fails at once.
    void EndPiecesOfFailedCopies();
    void StartRest(AudioPiece* piece);
    void StartSdk(AudioPiece* piece);
    void SortQueue();
    static void LogMissingSdkPiece(const AudioPiece* piece);
    // A piece that came back for the last time needs neither its file nor
    // its input any more.
    static void ReleaseWorkFiles(AudioPiece* piece);
    // The callback of a REST task whose piece was removed while it ran.
    void EndRemovedRestPiece(const std::wstring& command);
    static void DeletePiece(AudioPiece* piece);

    // What a REST task whose piece was removed still uses until it calls
    // back: the input it cuts from and the piece file it writes.
    struct RemovedRestPiece {
        std::shared_ptr<CutInput> input;
        std::string pieceFile;
    };

    int pieceCounter_ = 0;
    CLock lock_;
    std::deque<AudioPiece*> waiting_;
    int running_ = 0;
    std::map<std::wstring, AudioPiece*> pieces_;
    // Keyed by the argument line; under the lock.
    std::map<std::wstring, RemovedRestPiece> removedRunning_;
    // Starts that AddTask made while no piece could be cut yet: each counts
    // in running until a copy ends and its task is begun.
    int owedStarts_ = 0;
    // Last, so that it and its thread go first: the thread calls back here.
    TempCopier copier_{[this] { OnCopyEnded(); }};
};

// The program's word to the user when an unprepared source cannot be copied
// into Temp. The pipeline has no windows of its own: the program installs
// the message box here, and AddTask calls it on the UI thread.
using CopyFailureNotice = void (*)(const std::string& source);
void SetCopyFailureNotice(CopyFailureNotice notice);

// The completion callbacks; user is the CAudioConvert. Both do nothing while
// the program is exiting.
void AudioCallBack(SimpleThread* task, void* user);
void AudioSdkCallBack(SimpleThread* task, void* user);

// "hh:mm:ss"; hours are not bounded.
std::string FormatHms(int seconds);
// Pieces of pieceLength for a duration: a remainder of one second is dropped,
// but a file of at least one second has at least one piece.
int PieceCount(int duration, int pieceLength);
// The ffmpeg.exe arguments that cut [start, end) of input into pieceFile:
// a 16 kHz mono WAV for the speech SDK, raw 16-bit PCM for the REST service.
std::wstring PieceArguments(int engine, const std::string& input, const std::string& start, const std::string& end,
                            const std::string& pieceFile);
