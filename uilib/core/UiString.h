#pragma once
// The UI library's wide string: short texts live in a local buffer, longer
// ones in a block from the C allocator.
#include "Win32Prelude.h"

namespace UiLib {

class CUiString {
public:
    // Texts shorter than this stay in the local buffer.
    static const int kLocalLimit = 63;

    CUiString();
    CUiString(const wchar_t* text, int length = -1);
    CUiString(const CUiString& other);
    explicit CUiString(wchar_t ch);
    ~CUiString();

    void Assign(const wchar_t* text, int length = -1);
    void Append(const wchar_t* text);
    void Empty();

    CUiString& operator=(const CUiString& other);
    CUiString& operator=(const wchar_t* text);
    CUiString& operator=(wchar_t ch);
    CUiString& operator+=(const CUiString& other);
    CUiString& operator+=(const wchar_t* text);
    CUiString& operator+=(wchar_t ch);
    CUiString operator+(const CUiString& other) const;
    CUiString operator+(const wchar_t* text) const;
    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator==(const CUiString& other) const { return Compare(other.GetData()) == 0; }

    int Compare(const wchar_t* text) const;
    int GetLength() const;
    bool IsEmpty() const { return text_[0] == L'\0'; }
    wchar_t GetAt(int index) const { return text_[index]; }
    const wchar_t* GetData() const { return text_; }

    int Find(const wchar_t* text, int start = 0) const;
    int Find(wchar_t ch, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    CUiString Left(int count) const;
    CUiString Mid(int pos, int count = -1) const;
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    void MakeLower();
    int Format(const wchar_t* format, ...);

    // True while the text lives in the local buffer (no heap block held).
    bool IsLocal() const { return text_ == local_; }

private:
    bool PointsIntoText(const wchar_t* p) const;
    void FreeHeap();

    wchar_t* text_;
    wchar_t local_[kLocalLimit + 1];
};

}  // namespace UiLib
