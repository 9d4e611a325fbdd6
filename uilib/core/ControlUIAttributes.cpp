// The markup attributes that every control understands, and the reader of
// the attribute strings that class defaults and code hand to controls.
#include "ControlUI.h"

#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

bool ReadBool(const wchar_t* value)
{
    return wcscmp(value, L"true") == 0;
}

int ReadInt(const wchar_t* value)
{
    return static_cast<int>(wcstol(value, nullptr, 10));
}

SIZE ReadSizeValue(const wchar_t* value)
{
    long numbers[2];
    ReadNumberList(value, numbers, 2);
    SIZE size = {numbers[0], numbers[1]};
    return size;
}

// "pos": the offset keeps the edge that counts from the parent's near side,
// or, when negative, the one that counts from its far side.
void ApplyPosition(CControlUI& control, const wchar_t* value)
{
    const RECT rc = ReadRectValue(value);
    SIZE offset = {rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom};
    control.SetFixedOffset(offset);
    control.SetPreferredWidth(rc.right - rc.left);
    control.SetPreferredHeight(rc.bottom - rc.top);
}

void ApplyBorderSize(CControlUI& control, const wchar_t* value)
{
    if (wcschr(value, L',') == nullptr) {
        control.SetBorderSize(ReadInt(value));
        const RECT none = {0, 0, 0, 0};
        control.SetBorderSides(none);
    } else {
        control.SetBorderSides(ReadRectValue(value));
    }
}

}  // namespace

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"pos") == 0) {
        ApplyPosition(*this, value);
    } else if (wcscmp(name, L"relativepos") == 0) {
        long numbers[4];
        ReadNumberList(value, numbers, 4);
        SetRelativeAnchor(numbers[0], numbers[1], numbers[2], numbers[3]);
    } else if (wcscmp(name, L"padding") == 0) {
        SetPaddingRect(ReadRectValue(value));
    } else if (wcscmp(name, L"bkcolor") == 0 || wcscmp(name, L"bkcolor1") == 0) {
        SetBackgroundColor(ReadHexColor(value));
    } else if (wcscmp(name, L"bkcolor2") == 0) {
        SetBackgroundColor2(ReadHexColor(value));
    } else if (wcscmp(name, L"bkcolor3") == 0) {
        SetBackgroundColor3(ReadHexColor(value));
    } else if (wcscmp(name, L"bordercolor") == 0) {
        SetBorderColor(ReadPlainHexColor(value));
    } else if (wcscmp(name, L"focusbordercolor") == 0) {
        SetFocusBorderColor(ReadPlainHexColor(value));
    } else if (wcscmp(name, L"colorhsl") == 0) {
        SetColorHsl(ReadBool(value));
    } else if (wcscmp(name, L"bordersize") == 0) {
        ApplyBorderSize(*this, value);
    } else if (wcscmp(name, L"leftbordersize") == 0) {
        SetLeftBorderSize(ReadInt(value));
    } else if (wcscmp(name, L"topbordersize") == 0) {
        SetTopBorderSize(ReadInt(value));
    } else if (wcscmp(name, L"rightbordersize") == 0) {
        SetRightBorderSize(ReadInt(value));
    } else if (wcscmp(name, L"bottombordersize") == 0) {
        SetBottomBorderSize(ReadInt(value));
    } else if (wcscmp(name, L"borderstyle") == 0) {
        SetBorderStyle(ReadInt(value));
    } else if (wcscmp(name, L"borderround") == 0) {
        SetBorderRound(ReadSizeValue(value));
    } else if (wcscmp(name, L"bkimage") == 0) {
        SetBackgroundImage(value);
    } else if (wcscmp(name, L"width") == 0) {
        SetPreferredWidth(ReadInt(value));
    } else if (wcscmp(name, L"height") == 0) {
        SetPreferredHeight(ReadInt(value));
    } else if (wcscmp(name, L"minwidth") == 0) {
        SetMinWidth(ReadInt(value));
    } else if (wcscmp(name, L"minheight") == 0) {
        SetMinHeight(ReadInt(value));
    } else if (wcscmp(name, L"maxwidth") == 0) {
        SetMaxWidth(ReadInt(value));
    } else if (wcscmp(name, L"maxheight") == 0) {
        SetMaxHeight(ReadInt(value));
    } else if (wcscmp(name, L"name") == 0) {
        SetName(value);
    } else if (wcscmp(name, L"text") == 0) {
        SetText(value);
    } else if (wcscmp(name, L"tooltip") == 0) {
        SetTooltip(value);
    } else if (wcscmp(name, L"userdata") == 0) {
        SetUserText(value);
    } else if (wcscmp(name, L"enabled") == 0) {
        SetEnabled(ReadBool(value));
    } else if (wcscmp(name, L"mouse") == 0) {
        SetMouseEnabled(ReadBool(value));
    } else if (wcscmp(name, L"keyboard") == 0) {
        SetKeyboardEnabled(ReadBool(value));
    } else if (wcscmp(name, L"visible") == 0) {
        SetShown(ReadBool(value));
    } else if (wcscmp(name, L"float") == 0) {
        SetFloating(ReadBool(value));
    } else if (wcscmp(name, L"shortcut") == 0) {
        SetShortcutKey(value[0]);
    } else if (wcscmp(name, L"menu") == 0) {
        SetContextMenu(ReadBool(value));
    } else if (wcscmp(name, L"virtualwnd") == 0) {
        SetVirtualWindow(value);
    }
}

// Reads name="value" pairs separated by one blank. A malformed string ends the
// reading quietly; the pairs before the fault are applied.
void CControlUI::ApplyAttributeString(const wchar_t* attributes)
{
    if (attributes == nullptr)
        return;
    const wchar_t* p = attributes;
    while (*p != L'\0') {
        const wchar_t* nameEnd = wcschr(p, L'=');
        if (nameEnd == nullptr || nameEnd[1] != L'"')
            return;
        const wchar_t* valueStart = nameEnd + 2;
        const wchar_t* valueEnd = wcschr(valueStart, L'"');
        if (valueEnd == nullptr)
            return;
        const CUiString name(p, static_cast<int>(nameEnd - p));
        const CUiString value(valueStart, static_cast<int>(valueEnd - valueStart));
        SetAttribute(name.GetData(), value.GetData());
        p = valueEnd + 1;
        if (*p != L' ')
            return;
        ++p;
    }
}

}  // namespace UiLib
