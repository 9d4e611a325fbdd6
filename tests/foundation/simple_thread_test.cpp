#include "Lock.h"
#include "Logger.h"
#include "SimpleThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Collects g_logger's lines for the length of a test.
class LogCapture {
public:
    LogCapture()
    {
        lines().clear();
        g_logger.SetObserver(
            [](int, const char* tag, const char* text) { lines().push_back(std::string(tag) + "|" + text); });
    }
    ~LogCapture() { g_logger.SetObserver(nullptr); }
    static std::vector<std::string>& lines()
    {
        static std::vector<std::string> captured;
        return captured;
    }
};

// A task whose object outlives its thread: its runs call BeginRun first, and
// the destructor of each final task class calls WaitForThreadEnd, which asks
// the run to stop and waits until the thread has really ended, even when a
// Join let go of it. It must be the final class's destructor: a thread that
// has not yet called Run would otherwise find the object half destroyed.
class OwnedTask : public SimpleThread {
public:
    OwnedTask() : running_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    bool Start() override
    {
        started_ = SimpleThread::Start();
        return started_;
    }

protected:
    void WaitForThreadEnd()
    {
        if (!started_)
            return;
        Stop();
        WaitForSingleObject(running_.get(), INFINITE);
        if (WaitForSingleObject(ownThread_.get(), 60000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the task's thread did not end";
            WaitForSingleObject(ownThread_.get(), INFINITE);
        }
    }

    void BeginRun()
    {
        HANDLE self = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, SYNCHRONIZE, FALSE, 0);
        ownThread_.reset(self);
        SetEvent(running_.get());
    }

private:
    ScopedHandle running_;
    ScopedHandle ownThread_;
    bool started_ = false;
};

// Sleeps for a while, or until asked to stop when it runs open-ended.
class SleepTask final : public OwnedTask {
public:
    explicit SleepTask(DWORD milliseconds) : milliseconds_(milliseconds) {}
    ~SleepTask() override { WaitForThreadEnd(); }
    void Run() override
    {
        BeginRun();
        const DWORD start = GetTickCount();
        while (!IsStop() && GetTickCount() - start < milliseconds_)
            Sleep(5);
        NotifyDone();
    }

private:
    DWORD milliseconds_;
};

std::string TimeoutLine(DWORD milliseconds, const void* object)
{
    char text[100];
    std::snprintf(text, sizeof(text), "SimpleThread::Join|wait thread exit time out: %d, %p",
                  static_cast<int>(milliseconds), object);
    return text;
}

TEST(SimpleThreadJoin, ShortTaskReturnsEarlyWithoutTimeOut)
{
    LogCapture capture;
    SleepTask task(100);
    ASSERT_TRUE(task.Start());
    EXPECT_FALSE(task.IsStop());
    const DWORD start = GetTickCount();
    task.Join(3000);
    EXPECT_LT(GetTickCount() - start, 2000u);
    ASSERT_EQ(LogCapture::lines().size(), 2u);
    EXPECT_EQ(LogCapture::lines()[0], "PrintTime::PrintTime|<< class (anonymous namespace)::SleepTask");
    EXPECT_EQ(LogCapture::lines()[1].rfind("PrintTime::~PrintTime|class (anonymous namespace)::SleepTask >> ", 0), 0u)
        << LogCapture::lines()[1];
}

TEST(SimpleThreadJoin, TimeOutIsLoggedAndTheThreadGoesOn)
{
    SleepTask task(INFINITE);
    ASSERT_TRUE(task.Start());
    {
        LogCapture capture;
        task.Join(0);
        ASSERT_EQ(LogCapture::lines().size(), 3u);
        EXPECT_EQ(LogCapture::lines()[1], TimeoutLine(0, &task));
    }
    {
        LogCapture capture;
        const DWORD start = GetTickCount();
        task.Join(150);  // no handle any more: nothing to wait for
        EXPECT_LT(GetTickCount() - start, 100u);
        EXPECT_EQ(LogCapture::lines().size(), 2u);
    }
    EXPECT_FALSE(task.IsStop()) << "the detached thread is still running";
}

