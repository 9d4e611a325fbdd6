#include "ListContainerElementUI.h"

#include <cwchar>

namespace UiLib {

const wchar_t* CListContainerElementUI::GetTypeName() const
{
    return L"ListContainerElementUI";
}

void* CListContainerElementUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ListItem") == 0)
        return static_cast<IListItemUI*>(this);
    if (name != nullptr && wcscmp(name, L"ListContainerElement") == 0)
        return static_cast<CListContainerElementUI*>(this);
    return CContainerUI::CastByName(name);
}

UINT CListContainerElementUI::GetInputFlags()
{
    return kUiFlagWantReturn;
}

bool CListContainerElementUI::TryActivate()
{
    if (!CContainerUI::TryActivate())
        return false;
    NotifyListRowActivated(*this);
    return true;
}

void CListContainerElementUI::SetShown(bool visible)
{
    CContainerUI::SetShown(visible);
    AfterListRowShown(*this, row_);
}

void CListContainerElementUI::SetEnabled(bool enabled)
{
    CContainerUI::SetEnabled(enabled);
    if (!IsEnabled())
        row_.state = 0;
}

void CListContainerElementUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"selected") == 0)
        Select(true);
    else
        CContainerUI::SetAttribute(name, value);
}

void CListContainerElementUI::ProcessEvent(UiEvent& event)
{
    if (IsMouseEvent(event) && !IsMouseEnabled()) {
        PassToListOwner(*this, row_, event);
        return;
    }
    if (HandleListRowMouse(*this, row_, event) || HandleListRowActivation(*this, event))
        return;
    PassToListOwner(*this, row_, event);
}

void CListContainerElementUI::Paint(HDC hdc, const RECT& dirty)
{
    RECT paint;
    if (!IntersectRect(&paint, &dirty, &itemRect_))
        return;
    paintRect_ = paint;
    PaintListRowBackground(*this, hdc, row_);
    CContainerUI::Paint(hdc, dirty);
}

int CListContainerElementUI::GetIndex() const
{
    return row_.index;
}

void CListContainerElementUI::SetIndex(int index)
{
    row_.index = index;
}

IListOwnerUI* CListContainerElementUI::GetOwner()
{
    return row_.owner;
}

void CListContainerElementUI::SetOwner(CControlUI* owner)
{
    row_.owner = ListOwnerOf(owner);
}

bool CListContainerElementUI::IsSelected() const
{
    return row_.selected;
}

bool CListContainerElementUI::Select(bool selected)
{
    return SelectListRow(*this, row_, selected);
}

bool CListContainerElementUI::IsExpanded() const
{
    return false;
}

bool CListContainerElementUI::Expand(bool /*expand*/)
{
    return false;
}

void CListContainerElementUI::DrawItemText(HDC /*hdc*/, const RECT& /*rc*/)
{
}

}  // namespace UiLib
