// The modeless message box on real windows: its texts and buttons, where it
// is placed, its answers, its countdown and its self-deletion.
#include "MessageWnd.h"

#include "ButtonUI.h"
#include "LabelUI.h"
#include "UiManager.h"
#include "skinned_window_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace AppTest;

namespace {

int g_deleted = 0;

struct Answer {
    int button;
    void* user;
};
std::vector<Answer> g_answers;

void RecordAnswer(int button, void* user)
{
    g_answers.push_back(Answer{button, user});
}

class TestMessageWnd : public CMessageWnd {
public:
    using CMessageWnd::CMessageWnd;
    ~TestMessageWnd() override { ++g_deleted; }
    int GetSkinSource() override { return UiLib::SkinFromFolder; }
    UiLib::CUiString GetSkinDirectory() override { return SourceSkinFolderFromInstance(); }
};

bool PumpUntilGone(HWND window, DWORD milliseconds)
{
    return PumpUntil([window] { return !IsWindow(window); }, milliseconds);
}

// The work area of the monitor nearest to window; the primary one for null.
RECT WorkAreaOf(HWND window)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

class MessageBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr); }

    void SetUp() override
    {
        g_deleted = 0;
        g_answers.clear();
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 200, 150, 700, 500, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
    }

    void TearDown() override
    {
        if (IsWindow(owner_))
            DestroyWindow(owner_);
        Pump(20);
    }

    // A box shown the way the program's callers show one.
    HWND ShowBox(TestMessageWnd* box, HWND owner, bool showCancel = true)
    {
        box->SetButtons(L"好的", L"算了", showCancel);
        box->SetMessage(L"文件已保存", L"");
        box->ShowCentered(owner, RecordAnswer, &user_);
        Pump(30);
        return box->GetHwnd();
    }

    HWND owner_ = nullptr;
    int user_ = 0;
};

TEST(MessageWndTexts, DefaultsAndSetters)
{
    TestMessageWnd box(false, 0);
    EXPECT_EQ(std::wstring(box.GetTitle().GetData()), L"提示");
    EXPECT_EQ(std::wstring(box.GetIconName().GetData()), L"tip.png");
    EXPECT_EQ(std::wstring(box.GetOkCaption().GetData()), L"确定");
    EXPECT_EQ(std::wstring(box.GetCancelCaption().GetData()), L"取消");
    EXPECT_TRUE(box.IsCancelShown());

    box.SetMessage(L"正文", L"");
    EXPECT_EQ(std::wstring(box.GetText().GetData()), L"正文");
    EXPECT_EQ(std::wstring(box.GetIconName().GetData()), L"tip.png");
    box.SetMessage(L"正文二", L"warn.png");
    EXPECT_EQ(std::wstring(box.GetIconName().GetData()), L"warn.png");

    box.SetButtons(L"是", L"否", false);
    EXPECT_EQ(std::wstring(box.GetOkCaption().GetData()), L"是");
    EXPECT_EQ(std::wstring(box.GetCancelCaption().GetData()), L"否");
    EXPECT_FALSE(box.IsCancelShown());
    EXPECT_EQ(g_deleted, 0);
}

TEST_F(MessageBoxTest, ShowsItsTextsCentredOnTheOwner)
{
    TestMessageWnd* box = new TestMessageWnd(true, 0);
    const HWND window = ShowBox(box, owner_);
    ASSERT_TRUE(IsWindow(window));
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"CMessageWnd");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window) == owner_ || GetWindow(window, GW_OWNER) == owner_, true);

    UiLib::CUiManager& manager = box->GetManager();
    auto textOf = [&manager](const wchar_t* name) {
        UiLib::CControlUI* control = manager.FindControlByName(name);
        return control != nullptr ? std::wstring(control->GetText().GetData()) : std::wstring(L"<missing>");
    };
    EXPECT_EQ(textOf(L"TitleTxtLab"), L"提示");
    EXPECT_EQ(textOf(L"MainTxtLab"), L"文件已保存");
    EXPECT_EQ(std::wstring(manager.FindControlByName(L"MainTxtLab")->GetTooltip().GetData()), L"文件已保存");
    EXPECT_EQ(textOf(L"btnOK"), L"好的");
    EXPECT_EQ(textOf(L"btnCancel"), L"算了");
    EXPECT_TRUE(manager.FindControlByName(L"btnCancel")->IsShown());

    RECT rc = {};
    GetWindowRect(window, &rc);
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, 260);
    // Owner 200..900 x 150..650: its centre is (550, 400).
    EXPECT_EQ(rc.left, 550 - 200);
    EXPECT_EQ(rc.top, 400 - 130);

    DestroyWindow(owner_);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_deleted, 1);
    EXPECT_TRUE(g_answers.empty());
}

