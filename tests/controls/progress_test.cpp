// The progress bar (limits made consistent at paint, the part of the fore
// image that the value fills, stretched or cut, sideways and upward) and the
// slider (thumb placement, dragging, clicks, the wheel and "valuechanged").
#include "HorizontalLayoutUI.h"
#include "ProgressUI.h"
#include "SliderUI.h"
#include "UiManager.h"
#include "button_window_fixture.h"
#include "event_recording_parent.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

const DWORD kRed = 0xFF0000;
const DWORD kBlue = 0x0000FF;
const DWORD kGreen = 0x00FF00;
const DWORD kWhite = 0xFFFFFF;

// An image whose first half (columns, or rows when upright) is red and the
// rest blue.
std::string HalvesPng(int width, int height, bool upright)
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool first = upright ? y < height / 2 : x < width / 2;
            pixels.push_back(first ? 0xFFFF0000 : 0xFF0000FF);
        }
    }
    return UiTest::EncodePng(width, height, pixels);
}

TEST(Progress, AttributesAndDefaults)
{
    CProgressUI bar;
    EXPECT_STREQ(L"ProgressUI", bar.GetTypeName());
    EXPECT_EQ(&bar, bar.CastByName(L"Progress"));
    EXPECT_NE(nullptr, bar.CastByName(L"Label"));
    EXPECT_EQ(12, bar.GetPreferredHeight());
    EXPECT_EQ(static_cast<UINT>(DT_CENTER | DT_SINGLELINE), bar.GetTextStyle());
    EXPECT_TRUE(bar.IsHorizontal());
    EXPECT_TRUE(bar.IsStretchForeImage());
    EXPECT_EQ(0, bar.GetMinValue());
    EXPECT_EQ(100, bar.GetMaxValue());

    bar.SetAttribute(L"min", L"-20");
    bar.SetAttribute(L"max", L"-30");
    bar.SetAttribute(L"value", L"7");
    bar.SetAttribute(L"hor", L"false");
    bar.SetAttribute(L"isstretchfore", L"false");
    bar.SetAttribute(L"foreimage", L"fore.png");
    bar.SetAttribute(L"text", L"50%");
    // The setters keep what they are given; painting makes it consistent.
    EXPECT_EQ(-20, bar.GetMinValue());
    EXPECT_EQ(-30, bar.GetMaxValue());
    EXPECT_EQ(7, bar.GetValue());
    EXPECT_FALSE(bar.IsHorizontal());
    EXPECT_FALSE(bar.IsStretchForeImage());
    EXPECT_EQ(L"fore.png", std::wstring(bar.GetForeImage().GetData()));
    EXPECT_EQ(L"50%", std::wstring(bar.GetText().GetData()));

    CSliderUI slider;
    EXPECT_STREQ(L"SliderUI", slider.GetTypeName());
    EXPECT_EQ(&slider, slider.CastByName(L"Slider"));
    EXPECT_NE(nullptr, slider.CastByName(L"Progress"));
    slider.SetAttribute(L"thumbsize", L"14,8");
    slider.SetAttribute(L"step", L"5");
    slider.SetAttribute(L"thumbimage", L"a.png");
    slider.SetAttribute(L"thumbhotimage", L"b.png");
    slider.SetAttribute(L"thumbpushedimage", L"c.png");
    slider.SetAttribute(L"max", L"40");
    EXPECT_EQ(14, slider.GetThumbSize().cx);
    EXPECT_EQ(8, slider.GetThumbSize().cy);
    EXPECT_EQ(5, slider.GetChangeStep());
    EXPECT_EQ(L"a.png", std::wstring(slider.GetThumbImage().GetData()));
    EXPECT_EQ(L"b.png", std::wstring(slider.GetThumbHotImage().GetData()));
    EXPECT_EQ(L"c.png", std::wstring(slider.GetThumbPushedImage().GetData()));
    EXPECT_EQ(40, slider.GetMaxValue());
    EXPECT_EQ(kUiFlagSetCursor, slider.GetInputFlags());
    slider.SetEnabled(false);
    EXPECT_EQ(0u, slider.GetInputFlags());
}

