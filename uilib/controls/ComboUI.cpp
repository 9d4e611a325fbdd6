#include "ComboUI.h"

#include "ComboWnd.h"
#include "ListRowParts.h"
#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

// Below the default font's height the combo keeps this much room.
const int kTextExtraHeight = 12;
const int kDefaultDropHeight = 150;

bool IsName(const wchar_t* name, const wchar_t* expected)
{
    return name != nullptr && wcscmp(name, expected) == 0;
}

IListItemUI* AsRow(CControlUI* control)
{
    return control != nullptr ? static_cast<IListItemUI*>(control->CastByName(L"ListItem")) : nullptr;
}

}  // namespace

CComboUI::CComboUI() : dropWindow_(nullptr), selected_(-1), dropBoxSize_{0, kDefaultDropHeight}, state_(0)
{
}

CComboUI::~CComboUI()
{
    // An open pop-up holds the rows in its own tree; they come back before
    // the container deletes them.
    if (dropWindow_ != nullptr) {
        CComboWnd* window = dropWindow_;
        dropWindow_ = nullptr;
        window->DetachCombo();
    }
}

const wchar_t* CComboUI::GetTypeName() const
{
    return L"ComboUI";
}

void* CComboUI::CastByName(const wchar_t* name)
{
    if (IsName(name, L"Combo"))
        return static_cast<CComboUI*>(this);
    if (IsName(name, L"IListOwner"))
        return static_cast<IListOwnerUI*>(this);
    return CContainerUI::CastByName(name);
}

UINT CComboUI::GetInputFlags()
{
    return kUiFlagTabStop;
}

bool CComboUI::TryActivate()
{
    if (!CControlUI::TryActivate())
        return false;
    if (dropWindow_ != nullptr)
        return true;
    CComboWnd* window = new CComboWnd(this);
    dropWindow_ = window;
    if (!window->Init()) {
        // Still ours only when no window was ever made for it.
        if (dropWindow_ == window)
            delete window;
        dropWindow_ = nullptr;
        return false;
    }
    if (manager_ != nullptr)
        manager_->SendNotify(this, L"dropdown");
    Invalidate();
    return true;
}

HWND CComboUI::GetDropWindow() const
{
    return dropWindow_ != nullptr ? dropWindow_->GetHwnd() : nullptr;
}

void CComboUI::OnDropWindowGone()
{
    dropWindow_ = nullptr;
    state_ &= ~kStatePushed;
    Invalidate();
}

CUiString CComboUI::GetText() const
{
    const CControlUI* row = GetItemAt(selected_);
    return row != nullptr ? row->GetText() : CUiString();
}

void CComboUI::SetBounds(const RECT& rc)
{
    // The rows are laid out only by the pop-up; here they take no room.
    const RECT empty = {0, 0, 0, 0};
    for (int i = 0; i < GetCount(); ++i)
        GetItemAt(i)->SetBounds(empty);
    CControlUI::SetBounds(rc);
}

void CComboUI::SetEnabled(bool enabled)
{
    CContainerUI::SetEnabled(enabled);
    if (!IsEnabled())
        state_ = 0;
}

SIZE CComboUI::MeasureSize(SIZE available)
{
    if (fixedHeight_ != 0 || manager_ == nullptr)
        return CControlUI::MeasureSize(available);
    const UiFontInfo* font = manager_->GetDefaultFontInfo();
    const int fontHeight = font != nullptr ? font->metrics.tmHeight : 0;
    return SIZE{fixedWidth_, fontHeight + kTextExtraHeight};
}

void CComboUI::Paint(HDC hdc, const RECT& dirty)
{
    // Only the combo itself: its rows are shown by the pop-up.
    CControlUI::Paint(hdc, dirty);
}

void CComboUI::UpdateStateBits()
{
    if (HasFocus())
        state_ |= kStateFocused;
    else
        state_ &= ~kStateFocused;
    if (!IsEnabled())
        state_ |= kStateDisabled;
    else
        state_ &= ~kStateDisabled;
}

