#include "ControlUI.h"

#include "UiRender.h"

#include <algorithm>

namespace UiLib {

namespace {

const int kDefaultMaxSize = 9999;
const int kDefaultTooltipWidth = 300;

// A floating control is placed by itself; any other one by its parent's layout.
void MarkLayoutChanged(CControlUI& control)
{
    if (control.IsFloating())
        control.MarkForUpdate();
    else
        control.MarkParentForUpdate();
}

// Stores a size limit unless it is negative or already in place.
bool StoreLimit(int& field, int value)
{
    if (value < 0 || field == value)
        return false;
    field = value;
    return true;
}

// Stores value and repaints when it changed.
template <typename T>
void StoreAndRepaint(CControlUI& control, T& field, T value)
{
    if (field == value)
        return;
    field = value;
    control.Invalidate();
}

// Narrows rc to what every ancestor of control leaves visible; false when an
// ancestor hides all of it (scrolled out of view, for example).
bool ClipToAncestors(const CControlUI* control, RECT& rc)
{
    for (const CControlUI* parent = control->GetParentControl(); parent != nullptr;
         parent = parent->GetParentControl()) {
        RECT clipped;
        if (!IntersectRect(&clipped, &rc, &parent->GetBounds()))
            return false;
        rc = clipped;
    }
    return true;
}

}  // namespace

CControlUI::CControlUI()
    : manager_(nullptr),
      parent_(nullptr),
      updateNeeded_(true),
      contextMenu_(false),
      fixedX_(0),
      fixedY_(0),
      fixedWidth_(0),
      fixedHeight_(0),
      minWidth_(0),
      minHeight_(0),
      maxWidth_(kDefaultMaxSize),
      maxHeight_(kDefaultMaxSize),
      visible_(true),
      innerVisible_(true),
      enabled_(true),
      mouseEnabled_(true),
      keyboardEnabled_(true),
      focused_(false),
      floating_(false),
      sizeEventGuard_(false),
      anchor_(),
      shortcut_(0),
      userTag_(0),
      backgroundColor_(0),
      backgroundColor2_(0),
      backgroundColor3_(0),
      borderColor_(0),
      focusBorderColor_(0),
      colorHsl_(false),
      borderSize_(0),
      borderStyle_(0),
      tooltipWidth_(kDefaultTooltipWidth),
      borderRound_(),
      leftBorderSize_(0),
      topBorderSize_(0),
      rightBorderSize_(0),
      bottomBorderSize_(0)
{
}

CControlUI::~CControlUI()
{
    if (OnDestroy.HasDelegates())
        OnDestroy.Invoke(this);
    // Nothing the manager keeps (focus, hover, capture, timers, names, queued
    // notifications) may point at a control that is gone.
    if (manager_ != nullptr)
        manager_->ForgetControl(this);
}

// --- Identity and tree ---

CUiString CControlUI::GetName() const
{
    return name_;
}

void CControlUI::SetName(const wchar_t* name)
{
    name_ = name != nullptr ? name : L"";
}

const wchar_t* CControlUI::GetTypeName() const
{
    return L"ControlUI";
}

void* CControlUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Control") == 0)
        return this;
    return nullptr;
}

UINT CControlUI::GetInputFlags()
{
    return 0;
}

bool CControlUI::TryActivate()
{
    return IsShown() && IsEnabled();
}

CUiManager* CControlUI::GetOwnerManager() const
{
    return manager_;
}

void CControlUI::AttachToManager(CUiManager* manager, CControlUI* parent, bool init)
{
    manager_ = manager;
    parent_ = parent;
    if (init && parent != nullptr)
        RunInit();
}

CControlUI* CControlUI::GetParentControl() const
{
    return parent_;
}

void CControlUI::RunInit()
{
    InitHook();
    if (OnInit.HasDelegates())
        OnInit.Invoke(this);
}

void CControlUI::InitHook()
{
}

CUiString CControlUI::GetVirtualWindow() const
{
    if (!virtualWindow_.IsEmpty())
        return virtualWindow_;
    if (parent_ != nullptr)
        return parent_->GetVirtualWindow();
    return CUiString();
}

