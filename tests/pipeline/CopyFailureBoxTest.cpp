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
#include "PipelineSupport.h"
#include "ScopedHandle.h"
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

// A stand-in for the main window, the REST engine chosen and the box
// installed as the program entry installs it.
HWND MakeMainWindowWithNotice()
{
    WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:1");
    UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    const HWND owner = CreateWindowExW(0, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 150, 120, 860, 600, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    if (owner == nullptr)
        return nullptr;
    CData::GetInstance()->InitUserlib(owner);
    CData::GetInstance()->SetRecgType(1);
    SetCopyFailureNotice(&ShowCopyFailureNotice);
    return owner;
}

TEST(CopyFailure, SourceThatCannotBeCopiedShowsTheBoxAndQueuesNothing)
{
    const HWND owner = MakeMainWindowWithNotice();
    ASSERT_NE(nullptr, owner);

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

// A disk that fails in the middle of a copy.
bool FailingCopyBlock(HANDLE, HANDLE, char*, DWORD, DWORD* copied)
{
    *copied = 0;
    SetLastError(ERROR_WRITE_FAULT);
    return false;
}

TEST(CopyFailure, LockedSourceRefusedAtOnce)
{
    CAudioConvert convert;
    const std::string locked = GetTempDir() + "\\copy_failure_locked.wav";
    std::ofstream(locked, std::ios::binary) << "held open for writing elsewhere";
    const ScopedHandle writer(CreateFileW(AnsiToWide(locked).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_FALSE(convert.AddTask(locked, 30, locked));
    EXPECT_EQ(0, convert.GetRunning());
    EXPECT_FALSE(convert.IsCopying());
}

TEST(CopyFailure, LateFailureShowsTheBox)
{
    const HWND owner = MakeMainWindowWithNotice();
    ASSERT_NE(nullptr, owner);
    SetCopyBlock(&FailingCopyBlock);

    LogCapture log;
    CAudioConvert convert;
    const std::string source = GetTempDir() + "\\copy_failure_late.wav";
    std::ofstream(source, std::ios::binary) << "the disk fails while this is copied";
    // Opened and created: the file is handed over and its start counts.
    ASSERT_TRUE(convert.AddTask(source, 2 * CAudioConvert::kRestPieceSeconds, source));
    EXPECT_TRUE(BoxWindows().empty());
    ASSERT_TRUE(PumpUntil([&] { return !convert.IsCopying(); }, 60000));
    EXPECT_EQ(0, convert.GetRunning());
    // The log says which source's copy failed, as it is told.
    EXPECT_EQ(std::vector<std::string>{"copy " + source + " to temp failed"}, LogCapture::Matching(3, "copy "));

    // The next tick tells the user with the box of a copy that failed at once,
    // and both pieces come back failed without a result message, so that the
    // main window's sweep finishes the row.
    convert.OnTimer();
    EXPECT_EQ(0, convert.GetRunning());
    const std::vector<HWND> boxes = BoxWindows();
    ASSERT_EQ(1u, boxes.size());
    CMessageWnd* box = BoxOf(boxes[0]);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(AnsiToWide(source) + L"，任务失败，请确保文件有效或未被打开!", std::wstring(box->GetText().GetData()));
    const std::vector<AudioPiece*> pieces = convert.GetFilePieces(source);
    ASSERT_EQ(2u, pieces.size());
    for (AudioPiece* piece : pieces) {
        EXPECT_EQ(-1, piece->code.load());
        EXPECT_EQ(0, piece->starts);
        EXPECT_FALSE(piece->GetMessageText().empty());
    }
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, owner, WM_USER_AUDIO_RESULT, WM_USER_AUDIO_RESULT, PM_NOREMOVE));
    // Told once, and the broken copy is gone.
    convert.OnTimer();
    EXPECT_EQ(1u, BoxWindows().size());
    WIN32_FIND_DATAW found;
    const ScopedFindHandle copies(
        FindFirstFileW(AnsiToWide(GetTempDir() + "\\src*_copy_failure_late.wav").c_str(), &found));
    EXPECT_FALSE(copies.valid());

    SetCopyBlock(nullptr);
    DestroyWindow(boxes[0]);
    SetCopyFailureNotice(nullptr);
    DestroyWindow(owner);
}

}  // namespace
