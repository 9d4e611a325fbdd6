#pragma once
// The layout that places its children from left to right; it may carry a
// separator band on its right or left edge.
#include "LineLayoutUI.h"

namespace UiLib {

class CHorizontalLayoutUI : public CLineLayoutUI {
public:
    CHorizontalLayoutUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetBounds(const RECT& rc) override;
};

}  // namespace UiLib
