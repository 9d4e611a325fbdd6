#include "ListBodyUI.h"

#include "ListHeaderUI.h"
#include "ListUI.h"
#include "ScrollBarUI.h"

namespace UiLib {

CListBodyUI::CListBodyUI(CListUI* owner) : owner_(owner)
{
}

int CListBodyUI::NeededWidth(SIZE available)
{
    CContainerUI* header = owner_ != nullptr ? owner_->GetHeader() : nullptr;
    if (header != nullptr && header->GetCount() > 0)
        return AtLeastZero(header->MeasureSize(available).cx);
    int widest = 0;
    for (int i = 0; i < children_.GetSize(); ++i) {
        CControlUI* row = ChildAt(i);
        if (!row->IsShown() || row->IsFloating())
            continue;
        const RECT pad = row->GetPaddingRect();
        const int width = row->MeasureSize(available).cx + pad.left + pad.right;
        if (width > widest)
            widest = width;
    }
    return widest;
}

void CListBodyUI::FitHorizontalBar(int clientWidth, int neededWidth)
{
    if (horizontalBar_ == nullptr)
        return;
    if (clientWidth < neededWidth) {
        if (!horizontalBar_->IsShown()) {
            horizontalBar_->SetShown(true);
            horizontalBar_->SetScrollPos(0);
        }
        horizontalBar_->SetScrollRange(neededWidth - clientWidth);
    } else if (horizontalBar_->IsShown()) {
        horizontalBar_->SetShown(false);
        horizontalBar_->SetScrollRange(0);
        horizontalBar_->SetScrollPos(0);
    }
}

void CListBodyUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    CUiRect client = GetClientArea();
    const int needed = NeededWidth(SIZE{AtLeastZero(client.GetWidth()), AtLeastZero(client.GetHeight())});
    FitHorizontalBar(client.GetWidth(), needed);
    // Showing or hiding the bar changes the height left for the rows.
    client = GetClientArea();
    int rowsHeight = 0;
    if (!children_.IsEmpty()) {
        rowsHeight = ArrangeChildren(client);
        // The rows are as wide as the columns, or as the client area when
        // that is wider; they start where the horizontal scrolling puts them.
        for (int i = 0; i < children_.GetSize(); ++i) {
            CControlUI* row = ChildAt(i);
            if (!row->IsShown() || row->IsFloating())
                continue;
            const RECT pad = row->GetPaddingRect();
            const int fill = client.GetWidth() - pad.left - pad.right;
            const int width = ClampToLimits(fill > needed ? fill : needed, row->GetMinWidth(), row->GetMaxWidth());
            RECT bounds = row->GetBounds();
            bounds.left = client.left - CContainerUI::GetScrollPos().cx + pad.left;
            bounds.right = bounds.left + width;
            row->SetBounds(bounds);
        }
    }
    UpdateScrollBars(client, SIZE{needed, rowsHeight});
    if (owner_ != nullptr)
        owner_->FollowBodyScroll();
}

void CListBodyUI::SetScrollPos(SIZE pos)
{
    const SIZE before = GetScrollPos();
    CVerticalLayoutUI::SetScrollPos(pos);
    const int dx = GetScrollPos().cx - before.cx;
    if (dx != 0 && owner_ != nullptr)
        owner_->MoveColumns(dx);
}

void CListBodyUI::ProcessEvent(UiEvent& event)
{
    if (owner_ != nullptr)
        owner_->ProcessEvent(event);
    else
        CControlUI::ProcessEvent(event);
}

}  // namespace UiLib
