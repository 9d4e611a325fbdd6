#include "ScrollBarUI.h"

#include "ContainerUI.h"
#include "UiAttrValues.h"
#include "UiRender.h"

#include <algorithm>
#include <cwchar>

namespace UiLib {

namespace {

// Presses held this many ticks start repeating (about 300 ms at 50 ms).
const int kRepeatDelayTicks = 5;
// Outline of a part that has no image to show.
const DWORD kPartOutlineColor = 0xFF85E4FF;
const int kPartOutlineWidth = 2;

bool IsTrue(const wchar_t* value)
{
    return value != nullptr && wcscmp(value, L"true") == 0;
}

int ReadInt(const wchar_t* value)
{
    long number = 0;
    ReadNumberList(value, &number, 1);
    return static_cast<int>(number);
}

bool IsZeroRect(const RECT& rc)
{
    return rc.left == 0 && rc.top == 0 && rc.right == 0 && rc.bottom == 0;
}

void SetBit(UINT& state, UINT bit, bool on)
{
    if (on)
        state |= bit;
    else
        state &= ~bit;
}

// The image of a part for its state: disabled, else pushed, else hot; null
// when the state has none of its own.
CUiString* StateImage(UiScrollBarImages& images, UINT state)
{
    if ((state & CScrollBarUI::kStateDisabled) != 0 && !images.disabled.IsEmpty())
        return &images.disabled;
    if ((state & CScrollBarUI::kStatePushed) != 0 && !images.pushed.IsEmpty())
        return &images.pushed;
    if ((state & CScrollBarUI::kStateHot) != 0 && !images.hot.IsEmpty())
        return &images.hot;
    return nullptr;
}

// Position along the bar of a point: y for a vertical bar, x for a horizontal one.
int Along(bool horizontal, const POINT& pt)
{
    return horizontal ? pt.x : pt.y;
}

int StartOf(bool horizontal, const RECT& rc)
{
    return horizontal ? rc.left : rc.top;
}

int EndOf(bool horizontal, const RECT& rc)
{
    return horizontal ? rc.right : rc.bottom;
}

// A rect given along and across the bar, turned into window axes.
RECT MakeRect(bool horizontal, int alongStart, int alongEnd, int acrossStart, int acrossEnd)
{
    if (horizontal)
        return RECT{alongStart, acrossStart, alongEnd, acrossEnd};
    return RECT{acrossStart, alongStart, acrossEnd, alongEnd};
}

}  // namespace

CScrollBarUI::CScrollBarUI()
    : horizontal_(false),
      range_(100),
      position_(0),
      lineSize_(8),
      owner_(nullptr),
      dragOrigin_(),
      dragStartPosition_(0),
      dragOffset_(0),
      repeatTicks_(0),
      button1Shown_(true),
      button1Rect_(),
      button1State_(0),
      button2Shown_(true),
      button2Rect_(),
      button2State_(0),
      thumbRect_(),
      thumbState_(0)
{
    fixedWidth_ = kDefaultThickness;
}

CScrollBarUI::~CScrollBarUI() = default;

const wchar_t* CScrollBarUI::GetTypeName() const
{
    return L"ScrollBarUI";
}

void* CScrollBarUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ScrollBar") == 0)
        return static_cast<CScrollBarUI*>(this);
    return CControlUI::CastByName(name);
}

CContainerUI* CScrollBarUI::GetOwner() const
{
    return owner_;
}

void CScrollBarUI::SetOwner(CContainerUI* owner)
{
    owner_ = owner;
}

bool CScrollBarUI::IsHorizontal() const
{
    return horizontal_;
}

void CScrollBarUI::SetHorizontal(bool horizontal)
{
    if (horizontal_ == horizontal)
        return;
    horizontal_ = horizontal;
    if (horizontal_ && fixedHeight_ == 0) {
        fixedWidth_ = 0;
        fixedHeight_ = kDefaultThickness;
    } else if (!horizontal_ && fixedWidth_ == 0) {
        fixedWidth_ = kDefaultThickness;
        fixedHeight_ = 0;
    }
    if (owner_ != nullptr)
        owner_->MarkForUpdate();
    else
        MarkParentForUpdate();
}

int CScrollBarUI::GetScrollRange() const
{
    return range_;
}

void CScrollBarUI::SetScrollRange(int range)
{
    range = std::max(range, 0);
    if (range_ == range)
        return;
    range_ = range;
    position_ = std::min(position_, range_);
    Relayout();
}

int CScrollBarUI::GetScrollPos() const
{
    return position_;
}

