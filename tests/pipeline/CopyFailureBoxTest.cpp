// An unprepared source that cannot be copied into Temp: the scheduler queues
// nothing and the program's message box, with the program's own skin (this
// test carries the program's resources), tells the user which file failed.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "ControlUI.h"
#include "CopyFailureBox.h"
#include "MessageWnd.h"
#include "StringUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<HWND> BoxWindows()
{
    std::vector<HWND> boxes;
    for (HWND box = FindWindowExW(nullptr, nullptr, L"CMessageWnd", nullptr); box != nullptr;
         box = FindWindowExW(nullptr, box, L"CMessageWnd", nullptr))
        boxes.push_back(box);
    return boxes;
}

CMessageWnd* BoxOf(HWND window)
{
    return dynamic_cast<CMessageWnd*>(reinterpret_cast<UiLib::CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
}

POINT CentreOf(HWND window)
{
    RECT rc = {};
    GetWindowRect(window, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

std::wstring ControlText(CMessageWnd* box, const wchar_t* name)
{
    UiLib::CControlUI* control = box->GetManager().FindControlByName(name);
    return control ? std::wstring(control->GetText().GetData()) : L"(missing)";
}

TEST(CopyFailure, SourceThatCannotBeCopiedShowsTheBoxAndQueuesNothing)
{
    WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:1");
    UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    const HWND owner = CreateWindowExW(0, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 150, 120, 860, 600, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);
    CData::GetInstance()->InitUserlib(owner);
    CData::GetInstance()->SetRecgType(1);
    // As the program entry installs it.
    SetCopyFailureNotice(&ShowCopyFailureNotice);

    CAudioConvert convert;
    const std::string missing = GetTempDir() + "\\copy failure\\missing source.wav";
    EXPECT_FALSE(convert.AddTask(missing, 30, missing));
    EXPECT_EQ(0, convert.GetRunning());
    convert.OnTimer();
    EXPECT_EQ(0, convert.GetRunning());

    const std::vector<HWND> boxes = BoxWindows();
    ASSERT_EQ(1u, boxes.size());
    const HWND window = boxes[0];
    CMessageWnd* box = BoxOf(window);
    ASSERT_NE(nullptr, box);
    const std::wstring expected = AnsiToWide(missing) + L"，任务失败，请确保文件有效或未被打开!";
    EXPECT_EQ(expected, std::wstring(box->GetText().GetData()));
    EXPECT_EQ(expected, ControlText(box, L"MainTxtLab"));
    EXPECT_EQ(L"确定", ControlText(box, L"btnOK"));
    EXPECT_FALSE(box->IsCancelShown());
    EXPECT_FALSE(box->GetManager().FindControlByName(L"btnCancel")->IsShown());
    EXPECT_EQ(L"tip.png", std::wstring(box->GetIconName().GetData()));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(owner, GetParent(window));
    const POINT boxCentre = CentreOf(window);
    const POINT ownerCentre = CentreOf(owner);
    EXPECT_NEAR(ownerCentre.x, boxCentre.x, 1);
    EXPECT_NEAR(ownerCentre.y, boxCentre.y, 1);

    // It closes by itself after its few seconds, without a press.
    const DWORD shown = GetTickCount();
    ASSERT_TRUE(PumpUntil([window] { return !IsWindow(window); }, 60000));
    EXPECT_GE(GetTickCount() - shown, static_cast<DWORD>(kCopyFailureBoxSeconds - 1) * 1000);

    // A source that can be copied shows nothing.
    const std::string present = GetTempDir() + "\\copy_failure_present.wav";
    std::ofstream(present, std::ios::binary) << "not really audio";
    EXPECT_TRUE(convert.AddTask(present, 2, present));
    EXPECT_TRUE(BoxWindows().empty());
    convert.RemoveFile(present);
    EXPECT_TRUE(PumpUntil([&] { return convert.GetRunning() == 0; }, 60000));

    SetCopyFailureNotice(nullptr);
    DestroyWindow(owner);
}

}  // namespace
