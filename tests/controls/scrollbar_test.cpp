// The scroll bar on its own (attributes, clamps, the parts' geometry, line and
// page steps with the held-press repeat, thumb dragging, hot and disabled
// states, painting) and inside a container, which takes its range from the
// content and scrolls its children through keys, the wheel and the bar.
#include "ContainerUI.h"
#include "HorizontalLayoutUI.h"
#include "ScrollBarUI.h"
#include "UiManager.h"
#include "VerticalLayoutUI.h"
#include "button_window_fixture.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

const DWORD kOutline = 0x85E4FF;
const DWORD kBlue = 0x0000FF;
const DWORD kRed = 0xFF0000;
const DWORD kGreen = 0x00FF00;
const DWORD kGrey = 0x808080;
const DWORD kWhite = 0xFFFFFF;

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

std::string Describe(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

POINT MidPoint(const RECT& rc)
{
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void Tick(CScrollBarUI& bar, int times = 1)
{
    for (int i = 0; i < times; ++i) {
        UiEvent event = {};
        event.type = kUiEventTimer;
        event.sender = &bar;
        event.wParam = CScrollBarUI::kRepeatTimerId;
        bar.HandleEvent(event);
    }
}

// A vertical bar of the default thickness at (10, 20) with the given length.
void PlaceVertical(CScrollBarUI& bar, int length)
{
    bar.SetBounds(RECT{10, 20, 10 + CScrollBarUI::kDefaultThickness, 20 + length});
}

TEST(ScrollBar, AttributesReachTheirSetters)
{
    typedef const CUiString& (CScrollBarUI::*Getter)() const;
    struct Case {
        const wchar_t* name;
        Getter get;
    };
    const Case images[] = {
        {L"button1normalimage", &CScrollBarUI::GetButton1NormalImage},
        {L"button1hotimage", &CScrollBarUI::GetButton1HotImage},
        {L"button1pushedimage", &CScrollBarUI::GetButton1PushedImage},
        {L"button1disabledimage", &CScrollBarUI::GetButton1DisabledImage},
        {L"button2normalimage", &CScrollBarUI::GetButton2NormalImage},
        {L"button2hotimage", &CScrollBarUI::GetButton2HotImage},
        {L"button2pushedimage", &CScrollBarUI::GetButton2PushedImage},
        {L"button2disabledimage", &CScrollBarUI::GetButton2DisabledImage},
        {L"thumbnormalimage", &CScrollBarUI::GetThumbNormalImage},
        {L"thumbhotimage", &CScrollBarUI::GetThumbHotImage},
        {L"thumbpushedimage", &CScrollBarUI::GetThumbPushedImage},
        {L"thumbdisabledimage", &CScrollBarUI::GetThumbDisabledImage},
        {L"railnormalimage", &CScrollBarUI::GetRailNormalImage},
        {L"railhotimage", &CScrollBarUI::GetRailHotImage},
        {L"railpushedimage", &CScrollBarUI::GetRailPushedImage},
        {L"raildisabledimage", &CScrollBarUI::GetRailDisabledImage},
        {L"bknormalimage", &CScrollBarUI::GetBkNormalImage},
        {L"bkhotimage", &CScrollBarUI::GetBkHotImage},
        {L"bkpushedimage", &CScrollBarUI::GetBkPushedImage},
        {L"bkdisabledimage", &CScrollBarUI::GetBkDisabledImage},
    };
    CScrollBarUI bar;
    for (const Case& image : images) {
        const std::wstring value = std::wstring(L"file='") + image.name + L".png'";
        bar.SetAttribute(image.name, value.c_str());
        // Only its own slot holds it: every other slot still has its own value.
        for (const Case& other : images) {
            const std::wstring expected =
                &other - images <= &image - images ? std::wstring(L"file='") + other.name + L".png'" : L"";
            EXPECT_EQ(expected, (bar.*other.get)().GetData()) << L"after " << image.name;
        }
    }

    EXPECT_STREQ(L"ScrollBarUI", bar.GetTypeName());
    EXPECT_EQ(&bar, bar.CastByName(L"ScrollBar"));
    EXPECT_EQ(nullptr, bar.CastByName(L"Scrollbar"));
    bar.SetAttribute(L"range", L"500");
    bar.SetAttribute(L"value", L"120");
    bar.SetAttribute(L"linesize", L"30");
    bar.SetAttribute(L"showbutton1", L"false");
    bar.SetAttribute(L"showbutton2", L"TRUE");
    bar.SetAttribute(L"name", L"bar");
    EXPECT_EQ(500, bar.GetScrollRange());
    EXPECT_EQ(120, bar.GetScrollPos());
    EXPECT_EQ(30, bar.GetLineSize());
    EXPECT_FALSE(bar.IsButton1Shown());
    EXPECT_FALSE(bar.IsButton2Shown());  // only the exact "true" is true
    EXPECT_EQ(L"bar", std::wstring(bar.GetName().GetData()));
    bar.SetAttribute(L"hor", L"true");
    EXPECT_TRUE(bar.IsHorizontal());
}

TEST(ScrollBar, TurningSidewaysMovesTheThicknessToTheOtherAxis)
{
    CScrollBarUI bar;
    EXPECT_EQ(16, bar.GetPreferredWidth());
    EXPECT_EQ(0, bar.GetPreferredHeight());
    bar.SetHorizontal(true);
    EXPECT_EQ(0, bar.GetPreferredWidth());
    EXPECT_EQ(16, bar.GetPreferredHeight());
    bar.SetHorizontal(false);
    EXPECT_EQ(16, bar.GetPreferredWidth());
    EXPECT_EQ(0, bar.GetPreferredHeight());

    // A thickness the skin gave is kept.
    CScrollBarUI styled;
    styled.SetPreferredHeight(12);
    styled.SetHorizontal(true);
    EXPECT_EQ(16, styled.GetPreferredWidth());
    EXPECT_EQ(12, styled.GetPreferredHeight());
}

TEST(ScrollBar, RangeAndPositionStayInsideEachOther)
{
    struct Case {
        int range;
        int pos;
        int expectedRange;
        int expectedPos;
    };
    const Case cases[] = {
        {100, 50, 100, 50},   {100, 100, 100, 100},
        {100, 101, 100, 100}, {100, -3, 100, 0},
        {-5, 10, 0, 0},       {0, 10, 0, 0},
        {0, -1, 0, 0},        {2147483647, 2147483647, 2147483647, 2147483647},
    };
    for (const Case& c : cases) {
        CScrollBarUI bar;
        bar.SetScrollRange(c.range);
        bar.SetScrollPos(c.pos);
        EXPECT_EQ(c.expectedRange, bar.GetScrollRange()) << c.range << " " << c.pos;
        EXPECT_EQ(c.expectedPos, bar.GetScrollPos()) << c.range << " " << c.pos;
    }
    // Narrowing the range pulls the position in.
    CScrollBarUI bar;
    bar.SetScrollPos(80);
    bar.SetScrollRange(30);
    EXPECT_EQ(30, bar.GetScrollPos());
    bar.SetScrollRange(-1);
    EXPECT_EQ(0, bar.GetScrollPos());
}

TEST(ScrollBar, PartsOfAVerticalBar)
{
    struct Case {
        const char* what;
        int length;
        int range;
        int pos;
        bool button1;
        bool button2;
        RECT button1Rect;
        RECT button2Rect;
        RECT thumb;
    };
    // At (10, 20), 16 thick; the track of a 200-long bar is 36..204.
    // clang-format off
    const Case cases[] = {
        {"top", 200, 100, 0, true, true, {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 36, 26, 148}},
        {"middle", 200, 100, 50, true, true, {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 64, 26, 176}},
        {"bottom", 200, 100, 100, true, true, {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 92, 26, 204}},
        {"no range", 200, 0, 0, true, true, {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 36, 26, 204}},
        {"thumb at least thick", 200, 10000, 5000, true, true, {10, 20, 26, 36}, {10, 204, 26, 220},
         {10, 112, 26, 128}},
        {"huge range", 200, 2000000000, 1999999999, true, true, {10, 20, 26, 36}, {10, 204, 26, 220},
         {10, 187, 26, 203}},
        {"no buttons", 200, 100, 0, false, false, {10, 20, 10, 20}, {10, 220, 10, 220}, {10, 20, 26, 153}},
        {"no thumb room", 40, 100, 0, true, true, {10, 20, 26, 36}, {10, 44, 26, 60}, {0, 0, 0, 0}},
        {"half buttons", 20, 100, 0, true, true, {10, 20, 26, 30}, {10, 30, 26, 40}, {0, 0, 0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        CScrollBarUI bar;
        bar.SetShowButton1(c.button1);
        bar.SetShowButton2(c.button2);
        bar.SetScrollRange(c.range);
        bar.SetScrollPos(c.pos);
        PlaceVertical(bar, c.length);
        EXPECT_TRUE(SameRect(c.button1Rect, bar.GetButton1Rect())) << c.what << ": " << Describe(bar.GetButton1Rect());
        EXPECT_TRUE(SameRect(c.button2Rect, bar.GetButton2Rect())) << c.what << ": " << Describe(bar.GetButton2Rect());
        EXPECT_TRUE(SameRect(c.thumb, bar.GetThumbRect())) << c.what << ": " << Describe(bar.GetThumbRect());
    }

    // A position change places the thumb again at once.
    CScrollBarUI bar;
    PlaceVertical(bar, 200);
    bar.SetScrollPos(100);
    EXPECT_TRUE(SameRect(RECT{10, 92, 26, 204}, bar.GetThumbRect())) << Describe(bar.GetThumbRect());
}

TEST(ScrollBar, HorizontalBarLaysItsPartsAlongX)
{
    CScrollBarUI bar;
    bar.SetHorizontal(true);
    bar.SetScrollPos(50);
    bar.SetBounds(RECT{20, 10, 220, 26});
    EXPECT_TRUE(SameRect(RECT{20, 10, 36, 26}, bar.GetButton1Rect())) << Describe(bar.GetButton1Rect());
    EXPECT_TRUE(SameRect(RECT{204, 10, 220, 26}, bar.GetButton2Rect())) << Describe(bar.GetButton2Rect());
    EXPECT_TRUE(SameRect(RECT{64, 10, 176, 26}, bar.GetThumbRect())) << Describe(bar.GetThumbRect());
}

// Records the notifications of one type.
class NotifyLog : public INotifyUI {
public:
    explicit NotifyLog(const wchar_t* type) : type_(type) {}
    void Notify(UiNotify& notify) override
    {
        if (notify.type == type_.c_str())
            senders.push_back(notify.sender);
    }
    std::vector<CControlUI*> senders;

private:
    std::wstring type_;
};

// The shared row window made taller, so that a bar has room for a track;
// images come from a folder of the test's own.
class BarWindow : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        RowWindow::SetUp();
        ASSERT_NE(nullptr, hwnd);
        SetWindowPos(hwnd, nullptr, 0, 0, 360, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        UseImages(L"uilib_scrollbar_test", {{L"blue.png", 0xFF0000FF},
                                            {L"red.png", 0xFFFF0000},
                                            {L"green.png", 0xFF00FF00},
                                            {L"grey.png", 0xFF808080}});
        manager->AddNotifier(&scrolls);
        RECT client = {};
        GetClientRect(hwnd, &client);
        width = client.right;
        height = client.bottom;
    }

    // Dispatches the window's timer messages (the bar's repeat timer) until
    // done() or the time is up. Only timers: pointer messages that the
    // platform makes up from the real pointer would end or move a drag.
    bool PumpTimersUntil(const std::function<bool()>& done, DWORD timeout = 3000)
    {
        const DWORD start = GetTickCount();
        MSG msg = {};
        while (!done()) {
            if (GetTickCount() - start > timeout)
                return false;
            while (PeekMessageW(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(5);
        }
        return true;
    }
    // A plain bar beside a spacer: 16 wide and as tall as the window.
    CScrollBarUI* ShowLoneBar()
    {
        row->Add(new CControlUI);
        CScrollBarUI* bar = new CScrollBarUI;
        row->Add(bar);
        Show();
        return bar;
    }
    // A vertical list over the whole window with a vertical bar and count
    // rows of 50 pixels.
    CVerticalLayoutUI* ShowList(int count)
    {
        CVerticalLayoutUI* list = new CVerticalLayoutUI;
        list->SetAttribute(L"vscrollbar", L"true");
        for (int i = 0; i < count; ++i) {
            CControlUI* line = new CControlUI;
            line->SetPreferredHeight(50);
            list->Add(line);
        }
        row->Add(list);
        Show();
        return list;
    }

    int width = 0;
    int height = 0;
    NotifyLog scrolls{L"scroll"};
};

TEST_F(BarWindow, ButtonsStepOneLineThenRepeatAfterFiveTicks)
{
    CScrollBarUI* bar = ShowLoneBar();
    ASSERT_EQ(height, bar->GetBoundsHeight());
    const POINT down = MidPoint(bar->GetButton2Rect());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(down));
    EXPECT_EQ(8, bar->GetScrollPos());
    EXPECT_NE(0u, bar->GetButton2State() & CScrollBarUI::kStatePushed);
    ASSERT_EQ(1u, scrolls.senders.size());
    EXPECT_EQ(bar, scrolls.senders[0]);

    Tick(*bar, 5);
    EXPECT_EQ(8, bar->GetScrollPos());
    EXPECT_EQ(1u, scrolls.senders.size());
    Tick(*bar);
    EXPECT_EQ(16, bar->GetScrollPos());
    Tick(*bar);
    EXPECT_EQ(24, bar->GetScrollPos());
    EXPECT_EQ(3u, scrolls.senders.size());
    Send(WM_LBUTTONUP, 0, At(down));
    EXPECT_EQ(0u, bar->GetButton2State() & CScrollBarUI::kStatePushed);

    // Button 1 steps back, and its repeat starts afresh.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(MidPoint(bar->GetButton1Rect())));
    EXPECT_EQ(16, bar->GetScrollPos());
    Tick(*bar, 6);
    EXPECT_EQ(8, bar->GetScrollPos());
    Tick(*bar, 3);
    EXPECT_EQ(0, bar->GetScrollPos());
    Send(WM_LBUTTONUP, 0, At(MidPoint(bar->GetButton1Rect())));
    EXPECT_EQ(0u, bar->GetButton1State());
}

TEST_F(BarWindow, TrackPressPagesByTheBarsLength)
{
    CScrollBarUI* bar = ShowLoneBar();
    bar->SetScrollRange(1000);
    const POINT below = {MidPoint(bar->GetThumbRect()).x, bar->GetThumbRect().bottom + 2};
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(below));
    Send(WM_LBUTTONUP, 0, At(below));
    EXPECT_EQ(height, bar->GetScrollPos());
    const POINT above = {below.x, bar->GetThumbRect().top - 2};
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(above));
    Send(WM_LBUTTONUP, 0, At(above));
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(2u, scrolls.senders.size());
}

// Puts the system pointer at a screen point: by SetCursorPos, or failing
// that by synthesised absolute input. False when neither moves it.
bool MovePointerTo(POINT screen)
{
    POINT cursor = {};
    if (SetCursorPos(screen.x, screen.y) && GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y)
        return true;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (width <= 1 || height <= 1)
        return false;
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, width - 1);
    input.mi.dy = MulDiv(screen.y, 65535, height - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    return GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y;
}

TEST_F(BarWindow, HeldTrackPressPagesTowardThePointer)
{
    CScrollBarUI* bar = ShowLoneBar();
    bar->SetScrollRange(1000);
    const POINT below = {MidPoint(bar->GetThumbRect()).x, bar->GetThumbRect().bottom + 2};
    // Held on the track, the repeat reads where the pointer is and pages
    // toward it until the thumb reaches it.
    POINT bottom = {below.x, bar->GetButton2Rect().top - 1};
    ClientToScreen(hwnd, &bottom);
    if (!MovePointerTo(bottom))
        GTEST_SKIP() << "the pointer cannot be moved here (neither SetCursorPos nor SendInput moved it), "
                        "and the repeat reads the real pointer";
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(below));
    EXPECT_EQ(height, bar->GetScrollPos());
    Tick(*bar, 5);
    EXPECT_EQ(height, bar->GetScrollPos());
    Tick(*bar, 10);
    EXPECT_EQ(1000, bar->GetScrollPos());
    Send(WM_LBUTTONUP, 0, At(below));
}

TEST(ScrollBar, PressOnABarWithoutThumbPagesForward)
{
    // 40 long: buttons of 16 at each end, no thumb, an 8-pixel gap between.
    struct Case {
        bool horizontal;
        int startPos;
        int expected;
    };
    for (const Case& c : {Case{false, 0, 40}, Case{false, 70, 100}, Case{true, 0, 40}}) {
        CScrollBarUI bar;
        bar.SetHorizontal(c.horizontal);
        bar.SetScrollPos(c.startPos);
        if (c.horizontal)
            bar.SetBounds(RECT{20, 10, 60, 10 + CScrollBarUI::kDefaultThickness});
        else
            PlaceVertical(bar, 40);
        ASSERT_TRUE(SameRect(RECT{0, 0, 0, 0}, bar.GetThumbRect())) << Describe(bar.GetThumbRect());
        const POINT gap = c.horizontal ? POINT{40, 18} : POINT{18, 40};
        for (int type : {kUiEventButtonDown, kUiEventButtonUp}) {
            UiEvent event = {};
            event.type = type;
            event.sender = &bar;
            event.mouse = gap;
            bar.HandleEvent(event);
        }
        EXPECT_EQ(c.expected, bar.GetScrollPos()) << c.horizontal << " " << c.startPos;
    }
}

// The thumb follows the pointer over the pixels it can really travel: a
// hidden button gives its length to the track.
TEST(ScrollBar, DragDividesByTheThumbsRealTravel)
{
    struct Case {
        bool button1;
        bool button2;
        int range;
        int drag;
    };
    const Case cases[] = {{true, true, 1000, 30},
                          {false, true, 1000, 30},
                          {false, false, 1000, 30},
                          // A thumb nearly as long as the bar: the travel of
                          // two thicknesses less would be below zero.
                          {false, false, 10, 3}};
    for (const Case& c : cases) {
        CScrollBarUI bar;
        bar.SetShowButton1(c.button1);
        bar.SetShowButton2(c.button2);
        bar.SetScrollRange(c.range);
        PlaceVertical(bar, 200);
        const RECT thumb = bar.GetThumbRect();
        const int shown = (c.button1 ? 1 : 0) + (c.button2 ? 1 : 0);
        const int travel = 200 - shown * CScrollBarUI::kDefaultThickness - (thumb.bottom - thumb.top);
        ASSERT_GT(travel, 0);
        const POINT grip = MidPoint(thumb);
        const int types[] = {kUiEventButtonDown, kUiEventMouseMove};
        for (int type : types) {
            UiEvent event = {};
            event.type = type;
            event.sender = &bar;
            event.mouse = type == kUiEventButtonDown ? grip : POINT{grip.x, grip.y + c.drag};
            bar.HandleEvent(event);
        }
        Tick(bar);
        const int expected = std::min(c.range, c.drag * c.range / travel);
        EXPECT_EQ(expected, bar.GetScrollPos()) << c.button1 << c.button2 << " range " << c.range;
        EXPECT_GT(bar.GetScrollPos(), 0);
    }
}

TEST_F(BarWindow, DraggingTheThumbFollowsThePointerAndClampsAtTheEnd)
{
    CScrollBarUI* bar = ShowLoneBar();
    bar->SetScrollRange(1000);
    const RECT thumb = bar->GetThumbRect();
    const int travel = bar->GetBoundsHeight() - 2 * 16 - (thumb.bottom - thumb.top);
    const POINT grip = MidPoint(thumb);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    EXPECT_EQ(CScrollBarUI::kStatePushed | CScrollBarUI::kStateCaptured,
              bar->GetThumbState() & (CScrollBarUI::kStatePushed | CScrollBarUI::kStateCaptured));
    EXPECT_TRUE(scrolls.senders.empty());

    // The position follows at the bar's next timer tick.
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x, grip.y + 30}));
    EXPECT_EQ(0, bar->GetScrollPos());
    const int expected = 30 * 1000 / travel;
    EXPECT_TRUE(PumpTimersUntil([&] { return bar->GetScrollPos() != 0; }));
    EXPECT_EQ(expected, bar->GetScrollPos());
    EXPECT_FALSE(scrolls.senders.empty());

    // Far past the end, and back above the start.
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x, grip.y + 2000}));
    EXPECT_TRUE(PumpTimersUntil([&] { return bar->GetScrollPos() == 1000; }));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x, grip.y - 2000}));
    EXPECT_TRUE(PumpTimersUntil([&] { return bar->GetScrollPos() == 0; }));
    Send(WM_LBUTTONUP, 0, At(grip));
    EXPECT_EQ(0u, bar->GetThumbState() & (CScrollBarUI::kStatePushed | CScrollBarUI::kStateCaptured));

    // Moves after the release drag nothing.
    Send(WM_MOUSEMOVE, 0, At(POINT{grip.x, grip.y + 60}));
    Tick(*bar);
    EXPECT_EQ(0, bar->GetScrollPos());
}

