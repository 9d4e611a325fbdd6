#pragma once
// The base of every worker: one system thread running the virtual Run.
#include "ScopedHandle.h"

#include "Win32Prelude.h"

#include <atomic>
#include <cstdint>

class SimpleThread;

// Called on the worker's own thread when its Run is done.
using TaskCallBack = void (*)(SimpleThread* task, void* user);

// How Start makes its thread: _beginthreadex's contract (the new thread's
// handle, or 0 when none could be made). The system's own is used unless
// another is set; a test sets one that fails, since no system resource runs
// out on demand. Null puts the system's back.
using ThreadMaker = uintptr_t (*)(unsigned(__stdcall* entry)(void*), void* argument);
void SetThreadMaker(ThreadMaker maker);

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
    static unsigned __stdcall ThreadProc(void* object);

    ScopedHandle thread_;
    std::atomic<bool> stopped_{true};
    TaskCallBack callback_ = nullptr;
    void* user_ = nullptr;
};
