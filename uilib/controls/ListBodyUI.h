#pragma once
// The scrolling part of a list, below its header: it stacks the rows, makes
// them as wide as the header's columns, and moves the header items and the
// list's column rects with its horizontal scrolling.
#include "VerticalLayoutUI.h"

namespace UiLib {

class CListUI;

class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* owner);

    void SetBounds(const RECT& rc) override;
    void SetScrollPos(SIZE pos) override;
    void ProcessEvent(UiEvent& event) override;

private:
    // The width that the rows need: the header's, or the widest row's.
    int NeededWidth(SIZE available);
    // Shows the horizontal bar while the rows are wider than the client
    // area, hides it otherwise.
    void FitHorizontalBar(int clientWidth, int neededWidth);

    CListUI* owner_;
};

}  // namespace UiLib
