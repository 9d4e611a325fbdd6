#pragma once
// A size (also used for points), laid out as the platform's SIZE.
#include "Win32Prelude.h"

namespace UiLib {

class CUiSize : public SIZE {
public:
    CUiSize(int width = 0, int height = 0)
    {
        cx = width;
        cy = height;
    }
};

}  // namespace UiLib