void CControlUI::SetVirtualWindow(const wchar_t* name)
{
    virtualWindow_ = name != nullptr ? name : L"";
    if (manager_ != nullptr)
        manager_->SetUseVirtualWnd(true);
}

// --- Texts and user data ---

CUiString CControlUI::GetText() const
{
    return text_;
}

void CControlUI::SetText(const wchar_t* text)
{
    const wchar_t* value = text != nullptr ? text : L"";
    if (text_ == value)
        return;
    text_ = value;
    Invalidate();
}

CUiString CControlUI::GetTooltip() const
{
    return tooltip_;
}

void CControlUI::SetTooltip(const wchar_t* text)
{
    // Skins cannot hold a line break inside an attribute value, so they write
    // "<n>" where the tooltip breaks its line.
    CUiString tooltip = text != nullptr ? text : L"";
    tooltip.Replace(L"<n>", L"\r\n");
    tooltip_ = tooltip;
}

void CControlUI::SetTooltipWidth(int width)
{
    tooltipWidth_ = width;
}

int CControlUI::GetTooltipWidth() const
{
    return tooltipWidth_;
}

wchar_t CControlUI::GetShortcutKey() const
{
    return shortcut_;
}

void CControlUI::SetShortcutKey(wchar_t key)
{
    shortcut_ = key;
}

bool CControlUI::HasContextMenu() const
{
    return contextMenu_;
}

void CControlUI::SetContextMenu(bool menu)
{
    contextMenu_ = menu;
}

const CUiString& CControlUI::GetUserText() const
{
    return userText_;
}

void CControlUI::SetUserText(const wchar_t* text)
{
    userText_ = text != nullptr ? text : L"";
}

int CControlUI::GetUserTag() const
{
    return userTag_;
}

void CControlUI::SetUserTag(int tag)
{
    userTag_ = tag;
}

// --- Geometry and layout wishes ---

const RECT& CControlUI::GetBounds() const
{
    return itemRect_;
}

void CControlUI::SetBounds(const RECT& rc)
{
    CUiRect next(rc.left, rc.top, std::max(rc.right, rc.left), std::max(rc.bottom, rc.top));
    CUiRect dirty = IsRectEmpty(&itemRect_) ? next : itemRect_;
    itemRect_ = next;
    if (manager_ == nullptr)
        return;
    if (!sizeEventGuard_) {
        // A size handler may move the control again; the guard keeps that
        // from calling the handlers once more.
        sizeEventGuard_ = true;
        if (OnSize.HasDelegates())
            OnSize.Invoke(this);
        sizeEventGuard_ = false;
    }
    if (floating_ && parent_ != nullptr) {
        const RECT& outer = parent_->GetBounds();
        fixedX_ = fixedX_ < 0 ? itemRect_.right - outer.right : itemRect_.left - outer.left;
        fixedY_ = fixedY_ < 0 ? itemRect_.bottom - outer.bottom : itemRect_.top - outer.top;
        fixedWidth_ = itemRect_.GetWidth();
        fixedHeight_ = itemRect_.GetHeight();
    }
    updateNeeded_ = false;
    dirty.Union(itemRect_);
    RECT area = dirty;
    if (ClipToAncestors(this, area))
        manager_->Invalidate(area);
}

int CControlUI::GetBoundsWidth() const
{
    return itemRect_.GetWidth();
}

int CControlUI::GetBoundsHeight() const
{
    return itemRect_.GetHeight();
}

int CControlUI::GetBoundsLeft() const
{
    return itemRect_.left;
}

int CControlUI::GetBoundsTop() const
{
    return itemRect_.top;
}

RECT CControlUI::GetPaddingRect() const
{
    return padding_;
}

void CControlUI::SetPaddingRect(const RECT& padding)
{
    padding_ = padding;
    MarkParentForUpdate();
}

SIZE CControlUI::GetFixedOffset() const
{
    SIZE offset = {fixedX_, fixedY_};
    return offset;
}

void CControlUI::SetFixedOffset(SIZE offset)
{
    fixedX_ = offset.cx;
    fixedY_ = offset.cy;
    MarkLayoutChanged(*this);
}

