#pragma once
// Reader of the skin markup: decodes the text to UTF-16 and parses it in
// place into a flat array of element records. Names and values end with a
// zero inside the text; no node objects or string copies are made.
#include "XmlNode.h"

#include "Win32Prelude.h"

namespace UiLib {

// Encodings of CXmlDocument::LoadBuffer and CXmlDocument::LoadFile.
const int kXmlUtf8 = 0;
const int kXmlUtf16 = 1;
const int kXmlAnsi = 2;

// Largest markup file or zip entry that is read.
const DWORD kXmlMaxFileSize = 0x400000;

struct XmlElement {
    ULONG start;  // position of the name in the text
    ULONG child;  // first child, 0 = none
    ULONG next;   // next sibling, 0 = none
    ULONG parent;
    ULONG data;  // content, or the "/>" of an empty element
};

class CXmlDocument {
public:
    explicit CXmlDocument(const wchar_t* text = nullptr);
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    bool LoadText(const wchar_t* text);
    bool LoadFile(const wchar_t* name, int encoding = kXmlUtf8);
    bool LoadBuffer(const BYTE* bytes, DWORD size, int encoding = kXmlUtf8);
    void Release();

    CXmlNode GetRoot();
    void SetPreserveWhitespace(bool preserve) { preserveWhitespace_ = preserve; }
    const wchar_t* GetLastErrorMessage() const { return errorText_; }
    const wchar_t* GetLastErrorLocation() const { return errorLocation_; }

private:
    friend class CXmlNode;

    bool AdoptText(wchar_t* text);
    bool ReadFileBytes(const wchar_t* name, BYTE** bytes, DWORD* size);
    bool ReadZipBytes(const wchar_t* name, BYTE** bytes, DWORD* size);
    bool Parse();
    bool ParseLevel(wchar_t*& p, ULONG parent, int depth);
    bool ParseElement(wchar_t*& p, ULONG parent, ULONG& previous, int depth);
    bool ParseAttributes(wchar_t*& p);
    bool ParseData(wchar_t*& p, wchar_t*& dest, wchar_t stop);
    bool ReserveElement(ULONG* index);
    bool Fail(const wchar_t* text, const wchar_t* location);

    wchar_t* text_;
    XmlElement* elements_;
    ULONG count_;
    ULONG capacity_;
    bool preserveWhitespace_;
    wchar_t errorText_[100];
    wchar_t errorLocation_[50];
};

}  // namespace UiLib
