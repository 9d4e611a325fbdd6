// The control base, every text-bearing, scrolling and hosting control, and
// every container and layout, refuses a markup attribute whose name or value
// is missing, and keeps reading the next one.
#include "ActiveXUI.h"
#include "ButtonUI.h"
#include "CheckBoxUI.h"
#include "ChildLayoutUI.h"
#include "EditUI.h"
#include "HorizontalLayoutUI.h"
#include "LabelUI.h"
#include "OptionUI.h"
#include "RichEditUI.h"
#include "ScrollBarUI.h"
#include "TabLayoutUI.h"
#include "TextUI.h"
#include "TileLayoutUI.h"
#include "VerticalLayoutUI.h"
#include "WebBrowserUI.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace UiLib;

namespace {

struct ControlCase {
    const wchar_t* type;
    std::function<CControlUI*()> make;
    // Keys of the control's own table, each tried with no value.
    std::vector<const wchar_t*> keys;
};

TEST(NullAttribute, IsRefusedByEveryControl)
{
    const std::vector<ControlCase> cases = {
        {L"ControlUI", [] { return new CControlUI; }, {L"bkcolor", L"padding", L"relativepos", L"visible"}},
        {L"LabelUI", [] { return new CLabelUI; }, {L"align", L"endellipsis", L"textcolor", L"shadowoffset"}},
        {L"TextUI", [] { return new CTextUI; }, {L"align", L"showhtml"}},
        {L"ButtonUI", [] { return new CButtonUI; }, {L"normalimage", L"hotbkcolor", L"hottextcolor"}},
        {L"OptionUI", [] { return new COptionUI; }, {L"group", L"selected", L"selectedbkcolor"}},
        {L"CheckBoxUI", [] { return new CCheckBoxUI; }, {L"group", L"selected"}},
        {L"EditUI", [] { return new CEditUI; }, {L"readonly", L"maxchar", L"nativebkcolor"}},
        {L"ScrollBarUI",
         [] { return new CScrollBarUI; },
         {L"button1normalimage", L"bkhotimage", L"hor", L"range", L"value", L"showbutton1"}},
        {L"RichEditUI",
         [] { return new CRichEditUI; },
         {L"vscrollbar", L"autovscroll", L"multiline", L"readonly", L"align", L"font", L"textcolor"}},
        {L"ActiveXUI", [] { return new CActiveXUI; }, {L"clsid", L"modulename", L"delaycreate"}},
        {L"WebBrowserUI", [] { return new CWebBrowserUI; }, {L"homepage", L"autonavi", L"delaycreate"}},
        {L"ContainerUI",
         [] { return new CContainerUI; },
         {L"inset", L"vscrollbar", L"vscrollbarstyle", L"childpadding"}},
        {L"VerticalLayoutUI", [] { return new CVerticalLayoutUI; }, {L"sepheight", L"sepimm", L"inset"}},
        {L"HorizontalLayoutUI", [] { return new CHorizontalLayoutUI; }, {L"sepwidth", L"sepimm", L"mousechild"}},
        {L"TileLayoutUI", [] { return new CTileLayoutUI; }, {L"itemsize", L"columns", L"hscrollbar"}},
        {L"TabLayoutUI", [] { return new CTabLayoutUI; }, {L"selectedid", L"hscrollbarstyle"}},
        {L"ChildLayoutUI", [] { return new CChildLayoutUI; }, {L"xmlfile", L"childpadding"}},
    };
    for (const ControlCase& test : cases) {
        std::unique_ptr<CControlUI> control(test.make());
        ASSERT_STREQ(test.type, control->GetTypeName());
        control->SetAttribute(nullptr, L"true");
        control->SetAttribute(nullptr, nullptr);
        control->SetAttribute(L"pos", nullptr);
        for (const wchar_t* key : test.keys)
            control->SetAttribute(key, nullptr);
        // The attribute after the refused ones is still read.
        control->SetAttribute(L"name", L"next");
        EXPECT_STREQ(L"next", control->GetName().GetData()) << test.type;
    }
}

// A refused value changes nothing that the same key with a value would set.
TEST(NullAttribute, LeavesTheHostsSettingsAsTheyWere)
{
    CWebBrowserUI browser;
    browser.SetAttribute(L"homepage", L"about:blank");
    browser.SetAttribute(L"homepage", nullptr);
    EXPECT_STREQ(L"about:blank", browser.GetHomePage().GetData());
    browser.SetAttribute(L"autonavi", L"true");
    browser.SetAttribute(L"autonavi", nullptr);
    EXPECT_TRUE(browser.IsAutoNavigate());
    browser.SetAttribute(L"delaycreate", nullptr);
    EXPECT_TRUE(browser.IsDelayCreate());

    CScrollBarUI bar;
    bar.SetAttribute(L"range", L"40");
    bar.SetAttribute(L"range", nullptr);
    EXPECT_EQ(40, bar.GetScrollRange());

    // A button's images and colours read from a missing value would be
    // cleared and black.
    CButtonUI button;
    button.SetAttribute(L"normalimage", L"normal.png");
    button.SetAttribute(L"hotbkcolor", L"#FF112233");
    button.SetAttribute(L"normalimage", nullptr);
    button.SetAttribute(L"hotbkcolor", nullptr);
    EXPECT_STREQ(L"normal.png", button.GetNormalImage().GetData());
    EXPECT_EQ(0xFF112233u, button.GetHotBkColor());
}

}  // namespace
