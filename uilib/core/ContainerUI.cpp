#include "ContainerUI.h"

#include "ScrollBarUI.h"
#include "UiAttrValues.h"
#include "UiRender.h"

#include <cwchar>

namespace UiLib {

namespace {

// Every use of a bar goes through these, so that a missing bar answers as
// an empty one: no control, range and position 0, setters doing nothing.
CControlUI* BarControl(CScrollBarUI* bar)
{
    return bar;
}

int BarRange(CScrollBarUI* bar)
{
    return bar != nullptr ? bar->GetScrollRange() : 0;
}

int BarPosition(CScrollBarUI* bar)
{
    return bar != nullptr ? bar->GetScrollPos() : 0;
}

void SetBarRange(CScrollBarUI* bar, int range)
{
    if (bar != nullptr)
        bar->SetScrollRange(range);
}

void SetBarPosition(CScrollBarUI* bar, int pos)
{
    if (bar != nullptr)
        bar->SetScrollPos(pos);
}

CScrollBarUI* CreateBar(CContainerUI* owner, bool horizontal)
{
    CScrollBarUI* bar = new CScrollBarUI();
    bar->SetOwner(owner);
    bar->SetHorizontal(horizontal);
    return bar;
}

bool IsBarShown(CScrollBarUI* bar)
{
    CControlUI* control = BarControl(bar);
    return control != nullptr && control->IsShown();
}

// A bar that takes keys and the wheel.
bool IsBarActive(CScrollBarUI* bar)
{
    CControlUI* control = BarControl(bar);
    return control != nullptr && control->IsShown() && control->IsEnabled();
}

void DeleteBar(CScrollBarUI*& bar)
{
    delete BarControl(bar);
    bar = nullptr;
}

bool RectsMeet(const RECT& a, const RECT& b)
{
    RECT common;
    return IntersectRect(&common, &a, &b) != FALSE;
}

int ReadInt(const wchar_t* value)
{
    long number = 0;
    ReadNumberList(value, &number, 1);
    return static_cast<int>(number);
}

// A percentage of a distance; the product is taken wide because both come
// from the skin.
int PercentOf(int percent, int distance)
{
    return static_cast<int>(static_cast<long long>(percent) * distance / 100);
}

// The operations that the keys and the wheel call along one axis.
struct ScrollKeys {
    void (CContainerUI::*pageBack)();
    void (CContainerUI::*pageForward)();
    void (CContainerUI::*toEnd)();
    void (CContainerUI::*toStart)();
    void (CContainerUI::*lineBack)();
    void (CContainerUI::*lineForward)();
};

const ScrollKeys kVerticalKeys = {&CContainerUI::PageUp,      &CContainerUI::PageDown, &CContainerUI::ScrollToBottom,
                                  &CContainerUI::ScrollToTop, &CContainerUI::LineUp,   &CContainerUI::LineDown};
const ScrollKeys kHorizontalKeys = {&CContainerUI::PageLeft,     &CContainerUI::PageRight, &CContainerUI::ScrollToRight,
                                    &CContainerUI::ScrollToLeft, &CContainerUI::LineLeft,  &CContainerUI::LineRight};

// Runs the scroll operation that the event asks for; false when it asks for none.
bool ScrollByInput(CContainerUI& container, const UiEvent& event, const ScrollKeys& keys)
{
    void (CContainerUI::*action)() = nullptr;
    if (event.type == kUiEventKeyDown) {
        // clang-format off
        switch (event.key) {
        case VK_PRIOR: action = keys.pageBack; break;
        case VK_NEXT: action = keys.pageForward; break;
        case VK_END: action = keys.toEnd; break;
        case VK_HOME: action = keys.toStart; break;
        case VK_UP: action = keys.lineBack; break;
        case VK_DOWN: action = keys.lineForward; break;
        default: break;
        }
        // clang-format on
    } else if (event.type == kUiEventScrollWheel) {
        if (event.wParam == 0)
            action = keys.lineBack;
        else if (event.wParam == 1)
            action = keys.lineForward;
    }
    if (action == nullptr)
        return false;
    (container.*action)();
    return true;
}

}  // namespace

CContainerUI::CContainerUI()
    : inset_(0, 0, 0, 0),
      childPadding_(0),
      autoDelete_(true),
      deferredDelete_(true),
      mouseChild_(true),
      scrollRelayoutGuard_(false),
      verticalBar_(nullptr),
      horizontalBar_(nullptr)
{
}

CContainerUI::~CContainerUI()
{
    // The manager may be going away with us, so nothing waits for it.
    deferredDelete_ = false;
    RemoveAll();
    DeleteBar(verticalBar_);
    DeleteBar(horizontalBar_);
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    return static_cast<CControlUI*>(children_.GetAt(index));
}

int CContainerUI::GetItemIndex(CControlUI* control) const
{
    return control == nullptr ? -1 : children_.Find(control);
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index)
{
    const int current = GetItemIndex(control);
    // An index outside the list would drop the child from it for good.
    if (current < 0 || index < 0 || index >= children_.GetSize())
        return false;
    MarkForUpdate();
    children_.Remove(current);
    return children_.InsertAt(index, control);
}

int CContainerUI::GetCount() const
{
    return children_.GetSize();
}

bool CContainerUI::Add(CControlUI* control)
{
    // Not through the virtual AddAt: a container that replaces both would
    // otherwise handle one addition twice.
    return CContainerUI::AddAt(control, children_.GetSize());
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (control == nullptr)
        return false;
    // The control is adopted before the list takes it: at a bad index it is
    // then refused, and stays the caller's.
    if (manager_ != nullptr)
        manager_->AdoptControls(control, this);
    if (IsShown())
        MarkForUpdate();
    else
        control->SetShownByParent(false);
    return children_.InsertAt(index, control);
}

bool CContainerUI::Remove(CControlUI* control)
{
    const int index = GetItemIndex(control);
    if (index < 0)
        return false;
    MarkForUpdate();
    // Out of the list before it goes, so that its destructor finds no trace.
    children_.Remove(index);
    if (autoDelete_) {
        if (deferredDelete_ && manager_ != nullptr)
            manager_->DeleteLater(control);
        else
            delete control;
    }
    return true;
}

bool CContainerUI::RemoveAt(int index)
{
    // Through the virtual Remove, so that a container that keeps state about
    // its children (the tab layout's selection) hears of it.
    CControlUI* control = GetItemAt(index);
    return control != nullptr && Remove(control);
}

void CContainerUI::RemoveAll()
{
    // The list is emptied before any child goes, so that a child's destructor
    // that reaches back into this container finds a consistent list.
    CUiPtrArray removed(children_);
    children_.Empty();
    if (autoDelete_) {
        for (int i = 0; i < removed.GetSize(); ++i) {
            CControlUI* control = static_cast<CControlUI*>(removed[i]);
            if (deferredDelete_ && manager_ != nullptr)
                manager_->DeleteLater(control);
            else
                delete control;
        }
    }
    MarkForUpdate();
}

const wchar_t* CContainerUI::GetTypeName() const
{
    return L"ContainerUI";
}

void* CContainerUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"IContainer") == 0)
        return static_cast<IContainerUI*>(this);
    if (name != nullptr && wcscmp(name, L"Container") == 0)
        return static_cast<CContainerUI*>(this);
    return CControlUI::CastByName(name);
}

