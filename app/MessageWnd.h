#pragma once
// The program's own modeless message box. A caller makes one on the heap,
// sets its texts, shows it centred on an owner and goes on; the answer, when
// anyone wants it, arrives through the result callback.
#include "WindowImplBase.h"

#include <string>

namespace UiLib {
class CButtonUI;
class CLabelUI;
class CTextUI;
}  // namespace UiLib

// Button results passed to the callback and used as close codes.
constexpr int kMessageResultOk = 1;
constexpr int kMessageResultCancel = 2;

typedef void (*MessageResultCallback)(int button, void* user);

class CMessageWnd : public UiLib::WindowImplBase {
public:
    // deleteOnGone: the object deletes itself once its window is destroyed.
    // autoCloseSeconds: the box closes itself after that many seconds (0 or
    // less: never), without calling the callback.
    CMessageWnd(bool deleteOnGone, int autoCloseSeconds);

    void SetButtons(const UiLib::CUiString& okCaption, const UiLib::CUiString& cancelCaption, bool showCancel);
    // An empty icon keeps the current icon name.
    void SetMessage(const UiLib::CUiString& text, const UiLib::CUiString& icon);
    // Creates the window (owner may be null) and places it centred on the
    // owner, or on the nearest monitor's work area, kept inside that area.
    void ShowCentered(HWND owner, MessageResultCallback callback, void* user);

    const wchar_t* GetRegisteredClassName() const override;
    void OnWindowGone(HWND window) override;
    ~CMessageWnd() override;
    void OnSkinLoaded() override;
    void OnClick(UiLib::UiNotify& notify) override;
    UiLib::CUiString GetSkinMarkupName() override;
    void Notify(UiLib::UiNotify& notify) override;

    const UiLib::CUiString& GetTitle() const { return title_; }
    const UiLib::CUiString& GetIconName() const { return iconName_; }
    const UiLib::CUiString& GetText() const { return text_; }
    const UiLib::CUiString& GetOkCaption() const { return okCaption_; }
    const UiLib::CUiString& GetCancelCaption() const { return cancelCaption_; }
    bool IsCancelShown() const { return cancelShown_; }
    int GetAutoCloseSeconds() const { return autoCloseSeconds_; }

private:
    void Answer(int button);

    UiLib::CLabelUI* titleLabel_;
    UiLib::CButtonUI* closeButton_;
    UiLib::CLabelUI* iconLabel_;
    UiLib::CTextUI* textLabel_;
    UiLib::CButtonUI* okButton_;
    UiLib::CButtonUI* cancelButton_;
    UiLib::CUiString title_;
    UiLib::CUiString iconName_;
    UiLib::CUiString text_;
    UiLib::CUiString okCaption_;
    UiLib::CUiString cancelCaption_;
    bool cancelShown_;
    MessageResultCallback callback_;
    void* user_;
    bool deleteOnGone_;
    int autoCloseSeconds_;
};

// The program's plain notice: a box with the text and a lone OK button,
// centred on owner, that deletes itself when closed and closes itself after
// autoCloseSeconds (0: never). Nothing waits for it.
void ShowNoticeBox(HWND owner, const std::wstring& text, const wchar_t* cancelCaption, int autoCloseSeconds);