void CScrollBarUI::SetScrollPos(int pos)
{
    pos = std::max(0, std::min(pos, range_));
    if (position_ == pos)
        return;
    position_ = pos;
    Relayout();
}

int CScrollBarUI::GetLineSize() const
{
    return lineSize_;
}

void CScrollBarUI::SetLineSize(int size)
{
    lineSize_ = size;
}

bool CScrollBarUI::IsButton1Shown() const
{
    return button1Shown_;
}

void CScrollBarUI::SetShowButton1(bool show)
{
    button1Shown_ = show;
    Relayout();
}

bool CScrollBarUI::IsButton2Shown() const
{
    return button2Shown_;
}

void CScrollBarUI::SetShowButton2(bool show)
{
    button2Shown_ = show;
    Relayout();
}

const RECT& CScrollBarUI::GetButton1Rect() const
{
    return button1Rect_;
}

const RECT& CScrollBarUI::GetButton2Rect() const
{
    return button2Rect_;
}

const RECT& CScrollBarUI::GetThumbRect() const
{
    return thumbRect_;
}

UINT CScrollBarUI::GetButton1State() const
{
    return button1State_;
}

UINT CScrollBarUI::GetButton2State() const
{
    return button2State_;
}

UINT CScrollBarUI::GetThumbState() const
{
    return thumbState_;
}

void CScrollBarUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!IsEnabled()) {
        button1State_ = 0;
        button2State_ = 0;
        thumbState_ = 0;
    }
}

void CScrollBarUI::SetShown(bool visible)
{
    // A bar without owner is laid out by its parent like any control.
    if (owner_ == nullptr) {
        CControlUI::SetShown(visible);
        return;
    }
    // The owner lays itself out again and repaints when it shows or hides a bar.
    if (visible_ == visible)
        return;
    visible_ = visible;
    focused_ = false;
}

void CScrollBarUI::TakeFocus()
{
    if (owner_ != nullptr)
        owner_->TakeFocus();
    else
        CControlUI::TakeFocus();
}

// --- Layout ---

int CScrollBarUI::Thickness() const
{
    return horizontal_ ? fixedHeight_ : fixedWidth_;
}

int CScrollBarUI::LengthInPixels() const
{
    return horizontal_ ? itemRect_.GetWidth() : itemRect_.GetHeight();
}

void CScrollBarUI::Relayout()
{
    SetBounds(itemRect_);
}

void CScrollBarUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    const bool hor = horizontal_;
    const int thickness = Thickness();
    const int length = LengthInPixels();
    const int start = StartOf(hor, itemRect_);
    const int end = EndOf(hor, itemRect_);
    const int across = hor ? itemRect_.top : itemRect_.left;
    const int shownButtons = (button1Shown_ ? 1 : 0) + (button2Shown_ ? 1 : 0);
    const int track = length - thickness * shownButtons;

    if (thickness >= track) {
        // Too short for a thumb: the buttons share the length.
        const int buttonLength = std::min(thickness, length / 2);
        button1Rect_ = button1Shown_ ? MakeRect(hor, start, start + buttonLength, across, across + thickness)
                                     : MakeRect(hor, start, start, across, across);
        button2Rect_ = button2Shown_ ? MakeRect(hor, end - buttonLength, end, across, across + thickness)
                                     : MakeRect(hor, end, end, across, across);
        thumbRect_ = RECT{0, 0, 0, 0};
        return;
    }

    button1Rect_ = button1Shown_ ? MakeRect(hor, start, start + thickness, across, across + thickness)
                                 : MakeRect(hor, start, start, across, across);
    button2Rect_ = button2Shown_ ? MakeRect(hor, end - thickness, end, across, across + thickness)
                                 : MakeRect(hor, end, end, across, across);
    const int trackStart = EndOf(hor, button1Rect_);
    const int trackEnd = StartOf(hor, button2Rect_);
    if (range_ < 1) {
        thumbRect_ = MakeRect(hor, trackStart, trackEnd, across, across + thickness);
        return;
    }
    // Wide products: a skin may give any range.
    const int thumbLength = std::max(thickness, static_cast<int>(static_cast<long long>(length) * track /
                                                                 (static_cast<long long>(length) + range_)));
    int thumbStart = static_cast<int>(static_cast<long long>(track - thumbLength) * position_ / range_) + trackStart;
    if (thumbStart + thumbLength > trackEnd)
        thumbStart = trackEnd - thumbLength;
    thumbRect_ = MakeRect(hor, thumbStart, thumbStart + thumbLength, across, across + thickness);
}

// --- Events ---

