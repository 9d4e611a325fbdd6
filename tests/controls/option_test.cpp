// Options and check boxes: attributes, radio groups kept by the manager,
// toggling, the "selectchanged" notifications through real clicks and keys on
// a window, and the selected state's painting.
#include "CheckBoxUI.h"
#include "DialogBuilder.h"
#include "OptionUI.h"
#include "TextUI.h"
#include "button_window_fixture.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

bool InGroup(CUiManager& manager, const wchar_t* group, CControlUI* control)
{
    const CUiPtrArray* members = manager.GetOptionGroup(group);
    return members != nullptr && members->Find(control) >= 0;
}

TEST(OptionAttributes, ValuesAndMalformedValues)
{
    COptionUI option;
    CCheckBoxUI check;
    EXPECT_STREQ(L"OptionUI", option.GetTypeName());
    EXPECT_STREQ(L"CheckBoxUI", check.GetTypeName());
    EXPECT_EQ(&option, option.CastByName(L"Option"));
    EXPECT_EQ(static_cast<COptionUI*>(&check), check.CastByName(L"Option"));
    EXPECT_EQ(static_cast<CButtonUI*>(&option), option.CastByName(L"Button"));
    EXPECT_EQ(nullptr, option.CastByName(L"CheckBox"));

    option.SetAttribute(L"group", L"g");
    EXPECT_STREQ(L"g", option.GetGroup().GetData());
    const struct {
        const wchar_t* value;
        bool selected;
    } selections[] = {{L"true", true}, {L"True", false}, {L"true", true}, {L"", false}, {L"1", false}};
    for (const auto& s : selections) {
        option.SetAttribute(L"selected", s.value);
        EXPECT_EQ(s.selected, option.IsSelected()) << s.value;
        EXPECT_EQ(s.selected, (option.GetButtonState() & kUiStateSelected) != 0) << s.value;
    }

    option.SetAttribute(L"selectedimage", L"sel.png");
    option.SetAttribute(L"selectedhotimage", L"selhot.png");
    option.SetAttribute(L"foreimage", L"fore.png");
    EXPECT_STREQ(L"sel.png", option.GetSelectedImage().GetData());
    EXPECT_STREQ(L"selhot.png", option.GetSelectedHotImage().GetData());
    EXPECT_STREQ(L"fore.png", option.GetOptionForeImage().GetData());
    EXPECT_TRUE(option.GetForeImage().IsEmpty());

    const struct {
        const wchar_t* value;
        DWORD color;
    } colors[] = {{L"#FF102030", 0xFF102030}, {L"FF405060", 0xFF405060}, {L"", 0}, {L"#g", 0}};
    for (const auto& c : colors) {
        option.SetAttribute(L"selectedbkcolor", c.value);
        EXPECT_EQ(c.color, option.GetSelectedBkColor()) << c.value;
        option.SetAttribute(L"selectedtextcolor", c.value);
        EXPECT_EQ(c.color, option.GetSelectedTextColor()) << c.value;
    }

    // The button's keys still apply; nulls are ignored.
    option.SetAttribute(L"hotimage", L"hot.png");
    EXPECT_STREQ(L"hot.png", option.GetHotImage().GetData());
    option.SetAttribute(nullptr, L"x");
    option.SetAttribute(L"group", nullptr);
    EXPECT_STREQ(L"g", option.GetGroup().GetData());
}

TEST(OptionAlone, TogglesWithoutAManager)
{
    CCheckBoxUI check;
    EXPECT_FALSE(check.GetCheck());
    EXPECT_TRUE(check.TryActivate());
    EXPECT_TRUE(check.GetCheck());
    EXPECT_TRUE(check.TryActivate());
    EXPECT_FALSE(check.GetCheck());

    // Disabling keeps only the selected bit.
    check.SetSelected(true);
    check.SetEnabled(false);
    EXPECT_EQ(kUiStateSelected, check.GetButtonState());
    EXPECT_FALSE(check.TryActivate());
    EXPECT_TRUE(check.GetCheck());
    check.SetSelected(false);
    check.SetEnabled(false);
    EXPECT_EQ(0u, check.GetButtonState());
}

