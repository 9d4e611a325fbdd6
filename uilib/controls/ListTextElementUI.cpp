#include "ListTextElementUI.h"

#include "UiRender.h"

#include <cwchar>

namespace UiLib {

CListTextElementUI::CListTextElementUI() : linkCount_(0), linkRects_(), hoveredLink_(-1), list_(nullptr)
{
}

CListTextElementUI::~CListTextElementUI()
{
    for (int i = 0; i < columnTexts_.GetSize(); ++i)
        delete static_cast<CUiString*>(columnTexts_[i]);
}

const wchar_t* CListTextElementUI::GetTypeName() const
{
    return L"ListTextElementUI";
}

void* CListTextElementUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ListTextElement") == 0)
        return static_cast<CListTextElementUI*>(this);
    return CListLabelElementUI::CastByName(name);
}

UINT CListTextElementUI::GetInputFlags()
{
    if (IsEnabled() && linkCount_ > 0)
        return kUiFlagWantReturn | kUiFlagSetCursor;
    return kUiFlagWantReturn;
}

int CListTextElementUI::LinkAt(POINT pt) const
{
    for (int i = 0; i < linkCount_; ++i) {
        if (PtInRect(&linkRects_[i], pt))
            return i;
    }
    return -1;
}

void CListTextElementUI::ProcessEvent(UiEvent& event)
{
    if (PassedOnAsMouseEvent(event))
        return;
    const int link = LinkAt(event.mouse);
    if (event.type == kUiEventSetCursor && link >= 0) {
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return;
    }
    if (event.type == kUiEventButtonUp && IsEnabled() && link >= 0) {
        if (manager_ != nullptr)
            manager_->SendNotify(this, L"link", static_cast<WPARAM>(link));
        return;
    }
    if (linkCount_ > 0 && event.type == kUiEventMouseMove && link != hoveredLink_) {
        hoveredLink_ = link;
        InvalidateRow();
    }
    if (linkCount_ > 0 && event.type == kUiEventMouseLeave && hoveredLink_ >= 0) {
        InvalidateRow();
        hoveredLink_ = -1;
    }
    CListLabelElementUI::ProcessEvent(event);
}

SIZE CListTextElementUI::MeasureSize(SIZE /*available*/)
{
    const UiListInfo* info = ListInfo();
    if (info == nullptr)
        return SIZE{0, 0};
    SIZE size = {fixedWidth_, fixedHeight_};
    if (size.cy == 0 && manager_ != nullptr)
        size.cy = DefaultRowHeight(*info);
    return size;
}

void CListTextElementUI::SetOwner(CControlUI* owner)
{
    CListLabelElementUI::SetOwner(owner);
    list_ = owner != nullptr ? static_cast<IListUI*>(owner->CastByName(L"IList")) : nullptr;
}

const wchar_t* CListTextElementUI::GetColumnText(int column) const
{
    const CUiString* text = static_cast<const CUiString*>(columnTexts_.GetAt(column));
    return text != nullptr ? text->GetData() : nullptr;
}

bool CListTextElementUI::SetColumnText(int column, const wchar_t* text)
{
    if (column < 0 || column >= kUiListMaxColumns)
        return false;
    // Grown slot by slot: the texts of the columns before stay where they are.
    while (column >= columnTexts_.GetSize()) {
        if (!columnTexts_.Add(nullptr))
            return false;
    }
    CUiString* slot = static_cast<CUiString*>(columnTexts_[column]);
    if (slot == nullptr) {
        slot = new CUiString;
        columnTexts_.Remove(column);
        if (!columnTexts_.InsertAt(column, slot)) {
            delete slot;
            return false;
        }
    }
    *slot = text != nullptr ? text : L"";
    InvalidateRow();
    return true;
}

const wchar_t* CListTextElementUI::CellText(IListCallbackUI* callback, int column)
{
    if (callback != nullptr)
        return callback->GetItemText(this, row_.index, column);
    return GetColumnText(column);
}

void CListTextElementUI::DrawItemText(HDC hdc, const RECT& rc)
{
    if (list_ == nullptr)
        return;
    const UiListInfo& info = *list_->GetListInfo();
    IListCallbackUI* callback = list_->GetTextCallback();
    linkCount_ = 0;
    const DWORD color = ListRowTextColor(*this, row_, info);
    const UINT style = info.textStyle | DT_SINGLELINE;
    const int columns = info.columnCount < kUiListMaxColumns ? info.columnCount : kUiListMaxColumns;
    for (int i = 0; i < columns; ++i) {
        RECT cell = {info.columns[i].left + info.textPadding.left, rc.top + info.textPadding.top,
                     info.columns[i].right - info.textPadding.right, rc.bottom - info.textPadding.bottom};
        // Copied at once: the callback keeps the text only until we return.
        const wchar_t* text = CellText(callback, i);
        const CUiString copy = text != nullptr ? text : L"";
        if (info.showHtml) {
            int found = kMaxLinks - linkCount_;
            CUiRender::DrawMarkupText(hdc, manager_, cell, copy.GetData(), color, &linkRects_[linkCount_],
                                      &linkTexts_[linkCount_], found, style);
            linkCount_ += found;
        } else {
            CUiRender::DrawPlainText(hdc, manager_, cell, copy.GetData(), color, info.font, style);
        }
    }
    for (int i = linkCount_; i < kMaxLinks; ++i) {
        SetRectEmpty(&linkRects_[i]);
        linkTexts_[i].Empty();
    }
}

}  // namespace UiLib
