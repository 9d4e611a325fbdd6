#pragma once
// The multi-column list row: one text per column of its list, drawn under
// the header items. The texts come from the list's text callback, or from
// the row's own column texts when the list has none.
#include "ListLabelElementUI.h"
#include "UiPtrArray.h"

namespace UiLib {

class CListTextElementUI : public CListLabelElementUI {
public:
    static const int kMaxLinks = 8;

    CListTextElementUI();
    ~CListTextElementUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    void ProcessEvent(UiEvent& event) override;
    SIZE MeasureSize(SIZE available) override;
    void SetOwner(CControlUI* owner) override;
    void DrawItemText(HDC hdc, const RECT& rc) override;

    // The row's own text of a column, null when it has none.
    const wchar_t* GetColumnText(int column) const;
    // Stores the row's own text of a column (0 .. kUiListMaxColumns - 1);
    // false for a column outside that range.
    bool SetColumnText(int column, const wchar_t* text);
    // Links found in the cells at the last paint.
    int GetLinkCount() const { return linkCount_; }

private:
    int LinkAt(POINT pt) const;
    const wchar_t* CellText(IListCallbackUI* callback, int column);

    int linkCount_;
    RECT linkRects_[kMaxLinks];
    CUiString linkTexts_[kMaxLinks];
    int hoveredLink_;
    IListUI* list_;
    CUiPtrArray columnTexts_;
};

}  // namespace UiLib
