#include "CopyFailureBox.h"

#include "CData.h"
#include "MessageWnd.h"
#include "StringUtils.h"

void ShowCopyFailureNotice(const std::string& source)
{
    ShowNoticeBox(CData::GetInstance()->GetMainWnd(), AnsiToWide(source) + L"，任务失败，请确保文件有效或未被打开!",
                  L"取消", kCopyFailureBoxSeconds);
}
