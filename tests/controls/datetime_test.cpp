// The date-time control on a real window: the text made from its date, the
// native picker that covers it on a click, the date taken over when the
// picker loses the focus, Delete and Escape, and the cases in which no picker
// may appear.
#include "DateTimeUI.h"
#include "VerticalLayoutUI.h"

#include "event_recording_parent.h"
#include "native_child_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

using namespace UiLib;
using UiTest::NativeChildHost;

namespace {

SYSTEMTIME Date(int year, int month, int day)
{
    SYSTEMTIME date = {};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    return date;
}

std::wstring Text(const CControlUI& control)
{
    return control.GetText().GetData();
}

bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

SYSTEMTIME PickerDate(HWND picker)
{
    SYSTEMTIME date = {};
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    return date;
}

void SetPickerDate(HWND picker, const SYSTEMTIME& date)
{
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));
}

class DateTimeOnWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = new CVerticalLayoutUI;
        picker = new CDateTimeUI;
        picker->SetPreferredHeight(30);
        other = new CDateTimeUI;
        root->Add(picker);
        root->Add(other);
        ASSERT_TRUE(host.Show(root));
        ASSERT_EQ(nullptr, picker->GetNativeWindow());
    }

    HWND Open()
    {
        host.Click(picker);
        return picker->GetNativeWindow();
    }
    // The picker loses the focus and closes.
    void FocusAway()
    {
        host.manager->SetFocus(nullptr);
        NativeChildHost::Pump();
    }

    NativeChildHost host;
    CVerticalLayoutUI* root = nullptr;
    CDateTimeUI* picker = nullptr;
    CDateTimeUI* other = nullptr;
};

TEST(DateTimeText, FormattedFromTheDate)
{
    CDateTimeUI control;
    EXPECT_STREQ(L"DateTimeUI", control.GetTypeName());
    EXPECT_EQ(&control, control.CastByName(L"DateTime"));
    EXPECT_EQ(&control, control.CastByName(L"Label"));
    EXPECT_EQ(nullptr, control.CastByName(L"datetime"));
    EXPECT_EQ(0u, control.GetInputFlags());

    // A new control shows today and waits with nothing taken.
    SYSTEMTIME today = {};
    GetLocalTime(&today);
    EXPECT_TRUE(SameDay(today, control.GetTime()));
    wchar_t expected[16] = {};
    swprintf(expected, 16, L"%4d-%02d-%02d", today.wYear, today.wMonth, today.wDay);
    EXPECT_EQ(expected, Text(control));
    EXPECT_EQ(CDateTimeUI::kPickerOpen, control.GetUpdateState());

    struct Case {
        SYSTEMTIME date;
        const wchar_t* text;
    } const cases[] = {
        {Date(2024, 3, 5), L"2024-03-05"},
        {Date(2030, 11, 9), L"2030-11-09"},
        {Date(1999, 12, 31), L"1999-12-31"},
        {Date(987, 1, 2), L" 987-01-02"},
    };
    for (const Case& c : cases) {
        control.SetTime(c.date);
        EXPECT_EQ(c.text, Text(control));
        EXPECT_EQ(CDateTimeUI::kDateTaken, control.GetUpdateState());
    }

    // Without a manager there is no window to put a picker on.
    for (int type : {kUiEventSetFocus, kUiEventButtonDown}) {
        UiEvent event = {};
        event.type = type;
        event.sender = &control;
        control.HandleEvent(event);
        EXPECT_EQ(nullptr, control.GetNativeWindow()) << type;
    }
}

TEST_F(DateTimeOnWindow, ClickOpensThePickerAndFocusLossTakesTheDate)
{
    picker->SetTime(Date(2020, 6, 7));
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    EXPECT_EQ(picker, host.manager->GetFocus());
    EXPECT_EQ(CDateTimeUI::kPickerOpen, picker->GetUpdateState());
    EXPECT_EQ(host.hwnd, GetParent(native));
    EXPECT_TRUE(IsWindowVisible(native));
    EXPECT_EQ(native, GetFocus());
    wchar_t className[32] = {};
    GetClassNameW(native, className, 32);
    EXPECT_STREQ(L"DateTimeWnd", className);
    const RECT bounds = picker->GetBounds();
    const RECT placed = host.ChildRect(native);
    EXPECT_TRUE(EqualRect(&bounds, &placed));
    EXPECT_EQ(reinterpret_cast<LRESULT>(host.manager->GetFont(-1)), SendMessageW(native, WM_GETFONT, 0, 0));
    EXPECT_TRUE(SameDay(Date(2020, 6, 7), PickerDate(native)));

    // A set-focus event while the picker is open ends there: no second
    // picker, and the label's handling of it does not run.
    for (int type : {kUiEventKillFocus, kUiEventSetFocus}) {
        UiEvent event = {};
        event.type = type;
        event.sender = picker;
        picker->HandleEvent(event);
    }
    EXPECT_FALSE(picker->HasFocus());
    EXPECT_EQ(native, picker->GetNativeWindow());

    SetPickerDate(native, Date(2024, 3, 5));
    FocusAway();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
    EXPECT_EQ(L"2024-03-05", Text(*picker));
    EXPECT_TRUE(SameDay(Date(2024, 3, 5), picker->GetTime()));
    EXPECT_EQ(CDateTimeUI::kDateTaken, picker->GetUpdateState());
}