TEST(Progress, PaintingMakesTheLimitsConsistent)
{
    struct Case {
        int minimum;
        int maximum;
        int value;
        int expectedMaximum;
        int expectedValue;
    };
    const Case cases[] = {
        {50, 50, 80, 51, 51}, {0, 100, 150, 100, 100},   {0, 100, -5, 100, 0},
        {10, 0, 5, 11, 10},   {-50, -10, -20, -10, -20}, {INT_MAX, INT_MAX, 0, INT_MAX, INT_MAX - 1},
    };
    UiTest::Canvas canvas(10, 10);
    for (const Case& c : cases) {
        CProgressUI bar;
        bar.SetMinValue(c.minimum);
        bar.SetMaxValue(c.maximum);
        bar.SetValue(c.value);
        bar.PaintStateImage(canvas.dc());
        EXPECT_EQ(c.expectedMaximum, bar.GetMaxValue()) << c.minimum << " " << c.maximum << " " << c.value;
        EXPECT_EQ(c.expectedValue, bar.GetValue()) << c.minimum << " " << c.maximum << " " << c.value;
        EXPECT_LT(bar.GetMinValue(), bar.GetMaxValue());
    }
}

TEST(Slider, ThumbSitsWhereTheValueIs)
{
    struct Case {
        const char* what;
        bool horizontal;
        RECT bounds;
        int minimum;
        int maximum;
        int value;
        RECT thumb;
    };
    const Case cases[] = {
        {"left end", true, {10, 20, 220, 40}, 0, 100, 0, {10, 25, 20, 35}},
        {"quarter", true, {10, 20, 220, 40}, 0, 100, 25, {60, 25, 70, 35}},
        {"right end", true, {10, 20, 220, 40}, 0, 100, 100, {210, 25, 220, 35}},
        {"beyond", true, {10, 20, 220, 40}, 0, 100, 180, {210, 25, 220, 35}},
        {"empty range", true, {10, 20, 220, 40}, 30, 30, 30, {10, 25, 20, 35}},
        {"bottom", false, {0, 0, 20, 110}, 0, 100, 0, {5, 100, 15, 110}},
        {"upright quarter", false, {0, 0, 20, 110}, 0, 100, 25, {5, 75, 15, 85}},
        {"top", false, {0, 0, 20, 110}, 0, 100, 100, {5, 0, 15, 10}},
    };
    for (const Case& c : cases) {
        CSliderUI slider;
        slider.SetHorizontal(c.horizontal);
        slider.SetMinValue(c.minimum);
        slider.SetMaxValue(c.maximum);
        slider.SetValue(c.value);
        slider.SetBounds(c.bounds);
        const RECT thumb = slider.GetThumbRect();
        EXPECT_TRUE(EqualRect(&c.thumb, &thumb))
            << c.what << ": " << thumb.left << "," << thumb.top << "," << thumb.right << "," << thumb.bottom;
    }

    // A release reads the value at the point against the same limits: with
    // the minimum above the maximum, the range painting will make of them.
    CSliderUI swapped;
    swapped.SetMinValue(80);
    swapped.SetMaxValue(20);
    swapped.SetValue(80);
    swapped.SetBounds(RECT{10, 20, 220, 40});
    UiEvent release = UiTest::EventAt(kUiEventButtonUp, POINT{115, 30});
    swapped.ProcessEvent(release);
    EXPECT_EQ(80, swapped.GetValue());
}

TEST(Slider, EventsItDoesNotTakeGoToItsParent)
{
    UiTest::EventRecordingParent parent;
    CSliderUI* slider = new CSliderUI;
    parent.Hold(slider);
    slider->SetBounds(RECT{0, 0, 210, 12});
    auto passes = [&](int type, POINT pt) { return parent.PassedUp(*slider, type, pt); };
    const POINT onThumb = {5, 6};
    const POINT offThumb = {100, 6};
    EXPECT_TRUE(passes(kUiEventButtonDown, offThumb));
    EXPECT_TRUE(passes(kUiEventDoubleClick, offThumb));
    EXPECT_TRUE(passes(kUiEventMouseMove, offThumb));
    EXPECT_FALSE(passes(kUiEventMouseEnter, offThumb));
    EXPECT_FALSE(passes(kUiEventButtonDown, onThumb));
    EXPECT_FALSE(passes(kUiEventMouseMove, offThumb));
    EXPECT_FALSE(passes(kUiEventButtonUp, offThumb));
    EXPECT_FALSE(passes(kUiEventMouseLeave, offThumb));
    EXPECT_FALSE(passes(kUiEventContextMenu, offThumb));
    slider->SetEnabled(false);
    for (int type : {kUiEventButtonDown, kUiEventDoubleClick, kUiEventMouseEnter, kUiEventMouseLeave})
        EXPECT_TRUE(passes(type, onThumb)) << type;
}

