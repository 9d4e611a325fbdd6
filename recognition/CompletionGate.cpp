#include "CompletionGate.h"

#include "CData.h"

#include "Win32Prelude.h"

#include <atomic>

namespace {

// Process-wide: a callback may belong to a manager that is already gone, so
// nothing of the manager may be touched before the flag has been read.
std::atomic<int> g_inside{0};

}  // namespace

CompletionPass::CompletionPass()
{
    // Counted before the flag is read: a manager that set the flag and then
    // finds the count at 0 knows that every later callback sees the flag.
    g_inside.fetch_add(1);
    open_ = !CData::GetInstance()->IsExiting();
    if (!open_)
        g_inside.fetch_sub(1);
}

CompletionPass::~CompletionPass()
{
    if (open_)
        g_inside.fetch_sub(1);
}

void WaitForCompletionsInside()
{
    // Callbacks inside take a lock and post a message: they never wait for
    // the thread that waits here.
    while (g_inside.load() != 0)
        Sleep(1);
}
