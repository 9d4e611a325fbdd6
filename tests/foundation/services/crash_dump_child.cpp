// Started by crash_dump_test: installs the crash-dump writer and then faults
// in the way its first argument names.
#include "CrashDump.h"
#include "StringUtils.h"

#include <cstring>

namespace {

volatile int* g_nowhere = nullptr;
volatile int g_depthLimit = 0x7fffffff;

int Recurse(int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (depth >= g_depthLimit)
        return frame[0];
    return Recurse(depth + 1) + frame[0];
}

using LdrLockLoaderLockFn = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);

// Holds the loader lock, as code inside a DLL's entry point does: every new
// thread needs it to start.
bool HoldLoaderLock()
{
    const auto lock = reinterpret_cast<LdrLockLoaderLockFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
    ULONG_PTR cookie = 0;
    return lock && lock(0, nullptr, &cookie) >= 0;
}

DWORD WINAPI FaultWhenReleased(void* go)
{
    WaitForSingleObject(go, INFINITE);
    *g_nowhere = 2;
    return 0;
}

// Two threads fault: at the same moment, or the second gapMilliseconds after
// the first. The first faults just after a second begins, so both dumps are
// named in the same second unless the machine stalls for most of it.
void FaultOnTwoThreads(DWORD gapMilliseconds)
{
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = gapMilliseconds ? CreateEventW(nullptr, TRUE, FALSE, nullptr) : first;
    CreateThread(nullptr, 0, FaultWhenReleased, first, 0, nullptr);
    CreateThread(nullptr, 0, FaultWhenReleased, second, 0, nullptr);
    SYSTEMTIME now;
    GetLocalTime(&now);
    const WORD startSecond = now.wSecond;
    while (now.wSecond == startSecond) {
        Sleep(1);
        GetLocalTime(&now);
    }
    SetEvent(first);
    Sleep(gapMilliseconds);
    SetEvent(second);
    Sleep(INFINITE);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::string mode = argv[1];
    const std::wstring folder = AnsiToWide(argv[2]);

    CCrashDump writer;
    writer.Init(false, folder);
    if (mode == "removed")
        RemoveDirectoryW(folder.c_str());
    else if (mode == "disabled")
        CCrashDump::Disable();
    else if (mode == "loaderlock" && !HoldLoaderLock())
        return 3;
    else if (mode == "heaplock" && !HeapLock(GetProcessHeap()))
        return 3;
    else if (mode == "twothreads")
        FaultOnTwoThreads(0);
    else if (mode == "staggered")
        FaultOnTwoThreads(100);

    if (mode == "overflow")
        return Recurse(0);
    *g_nowhere = 1;
    return 0;
}
