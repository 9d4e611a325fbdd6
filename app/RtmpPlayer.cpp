// The main window's set-up, its one timer that drives the pipeline, the About
// window and the closing order.
#include "RtmpPlayer.h"

#include "AboutAppDlg.h"
#include "AppPaths.h"
#include "ButtonUI.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "CTaskManager.h"
#include "ComboUI.h"
#include "ListLabelElementUI.h"
#include "Logger.h"
#include "OptionUI.h"
#include "PlayListCtrl.h"
#include "PubUtils.h"
#include "RichEditUI.h"
#include "StringUtils.h"
#include "TempWork.h"
#include "UpdateChecker.h"

#include <cwchar>

using namespace UiLib;

namespace {

// The update check is tried again every this many ticks until it answers.
constexpr int kUpdateRetryTicks = 10;
// The queued log lines go to the user-service client every ten minutes.
constexpr int kFlushLogTicks = 600;
// Finished rows are looked for on every second tick.
constexpr int kSweepTicks = 2;

constexpr wchar_t kDownloadUrl[] = L"https://www.vantorin.com";

template <class T>
T* FindControl(CUiManager& manager, const wchar_t* name)
{
    return dynamic_cast<T*>(manager.FindControlByName(name));
}

}  // namespace

RtmpPlayer::RtmpPlayer()
{
    // Nothing of this run is in Temp yet; a run ended by force left its
    // copies, prepared files and pieces there.
    RemoveLeftoverWorkFiles();
    aboutDlg_ = new CAboutAppDlg();
    audioConvert_ = new CAudioConvert();
    taskManager_ = new CTaskManager();
}

RtmpPlayer::~RtmpPlayer() = default;

const wchar_t* RtmpPlayer::GetRegisteredClassName() const
{
    return L"Vantorin";
}

CUiString RtmpPlayer::GetSkinMarkupName()
{
    return L"RtmpPlayer.xml";
}

CControlUI* RtmpPlayer::CreateCustomControl(const wchar_t* className)
{
    if (className != nullptr && wcscmp(className, L"CPlayListCtrl") == 0)
        return new CPlayListCtrl();
    return nullptr;
}

void RtmpPlayer::BindControls()
{
    btnMin_ = FindControl<CButtonUI>(manager_, L"btnMin");
    btnMax_ = FindControl<CButtonUI>(manager_, L"btnMax");
    btnClose_ = FindControl<CButtonUI>(manager_, L"btnClose");
    btnAbout_ = FindControl<CButtonUI>(manager_, L"btnAbout");
    cmbRecgType_ = FindControl<CComboUI>(manager_, L"cmbRecgType");
    optType1_ = FindControl<COptionUI>(manager_, L"optType1");
    optType2_ = FindControl<COptionUI>(manager_, L"optType2");
    optType3_ = FindControl<COptionUI>(manager_, L"optType3");
    optType4_ = FindControl<COptionUI>(manager_, L"optType4");
    optOptimize_ = FindControl<COptionUI>(manager_, L"optOptimize");
    optRnnoise_ = FindControl<COptionUI>(manager_, L"optRnnoise");
    optVolGain_ = FindControl<COptionUI>(manager_, L"optVolGain");
    btnAdd_ = FindControl<CButtonUI>(manager_, L"btnAdd");
    btnStart_ = FindControl<CButtonUI>(manager_, L"btnStart");
    btnStartAll_ = FindControl<CButtonUI>(manager_, L"btnStartAll");
    btnSave_ = FindControl<CButtonUI>(manager_, L"btnSave");
    playList_ = FindControl<CPlayListCtrl>(manager_, L"playList");
    edtText_ = FindControl<CRichEditUI>(manager_, L"edtText");
}

void RtmpPlayer::FillRecgTypeCombo()
{
    if (cmbRecgType_ == nullptr)
        return;
    static const wchar_t* const kModes[] = {L"模式一", L"模式二"};
    const int stored = CData::GetInstance()->GetRecgType();
    for (int i = 0; i < static_cast<int>(sizeof(kModes) / sizeof(kModes[0])); ++i) {
        CListLabelElementUI* item = new CListLabelElementUI();
        item->SetText(kModes[i]);
        if (!cmbRecgType_->Add(item)) {
            delete item;
            continue;
        }
        if (i == stored)
            cmbRecgType_->SelectItem(i, false);
    }
}

