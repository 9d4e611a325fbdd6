#pragma once
// The image attribute string of the skins: "name" alone, or key='value' pairs
// such as file='btn.png' dest='0,0,16,16' corner='4,4,4,4'.
#include "UiString.h"

#include "Win32Prelude.h"

#include <vector>

namespace UiLib {

// One image to draw and how.
struct UiImageDraw {
    CUiString name;
    CUiString resourceType;
    RECT dest;
    RECT source;
    RECT corner;
    DWORD mask;
    BYTE fade;
    bool hole;
    bool xtiled;
    bool ytiled;
};

// Reads the next key='value' pair at text and moves text past it. False at
// the end of the text or where it stops being well formed.
bool ReadImageAttrPair(const wchar_t*& text, CUiString& key, CUiString& value);

// The images that the attribute text, followed by the modifier the control adds
// ("dest='...'"), asks for, in drawing order. Dest values are relative to the
// item rectangle and cut at its right and bottom.
std::vector<UiImageDraw> ParseImageAttribute(const RECT& item, const wchar_t* image, const wchar_t* modifier);

}  // namespace UiLib
