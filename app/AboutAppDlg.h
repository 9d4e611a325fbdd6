#pragma once
// The About window: version, update state, the maker's links, and an OK
// button that accepts a newer version for the next exit. The object outlives
// its window, so the main window can show it again.
#include "WindowImplBase.h"

namespace UiLib {
class CButtonUI;
class CLabelUI;
}  // namespace UiLib

// The maker's web site, opened by both links of the About window.
extern const wchar_t kMakerSiteUrl[];

class CAboutAppDlg : public UiLib::WindowImplBase {
public:
    CAboutAppDlg();

    const wchar_t* GetRegisteredClassName() const override;
    LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    ~CAboutAppDlg() override;
    void OnSkinLoaded() override;
    void OnClick(UiLib::UiNotify& notify) override;
    UiLib::CUiString GetSkinMarkupName() override;
    void Notify(UiLib::UiNotify& notify) override;

private:
    void ShowUpdateState();

    UiLib::CButtonUI* closeButton_;
    UiLib::CButtonUI* okButton_;
    UiLib::CButtonUI* appUrlButton_;
    UiLib::CLabelUI* versionLabel_;
    UiLib::CLabelUI* verInfoLabel_;
    UiLib::CButtonUI* telHelpButton_;
};
