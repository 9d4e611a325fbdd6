#include "XmlNode.h"

#include "XmlDocument.h"

#include <cwchar>

namespace UiLib {

namespace {

bool IsBlank(wchar_t ch)
{
    return ch != L'\0' && ch <= L' ';
}

// The end of the zero-terminated text at p when it ends before limit, else null.
const wchar_t* TerminatorBefore(const wchar_t* p, const wchar_t* limit)
{
    while (p < limit && *p != L'\0')
        ++p;
    return p < limit ? p : nullptr;
}

}  // namespace

CXmlNode::CXmlNode() : document_(nullptr), index_(0), attributeCount_(-1)
{
}

CXmlNode::CXmlNode(CXmlDocument* document, ULONG index) : document_(document), index_(index), attributeCount_(-1)
{
}

const wchar_t* CXmlNode::GetName() const
{
    if (document_ == nullptr)
        return nullptr;
    return document_->text_ + document_->elements_[index_].start;
}

CXmlNode CXmlNode::GetFirstChild() const
{
    if (document_ == nullptr || document_->elements_[index_].child == 0)
        return CXmlNode();
    return CXmlNode(document_, document_->elements_[index_].child);
}

CXmlNode CXmlNode::GetNextSibling() const
{
    if (document_ == nullptr || document_->elements_[index_].next == 0)
        return CXmlNode();
    return CXmlNode(document_, document_->elements_[index_].next);
}

bool CXmlNode::HasChildren() const
{
    return document_ != nullptr && document_->elements_[index_].child != 0;
}

bool CXmlNode::HasAttributes()
{
    return GetAttributeCount() > 0;
}

int CXmlNode::GetAttributeCount()
{
    if (document_ == nullptr)
        return 0;
    if (attributeCount_ < 0)
        CacheAttributes();
    return attributeCount_;
}

const wchar_t* CXmlNode::GetAttributeName(int index)
{
    return AttributeText(index, false);
}

const wchar_t* CXmlNode::GetAttributeValue(int index)
{
    return AttributeText(index, true);
}

const wchar_t* CXmlNode::AttributeText(int index, bool value)
{
    if (document_ == nullptr)
        return nullptr;
    if (index < 0 || index >= GetAttributeCount())
        return L"";
    return document_->text_ + (value ? attributes_[index].value : attributes_[index].name);
}

bool CXmlNode::CopyAttributeValue(const wchar_t* name, wchar_t* buffer, int size)
{
    if (document_ == nullptr || name == nullptr || buffer == nullptr || size <= 0)
        return false;
    const int count = GetAttributeCount();
    for (int i = 0; i < count; ++i) {
        if (wcscmp(document_->text_ + attributes_[i].name, name) != 0)
            continue;
        const wchar_t* value = document_->text_ + attributes_[i].value;
        int length = 0;
        while (length < size - 1 && value[length] != L'\0') {
            buffer[length] = value[length];
            ++length;
        }
        buffer[length] = L'\0';
        return true;
    }
    return false;
}

void CXmlNode::Clear()
{
    document_ = nullptr;
    index_ = 0;
    attributeCount_ = -1;
}

// Walks the text between the element name and its content: each name and
// value ends with a zero there, and a value follows its name after a quote.
// Every step stays before the content position.
void CXmlNode::CacheAttributes()
{
    attributeCount_ = 0;
    const wchar_t* text = document_->text_;
    const XmlElement& element = document_->elements_[index_];
    const wchar_t* limit = text + element.data;
    const wchar_t* p = TerminatorBefore(text + element.start, limit);
    if (p == nullptr)
        return;
    ++p;
    while (p < limit && attributeCount_ < kMaxAttributes) {
        while (p < limit && IsBlank(*p))
            ++p;
        const wchar_t* name = p;
        const wchar_t* nameEnd = TerminatorBefore(name, limit);
        if (nameEnd == nullptr)
            return;
        p = nameEnd + 1;
        while (p < limit && IsBlank(*p))
            ++p;
        if (p >= limit || *p != L'"')
            return;
        const wchar_t* value = p + 1;
        const wchar_t* valueEnd = TerminatorBefore(value, limit);
        if (valueEnd == nullptr)
            return;
        attributes_[attributeCount_].name = static_cast<ULONG>(name - text);
        attributes_[attributeCount_].value = static_cast<ULONG>(value - text);
        ++attributeCount_;
        p = valueEnd + 1;
    }
}

}  // namespace UiLib
