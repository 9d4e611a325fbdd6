// The control base: its markup attributes, geometry and layout wishes, state
// and the notifications it raises, invalidation, painting, the default event
// handling and the relative anchor.
#include "ControlUI.h"
#include "UiManager.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

// Exposes what the base keeps without a getter, and records the events that
// reach its default handling.
class ControlProbe : public CControlUI {
public:
    RECT BorderSides() const
    {
        RECT sides = {leftBorderSize_, topBorderSize_, rightBorderSize_, bottomBorderSize_};
        return sides;
    }
    int BorderStyle() const { return borderStyle_; }
    void ProcessEvent(UiEvent& event) override
    {
        processed.push_back(event.type);
        CControlUI::ProcessEvent(event);
    }
    void InitHook() override { ++initHooks; }

    std::vector<int> processed;
    int initHooks = 0;
};

struct Notice {
    std::wstring type;
    CControlUI* sender;
    WPARAM wParam;
    LPARAM lParam;
};

class NoticeLog : public INotifyUI {
public:
    void Notify(UiNotify& notify) override
    {
        notices.push_back({notify.type.GetData(), notify.sender, notify.wParam, notify.lParam});
    }
    std::vector<std::wstring> Types() const
    {
        std::vector<std::wstring> types;
        for (const Notice& notice : notices)
            types.push_back(notice.type);
        return types;
    }

    std::vector<Notice> notices;
};

// Counts the calls of an event source and answers as told.
class CallCounter {
public:
    bool OnCall(void* param)
    {
        ++calls;
        lastParam = param;
        return answer;
    }
    CDelegate<CallCounter, CallCounter> Delegate()
    {
        return CDelegate<CallCounter, CallCounter>(this, &CallCounter::OnCall);
    }

    int calls = 0;
    void* lastParam = nullptr;
    bool answer = true;
};

