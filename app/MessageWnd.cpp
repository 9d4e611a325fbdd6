#include "MessageWnd.h"

#include "ButtonUI.h"
#include "LabelUI.h"
#include "TextUI.h"

using namespace UiLib;

namespace {

constexpr DWORD kMessageBoxStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
constexpr int kCountdownTimerId = 0;
constexpr UINT kCountdownIntervalMs = 1000;
const wchar_t kDefaultIcon[] = L"tip.png";

// Keeps one axis of the box inside [low, high): the near edge wins when the
// box is larger than the area.
int ClampInto(int position, int size, int low, int high)
{
    if (position < low)
        return low;
    if (position + size > high)
        return high - size;
    return position;
}

}  // namespace

CMessageWnd::CMessageWnd(bool deleteOnGone, int autoCloseSeconds)
    : titleLabel_(nullptr),
      closeButton_(nullptr),
      iconLabel_(nullptr),
      textLabel_(nullptr),
      okButton_(nullptr),
      cancelButton_(nullptr),
      title_(L"提示"),
      iconName_(kDefaultIcon),
      okCaption_(L"确定"),
      cancelCaption_(L"取消"),
      cancelShown_(true),
      callback_(nullptr),
      user_(nullptr),
      deleteOnGone_(deleteOnGone),
      autoCloseSeconds_(autoCloseSeconds)
{
}

CMessageWnd::~CMessageWnd() = default;

void CMessageWnd::SetButtons(const CUiString& okCaption, const CUiString& cancelCaption, bool showCancel)
{
    okCaption_ = okCaption;
    cancelCaption_ = cancelCaption;
    cancelShown_ = showCancel;
}

void CMessageWnd::SetMessage(const CUiString& text, const CUiString& icon)
{
    text_ = text;
    if (!icon.IsEmpty())
        iconName_ = icon;
}

void CMessageWnd::ShowCentered(HWND owner, MessageResultCallback callback, void* user)
{
    callback_ = callback;
    user_ = user;
    // A creation that fails before the window exists (its class cannot be
    // registered, a dead owner) never reaches OnWindowGone, and one that
    // fails later reaches it from inside Create: either way the box is
    // deleted here, once, so a heap box the caller has forgotten never leaks.
    const bool deleteOnGone = deleteOnGone_;
    deleteOnGone_ = false;
    const HWND window = Create(owner, L"", kMessageBoxStyle, 0, 0, 0, 0, 0);
    deleteOnGone_ = deleteOnGone;
    if (window == nullptr) {
        if (deleteOnGone)
            delete this;
        return;
    }

    RECT box = {};
    GetWindowRect(window_, &box);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    RECT area = work;
    if (owner != nullptr && !IsIconic(owner))
        GetWindowRect(owner, &area);

    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int x = (area.left + area.right) / 2 - width / 2;
    int y = (area.top + area.bottom) / 2 - height / 2;
    x = ClampInto(x, width, work.left, work.right);
    y = ClampInto(y, height, work.top, work.bottom);
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    // Brought to the front without staying always on top.
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

const wchar_t* CMessageWnd::GetRegisteredClassName() const
{
    return L"CMessageWnd";
}

void CMessageWnd::OnWindowGone(HWND window)
{
    WindowImplBase::OnWindowGone(window);
    if (deleteOnGone_)
        delete this;
}

CUiString CMessageWnd::GetSkinMarkupName()
{
    return CUiString(L"MessageWnd.xml");
}

void CMessageWnd::OnSkinLoaded()
{
    titleLabel_ = dynamic_cast<CLabelUI*>(manager_.FindControlByName(L"TitleTxtLab"));
    closeButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnClose"));
    iconLabel_ = dynamic_cast<CLabelUI*>(manager_.FindControlByName(L"MainIconLab"));
    textLabel_ = dynamic_cast<CTextUI*>(manager_.FindControlByName(L"MainTxtLab"));
    okButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnOK"));
    cancelButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnCancel"));

    if (titleLabel_ != nullptr) {
        titleLabel_->SetFont(0);
        titleLabel_->SetText(title_.GetData());
    }
    if (textLabel_ != nullptr) {
        textLabel_->SetFont(1);
        textLabel_->SetText(text_.GetData());
        // A long text may be cut by the box; the tooltip shows all of it.
        textLabel_->SetTooltip(text_.GetData());
    }
    if (okButton_ != nullptr)
        okButton_->SetText(okCaption_.GetData());
    if (cancelButton_ != nullptr) {
        cancelButton_->SetText(cancelCaption_.GetData());
        cancelButton_->SetShown(cancelShown_);
    }
    // The skin shows the default icon; a caller's own icon replaces it.
    if (iconLabel_ != nullptr && !(iconName_ == kDefaultIcon))
        iconLabel_->SetBackgroundImage(iconName_.GetData());
    if (autoCloseSeconds_ >= 1 && closeButton_ != nullptr)
        manager_.SetTimer(closeButton_, kCountdownTimerId, kCountdownIntervalMs);
}

void CMessageWnd::Notify(UiNotify& notify)
{
    WindowImplBase::Notify(notify);
    if (!(notify.type == L"timer") || notify.sender == nullptr || notify.sender != closeButton_)
        return;
    --autoCloseSeconds_;
    if (autoCloseSeconds_ > 0)
        return;
    manager_.KillControlTimers(closeButton_);
    Close(kMessageResultCancel);
}

void CMessageWnd::OnClick(UiNotify& notify)
{
    if (notify.sender == nullptr)
        return;
    if (notify.sender == okButton_)
        Answer(kMessageResultOk);
    else if (notify.sender == closeButton_ || notify.sender == cancelButton_)
        Answer(kMessageResultCancel);
}

void CMessageWnd::Answer(int button)
{
    if (callback_ != nullptr)
        callback_(button, user_);
    Close(static_cast<UINT>(button));
}

void ShowNoticeBox(HWND owner, const std::wstring& text, const wchar_t* cancelCaption, int autoCloseSeconds)
{
    CMessageWnd* box = new CMessageWnd(true, autoCloseSeconds);
    box->SetButtons(L"确定", cancelCaption, false);
    box->SetMessage(text.c_str(), L"");
    box->ShowCentered(owner, nullptr, nullptr);
}
