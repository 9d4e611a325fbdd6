#include "CrashDump.h"

#include "ScopedHandle.h"
#include "SimpleThread.h"

#include <dbghelp.h>

#include <atomic>
#include <cwchar>

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE process, DWORD processId, HANDLE file, MINIDUMP_TYPE type,
                                          PMINIDUMP_EXCEPTION_INFORMATION exception,
                                          PMINIDUMP_USER_STREAM_INFORMATION userStreams,
                                          PMINIDUMP_CALLBACK_INFORMATION callback);

// Both start as constants, so a fault during the initialisation of globals
// finds them in a defined state.
std::atomic<CCrashDump*> g_currentWriter{nullptr};
// Lets one thread at a time write a dump when several fault at once.
std::atomic<CRITICAL_SECTION*> g_dumpLock{nullptr};
// The faulting thread that holds the dump lock and the helper thread that
// writes for it. A fault on either (the heap that a crash corrupted can fail
// the dump library as well) must end the process, not wait for itself.
std::atomic<DWORD> g_waitingThread{0};
std::atomic<DWORD> g_dumpThread{0};

// A fault under the loader lock or the heap lock keeps the helper thread from
// starting at all, and can stop it inside the dump library: the faulting
// thread waits this long for it to start, then this long for the dump.
constexpr DWORD kHelperStartMilliseconds = 10000;
constexpr DWORD kDumpWriteMilliseconds = 60000;
constexpr DWORD kStartPollMilliseconds = 50;

// STATUS_UNHANDLED_EXCEPTION, for a crash reported without its record.
constexpr UINT kUnhandledExceptionCode = 0xC0000144;

// The exit code of a crashed process: the exception's own code, so a crash
// never reads as success.
UINT CrashExitCode(const EXCEPTION_POINTERS* pointers)
{
    if (pointers && pointers->ExceptionRecord)
        return pointers->ExceptionRecord->ExceptionCode;
    return kUnhandledExceptionCode;
}

bool FolderExists(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Copies text into a MAX_PATH buffer, cut to fit.
void CopyPath(wchar_t (&target)[MAX_PATH], const std::wstring& text)
{
    const size_t length = text.size() < MAX_PATH - 1 ? text.size() : MAX_PATH - 1;
    wmemcpy(target, text.c_str(), length);
    target[length] = L'\0';
}

std::wstring FormatError(const wchar_t* format, const std::wstring& path, DWORD error)
{
    wchar_t text[MAX_PATH + 128];
    swprintf(text, sizeof text / sizeof text[0], format, path.c_str(), static_cast<int>(error));
    return text;
}

// Enables SeDebugPrivilege on the token; previous receives the state to
// restore. False when the privilege could not be enabled.
bool EnableDebugPrivilege(HANDLE token, TOKEN_PRIVILEGES& previous)
{
    TOKEN_PRIVILEGES wanted = {};
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &wanted.Privileges[0].Luid))
        return false;
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD previousSize = sizeof previous;
    if (!AdjustTokenPrivileges(token, FALSE, &wanted, sizeof previous, &previous, &previousSize))
        return false;
    return GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

}  // namespace

struct CCrashDump::DumpRequest {
    CCrashDump* writer;
    HANDLE token;
    EXCEPTION_POINTERS* pointers;
    DWORD faultingThread;
    std::atomic<bool> started;  // set by the helper once it runs
};

CCrashDump::~CCrashDump()
{
    CCrashDump* self = this;
    g_currentWriter.compare_exchange_strong(self, nullptr);
    if (CRITICAL_SECTION* lock = g_dumpLock.exchange(nullptr)) {
        DeleteCriticalSection(lock);
        delete lock;
    }
}

void CCrashDump::Init(bool showErrors, const std::wstring& dumpFolder)
{
    wmemset(dumpFolder_, L'\0', MAX_PATH);
    if (!dumpFolder.empty()) {
        CopyPath(dumpFolder_, dumpFolder);
        if (!FolderExists(dumpFolder_))
            CreateDirectoryW(dumpFolder_, nullptr);
    }
    showErrors_ = showErrors;
    // Found now rather than in the crash, when less can be trusted.
    FindExecutable();
    // The lock exists before the writer becomes current, so the filter never
    // finds a writer without it.
    if (!g_dumpLock.load()) {
        auto* lock = new CRITICAL_SECTION;
        InitializeCriticalSection(lock);
        g_dumpLock.store(lock);
    }
    g_currentWriter.store(this);
    SetUnhandledExceptionFilter(ExceptionFilter);
}

void CCrashDump::Disable()
{
    g_currentWriter.store(nullptr);
}

LONG WINAPI CCrashDump::ExceptionFilter(EXCEPTION_POINTERS* pointers)
{
    CCrashDump* writer = g_currentWriter.load();
    if (!writer)
        return EXCEPTION_CONTINUE_SEARCH;
    return writer->WriteDump(pointers);
}

