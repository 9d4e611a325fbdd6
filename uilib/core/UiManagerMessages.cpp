// The manager's handling of window messages: painting through the off-screen
// buffer with layout at paint time, mouse and keyboard input turned into
// UiEvent records for the right control, timers, tooltips, queued
// notifications, deferred deletion and the reflection of child-window
// notifications.
//
// A handler of one event may delete controls. Every control that is still
// needed after an event is therefore read back from the manager's own
// targets (hover, click, key, focus), which ForgetControl clears when a
// control goes, rather than from a local copy taken before the event.
#include "UiManager.h"

#include "ControlUI.h"
#include "MessageFilterUI.h"

#include <windowsx.h>

#include <cwchar>
#include <cwctype>

namespace UiLib {

namespace {

// Child windows get their own notifications back at message + this offset.
const UINT kReflectOffset = 0x2000;
const DWORD kDefaultHoverTime = 400;
// Layouts of marked controls in one paint, far more than a tree settles in.
const int kMaxLayoutsPerPass = 1000;

UiEvent MakeEvent(int type, CControlUI* sender, POINT pt)
{
    UiEvent event = {};
    event.type = type;
    event.sender = sender;
    event.timestamp = GetTickCount();
    event.mouse = pt;
    return event;
}

// An event whose receiver is also its sender.
void SendSelfEvent(CControlUI* control, int type, POINT pt)
{
    UiEvent event = MakeEvent(type, control, pt);
    control->HandleEvent(event);
}

POINT PointFromLParam(LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return pt;
}

void SendKeyEvent(CControlUI* control, int type, WPARAM wParam, POINT pt)
{
    UiEvent event = MakeEvent(type, nullptr, pt);
    event.key = static_cast<wchar_t>(LOWORD(wParam));
    event.keyState = GetKeyStateBits();
    control->HandleEvent(event);
}

LPARAM LParamFromPoint(POINT pt)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(pt.x)), static_cast<WORD>(static_cast<short>(pt.y)));
}

void BlitRect(HDC to, const RECT& rc, HDC from)
{
    BitBlt(to, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, from, rc.left, rc.top, SRCCOPY);
}

}  // namespace

WORD GetKeyStateBits()
{
    WORD bits = 0;
    if (GetKeyState(VK_LBUTTON) < 0)
        bits |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0)
        bits |= MK_RBUTTON;
    if (GetKeyState(VK_SHIFT) < 0)
        bits |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0)
        bits |= MK_CONTROL;
    if (GetKeyState(VK_MENU) < 0)
        bits |= 0x20;
    return bits;
}

bool CUiManager::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (window_ == nullptr)
        return false;
    DeliverQueuedNotifications();
    // A filter may add or remove filters while it is asked.
    for (int i = 0; i < messageFilters_.GetSize(); ++i) {
        bool handled = false;
        const LRESULT answer =
            static_cast<IMessageFilterUI*>(messageFilters_[i])->MessageHandler(message, wParam, lParam, handled);
        if (handled) {
            result = answer;
            return true;
        }
    }
    if (HandleOwnMessage(message, wParam, lParam, result))
        return true;
    DeliverQueuedNotifications();
    return false;
}

void CUiManager::DeliverQueuedNotifications()
{
    // Each record leaves the queue before it is delivered: a handler that
    // makes the manager handle another message must not deliver it twice.
    while (!notifyQueue_.IsEmpty()) {
        UiNotify* notify = static_cast<UiNotify*>(notifyQueue_[0]);
        notifyQueue_.Remove(0);
        if (notify->sender != nullptr && notify->sender->OnNotify.HasDelegates())
            notify->sender->OnNotify.Invoke(notify);
        for (int i = 0; i < notifiers_.GetSize(); ++i)
            static_cast<INotifyUI*>(notifiers_[i])->Notify(*notify);
        delete notify;
    }
}

