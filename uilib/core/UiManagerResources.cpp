// What the manager keeps for its controls to share: fonts, images, default
// attribute lists of control classes, and option groups.
#include "UiManager.h"

#include "UiGdi.h"
#include "UiRender.h"

#include <cwchar>
#include <cwctype>

namespace UiLib {

namespace {

// A face name must leave room for the terminator of LOGFONTW's array; longer
// names from the skin are cut.
void CopyFaceName(LOGFONTW& font, const wchar_t* face)
{
    lstrcpynW(font.lfFaceName, face != nullptr ? face : L"", LF_FACESIZE);
}

LOGFONTW StockFont()
{
    LOGFONTW font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    return font;
}

LOGFONTW DescribeFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW font = StockFont();
    CopyFaceName(font, face);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfHeight = -size;
    if (bold)
        font.lfWeight += FW_BOLD;
    if (underline)
        font.lfUnderline = TRUE;
    if (italic)
        font.lfItalic = TRUE;
    return font;
}

// Metrics come from the window's device context. Without a window there is
// nothing to measure on: the metrics stay unmeasured (height 0) and are
// measured on a later use once the window exists.
void MeasureFont(HDC windowDc, UiFontInfo& info)
{
    if (info.metrics.tmHeight != 0 || info.font == nullptr || windowDc == nullptr)
        return;
    ScopedSelection selection(windowDc, info.font);
    GetTextMetricsW(windowDc, &info.metrics);
}

bool SameFont(const UiFontInfo& info, const LOGFONTW& wanted, int size, bool bold, bool underline, bool italic)
{
    return info.faceName == wanted.lfFaceName && info.size == size && info.bold == bold &&
           info.underline == underline && info.italic == italic;
}

// The record of a font from its description; metrics not yet measured.
void FillFontInfo(UiFontInfo& info, HFONT font, const LOGFONTW& description, int size, bool bold, bool underline,
                  bool italic)
{
    info.font = font;
    info.faceName = description.lfFaceName;
    info.size = size;
    info.bold = bold;
    info.underline = underline;
    info.italic = italic;
    info.metrics = TEXTMETRICW();
}

}  // namespace

HFONT CUiManager::AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    const LOGFONTW description = DescribeFont(face, size, bold, underline, italic);
    HFONT font = CreateFontIndirectW(&description);
    if (font == nullptr)
        return nullptr;
    UiFontInfo* info = new UiFontInfo();
    FillFontInfo(*info, font, description, size, bold, underline, italic);
    MeasureFont(windowDc_.get(), *info);
    if (!fonts_.Add(info)) {
        DeleteFontOf(*info);
        delete info;
        return nullptr;
    }
    return font;
}

HFONT CUiManager::GetFont(int index)
{
    if (index < 0 || index >= fonts_.GetSize())
        return GetDefaultFontInfo()->font;
    return static_cast<UiFontInfo*>(fonts_[index])->font;
}

UiFontInfo* CUiManager::GetFontInfo(int index)
{
    if (index < 0 || index >= fonts_.GetSize())
        return GetDefaultFontInfo();
    UiFontInfo* info = static_cast<UiFontInfo*>(fonts_[index]);
    MeasureFont(windowDc_.get(), *info);
    return info;
}

UiFontInfo* CUiManager::GetFontInfoOf(HFONT font)
{
    for (CUiManager* manager = this; manager != nullptr; manager = manager->parentResource_) {
        for (int i = 0; i < manager->fonts_.GetSize(); ++i) {
            UiFontInfo* info = static_cast<UiFontInfo*>(manager->fonts_[i]);
            if (info->font == font) {
                MeasureFont(manager->windowDc_.get(), *info);
                return info;
            }
        }
    }
    return GetDefaultFontInfo();
}

HFONT CUiManager::FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    const LOGFONTW wanted = DescribeFont(face, size, bold, underline, italic);
    for (CUiManager* manager = this; manager != nullptr; manager = manager->parentResource_) {
        for (int i = 0; i < manager->fonts_.GetSize(); ++i) {
            const UiFontInfo* info = static_cast<const UiFontInfo*>(manager->fonts_[i]);
            if (SameFont(*info, wanted, size, bold, underline, italic))
                return info->font;
        }
    }
    return nullptr;
}

UiFontInfo* CUiManager::GetDefaultFontInfo()
{
    CUiManager* top = this;
    while (top->parentResource_ != nullptr)
        top = top->parentResource_;
    MeasureFont(top->windowDc_.get(), top->defaultFont_);
    return &top->defaultFont_;
}

void CUiManager::SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    const LOGFONTW description = DescribeFont(face, size, bold, underline, italic);
    HFONT font = CreateFontIndirectW(&description);
    if (font == nullptr)
        return;
    DeleteFontOf(defaultFont_);
    FillFontInfo(defaultFont_, font, description, size, bold, underline, italic);
    MeasureFont(windowDc_.get(), defaultFont_);
}

