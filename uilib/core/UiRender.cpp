// The render engine: fills, gradients, nine-grid bitmaps, image attribute
// strings, plain text, outlines and colour arithmetic.
#include "UiRender.h"

#include "UiGdi.h"
#include "UiImageLoader.h"
#include "UiImageAttr.h"
#include "UiManager.h"
#include "UiRenderGeometry.h"

#include <algorithm>
#include <cmath>

namespace UiLib {

namespace {

typedef BOOL(WINAPI* AlphaBlendProc)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
typedef BOOL(WINAPI* GradientFillProc)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

// The two routines are optional: msimg32.dll may lack them.
template <typename Proc>
Proc LookUpMsimg32(const char* name)
{
    HMODULE module = GetModuleHandleW(L"msimg32.dll");
    if (module == nullptr)
        module = LoadLibraryW(L"msimg32.dll");
    FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    // Through the generic function type, as a looked-up address must be.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(address));
}

// The software blend with the calling convention of the system's routine.
BOOL WINAPI SoftwareBlend(HDC hdcDest, int x, int y, int width, int height, HDC hdcSrc, int xSrc, int ySrc,
                          int widthSrc, int heightSrc, BLENDFUNCTION blend)
{
    return CUiRender::SoftwareAlphaBlend(hdcDest, x, y, width, height, hdcSrc, xSrc, ySrc, widthSrc, heightSrc, blend);
}

AlphaBlendProc AlphaBlendFunction()
{
    static const AlphaBlendProc proc = LookUpMsimg32<AlphaBlendProc>("AlphaBlend");
    return proc != nullptr ? proc : &SoftwareBlend;
}

GradientFillProc GradientFillFunction()
{
    static const GradientFillProc proc = LookUpMsimg32<GradientFillProc>("GradientFill");
    return proc;
}

BLENDFUNCTION SourceAlphaBlend(BYTE constantAlpha)
{
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, constantAlpha, AC_SRC_ALPHA};
    return blend;
}

int Width(const RECT& rc)
{
    return rc.right - rc.left;
}

int Height(const RECT& rc)
{
    return rc.bottom - rc.top;
}

bool IsEmptyArea(const RECT& rc)
{
    return Width(rc) <= 0 || Height(rc) <= 0;
}

bool Meets(const RECT& a, const RECT& b)
{
    RECT common;
    return IntersectRect(&common, &a, &b) != FALSE;
}

void DrawPiece(HDC hdc, HDC source, const UiBlitPiece& piece, bool blend, BYTE fade)
{
    const RECT& d = piece.dest;
    const RECT& s = piece.source;
    if (IsEmptyArea(d) || IsEmptyArea(s))
        return;
    if (blend) {
        AlphaBlendFunction()(hdc, d.left, d.top, Width(d), Height(d), source, s.left, s.top, Width(s), Height(s),
                             SourceAlphaBlend(fade));
    } else if (Width(d) == Width(s) && Height(d) == Height(s)) {
        BitBlt(hdc, d.left, d.top, Width(d), Height(d), source, s.left, s.top, SRCCOPY);
    } else {
        StretchBlt(hdc, d.left, d.top, Width(d), Height(d), source, s.left, s.top, Width(s), Height(s), SRCCOPY);
    }
}

// The gradient itself, at the rectangle's place in hdc.
void FillGradient(HDC hdc, const RECT& rc, DWORD color1, DWORD color2, bool vertical, int steps)
{
    GradientFillProc gradientFill = GradientFillFunction();
    if (gradientFill == nullptr) {
        for (const UiGradientBand& band : GradientBands(rc, color1, color2, vertical, steps)) {
            ScopedGdiObject brush(CreateSolidBrush(band.color));
            if (brush)
                FillRect(hdc, &band.rect, static_cast<HBRUSH>(brush.get()));
        }
        return;
    }
    TRIVERTEX vertices[2] = {};
    const DWORD colors[2] = {color1, color2};
    const POINT corners[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
    for (int i = 0; i < 2; ++i) {
        vertices[i].x = corners[i].x;
        vertices[i].y = corners[i].y;
        vertices[i].Red = static_cast<COLOR16>(((colors[i] >> 16) & 0xFF) << 8);
        vertices[i].Green = static_cast<COLOR16>(((colors[i] >> 8) & 0xFF) << 8);
        vertices[i].Blue = static_cast<COLOR16>((colors[i] & 0xFF) << 8);
        vertices[i].Alpha = 0xFF00;
    }
    GRADIENT_RECT gradient = {0, 1};
    gradientFill(hdc, vertices, 2, &gradient, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

// HSL helpers on channels in 0..1.
float HueToChannel(float p, float q, float t)
{
    if (t < 0.0f)
        t += 1.0f;
    if (t > 1.0f)
        t -= 1.0f;
    if (t < 1.0f / 6.0f)
        return p + (q - p) * 6.0f * t;
    if (t < 0.5f)
        return q;
    if (t < 2.0f / 3.0f)
        return p + (q - p) * (2.0f / 3.0f - t) * 6.0f;
    return p;
}

BYTE ToByte(float channel)
{
    const float scaled = channel * 255.0f + 0.5f;
    return static_cast<BYTE>(std::min(255.0f, std::max(0.0f, scaled)));
}

}  // namespace

DWORD CUiRender::AdjustColorHsl(DWORD color, short hue, short saturation, short lightness)
{
    if (hue == 180 && saturation == 100 && lightness == 100)
        return color;
    float h = 0.0f;
    float s = 0.0f;
    float l = 0.0f;
    RgbToHsl(color, &h, &s, &l);
    h += static_cast<float>(hue - 180);
    if (h <= 0.0f)
        h += 360.0f;
    s = s * saturation / 100.0f;
    l = l * lightness / 100.0f;
    return (color & 0xFF000000) | HslToRgb(h, s, l);
}

// The low byte is the first channel and bits 16-23 the third, as the colour
// values of the skins are read.
void CUiRender::RgbToHsl(DWORD color, float* hue, float* saturation, float* lightness)
{
    const float r = (color & 0xFF) / 255.0f;
    const float g = ((color >> 8) & 0xFF) / 255.0f;
    const float b = ((color >> 16) & 0xFF) / 255.0f;
    const float high = std::max(r, std::max(g, b));
    const float low = std::min(r, std::min(g, b));
    const float delta = high - low;
    float h = 0.0f;
    float s = 0.0f;
    const float l = (high + low) / 2.0f;
    if (delta > 0.0f) {
        s = l < 0.5f ? delta / (high + low) : delta / (2.0f - high - low);
        if (high == r)
            h = (g - b) / delta + (g < b ? 6.0f : 0.0f);
        else if (high == g)
            h = (b - r) / delta + 2.0f;
        else
            h = (r - g) / delta + 4.0f;
        h *= 60.0f;
    }
    *hue = h;
    *saturation = s;
    *lightness = l;
}

DWORD CUiRender::HslToRgb(float hue, float saturation, float lightness)
{
    const float s = std::min(1.0f, std::max(0.0f, saturation));
    const float l = std::min(1.0f, std::max(0.0f, lightness));
    float r = l;
    float g = l;
    float b = l;
    if (s > 0.0f) {
        const float h = std::fmod(hue, 360.0f) / 360.0f;
        const float q = l < 0.5f ? l * (1.0f + s) : l + s - l * s;
        const float p = 2.0f * l - q;
        r = HueToChannel(p, q, h + 1.0f / 3.0f);
        g = HueToChannel(p, q, h);
        b = HueToChannel(p, q, h - 1.0f / 3.0f);
    }
    return static_cast<DWORD>(ToByte(r)) | (static_cast<DWORD>(ToByte(g)) << 8) | (static_cast<DWORD>(ToByte(b)) << 16);
}

DWORD CUiRender::MixColors(DWORD color1, double weight1, DWORD color2, double weight2)
{
    DWORD mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double value = ((color1 >> shift) & 0xFF) * weight1 + ((color2 >> shift) & 0xFF) * weight2;
        const DWORD channel = static_cast<DWORD>(std::min(255.0, std::max(0.0, value)));
        mixed |= channel << shift;
    }
    return mixed;
}

BOOL CUiRender::SoftwareAlphaBlend(HDC hdcDest, int x, int y, int width, int height, HDC hdcSrc, int xSrc, int ySrc,
                                   int widthSrc, int heightSrc, BLENDFUNCTION blend)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    ScopedMemoryDc sourceDc(CreateCompatibleDC(hdcDest));
    ScopedMemoryDc destDc(CreateCompatibleDC(hdcDest));
    if (!sourceDc || !destDc)
        return FALSE;
    DWORD* sourceBits = nullptr;
    DWORD* destBits = nullptr;
    ScopedGdiObject sourceBitmap(CreateDib32(hdcDest, width, height, &sourceBits));
    ScopedGdiObject destBitmap(CreateDib32(hdcDest, width, height, &destBits));
    if (!sourceBitmap || !destBitmap)
        return FALSE;
    ScopedSelection sourceSelection(sourceDc.get(), sourceBitmap.get());
    ScopedSelection destSelection(destDc.get(), destBitmap.get());
    SetStretchBltMode(sourceDc.get(), COLORONCOLOR);
    StretchBlt(sourceDc.get(), 0, 0, width, height, hdcSrc, xSrc, ySrc, widthSrc, heightSrc, SRCCOPY);
    BitBlt(destDc.get(), 0, 0, width, height, hdcDest, x, y, SRCCOPY);
    GdiFlush();
    // The source is premultiplied, as for AlphaBlend: its colour is scaled by
    // the constant alpha only, the destination by what the source leaves.
    const double constant = blend.SourceConstantAlpha / 255.0;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i) {
        const double alpha = std::max(0.0, (sourceBits[i] >> 24) * constant / 255.0);
        destBits[i] = MixColors(sourceBits[i], constant, destBits[i], 1.0 - alpha);
    }
    BitBlt(hdcDest, x, y, width, height, destDc.get(), 0, 0, SRCCOPY);
    return TRUE;
}

