#include "UiRect.h"

namespace UiLib {

CUiRect::CUiRect()
{
    left = top = right = bottom = 0;
}

CUiRect::CUiRect(const RECT& src)
{
    *this = src;
}

CUiRect::CUiRect(int l, int t, int r, int b)
{
    left = l;
    top = t;
    right = r;
    bottom = b;
}

CUiRect& CUiRect::operator=(const RECT& src)
{
    left = src.left;
    top = src.top;
    right = src.right;
    bottom = src.bottom;
    return *this;
}

void CUiRect::Deflate(int dx, int dy)
{
    InflateRect(this, -dx, -dy);
}

void CUiRect::Offset(int dx, int dy)
{
    OffsetRect(this, dx, dy);
}

void CUiRect::MoveToOrigin()
{
    Offset(-left, -top);
}

// Joins without testing for empty rectangles: an empty one still widens the
// result to reach it, which is what the invalidation paths rely on.
void CUiRect::Union(const RECT& other)
{
    if (other.left < left)
        left = other.left;
    if (other.top < top)
        top = other.top;
    if (other.right > right)
        right = other.right;
    if (other.bottom > bottom)
        bottom = other.bottom;
}

}  // namespace UiLib