// A shown top-level window whose update region tells what the controls
// invalidated.
class TestWindow {
public:
    TestWindow()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiControlTestWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, wc.hInstance,
                                  nullptr);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        Validate();
    }
    ~TestWindow() { DestroyWindow(window_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND get() const { return window_; }
    void Validate() { ValidateRect(window_, nullptr); }
    // The box of the update region; empty when nothing was invalidated.
    RECT Dirty() const
    {
        RECT rc = {};
        GetUpdateRect(window_, &rc, FALSE);
        return rc;
    }

private:
    HWND window_ = nullptr;
};

RECT Rect(int l, int t, int r, int b)
{
    RECT rc = {l, t, r, b};
    return rc;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

UiEvent MakeEvent(int type, WPARAM wParam = 0, LPARAM lParam = 0)
{
    UiEvent event = {};
    event.type = type;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

// --- Attributes ---

TEST(ControlAttributes, PositionCountsNegativeEdgesFromTheFarSide)
{
    ControlProbe control;
    control.SetAttribute(L"pos", L"-80,10,-10,40");
    EXPECT_EQ(-10, control.GetFixedOffset().cx);
    EXPECT_EQ(10, control.GetFixedOffset().cy);
    EXPECT_EQ(70, control.GetPreferredWidth());
    EXPECT_EQ(30, control.GetPreferredHeight());

    control.SetAttribute(L"pos", L"5,-40,25,-20");
    EXPECT_EQ(5, control.GetFixedOffset().cx);
    EXPECT_EQ(-20, control.GetFixedOffset().cy);
    EXPECT_EQ(20, control.GetPreferredWidth());
    EXPECT_EQ(20, control.GetPreferredHeight());

    // A short list reads the missing numbers as 0; the negative size that
    // results is ignored and the previous one stays.
    control.SetAttribute(L"pos", L"7,8");
    EXPECT_EQ(7, control.GetFixedOffset().cx);
    EXPECT_EQ(8, control.GetFixedOffset().cy);
    EXPECT_EQ(20, control.GetPreferredWidth());
    EXPECT_EQ(20, control.GetPreferredHeight());
}

TEST(ControlAttributes, SizesPaddingAndAnchor)
{
    ControlProbe control;
    control.SetAttribute(L"width", L"120");
    control.SetAttribute(L"height", L"abc");  // not a number: 0
    control.SetAttribute(L"minwidth", L"10");
    control.SetAttribute(L"minheight", L"11");
    control.SetAttribute(L"maxwidth", L"300");
    control.SetAttribute(L"maxheight", L"-4");  // negative: ignored
    EXPECT_EQ(120, control.GetPreferredWidth());
    EXPECT_EQ(0, control.GetPreferredHeight());
    EXPECT_EQ(10, control.GetMinWidth());
    EXPECT_EQ(11, control.GetMinHeight());
    EXPECT_EQ(300, control.GetMaxWidth());
    EXPECT_EQ(9999, control.GetMaxHeight());

    control.SetAttribute(L"padding", L"1,2,3,4");
    EXPECT_TRUE(SameRect(Rect(1, 2, 3, 4), control.GetPaddingRect()));
    control.SetAttribute(L"padding", L"5,6");
    EXPECT_TRUE(SameRect(Rect(5, 6, 0, 0), control.GetPaddingRect()));

    EXPECT_FALSE(control.HasRelativeAnchor());
    control.SetAttribute(L"relativepos", L"50,100,25,0");
    ASSERT_TRUE(control.HasRelativeAnchor());
    const UiRelativeAnchor& anchor = control.GetRelativeAnchor();
    EXPECT_EQ(50, anchor.moveX);
    EXPECT_EQ(100, anchor.moveY);
    EXPECT_EQ(25, anchor.zoomX);
    EXPECT_EQ(0, anchor.zoomY);
}

TEST(ControlAttributes, ColoursTakeHexWithOptionalHashAndBadOnesAreNone)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        DWORD expected;
        DWORD (*read)(const ControlProbe&);
    };
    auto bk1 = [](const ControlProbe& c) { return c.GetBackgroundColor(); };
    auto bk2 = [](const ControlProbe& c) { return c.GetBackgroundColor2(); };
    auto bk3 = [](const ControlProbe& c) { return c.GetBackgroundColor3(); };
    auto border = [](const ControlProbe& c) { return c.GetBorderColor(); };
    auto focus = [](const ControlProbe& c) { return c.GetFocusBorderColor(); };
    const Case cases[] = {
        {L"bkcolor", L"#FF112233", 0xFF112233, bk1},
        {L"bkcolor", L"  ff445566", 0xFF445566, bk1},
        {L"bkcolor1", L"80AABBCC", 0x80AABBCC, bk1},
        {L"bkcolor2", L"#FF010203", 0xFF010203, bk2},
        {L"bkcolor3", L"FF040506", 0xFF040506, bk3},
        {L"bordercolor", L"#FFABCDEF", 0xFFABCDEF, border},
        {L"bordercolor", L"FF000001", 0xFF000001, border},
        {L"focusbordercolor", L"#80123456", 0x80123456, focus},
        {L"bkcolor", L"zz0000", 0, bk1},
        {L"bordercolor", L"#", 0, border},
        {L"focusbordercolor", L"", 0, focus},
        // Only the background colours skip leading blanks.
        {L"bordercolor", L" #FF0000FF", 0, border},
        {L"focusbordercolor", L"  FF0000FF", 0, focus},
    };
    for (const Case& c : cases) {
        ControlProbe control;
        control.SetAttribute(c.name, c.value);
        EXPECT_EQ(c.expected, c.read(control)) << std::wstring(c.name) << L"=" << c.value;
    }
}

TEST(ControlAttributes, BorderSizeSingleIsUniformAndListIsPerSide)
{
    ControlProbe control;
    control.SetAttribute(L"bordersize", L"0,0,0,1");
    EXPECT_TRUE(SameRect(Rect(0, 0, 0, 1), control.BorderSides()));
    EXPECT_EQ(0, control.GetBorderSize());

    control.SetAttribute(L"bordersize", L"3");
    EXPECT_EQ(3, control.GetBorderSize());
    EXPECT_TRUE(SameRect(Rect(0, 0, 0, 0), control.BorderSides()));

    control.SetAttribute(L"bordersize", L"1,2");  // short list: the rest 0; size kept
    EXPECT_TRUE(SameRect(Rect(1, 2, 0, 0), control.BorderSides()));
    EXPECT_EQ(3, control.GetBorderSize());

    control.SetAttribute(L"leftbordersize", L"4");
    control.SetAttribute(L"topbordersize", L"5");
    control.SetAttribute(L"rightbordersize", L"6");
    control.SetAttribute(L"bottombordersize", L"7");
    EXPECT_TRUE(SameRect(Rect(4, 5, 6, 7), control.BorderSides()));

    control.SetAttribute(L"borderstyle", L"2");
    EXPECT_EQ(2, control.BorderStyle());
    control.SetAttribute(L"borderround", L"5,6");
    EXPECT_EQ(5, control.GetBorderRound().cx);
    EXPECT_EQ(6, control.GetBorderRound().cy);
    control.SetAttribute(L"borderround", L"9");
    EXPECT_EQ(9, control.GetBorderRound().cx);
    EXPECT_EQ(0, control.GetBorderRound().cy);
}

TEST(ControlAttributes, TextsFlagsAndBooleansThatAreOnlyExactlyTrue)
{
    ControlProbe parent;
    ControlProbe control;
    control.AttachToManager(nullptr, &parent, false);
    control.SetAttribute(L"name", L"btnOk");
    control.SetAttribute(L"text", L"确定");
    control.SetAttribute(L"tooltip", L"first<n>second<n>");
    control.SetAttribute(L"userdata", L"row7");
    control.SetAttribute(L"shortcut", L"Save");
    control.SetAttribute(L"bkimage", L"file='a.png' corner='1,1,1,1'");
    EXPECT_EQ(std::wstring(L"btnOk"), control.GetName().GetData());
    EXPECT_EQ(std::wstring(L"确定"), control.GetText().GetData());
    EXPECT_EQ(std::wstring(L"first\r\nsecond\r\n"), control.GetTooltip().GetData());
    EXPECT_EQ(std::wstring(L"row7"), control.GetUserText().GetData());
    EXPECT_EQ(L'S', control.GetShortcutKey());
    EXPECT_EQ(std::wstring(L"file='a.png' corner='1,1,1,1'"), control.GetBackgroundImage().GetData());

    parent.SetAttribute(L"virtualwnd", L"page1");
    EXPECT_EQ(std::wstring(L"page1"), control.GetVirtualWindow().GetData());
    control.SetAttribute(L"virtualwnd", L"inner");
    EXPECT_EQ(std::wstring(L"inner"), control.GetVirtualWindow().GetData());

    control.SetAttribute(L"menu", L"true");
    control.SetAttribute(L"float", L"true");
    control.SetAttribute(L"colorhsl", L"true");
    EXPECT_TRUE(control.HasContextMenu());
    EXPECT_TRUE(control.IsFloating());
    EXPECT_TRUE(control.IsColorHsl());

    // Anything but the exact "true" is false, a capital letter included.
    const wchar_t* falseSpellings[] = {L"True", L"TRUE", L"1", L"yes", L""};
    for (const wchar_t* value : falseSpellings) {
        ControlProbe flags;
        for (const wchar_t* name : {L"enabled", L"mouse", L"keyboard", L"visible", L"float", L"menu", L"colorhsl"})
            flags.SetAttribute(name, value);
        EXPECT_FALSE(flags.IsEnabled()) << value;
        EXPECT_FALSE(flags.IsMouseEnabled()) << value;
        EXPECT_FALSE(flags.IsKeyboardEnabled()) << value;
        EXPECT_FALSE(flags.IsShown()) << value;
        EXPECT_FALSE(flags.IsFloating()) << value;
        EXPECT_FALSE(flags.HasContextMenu()) << value;
        EXPECT_FALSE(flags.IsColorHsl()) << value;
    }
}

TEST(ControlAttributes, UnknownAndMiscasedNamesAreIgnored)
{
    ControlProbe control;
    control.SetAttribute(L"Width", L"50");
    control.SetAttribute(L"NAME", L"x");
    control.SetAttribute(L"bkcolor4", L"FF00FF00");
    control.SetAttribute(L"nosuch", L"1");
    control.SetAttribute(nullptr, L"1");
    control.SetAttribute(L"width", nullptr);
    EXPECT_EQ(0, control.GetPreferredWidth());
    EXPECT_TRUE(control.GetName().IsEmpty());
    EXPECT_EQ(0u, control.GetBackgroundColor());
}

TEST(ControlAttributes, AttributeStringStopsQuietlyWhereItIsMalformed)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* name;  // expected afterwards
        const wchar_t* userText;
    };
    const Case cases[] = {
        {L"name=\"a\" userdata=\"b\"", L"a", L"b"},
        {L"name=\"\" userdata=\"b c\"", L"", L"b c"},
        {L"name=\"a\"  userdata=\"b\"", L"a", L""},  // two blanks
        {L"name=\"a\",userdata=\"b\"", L"a", L""},   // not a blank
        {L"name=\"a\" userdata=b", L"a", L""},       // no opening quote
        {L"name=\"a\" userdata=\"b", L"a", L""},     // no closing quote
        {L"name \"a\" userdata=\"b\"", L"", L""},    // no equals sign
        {L"name=\"a\" ", L"a", L""},                 // trailing blank
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        ControlProbe control;
        control.ApplyAttributeString(c.text);
        EXPECT_EQ(std::wstring(c.name), control.GetName().GetData()) << c.text;
        EXPECT_EQ(std::wstring(c.userText), control.GetUserText().GetData()) << c.text;
    }
    ControlProbe control;
    control.ApplyAttributeString(nullptr);
    control.ApplyAttributeString(L"width=\"40\" height=\"30\" bkcolor=\"#FF102030\"");
    EXPECT_EQ(40, control.GetPreferredWidth());
    EXPECT_EQ(30, control.GetPreferredHeight());
    EXPECT_EQ(0xFF102030u, control.GetBackgroundColor());
}