TEST_F(BarWindow, ThumbOfAnEmptyRangeCannotMove)
{
    CScrollBarUI* bar = ShowLoneBar();
    bar->SetScrollRange(0);
    const POINT grip = MidPoint(bar->GetThumbRect());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x, grip.y + 50}));
    Tick(*bar, 7);
    Send(WM_LBUTTONUP, 0, At(grip));
    EXPECT_EQ(0, bar->GetScrollPos());
}

TEST_F(BarWindow, HotBitsFollowThePointerAndDisablingDropsEveryState)
{
    CScrollBarUI* bar = ShowLoneBar();
    const POINT onThumb = MidPoint(bar->GetThumbRect());
    const POINT onTrack = {onThumb.x, bar->GetThumbRect().bottom + 5};
    Send(WM_MOUSEMOVE, 0, At(onThumb));
    EXPECT_NE(0u, bar->GetButton1State() & CScrollBarUI::kStateHot);
    EXPECT_NE(0u, bar->GetButton2State() & CScrollBarUI::kStateHot);
    EXPECT_NE(0u, bar->GetThumbState() & CScrollBarUI::kStateHot);
    Send(WM_MOUSEMOVE, 0, At(onTrack));
    EXPECT_EQ(0u, bar->GetThumbState() & CScrollBarUI::kStateHot);
    Send(WM_MOUSEMOVE, 0, At(onThumb));
    EXPECT_NE(0u, bar->GetThumbState() & CScrollBarUI::kStateHot);
    Send(WM_MOUSEMOVE, 0, At(POINT{10, 10}));  // onto the spacer
    EXPECT_EQ(0u, bar->GetButton1State() | bar->GetButton2State() | bar->GetThumbState());

    Send(WM_MOUSEMOVE, 0, At(onThumb));
    bar->SetEnabled(false);
    EXPECT_EQ(0u, bar->GetButton1State() | bar->GetButton2State() | bar->GetThumbState());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(MidPoint(bar->GetButton2Rect())));
    Send(WM_LBUTTONUP, 0, At(MidPoint(bar->GetButton2Rect())));
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_TRUE(scrolls.senders.empty());
}

