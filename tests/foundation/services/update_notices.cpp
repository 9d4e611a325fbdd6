#include "update_notices.h"

namespace {

void Drain(HWND window, std::vector<Notice>& notices)
{
    MSG message;
    while (PeekMessageW(&message, window, WM_UPDATE_NOTIFY, WM_UPDATE_NOTIFY, PM_REMOVE)) {
        Notice notice = {message.wParam, message.lParam != 0, std::wstring(), std::string()};
        if (auto* text = reinterpret_cast<UpdateMsg*>(message.lParam)) {
            notice.error = text->error;
            notice.text = text->text;
            delete text;
        }
        notices.push_back(notice);
    }
}

}  // namespace

std::vector<Notice> RunCheck(CUpdateChecker& checker, DWORD timeoutMs)
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    checker.SetNotifyWindow(window);
    std::vector<Notice> notices;
    if (!checker.Start()) {
        DestroyWindow(window);
        return notices;
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (checker.IsChecking() && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
        Drain(window, notices);
    }
    // Every message is posted before the check reports itself over.
    Drain(window, notices);
    checker.SetNotifyWindow(nullptr);
    DestroyWindow(window);
    return notices;
}