TEST(Progress, NullAttributeNamesOrValuesAreRefused)
{
    CProgressUI progress;
    CSliderUI slider;
    for (CProgressUI* bar : {&progress, static_cast<CProgressUI*>(&slider)}) {
        bar->SetAttribute(L"value", L"40");
        bar->SetAttribute(L"value", nullptr);
        bar->SetAttribute(nullptr, L"70");
        EXPECT_EQ(40, bar->GetValue()) << bar->GetTypeName();
        bar->SetAttribute(L"foreimage", L"fore.png");
        bar->SetAttribute(L"foreimage", nullptr);
        EXPECT_STREQ(L"fore.png", bar->GetForeImage().GetData()) << bar->GetTypeName();
    }
    slider.SetAttribute(L"step", L"5");
    slider.SetAttribute(L"step", nullptr);
    slider.SetAttribute(L"thumbsize", nullptr);
    EXPECT_EQ(5, slider.GetChangeStep());
    EXPECT_EQ(10, slider.GetThumbSize().cx);
}

// Records the "valuechanged" notifications with the value at that moment.
class ValueLog : public INotifyUI {
public:
    void Notify(UiNotify& notify) override
    {
        if (notify.type == L"valuechanged")
            values.push_back(static_cast<CSliderUI*>(notify.sender)->GetValue());
    }
    std::vector<int> values;
};

// The shared row window holding a 210-pixel slider (values 0..100, 10 by 10
// thumb) and a spacer.
class SliderWindow : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        RowWindow::SetUp();
        ASSERT_NE(nullptr, hwnd);
        UseImages(L"uilib_progress_test",
                  {{L"red.png", 0xFFFF0000}, {L"blue.png", 0xFF0000FF}, {L"green.png", 0xFF00FF00}});
        const std::wstring folder = UiTest::WorkFolder(L"uilib_progress_test");
        ASSERT_TRUE(testfiles::WriteBytes(folder + L"wide.png", HalvesPng(200, 12, false)));
        ASSERT_TRUE(testfiles::WriteBytes(folder + L"tall.png", HalvesPng(12, 100, true)));
        manager->AddNotifier(&changes);
        slider = new CSliderUI;
        slider->SetPreferredWidth(210);
        row->Add(slider);
        row->Add(new CControlUI);
        Show();
    }
    void Wheel(short delta)
    {
        POINT pt = {100, 6};
        ClientToScreen(hwnd, &pt);
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), MAKELPARAM(pt.x, pt.y));
    }
    // The thumb colour on a fresh paint of the slider.
    DWORD ThumbColor(POINT at)
    {
        PaintAlone(slider);
        return canvas.At(at.x, at.y);
    }

    CSliderUI* slider = nullptr;
    ValueLog changes;
};

TEST_F(SliderWindow, ForeImageFillsTheValuesShareStretchedOrCut)
{
    struct Case {
        const char* what;
        bool horizontal;
        bool stretch;
        RECT bounds;
        const wchar_t* image;
        POINT probe;
        DWORD expected;
    };
    // 200 wide, value 25: the fill is (0, 0, 50, 12). Upright, 100 high: (0, 75, 12, 100).
    const Case cases[] = {
        {"stretched start", true, true, {0, 0, 200, 12}, L"wide.png", {10, 6}, kRed},
        {"stretched end", true, true, {0, 0, 200, 12}, L"wide.png", {40, 6}, kBlue},
        {"cut", true, false, {0, 0, 200, 12}, L"wide.png", {40, 6}, kRed},
        {"beyond the fill", true, true, {0, 0, 200, 12}, L"wide.png", {60, 6}, kWhite},
        {"upright cut", false, false, {0, 0, 12, 100}, L"tall.png", {6, 80}, kBlue},
        {"upright stretched", false, true, {0, 0, 12, 100}, L"tall.png", {6, 76}, kRed},
        {"above the fill", false, true, {0, 0, 12, 100}, L"tall.png", {6, 70}, kWhite},
    };
    for (const Case& c : cases) {
        CProgressUI bar;
        bar.AttachToManager(manager, nullptr, true);
        bar.SetHorizontal(c.horizontal);
        bar.SetStretchForeImage(c.stretch);
        bar.SetForeImage(c.image);
        bar.SetValue(25);
        bar.SetBounds(c.bounds);
        canvas.Fill(kWhite);
        bar.Paint(canvas.dc(), c.bounds);
        EXPECT_EQ(c.expected, canvas.At(c.probe.x, c.probe.y)) << c.what;
    }

    // An empty range paints the bar full; a missing image is dropped.
    CProgressUI full;
    full.AttachToManager(manager, nullptr, true);
    full.SetForeImage(L"wide.png");
    full.SetMinValue(50);
    full.SetMaxValue(50);
    full.SetValue(80);
    full.SetBounds(RECT{0, 0, 200, 12});
    canvas.Fill(kWhite);
    full.Paint(canvas.dc(), full.GetBounds());
    EXPECT_EQ(kBlue, canvas.At(199, 6));
    full.SetForeImage(L"missing.png");
    full.Paint(canvas.dc(), full.GetBounds());
    EXPECT_TRUE(full.GetForeImage().IsEmpty());
}

