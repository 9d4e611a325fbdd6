// The label and the text control: their attributes, malformed values
// included, measuring against the platform's own text metrics, painting
// into a memory DC, and the links of the text control driven by the mouse.
#include "LabelUI.h"
#include "TextUI.h"
#include "button_window_fixture.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace UiLib;
using UiTest::Canvas;
using UiTest::StrongestInk;

namespace {

const DWORD kWhite = 0xFFFFFF;
const int kLabelWidth = 240;
const int kLabelHeight = 40;
const RECT kAll = {0, 0, kLabelWidth, kLabelHeight};

// The box of every pixel that is not white; empty when nothing was drawn.
RECT InkBounds(const Canvas& canvas, int width, int height)
{
    RECT box = {width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (canvas.At(x, y) == kWhite)
                continue;
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    if (box.right == 0)
        SetRectEmpty(&box);
    return box;
}

int Red(DWORD c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}
int Green(DWORD c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}

SIZE Extent(HDC dc, HFONT font, const wchar_t* text)
{
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    return size;
}

int FontHeight(HDC dc, HFONT font)
{
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmHeight;
}

struct AlignCase {
    const wchar_t* value;
    UINT style;
};

TEST(LabelAttributes, AlignWordsApplyInTurnFromTheInitialStyle)
{
    const AlignCase cases[] = {
        {L"left", 0},
        {L"center", DT_CENTER | DT_VCENTER},
        {L"right", DT_RIGHT},
        {L"top", DT_SINGLELINE},
        {L"vcenter", DT_CENTER | DT_VCENTER | DT_SINGLELINE},
        {L"bottom", DT_BOTTOM | DT_SINGLELINE},
        // "vcenter" also contains "center", and sets DT_CENTER itself.
        {L"right vcenter", DT_RIGHT | DT_CENTER | DT_VCENTER | DT_SINGLELINE},
        {L"left,vcenter", DT_CENTER | DT_VCENTER | DT_SINGLELINE},
        {L"center bottom", DT_CENTER | DT_BOTTOM | DT_SINGLELINE},
        {L"", DT_VCENTER},
        {L"LEFT", DT_VCENTER},
        {L"\x4E2D\x6587", DT_VCENTER},
    };
    for (const AlignCase& c : cases) {
        CLabelUI label;
        label.SetAttribute(L"align", c.value);
        EXPECT_EQ(c.style, label.GetTextStyle()) << c.value;
    }
}

TEST(LabelAttributes, ValuesAndMalformedValues)
{
    CLabelUI label;
    EXPECT_EQ(static_cast<UINT>(DT_VCENTER), label.GetTextStyle());
    EXPECT_EQ(-1, label.GetFont());

    label.SetAttribute(L"endellipsis", L"true");
    EXPECT_EQ(static_cast<UINT>(DT_VCENTER | DT_END_ELLIPSIS), label.GetTextStyle());
    label.SetAttribute(L"endellipsis", L"TRUE");
    EXPECT_EQ(static_cast<UINT>(DT_VCENTER), label.GetTextStyle());

    label.SetAttribute(L"font", L"3");
    EXPECT_EQ(3, label.GetFont());
    label.SetAttribute(L"font", L"abc");
    EXPECT_EQ(0, label.GetFont());

    const struct {
        const wchar_t* value;
        DWORD color;
    } colors[] = {{L"#FF112233", 0xFF112233},
                  {L"FF445566", 0xFF445566},
                  {L"  #80ABCDEF", 0x80ABCDEF},
                  {L"", 0},
                  {L"#", 0},
                  {L"zz", 0}};
    for (const auto& c : colors) {
        label.SetAttribute(L"textcolor", c.value);
        EXPECT_EQ(c.color, label.GetTextColor()) << c.value;
        label.SetAttribute(L"disabledtextcolor", c.value);
        EXPECT_EQ(c.color, label.GetDisabledTextColor()) << c.value;
    }

    const struct {
        const wchar_t* value;
        RECT padding;
    } paddings[] = {{L"1,2,3,4", {1, 2, 3, 4}}, {L"5", {5, 0, 0, 0}}, {L"", {0, 0, 0, 0}}, {L"7,8,", {7, 8, 0, 0}}};
    for (const auto& p : paddings) {
        label.SetAttribute(L"textpadding", p.value);
        const RECT got = label.GetTextPadding();
        EXPECT_TRUE(EqualRect(&p.padding, &got)) << p.value;
    }

    label.SetAttribute(L"showhtml", L"true");
    EXPECT_TRUE(label.IsShowHtml());
    label.SetAttribute(L"showhtml", L"True");
    EXPECT_FALSE(label.IsShowHtml());

    const struct {
        const wchar_t* value;
        int hint;
    } hints[] = {{L"4", 4}, {L"5", 5}, {L"6", 0}, {L"-1", 0}, {L"x", 0}};
    for (const auto& h : hints) {
        label.SetAttribute(L"rhaa", h.value);
        EXPECT_EQ(h.hint, label.GetTextRenderingHint()) << h.value;
    }

    label.SetAttribute(L"enabledstroke", L"true");
    label.SetAttribute(L"strokecolor", L"#FF00FF00");
    EXPECT_TRUE(label.IsStrokeEnabled());
    EXPECT_EQ(0xFF00FF00, label.GetStrokeColor());

    // Keys of the control base still reach it; null names and values are ignored.
    label.SetAttribute(L"bkcolor", L"#FF010203");
    EXPECT_EQ(0xFF010203, label.GetBackgroundColor());
    label.SetAttribute(nullptr, L"1");
    label.SetAttribute(L"font", nullptr);
    EXPECT_EQ(0, label.GetFont());
}

TEST(LabelAttributes, ShadowOffsetByAngle)
{
    const struct {
        const wchar_t* value;
        float x;
        float y;
    } cases[] = {
        {L"3,45", -3, -3}, {L"3,0", -3, -3},  {L"3,90", -3, -3}, {L"3,135", -3, 3},
        {L"3,180", -3, 3}, {L"3,-45", 3, -3}, {L"3,-90", 3, 0},  {L"3,-179", 3, 3},
        {L"3,-180", 0, 3}, {L"3,181", 0, 0},  {L"3,-181", 0, 0}, {L"", 0, 0},
    };
    for (const auto& c : cases) {
        CLabelUI label;
        label.SetAttribute(L"shadowoffset", c.value);
        EXPECT_EQ(c.x, label.GetShadowOffsetX()) << c.value;
        EXPECT_EQ(c.y, label.GetShadowOffsetY()) << c.value;
    }
    // Set once the label has been placed, the offset starts from its top (x)
    // and its left (y).
    const struct {
        int angle;
        float x;
        float y;
    } placedCases[] = {{45, 47, 97}, {-45, 53, 97}, {-90, 53, 100}, {135, 47, 103}, {-180, 50, 103}};
    for (const auto& c : placedCases) {
        CLabelUI placed;
        placed.SetBounds(RECT{100, 50, 200, 80});
        placed.SetShadowOffset(3, c.angle);
        EXPECT_EQ(c.x, placed.GetShadowOffsetX()) << c.angle;
        EXPECT_EQ(c.y, placed.GetShadowOffsetY()) << c.angle;
    }
}

TEST(LabelTypes, NamesAndCasts)
{
    CLabelUI label;
    CTextUI text;
    EXPECT_STREQ(L"LabelUI", label.GetTypeName());
    EXPECT_STREQ(L"TextUI", text.GetTypeName());
    EXPECT_EQ(&label, label.CastByName(L"Label"));
    EXPECT_EQ(&label, label.CastByName(L"Control"));
    EXPECT_EQ(nullptr, label.CastByName(L"Text"));
    EXPECT_EQ(nullptr, label.CastByName(nullptr));
    EXPECT_EQ(&text, text.CastByName(L"Text"));
    EXPECT_EQ(static_cast<CLabelUI*>(&text), text.CastByName(L"Label"));
    EXPECT_EQ(static_cast<UINT>(DT_WORDBREAK), text.GetTextStyle());
    const RECT padding = text.GetTextPadding();
    EXPECT_EQ(2, padding.left);
    EXPECT_EQ(2, padding.right);
    EXPECT_EQ(0u, text.GetInputFlags());
}

TEST(LabelTexts, EffectsKeepATextOfTheirOwn)
{
    CLabelUI label;
    label.SetText(L"plain");
    label.SetAttribute(L"enabledeffect", L"true");
    EXPECT_TRUE(label.IsEffectsEnabled());
    EXPECT_STREQ(L"", label.GetText().GetData());
    label.SetText(L"effects");
    EXPECT_STREQ(L"effects", label.GetText().GetData());
    label.SetEffectsEnabled(false);
    EXPECT_STREQ(L"plain", label.GetText().GetData());
    label.SetText(nullptr);
    EXPECT_STREQ(L"", label.GetText().GetData());
}

std::wstring traced;
void RecordTrace(const wchar_t* text)
{
    traced += text;
}

// Texts past the string's inline storage take the heap path, where a failed
// copy would be traced: a copy that succeeds must report nothing.
TEST(LabelTexts, LongTextsCopyWithoutATrace)
{
    CUiManager::SetInstance(GetModuleHandleW(nullptr), &RecordTrace);
    traced.clear();
    const std::wstring longText(200, L'x');
    CLabelUI label;
    label.SetEffectsEnabled(true);
    label.SetText(longText.c_str());
    EXPECT_EQ(longText, label.GetText().GetData());
    label.SetText(L"short");
    EXPECT_STREQ(L"short", label.GetText().GetData());
    EXPECT_EQ(L"", traced);
    CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
}

// Labels painted into a memory canvas with the fonts of a real window's
// manager.
class LabelPaint : public UiTest::RowWindow {
protected:
    std::unique_ptr<CLabelUI> MakeLabel(const wchar_t* text)
    {
        std::unique_ptr<CLabelUI> label(new CLabelUI);
        label->AttachToManager(manager, nullptr, false);
        label->SetBounds(RECT{0, 0, kLabelWidth, kLabelHeight});
        label->SetText(text);
        return label;
    }
    RECT PaintInk(CControlUI& control)
    {
        PaintAlone(&control);
        return InkBounds(canvas, kLabelWidth, kLabelHeight);
    }
    SIZE ExtentOf(const wchar_t* text) { return Extent(canvas.dc(), manager->GetFont(-1), text); }
};

TEST_F(LabelPaint, MeasuresOneLineOfItsFont)
{
    std::unique_ptr<CLabelUI> label = MakeLabel(L"text");
    const int height = FontHeight(canvas.dc(), manager->GetFont(-1));
    ASSERT_GT(height, 0);
    SIZE size = label->MeasureSize(SIZE{500, 500});
    EXPECT_EQ(0, size.cx);
    EXPECT_EQ(height + 4, size.cy);
    label->SetPreferredWidth(70);
    label->SetPreferredHeight(21);
    size = label->MeasureSize(SIZE{500, 500});
    EXPECT_EQ(70, size.cx);
    EXPECT_EQ(21, size.cy);
}

TEST_F(LabelPaint, AlignmentAndPaddingPlaceTheText)
{
    const wchar_t* text = L"WWW";
    const SIZE extent = ExtentOf(text);
    ASSERT_GT(extent.cx, 0);
    std::unique_ptr<CLabelUI> label = MakeLabel(text);
    label->SetTextColor(0xFF000000);

    label->SetAttribute(L"textpadding", L"20,0,30,0");
    label->SetAttribute(L"align", L"left");
    RECT ink = PaintInk(*label);
    ASSERT_FALSE(IsRectEmpty(&ink));
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.left, 20 + 3);
    EXPECT_LE(ink.right, 20 + extent.cx + 1);

    label->SetAttribute(L"align", L"right");
    ink = PaintInk(*label);
    EXPECT_LE(ink.right, kLabelWidth - 30);
    EXPECT_GE(ink.right, kLabelWidth - 30 - 3);

    // Centred between the paddings, and vertically in the middle.
    label->SetAttribute(L"align", L"vcenter");
    ink = PaintInk(*label);
    const int middle = 20 + (kLabelWidth - 50) / 2;
    EXPECT_NEAR(middle, (ink.left + ink.right) / 2, 3);
    EXPECT_NEAR(kLabelHeight / 2, (ink.top + ink.bottom) / 2, 4);

    // Top, with a top padding.
    label->SetAttribute(L"textpadding", L"0,12,0,0");
    label->SetAttribute(L"align", L"top");
    ink = PaintInk(*label);
    EXPECT_GE(ink.top, 12);
    EXPECT_LT(ink.top, kLabelHeight / 2);
}

TEST_F(LabelPaint, DrawsOneLineOnly)
{
    std::unique_ptr<CLabelUI> label = MakeLabel(L"first\nsecond");
    label->SetTextStyle(DT_WORDBREAK);
    const RECT ink = PaintInk(*label);
    const int height = FontHeight(canvas.dc(), manager->GetFont(-1));
    ASSERT_FALSE(IsRectEmpty(&ink));
    EXPECT_LE(ink.bottom - ink.top, height);
}

TEST_F(LabelPaint, ColoursByStateAndManagerDefaults)
{
    std::unique_ptr<CLabelUI> label = MakeLabel(L"WWW");
    manager->SetDefaultFontColor(0xFF0000FF);
    PaintInk(*label);
    const DWORD byDefault = StrongestInk(canvas, kAll);
    EXPECT_GT(static_cast<int>(byDefault & 0xFF), 200);
    EXPECT_LT(Red(byDefault), 100);
    // The default is stored in the label on first paint.
    EXPECT_EQ(0xFF0000FF, label->GetTextColor());

    label->SetDisabledTextColor(0xFFFF0000);
    label->SetEnabled(false);
    PaintInk(*label);
    const DWORD disabled = StrongestInk(canvas, kAll);
    EXPECT_GT(Red(disabled), 200);
    EXPECT_LT(Green(disabled), 100);
}

TEST_F(LabelPaint, MarkupOnlyWithShowHtml)
{
    std::unique_ptr<CLabelUI> label = MakeLabel(L"<c #FFFF0000>WWW</c>");
    label->SetTextColor(0xFF000000);
    label->SetAttribute(L"align", L"left");
    RECT ink = PaintInk(*label);
    // As plain text the tags are drawn, in the text colour.
    EXPECT_GT(ink.right - ink.left, ExtentOf(L"WWW").cx + 4);
    EXPECT_LT(Red(StrongestInk(canvas, kAll)), 100);

    label->SetShowHtml(true);
    ink = PaintInk(*label);
    EXPECT_LE(ink.right - ink.left, ExtentOf(L"WWW").cx + 2);
    const DWORD red = StrongestInk(canvas, kAll);
    EXPECT_GT(Red(red), 200);
    EXPECT_LT(Green(red), 100);
}

TEST_F(LabelPaint, EmptyTextsAndMalformedMarkupPaintSafely)
{
    std::unique_ptr<CLabelUI> label = MakeLabel(L"");
    RECT ink = PaintInk(*label);
    EXPECT_TRUE(IsRectEmpty(&ink));

    label->SetShowHtml(true);
    const wchar_t* broken[] = {L"<c #FFFF0000", L"<a", L"</b></b>", L"<i <b>x", L"{x}<>", L"<f 9999>x"};
    for (const wchar_t* text : broken) {
        label->SetText(text);
        PaintInk(*label);
    }

    // Effects on with nothing set: the label's own text is empty.
    label->SetShowHtml(false);
    label->SetText(L"hidden");
    label->SetEffectsEnabled(true);
    ink = PaintInk(*label);
    EXPECT_TRUE(IsRectEmpty(&ink));
}

TEST_F(LabelPaint, EffectsDrawTheirOwnTextWithGdiplus)
{
    std::unique_ptr<CLabelUI> label = MakeLabel(L"");
    label->SetAttribute(L"enabledeffect", L"true");
    label->SetAttribute(L"transtext", L"255");
    label->SetAttribute(L"transtext1", L"255");
    label->SetAttribute(L"textpadding", L"20,0,0,0");
    label->SetTextColor(0xFF000000);
    label->SetText(L"WWW");
    const RECT ink = PaintInk(*label);
    ASSERT_FALSE(IsRectEmpty(&ink));
    EXPECT_LT(Red(StrongestInk(canvas, kAll)), 128);

    // A stroke widens the drawn text by a pixel on each side.
    label->SetAttribute(L"enabledstroke", L"true");
    label->SetAttribute(L"strokecolor", L"#FF000000");
    const RECT stroked = PaintInk(*label);
    EXPECT_LE(stroked.left, ink.left - 1);
    EXPECT_GE(stroked.right, ink.right + 1);

    // A shadow at 135 degrees falls left and below the text.
    label->SetStrokeEnabled(false);
    label->SetAttribute(L"enabledshadow", L"true");
    label->SetAttribute(L"transshadow", L"255");
    label->SetAttribute(L"transshadow1", L"255");
    label->SetAttribute(L"shadowoffset", L"4,135");
    const RECT shadowed = PaintInk(*label);
    EXPECT_LE(shadowed.left, ink.left - 3);
    EXPECT_GE(shadowed.bottom, ink.bottom + 3);
    EXPECT_EQ(ink.right, shadowed.right);
}

TEST_F(LabelPaint, TextMeasuresItsLinesAgainstTheFont)
{
    CTextUI text;
    text.AttachToManager(manager, nullptr, false);
    const wchar_t* words = L"alpha beta";
    text.SetText(words);
    const SIZE extent = ExtentOf(words);
    const int height = FontHeight(canvas.dc(), manager->GetFont(-1));

    // Wide enough: one line as wide as the text, plus the side paddings.
    SIZE size = text.MeasureSize(SIZE{1000, 0});
    EXPECT_EQ(extent.cx + 4, size.cx);
    EXPECT_EQ(height, size.cy);

    // Narrower than the text: the words wrap onto two lines.
    size = text.MeasureSize(SIZE{ExtentOf(L"alpha").cx + 10, 0});
    EXPECT_EQ(2 * height, size.cy);
    EXPECT_LE(size.cx, ExtentOf(L"alpha").cx + 10);

    text.SetAttribute(L"textpadding", L"3,5,3,7");
    size = text.MeasureSize(SIZE{1000, 0});
    EXPECT_EQ(extent.cx + 6, size.cx);
    EXPECT_EQ(height + 12, size.cy);

    text.SetPreferredHeight(50);
    EXPECT_EQ(50, text.MeasureSize(SIZE{1000, 0}).cy);

    // A manager without a window has no DC to measure on: the fixed size.
    CUiManager loose;
    CTextUI unplaced;
    unplaced.AttachToManager(&loose, nullptr, false);
    unplaced.SetText(words);
    unplaced.SetPreferredWidth(70);
    const SIZE fixed = unplaced.MeasureSize(SIZE{1000, 0});
    EXPECT_EQ(70, fixed.cx);
    EXPECT_EQ(0, fixed.cy);
    // Nor has a text that belongs to no manager yet.
    CTextUI alone;
    alone.SetText(words);
    alone.SetPreferredWidth(70);
    const SIZE own = alone.MeasureSize(SIZE{1000, 0});
    EXPECT_EQ(70, own.cx);
    EXPECT_EQ(0, own.cy);
}

// The text control in a window: links clicked with the mouse.
class TextLinks : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        UiTest::RowWindow::SetUp();
        text = new CTextUI;
        text->SetName(L"txt");
        text->SetShowHtml(true);
        row->Add(text);
    }
    POINT LinkMiddle(int index)
    {
        const RECT rc = text->GetLinkRect(index);
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }

    CTextUI* text = nullptr;
};

