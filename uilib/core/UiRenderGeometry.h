#pragma once
// The arithmetic of the render engine, kept apart from GDI: the pieces of a
// nine-grid image, the tiles of its centre, and the bands of a gradient.
#include "Win32Prelude.h"

#include <vector>

namespace UiLib {

// One blit: a part of the destination and the part of the source drawn there.
struct UiBlitPiece {
    RECT dest;
    RECT source;
};

// The eight border pieces of a nine-grid in drawing order (top-left, top,
// top-right, left, right, bottom-left, bottom, bottom-right); a piece whose
// corner sizes are not above 0, or whose destination misses the paint
// rectangle, is left out.
std::vector<UiBlitPiece> BorderPieces(const RECT& dest, const RECT& source, const RECT& corner, const RECT& paint);

// The centre of a nine-grid: one stretched piece, or its tiles when tiled.
// Only tiles that meet the paint rectangle are listed. An inner part of 0 or
// less (the corners eat the image) gives no piece.
std::vector<UiBlitPiece> CentrePieces(const RECT& dest, const RECT& source, const RECT& corner, const RECT& paint,
                                      bool xtiled, bool ytiled);

// One solid band of the gradient fallback.
struct UiGradientBand {
    RECT rect;
    COLORREF color;
};

// 2^k bands (k from 1 for fewer than 4 steps to 6 from 64 on), colour2 at the
// bottom (vertical) or right edge and colour1 at the other; empty bands are
// left out.
std::vector<UiGradientBand> GradientBands(const RECT& rc, DWORD color1, DWORD color2, bool vertical, int steps);

}  // namespace UiLib
