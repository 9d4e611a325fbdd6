#pragma once
// Owners of the GDI handles that drawing code holds: objects (bitmaps,
// brushes, pens, fonts, regions), memory device contexts, a window's device
// context, and an object selected into a device context.
#include "ScopedHandle.h"

#include "Win32Prelude.h"

namespace UiLib {

struct MemoryDcTraits {
    using Value = HDC;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteDC(v); }
};

using ScopedMemoryDc = ScopedResource<MemoryDcTraits>;

// A device context from GetDC, given back to the window it came from (null:
// the screen). Kept with its window, since ReleaseDC needs both.
class ScopedWindowDc {
public:
    ScopedWindowDc() = default;
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() { reset(); }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    ScopedWindowDc(ScopedWindowDc&& other) noexcept : window_(other.window_), dc_(other.dc_) { other.dc_ = nullptr; }
    ScopedWindowDc& operator=(ScopedWindowDc&& other) noexcept
    {
        if (this != &other) {
            reset();
            window_ = other.window_;
            dc_ = other.dc_;
            other.dc_ = nullptr;
        }
        return *this;
    }

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

    void reset()
    {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
        dc_ = nullptr;
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects an object into a device context and selects the previous one back.
class ScopedSelection {
public:
    ScopedSelection(HDC hdc, HGDIOBJ object)
        : hdc_(hdc), previous_(hdc != nullptr && object != nullptr ? SelectObject(hdc, object) : nullptr)
    {
    }
    ~ScopedSelection()
    {
        if (previous_ != nullptr && previous_ != HGDI_ERROR)
            SelectObject(hdc_, previous_);
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

    bool ok() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC hdc_;
    HGDIOBJ previous_;
};

// A 32-bit top-down DIB section of width x height; bits receives its pixels.
inline HBITMAP CreateDib32(HDC hdc, int width, int height, DWORD** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = bitmap != nullptr ? static_cast<DWORD*>(pixels) : nullptr;
    return bitmap;
}

// The RGB part of an ARGB colour as a COLORREF (red in the low byte).
inline COLORREF ToColorRef(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace UiLib
