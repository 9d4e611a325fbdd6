#pragma once
// A small value that refers to one element of a CXmlDocument.
#include "Win32Prelude.h"

namespace UiLib {

class CXmlDocument;

class CXmlNode {
public:
    static const int kMaxAttributes = 64;

    CXmlNode();
    CXmlNode(CXmlDocument* document, ULONG index);

    bool IsValid() const { return document_ != nullptr; }
    const wchar_t* GetName() const;
    CXmlNode GetFirstChild() const;
    CXmlNode GetNextSibling() const;
    bool HasChildren() const;
    bool HasAttributes();
    int GetAttributeCount();
    const wchar_t* GetAttributeName(int index);
    const wchar_t* GetAttributeValue(int index);
    // Copies the value of the first attribute named name, cut to fit size
    // characters with its terminator; false when there is none.
    bool CopyAttributeValue(const wchar_t* name, wchar_t* buffer, int size);
    void Clear();

private:
    struct Attribute {
        ULONG name;
        ULONG value;
    };

    const wchar_t* AttributeText(int index, bool value);
    void CacheAttributes();

    CXmlDocument* document_;
    ULONG index_;
    int attributeCount_;  // -1 until cached
    Attribute attributes_[kMaxAttributes];
};

}  // namespace UiLib
