// The pipeline while its workers are still busy: managers deleted with a
// callback under way, a running speech SDK piece removed, workers whose
// thread cannot be made, and the program's closing order with ten pieces in
// flight.
#include "CSpeechClient.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CAudioTask.h"
#include "CAudioTaskSdk.h"
#include "CData.h"
#include "CTaskManager.h"
#include "CWorkTask.h"
#include "CompletionGate.h"
#include "CrashDump.h"
#include "Logger.h"
#include "PipelineSupport.h"
#include "PipelineWindowTest.h"
#include "SimpleThread.h"
#include "StringUtils.h"
#include "TestSupport.h"
#include "ToneSpeechAudio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

const wchar_t kChildVariable[] = L"VANTORIN_SHUTDOWN_CHILD";
const wchar_t kClosingEventVariable[] = L"VANTORIN_SHUTDOWN_CLOSING";
const wchar_t kExitChildVariable[] = L"VANTORIN_EXIT_CHILD";
// The exit code of a child whose calls at its end all answered as before.
constexpr int kAnsweredAtExit = 7;
constexpr int kPiecesInFlight = 10;

std::wstring EnvironmentText(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::string SourcesFolder()
{
    return GetTempDir() + "\\shutdown_sources";
}
std::string DumpFolder()
{
    return GetAppDataDir() + "\\shutdown_dumps";
}
std::string SourcePath(int i)
{
    return SourcesFolder() + "\\piece" + std::to_string(i) + ".wav";
}

// The plain files of a folder (not its folders).
std::vector<std::string> PlainFiles(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAW found = {};
    const ScopedFindHandle search(FindFirstFileW(AnsiToWide(folder + "\\*").c_str(), &found));
    if (!search)
        return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(WideToAnsi(found.cFileName));
    } while (FindNextFileW(search.get(), &found));
    return files;
}

// Workers whose thread cannot be made: Start fails as it does when the
// system has no thread left to give.
class UnstartableRestTask : public CAudioTask {
public:
    bool Start() override { return false; }
};

class UnstartableSdkTask : public CAudioTaskSdk {
public:
    bool Start() override { return false; }
};

class UnstartableWorkTask : public CWorkTask {
public:
    bool Start() override { return false; }
};

class UnstartableConvert : public CAudioConvert {
protected:
    CAudioTask* NewRestTask() override { return new UnstartableRestTask; }
    CAudioTaskSdk* NewSdkTask() override { return new UnstartableSdkTask; }
};

class UnstartableTaskManager : public CTaskManager {
protected:
    CWorkTask* NewWorkTask() override { return new UnstartableWorkTask; }
};

// A speech SDK task that does nothing but call back once let go, and counts
// its ends.
class ParkedSdkTask : public CAudioTaskSdk {
public:
    explicit ParkedSdkTask(HANDLE go) : go_(go) {}
    ~ParkedSdkTask() override { ++destroyed; }
    void Run() override
    {
        WaitForSingleObject(go_, 30000);
        NotifyDone();
    }

    static inline std::atomic<int> destroyed{0};

private:
    HANDLE go_;
};