void CScrollBarUI::ProcessEvent(UiEvent& event)
{
    const bool mouseEvent = event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast;
    bool handled = !(mouseEvent && !IsMouseEnabled());
    if (handled) {
        switch (event.type) {
        case kUiEventButtonDown:
        case kUiEventDoubleClick:
            if (IsEnabled())
                OnPress(event.mouse);
            break;
        case kUiEventButtonUp:
            OnRelease();
            break;
        case kUiEventMouseMove:
            OnMouseMove(event.mouse);
            break;
        case kUiEventContextMenu:
        case kUiEventKillFocus:
        case kUiEventSetFocus:
            break;
        case kUiEventMouseEnter:
            if (IsEnabled()) {
                button1State_ |= kStateHot;
                button2State_ |= kStateHot;
                if (PtInRect(&thumbRect_, event.mouse))
                    thumbState_ |= kStateHot;
                Invalidate();
            }
            break;
        case kUiEventMouseLeave:
            if (IsEnabled()) {
                button1State_ &= ~kStateHot;
                button2State_ &= ~kStateHot;
                thumbState_ &= ~kStateHot;
                Invalidate();
            }
            break;
        case kUiEventTimer:
            if (event.wParam == static_cast<WPARAM>(kRepeatTimerId))
                OnTick();
            else
                handled = false;
            break;
        default:
            handled = false;
            break;
        }
    }
    if (handled)
        return;
    if (owner_ != nullptr)
        owner_->ProcessEvent(event);
    else
        CControlUI::ProcessEvent(event);
}

void CScrollBarUI::OnPress(const POINT& pt)
{
    dragOffset_ = 0;
    repeatTicks_ = 0;
    if (manager_ != nullptr)
        manager_->SetTimer(this, kRepeatTimerId, kRepeatPeriod);

    bool acted = true;
    if (button1Shown_ && PtInRect(&button1Rect_, pt)) {
        button1State_ |= kStatePushed;
        StepLine(false);
    } else if (button2Shown_ && PtInRect(&button2Rect_, pt)) {
        button2State_ |= kStatePushed;
        StepLine(true);
    } else if (PtInRect(&thumbRect_, pt)) {
        thumbState_ |= kStatePushed | kStateCaptured;
        dragOrigin_ = pt;
        dragStartPosition_ = position_;
        acted = false;
    } else {
        // A bar too short for a thumb has an empty thumb rect at the origin,
        // so every point of it lies after the thumb.
        StepPage(Along(horizontal_, pt) >= StartOf(horizontal_, thumbRect_));
    }
    Invalidate();
    if (acted)
        NotifyScroll();
}

void CScrollBarUI::OnRelease()
{
    repeatTicks_ = 0;
    dragOffset_ = 0;
    if (manager_ != nullptr)
        manager_->KillTimer(this, kRepeatTimerId);
    if ((thumbState_ & kStateCaptured) != 0)
        thumbState_ &= ~(kStatePushed | kStateCaptured);
    else if ((button1State_ & kStatePushed) != 0)
        button1State_ &= ~kStatePushed;
    else if ((button2State_ & kStatePushed) != 0)
        button2State_ &= ~kStatePushed;
    Invalidate();
}

void CScrollBarUI::OnMouseMove(const POINT& pt)
{
    if ((thumbState_ & kStateCaptured) != 0) {
        // The pixels the thumb can really travel stand for the whole range:
        // a hidden button leaves its length to the track.
        const int shownButtons = (button1Shown_ ? 1 : 0) + (button2Shown_ ? 1 : 0);
        const int thumbLength = EndOf(horizontal_, thumbRect_) - StartOf(horizontal_, thumbRect_);
        const int travel = LengthInPixels() - Thickness() * shownButtons - thumbLength;
        if (travel > 0) {
            const long long moved = Along(horizontal_, pt) - Along(horizontal_, dragOrigin_);
            dragOffset_ = static_cast<int>(moved * range_ / travel);
        }
        return;
    }
    const UINT before = thumbState_;
    SetBit(thumbState_, kStateHot, IsEnabled() && PtInRect(&thumbRect_, pt));
    if (thumbState_ != before)
        Invalidate();
}

