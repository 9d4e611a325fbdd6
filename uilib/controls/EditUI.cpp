#include "EditUI.h"

#include "UiAttrValues.h"
#include "UiRender.h"

#include <cwchar>
#include <string>

namespace UiLib {

namespace {

// The manager hands WM_COMMAND and WM_CTLCOLOR* back to the child that sent
// them, moved up by this offset.
const UINT kReflectOffset = 0x2000;
const int kDefaultMaxChar = 255;
const RECT kDefaultTextPadding = {4, 3, 4, 3};
// One line of the font and a little room above and below it.
const int kLineExtra = 6;

bool ReadBool(const wchar_t* value)
{
    return wcscmp(value, L"true") == 0;
}

bool IsMouseEvent(int type)
{
    return type >= kUiEventMouseFirst && type <= kUiEventMouseLast;
}

// The whole text of a window, however long it is.
std::wstring ReadWindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

}  // namespace

bool HandleCoveredControlEvent(CLabelUI& control, UiEvent& event, bool windowOpen)
{
    if (!control.IsMouseEnabled() && IsMouseEvent(event.type)) {
        if (control.GetParentControl() != nullptr)
            control.GetParentControl()->ProcessEvent(event);
        else
            control.CLabelUI::ProcessEvent(event);
        return true;
    }
    switch (event.type) {
    case kUiEventSetCursor:
        if (!control.IsEnabled())
            return false;
        ::SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
        return true;
    case kUiEventWindowSize:
        // Taking the focus back makes the native window lose it and close.
        if (windowOpen && control.GetOwnerManager() != nullptr)
            control.GetOwnerManager()->RequestFocus(&control);
        return false;
    case kUiEventScrollWheel:
        return windowOpen;
    default:
        return false;
    }
}

CEditWnd::CEditWnd() : owner_(nullptr), initialised_(false)
{
}

CEditWnd::~CEditWnd() = default;

const wchar_t* CEditWnd::GetRegisteredClassName() const
{
    return L"EditWnd";
}

const wchar_t* CEditWnd::GetSuperclassBaseName() const
{
    return L"Edit";
}

UINT CEditWnd::GetRegisteredClassStyle() const
{
    return 0;
}

RECT CEditWnd::GetEditRect() const
{
    RECT rc = owner_->GetTextRect();
    const int fontHeight = owner_->GetFontHeight();
    const int height = rc.bottom - rc.top;
    if (fontHeight < height) {
        rc.top += (height - fontHeight) / 2;
        rc.bottom = rc.top + fontHeight;
    }
    return rc;
}

bool CEditWnd::Init(CEditUI* owner)
{
    owner_ = owner;
    CUiManager* manager = owner->GetOwnerManager();
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    if (owner->IsPassword())
        style |= ES_PASSWORD;
    // A failed creation may already have deleted this object.
    if (CreateInRect(manager->GetWindow(), nullptr, style, 0, GetEditRect()) == nullptr)
        return false;
    SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFont(owner->GetFont())), TRUE);
    SendWindowMessage(EM_LIMITTEXT, static_cast<WPARAM>(owner->GetMaxChar()));
    if (owner->IsPassword())
        SendWindowMessage(EM_SETPASSWORDCHAR, owner->GetPasswordChar());
    SetWindowTextW(window_, owner->GetText().GetData());
    SendWindowMessage(EM_SETMODIFY, FALSE);
    SendWindowMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    EnableWindow(window_, owner->IsEnabled() ? TRUE : FALSE);
    SendWindowMessage(EM_SETREADONLY, owner->IsReadOnly() ? TRUE : FALSE);
    const LONG_PTR windowStyle = GetWindowLongPtrW(window_, GWL_STYLE);
    SetWindowLongPtrW(window_, GWL_STYLE, windowStyle | static_cast<LONG_PTR>(owner->extraStyles_));
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    ::SetFocus(window_);
    initialised_ = true;
    return true;
}

