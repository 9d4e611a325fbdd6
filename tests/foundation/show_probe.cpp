// Started by the external-tool tests in place of a tool:
//   show_probe.exe OUTPUT_FILE
// writes how it was asked to show its window ("flags=F show=S", from its
// start-up information) into OUTPUT_FILE and exits.
#include "Win32Prelude.h"
#include <shellapi.h>

#include <cstdio>

int main()
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count != 2)
        return 1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    FILE* out = _wfopen(args[1], L"wb");
    LocalFree(args);
    if (!out)
        return 2;
    std::fprintf(out, "flags=%lu show=%u", static_cast<unsigned long>(startup.dwFlags & STARTF_USESHOWWINDOW),
                 static_cast<unsigned>(startup.wShowWindow));
    std::fclose(out);
    return 0;
}