int CControlUI::GetPreferredWidth() const
{
    return fixedWidth_;
}

void CControlUI::SetPreferredWidth(int width)
{
    if (width < 0)
        return;
    fixedWidth_ = width;
    MarkLayoutChanged(*this);
}

int CControlUI::GetPreferredHeight() const
{
    return fixedHeight_;
}

void CControlUI::SetPreferredHeight(int height)
{
    if (height < 0)
        return;
    fixedHeight_ = height;
    MarkLayoutChanged(*this);
}

int CControlUI::GetMinWidth() const
{
    return minWidth_;
}

void CControlUI::SetMinWidth(int width)
{
    if (StoreLimit(minWidth_, width))
        MarkLayoutChanged(*this);
}

int CControlUI::GetMaxWidth() const
{
    return maxWidth_;
}

void CControlUI::SetMaxWidth(int width)
{
    if (StoreLimit(maxWidth_, width))
        MarkLayoutChanged(*this);
}

int CControlUI::GetMinHeight() const
{
    return minHeight_;
}

void CControlUI::SetMinHeight(int height)
{
    if (StoreLimit(minHeight_, height))
        MarkLayoutChanged(*this);
}

int CControlUI::GetMaxHeight() const
{
    return maxHeight_;
}

void CControlUI::SetMaxHeight(int height)
{
    if (StoreLimit(maxHeight_, height))
        MarkLayoutChanged(*this);
}

void CControlUI::SetRelativeAnchor(int moveX, int moveY, int zoomX, int zoomY)
{
    anchor_.moveX = moveX;
    anchor_.moveY = moveY;
    anchor_.zoomX = zoomX;
    anchor_.zoomY = zoomY;
    anchor_.enabled = true;
}

void CControlUI::SetAnchorParentSize(SIZE size)
{
    anchor_.parentSize = size;
}

const UiRelativeAnchor& CControlUI::GetRelativeAnchor() const
{
    return anchor_;
}

bool CControlUI::HasRelativeAnchor() const
{
    return anchor_.enabled;
}

SIZE CControlUI::MeasureSize(SIZE /*available*/)
{
    SIZE size = {fixedWidth_, fixedHeight_};
    return size;
}

// --- State ---

bool CControlUI::IsShown() const
{
    return visible_ && innerVisible_;
}

void CControlUI::SetShown(bool visible)
{
    if (visible_ == visible)
        return;
    const bool wasShown = IsShown();
    visible_ = visible;
    focused_ = false;
    if (!visible && manager_ != nullptr && manager_->GetFocus() == this)
        manager_->SetFocus(nullptr);
    if (IsShown() != wasShown)
        MarkParentForUpdate();
}

