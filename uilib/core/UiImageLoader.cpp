// Loading an image of the skin (a resource, a file of the resource folder or
// an entry of the skin zip) into a premultiplied 32-bit DIB section.
#include "UiImageLoader.h"

#include "UiGdi.h"
#include "UiManager.h"
#include "UiRender.h"
#include "UiZip.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#include <stb_image.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace UiLib {

namespace {

typedef std::vector<BYTE> Bytes;

// Sizes come from files and archives: the buffer is capped and its
// allocation checked.
bool SizeBuffer(Bytes& bytes, unsigned long long size)
{
    if (size == 0 || size > kMaxEncodedImageBytes)
        return false;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ReadResource(const wchar_t* name, const wchar_t* type, Bytes& bytes)
{
    HMODULE module = CUiManager::GetResourceInstance();
    HRSRC resource = FindResourceW(module, name, type);
    if (resource == nullptr)
        return false;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || !SizeBuffer(bytes, size))
        return false;
    memcpy(bytes.data(), data, size);
    return true;
}

bool ReadWholeFile(const wchar_t* path, Bytes& bytes)
{
    ScopedHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        !SizeBuffer(bytes, static_cast<unsigned long long>(size.QuadPart))) {
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
        return false;
    }
    return true;
}

// The archive declares the size, and the buffer is made of exactly that
// size. An empty entry is found, and read as no bytes, which no decoder
// takes.
bool ExtractEntry(ZipHandle* zip, const wchar_t* name, Bytes& bytes)
{
    int index = -1;
    ZipEntryInfo info = {};
    if (ZipArchiveFindEntry(zip, name, true, &index, &info) != kZipOk)
        return false;
    if (info.uncompressedSize == 0) {
        bytes.clear();
        return true;
    }
    if (!SizeBuffer(bytes, info.uncompressedSize))
        return false;
    const DWORD result = ZipArchiveExtractEntry(zip, index, bytes.data(), info.uncompressedSize, kZipMemory);
    return result == kZipOk || result == kZipMore;
}

bool ReadFromZip(const wchar_t* name, Bytes& bytes)
{
    if (CUiManager::IsResourceZipCached()) {
        ZipHandle* zip = CUiManager::GetResourceZipHandle();
        return zip != nullptr && ExtractEntry(zip, name, bytes);
    }
    const CUiString path = CUiManager::GetResourcePath() + CUiManager::GetResourceZip();
    ZipHandle* zip = ZipArchiveOpen(path.GetData(), 0, kZipFileName);
    if (zip == nullptr)
        return false;
    const bool ok = ExtractEntry(zip, name, bytes);
    ZipArchiveClose(zip);
    return ok;
}

bool ReadEncoded(const wchar_t* name, const wchar_t* type, Bytes& bytes)
{
    if (type != nullptr)
        return ReadResource(name, type, bytes);
    if (CUiManager::GetResourceZip().IsEmpty()) {
        const CUiString path = CUiManager::GetResourcePath() + name;
        return ReadWholeFile(path.GetData(), bytes);
    }
    return ReadFromZip(name, bytes);
}

struct StbiFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

bool PremultiplyPixels(const BYTE* rgba, DWORD* out, size_t count, DWORD mask)
{
    bool hasAlpha = false;
    for (size_t i = 0; i < count; ++i) {
        const BYTE* p = rgba + i * 4;
        const DWORD alpha = p[3];
        DWORD red = p[0];
        DWORD green = p[1];
        DWORD blue = p[2];
        if (alpha != 255) {
            red = red * alpha / 255;
            green = green * alpha / 255;
            blue = blue * alpha / 255;
            hasAlpha = true;
        }
        DWORD value = (alpha << 24) | (red << 16) | (green << 8) | blue;
        if (value == mask) {
            value = 0;
            hasAlpha = true;
        }
        out[i] = value;
    }
    return hasAlpha;
}

UiImageInfo* CUiRender::LoadBitmapImage(const wchar_t* name, const wchar_t* resourceType, DWORD maskColor)
{
    if (name == nullptr)
        return nullptr;
    Bytes encoded;
    // A resource id is no text, so only a named image can fall back to a path.
    const bool named = IS_INTRESOURCE(name) == FALSE;
    if (!ReadEncoded(name, resourceType, encoded) && !(named && ReadWholeFile(name, encoded)))
        return nullptr;
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<stbi_uc, StbiFree> pixels(
        stbi_load_from_memory(encoded.data(), static_cast<int>(encoded.size()), &width, &height, &channels, 4));
    if (!pixels || width <= 0 || height <= 0)
        return nullptr;
    DWORD* bits = nullptr;
    ScopedGdiObject bitmap(CreateDib32(nullptr, width, height, &bits));
    if (!bitmap)
        return nullptr;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    const bool hasAlpha = PremultiplyPixels(pixels.get(), bits, count, maskColor);
    UiImageInfo* image = new UiImageInfo();
    image->bitmap = static_cast<HBITMAP>(bitmap.release());
    image->width = width;
    image->height = height;
    image->hasAlpha = hasAlpha;
    image->maskColor = 0;
    return image;
}

void CUiRender::FreeImage(UiImageInfo* image)
{
    if (image == nullptr)
        return;
    // The record keeps its plain handle, which its readers draw with; it is
    // let go here and nowhere else.
    ScopedGdiObject bitmap(image->bitmap);
    delete image;
}

}  // namespace UiLib
