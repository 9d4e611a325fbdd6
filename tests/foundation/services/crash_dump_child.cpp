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

} // namespace

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

    if (mode == "overflow")
        return Recurse(0);
    *g_nowhere = 1;
    return 0;
}