// --- Identity, lifecycle and geometry ---

TEST(ControlBase, IdentityAndInitialState)
{
    ControlProbe control;
    EXPECT_EQ(std::wstring(L"ControlUI"), control.GetTypeName());
    EXPECT_EQ(&control, control.CastByName(L"Control"));
    EXPECT_EQ(nullptr, control.CastByName(L"control"));
    EXPECT_EQ(nullptr, control.CastByName(L"Button"));
    EXPECT_EQ(0u, control.GetInputFlags());
    EXPECT_TRUE(control.IsUpdateNeeded());
    EXPECT_TRUE(control.IsShown());
    EXPECT_TRUE(control.IsEnabled());
    EXPECT_EQ(300, control.GetTooltipWidth());
    EXPECT_EQ(9999, control.GetMaxWidth());
    EXPECT_TRUE(control.TryActivate());
    control.SetEnabled(false);
    EXPECT_FALSE(control.TryActivate());
    control.SetEnabled(true);
    control.SetShownByParent(false);
    EXPECT_FALSE(control.IsShown());
    EXPECT_FALSE(control.TryActivate());
}

TEST(ControlBase, InitRunsOnceAttachedUnderAParentAndDestroyTellsTheManager)
{
    CUiManager manager;
    ControlProbe parent;
    CallCounter inits;
    CallCounter destroys;
    ControlProbe* control = new ControlProbe;
    control->OnInit.Add(inits.Delegate());
    control->OnDestroy.Add(destroys.Delegate());
    control->SetName(L"child");

    control->AttachToManager(&manager, nullptr, true);  // no parent: no init
    EXPECT_EQ(0, control->initHooks);
    EXPECT_EQ(0, inits.calls);
    control->AttachToManager(&manager, &parent, false);
    EXPECT_EQ(0, inits.calls);
    ASSERT_TRUE(manager.AdoptControls(control, &parent));
    EXPECT_EQ(1, control->initHooks);
    EXPECT_EQ(1, inits.calls);
    EXPECT_EQ(control, inits.lastParam);
    EXPECT_EQ(&parent, control->GetParentControl());
    EXPECT_EQ(&manager, control->GetOwnerManager());
    ASSERT_EQ(control, manager.FindControlByName(L"child"));

    control->TakeFocus();
    ASSERT_EQ(control, manager.GetFocus());
    delete control;
    EXPECT_EQ(1, destroys.calls);
    EXPECT_EQ(nullptr, manager.FindControlByName(L"child"));
    EXPECT_EQ(nullptr, manager.GetFocus());
}