void CUiManager::RemoveAllFonts()
{
    for (int i = 0; i < fonts_.GetSize(); ++i) {
        UiFontInfo* info = static_cast<UiFontInfo*>(fonts_[i]);
        DeleteFontOf(*info);
        delete info;
    }
    fonts_.Empty();
}

void CUiManager::DeleteFontOf(UiFontInfo& info)
{
    ScopedGdiObject owner(info.font);
    info.font = nullptr;
}

// The default font: the stock GUI font in the default character set, in the
// process-wide face when one is set.
void CUiManager::InitDefaultFont()
{
    LOGFONTW description = StockFont();
    description.lfCharSet = DEFAULT_CHARSET;
    if (!defaultFontFace_.IsEmpty())
        CopyFaceName(description, defaultFontFace_.GetData());
    FillFontInfo(defaultFont_, CreateFontIndirectW(&description), description, -description.lfHeight,
                 description.lfWeight >= FW_BOLD, description.lfUnderline == TRUE, description.lfItalic == TRUE);
}

UiImageInfo* CUiManager::AddImage(const wchar_t* name, const wchar_t* resourceType, DWORD mask)
{
    // A name already in the map is loaded all the same; the map then refuses
    // the new record and keeps the first.
    if (name == nullptr || *name == L'\0')
        return nullptr;
    const bool fromResource = resourceType != nullptr && *resourceType != L'\0';
    UiImageInfo* image = nullptr;
    if (fromResource) {
        if (!iswdigit(name[0]))
            return nullptr;
        const WORD id = static_cast<WORD>(wcstol(name, nullptr, 10));
        image = CUiRender::LoadBitmapImage(MAKEINTRESOURCEW(id), resourceType, mask);
    } else {
        image = CUiRender::LoadBitmapImage(name, nullptr, mask);
    }
    if (image == nullptr)
        return nullptr;
    if (fromResource)
        image->resourceType = resourceType;
    image->maskColor = mask;
    if (!images_.Insert(name, image)) {
        CUiRender::FreeImage(image);
        return nullptr;
    }
    return image;
}

UiImageInfo* CUiManager::GetOrLoadImage(const wchar_t* name, const wchar_t* resourceType, DWORD mask)
{
    if (name == nullptr)
        return nullptr;
    UiImageInfo* image = static_cast<UiImageInfo*>(images_.Find(name));
    if (image != nullptr)
        return image;
    AddImage(name, resourceType, mask);
    return static_cast<UiImageInfo*>(images_.Find(name));
}

void CUiManager::RemoveAllImages()
{
    for (int i = 0; i < images_.GetSize(); ++i)
        CUiRender::FreeImage(static_cast<UiImageInfo*>(images_.Find(images_.GetKeyAt(i), false)));
    images_.RemoveAll();
}

void CUiManager::AddClassDefaults(const wchar_t* className, const wchar_t* attributes)
{
    if (className == nullptr || classDefaults_.Find(className) != nullptr)
        return;
    CUiString* copy = new CUiString(attributes);
    if (!classDefaults_.Insert(className, copy))
        delete copy;
}

const wchar_t* CUiManager::GetClassDefaults(const wchar_t* className) const
{
    for (const CUiManager* manager = this; manager != nullptr; manager = manager->parentResource_) {
        const CUiString* attributes = static_cast<const CUiString*>(manager->classDefaults_.Find(className));
        if (attributes != nullptr)
            return attributes->GetData();
    }
    return nullptr;
}

void CUiManager::RemoveAllClassDefaults()
{
    for (int i = 0; i < classDefaults_.GetSize(); ++i)
        delete static_cast<CUiString*>(classDefaults_.Find(classDefaults_.GetKeyAt(i), false));
    classDefaults_.RemoveAll();
}

bool CUiManager::AddOptionGroup(const wchar_t* group, CControlUI* control)
{
    CUiPtrArray* members = static_cast<CUiPtrArray*>(optionGroups_.Find(group));
    if (members != nullptr)
        return members->Find(control) < 0 && members->Add(control);
    members = new CUiPtrArray(6);
    if (!members->Add(control) || !optionGroups_.Insert(group, members)) {
        delete members;
        return false;
    }
    return true;
}

void CUiManager::RemoveOptionGroup(const wchar_t* group, CControlUI* control)
{
    CUiPtrArray* members = static_cast<CUiPtrArray*>(optionGroups_.Find(group));
    if (members == nullptr)
        return;
    const int index = members->Find(control);
    if (index >= 0)
        members->Remove(index);
    if (members->IsEmpty()) {
        delete members;
        optionGroups_.Remove(group);
    }
}

CUiPtrArray* CUiManager::GetOptionGroup(const wchar_t* group)
{
    return static_cast<CUiPtrArray*>(optionGroups_.Find(group));
}

void CUiManager::RemoveAllOptionGroups()
{
    for (int i = 0; i < optionGroups_.GetSize(); ++i)
        delete static_cast<CUiPtrArray*>(optionGroups_.Find(optionGroups_.GetKeyAt(i), false));
    optionGroups_.RemoveAll();
}

}  // namespace UiLib