void CContainerUI::AttachToManager(CUiManager* manager, CControlUI* parent, bool init)
{
    for (int i = 0; i < children_.GetSize(); ++i)
        ChildAt(i)->AttachToManager(manager, this, init);
    if (CControlUI* bar = BarControl(verticalBar_))
        bar->AttachToManager(manager, this, init);
    if (CControlUI* bar = BarControl(horizontalBar_))
        bar->AttachToManager(manager, this, init);
    CControlUI::AttachToManager(manager, parent, init);
}

void CContainerUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    if (children_.IsEmpty())
        return;
    const CUiRect area = GetInsetRect();
    for (int i = 0; i < children_.GetSize(); ++i) {
        if (!PlaceApart(i))
            ChildAt(i)->SetBounds(area);
    }
}

void CContainerUI::SetShown(bool visible)
{
    if (visible_ == visible)
        return;
    CControlUI::SetShown(visible);
    const bool shown = IsShown();
    for (int i = 0; i < children_.GetSize(); ++i)
        ChildAt(i)->SetShownByParent(shown);
}

void CContainerUI::SetShownByParent(bool visible)
{
    CControlUI::SetShownByParent(visible);
    const bool shown = IsShown();
    for (int i = 0; i < children_.GetSize(); ++i)
        ChildAt(i)->SetShownByParent(shown);
}

