#pragma once
// Stateless drawing operations shared by every control, and the clip that
// narrows a device context for the time of one paint.
#include "ScopedHandle.h"
#include "UiString.h"

#include "Win32Prelude.h"

namespace UiLib {

class CUiManager;

// A decoded image: a premultiplied 32-bit top-down DIB section. The loader
// fills the bitmap, size and alpha flag; the manager adds the rest.
struct UiImageInfo {
    HBITMAP bitmap;
    int width;
    int height;
    bool hasAlpha;
    CUiString resourceType;
    DWORD maskColor;
};

class CUiClip {
public:
    CUiClip() = default;
    ~CUiClip();
    CUiClip(const CUiClip&) = delete;
    CUiClip& operator=(const CUiClip&) = delete;

    static void ClipToRect(HDC hdc, RECT rc, CUiClip& clip);
    static void ClipToRoundRect(HDC hdc, RECT rc, RECT round, int width, int height, CUiClip& clip);
    void UseOuterClip();
    void UseOwnClip();

private:
    RECT rect_ = {};
    HDC hdc_ = nullptr;
    ScopedGdiObject ownRegion_;
    ScopedGdiObject outerRegion_;
};

class CUiRender {
public:
    static DWORD AdjustColorHsl(DWORD color, short hue, short saturation, short lightness);
    static void RgbToHsl(DWORD color, float* hue, float* saturation, float* lightness);
    static DWORD HslToRgb(float hue, float saturation, float lightness);
    static DWORD MixColors(DWORD color1, double weight1, DWORD color2, double weight2);

    static UiImageInfo* LoadBitmapImage(const wchar_t* name, const wchar_t* resourceType, DWORD maskColor);
    static void FreeImage(UiImageInfo* image);

    static void FillColor(HDC hdc, const RECT& rc, DWORD color);
    static void DrawGradient(HDC hdc, const RECT& rc, DWORD color1, DWORD color2, bool vertical, int steps);
    static void DrawBitmap(HDC hdc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                           const RECT& corner, bool hasAlpha, BYTE fade, bool hole, bool xtiled, bool ytiled);
    static bool DrawImageSpec(HDC hdc, CUiManager* manager, const RECT& item, const RECT& paint, const wchar_t* spec,
                              const wchar_t* modifier);
    static bool DrawImageParsed(HDC hdc, CUiManager* manager, const RECT& item, const RECT& paint,
                                const CUiString& name, const CUiString& resourceType, RECT dest, RECT source,
                                RECT corner, DWORD mask, BYTE fade, bool hole, bool xtiled, bool ytiled);
    static void DrawLine(HDC hdc, const RECT& rc, int penWidth, DWORD color, int penStyle);
    static void DrawRectOutline(HDC hdc, const RECT& rc, int penWidth, DWORD color);
    static void DrawRoundRectOutline(HDC hdc, const RECT& rc, int roundWidth, int roundHeight, int penWidth,
                                     DWORD color);
    static void DrawPlainText(HDC hdc, CUiManager* manager, RECT& rc, const wchar_t* text, DWORD color, int fontIndex,
                              UINT format);
    // Links: rects and texts are caller arrays of linkCount entries; on return
    // linkCount holds the number of links drawn.
    static void DrawMarkupText(HDC hdc, CUiManager* manager, RECT& rc, const wchar_t* text, DWORD color,
                               RECT* linkRects, CUiString* linkTexts, int& linkCount, UINT format);

    // Stands in for AlphaBlend where msimg32.dll lacks it; same arguments.
    static BOOL SoftwareAlphaBlend(HDC hdcDest, int x, int y, int width, int height, HDC hdcSrc, int xSrc, int ySrc,
                                   int widthSrc, int heightSrc, BLENDFUNCTION blend);
};

}  // namespace UiLib
