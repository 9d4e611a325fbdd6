#include "UiRender.h"

#include "UiGdi.h"

namespace UiLib {

CUiClip::~CUiClip()
{
    // Both regions are deleted by their owners after this: the context keeps
    // its own copy of a selected clip region.
    UseOuterClip();
}

void CUiClip::ClipToRect(HDC hdc, RECT rc, CUiClip& clip)
{
    RECT box = {};
    GetClipBox(hdc, &box);
    clip.hdc_ = hdc;
    clip.rect_ = rc;
    clip.outerRegion_.reset(CreateRectRgnIndirect(&box));
    clip.ownRegion_.reset(CreateRectRgnIndirect(&rc));
    if (clip.ownRegion_)
        ExtSelectClipRgn(hdc, static_cast<HRGN>(clip.ownRegion_.get()), RGN_AND);
}

void CUiClip::ClipToRoundRect(HDC hdc, RECT rc, RECT round, int width, int height, CUiClip& clip)
{
    ClipToRect(hdc, rc, clip);
    if (!clip.ownRegion_)
        return;
    ScopedGdiObject rounded(
        CreateRoundRectRgn(round.left, round.top, round.right + 1, round.bottom + 1, width, height));
    if (!rounded)
        return;
    const HRGN own = static_cast<HRGN>(clip.ownRegion_.get());
    CombineRgn(own, own, static_cast<HRGN>(rounded.get()), RGN_AND);
    ExtSelectClipRgn(hdc, own, RGN_AND);
}

void CUiClip::UseOuterClip()
{
    if (hdc_ != nullptr)
        SelectClipRgn(hdc_, static_cast<HRGN>(outerRegion_.get()));
}

void CUiClip::UseOwnClip()
{
    if (hdc_ != nullptr && ownRegion_)
        SelectClipRgn(hdc_, static_cast<HRGN>(ownRegion_.get()));
}

}  // namespace UiLib