// Holds each speech SDK completion at the manager's door (after it was
// looked for among the removed tasks) until a removal has been made or a
// second has passed.
class DoorConvert : public CAudioConvert {
public:
    ScopedHandle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle atDoor{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle removed{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    void OnAudioSdkCallBack(CAudioTaskSdk* task) override
    {
        SetEvent(atDoor.get());
        WaitForSingleObject(removed.get(), 1000);
        CAudioConvert::OnAudioSdkCallBack(task);
    }

protected:
    CAudioTaskSdk* NewSdkTask() override { return new ParkedSdkTask(go.get()); }
};

// A preparation worker that waits for its gate before it runs, and counts
// its ends.
class GatedWorkTask : public CWorkTask {
public:
    explicit GatedWorkTask(HANDLE gate) : gate_(gate) {}
    ~GatedWorkTask() override { ++destroyed; }
    void Run() override
    {
        WaitForSingleObject(gate_, 30000);
        CWorkTask::Run();
    }

    static inline std::atomic<int> destroyed{0};

private:
    HANDLE gate_;
};

class GatedTaskManager : public CTaskManager {
public:
    ScopedHandle gate{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

protected:
    CWorkTask* NewWorkTask() override { return new GatedWorkTask(gate.get()); }
};

class ShutdownTest : public PipelineWindowTest {
protected:
    void TearDown() override
    {
        CData::GetInstance()->SetRecgType(1);
        PipelineWindowTest::TearDown();
    }
};

// A callback that got past the exiting check just before the flag was set
// goes on into its manager, as one does while the flag is clear; so the
// flag stays clear here while the manager is deleted with its worker ending.
TEST_F(ShutdownTest, PreparationEndingWhileItsManagerIsDeletedIsWaitedForAndNotCutOff)
{
    LogCapture log;
    HeldInput input;
    auto* manager = new CTaskManager;
    manager->AddTask(input.Path(), false, false);
    manager->OnTimer();
    ASSERT_EQ(1, manager->GetRunning());
    ASSERT_TRUE(input.WaitForReader(60000)) << "the converter never opened its input";

    std::atomic<bool> deleted{false};
    std::thread closer([&] {
        delete manager;
        deleted = true;
    });
    // The worker is let go only once the destructor waits for it.
    const bool waiting = PumpUntil([] { return !LogCapture::Matching(1, "<< class CWorkTask").empty(); }, 60000);
    input.Release();
    closer.join();
    ASSERT_TRUE(waiting);
    EXPECT_TRUE(deleted);
    // Its wait ended with the worker, not at its time-out with the callback
    // stuck behind the manager's lock.
    EXPECT_TRUE(LogCapture::Matching(1, "wait thread exit time out: ").empty());
    EXPECT_EQ(1u, LogCapture::Matching(1, "class CWorkTask >> ").size());
    // The callback ran in the manager before the manager went: the worker
    // was no longer listed there, so nothing was posted.
    EXPECT_EQ(1u, LogCapture::Matching(1, "mapTask not found ").size());
    PumpFor(50);
    EXPECT_TRUE(window_->Received(WM_USER_TASK_RESULT).empty());
}

TEST_F(ShutdownTest, RemovingARunningSpeechSdkPieceDoesNotWaitForItsTask)
{
    LogCapture log;
    HeldInput input;
    CAudioConvert convert;
    const std::string source = "D:\\media\\held.mp4";
    CData::GetInstance()->SetRecgType(0);
    ASSERT_TRUE(convert.AddTask(input.Path(), 2, source));
    CData::GetInstance()->SetRecgType(1);
    const std::vector<AudioPiece*> pieces = convert.GetFilePieces(source);
    ASSERT_EQ(1u, pieces.size());
    AudioPiece* piece = pieces[0];
    ASSERT_TRUE(input.WaitForReader(60000)) << "the converter never opened its input";

    // Were the removal to wait for the task, it would wait for ever: the
    // converter goes on only when this thread lets it. The helper ends such
    // a wait, so that it fails instead of hanging.
    ScopedHandle removed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread rescue([&] {
        if (WaitForSingleObject(removed.get(), 30000) == WAIT_TIMEOUT)
            input.Release();
    });
    convert.RemoveFile(source);
    const int runningAfterRemoval = convert.GetRunning();
    SetEvent(removed.get());
    rescue.join();
    EXPECT_EQ(1, runningAfterRemoval) << "the removal waited for the task";
    EXPECT_FALSE(convert.IsLivePiece(piece, 0));
    EXPECT_TRUE(convert.GetFilePieces(source).empty());

    // Let go, the task ends, calls back and is freed with its piece.
    input.Release();
    ASSERT_TRUE(PumpUntil([&] { return convert.GetRunning() == 0; }, 60000));
    EXPECT_EQ(1u, LogCapture::Matching(1, "task not exist ").size());
    // What it still posted names a piece that is gone: the receiver's check
    // refuses every such message.
    for (const PostedMessage& message : window_->Received(WM_USER_AUDIO_PROGRESS))
        EXPECT_FALSE(convert.IsLivePiece(reinterpret_cast<AudioPiece*>(message.wParam), message.lParam));
}

// The removal of a file lands while the completion of its running speech SDK
// piece is between its two look-ups: the task and its piece must still be
// freed, once.
TEST_F(ShutdownTest, RemovalDuringASpeechSdkCompletionStillFreesItsTask)
{
    const std::string source = GetTempDir() + "\\shutdown_door.wav";
    ASSERT_TRUE(WriteBinaryFile(source, tonespeech::WavFile(tonespeech::Speak({2}).samples)));
    ParkedSdkTask::destroyed = 0;
    DoorConvert convert;
    CData::GetInstance()->SetRecgType(0);
    ASSERT_TRUE(convert.AddTask(source, 2, source));
    CData::GetInstance()->SetRecgType(1);
    ASSERT_EQ(1, convert.GetRunning());
    SetEvent(convert.go.get());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(convert.atDoor.get(), 30000));
    convert.RemoveFile(source);
    SetEvent(convert.removed.get());
    ASSERT_TRUE(PumpUntil([&] { return convert.GetRunning() == 0; }, 30000));
    EXPECT_TRUE(PumpUntil([] { return ParkedSdkTask::destroyed.load() == 1; }, 5000))
        << "the removed piece's task was never freed";
    PumpFor(50);
    EXPECT_EQ(1, ParkedSdkTask::destroyed.load());
}

// A manager that goes away waits while a completion is inside it, and only
// for that: once the exiting flag is set, a later completion stays out.
TEST_F(ShutdownTest, ManagersGoOnlyOnceNoCompletionIsInside)
{
    const auto deleteConvert = [] { delete new CAudioConvert; };
    const auto deleteTaskManager = [] { delete new CTaskManager; };
    const std::function<void()> deletions[] = {deleteConvert, deleteTaskManager};
    for (const std::function<void()>& deletion : deletions) {
        CData::GetInstance()->SetExiting(false);
        ScopedHandle inside(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ScopedHandle leave(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::atomic<bool> opened{false};
        std::thread completion([&] {
            const CompletionPass pass;
            opened = pass.IsOpen();
            SetEvent(inside.get());
            WaitForSingleObject(leave.get(), 30000);
        });
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inside.get(), 30000));
        EXPECT_TRUE(opened);
        CData::GetInstance()->SetExiting(true);
        std::atomic<bool> deleted{false};
        std::thread closer([&] {
            deletion();
            deleted = true;
        });
        Sleep(300);
        EXPECT_FALSE(deleted) << "the manager went while a completion was inside";
        {
            const CompletionPass late;
            EXPECT_FALSE(late.IsOpen());
        }
        SetEvent(leave.get());
        completion.join();
        closer.join();
        EXPECT_TRUE(deleted);
    }
    CData::GetInstance()->SetExiting(false);
}

// A source prepared again: the earlier worker, whose end the main window has
// read, is freed with its thread; one replaced while it still runs has its
// end posted all the same and is freed once that is read; the last one goes
// with the manager.
TEST_F(ShutdownTest, PreparationStartedAgainFreesTheEarlierWorker)
{
    const std::string source = GetTempDir() + "\\shutdown no such source.mp4";
    GatedWorkTask::destroyed = 0;
    auto* manager = new GatedTaskManager;
    // Reads the ends not read yet, as the main window does, and says so.
    size_t read = 0;
    const auto readEnds = [&] {
        const std::vector<PostedMessage> results = window_->Received(WM_USER_TASK_RESULT);
        for (; read < results.size(); ++read) {
            auto* task = reinterpret_cast<CWorkTask*>(results[read].wParam);
            EXPECT_EQ(CWorkTask::kWavFailed, task->GetResult());
            manager->ResultTaken(task);
        }
    };
    SetEvent(manager->gate.get());
    manager->AddTask(source, true, false);
    manager->OnTimer();
    ASSERT_TRUE(PumpUntil([&] { return window_->Received(WM_USER_TASK_RESULT).size() == 1; }, 60000));
    ASSERT_TRUE(PumpUntil([&] { return manager->GetRunning() == 0; }, 60000));
    readEnds();
    EXPECT_EQ(0, GatedWorkTask::destroyed.load());
    manager->AddTask(source, true, false);
    manager->OnTimer();
    EXPECT_EQ(1, GatedWorkTask::destroyed.load()) << "the replaced worker was kept";
    ASSERT_TRUE(PumpUntil([&] { return window_->Received(WM_USER_TASK_RESULT).size() == 2; }, 60000));
    ASSERT_TRUE(PumpUntil([&] { return manager->GetRunning() == 0; }, 60000));
    readEnds();

    // Two at once for the same source: both ends are posted.
    ResetEvent(manager->gate.get());
    manager->AddTask(source, true, false);
    manager->AddTask(source, true, false);
    manager->OnTimer();
    manager->OnTimer();
    ASSERT_EQ(2, manager->GetRunning());
    EXPECT_EQ(2, GatedWorkTask::destroyed.load());
    SetEvent(manager->gate.get());
    ASSERT_TRUE(PumpUntil([&] { return window_->Received(WM_USER_TASK_RESULT).size() == 4; }, 60000));
    ASSERT_TRUE(PumpUntil([&] { return manager->GetRunning() == 0; }, 60000));
    EXPECT_EQ(2, GatedWorkTask::destroyed.load()) << "a worker went before its end was read";
    readEnds();
    EXPECT_EQ(3, GatedWorkTask::destroyed.load());
    EXPECT_EQ(1, manager->GetKeptWorkers());
    delete manager;
    EXPECT_EQ(4, GatedWorkTask::destroyed.load());
}

// Hands out gated workers, listed in made, whose gate outlives the manager.
class OutsideGateTaskManager : public CTaskManager {
public:
    OutsideGateTaskManager(HANDLE gate, std::vector<CWorkTask*>* made) : gate_(gate), made_(made) {}

protected:
    CWorkTask* NewWorkTask() override
    {
        made_->push_back(new GatedWorkTask(gate_));
        return made_->back();
    }

private:
    HANDLE gate_;
    std::vector<CWorkTask*>* made_;
};

// A worker still running when its manager's wait runs out keeps its object:
// its thread goes on using it.
TEST_F(ShutdownTest, PreparationOutlivingItsManagersWaitIsNotFreedUnderItsThread)
{
    const ScopedHandle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<CWorkTask*> made;
    GatedWorkTask::destroyed = 0;
    auto* manager = new OutsideGateTaskManager(gate.get(), &made);
    manager->AddTask(GetTempDir() + "\\shutdown outlived.mp4", true, false);
    manager->OnTimer();
    ASSERT_EQ(1u, made.size());
    CData::GetInstance()->SetExiting(true);
    delete manager;
    EXPECT_EQ(0, GatedWorkTask::destroyed.load()) << "freed while its thread still ran";
    SetEvent(gate.get());
    const bool ended = PumpUntil([&] { return made[0]->HasEnded(); }, 60000);
    CData::GetInstance()->SetExiting(false);
    ASSERT_TRUE(ended);
    EXPECT_EQ(CWorkTask::kWavFailed, made[0]->GetResult());
    EXPECT_TRUE(window_->Received(WM_USER_TASK_RESULT).empty());
    delete made[0];
}

TEST_F(ShutdownTest, RestPieceWhoseThreadCannotStartComesBackFailedAfterItsStarts)
{
    LogCapture log;
    const std::string source = GetTempDir() + "\\shutdown_nothread.wav";
    ASSERT_TRUE(WriteBinaryFile(source, tonespeech::WavFile(tonespeech::Speak({1}).samples)));
    UnstartableConvert convert;
    ASSERT_TRUE(convert.AddTask(source, 2, source));
    // The first start is made once the copy into Temp is whole.
    ASSERT_TRUE(PumpUntil([&] { return !convert.IsCopying(); }, 60000));
    EXPECT_EQ(0, convert.GetRunning());
    for (int tick = 1; tick < CAudioConvert::kMaxStarts; ++tick) {
        convert.OnTimer();
        EXPECT_EQ(0, convert.GetRunning()) << "tick " << tick;
    }
    PumpFor(50);
    const std::vector<PostedMessage> results = window_->Received(WM_USER_AUDIO_RESULT);
    ASSERT_EQ(1u, results.size());
    auto* piece = reinterpret_cast<AudioPiece*>(results[0].wParam);
    EXPECT_EQ(-1, piece->code.load());
    EXPECT_EQ(CAudioConvert::kMaxStarts, piece->starts);
    EXPECT_EQ("error -1", piece->GetMessageText());
    EXPECT_EQ(static_cast<size_t>(CAudioConvert::kMaxStarts),
              LogCapture::Matching(3, "start speech task failed: ").size());
    EXPECT_EQ(0, service_.RecognizeRequests());
}

TEST_F(ShutdownTest, SpeechSdkPieceWhoseThreadCannotStartEndsAtOnceWithMinusOne)
{
    UnstartableConvert convert;
    const std::string source = "D:\\media\\nothread.mp4";
    CData::GetInstance()->SetRecgType(0);
    ASSERT_TRUE(convert.AddTask(GetTempDir() + "\\shutdown_nothread_out.wav", 2, source));
    CData::GetInstance()->SetRecgType(1);
    EXPECT_EQ(0, convert.GetRunning());
    const std::vector<AudioPiece*> pieces = convert.GetFilePieces(source);
    ASSERT_EQ(1u, pieces.size());
    EXPECT_EQ(-1, pieces[0]->code.load());
    EXPECT_EQ(pieces[0]->progressSteps.load(), pieces[0]->stepsDone.load());
    PumpFor(50);
    const std::vector<PostedMessage> progress = window_->Received(WM_USER_AUDIO_PROGRESS);
    ASSERT_EQ(1u, progress.size());
    EXPECT_TRUE(convert.IsLivePiece(reinterpret_cast<AudioPiece*>(progress[0].wParam), progress[0].lParam));
    // Never started again, and removed at once.
    convert.OnTimer();
    EXPECT_EQ(1, pieces[0]->starts);
    convert.RemoveFile(source);
    EXPECT_TRUE(convert.GetFilePieces(source).empty());
}

TEST_F(ShutdownTest, PreparationWhoseThreadCannotStartIsReportedAsNotRun)
{
    UnstartableTaskManager manager;
    manager.AddTask("D:\\media\\nothread.mp4", true, false);
    manager.OnTimer();
    EXPECT_EQ(0, manager.GetRunning());
    PumpFor(50);
    const std::vector<PostedMessage> results = window_->Received(WM_USER_TASK_RESULT);
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(CWorkTask::kNotRun, reinterpret_cast<CWorkTask*>(results[0].wParam)->GetResult());
    // The slot is free again for the next file.
    manager.AddTask("D:\\media\\second.mp4", true, false);
    manager.OnTimer();
    PumpFor(50);
    EXPECT_EQ(2u, window_->Received(WM_USER_TASK_RESULT).size());
}

// The program's closing order run in a child process with ten pieces held
// at a slowed service: the process must end at once (the transfers are not
// waited for), cleanly, and leave Temp empty.
TEST_F(ShutdownTest, ClosingWithTenPiecesInFlightEndsTheProcessAtOnceAndCleanly)
{
    CreateDirectoryW(AnsiToWide(SourcesFolder()).c_str(), nullptr);
    for (int i = 0; i < kPiecesInFlight; ++i)
        ASSERT_TRUE(WriteBinaryFile(SourcePath(i), tonespeech::WavFile(tonespeech::Speak({i}).samples)));
    CreateDirectoryW(AnsiToWide(DumpFolder()).c_str(), nullptr);
    for (const std::string& dump : PlainFiles(DumpFolder()))
        DeleteFileW(AnsiToWide(DumpFolder() + "\\" + dump).c_str());

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        service_.Reset();
        // Far longer than the process may take to end once closing starts.
        service_.Control("fail", "kind=delay&delay=90&count=" + std::to_string(kPiecesInFlight));
        const std::wstring eventName =
            L"Local\\vantorin_shutdown_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(run);
        ScopedHandle closing(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
        SetEnvironmentVariableW(kChildVariable, L"1");
        SetEnvironmentVariableW(kClosingEventVariable, eventName.c_str());
        std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=ShutdownChild.*";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        const BOOL started =
            CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
        SetEnvironmentVariableW(kChildVariable, nullptr);
        SetEnvironmentVariableW(kClosingEventVariable, nullptr);
        ASSERT_TRUE(started);
        ScopedHandle thread(info.hThread);
        ScopedHandle child(info.hProcess);

        const HANDLE either[] = {closing.get(), child.get()};
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, either, FALSE, 180000))
            << "the child ended, or never got its pieces in flight";
        EXPECT_EQ(kPiecesInFlight, service_.RecognizeRequests());
        const bool ended = WaitForSingleObject(child.get(), 30000) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(child.get(), 99);
        ASSERT_TRUE(ended) << "the process outlived its close by half a minute";
        DWORD code = 0;
        GetExitCodeProcess(child.get(), &code);
        EXPECT_EQ(0u, code);
        EXPECT_TRUE(PlainFiles(DumpFolder()).empty());
        EXPECT_TRUE(PlainFiles(GetTempDir()).empty());
    }
}

