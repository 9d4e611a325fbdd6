#include "AboutAppDlg.h"

#include "ButtonUI.h"
#include "CData.h"
#include "LabelUI.h"
#include "PubUtils.h"
#include "StringUtils.h"
#include "UpdateChecker.h"

using namespace UiLib;

const wchar_t kMakerSiteUrl[] = L"https://www.vantorin.com";

namespace {

constexpr DWORD kWarningColor = 0xFFFF3333;
constexpr DWORD kQuietColor = 0xFF999999;
constexpr UINT kResultOk = 1;
constexpr UINT kResultClose = 2;

}  // namespace

CAboutAppDlg::CAboutAppDlg()
    : closeButton_(nullptr),
      okButton_(nullptr),
      appUrlButton_(nullptr),
      versionLabel_(nullptr),
      verInfoLabel_(nullptr),
      telHelpButton_(nullptr)
{
}

CAboutAppDlg::~CAboutAppDlg() = default;

const wchar_t* CAboutAppDlg::GetRegisteredClassName() const
{
    return L"CAboutAppDlg";
}

LRESULT CAboutAppDlg::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return WindowImplBase::ProcessMessage(message, wParam, lParam);
}

CUiString CAboutAppDlg::GetSkinMarkupName()
{
    return CUiString(L"AboutAppDlg.xml");
}

void CAboutAppDlg::Notify(UiNotify& notify)
{
    WindowImplBase::Notify(notify);
}

void CAboutAppDlg::OnSkinLoaded()
{
    closeButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnClose"));
    okButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnOK"));
    appUrlButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnAppUrl"));
    versionLabel_ = dynamic_cast<CLabelUI*>(manager_.FindControlByName(L"labVersion"));
    verInfoLabel_ = dynamic_cast<CLabelUI*>(manager_.FindControlByName(L"labVerInfo"));
    telHelpButton_ = dynamic_cast<CButtonUI*>(manager_.FindControlByName(L"btnTelHelp"));

    if (telHelpButton_ != nullptr) {
        telHelpButton_->SetShowHtml(true);
        telHelpButton_->SetText(L"<u>技术支持: 官网在线客服</u>");
    }
    if (appUrlButton_ != nullptr) {
        appUrlButton_->SetShowHtml(true);
        appUrlButton_->SetText((std::wstring(L"<u>梵拓官网: ") + kMakerSiteUrl + L"</u>").c_str());
    }
    if (versionLabel_ != nullptr)
        versionLabel_->SetText((L"软件版本: " + AnsiToWide(kAppVersionText)).c_str());
    ShowUpdateState();
}

// Read once: a check that answers while the window is open changes nothing
// here, only what the OK button does.
void CAboutAppDlg::ShowUpdateState()
{
    if (verInfoLabel_ == nullptr || okButton_ == nullptr)
        return;
    CUpdateChecker* checker = CData::GetInstance()->GetUpdateChecker();
    if (checker == nullptr || !checker->HasRemoteVersion()) {
        verInfoLabel_->SetTextColor(kWarningColor);
        verInfoLabel_->SetText(L"更新失败,有问题请联系客服!");
        okButton_->SetText(L"确定");
    } else if (checker->IsNewVersionAvailable()) {
        verInfoLabel_->SetTextColor(kWarningColor);
        verInfoLabel_->SetText(L"发现新的版本");
        okButton_->SetText(L"立即更新");
    } else {
        verInfoLabel_->SetTextColor(kQuietColor);
        verInfoLabel_->SetText(L"已是最新版本");
        okButton_->SetText(L"确定");
    }
}

void CAboutAppDlg::OnClick(UiNotify& notify)
{
    if (notify.sender == nullptr)
        return;
    if (notify.sender == closeButton_) {
        Close(kResultClose);
    } else if (notify.sender == okButton_) {
        Close(kResultOk);
        CData* data = CData::GetInstance();
        CUpdateChecker* checker = data->GetUpdateChecker();
        // Asked again at the click: a version found after the window opened
        // still leads to the update.
        if (checker != nullptr && checker->IsNewVersionAvailable()) {
            // The close is only posted: the flag is set before the main
            // window handles it and looks at the flag when it is gone.
            data->PostAppExit();
            data->SetUpdateOnExit(true);
        }
    } else if (notify.sender == appUrlButton_ || notify.sender == telHelpButton_) {
        PubUtils::OpenUrl(kMakerSiteUrl);
    }
}