TEST_F(BarWindow, PaintingOutlinesBarePartsAndDrawsTheImageOfEachState)
{
    CScrollBarUI* bar = ShowLoneBar();
    const RECT bounds = bar->GetBounds();
    const RECT b1 = bar->GetButton1Rect();
    const RECT thumb = bar->GetThumbRect();
    UiTest::Canvas canvas(width, height);

    // No images: each part is outlined, the track between them is untouched.
    bar->Paint(canvas.dc(), bounds);
    EXPECT_EQ(kOutline, canvas.At(b1.left, b1.top));
    EXPECT_EQ(kOutline, canvas.At(thumb.left, thumb.top + 3));
    EXPECT_EQ(kWhite, canvas.At(b1.left + 7, b1.top + 7));
    EXPECT_EQ(kWhite, canvas.At(thumb.left + 7, thumb.bottom + 5));

    bar->SetAttribute(L"bknormalimage", L"grey.png");
    bar->SetAttribute(L"button1normalimage", L"blue.png");
    bar->SetAttribute(L"thumbnormalimage", L"blue.png");
    bar->SetAttribute(L"thumbhotimage", L"red.png");
    bar->SetAttribute(L"thumbpushedimage", L"green.png");
    bar->SetAttribute(L"button2normalimage", L"missing.png");
    const POINT railPoint = MidPoint(thumb);
    struct Case {
        const char* what;
        std::function<void()> act;
        DWORD thumbColor;
    };
    const Case cases[] = {
        {"normal", [] {}, kBlue},
        {"hot", [&] { Send(WM_MOUSEMOVE, 0, At(MidPoint(thumb))); }, kRed},
        {"pushed", [&] { Send(WM_LBUTTONDOWN, MK_LBUTTON, At(MidPoint(thumb))); }, kGreen},
        {"released, away",
         [&] {
             Send(WM_LBUTTONUP, 0, At(MidPoint(thumb)));
             Send(WM_MOUSEMOVE, 0, At(POINT{10, 10}));
         },
         kBlue},
    };
    for (const Case& c : cases) {
        c.act();
        canvas.Fill(kWhite);
        bar->Paint(canvas.dc(), bounds);
        EXPECT_EQ(kGrey, canvas.At(thumb.left + 7, thumb.bottom + 5)) << c.what;
        EXPECT_EQ(kBlue, canvas.At(b1.left + 7, b1.top + 7)) << c.what;
        EXPECT_EQ(c.thumbColor, canvas.At(thumb.left + 1, thumb.top + 1)) << c.what;
    }
    // The image that failed is dropped, and its part outlined instead.
    EXPECT_TRUE(bar->GetButton2NormalImage().IsEmpty());
    const RECT b2 = bar->GetButton2Rect();
    EXPECT_EQ(kOutline, canvas.At(b2.left, b2.bottom - 1));

    // The rail is a square grip centred on the thumb; disabled takes over.
    bar->SetAttribute(L"railnormalimage", L"red.png");
    bar->SetAttribute(L"thumbdisabledimage", L"green.png");
    canvas.Fill(kWhite);
    bar->Paint(canvas.dc(), bounds);
    EXPECT_EQ(kRed, canvas.At(railPoint.x, railPoint.y));
    EXPECT_EQ(kRed, canvas.At(railPoint.x, railPoint.y - 8));
    EXPECT_EQ(kBlue, canvas.At(railPoint.x, railPoint.y - 9));
    bar->SetEnabled(false);
    canvas.Fill(kWhite);
    bar->Paint(canvas.dc(), bounds);
    EXPECT_EQ(kGreen, canvas.At(thumb.left + 1, thumb.top + 1));

    // A dirty rect that misses the bar paints nothing.
    canvas.Fill(kWhite);
    bar->Paint(canvas.dc(), RECT{0, 0, 5, 5});
    EXPECT_EQ(kWhite, canvas.At(thumb.left + 1, thumb.top + 1));
}