bool CUiManager::HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_PRINTCLIENT:
        OnPrintClient(reinterpret_cast<HDC>(wParam), lParam);
        return false;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_SIZE:
        if (focus_ != nullptr)
            SendSelfEvent(focus_, kUiEventWindowSize, POINT{0, 0});
        if (root_ != nullptr)
            root_->MarkForUpdate();
        return true;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (info == nullptr)
            return false;
        if (minSize_.cx > 0)
            info->ptMinTrackSize.x = minSize_.cx;
        if (minSize_.cy > 0)
            info->ptMinTrackSize.y = minSize_.cy;
        if (maxSize_.cx > 0)
            info->ptMaxTrackSize.x = maxSize_.cx;
        if (maxSize_.cy > 0)
            info->ptMaxTrackSize.y = maxSize_.cy;
        return false;
    }
    case WM_CLOSE:
        OnClose();
        return false;
    case WM_TIMER:
        OnTimer(wParam);
        return false;
    case WM_MOUSEMOVE:
        OnMouseMove(PointFromLParam(lParam));
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
        OnButtonDown(message, wParam, lParam);
        return false;
    case WM_LBUTTONUP:
    case WM_CONTEXTMENU:
        OnButtonRelease(message, wParam, lParam);
        return false;
    case WM_MOUSEWHEEL:
        OnMouseWheel(wParam, lParam);
        return false;
    case WM_MOUSEHOVER:
        return OnMouseHover(PointFromLParam(lParam));
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return false;
    case WM_SETCURSOR:
        return OnSetCursor(wParam, lParam);
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        OnKey(message, wParam);
        return false;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr)
            return false;
        result = SendMessageW(header->hwndFrom, message + kReflectOffset, wParam, lParam);
        return true;
    }
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0)
            return false;
        result = SendMessageW(reinterpret_cast<HWND>(lParam), message + kReflectOffset, wParam, lParam);
        return true;
    case kUiMsgDeleteLater:
        DeleteDeferredControls();
        return false;
    default:
        return false;
    }
}

void CUiManager::OnPaint()
{
    RECT update = {};
    if (!GetUpdateRect(window_, &update, FALSE))
        return;
    if (root_ == nullptr || IsIconic(window_)) {
        PAINTSTRUCT ps = {};
        BeginPaint(window_, &ps);
        EndPaint(window_, &ps);
        return;
    }
    LayoutTree();
    if (focusPassNeeded_)
        FocusNextTabStop(true);
    if (root_ == nullptr) {
        // The "windowinit" handler may have taken the tree away.
        ValidateRect(window_, nullptr);
        return;
    }
    RECT client = {};
    GetClientRect(window_, &client);
    if (offscreenPaint_ && !offscreenBitmap_) {
        if (!offscreenDc_)
            offscreenDc_.reset(CreateCompatibleDC(windowDc_.get()));
        offscreenBitmap_.reset(
            CreateCompatibleBitmap(windowDc_.get(), client.right - client.left, client.bottom - client.top));
    }
    PAINTSTRUCT ps = {};
    HDC paintDc = BeginPaint(window_, &ps);
    if (paintDc != nullptr) {
        // Without a buffer (creation failed) the tree is drawn straight.
        if (offscreenPaint_ && offscreenDc_ && offscreenBitmap_) {
            PaintOffscreen(paintDc, ps.rcPaint);
        } else {
            const int saved = SaveDC(paintDc);
            root_->Paint(paintDc, ps.rcPaint);
            RestoreDC(paintDc, saved);
        }
    }
    EndPaint(window_, &ps);
    if (updateNeeded_)
        InvalidateRect(window_, nullptr, FALSE);
}

CControlUI* CUiManager::MarkedForUpdateCallback(CControlUI* control, void*)
{
    return control->IsUpdateNeeded() ? control : nullptr;
}