void CScrollBarUI::OnTick()
{
    ++repeatTicks_;
    bool acted = false;
    if ((thumbState_ & kStateCaptured) != 0) {
        const int before = position_;
        MoveThumbTo(dragStartPosition_ + dragOffset_);
        acted = position_ != before;
        Invalidate();
    } else if (repeatTicks_ <= kRepeatDelayTicks) {
        return;
    } else if ((button1State_ & kStatePushed) != 0) {
        StepLine(false);
        acted = true;
    } else if ((button2State_ & kStatePushed) != 0) {
        StepLine(true);
        acted = true;
    } else if (manager_ != nullptr) {
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        ::ScreenToClient(manager_->GetWindow(), &cursor);
        const int at = Along(horizontal_, cursor);
        if (at < StartOf(horizontal_, thumbRect_)) {
            StepPage(false);
            acted = true;
        } else if (at >= EndOf(horizontal_, thumbRect_)) {
            StepPage(true);
            acted = true;
        }
    }
    if (acted)
        NotifyScroll();
}

void CScrollBarUI::StepLine(bool forward)
{
    if (owner_ == nullptr) {
        SetScrollPos(forward ? position_ + lineSize_ : position_ - lineSize_);
    } else if (horizontal_) {
        forward ? owner_->LineRight() : owner_->LineLeft();
    } else {
        forward ? owner_->LineDown() : owner_->LineUp();
    }
}

void CScrollBarUI::StepPage(bool forward)
{
    if (owner_ == nullptr) {
        const int page = LengthInPixels();
        SetScrollPos(forward ? position_ + page : position_ - page);
    } else if (horizontal_) {
        forward ? owner_->PageRight() : owner_->PageLeft();
    } else {
        forward ? owner_->PageDown() : owner_->PageUp();
    }
}

void CScrollBarUI::MoveThumbTo(int pos)
{
    if (owner_ == nullptr) {
        SetScrollPos(pos);
        return;
    }
    SIZE ownerPos = owner_->GetScrollPos();
    if (horizontal_)
        ownerPos.cx = pos;
    else
        ownerPos.cy = pos;
    owner_->SetScrollPos(ownerPos);
}

void CScrollBarUI::NotifyScroll()
{
    if (owner_ == nullptr && manager_ != nullptr)
        manager_->SendNotify(this, L"scroll");
}

// --- Attributes ---

void CScrollBarUI::SetImage(CUiString& slot, const wchar_t* image)
{
    slot = image != nullptr ? image : L"";
    Invalidate();
}

void CScrollBarUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    struct Part {
        const wchar_t* prefix;
        UiScrollBarImages* images;
    };
    const Part parts[] = {{L"button1", &button1Images_},
                          {L"button2", &button2Images_},
                          {L"thumb", &thumbImages_},
                          {L"rail", &railImages_},
                          {L"bk", &backgroundImages_}};
    struct State {
        const wchar_t* suffix;
        CUiString UiScrollBarImages::*image;
    };
    static const State kStates[] = {{L"normalimage", &UiScrollBarImages::normal},
                                    {L"hotimage", &UiScrollBarImages::hot},
                                    {L"pushedimage", &UiScrollBarImages::pushed},
                                    {L"disabledimage", &UiScrollBarImages::disabled}};
    for (const Part& part : parts) {
        const size_t prefixLength = wcslen(part.prefix);
        if (wcsncmp(name, part.prefix, prefixLength) != 0)
            continue;
        for (const State& state : kStates) {
            if (wcscmp(name + prefixLength, state.suffix) == 0) {
                SetImage(part.images->*state.image, value);
                return;
            }
        }
    }
    if (wcscmp(name, L"hor") == 0)
        SetHorizontal(IsTrue(value));
    else if (wcscmp(name, L"linesize") == 0)
        SetLineSize(ReadInt(value));
    else if (wcscmp(name, L"range") == 0)
        SetScrollRange(ReadInt(value));
    else if (wcscmp(name, L"value") == 0)
        SetScrollPos(ReadInt(value));
    else if (wcscmp(name, L"showbutton1") == 0)
        SetShowButton1(IsTrue(value));
    else if (wcscmp(name, L"showbutton2") == 0)
        SetShowButton2(IsTrue(value));
    else
        CControlUI::SetAttribute(name, value);
}

// --- Painting ---

void CScrollBarUI::Paint(HDC hdc, const RECT& dirty)
{
    RECT paint;
    if (!IntersectRect(&paint, &dirty, &itemRect_))
        return;
    paintRect_ = paint;

    SetBit(thumbState_, kStateDisabled, !IsEnabled());
    CUiString* background = StateImage(backgroundImages_, thumbState_);
    if (background == nullptr)
        background = &backgroundImages_.normal;
    if (!background->IsEmpty() && !PaintImageSpec(hdc, background->GetData()))
        background->Empty();

    if (button1Shown_)
        PaintPart(hdc, button1Rect_, button1State_, button1Images_);
    if (button2Shown_)
        PaintPart(hdc, button2Rect_, button2State_, button2Images_);
    if (!IsZeroRect(thumbRect_)) {
        PaintPart(hdc, thumbRect_, thumbState_, thumbImages_);
        PaintRail(hdc);
    }
}

