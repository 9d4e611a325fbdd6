#pragma once
// The layout that stacks its children from top to bottom; it may carry a
// separator band on its bottom or top edge.
#include "LineLayoutUI.h"

namespace UiLib {

class CVerticalLayoutUI : public CLineLayoutUI {
public:
    CVerticalLayoutUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetBounds(const RECT& rc) override;
};

}  // namespace UiLib
