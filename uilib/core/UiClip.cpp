#include "UiRender.h"

#include "UiGdi.h"

namespace UiLib {

CUiClip::~CUiClip()
{
    if (hdc_ != nullptr)
        SelectClipRgn(hdc_, outerRegion_);
    if (ownRegion_ != nullptr)
        DeleteObject(ownRegion_);
    if (outerRegion_ != nullptr)
        DeleteObject(outerRegion_);
}

void CUiClip::ClipToRect(HDC hdc, RECT rc, CUiClip& clip)
{
    RECT box = {};
    GetClipBox(hdc, &box);
    clip.hdc_ = hdc;
    clip.rect_ = rc;
    clip.outerRegion_ = CreateRectRgnIndirect(&box);
    clip.ownRegion_ = CreateRectRgnIndirect(&rc);
    if (clip.ownRegion_ != nullptr)
        ExtSelectClipRgn(hdc, clip.ownRegion_, RGN_AND);
}

void CUiClip::ClipToRoundRect(HDC hdc, RECT rc, RECT round, int width, int height, CUiClip& clip)
{
    ClipToRect(hdc, rc, clip);
    if (clip.ownRegion_ == nullptr)
        return;
    ScopedGdiObject rounded(CreateRoundRectRgn(round.left, round.top, round.right + 1, round.bottom + 1, width,
                                               height));
    if (!rounded)
        return;
    CombineRgn(clip.ownRegion_, clip.ownRegion_, static_cast<HRGN>(rounded.get()), RGN_AND);
    ExtSelectClipRgn(hdc, clip.ownRegion_, RGN_AND);
}

void CUiClip::UseOuterClip()
{
    if (hdc_ != nullptr)
        SelectClipRgn(hdc_, outerRegion_);
}

void CUiClip::UseOwnClip()
{
    if (hdc_ != nullptr && ownRegion_ != nullptr)
        SelectClipRgn(hdc_, ownRegion_);
}

}  // namespace UiLib
