#pragma once
// A list row that shows its own text in the owner's item colours and font.
#include "ListElementUI.h"

namespace UiLib {

class CListLabelElementUI : public CListElementUI {
public:
    CListLabelElementUI() = default;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void ProcessEvent(UiEvent& event) override;
    SIZE MeasureSize(SIZE available) override;
    void Paint(HDC hdc, const RECT& dirty) override;
    void DrawItemText(HDC hdc, const RECT& rc) override;

protected:
    // The height of a row without a fixed one: the item font, the padding
    // and a margin.
    int DefaultRowHeight(const UiListInfo& info) const;
};

}  // namespace UiLib
