#include "ProgressUI.h"

#include "UiAttrValues.h"

#include <climits>
#include <cwchar>

namespace UiLib {

namespace {

const UINT kProgressTextStyle = DT_CENTER | DT_SINGLELINE;
const int kProgressHeight = 12;

}  // namespace

int CProgressUI::Scale(long long part, long long length, long long whole)
{
    return whole == 0 ? 0 : static_cast<int>(part * length / whole);
}

int CProgressUI::ReadInt(const wchar_t* value)
{
    long number = 0;
    ReadNumberList(value, &number, 1);
    return static_cast<int>(number);
}

CProgressUI::CProgressUI() : horizontal_(true), stretchForeImage_(true), maximum_(100), minimum_(0), value_(0)
{
    textStyle_ = kProgressTextStyle;
    fixedHeight_ = kProgressHeight;
}

const wchar_t* CProgressUI::GetTypeName() const
{
    return L"ProgressUI";
}

void* CProgressUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Progress") == 0)
        return static_cast<CProgressUI*>(this);
    return CLabelUI::CastByName(name);
}

void CProgressUI::SetHorizontal(bool horizontal)
{
    if (horizontal_ == horizontal)
        return;
    horizontal_ = horizontal;
    Invalidate();
}

void CProgressUI::SetStretchForeImage(bool stretch)
{
    if (stretchForeImage_ == stretch)
        return;
    stretchForeImage_ = stretch;
    Invalidate();
}

void CProgressUI::SetMinValue(int minimum)
{
    minimum_ = minimum;
    Invalidate();
}

void CProgressUI::SetMaxValue(int maximum)
{
    maximum_ = maximum;
    Invalidate();
}

void CProgressUI::SetValue(int value)
{
    value_ = value;
    Invalidate();
}

void CProgressUI::SetForeImage(const wchar_t* image)
{
    const wchar_t* next = image != nullptr ? image : L"";
    if (foreImage_ == next)
        return;
    foreImage_ = next;
    Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    const bool isTrue = value != nullptr && wcscmp(value, L"true") == 0;
    if (wcscmp(name, L"foreimage") == 0)
        SetForeImage(value);
    else if (wcscmp(name, L"hor") == 0)
        SetHorizontal(isTrue);
    else if (wcscmp(name, L"min") == 0)
        SetMinValue(ReadInt(value));
    else if (wcscmp(name, L"max") == 0)
        SetMaxValue(ReadInt(value));
    else if (wcscmp(name, L"value") == 0)
        SetValue(ReadInt(value));
    else if (wcscmp(name, L"isstretchfore") == 0)
        SetStretchForeImage(isTrue);
    else
        CLabelUI::SetAttribute(name, value);
}

CProgressUI::Limits CProgressUI::GetLimits() const
{
    Limits limits = {minimum_, maximum_, value_};
    if (limits.minimum >= limits.maximum) {
        // The largest minimum has no room above it, so it steps down one.
        if (limits.minimum == INT_MAX)
            limits.minimum = INT_MAX - 1;
        limits.maximum = limits.minimum + 1;
    }
    if (limits.value > limits.maximum)
        limits.value = limits.maximum;
    if (limits.value < limits.minimum)
        limits.value = limits.minimum;
    return limits;
}

RECT CProgressUI::GetFillRect(const Limits& limits) const
{
    const int width = itemRect_.GetWidth();
    const int height = itemRect_.GetHeight();
    const long long span = static_cast<long long>(limits.maximum) - limits.minimum;
    if (horizontal_)
        return RECT{0, 0, Scale(static_cast<long long>(limits.value) - limits.minimum, width, span), height};
    return RECT{0, Scale(static_cast<long long>(limits.maximum) - limits.value, height, span), width, height};
}

void CProgressUI::PaintStateImage(HDC hdc)
{
    const Limits limits = GetLimits();
    minimum_ = limits.minimum;
    maximum_ = limits.maximum;
    value_ = limits.value;
    if (foreImage_.IsEmpty())
        return;
    const RECT fill = GetFillRect(limits);
    if (stretchForeImage_) {
        foreImageModifier_.Format(L"dest='%d,%d,%d,%d'", fill.left, fill.top, fill.right, fill.bottom);
    } else {
        foreImageModifier_.Format(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", fill.left, fill.top, fill.right,
                                  fill.bottom, fill.left, fill.top, fill.right, fill.bottom);
    }
    if (!PaintImageSpec(hdc, foreImage_.GetData(), foreImageModifier_.GetData()))
        foreImage_.Empty();
}

}  // namespace UiLib
