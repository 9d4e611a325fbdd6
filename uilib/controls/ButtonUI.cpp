// The push button's state machine, attributes and state painting.
#include "ButtonUI.h"

#include "UiAttrValues.h"
#include "UiRender.h"

#include <cwchar>

namespace UiLib {

namespace {

const int kButtonExtraHeight = 8;

}  // namespace

CButtonUI::CButtonUI() : state_(0), hotBkColor_(0), hotTextColor_(0), pushedTextColor_(0), focusedTextColor_(0)
{
    textStyle_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
}

CButtonUI::~CButtonUI() = default;

const wchar_t* CButtonUI::GetTypeName() const
{
    return L"ButtonUI";
}

void* CButtonUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Button") == 0)
        return this;
    return CLabelUI::CastByName(name);
}

UINT CButtonUI::GetInputFlags()
{
    return (IsEnabled() ? kUiFlagSetCursor : 0) | (IsKeyboardEnabled() ? kUiFlagTabStop : 0);
}

bool CButtonUI::TryActivate()
{
    if (!CLabelUI::TryActivate())
        return false;
    if (manager_ != nullptr)
        manager_->SendNotify(this, L"click");
    return true;
}

void CButtonUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!IsEnabled())
        state_ = 0;
}

void CButtonUI::ProcessEvent(UiEvent& event)
{
    if (PassMouseEventUp(event))
        return;
    const bool inside = PtInRect(&itemRect_, event.mouse) != FALSE;
    switch (event.type) {
    case kUiEventSetFocus:
    case kUiEventKillFocus:
        Invalidate();
        break;
    case kUiEventKeyDown:
        if (IsKeyboardEnabled() && (event.key == VK_SPACE || event.key == VK_RETURN)) {
            TryActivate();
            return;
        }
        break;
    case kUiEventButtonDown:
    case kUiEventDoubleClick:
        if (inside && IsEnabled()) {
            state_ |= kUiStatePushed | kUiStateCaptured;
            Invalidate();
        }
        return;
    case kUiEventMouseMove:
        if ((state_ & kUiStateCaptured) != 0) {
            if (inside)
                state_ |= kUiStatePushed;
            else
                state_ &= ~kUiStatePushed;
            Invalidate();
        }
        return;
    case kUiEventButtonUp:
        if ((state_ & kUiStateCaptured) != 0) {
            if (inside)
                TryActivate();
            state_ &= ~(kUiStatePushed | kUiStateCaptured);
            Invalidate();
        }
        return;
    case kUiEventContextMenu:
        if (contextMenu_ && manager_ != nullptr)
            manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
    case kUiEventMouseEnter:
        if (IsEnabled()) {
            state_ |= kUiStateHot;
            Invalidate();
        }
        break;
    case kUiEventMouseLeave:
        if (IsEnabled()) {
            state_ &= ~kUiStateHot;
            Invalidate();
        }
        break;
    case kUiEventSetCursor:
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return;
    default:
        break;
    }
    CLabelUI::ProcessEvent(event);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"normalimage") == 0)
        SetNormalImage(value);
    else if (wcscmp(name, L"hotimage") == 0)
        SetHotImage(value);
    else if (wcscmp(name, L"pushedimage") == 0)
        SetPushedImage(value);
    else if (wcscmp(name, L"focusedimage") == 0)
        SetFocusedImage(value);
    else if (wcscmp(name, L"disabledimage") == 0)
        SetDisabledImage(value);
    else if (wcscmp(name, L"foreimage") == 0)
        SetForeImage(value);
    else if (wcscmp(name, L"hotforeimage") == 0)
        SetHotForeImage(value);
    else if (wcscmp(name, L"hotbkcolor") == 0)
        SetHotBkColor(ReadHexColor(value));
    else if (wcscmp(name, L"hottextcolor") == 0)
        SetHotTextColor(ReadHexColor(value));
    else if (wcscmp(name, L"pushedtextcolor") == 0)
        SetPushedTextColor(ReadHexColor(value));
    else if (wcscmp(name, L"focusedtextcolor") == 0)
        SetFocusedTextColor(ReadHexColor(value));
    else
        CLabelUI::SetAttribute(name, value);
}

SIZE CButtonUI::MeasureSize(SIZE available)
{
    if (fixedHeight_ != 0)
        return CControlUI::MeasureSize(available);
    SIZE size = {fixedWidth_, GetFontHeight() + kButtonExtraHeight};
    return size;
}

