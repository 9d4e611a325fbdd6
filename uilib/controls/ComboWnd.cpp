#include "ComboWnd.h"

#include "ComboUI.h"
#include "ScrollBarUI.h"
#include "VerticalLayoutUI.h"

#include <cwchar>

namespace UiLib {

namespace {

const DWORD kPopupBackground = 0xFFFFFFFF;
const DWORD kPopupBorder = 0xFFC6C7D2;
// The pop-up's border and inset: one pixel on each side, top and bottom.
const int kPopupFrame = 4;

RECT ToScreen(HWND window, RECT rc)
{
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace

CComboWnd::CComboWnd(CComboUI* combo)
    : combo_(combo), layout_(nullptr), oldSelection_(combo->GetSelectedIndex()), rowsLent_(false)
{
}

CComboWnd::~CComboWnd() = default;

const wchar_t* CComboWnd::GetRegisteredClassName() const
{
    return L"ComboWnd";
}

RECT CComboWnd::PlacePopup() const
{
    const RECT comboRect = combo_->GetBounds();
    const SIZE dropSize = combo_->GetDropBoxSize();
    RECT rc = comboRect;
    rc.top = comboRect.bottom;
    if (dropSize.cx > 0)
        rc.right = rc.left + dropSize.cx;
    const SIZE available = {rc.right - rc.left, dropSize.cy};
    int height = 0;
    for (int i = 0; i < combo_->GetCount(); ++i) {
        CControlUI* row = combo_->GetItemAt(i);
        if (row->IsShown())
            height += row->MeasureSize(available).cy;
    }
    height += kPopupFrame;
    if (height > dropSize.cy)
        height = dropSize.cy;
    rc.bottom = rc.top + height;

    const HWND owner = combo_->GetOwnerManager()->GetWindow();
    const RECT below = ToScreen(owner, rc);
    // The pop-up has no window yet to ask for its own monitor.
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    if (workArea.bottom >= below.bottom)
        return below;
    RECT above = rc;
    above.bottom = comboRect.top;
    above.top = above.bottom - height;
    return ToScreen(owner, above);
}

bool CComboWnd::Init()
{
    CUiManager* comboManager = combo_->GetOwnerManager();
    if (comboManager == nullptr)
        return false;
    const HWND owner = comboManager->GetWindow();
    if (CreateInRect(owner, nullptr, WS_POPUP, WS_EX_TOOLWINDOW, PlacePopup()) == nullptr) {
        // A window that was made and then failed has already gone through
        // OnWindowGone, which told the combo and deleted this object.
        return false;
    }
    ::ShowWindow(window_, SW_SHOW);
    // The window that owns the pop-up keeps its caption active.
    ::SendMessageW(::GetAncestor(window_, GA_ROOTOWNER), WM_NCACTIVATE, TRUE, 0);
    return true;
}

void CComboWnd::OnCreate()
{
    CUiManager* comboManager = combo_->GetOwnerManager();
    manager_.AttachWindow(window_);
    manager_.SetParentResource(comboManager);
    layout_ = new CVerticalLayoutUI;
    layout_->AttachToManager(&manager_, nullptr, true);
    if (const wchar_t* defaults = comboManager->GetClassDefaults(L"VerticalLayout"))
        layout_->ApplyAttributeString(defaults);
    layout_->SetInset(RECT{1, 1, 1, 1});
    layout_->SetBackgroundColor(kPopupBackground);
    layout_->SetBorderColor(kPopupBorder);
    layout_->SetBorderSize(1);
    // Closing must never delete the rows: they belong to the combo.
    layout_->SetAutoDelete(false);
    layout_->EnableScrollBars(true, false);
    layout_->ApplyAttributeString(combo_->GetDropBoxAttributes().GetData());
    for (int i = 0; i < combo_->GetCount(); ++i)
        layout_->Add(combo_->GetItemAt(i));
    rowsLent_ = true;
    manager_.SetRoot(layout_);
}

void CComboWnd::ReturnRows()
{
    if (!rowsLent_ || combo_ == nullptr)
        return;
    rowsLent_ = false;
    CUiManager* comboManager = combo_->GetOwnerManager();
    for (int i = 0; i < combo_->GetCount(); ++i) {
        CControlUI* row = combo_->GetItemAt(i);
        // Nothing of this pop-up's manager may keep pointing at a row.
        manager_.ForgetControl(row);
        row->AttachToManager(comboManager, combo_, false);
    }
    // The layout only lent them; it lets go without deleting.
    if (layout_ != nullptr)
        layout_->RemoveAll();
}

void CComboWnd::ForgetRow(CControlUI* row)
{
    if (!rowsLent_ || layout_ == nullptr || layout_->GetItemIndex(row) < 0)
        return;
    manager_.ForgetControl(row);
    layout_->Remove(row);
    row->AttachToManager(combo_->GetOwnerManager(), combo_, false);
}

void CComboWnd::DetachCombo()
{
    ReturnRows();
    combo_ = nullptr;
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void CComboWnd::ScrollSelectionIntoView()
{
    if (combo_ == nullptr || layout_ == nullptr)
        return;
    CControlUI* row = combo_->GetItemAt(combo_->GetSelectedIndex());
    if (row == nullptr)
        return;
    const RECT r = row->GetBounds();
    RECT c = layout_->GetBounds();
    CScrollBarUI* bar = layout_->GetHorizontalScrollBar();
    if (bar != nullptr && bar->IsShown())
        c.bottom -= bar->GetBoundsHeight();
    SIZE pos = layout_->GetScrollPos();
    if (r.bottom > c.bottom)
        pos.cy += r.bottom - c.bottom;
    else if (r.top < c.top)
        pos.cy -= c.top - r.top;
    else
        return;
    layout_->SetScrollPos(pos);
}

void CComboWnd::OnKeyDown(WPARAM key, LPARAM lParam)
{
    switch (key) {
    case VK_RETURN:
        PostWindowMessage(WM_KILLFOCUS);
        return;
    case VK_ESCAPE:
        combo_->SelectItem(oldSelection_, true);
        ScrollSelectionIntoView();
        PostWindowMessage(WM_KILLFOCUS);
        return;
    default:
        break;
    }
    UiEvent event = {};
    event.type = kUiEventKeyDown;
    event.sender = combo_;
    event.timestamp = GetTickCount();
    event.key = static_cast<wchar_t>(key);
    event.keyState = GetKeyStateBits();
    event.wParam = key;
    event.lParam = lParam;
    combo_->ProcessEvent(event);
    ScrollSelectionIntoView();
}

LRESULT CComboWnd::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != window_)
            PostWindowMessage(WM_CLOSE);
        break;
    case WM_CLOSE:
        if (combo_ != nullptr) {
            LRESULT ignored = 0;
            // The pop-up's manager lets go of hover, press and focus first,
            // so no row keeps a hot or pushed look once it is back.
            manager_.HandleMessage(message, wParam, lParam, ignored);
            ReturnRows();
            combo_->SetBounds(combo_->GetBounds());
            combo_->TakeFocus();
        }
        return DefWindowProcW(window_, message, wParam, lParam);
    case WM_KEYDOWN:
        if (combo_ != nullptr) {
            OnKeyDown(wParam, lParam);
            return 0;
        }
        break;
    case WM_LBUTTONUP: {
        const POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        CControlUI* control = manager_.FindControlAt(pt);
        if (control != nullptr && wcscmp(control->GetTypeName(), L"ScrollBarUI") != 0)
            PostWindowMessage(WM_KILLFOCUS);
        break;
    }
    case WM_MOUSEWHEEL:
        if (combo_ != nullptr) {
            UiEvent event = {};
            event.type = kUiEventScrollWheel;
            event.sender = combo_;
            event.timestamp = GetTickCount();
            event.wParam = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 1 : 0;
            event.lParam = lParam;
            combo_->ProcessEvent(event);
            ScrollSelectionIntoView();
            return 0;
        }
        break;
    default:
        break;
    }
    LRESULT result = 0;
    if (manager_.HandleMessage(message, wParam, lParam, result))
        return result;
    return CWindowWnd::ProcessMessage(message, wParam, lParam);
}

void CComboWnd::OnWindowGone(HWND)
{
    // A pop-up destroyed without a close (its owner went first) still gives
    // the rows back before its manager and layout go.
    ReturnRows();
    if (combo_ != nullptr)
        combo_->OnDropWindowGone();
    delete this;
}

}  // namespace UiLib
