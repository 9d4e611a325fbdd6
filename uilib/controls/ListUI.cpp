#include "ListUI.h"

#include "ListBodyUI.h"
#include "ListHeaderUI.h"
#include "ScrollBarUI.h"
#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

IListItemUI* AsRow(CControlUI* control)
{
    return control != nullptr ? static_cast<IListItemUI*>(control->CastByName(L"ListItem")) : nullptr;
}

int CappedColumns(int count)
{
    return count < kUiListMaxColumns ? count : kUiListMaxColumns;
}

// The keys that the body's scroll bars keep for themselves; a list gives
// them to its body rather than to bars of its own.
bool IsScrollBarKey(const wchar_t* name)
{
    return wcscmp(name, L"vscrollbar") == 0 || wcscmp(name, L"vscrollbarstyle") == 0 ||
           wcscmp(name, L"hscrollbar") == 0 || wcscmp(name, L"hscrollbarstyle") == 0;
}

}  // namespace

CListUI::CListUI()
    : scrollSelect_(false),
      selected_(-1),
      expanded_(-1),
      callback_(nullptr),
      body_(new CListBodyUI(this)),
      header_(new CListHeaderUI)
{
    CVerticalLayoutUI::Add(header_);
    CVerticalLayoutUI::Add(body_);
}

CListUI::~CListUI() = default;

const wchar_t* CListUI::GetTypeName() const
{
    return L"ListUI";
}

void* CListUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"List") == 0)
        return static_cast<CListUI*>(this);
    if (name != nullptr && wcscmp(name, L"IList") == 0)
        return static_cast<IListUI*>(this);
    if (name != nullptr && wcscmp(name, L"IListOwner") == 0)
        return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::CastByName(name);
}

UINT CListUI::GetInputFlags()
{
    return kUiFlagTabStop;
}

// --- Rows, header and header items ---

bool CListUI::IsHeader(CControlUI* control) const
{
    return control != nullptr && control->CastByName(L"ListHeader") != nullptr;
}

bool CListUI::IsHeaderItem(CControlUI* control)
{
    return control != nullptr && wcsstr(control->GetTypeName(), L"ListHeaderItemUI") != nullptr;
}

void CListUI::UpdateColumnCount()
{
    info_.columnCount = header_ != nullptr ? CappedColumns(header_->GetCount()) : 0;
}

bool CListUI::AddHeader(CControlUI* control)
{
    // Inserting a child twice would delete it twice.
    if (CVerticalLayoutUI::GetItemIndex(control) >= 0)
        return false;
    CListHeaderUI* header = static_cast<CListHeaderUI*>(control->CastByName(L"ListHeader"));
    if (header_ == nullptr) {
        header_ = header;
    } else if (header_ != header && header_->GetCount() == 0) {
        CVerticalLayoutUI::Remove(header_);
        header_ = header;
    }
    UpdateColumnCount();
    return CVerticalLayoutUI::AddAt(control, 0);
}

bool CListUI::AddHeaderItem(CControlUI* control, int index)
{
    if (header_ == nullptr)
        return false;
    const bool added = index < 0 ? header_->Add(control) : header_->AddAt(control, index);
    UpdateColumnCount();
    return added;
}

void CListUI::RenumberRows(int first, int last)
{
    for (int i = first; i <= last; ++i) {
        if (IListItemUI* row = AsRow(body_->GetItemAt(i)))
            row->SetIndex(i);
    }
}

CControlUI* CListUI::GetItemAt(int index) const
{
    return body_->GetItemAt(index);
}

int CListUI::GetItemIndex(CControlUI* control) const
{
    if (IsHeader(control))
        return CVerticalLayoutUI::GetItemIndex(control);
    if (IsHeaderItem(control))
        return header_ != nullptr ? header_->GetItemIndex(control) : -1;
    return body_->GetItemIndex(control);
}

int CListUI::GetCount() const
{
    return body_->GetCount();
}

bool CListUI::Add(CControlUI* control)
{
    if (control == nullptr)
        return false;
    if (IsHeader(control))
        return AddHeader(control);
    if (IsHeaderItem(control))
        return AddHeaderItem(control, -1);
    if (IListItemUI* row = AsRow(control)) {
        row->SetOwner(this);
        row->SetIndex(body_->GetCount());
    }
    return body_->Add(control);
}