LONG CCrashDump::WriteDump(EXCEPTION_POINTERS* pointers)
{
    const DWORD self = GetCurrentThreadId();
    if (g_dumpThread.load() == self || g_waitingThread.load() == self) {
        TerminateProcess(GetCurrentProcess(), CrashExitCode(pointers));
        return EXCEPTION_EXECUTE_HANDLER;
    }
    pointers_ = pointers;
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, FALSE, &token)) {
        if (GetLastError() != ERROR_NO_TOKEN ||
            !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
            return EXCEPTION_CONTINUE_SEARCH;
    }

    // Held from before the file is named to the end of the process: a second
    // thread faulting within the same second would otherwise recreate, and so
    // empty, the dump being written or just written. It waits here until this
    // thread ends the process, so the lock is never left.
    if (CRITICAL_SECTION* lock = g_dumpLock.load())
        EnterCriticalSection(lock);
    g_waitingThread.store(self);

    // A stack overflow leaves this thread almost no stack, so the dump is
    // written on a fresh thread while this one waits; that thread ends the
    // process. Only when no thread can be made is the dump tried here. The
    // start neither allocates nor logs: a crash may have left the heap, or
    // the log's lock, held by a thread that now waits for this one.
    DumpRequest request = {this, token, pointers, self, {false}};
    const ScopedHandle thread = MakeNamedThread(L"crash dump", DumpThreadProc, &request);
    if (thread)
        WaitForHelper(thread.get(), request.started);
    else
        DumpThreadProc(&request);
    TerminateProcess(GetCurrentProcess(), CrashExitCode(pointers));
    return EXCEPTION_EXECUTE_HANDLER;
}

void CCrashDump::WaitForHelper(HANDLE thread, const std::atomic<bool>& started)
{
    // Polled rather than signalled: after a stack overflow this thread has
    // too little stack left for more than the plainest calls.
    const DWORD begin = GetTickCount();
    while (!started.load()) {
        if (WaitForSingleObject(thread, kStartPollMilliseconds) != WAIT_TIMEOUT)
            return;
        if (GetTickCount() - begin >= kHelperStartMilliseconds)
            return;
    }
    WaitForSingleObject(thread, kDumpWriteMilliseconds);
}

DWORD WINAPI CCrashDump::DumpThreadProc(void* parameter)
{
    auto* request = static_cast<DumpRequest*>(parameter);
    CCrashDump* writer = request->writer;
    g_dumpThread.store(GetCurrentThreadId());
    request->started.store(true);
    const std::wstring message = writer->WriteDumpFile(*request);
    if (!message.empty() && writer->showErrors_)
        MessageBoxW(nullptr, message.c_str(), nullptr, MB_OK);
    // The token is left open: the process ends here.
    TerminateProcess(GetCurrentProcess(), CrashExitCode(request->pointers));
    return 0;
}

void CCrashDump::FindExecutable()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    path[MAX_PATH - 1] = L'\0';
    const wchar_t* slash = wcsrchr(path, L'\\');
    const size_t folderLength = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    CopyPath(exeFolder_, std::wstring(path, folderLength));
    CopyPath(exeName_, std::wstring(path + folderLength));
}

std::wstring CCrashDump::WriteDumpFile(const DumpRequest& request)
{
    HMODULE dbghelp = LoadLibraryW((std::wstring(exeFolder_) + L"DBGHELP.DLL").c_str());
    if (!dbghelp)
        dbghelp = LoadLibraryW(L"DBGHELP.DLL");
    if (!dbghelp)
        return L"Call to LoadLibrary failed to find DBGHELP.DLL.";
    const auto writeDump =
        reinterpret_cast<MiniDumpWriteDumpFn>(reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (!writeDump)
        return L"Call to GetProcAddress failed to find MiniDumpWriteDump. The DBGHELP.DLL is possibly outdated.";

    const std::wstring path = MakeDumpFileName();
    CopyPath(dumpPath_, path);
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return FormatError(L"Failed to create the mini-dump file '%ls' (error %d)", path, GetLastError());

    TOKEN_PRIVILEGES previous = {};
    const bool privilegeEnabled = EnableDebugPrivilege(request.token, previous);
    // The pointers belong to this process, so they are not client pointers.
    MINIDUMP_EXCEPTION_INFORMATION exception = {request.faultingThread, request.pointers, FALSE};
    const BOOL written = writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal,
                                   request.pointers ? &exception : nullptr, nullptr, nullptr);
    const DWORD error = GetLastError();
    if (privilegeEnabled)
        AdjustTokenPrivileges(request.token, FALSE, &previous, sizeof previous, nullptr, nullptr);
    if (!written)
        return FormatError(L"Failed to save the mini-dump file to '%ls' (error %d)", path, error);
    return std::wstring();
}

std::wstring CCrashDump::MakeDumpFileName() const
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, sizeof stamp / sizeof stamp[0], L"%04u%02u%02u%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    if (dumpFolder_[0] && FolderExists(dumpFolder_))
        return std::wstring(dumpFolder_) + L"/" + stamp + L".dmp";
    return std::wstring(exeFolder_) + exeName_ + L"." + stamp + L".dmp";
}
