// The push button: attributes, its state machine driven by real mouse and
// key messages on a window, the "click" and "menu" notifications, and the
// state images and text colours it paints in each state.
#include "ButtonUI.h"
#include "button_window_fixture.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

const DWORD kWhite = 0xFFFFFF;

TEST(ButtonAttributes, ImagesColoursAndMalformedValues)
{
    CButtonUI button;
    EXPECT_STREQ(L"ButtonUI", button.GetTypeName());
    EXPECT_EQ(&button, button.CastByName(L"Button"));
    EXPECT_EQ(static_cast<CLabelUI*>(&button), button.CastByName(L"Label"));
    EXPECT_EQ(nullptr, button.CastByName(L"Option"));
    EXPECT_EQ(static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE), button.GetTextStyle());

    const struct {
        const wchar_t* key;
        const CUiString& (CButtonUI::*get)() const;
    } images[] = {
        {L"normalimage", &CButtonUI::GetNormalImage},     {L"hotimage", &CButtonUI::GetHotImage},
        {L"pushedimage", &CButtonUI::GetPushedImage},     {L"focusedimage", &CButtonUI::GetFocusedImage},
        {L"disabledimage", &CButtonUI::GetDisabledImage}, {L"foreimage", &CButtonUI::GetForeImage},
        {L"hotforeimage", &CButtonUI::GetHotForeImage},
    };
    for (const auto& image : images) {
        const std::wstring value = std::wstring(L"file='") + image.key + L".png'";
        button.SetAttribute(image.key, value.c_str());
        EXPECT_STREQ(value.c_str(), (button.*image.get)().GetData()) << image.key;
        button.SetAttribute(image.key, L"");
        EXPECT_TRUE((button.*image.get)().IsEmpty()) << image.key;
    }

    const struct {
        const wchar_t* key;
        DWORD (CButtonUI::*get)() const;
    } colors[] = {
        {L"hotbkcolor", &CButtonUI::GetHotBkColor},
        {L"hottextcolor", &CButtonUI::GetHotTextColor},
        {L"pushedtextcolor", &CButtonUI::GetPushedTextColor},
        {L"focusedtextcolor", &CButtonUI::GetFocusedTextColor},
    };
    const struct {
        const wchar_t* value;
        DWORD color;
    } values[] = {{L"#FF102030", 0xFF102030}, {L"FF405060", 0xFF405060}, {L"", 0}, {L"#xyz", 0}};
    for (const auto& color : colors) {
        for (const auto& value : values) {
            button.SetAttribute(color.key, value.value);
            EXPECT_EQ(value.color, (button.*color.get)()) << color.key << L" " << value.value;
        }
    }

    // The label's and the control base's keys still apply.
    button.SetAttribute(L"align", L"left");
    EXPECT_EQ(0u, button.GetTextStyle());
    button.SetAttribute(L"textcolor", L"#FF0000FF");
    EXPECT_EQ(0xFF0000FF, button.GetTextColor());
    button.SetAttribute(L"name", L"btn");
    EXPECT_STREQ(L"btn", button.GetName().GetData());
    button.SetAttribute(nullptr, nullptr);
    button.SetAttribute(L"normalimage", nullptr);
}

TEST(ButtonInput, FlagsFollowEnabledAndKeyboardState)
{
    CButtonUI button;
    EXPECT_EQ(kUiFlagSetCursor | kUiFlagTabStop, button.GetInputFlags());
    button.SetKeyboardEnabled(false);
    EXPECT_EQ(kUiFlagSetCursor, button.GetInputFlags());
    button.SetKeyboardEnabled(true);
    button.SetEnabled(false);
    EXPECT_EQ(kUiFlagTabStop, button.GetInputFlags());
    // Without a manager activation still answers, and sends nothing.
    button.SetEnabled(true);
    EXPECT_TRUE(button.TryActivate());
    button.SetShown(false);
    EXPECT_FALSE(button.TryActivate());
}

class ButtonWindow : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        UiTest::RowWindow::SetUp();
        button = new CButtonUI;
        button->SetName(L"btn");
        button->SetText(L"OK");
        other = new CButtonUI;
        other->SetName(L"other");
        row->Add(button);
        row->Add(other);
    }
    bool Has(UINT bits) const { return (button->GetButtonState() & bits) == bits; }
    POINT Outside() const { return Middle(other); }

    CButtonUI* button = nullptr;
    CButtonUI* other = nullptr;
};