void RtmpPlayer::OnSkinLoaded()
{
    BindControls();
    if (optOptimize_ != nullptr)
        optOptimize_->SetTooltip(L"识别效果更好");
    if (optRnnoise_ != nullptr)
        optRnnoise_->SetTooltip(L"录音有噪音时使用");
    if (optVolGain_ != nullptr)
        optVolGain_->SetTooltip(L"录音声音小时使用");

    CData* data = CData::GetInstance();
    data->InitUserlib(GetHwnd());
    manager_.SetTimer(btnClose_, 0, kTimerMs);
    WriteConfigString(L"DownloadURL", kDownloadUrl);

    FillRecgTypeCombo();
    if (optOptimize_ != nullptr)
        optOptimize_->SetSelected(data->GetOptimize());

    CUpdateChecker* checker = data->GetUpdateChecker();
    checker->SetNotifyWindow(GetHwnd());
    checker->Start();

    Show(true, true);
}

void RtmpPlayer::OnTimerTick()
{
    ++tickCount_;
    CUpdateChecker* checker = CData::GetInstance()->GetUpdateChecker();
    if (tickCount_ % kUpdateRetryTicks == 0 && !checker->HasRemoteVersion())
        checker->Start();
    if (audioConvert_ != nullptr)
        audioConvert_->OnTimer();
    if (playList_ != nullptr)
        playList_->OnTimer();
    if (taskManager_ != nullptr)
        taskManager_->OnTimer();
    if (tickCount_ % kFlushLogTicks == 0)
        CData::GetInstance()->FlushUploadLog();
    if (tickCount_ % kSweepTicks == 0)
        SweepFinishedRows();
}

// Marks done every recognising row whose pieces have all come back, in case
// the message of its last piece never arrived.
void RtmpPlayer::SweepFinishedRows()
{
    if (playList_ == nullptr || audioConvert_ == nullptr)
        return;
    for (int row = 0; row < playList_->GetCount(); ++row) {
        if (playList_->GetItemStatus(row) != CPlayListCtrl::kStatusRecognizing)
            continue;
        const std::vector<AudioPiece*> pieces = audioConvert_->GetFilePieces(WideToAnsi(playList_->GetItemFile(row)));
        if (pieces.empty())
            continue;
        const AudioPiece* first = pieces.front();
        int finished = 0;
        for (const AudioPiece* piece : pieces) {
            if (first->engine != AudioPiece::kEngineSdk || piece->stepsDone.load() == piece->progressSteps.load())
                ++finished;
        }
        if (finished == first->count)
            playList_->UpdateItemStatus(row, 100, 100);
    }
}

void RtmpPlayer::ShowAbout()
{
    if (aboutDlg_ == nullptr)
        return;
    const HWND about = aboutDlg_->GetHwnd();
    if (about != nullptr && IsWindow(about)) {
        SetWindowPos(about, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(about);
        return;
    }
    aboutDlg_->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400);
    aboutDlg_->CenterOnOwner();
    aboutDlg_->Show(true, true);
}

// The About object must not outlive its window, nor its window the object.
void RtmpPlayer::ReleaseAbout()
{
    if (aboutDlg_ == nullptr)
        return;
    const HWND about = aboutDlg_->GetHwnd();
    if (about != nullptr && IsWindow(about))
        DestroyWindow(about);
    delete aboutDlg_;
    aboutDlg_ = nullptr;
}

// The exiting flag goes first, so that workers still running post nothing to
// a window that is going away.
void RtmpPlayer::ReleasePipeline()
{
    CData::GetInstance()->SetExiting(true);
    delete audioConvert_;
    audioConvert_ = nullptr;
    delete taskManager_;
    taskManager_ = nullptr;
}

void RtmpPlayer::Close()
{
    CData* data = CData::GetInstance();
    data->SetExiting(true);
    data->FlushUploadLog();
    g_logger.Write(1, "RtmpPlayer::Close", "main close");
    manager_.KillControlTimers(btnClose_);
    Show(false, true);
    ReleaseAbout();
    ReleasePipeline();
    data->PostAppExit();
}

void RtmpPlayer::OnWindowGone(HWND window)
{
    CData* data = CData::GetInstance();
    data->SetExiting(true);
    WindowImplBase::OnWindowGone(window);
    // Closed by the system (Alt+F4, the task bar) Close did not run: the
    // workers must be stopped before the Temp folder is emptied under them.
    ReleaseAbout();
    ReleasePipeline();
    if (data->GetUpdateChecker()->IsUpdateRequired() || data->IsUpdateOnExit())
        PubUtils::StartUpdateExe();
    ClearTempDir();
    PostQuitMessage(0);
}