TEST(SimpleThreadJoin, LongTaskTimesOutAfterTheGivenTime)
{
    LogCapture capture;
    SleepTask task(INFINITE);
    ASSERT_TRUE(task.Start());
    const DWORD start = GetTickCount();
    task.Join(200);
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 150u);
    EXPECT_LT(waited, 2000u);
    ASSERT_EQ(LogCapture::lines().size(), 3u);
    EXPECT_EQ(LogCapture::lines()[1], TimeoutLine(200, &task));
}

// With no handle the wait fails at once, and its error is the caller's.
TEST(SimpleThreadJoin, NeverStartedReturnsAtOnce)
{
    LogCapture capture;
    SleepTask task(0);
    SetLastError(0);
    const DWORD start = GetTickCount();
    task.Join(5000);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(LogCapture::lines().size(), 2u);
}

// Blocks until released, whatever the stop flag says.
class BlockedTask final : public OwnedTask {
public:
    BlockedTask() : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~BlockedTask() override
    {
        Release();
        WaitForThreadEnd();
    }
    void Run() override
    {
        BeginRun();
        WaitForSingleObject(release_.get(), 10000);
        finished_ = true;
    }
    void Release() { SetEvent(release_.get()); }
    bool finished() const { return finished_; }

private:
    ScopedHandle release_;
    std::atomic<bool> finished_{false};
};

TEST(SimpleThreadStop, DoesNotWait)
{
    BlockedTask task;
    EXPECT_TRUE(task.IsStop()) << "a new thread object counts as stopped";
    ASSERT_TRUE(task.Start());
    EXPECT_FALSE(task.IsStop());
    const DWORD start = GetTickCount();
    task.Stop();
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_TRUE(task.IsStop());
    EXPECT_FALSE(task.finished());
    task.Release();
    task.Join(10000);
    EXPECT_TRUE(task.finished());
}

TEST(SimpleThreadStop, TheRunNoticesIt)
{
    static HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(finished);
    SleepTask task(INFINITE);
    task.SetCallback([](SimpleThread*, void*) { SetEvent(finished); }, nullptr);
    ASSERT_TRUE(task.Start());
    Sleep(50);
    EXPECT_EQ(WaitForSingleObject(finished, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    task.Stop();
    EXPECT_EQ(WaitForSingleObject(finished, 5000), WAIT_OBJECT_0);
    task.Join(5000);
}

TEST(SimpleThreadCallback, RunsOnTheWorkerWithTaskAndUserPointer)
{
    struct Seen {
        SimpleThread* task = nullptr;
        DWORD thread = 0;
    } seen;
    SleepTask task(0);
    task.SetCallback(
        [](SimpleThread* finished, void* user) {
            auto* record = static_cast<Seen*>(user);
            record->task = finished;
            record->thread = GetCurrentThreadId();
        },
        &seen);
    ASSERT_TRUE(task.Start());
    task.Join(5000);
    EXPECT_EQ(seen.task, &task);
    EXPECT_NE(seen.thread, 0u);
    EXPECT_NE(seen.thread, GetCurrentThreadId());
}

// No system resource runs out on demand, so the thread maker is replaced by
// one that fails, as the system's does when it cannot make a thread.
TEST(SimpleThreadStart, FalseWhenNoThreadCanBeMade)
{
    static std::atomic<int> calls{0};
    calls = 0;
    bool finished = false;
    SleepTask task(0);
    task.SetCallback([](SimpleThread*, void* user) { *static_cast<bool*>(user) = true; }, &finished);
    SetThreadMaker([](LPTHREAD_START_ROUTINE, void*) -> HANDLE {
        ++calls;
        return nullptr;
    });
    const bool started = task.Start();
    SetThreadMaker(nullptr);
    EXPECT_FALSE(started);
    EXPECT_EQ(1, calls.load());
    // The flag was cleared for a run that never came.
    EXPECT_FALSE(task.IsStop());
    {
        // Nothing to wait for: the wait fails at once, no time-out line, only
        // the timing lines.
        LogCapture capture;
        SetLastError(0);
        const DWORD start = GetTickCount();
        task.Join(5000);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_LT(GetTickCount() - start, 2000u);
        EXPECT_EQ(LogCapture::lines().size(), 2u);
    }
    EXPECT_FALSE(finished) << "a task that never ran reported done";

    // With the system's maker back the same object runs.
    ASSERT_TRUE(task.Start());
    task.Join(10000);
    EXPECT_TRUE(finished);
}

// Records its thread's id and ends.
class IdTask : public SimpleThread {
public:
    void Run() override { id_ = GetCurrentThreadId(); }
    DWORD id() const { return id_; }

private:
    std::atomic<DWORD> id_{0};
};

// The handle values of this process that refer to the given thread.
std::vector<HANDLE> HandlesOfThread(DWORD id)
{
    std::vector<HANDLE> handles;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        if (GetThreadId(handle) == id)
            handles.push_back(handle);
    }
    return handles;
}

// A REST piece task is deleted by its owner without a Join: deleting a task
// whose thread has ended lets go of the thread's handle.
TEST(SimpleThreadDestructor, ClosesTheHandleJoinDidNotClose)
{
    auto* task = new IdTask;
    ASSERT_TRUE(task->Start());
    for (int i = 0; i < 1000 && task->id() == 0; ++i)
        Sleep(10);
    ASSERT_NE(task->id(), 0u);
    const DWORD id = task->id();
    const std::vector<HANDLE> handles = HandlesOfThread(id);
    ASSERT_EQ(handles.size(), 1u) << "the task's own handle";
    ASSERT_EQ(WaitForSingleObject(handles[0], 10000), WAIT_OBJECT_0);
    delete task;
    EXPECT_TRUE(HandlesOfThread(id).empty());
}

// What a run that outlives its object shares with the test; the run keeps
// its own copy of the pointer, so it never reads the object after it began.
struct OutlivingRun {
    ScopedHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle thread;
    std::atomic<bool> finished{false};
};

class OutlivingTask final : public SimpleThread {
public:
    explicit OutlivingTask(OutlivingRun* shared) : shared_(shared) {}
    void Run() override
    {
        OutlivingRun* shared = shared_;
        HANDLE self = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, SYNCHRONIZE, FALSE, 0);
        shared->thread.reset(self);
        SetEvent(shared->entered.get());
        WaitForSingleObject(shared->go.get(), 30000);
        shared->finished.store(true);
    }

private:
    OutlivingRun* shared_;
};