TEST_F(ButtonWindow, MeasuresItsFontPlusEight)
{
    Show();
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, manager->GetFont(-1));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(metrics.tmHeight + 8, button->MeasureSize(SIZE{100, 100}).cy);
    button->SetPreferredHeight(30);
    EXPECT_EQ(30, button->MeasureSize(SIZE{100, 100}).cy);
}

TEST_F(ButtonWindow, HotPushedAndClickOnReleaseInside)
{
    Show();
    const LPARAM inside = At(Middle(button));
    Send(WM_MOUSEMOVE, 0, inside);
    EXPECT_TRUE(Has(kUiStateHot));
    EXPECT_FALSE(Has(kUiStatePushed));

    Send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
    EXPECT_TRUE(Has(kUiStatePushed | kUiStateCaptured));
    EXPECT_TRUE(recorder.seen.empty());

    // The click is reported while the button is still held; it lets go
    // once the click has been handled.
    struct StateAtClick : public INotifyUI {
        CButtonUI* button = nullptr;
        std::vector<UINT> states;
        void Notify(UiNotify& notify) override
        {
            if (notify.type == L"click")
                states.push_back(button->GetButtonState());
        }
    } atClick;
    atClick.button = button;
    manager->AddNotifier(&atClick);
    Send(WM_LBUTTONUP, 0, inside);
    manager->RemoveNotifier(&atClick);
    EXPECT_EQ((std::vector<std::wstring>{L"click:btn"}), recorder.Summary());
    ASSERT_EQ(1u, atClick.states.size());
    EXPECT_EQ(kUiStatePushed | kUiStateCaptured, atClick.states[0] & (kUiStatePushed | kUiStateCaptured));
    EXPECT_FALSE(Has(kUiStatePushed));
    EXPECT_FALSE(Has(kUiStateCaptured));
    EXPECT_TRUE(button->HasFocus());

    Send(WM_MOUSEMOVE, 0, At(Outside()));
    EXPECT_FALSE(Has(kUiStateHot));
}

TEST_F(ButtonWindow, DraggingOutShowsItReleasedAndReleaseOutsideDoesNotClick)
{
    Show();
    const LPARAM inside = At(Middle(button));
    Send(WM_MOUSEMOVE, 0, inside);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(Outside()));
    EXPECT_FALSE(Has(kUiStatePushed));
    EXPECT_TRUE(Has(kUiStateCaptured));
    Send(WM_MOUSEMOVE, MK_LBUTTON, inside);
    EXPECT_TRUE(Has(kUiStatePushed));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(Outside()));
    Send(WM_LBUTTONUP, 0, At(Outside()));
    EXPECT_TRUE(recorder.seen.empty());
    EXPECT_EQ(0u, button->GetButtonState() & (kUiStatePushed | kUiStateCaptured | kUiStateHot));

    // A release with no press before it clicks nothing either.
    Send(WM_LBUTTONUP, 0, inside);
    EXPECT_TRUE(recorder.seen.empty());
}

TEST_F(ButtonWindow, SpaceAndReturnActivateTheFocusedButton)
{
    Show();
    manager->SetFocus(button);
    const struct {
        WPARAM key;
        size_t clicks;
    } keys[] = {{VK_SPACE, 1}, {VK_RETURN, 2}, {'A', 2}, {VK_ESCAPE, 2}};
    for (const auto& key : keys) {
        Send(WM_KEYDOWN, key.key);
        Send(WM_KEYUP, key.key);
        EXPECT_EQ(key.clicks, recorder.seen.size()) << key.key;
    }
    EXPECT_EQ(L"click:btn", recorder.Summary().back());

    button->SetKeyboardEnabled(false);
    Send(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(2u, recorder.seen.size());
}

TEST_F(ButtonWindow, DisablingClearsHotAndPushedAndRefusesActivation)
{
    Show();
    const LPARAM inside = At(Middle(button));
    Send(WM_MOUSEMOVE, 0, inside);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
    ASSERT_TRUE(Has(kUiStateHot | kUiStatePushed));
    button->SetEnabled(false);
    EXPECT_EQ(0u, button->GetButtonState());
    Send(WM_LBUTTONUP, 0, inside);
    EXPECT_TRUE(recorder.seen.empty());

    EXPECT_FALSE(button->TryActivate());
    UiEvent key = {};
    key.type = kUiEventKeyDown;
    key.key = VK_SPACE;
    button->HandleEvent(key);
    EXPECT_TRUE(recorder.seen.empty());

    Send(WM_MOUSEMOVE, 0, At(Outside()));
    Send(WM_MOUSEMOVE, 0, inside);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
    EXPECT_EQ(0u, button->GetButtonState());
}

TEST_F(ButtonWindow, ContextMenuAndMouseDisabled)
{
    Show();
    const POINT inside = Middle(button);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, At(inside));
    Send(WM_RBUTTONUP, 0, At(inside));
    EXPECT_TRUE(recorder.seen.empty());
    button->SetContextMenu(true);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, At(inside));
    Send(WM_RBUTTONUP, 0, At(inside));
    EXPECT_EQ((std::vector<std::wstring>{L"menu:btn"}), recorder.Summary());

    // A button deaf to the mouse is never pushed and never clicked by it.
    recorder.seen.clear();
    button->SetMouseEnabled(false);
    UiEvent press = {};
    press.type = kUiEventButtonDown;
    press.mouse = inside;
    button->HandleEvent(press);
    press.type = kUiEventButtonUp;
    button->HandleEvent(press);
    EXPECT_EQ(0u, button->GetButtonState() & kUiStatePushed);
    EXPECT_TRUE(recorder.seen.empty());
}