void CEditWnd::DetachOwner()
{
    owner_ = nullptr;
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void CEditWnd::CopyTextToOwner()
{
    // The native window covers the control, so the control needs no repaint.
    owner_->text_ = ReadWindowText(window_).c_str();
}

LRESULT CEditWnd::ColorNativeWindow(HDC hdc)
{
    if (owner_ == nullptr || owner_->GetNativeBkColor() == CEditUI::kNoNativeColor)
        return 0;
    SetBkMode(hdc, TRANSPARENT);
    ::SetTextColor(hdc, ToColorRef(owner_->GetTextColor()));
    if (!backgroundBrush_)
        backgroundBrush_.reset(CreateSolidBrush(ToColorRef(owner_->GetNativeBkColor())));
    return reinterpret_cast<LRESULT>(backgroundBrush_.get());
}

LRESULT CEditWnd::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KILLFOCUS: {
        const LRESULT result = CWindowWnd::ProcessMessage(message, wParam, lParam);
        PostWindowMessage(WM_CLOSE);
        return result;
    }
    case WM_KEYDOWN:
        if (wParam != VK_RETURN)
            break;
        // The handler may delete the owner and with it this object.
        if (owner_ != nullptr && owner_->GetOwnerManager() != nullptr)
            owner_->GetOwnerManager()->SendNotify(owner_, L"return");
        return 0;
    case WM_COMMAND + kReflectOffset:
        // Some systems report a change for a key that the limit refused.
        if (HIWORD(wParam) == EN_CHANGE && initialised_ && owner_ != nullptr) {
            CopyTextToOwner();
            if (owner_->GetOwnerManager() != nullptr)
                owner_->GetOwnerManager()->SendNotify(owner_, L"textchanged");
        } else if (HIWORD(wParam) == EN_UPDATE) {
            InvalidateRect(window_, nullptr, FALSE);
        }
        return 0;
    case WM_CTLCOLOREDIT + kReflectOffset:
    case WM_CTLCOLORSTATIC + kReflectOffset:
        return ColorNativeWindow(reinterpret_cast<HDC>(wParam));
    default:
        break;
    }
    return CWindowWnd::ProcessMessage(message, wParam, lParam);
}

void CEditWnd::OnWindowGone(HWND)
{
    if (owner_ != nullptr) {
        owner_->Invalidate();
        owner_->window_ = nullptr;
    }
    delete this;
}

CEditUI::CEditUI()
    : window_(nullptr),
      maxChar_(kDefaultMaxChar),
      readOnly_(false),
      password_(false),
      passwordChar_(L'*'),
      state_(0),
      nativeBkColor_(kNoNativeColor),
      extraStyles_(0)
{
    textPadding_ = kDefaultTextPadding;
    // Opaque white behind the text, as a text box is expected to look.
    backgroundColor_ = 0xFFFFFFFF;
}

CEditUI::~CEditUI()
{
    if (window_ != nullptr) {
        CEditWnd* window = window_;
        window_ = nullptr;
        window->DetachOwner();
    }
}

const wchar_t* CEditUI::GetTypeName() const
{
    return L"EditUI";
}

void* CEditUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Edit") == 0)
        return this;
    return CLabelUI::CastByName(name);
}

UINT CEditUI::GetInputFlags()
{
    return IsEnabled() ? kUiFlagTabStop | kUiFlagSetCursor : 0;
}

HWND CEditUI::GetNativeWindow() const
{
    return window_ != nullptr ? window_->GetHwnd() : nullptr;
}

void CEditUI::SetText(const wchar_t* text)
{
    CLabelUI::SetText(text);
    // The open window's change notice comes back as "textchanged".
    if (window_ != nullptr)
        SetWindowTextW(window_->GetHwnd(), text != nullptr ? text : L"");
    Invalidate();
}