// Three options of group "g" and a check box of no group, in a window.
class OptionWindow : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        UiTest::RowWindow::SetUp();
        const wchar_t* names[] = {L"a", L"b", L"c"};
        for (int i = 0; i < 3; ++i) {
            options[i] = new COptionUI;
            options[i]->SetName(names[i]);
            options[i]->SetText(names[i]);
            options[i]->SetGroup(L"g");
            row->Add(options[i]);
        }
        check = new CCheckBoxUI;
        check->SetName(L"check");
        row->Add(check);
        options[0]->SetSelected(true);
        Show();
    }
    std::vector<bool> Selection() const
    {
        return {options[0]->IsSelected(), options[1]->IsSelected(), options[2]->IsSelected()};
    }

    COptionUI* options[3] = {};
    CCheckBoxUI* check = nullptr;
};

TEST_F(OptionWindow, AttachingJoinsTheManagersGroup)
{
    for (COptionUI* option : options)
        EXPECT_TRUE(InGroup(*manager, L"g", option));
    EXPECT_EQ(3, manager->GetOptionGroup(L"g")->GetSize());
}

TEST_F(OptionWindow, SelectingOneInAGroupClearsTheOthersAndOnlyItReports)
{
    Click(options[1]);
    EXPECT_EQ((std::vector<bool>{false, true, false}), Selection());
    EXPECT_EQ((std::vector<std::wstring>{L"click:b", L"selectchanged:b"}), recorder.Summary());
    EXPECT_EQ(0u, recorder.seen[1].wParam);

    // Clicking the selected one keeps it, and reports no change.
    recorder.seen.clear();
    Click(options[1]);
    EXPECT_EQ((std::vector<bool>{false, true, false}), Selection());
    EXPECT_EQ((std::vector<std::wstring>{L"click:b"}), recorder.Summary());

    // Selecting in code works the same way.
    recorder.seen.clear();
    options[2]->SetAttribute(L"selected", L"true");
    EXPECT_EQ((std::vector<bool>{false, false, true}), Selection());
    EXPECT_EQ((std::vector<std::wstring>{L"selectchanged:c"}), recorder.Summary());
    // Deselecting a grouped option reports nothing.
    recorder.seen.clear();
    options[2]->SetSelected(false);
    EXPECT_TRUE(recorder.seen.empty());
}

TEST_F(OptionWindow, KeysSelectTheFocusedOption)
{
    manager->SetFocus(options[2]);
    Send(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ((std::vector<bool>{false, false, true}), Selection());
    EXPECT_EQ((std::vector<std::wstring>{L"click:c", L"selectchanged:c"}), recorder.Summary());
}

TEST_F(OptionWindow, CheckBoxTogglesAndReportsBothWays)
{
    Click(check);
    EXPECT_TRUE(check->GetCheck());
    Click(check);
    EXPECT_FALSE(check->GetCheck());
    EXPECT_EQ(
        (std::vector<std::wstring>{L"click:check", L"selectchanged:check", L"click:check", L"selectchanged:check"}),
        recorder.Summary());
    // A check box never joins a group, so the options are untouched.
    EXPECT_EQ((std::vector<bool>{true, false, false}), Selection());

    // A press dragged off it changes nothing.
    Send(WM_MOUSEMOVE, 0, At(Middle(check)));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(Middle(check)));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(Middle(options[0])));
    Send(WM_LBUTTONUP, 0, At(Middle(options[0])));
    EXPECT_FALSE(check->GetCheck());
    EXPECT_EQ(4u, recorder.seen.size());
}

TEST_F(OptionWindow, ChangingTheGroupMovesItBetweenTheManagersGroups)
{
    options[1]->SetGroup(L"h");
    EXPECT_FALSE(InGroup(*manager, L"g", options[1]));
    EXPECT_TRUE(InGroup(*manager, L"h", options[1]));
    // Now alone in its group: selecting it leaves "g" as it was.
    Click(options[1]);
    EXPECT_EQ((std::vector<bool>{true, true, false}), Selection());

    options[1]->SetGroup(nullptr);
    EXPECT_TRUE(options[1]->GetGroup().IsEmpty());
    EXPECT_EQ(nullptr, manager->GetOptionGroup(L"h"));
    // Without a group it toggles.
    Click(options[1]);
    EXPECT_FALSE(options[1]->IsSelected());

    // A deleted option leaves its group.
    COptionUI* gone = options[2];
    ASSERT_TRUE(row->Remove(gone));
    options[2] = nullptr;
    MSG msg;
    while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_FALSE(InGroup(*manager, L"g", gone));
    EXPECT_EQ(1, manager->GetOptionGroup(L"g")->GetSize());
}

