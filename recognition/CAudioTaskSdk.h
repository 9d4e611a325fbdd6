#pragma once
// Recognises one piece through the speech SDK on a thread of its own: cuts the
// piece with ffmpeg.exe into a 16 kHz mono WAV file, feeds it to the SDK in
// small chunks, appends the words to the piece as they arrive and posts
// WM_USER_AUDIO_PROGRESS to the main window as it goes and at the end.
#include "SimpleThread.h"

#include <libasr.h>

#include <string>

struct AudioPiece;

class CAudioTaskSdk : public SimpleThread {
public:
    CAudioTaskSdk() = default;
    ~CAudioTaskSdk() override = default;

    // Keeps the piece (not owned; it must outlive the thread) and starts the
    // thread; false when no thread could be made (then nothing runs and no
    // callback comes). A timeout below 1 waits for the converter without limit.
    bool Start(AudioPiece* piece, int timeoutMs);
    AudioPiece* GetPiece() const { return piece_; }

    void Run() override;

private:
    // Only the piece overload starts a task.
    using SimpleThread::Start;

    void RunConverter();
    // Creates, logs in and recognises; the service is left for the caller
    // to release, and keyIndex stays -1 until a key pair was chosen.
    int RecogniseWithService(asr_service_t* service, int* keyIndex);
    // Feeds the piece file to a logged-in service: 0 or the failing call's
    // result, -1 when the file cannot be read.
    int Recognition(asr_service_t service, const char* format, const char* domain, bool searchFilter);
    // The feed loop; the recogniser is stopped and its last words kept when
    // the file ends or the task is asked to stop.
    int FeedFile(asr_service_t service, HANDLE file, long long fileSize);
    void AppendResult(const char* text, bool spaceAfterLongText);
    void PostProgress();
    void Finish(int keyIndex);

    AudioPiece* piece_ = nullptr;
    int timeoutMs_ = 0;
    int lastError_ = -1;
    std::string status_;
    // Cleared as the run starts, then the same as the status.
    std::string statusCopy_;
};