void CUiRender::FillColor(HDC hdc, const RECT& rc, DWORD color)
{
    const DWORD alpha = color >> 24;
    if (alpha == 0 || hdc == nullptr)
        return;
    if (alpha == 0xFF) {
        SetBkColor(hdc, ToColorRef(color));
        ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
        return;
    }
    DWORD* bits = nullptr;
    ScopedGdiObject pixel(CreateDib32(hdc, 1, 1, &bits));
    if (!pixel)
        return;
    // Blending with per-pixel alpha takes premultiplied colour.
    const BYTE rgba[4] = {static_cast<BYTE>(color >> 16), static_cast<BYTE>(color >> 8), static_cast<BYTE>(color),
                          static_cast<BYTE>(alpha)};
    PremultiplyPixels(rgba, bits, 1, 0);
    const RECT source = {0, 0, 1, 1};
    const RECT none = {0, 0, 0, 0};
    DrawBitmap(hdc, static_cast<HBITMAP>(pixel.get()), rc, rc, source, none, true, 255, false, false, false);
}

void CUiRender::DrawGradient(HDC hdc, const RECT& rc, DWORD color1, DWORD color2, bool vertical, int steps)
{
    const BYTE alpha = static_cast<BYTE>(((color1 >> 24) + (color2 >> 24)) >> 1);
    if (alpha == 0 || hdc == nullptr || IsEmptyArea(rc))
        return;
    if (alpha == 255) {
        FillGradient(hdc, rc, color1, color2, vertical, steps);
        return;
    }
    // A translucent gradient is drawn opaque off-screen, by either route, and
    // blended as a whole with the mean alpha.
    ScopedMemoryDc memoryDc(CreateCompatibleDC(hdc));
    DWORD* bits = nullptr;
    ScopedGdiObject bitmap(CreateDib32(hdc, Width(rc), Height(rc), &bits));
    if (!memoryDc || !bitmap)
        return;
    ScopedSelection selection(memoryDc.get(), bitmap.get());
    const RECT local = {0, 0, Width(rc), Height(rc)};
    FillGradient(memoryDc.get(), local, color1, color2, vertical, steps);
    GdiFlush();
    const size_t count = static_cast<size_t>(Width(rc)) * static_cast<size_t>(Height(rc));
    for (size_t i = 0; i < count; ++i)
        bits[i] |= 0xFF000000;
    AlphaBlendFunction()(hdc, rc.left, rc.top, Width(rc), Height(rc), memoryDc.get(), 0, 0, Width(rc), Height(rc),
                         SourceAlphaBlend(alpha));
}