TEST_F(DateTimeOnWindow, DeleteClearsAndTheNextOpeningStartsToday)
{
    picker->SetTime(Date(2020, 6, 7));
    HWND native = Open();
    ASSERT_NE(nullptr, native);
    SendMessageW(native, WM_KEYUP, VK_DELETE, 0);
    EXPECT_EQ(L"", Text(*picker));
    EXPECT_EQ(CDateTimeUI::kDateCleared, picker->GetUpdateState());
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
    // The closing focus loss took nothing back.
    EXPECT_EQ(L"", Text(*picker));

    FocusAway();
    native = Open();
    ASSERT_NE(nullptr, native);
    SYSTEMTIME today = {};
    GetLocalTime(&today);
    EXPECT_TRUE(SameDay(today, PickerDate(native)));
    EXPECT_TRUE(SameDay(today, picker->GetTime()));
}

TEST_F(DateTimeOnWindow, EscapeKeepsTheTextAndDate)
{
    picker->SetTime(Date(2020, 6, 7));
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    SetPickerDate(native, Date(2001, 1, 1));
    SendMessageW(native, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_EQ(CDateTimeUI::kPickCancelled, picker->GetUpdateState());
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(L"2020-06-07", Text(*picker));
    EXPECT_TRUE(SameDay(Date(2020, 6, 7), picker->GetTime()));
}

TEST_F(DateTimeOnWindow, HiddenOrDisabledControlsNeverOpenAPicker)
{
    picker->SetEnabled(false);
    host.Paint();
    EXPECT_EQ(nullptr, Open());
    host.manager->SetFocus(picker);
    EXPECT_EQ(nullptr, picker->GetNativeWindow());

    picker->SetEnabled(true);
    picker->SetShown(false);
    host.Paint();
    host.manager->SetFocus(picker);
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
    host.PressAt(POINT{5, 5});
    EXPECT_EQ(nullptr, picker->GetNativeWindow());

    // Hiding an open picker's control takes the date and closes it.
    picker->SetShown(true);
    host.Paint();
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    picker->SetShown(false);
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
}

TEST_F(DateTimeOnWindow, DeletingTheControlClosesAnOpenPicker)
{
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    root->Remove(picker);
    picker = nullptr;
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
}

TEST_F(DateTimeOnWindow, AWindowSizeWhileOpenTakesTheDateAndClosesThePicker)
{
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    SetPickerDate(native, Date(2023, 8, 1));
    UiEvent size = UiTest::EventAt(kUiEventWindowSize);
    size.sender = picker;
    picker->HandleEvent(size);
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
    EXPECT_EQ(L"2023-08-01", Text(*picker));
    // Closed, a window size changes nothing.
    picker->HandleEvent(size);
    NativeChildHost::Pump();
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
}

// The wheel over an open picker is the picker's; closed, it travels up.
TEST(DateTimeWheel, AnOpenPickerKeepsTheWheel)
{
    NativeChildHost host;
    UiTest::EventRecordingParent* root = new UiTest::EventRecordingParent;
    CDateTimeUI* picker = new CDateTimeUI;
    root->Add(picker);
    ASSERT_TRUE(host.Show(root));
    host.Click(picker);
    const HWND native = picker->GetNativeWindow();
    ASSERT_NE(nullptr, native);
    UiEvent wheel = UiTest::EventAt(kUiEventScrollWheel, NativeChildHost::Middle(picker), 1);
    wheel.sender = picker;
    root->types.clear();
    picker->HandleEvent(wheel);
    EXPECT_FALSE(root->Saw(kUiEventScrollWheel));
    EXPECT_EQ(native, picker->GetNativeWindow());
    host.manager->SetFocus(nullptr);
    NativeChildHost::Pump();
    ASSERT_EQ(nullptr, picker->GetNativeWindow());
    picker->HandleEvent(wheel);
    EXPECT_TRUE(root->Saw(kUiEventScrollWheel));

    // A picker that cannot be made (its parent window is gone) leaves the
    // control closed: the wheel still travels up.
    DestroyWindow(host.hwnd);
    UiEvent focus = UiTest::EventAt(kUiEventSetFocus);
    focus.sender = picker;
    picker->HandleEvent(focus);
    EXPECT_EQ(nullptr, picker->GetNativeWindow());
    root->types.clear();
    picker->HandleEvent(wheel);
    EXPECT_TRUE(root->Saw(kUiEventScrollWheel));
}

}  // namespace
