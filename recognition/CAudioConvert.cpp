#include "CAudioConvert.h"

#include "CAudioTask.h"
#include "CAudioTaskSdk.h"
#include "AppPaths.h"
#include "CData.h"
#include "CompletionGate.h"
#include "Logger.h"
#include "StringUtils.h"
#include "TempWork.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>

namespace {

const int kPoorAudio = 3301;

// Process-wide, so that neither a copy's name nor a piece's id is ever
// handed out twice, whichever manager asks.
std::atomic<int> g_nextCopy{0};
std::atomic<int> g_nextPieceId{0};
std::atomic<CopyFailureNotice> g_copyFailureNotice{nullptr};

// A speech SDK task whose file was removed while it ran, with its piece and
// the manager that still counts it as running (null once that manager is
// gone). Kept process-wide: such a task may call back after its manager was
// deleted. The registry's lock is taken before a manager's lock.
struct RetiredTask {
    AudioPiece* piece;
    CAudioConvert* owner;
};

CLock& RetiredLock()
{
    static CLock* const lock = new CLock;
    return *lock;
}

std::map<CAudioTaskSdk*, RetiredTask>& RetiredTasks()
{
    static auto* const tasks = new std::map<CAudioTaskSdk*, RetiredTask>;
    return *tasks;
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A piece counts as come back once its message is not empty, so the message
// must never be empty then.
std::string MessageOf(const CAudioTask& task)
{
    const std::string error = task.GetError();
    if (!error.empty())
        return error;
    return task.GetCode() == 0 ? "success." : "error " + std::to_string(task.GetCode());
}

void PostToMainWindow(UINT message, AudioPiece* piece)
{
    CData* data = CData::GetInstance();
    if (!data->IsExiting())
        PostMessageW(data->GetMainWnd(), message, reinterpret_cast<WPARAM>(piece), static_cast<LPARAM>(piece->id));
}

}  // namespace

void AudioCallBack(SimpleThread* task, void* user)
{
    const CompletionPass pass;
    if (!pass.IsOpen())
        return;
    static_cast<CAudioConvert*>(user)->OnAudioCallBack(static_cast<CAudioTask*>(task));
}

void AudioSdkCallBack(SimpleThread* task, void* user)
{
    const CompletionPass pass;
    if (!pass.IsOpen())
        return;
    auto* sdkTask = static_cast<CAudioTaskSdk*>(task);
    // Held across both look-ups: a RemoveFile between them would file the
    // task as retired after it was looked for there, and nothing would ever
    // free it or its piece. RemoveFile and StopAll take this lock first too.
    CAutoLock retiredGuard(&RetiredLock());
    if (!CAudioConvert::EndRetiredTask(sdkTask))
        static_cast<CAudioConvert*>(user)->OnAudioSdkCallBack(sdkTask);
}

void SetCopyFailureNotice(CopyFailureNotice notice)
{
    g_copyFailureNotice.store(notice);
}

std::string FormatHms(int seconds)
{
    char text[32] = {};
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

int PieceCount(int duration, int pieceLength)
{
    int count = duration / pieceLength + (duration % pieceLength > 1 ? 1 : 0);
    // Without a piece the file's row would never finish.
    if (count == 0 && duration >= 1)
        count = 1;
    return count;
}

std::wstring PieceArguments(int engine, const std::string& input, const std::string& start, const std::string& end,
                            const std::string& pieceFile)
{
    const char* output = engine == AudioPiece::kEngineSdk ? "-acodec pcm_s16le" : "-f s16le";
    const std::string line = "-y -i \"" + input + "\" -ss " + start + " -to " + end + " " + output +
                             " -ac 1 -ar 16000 \"" + pieceFile + "\"";
    return AnsiToWide(line);
}

CAudioConvert::~CAudioConvert()
{
    // No copy may end into a start while the manager goes.
    copier_.Stop();
    StopAll();
    // A callback that got in before the exiting flag was set may still be on
    // its way to the lock; the manager must outlive it.
    WaitForCompletionsInside();
}

CAudioTask* CAudioConvert::NewRestTask()
{
    return new CAudioTask;
}

CAudioTaskSdk* CAudioConvert::NewSdkTask()
{
    return new CAudioTaskSdk;
}

std::shared_ptr<TempCopy> CAudioConvert::CopyToTemp(const std::string& source, const std::string& temp)
{
    const std::string copy = temp + "\\src" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(g_nextCopy.fetch_add(1)) + "_" + FileNameOf(source);
    return copier_.Start(source, copy);
}

bool CAudioConvert::AddTask(const std::string& file, int duration, const std::string& source)
{
    const char* tag = "CAudioConvert::AddTask";
    if (duration <= 0) {
        g_logger.Write(2, tag, "audio %s time is 0, set %d", source.c_str(), kUnknownDuration);
        duration = kUnknownDuration;
    }
    const bool prepared = file != source;
    const std::string temp = GetTempDir();
    std::string input = file;
    std::shared_ptr<TempCopy> copy;
    if (!prepared) {
        // Only what fails at once is known here; the bytes are copied on the
        // copier's thread, and the pieces wait for the copy to be whole.
        copy = CopyToTemp(source, temp);
        if (!copy) {
            if (const CopyFailureNotice notice = g_copyFailureNotice.load())
                notice(source);
            return false;
        }
        input = copy->GetPath();
    }
    // The copy is this run's own, and so is a prepared file in Temp: it goes
    // once no piece can be cut from it again.
    const auto cutInput = std::make_shared<CutInput>(input, !prepared || IsInTempFolder(file));
    const int engine = CData::GetInstance()->GetRecgType() == 0 ? AudioPiece::kEngineSdk : AudioPiece::kEngineRest;
    const int length = engine == AudioPiece::kEngineSdk ? kSdkPieceSeconds : kRestPieceSeconds;
    const char* extension = engine == AudioPiece::kEngineSdk ? ".wav" : ".pcm";
    const int count = PieceCount(duration, length);

    CAutoLock guard(&lock_);
    for (int i = 0; i < count; ++i) {
        const std::string pieceFile = temp + "\\" + std::to_string(pieceCounter_++) + extension;
        const std::wstring line =
            PieceArguments(engine, input, FormatHms(i * length), FormatHms(i * length + length), pieceFile);
        AudioPiece* piece = new AudioPiece(source, duration, count, i, line, pieceFile);
        piece->prepared = prepared;
        piece->engine = engine;
        piece->id = g_nextPieceId.fetch_add(1) + 1;
        piece->input = cutInput;
        piece->copy = copy;
        waiting_.push_back(piece);
        pieces_[line] = piece;
    }
    SortQueue();
    // The start this call makes counts as running at once; while no piece
    // can be cut yet, its task is begun when a copy has ended. Only a copy
    // still being written will tell its end: one that failed at once may
    // have told it before this lock was taken, and a start owed to it would
    // wait for ever.
    if (running_ < kMaxRunning && !StartFirstReady() && IsAnyCopyPending()) {
        ++running_;
        ++owedStarts_;
    }
    return true;
}

void CAudioConvert::OnTimer()
{
    EndPiecesOfFailedCopies();
    Dispatch();
}

void CAudioConvert::OnCopyEnded()
{
    CAutoLock guard(&lock_);
    if (owedStarts_ == 0)
        return;
    --owedStarts_;
    --running_;
    const bool started = StartFirstReady();
    // A copy is marked whole before it calls back, so a later AddTask or tick
    // may already have started its piece: the start owed is then kept for the
    // next copy to end, and none is lost.
    if (IsAnyCopyPending()) {
        if (!started) {
            ++owedStarts_;
            ++running_;
        }
        return;
    }
    // Nothing is left to copy: what is still owed starts now, in queue order,
    // or is given back, so that no start is held for ever.
    while (owedStarts_ > 0) {
        --owedStarts_;
        --running_;
        StartFirstReady();
    }
}

bool CAudioConvert::IsAnyCopyPending() const
{
    return std::any_of(waiting_.begin(), waiting_.end(), [](const AudioPiece* piece) {
        return piece->copy && piece->copy->GetState() == TempCopy::State::kCopying;
    });
}

void CAudioConvert::EndPiecesOfFailedCopies()
{
    std::vector<std::string> failedSources;
    {
        CAutoLock guard(&lock_);
        std::vector<const TempCopy*> failed;
        for (auto entry = waiting_.begin(); entry != waiting_.end();) {
            AudioPiece* piece = *entry;
            if (!piece->copy || piece->copy->GetState() != TempCopy::State::kFailed) {
                ++entry;
                continue;
            }
            entry = waiting_.erase(entry);
            if (std::find(failed.begin(), failed.end(), piece->copy.get()) == failed.end()) {
                failed.push_back(piece->copy.get());
                failedSources.push_back(piece->source);
            }
            // Back for the last time, as a piece that could not be cut: the
            // main window's sweep finishes the row.
            piece->copy.reset();
            piece->code.store(-1);
            piece->SetMessageText("copy to temp failed");
            piece->stepsDone.store(piece->progressSteps.load());
            ReleaseWorkFiles(piece);
        }
    }
    // The box is made outside the lock: the tasks' callbacks need it.
    if (const CopyFailureNotice notice = g_copyFailureNotice.load()) {
        for (const std::string& source : failedSources)
            notice(source);
    }
}

void CAudioConvert::SortQueue()
{
    // Stable, so that equal indices keep the order the files came in.
    std::stable_sort(waiting_.begin(), waiting_.end(), &ComparePieceOrder);
}

void CAudioConvert::Dispatch()
{
    CAutoLock guard(&lock_);
    StartFirstReady();
}

bool CAudioConvert::StartFirstReady()
{
    if (running_ >= kMaxRunning)
        return false;
    // In queue order, passing over the pieces whose copy is still being
    // written.
    const auto ready = std::find_if(waiting_.begin(), waiting_.end(), [](const AudioPiece* piece) {
        return !piece->copy || piece->copy->GetState() == TempCopy::State::kDone;
    });
    if (ready == waiting_.end())
        return false;
    AudioPiece* piece = *ready;
    waiting_.erase(ready);
    ++running_;
    ++piece->starts;
    if (piece->engine == AudioPiece::kEngineSdk)
        StartSdk(piece);
    else
        StartRest(piece);
    return true;
}

void CAudioConvert::StartRest(AudioPiece* piece)
{
    CAudioTask* task = NewRestTask();
    task->SetCallback(&AudioCallBack, this);
    // A task that never ran comes back as a failure, to be started again like
    // any other, rather than counting as running for ever.
    if (!task->Start(piece->command, piece->pieceFile, 0)) {
        g_logger.Write(3, "CAudioConvert::Dispatch", "start speech task failed: %s", piece->pieceFile.c_str());
        OnAudioCallBack(task);
    }
}

void CAudioConvert::StartSdk(AudioPiece* piece)
{
    // Piece files are numbered from 0 again in every run, and a run that
    // ended without emptying Temp leaves its files there: a cut that writes
    // nothing must not leave an older recording to be fed in its place.
    DeleteFileW(AnsiToWide(piece->pieceFile).c_str());
    CAudioTaskSdk* task = NewSdkTask();
    piece->sdkTask = task;
    task->SetCallback(&AudioSdkCallBack, this);
    if (task->Start(piece, 0))
        return;
    g_logger.Write(3, "CAudioConvert::Dispatch", "start speech sdk task failed: %s", piece->pieceFile.c_str());
    --running_;
    piece->sdkCalledBack = true;
    ReleaseWorkFiles(piece);
    piece->code.store(-1);
    piece->SetMessageText("speech sdk task not started");
    piece->stepsDone.store(piece->progressSteps.load());
    PostToMainWindow(WM_USER_AUDIO_PROGRESS, piece);
}

void CAudioConvert::OnAudioCallBack(CAudioTask* task)
{
    const char* tag = "CAudioConvert::OnAudioCallBack";
    {
        CAutoLock guard(&lock_);
        const auto found = pieces_.find(task->GetCommand());
        if (found == pieces_.end()) {
            g_logger.Write(1, tag, "task not exist %s", WideToAnsi(task->GetCommand()).c_str());
            EndRemovedRestPiece(task->GetCommand());
        } else {
            AudioPiece* piece = found->second;
            const int code = task->GetCode();
            if (code != 0 && code != kPoorAudio && piece->starts < kMaxStarts) {
                g_logger.Write(2, tag, "speech task failed. %s, code:%d, err:%s, retry:%d", piece->pieceFile.c_str(),
                               code, task->GetError().c_str(), piece->starts);
                waiting_.push_back(piece);
                SortQueue();
            } else {
                // The message goes last: it marks the piece as come back.
                piece->SetText(task->GetText());
                piece->code.store(code);
                piece->SetMessageText(MessageOf(*task));
                ReleaseWorkFiles(piece);
                PostToMainWindow(WM_USER_AUDIO_RESULT, piece);
            }
        }
        --running_;
    }
    delete task;
}

void CAudioConvert::OnAudioSdkCallBack(CAudioTaskSdk* task)
{
    CAutoLock guard(&lock_);
    AudioPiece* piece = task->GetPiece();
    if (piece && pieces_.find(piece->command) != pieces_.end()) {
        piece->sdkCalledBack = true;
        ReleaseWorkFiles(piece);
    } else {
        LogMissingSdkPiece(piece);
    }
    --running_;
}

void CAudioConvert::ReleaseWorkFiles(AudioPiece* piece)
{
    DeleteWorkFile(piece->pieceFile);
    piece->input.reset();
}

void CAudioConvert::EndRemovedRestPiece(const std::wstring& command)
{
    const auto found = removedRunning_.find(command);
    if (found == removedRunning_.end())
        return;
    DeleteWorkFile(found->second.pieceFile);
    removedRunning_.erase(found);
}

void CAudioConvert::DeletePiece(AudioPiece* piece)
{
    DeleteWorkFile(piece->pieceFile);
    delete piece;
}

void CAudioConvert::LogMissingSdkPiece(const AudioPiece* piece)
{
    g_logger.Write(1, "CAudioConvert::OnAudioSdkCallBack", "task not exist %s",
                   piece ? WideToAnsi(piece->command).c_str() : "");
}

bool CAudioConvert::EndRetiredTask(CAudioTaskSdk* task)
{
    AudioPiece* piece = nullptr;
    {
        CAutoLock guard(&RetiredLock());
        const auto found = RetiredTasks().find(task);
        if (found == RetiredTasks().end())
            return false;
        piece = found->second.piece;
        if (CAudioConvert* owner = found->second.owner) {
            CAutoLock ownerGuard(&owner->lock_);
            LogMissingSdkPiece(piece);
            --owner->running_;
        }
        RetiredTasks().erase(found);
    }
    // Nothing refers to the task or its piece any more, and the task touches
    // nothing of itself once this callback has returned.
    DeletePiece(piece);
    delete task;
    return true;
}

void CAudioConvert::RemoveFile(const std::string& source)
{
    std::vector<AudioPiece*> removed;
    {
        CAutoLock retiredGuard(&RetiredLock());
        CAutoLock guard(&lock_);
        const auto firstRemoved = std::stable_partition(
            waiting_.begin(), waiting_.end(), [&](const AudioPiece* piece) { return piece->source != source; });
        const std::set<const AudioPiece*> wasWaiting(firstRemoved, waiting_.end());
        waiting_.erase(firstRemoved, waiting_.end());
        for (auto entry = pieces_.begin(); entry != pieces_.end();) {
            AudioPiece* piece = entry->second;
            if (piece->source != source) {
                ++entry;
                continue;
            }
            entry = pieces_.erase(entry);
            // A running speech SDK task may sit in the converter or the SDK's
            // login for long: the UI thread does not wait for it. It still
            // writes into its piece, so both go when it calls back.
            if (piece->sdkTask && !piece->sdkCalledBack) {
                piece->sdkTask->Stop();
                RetiredTasks()[piece->sdkTask] = RetiredTask{piece, this};
                continue;
            }
            // A REST task still running goes on cutting from the input and
            // writes the piece file: both go when it has called back.
            const bool restRunning =
                piece->engine != AudioPiece::kEngineSdk && !wasWaiting.count(piece) && piece->GetMessageText().empty();
            if (restRunning)
                removedRunning_[piece->command] = RemovedRestPiece{piece->input, piece->pieceFile};
            removed.push_back(piece);
        }
    }
    for (AudioPiece* piece : removed) {
        if (piece->sdkTask) {
            // It has called back already: its thread is at its very end.
            piece->sdkTask->Join(INFINITE);
            delete piece->sdkTask;
        }
        DeletePiece(piece);
    }
}

std::vector<AudioPiece*> CAudioConvert::GetFilePieces(const std::string& source)
{
    std::vector<AudioPiece*> selected;
    CAutoLock guard(&lock_);
    for (const auto& entry : pieces_) {
        AudioPiece* piece = entry.second;
        if (piece->source != source)
            continue;
        if (piece->engine == AudioPiece::kEngineSdk || !piece->GetMessageText().empty())
            selected.push_back(piece);
    }
    std::sort(selected.begin(), selected.end(), &ComparePieceOrder);
    return selected;
}

bool CAudioConvert::IsLivePiece(const AudioPiece* piece, LPARAM id)
{
    CAutoLock guard(&lock_);
    for (const auto& entry : pieces_) {
        if (entry.second == piece)
            return id == 0 || piece->id == id;
    }
    return false;
}

int CAudioConvert::GetRunning()
{
    CAutoLock guard(&lock_);
    return running_;
}

bool CAudioConvert::IsCopying()
{
    return copier_.IsBusy();
}

void CAudioConvert::StopAll()
{
    // Nobody waits here and no piece is freed: the program is closing, a
    // stopping speech SDK task still writes into its piece, and REST tasks
    // finish on their own with their callbacks doing nothing. A speech SDK
    // task still running is handed to the process-wide list with no manager,
    // so that should it call back after all, it never reaches this one.
    CAutoLock retiredGuard(&RetiredLock());
    for (auto& entry : RetiredTasks()) {
        if (entry.second.owner == this)
            entry.second.owner = nullptr;
    }
    CAutoLock guard(&lock_);
    waiting_.clear();
    for (const auto& entry : pieces_) {
        AudioPiece* piece = entry.second;
        CAudioTaskSdk* task = piece->sdkTask;
        if (piece->engine != AudioPiece::kEngineSdk || !task)
            continue;
        if (!task->IsStop())
            task->Stop();
        if (!piece->sdkCalledBack)
            RetiredTasks()[task] = RetiredTask{piece, nullptr};
    }
    pieces_.clear();
}