void CEditUI::SetBounds(const RECT& rc)
{
    CLabelUI::SetBounds(rc);
    if (window_ == nullptr)
        return;
    const RECT edit = window_->GetEditRect();
    SetWindowPos(window_->GetHwnd(), nullptr, edit.left, edit.top, edit.right - edit.left, edit.bottom - edit.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CEditUI::SetShown(bool visible)
{
    CLabelUI::SetShown(visible);
    if (!visible && window_ != nullptr && manager_ != nullptr)
        manager_->SetFocus(nullptr);
}

// The edit's own visibility stays as it is, but it takes the container's:
// an edit that still said it was shown inside a hidden container could be
// given the focus and open its native window over an area no one sees.
void CEditUI::SetShownByParent(bool visible)
{
    CLabelUI::SetShownByParent(visible);
    if (!visible && window_ != nullptr && manager_ != nullptr)
        manager_->SetFocus(nullptr);
}

void CEditUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (enabled)
        return;
    state_ = 0;
    // A disabled edit must not stay open for typing.
    if (window_ != nullptr && manager_ != nullptr)
        manager_->SetFocus(nullptr);
}

void CEditUI::SetMaxChar(int count)
{
    maxChar_ = count;
    if (window_ != nullptr)
        window_->SendWindowMessage(EM_LIMITTEXT, static_cast<WPARAM>(maxChar_));
}

void CEditUI::SetReadOnly(bool readOnly)
{
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    if (window_ != nullptr)
        window_->SendWindowMessage(EM_SETREADONLY, readOnly ? TRUE : FALSE);
    Invalidate();
}

void CEditUI::SetPassword(bool password)
{
    if (password_ == password)
        return;
    password_ = password;
    Invalidate();
}

void CEditUI::SetNumberOnly(bool numberOnly)
{
    if (numberOnly)
        extraStyles_ |= ES_NUMBER;
    else
        extraStyles_ &= ~static_cast<UINT>(ES_NUMBER);
}

bool CEditUI::IsNumberOnly() const
{
    return (extraStyles_ & ES_NUMBER) != 0;
}

void CEditUI::SetNormalImage(const wchar_t* image)
{
    normalImage_ = image;
    Invalidate();
}

void CEditUI::SetHotImage(const wchar_t* image)
{
    hotImage_ = image;
    Invalidate();
}

void CEditUI::SetFocusedImage(const wchar_t* image)
{
    focusedImage_ = image;
    Invalidate();
}

void CEditUI::SetDisabledImage(const wchar_t* image)
{
    disabledImage_ = image;
    Invalidate();
}

void CEditUI::OpenNativeWindow()
{
    // The native window is made in the manager's window.
    if (manager_ == nullptr)
        return;
    CEditWnd* window = new CEditWnd;
    window_ = window;
    // A window that was made and destroyed again has cleared window_ itself;
    // one that was never made is still ours to delete.
    if (!window->Init(this) && window_ == window) {
        window_ = nullptr;
        delete window;
    }
}

void CEditUI::OnPress(const UiEvent& event)
{
    if (manager_ != nullptr)
        manager_->ReleaseCapture();
    if (HasFocus() && window_ == nullptr) {
        OpenNativeWindow();
        // A window opened by a press outside the edit selects nothing.
        if (window_ == nullptr || !PtInRect(&itemRect_, event.mouse))
            return;
    }
    if (window_ == nullptr)
        return;
    const HWND native = window_->GetHwnd();
    int end = GetWindowTextLengthW(native);
    if (end == 0)
        end = 1;
    SendMessageW(native, EM_SETSEL, 0, end);
}

void CEditUI::ProcessEvent(UiEvent& event)
{
    if (HandleCoveredControlEvent(*this, event, window_ != nullptr))
        return;
    const bool enabled = IsEnabled();
    switch (event.type) {
    case kUiEventSetFocus:
        if (enabled && window_ == nullptr) {
            OpenNativeWindow();
            Invalidate();
        }
        break;
    case kUiEventKillFocus:
        if (enabled)
            Invalidate();
        break;
    case kUiEventMouseMove:
    case kUiEventButtonUp:
    case kUiEventContextMenu:
        return;
    case kUiEventMouseLeave:
    case kUiEventMouseEnter:
        if (!enabled)
            break;
        if (event.type == kUiEventMouseEnter)
            state_ |= kUiStateHot;
        else
            state_ &= ~kUiStateHot;
        Invalidate();
        return;
    case kUiEventButtonDown:
    case kUiEventRightButtonDown:
    case kUiEventDoubleClick:
        if (!enabled)
            break;
        OnPress(event);
        return;
    default:
        break;
    }
    // The label keeps the focused flag for the focus events.
    CLabelUI::ProcessEvent(event);
}

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"readonly") == 0)
        SetReadOnly(ReadBool(value));
    else if (wcscmp(name, L"numberonly") == 0)
        SetNumberOnly(ReadBool(value));
    else if (wcscmp(name, L"password") == 0)
        SetPassword(ReadBool(value));
    else if (wcscmp(name, L"maxchar") == 0)
        SetMaxChar(static_cast<int>(wcstol(value, nullptr, 10)));
    else if (wcscmp(name, L"normalimage") == 0)
        SetNormalImage(value);
    else if (wcscmp(name, L"hotimage") == 0)
        SetHotImage(value);
    else if (wcscmp(name, L"focusedimage") == 0)
        SetFocusedImage(value);
    else if (wcscmp(name, L"disabledimage") == 0)
        SetDisabledImage(value);
    else if (wcscmp(name, L"nativebkcolor") == 0)
        SetNativeBkColor(ReadHexColor(value));
    else
        CLabelUI::SetAttribute(name, value);
}

