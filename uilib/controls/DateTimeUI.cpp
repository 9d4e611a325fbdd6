#include "DateTimeUI.h"

#include "EditUI.h"

#include <commctrl.h>

#include <cwchar>

namespace UiLib {

CDateTimeWnd::CDateTimeWnd() : owner_(nullptr), initialised_(false)
{
}

CDateTimeWnd::~CDateTimeWnd() = default;

const wchar_t* CDateTimeWnd::GetRegisteredClassName() const
{
    return L"DateTimeWnd";
}

const wchar_t* CDateTimeWnd::GetSuperclassBaseName() const
{
    return DATETIMEPICK_CLASSW;
}

bool CDateTimeWnd::Init(CDateTimeUI* owner)
{
    owner_ = owner;
    owner->updateState_ = CDateTimeUI::kPickerOpen;
    if (window_ == nullptr) {
        // The picker's class exists only once the common controls have
        // registered it.
        INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_DATE_CLASSES};
        InitCommonControlsEx(&classes);
        CUiManager* manager = owner->GetOwnerManager();
        // A failed creation may already have deleted this object.
        if (CreateInRect(manager->GetWindow(), nullptr, WS_CHILD, 0, owner->GetBounds()) == nullptr)
            return false;
        SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFont(owner->GetFont())), TRUE);
    }
    if (owner->GetText().IsEmpty())
        GetLocalTime(&owner->time_);
    SendWindowMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&owner->time_));
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    ::SetFocus(window_);
    initialised_ = true;
    return true;
}

void CDateTimeWnd::DetachOwner()
{
    owner_ = nullptr;
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void CDateTimeWnd::CloseLater()
{
    PostWindowMessage(WM_CLOSE);
}

LRESULT CDateTimeWnd::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KILLFOCUS) {
        const LRESULT result = CWindowWnd::ProcessMessage(message, wParam, lParam);
        if (owner_ != nullptr && owner_->updateState_ == CDateTimeUI::kPickerOpen) {
            SendWindowMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&owner_->time_));
            owner_->updateState_ = CDateTimeUI::kDateTaken;
            owner_->UpdateText();
        }
        CloseLater();
        return result;
    }
    if (message == WM_KEYUP && (wParam == VK_DELETE || wParam == VK_ESCAPE)) {
        const LRESULT result = CWindowWnd::ProcessMessage(message, wParam, lParam);
        if (owner_ != nullptr) {
            owner_->updateState_ = wParam == VK_DELETE ? CDateTimeUI::kDateCleared : CDateTimeUI::kPickCancelled;
            owner_->UpdateText();
        }
        CloseLater();
        return result;
    }
    return CWindowWnd::ProcessMessage(message, wParam, lParam);
}

void CDateTimeWnd::OnWindowGone(HWND)
{
    if (owner_ != nullptr)
        owner_->window_ = nullptr;
    delete this;
}

CDateTimeUI::CDateTimeUI() : time_(), updateState_(kDateTaken), window_(nullptr)
{
    GetLocalTime(&time_);
    UpdateText();
    updateState_ = kPickerOpen;
}

CDateTimeUI::~CDateTimeUI()
{
    if (window_ != nullptr) {
        CDateTimeWnd* window = window_;
        window_ = nullptr;
        window->DetachOwner();
    }
}

const wchar_t* CDateTimeUI::GetTypeName() const
{
    return L"DateTimeUI";
}

void* CDateTimeUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"DateTime") == 0)
        return this;
    return CLabelUI::CastByName(name);
}

void CDateTimeUI::SetTime(const SYSTEMTIME& time)
{
    time_ = time;
    updateState_ = kDateTaken;
    UpdateText();
}

void CDateTimeUI::UpdateText()
{
    if (updateState_ == kDateCleared) {
        SetText(L"");
    } else if (updateState_ == kDateTaken) {
        CUiString text;
        text.Format(L"%4d-%02d-%02d", time_.wYear, time_.wMonth, time_.wDay);
        SetText(text.GetData());
    }
}

HWND CDateTimeUI::GetNativeWindow() const
{
    return window_ != nullptr ? window_->GetHwnd() : nullptr;
}

void CDateTimeUI::OpenPicker(bool create)
{
    if (window_ == nullptr) {
        if (!create || manager_ == nullptr || !IsEnabled())
            return;
        window_ = new CDateTimeWnd;
    }
    CDateTimeWnd* window = window_;
    // A window that was made and destroyed again has cleared window_ itself;
    // one that was never made is still ours to delete.
    if (!window->Init(this)) {
        if (window_ == window) {
            window_ = nullptr;
            delete window;
        }
        return;
    }
    window->Show(true, true);
}

void CDateTimeUI::ProcessEvent(UiEvent& event)
{
    if (HandleCoveredControlEvent(*this, event, window_ != nullptr))
        return;
    const bool enabled = IsEnabled();
    switch (event.type) {
    case kUiEventSetFocus:
        if (!enabled)
            break;
        // An open picker ends the event: the focus it holds is the control's.
        if (window_ != nullptr)
            return;
        OpenPicker(true);
        break;
    case kUiEventKillFocus:
        if (enabled)
            Invalidate();
        break;
    case kUiEventButtonDown:
    case kUiEventRightButtonDown:
    case kUiEventDoubleClick:
        if (!enabled)
            break;
        if (manager_ != nullptr)
            manager_->ReleaseCapture();
        OpenPicker(HasFocus());
        return;
    case kUiEventMouseMove:
    case kUiEventMouseLeave:
    case kUiEventMouseEnter:
    case kUiEventButtonUp:
    case kUiEventContextMenu:
        return;
    default:
        break;
    }
    // The label keeps the focused flag for the focus events.
    CLabelUI::ProcessEvent(event);
}

}  // namespace UiLib
