#include "UiListInfo.h"

#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

const UINT kHorizontalBits = DT_LEFT | DT_CENTER | DT_RIGHT;

struct ColorKey {
    const wchar_t* name;
    DWORD UiListInfo::*field;
};

const ColorKey kColorKeys[] = {
    {L"itemtextcolor", &UiListInfo::textColor},
    {L"itembkcolor", &UiListInfo::bkColor},
    {L"itemselectedtextcolor", &UiListInfo::selectedTextColor},
    {L"itemselectedbkcolor", &UiListInfo::selectedBkColor},
    {L"itemhottextcolor", &UiListInfo::hotTextColor},
    {L"itemhotbkcolor", &UiListInfo::hotBkColor},
    {L"itemdisabledtextcolor", &UiListInfo::disabledTextColor},
    {L"itemdisabledbkcolor", &UiListInfo::disabledBkColor},
    {L"itemlinecolor", &UiListInfo::lineColor},
};

struct ImageKey {
    const wchar_t* name;
    CUiString UiListInfo::*field;
};

const ImageKey kImageKeys[] = {
    {L"itembkimage", &UiListInfo::bkImage},
    {L"itemselectedimage", &UiListInfo::selectedImage},
    {L"itemhotimage", &UiListInfo::hotImage},
    {L"itemdisabledimage", &UiListInfo::disabledImage},
};

}  // namespace

UINT ApplyAlignValue(UINT style, const wchar_t* value)
{
    if (value == nullptr)
        return style;
    // Only "left" clears: "center" and "right" add their bit to what the
    // style already holds, as skins written for these lists expect.
    if (wcsstr(value, L"left") != nullptr)
        style &= ~kHorizontalBits;
    if (wcsstr(value, L"center") != nullptr)
        style |= DT_CENTER;
    if (wcsstr(value, L"right") != nullptr)
        style |= DT_RIGHT;
    return style;
}

UINT ApplyEndEllipsisValue(UINT style, const wchar_t* value)
{
    return IsTrueValue(value) ? style | DT_END_ELLIPSIS : style & ~static_cast<UINT>(DT_END_ELLIPSIS);
}

bool ApplyListInfoAttribute(UiListInfo& info, const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr)
        return false;
    if (value == nullptr)
        value = L"";
    for (const ColorKey& key : kColorKeys) {
        if (wcscmp(name, key.name) == 0) {
            info.*key.field = ReadHexColor(value);
            return true;
        }
    }
    for (const ImageKey& key : kImageKeys) {
        if (wcscmp(name, key.name) == 0) {
            info.*key.field = value;
            return true;
        }
    }
    if (wcscmp(name, L"itemfont") == 0) {
        info.font = ReadIntValue(value);
    } else if (wcscmp(name, L"itemalign") == 0) {
        info.textStyle = ApplyAlignValue(info.textStyle, value);
    } else if (wcscmp(name, L"itemtextpadding") == 0) {
        info.textPadding = ReadRectValue(value);
    } else if (wcscmp(name, L"itemaltbk") == 0) {
        info.alternateBk = IsTrueValue(value);
    } else if (wcscmp(name, L"itemshowhtml") == 0) {
        info.showHtml = IsTrueValue(value);
    } else {
        return false;
    }
    return true;
}

}  // namespace UiLib
