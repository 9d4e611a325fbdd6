#include "UiString.h"

#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <functional>

namespace UiLib {

namespace {

// Copies up to length characters, stopping at a terminator in the source, and
// zero-fills the rest so that exactly length characters are defined.
void CopyBounded(wchar_t* dest, const wchar_t* src, int length)
{
    int i = 0;
    for (; i < length && src[i] != L'\0'; ++i)
        dest[i] = src[i];
    for (; i < length; ++i)
        dest[i] = L'\0';
    dest[length] = L'\0';
}

wchar_t* AllocText(size_t characters)
{
    return static_cast<wchar_t*>(malloc(characters * sizeof(wchar_t)));
}

}  // namespace

CUiString::CUiString() : text_(local_)
{
    local_[0] = L'\0';
}

CUiString::CUiString(const wchar_t* text, int length) : text_(local_)
{
    local_[0] = L'\0';
    Assign(text, length);
}

CUiString::CUiString(const CUiString& other) : text_(local_)
{
    local_[0] = L'\0';
    Assign(other.text_);
}

CUiString::CUiString(wchar_t ch) : text_(local_)
{
    local_[0] = ch;
    local_[1] = L'\0';
}

CUiString::~CUiString()
{
    FreeHeap();
}

void CUiString::FreeHeap()
{
    if (text_ != local_)
        free(text_);
    text_ = local_;
}

bool CUiString::PointsIntoText(const wchar_t* p) const
{
    std::less_equal<const wchar_t*> le;
    return le(text_, p) && le(p, text_ + GetLength());
}

void CUiString::Assign(const wchar_t* text, int length)
{
    if (text == nullptr) {
        Empty();
        return;
    }
    if (PointsIntoText(text)) {
        // The storage below may move or be freed: work from a copy.
        CUiString copy(text, length);
        Assign(copy.text_, length);
        return;
    }
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    if (length < kLocalLimit) {
        FreeHeap();
    } else if (IsLocal() || GetLength() < length) {
        wchar_t* block =
            IsLocal() ? AllocText(length + 1) : static_cast<wchar_t*>(realloc(text_, (length + 1) * sizeof(wchar_t)));
        if (block == nullptr)
            return;
        text_ = block;
    }
    CopyBounded(text_, text, length);
}

void CUiString::Append(const wchar_t* text)
{
    if (text == nullptr)
        return;
    if (PointsIntoText(text)) {
        CUiString copy(text);
        Append(copy.text_);
        return;
    }
    const int current = GetLength();
    const int added = static_cast<int>(wcslen(text));
    const int total = current + added;
    if (total >= kLocalLimit) {
        if (IsLocal()) {
            wchar_t* block = AllocText(total + 1);
            if (block == nullptr)
                return;
            memcpy(block, local_, (current + 1) * sizeof(wchar_t));
            text_ = block;
        } else {
            wchar_t* block = static_cast<wchar_t*>(realloc(text_, (total + 1) * sizeof(wchar_t)));
            if (block == nullptr)
                return;
            text_ = block;
        }
    }
    memcpy(text_ + current, text, (added + 1) * sizeof(wchar_t));
}

void CUiString::Empty()
{
    FreeHeap();
    local_[0] = L'\0';
}

CUiString& CUiString::operator=(const CUiString& other)
{
    if (this != &other)
        Assign(other.text_);
    return *this;
}

CUiString& CUiString::operator=(const wchar_t* text)
{
    Assign(text);
    return *this;
}

CUiString& CUiString::operator=(wchar_t ch)
{
    const wchar_t text[2] = {ch, L'\0'};
    Assign(text);
    return *this;
}

CUiString& CUiString::operator+=(const CUiString& other)
{
    Append(other.text_);
    return *this;
}

CUiString& CUiString::operator+=(const wchar_t* text)
{
    Append(text);
    return *this;
}

CUiString& CUiString::operator+=(wchar_t ch)
{
    const wchar_t text[2] = {ch, L'\0'};
    Append(text);
    return *this;
}

CUiString CUiString::operator+(const CUiString& other) const
{
    CUiString result(*this);
    result.Append(other.text_);
    return result;
}

CUiString CUiString::operator+(const wchar_t* text) const
{
    CUiString result(*this);
    result.Append(text);
    return result;
}

int CUiString::Compare(const wchar_t* text) const
{
    if (text == nullptr)
        text = L"";
    const wchar_t* a = text_;
    while (*a != L'\0' && *a == *text) {
        ++a;
        ++text;
    }
    const unsigned ua = static_cast<unsigned short>(*a);
    const unsigned ub = static_cast<unsigned short>(*text);
    return ua < ub ? -1 : (ua > ub ? 1 : 0);
}

int CUiString::GetLength() const
{
    return static_cast<int>(wcslen(text_));
}

int CUiString::Find(const wchar_t* text, int start) const
{
    if (text == nullptr || start < 0 || start > GetLength())
        return -1;
    if (text[0] == L'\0')
        return start;
    const wchar_t* hit = wcsstr(text_ + start, text);
    return hit == nullptr ? -1 : static_cast<int>(hit - text_);
}

int CUiString::Find(wchar_t ch, int start) const
{
    if (start != 0 && (start < 0 || start >= GetLength()))
        return -1;
    const wchar_t* hit = wcschr(text_ + start, ch);
    return hit == nullptr || ch == L'\0' ? -1 : static_cast<int>(hit - text_);
}

int CUiString::ReverseFind(wchar_t ch) const
{
    const wchar_t* hit = wcsrchr(text_, ch);
    return hit == nullptr || ch == L'\0' ? -1 : static_cast<int>(hit - text_);
}

CUiString CUiString::Left(int count) const
{
    const int length = GetLength();
    if (count < 0)
        count = 0;
    if (count > length)
        count = length;
    return CUiString(text_, count);
}

CUiString CUiString::Mid(int pos, int count) const
{
    const int length = GetLength();
    // A position outside the text yields an empty string rather than a read
    // outside the buffer.
    if (pos < 0 || pos > length)
        return CUiString();
    if (count < 0 || count > length - pos)
        count = length - pos;
    if (count <= 0)
        return CUiString();
    return CUiString(text_ + pos, count);
}

int CUiString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    if (oldText == nullptr || oldText[0] == L'\0')
        return 0;
    if (newText == nullptr)
        newText = L"";
    const int oldLength = static_cast<int>(wcslen(oldText));
    const int newLength = static_cast<int>(wcslen(newText));
    int replaced = 0;
    int at = Find(oldText, 0);
    while (at >= 0) {
        CUiString result = Left(at);
        result.Append(newText);
        result.Append(text_ + at + oldLength);
        Assign(result.text_);
        ++replaced;
        at = Find(oldText, at + newLength);
    }
    return replaced;
}

void CUiString::MakeLower()
{
    for (wchar_t* p = text_; *p != L'\0'; ++p)
        *p = static_cast<wchar_t>(towlower(*p));
}

int CUiString::Format(const wchar_t* format, ...)
{
    // The wsprintf family never produces more than 1024 characters; the
    // bounded variant keeps even an overlong result inside this buffer.
    wchar_t buffer[1025] = {};
    va_list args;
    va_start(args, format);
    int written = wvnsprintfW(buffer, ARRAYSIZE(buffer), format, args);
    va_end(args);
    buffer[ARRAYSIZE(buffer) - 1] = L'\0';
    Assign(buffer);
    return written;
}

}  // namespace UiLib