void CContainerUI::SetMouseEnabled(bool enabled)
{
    if (CControlUI* bar = BarControl(verticalBar_))
        bar->SetMouseEnabled(enabled);
    if (CControlUI* bar = BarControl(horizontalBar_))
        bar->SetMouseEnabled(enabled);
    CControlUI::SetMouseEnabled(enabled);
}

CControlUI* CContainerUI::Search(UiFindControlProc proc, void* data, UINT flags)
{
    if ((flags & kUiFindVisible) != 0 && !IsShown())
        return nullptr;
    if ((flags & kUiFindEnabled) != 0 && !IsEnabled())
        return nullptr;
    const bool hitTest = (flags & kUiFindHitTest) != 0;
    if (hitTest && !PtInRect(&itemRect_, *static_cast<const POINT*>(data)))
        return nullptr;

    CScrollBarUI* bars[] = {verticalBar_, horizontalBar_};
    for (CScrollBarUI* bar : bars) {
        CControlUI* control = BarControl(bar);
        if (control == nullptr)
            continue;
        if (CControlUI* found = control->Search(proc, data, flags))
            return found;
    }
    if (hitTest && !mouseChild_)
        return CControlUI::Search(proc, data, flags);

    const bool selfFirst = (flags & kUiFindSelfFirst) != 0;
    if (selfFirst) {
        if (CControlUI* found = CControlUI::Search(proc, data, flags))
            return found;
    }
    const CUiRect client = GetClientArea();
    const int count = children_.GetSize();
    const bool topFirst = (flags & kUiFindTopFirst) != 0;
    for (int n = 0; n < count; ++n) {
        CControlUI* child = ChildAt(topFirst ? count - 1 - n : n);
        CControlUI* found = child->Search(proc, data, flags);
        if (found == nullptr)
            continue;
        // The parts of a child under the inset or the scroll bars do not
        // catch the mouse; a floating child may lie there on purpose.
        if (!hitTest || child->IsFloating() || PtInRect(&client, *static_cast<const POINT*>(data)))
            return found;
    }
    return selfFirst ? nullptr : CControlUI::Search(proc, data, flags);
}

