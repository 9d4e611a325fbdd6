#include "ListElementUI.h"

#include <cwchar>

namespace UiLib {

const wchar_t* CListElementUI::GetTypeName() const
{
    return L"ListElementUI";
}

void* CListElementUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ListItem") == 0)
        return static_cast<IListItemUI*>(this);
    if (name != nullptr && wcscmp(name, L"ListElement") == 0)
        return static_cast<CListElementUI*>(this);
    return CControlUI::CastByName(name);
}

UINT CListElementUI::GetInputFlags()
{
    return kUiFlagWantReturn;
}

bool CListElementUI::TryActivate()
{
    if (!CControlUI::TryActivate())
        return false;
    NotifyListRowActivated(*this);
    return true;
}

void CListElementUI::SetShown(bool visible)
{
    CControlUI::SetShown(visible);
    AfterListRowShown(*this, row_);
}

void CListElementUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!IsEnabled())
        row_.state = 0;
}

void CListElementUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"selected") == 0)
        Select(true);
    else
        CControlUI::SetAttribute(name, value);
}

void CListElementUI::ProcessEvent(UiEvent& event)
{
    if (PassedOnAsMouseEvent(event))
        return;
    if (!HandleListRowActivation(*this, event))
        PassToListOwner(*this, row_, event);
}

int CListElementUI::GetIndex() const
{
    return row_.index;
}

void CListElementUI::SetIndex(int index)
{
    row_.index = index;
}

IListOwnerUI* CListElementUI::GetOwner()
{
    return row_.owner;
}

void CListElementUI::SetOwner(CControlUI* owner)
{
    row_.owner = ListOwnerOf(owner);
}

bool CListElementUI::IsSelected() const
{
    return row_.selected;
}

bool CListElementUI::Select(bool selected)
{
    return SelectListRow(*this, row_, selected);
}

bool CListElementUI::IsExpanded() const
{
    return false;
}

bool CListElementUI::Expand(bool /*expand*/)
{
    return false;
}

void CListElementUI::DrawItemText(HDC /*hdc*/, const RECT& /*rc*/)
{
}

void CListElementUI::InvalidateRow()
{
    InvalidateListRow(*this);
}

bool CListElementUI::PassedOnAsMouseEvent(UiEvent& event)
{
    if (!IsMouseEvent(event) || IsMouseEnabled())
        return false;
    PassToListOwner(*this, row_, event);
    return true;
}

UiListInfo* CListElementUI::ListInfo() const
{
    return row_.owner != nullptr ? row_.owner->GetListInfo() : nullptr;
}

}  // namespace UiLib