TEST_F(MessageBoxTest, CancelHiddenLeavesOkCentred)
{
    TestMessageWnd* box = new TestMessageWnd(true, 0);
    const HWND window = ShowBox(box, owner_, false);
    UiLib::CControlUI* ok = box->GetManager().FindControlByName(L"btnOK");
    UiLib::CControlUI* cancel = box->GetManager().FindControlByName(L"btnCancel");
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(cancel->IsShown());
    RECT client = {};
    GetClientRect(window, &client);
    const RECT& bounds = ok->GetBounds();
    const int centre = (bounds.left + bounds.right) / 2;
    EXPECT_NEAR(centre, client.right / 2, 3);
}

TEST_F(MessageBoxTest, OwnIconReplacesTheDefaultOne)
{
    struct Case {
        const wchar_t* icon;
        const wchar_t* image;
    };
    const Case cases[] = {{L"", L"msgbox/tip.png"}, {L"msgbox/close_over.png", L"msgbox/close_over.png"}};
    for (const Case& c : cases) {
        TestMessageWnd* box = new TestMessageWnd(true, 0);
        box->SetMessage(L"图标", c.icon);
        box->ShowCentered(owner_, nullptr, nullptr);
        UiLib::CControlUI* icon = box->GetManager().FindControlByName(L"MainIconLab");
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(std::wstring(icon->GetBackgroundImage().GetData()), c.image);
        DestroyWindow(box->GetHwnd());
    }
    EXPECT_EQ(g_deleted, 2);
}

TEST_F(MessageBoxTest, PlacementWithoutOwnerMinimisedOwnerAndNearTheEdge)
{
    struct Case {
        const char* what;
        bool useOwner;
        bool minimise;
        int ownerX;
        int ownerY;
    };
    const Case cases[] = {
        {"no owner", false, false, 0, 0},
        {"minimised owner", true, true, 200, 150},
        {"owner past the right and bottom edges", true, false, 100000, 100000},
        {"owner past the left and top edges", true, false, -100000, -100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_deleted = 0;
        SetWindowPos(owner_, nullptr, c.ownerX, c.ownerY, 700, 500, SWP_NOZORDER | SWP_NOACTIVATE);
        if (c.minimise)
            ShowWindow(owner_, SW_MINIMIZE);
        TestMessageWnd* box = new TestMessageWnd(true, 0);
        const HWND window = ShowBox(box, c.useOwner ? owner_ : nullptr);
        ASSERT_TRUE(IsWindow(window));
        const RECT work = WorkAreaOf(c.useOwner ? owner_ : nullptr);
        RECT rc = {};
        GetWindowRect(window, &rc);
        EXPECT_GE(rc.left, work.left);
        EXPECT_GE(rc.top, work.top);
        EXPECT_LE(rc.right, work.right);
        EXPECT_LE(rc.bottom, work.bottom);
        if (!c.useOwner) {
            EXPECT_EQ(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "stays on top";
        }
        if (!c.useOwner || c.minimise) {
            EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 200);
            EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - 130);
        }
        ClickControl(box->GetManager(), box->GetHwnd(), L"btnClose");
        EXPECT_TRUE(PumpUntilGone(window, 2000));
        EXPECT_EQ(g_deleted, 1);
        if (c.minimise)
            ShowWindow(owner_, SW_RESTORE);
    }
}

