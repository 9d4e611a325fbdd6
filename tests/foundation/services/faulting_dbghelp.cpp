// A dump library whose dump call faults, as one can when the crash being
// dumped has corrupted the heap; crash_dump_test puts it beside a copy of
// crash_dump_child as DBGHELP.DLL.
#include "Win32Prelude.h"

namespace {
volatile int* g_nowhere = nullptr;
}

extern "C" __declspec(dllexport) BOOL WINAPI MiniDumpWriteDump(HANDLE, DWORD, HANDLE, int, void*, void*, void*)
{
    *g_nowhere = 3;
    return FALSE;
}