TEST_F(BarWindow, ContainerTakesItsRangeFromTheContentAndHidesTheBarWhenItFits)
{
    CVerticalLayoutUI* list = ShowList(10);
    CScrollBarUI* bar = list->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(list, bar->GetOwner());
    EXPECT_FALSE(bar->IsHorizontal());
    EXPECT_TRUE(bar->IsShown());
    EXPECT_EQ(10 * 50 - height, bar->GetScrollRange());
    EXPECT_TRUE(SameRect(RECT{width - 16, 0, width, height}, bar->GetBounds())) << Describe(bar->GetBounds());
    EXPECT_EQ(width - 16, list->GetItemAt(0)->GetBoundsWidth());
    // The bar catches the point over it, not the row under it.
    EXPECT_EQ(bar, manager->FindControlAt(POINT{width - 5, 10}));

    // Scrolled, then the content shrinks to fit: the bar goes and the rows
    // come back to the top at full width.
    list->SetScrollPos(SIZE{0, 100});
    EXPECT_EQ(-100, list->GetItemAt(0)->GetBoundsTop());
    while (list->GetCount() > 3)
        list->RemoveAt(list->GetCount() - 1);
    Paint();
    EXPECT_FALSE(bar->IsShown());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(0, list->GetItemAt(0)->GetBoundsTop());
    EXPECT_EQ(width, list->GetItemAt(0)->GetBoundsWidth());
    EXPECT_EQ(0, list->GetScrollRange().cy);

    // Turning the bar off deletes it.
    list->SetAttribute(L"vscrollbar", L"false");
    EXPECT_EQ(nullptr, list->GetVerticalScrollBar());
}

