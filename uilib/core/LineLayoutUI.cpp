#include "LineLayoutUI.h"

#include "UiAttrValues.h"
#include "UiRender.h"

#include <cwchar>

namespace UiLib {

namespace {

// The measures of one child along the axis of the line (main) and across it.
struct LineAxis {
    bool vertical;

    LONG& Main(SIZE& size) const { return vertical ? size.cy : size.cx; }
    LONG Main(const SIZE& size) const { return vertical ? size.cy : size.cx; }
    LONG Cross(const SIZE& size) const { return vertical ? size.cx : size.cy; }
    LONG MainStart(const RECT& rc) const { return vertical ? rc.top : rc.left; }
    LONG MainEnd(const RECT& rc) const { return vertical ? rc.bottom : rc.right; }
    LONG CrossStart(const RECT& rc) const { return vertical ? rc.left : rc.top; }
    LONG CrossEnd(const RECT& rc) const { return vertical ? rc.right : rc.bottom; }

    int ClampMain(CControlUI& child, int length) const
    {
        return vertical ? ClampToLimits(length, child.GetMinHeight(), child.GetMaxHeight())
                        : ClampToLimits(length, child.GetMinWidth(), child.GetMaxWidth());
    }
    int ClampCross(CControlUI& child, int length) const
    {
        return vertical ? ClampToLimits(length, child.GetMinWidth(), child.GetMaxWidth())
                        : ClampToLimits(length, child.GetMinHeight(), child.GetMaxHeight());
    }
    int PreferredCross(CControlUI& child) const
    {
        return vertical ? child.GetPreferredWidth() : child.GetPreferredHeight();
    }