SIZE CEditUI::MeasureSize(SIZE available)
{
    if (fixedHeight_ != 0)
        return CLabelUI::MeasureSize(available);
    SIZE size = {fixedWidth_, GetFontHeight() + kLineExtra};
    return size;
}

bool CEditUI::PaintImageOnce(HDC hdc, CUiString& image)
{
    if (PaintImageSpec(hdc, image.GetData()))
        return true;
    image.Empty();
    return false;
}

void CEditUI::PaintStateImage(HDC hdc)
{
    if (HasFocus())
        state_ |= kUiStateFocused;
    else
        state_ &= ~kUiStateFocused;
    if (!IsEnabled())
        state_ |= kUiStateDisabled;
    else
        state_ &= ~kUiStateDisabled;

    CUiString* image = nullptr;
    if ((state_ & kUiStateDisabled) != 0)
        image = &disabledImage_;
    else if ((state_ & kUiStateFocused) != 0)
        image = &focusedImage_;
    else if ((state_ & kUiStateHot) != 0)
        image = &hotImage_;
    if (image != nullptr && !image->IsEmpty() && PaintImageOnce(hdc, *image))
        return;
    if (!normalImage_.IsEmpty())
        PaintImageOnce(hdc, normalImage_);
}

CUiString CEditUI::MaskedText() const
{
    std::wstring masked;
    const int length = text_.GetLength();
    for (int i = 0; i < length; ++i) {
        masked.push_back(passwordChar_);
        // A surrogate pair is one character on screen.
        if (IS_HIGH_SURROGATE(text_.GetAt(i)) && i + 1 < length && IS_LOW_SURROGATE(text_.GetAt(i + 1)))
            ++i;
    }
    return CUiString(masked.c_str());
}

void CEditUI::PaintText(HDC hdc)
{
    TakeDefaultColors();
    if (text_.IsEmpty())
        return;
    const CUiString text = password_ ? MaskedText() : text_;
    RECT rc = GetTextRect();
    CUiRender::DrawPlainText(hdc, manager_, rc, text.GetData(), IsEnabled() ? textColor_ : disabledTextColor_, font_,
                             textStyle_ | DT_SINGLELINE);
}

}  // namespace UiLib