TEST(ControlGeometry, SetBoundsClampsAndMeasureGivesTheFixedSize)
{
    CUiManager manager;
    ControlProbe control;
    control.AttachToManager(&manager, nullptr, false);
    control.SetBounds(Rect(50, 60, 20, 70));
    EXPECT_TRUE(SameRect(Rect(50, 60, 50, 70), control.GetBounds()));
    control.SetBounds(Rect(5, 6, 30, 2));
    EXPECT_TRUE(SameRect(Rect(5, 6, 30, 6), control.GetBounds()));
    EXPECT_EQ(25, control.GetBoundsWidth());
    EXPECT_EQ(0, control.GetBoundsHeight());
    EXPECT_EQ(5, control.GetBoundsLeft());
    EXPECT_EQ(6, control.GetBoundsTop());
    EXPECT_FALSE(control.IsUpdateNeeded());

    const SIZE available = {500, 500};
    EXPECT_EQ(0, control.MeasureSize(available).cx);
    control.SetPreferredWidth(40);
    control.SetPreferredHeight(12);
    control.SetPreferredWidth(-1);
    EXPECT_EQ(40, control.MeasureSize(available).cx);
    EXPECT_EQ(12, control.MeasureSize(available).cy);
}

TEST(ControlGeometry, SizeEventsAreGuardedAgainstReentry)
{
    // A size handler that moves its control again must not be called anew.
    struct Mover {
        CControlUI* control;
        int calls;
        bool OnSize(void*)
        {
            ++calls;
            control->SetBounds(Rect(0, 0, 10, 10));
            return true;
        }
    };
    CUiManager manager;
    ControlProbe control;
    Mover mover = {&control, 0};
    control.OnSize.Add(CDelegate<Mover, Mover>(&mover, &Mover::OnSize));
    control.SetBounds(Rect(0, 0, 50, 50));
    EXPECT_EQ(0, mover.calls);  // without a manager nothing but the rect
    control.AttachToManager(&manager, nullptr, false);
    control.SetBounds(Rect(0, 0, 50, 50));
    EXPECT_EQ(1, mover.calls);
    EXPECT_TRUE(SameRect(Rect(0, 0, 10, 10), control.GetBounds()));
}

TEST(ControlGeometry, FloatingControlRecordsItsPlacementInItsParent)
{
    CUiManager manager;
    ControlProbe parent;
    ControlProbe child;
    parent.AttachToManager(&manager, nullptr, false);
    child.AttachToManager(&manager, &parent, false);
    parent.SetBounds(Rect(100, 100, 300, 200));
    child.SetFloating(true);
    child.SetBounds(Rect(110, 120, 150, 140));
    EXPECT_EQ(10, child.GetFixedOffset().cx);
    EXPECT_EQ(20, child.GetFixedOffset().cy);
    EXPECT_EQ(40, child.GetPreferredWidth());
    EXPECT_EQ(20, child.GetPreferredHeight());

    // Offsets kept from the far edges stay counted from there.
    const SIZE fromFar = {-5, -5};
    child.SetFixedOffset(fromFar);
    child.SetBounds(Rect(250, 170, 290, 190));
    EXPECT_EQ(-10, child.GetFixedOffset().cx);
    EXPECT_EQ(-10, child.GetFixedOffset().cy);

    // A control in the layout does not write its place back.
    ControlProbe laidOut;
    laidOut.AttachToManager(&manager, &parent, false);
    laidOut.SetBounds(Rect(110, 120, 150, 140));
    EXPECT_EQ(0, laidOut.GetFixedOffset().cx);
    EXPECT_EQ(0, laidOut.GetPreferredWidth());
}

TEST(ControlGeometry, LayoutWishesMarkTheParentOrAFloatingControlItself)
{
    CUiManager manager;
    ControlProbe parent;
    ControlProbe child;
    parent.AttachToManager(&manager, nullptr, false);
    child.AttachToManager(&manager, &parent, false);
    parent.SetBounds(Rect(0, 0, 100, 100));
    child.SetBounds(Rect(0, 0, 10, 10));

    const RECT padding = {1, 2, 3, 4};
    child.SetPaddingRect(padding);
    EXPECT_TRUE(SameRect(padding, child.GetPaddingRect()));
    EXPECT_TRUE(parent.IsUpdateNeeded());
    EXPECT_FALSE(child.IsUpdateNeeded());

    parent.SetBounds(Rect(0, 0, 100, 100));
    child.SetMinWidth(5);
    EXPECT_TRUE(parent.IsUpdateNeeded());

    // Unchanged or negative limits are ignored and mark nothing.
    parent.SetBounds(Rect(0, 0, 100, 100));
    child.SetMinWidth(5);
    child.SetMaxHeight(-1);
    EXPECT_FALSE(parent.IsUpdateNeeded());
    EXPECT_EQ(9999, child.GetMaxHeight());

    child.SetFloating(true);  // changes the parent's layout
    EXPECT_TRUE(parent.IsUpdateNeeded());
    parent.SetBounds(Rect(0, 0, 100, 100));
    child.SetBounds(Rect(0, 0, 10, 10));
    child.SetPreferredWidth(30);
    EXPECT_TRUE(child.IsUpdateNeeded());
    EXPECT_FALSE(parent.IsUpdateNeeded());
}

