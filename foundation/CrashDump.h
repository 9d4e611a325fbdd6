#pragma once
// Writes a minidump of the process when an exception reaches no handler, then
// ends the process with the exception's code. The program entry keeps one
// writer for the whole run and switches it off before the orderly exit.
#include "Win32Prelude.h"

#include <atomic>
#include <string>

class CCrashDump {
public:
    CCrashDump() = default;
    // Switches the writer off if it is still the current one, then frees the
    // dump lock: a fault during the process's final clean-up is left to the
    // system instead of finding a lock that is gone.
    ~CCrashDump();
    CCrashDump(const CCrashDump&) = delete;
    CCrashDump& operator=(const CCrashDump&) = delete;

    // dumpFolder may be empty (dumps then go beside the executable); a given
    // folder is created when missing (one level).
    void Init(bool showErrors, const std::wstring& dumpFolder);
    // No writer from now on: a later fault goes to the system's own handling.
    static void Disable();

    static LONG WINAPI ExceptionFilter(EXCEPTION_POINTERS* pointers);
    // Does not return once the token is open: the process ends here.
    LONG WriteDump(EXCEPTION_POINTERS* pointers);
    // The dump folder + "/" + stamp + ".dmp" when that folder exists, else
    // the executable's path + "." + stamp + ".dmp"; the stamp is the local
    // time as "%Y%m%d%H%M%S".
    std::wstring MakeDumpFileName() const;

private:
    struct DumpRequest;
    static DWORD WINAPI DumpThreadProc(void* request);
    // Waits, within bounds, for the helper to start and then to end the
    // process; returns when it did neither in time.
    static void WaitForHelper(HANDLE thread, const std::atomic<bool>& started);
    // Loads dbghelp, writes the dump file; returns the text to show on failure.
    std::wstring WriteDumpFile(const DumpRequest& request);
    void FindExecutable();

    EXCEPTION_POINTERS* pointers_ = nullptr;
    wchar_t dumpFolder_[MAX_PATH] = {};
    wchar_t dumpPath_[MAX_PATH] = {};
    wchar_t exeFolder_[MAX_PATH] = {};
    wchar_t exeName_[MAX_PATH] = {};
    bool showErrors_ = false;
};