    // The rect from positions and lengths along and across the line.
    RECT Make(int mainStart, int mainEnd, int crossStart, int crossEnd) const
    {
        RECT rc;
        if (vertical)
            SetRect(&rc, crossStart, mainStart, crossEnd, mainEnd);
        else
            SetRect(&rc, mainStart, crossStart, mainEnd, crossEnd);
        return rc;
    }
};

bool TakesPart(CControlUI& child)
{
    return child.IsShown() && !child.IsFloating();
}

}  // namespace

CLineLayoutUI::CLineLayoutUI(bool vertical, const wchar_t* separatorAttribute)
    : vertical_(vertical),
      separatorAttribute_(separatorAttribute),
      separatorSize_(0),
      immediate_(false),
      buttonState_(0),
      lastPoint_(),
      dragRect_()
{
}

int CLineLayoutUI::ArrangeChildren(const RECT& client)
{
    const bool vertical = vertical_;
    const LineAxis axis = {vertical};
    const int count = children_.GetSize();
    const int gap = childPadding_;
    // This layout's own bars shift its children, even where a derived
    // container answers the scroll operations for a child of its own.
    const SIZE scrollPos = CContainerUI::GetScrollPos();
    // A horizontal scroll range widens the content whichever way it runs.
    const SIZE available = {client.right - client.left + CContainerUI::GetScrollRange().cx, client.bottom - client.top};

    // Pass 1: the space that the fixed children and all paddings take.
    int fixed = 0;
    int automatic = 0;
    int placed = 0;
    for (int i = 0; i < count; ++i) {
        CControlUI& child = *ChildAt(i);
        if (!TakesPart(child))
            continue;
        ++placed;
        const RECT pad = child.GetPaddingRect();
        fixed += axis.MainStart(pad) + axis.MainEnd(pad);
        const int length = axis.Main(child.MeasureSize(available));
        if (length == 0)
            ++automatic;
        else
            fixed += axis.ClampMain(child, length);
    }
    if (placed > 1)
        fixed += gap * (placed - 1);
    const int share = automatic > 0 ? AtLeastZero((axis.Main(available) - fixed) / automatic) : 0;

    // Pass 2: only measured sizes come off the first pass's fixed sum; its
    // paddings and child padding stay in it, so the last automatic child
    // takes the rest less those (skins are made for that).
    int cursor = vertical ? client.top - scrollPos.cy : client.left - scrollPos.cx;
    const int crossOrigin = vertical ? client.left - scrollPos.cx : client.top;
    int remaining = axis.Main(available);
    int required = 0;
    int automaticSeen = 0;
    for (int i = 0; i < count; ++i) {
        if (PlaceApart(i))
            continue;
        CControlUI& child = *ChildAt(i);
        const RECT pad = child.GetPaddingRect();
        const int padStart = axis.MainStart(pad);
        const int padEnd = axis.MainEnd(pad);
        remaining -= padStart;
        SIZE room = available;
        axis.Main(room) = remaining;
        int length = axis.Main(child.MeasureSize(room));
        if (length != 0) {
            length = axis.ClampMain(child, length);
            fixed -= length;
        } else {
            ++automaticSeen;
            length = automaticSeen == automatic ? AtLeastZero(remaining - padEnd - fixed) : share;
            length = axis.ClampMain(child, length);
        }
        int across = axis.PreferredCross(child);
        if (across == 0)
            across = axis.Cross(available) - axis.CrossStart(pad) - axis.CrossEnd(pad);
        across = axis.ClampCross(child, AtLeastZero(across));

        // The end padding along the line lies inside the child's rect, the
        // one across it outside.
        const int crossStart = crossOrigin + axis.CrossStart(pad);
        child.SetBounds(
            axis.Make(cursor + padStart, cursor + padStart + length + padEnd, crossStart, crossStart + across));
        cursor += padStart + length + padEnd + gap;
        required += padStart + length + padEnd;
        remaining -= length + padEnd + gap;
    }
    if (placed > 1)
        required += gap * (placed - 1);
    return required;
}

UINT CLineLayoutUI::GetInputFlags()
{
    return IsEnabled() && separatorSize_ != 0 ? kUiFlagSetCursor : 0;
}

void CLineLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, separatorAttribute_) == 0) {
        long size = 0;
        ReadNumberList(value, &size, 1);
        SetSeparatorWidth(static_cast<int>(size));
    } else if (wcscmp(name, L"sepimm") == 0) {
        SetImmediateDrag(value != nullptr && wcscmp(value, L"true") == 0);
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

void CLineLayoutUI::SetSeparatorWidth(int size)
{
    separatorSize_ = size;
}

void CLineLayoutUI::SetImmediateDrag(bool immediate)
{
    if (immediate == immediate_)
        return;
    if (IsDragging() && !immediate_ && manager_ != nullptr)
        manager_->RemovePaintAfter(this);
    immediate_ = immediate;
}

RECT CLineLayoutUI::GetSeparatorRect(bool live) const
{
    RECT base = live && IsDragging() ? dragRect_ : static_cast<const RECT&>(itemRect_);
    RECT band = base;
    // Wide arithmetic: the size comes from the skin.
    if (separatorSize_ >= 0) {
        const long long edge = static_cast<long long>(End(base)) - separatorSize_;
        // The vertical band stays within the layout, the horizontal one is
        // not held against the other edge.
        if (!vertical_ || Start(base) < edge)
            Start(band) = static_cast<LONG>(edge);
    } else {
        const long long edge = static_cast<long long>(Start(base)) - separatorSize_;
        if (!vertical_ || edge < End(base))
            End(band) = static_cast<LONG>(edge);
    }
    return band;
}

void CLineLayoutUI::ProcessEvent(UiEvent& event)
{
    if (separatorSize_ == 0 || !ProcessSeparatorEvent(event))
        CContainerUI::ProcessEvent(event);
}

// The events of a drag; false for those left to the container.
bool CLineLayoutUI::ProcessSeparatorEvent(const UiEvent& event)
{
    switch (event.type) {
    case kUiEventButtonDown: {
        const RECT band = GetSeparatorRect(false);
        if (!IsEnabled() || !PtInRect(&band, event.mouse))
            return false;
        buttonState_ |= kStateDragging;
        lastPoint_ = event.mouse;
        dragRect_ = itemRect_;
        if (!immediate_ && manager_ != nullptr)
            manager_->AddPaintAfter(this);
        return true;
    }
    case kUiEventButtonUp:
        if (!IsDragging())
            return false;
        buttonState_ &= ~kStateDragging;
        itemRect_ = dragRect_;
        if (!immediate_ && manager_ != nullptr)
            manager_->RemovePaintAfter(this);
        MarkParentForUpdate();
        return true;
    case kUiEventMouseMove:
        if (!IsDragging())
            return false;
        DragTo(event.mouse);
        return true;
    case kUiEventSetCursor: {
        const RECT band = GetSeparatorRect(false);
        if (!IsEnabled() || !PtInRect(&band, event.mouse))
            return false;
        ::SetCursor(LoadCursorW(nullptr, vertical_ ? IDC_SIZENS : IDC_SIZEWE));
        return true;
    }
    default:
        return false;
    }
}

void CLineLayoutUI::DragTo(POINT pt)
{
    const int at = Coordinate(pt);
    const int delta = at - Coordinate(lastPoint_);
    lastPoint_ = pt;
    RECT dragged = dragRect_;
    // A move is taken only once the pointer is back on the band's side of
    // the edge, so that the band stays under the pointer.
    if (separatorSize_ >= 0) {
        if ((delta > 0 && at < End(dragged) - separatorSize_) || (delta < 0 && at > End(dragged)))
            return;
        End(dragged) += delta;
    } else {
        if ((delta > 0 && at < Start(dragged)) || (delta < 0 && at > Start(dragged) - separatorSize_))
            return;
        Start(dragged) += delta;
    }
    const int minimum = vertical_ ? minHeight_ : minWidth_;
    const int maximum = vertical_ ? maxHeight_ : maxWidth_;
    const int current = End(dragRect_) - Start(dragRect_);
    int length = End(dragged) - Start(dragged);
    if (length <= minimum || length >= maximum) {
        const bool shrinking = length <= minimum;
        if (shrinking ? current <= minimum : current >= maximum)
            return;
        length = shrinking ? minimum : maximum;
        if (separatorSize_ >= 0)
            End(dragged) = Start(dragged) + length;
        else
            Start(dragged) = End(dragged) - length;
    }
    const RECT oldBand = GetSeparatorRect(true);
    dragRect_ = dragged;
    // Stored as the layout's size without asking for a layout pass.
    (vertical_ ? fixedHeight_ : fixedWidth_) = length;
    if (immediate_) {
        itemRect_ = dragRect_;
        MarkParentForUpdate();
        return;
    }
    if (manager_ == nullptr)
        return;
    CUiRect area(oldBand);
    area.Union(GetSeparatorRect(true));
    area.Union(GetSeparatorRect(false));
    manager_->Invalidate(area);
}

void CLineLayoutUI::PaintAfter(HDC hdc, const RECT&)
{
    if (IsDragging() && !immediate_)
        CUiRender::FillColor(hdc, GetSeparatorRect(true), 0xAA000000);
}

}  // namespace UiLib