// --- State ---

TEST(ControlState, HidingTheFocusDropsItAndShowingDoesNotGiveItBack)
{
    TestWindow window;
    CUiManager manager;
    manager.AttachWindow(window.get());
    NoticeLog log;
    manager.AddNotifier(&log);
    ControlProbe parent;
    ControlProbe control;
    parent.AttachToManager(&manager, nullptr, false);
    control.AttachToManager(&manager, &parent, false);
    parent.SetBounds(Rect(0, 0, 200, 200));
    control.SetBounds(Rect(10, 10, 50, 50));

    control.TakeFocus();
    ASSERT_EQ(&control, manager.GetFocus());
    EXPECT_TRUE(control.HasFocus());
    log.notices.clear();
    window.Validate();

    control.SetShown(false);
    EXPECT_FALSE(control.IsShown());
    EXPECT_FALSE(control.HasFocus());
    EXPECT_EQ(nullptr, manager.GetFocus());
    EXPECT_EQ(std::vector<std::wstring>{L"killfocus"}, log.Types());
    EXPECT_TRUE(parent.IsUpdateNeeded());
    EXPECT_TRUE(SameRect(parent.GetBounds(), window.Dirty()));

    control.SetShown(true);
    EXPECT_TRUE(control.IsShown());
    EXPECT_EQ(nullptr, manager.GetFocus());
    EXPECT_FALSE(control.HasFocus());

    // The same when the parent hides it.
    control.TakeFocus();
    ASSERT_EQ(&control, manager.GetFocus());
    control.SetShownByParent(false);
    EXPECT_EQ(nullptr, manager.GetFocus());
    control.SetShownByParent(true);
    EXPECT_EQ(nullptr, manager.GetFocus());

    // A control that cannot be focused while hidden or disabled.
    control.SetEnabled(false);
    control.TakeFocus();
    EXPECT_EQ(nullptr, manager.GetFocus());
    manager.RemoveNotifier(&log);
}

TEST(ControlState, TextEnablingAndAppearanceRepaintOnlyOnChange)
{
    TestWindow window;
    CUiManager manager;
    manager.AttachWindow(window.get());
    ControlProbe control;
    control.AttachToManager(&manager, nullptr, false);
    control.SetBounds(Rect(20, 30, 60, 70));
    const RECT item = control.GetBounds();

    struct Step {
        const char* what;
        void (*apply)(ControlProbe&);
        bool repaints;
    };
    const Step steps[] = {
        {"text", [](ControlProbe& c) { c.SetText(L"a"); }, true},
        {"same text", [](ControlProbe& c) { c.SetText(L"a"); }, false},
        {"disable", [](ControlProbe& c) { c.SetEnabled(false); }, true},
        {"disable again", [](ControlProbe& c) { c.SetEnabled(false); }, false},
        {"colour", [](ControlProbe& c) { c.SetBackgroundColor(0xFF00FF00); }, true},
        {"same colour", [](ControlProbe& c) { c.SetBackgroundColor(0xFF00FF00); }, false},
        {"border size", [](ControlProbe& c) { c.SetBorderSize(2); }, true},
        {"same border size", [](ControlProbe& c) { c.SetBorderSize(2); }, false},
        {"image", [](ControlProbe& c) { c.SetBackgroundImage(L"x.png"); }, true},
        {"same image", [](ControlProbe& c) { c.SetBackgroundImage(L"x.png"); }, false},
        {"border style", [](ControlProbe& c) { c.SetBorderStyle(0); }, true},
        {"mouse", [](ControlProbe& c) { c.SetMouseEnabled(false); }, false},
        {"name", [](ControlProbe& c) { c.SetName(L"n"); }, false},
    };
    for (const Step& step : steps) {
        window.Validate();
        step.apply(control);
        const RECT dirty = window.Dirty();
        if (step.repaints)
            EXPECT_TRUE(SameRect(item, dirty)) << step.what;
        else
            EXPECT_TRUE(IsRectEmpty(&dirty)) << step.what;
    }
}

// --- Invalidation ---