// The state images as solid colours, so that each state shows as a colour in
// the middle of the button; the fore image is a small square in a corner.
class ButtonImages : public ButtonWindow {
protected:
    void SetUp() override
    {
        ButtonWindow::SetUp();
        UseImages(L"button_test", {{L"normal.png", 0xFFFF0000},
                                   {L"hot.png", 0xFF00FF00},
                                   {L"pushed.png", 0xFF0000FF},
                                   {L"focused.png", 0xFFFFFF00},
                                   {L"disabled.png", 0xFF808080},
                                   {L"fore.png", 0xFF000000},
                                   {L"hotfore.png", 0xFF00FFFF}});
        button->SetNormalImage(L"normal.png");
        button->SetHotImage(L"hot.png");
        button->SetPushedImage(L"pushed.png");
        button->SetFocusedImage(L"focused.png");
        button->SetDisabledImage(L"disabled.png");
        button->SetForeImage(L"file='fore.png' dest='0,0,4,4'");
        Show();
    }
    void PaintButton() { PaintAlone(button); }
    DWORD Centre() const { return CentreOf(button); }
    DWORD Corner() const { return CornerOf(button); }
};

TEST_F(ButtonImages, EachStateShowsItsImageUnderTheForeImage)
{
    const LPARAM inside = At(Middle(button));
    PaintButton();
    EXPECT_EQ(0xFF0000u, Centre());
    EXPECT_EQ(0x000000u, Corner());

    Send(WM_MOUSEMOVE, 0, inside);
    PaintButton();
    EXPECT_EQ(0x00FF00u, Centre());
    EXPECT_EQ(0x000000u, Corner());

    Send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PaintButton();
    EXPECT_EQ(0x0000FFu, Centre());
    EXPECT_EQ(0x000000u, Corner());

    // Held and dragged out: the focus it took on the press shows.
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(Outside()));
    PaintButton();
    EXPECT_EQ(0xFFFF00u, Centre());
    Send(WM_LBUTTONUP, 0, At(Outside()));

    manager->SetFocus(other);
    PaintButton();
    EXPECT_EQ(0xFF0000u, Centre());

    button->SetEnabled(false);
    PaintButton();
    EXPECT_EQ(0x808080u, Centre());
    EXPECT_EQ(0x000000u, Corner());

    // Without a disabled image the normal one stands in.
    button->SetDisabledImage(L"");
    PaintButton();
    EXPECT_EQ(0xFF0000u, Centre());
}

TEST_F(ButtonImages, HotForeImageReplacesTheForeImage)
{
    button->SetHotForeImage(L"file='hotfore.png' dest='0,0,4,4'");
    Send(WM_MOUSEMOVE, 0, At(Middle(button)));
    PaintButton();
    EXPECT_EQ(0x00FF00u, Centre());
    EXPECT_EQ(0x00FFFFu, Corner());

    // A hot fore image that cannot be drawn is dropped, and the fore image
    // does not stand in for it in that paint.
    button->SetHotForeImage(L"file='nothere.png' dest='0,0,4,4'");
    PaintButton();
    EXPECT_TRUE(button->GetHotForeImage().IsEmpty());
    EXPECT_EQ(0x00FF00u, Corner());
    PaintButton();
    EXPECT_EQ(0x000000u, Corner());
}

