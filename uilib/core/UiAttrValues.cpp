#include "UiAttrValues.h"

#include <cwchar>
#include <cwctype>

namespace UiLib {

int ReadNumberList(const wchar_t* text, long* values, int count)
{
    for (int i = 0; i < count; ++i)
        values[i] = 0;
    if (text == nullptr)
        return 0;
    const wchar_t* p = text;
    int read = 0;
    while (read < count && *p != L'\0') {
        wchar_t* end = nullptr;
        values[read++] = wcstol(p, &end, 10);
        // The separator is one character of any kind; at the terminator there
        // is none to step over.
        p = *end != L'\0' ? end + 1 : end;
    }
    return read;
}

RECT ReadRectValue(const wchar_t* text)
{
    long values[4];
    ReadNumberList(text, values, 4);
    RECT rc = {values[0], values[1], values[2], values[3]};
    return rc;
}

DWORD ReadHexColor(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    while (*text != L'\0' && *text <= L' ')
        ++text;
    return ReadPlainHexColor(text);
}

DWORD ReadPlainHexColor(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    if (*text == L'#')
        ++text;
    if (iswspace(*text))
        return 0;
    return static_cast<DWORD>(wcstoul(text, nullptr, 16));
}

int ReadIntValue(const wchar_t* text)
{
    long number = 0;
    ReadNumberList(text, &number, 1);
    return static_cast<int>(number);
}

bool IsTrueValue(const wchar_t* text)
{
    return text != nullptr && wcscmp(text, L"true") == 0;
}

}  // namespace UiLib