// The child side of the test above: the main window's closing order, as far
// as the pipeline goes, then the end of the process.
TEST(ShutdownChild, CloseWithPiecesInFlight)
{
    if (EnvironmentText(kChildVariable).empty())
        GTEST_SKIP() << "runs only as a child of ClosingWithTenPiecesInFlightEndsTheProcessAtOnceAndCleanly";
    CCrashDump crashDump;
    crashDump.Init(false, AnsiToWide(DumpFolder()));
    MessageWindow window;
    CData* data = CData::GetInstance();
    data->InitUserlib(window.Handle());
    data->AddKey({{kServiceApiKey, kServiceSecretKey}});
    data->SetRecgType(1);

    SpeechService service;
    auto* convert = new CAudioConvert;
    auto* prepare = new CTaskManager;
    // Each file is one piece, and handing a file over starts it (its task
    // begins once the file's copy into Temp is whole).
    for (int i = 0; i < kPiecesInFlight; ++i)
        ASSERT_TRUE(convert->AddTask(SourcePath(i), 2, SourcePath(i)));
    ASSERT_EQ(kPiecesInFlight, convert->GetRunning());
    ASSERT_TRUE(PumpUntil([&] { return service.RecognizeRequests() == kPiecesInFlight; }, 150000));

    const ScopedHandle closing(OpenEventW(EVENT_MODIFY_STATE, FALSE, EnvironmentText(kClosingEventVariable).c_str()));
    SetEvent(closing.get());
    data->SetExiting(true);
    data->FlushUploadLog();
    delete convert;
    delete prepare;
    data->PostAppExit();
    PumpFor(20);
    ClearTempDir();
}