void CUiRender::DrawBitmap(HDC hdc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                           const RECT& corner, bool hasAlpha, BYTE fade, bool hole, bool xtiled, bool ytiled)
{
    if (hdc == nullptr || bitmap == nullptr)
        return;
    ScopedMemoryDc memoryDc(CreateCompatibleDC(hdc));
    if (!memoryDc)
        return;
    ScopedSelection selection(memoryDc.get(), bitmap);
    if (!selection.ok())
        return;
    SetStretchBltMode(hdc, HALFTONE);
    SetBrushOrgEx(hdc, 0, 0, nullptr);
    const bool blend = hasAlpha || fade != 255;
    const bool noCorners = corner.left == 0 && corner.top == 0 && corner.right == 0 && corner.bottom == 0;
    if (!blend && noCorners && Width(dest) == Width(source) && Height(dest) == Height(source)) {
        RECT visible;
        if (IntersectRect(&visible, &dest, &paint)) {
            BitBlt(hdc, visible.left, visible.top, Width(visible), Height(visible), memoryDc.get(),
                   source.left + visible.left - dest.left, source.top + visible.top - dest.top, SRCCOPY);
        }
        return;
    }
    if (!hole) {
        for (const UiBlitPiece& piece : CentrePieces(dest, source, corner, paint, xtiled, ytiled))
            DrawPiece(hdc, memoryDc.get(), piece, blend, fade);
    }
    for (const UiBlitPiece& piece : BorderPieces(dest, source, corner, paint))
        DrawPiece(hdc, memoryDc.get(), piece, blend, fade);
}