void CUiManager::LayoutTree()
{
    if (!updateNeeded_)
        return;
    updateNeeded_ = false;
    RECT client = {};
    GetClientRect(window_, &client);
    if (IsRectEmpty(&client))
        return;
    if (root_->IsUpdateNeeded()) {
        root_->SetBounds(client);
        ReleaseOffscreen();
    } else {
        // Until no control is marked. A control whose own layout marks it
        // again every time would be found for ever: the pass stops after a
        // bound, and the mark left over brings another paint.
        const UINT flags = kUiFindSelfFirst | kUiFindVisible;
        for (int laidOut = 0; root_ != nullptr && laidOut < kMaxLayoutsPerPass; ++laidOut) {
            CControlUI* control = root_->Search(MarkedForUpdateCallback, nullptr, flags);
            if (control == nullptr)
                break;
            const RECT bounds = control->GetBounds();
            control->SetBounds(bounds);
        }
    }
    if (firstLayoutPending_ && root_ != nullptr) {
        SendNotify(root_, L"windowinit");
        firstLayoutPending_ = false;
    }
}

void CUiManager::ReleaseOffscreen()
{
    // Each context before its bitmap: the background bitmap stays selected
    // in its context, and a selected bitmap cannot be deleted.
    offscreenDc_.reset();
    offscreenBitmap_.reset();
    backgroundDc_.reset();
    backgroundBitmap_.reset();
}

void CUiManager::PaintOffscreen(HDC paintDc, const RECT& paint)
{
    const HDC offscreen = offscreenDc_.get();
    HGDIOBJ previous = SelectObject(offscreen, offscreenBitmap_.get());
    const int saved = SaveDC(offscreen);
    if (backgroundTransparent_) {
        if (!backgroundBitmap_) {
            RECT client = {};
            GetClientRect(window_, &client);
            if (!backgroundDc_)
                backgroundDc_.reset(CreateCompatibleDC(windowDc_.get()));
            backgroundBitmap_.reset(
                CreateCompatibleBitmap(windowDc_.get(), client.right - client.left, client.bottom - client.top));
            if (backgroundDc_ && backgroundBitmap_) {
                SelectObject(backgroundDc_.get(), backgroundBitmap_.get());
                BlitRect(backgroundDc_.get(), paint, paintDc);
            }
        }
        if (backgroundDc_ && backgroundBitmap_)
            BlitRect(offscreen, paint, backgroundDc_.get());
    }
    root_->Paint(offscreen, paint);
    // A control may leave the list while it paints.
    for (int i = 0; i < postPaintControls_.GetSize(); ++i)
        static_cast<CControlUI*>(postPaintControls_[i])->PaintAfter(offscreen, paint);
    RestoreDC(offscreen, saved);
    BlitRect(paintDc, paint, offscreen);
    SelectObject(offscreen, previous);
    if (showUpdateRect_) {
        HGDIOBJ oldPen = SelectObject(paintDc, updatePen_);
        HGDIOBJ oldBrush = SelectObject(paintDc, GetStockObject(HOLLOW_BRUSH));
        Rectangle(paintDc, paint.left, paint.top, paint.right, paint.bottom);
        SelectObject(paintDc, oldBrush);
        SelectObject(paintDc, oldPen);
    }
}

void CUiManager::OnPrintClient(HDC hdc, LPARAM lParam)
{
    if (hdc == nullptr || root_ == nullptr)
        return;
    RECT client = {};
    GetClientRect(window_, &client);
    const int saved = SaveDC(hdc);
    root_->Paint(hdc, client);
    RestoreDC(hdc, saved);
    if ((lParam & PRF_CHILDREN) == 0)
        return;
    // Each child is printed at its place; the caller's origin is put back.
    POINT origin = {};
    GetWindowOrgEx(hdc, &origin);
    for (HWND child = ::GetWindow(window_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rc = {};
        GetWindowRect(child, &rc);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rc), 2);
        SetWindowOrgEx(hdc, -rc.left, -rc.top, nullptr);
        SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(hdc), lParam | PRF_NONCLIENT);
    }
    SetWindowOrgEx(hdc, origin.x, origin.y, nullptr);
}