void CComboUI::PaintStateImage(HDC hdc)
{
    UpdateStateBits();
    CUiString* image = nullptr;
    if ((state_ & kStateDisabled) != 0)
        image = &disabledImage_;
    else if ((state_ & kStatePushed) != 0)
        image = &pushedImage_;
    else if ((state_ & kStateHot) != 0)
        image = &hotImage_;
    else if ((state_ & kStateFocused) != 0)
        image = &focusedImage_;
    if (image != nullptr && !image->IsEmpty()) {
        if (PaintImageSpec(hdc, image->GetData()))
            return;
        image->Empty();
    }
    if (!normalImage_.IsEmpty() && !PaintImageSpec(hdc, normalImage_.GetData()))
        normalImage_.Empty();
}

void CComboUI::PaintText(HDC hdc)
{
    RECT rc = itemRect_;
    rc.left += textPadding_.left;
    rc.top += textPadding_.top;
    rc.right -= textPadding_.right;
    rc.bottom -= textPadding_.bottom;
    PaintSelection(hdc, rc);
}

void CComboUI::PaintSelection(HDC hdc, const RECT& rc)
{
    CControlUI* selected = GetItemAt(selected_);
    if (selected == nullptr)
        return;
    if (IListItemUI* row = AsRow(selected)) {
        row->DrawItemText(hdc, rc);
        return;
    }
    const RECT old = selected->GetBounds();
    selected->SetBounds(rc);
    selected->Paint(hdc, rc);
    selected->SetBounds(old);
}

void CComboUI::ProcessEvent(UiEvent& event)
{
    if (IsMouseEvent(event) && !IsMouseEnabled()) {
        if (parent_ != nullptr)
            parent_->ProcessEvent(event);
        else
            CContainerUI::ProcessEvent(event);
        return;
    }
    switch (event.type) {
    case kUiEventSetFocus:
    case kUiEventKillFocus:
        Invalidate();
        break;
    case kUiEventButtonDown:
        if (!IsEnabled())
            break;
        TryActivate();
        state_ |= kStatePushed | kStateCaptured;
        return;
    case kUiEventButtonUp:
        if ((state_ & kStateCaptured) != 0) {
            state_ &= ~kStateCaptured;
            Invalidate();
        }
        return;
    case kUiEventMouseMove:
    case kUiEventContextMenu:
        return;
    case kUiEventKeyDown:
        switch (event.key) {
        case VK_PRIOR:
        case VK_UP:
            SelectItem(NearestSelectableItem(selected_ - 1, false));
            return;
        case VK_NEXT:
        case VK_DOWN:
            SelectItem(NearestSelectableItem(selected_ + 1, true));
            return;
        case VK_HOME:
            SelectItem(NearestSelectableItem(0, false));
            return;
        case VK_END:
            SelectItem(NearestSelectableItem(GetCount() - 1, true));
            return;
        case VK_F4:
            TryActivate();
            return;
        default:
            break;
        }
        break;
    case kUiEventMouseLeave:
        if ((state_ & kStateHot) != 0)
            state_ &= ~kStateHot;
        Invalidate();
        return;
    case kUiEventMouseEnter:
        if (PtInRect(&itemRect_, event.mouse)) {
            state_ |= kStateHot;
            Invalidate();
        }
        return;
    case kUiEventScrollWheel:
        if (LOWORD(event.wParam) == 1)
            SelectItem(NearestSelectableItem(selected_ + 1, true));
        else
            SelectItem(NearestSelectableItem(selected_ - 1, false));
        return;
    default:
        break;
    }
    CControlUI::ProcessEvent(event);
}

void CComboUI::SetTextPadding(const RECT& padding)
{
    textPadding_ = padding;
    Invalidate();
}

void CComboUI::SetDropBoxAttributes(const wchar_t* attributes)
{
    dropBoxAttributes_ = attributes != nullptr ? attributes : L"";
}

