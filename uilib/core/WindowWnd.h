#pragma once
// A thin owner of one Win32 window and its window procedure. The object is
// reached from the window through GWLP_USERDATA (registered classes) or the
// window property "WndX" (superclassed system classes).
#include "Win32Prelude.h"

namespace UiLib {

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHwnd() const { return window_; }
    operator HWND() const { return window_; }

    HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                HMENU menu = nullptr);
    HWND CreateInRect(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc,
                      HMENU menu = nullptr);
    bool RegisterWindowClass();
    bool RegisterAsSuperclass();
    void Show(bool show = true, bool takeFocus = true);
    void Close(UINT resultCode = IDOK);
    void CenterOnOwner();
    LRESULT SendWindowMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostWindowMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SetIconFromResource(UINT resourceId);
    void RestoreWindowProc();

    virtual const wchar_t* GetRegisteredClassName() const = 0;
    virtual const wchar_t* GetSuperclassBaseName() const;
    virtual UINT GetRegisteredClassStyle() const;
    virtual LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnWindowGone(HWND window);

protected:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_;
    WNDPROC previousProc_;
    bool subclassed_;

private:
    static LRESULT RouteWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool superclassed);
    LRESULT FinishNcDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool superclassed);
};

}  // namespace UiLib