void CUiManager::OnClose()
{
    if (hover_ != nullptr)
        SendSelfEvent(hover_, kUiEventMouseLeave, lastMouse_);
    if (clickTarget_ != nullptr)
        SendSelfEvent(clickTarget_, kUiEventButtonUp, lastMouse_);
    SetFocus(nullptr);
    HWND owner = ::GetWindow(window_, GW_OWNER);
    if (owner != nullptr)
        ::SetFocus(owner);
}

void CUiManager::OnTimer(WPARAM wParam)
{
    const UINT systemId = LOWORD(wParam);
    for (int i = 0; i < timers_.GetSize(); ++i) {
        const UiTimerInfo* timer = static_cast<const UiTimerInfo*>(timers_[i]);
        if (timer->window != window_ || timer->systemId != systemId || timer->killed)
            continue;
        // The handler may kill or start timers, which moves the records.
        CControlUI* control = timer->control;
        UiEvent event = MakeEvent(kUiEventTimer, control, POINT{0, 0});
        event.wParam = static_cast<WPARAM>(timer->id);
        control->HandleEvent(event);
        return;
    }
}

void CUiManager::OnMouseMove(POINT pt)
{
    if (!mouseTracking_) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = window_;
        track.dwHoverTime = tooltipWindow_ != nullptr
                                ? static_cast<DWORD>(SendMessageW(tooltipWindow_, TTM_GETDELAYTIME, TTDT_INITIAL, 0))
                                : kDefaultHoverTime;
        TrackMouseEvent(&track);
        mouseTracking_ = true;
    }
    lastMouse_ = pt;
    CControlUI* found = FindControlAt(pt);
    if (found != nullptr && found->GetOwnerManager() != this)
        return;
    if (found != hover_ && hover_ != nullptr) {
        CControlUI* leaving = hover_;
        hover_ = nullptr;
        SendSelfEvent(leaving, kUiEventMouseLeave, pt);
        if (tooltipWindow_ != nullptr)
            SendMessageW(tooltipWindow_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolInfo_));
        // The leave handler may have changed the tree under the point.
        found = FindControlAt(pt);
        if (found != nullptr && found->GetOwnerManager() != this)
            return;
    }
    if (found != hover_ && found != nullptr) {
        hover_ = found;
        SendSelfEvent(found, kUiEventMouseEnter, pt);
    }
    // After the enter step the hover control is the found one, unless a
    // handler deleted it.
    CControlUI* target = clickTarget_ != nullptr ? clickTarget_ : hover_;
    if (target != nullptr)
        SendSelfEvent(target, kUiEventMouseMove, pt);
}

void CUiManager::OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam)
{
    ::SetFocus(window_);
    const POINT pt = PointFromLParam(lParam);
    lastMouse_ = pt;
    CControlUI* control = FindControlAt(pt);
    if (control == nullptr || control->GetOwnerManager() != this)
        return;
    clickTarget_ = control;
    int type = kUiEventButtonDown;
    LPARAM eventLParam = lParam;
    if (message == WM_LBUTTONDBLCLK) {
        type = kUiEventDoubleClick;
        eventLParam = 0;
    } else {
        if (message == WM_RBUTTONDOWN)
            type = kUiEventRightButtonDown;
        control->TakeFocus();
        if (clickTarget_ == nullptr)
            return;  // the control went while it took the focus
    }
    SetCapture();
    UiEvent event = MakeEvent(type, clickTarget_, pt);
    event.wParam = wParam;
    event.lParam = eventLParam;
    event.keyState = LOWORD(wParam);
    clickTarget_->HandleEvent(event);
}

