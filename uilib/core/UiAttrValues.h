#pragma once
// Readers of the number and colour values that skin attributes carry.
#include "Win32Prelude.h"

namespace UiLib {

// Reads up to count decimal numbers, each starting one character after the end
// of the previous one ("1,2,3,4"). Reading stops at the end of the text; the
// numbers not present are 0. Returns how many numbers the text held.
int ReadNumberList(const wchar_t* text, long* values, int count);

// Four numbers as left, top, right, bottom; missing ones are 0.
RECT ReadRectValue(const wchar_t* text);

// Hexadecimal ARGB after optional leading blanks and an optional '#'.
DWORD ReadHexColor(const wchar_t* text);

// Hexadecimal ARGB after an optional '#', with no blanks before it: a value
// that starts with a blank is 0.
DWORD ReadPlainHexColor(const wchar_t* text);

// The first decimal number of the text; 0 when there is none.
int ReadIntValue(const wchar_t* text);

// Markup booleans: true only for the exact text "true".
bool IsTrueValue(const wchar_t* text);

}  // namespace UiLib
