#pragma once
// The program's one main window: the file list, the recognition options, the
// command buttons and the text pane. It owns the two pipeline managers, and
// its one 1000 ms timer drives the whole pipeline; the workers report back
// through posted messages that its window procedure takes in.
#include "PlayListCtrl.h"
#include "WindowImplBase.h"

#include "Win32Prelude.h"

#include <string>

namespace UiLib {
class CButtonUI;
class CComboUI;
class COptionUI;
class CRichEditUI;
}  // namespace UiLib

class CAboutAppDlg;
class CAudioConvert;
class CTaskManager;
class CWorkTask;
struct AudioPiece;
struct UserlibRecord;

class RtmpPlayer : public UiLib::WindowImplBase {
public:
    // Row states of the file list, as the main window names them.
    static constexpr int kRowNew = CPlayListCtrl::kStatusNew;
    static constexpr int kRowRecognizing = CPlayListCtrl::kStatusRecognizing;
    static constexpr int kRowDone = CPlayListCtrl::kStatusDone;
    static constexpr UINT kTimerMs = 1000;

    RtmpPlayer();
    // Dismantles the window base only; Close releases the owned objects.
    ~RtmpPlayer() override;

    const wchar_t* GetRegisteredClassName() const override;
    UiLib::CUiString GetSkinMarkupName() override;
    UiLib::CControlUI* CreateCustomControl(const wchar_t* className) override;
    void OnSkinLoaded() override;
    void OnWindowGone(HWND window) override;

    void Notify(UiLib::UiNotify& msg) override;
    void OnClick(UiLib::UiNotify& msg) override;
    // The message filter: user input taken ahead of the controls.
    LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // The window procedure's part: what the workers, the update checker and
    // the user-service client post, whichever loop dispatches it.
    LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    void ShowAbout();
    // The "btnClose" command: stops the pipeline and closes the window.
    void Close();
    // Starts one row whose status is new or done; callers test the status.
    bool StartItem(int row);

    // The joined text of one source file (the path as the list stores it).
    std::wstring GetFileText(std::wstring path);
    // The selected row's text (or the first row's) into "edtText".
    void ShowItemText();
    // The "btnSave" command: one results file per finished row.
    void SaveResults();

    // The pipeline objects; null after Close.
    CAudioConvert* GetAudioConvert() const { return audioConvert_; }
    CTaskManager* GetTaskManager() const { return taskManager_; }
    CPlayListCtrl* GetPlayList() const { return playList_; }

private:
    void BindControls();
    void FillRecgTypeCombo();
    void OnTimerTick();
    void SweepFinishedRows();
    void ReleaseAbout();
    void ReleasePipeline();
    void OnMaximizeClicked();
    void OnStartClicked(bool all);
    void OnSelectChanged(UiLib::UiNotify& msg);

    // True for a message of the workers, the update checker or the
    // user-service client, each handled here once.
    bool HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnKeyDownMessage(WPARAM key);
    void OnUpdateNotify(WPARAM state, LPARAM lParam);
    void OnRowClick(LPARAM lParam);
    void OnAudioResult(AudioPiece* piece);
    void OnAudioProgress(AudioPiece* piece);
    void OnTaskResult(CWorkTask* task);
    void OnUserCommand(unsigned command, UserlibRecord* record);
    // Selects row 0 when nothing is selected, then shows the selected row's
    // text when it is the piece's source file.
    void RefreshTextPane(const std::string& source);
    // The non-blocking "确定"-only or "确定"/"取消" box with the given text.
    void ShowNoticeBox(const std::wstring& text, const wchar_t* cancelCaption, int autoCloseSeconds);

    UiLib::CButtonUI* btnMin_ = nullptr;
    UiLib::CButtonUI* btnMax_ = nullptr;
    UiLib::CButtonUI* btnClose_ = nullptr;
    UiLib::CButtonUI* btnAbout_ = nullptr;
    UiLib::CComboUI* cmbRecgType_ = nullptr;
    UiLib::COptionUI* optType1_ = nullptr;
    UiLib::COptionUI* optType2_ = nullptr;
    UiLib::COptionUI* optType3_ = nullptr;
    UiLib::COptionUI* optType4_ = nullptr;
    UiLib::COptionUI* optOptimize_ = nullptr;
    UiLib::COptionUI* optRnnoise_ = nullptr;
    UiLib::COptionUI* optVolGain_ = nullptr;
    UiLib::CButtonUI* btnAdd_ = nullptr;
    UiLib::CButtonUI* btnStart_ = nullptr;
    UiLib::CButtonUI* btnStartAll_ = nullptr;
    UiLib::CButtonUI* btnSave_ = nullptr;
    CPlayListCtrl* playList_ = nullptr;
    UiLib::CRichEditUI* edtText_ = nullptr;

    CAudioConvert* audioConvert_ = nullptr;
    CTaskManager* taskManager_ = nullptr;
    CAboutAppDlg* aboutDlg_ = nullptr;
    int tickCount_ = 0;
};