// A bar without owner is laid out by its parent, which must give its place
// to the others and repaint once it is hidden: it would stay drawn otherwise.
TEST_F(BarWindow, HidingABarWithoutOwnerLaysItsParentOutAgain)
{
    row->Add(new CControlUI);
    CControlUI* before = new CControlUI;
    before->SetPreferredWidth(20);
    row->Add(before);
    CScrollBarUI* bar = new CScrollBarUI;
    row->Add(bar);
    Show();
    ASSERT_EQ(width - 36, before->GetBoundsLeft());
    ValidateRect(hwnd, nullptr);

    bar->SetShown(false);
    EXPECT_FALSE(bar->IsShown());
    RECT dirty = {};
    EXPECT_TRUE(GetUpdateRect(hwnd, &dirty, FALSE));
    Paint();
    EXPECT_EQ(width - 20, before->GetBoundsLeft());

    bar->SetShown(true);
    Paint();
    EXPECT_EQ(width - 36, before->GetBoundsLeft());
}

TEST_F(BarWindow, KeysAndTheWheelScrollTheContainersChildren)
{
    CVerticalLayoutUI* list = ShowList(10);
    CControlUI* first = list->GetItemAt(0);
    manager->SetFocus(list);
    ASSERT_EQ(list, manager->GetFocus());
    const int line = manager->GetDefaultFontInfo()->metrics.tmHeight + 8;
    const int range = 10 * 50 - height;
    struct Case {
        const char* what;
        WPARAM key;
        int expected;
    };
    const Case cases[] = {
        {"down", VK_DOWN, line},       {"down", VK_DOWN, 2 * line},
        {"up", VK_UP, line},           {"page down", VK_NEXT, std::min(range, line + height)},
        {"page down", VK_NEXT, range}, {"page up", VK_PRIOR, std::max(0, range - height)},
        {"home", VK_HOME, 0},          {"up at the top", VK_UP, 0},
        {"end", VK_END, range},        {"down at the end", VK_DOWN, range},
    };
    for (const Case& c : cases) {
        Send(WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(c.expected, list->GetScrollPos().cy) << c.what;
        EXPECT_EQ(c.expected, list->GetVerticalScrollBar()->GetScrollPos()) << c.what;
        EXPECT_EQ(-c.expected, first->GetBoundsTop()) << c.what;
    }

    // The wheel over a row scrolls the list that holds it.
    POINT overRow = {20, 20};
    ClientToScreen(hwnd, &overRow);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA)), MAKELPARAM(overRow.x, overRow.y));
    EXPECT_EQ(range - line, list->GetScrollPos().cy);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(overRow.x, overRow.y));
    EXPECT_EQ(range, list->GetScrollPos().cy);
}

