#include "SliderUI.h"

#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

const LONG kDefaultThumbSize = 10;

}  // namespace

CSliderUI::CSliderUI() : thumbSize_{kDefaultThumbSize, kDefaultThumbSize}, state_(0), step_(1)
{
}

const wchar_t* CSliderUI::GetTypeName() const
{
    return L"SliderUI";
}

void* CSliderUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Slider") == 0)
        return static_cast<CSliderUI*>(this);
    return CProgressUI::CastByName(name);
}

UINT CSliderUI::GetInputFlags()
{
    return IsEnabled() ? kUiFlagSetCursor : 0;
}

void CSliderUI::SetEnabled(bool enabled)
{
    CProgressUI::SetEnabled(enabled);
    if (!IsEnabled())
        state_ = 0;
}

void CSliderUI::SetChangeStep(int step)
{
    step_ = step;
}

void CSliderUI::SetThumbSize(SIZE size)
{
    thumbSize_ = size;
}

void CSliderUI::SetImage(CUiString& slot, const wchar_t* image)
{
    slot = image != nullptr ? image : L"";
    Invalidate();
}

void CSliderUI::SetThumbImage(const wchar_t* image)
{
    SetImage(thumbImage_, image);
}

void CSliderUI::SetThumbHotImage(const wchar_t* image)
{
    SetImage(thumbHotImage_, image);
}

void CSliderUI::SetThumbPushedImage(const wchar_t* image)
{
    SetImage(thumbPushedImage_, image);
}

void CSliderUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"thumbimage") == 0) {
        SetThumbImage(value);
    } else if (wcscmp(name, L"thumbhotimage") == 0) {
        SetThumbHotImage(value);
    } else if (wcscmp(name, L"thumbpushedimage") == 0) {
        SetThumbPushedImage(value);
    } else if (wcscmp(name, L"thumbsize") == 0) {
        long size[2] = {0, 0};
        ReadNumberList(value, size, 2);
        SetThumbSize(SIZE{size[0], size[1]});
    } else if (wcscmp(name, L"step") == 0) {
        SetChangeStep(ReadInt(value));
    } else {
        CProgressUI::SetAttribute(name, value);
    }
}

RECT CSliderUI::GetThumbRect() const
{
    // The limits as painting will make them, so that a minimum not below the
    // maximum never divides by zero.
    const Limits limits = GetLimits();
    const long long done = static_cast<long long>(limits.value) - limits.minimum;
    const long long span = static_cast<long long>(limits.maximum) - limits.minimum;
    const RECT& rc = itemRect_;
    RECT thumb;
    if (horizontal_) {
        thumb.left = rc.left + Scale(done, rc.right - rc.left - thumbSize_.cx, span);
        thumb.top = (rc.bottom + rc.top - thumbSize_.cy) / 2;
    } else {
        thumb.left = (rc.right + rc.left - thumbSize_.cx) / 2;
        thumb.top = rc.bottom - Scale(done, rc.bottom - rc.top - thumbSize_.cy, span) - thumbSize_.cy;
    }
    thumb.right = thumb.left + thumbSize_.cx;
    thumb.bottom = thumb.top + thumbSize_.cy;
    return thumb;
}

int CSliderUI::ValueAt(POINT pt) const
{
    const Limits limits = GetLimits();
    const long long span = static_cast<long long>(limits.maximum) - limits.minimum;
    const RECT& rc = itemRect_;
    const int halfX = thumbSize_.cx / 2;
    const int halfY = thumbSize_.cy / 2;
    if (horizontal_) {
        if (pt.x >= rc.right - halfX)
            return limits.maximum;
        if (pt.x > rc.left + halfX)
            return limits.minimum + Scale(pt.x - halfX - rc.left, span, rc.right - rc.left - thumbSize_.cx);
        return limits.minimum;
    }
    if (pt.y >= rc.bottom - halfY)
        return limits.minimum;
    if (pt.y > rc.top + halfY)
        return limits.minimum + Scale(rc.bottom - halfY - pt.y, span, rc.bottom - rc.top - thumbSize_.cy);
    return limits.maximum;
}

void CSliderUI::ProcessEvent(UiEvent& event)
{
    const bool mouseEvent = event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast;
    if (mouseEvent && !IsMouseEnabled()) {
        if (parent_ != nullptr)
            parent_->ProcessEvent(event);
        else
            CProgressUI::ProcessEvent(event);
        return;
    }
    switch (event.type) {
    case kUiEventButtonDown:
    case kUiEventDoubleClick: {
        const RECT thumb = GetThumbRect();
        if (!IsEnabled() || !PtInRect(&thumb, event.mouse))
            break;
        state_ |= kStateCaptured;
        return;
    }
    case kUiEventButtonUp:
        state_ &= ~kStateCaptured;
        // A disabled slider keeps its value whatever the mouse does.
        if (!IsEnabled())
            return;
        SetValue(ValueAt(event.mouse));
        if (manager_ != nullptr)
            manager_->SendNotify(this, L"valuechanged");
        Invalidate();
        return;
    case kUiEventMouseMove:
        if ((state_ & kStateCaptured) == 0)
            break;
        SetValue(ValueAt(event.mouse));
        Invalidate();
        return;
    case kUiEventScrollWheel: {
        const WORD direction = LOWORD(event.wParam);
        // Like a release, the wheel moves no disabled slider.
        if (!IsEnabled() || (direction != 0 && direction != 1))
            break;
        SetValue(direction == 0 ? value_ + step_ : value_ - step_);
        if (manager_ != nullptr)
            manager_->SendNotify(this, L"valuechanged");
        return;
    }
    case kUiEventSetCursor:
        if (IsEnabled()) {
            const RECT thumb = GetThumbRect();
            if (PtInRect(&thumb, event.mouse)) {
                ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return;
            }
        }
        break;
    case kUiEventMouseEnter:
    case kUiEventMouseLeave:
        if (!IsEnabled())
            break;
        if (event.type == kUiEventMouseEnter)
            state_ |= kStateHot;
        else
            state_ &= ~kStateHot;
        Invalidate();
        return;
    case kUiEventContextMenu:
        return;
    default:
        break;
    }
    CProgressUI::ProcessEvent(event);
}

bool CSliderUI::PaintThumb(HDC hdc, CUiString& image)
{
    if (PaintImageSpec(hdc, image.GetData(), thumbModifier_.GetData()))
        return true;
    image.Empty();
    return false;
}

void CSliderUI::PaintStateImage(HDC hdc)
{
    CProgressUI::PaintStateImage(hdc);
    const RECT thumb = GetThumbRect();
    thumbModifier_.Format(L"dest='%d,%d,%d,%d'", thumb.left - itemRect_.left, thumb.top - itemRect_.top,
                          thumb.right - itemRect_.left, thumb.bottom - itemRect_.top);
    CUiString* state = nullptr;
    if ((state_ & kStateCaptured) != 0)
        state = &thumbPushedImage_;
    else if ((state_ & kStateHot) != 0)
        state = &thumbHotImage_;
    if (state != nullptr && !state->IsEmpty() && PaintThumb(hdc, *state))
        return;
    if (!thumbImage_.IsEmpty())
        PaintThumb(hdc, thumbImage_);
}

}  // namespace UiLib
