#pragma once
// A real top-level window whose manager holds a row of controls that a test
// adds, driven by the mouse and key messages a user's input makes, and a
// record of the notifications the controls send.
#include "HorizontalLayoutUI.h"
#include "UiManager.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace UiTest {

// A solid 4x4 image file to write for a test.
struct SolidImage {
    const wchar_t* name;
    uint32_t color;  // 0xAARRGGBB
};

struct NotifySeen {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
};

class NotifyRecorder : public UiLib::INotifyUI {
public:
    // Focus changes are left out: every press moves the focus.
    void Notify(UiLib::UiNotify& notify) override
    {
        if (notify.type == L"setfocus" || notify.type == L"killfocus")
            return;
        seen.push_back(NotifySeen{notify.type.GetData(),
                                  notify.sender != nullptr ? notify.sender->GetName().GetData() : L"", notify.wParam});
    }
    // "type:sender" of every notification, in order.
    std::vector<std::wstring> Summary() const
    {
        std::vector<std::wstring> lines;
        for (const NotifySeen& one : seen)
            lines.push_back(one.type + L":" + one.sender);
        return lines;
    }

    std::vector<NotifySeen> seen;
};

// The drawn pixel in area farthest from white (0x00RRGGBB): the colour a text
// was drawn in, whatever the smoothing of its edges.
inline DWORD StrongestInk(const Canvas& canvas, const RECT& area)
{
    DWORD strongest = 0xFFFFFF;
    int best = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const DWORD c = canvas.At(x, y);
            const int distance = 765 - static_cast<int>(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF));
            if (distance > best) {
                best = distance;
                strongest = c;
            }
        }
    }
    return strongest;
}

inline LRESULT CALLBACK RowWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* manager = reinterpret_cast<UiLib::CUiManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class RowWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = RowWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiControlsRowWindow";
        wc.style = CS_DBLCLKS;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"test", WS_OVERLAPPEDWINDOW, 40, 40, 360, 120, nullptr, nullptr,
                               wc.hInstance, nullptr);
        ASSERT_NE(nullptr, hwnd);
        manager = new UiLib::CUiManager;
        manager->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
        row = new UiLib::CHorizontalLayoutUI;
        manager->AddNotifier(&recorder);
    }
    void TearDown() override
    {
        UiLib::CUiManager::SetResourcePath(L"");
        if (hwnd == nullptr)
            return;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (manager->GetRoot() == nullptr)
            delete row;
        delete manager;
        DestroyWindow(hwnd);
    }

    // Puts the controls added to the row into the window and paints it once,
    // which lays them out.
    void Show()
    {
        ASSERT_TRUE(manager->SetRoot(row));
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        Paint();
        // The first paint gives the first tab stop the focus; tests start
        // from no focus.
        manager->SetFocus(nullptr);
        recorder.seen.clear();
    }
    void Paint() { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(hwnd, message, wParam, lParam);
    }
    static LPARAM At(POINT pt) { return MAKELPARAM(pt.x, pt.y); }
    static POINT Middle(UiLib::CControlUI* control)
    {
        const RECT& rc = control->GetBounds();
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    // Writes the images into a folder of the test's own and reads images
    // from there.
    void UseImages(const wchar_t* folderName, std::initializer_list<SolidImage> images)
    {
        const std::wstring folder = WorkFolder(folderName);
        UiLib::CUiManager::SetResourceZip(L"");
        UiLib::CUiManager::SetResourcePath(folder.c_str());
        for (const SolidImage& image : images)
            ASSERT_TRUE(testfiles::WriteBytes(folder + image.name, SolidPng(4, 4, image.color)));
    }
    // Paints the control alone on a white canvas.
    void PaintAlone(UiLib::CControlUI* control)
    {
        canvas.Fill(0xFFFFFF);
        const RECT all = {0, 0, kCanvasWidth, kCanvasHeight};
        control->Paint(canvas.dc(), all);
    }
    // A point above the middle, clear of a short text, and the top left
    // corner where tests place a fore image.
    DWORD CentreOf(UiLib::CControlUI* control) const
    {
        const POINT pt = Middle(control);
        return canvas.At(pt.x, pt.y - 6);
    }
    DWORD CornerOf(UiLib::CControlUI* control) const
    {
        const RECT& rc = control->GetBounds();
        return canvas.At(rc.left + 1, rc.top + 1);
    }
    void Click(UiLib::CControlUI* control)
    {
        const LPARAM at = At(Middle(control));
        Send(WM_MOUSEMOVE, 0, at);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(WM_LBUTTONUP, 0, at);
    }

    HWND hwnd = nullptr;
    UiLib::CUiManager* manager = nullptr;
    UiLib::CHorizontalLayoutUI* row = nullptr;
    NotifyRecorder recorder;
    static const int kCanvasWidth = 400;
    static const int kCanvasHeight = 200;
    Canvas canvas{kCanvasWidth, kCanvasHeight};
};

}  // namespace UiTest