void CUiManager::OnButtonRelease(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The context menu message, which the platform derives from the right
    // button's release, ends the right-button gesture and carries a screen
    // point.
    const bool menu = message == WM_CONTEXTMENU;
    POINT pt = PointFromLParam(lParam);
    if (menu)
        ScreenToClient(window_, &pt);
    lastMouse_ = pt;
    if (clickTarget_ == nullptr)
        return;
    ReleaseCapture();
    // The gesture ends even when the handler starts a new one, so the target
    // is cleared before the event and not after it.
    CControlUI* target = clickTarget_;
    clickTarget_ = nullptr;
    UiEvent event = MakeEvent(menu ? kUiEventContextMenu : kUiEventButtonUp, target, pt);
    event.wParam = menu ? 0 : wParam;
    event.lParam = menu ? reinterpret_cast<LPARAM>(target) : lParam;
    event.keyState = LOWORD(wParam);
    target->HandleEvent(event);
}

void CUiManager::OnMouseWheel(WPARAM wParam, LPARAM lParam)
{
    POINT pt = PointFromLParam(lParam);
    ScreenToClient(window_, &pt);
    lastMouse_ = pt;
    CControlUI* control = FindControlAt(pt);
    if (control == nullptr || control->GetOwnerManager() != this)
        return;
    UiEvent event = MakeEvent(kUiEventScrollWheel, control, pt);
    event.wParam = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 1 : 0;
    event.lParam = lParam;
    event.keyState = GetKeyStateBits();
    control->HandleEvent(event);
    // Hover follows the content that scrolled under the pointer.
    SendMessageW(window_, WM_MOUSEMOVE, 0, LParamFromPoint(lastMouse_));
}

bool CUiManager::OnMouseHover(POINT pt)
{
    mouseTracking_ = false;
    if (FindControlAt(pt) == nullptr)
        return false;
    if (hover_ != nullptr)
        SendSelfEvent(hover_, kUiEventMouseHover, pt);
    // The hover handler may have changed the tree under the point.
    CControlUI* found = FindControlAt(pt);
    if (found != nullptr)
        ShowTooltip(found);
    return true;
}

void CUiManager::ShowTooltip(CControlUI* control)
{
    const CUiString tip = control->GetTooltip();
    if (tip.IsEmpty())
        return;
    toolInfo_ = TOOLINFOW();
    // The first size that every version of the common controls accepts.
    toolInfo_.cbSize = TTTOOLINFOW_V2_SIZE;
    toolInfo_.uFlags = TTF_IDISHWND;
    toolInfo_.hwnd = window_;
    toolInfo_.uId = reinterpret_cast<UINT_PTR>(window_);
    toolInfo_.hinst = instance_;
    toolInfo_.lpszText = const_cast<wchar_t*>(tip.GetData());
    toolInfo_.rect = control->GetBounds();
    if (tooltipWindow_ == nullptr) {
        tooltipWindow_ =
            CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
        if (tooltipWindow_ != nullptr)
            SendMessageW(tooltipWindow_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&toolInfo_));
    }
    if (tooltipWindow_ != nullptr) {
        SendMessageW(tooltipWindow_, TTM_SETMAXTIPWIDTH, 0, control->GetTooltipWidth());
        SendMessageW(tooltipWindow_, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&toolInfo_));
        SendMessageW(tooltipWindow_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolInfo_));
    }
    // The tooltip window keeps its own copy of the text.
    toolInfo_.lpszText = nullptr;
}

void CUiManager::OnMouseLeave()
{
    if (tooltipWindow_ != nullptr)
        SendMessageW(tooltipWindow_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&toolInfo_));
    if (mouseTracking_)
        SendMessageW(window_, WM_MOUSEMOVE, 0, LParamFromPoint(POINT{-1, -1}));
    mouseTracking_ = false;
}

bool CUiManager::OnSetCursor(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(lParam) != HTCLIENT)
        return false;
    if (captured_)
        return true;
    POINT pt = {};
    GetCursorPos(&pt);
    ScreenToClient(window_, &pt);
    CControlUI* control = FindControlAt(pt);
    if (control == nullptr || (control->GetInputFlags() & kUiFlagSetCursor) == 0)
        return false;
    UiEvent event = MakeEvent(kUiEventSetCursor, nullptr, pt);
    event.wParam = wParam;
    event.lParam = lParam;
    event.keyState = GetKeyStateBits();
    control->HandleEvent(event);
    return true;
}

