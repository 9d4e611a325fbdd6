#include "UiImageAttr.h"

#include "UiAttrValues.h"

#include <algorithm>
#include <cwchar>

namespace UiLib {

namespace {

bool IsBlank(wchar_t ch)
{
    return ch != L'\0' && ch <= L' ';
}

void SkipBlanks(const wchar_t*& p)
{
    while (IsBlank(*p))
        ++p;
}

UiImageDraw DefaultDraw(const RECT& item, const wchar_t* image)
{
    UiImageDraw draw;
    draw.name = image;
    draw.dest = item;
    draw.source = RECT{0, 0, 0, 0};
    draw.corner = RECT{0, 0, 0, 0};
    draw.mask = 0;
    draw.fade = 255;
    draw.hole = false;
    draw.xtiled = false;
    draw.ytiled = false;
    return draw;
}

RECT ReadDest(const RECT& item, const wchar_t* value)
{
    const RECT offsets = ReadRectValue(value);
    RECT dest;
    dest.left = item.left + offsets.left;
    dest.top = item.top + offsets.top;
    dest.right = std::min(item.left + offsets.right, item.right);
    dest.bottom = std::min(item.top + offsets.bottom, item.bottom);
    return dest;
}

// Applies the pairs of one text to draw; an image that a later "file",
// "res" or "restype" key replaces is emitted first.
void ApplyText(const RECT& item, const wchar_t* text, UiImageDraw& draw, std::vector<UiImageDraw>& draws)
{
    if (text == nullptr)
        return;
    int begun = 0;
    CUiString key;
    CUiString value;
    while (ReadImageAttrPair(text, key, value)) {
        if (value.IsEmpty())
            continue;
        if (key == L"file" || key == L"res") {
            if (begun > 0)
                draws.push_back(draw);
            draw.name = value;
            if (key == L"file")
                ++begun;
        } else if (key == L"restype") {
            if (begun > 0)
                draws.push_back(draw);
            draw.resourceType = value;
            ++begun;
        } else if (key == L"dest") {
            draw.dest = ReadDest(item, value.GetData());
        } else if (key == L"source") {
            draw.source = ReadRectValue(value.GetData());
        } else if (key == L"corner") {
            draw.corner = ReadRectValue(value.GetData());
        } else if (key == L"mask") {
            draw.mask = ReadHexColor(value.GetData());
        } else if (key == L"fade") {
            draw.fade = static_cast<BYTE>(wcstol(value.GetData(), nullptr, 10));
        } else if (key == L"hole") {
            draw.hole = value == L"true";
        } else if (key == L"xtiled") {
            draw.xtiled = value == L"true";
        } else if (key == L"ytiled") {
            draw.ytiled = value == L"true";
        }
    }
}

}  // namespace

bool ReadImageAttrPair(const wchar_t*& text, CUiString& key, CUiString& value)
{
    const wchar_t* p = text;
    SkipBlanks(p);
    const wchar_t* keyStart = p;
    while (*p != L'\0' && *p != L'=' && !IsBlank(*p))
        ++p;
    if (p == keyStart)
        return false;
    const wchar_t* keyEnd = p;
    SkipBlanks(p);
    if (*p != L'=')
        return false;
    ++p;
    SkipBlanks(p);
    if (*p != L'\'')
        return false;
    const wchar_t* valueStart = ++p;
    while (*p != L'\0' && *p != L'\'')
        ++p;
    if (*p != L'\'')
        return false;
    key.Assign(keyStart, static_cast<int>(keyEnd - keyStart));
    value.Assign(valueStart, static_cast<int>(p - valueStart));
    ++p;
    // Exactly one blank leads to the next pair; anything else ends the text.
    text = *p == L' ' ? p + 1 : p + wcslen(p);
    return true;
}

std::vector<UiImageDraw> ParseImageAttribute(const RECT& item, const wchar_t* image, const wchar_t* modifier)
{
    std::vector<UiImageDraw> draws;
    UiImageDraw draw = DefaultDraw(item, image != nullptr ? image : L"");
    ApplyText(item, image, draw, draws);
    ApplyText(item, modifier, draw, draws);
    draws.push_back(draw);
    return draws;
}

}  // namespace UiLib
