#pragma once
// A real top-level window whose procedure hands every message to its manager,
// for the controls that put native child windows over themselves: it lays
// out and paints its tree, runs the posted messages, clicks controls and
// records the notifications.
#include "ControlUI.h"
#include "UiManager.h"

#include "Win32Prelude.h"

#include <string>
#include <vector>

namespace UiTest {

struct Noted {
    std::wstring type;
    UiLib::CControlUI* sender;
};

class NativeChildHost : public UiLib::INotifyUI {
public:
    NativeChildHost()
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiNativeChildHost";
        wc.style = CS_DBLCLKS;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, 40, 40, 360, 220, nullptr, nullptr,
                               wc.hInstance, nullptr);
        manager = new UiLib::CUiManager;
        manager->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
        manager->AddNotifier(this);
    }
    ~NativeChildHost()
    {
        // The manager goes first, so that the controls close their native
        // windows while the parent still exists; the parent no longer hands
        // messages to the manager being deleted.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete manager;
        DestroyWindow(hwnd);
        Pump();
    }
    NativeChildHost(const NativeChildHost&) = delete;
    NativeChildHost& operator=(const NativeChildHost&) = delete;

    void Notify(UiLib::UiNotify& notify) override { notes.push_back(Noted{notify.type.GetData(), notify.sender}); }

    bool Show(UiLib::CControlUI* root)
    {
        if (!manager->SetRoot(root))
            return false;
        // Never taken to the foreground: test programs beside this one
        // would lose their focus to it.
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        Paint();
        return true;
    }
    void Paint() { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    // Runs what was posted: the native windows close themselves that way.
    static void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // Runs only what was posted to one window, so that nothing else (a paint
    // that moves the focus, say) happens meanwhile.
    static void PumpWindow(HWND window)
    {
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    static POINT Middle(const UiLib::CControlUI* control)
    {
        const RECT& rc = control->GetBounds();
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    void PressAt(POINT pt, UINT message = WM_LBUTTONDOWN)
    {
        SendMessageW(hwnd, message, message == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        if (message == WM_LBUTTONDOWN)
            SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }
    void Click(const UiLib::CControlUI* control) { PressAt(Middle(control)); }
    // A child window's rectangle in the host's client coordinates.
    RECT ChildRect(HWND child) const
    {
        RECT rc = {};
        GetWindowRect(child, &rc);
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    int Count(const wchar_t* type, const UiLib::CControlUI* sender) const
    {
        int count = 0;
        for (const Noted& note : notes) {
            if (note.type == type && note.sender == sender)
                ++count;
        }
        return count;
    }
    int FontHeight(int index) { return manager->GetFontInfo(index)->metrics.tmHeight; }

    HWND hwnd = nullptr;
    UiLib::CUiManager* manager = nullptr;
    std::vector<Noted> notes;

private:
    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* manager = reinterpret_cast<UiLib::CUiManager*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        LRESULT result = 0;
        if (manager != nullptr && manager->HandleMessage(message, wParam, lParam, result))
            return result;
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

}  // namespace UiTest
