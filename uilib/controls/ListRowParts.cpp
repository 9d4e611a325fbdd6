#include "ListRowParts.h"

#include "ContainerUI.h"
#include "ScrollBarUI.h"
#include "UiRender.h"

namespace UiLib {

namespace {

bool IsEvenRow(const UiListRowPart& part)
{
    return part.index % 2 == 0;
}

// The parent's rect less its inset and less its shown scroll bars.
RECT ClientAreaOf(CContainerUI& parent)
{
    RECT rc = parent.GetBounds();
    const RECT inset = parent.GetInset();
    rc.left += inset.left;
    rc.top += inset.top;
    rc.right -= inset.right;
    rc.bottom -= inset.bottom;
    CScrollBarUI* vertical = parent.GetVerticalScrollBar();
    if (vertical != nullptr && vertical->IsShown())
        rc.right -= vertical->GetPreferredWidth();
    CScrollBarUI* horizontal = parent.GetHorizontalScrollBar();
    if (horizontal != nullptr && horizontal->IsShown())
        rc.bottom -= horizontal->GetPreferredHeight();
    return rc;
}

// Draws one image of the list info; a failing one is cleared for good.
bool PaintListImage(CControlUI& row, HDC hdc, CUiString& image)
{
    if (image.IsEmpty())
        return false;
    if (row.PaintImageSpec(hdc, image.GetData()))
        return true;
    image.Empty();
    return false;
}

}  // namespace

IListOwnerUI* ListOwnerOf(CControlUI* owner)
{
    return owner != nullptr ? static_cast<IListOwnerUI*>(owner->CastByName(L"IListOwner")) : nullptr;
}

bool SelectListRow(CControlUI& row, UiListRowPart& part, bool selected)
{
    // A disabled row refuses either way: it keeps the state it had when it
    // was disabled, and it shows the disabled look whatever that state is.
    if (!row.IsEnabled())
        return false;
    if (part.selected == selected)
        return true;
    part.selected = selected;
    if (selected && part.owner != nullptr)
        part.owner->SelectItem(part.index, false);
    InvalidateListRow(row);
    return true;
}

void AfterListRowShown(CControlUI& row, UiListRowPart& part)
{
    if (row.IsShown() || !part.selected)
        return;
    part.selected = false;
    if (part.owner != nullptr)
        part.owner->SelectItem(-1, false);
}

void NotifyListRowActivated(CControlUI& row)
{
    if (CUiManager* manager = row.GetOwnerManager())
        manager->SendNotify(&row, L"itemactivate");
}

void InvalidateListRow(CControlUI& row)
{
    if (!row.IsShown())
        return;
    CUiManager* manager = row.GetOwnerManager();
    CControlUI* parent = row.GetParentControl();
    CContainerUI* container =
        parent != nullptr ? static_cast<CContainerUI*>(parent->CastByName(L"Container")) : nullptr;
    if (container == nullptr) {
        row.Invalidate();
        return;
    }
    if (manager == nullptr)
        return;
    RECT area = row.GetBounds();
    RECT client = ClientAreaOf(*container);
    if (!IntersectRect(&area, &area, &client))
        return;
    for (CControlUI* ancestor = parent->GetParentControl(); ancestor != nullptr;
         ancestor = ancestor->GetParentControl()) {
        const RECT outer = ancestor->GetBounds();
        if (!IntersectRect(&area, &area, &outer))
            return;
    }
    manager->Invalidate(area);
}

void PaintListRowBackground(CControlUI& row, HDC hdc, const UiListRowPart& part)
{
    if (part.owner == nullptr)
        return;
    UiListInfo& info = *part.owner->GetListInfo();
    const bool hot = (part.state & kListRowHot) != 0;
    const bool normalShows = !info.alternateBk || IsEvenRow(part);

    DWORD color = normalShows ? info.bkColor : 0;
    if (hot)
        color = info.hotBkColor;
    if (part.selected)
        color = info.selectedBkColor;
    if (!row.IsEnabled())
        color = info.disabledBkColor;
    if (color != 0)
        CUiRender::FillColor(hdc, row.GetBounds(), row.ApplyHslToColor(color));

    if (!row.IsEnabled() && PaintListImage(row, hdc, info.disabledImage))
        return;
    if (part.selected && PaintListImage(row, hdc, info.selectedImage))
        return;
    if (hot && PaintListImage(row, hdc, info.hotImage))
        return;

    const CUiString& own = row.GetBackgroundImage();
    if (!own.IsEmpty()) {
        if (normalShows && !row.PaintImageSpec(hdc, own.GetData()))
            row.SetBackgroundImage(L"");
    } else if (PaintListImage(row, hdc, info.bkImage)) {
        return;
    }

    if (info.lineColor != 0) {
        const RECT& rc = row.GetBounds();
        const RECT line = {rc.left, rc.bottom - 1, rc.right, rc.bottom - 1};
        CUiRender::DrawLine(hdc, line, 1, row.ApplyHslToColor(info.lineColor), PS_SOLID);
    }
}

DWORD ListRowTextColor(const CControlUI& row, const UiListRowPart& part, const UiListInfo& info)
{
    DWORD color = info.textColor;
    if ((part.state & kListRowHot) != 0)
        color = info.hotTextColor;
    if (part.selected)
        color = info.selectedTextColor;
    if (!row.IsEnabled())
        color = info.disabledTextColor;
    return color;
}

bool HandleListRowMouse(CControlUI& row, UiListRowPart& part, UiEvent& event)
{
    switch (event.type) {
    case kUiEventMouseEnter:
        if (!row.IsEnabled())
            return false;
        part.state |= kListRowHot;
        InvalidateListRow(row);
        return true;
    case kUiEventMouseLeave:
        if ((part.state & kListRowHot) != 0) {
            part.state &= ~kListRowHot;
            InvalidateListRow(row);
        }
        return true;
    case kUiEventMouseMove:
    case kUiEventButtonUp:
        return true;
    case kUiEventButtonDown:
    case kUiEventRightButtonDown: {
        if (!row.IsEnabled())
            return false;
        if (CUiManager* manager = row.GetOwnerManager())
            manager->SendNotify(&row, L"itemclick");
        IListItemUI* item = static_cast<IListItemUI*>(row.CastByName(L"ListItem"));
        if (item != nullptr)
            item->Select(true);
        InvalidateListRow(row);
        return true;
    }
    default:
        return false;
    }
}

bool HandleListRowActivation(CControlUI& row, UiEvent& event)
{
    const bool doubleClick = event.type == kUiEventDoubleClick;
    const bool enter = event.type == kUiEventKeyDown && event.key == VK_RETURN;
    // A disabled row ignores a double click; Return then goes to the owner.
    if (!row.IsEnabled())
        return doubleClick;
    if (!doubleClick && !enter)
        return false;
    row.TryActivate();
    InvalidateListRow(row);
    return true;
}

bool IsMouseEvent(const UiEvent& event)
{
    return event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast;
}

void PassToListOwner(CControlUI& row, const UiListRowPart& part, UiEvent& event)
{
    if (part.owner != nullptr)
        part.owner->ProcessEvent(event);
    else
        row.CControlUI::ProcessEvent(event);
}

}  // namespace UiLib
