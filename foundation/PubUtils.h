#pragma once
// Processes and system utilities: the single-instance check, external tools,
// the updater, web addresses and the worker count.
#include "ScopedHandle.h"

#include <string>

// False when another instance holds the named mutex: that instance's window of
// the given class is restored and raised, and the caller should exit with 0.
bool CheckSingleInstance(const wchar_t* mutexName, const wchar_t* windowClass);

// Start ffmpeg.exe beside the program (or any file) with a parameter line;
// shown maximised when show is set, else hidden. An invalid handle means the
// start failed.
ScopedHandle StartFfmpeg(const std::wstring& parameters, bool show);
ScopedHandle ShellOpen(const std::wstring& file, const std::wstring& parameters, bool show);

// The largest number of preparation tasks that may run at once (cached).
int GetWorkerCount();
// The rule behind GetWorkerCount for a given processor count.
int WorkerCountFor(int processors);

namespace PubUtils {
// Starts a copy of AutoUpdate.exe ("AutoUpdateTmp.exe"), or the original when
// the copy fails.
void StartUpdateExe();
// Opens a web address in the user's browser; false (logged and reported to
// the service) when every way failed.
bool OpenUrl(const std::wstring& url);
// The shell's "open" of a file with its parameters (null for none), as
// ShellExecuteW reports it: above 32 is success.
using ShellOpenCall = INT_PTR (*)(const wchar_t* file, const wchar_t* parameters);
// OpenUrl with the shell's "open" given; OpenUrl passes the system's. A test
// passes one that fails, since a shell always finds some browser.
bool OpenUrlWith(const std::wstring& url, ShellOpenCall open);
// The command-shell line of OpenUrl's last resort ("start" with the address
// quoted), or empty for an address that cannot be quoted safely.
std::string ShellStartCommand(const std::wstring& url);
}  // namespace PubUtils