TEST_F(ButtonImages, HotColourWithoutHotImageFillsAndDrawsNothingMore)
{
    button->SetHotImage(L"");
    button->SetHotBkColor(0xFF123456);
    Send(WM_MOUSEMOVE, 0, At(Middle(button)));
    PaintButton();
    EXPECT_EQ(0x123456u, Centre());
    EXPECT_EQ(0x123456u, Corner());

    // A hot image that fails shows the normal image in the paint that
    // dropped it; the fill comes only with the next one.
    button->SetHotImage(L"nothere.png");
    PaintButton();
    EXPECT_TRUE(button->GetHotImage().IsEmpty());
    EXPECT_EQ(0xFF0000u, Centre());
    EXPECT_EQ(0x000000u, Corner());
    PaintButton();
    EXPECT_EQ(0x123456u, Centre());
}

TEST_F(ButtonImages, MissingImagesAreDroppedAndTheNormalOneShows)
{
    button->SetHotImage(L"nothere.png");
    Send(WM_MOUSEMOVE, 0, At(Middle(button)));
    PaintButton();
    EXPECT_TRUE(button->GetHotImage().IsEmpty());
    EXPECT_EQ(0xFF0000u, Centre());

    // The fore image goes only over a normal image that was drawn: not on a
    // button without one, nor over one that fails.
    Send(WM_MOUSEMOVE, 0, At(Outside()));
    PaintButton();
    EXPECT_EQ(0x000000u, Corner());
    button->SetNormalImage(L"");
    PaintButton();
    EXPECT_EQ(kWhite, Centre());
    EXPECT_EQ(kWhite, Corner());
    button->SetNormalImage(L"nothere.png");
    PaintButton();
    EXPECT_TRUE(button->GetNormalImage().IsEmpty());
    EXPECT_EQ(kWhite, Corner());
    EXPECT_FALSE(button->GetForeImage().IsEmpty());

    // Malformed attribute texts draw nothing and do not crash.
    const wchar_t* malformed[] = {L"file='", L"file='normal.png' dest='1,2", L"'''", L"dest='0,0,9999999,-5'",
                                  L"file='normal.png' corner='-1,-1,-1,-1'"};
    for (const wchar_t* image : malformed) {
        button->SetNormalImage(image);
        PaintButton();
    }
}

// Text colours by state, on a button without images.
class ButtonText : public ButtonWindow {
protected:
    void SetUp() override
    {
        ButtonWindow::SetUp();
        button->SetText(L"WWWW");
        button->SetTextColor(0xFF000000);
        button->SetDisabledTextColor(0xFF808080);
        button->SetHotTextColor(0xFFFF0000);
        button->SetPushedTextColor(0xFF0000FF);
        button->SetFocusedTextColor(0xFF00FF00);
        Show();
    }
    // The colour of the drawn pixel farthest from white.
    DWORD TextColour()
    {
        PaintAlone(button);
        return UiTest::StrongestInk(canvas, button->GetBounds());
    }
    static bool Near(DWORD got, DWORD want)
    {
        for (int shift = 0; shift <= 16; shift += 8) {
            const int a = static_cast<int>((got >> shift) & 0xFF);
            const int b = static_cast<int>((want >> shift) & 0xFF);
            if (a - b > 90 || b - a > 90)
                return false;
        }
        return true;
    }
};

TEST_F(ButtonText, ColourFollowsTheState)
{
    const LPARAM inside = At(Middle(button));
    EXPECT_TRUE(Near(TextColour(), 0x000000)) << std::hex << TextColour();
    Send(WM_MOUSEMOVE, 0, inside);
    EXPECT_TRUE(Near(TextColour(), 0xFF0000)) << std::hex << TextColour();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
    EXPECT_TRUE(Near(TextColour(), 0x0000FF)) << std::hex << TextColour();
    Send(WM_LBUTTONUP, 0, inside);
    Send(WM_MOUSEMOVE, 0, At(Outside()));
    ASSERT_TRUE(button->HasFocus());
    EXPECT_TRUE(Near(TextColour(), 0x00FF00)) << std::hex << TextColour();
    manager->SetFocus(other);
    button->SetEnabled(false);
    EXPECT_TRUE(Near(TextColour(), 0x808080)) << std::hex << TextColour();
}

}  // namespace
