#include "XmlDocument.h"

#include "ScopedHandle.h"
#include "UiManager.h"
#include "UiZip.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace UiLib {

namespace {

// Skins nest a few levels; the limit keeps hostile input off the stack's end.
const int kMaxNesting = 256;
const ULONG kFirstElements = 500;

struct Entity {
    const wchar_t* text;
    wchar_t ch;
};

const Entity kEntities[] = {
    {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''},
};

bool IsBlank(wchar_t ch)
{
    return ch != L'\0' && ch <= L' ';
}

void SkipWhitespace(wchar_t*& p)
{
    while (IsBlank(*p))
        ++p;
}

// Letters and digits of any script, '_' and ':'.
bool IsNameChar(wchar_t ch)
{
    return iswalnum(ch) || ch == L'_' || ch == L':';
}

void SkipName(wchar_t*& p)
{
    while (IsNameChar(*p))
        ++p;
}

// Skips "<!...->" or "<?...?>" from the character after '<'; one that is
// never closed runs to the end of the text.
void SkipDeclaration(wchar_t*& p)
{
    const wchar_t closing = *p == L'!' ? L'-' : L'?';
    while (*p != L'\0') {
        if (p[0] == closing && p[1] == L'>') {
            p += 2;
            return;
        }
        ++p;
    }
}

wchar_t* DecodeToWide(UINT codePage, const BYTE* bytes, DWORD size)
{
    if (size > static_cast<DWORD>(INT_MAX))
        return nullptr;
    const char* narrow = reinterpret_cast<const char*>(bytes);
    const int length = size == 0 ? 0 : MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(size), nullptr, 0);
    if (size != 0 && length <= 0)
        return nullptr;
    wchar_t* text = static_cast<wchar_t*>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (text == nullptr)
        return nullptr;
    if (length > 0)
        MultiByteToWideChar(codePage, 0, narrow, static_cast<int>(size), text, length);
    text[length] = L'\0';
    return text;
}

// UTF-16 with its byte-order mark; big-endian text is swapped. An odd last
// byte is no character.
wchar_t* DecodeUtf16(const BYTE* bytes, DWORD size)
{
    if (size < 2)
        return nullptr;
    const bool little = bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool big = bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (!little && !big)
        return nullptr;
    const size_t length = (size - 2) / 2;
    wchar_t* text = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (text == nullptr)
        return nullptr;
    for (size_t i = 0; i < length; ++i) {
        const BYTE first = bytes[2 + 2 * i];
        const BYTE second = bytes[3 + 2 * i];
        text[i] = little ? static_cast<wchar_t>(first | (second << 8)) : static_cast<wchar_t>((first << 8) | second);
    }
    text[length] = L'\0';
    return text;
}

}  // namespace

CXmlDocument::CXmlDocument(const wchar_t* text)
    : text_(nullptr), elements_(nullptr), count_(0), capacity_(0), preserveWhitespace_(true)
{
    errorText_[0] = L'\0';
    errorLocation_[0] = L'\0';
    if (text != nullptr)
        LoadText(text);
}

CXmlDocument::~CXmlDocument()
{
    Release();
}

void CXmlDocument::Release()
{
    free(text_);
    free(elements_);
    text_ = nullptr;
    elements_ = nullptr;
    count_ = capacity_ = 0;
}

CXmlNode CXmlDocument::GetRoot()
{
    if (count_ < 2)
        return CXmlNode();
    return CXmlNode(this, 1);
}

bool CXmlDocument::LoadText(const wchar_t* text)
{
    Release();
    if (text == nullptr)
        return false;
    const size_t length = wcslen(text);
    if (length >= ULONG_MAX)
        return Fail(L"File too large", nullptr);
    wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (copy == nullptr)
        return Fail(L"Out of memory", nullptr);
    memcpy(copy, text, (length + 1) * sizeof(wchar_t));
    return AdoptText(copy);
}

bool CXmlDocument::AdoptText(wchar_t* text)
{
    Release();
    text_ = text;
    if (Parse())
        return true;
    Release();
    return false;
}

bool CXmlDocument::LoadBuffer(const BYTE* bytes, DWORD size, int encoding)
{
    Release();
    if (bytes == nullptr && size != 0)
        return false;
    wchar_t* text = nullptr;
    if (encoding == kXmlUtf8) {
        if (size > 2 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            bytes += 3;
            size -= 3;
        }
        text = DecodeToWide(CP_UTF8, bytes, size);
    } else if (encoding == kXmlAnsi) {
        text = DecodeToWide(CP_ACP, bytes, size);
    } else {
        text = DecodeUtf16(bytes, size);
    }
    if (text == nullptr)
        return Fail(L"Could not decode text", nullptr);
    return AdoptText(text);
}

