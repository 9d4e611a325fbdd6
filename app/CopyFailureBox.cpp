#include "CopyFailureBox.h"

#include "CData.h"
#include "MessageWnd.h"
#include "StringUtils.h"

std::wstring CopyFailureText(const std::string& source)
{
    return AnsiToWide(source) + L"，任务失败，请确保文件有效或未被打开!";
}

void ShowCopyFailureBox(CMessageWnd* box, const std::string& source)
{
    box->SetButtons(L"确定", L"取消", false);
    box->SetMessage(CopyFailureText(source).c_str(), L"");
    box->ShowCentered(CData::GetInstance()->GetMainWnd(), nullptr, nullptr);
}

void ShowCopyFailureNotice(const std::string& source)
{
    ShowCopyFailureBox(new CMessageWnd(true, kCopyFailureBoxSeconds), source);
}
