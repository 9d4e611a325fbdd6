#pragma once
// The row of column titles above a list's body.
#include "HorizontalLayoutUI.h"

namespace UiLib {

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    CListHeaderUI() = default;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    SIZE MeasureSize(SIZE available) override;
    // Also when the header alone is laid out again (a column's width or an
    // item changed), its list's column rects follow.
    void SetBounds(const RECT& rc) override;
};

}  // namespace UiLib
