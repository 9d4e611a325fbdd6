#pragma once
// Shared by the render tests: a 32-bit canvas in a memory device context, and
// a PNG encoder so that tests make their images at run time.
#include "../foundation/TestFiles.h"
#include "UiGdi.h"

#include "Win32Prelude.h"
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace UiTest {

// A top-down 32-bit DIB section selected into a memory DC, filled with one
// colour (0x00RRGGBB).
class Canvas {
public:
    Canvas(int width, int height, DWORD fill = 0xFFFFFF) : width_(width), height_(height)
    {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = UiLib::CreateDib32(dc_, width, height, &bits_);
        old_ = SelectObject(dc_, bitmap_);
        Fill(fill);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    bool ok() const { return bits_ != nullptr; }
    void Fill(DWORD rgb)
    {
        GdiFlush();
        for (int i = 0; i < width_ * height_; ++i)
            bits_[i] = rgb;
    }
    // The colour at (x, y) as 0x00RRGGBB.
    DWORD At(int x, int y) const
    {
        GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }
    // Every pixel of the rectangle equals rgb.
    bool AllEqual(const RECT& rc, DWORD rgb) const
    {
        for (int y = rc.top; y < rc.bottom; ++y) {
            for (int x = rc.left; x < rc.right; ++x) {
                if (At(x, y) != rgb)
                    return false;
            }
        }
        return true;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

inline void PutBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(value >> shift));
}

inline void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, static_cast<uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// An RGBA PNG of width x height; pixels are 0xAARRGGBB, row by row.
inline std::string EncodePng(int width, int height, const std::vector<uint32_t>& pixels)
{
    std::vector<unsigned char> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            raw.push_back(static_cast<unsigned char>(p >> 16));
            raw.push_back(static_cast<unsigned char>(p >> 8));
            raw.push_back(static_cast<unsigned char>(p));
            raw.push_back(static_cast<unsigned char>(p >> 24));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", std::string(packed.begin(), packed.end()));
    PutChunk(png, "IEND", std::string());
    return png;
}

// A folder of its own beside the test program, as an absolute path ending in
// a backslash.
inline std::wstring WorkFolder(const std::wstring& name)
{
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring folder = std::wstring(current) + L"\\" + name + L".tmp\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// A square image of one colour (0xAARRGGBB).
inline std::string SolidPng(int width, int height, uint32_t color)
{
    return EncodePng(width, height, std::vector<uint32_t>(static_cast<size_t>(width * height), color));
}

}  // namespace UiTest
