// The program entry: starts the process-wide services in a fixed order, runs
// the main window's message loop and takes the services down again.
#include "Win32Prelude.h"
#include <objbase.h>

#include <curl/curl.h>

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "CopyFailureBox.h"
#include "CrashDump.h"
#include "Logger.h"
#include "PubUtils.h"
#include "RtmpPlayer.h"
#include "StringUtils.h"
#include "UiManager.h"
#include "UpLoadLog.h"

namespace {

const wchar_t kInstanceName[] = L"Vantorin";
constexpr int kMainWidth = 860;
constexpr int kMainHeight = 600;
constexpr UINT kAppIconId = 101;

// Only the highest version offered is wanted; the networking itself runs
// through libcurl.
void StartWinsock(WSADATA& data)
{
    WSAStartup(0, &data);
    WSAStartup(data.wHighVersion, &data);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CCrashDump crashDump;
    if (!CheckSingleInstance(kInstanceName, kInstanceName))
        return 0;

    curl_global_init(CURL_GLOBAL_WIN32);
    // The diagnostics upload was decided before the entry, ahead of the log's
    // opening; its transfer waits for libcurl until here.
    SetHttpLibraryReady();

    const std::wstring dumpFolder = AnsiToWide(GetAppDataDir()) + L"/crashDumps";
    crashDump.Init(false, dumpFolder);
    UiLib::CUiManager::SetInstance(instance, UiLibExceptFunc);

    const HRESULT com = CoInitialize(nullptr);
    if (FAILED(com)) {
        g_logger.Write(3, "WinMain", "CoInitialize Failed! Return: %d", static_cast<int>(com));
        return 0;
    }

    WSADATA winsock = {};
    StartWinsock(winsock);
    SetCopyFailureNotice(&ShowCopyFailureNotice);

    {
        RtmpPlayer mainWindow;
        const HWND window = mainWindow.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, kMainWidth, kMainHeight);
        if (window != nullptr) {
            mainWindow.SetIconFromResource(kAppIconId);
            mainWindow.CenterOnOwner();
            g_logger.Write(1, "WinMain", "start app %s", kAppVersionText);
            UiLib::CUiManager::MessageLoop();
        } else {
            // Without a window nothing would ever post the quit message.
            g_logger.Write(3, "WinMain", "main window not created");
        }

        UiLib::CUiManager::CloseResourceZip();
        // libcurl's and Winsock's clean-up are left to the end of the
        // process: REST piece tasks are not waited for at closing, and the
        // update check and the diagnostics upload run on detached threads, so
        // a transfer may still be alive here, and cleaning up under it would
        // pull the library from beneath it.
        CoUninitialize();
    }
    return 0;
}
