#pragma once
// A rectangle laid out as the platform's RECT, so it goes to the platform's
// rectangle functions as it is.
#include "Win32Prelude.h"

namespace UiLib {

class CUiRect : public RECT {
public:
    CUiRect();
    CUiRect(const RECT& src);
    CUiRect(int l, int t, int r, int b);
    CUiRect& operator=(const RECT& src);

    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    void Deflate(int dx, int dy);
    void Offset(int dx, int dy);
    void MoveToOrigin();
    void Union(const RECT& other);
};

}  // namespace UiLib