bool CXmlDocument::LoadFile(const wchar_t* name, int encoding)
{
    Release();
    if (name == nullptr)
        return Fail(L"Error opening file", nullptr);
    BYTE* bytes = nullptr;
    DWORD size = 0;
    const bool read =
        CUiManager::GetResourceZip().IsEmpty() ? ReadFileBytes(name, &bytes, &size) : ReadZipBytes(name, &bytes, &size);
    if (!read)
        return false;
    const bool loaded = LoadBuffer(bytes, size, encoding);
    free(bytes);
    return loaded;
}

bool CXmlDocument::ReadFileBytes(const wchar_t* name, BYTE** bytes, DWORD* size)
{
    const CUiString path = CUiManager::GetResourcePath() + name;
    ScopedHandle file(CreateFileW(path.GetData(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Fail(L"Error opening file", nullptr);
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(file.get(), &fileSize))
        return Fail(L"Could not read file", nullptr);
    if (fileSize.QuadPart == 0)
        return Fail(L"File is empty", nullptr);
    if (fileSize.QuadPart > static_cast<LONGLONG>(kXmlMaxFileSize))
        return Fail(L"File too large", nullptr);
    *size = static_cast<DWORD>(fileSize.QuadPart);
    *bytes = static_cast<BYTE*>(malloc(*size));
    if (*bytes == nullptr)
        return Fail(L"Could not read file", nullptr);
    DWORD got = 0;
    if (!ReadFile(file.get(), *bytes, *size, &got, nullptr) || got != *size) {
        free(*bytes);
        *bytes = nullptr;
        return Fail(L"Could not read file", nullptr);
    }
    return true;
}

bool CXmlDocument::ReadZipBytes(const wchar_t* name, BYTE** bytes, DWORD* size)
{
    ZipHandle* zip = CUiManager::GetResourceZipHandle();
    const bool ownZip = !CUiManager::IsResourceZipCached();
    if (ownZip) {
        const CUiString path = CUiManager::GetResourcePath() + CUiManager::GetResourceZip();
        zip = ZipArchiveOpen(path.GetData(), 0, kZipFileName);
    }
    if (zip == nullptr)
        return Fail(L"Error opening zip file", nullptr);
    bool read = false;
    int index = -1;
    ZipEntryInfo entry;
    if (ZipArchiveFindEntry(zip, name, true, &index, &entry) != kZipOk) {
        Fail(L"Could not find ziped file", nullptr);
    } else if (entry.uncompressedSize == 0) {
        Fail(L"File is empty", nullptr);
    } else if (entry.uncompressedSize > kXmlMaxFileSize) {
        Fail(L"File too large", nullptr);
    } else if ((*bytes = static_cast<BYTE*>(malloc(entry.uncompressedSize))) == nullptr) {
        Fail(L"Could not unzip file", nullptr);
    } else {
        const DWORD result = ZipArchiveExtractEntry(zip, index, *bytes, entry.uncompressedSize, kZipMemory);
        read = result == kZipOk || result == kZipMore;
        if (read) {
            *size = entry.uncompressedSize;
        } else {
            free(*bytes);
            *bytes = nullptr;
            Fail(L"Could not unzip file", nullptr);
        }
    }
    if (ownZip)
        ZipArchiveClose(zip);
    return read;
}

bool CXmlDocument::Fail(const wchar_t* text, const wchar_t* location)
{
    wcsncpy(errorText_, text, ARRAYSIZE(errorText_) - 1);
    errorText_[ARRAYSIZE(errorText_) - 1] = L'\0';
    errorLocation_[0] = L'\0';
    if (location != nullptr) {
        wcsncpy(errorLocation_, location, ARRAYSIZE(errorLocation_) - 1);
        errorLocation_[ARRAYSIZE(errorLocation_) - 1] = L'\0';
    }
    return false;
}

bool CXmlDocument::ReserveElement(ULONG* index)
{
    if (count_ == capacity_) {
        const ULONG growth = capacity_ / 2 + kFirstElements;
        if (capacity_ > ULONG_MAX / 2 || static_cast<size_t>(capacity_ + growth) > SIZE_MAX / sizeof(XmlElement))
            return Fail(L"Out of memory", nullptr);
        XmlElement* grown =
            static_cast<XmlElement*>(realloc(elements_, static_cast<size_t>(capacity_ + growth) * sizeof(XmlElement)));
        if (grown == nullptr)
            return Fail(L"Out of memory", nullptr);
        elements_ = grown;
        capacity_ += growth;
    }
    elements_[count_] = XmlElement{0, 0, 0, 0, 0};
    *index = count_++;
    return true;
}

bool CXmlDocument::Parse()
{
    count_ = 0;
    errorText_[0] = L'\0';
    errorLocation_[0] = L'\0';
    ULONG placeholder = 0;
    if (!ReserveElement(&placeholder))
        return false;
    wchar_t* p = text_;
    return ParseLevel(p, 0, 0);
}

// Parses the elements of one level up to the "</" that closes the parent.
bool CXmlDocument::ParseLevel(wchar_t*& p, ULONG parent, int depth)
{
    if (depth > kMaxNesting)
        return Fail(L"Elements nested too deeply", p);
    ULONG previous = 0;
    while (true) {
        SkipWhitespace(p);
        if (*p == L'\0' && parent <= 1)
            return true;
        if (*p != L'<')
            return Fail(L"Expected start tag", p);
        // Ends this level; the caller reads the end tag. At the top there
        // is no caller and the parse simply ends.
        if (p[1] == L'/')
            return true;
        *p++ = L'\0';
        if (*p == L'!' || *p == L'?') {
            SkipDeclaration(p);
            continue;
        }
        if (!ParseElement(p, parent, previous, depth))
            return false;
    }
}

// Parses one element from its name on, with its children and end tag.
bool CXmlDocument::ParseElement(wchar_t*& p, ULONG parent, ULONG& previous, int depth)
{
    ULONG index = 0;
    if (!ReserveElement(&index))
        return false;
    XmlElement& element = elements_[index];
    element.start = static_cast<ULONG>(p - text_);
    element.parent = parent;
    if (previous != 0)
        elements_[previous].next = index;
    else if (parent != 0)
        elements_[parent].child = index;
    previous = index;

    wchar_t* name = p;
    SkipName(p);
    wchar_t* nameEnd = p;
    const size_t nameLength = static_cast<size_t>(nameEnd - name);
    // Only a name cut off by the end of the text is an error; an empty one
    // elsewhere is read on as it stands.
    if (nameLength == 0 && *p == L'\0')
        return Fail(L"Error parsing element name", p);
    if (!ParseAttributes(p))
        return false;
    SkipWhitespace(p);
    if (p[0] == L'/' && p[1] == L'>') {
        elements_[index].data = static_cast<ULONG>(p - text_);
        *p = L'\0';
        p += 2;
        *nameEnd = L'\0';
        return true;
    }
    if (*p != L'>')
        return Fail(L"Expected start-tag closing", p);
    elements_[index].data = static_cast<ULONG>(++p - text_);
    *nameEnd = L'\0';
    wchar_t* dest = p;
    if (!ParseData(p, dest, L'<'))
        return false;
    if (*p == L'\0' && parent <= 1)
        return true;
    if (*p != L'<')
        return Fail(L"Expected end-tag start", p);
    if (p[1] != L'/' && !ParseLevel(p, index, depth + 1))
        return false;
    if (p[0] != L'<' || p[1] != L'/')
        return Fail(L"Unmatched closing tag", p);
    *dest = L'\0';
    *p = L'\0';
    p += 2;
    if (wcsncmp(p, name, nameLength) != 0)
        return Fail(L"Unmatched closing tag", p);
    p += nameLength;
    SkipWhitespace(p);
    if (*p != L'>')
        return Fail(L"Unmatched closing tag", p);
    ++p;
    return true;
}

// Reads name="value" pairs up to '/' or '>'; each name and value is ended
// with a zero in place.
bool CXmlDocument::ParseAttributes(wchar_t*& p)
{
    while (true) {
        SkipWhitespace(p);
        if (*p == L'\0' || *p == L'/' || *p == L'>')
            return true;
        SkipName(p);
        wchar_t* nameEnd = p;
        SkipWhitespace(p);
        if (*p != L'=')
            return Fail(L"Error while parsing attributes", p);
        // The '=' becomes a blank so that the node's attribute scan finds
        // only names, blanks and quoted values.
        *p++ = L' ';
        *nameEnd = L'\0';
        SkipWhitespace(p);
        if (*p != L'"')
            return Fail(L"Expected attribute value", p);
        ++p;
        wchar_t* dest = p;
        if (!ParseData(p, dest, L'"'))
            return false;
        if (*p == L'\0')
            return Fail(L"Error while parsing attribute string", p);
        *dest = L'\0';
        if (p != dest)
            *p = L' ';
        ++p;
    }
}

// Copies the text up to stop (or the end) to dest, decoding the five
// entities; the characters left between dest and p become blanks.
bool CXmlDocument::ParseData(wchar_t*& p, wchar_t*& dest, wchar_t stop)
{
    while (*p != L'\0' && *p != stop) {
        if (*p == L'&') {
            bool decoded = false;
            for (const Entity& entity : kEntities) {
                const size_t length = wcslen(entity.text);
                if (wcsncmp(p, entity.text, length) == 0) {
                    *dest++ = entity.ch;
                    p += length;
                    decoded = true;
                    break;
                }
            }
            if (!decoded)
                *dest++ = *p++;
        } else if (*p == L' ') {
            *dest++ = *p++;
            if (!preserveWhitespace_)
                SkipWhitespace(p);
        } else {
            *dest++ = *p++;
        }
    }
    for (wchar_t* blank = dest; blank < p; ++blank)
        *blank = L' ';
    return true;
}

}  // namespace UiLib
