#pragma once
// The appearance record that a list owner keeps for all of its rows: the rows
// hold no copy and read it from their owner at every paint.
#include "UiRect.h"
#include "UiString.h"

#include "Win32Prelude.h"

namespace UiLib {

const int kUiListMaxColumns = 32;

struct UiListInfo {
    int columnCount = 0;
    CUiRect columns[kUiListMaxColumns];
    int font = -1;
    UINT textStyle = DT_VCENTER;
    CUiRect textPadding;
    DWORD textColor = 0xFF000000;
    DWORD bkColor = 0;
    CUiString bkImage;
    bool alternateBk = false;
    DWORD selectedTextColor = 0xFF000000;
    DWORD selectedBkColor = 0xFFC1E3FF;
    CUiString selectedImage;
    DWORD hotTextColor = 0xFF000000;
    DWORD hotBkColor = 0xFFE9F5FF;
    CUiString hotImage;
    DWORD disabledTextColor = 0xFFCCCCCC;
    DWORD disabledBkColor = 0xFFFFFFFF;
    CUiString disabledImage;
    DWORD lineColor = 0;
    bool showHtml = false;
    bool multiExpand = false;
};

// Stores one "item..." markup attribute that every list owner shares
// ("itemfont", "itemalign", "itemtextpadding", the item colours and images,
// "itemaltbk", "itemshowhtml"). Returns false, changing nothing, for any
// other key, so that each owner can add its own keys and decide what to
// repaint.
bool ApplyListInfoAttribute(UiListInfo& info, const wchar_t* name, const wchar_t* value);

// An "align"-style value applied to a DT_* style, its words tested in this
// order: "left" clears the horizontal bits, "center" sets DT_CENTER, "right"
// sets DT_RIGHT.
UINT ApplyAlignValue(UINT style, const wchar_t* value);

// DT_END_ELLIPSIS set for "true", cleared for any other value.
UINT ApplyEndEllipsisValue(UINT style, const wchar_t* value);

}  // namespace UiLib