TEST(ControlInvalidate, ReachesTheWindowClippedByEveryAncestor)
{
    TestWindow window;
    CUiManager manager;
    manager.AttachWindow(window.get());
    ControlProbe outer;
    ControlProbe inner;
    ControlProbe control;
    outer.AttachToManager(&manager, nullptr, false);
    inner.AttachToManager(&manager, &outer, false);
    control.AttachToManager(&manager, &inner, false);
    outer.SetBounds(Rect(0, 0, 200, 100));
    inner.SetBounds(Rect(50, 0, 300, 300));
    control.SetBounds(Rect(20, 40, 120, 160));

    struct Case {
        const char* what;
        RECT bounds;
        RECT expected;  // empty: nothing invalidated
    };
    const Case cases[] = {
        {"inside every ancestor", Rect(60, 10, 90, 50), Rect(60, 10, 90, 50)},
        {"cut by both ancestors", Rect(20, 40, 120, 160), Rect(50, 40, 120, 100)},
        {"scrolled out of the outer one", Rect(60, 150, 90, 190), Rect(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        control.SetBounds(c.bounds);
        window.Validate();
        control.Invalidate();
        const RECT dirty = window.Dirty();
        EXPECT_TRUE(SameRect(c.expected, dirty) || (IsRectEmpty(&c.expected) && IsRectEmpty(&dirty))) << c.what;
    }

    control.SetBounds(Rect(60, 10, 90, 50));
    control.SetShown(false);
    window.Validate();
    control.Invalidate();
    const RECT hidden = window.Dirty();
    EXPECT_TRUE(IsRectEmpty(&hidden));
}

TEST(ControlInvalidate, SetBoundsRepaintsTheOldAndTheNewPlace)
{
    TestWindow window;
    CUiManager manager;
    manager.AttachWindow(window.get());
    ControlProbe control;
    control.AttachToManager(&manager, nullptr, false);
    control.SetBounds(Rect(10, 10, 30, 30));
    window.Validate();
    control.SetBounds(Rect(100, 50, 120, 60));
    EXPECT_TRUE(SameRect(Rect(10, 10, 120, 60), window.Dirty()));

    // A child moved about outside its parent's view repaints nothing.
    ControlProbe child;
    child.AttachToManager(&manager, &control, false);
    child.SetBounds(Rect(200, 200, 220, 220));
    window.Validate();
    child.SetBounds(Rect(230, 200, 250, 220));
    const RECT dirty = window.Dirty();
    EXPECT_TRUE(IsRectEmpty(&dirty));
}

// --- Painting ---

// The four bands of the given width just inside rc are all rgb.
bool FrameIs(const UiTest::Canvas& canvas, const RECT& rc, int width, DWORD rgb)
{
    return canvas.AllEqual(Rect(rc.left, rc.top, rc.right, rc.top + width), rgb) &&
           canvas.AllEqual(Rect(rc.left, rc.bottom - width, rc.right, rc.bottom), rgb) &&
           canvas.AllEqual(Rect(rc.left, rc.top, rc.left + width, rc.bottom), rgb) &&
           canvas.AllEqual(Rect(rc.right - width, rc.top, rc.right, rc.bottom), rgb);
}

// A control with a manager, placed at (10,10)-(50,40) on a white canvas.
struct PaintFixture {
    PaintFixture() : canvas(60, 50)
    {
        control.AttachToManager(&manager, nullptr, false);
        control.SetBounds(Rect(10, 10, 50, 40));
    }
    void PaintAll() { control.Paint(canvas.dc(), Rect(0, 0, 60, 50)); }

    CUiManager manager;
    ControlProbe control;
    UiTest::Canvas canvas;
};

TEST(ControlPaint, OpaqueBackgroundFillsThePaintRectAndTranslucentTheWholeItem)
{
    PaintFixture f;
    ASSERT_TRUE(f.canvas.ok());
    f.control.SetBackgroundColor(0xFF0000FF);
    f.control.Paint(f.canvas.dc(), Rect(0, 0, 30, 60));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(10, 10, 30, 40), 0x0000FF));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(30, 10, 50, 40), 0xFFFFFF));
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(9, 9));

    f.canvas.Fill(0xFFFFFF);
    f.control.SetBackgroundColor(0x800000FF);
    f.control.Paint(f.canvas.dc(), Rect(0, 0, 30, 60));
    const DWORD blended = f.canvas.At(45, 35);
    EXPECT_NE(0xFFFFFFu, blended);
    EXPECT_EQ(0xFFu, blended & 0xFF);
    EXPECT_LT((blended >> 16) & 0xFF, 0xC0u);
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(50, 40));

    // Nothing at all when the dirty rect misses the control.
    f.canvas.Fill(0xFFFFFF);
    f.control.Paint(f.canvas.dc(), Rect(0, 0, 10, 10));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(0, 0, 60, 50), 0xFFFFFF));
}

TEST(ControlPaint, GradientsRunTopToBottom)
{
    PaintFixture f;
    f.control.SetBackgroundColor(0xFFFF0000);
    f.control.SetBackgroundColor2(0xFF0000FF);
    f.PaintAll();
    EXPECT_GT(f.canvas.At(30, 10) >> 16, 0xC0u);
    EXPECT_GT(f.canvas.At(30, 39) & 0xFF, 0xC0u);
    EXPECT_GT(f.canvas.At(30, 10) >> 16, f.canvas.At(30, 39) >> 16);
    EXPECT_GT(f.canvas.At(30, 39) & 0xFF, f.canvas.At(30, 10) & 0xFF);

    // Three colours: the middle one sits at the centre line.
    f.canvas.Fill(0xFFFFFF);
    f.control.SetBackgroundColor2(0xFF00FF00);
    f.control.SetBackgroundColor3(0xFF0000FF);
    f.PaintAll();
    const DWORD middle = f.canvas.At(30, 25);
    EXPECT_GT((middle >> 8) & 0xFF, 0xC0u);
    EXPECT_GT(f.canvas.At(30, 10) >> 16, 0xC0u);
    EXPECT_GT(f.canvas.At(30, 39) & 0xFF, 0xC0u);
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(30, 40));
}

TEST(ControlPaint, BorderOfWidthTwoLiesInsideTheControl)
{
    PaintFixture f;
    f.control.SetBorderColor(0xFFFF0000);
    f.control.SetBorderSize(2);
    f.PaintAll();
    EXPECT_TRUE(FrameIs(f.canvas, Rect(10, 10, 50, 40), 2, 0xFF0000));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(12, 12, 48, 38), 0xFFFFFF));
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(9, 20));
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(50, 20));
}

