#include "ListHeaderUI.h"

#include "ListUI.h"

#include <cwchar>

namespace UiLib {

namespace {

// Room around the default font when the header has no height of its own.
const int kHeaderMargin = 6;

}  // namespace

const wchar_t* CListHeaderUI::GetTypeName() const
{
    return L"ListHeaderUI";
}

void* CListHeaderUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ListHeader") == 0)
        return static_cast<CListHeaderUI*>(this);
    return CHorizontalLayoutUI::CastByName(name);
}

SIZE CListHeaderUI::MeasureSize(SIZE available)
{
    SIZE size = {0, fixedHeight_};
    int tallest = 0;
    for (int i = 0; i < children_.GetSize(); ++i) {
        const SIZE item = ChildAt(i)->MeasureSize(available);
        size.cx += item.cx;
        if (item.cy > tallest)
            tallest = item.cy;
    }
    if (size.cy == 0 && manager_ != nullptr) {
        const int least = manager_->GetDefaultFontInfo()->metrics.tmHeight + kHeaderMargin;
        size.cy = tallest > least ? tallest : least;
    }
    return size;
}

void CListHeaderUI::SetBounds(const RECT& rc)
{
    CHorizontalLayoutUI::SetBounds(rc);
    // Laid out alone (an item's width changed), the header hands its items
    // to the columns itself; inside the list's layout the list does it once
    // the body is laid out too.
    CListUI* list = parent_ != nullptr ? static_cast<CListUI*>(parent_->CastByName(L"List")) : nullptr;
    if (list != nullptr && list->GetHeader() == this && !list->IsLayingOut())
        list->TakeColumnsFromHeader();
}

}  // namespace UiLib
