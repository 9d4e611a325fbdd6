#include "ComboBoxUI.h"

#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

// Normal, hot, pushed, focused and disabled, side by side in the image.
const int kArrowStates = 5;

}  // namespace

CComboBoxUI::CComboBoxUI() : arrowWidth_(0)
{
}

int CComboBoxUI::ArrowStateIndex() const
{
    if ((state_ & kStateDisabled) != 0)
        return 4;
    if ((state_ & kStatePushed) != 0)
        return 2;
    if ((state_ & kStateHot) != 0)
        return 1;
    if ((state_ & kStateFocused) != 0)
        return 3;
    return 0;
}

const wchar_t* CComboBoxUI::GetTypeName() const
{
    return L"ComboBoxUI";
}

void CComboBoxUI::SetArrowImage(const wchar_t* image)
{
    arrowImage_ = image != nullptr ? image : L"";
    Invalidate();
}

void CComboBoxUI::PaintStateImage(HDC hdc)
{
    if (arrowImage_.IsEmpty()) {
        arrowWidth_ = 0;
        CComboUI::PaintStateImage(hdc);
        return;
    }
    UpdateStateBits();
    // The quoted source rectangle: from "source" to the second apostrophe
    // after it.
    CUiString image = arrowImage_;
    const int start = image.Find(L"source");
    const int open = start < 0 ? -1 : image.Find(L'\'', start);
    const int close = open < 0 ? -1 : image.Find(L'\'', open + 1);
    if (close < 0)
        return;
    long numbers[4] = {};
    ReadNumberList(image.Mid(open + 1, close - open - 1).GetData(), numbers, 4);
    arrowWidth_ = static_cast<int>((numbers[2] - numbers[0]) / kArrowStates);
    const int sliceLeft = static_cast<int>(numbers[0]) + ArrowStateIndex() * arrowWidth_;
    RECT dest = {borderSize_, borderSize_, GetBoundsWidth() - borderSize_, GetBoundsHeight() - borderSize_};
    dest.left = dest.right - arrowWidth_;
    CUiString replacement;
    replacement.Format(L"source='%d,%d,%d,%d' dest='%d,%d,%d,%d'", sliceLeft, static_cast<int>(numbers[1]),
                       sliceLeft + arrowWidth_, static_cast<int>(numbers[3]), dest.left, dest.top, dest.right,
                       dest.bottom);
    const CUiString modified = image.Left(start) + replacement + image.Mid(close + 1);
    if (!PaintImageSpec(hdc, modified.GetData()))
        arrowImage_.Empty();
}

void CComboBoxUI::PaintText(HDC hdc)
{
    RECT rc = itemRect_;
    rc.left += textPadding_.left;
    rc.top += textPadding_.top;
    rc.right -= textPadding_.right + arrowWidth_;
    rc.bottom -= textPadding_.bottom;
    PaintSelection(hdc, rc);
}

void CComboBoxUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"arrowimage") == 0)
        SetArrowImage(value);
    else
        CComboUI::SetAttribute(name, value);
}

}  // namespace UiLib