// An owner that needs its worker ended stops and joins it first: deleting a
// started task returns at once, and its thread goes on to the end of its run.
TEST(SimpleThreadDestructor, NeitherStopsNorWaitsForTheThread)
{
    OutlivingRun shared;
    auto* task = new OutlivingTask(&shared);
    ASSERT_TRUE(task->Start());
    ASSERT_EQ(WaitForSingleObject(shared.entered.get(), 10000), WAIT_OBJECT_0);
    const ULONGLONG before = GetTickCount64();
    delete task;
    EXPECT_LT(GetTickCount64() - before, 1000u);
    EXPECT_EQ(WaitForSingleObject(shared.thread.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the thread ended";
    SetEvent(shared.go.get());
    ASSERT_EQ(WaitForSingleObject(shared.thread.get(), 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(shared.finished.load());
}

// What a worker's callable saw. The callable holds a reference to it, so
// the count of references tells whether the callable has been destroyed.
struct WorkTrace {
    std::atomic<int> runs{0};
    std::atomic<DWORD> thread{0};
};

// Waits, within a generous bound, until nothing but the test holds the trace.
bool WaitUntilOnlyOwner(const std::shared_ptr<WorkTrace>& trace)
{
    for (int i = 0; i < 2000 && trace.use_count() > 1; ++i)
        Sleep(5);
    return trace.use_count() == 1;
}

TEST(WorkerThread, RunsTheWorkOnceOnItsOwnThreadForAWaitingCaller)
{
    auto trace = std::make_shared<WorkTrace>();
    ScopedHandle thread = StartWorkerThread(L"worker test", [trace] {
        ++trace->runs;
        trace->thread = GetCurrentThreadId();
    });
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(trace->runs.load(), 1);
    EXPECT_NE(trace->thread.load(), 0u);
    EXPECT_NE(trace->thread.load(), GetCurrentThreadId());
    // The thread destroyed the callable before it ended.
    EXPECT_EQ(trace.use_count(), 1);
}

TEST(WorkerThread, ADetachedThreadRunsAndLetsGoOfItsWork)
{
    auto trace = std::make_shared<WorkTrace>();
    ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE doneEvent = done.get();
    // The handle is dropped at once: the thread goes on alone.
    EXPECT_TRUE(StartWorkerThread(L"worker test", [trace, doneEvent] {
                    ++trace->runs;
                    SetEvent(doneEvent);
                }).valid());
    ASSERT_EQ(WaitForSingleObject(doneEvent, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntilOnlyOwner(trace));
    EXPECT_EQ(trace->runs.load(), 1);
}

// A move-only callable reaches the thread whole, so a worker can hand its
// thread a record that the thread alone owns.
TEST(WorkerThread, TakesAMoveOnlyCallable)
{
    auto value = std::make_unique<int>(42);
    std::atomic<int> seen{0};
    ScopedHandle thread = StartWorkerThread(L"worker test", [value = std::move(value), &seen] { seen = *value; });
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(seen.load(), 42);
}

using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE thread, PWSTR* description);

// Only systems that name threads can show the name; elsewhere it goes to the
// log alone.
TEST(WorkerThread, TheThreadCarriesItsName)
{
    const auto getDescription = reinterpret_cast<GetThreadDescriptionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    if (!getDescription)
        GTEST_SKIP() << "this system does not name threads";
    ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE releaseEvent = release.get();
    ScopedHandle thread =
        StartWorkerThread(L"named worker", [releaseEvent] { WaitForSingleObject(releaseEvent, 10000); });
    ASSERT_TRUE(thread);
    PWSTR description = nullptr;
    const HRESULT result = getDescription(thread.get(), &description);
    SetEvent(releaseEvent);
    ASSERT_TRUE(SUCCEEDED(result));
    EXPECT_STREQ(description, L"named worker");
    LocalFree(description);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
}

HANDLE FailingMaker(LPTHREAD_START_ROUTINE, void*)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST(WorkerThread, WhenNoThreadCanBeMadeTheNameIsLoggedAndTheWorkDropped)
{
    auto trace = std::make_shared<WorkTrace>();
    LogCapture capture;
    SetThreadMaker(&FailingMaker);
    ScopedHandle thread = StartWorkerThread(L"doomed worker", [trace] { ++trace->runs; });
    SetThreadMaker(nullptr);
    EXPECT_FALSE(thread);
    EXPECT_EQ(trace->runs.load(), 0);
    EXPECT_EQ(trace.use_count(), 1) << "the callable was not destroyed";
    ASSERT_EQ(LogCapture::lines().size(), 1u);
    EXPECT_EQ(LogCapture::lines()[0], "StartWorkerThread|cannot start thread doomed worker");
}

DWORD WINAPI DoNothing(void*)
{
    return 0;
}

// The crash writer's start: it must not take the logger's lock.
TEST(WorkerThread, MakeNamedThreadFailsSilently)
{
    LogCapture capture;
    SetThreadMaker(&FailingMaker);
    ScopedHandle thread = MakeNamedThread(L"silent", &DoNothing, nullptr);
    SetThreadMaker(nullptr);
    EXPECT_FALSE(thread);
    EXPECT_TRUE(LogCapture::lines().empty());
}

TEST(Lock, IsRecursiveAndExcludesOtherThreads)
{
    CLock lock;
    {
        CAutoLock outer(&lock);
        CAutoLock inner(&lock);
    }

    long long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                CAutoLock hold(&lock);
                const long long seen = counter;
                if (i % 1000 == 0)
                    std::this_thread::yield();
                counter = seen + 1;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 8 * 20000);
}

TEST(Lock, AnotherThreadWaitsForTheHolder)
{
    CLock lock;
    lock.Lock();
    bool entered = false;
    std::thread other([&] {
        CAutoLock hold(&lock);
        entered = true;
    });
    Sleep(100);
    EXPECT_FALSE(entered);
    lock.Unlock();
    other.join();
    EXPECT_TRUE(entered);
}

}  // namespace
