// The manager's side of the control tree: the root, names, hit testing,
// forgetting and deferred deletion of controls, focus, and notifications.
#include "UiManager.h"

#include "ControlUI.h"

namespace UiLib {

namespace {

// Focus events carry no mouse point.
UiEvent FocusEvent(int type, CControlUI* sender)
{
    UiEvent event = {};
    event.type = type;
    event.sender = sender;
    event.timestamp = GetTickCount();
    return event;
}

// The focused control loses the focus to next (possibly null): an input
// event, then the notification.
void TakeFocusFrom(CUiManager& manager, CControlUI* focused, CControlUI* next)
{
    UiEvent event = FocusEvent(kUiEventKillFocus, next);
    focused->HandleEvent(event);
    manager.SendNotify(focused, L"killfocus");
}

// The walk of FocusNextTabStop over the tree in pre-order.
struct TabOrderSearch {
    CControlUI* focus;
    CControlUI* last;  // the last candidate seen
    bool forward;
    bool pastFocus;  // the next candidate is the answer
};

}  // namespace

bool CUiManager::SetRoot(CControlUI* root)
{
    SetFocus(nullptr);
    keyTarget_ = nullptr;
    hover_ = nullptr;
    clickTarget_ = nullptr;
    if (root_ != nullptr) {
        postPaintControls_.Empty();
        DeleteLater(root_);
    }
    root_ = root;
    firstLayoutPending_ = true;
    updateNeeded_ = true;
    focusPassNeeded_ = true;
    return AdoptControls(root, nullptr);
}

bool CUiManager::AdoptControls(CControlUI* control, CControlUI* parent)
{
    if (control == nullptr)
        return false;
    control->AttachToManager(this, parent != nullptr ? parent : control->GetParentControl(), true);
    control->Search(RegisterNameCallback, this, 0);
    return true;
}

CControlUI* CUiManager::FindControlByName(const wchar_t* name) const
{
    return static_cast<CControlUI*>(nameMap_.Find(name));
}

CControlUI* CUiManager::FindControlAt(POINT pt) const
{
    if (root_ == nullptr)
        return nullptr;
    return root_->Search(HitTestCallback, &pt, kUiFindVisible | kUiFindHitTest | kUiFindTopFirst);
}

void CUiManager::ForgetControl(CControlUI* control)
{
    if (control == nullptr)
        return;
    if (keyTarget_ == control)
        keyTarget_ = nullptr;
    if (hover_ == control)
        hover_ = nullptr;
    if (clickTarget_ == control)
        clickTarget_ = nullptr;
    if (focus_ == control)
        focus_ = nullptr;
    KillControlTimers(control);
    // A layout deleted in the middle of a separator drag must not be called
    // by the next paint.
    while (RemovePaintAfter(control)) {
    }
    const CUiString name = control->GetName();
    if (!name.IsEmpty() && nameMap_.Find(name.GetData(), false) == control)
        nameMap_.Remove(name.GetData());
    for (int i = 0; i < notifyQueue_.GetSize(); ++i) {
        UiNotify* notify = static_cast<UiNotify*>(notifyQueue_[i]);
        if (notify->sender == control)
            notify->sender = nullptr;
    }
}

void CUiManager::DeleteLater(CControlUI* control)
{
    if (control == nullptr)
        return;
    control->AttachToManager(this, nullptr, false);
    deferredDeletes_.Add(control);
    PostMessageW(window_, kUiMsgDeleteLater, 0, 0);
}

CControlUI* CUiManager::RegisterNameCallback(CControlUI* control, void* data)
{
    CUiManager* manager = static_cast<CUiManager*>(data);
    const CUiString name = control->GetName();
    if (!name.IsEmpty())
        manager->nameMap_.Set(name.GetData(), control);
    return nullptr;
}

CControlUI* CUiManager::HitTestCallback(CControlUI* control, void* data)
{
    const POINT* pt = static_cast<const POINT*>(data);
    const RECT& bounds = control->GetBounds();
    return PtInRect(&bounds, *pt) ? control : nullptr;
}

CControlUI* CUiManager::TabOrderCallback(CControlUI* control, void* data)
{
    TabOrderSearch* search = static_cast<TabOrderSearch*>(data);
    const bool candidate = (control->GetInputFlags() & kUiFlagTabStop) != 0;
    if (search->forward) {
        if (search->pastFocus && candidate && control != search->focus)
            return control;
        if (control == search->focus)
            search->pastFocus = true;
        return nullptr;
    }
    if (control == search->focus)
        return control;  // stops the walk; the answer is the candidate before
    if (candidate)
        search->last = control;
    return nullptr;
}

void CUiManager::SetFocus(CControlUI* control)
{
    if (window_ != nullptr && ::GetFocus() != window_ && control != focus_)
        ::SetFocus(window_);
    if (control == focus_)
        return;
    if (focus_ != nullptr) {
        TakeFocusFrom(*this, focus_, control);
        focus_ = nullptr;
    }
    if (control == nullptr || control->GetOwnerManager() != this || !control->IsShown() || !control->IsEnabled())
        return;
    focus_ = control;
    UiEvent event = FocusEvent(kUiEventSetFocus, control);
    control->HandleEvent(event);
    SendNotify(control, L"setfocus");
}

bool CUiManager::FocusNextTabStop(bool forward)
{
    if (firstLayoutPending_ && forward) {
        focusPassNeeded_ = true;
        if (window_ != nullptr)
            InvalidateRect(window_, nullptr, FALSE);
        return true;
    }
    if (root_ == nullptr) {
        focusPassNeeded_ = false;
        return true;
    }
    const UINT flags = kUiFindSelfFirst | kUiFindVisible | kUiFindEnabled;
    // Without a focus both directions take the first tab stop.
    const bool ahead = forward || focus_ == nullptr;
    TabOrderSearch search = {focus_, nullptr, ahead, focus_ == nullptr};
    CControlUI* found = root_->Search(TabOrderCallback, &search, flags);
    if (!ahead)
        found = search.last;
    if (found == nullptr) {
        // Wrap: forward to the first tab stop of the tree, backward to the last.
        TabOrderSearch wrap = {nullptr, nullptr, forward, true};
        found = root_->Search(TabOrderCallback, &wrap, flags);
        if (!forward)
            found = wrap.last;
    }
    if (found != nullptr)
        SetFocus(found);
    focusPassNeeded_ = false;
    return true;
}

void CUiManager::RequestFocus(CControlUI* control)
{
    if (window_ != nullptr)
        ::SetFocus(window_);
    if (control == nullptr)
        return;
    if (focus_ != nullptr)
        TakeFocusFrom(*this, focus_, control);
    // The focus pass of the next paint moves forward from the tab stop before
    // the control, which lands on the control itself when it is a tab stop.
    CControlUI* before = nullptr;
    if (root_ != nullptr) {
        TabOrderSearch search = {control, nullptr, false, false};
        root_->Search(TabOrderCallback, &search, kUiFindSelfFirst | kUiFindVisible | kUiFindEnabled);
        before = search.last;
    }
    focus_ = before;
    focusPassNeeded_ = true;
    if (root_ != nullptr)
        root_->MarkForUpdate();
}

void CUiManager::SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam, bool async)
{
    UiNotify notify;
    notify.type = type;
    notify.sender = sender;
    notify.timestamp = 0;
    notify.mouse = lastMouse_;
    notify.wParam = wParam;
    notify.lParam = lParam;
    DispatchNotify(notify, async);
}

void CUiManager::DispatchNotify(UiNotify& notify, bool async)
{
    notify.mouse = lastMouse_;
    notify.timestamp = GetTickCount();
    if (useVirtualWnd_ && notify.sender != nullptr)
        notify.virtualWindow = notify.sender->GetVirtualWindow();
    if (async) {
        UiNotify* queued = new UiNotify(notify);
        if (!notifyQueue_.Add(queued))
            delete queued;
        return;
    }
    if (notify.sender != nullptr && notify.sender->OnNotify.HasDelegates())
        notify.sender->OnNotify.Invoke(&notify);
    // A notifier may add or remove notifiers while it is called.
    for (int i = 0; i < notifiers_.GetSize(); ++i)
        static_cast<INotifyUI*>(notifiers_[i])->Notify(notify);
}

}  // namespace UiLib
