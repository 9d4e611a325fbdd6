// Plays the second start of the program for the single-instance tests:
//   single_instance_probe.exe MUTEX_NAME WINDOW_CLASS
// exits with 0 when an earlier instance holds the mutex (as the program does)
// and with 2 when it would have run as the first instance.
#include "PubUtils.h"

#include "Win32Prelude.h"
#include <shellapi.h>

int main()
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count != 3)
        return 1;
    const bool first = CheckSingleInstance(args[1], args[2]);
    LocalFree(args);
    return first ? 2 : 0;
}