void CContainerUI::ProcessEvent(UiEvent& event)
{
    if (event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast && !mouseEnabled_) {
        if (parent_ != nullptr)
            parent_->ProcessEvent(event);
        else
            CControlUI::ProcessEvent(event);
        return;
    }
    if (event.type == kUiEventKillFocus || event.type == kUiEventSetFocus) {
        focused_ = event.type == kUiEventSetFocus;
        return;
    }
    if (IsBarActive(verticalBar_)) {
        if (ScrollByInput(*this, event, kVerticalKeys))
            return;
    } else if (IsBarActive(horizontalBar_)) {
        if (ScrollByInput(*this, event, kHorizontalKeys))
            return;
    }
    CControlUI::ProcessEvent(event);
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    const bool isTrue = value != nullptr && wcscmp(value, L"true") == 0;
    if (wcscmp(name, L"inset") == 0) {
        SetInset(ReadRectValue(value));
    } else if (wcscmp(name, L"mousechild") == 0) {
        SetMouseChildEnabled(isTrue);
    } else if (wcscmp(name, L"vscrollbar") == 0) {
        EnableScrollBars(isTrue, horizontalBar_ != nullptr);
    } else if (wcscmp(name, L"vscrollbarstyle") == 0) {
        EnableScrollBars(true, horizontalBar_ != nullptr);
        if (CControlUI* bar = BarControl(verticalBar_))
            bar->ApplyAttributeString(value);
    } else if (wcscmp(name, L"hscrollbar") == 0) {
        EnableScrollBars(verticalBar_ != nullptr, isTrue);
    } else if (wcscmp(name, L"hscrollbarstyle") == 0) {
        EnableScrollBars(verticalBar_ != nullptr, true);
        if (CControlUI* bar = BarControl(horizontalBar_))
            bar->ApplyAttributeString(value);
    } else if (wcscmp(name, L"childpadding") == 0) {
        SetChildPadding(ReadInt(value));
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::Paint(HDC hdc, const RECT& dirty)
{
    RECT paint;
    if (!IntersectRect(&paint, &dirty, &itemRect_))
        return;
    CUiClip outer;
    CUiClip::ClipToRect(hdc, paint, outer);
    CControlUI::Paint(hdc, dirty);

    if (!children_.IsEmpty()) {
        const CUiRect client = GetClientArea();
        RECT inner;
        if (IntersectRect(&inner, &dirty, &client)) {
            CUiClip clientClip;
            CUiClip::ClipToRect(hdc, inner, clientClip);
            for (int i = 0; i < children_.GetSize(); ++i) {
                CControlUI* child = ChildAt(i);
                const RECT& bounds = child->GetBounds();
                if (!child->IsShown() || !RectsMeet(bounds, dirty))
                    continue;
                if (!child->IsFloating()) {
                    if (RectsMeet(bounds, client))
                        child->Paint(hdc, dirty);
                } else if (RectsMeet(bounds, itemRect_)) {
                    // A floating child may cover the inset and the bars.
                    clientClip.UseOuterClip();
                    child->Paint(hdc, dirty);
                    clientClip.UseOwnClip();
                }
            }
        } else {
            for (int i = 0; i < children_.GetSize(); ++i) {
                CControlUI* child = ChildAt(i);
                const RECT& bounds = child->GetBounds();
                if (child->IsShown() && child->IsFloating() && RectsMeet(bounds, dirty) && RectsMeet(bounds, itemRect_))
                    child->Paint(hdc, dirty);
            }
        }
    }

    CScrollBarUI* bars[] = {verticalBar_, horizontalBar_};
    for (CScrollBarUI* bar : bars) {
        CControlUI* control = BarControl(bar);
        if (control != nullptr && control->IsShown() && RectsMeet(control->GetBounds(), dirty))
            control->Paint(hdc, dirty);
    }
}

RECT CContainerUI::GetInset() const
{
    return inset_;
}

void CContainerUI::SetInset(const RECT& inset)
{
    inset_ = inset;
    MarkForUpdate();
}

int CContainerUI::GetChildPadding() const
{
    return childPadding_;
}

void CContainerUI::SetChildPadding(int padding)
{
    childPadding_ = padding;
    MarkForUpdate();
}

bool CContainerUI::IsAutoDelete() const
{
    return autoDelete_;
}

void CContainerUI::SetAutoDelete(bool autoDelete)
{
    autoDelete_ = autoDelete;
}

bool CContainerUI::IsDeferredDelete() const
{
    return deferredDelete_;
}

void CContainerUI::SetDeferredDelete(bool deferred)
{
    deferredDelete_ = deferred;
}

bool CContainerUI::IsMouseChildEnabled() const
{
    return mouseChild_;
}

void CContainerUI::SetMouseChildEnabled(bool enabled)
{
    mouseChild_ = enabled;
}

int CContainerUI::NearestSelectableItem(int index, bool forward)
{
    const int count = children_.GetSize();
    if (count == 0)
        return -1;
    const int start = index < 0 ? 0 : (index >= count ? count - 1 : index);
    auto selectable = [this](int i) {
        CControlUI* child = ChildAt(i);
        return child->CastByName(L"ListItem") != nullptr && child->IsShown() && child->IsEnabled();
    };
    if (!forward) {
        for (int i = start; i >= 0; --i) {
            if (selectable(i))
                return i;
        }
        return NearestSelectableItem(0, true);
    }
    for (int i = start; i < count; ++i) {
        if (selectable(i))
            return i;
    }
    return -1;
}

SIZE CContainerUI::GetScrollPos() const
{
    SIZE pos = {0, 0};
    if (IsBarShown(horizontalBar_))
        pos.cx = BarPosition(horizontalBar_);
    if (IsBarShown(verticalBar_))
        pos.cy = BarPosition(verticalBar_);
    return pos;
}

SIZE CContainerUI::GetScrollRange() const
{
    SIZE range = {0, 0};
    if (IsBarShown(horizontalBar_))
        range.cx = BarRange(horizontalBar_);
    if (IsBarShown(verticalBar_))
        range.cy = BarRange(verticalBar_);
    return range;
}

void CContainerUI::SetScrollPos(SIZE pos)
{
    int dx = 0;
    int dy = 0;
    if (IsBarShown(verticalBar_)) {
        const int before = BarPosition(verticalBar_);
        SetBarPosition(verticalBar_, pos.cy);
        dy = BarPosition(verticalBar_) - before;
    }
    if (IsBarShown(horizontalBar_)) {
        const int before = BarPosition(horizontalBar_);
        SetBarPosition(horizontalBar_, pos.cx);
        dx = BarPosition(horizontalBar_) - before;
    }
    if (dx == 0 && dy == 0)
        return;
    for (int i = 0; i < children_.GetSize(); ++i) {
        CControlUI* child = ChildAt(i);
        if (!child->IsShown() || child->IsFloating())
            continue;
        RECT rc = child->GetBounds();
        OffsetRect(&rc, -dx, -dy);
        child->SetBounds(rc);
    }
    Invalidate();
}

namespace {

// One line of scrolling: sideways this much, up and down one line of the
// default font more.
const int kLineStep = 8;

int VerticalLineStep(CUiManager* manager)
{
    if (manager == nullptr)
        return kLineStep;
    return manager->GetDefaultFontInfo()->metrics.tmHeight + kLineStep;
}

}  // namespace

void CContainerUI::LineUp()
{
    SIZE pos = GetScrollPos();
    pos.cy -= VerticalLineStep(manager_);
    SetScrollPos(pos);
}

void CContainerUI::LineDown()
{
    SIZE pos = GetScrollPos();
    pos.cy += VerticalLineStep(manager_);
    SetScrollPos(pos);
}

void CContainerUI::PageUp()
{
    SIZE pos = GetScrollPos();
    pos.cy -= GetClientArea().GetHeight();
    SetScrollPos(pos);
}

void CContainerUI::PageDown()
{
    SIZE pos = GetScrollPos();
    pos.cy += GetClientArea().GetHeight();
    SetScrollPos(pos);
}

void CContainerUI::ScrollToTop()
{
    SIZE pos = GetScrollPos();
    pos.cy = 0;
    SetScrollPos(pos);
}

void CContainerUI::ScrollToBottom()
{
    SIZE pos = GetScrollPos();
    pos.cy = GetScrollRange().cy;
    SetScrollPos(pos);
}

void CContainerUI::LineLeft()
{
    SIZE pos = GetScrollPos();
    pos.cx -= kLineStep;
    SetScrollPos(pos);
}

void CContainerUI::LineRight()
{
    SIZE pos = GetScrollPos();
    pos.cx += kLineStep;
    SetScrollPos(pos);
}

void CContainerUI::PageLeft()
{
    SIZE pos = GetScrollPos();
    pos.cx -= GetClientArea().GetWidth();
    SetScrollPos(pos);
}

void CContainerUI::PageRight()
{
    SIZE pos = GetScrollPos();
    pos.cx += GetClientArea().GetWidth();
    SetScrollPos(pos);
}

void CContainerUI::ScrollToLeft()
{
    SIZE pos = GetScrollPos();
    pos.cx = 0;
    SetScrollPos(pos);
}

void CContainerUI::ScrollToRight()
{
    SIZE pos = GetScrollPos();
    pos.cx = GetScrollRange().cx;
    SetScrollPos(pos);
}

void CContainerUI::EnableScrollBars(bool vertical, bool horizontal)
{
    CScrollBarUI** bars[] = {&verticalBar_, &horizontalBar_};
    const bool wanted[] = {vertical, horizontal};
    const wchar_t* classes[] = {L"VScrollBar", L"HScrollBar"};
    for (int i = 0; i < 2; ++i) {
        CScrollBarUI*& bar = *bars[i];
        if (!wanted[i]) {
            DeleteBar(bar);
            continue;
        }
        if (bar != nullptr)
            continue;
        bar = CreateBar(this, i == 1);
        CControlUI* control = BarControl(bar);
        if (control == nullptr)
            continue;
        control->AttachToManager(manager_, nullptr, false);
        const wchar_t* defaults = manager_ != nullptr ? manager_->GetClassDefaults(classes[i]) : nullptr;
        if (defaults != nullptr)
            control->ApplyAttributeString(defaults);
    }
    MarkForUpdate();
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const
{
    return verticalBar_;
}

CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const
{
    return horizontalBar_;
}

void CContainerUI::PlaceFloatingChild(int index)
{
    CControlUI* child = ChildAt(index);
    if (child == nullptr || !child->IsShown() || !child->IsFloating())
        return;
    const SIZE offset = child->GetFixedOffset();
    const int width = child->GetPreferredWidth();
    const int height = child->GetPreferredHeight();
    RECT rc;
    if (offset.cx >= 0) {
        rc.left = itemRect_.left + offset.cx;
        rc.right = rc.left + width;
    } else {
        rc.right = itemRect_.right + offset.cx;
        rc.left = rc.right - width;
    }
    if (offset.cy >= 0) {
        rc.top = itemRect_.top + offset.cy;
        rc.bottom = rc.top + height;
    } else {
        rc.bottom = itemRect_.bottom + offset.cy;
        rc.top = rc.bottom - height;
    }
    if (child->HasRelativeAnchor()) {
        const UiRelativeAnchor anchor = child->GetRelativeAnchor();
        const SIZE now = {itemRect_.GetWidth(), itemRect_.GetHeight()};
        if (anchor.parentSize.cx != 0) {
            const int growX = now.cx - anchor.parentSize.cx;
            const int growY = now.cy - anchor.parentSize.cy;
            OffsetRect(&rc, PercentOf(anchor.moveX, growX), PercentOf(anchor.moveY, growY));
            rc.right = rc.left + width + PercentOf(anchor.zoomX, growX);
            rc.bottom = rc.top + height + PercentOf(anchor.zoomY, growY);
        }
        child->SetAnchorParentSize(now);
    }
    child->SetBounds(rc);
}

void CContainerUI::UpdateScrollBars(const RECT& client, SIZE required)
{
    CControlUI* horizontal = BarControl(horizontalBar_);
    if (horizontal != nullptr && horizontal->IsShown()) {
        const RECT rc = {client.left, client.bottom, client.right, client.bottom + horizontal->GetPreferredHeight()};
        horizontal->SetBounds(rc);
    }
    CControlUI* vertical = BarControl(verticalBar_);
    if (vertical == nullptr)
        return;
    const int excess = required.cy - (client.bottom - client.top);
    const RECT self = itemRect_;
    if (excess > 0 && !vertical->IsShown()) {
        vertical->SetShown(true);
        SetBarRange(verticalBar_, excess);
        SetBarPosition(verticalBar_, 0);
        scrollRelayoutGuard_ = true;
        SetBounds(self);
        scrollRelayoutGuard_ = false;
        return;
    }
    if (!vertical->IsShown())
        return;
    if (excess > 0 || scrollRelayoutGuard_) {
        const RECT rc = {client.right, client.top, client.right + vertical->GetPreferredWidth(), client.bottom};
        vertical->SetBounds(rc);
        if (BarRange(verticalBar_) == excess)
            return;
        const int before = BarPosition(verticalBar_);
        SetBarRange(verticalBar_, excess < 0 ? -excess : excess);
        if (BarRange(verticalBar_) == 0) {
            vertical->SetShown(false);
            SetBarPosition(verticalBar_, 0);
        }
        if (BarPosition(verticalBar_) >= before)
            return;
        SetBounds(self);
        return;
    }
    vertical->SetShown(false);
    SetBarPosition(verticalBar_, 0);
    SetBarRange(verticalBar_, 0);
    SetBounds(self);
}

bool CContainerUI::PlaceApart(int index)
{
    CControlUI* child = ChildAt(index);
    if (child == nullptr || !child->IsShown())
        return true;
    if (!child->IsFloating())
        return false;
    PlaceFloatingChild(index);
    return true;
}

CUiRect CContainerUI::GetInsetRect() const
{
    return CUiRect(itemRect_.left + inset_.left, itemRect_.top + inset_.top, itemRect_.right - inset_.right,
                   itemRect_.bottom - inset_.bottom);
}

CUiRect CContainerUI::GetClientArea() const
{
    CUiRect client = GetInsetRect();
    if (IsBarShown(verticalBar_))
        client.right -= BarControl(verticalBar_)->GetPreferredWidth();
    if (IsBarShown(horizontalBar_))
        client.bottom -= BarControl(horizontalBar_)->GetPreferredHeight();
    return client;
}

}  // namespace UiLib