TEST_F(MessageBoxTest, ButtonsAnswerAndTheBoxDeletesItself)
{
    struct Case {
        const wchar_t* button;
        int expected;
    };
    const Case cases[] = {{L"btnOK", 1}, {L"btnCancel", 2}, {L"btnClose", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected);
        g_deleted = 0;
        g_answers.clear();
        TestMessageWnd* box = new TestMessageWnd(true, 0);
        const HWND window = ShowBox(box, owner_);
        ClickControl(box->GetManager(), box->GetHwnd(), c.button);
        EXPECT_TRUE(PumpUntilGone(window, 2000));
        ASSERT_EQ(g_answers.size(), 1u);
        EXPECT_EQ(g_answers[0].button, c.expected);
        EXPECT_EQ(g_answers[0].user, &user_);
        EXPECT_EQ(g_deleted, 1);
        Pump(50);
        EXPECT_EQ(g_deleted, 1);
    }
}

// A box whose window cannot be made is still deleted: the caller has
// already forgotten it. An owner that is no window fails the creation before
// the window exists.
TEST_F(MessageBoxTest, BoxWhoseWindowCannotBeMadeIsDeleted)
{
    const HWND deadOwner = owner_;
    DestroyWindow(owner_);
    ASSERT_FALSE(IsWindow(deadOwner));
    TestMessageWnd* box = new TestMessageWnd(true, 0);
    box->SetMessage(L"无窗口", L"");
    box->ShowCentered(deadOwner, RecordAnswer, &user_);
    Pump(30);
    EXPECT_EQ(g_deleted, 1);
    // A kept box is the caller's to delete.
    g_deleted = 0;
    {
        TestMessageWnd kept(false, 0);
        kept.ShowCentered(deadOwner, nullptr, nullptr);
        EXPECT_EQ(kept.GetHwnd(), nullptr);
        EXPECT_EQ(g_deleted, 0);
    }
    EXPECT_EQ(g_deleted, 1);
    EXPECT_TRUE(g_answers.empty());
}

TEST_F(MessageBoxTest, CountdownClosesWithoutAnswer)
{
    TestMessageWnd* box = new TestMessageWnd(true, 2);
    const DWORD start = GetTickCount();
    const HWND window = ShowBox(box, owner_);
    ASSERT_TRUE(IsWindow(window));
    Pump(1200);
    EXPECT_TRUE(IsWindow(window)) << "closed before its time";
    EXPECT_TRUE(PumpUntilGone(window, 3000));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1800u);
    EXPECT_LE(elapsed, 3500u);
    EXPECT_TRUE(g_answers.empty());
    EXPECT_EQ(g_deleted, 1);
}

TEST_F(MessageBoxTest, NoCountdownForZeroOrNegativeSeconds)
{
    for (int seconds : {0, -3}) {
        SCOPED_TRACE(seconds);
        g_deleted = 0;
        g_answers.clear();
        TestMessageWnd* box = new TestMessageWnd(true, seconds);
        const HWND window = ShowBox(box, owner_);
        Pump(1500);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_EQ(box->GetAutoCloseSeconds(), seconds);
        ClickControl(box->GetManager(), box->GetHwnd(), L"btnOK");
        EXPECT_TRUE(PumpUntilGone(window, 2000));
        ASSERT_EQ(g_answers.size(), 1u);
        EXPECT_EQ(g_answers[0].button, 1);
        EXPECT_EQ(g_deleted, 1);
    }
}

TEST_F(MessageBoxTest, KeptObjectSurvivesItsWindowAndTheSystemClose)
{
    TestMessageWnd box(false, 0);
    box.SetMessage(L"保留", L"");
    box.ShowCentered(owner_, nullptr, nullptr);
    const HWND window = box.GetHwnd();
    ASSERT_TRUE(IsWindow(window));
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(PumpUntilGone(window, 2000));
    EXPECT_EQ(g_deleted, 0);
    EXPECT_EQ(std::wstring(box.GetText().GetData()), L"保留");
}

}  // namespace
