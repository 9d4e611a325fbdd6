#pragma once
// What every list row shares, whether it is a plain control or a container:
// its place in the owner, its selection, its hot state, and how it paints its
// background, finds its text colour, repaints and handles the mouse.
#include "ControlUI.h"
#include "ListInterfaces.h"

namespace UiLib {

// The only state bit that rows use: the mouse is over the row.
const UINT kListRowHot = 0x08;

// The "IListOwner" part of a control, or null.
IListOwnerUI* ListOwnerOf(CControlUI* owner);

struct UiListRowPart {
    int index = -1;
    bool selected = false;
    UINT state = 0;
    IListOwnerUI* owner = nullptr;
};

// IListItemUI::Select of every row class.
bool SelectListRow(CControlUI& row, UiListRowPart& part, bool selected);

// After the row's base SetShown: a hidden row gives up its selection.
void AfterListRowShown(CControlUI& row, UiListRowPart& part);

// After the row's base TryActivate test passed: "itemactivate" from the row.
void NotifyListRowActivated(CControlUI& row);

// Repaints the part of the row that its container and ancestors let show.
void InvalidateListRow(CControlUI& row);

// Colours, state images, the row's own or the list's background image and
// the bottom line. The row's paint area must be set before the call.
void PaintListRowBackground(CControlUI& row, HDC hdc, const UiListRowPart& part);

DWORD ListRowTextColor(const CControlUI& row, const UiListRowPart& part, const UiListInfo& info);

// The mouse handling shared by the label row and the container row (enter,
// leave, move, release, press, right press); false when the event is
// another one, or an enter or press that a disabled row does not take.
bool HandleListRowMouse(CControlUI& row, UiListRowPart& part, UiEvent& event);

// Double click and Return activate an enabled row; a disabled row takes a
// double click without acting. False for other events.
bool HandleListRowActivation(CControlUI& row, UiEvent& event);

// A mouse event that a row does not take while it is not mouse-enabled,
// and every event that it does not handle, goes to the owner.
bool IsMouseEvent(const UiEvent& event);
void PassToListOwner(CControlUI& row, const UiListRowPart& part, UiEvent& event);

}  // namespace UiLib