TEST_F(OptionWindow, MovingToAnotherManagerLeavesTheOldGroup)
{
    CUiManager other;
    COptionUI* moved = options[1];
    moved->AttachToManager(&other, nullptr, true);
    EXPECT_FALSE(InGroup(*manager, L"g", moved));
    EXPECT_TRUE(InGroup(other, L"g", moved));
    // Selecting in the old window no longer reaches it.
    Click(options[2]);
    EXPECT_EQ((std::vector<bool>{false, false, true}), Selection());
    moved->AttachToManager(manager, row, true);
    EXPECT_FALSE(InGroup(other, L"g", moved));
    EXPECT_TRUE(InGroup(*manager, L"g", moved));
}

// The selected state painted with solid images and colours.
class OptionPaint : public OptionWindow {
protected:
    void SetUp() override
    {
        OptionWindow::SetUp();
        UseImages(L"option_test", {{L"normal.png", 0xFFFF0000},
                                   {L"hot.png", 0xFF00FF00},
                                   {L"sel.png", 0xFF0000FF},
                                   {L"selhot.png", 0xFFFFFF00},
                                   {L"fore.png", 0xFF000000}});
        option = options[0];
        option->SetNormalImage(L"normal.png");
        option->SetHotImage(L"hot.png");
        option->SetPushedImage(L"hot.png");
        option->SetSelectedImage(L"sel.png");
        option->SetSelectedHotImage(L"selhot.png");
        option->SetOptionForeImage(L"file='fore.png' dest='0,0,4,4'");
    }
    void PaintOption() { PaintAlone(option); }
    DWORD Centre() const { return CentreOf(option); }
    DWORD Corner() const { return CornerOf(option); }

    COptionUI* option = nullptr;
};

TEST_F(OptionPaint, SelectedImagesByHoverWithTheForeImageOnTop)
{
    PaintOption();
    EXPECT_EQ(0x0000FFu, Centre());
    EXPECT_EQ(0x000000u, Corner());

    Send(WM_MOUSEMOVE, 0, At(Middle(option)));
    PaintOption();
    EXPECT_EQ(0xFFFF00u, Centre());

    // Held down it still shows the selection, never a pushed look.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(Middle(option)));
    PaintOption();
    EXPECT_EQ(0xFFFF00u, Centre());
    Send(WM_LBUTTONUP, 0, At(Middle(option)));

    // Not selected: the button's state images.
    option->SetSelected(false);
    PaintOption();
    EXPECT_EQ(0x00FF00u, Centre());
    EXPECT_EQ(0x000000u, Corner());
    Send(WM_MOUSEMOVE, 0, At(Middle(options[2])));
    PaintOption();
    EXPECT_EQ(0xFF0000u, Centre());
}

TEST_F(OptionPaint, SelectedColourFillsWithoutAnImageAndHidesTheForeImage)
{
    option->SetSelectedImage(L"");
    option->SetSelectedHotImage(L"");
    option->SetSelectedBkColor(0xFF123456);
    PaintOption();
    EXPECT_EQ(0x123456u, Centre());
    EXPECT_EQ(0x123456u, Corner());

    // A missing selected image is dropped and the button's image shows;
    // from then on the colour does.
    option->SetSelectedImage(L"missing.png");
    PaintOption();
    EXPECT_TRUE(option->GetSelectedImage().IsEmpty());
    EXPECT_EQ(0xFF0000u, Centre());
    PaintOption();
    EXPECT_EQ(0x123456u, Centre());
    option->SetSelectedBkColor(0);
    PaintOption();
    EXPECT_EQ(0xFF0000u, Centre());
}

