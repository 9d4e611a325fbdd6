#pragma once
// Helpers for tests that show the program's skinned windows: the skins come
// from the source tree instead of the program's resource zip, and the test's
// own thread pumps the messages.
#include "UiManager.h"

#include <windows.h>

#include <string>

namespace AppTest {

// The source tree's DlgRes as a path relative to the test's folder (the
// window base puts the instance folder in front), reached through the drive
// root, since the source tree sits on the same drive as the build.
inline UiLib::CUiString SourceSkinFolderFromInstance()
{
    std::wstring source;
    for (const char* p = __FILE__; *p != '\0'; ++p)
        source += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    source = source.substr(0, source.rfind(L"\\tests\\app\\")) + L"\\DlgRes";
    const std::wstring instance = UiLib::CUiManager::GetInstanceFolder().GetData();
    std::wstring relative;
    for (size_t i = instance.find(L'\\'); i + 1 < instance.size(); i = instance.find(L'\\', i + 1))
        relative += L"..\\";
    return UiLib::CUiString((relative + source.substr(1)).c_str());
}

inline void Pump(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// Pumps until done() or the time is up; the last answer of done().
template <class Done>
bool PumpUntil(Done done, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < milliseconds)
        Pump(10);
    return done();
}

// A press and release in the middle of a control, as the mouse makes them.
inline void ClickControl(UiLib::CUiManager& manager, HWND window, const wchar_t* name)
{
    UiLib::CControlUI* control = manager.FindControlByName(name);
    if (control == nullptr)
        return;
    const RECT& rc = control->GetBounds();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(window, WM_MOUSEMOVE, 0, at);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window, WM_LBUTTONUP, 0, at);
}

}  // namespace AppTest