void CControlUI::SetShownByParent(bool visible)
{
    innerVisible_ = visible;
    if (!visible && manager_ != nullptr && manager_->GetFocus() == this)
        manager_->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const
{
    return enabled_;
}

void CControlUI::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const
{
    return mouseEnabled_;
}

void CControlUI::SetMouseEnabled(bool enabled)
{
    mouseEnabled_ = enabled;
}

bool CControlUI::IsKeyboardEnabled() const
{
    return keyboardEnabled_;
}

void CControlUI::SetKeyboardEnabled(bool enabled)
{
    keyboardEnabled_ = enabled;
}

bool CControlUI::HasFocus() const
{
    return focused_;
}

void CControlUI::TakeFocus()
{
    if (manager_ != nullptr)
        manager_->SetFocus(this);
}

bool CControlUI::IsFloating() const
{
    return floating_;
}

void CControlUI::SetFloating(bool floating)
{
    if (floating_ == floating)
        return;
    floating_ = floating;
    MarkParentForUpdate();
}

// --- Appearance ---

void CControlUI::SetBackgroundColor(DWORD color)
{
    StoreAndRepaint(*this, backgroundColor_, color);
}

void CControlUI::SetBackgroundColor2(DWORD color)
{
    StoreAndRepaint(*this, backgroundColor2_, color);
}

void CControlUI::SetBackgroundColor3(DWORD color)
{
    StoreAndRepaint(*this, backgroundColor3_, color);
}

void CControlUI::SetBackgroundImage(const wchar_t* image)
{
    const wchar_t* value = image != nullptr ? image : L"";
    if (backgroundImage_ == value)
        return;
    backgroundImage_ = value;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD color)
{
    StoreAndRepaint(*this, borderColor_, color);
}

void CControlUI::SetFocusBorderColor(DWORD color)
{
    StoreAndRepaint(*this, focusBorderColor_, color);
}

void CControlUI::SetColorHsl(bool hsl)
{
    StoreAndRepaint(*this, colorHsl_, hsl);
}

void CControlUI::SetBorderSize(int size)
{
    StoreAndRepaint(*this, borderSize_, size);
}

void CControlUI::SetBorderSides(const RECT& sides)
{
    leftBorderSize_ = sides.left;
    topBorderSize_ = sides.top;
    rightBorderSize_ = sides.right;
    bottomBorderSize_ = sides.bottom;
    Invalidate();
}

void CControlUI::SetLeftBorderSize(int size)
{
    leftBorderSize_ = size;
    Invalidate();
}

void CControlUI::SetTopBorderSize(int size)
{
    topBorderSize_ = size;
    Invalidate();
}

void CControlUI::SetRightBorderSize(int size)
{
    rightBorderSize_ = size;
    Invalidate();
}

void CControlUI::SetBottomBorderSize(int size)
{
    bottomBorderSize_ = size;
    Invalidate();
}

void CControlUI::SetBorderStyle(int style)
{
    borderStyle_ = style;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round)
{
    borderRound_ = round;
    Invalidate();
}

DWORD CControlUI::ApplyHslToColor(DWORD color) const
{
    if (!colorHsl_)
        return color;
    short hue = 0;
    short saturation = 0;
    short lightness = 0;
    CUiManager::GetHsl(&hue, &saturation, &lightness);
    return CUiRender::AdjustColorHsl(color, hue, saturation, lightness);
}

// --- Invalidation ---

void CControlUI::Invalidate()
{
    if (!IsShown() || manager_ == nullptr)
        return;
    RECT area = itemRect_;
    if (ClipToAncestors(this, area))
        manager_->Invalidate(area);
}

void CControlUI::MarkForUpdate()
{
    if (!IsShown())
        return;
    updateNeeded_ = true;
    Invalidate();
    if (manager_ != nullptr)
        manager_->MarkForUpdate();
}

void CControlUI::MarkParentForUpdate()
{
    if (parent_ != nullptr) {
        parent_->MarkForUpdate();
        parent_->Invalidate();
    } else {
        MarkForUpdate();
    }
    if (manager_ != nullptr)
        manager_->MarkForUpdate();
}

// --- Events ---

CControlUI* CControlUI::Search(UiFindControlProc proc, void* data, UINT flags)
{
    if ((flags & kUiFindVisible) != 0 && !IsShown())
        return nullptr;
    if ((flags & kUiFindEnabled) != 0 && !IsEnabled())
        return nullptr;
    if ((flags & kUiFindHitTest) != 0) {
        const POINT* pt = static_cast<const POINT*>(data);
        if (!mouseEnabled_ || pt == nullptr || !PtInRect(&itemRect_, *pt))
            return nullptr;
    }
    return proc != nullptr ? proc(this, data) : nullptr;
}

void CControlUI::HandleEvent(UiEvent& event)
{
    if (OnEvent.Invoke(&event))
        ProcessEvent(event);
}

void CControlUI::ProcessEvent(UiEvent& event)
{
    switch (event.type) {
    case kUiEventContextMenu:
        if (contextMenu_ && manager_ != nullptr) {
            manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    case kUiEventKillFocus:
        focused_ = false;
        Invalidate();
        return;
    case kUiEventSetFocus:
        focused_ = true;
        Invalidate();
        return;
    case kUiEventSetCursor:
        ::SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return;
    case kUiEventTimer:
        if (manager_ != nullptr)
            manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
        return;
    default:
        break;
    }
    if (parent_ != nullptr)
        parent_->ProcessEvent(event);
}

}  // namespace UiLib