void CButtonUI::RefreshStateBits()
{
    if (HasFocus())
        state_ |= kUiStateFocused;
    else
        state_ &= ~kUiStateFocused;
    if (IsEnabled())
        state_ &= ~kUiStateDisabled;
    else
        state_ |= kUiStateDisabled;
}

bool CButtonUI::PaintImageOnce(HDC hdc, CUiString& image)
{
    if (image.IsEmpty())
        return false;
    if (PaintImageSpec(hdc, image.GetData()))
        return true;
    image.Empty();
    return false;
}

void CButtonUI::PaintStateImage(HDC hdc)
{
    RefreshStateBits();
    if ((state_ & kUiStateDisabled) != 0) {
        if (PaintImageOnce(hdc, disabledImage_)) {
            PaintImageOnce(hdc, foreImage_);
            return;
        }
    } else if ((state_ & kUiStatePushed) != 0) {
        if (PaintImageOnce(hdc, pushedImage_)) {
            PaintImageOnce(hdc, foreImage_);
            return;
        }
    } else if ((state_ & kUiStateHot) != 0) {
        // A hot image that fails to draw falls back to the normal image for
        // this paint; the hot fill is for a button that has no hot image.
        if (!hotImage_.IsEmpty()) {
            if (PaintImageOnce(hdc, hotImage_)) {
                if (!hotForeImage_.IsEmpty())
                    PaintImageOnce(hdc, hotForeImage_);
                else
                    PaintImageOnce(hdc, foreImage_);
                return;
            }
        } else if (hotBkColor_ != 0) {
            CUiRender::FillColor(hdc, paintRect_, ApplyHslToColor(hotBkColor_));
            return;
        }
    } else if ((state_ & kUiStateFocused) != 0) {
        if (PaintImageOnce(hdc, focusedImage_)) {
            PaintImageOnce(hdc, foreImage_);
            return;
        }
    }
    // The fore image goes only over a normal image that was drawn.
    if (PaintImageOnce(hdc, normalImage_))
        PaintImageOnce(hdc, foreImage_);
}

void CButtonUI::PaintText(HDC hdc)
{
    RefreshStateBits();
    TakeDefaultColors();
    if (text_.IsEmpty())
        return;
    DWORD color = IsEnabled() ? textColor_ : disabledTextColor_;
    if ((state_ & kUiStatePushed) != 0 && pushedTextColor_ != 0)
        color = pushedTextColor_;
    else if ((state_ & kUiStateHot) != 0 && hotTextColor_ != 0)
        color = hotTextColor_;
    else if ((state_ & kUiStateFocused) != 0 && focusedTextColor_ != 0)
        color = focusedTextColor_;
    RECT rc = GetTextRect();
    DrawLabelText(hdc, rc, text_.GetData(), color, textStyle_);
}

void CButtonUI::StoreImage(CUiString& target, const wchar_t* image)
{
    target = image != nullptr ? image : L"";
    Invalidate();
}

void CButtonUI::SetNormalImage(const wchar_t* image)
{
    StoreImage(normalImage_, image);
}

void CButtonUI::SetHotImage(const wchar_t* image)
{
    StoreImage(hotImage_, image);
}

void CButtonUI::SetHotForeImage(const wchar_t* image)
{
    StoreImage(hotForeImage_, image);
}

void CButtonUI::SetPushedImage(const wchar_t* image)
{
    StoreImage(pushedImage_, image);
}

void CButtonUI::SetFocusedImage(const wchar_t* image)
{
    StoreImage(focusedImage_, image);
}

void CButtonUI::SetDisabledImage(const wchar_t* image)
{
    StoreImage(disabledImage_, image);
}

void CButtonUI::SetForeImage(const wchar_t* image)
{
    StoreImage(foreImage_, image);
}

void CButtonUI::SetHotBkColor(DWORD color)
{
    hotBkColor_ = color;
}

void CButtonUI::SetHotTextColor(DWORD color)
{
    hotTextColor_ = color;
}

void CButtonUI::SetPushedTextColor(DWORD color)
{
    pushedTextColor_ = color;
}

void CButtonUI::SetFocusedTextColor(DWORD color)
{
    focusedTextColor_ = color;
}

}  // namespace UiLib
