#include "PubUtils.h"

#include "AppPaths.h"
#include "Logger.h"
#include "ServerLog.h"
#include "StringUtils.h"

#include "Win32Prelude.h"
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

// ShellExecute reports success as a value above 32.
bool ShellSucceeded(INT_PTR result)
{
    return result > 32;
}

INT_PTR SystemShellOpen(const wchar_t* file, const wchar_t* parameters)
{
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file, parameters, nullptr, SW_SHOWNORMAL));
}

}  // namespace

bool CheckSingleInstance(const wchar_t* mutexName, const wchar_t* windowClass)
{
    ScopedHandle mutex(CreateMutexW(nullptr, TRUE, mutexName));
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        // Held until the process ends; the system releases it then.
        mutex.release();
        return true;
    }
    if (HWND window = FindWindowW(windowClass, nullptr)) {
        if (IsIconic(window))
            PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        SetForegroundWindow(window);
    }
    return false;
}

ScopedHandle ShellOpen(const std::wstring& file, const std::wstring& parameters, bool show)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // No system error box: the tools run from worker threads, and the caller
    // reports a failed start itself.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = show ? SW_SHOWMAXIMIZED : SW_HIDE;
    if (!ShellExecuteExW(&info))
        return ScopedHandle();
    return ScopedHandle(info.hProcess);
}

ScopedHandle StartFfmpeg(const std::wstring& parameters, bool show)
{
    return ShellOpen(AnsiToWide(GetExeDir()) + L"\\ffmpeg.exe", parameters, show);
}

int WorkerCountFor(int processors)
{
    const int count = (processors <= 1 ? 4 : processors) - 1;
    return count < 2 ? 2 : count;
}

int GetWorkerCount()
{
    static int cached = 0;
    if (cached == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        cached = WorkerCountFor(static_cast<int>(info.dwNumberOfProcessors));
    }
    return cached;
}

namespace PubUtils {

void StartUpdateExe()
{
    g_logger.Write(1, "PubUtils::StartUpdateExe", "start update app");
    const std::wstring folder = AnsiToWide(GetExeDir());
    const std::wstring original = folder + L"\\AutoUpdate.exe";
    const std::wstring copy = folder + L"\\AutoUpdateTmp.exe";
    // The updater replaces AutoUpdate.exe itself, so it runs from a copy when
    // one can be made (a running updater keeps the copy locked).
    const std::wstring updater = CopyFileW(original.c_str(), copy.c_str(), FALSE) ? copy : original;

    // The program is named separately and quoted in the command line, so a
    // folder with blanks cannot resolve to another program.
    std::wstring commandLine = L"\"" + updater + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(updater.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                       &startup, &process)) {
        ScopedHandle processHandle(process.hProcess);
        ScopedHandle threadHandle(process.hThread);
    }
}

std::string ShellStartCommand(const std::wstring& url)
{
    // Inside double quotes the command shell takes "&", "|", "<", ">" and "^"
    // literally; a quote or a line break in the address could end that, and
    // so could a "%" (the shell expands %NAME% even inside quotes, and a
    // value such as its own command line brings quotes of its own), so such
    // an address is refused. The empty title keeps start from taking the
    // quoted address as a window title.
    for (wchar_t c : url) {
        if (c == L'"' || c == L'%' || c < L' ')
            return std::string();
    }
    return "start \"\" \"" + WideToAnsi(url) + "\"";
}

bool OpenUrl(const std::wstring& url)
{
    return OpenUrlWith(url, &SystemShellOpen);
}

bool OpenUrlWith(const std::wstring& url, ShellOpenCall open)
{
    const INT_PTR first = open(url.c_str(), nullptr);
    if (ShellSucceeded(first))
        return true;
    const INT_PTR second = open(L"iexplore.exe", url.c_str());
    if (ShellSucceeded(second))
        return true;

    const std::string text = "open url error " + std::to_string(first) + "," + std::to_string(second);
    g_logger.Write(2, "PubUtils::OpenUrl", "%s", text.c_str());
    SendServerLog(text, true);
    const std::string command = ShellStartCommand(url);
    if (!command.empty())
        std::system(command.c_str());
    return false;
}

}  // namespace PubUtils
