// A dump library that takes its time: it writes the signature and the call's
// number, waits, then writes the rest, without stopping the process's other
// threads as the real one does. crash_dump_test puts it beside a copy of
// crash_dump_child as DBGHELP.DLL, so a second fault has time to touch the
// dump being written.
#include "Win32Prelude.h"

namespace {

constexpr DWORD kPauseMilliseconds = 2000;

bool WriteText(HANDLE file, const char* text, DWORD length)
{
    DWORD written = 0;
    return WriteFile(file, text, length, &written, nullptr) && written == length;
}

}  // namespace

// Each call numbers its head, so a second dump written into the same file
// shows even where it writes the same bytes over the first one's head.
extern "C" __declspec(dllexport) BOOL WINAPI MiniDumpWriteDump(HANDLE, DWORD, HANDLE file, int, void*, void*, void*)
{
    static LONG calls = 0;
    const char head[] = {'M', 'D', 'M', 'P', ' ', static_cast<char>('0' + InterlockedIncrement(&calls) % 10)};
    static const char kRest[] = " slow dump, written whole";
    if (!WriteText(file, head, sizeof head))
        return FALSE;
    Sleep(kPauseMilliseconds);
    return WriteText(file, kRest, sizeof kRest - 1);
}
