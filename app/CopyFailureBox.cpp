#include "CopyFailureBox.h"

#include "CData.h"
#include "MessageWnd.h"
#include "RtmpPlayer.h"
#include "SourceRows.h"

#include <cwchar>

namespace {

// The file list of the program's main window, or null when the window is
// some other one (a test's owner window).
const CPlayListCtrl* MainWindowList(HWND window)
{
    wchar_t className[32] = {};
    if (window == nullptr || GetClassNameW(window, className, 32) == 0 || wcscmp(className, L"Vantorin") != 0)
        return nullptr;
    auto* player =
        dynamic_cast<RtmpPlayer*>(reinterpret_cast<UiLib::CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
    return player != nullptr ? player->GetPlayList() : nullptr;
}

}  // namespace

void ShowCopyFailureNotice(const std::string& source)
{
    // Named as the list shows the file: the narrow path has "?" for every
    // letter code page 936 cannot hold, and the copy fails on exactly those.
    const HWND owner = CData::GetInstance()->GetMainWnd();
    ShowNoticeBox(owner, ShownSourcePath(MainWindowList(owner), source) + L"，任务失败，请确保文件有效或未被打开!",
                  L"取消", kCopyFailureBoxSeconds);
}
