// Where the work of the other threads comes back to the UI thread (the
// window procedure), and the main window's message filter, which takes three
// kinds of user input ahead of the controls (a click on a row's action cell,
// Ctrl+Shift+L, the system close command).
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "RtmpPlayer.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "CTaskManager.h"
#include "CWorkTask.h"
#include "Logger.h"
#include "PlayListCtrl.h"
#include "ServerKey.h"
#include "SourceRows.h"
#include "StringUtils.h"
#include "TempWork.h"
#include "UpdateChecker.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

constexpr char kTag[] = "RtmpPlayer::MessageHandler";

// The REST service's poor-audio error: worth one more run with denoise.
constexpr int kPoorAudioCode = 3301;
// The speech SDK's network failure.
constexpr int kSdkNetworkCode = -90002;

enum UpdateState { kUpdateFailed = 2, kUpdateFilesFound = 4 };

bool IsKeyDown(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

std::wstring PieceFailureText(const std::wstring& name, int code, const wchar_t* otherMode)
{
    return name + L"，部分识别失败(code=" + std::to_wstring(code) + L")，可切换到" + otherMode + L"后重新识别!";
}

}  // namespace

LRESULT RtmpPlayer::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool&)
{
    // Only the user's input is taken here. The workers' messages are left to
    // the window procedure (HandleOtherMessage): a file dialog, the folder
    // browser or a caption drag runs a loop of its own that never asks this
    // filter, and a result lost there would leave its row unfinished for good.
    switch (message) {
    case WM_KEYDOWN:
        OnKeyDownMessage(wParam);
        break;
    case WM_SYSCOMMAND:
        // Hidden at once; the window's own handling then closes it.
        if (wParam == SC_CLOSE)
            ShowWindow(GetHwnd(), SW_HIDE);
        break;
    case WM_LBUTTONDOWN:
        OnRowClick(lParam);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT RtmpPlayer::HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = HandleWorkerMessage(message, wParam, lParam);
    return 0;
}

bool RtmpPlayer::HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_UPDATE_NOTIFY:
        OnUpdateNotify(wParam, lParam);
        return true;
    case WM_USER_AUDIO_RESULT:
    case WM_USER_AUDIO_PROGRESS: {
        // A piece message may name a piece that was dropped after it was
        // posted (a finished row started again, a poor-audio re-run): it is
        // ignored.
        AudioPiece* piece = reinterpret_cast<AudioPiece*>(wParam);
        if (piece == nullptr || audioConvert_ == nullptr || !audioConvert_->IsLivePiece(piece, lParam))
            return true;
        if (message == WM_USER_AUDIO_RESULT)
            OnAudioResult(piece);
        else
            OnAudioProgress(piece);
        return true;
    }
    case WM_USER_TASK_RESULT: {
        // The task stays with its manager until told it has been read; a
        // message that comes after the manager went names a freed task.
        CWorkTask* task = reinterpret_cast<CWorkTask*>(wParam);
        if (task != nullptr && taskManager_ != nullptr)
            OnTaskResult(task);
        return true;
    }
    case WM_USER_COMMAND:
        OnUserCommand(static_cast<unsigned>(wParam), reinterpret_cast<UserlibRecord*>(lParam));
        return true;
    default:
        return false;
    }
}

