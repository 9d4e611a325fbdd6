#include "TileLayoutUI.h"

#include "LineLayoutUI.h"
#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

// The height that MeasureSize is offered while a row is measured: the
// children decide it themselves.
const int kOpenHeight = 9999;

}  // namespace

CTileLayoutUI::CTileLayoutUI() : itemSize_(), columns_(1)
{
}

const wchar_t* CTileLayoutUI::GetTypeName() const
{
    return L"TileLayoutUI";
}

void* CTileLayoutUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"TileLayout") == 0)
        return static_cast<CTileLayoutUI*>(this);
    return CContainerUI::CastByName(name);
}

void CTileLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"itemsize") == 0) {
        long values[2];
        ReadNumberList(value, values, 2);
        SetItemSize(SIZE{values[0], values[1]});
    } else if (wcscmp(name, L"columns") == 0) {
        long columns = 0;
        ReadNumberList(value, &columns, 1);
        SetColumns(static_cast<int>(columns));
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

void CTileLayoutUI::SetItemSize(SIZE size)
{
    if (size.cx == itemSize_.cx && size.cy == itemSize_.cy)
        return;
    itemSize_ = size;
    MarkForUpdate();
}

void CTileLayoutUI::SetColumns(int columns)
{
    if (columns <= 0)
        return;
    columns_ = columns;
    MarkForUpdate();
}

// The horizontal extent of a child's box in its cell (top and bottom are
// left 0): its own padding, and half the child padding towards each
// neighbouring column.
RECT CTileLayoutUI::CellBox(CControlUI& child, int cellLeft, int cellWidth, int column, int columnCount) const
{
    const RECT pad = child.GetPaddingRect();
    const int half = childPadding_ / 2;
    RECT box = {};
    box.left = cellLeft + pad.left + (column == 0 ? 0 : half);
    box.right = cellLeft + cellWidth - pad.right - (column == columnCount - 1 ? 0 : half);
    return box;
}

// The height of the row that starts with the child at first: the tallest of
// its children with their vertical padding. The row's first child lends its
// limits to every child of the row.
int CTileLayoutUI::RowHeight(int first, int cellWidth, int columnCount) const
{
    CControlUI& lead = *GetItemAt(first);
    int height = 0;
    int column = 0;
    for (int i = first; i < children_.GetSize() && column < columnCount; ++i) {
        CControlUI& child = *GetItemAt(i);
        if (!child.IsShown() || child.IsFloating())
            continue;
        const RECT pad = child.GetPaddingRect();
        // Half the child padding off the row's first and last column, the
        // whole of it off the others.
        const bool edgeColumn = column == 0 || column == columnCount - 1;
        const int gaps = edgeColumn ? childPadding_ / 2 : childPadding_;
        const int width =
            ClampToLimits(cellWidth - pad.left - pad.right - gaps, lead.GetMinWidth(), lead.GetMaxWidth());
        const SIZE size = child.MeasureSize(SIZE{width, kOpenHeight});
        const int childHeight = ClampToLimits(size.cy, lead.GetMinHeight(), lead.GetMaxHeight());
        if (childHeight + pad.top + pad.bottom > height)
            height = childHeight + pad.top + pad.bottom;
        ++column;
    }
    return height;
}

void CTileLayoutUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    if (children_.IsEmpty()) {
        UpdateScrollBars(GetInsetRect(), SIZE{0, 0});
        return;
    }
    const CUiRect client = GetClientArea();
    const SIZE scrollPos = GetScrollPos();
    const int clientWidth = client.GetWidth();
    int divisor = columns_;
    if (itemSize_.cx > 0)
        divisor = clientWidth / itemSize_.cx;
    if (divisor == 0)
        divisor = 1;
    // A client narrower than nothing gives a negative count: the cells are
    // divided by it as it is, and a row holds as many children as it says.
    const int columns = divisor < 0 ? -divisor : divisor;
    const int cellWidth = (clientWidth + GetScrollRange().cx) / divisor;

    const int rowLeft = client.left - scrollPos.cx;
    int cellLeft = rowLeft;
    int y = client.top - scrollPos.cy;
    int rowHeight = 0;
    int placed = 0;
    int required = 0;
    for (int i = 0; i < children_.GetSize(); ++i) {
        if (PlaceApart(i))
            continue;
        CControlUI& child = *GetItemAt(i);
        const int column = placed % columns;
        if (column == 0)
            rowHeight = RowHeight(i, cellWidth, columns);
        RECT box = CellBox(child, cellLeft, cellWidth, column, columns);
        box.top = y + child.GetPaddingRect().top;
        box.bottom = y + rowHeight;
        const int boxWidth = box.right - box.left;
        const int boxHeight = box.bottom - box.top;
        SIZE size = child.MeasureSize(SIZE{boxWidth, boxHeight});
        if (size.cx == 0)
            size.cx = boxWidth;
        if (size.cy == 0)
            size.cy = boxHeight;
        size.cx = ClampToLimits(size.cx, child.GetMinWidth(), child.GetMaxWidth());
        size.cy = ClampToLimits(size.cy, child.GetMinHeight(), child.GetMaxHeight());
        const int left = (box.left + box.right - size.cx) / 2;
        const int top = (box.top + box.bottom - size.cy) / 2;
        child.SetBounds(RECT{left, top, left + size.cx, top + size.cy});

        ++placed;
        required = y + rowHeight - client.top + scrollPos.cy;
        if (placed % columns != 0) {
            cellLeft += cellWidth;
        } else {
            cellLeft = rowLeft;
            y += childPadding_ + rowHeight;
            rowHeight = 0;
        }
    }
    UpdateScrollBars(client, SIZE{0, required});
}

}  // namespace UiLib