// A worker that goes on calling the application data object while the
// process ends: its keys, its upload queue, its flags.
struct LateCaller {
    ScopedHandle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> answered{false};

    void Run()
    {
        WaitForSingleObject(go.get(), INFINITE);
        CData* data = CData::GetInstance();
        bool same = true;
        for (int call = 0; call < 4; ++call) {
            const ServerKey key = data->GetServerKey();
            const std::string expected = call % 2 == 0 ? "exit api 1" : "exit api 0";
            same = same && key.apiKey == expected && key.secretKey == expected + " secret";
        }
        data->UploadSvrLog("a line queued as the process ends", false);
        data->UploadSvrLog("a line queued as the process ends", false);
        same = same && !data->IsExiting() && data->GetRecgType() == 1 && data->GetLanguage() == 3;
        answered = same;
        SetEvent(done.get());
    }
};

LateCaller* g_lateCaller = nullptr;

// Made before the data object, so that its end comes after anything made
// later is gone: the last moment of the process before it ends. The worker
// calls in then, and the process ends with what it found.
struct AtTheVeryEnd {
    ~AtTheVeryEnd()
    {
        if (!g_lateCaller)
            return;
        SetEvent(g_lateCaller->go.get());
        const bool ended = WaitForSingleObject(g_lateCaller->done.get(), 10000) == WAIT_OBJECT_0;
        std::fflush(nullptr);
        _exit(ended && g_lateCaller->answered.load() ? kAnsweredAtExit : 3);
    }
};

// The child side of the test below: a worker still calls the data object
// while the process ends.
TEST(ShutdownChild, DataAnswersAWorkerWhileTheProcessEnds)
{
    if (EnvironmentText(kExitChildVariable).empty())
        GTEST_SKIP() << "runs only as a child of DataObjectOutlivesTheProcessEnd";
    static AtTheVeryEnd end;
    CData* data = CData::GetInstance();
    data->AddKey({{"exit api 0", "exit api 0 secret"}, {"exit api 1", "exit api 1 secret"}});
    data->SetRecgType(1);
    data->SetLanguage(3);
    // Left running and never freed, as a worker the close does not wait for.
    g_lateCaller = new LateCaller;
    ASSERT_TRUE(StartWorkerThread(L"late caller", [] { g_lateCaller->Run(); }).valid());
}

TEST_F(ShutdownTest, DataObjectOutlivesTheProcessEnd)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(kExitChildVariable, L"1");
    const int code = RunAndWait(self, L"--gtest_filter=ShutdownChild.DataAnswersAWorkerWhileTheProcessEnds", 60000);
    SetEnvironmentVariableW(kExitChildVariable, nullptr);
    EXPECT_EQ(kAnsweredAtExit, code);
}

}  // namespace