TEST_F(OptionPaint, SelectedTextColourLastsOnePaintOnly)
{
    option->SetNormalImage(L"");
    option->SetSelectedImage(L"");
    option->SetSelectedHotImage(L"");
    option->SetOptionForeImage(L"");
    option->SetText(L"WWWW");
    option->SetTextColor(0xFF000000);
    option->SetSelectedTextColor(0xFFFF0000);
    PaintOption();
    const DWORD strongest = UiTest::StrongestInk(canvas, option->GetBounds());
    EXPECT_GT(static_cast<int>((strongest >> 16) & 0xFF), 200);
    EXPECT_LT(static_cast<int>((strongest >> 8) & 0xFF), 100);
    EXPECT_EQ(0xFF000000, option->GetTextColor());
}

}  // namespace

namespace {

// Makes this library's text and button controls for the dialog builder.
class ControlFactory : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* className) override
    {
        if (wcscmp(className, L"Label") == 0)
            return new CLabelUI;
        if (wcscmp(className, L"Text") == 0)
            return new CTextUI;
        if (wcscmp(className, L"Button") == 0)
            return new CButtonUI;
        if (wcscmp(className, L"Option") == 0)
            return new COptionUI;
        if (wcscmp(className, L"CheckBox") == 0)
            return new CCheckBoxUI;
        return nullptr;
    }
};

class MarkupWindow : public UiTest::RowWindow {};

TEST_F(MarkupWindow, ControlsFromMarkupTakeTheirAttributesAndMalformedOnesDoNoHarm)
{
    const wchar_t* markup =
        L"<Window><HorizontalLayout>"
        L"<Option name=\"a\" group=\"g\" selected=\"true\" text=\"A\" selectedbkcolor=\"#FF00FF00\"/>"
        L"<Option name=\"b\" group=\"g\" selected=\"true\" selectedtextcolor=\"#q\" />"
        L"<CheckBox name=\"c\" selected=\"yes\" foreimage=\"file='\" />"
        L"<Button name=\"btn\" text=\"go\" hotbkcolor=\"#zz\" normalimage=\"file='x.png' dest='1,\" align=\"\" />"
        L"<Label name=\"lbl\" text=\"&lt;b&gt;bold\" showhtml=\"true\" textpadding=\",,,\" font=\"-7\""
        L" shadowoffset=\"1\" rhaa=\"99\" enabledeffect=\"maybe\"/>"
        L"<Text name=\"txt\" text=\"&lt;a x&gt;go\" showhtml=\"true\"/>"
        L"</HorizontalLayout></Window>";
    ControlFactory factory;
    CDialogBuilder builder;
    CControlUI* built = builder.Build(markup, nullptr, &factory, manager);
    ASSERT_NE(nullptr, built);
    ASSERT_TRUE(row->Add(built));
    Show();

    auto* a = static_cast<COptionUI*>(manager->FindControlByName(L"a")->CastByName(L"Option"));
    auto* b = static_cast<COptionUI*>(manager->FindControlByName(L"b")->CastByName(L"Option"));
    auto* c = static_cast<CCheckBoxUI*>(manager->FindControlByName(L"c"));
    auto* label = static_cast<CLabelUI*>(manager->FindControlByName(L"lbl")->CastByName(L"Label"));
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    ASSERT_STREQ(L"CheckBoxUI", c->GetTypeName());
    ASSERT_NE(nullptr, label);
    // The later selection in the group wins.
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(c->GetCheck());
    EXPECT_EQ(0xFF00FF00, a->GetSelectedBkColor());
    EXPECT_EQ(0u, b->GetSelectedTextColor());
    EXPECT_TRUE(label->IsShowHtml());
    EXPECT_FALSE(label->IsEffectsEnabled());
    EXPECT_EQ(0, label->GetTextRenderingHint());
    EXPECT_EQ(2, manager->GetOptionGroup(L"g")->GetSize());

    Click(a);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_FALSE(b->IsSelected());
    EXPECT_EQ((std::vector<std::wstring>{L"click:a", L"selectchanged:a"}), recorder.Summary());
    Paint();
}

}  // namespace