TEST(ControlPaint, FocusBorderWhileFocusedAndTheBorderColourOtherwise)
{
    PaintFixture f;
    f.control.SetFocusBorderColor(0xFF00FF00);
    f.control.SetBorderSize(1);
    // Unfocused, the outline is in the border colour, 0 as it is (black).
    f.PaintAll();
    EXPECT_EQ(0x000000u, f.canvas.At(10, 20));
    EXPECT_EQ(0x000000u, f.canvas.At(49, 20));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(11, 11, 49, 39), 0xFFFFFF));

    UiEvent focus = MakeEvent(kUiEventSetFocus);
    f.control.HandleEvent(focus);
    f.PaintAll();
    EXPECT_EQ(0x00FF00u, f.canvas.At(10, 20));
    EXPECT_EQ(0x00FF00u, f.canvas.At(49, 20));

    f.control.SetBorderColor(0xFFFF0000);
    UiEvent blur = MakeEvent(kUiEventKillFocus);
    f.control.HandleEvent(blur);
    f.PaintAll();
    EXPECT_EQ(0xFF0000u, f.canvas.At(10, 20));

    // A rounded outline with only a focus colour likewise.
    f.canvas.Fill(0xFFFFFF);
    f.control.SetBorderColor(0);
    f.control.SetBorderRound(SIZE{6, 6});
    f.PaintAll();
    EXPECT_EQ(0x000000u, f.canvas.At(10, 20));
    f.control.HandleEvent(focus);
    f.PaintAll();
    EXPECT_EQ(0x00FF00u, f.canvas.At(10, 20));
}

TEST(ControlPaint, PerSideBordersDrawOnlyTheirOwnSides)
{
    PaintFixture f;
    // The item rect is (10, 10, 50, 40); each line runs along its edge.
    f.control.SetBorderColor(0xFF0000FF);
    f.control.SetAttribute(L"bordersize", L"0,0,0,1");
    f.PaintAll();
    EXPECT_TRUE(f.canvas.AllEqual(Rect(10, 40, 50, 41), 0x0000FF));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(0, 0, 60, 40), 0xFFFFFF));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(0, 41, 60, 50), 0xFFFFFF));

    f.canvas.Fill(0xFFFFFF);
    f.control.SetAttribute(L"bordersize", L"2,0,3,0");
    f.PaintAll();
    EXPECT_EQ(0x0000FFu, f.canvas.At(10, 20));
    EXPECT_EQ(0x0000FFu, f.canvas.At(50, 20));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(12, 10, 48, 40), 0xFFFFFF));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(0, 0, 60, 9), 0xFFFFFF));
}

TEST(ControlPaint, RoundedBorderClipsTheCorners)
{
    PaintFixture f;
    f.control.SetBackgroundColor(0xFF00FF00);
    f.control.SetBorderColor(0xFFFF0000);
    f.control.SetBorderSize(1);
    f.control.SetBorderRound(SIZE{16, 16});
    f.PaintAll();
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(10, 10));
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(49, 39));
    EXPECT_EQ(0xFF0000u, f.canvas.At(10, 25));
    EXPECT_EQ(0xFF0000u, f.canvas.At(30, 10));
    EXPECT_EQ(0x00FF00u, f.canvas.At(30, 25));

    // The clip ends with the paint.
    const RECT all = Rect(0, 0, 60, 50);
    FillRect(f.canvas.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_TRUE(f.canvas.AllEqual(all, 0x000000));
}

class ControlImagePaint : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = UiTest::WorkFolder(L"uilib_control_test");
        // 9x9: a red frame three pixels wide around a blue centre.
        std::vector<uint32_t> pixels(81, 0xFFFF0000);
        for (int y = 3; y < 6; ++y) {
            for (int x = 3; x < 6; ++x)
                pixels[static_cast<size_t>(y * 9 + x)] = 0xFF0000FF;
        }
        ASSERT_TRUE(testfiles::WriteBytes(folder_ + L"frame.png", UiTest::EncodePng(9, 9, pixels)));
        CUiManager::SetResourcePath(folder_.c_str());
    }
    void TearDown() override
    {
        CUiManager::SetResourcePath(L"");
        testfiles::RemoveTree(folder_);
    }

    std::wstring folder_;
};

TEST_F(ControlImagePaint, NineGridStretchesOnlyTheMiddle)
{
    PaintFixture f;
    f.control.SetBackgroundImage(L"file='frame.png' corner='3,3,3,3'");
    f.PaintAll();
    EXPECT_TRUE(FrameIs(f.canvas, Rect(10, 10, 50, 40), 3, 0xFF0000));
    EXPECT_TRUE(f.canvas.AllEqual(Rect(13, 13, 47, 37), 0x0000FF));
    EXPECT_EQ(0xFFFFFFu, f.canvas.At(50, 40));
    EXPECT_FALSE(f.control.GetBackgroundImage().IsEmpty());
}

TEST_F(ControlImagePaint, AnImageThatCannotBeDrawnIsNotTriedAgain)
{
    PaintFixture f;
    f.control.SetBackgroundColor(0xFF00FF00);
    f.control.SetBackgroundImage(L"file='missing.png'");
    f.PaintAll();
    EXPECT_TRUE(f.control.GetBackgroundImage().IsEmpty());
    EXPECT_TRUE(f.canvas.AllEqual(Rect(10, 10, 50, 40), 0x00FF00));

    // Without a manager nothing can be loaded either.
    ControlProbe loose;
    loose.SetBounds(Rect(0, 0, 10, 10));
    EXPECT_FALSE(loose.PaintImageSpec(f.canvas.dc(), L"frame.png"));
}

// --- Events ---

