#pragma once
// The base of every worker: one system thread running the virtual Run; and
// the one way the foundation starts any other thread, named.
#include "ScopedHandle.h"

#include "Win32Prelude.h"

#include <atomic>
#include <memory>
#include <utility>

class SimpleThread;

// Called on the worker's own thread when its Run is done.
using TaskCallBack = void (*)(SimpleThread* task, void* user);

// How every thread here is made: CreateThread's contract with the default
// stack, running at once (the new thread's handle, or null when none could be
// made). The system's CreateThread is used unless another is set; a test sets
// one that fails, since no system resource runs out on demand. Null puts the
// system's back.
using ThreadMaker = HANDLE (*)(LPTHREAD_START_ROUTINE entry, void* argument);
void SetThreadMaker(ThreadMaker maker);
// The maker a test set; null while the system's is used.
ThreadMaker ReplacedThreadMaker();

// Gives the thread the name where the system can name threads (from
// Windows 10; looked up at run time, so elsewhere this does nothing).
void NameThread(HANDLE thread, const wchar_t* name);

// The thread maker's handle for a thread running entry(argument).
// CreateThread rather than the runtime's _beginthreadex, which allocates: the
// crash writer starts its thread when the heap may be broken. The runtime is a
// DLL, which sets up and frees its per-thread data either way.
[[gnu::always_inline]] inline HANDLE MakeThread(LPTHREAD_START_ROUTINE entry, void* argument)
{
    const ThreadMaker maker = ReplacedThreadMaker();
    return maker ? maker(entry, argument) : CreateThread(nullptr, 0, entry, argument, 0, nullptr);
}

// Starts a thread running entry(argument), named. The thread's handle, or an
// empty one when no thread could be made. It takes no lock, allocates nothing
// and logs nothing, so the crash writer starts its thread with it; and it is
// always inlined, so that the start costs a faulting thread's stack (all but
// used up after a stack overflow) no more than CreateThread itself does.
[[gnu::always_inline]] inline ScopedHandle MakeNamedThread(const wchar_t* name, LPTHREAD_START_ROUTINE entry,
                                                           void* argument)
{
    ScopedHandle thread(MakeThread(entry, argument));
    if (thread)
        NameThread(thread.get(), name);
    return thread;
}

// The callable a worker thread runs, behind one virtual call.
class ThreadWork {
public:
    virtual ~ThreadWork() = default;
    virtual void Run() = 0;
};

// As StartWorkerThread, for work already wrapped.
ScopedHandle StartThreadWork(const wchar_t* name, std::unique_ptr<ThreadWork> work);

// Starts a named thread (as MakeNamedThread) that runs work once and then
// destroys it. The thread's handle: drop it to let the thread run detached, or
// keep it to wait for the thread. When no thread can be made the name is
// logged as an error, work is destroyed unrun and the handle is empty.
template <typename Work>
ScopedHandle StartWorkerThread(const wchar_t* name, Work work)
{
    class Holder : public ThreadWork {
    public:
        explicit Holder(Work&& work) : work_(std::move(work)) {}
        void Run() override { work_(); }

    private:
        Work work_;
    };
    return StartThreadWork(name, std::make_unique<Holder>(std::move(work)));
}

class SimpleThread {
public:
    SimpleThread() = default;
    // Neither stops nor waits for the thread: an owner that needs it ended
    // calls Stop and Join first. It does close a handle that Join has not:
    // REST piece tasks are deleted by their owner without a Join, and every
    // one would otherwise leave its handle open for the rest of the run.
    virtual ~SimpleThread() = default;
    SimpleThread(const SimpleThread&) = delete;
    SimpleThread& operator=(const SimpleThread&) = delete;

    virtual bool IsStop();
    // Asks Run to finish; returns at once.
    virtual void Stop();
    // Waits up to milliseconds for the thread, then lets go of it; a thread
    // still running goes on, detached.
    virtual void Join(DWORD milliseconds);
    // False when the thread could not be created: then nothing runs, the
    // stop flag stays cleared and there is no thread to join.
    virtual bool Start();
    virtual void Run() = 0;

    void SetCallback(TaskCallBack callback, void* user);

protected:
    // Calls the completion callback, if any; workers call it at the end of Run.
    void NotifyDone();

private:
    static DWORD WINAPI ThreadProc(void* object);

    ScopedHandle thread_;
    std::atomic<bool> stopped_{true};
    TaskCallBack callback_ = nullptr;
    void* user_ = nullptr;
};
