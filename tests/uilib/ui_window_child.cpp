// Child of the window test, in one of three modes.
// "fail REPORT": builds a window whose skin does not exist, which ends the
// process with exit code 1 after an error box; a watcher thread saves the
// box's title and text to REPORT and closes the box, so nothing waits for a
// user. "zipres" and "xmlres": builds its window from the skin resources that
// the test wrote into a copy of this program; exit code 0 when the expected
// controls are there.
#include "UiManager.h"
#include "ui_window_test_support.h"

#include "Win32Prelude.h"
#include <shellapi.h>

#include <string>

namespace {

std::wstring g_reportPath;

void SaveReport(const std::wstring& text)
{
    if (g_reportPath.empty())
        return;
    HANDLE file = CreateFileW(g_reportPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

BOOL CALLBACK FindStaticText(HWND child, LPARAM lParam)
{
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0)
        return TRUE;
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    if (text[0] == L'\0')
        return TRUE;
    *reinterpret_cast<std::wstring*>(lParam) = text;
    return FALSE;
}

DWORD WINAPI WatchForErrorBox(void*)
{
    for (int i = 0; i < 200; ++i) {
        HWND box = FindWindowW(L"#32770", L"UiLib");
        if (box != nullptr) {
            std::wstring text;
            EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&text));
            SaveReport(L"UiLib|" + text);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(50);
    }
    return 0;
}

// The window of a resource skin: 0 when its tree holds the named controls.
int CheckResourceSkin(int source, const wchar_t* markup, const wchar_t* rootName, const wchar_t* inner)
{
    UiTest::SkinWindow window(source, L"", markup);
    if (window.Create(nullptr, L"res", WS_POPUP, 0, 0, 0, 10, 10) == nullptr)
        return 4;
    UiLib::CUiManager& manager = window.GetManager();
    const bool built = manager.GetRoot() != nullptr && manager.GetRoot()->GetName() == rootName &&
                       manager.FindControlByName(inner) != nullptr;
    DestroyWindow(window);
    return built ? 0 : 5;
}

int RunMissingSkin(const wchar_t* reportPath)
{
    g_reportPath = reportPath;
    UiTest::SkinWindow window(UiLib::SkinFromFolder, L"uilib_window_child.none", L"Missing.xml");
    window.Create(nullptr, L"fail", WS_POPUP, 0, 0, 0, 100, 100);
    // Only reached when the missing skin did not end the process.
    return 2;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2)
        return 3;
    const std::wstring mode = argv[1];
    const std::wstring report = argc > 2 ? argv[2] : L"";
    LocalFree(argv);
    UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    // A resource skin that fails to load shows the error box too.
    CloseHandle(CreateThread(nullptr, 0, WatchForErrorBox, nullptr, 0, nullptr));
    if (mode == L"fail")
        return RunMissingSkin(report.c_str());
    if (mode == L"zipres")
        return CheckResourceSkin(UiLib::SkinFromZipResource, L"Main.xml", L"fromzipres", L"zipped");
    if (mode == L"xmlres")
        return CheckResourceSkin(UiLib::SkinFromResource, L"7", L"fromxml", L"included");
    return 3;
}