TEST_F(TextLinks, ReleaseOnALinkReportsItsIndex)
{
    text->SetText(L"see <a one>first</a> or <a two>second</a> here");
    Show();
    ASSERT_EQ(2, text->GetLinkCount());
    EXPECT_STREQ(L"two", text->GetLinkText(1).GetData());
    EXPECT_STREQ(L"", text->GetLinkText(2).GetData());
    EXPECT_EQ(kUiFlagSetCursor, text->GetInputFlags());

    Send(WM_MOUSEMOVE, 0, At(LinkMiddle(1)));
    EXPECT_EQ(1, text->GetHoveredLink());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(LinkMiddle(1)));
    Send(WM_LBUTTONUP, 0, At(LinkMiddle(1)));
    ASSERT_EQ(1u, recorder.seen.size());
    EXPECT_EQ(L"link", recorder.seen[0].type);
    EXPECT_EQ(L"txt", recorder.seen[0].sender);
    EXPECT_EQ(1u, recorder.seen[0].wParam);

    // Off the links nothing is reported, and the hover goes.
    const RECT bounds = text->GetBounds();
    const POINT empty = {bounds.right - 5, bounds.bottom - 5};
    Send(WM_MOUSEMOVE, 0, At(empty));
    EXPECT_EQ(-1, text->GetHoveredLink());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(empty));
    Send(WM_LBUTTONUP, 0, At(empty));
    EXPECT_EQ(1u, recorder.seen.size());

    // A disabled text reports no link.
    text->SetEnabled(false);
    EXPECT_EQ(0u, text->GetInputFlags());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(LinkMiddle(0)));
    Send(WM_LBUTTONUP, 0, At(LinkMiddle(0)));
    EXPECT_EQ(1u, recorder.seen.size());
}

TEST_F(TextLinks, KeepsAtMostEightLinks)
{
    std::wstring markup;
    for (int i = 0; i < 10; ++i)
        markup += L"<a l" + std::to_wstring(i) + L">x" + std::to_wstring(i) + L"</a> ";
    text->SetText(markup.c_str());
    Show();
    EXPECT_EQ(CTextUI::kMaxLinks, text->GetLinkCount());
    EXPECT_STREQ(L"l7", text->GetLinkText(7).GetData());

    // Emptied, it has no links left to click.
    text->SetText(L"");
    Paint();
    EXPECT_EQ(0, text->GetLinkCount());
}

}  // namespace