bool CUiRender::DrawImageSpec(HDC hdc, CUiManager* manager, const RECT& item, const RECT& paint, const wchar_t* image,
                              const wchar_t* modifier)
{
    if (manager == nullptr || hdc == nullptr)
        return false;
    for (const UiImageDraw& draw : ParseImageAttribute(item, image, modifier)) {
        DrawImageParsed(hdc, manager, item, paint, draw.name, draw.resourceType, draw.dest, draw.source, draw.corner,
                        draw.mask, draw.fade, draw.hole, draw.xtiled, draw.ytiled);
    }
    return true;
}

bool CUiRender::DrawImageParsed(HDC hdc, CUiManager* manager, const RECT& item, const RECT& paint,
                                const CUiString& name, const CUiString& resourceType, RECT dest, RECT source,
                                RECT corner, DWORD mask, BYTE fade, bool hole, bool xtiled, bool ytiled)
{
    if (name.IsEmpty() || manager == nullptr)
        return false;
    const UiImageInfo* image =
        manager->GetOrLoadImage(name.GetData(), resourceType.IsEmpty() ? nullptr : resourceType.GetData(), mask);
    if (image == nullptr)
        return false;
    if (source.left == 0 && source.top == 0 && source.right == 0 && source.bottom == 0) {
        source.right = image->width;
        source.bottom = image->height;
    }
    source.right = std::min<LONG>(source.right, image->width);
    source.bottom = std::min<LONG>(source.bottom, image->height);
    if (Meets(dest, item) && Meets(dest, paint))
        DrawBitmap(hdc, image->bitmap, dest, paint, source, corner, image->hasAlpha, fade, hole, xtiled, ytiled);
    return true;
}

void CUiRender::DrawLine(HDC hdc, const RECT& rc, int penWidth, DWORD color, int penStyle)
{
    LOGPEN description = {static_cast<UINT>(penStyle), {penWidth, 0}, ToColorRef(color)};
    ScopedGdiObject pen(CreatePenIndirect(&description));
    if (!pen)
        return;
    ScopedSelection selection(hdc, pen.get());
    POINT previous;
    MoveToEx(hdc, rc.left, rc.top, &previous);
    LineTo(hdc, rc.right, rc.bottom);
}

void CUiRender::DrawRectOutline(HDC hdc, const RECT& rc, int penWidth, DWORD color)
{
    ScopedGdiObject pen(CreatePen(PS_SOLID | PS_INSIDEFRAME, penWidth, ToColorRef(color)));
    if (!pen)
        return;
    ScopedSelection penSelection(hdc, pen.get());
    ScopedSelection brushSelection(hdc, GetStockObject(NULL_BRUSH));
    Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
}

void CUiRender::DrawRoundRectOutline(HDC hdc, const RECT& rc, int roundWidth, int roundHeight, int penWidth,
                                     DWORD color)
{
    ScopedGdiObject pen(CreatePen(PS_SOLID | PS_INSIDEFRAME, penWidth, ToColorRef(color)));
    if (!pen)
        return;
    ScopedSelection penSelection(hdc, pen.get());
    ScopedSelection brushSelection(hdc, GetStockObject(NULL_BRUSH));
    RoundRect(hdc, rc.left, rc.top, rc.right, rc.bottom, roundWidth, roundHeight);
}

void CUiRender::DrawPlainText(HDC hdc, CUiManager* manager, RECT& rc, const wchar_t* text, DWORD color, int fontIndex,
                              UINT format)
{
    if (text == nullptr || manager == nullptr || hdc == nullptr)
        return;
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, ToColorRef(color));
    ScopedSelection selection(hdc, manager->GetFont(fontIndex));
    DrawTextW(hdc, text, -1, &rc, format | DT_NOPREFIX);
}

}  // namespace UiLib