void RtmpPlayer::OnKeyDownMessage(WPARAM key)
{
    if (key != 'L' || !IsKeyDown(VK_CONTROL) || !IsKeyDown(VK_SHIFT))
        return;
    const std::wstring folder = AnsiToWide(GetAppDataDir());
    ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

void RtmpPlayer::OnUpdateNotify(WPARAM state, LPARAM lParam)
{
    UpdateMsg* update = reinterpret_cast<UpdateMsg*>(lParam);
    CUpdateChecker* checker = CData::GetInstance()->GetUpdateChecker();
    if (state == kUpdateFailed) {
        g_logger.Write(2, kTag, "check update version failed");
    } else if (state == kUpdateFilesFound) {
        if (checker->IsNewVersionAvailable())
            g_logger.Write(1, kTag, "has no must update version");
        if (checker->IsUpdateRequired()) {
            g_logger.Write(1, kTag, "find must update version. start update");
            CData::GetInstance()->PostAppExit();
        }
    }
    g_logger.Write(1, kTag, "update msg: %d, %s", static_cast<int>(state),
                   update != nullptr ? update->text.c_str() : "");
    delete update;
}

void RtmpPlayer::OnRowClick(LPARAM lParam)
{
    if (playList_ == nullptr)
        return;
    const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    CControlUI* control = manager_.FindControlAt(point);
    if (control == nullptr)
        return;
    const int row = playList_->GetItemIndex(control);
    if (row < 0 || !playList_->HitTestCell(control, point.x, point.y, true))
        return;
    const int status = playList_->GetItemStatus(row);
    if (status == CPlayListCtrl::kStatusNew || status == CPlayListCtrl::kStatusDone)
        StartItem(row);
}

void RtmpPlayer::RefreshTextPane(const std::string& source)
{
    int row = playList_->GetSelectedIndex();
    if (row == -1 && playList_->GetCount() > 0) {
        playList_->SelectItem(0, false);
        row = playList_->GetSelectedIndex();
    }
    if (row >= 0 && playList_->GetItemFile(row) == AnsiToWide(source))
        ShowItemText();
}

void RtmpPlayer::OnAudioResult(AudioPiece* piece)
{
    if (playList_ == nullptr)
        return;
    // Copied first: a re-run drops the piece.
    const std::string source = piece->source;
    const int count = piece->count;
    RefreshTextPane(source);

    const std::vector<AudioPiece*> pieces = audioConvert_->GetFilePieces(source);
    const bool allBack = static_cast<int>(pieces.size()) == count;
    bool rerun = false;
    for (AudioPiece* current : pieces) {
        const int code = current->code.load();
        if (code == 0 || (code == kPoorAudioCode && current->prepared))
            continue;
        if (code == kPoorAudioCode) {
            rerun = true;
        } else if (allBack) {
            ShowNoticeBox(PieceFailureText(ShownFileName(ShownSourcePath(playList_, source)), code, L"模式一"), L"取消",
                          0);
        }
        break;
    }

    if (!rerun) {
        playList_->UpdateItemStatus(FindSourceRow(*playList_, source), static_cast<int>(pieces.size()), count);
        return;
    }
    // Recognised once more from a denoised copy; the row stays recognising.
    audioConvert_->RemoveFile(source);
    taskManager_->AddTask(source, true, CData::GetInstance()->GetVolGain());
}

void RtmpPlayer::OnAudioProgress(AudioPiece* piece)
{
    if (playList_ == nullptr)
        return;
    const std::string source = piece->source;
    RefreshTextPane(source);

    const std::vector<AudioPiece*> pieces = audioConvert_->GetFilePieces(source);
    int done = 0;
    int total = 0;
    for (const AudioPiece* current : pieces) {
        done += current->stepsDone.load();
        total += current->progressSteps.load();
    }
    // Every piece counts 100 steps, and a live piece's file has at least
    // that piece: the total is never 0.
    playList_->UpdateItemStatus(FindSourceRow(*playList_, source), done, total);
    if (done != total)
        return;
    for (const AudioPiece* current : pieces) {
        const int code = current->code.load();
        if (current->stepsDone.load() != current->progressSteps.load() || code == 0)
            continue;
        const std::wstring name = ShownFileName(ShownSourcePath(playList_, source));
        if (code == kSdkNetworkCode)
            ShowNoticeBox(name + L"，网络错误，若网络正常可重新识别!", L"取消", 0);
        else
            ShowNoticeBox(PieceFailureText(name, code, L"模式二"), L"取消", 0);
        break;
    }
}

void RtmpPlayer::OnTaskResult(CWorkTask* task)
{
    const TaskRequest request = task->GetRequest();
    const int result = task->GetResult();
    // Read: the manager may free the task from here on.
    taskManager_->ResultTaken(task);
    if (playList_ == nullptr || audioConvert_ == nullptr)
        return;
    // Found by its narrow form too: a file whose name code page 936 cannot
    // hold fails here, and its row must end (it can be started again).
    const int row = FindSourceRow(*playList_, request.sourcePath);
    if (result != CWorkTask::kOk) {
        DeletePreparationFiles(request, false);
        ShowNoticeBox(ShownFileName(ShownSourcePath(playList_, request.sourcePath)) + L",任务失败(code=" +
                          std::to_wstring(result) + L"),可重命名后，重新添加再识别!",
                      L"", 0);
        playList_->UpdateItemStatus(row, 100, 100);
        return;
    }
    // The scheduler cuts the output and deletes it with its run; the steps
    // before it are no longer needed.
    DeletePreparationFiles(request, row >= 0);
    if (row < 0)
        return;
    if (!audioConvert_->AddTask(request.outputPath, playList_->GetItemDuration(row), request.sourcePath))
        playList_->UpdateItemStatus(row, 100, 100);
}

void RtmpPlayer::OnUserCommand(unsigned command, UserlibRecord* record)
{
    g_logger.Write(1, kTag, "WM_USER_COMMAND cmd:%d", static_cast<int>(command));
    const bool success = record != nullptr && record->result == 0;
    if (command == USERLIB_CMD_KEY_LIST) {
        if (success) {
            ServerKeyList keys;
            for (int i = 0; i < record->count && record->items != nullptr; ++i)
                keys.push_back(ServerKey{record->items[i].apiKey, record->items[i].secretKey});
            g_logger.Write(1, kTag, "get key size: %d", static_cast<int>(keys.size()));
            CData::GetInstance()->AddKey(keys);
        }
    } else if (command == USERLIB_CMD_UPLOAD_LOG) {
        g_logger.Write(1, kTag, "upload log");
    } else if (command > 4) {
        g_logger.Write(2, kTag, "unknown WM_USER_COMMAND parameter cmd:%d", static_cast<int>(command));
    }
    if (record != nullptr && !success)
        g_logger.Write(2, kTag, "task %d, %s", static_cast<int>(command), record->message.c_str());
    // The record is the client's: it is handed back, never freed here.
    CUserhttplib* client = CData::GetInstance()->GetUserlib();
    if (client != nullptr)
        client->ReleaseRecord(command, record);
}
