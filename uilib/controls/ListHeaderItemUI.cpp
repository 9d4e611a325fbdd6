#include "ListHeaderItemUI.h"

#include "UiAttrValues.h"
#include "UiListInfo.h"
#include "UiRender.h"

#include <climits>
#include <cwchar>

namespace UiLib {

namespace {

const int kDefaultSeparatorWidth = 4;
// How far the grip reaches into the item beyond the separator itself.
const int kGripWidth = 4;
const int kMinimumWidth = 16;
const int kTitleMargin = 14;

}  // namespace

CListHeaderItemUI::CListHeaderItemUI()
    : lastMouse_(),
      draggable_(true),
      state_(0),
      separatorWidth_(kDefaultSeparatorWidth),
      textColor_(0),
      font_(-1),
      textStyle_(DT_CENTER | DT_VCENTER | DT_SINGLELINE),
      showHtml_(false),
      textPadding_(2, 0, 2, 0)
{
    minWidth_ = kMinimumWidth;
}

const wchar_t* CListHeaderItemUI::GetTypeName() const
{
    return L"ListHeaderItemUI";
}

void* CListHeaderItemUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ListHeaderItem") == 0)
        return static_cast<CListHeaderItemUI*>(this);
    return CControlUI::CastByName(name);
}

UINT CListHeaderItemUI::GetInputFlags()
{
    return IsEnabled() && separatorWidth_ != 0 ? kUiFlagSetCursor : 0;
}

void CListHeaderItemUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!IsEnabled())
        state_ = 0;
}

void CListHeaderItemUI::SetDraggable(bool draggable)
{
    draggable_ = draggable;
    if (!draggable)
        state_ &= ~kStateDragging;
}

void CListHeaderItemUI::SetSeparatorWidth(int width)
{
    separatorWidth_ = width;
    Invalidate();
}

void CListHeaderItemUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    struct ImageKey {
        const wchar_t* name;
        CUiString* slot;
    };
    const ImageKey images[] = {{L"normalimage", &normalImage_},
                               {L"hotimage", &hotImage_},
                               {L"pushedimage", &pushedImage_},
                               {L"focusedimage", &focusedImage_},
                               {L"sepimage", &separatorImage_}};
    if (name == nullptr || value == nullptr)
        return;
    for (const ImageKey& key : images) {
        if (wcscmp(name, key.name) == 0) {
            *key.slot = value;
            Invalidate();
            return;
        }
    }
    if (wcscmp(name, L"dragable") == 0) {
        SetDraggable(IsTrueValue(value));
    } else if (wcscmp(name, L"sepwidth") == 0) {
        SetSeparatorWidth(ReadIntValue(value));
    } else if (wcscmp(name, L"align") == 0) {
        textStyle_ = ApplyAlignValue(textStyle_, value);
    } else if (wcscmp(name, L"endellipsis") == 0) {
        textStyle_ = ApplyEndEllipsisValue(textStyle_, value);
    } else if (wcscmp(name, L"font") == 0) {
        font_ = ReadIntValue(value);
    } else if (wcscmp(name, L"textcolor") == 0) {
        textColor_ = ReadHexColor(value);
    } else if (wcscmp(name, L"textpadding") == 0) {
        textPadding_ = ReadRectValue(value);
    } else if (wcscmp(name, L"showhtml") == 0) {
        const bool showHtml = IsTrueValue(value);
        if (showHtml != showHtml_) {
            showHtml_ = showHtml;
            Invalidate();
        }
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

RECT CListHeaderItemUI::GetSeparatorRect() const
{
    RECT rc = itemRect_;
    // Wide arithmetic: the width comes from the skin. A band wider than the
    // item reaches past its other edge.
    if (separatorWidth_ >= 0)
        rc.left = static_cast<LONG>(static_cast<long long>(rc.right) - separatorWidth_);
    else
        rc.right = static_cast<LONG>(static_cast<long long>(rc.left) - separatorWidth_);
    return rc;
}

RECT CListHeaderItemUI::SeparatorZone() const
{
    RECT zone = GetSeparatorRect();
    if (separatorWidth_ >= 0)
        zone.left -= kGripWidth;
    else
        zone.right += kGripWidth;
    return zone;
}

bool CListHeaderItemUI::InSeparatorZone(POINT pt) const
{
    const RECT zone = SeparatorZone();
    return PtInRect(&zone, pt) != FALSE;
}

void CListHeaderItemUI::MarkListForUpdate()
{
    CControlUI* list = parent_ != nullptr ? parent_->GetParentControl() : nullptr;
    if (list != nullptr)
        list->MarkForUpdate();
    else
        MarkParentForUpdate();
}

void CListHeaderItemUI::OnPress(const UiEvent& event)
{
    if (!InSeparatorZone(event.mouse)) {
        state_ |= kStatePushed;
        if (manager_ != nullptr)
            manager_->SendNotify(this, L"headerclick");
        Invalidate();
    } else if (draggable_) {
        state_ |= kStateDragging;
        lastMouse_ = event.mouse;
    }
}

void CListHeaderItemUI::DragTo(POINT pt)
{
    const int dx = pt.x - lastMouse_.x;
    const long long width = separatorWidth_ >= 0 ? static_cast<long long>(itemRect_.right) + dx - itemRect_.left
                                                 : static_cast<long long>(itemRect_.right) - (itemRect_.left + dx);
    if (width <= minWidth_ || width > INT_MAX)
        return;
    SetPreferredWidth(static_cast<int>(width));
    lastMouse_ = pt;
    MarkListForUpdate();
}

void CListHeaderItemUI::OnRelease()
{
    if ((state_ & kStateDragging) != 0) {
        state_ &= ~kStateDragging;
        MarkListForUpdate();
    } else if ((state_ & kStatePushed) != 0) {
        state_ &= ~kStatePushed;
        Invalidate();
    }
}

void CListHeaderItemUI::ProcessEvent(UiEvent& event)
{
    if (event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast && !IsMouseEnabled()) {
        if (parent_ != nullptr)
            parent_->ProcessEvent(event);
        else
            CControlUI::ProcessEvent(event);
        return;
    }
    switch (event.type) {
    case kUiEventSetFocus:
    case kUiEventKillFocus:
        Invalidate();
        break;
    case kUiEventButtonDown:
    case kUiEventDoubleClick:
        if (!IsEnabled())
            break;
        OnPress(event);
        return;
    case kUiEventMouseMove:
        if ((state_ & kStateDragging) == 0)
            break;
        DragTo(event.mouse);
        return;
    case kUiEventButtonUp:
        OnRelease();
        return;
    case kUiEventSetCursor:
        if (IsEnabled() && draggable_ && InSeparatorZone(event.mouse)) {
            ::SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
            return;
        }
        break;
    case kUiEventMouseEnter:
    case kUiEventMouseLeave:
        if (!IsEnabled())
            break;
        state_ = event.type == kUiEventMouseEnter ? state_ | kStateHot : state_ & ~kStateHot;
        Invalidate();
        return;
    default:
        break;
    }
    CControlUI::ProcessEvent(event);
}

SIZE CListHeaderItemUI::MeasureSize(SIZE /*available*/)
{
    if (fixedHeight_ != 0 || manager_ == nullptr)
        return SIZE{fixedWidth_, fixedHeight_};
    return SIZE{fixedWidth_, manager_->GetDefaultFontInfo()->metrics.tmHeight + kTitleMargin};
}

bool CListHeaderItemUI::PaintItemImage(HDC hdc, CUiString& image, const wchar_t* modifier)
{
    if (image.IsEmpty())
        return false;
    if (PaintImageSpec(hdc, image.GetData(), modifier))
        return true;
    image.Empty();
    return false;
}

void CListHeaderItemUI::PaintStateImage(HDC hdc)
{
    if (focused_)
        state_ |= kStateFocused;
    else
        state_ &= ~kStateFocused;

    CUiString* first = &normalImage_;
    if ((state_ & kStatePushed) != 0)
        first = &pushedImage_;
    else if ((state_ & kStateHot) != 0)
        first = &hotImage_;
    else if ((state_ & kStateFocused) != 0)
        first = &focusedImage_;
    // A state without its own image shows the normal one.
    if (first == &normalImage_ || !PaintItemImage(hdc, *first))
        PaintItemImage(hdc, normalImage_);

    if (separatorImage_.IsEmpty())
        return;
    const RECT band = GetSeparatorRect();
    wchar_t modifier[64] = {};
    swprintf(modifier, sizeof(modifier) / sizeof(modifier[0]), L"dest='%ld,%ld,%ld,%ld'", band.left - itemRect_.left,
             band.top - itemRect_.top, band.right - itemRect_.left, band.bottom - itemRect_.top);
    separatorModifier_ = modifier;
    PaintItemImage(hdc, separatorImage_, separatorModifier_.GetData());
}

void CListHeaderItemUI::PaintText(HDC hdc)
{
    if (text_.IsEmpty() || manager_ == nullptr)
        return;
    if (textColor_ == 0)
        textColor_ = manager_->GetDefaultFontColor();
    RECT rc = {itemRect_.left + textPadding_.left, itemRect_.top + textPadding_.top,
               itemRect_.right - textPadding_.right, itemRect_.bottom - textPadding_.bottom};
    const UINT style = textStyle_ | DT_SINGLELINE;
    if (showHtml_) {
        int links = 0;
        CUiRender::DrawMarkupText(hdc, manager_, rc, text_.GetData(), textColor_, nullptr, nullptr, links, style);
    } else {
        CUiRender::DrawPlainText(hdc, manager_, rc, text_.GetData(), textColor_, font_, style);
    }
}

}  // namespace UiLib