bool CListUI::AddAt(CControlUI* control, int index)
{
    if (control == nullptr)
        return false;
    if (IsHeader(control))
        return AddHeader(control);
    if (IsHeaderItem(control))
        return AddHeaderItem(control, index);
    if (!body_->AddAt(control, index))
        return false;
    if (IListItemUI* row = AsRow(control)) {
        row->SetOwner(this);
        row->SetIndex(index);
    }
    RenumberRows(index + 1, body_->GetCount() - 1);
    if (selected_ >= index)
        ++selected_;
    return true;
}

bool CListUI::SetItemIndex(CControlUI* control, int index)
{
    if (IsHeader(control))
        return CVerticalLayoutUI::SetItemIndex(control, index);
    if (IsHeaderItem(control))
        return header_ != nullptr && header_->SetItemIndex(control, index);
    const int old = body_->GetItemIndex(control);
    if (old < 0)
        return false;
    if (old == index)
        return true;
    IListItemUI* selectedRow = selected_ >= 0 ? AsRow(body_->GetItemAt(selected_)) : nullptr;
    if (!body_->SetItemIndex(control, index))
        return false;
    RenumberRows(old < index ? old : index, old < index ? index : old);
    if (selectedRow != nullptr)
        selected_ = selectedRow->GetIndex();
    return true;
}

bool CListUI::RemoveRowAt(int index)
{
    if (!body_->RemoveAt(index))
        return false;
    RenumberRows(index, body_->GetCount() - 1);
    if (index == selected_) {
        selected_ = -1;
        SelectItem(body_->NearestSelectableItem(index, false), false);
    } else if (selected_ > index) {
        --selected_;
    }
    return true;
}

bool CListUI::Remove(CControlUI* control)
{
    if (IsHeader(control)) {
        if (!CVerticalLayoutUI::Remove(control))
            return false;
        // The list must not keep using a header that is gone.
        if (control == header_) {
            header_ = nullptr;
            UpdateColumnCount();
        }
        return true;
    }
    if (IsHeaderItem(control))
        return header_ != nullptr && header_->Remove(control);
    const int index = body_->GetItemIndex(control);
    return index >= 0 && RemoveRowAt(index);
}

bool CListUI::RemoveAt(int index)
{
    return RemoveRowAt(index);
}

void CListUI::RemoveAll()
{
    selected_ = -1;
    expanded_ = -1;
    body_->RemoveAll();
}

// --- Selection ---

UiListInfo* CListUI::GetListInfo()
{
    return &info_;
}

int CListUI::GetSelectedIndex() const
{
    return selected_;
}