bool CScrollBarUI::PaintPart(HDC hdc, const RECT& part, UINT& state, UiScrollBarImages& images)
{
    SetBit(state, kStateDisabled, !IsEnabled());
    modifier_.Format(L"dest='%d,%d,%d,%d'", part.left - itemRect_.left, part.top - itemRect_.top,
                     part.right - itemRect_.left, part.bottom - itemRect_.top);
    CUiString* candidates[] = {StateImage(images, state), &images.normal};
    for (CUiString* image : candidates) {
        if (image == nullptr || image->IsEmpty())
            continue;
        if (PaintImageSpec(hdc, image->GetData(), modifier_.GetData()))
            return true;
        image->Empty();
    }
    CUiRender::DrawRectOutline(hdc, part, kPartOutlineWidth, kPartOutlineColor);
    return false;
}

void CScrollBarUI::PaintRail(HDC hdc)
{
    const int thickness = Thickness();
    const int centre = (StartOf(horizontal_, thumbRect_) + EndOf(horizontal_, thumbRect_)) / 2;
    const int acrossStart = horizontal_ ? thumbRect_.top : thumbRect_.left;
    const int acrossEnd = horizontal_ ? thumbRect_.bottom : thumbRect_.right;
    const RECT rail =
        MakeRect(horizontal_, centre - thickness / 2, centre - thickness / 2 + thickness, acrossStart, acrossEnd);
    modifier_.Format(L"dest='%d,%d,%d,%d'", rail.left - itemRect_.left, rail.top - itemRect_.top,
                     rail.right - itemRect_.left, rail.bottom - itemRect_.top);
    CUiString* image = StateImage(railImages_, thumbState_);
    if (image == nullptr)
        image = &railImages_.normal;
    if (!image->IsEmpty() && !PaintImageSpec(hdc, image->GetData(), modifier_.GetData()))
        image->Empty();
}

// --- Image setters ---

// clang-format off
void CScrollBarUI::SetButton1NormalImage(const wchar_t* image) { SetImage(button1Images_.normal, image); }
void CScrollBarUI::SetButton1HotImage(const wchar_t* image) { SetImage(button1Images_.hot, image); }
void CScrollBarUI::SetButton1PushedImage(const wchar_t* image) { SetImage(button1Images_.pushed, image); }
void CScrollBarUI::SetButton1DisabledImage(const wchar_t* image) { SetImage(button1Images_.disabled, image); }

void CScrollBarUI::SetButton2NormalImage(const wchar_t* image) { SetImage(button2Images_.normal, image); }
void CScrollBarUI::SetButton2HotImage(const wchar_t* image) { SetImage(button2Images_.hot, image); }
void CScrollBarUI::SetButton2PushedImage(const wchar_t* image) { SetImage(button2Images_.pushed, image); }
void CScrollBarUI::SetButton2DisabledImage(const wchar_t* image) { SetImage(button2Images_.disabled, image); }

void CScrollBarUI::SetThumbNormalImage(const wchar_t* image) { SetImage(thumbImages_.normal, image); }
void CScrollBarUI::SetThumbHotImage(const wchar_t* image) { SetImage(thumbImages_.hot, image); }
void CScrollBarUI::SetThumbPushedImage(const wchar_t* image) { SetImage(thumbImages_.pushed, image); }
void CScrollBarUI::SetThumbDisabledImage(const wchar_t* image) { SetImage(thumbImages_.disabled, image); }

void CScrollBarUI::SetRailNormalImage(const wchar_t* image) { SetImage(railImages_.normal, image); }
void CScrollBarUI::SetRailHotImage(const wchar_t* image) { SetImage(railImages_.hot, image); }
void CScrollBarUI::SetRailPushedImage(const wchar_t* image) { SetImage(railImages_.pushed, image); }
void CScrollBarUI::SetRailDisabledImage(const wchar_t* image) { SetImage(railImages_.disabled, image); }

void CScrollBarUI::SetBkNormalImage(const wchar_t* image) { SetImage(backgroundImages_.normal, image); }
void CScrollBarUI::SetBkHotImage(const wchar_t* image) { SetImage(backgroundImages_.hot, image); }
void CScrollBarUI::SetBkPushedImage(const wchar_t* image) { SetImage(backgroundImages_.pushed, image); }
void CScrollBarUI::SetBkDisabledImage(const wchar_t* image) { SetImage(backgroundImages_.disabled, image); }
// clang-format on

}  // namespace UiLib
