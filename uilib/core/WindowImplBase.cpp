#include "WindowImplBase.h"

#include "ControlUI.h"
#include "UiTrace.h"
#include "ScopedHandle.h"

#include <new>
#include <string.h>

namespace UiLib {

namespace {

// The resource id of the skin zip that every window of the program uses.
const WORD kSkinZipResourceId = 100;
const wchar_t kSkinZipResourceType[] = L"ZIPRES";

// Controls in the caption band that take the mouse themselves.
const wchar_t* const kClickableTypes[] = {L"ButtonUI", L"OptionUI", L"TextUI"};

// The skin zip copied out of the resources. The manager reads it for as long
// as the program runs, so the copy is never freed; a second window with the
// same resource shares it.
struct SkinZipCopy {
    HRSRC resource;
    BYTE* bytes;
    DWORD size;
};
SkinZipCopy g_skinZip = {nullptr, nullptr, 0};

bool CopySkinZipResource(const wchar_t* resourceId)
{
    const HINSTANCE instance = CUiManager::GetResourceInstance();
    const HRSRC resource = FindResourceW(instance, resourceId, kSkinZipResourceType);
    if (resource == nullptr)
        return false;
    if (resource == g_skinZip.resource)
        return true;
    const HGLOBAL loaded = LoadResource(instance, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instance, resource);
    if (data == nullptr || size == 0)
        return false;
    BYTE* bytes = new (std::nothrow) BYTE[size];
    if (bytes == nullptr)
        return false;
    memcpy(bytes, data, size);
    g_skinZip = {resource, bytes, size};
    return true;
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT work = monitor.rcWork;
    OffsetRect(&work, -monitor.rcMonitor.left, -monitor.rcMonitor.top);
    return work;
}

// The signed screen point of a mouse message's lParam.
POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

bool IsClickableType(const wchar_t* type)
{
    for (const wchar_t* clickable : kClickableTypes) {
        if (type != nullptr && lstrcmpiW(type, clickable) == 0)
            return true;
    }
    return false;
}

}  // namespace

const UiNotifyMapEntry WindowImplBase::kNotifyEntries[] = {
    UiNotifyEntry(L"click", L"", &WindowImplBase::ClickThunk),
    UiNotifyMapEndEntry(),
};

const UiNotifyMap WindowImplBase::kNotifyMap = {&CNotifyPump::GetThisNotifyMap, WindowImplBase::kNotifyEntries};

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() = default;

const UiNotifyMap* WindowImplBase::GetThisNotifyMap()
{
    return &kNotifyMap;
}

const UiNotifyMap* WindowImplBase::GetNotifyMap() const
{
    return &kNotifyMap;
}

void WindowImplBase::ClickThunk(UiNotify& notify)
{
    OnClick(notify);
}

const wchar_t* WindowImplBase::GetSuperclassBaseName() const
{
    return nullptr;
}

UINT WindowImplBase::GetRegisteredClassStyle() const
{
    return CS_DBLCLKS;
}

void WindowImplBase::OnSkinLoaded()
{
}

void WindowImplBase::OnClick(UiNotify&)
{
}

CUiString WindowImplBase::GetSkinDirectory()
{
    return CUiString(L"..\\DlgRes");
}

int WindowImplBase::GetSkinSource()
{
    return SkinFromZipResource;
}

CUiString WindowImplBase::GetSkinZipName()
{
    return CUiString(L"DlgRes.zip");
}

const wchar_t* WindowImplBase::GetSkinResourceId()
{
    return MAKEINTRESOURCEW(kSkinZipResourceId);
}

DWORD WindowImplBase::GetWindowStyle() const
{
    return static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)) & ~static_cast<DWORD>(WS_CAPTION);
}

void WindowImplBase::Notify(UiNotify& notify)
{
    DispatchNotify(notify);
}

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool&)
{
    return 0;
}

CControlUI* WindowImplBase::CreateCustomControl(const wchar_t*)
{
    return nullptr;
}

LRESULT WindowImplBase::DefaultHandler(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

LRESULT WindowImplBase::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    bool handled = true;
    LRESULT result = RouteMessage(message, wParam, lParam, handled);
    if (handled)
        return result;
    handled = false;
    result = HandleOtherMessage(message, wParam, lParam, handled);
    if (handled)
        return result;
    if (manager_.HandleMessage(message, wParam, lParam, result))
        return result;
    return CWindowWnd::ProcessMessage(message, wParam, lParam);
}

LRESULT WindowImplBase::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    // clang-format off
    switch (message) {
    case WM_CREATE: return OnCreate(message, wParam, lParam, handled);
    case WM_DESTROY: return OnDestroy(message, wParam, lParam, handled);
    case WM_SIZE: return OnSize(message, wParam, lParam, handled);
    case WM_SETFOCUS: return OnSetFocus(message, wParam, lParam, handled);
    case WM_KILLFOCUS: return OnKillFocus(message, wParam, lParam, handled);
    case WM_CLOSE: return OnClose(message, wParam, lParam, handled);
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(message, wParam, lParam, handled);
    case WM_NCCALCSIZE: return OnNcCalcSize(message, wParam, lParam, handled);
    case WM_NCHITTEST: return OnNcHitTest(message, wParam, lParam, handled);
    case WM_NCPAINT: return OnNcPaint(message, wParam, lParam, handled);
    case WM_NCACTIVATE: return OnNcActivate(message, wParam, lParam, handled);
    case WM_KEYDOWN: return OnKeyDown(message, wParam, lParam, handled);
    case WM_CHAR: return OnChar(message, wParam, lParam, handled);
    case WM_SYSCOMMAND: return OnSysCommand(message, wParam, lParam, handled);
    case WM_MOUSEMOVE: return OnMouseMove(message, wParam, lParam, handled);
    case WM_LBUTTONDOWN: return OnLButtonDown(message, wParam, lParam, handled);
    case WM_LBUTTONUP: return OnLButtonUp(message, wParam, lParam, handled);
    case WM_MOUSEWHEEL: return OnMouseWheel(message, wParam, lParam, handled);
    case WM_MOUSEHOVER: return OnMouseHover(message, wParam, lParam, handled);
    default: handled = false; return 0;
    }
    // clang-format on
}

