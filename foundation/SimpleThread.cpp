#include "SimpleThread.h"

#include "Logger.h"

#include <cxxabi.h>
#include <process.h>

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

uintptr_t SystemThreadMaker(unsigned(__stdcall* entry)(void*), void* argument)
{
    return _beginthreadex(nullptr, 0, entry, argument, 0, nullptr);
}

std::atomic<ThreadMaker> g_threadMaker{&SystemThreadMaker};

} // namespace

void SetThreadMaker(ThreadMaker maker)
{
    g_threadMaker.store(maker ? maker : &SystemThreadMaker);
}

bool SimpleThread::IsStop() { return stopped_.load(); }

void SimpleThread::Stop() { stopped_.store(true); }

void SimpleThread::Join(DWORD milliseconds)
{
    PrintTime timer(ClassLabel(typeid(*this)));
    // A never-started thread has nothing to wait for; skipping the wait keeps
    // an invalid-handle error out of the caller's last error.
    if (thread_ && WaitForSingleObject(thread_.get(), milliseconds) == WAIT_TIMEOUT)
        g_logger.Write(1, "SimpleThread::Join", "wait thread exit time out: %d, %p",
                       static_cast<int>(milliseconds), static_cast<void*>(this));
    thread_.reset();
}

bool SimpleThread::Start()
{
    stopped_.store(false);
    const uintptr_t handle = g_threadMaker.load()(&SimpleThread::ThreadProc, this);
    thread_.reset(reinterpret_cast<HANDLE>(handle));
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

unsigned __stdcall SimpleThread::ThreadProc(void* object)
{
    static_cast<SimpleThread*>(object)->Run();
    return 0;
}