TEST(ControlEvents, DefaultHandlingOfFocusCursorAndTimer)
{
    CUiManager manager;
    NoticeLog log;
    manager.AddNotifier(&log);
    ControlProbe control;
    control.AttachToManager(&manager, nullptr, false);

    UiEvent setFocus = MakeEvent(kUiEventSetFocus);
    control.HandleEvent(setFocus);
    EXPECT_TRUE(control.HasFocus());
    UiEvent killFocus = MakeEvent(kUiEventKillFocus);
    control.HandleEvent(killFocus);
    EXPECT_FALSE(control.HasFocus());

    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    UiEvent cursor = MakeEvent(kUiEventSetCursor);
    control.HandleEvent(cursor);
    EXPECT_EQ(arrow, GetCursor());

    UiEvent timer = MakeEvent(kUiEventTimer, 42, 7);
    control.HandleEvent(timer);
    ASSERT_EQ(1u, log.notices.size());
    EXPECT_EQ(std::wstring(L"timer"), log.notices[0].type);
    EXPECT_EQ(&control, log.notices[0].sender);
    EXPECT_EQ(42u, log.notices[0].wParam);
    EXPECT_EQ(7, log.notices[0].lParam);
    manager.RemoveNotifier(&log);
}

TEST(ControlEvents, ContextMenuNotifiesWithTheFlagAndTravelsUpWithout)
{
    CUiManager manager;
    NoticeLog log;
    manager.AddNotifier(&log);
    ControlProbe parent;
    ControlProbe control;
    parent.AttachToManager(&manager, nullptr, false);
    control.AttachToManager(&manager, &parent, false);

    UiEvent menu = MakeEvent(kUiEventContextMenu, 3, MAKELPARAM(15, 25));
    control.HandleEvent(menu);
    EXPECT_TRUE(log.notices.empty());
    EXPECT_EQ(std::vector<int>{kUiEventContextMenu}, parent.processed);

    parent.processed.clear();
    control.SetAttribute(L"menu", L"true");
    control.HandleEvent(menu);
    ASSERT_EQ(1u, log.notices.size());
    EXPECT_EQ(std::wstring(L"menu"), log.notices[0].type);
    EXPECT_EQ(&control, log.notices[0].sender);
    EXPECT_EQ(3u, log.notices[0].wParam);
    EXPECT_EQ(MAKELPARAM(15, 25), log.notices[0].lParam);
    EXPECT_TRUE(parent.processed.empty());

    // Other events go up as well.
    UiEvent key = MakeEvent(kUiEventKeyDown);
    control.HandleEvent(key);
    EXPECT_EQ(std::vector<int>{kUiEventKeyDown}, parent.processed);
    manager.RemoveNotifier(&log);
}

TEST(ControlEvents, AnEventHandlerAnsweringFalseKeepsTheDefaultAway)
{
    ControlProbe control;
    CallCounter handler;
    handler.answer = false;
    control.OnEvent.Add(handler.Delegate());
    UiEvent focus = MakeEvent(kUiEventSetFocus);
    control.HandleEvent(focus);
    EXPECT_EQ(1, handler.calls);
    EXPECT_EQ(&focus, handler.lastParam);
    EXPECT_FALSE(control.HasFocus());
    EXPECT_TRUE(control.processed.empty());

    handler.answer = true;
    control.HandleEvent(focus);
    EXPECT_TRUE(control.HasFocus());
}

CControlUI* AcceptAny(CControlUI* control, void*)
{
    return control;
}

TEST(ControlEvents, SearchHonoursItsFlags)
{
    struct Case {
        const char* what;
        bool visible;
        bool enabled;
        bool mouse;
        POINT pt;
        UINT flags;
        bool found;
    };
    const Case cases[] = {
        {"no flags take hidden ones", false, false, false, {0, 0}, 0, true},
        {"visible only", false, true, true, {15, 15}, kUiFindVisible, false},
        {"enabled only", true, false, true, {15, 15}, kUiFindEnabled, false},
        {"hit inside", true, true, true, {15, 15}, kUiFindHitTest, true},
        {"hit on the right edge", true, true, true, {20, 15}, kUiFindHitTest, false},
        {"hit without the mouse", true, true, false, {15, 15}, kUiFindHitTest, false},
        {"all met", true, true, true, {10, 10}, kUiFindVisible | kUiFindEnabled | kUiFindHitTest, true},
    };
    for (const Case& c : cases) {
        ControlProbe control;
        control.SetBounds(Rect(10, 10, 20, 20));
        control.SetShown(c.visible);
        control.SetEnabled(c.enabled);
        control.SetMouseEnabled(c.mouse);
        POINT pt = c.pt;
        CControlUI* found = control.Search(AcceptAny, &pt, c.flags);
        EXPECT_EQ(c.found ? &control : nullptr, found) << c.what;
    }
}

TEST(ControlAnchor, RelativeAnchorKeepsItsPercentagesAndTheParentSize)
{
    ControlProbe control;
    EXPECT_FALSE(control.HasRelativeAnchor());
    control.SetRelativeAnchor(100, 50, 0, 100);
    const SIZE parentSize = {640, 480};
    control.SetAnchorParentSize(parentSize);
    ASSERT_TRUE(control.HasRelativeAnchor());
    const UiRelativeAnchor& anchor = control.GetRelativeAnchor();
    EXPECT_EQ(100, anchor.moveX);
    EXPECT_EQ(50, anchor.moveY);
    EXPECT_EQ(0, anchor.zoomX);
    EXPECT_EQ(100, anchor.zoomY);
    EXPECT_EQ(640, anchor.parentSize.cx);
    EXPECT_EQ(480, anchor.parentSize.cy);
}

}  // namespace
