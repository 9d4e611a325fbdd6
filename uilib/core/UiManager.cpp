// The per-window manager: construction, window settings, parent resources,
// default colours, the lists of notifiers and filters, capture and timers.
// The control tree, focus and notifications live beside it, and so does
// message handling.
#include "UiManager.h"

#include "ControlUI.h"

#include <algorithm>

namespace UiLib {

namespace {

const CUiManager* TopManager(const CUiManager* manager)
{
    while (manager->GetParentResource() != nullptr)
        manager = manager->GetParentResource();
    return manager;
}

bool RemoveFirst(CUiPtrArray& list, void* element)
{
    const int index = list.Find(element);
    return index >= 0 && list.Remove(index);
}

}  // namespace

CUiManager::CUiManager()
    : window_(nullptr),
      opacity_(255),
      tooltipWindow_(nullptr),
      toolInfo_(),
      showUpdateRect_(false),
      root_(nullptr),
      focus_(nullptr),
      hover_(nullptr),
      clickTarget_(nullptr),
      keyTarget_(nullptr),
      lastMouse_{-1, -1},
      minSize_{0, 0},
      maxSize_{0, 0},
      initialSize_{0, 0},
      sizeBox_{0, 0, 0, 0},
      roundCorner_{0, 0},
      captionRect_{0, 0, 0, 0},
      timerCounter_(4096),
      firstLayoutPending_(true),
      updateNeeded_(false),
      focusPassNeeded_(false),
      offscreenPaint_(true),
      backgroundTransparent_(false),
      mouseTracking_(false),
      captured_(false),
      useVirtualWnd_(false),
      windowGone_(false),
      nameMap_(83),
      optionGroups_(83),
      parentResource_(nullptr),
      defaultDisabledColor_(0xFFA7A6AA),
      defaultFontColor_(0xFF000000),
      defaultLinkFontColor_(0xFF0000FF),
      defaultLinkHoverFontColor_(0xFFD3215F),
      defaultSelectedBkColor_(0xFFBAE4FF),
      defaultFont_(),
      images_(83),
      classDefaults_(83)
{
    InitDefaultFont();
    if (updatePen_ == nullptr) {
        updatePen_ = CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
        InitCommonControls();
        LoadLibraryW(L"msimg32.dll");
    }
}

CUiManager::~CUiManager()
{
    for (int i = 0; i < deferredDeletes_.GetSize(); ++i)
        delete static_cast<CControlUI*>(deferredDeletes_[i]);
    deferredDeletes_.Empty();
    for (int i = 0; i < notifyQueue_.GetSize(); ++i)
        delete static_cast<UiNotify*>(notifyQueue_[i]);
    notifyQueue_.Empty();
    nameMap_.RemoveAll();
    delete root_;
    root_ = nullptr;
    DeleteFontOf(defaultFont_);
    RemoveAllFonts();
    RemoveAllImages();
    RemoveAllClassDefaults();
    RemoveAllOptionGroups();
    ReleaseWindowResources();
    RemoveFirst(managers_, this);
}

void CUiManager::AttachWindow(HWND window)
{
    if (window_ != nullptr)
        DetachWindow();
    if (windowGone_)
        DropControlTree();
    windowGone_ = false;
    window_ = window;
    windowDc_ = ScopedWindowDc(window);
    if (managers_.Find(this) < 0)
        managers_.Add(this);
}

void CUiManager::DetachWindow()
{
    ReleaseWindowResources();
    RemoveFirst(managers_, this);
    window_ = nullptr;
    windowGone_ = true;
}

// The timers, tooltip, buffers and device context of the current window, and
// the input state that only made sense in it.
void CUiManager::ReleaseWindowResources()
{
    RemoveAllTimers();
    // The tooltip window is owned by the window and may have gone with it.
    if (tooltipWindow_ != nullptr && IsWindow(tooltipWindow_))
        DestroyWindow(tooltipWindow_);
    tooltipWindow_ = nullptr;
    toolInfo_ = TOOLINFOW();
    ReleaseOffscreen();
    windowDc_.reset();
    mouseTracking_ = false;
    captured_ = false;
    lastMouse_ = POINT{-1, -1};
}

// The tree of an earlier window, with everything that refers to its
// controls, so that the next window's skin builds on a clean manager.
void CUiManager::DropControlTree()
{
    keyTarget_ = nullptr;
    hover_ = nullptr;
    clickTarget_ = nullptr;
    focus_ = nullptr;
    postPaintControls_.Empty();
    DeleteDeferredControls();
    for (int i = 0; i < notifyQueue_.GetSize(); ++i)
        delete static_cast<UiNotify*>(notifyQueue_[i]);
    notifyQueue_.Empty();
    CControlUI* root = root_;
    root_ = nullptr;
    delete root;
    nameMap_.RemoveAll();
    // The next skin lists its fonts again from index 0.
    RemoveAllFonts();
    firstLayoutPending_ = true;
    updateNeeded_ = false;
    focusPassNeeded_ = false;
}

void CUiManager::SetInitialSize(int cx, int cy)
{
    initialSize_.cx = cx;
    initialSize_.cy = cy;
    if (root_ == nullptr && window_ != nullptr)
        SetWindowPos(window_, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CUiManager::SetMinInfo(int cx, int cy)
{
    minSize_.cx = cx;
    minSize_.cy = cy;
}

void CUiManager::SetMaxInfo(int cx, int cy)
{
    maxSize_.cx = cx;
    maxSize_.cy = cy;
}

void CUiManager::SetSizeBox(const RECT& box)
{
    sizeBox_ = box;
}

void CUiManager::SetCaptionRect(const RECT& caption)
{
    captionRect_ = caption;
}

void CUiManager::SetRoundCorner(int cx, int cy)
{
    roundCorner_.cx = cx;
    roundCorner_.cy = cy;
}

void CUiManager::SetShowDirty(bool show)
{
    showUpdateRect_ = show;
}

void CUiManager::SetBackgroundTransparent(bool transparent)
{
    backgroundTransparent_ = transparent;
}

void CUiManager::SetUseVirtualWnd(bool use)
{
    useVirtualWnd_ = use;
}

void CUiManager::Invalidate(const RECT& rc)
{
    if (window_ != nullptr)
        InvalidateRect(window_, &rc, FALSE);
}

void CUiManager::MarkForUpdate()
{
    updateNeeded_ = true;
}

void CUiManager::SetOpacity(int alpha)
{
    opacity_ = std::min(255, std::max(0, alpha));
    if (window_ == nullptr)
        return;
    typedef BOOL(WINAPI * SetLayeredProc)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user32 = GetModuleHandleW(L"User32.dll");
    FARPROC address = user32 != nullptr ? GetProcAddress(user32, "SetLayeredWindowAttributes") : nullptr;
    if (address == nullptr)
        return;
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_EXSTYLE);
    const bool layered = alpha >= 0 && alpha <= 255;
    const LONG_PTR wanted = layered ? (style | WS_EX_LAYERED) : (style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    if (wanted != style)
        SetWindowLongPtrW(window_, GWL_EXSTYLE, wanted);
    reinterpret_cast<SetLayeredProc>(reinterpret_cast<void (*)()>(address))(window_, 0, static_cast<BYTE>(alpha),
                                                                            LWA_ALPHA);
}

bool CUiManager::SetParentResource(CUiManager* parent)
{
    for (const CUiManager* manager = parent; manager != nullptr; manager = manager->parentResource_) {
        if (manager == this)
            return false;
    }
    parentResource_ = parent;
    return true;
}

void CUiManager::SetDefaultDisabledColor(DWORD color)
{
    defaultDisabledColor_ = color;
}

DWORD CUiManager::GetDefaultDisabledColor() const
{
    return TopManager(this)->defaultDisabledColor_;
}

void CUiManager::SetDefaultFontColor(DWORD color)
{
    defaultFontColor_ = color;
}

DWORD CUiManager::GetDefaultFontColor() const
{
    return TopManager(this)->defaultFontColor_;
}

void CUiManager::SetDefaultLinkFontColor(DWORD color)
{
    defaultLinkFontColor_ = color;
}

DWORD CUiManager::GetDefaultLinkFontColor() const
{
    return TopManager(this)->defaultLinkFontColor_;
}

void CUiManager::SetDefaultLinkHoverFontColor(DWORD color)
{
    defaultLinkHoverFontColor_ = color;
}

DWORD CUiManager::GetDefaultLinkHoverFontColor() const
{
    return TopManager(this)->defaultLinkHoverFontColor_;
}

void CUiManager::SetDefaultSelectedBkColor(DWORD color)
{
    defaultSelectedBkColor_ = color;
}

DWORD CUiManager::GetDefaultSelectedBkColor() const
{
    return TopManager(this)->defaultSelectedBkColor_;
}

bool CUiManager::AddPaintAfter(CControlUI* control)
{
    return postPaintControls_.Add(control);
}

bool CUiManager::RemovePaintAfter(CControlUI* control)
{
    return RemoveFirst(postPaintControls_, control);
}

bool CUiManager::AddNotifier(INotifyUI* notifier)
{
    return notifiers_.Add(notifier);
}

bool CUiManager::RemoveNotifier(INotifyUI* notifier)
{
    return RemoveFirst(notifiers_, notifier);
}

bool CUiManager::AddPreMessageFilter(IMessageFilterUI* filter)
{
    return preMessageFilters_.Add(filter);
}

bool CUiManager::RemovePreMessageFilter(IMessageFilterUI* filter)
{
    return RemoveFirst(preMessageFilters_, filter);
}

bool CUiManager::AddMessageFilter(IMessageFilterUI* filter)
{
    return messageFilters_.Add(filter);
}

bool CUiManager::RemoveMessageFilter(IMessageFilterUI* filter)
{
    return RemoveFirst(messageFilters_, filter);
}

bool CUiManager::AddTranslateAccelerator(ITranslateAccelerator* translator)
{
    return accelerators_.Add(translator);
}

bool CUiManager::RemoveTranslateAccelerator(ITranslateAccelerator* translator)
{
    return RemoveFirst(accelerators_, translator);
}

void CUiManager::SetCapture()
{
    if (window_ != nullptr)
        ::SetCapture(window_);
    captured_ = true;
}

void CUiManager::ReleaseCapture()
{
    ::ReleaseCapture();
    captured_ = false;
}

bool CUiManager::SetTimer(CControlUI* control, int id, UINT interval)
{
    // Without a window the system would make a thread timer with an id of its
    // own choosing, which no record could ever kill.
    if (window_ == nullptr)
        return false;
    for (int i = 0; i < timers_.GetSize(); ++i) {
        UiTimerInfo* timer = static_cast<UiTimerInfo*>(timers_[i]);
        if (timer->control != control || timer->window != window_ || timer->id != id)
            continue;
        if (!timer->killed)
            return false;
        if (::SetTimer(window_, timer->systemId, interval, nullptr) == 0)
            return false;
        timer->killed = false;
        return true;
    }
    timerCounter_ = (timerCounter_ + 1) % 255;
    const UINT systemId = static_cast<UINT>(timerCounter_);
    if (::SetTimer(window_, systemId, interval, nullptr) == 0)
        return false;
    UiTimerInfo* timer = new UiTimerInfo{control, id, window_, systemId, false};
    if (!timers_.Add(timer)) {
        ::KillTimer(window_, systemId);
        delete timer;
        return false;
    }
    return true;
}

bool CUiManager::KillTimer(CControlUI* control, int id)
{
    for (int i = 0; i < timers_.GetSize(); ++i) {
        UiTimerInfo* timer = static_cast<UiTimerInfo*>(timers_[i]);
        if (timer->control != control || timer->window != window_ || timer->id != id || timer->killed)
            continue;
        if (IsWindow(window_))
            ::KillTimer(window_, timer->systemId);
        timer->killed = true;
        return true;
    }
    return false;
}

int CUiManager::KillControlTimers(CControlUI* control)
{
    int removed = 0;
    for (int i = timers_.GetSize() - 1; i >= 0; --i) {
        UiTimerInfo* timer = static_cast<UiTimerInfo*>(timers_[i]);
        if (timer->control != control || timer->window != window_)
            continue;
        if (!timer->killed && IsWindow(window_))
            ::KillTimer(window_, timer->systemId);
        delete timer;
        timers_.Remove(i);
        ++removed;
    }
    return removed;
}

void CUiManager::RemoveAllTimers()
{
    for (int i = 0; i < timers_.GetSize(); ++i) {
        UiTimerInfo* timer = static_cast<UiTimerInfo*>(timers_[i]);
        if (timer->window == window_ && !timer->killed && IsWindow(window_))
            ::KillTimer(window_, timer->systemId);
        delete timer;
    }
    timers_.Empty();
}

}  // namespace UiLib