void CComboUI::SetDropBoxSize(SIZE size)
{
    dropBoxSize_ = size;
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    CUiString* image = nullptr;
    if (IsName(name, L"normalimage"))
        image = &normalImage_;
    else if (IsName(name, L"hotimage"))
        image = &hotImage_;
    else if (IsName(name, L"pushedimage"))
        image = &pushedImage_;
    else if (IsName(name, L"focusedimage"))
        image = &focusedImage_;
    else if (IsName(name, L"disabledimage"))
        image = &disabledImage_;
    if (image != nullptr) {
        *image = value;
        Invalidate();
        return;
    }
    if (IsName(name, L"textpadding")) {
        SetTextPadding(ReadRectValue(value));
        return;
    }
    if (IsName(name, L"dropbox")) {
        SetDropBoxAttributes(value);
        return;
    }
    if (IsName(name, L"dropboxsize")) {
        long pair[2] = {};
        ReadNumberList(value, pair, 2);
        SetDropBoxSize(SIZE{pair[0], pair[1]});
        return;
    }
    // The combo has no end-ellipsis rule for its rows, nor a multi-expand one.
    if (!IsName(name, L"itemendellipsis") && !IsName(name, L"multiexpanding")) {
        const bool showHtml = listInfo_.showHtml;
        if (ApplyListInfoAttribute(listInfo_, name, value)) {
            if (IsName(name, L"itemtextpadding") || IsName(name, L"itemtextcolor") || showHtml != listInfo_.showHtml)
                Invalidate();
            return;
        }
    }
    CContainerUI::SetAttribute(name, value);
}

// --- Rows ---

void CComboUI::Renumber(int first, int last)
{
    for (int i = first; i <= last && i < GetCount(); ++i) {
        if (IListItemUI* row = AsRow(GetItemAt(i)))
            row->SetIndex(i);
    }
}

bool CComboUI::Add(CControlUI* control)
{
    if (IListItemUI* row = AsRow(control)) {
        row->SetOwner(this);
        row->SetIndex(GetCount());
    }
    return CContainerUI::Add(control);
}

bool CComboUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index))
        return false;
    if (IListItemUI* row = AsRow(control)) {
        row->SetOwner(this);
        row->SetIndex(index);
    }
    Renumber(index + 1, GetCount() - 1);
    if (selected_ >= index)
        ++selected_;
    return true;
}

bool CComboUI::SetItemIndex(CControlUI* control, int index)
{
    const int old = GetItemIndex(control);
    if (old < 0)
        return false;
    if (old == index)
        return true;
    CControlUI* selected = GetItemAt(selected_);
    if (!CContainerUI::SetItemIndex(control, index))
        return false;
    Renumber(old < index ? old : index, old < index ? index : old);
    if (selected != nullptr)
        selected_ = GetItemIndex(selected);
    return true;
}

bool CComboUI::Remove(CControlUI* control)
{
    const int position = GetItemIndex(control);
    if (position < 0)
        return false;
    if (dropWindow_ != nullptr)
        dropWindow_->ForgetRow(control);
    if (!CContainerUI::Remove(control))
        return false;
    AfterRemoval(position);
    return true;
}

bool CComboUI::RemoveAt(int index)
{
    CControlUI* control = GetItemAt(index);
    return control != nullptr && Remove(control);
}

void CComboUI::AfterRemoval(int position)
{
    Renumber(position, GetCount() - 1);
    if (selected_ == position) {
        selected_ = -1;
        SelectItem(NearestSelectableItem(position, false));
    } else if (selected_ > position) {
        --selected_;
    }
}

void CComboUI::RemoveAll()
{
    for (int i = 0; dropWindow_ != nullptr && i < GetCount(); ++i)
        dropWindow_->ForgetRow(GetItemAt(i));
    selected_ = -1;
    CContainerUI::RemoveAll();
}

// --- Selection ---

UiListInfo* CComboUI::GetListInfo()
{
    return &listInfo_;
}

int CComboUI::GetSelectedIndex() const
{
    return selected_;
}

bool CComboUI::SelectItem(int index, bool takeFocus)
{
    if (dropWindow_ != nullptr)
        dropWindow_->Close();
    if (index == selected_)
        return true;
    const int previous = selected_;
    if (selected_ >= 0) {
        CControlUI* old = GetItemAt(selected_);
        if (old == nullptr)
            return false;
        if (IListItemUI* row = AsRow(old))
            row->Select(false);
        selected_ = -1;
    }
    const int count = GetCount();
    if (index < 0 || count == 0)
        return false;
    // Beyond the last row means the last row.
    if (index >= count)
        index = count - 1;
    CControlUI* control = GetItemAt(index);
    IListItemUI* row = AsRow(control);
    if (row == nullptr || !control->IsShown() || !control->IsEnabled())
        return false;
    selected_ = index;
    if (dropWindow_ != nullptr || takeFocus)
        control->TakeFocus();
    row->Select(true);
    if (manager_ != nullptr)
        manager_->SendNotify(this, L"itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(previous));
    Invalidate();
    return true;
}

}  // namespace UiLib
