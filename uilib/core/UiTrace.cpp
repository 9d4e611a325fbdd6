#include "UiTrace.h"

#include "UiManager.h"

#include <shlwapi.h>
#include <stdarg.h>
#include "Win32Prelude.h"

namespace UiLib {

void UiTrace(const wchar_t* format, ...)
{
    // The formatted text, a line feed and the terminator.
    static wchar_t buffer[kUiTraceMaxText + 3];
    if (format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    // The limit counts the terminator, so the text keeps kUiTraceMaxText units.
    wvnsprintfW(buffer, kUiTraceMaxText + 1, format, args);
    va_end(args);
    buffer[kUiTraceMaxText] = L'\0';
    const int length = lstrlenW(buffer);
    buffer[length] = L'\n';
    buffer[length + 1] = L'\0';
    OutputDebugStringW(buffer);
    const UiTraceProc trace = CUiManager::GetTraceProc();
    if (trace != nullptr)
        trace(buffer);
}

}  // namespace UiLib
