#include "SimpleThread.h"

#include "Logger.h"

#include <cxxabi.h>

#include <cstdlib>
#include <string>
#include <typeinfo>

namespace {

// "class CWorkTask": the dynamic class as the program's timing lines name it.
std::string ClassLabel(const std::type_info& type)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : type.name();
    std::free(demangled);
    return "class " + name;
}

// Null while the system's CreateThread is used.
std::atomic<ThreadMaker> g_threadMaker{nullptr};

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE thread, PCWSTR description);

// Null where the system cannot name threads. Looking it up again gives the
// same answer, so threads that race here need no lock.
std::atomic<bool> g_namerLookedUp{false};
std::atomic<SetThreadDescriptionFn> g_namer{nullptr};

SetThreadDescriptionFn ThreadNamer()
{
    if (!g_namerLookedUp.load()) {
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        g_namer.store(kernel ? reinterpret_cast<SetThreadDescriptionFn>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")))
                             : nullptr);
        g_namerLookedUp.store(true);
    }
    return g_namer.load();
}

// Looked up while the globals are initialised: the look-up may wait for the
// loader lock, which a crashing thread can hold when the crash writer starts
// its thread.
[[maybe_unused]] const SetThreadDescriptionFn g_namerAtStart = ThreadNamer();

DWORD WINAPI RunThreadWork(void* argument)
{
    const std::unique_ptr<ThreadWork> work(static_cast<ThreadWork*>(argument));
    work->Run();
    return 0;
}

}  // namespace

void SetThreadMaker(ThreadMaker maker)
{
    g_threadMaker.store(maker);
}

ThreadMaker ReplacedThreadMaker()
{
    return g_threadMaker.load();
}

void NameThread(HANDLE thread, const wchar_t* name)
{
    if (const SetThreadDescriptionFn namer = ThreadNamer())
        namer(thread, name);
}

ScopedHandle StartThreadWork(const wchar_t* name, std::unique_ptr<ThreadWork> work)
{
    ScopedHandle thread = MakeNamedThread(name, &RunThreadWork, work.get());
    if (thread)
        work.release();  // the thread's now: RunThreadWork destroys it
    else
        g_logger.Write(3, "StartWorkerThread", "cannot start thread %ls", name);
    return thread;
}

bool SimpleThread::IsStop()
{
    return stopped_.load();
}

void SimpleThread::Stop()
{
    stopped_.store(true);
}

void SimpleThread::Join(DWORD milliseconds)
{
    PrintTime timer(ClassLabel(typeid(*this)));
    // A never-started thread has no handle: the wait fails at once and leaves
    // the invalid-handle error to the caller.
    if (WaitForSingleObject(thread_.get(), milliseconds) == WAIT_TIMEOUT)
        g_logger.Write(1, "SimpleThread::Join", "wait thread exit time out: %d, %p", static_cast<int>(milliseconds),
                       static_cast<void*>(this));
    thread_.reset();
}

bool SimpleThread::Start()
{
    stopped_.store(false);
    thread_.reset(MakeThread(&ThreadProc, this));
    return thread_.valid();
}

void SimpleThread::SetCallback(TaskCallBack callback, void* user)
{
    callback_ = callback;
    user_ = user;
}

void SimpleThread::NotifyDone()
{
    if (callback_)
        callback_(this, user_);
}

DWORD WINAPI SimpleThread::ThreadProc(void* object)
{
    static_cast<SimpleThread*>(object)->Run();
    return 0;
}
