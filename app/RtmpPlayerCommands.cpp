// What the main window does when the user works its controls: the button and
// language commands, the start of one row, and the option notifications.
#include "RtmpPlayer.h"

#include "ButtonUI.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "CTaskManager.h"
#include "ComboUI.h"
#include "MessageWnd.h"
#include "OptionUI.h"
#include "PlayListCtrl.h"
#include "StringUtils.h"

using namespace UiLib;

namespace {

// Seconds after which the language notices close themselves.
constexpr int kLanguageNoticeSeconds = 4;

struct LanguageCommand {
    int language;
    const wchar_t* notice;  // null: none
};

const LanguageCommand kLanguageCommands[] = {
    {1, nullptr},
    {2, L"当前选择为四川话，请确保音频为四川话，否则无法识别!"},
    {3, L"当前选择为粤语，请确保音频为粤语，否则无法识别!"},
    {4, L"当前选择为英语，请确保音频为英语，否则无法识别!"},
};

}  // namespace

void RtmpPlayer::ShowNoticeBox(const std::wstring& text, const wchar_t* cancelCaption, int autoCloseSeconds)
{
    ::ShowNoticeBox(GetHwnd(), text, cancelCaption, autoCloseSeconds);
}

void RtmpPlayer::Notify(UiNotify& msg)
{
    DispatchNotify(msg);
    if (msg.type == L"timer") {
        if (msg.sender != nullptr && msg.sender == btnClose_)
            OnTimerTick();
    } else if (msg.type == L"itemselect") {
        if (msg.sender == nullptr)
            return;
        if (msg.sender == cmbRecgType_)
            CData::GetInstance()->SetRecgType(cmbRecgType_->GetSelectedIndex());
        else if (msg.sender == playList_)
            ShowItemText();
    } else if (msg.type == L"selectchanged") {
        OnSelectChanged(msg);
    }
}

void RtmpPlayer::OnSelectChanged(UiNotify& msg)
{
    if (msg.sender == nullptr)
        return;
    CData* data = CData::GetInstance();
    if (msg.sender == optOptimize_) {
        data->SetOptimize(optOptimize_->IsSelected());
    } else if (msg.sender == optRnnoise_) {
        data->SetRnnoise(optRnnoise_->IsSelected());
    } else if (msg.sender == optVolGain_) {
        if (optVolGain_->IsSelected())
            ShowNoticeBox(L"仅音量小时使用，不然效果可能更差。", L"", 0);
        data->SetVolGain(optVolGain_->IsSelected());
    }
}

void RtmpPlayer::OnClick(UiNotify& msg)
{
    CControlUI* sender = msg.sender;
    if (sender == nullptr)
        return;
    if (sender == btnClose_) {
        Close();
    } else if (sender == btnMax_) {
        OnMaximizeClicked();
    } else if (sender == btnMin_) {
        PostWindowMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (sender == btnAbout_) {
        ShowAbout();
    } else if (sender == optType1_ || sender == optType2_ || sender == optType3_ || sender == optType4_) {
        const COptionUI* const options[] = {optType1_, optType2_, optType3_, optType4_};
        for (int i = 0; i < 4; ++i) {
            if (sender != options[i])
                continue;
            CData::GetInstance()->SetLanguage(kLanguageCommands[i].language);
            if (kLanguageCommands[i].notice != nullptr)
                ShowNoticeBox(kLanguageCommands[i].notice, L"", kLanguageNoticeSeconds);
            break;
        }
    } else if (sender == btnAdd_) {
        if (playList_ != nullptr)
            playList_->AddFilesFromDialog();
    } else if (sender == btnStart_) {
        OnStartClicked(false);
    } else if (sender == btnStartAll_) {
        OnStartClicked(true);
    } else if (sender == btnSave_) {
        SaveResults();
    }
}

// The button shows what a click will do next: the single frame while the
// window is maximised, the overlapping frames while it is normal.
void RtmpPlayer::OnMaximizeClicked()
{
    if (IsZoomed(GetHwnd())) {
        PostWindowMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        btnMax_->SetNormalImage(L"main/restore_normal.png");
        btnMax_->SetHotImage(L"main/restore_over.png");
        btnMax_->SetPushedImage(L"main/restore_over.png");
    } else {
        PostWindowMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        btnMax_->SetNormalImage(L"main/max_normal.png");
        btnMax_->SetHotImage(L"main/max_over.png");
        btnMax_->SetPushedImage(L"main/max_over.png");
    }
}

// "btnStart" starts the first waiting row only, whatever its start gives;
// "btnStartAll" every waiting row. The count is read again for each row.
void RtmpPlayer::OnStartClicked(bool all)
{
    if (playList_ == nullptr)
        return;
    for (int row = 0; row < playList_->GetCount(); ++row) {
        if (playList_->GetItemStatus(row) != CPlayListCtrl::kStatusNew)
            continue;
        StartItem(row);
        if (!all)
            return;
    }
}

bool RtmpPlayer::StartItem(int row)
{
    if (playList_ == nullptr || audioConvert_ == nullptr || taskManager_ == nullptr)
        return false;
    const std::string path = WideToAnsi(playList_->GetItemFile(row));
    if (path.empty())
        return false;
    // A finished row started again: the earlier run's pieces and text go.
    if (playList_->GetItemStatus(row) == CPlayListCtrl::kStatusDone)
        audioConvert_->RemoveFile(path);
    const int duration = playList_->GetItemDuration(row);
    CData* data = CData::GetInstance();
    if (data->GetRnnoise() || data->GetVolGain()) {
        taskManager_->AddTask(path, data->GetRnnoise(), data->GetVolGain());
        playList_->SetItemRecognizing(row);
        return true;
    }
    if (!audioConvert_->AddTask(path, duration, path))
        return false;
    playList_->SetItemRecognizing(row);
    return true;
}
