// Painting of the control base: background colour or gradient, background
// image, and the border in its plain, focused, rounded and per-side forms.
#include "ControlUI.h"

#include "UiImageAttr.h"
#include "UiRender.h"

#include <vector>

namespace UiLib {

namespace {

const DWORD kOpaqueAlpha = 0xFF000000;
const int kHalfGradientSteps = 8;
const int kFullGradientSteps = 16;

// The layers of a control, bottom to top.
void PaintLayers(CControlUI& control, HDC hdc)
{
    control.PaintBackgroundColor(hdc);
    control.PaintBackgroundImage(hdc);
    control.PaintStateImage(hdc);
    control.PaintText(hdc);
    control.PaintBorder(hdc);
}

// Each line runs along its edge of the item rect; skins are drawn for that.
void PaintSideBorders(HDC hdc, const RECT& rc, const RECT& widths, DWORD color, int style)
{
    if (widths.left > 0)
        CUiRender::DrawLine(hdc, RECT{rc.left, rc.top, rc.left, rc.bottom}, widths.left, color, style);
    if (widths.top > 0)
        CUiRender::DrawLine(hdc, RECT{rc.left, rc.top, rc.right, rc.top}, widths.top, color, style);
    if (widths.right > 0)
        CUiRender::DrawLine(hdc, RECT{rc.right, rc.top, rc.right, rc.bottom}, widths.right, color, style);
    if (widths.bottom > 0)
        CUiRender::DrawLine(hdc, RECT{rc.left, rc.bottom, rc.right, rc.bottom}, widths.bottom, color, style);
}

}  // namespace

void CControlUI::Paint(HDC hdc, const RECT& dirty)
{
    RECT paint;
    if (!IntersectRect(&paint, &dirty, &itemRect_))
        return;
    paintRect_ = paint;
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        CUiClip clip;
        CUiClip::ClipToRoundRect(hdc, paintRect_, itemRect_, borderRound_.cx, borderRound_.cy, clip);
        PaintLayers(*this, hdc);
    } else {
        PaintLayers(*this, hdc);
    }
}

void CControlUI::PaintBackgroundColor(HDC hdc)
{
    if (backgroundColor_ == 0)
        return;
    const DWORD color1 = ApplyHslToColor(backgroundColor_);
    if (backgroundColor2_ == 0) {
        // A colour that lets what is behind shine through must cover the whole
        // control at once, or overlapping partial fills would darken it.
        CUiRender::FillColor(hdc, backgroundColor_ < kOpaqueAlpha ? itemRect_ : paintRect_, color1);
        return;
    }
    const DWORD color2 = ApplyHslToColor(backgroundColor2_);
    if (backgroundColor3_ != 0) {
        const DWORD color3 = ApplyHslToColor(backgroundColor3_);
        RECT upper = itemRect_;
        upper.bottom = (itemRect_.top + itemRect_.bottom) / 2;
        RECT lower = itemRect_;
        lower.top = upper.bottom;
        CUiRender::DrawGradient(hdc, upper, color1, color2, true, kHalfGradientSteps);
        CUiRender::DrawGradient(hdc, lower, color2, color3, true, kHalfGradientSteps);
        return;
    }
    CUiRender::DrawGradient(hdc, itemRect_, color1, color2, true, kFullGradientSteps);
}

void CControlUI::PaintBackgroundImage(HDC hdc)
{
    if (backgroundImage_.IsEmpty())
        return;
    if (!PaintImageSpec(hdc, backgroundImage_.GetData()))
        backgroundImage_.Empty();
}

void CControlUI::PaintStateImage(HDC /*hdc*/)
{
}

void CControlUI::PaintText(HDC /*hdc*/)
{
}

void CControlUI::PaintAfter(HDC /*hdc*/, const RECT& /*dirty*/)
{
}

bool CControlUI::PaintImageSpec(HDC hdc, const wchar_t* image, const wchar_t* modifier)
{
    if (manager_ == nullptr || hdc == nullptr || image == nullptr)
        return false;
    const std::vector<UiImageDraw> draws = ParseImageAttribute(itemRect_, image, modifier);
    // Each image is tried, so one missing file does not hide the others, but
    // any failure is reported so the caller stops asking for it.
    bool drawn = !draws.empty();
    for (const UiImageDraw& draw : draws) {
        if (!CUiRender::DrawImageParsed(hdc, manager_, itemRect_, paintRect_, draw.name, draw.resourceType, draw.dest,
                                        draw.source, draw.corner, draw.mask, draw.fade, draw.hole, draw.xtiled,
                                        draw.ytiled))
            drawn = false;
    }
    return drawn;
}

void CControlUI::PaintBorder(HDC hdc)
{
    if (borderColor_ == 0 && focusBorderColor_ == 0)
        return;
    // With only one of the two colours set, the other one (0) is still the
    // colour drawn where it applies.
    const bool focusColored = focused_ && focusBorderColor_ != 0;
    if (borderSize_ > 0 && (borderRound_.cx > 0 || borderRound_.cy > 0)) {
        CUiRender::DrawRoundRectOutline(hdc, itemRect_, borderRound_.cx, borderRound_.cy, borderSize_,
                                        ApplyHslToColor(focusColored ? focusBorderColor_ : borderColor_));
        return;
    }
    if (focusColored && borderSize_ > 0) {
        CUiRender::DrawRectOutline(hdc, itemRect_, borderSize_, ApplyHslToColor(focusBorderColor_));
        return;
    }
    const RECT sides = {leftBorderSize_, topBorderSize_, rightBorderSize_, bottomBorderSize_};
    if (sides.left > 0 || sides.top > 0 || sides.right > 0 || sides.bottom > 0)
        PaintSideBorders(hdc, itemRect_, sides, ApplyHslToColor(borderColor_), borderStyle_);
    else if (borderSize_ > 0)
        CUiRender::DrawRectOutline(hdc, itemRect_, borderSize_, ApplyHslToColor(borderColor_));
}

}  // namespace UiLib