LRESULT WindowImplBase::OnClose(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (IsIconic(window_))
        handled = false;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM lParam, bool&)
{
    // Unmaximised, the whole window is client area; maximised, it fills the
    // work area instead of covering the task bar.
    if (!IsZoomed(window_))
        return 0;
    RECT* proposed = reinterpret_cast<RECT*>(lParam);
    const RECT work = WorkAreaOf(window_);
    proposed->right = proposed->left + (work.right - work.left);
    proposed->bottom = proposed->top + (work.bottom - work.top);
    return WVR_REDRAW;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&)
{
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&)
{
    POINT pt = PointOf(lParam);
    ScreenToClient(window_, &pt);
    RECT client = {};
    GetClientRect(window_, &client);
    if (!IsZoomed(window_)) {
        const RECT& box = manager_.GetSizeBox();
        const bool left = pt.x < client.left + box.left;
        const bool right = pt.x > client.right - box.right;
        if (pt.y < client.top + box.top)
            return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        if (pt.y > client.bottom - box.bottom)
            return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
    }
    const RECT& caption = manager_.GetCaptionRect();
    if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom && manager_.GetRoot() != nullptr) {
        const CControlUI* control = manager_.FindControlAt(pt);
        if (control != nullptr && !IsClickableType(control->GetTypeName()))
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    const RECT work = WorkAreaOf(window_);
    info->ptMaxPosition.x = work.left;
    info->ptMaxPosition.y = work.top;
    info->ptMaxSize.x = work.right - work.left;
    info->ptMaxSize.y = work.bottom - work.top;
    const SIZE minimum = manager_.GetMinInfo();
    info->ptMinTrackSize.x = minimum.cx;
    info->ptMinTrackSize.y = minimum.cy;
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& handled)
{
    const SIZE corner = manager_.GetRoundCorner();
    if (!IsIconic(window_) && (corner.cx != 0 || corner.cy != 0)) {
        RECT rc = {};
        GetWindowRect(window_, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
        ScopedGdiObject region(CreateRoundRectRgn(0, 0, rc.right + 1, rc.bottom + 1, corner.cx, corner.cy));
        // Once set, the region belongs to the system and must not be deleted.
        if (region && SetWindowRgn(window_, static_cast<HRGN>(region.get()), TRUE) != 0)
            region.release();
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnChar(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool&)
{
    if (wParam == SC_CLOSE) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
        return 0;
    }
    return CWindowWnd::ProcessMessage(message, wParam, lParam);
}

LRESULT WindowImplBase::OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnSetFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    return DefaultHandler(message, wParam, lParam, handled);
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&)
{
    SetWindowLongPtrW(window_, GWL_STYLE, GetWindowStyle() | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    RECT client = {};
    GetClientRect(window_, &client);
    // The frame is gone: the window becomes its client rect. Its creator
    // places it afterwards (centred, as every window of the program is).
    SetWindowPos(window_, nullptr, client.left, client.top, client.right - client.left, client.bottom - client.top,
                 SWP_FRAMECHANGED);

    manager_.AttachWindow(window_);
    manager_.AddPreMessageFilter(this);

    CDialogBuilder builder;
    CUiManager::SetResourcePath((CUiManager::GetInstanceFolder() + GetSkinDirectory()).GetData());
    if (!OpenSkinSource())
        return 0;

    const CUiString markupName = GetSkinMarkupName();
    CControlUI* root = nullptr;
    if (GetSkinSource() == SkinFromResource) {
        const WORD id = static_cast<WORD>(wcstol(markupName.GetData(), nullptr, 10));
        root = builder.Build(MAKEINTRESOURCEW(id), L"xml", this, &manager_);
    } else {
        root = builder.Build(markupName.GetData(), nullptr, this, &manager_);
    }
    if (root == nullptr)
        FailSkinLoading();
    manager_.SetRoot(root);
    manager_.AddNotifier(this);
    manager_.SetBackgroundTransparent(true);
    OnSkinLoaded();
    return 0;
}

bool WindowImplBase::OpenSkinSource()
{
    switch (GetSkinSource()) {
    case SkinFromZipFile:
        CUiManager::SetResourceZip(GetSkinZipName().GetData(), true);
        return true;
    case SkinFromZipResource:
        if (!CopySkinZipResource(GetSkinResourceId()))
            return false;
        CUiManager::SetResourceZipMemory(g_skinZip.bytes, g_skinZip.size);
        return true;
    default:
        // The zip settings are the process's: another window may still read
        // its skin from the zip that is set.
        return true;
    }
}

void WindowImplBase::FailSkinLoading()
{
    const CUiString text = CUiString(L"加载资源文件失败:") + GetSkinMarkupName();
    UiTrace(L"%s", text.GetData());
    MessageBoxW(nullptr, text.GetData(), L"UiLib", MB_ICONERROR);
    ExitProcess(1);
}

void WindowImplBase::OnWindowGone(HWND)
{
    manager_.RemovePreMessageFilter(this);
    manager_.RemoveNotifier(this);
    if (manager_.GetRoot() != nullptr)
        manager_.ForgetControl(manager_.GetRoot());
    // The object may outlive its window and show another one.
    manager_.DetachWindow();
}

}  // namespace UiLib
