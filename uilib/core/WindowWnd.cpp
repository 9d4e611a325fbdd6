#include "WindowWnd.h"

#include "UiManager.h"

namespace UiLib {

namespace {

// The window property that carries the object of a superclassed window.
const wchar_t kObjectProperty[] = L"WndX";

}  // namespace

CWindowWnd::CWindowWnd() : window_(nullptr), previousProc_(DefWindowProcW), subclassed_(false)
{
}

CWindowWnd::~CWindowWnd() = default;

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu)
{
    const bool registered = GetSuperclassBaseName() != nullptr ? RegisterAsSuperclass() : RegisterWindowClass();
    if (!registered)
        return nullptr;
    // WM_NCCREATE stores the handle. It is not stored again here: a window
    // whose creation fails has already had OnWindowGone, which may have
    // deleted this object.
    return CreateWindowExW(exStyle, GetRegisteredClassName(), name, style, x, y, cx, cy, parent, menu,
                           CUiManager::GetInstance(), this);
}

HWND CWindowWnd::CreateInRect(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu)
{
    return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSW wc = {};
    wc.style = GetRegisteredClassStyle();
    wc.lpfnWndProc = CWindowWnd::WindowProc;
    wc.hInstance = CUiManager::GetInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetRegisteredClassName();
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterAsSuperclass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(nullptr, GetSuperclassBaseName(), &wc) &&
        !GetClassInfoExW(CUiManager::GetInstance(), GetSuperclassBaseName(), &wc))
        return false;
    previousProc_ = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::ControlWindowProc;
    wc.hInstance = CUiManager::GetInstance();
    wc.lpszClassName = GetRegisteredClassName();
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void CWindowWnd::Show(bool show, bool takeFocus)
{
    if (!IsWindow(window_))
        return;
    ShowWindow(window_, !show ? SW_HIDE : takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
    BringWindowToTop(window_);
}

void CWindowWnd::Close(UINT resultCode)
{
    if (IsWindow(window_))
        PostMessageW(window_, WM_CLOSE, resultCode, 0);
}

void CWindowWnd::CenterOnOwner()
{
    RECT rc = {};
    GetWindowRect(window_, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    const HWND owner = GetWindow(window_, GW_OWNER);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : window_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT area = monitor.rcWork;
    RECT centre = area;
    if (owner != nullptr)
        GetWindowRect(owner, &centre);
    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    if (x < area.left)
        x = area.left;
    else if (x + width > area.right)
        x = area.right - width;
    if (y < area.top)
        y = area.top;
    else if (y + height > area.bottom)
        y = area.bottom - height;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageW(window_, message, wParam, lParam);
}

LRESULT CWindowWnd::PostWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageW(window_, message, wParam, lParam);
}

void CWindowWnd::SetIconFromResource(UINT resourceId)
{
    const HINSTANCE instance = CUiManager::GetInstance();
    // The window keeps using the icons, so they stay loaded.
    const HANDLE largeIcon = LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                        GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR);
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
    const HANDLE smallIcon = LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

void CWindowWnd::RestoreWindowProc()
{
    if (!IsWindow(window_) || !subclassed_)
        return;
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    previousProc_ = DefWindowProcW;
    subclassed_ = false;
}

const wchar_t* CWindowWnd::GetSuperclassBaseName() const
{
    return nullptr;
}

UINT CWindowWnd::GetRegisteredClassStyle() const
{
    return 0;
}

LRESULT CWindowWnd::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(previousProc_, window_, message, wParam, lParam);
}

void CWindowWnd::OnWindowGone(HWND)
{
}

LRESULT CWindowWnd::FinishNcDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool superclassed)
{
    const LRESULT result = CallWindowProcW(previousProc_, window, message, wParam, lParam);
    if (superclassed) {
        RestoreWindowProc();
        // A property left on a window outlives it in the atom table.
        RemovePropW(window, kObjectProperty);
    } else {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        RestoreWindowProc();
    }
    window_ = nullptr;
    // The last use of the object: a derived window may delete itself here.
    OnWindowGone(window);
    return result;
}

LRESULT CWindowWnd::RouteWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool superclassed)
{
    CWindowWnd* self = nullptr;
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        self->window_ = window;
        if (superclassed)
            SetPropW(window, kObjectProperty, self);
        else
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = superclassed ? static_cast<CWindowWnd*>(GetPropW(window, kObjectProperty))
                            : reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY && self != nullptr)
            return self->FinishNcDestroy(window, message, wParam, lParam, superclassed);
    }
    if (self != nullptr)
        return self->ProcessMessage(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RouteWindowMessage(window, message, wParam, lParam, false);
}

LRESULT CALLBACK CWindowWnd::ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RouteWindowMessage(window, message, wParam, lParam, true);
}

}  // namespace UiLib