TEST_F(BarWindow, TheContainersBarScrollsItThroughItsButtonsTrackAndThumb)
{
    CVerticalLayoutUI* list = ShowList(10);
    CScrollBarUI* bar = list->GetVerticalScrollBar();
    CControlUI* first = list->GetItemAt(0);
    const int line = manager->GetDefaultFontInfo()->metrics.tmHeight + 8;
    const int range = 10 * 50 - height;

    // A press on a button is one line of the list, not of the bar.
    const POINT down = MidPoint(bar->GetButton2Rect());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(down));
    Send(WM_LBUTTONUP, 0, At(down));
    EXPECT_EQ(line, list->GetScrollPos().cy);
    EXPECT_EQ(-line, first->GetBoundsTop());
    // The list keeps the focus that the press asked for.
    EXPECT_EQ(list, manager->GetFocus());

    // The track pages by the list's client height.
    const POINT track = {down.x, bar->GetThumbRect().bottom + 2};
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(track));
    Send(WM_LBUTTONUP, 0, At(track));
    EXPECT_EQ(std::min(range, line + height), list->GetScrollPos().cy);
    Send(WM_KEYDOWN, VK_HOME, 0);
    ASSERT_EQ(0, list->GetScrollPos().cy);

    // Dragging the thumb moves the rows with it.
    const RECT thumb = bar->GetThumbRect();
    const int travel = height - 2 * 16 - (thumb.bottom - thumb.top);
    const POINT grip = MidPoint(thumb);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x, grip.y + 20}));
    EXPECT_TRUE(PumpTimersUntil([&] { return list->GetScrollPos().cy != 0; }));
    const int expected = 20 * bar->GetScrollRange() / travel;
    EXPECT_EQ(expected, list->GetScrollPos().cy);
    EXPECT_EQ(-expected, first->GetBoundsTop());
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x, height + 300}));
    EXPECT_TRUE(PumpTimersUntil([&] { return list->GetScrollPos().cy == bar->GetScrollRange(); }));
    Send(WM_LBUTTONUP, 0, At(grip));
    EXPECT_EQ(-bar->GetScrollRange(), first->GetBoundsTop());
    // An owned bar leaves the telling to its owner.
    EXPECT_TRUE(scrolls.senders.empty());

    // The bar paints itself with the container.
    UiTest::Canvas canvas(width, height);
    list->Paint(canvas.dc(), RECT{0, 0, width, height});
    EXPECT_EQ(kOutline, canvas.At(bar->GetButton1Rect().left, bar->GetButton1Rect().top));
}

}  // namespace