TEST_F(SliderWindow, DraggingTheThumbMovesTheValueAndReportsOnRelease)
{
    ASSERT_EQ(210, slider->GetBoundsWidth());
    const RECT thumb = slider->GetThumbRect();
    const POINT grip = {(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    EXPECT_NE(0u, slider->GetState() & CSliderUI::kStateCaptured);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{105, grip.y}));
    EXPECT_EQ(50, slider->GetValue());
    EXPECT_TRUE(changes.values.empty());
    // Past the ends the value stops at the limits.
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{280, grip.y}));
    EXPECT_EQ(100, slider->GetValue());
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{-40, grip.y}));
    EXPECT_EQ(0, slider->GetValue());
    Send(WM_LBUTTONUP, 0, At(POINT{55, grip.y}));
    EXPECT_EQ(25, slider->GetValue());
    EXPECT_EQ(std::vector<int>{25}, changes.values);
    EXPECT_EQ(0u, slider->GetState() & CSliderUI::kStateCaptured);

    // A press off the thumb drags nothing, but its release sets the value.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(POINT{150, grip.y}));
    EXPECT_EQ(0u, slider->GetState() & CSliderUI::kStateCaptured);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{180, grip.y}));
    EXPECT_EQ(25, slider->GetValue());
    Send(WM_LBUTTONUP, 0, At(POINT{160, grip.y}));
    EXPECT_EQ(77, slider->GetValue());
    EXPECT_EQ((std::vector<int>{25, 77}), changes.values);

    // A disabled slider keeps its value.
    slider->SetEnabled(false);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(POINT{10, grip.y}));
    Send(WM_LBUTTONUP, 0, At(POINT{10, grip.y}));
    Wheel(WHEEL_DELTA);
    EXPECT_EQ(77, slider->GetValue());
    EXPECT_EQ(2u, changes.values.size());
}

TEST_F(SliderWindow, WheelStepsTheValueAndPaintPullsItBackIntoRange)
{
    slider->SetChangeStep(5);
    slider->SetValue(97);
    Wheel(WHEEL_DELTA);
    EXPECT_EQ(102, slider->GetValue());
    Wheel(-WHEEL_DELTA);
    Wheel(-WHEEL_DELTA);
    EXPECT_EQ(92, slider->GetValue());
    EXPECT_EQ((std::vector<int>{102, 97, 92}), changes.values);
    Wheel(WHEEL_DELTA);
    Wheel(WHEEL_DELTA);
    PaintAlone(slider);
    EXPECT_EQ(100, slider->GetValue());

    // Only the low word of the event's wParam gives the direction; any
    // other direction is not a step.
    struct Case {
        WPARAM wParam;
        int expected;
    };
    for (const Case& c :
         {Case{MAKEWPARAM(1, 0x77), 95}, Case{MAKEWPARAM(0, 0xFFFF), 105}, Case{MAKEWPARAM(2, 0), 100}}) {
        slider->SetValue(100);
        UiEvent event = {};
        event.type = kUiEventScrollWheel;
        event.sender = slider;
        event.wParam = c.wParam;
        slider->HandleEvent(event);
        EXPECT_EQ(c.expected, slider->GetValue()) << std::hex << c.wParam;
    }
}

TEST_F(SliderWindow, ThumbImageFollowsHoverAndPress)
{
    slider->SetThumbImage(L"blue.png");
    slider->SetThumbHotImage(L"red.png");
    slider->SetThumbPushedImage(L"green.png");
    slider->SetValue(50);
    const RECT thumb = slider->GetThumbRect();
    const POINT grip = {(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    EXPECT_EQ(kBlue, ThumbColor(grip));
    Send(WM_MOUSEMOVE, 0, At(grip));
    EXPECT_NE(0u, slider->GetState() & CSliderUI::kStateHot);
    EXPECT_EQ(kRed, ThumbColor(grip));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    EXPECT_EQ(kGreen, ThumbColor(grip));
    Send(WM_LBUTTONUP, 0, At(grip));
    Send(WM_MOUSEMOVE, 0, At(POINT{280, 30}));
    EXPECT_EQ(0u, slider->GetState());
    EXPECT_EQ(kBlue, ThumbColor(grip));
    // The pushed image that fails is dropped, and the normal one drawn.
    slider->SetThumbPushedImage(L"missing.png");
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    EXPECT_EQ(kBlue, ThumbColor(grip));
    EXPECT_TRUE(slider->GetThumbPushedImage().IsEmpty());
    Send(WM_LBUTTONUP, 0, At(grip));
}

}  // namespace
