#include "TabLayoutUI.h"

#include "LineLayoutUI.h"
#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

CTabLayoutUI::CTabLayoutUI() : selected_(-1)
{
}

bool CTabLayoutUI::Add(CControlUI* page)
{
    if (!CContainerUI::Add(page))
        return false;
    if (selected_ == -1 && page->IsShown())
        selected_ = GetItemIndex(page);
    else
        page->SetShown(false);
    return true;
}

bool CTabLayoutUI::AddAt(CControlUI* page, int index)
{
    if (!CContainerUI::AddAt(page, index))
        return false;
    if (selected_ == -1 && page->IsShown()) {
        selected_ = index;
    } else if (selected_ == -1 || selected_ < index) {
        page->SetShown(false);
    } else {
        // Inserted at or before the selected page: the selection moves with
        // its page, and the new page keeps its own visibility.
        ++selected_;
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* page)
{
    if (page == nullptr)
        return false;
    const int index = GetItemIndex(page);
    if (!CContainerUI::Remove(page))
        return false;
    if (index == selected_) {
        if (GetCount() == 0) {
            selected_ = -1;
        } else {
            selected_ = 0;
            GetItemAt(0)->SetShown(true);
        }
        MarkParentForUpdate();
    } else if (index < selected_) {
        --selected_;
    }
    return true;
}

void CTabLayoutUI::RemoveAll()
{
    selected_ = -1;
    CContainerUI::RemoveAll();
    MarkParentForUpdate();
}

const wchar_t* CTabLayoutUI::GetTypeName() const
{
    return L"TabLayoutUI";
}

void* CTabLayoutUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"TabLayout") == 0)
        return static_cast<CTabLayoutUI*>(this);
    return CContainerUI::CastByName(name);
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"selectedid") == 0) {
        long index = 0;
        ReadNumberList(value, &index, 1);
        SelectItem(static_cast<int>(index));
    }
    CContainerUI::SetAttribute(name, value);
}

bool CTabLayoutUI::SelectItem(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    if (index == selected_)
        return true;
    const int previous = selected_;
    selected_ = index;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* page = GetItemAt(i);
        if (i != index) {
            page->SetShown(false);
            continue;
        }
        page->SetShown(true);
        page->TakeFocus();
        const RECT self = itemRect_;
        SetBounds(self);
    }
    MarkParentForUpdate();
    if (manager_ != nullptr) {
        manager_->FocusNextTabStop();
        manager_->SendNotify(this, L"tabselect", static_cast<WPARAM>(index), static_cast<LPARAM>(previous));
    }
    return true;
}

void CTabLayoutUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    const CUiRect client = GetInsetRect();
    for (int i = 0; i < GetCount(); ++i) {
        if (PlaceApart(i) || i != selected_)
            continue;
        CControlUI& page = *GetItemAt(i);
        const RECT pad = page.GetPaddingRect();
        const int left = client.left + pad.left;
        const int top = client.top + pad.top;
        const SIZE room = {client.right - pad.right - left, client.bottom - pad.bottom - top};
        SIZE size = page.MeasureSize(room);
        if (size.cx == 0)
            size.cx = AtLeastZero(room.cx);
        if (size.cy == 0)
            size.cy = AtLeastZero(room.cy);
        size.cx = ClampToLimits(size.cx, page.GetMinWidth(), page.GetMaxWidth());
        size.cy = ClampToLimits(size.cy, page.GetMinHeight(), page.GetMaxHeight());
        page.SetBounds(RECT{left, top, left + size.cx, top + size.cy});
    }
}

}  // namespace UiLib