void CUiManager::OnKey(UINT message, WPARAM wParam)
{
    if (message == WM_KEYUP) {
        // The control that got the key down gets its key up, even when the
        // focus moved meanwhile.
        if (keyTarget_ != nullptr) {
            SendKeyEvent(keyTarget_, kUiEventKeyUp, wParam, lastMouse_);
            keyTarget_ = nullptr;
        }
        return;
    }
    if (focus_ == nullptr)
        return;
    // Set before the event: a control that its key down deletes is forgotten
    // by the manager and must not become the key target afterwards.
    if (message == WM_KEYDOWN)
        keyTarget_ = focus_;
    SendKeyEvent(focus_, message == WM_KEYDOWN ? kUiEventKeyDown : kUiEventChar, wParam, lastMouse_);
}

void CUiManager::DeleteDeferredControls()
{
    // A destructor may defer further deletions; they are taken in turn.
    while (!deferredDeletes_.IsEmpty()) {
        CControlUI* control = static_cast<CControlUI*>(deferredDeletes_[0]);
        deferredDeletes_.Remove(0);
        delete control;
    }
}

namespace {

// The walk of the Alt+key search: the control whose shortcut matches, or the
// first non-label after a matching label.
struct ShortcutSearch {
    wchar_t key;
    bool matched;
};

bool TypeNameContains(CControlUI* control, const wchar_t* part)
{
    const wchar_t* name = control->GetTypeName();
    return name != nullptr && wcsstr(name, part) != nullptr;
}

// A focused rich edit that wants Tab keeps it.
bool KeepsTab(CControlUI* focus)
{
    if (focus == nullptr || !focus->IsShown() || !focus->IsEnabled() || !TypeNameContains(focus, L"RichEditUI"))
        return false;
    const IWantTabUI* keeper = dynamic_cast<const IWantTabUI*>(focus);
    return keeper != nullptr && keeper->WantsTab();
}

}  // namespace

CControlUI* CUiManager::ShortcutCallback(CControlUI* control, void* data)
{
    ShortcutSearch* search = static_cast<ShortcutSearch*>(data);
    if (!control->IsShown())
        return nullptr;
    if (static_cast<wchar_t>(towupper(control->GetShortcutKey())) == search->key)
        search->matched = true;
    return search->matched && !TypeNameContains(control, L"LabelUI") ? control : nullptr;
}

bool CUiManager::PreDispatchMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT&)
{
    for (int i = 0; i < preMessageFilters_.GetSize(); ++i) {
        bool handled = false;
        static_cast<IMessageFilterUI*>(preMessageFilters_[i])->MessageHandler(message, wParam, lParam, handled);
        if (handled)
            return true;
    }
    switch (message) {
    case WM_KEYDOWN:
        if (wParam != VK_TAB || KeepsTab(focus_))
            return false;
        FocusNextTabStop(GetKeyState(VK_SHIFT) >= 0);
        return true;
    case WM_SYSCHAR: {
        // No control has the shortcut 0, which is what an unset one holds.
        const wchar_t key = static_cast<wchar_t>(towupper(static_cast<wint_t>(LOWORD(wParam))));
        if (key == 0 || root_ == nullptr)
            return false;
        // Top-most first, as hit tests go: a label's shortcut reaches the
        // control that this order visits after it.
        ShortcutSearch search = {key, false};
        CControlUI* control =
            root_->Search(ShortcutCallback, &search, kUiFindSelfFirst | kUiFindTopFirst | kUiFindEnabled);
        if (control == nullptr)
            return false;
        control->TakeFocus();
        control->TryActivate();
        return true;
    }
    case WM_SYSKEYDOWN:
        if (focus_ != nullptr)
            SendKeyEvent(focus_, kUiEventSysKey, wParam, lastMouse_);
        return false;
    default:
        return false;
    }
}

}  // namespace UiLib