bool CListUI::SelectItem(int index, bool takeFocus)
{
    if (index == selected_)
        return true;
    const int previous = selected_;
    if (selected_ >= 0) {
        if (IListItemUI* row = AsRow(body_->GetItemAt(selected_)))
            row->Select(false);
        selected_ = -1;
    }
    if (index < 0)
        return false;
    CControlUI* control = body_->GetItemAt(index);
    IListItemUI* row = AsRow(control);
    if (row == nullptr || !control->IsShown() || !control->IsEnabled())
        return false;
    // Set before the row hears of it, so that its call back here is a no-op.
    selected_ = index;
    if (!row->Select(true)) {
        selected_ = -1;
        return false;
    }
    EnsureVisible(selected_);
    if (takeFocus)
        control->TakeFocus();
    if (manager_ != nullptr)
        manager_->SendNotify(this, L"itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(previous));
    return true;
}

void CListUI::EnsureVisible(int index)
{
    if (selected_ < 0)
        return;
    CControlUI* control = body_->GetItemAt(index);
    if (control == nullptr)
        return;
    const RECT item = control->GetBounds();
    RECT client = body_->GetBounds();
    const RECT inset = body_->GetInset();
    client.top += inset.top;
    client.bottom -= inset.bottom;
    CScrollBarUI* horizontal = body_->GetHorizontalScrollBar();
    if (horizontal != nullptr && horizontal->IsShown())
        client.bottom -= horizontal->GetPreferredHeight();
    int dy = 0;
    if (item.bottom > client.bottom)
        dy = item.bottom - client.bottom;
    else if (item.top < client.top)
        dy = item.top - client.top;
    if (dy == 0)
        return;
    SIZE pos = body_->GetScrollPos();
    pos.cy += dy;
    body_->SetScrollPos(pos);
}

bool CListUI::ExpandItem(int index, bool expand)
{
    if (expanded_ >= 0 && !info_.multiExpand) {
        if (IListItemUI* row = AsRow(body_->GetItemAt(expanded_)))
            row->Expand(false);
        expanded_ = -1;
    }
    if (!expand)
        return true;
    CControlUI* control = body_->GetItemAt(index);
    IListItemUI* row = AsRow(control);
    if (row == nullptr || !control->IsShown())
        return false;
    expanded_ = index;
    if (!row->Expand(true)) {
        expanded_ = -1;
        return false;
    }
    MarkForUpdate();
    return true;
}

int CListUI::GetExpandedIndex() const
{
    return expanded_;
}

CContainerUI* CListUI::GetHeader() const
{
    return header_;
}

CContainerUI* CListUI::GetBody() const
{
    return body_;
}

IListCallbackUI* CListUI::GetTextCallback() const
{
    return callback_;
}

void CListUI::SetTextCallback(IListCallbackUI* callback)
{
    callback_ = callback;
}

// --- Layout ---

void CListUI::MoveColumns(int dx)
{
    if (header_ == nullptr)
        return;
    const int count = CappedColumns(header_->GetCount());
    info_.columnCount = count;
    // Items of a hidden header still give their rects to the columns.
    const bool hidden = !header_->IsShown();
    for (int i = 0; i < count; ++i) {
        CControlUI* item = header_->GetItemAt(i);
        if (hidden)
            item->SetShownByParent(true);
        if (!item->IsShown() || item->IsFloating())
            continue;
        if (dx != 0) {
            RECT rc = item->GetBounds();
            rc.left -= dx;
            rc.right -= dx;
            item->SetBounds(rc);
        }
        info_.columns[i] = item->GetBounds();
    }
    if (hidden) {
        for (int i = 0; i < count; ++i)
            header_->GetItemAt(i)->SetShownByParent(false);
    }
    columnsOffset_ += dx;
}

void CListUI::TakeColumnsFromHeader()
{
    // The items were just laid out where no scrolling has moved them.
    columnsOffset_ = 0;
    const int offset = body_->GetScrollPos().cx;
    MoveColumns(offset > 0 ? offset : 0);
}

void CListUI::FollowBodyScroll()
{
    if (header_ == nullptr || layingOut_)
        return;
    const int offset = body_->GetScrollPos().cx;
    const int dx = (offset > 0 ? offset : 0) - columnsOffset_;
    if (dx != 0)
        MoveColumns(dx);
}

void CListUI::SetBounds(const RECT& rc)
{
    layingOut_ = true;
    CVerticalLayoutUI::SetBounds(rc);
    if (header_ != nullptr) {
        const bool hidden = !header_->IsShown();
        if (hidden) {
            // Hidden, its items still get widths, so that the cells have
            // columns.
            for (int i = 0; i < header_->GetCount(); ++i)
                header_->GetItemAt(i)->SetShownByParent(true);
            header_->SetBounds(RECT{rc.left, 0, rc.right, 0});
            for (int i = 0; i < header_->GetCount(); ++i)
                header_->GetItemAt(i)->SetShownByParent(false);
        }
        // Only now, with the body laid out, is its horizontal position the
        // one that the rows were placed by: a bar that went away or a range
        // that shrank has changed it.
        TakeColumnsFromHeader();
    }
    layingOut_ = false;
}

// --- Events ---

void CListUI::SelectNearest(int start, bool forward)
{
    SelectItem(body_->NearestSelectableItem(start, forward), true);
}

bool CListUI::ProcessKey(const UiEvent& event)
{
    switch (event.key) {
    case VK_RETURN:
        if (CControlUI* row = selected_ >= 0 ? body_->GetItemAt(selected_) : nullptr)
            row->TryActivate();
        return true;
    case VK_PRIOR:
        body_->PageUp();
        return true;
    case VK_NEXT:
        body_->PageDown();
        return true;
    case VK_HOME:
        SelectNearest(0, false);
        return true;
    case VK_END:
        SelectNearest(body_->GetCount() - 1, true);
        return true;
    case VK_UP:
        SelectNearest(selected_ - 1, false);
        return true;
    case VK_DOWN:
        SelectNearest(selected_ + 1, true);
        return true;
    default:
        return false;
    }
}

void CListUI::ProcessEvent(UiEvent& event)
{
    if (event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast && !IsMouseEnabled()) {
        if (parent_ != nullptr)
            parent_->ProcessEvent(event);
        else
            CVerticalLayoutUI::ProcessEvent(event);
        return;
    }
    switch (event.type) {
    case kUiEventSetFocus:
    case kUiEventKillFocus:
        focused_ = event.type == kUiEventSetFocus;
        return;
    case kUiEventKeyDown:
        if (ProcessKey(event))
            return;
        break;
    case kUiEventScrollWheel:
        if (LOWORD(event.wParam) == 0 || LOWORD(event.wParam) == 1) {
            const bool down = LOWORD(event.wParam) == 1;
            if (scrollSelect_)
                SelectNearest(down ? selected_ + 1 : selected_ - 1, down);
            else if (down)
                body_->LineDown();
            else
                body_->LineUp();
            return;
        }
        break;
    default:
        break;
    }
    CVerticalLayoutUI::ProcessEvent(event);
}

void CListUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    const bool showHtml = info_.showHtml;
    if (ApplyListInfoAttribute(info_, name, value)) {
        // Padding and markup change the rows' sizes; the rest only their look.
        if (info_.showHtml != showHtml || wcscmp(name, L"itemtextpadding") == 0)
            MarkForUpdate();
        else
            Invalidate();
        return;
    }
    if (wcscmp(name, L"header") == 0) {
        if (header_ != nullptr)
            header_->SetShown(wcscmp(value, L"hidden") != 0);
    } else if (wcscmp(name, L"headerbkimage") == 0) {
        if (header_ != nullptr)
            header_->SetBackgroundImage(value);
    } else if (wcscmp(name, L"scrollselect") == 0) {
        scrollSelect_ = IsTrueValue(value);
    } else if (wcscmp(name, L"multiexpanding") == 0) {
        info_.multiExpand = IsTrueValue(value);
    } else if (wcscmp(name, L"itemendellipsis") == 0) {
        info_.textStyle = ApplyEndEllipsisValue(info_.textStyle, value);
    } else if (IsScrollBarKey(name)) {
        body_->SetAttribute(name, value);
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

// --- Forwarded to the body ---

int CListUI::GetChildPadding() const
{
    return body_->GetChildPadding();
}

void CListUI::SetChildPadding(int padding)
{
    body_->SetChildPadding(padding);
}

SIZE CListUI::GetScrollPos() const
{
    return body_->GetScrollPos();
}

SIZE CListUI::GetScrollRange() const
{
    return body_->GetScrollRange();
}

void CListUI::SetScrollPos(SIZE pos)
{
    body_->SetScrollPos(pos);
}

void CListUI::LineUp()
{
    body_->LineUp();
}

void CListUI::LineDown()
{
    body_->LineDown();
}

void CListUI::PageUp()
{
    body_->PageUp();
}

void CListUI::PageDown()
{
    body_->PageDown();
}

void CListUI::ScrollToTop()
{
    body_->ScrollToTop();
}

void CListUI::ScrollToBottom()
{
    body_->ScrollToBottom();
}

void CListUI::LineLeft()
{
    body_->LineLeft();
}

void CListUI::LineRight()
{
    body_->LineRight();
}

void CListUI::PageLeft()
{
    body_->PageLeft();
}

void CListUI::PageRight()
{
    body_->PageRight();
}

void CListUI::ScrollToLeft()
{
    body_->ScrollToLeft();
}

void CListUI::ScrollToRight()
{
    body_->ScrollToRight();
}

void CListUI::EnableScrollBars(bool vertical, bool horizontal)
{
    body_->EnableScrollBars(vertical, horizontal);
}

CScrollBarUI* CListUI::GetVerticalScrollBar() const
{
    return body_->GetVerticalScrollBar();
}

CScrollBarUI* CListUI::GetHorizontalScrollBar() const
{
    return body_->GetHorizontalScrollBar();
}

}  // namespace UiLib
