// Markup text: tags measured against GetTextExtentPoint32W of the same fonts,
// links and their rectangles, alignment, and malformed markup from skins.
#include "UiManager.h"
#include "UiRender.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace UiLib;
using UiTest::Canvas;

namespace {

const DWORD kBlack = 0xFF000000;

class MarkupText : public ::testing::Test {
protected:
    // The manager measures its fonts on its window's device context.
    MarkupText() { manager_.AttachWindow(window_.hwnd); }
    // Width of text in a font of the manager.
    int WidthIn(HFONT font, const std::wstring& text)
    {
        HGDIOBJ old = SelectObject(canvas_.dc(), font);
        SIZE size = {};
        GetTextExtentPoint32W(canvas_.dc(), text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(canvas_.dc(), old);
        return size.cx;
    }
    int Width(const std::wstring& text) { return WidthIn(Default()->font, text); }
    UiFontInfo* Default() { return manager_.GetDefaultFontInfo(); }
    int LineHeight() { return Default()->metrics.tmHeight + Default()->metrics.tmExternalLeading; }
    HFONT Variant(bool bold, bool underline, bool italic)
    {
        return manager_.FindFont(Default()->faceName.GetData(), Default()->size, bold, underline, italic);
    }

    RECT Measure(const wchar_t* text, UINT format = 0, RECT rc = RECT{10, 20, 400, 200})
    {
        int links = 0;
        CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, text, kBlack, nullptr, nullptr, links,
                                  format | DT_CALCRECT);
        return rc;
    }

    // Bounding box of the pixels that are no longer white.
    RECT Ink(const Canvas& canvas, int width, int height)
    {
        RECT box = {width, height, -1, -1};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (canvas.At(x, y) != 0xFFFFFF) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        }
        return box;
    }

    struct TextAt {
        int x;
        int y;
        std::wstring text;
    };
    // Pixels of the canvas that differ from the texts drawn plainly in the
    // default font, black, clipped at clipRight.
    int DifferingFrom(int clipRight, const std::vector<TextAt>& texts)
    {
        Canvas expected(420, 220);
        HGDIOBJ old = SelectObject(expected.dc(), Default()->font);
        SetBkMode(expected.dc(), TRANSPARENT);
        SetTextColor(expected.dc(), RGB(0, 0, 0));
        HRGN clip = CreateRectRgn(0, 0, clipRight, 200);
        SelectClipRgn(expected.dc(), clip);
        for (const TextAt& piece : texts)
            TextOutW(expected.dc(), piece.x, piece.y, piece.text.c_str(), static_cast<int>(piece.text.size()));
        SelectObject(expected.dc(), old);
        DeleteObject(clip);
        int differing = 0;
        for (int y = 0; y < 220; ++y)
            for (int x = 0; x < 420; ++x)
                differing += canvas_.At(x, y) != expected.At(x, y);
        return differing;
    }

    // Declared before the manager, so that it goes after it.
    struct HiddenWindow {
        HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ~HiddenWindow() { DestroyWindow(hwnd); }
    } window_;
    CUiManager manager_;
    Canvas canvas_{420, 220};
};

TEST_F(MarkupText, PlainTextMeasuresOneLine)
{
    const RECT rc = Measure(L"abc");
    EXPECT_EQ(10 + Width(L"abc"), rc.right);
    EXPECT_EQ(20 + LineHeight(), rc.bottom);
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(20, rc.top);
}

TEST_F(MarkupText, BoldVariantThenDefaultFontOnOneLine)
{
    const RECT rc = Measure(L"<b>bold</b> plain");
    HFONT bold = Variant(true, false, false);
    ASSERT_NE(nullptr, bold);
    EXPECT_EQ(10 + WidthIn(bold, L"bold") + Width(L" ") + Width(L"plain"), rc.right);
    const UiFontInfo* boldInfo = manager_.GetFontInfoOf(bold);
    EXPECT_GE(boldInfo->metrics.tmWeight, FW_BOLD);
    EXPECT_EQ(20 + std::max<LONG>(LineHeight(), boldInfo->metrics.tmHeight + boldInfo->metrics.tmExternalLeading),
              rc.bottom);
    // The same tags with curly brackets.
    EXPECT_EQ(rc.right, Measure(L"{b}bold{/b} plain").right);
    // Every closing tag pops, also where its opener pushed nothing: a bold
    // inside bold pushes no font, so its closer ends the outer bold, and a
    // "/a" without an open link pops the bold too.
    EXPECT_EQ(10 + WidthIn(bold, L"A") + WidthIn(bold, L"B") + Width(L"C"), Measure(L"<b>A<b>B</b>C</b>").right);
    EXPECT_EQ(10 + WidthIn(bold, L"x") + Width(L"y") + Width(L"z"), Measure(L"<b>x</a>y</b>z").right);
    // Closing tags of any letter are tags; one of no meaning is skipped.
    EXPECT_EQ(10 + WidthIn(bold, L"x") + WidthIn(bold, L"y"), Measure(L"<b>x</B>y").right);
}

TEST_F(MarkupText, SelectionFillsBehindItsText)
{
    RECT rc = {0, 0, 400, 100};
    int count = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"<s>ab</s>cd", kBlack, nullptr, nullptr, count, 0);
    EXPECT_EQ(0xBAE4FFu, canvas_.At(0, 0)) << std::hex << canvas_.At(0, 0);
    EXPECT_EQ(0xFFFFFFu, canvas_.At(Width(L"abcd") - 1, 0)) << std::hex << canvas_.At(Width(L"abcd") - 1, 0);
}

TEST_F(MarkupText, UnderlineItalicAndFontTags)
{
    EXPECT_EQ(10 + WidthIn(Variant(false, true, false), L"under"), Measure(L"<u>under</u>").right);
    const RECT italic = Measure(L"<i>it</i>");
    HFONT slanted = Variant(false, false, true);
    ASSERT_NE(nullptr, slanted);
    EXPECT_GE(italic.right, 10 + WidthIn(slanted, L"it"));

    HFONT big = manager_.AddFont(Default()->faceName.GetData(), 30, false, false, false);
    const UiFontInfo* bigInfo = manager_.GetFontInfoOf(big);
    int index = 0;
    while (manager_.GetFont(index) != big)
        ++index;
    RECT rc = Measure((L"a<f " + std::to_wstring(index) + L">b</f>c").c_str());
    EXPECT_EQ(10 + Width(L"a") + WidthIn(big, L"b") + Width(L"c"), rc.right);
    EXPECT_EQ(20 + bigInfo->metrics.tmHeight + bigInfo->metrics.tmExternalLeading, rc.bottom);

    // A face by name (up to the first blank), with size and styles.
    rc = Measure(L"<f 宋体 25 Bold>x</f>");
    HFONT named = manager_.FindFont(L"宋体", 25, true, false, false);
    ASSERT_NE(nullptr, named);
    EXPECT_EQ(10 + WidthIn(named, L"x"), rc.right);
}

TEST_F(MarkupText, ColourTagDrawsInItsColourAndClosingRestoresTheDefault)
{
    RECT rc = {0, 0, 400, 100};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"{c #FFFF0000}red{/c}blue", 0xFF0000FF, nullptr, nullptr,
                              links, 0);
    const int split = Width(L"red");
    int red = 0;
    int blue = 0;
    int wrong = 0;
    for (int y = 0; y < LineHeight(); ++y) {
        for (int x = 0; x < split + Width(L"blue"); ++x) {
            const DWORD c = canvas_.At(x, y);
            if (c == 0xFFFFFF)
                continue;
            const bool reddish = ((c >> 16) & 0xFF) > (c & 0xFF);
            const bool bluish = (c & 0xFF) > ((c >> 16) & 0xFF);
            if (x < split && reddish)
                ++red;
            else if (x >= split && bluish)
                ++blue;
            else if ((x < split && bluish) || (x >= split && reddish))
                ++wrong;
        }
    }
    EXPECT_GT(red, 5);
    EXPECT_GT(blue, 5);
    EXPECT_EQ(0, wrong);
}

TEST_F(MarkupText, LinkReportsItsTargetAndRect)
{
    RECT rects[2] = {};
    CUiString texts[2];
    int count = 2;
    RECT rc = {10, 20, 400, 200};
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"<a go>site</a>", kBlack, rects, texts, count, 0);
    ASSERT_EQ(1, count);
    EXPECT_EQ(std::wstring(L"go"), texts[0].GetData());
    HFONT underlined = Variant(false, true, false);
    ASSERT_NE(nullptr, underlined);
    EXPECT_EQ(10, rects[0].left);
    EXPECT_EQ(20, rects[0].top);
    EXPECT_EQ(10 + WidthIn(underlined, L"site"), rects[0].right);
    EXPECT_EQ(20 + LineHeight(), rects[0].bottom);
    // Drawn in the link colour (blue by default), not the text colour.
    const RECT ink = Ink(canvas_, 420, 220);
    ASSERT_LT(ink.left, ink.right);
    const DWORD sample = canvas_.At(ink.left + (ink.right - ink.left) / 2, ink.bottom - 1);
    EXPECT_GT(sample & 0xFF, (sample >> 16) & 0xFF) << std::hex << sample;

    // With the manager's last mouse position over the link drawn before, its
    // underline is drawn whole in the hover colour.
    LRESULT result = 0;
    const LPARAM over = MAKELPARAM((rects[0].left + rects[0].right) / 2, (rects[0].top + rects[0].bottom) / 2);
    manager_.HandleMessage(WM_MOUSEMOVE, 0, over, result);
    canvas_.Fill(0xFFFFFF);
    rc = RECT{10, 20, 400, 200};
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"<a go>site</a>", kBlack, rects, texts, count, 0);
    const RECT hovered = Ink(canvas_, 420, 220);
    ASSERT_LT(hovered.left, hovered.right);
    const DWORD underline = canvas_.At(hovered.left + (hovered.right - hovered.left) / 2, hovered.bottom - 1);
    EXPECT_EQ(0xD3215Fu, underline) << std::hex << underline;

    // A "/a" with no link open still closes one, from the line's start.
    count = 2;
    rc = RECT{10, 20, 400, 200};
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"ab</a>c", kBlack, rects, texts, count, 0);
    ASSERT_EQ(1, count);
    EXPECT_EQ(10, rects[0].left);
    EXPECT_EQ(10 + Width(L"ab"), rects[0].right);
    EXPECT_EQ(20 + LineHeight(), rects[0].bottom);
}

TEST_F(MarkupText, WrappedLinkYieldsOneRectPerLine)
{
    const int width = Width(L"aaaa ") + Width(L"b");  // room for the first word only
    RECT rects[3] = {};
    CUiString texts[3];
    int count = 3;
    RECT rc = {0, 0, width + 2, 200};
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"x<a go>aaaa bbbb</a>", kBlack, rects, texts, count,
                              DT_WORDBREAK);
    ASSERT_EQ(2, count);
    EXPECT_EQ(std::wstring(L"go"), texts[0].GetData());
    EXPECT_EQ(std::wstring(L"go"), texts[1].GetData());
    EXPECT_EQ(Width(L"x"), rects[0].left);
    EXPECT_EQ(0, rects[0].top);
    EXPECT_EQ(rects[0].bottom, rects[1].top);
    EXPECT_EQ(0, rects[1].left);
    EXPECT_GT(rects[1].right, 0);
    EXPECT_GT(rects[1].bottom, rects[1].top);
}

TEST_F(MarkupText, WrappedLinkPastTheSlotsStaysInsideTheArrays)
{
    // Three slots given, the first one only offered: the others must stay.
    RECT rects[3] = {{1, 1, 1, 1}, {7, 7, 7, 7}, {9, 9, 9, 9}};
    CUiString texts[3] = {CUiString(L""), CUiString(L"keep1"), CUiString(L"keep2")};
    for (int capacity : {0, 1}) {
        int count = capacity;
        RECT rc = {0, 0, Width(L"aa") + 1, 200};
        CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"<a x>aa aa aa aa aa aa</a><a y>bb</a>", kBlack, rects,
                                  texts, count, DT_WORDBREAK);
        EXPECT_EQ(capacity, count);
        EXPECT_EQ(7, rects[1].left);
        EXPECT_EQ(std::wstring(L"keep1"), texts[1].GetData());
        EXPECT_EQ(std::wstring(L"keep2"), texts[2].GetData());
    }
    EXPECT_EQ(std::wstring(L"x"), texts[0].GetData());
}

TEST_F(MarkupText, SingleLineEllipsisEndsWithDotsAndDrawsNoSecondLine)
{
    const std::wstring text = L"abcdefghijklmnopqrstuvwxyz";
    const int room = Width(L"abcdefgh") + 1;
    RECT rc = {0, 0, room, 200};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, text.c_str(), kBlack, nullptr, nullptr, links,
                              DT_SINGLELINE | DT_END_ELLIPSIS);
    // What should be there: the characters that fit and the one that
    // overflows, less two, then "...".
    EXPECT_EQ(0, DifferingFrom(room, {{0, 0, L"abcdefg"}, {Width(L"abcdefg"), 0, L"..."}}));
    EXPECT_LE(Ink(canvas_, 420, 220).bottom, LineHeight());
}

TEST_F(MarkupText, ARunAtTheLeftEdgeKeepsTheCharacterThatOverflows)
{
    const int room = Width(L"abcdefgh") + Width(L"W") / 2;
    RECT rc = {0, 0, room, 200};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"abcdefghWxyz", kBlack, nullptr, nullptr, links,
                              DT_SINGLELINE);
    EXPECT_EQ(0, DifferingFrom(room, {{0, 0, L"abcdefghW"}}));

    // Kept, it ends the text on the first line; a run that does not start
    // the line leaves it out, and "W" goes to the second.
    EXPECT_EQ(LineHeight(), Measure(L"abcdefghW", 0, RECT{0, 0, room, 200}).bottom);
    EXPECT_EQ(2 * LineHeight(), Measure(L"ab<b></b>cdefghW", 0, RECT{0, 0, room, 200}).bottom);
}

TEST_F(MarkupText, CharactersGivenUpForTheDotsStartTheNextLine)
{
    const int room = Width(L"abcdefgh") + 1;
    RECT rc = {0, 0, room, 200};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"abcdefghi", kBlack, nullptr, nullptr, links,
                              DT_END_ELLIPSIS);
    EXPECT_EQ(0, DifferingFrom(room, {{0, 0, L"abcdefg"}, {Width(L"abcdefg"), 0, L"..."}, {0, LineHeight(), L"hi"}}));
}

// In a rect narrower than one character, the dots give that character back
// to the next line, which would repeat it for ever: a line that takes
// nothing ends the text.
TEST_F(MarkupText, ALineThatTakesNothingEndsTheText)
{
    EXPECT_EQ(20 + LineHeight(), Measure(L"WW", DT_END_ELLIPSIS, RECT{10, 20, 12, 200}).bottom);
}

// The rows of the canvas that hold ink between x0 and x1.
std::vector<int> InkRows(Canvas& canvas, int x0, int x1, int height)
{
    std::vector<int> rows;
    for (int y = 0; y < height; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (canvas.At(x, y) != 0xFFFFFF) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

TEST_F(MarkupText, EllipsisSitsRightAfterTheRunAtTheLinesTop)
{
    // A line 40 high: the run sits on its bottom, the dots at its top.
    const int room = Width(L"abcdefgh") + 1;
    RECT rc = {0, 0, room, 200};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"<y 40>abcdefghijklmnop", kBlack, nullptr, nullptr, links,
                              DT_SINGLELINE | DT_END_ELLIPSIS);
    const int dots = Width(L"abcdefg");
    const std::vector<int> runRows = InkRows(canvas_, 0, dots, 60);
    const std::vector<int> dotRows = InkRows(canvas_, dots, room, 60);
    ASSERT_FALSE(runRows.empty());
    ASSERT_FALSE(dotRows.empty());
    EXPECT_GE(runRows.front(), 40 - LineHeight());
    EXPECT_LT(dotRows.back(), LineHeight());

    // Centred on a wrapped line, the dots follow the centred run.
    canvas_.Fill(0xFFFFFF);
    const int wide = 3 * Width(L"abcdefgh");
    rc = RECT{0, 0, wide, 200};
    const std::wstring longText(60, L'a');
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, longText.c_str(), kBlack, nullptr, nullptr, links,
                              DT_CENTER | DT_END_ELLIPSIS);
    HGDIOBJ old = SelectObject(canvas_.dc(), Default()->font);
    int fit = 0;
    SIZE whole = {};
    GetTextExtentExPointW(canvas_.dc(), longText.c_str(), 60, wide, &fit, nullptr, &whole);
    SelectObject(canvas_.dc(), old);
    ASSERT_GT(fit, 2);
    const int runWidth = Width(std::wstring(static_cast<size_t>(fit - 1), L'a'));
    const int runRight = (wide - runWidth) / 2 + runWidth;
    const RECT ink = Ink(canvas_, 420, 220);
    EXPECT_GT(ink.right, runRight + 1);  // the dots follow the run
    EXPECT_LE(ink.right, runRight + Width(L"...") + 1);
}

TEST_F(MarkupText, LineBreaksWrappingAndSingleLine)
{
    EXPECT_EQ(20 + 2 * LineHeight(), Measure(L"ab<n>cd").bottom);
    EXPECT_EQ(20 + 2 * LineHeight(), Measure(L"ab\ncd").bottom);
    const RECT single = Measure(L"ab<n>cd", DT_SINGLELINE);
    EXPECT_EQ(20 + LineHeight(), single.bottom);
    EXPECT_EQ(10 + Width(L"ab") + Width(L"cd"), single.right);

    const int room = Width(L"aaa ") + 2;
    const RECT wrapped = Measure(L"aaa bbb", DT_WORDBREAK, RECT{0, 0, room, 200});
    EXPECT_EQ(2 * LineHeight(), wrapped.bottom);
    EXPECT_EQ(Width(L"aaa "), wrapped.right);

    // A paragraph starts a new line and adds its spacing to the line height,
    // the height of the line that it ends included.
    EXPECT_EQ(20 + 2 * (LineHeight() + 5), Measure(L"ab<p 5>cd</p>").bottom);
    EXPECT_EQ(20 + LineHeight() + 5, Measure(L"<p 5>cd</p>").bottom);
    // A text that ends in a line feed has an empty last line.
    EXPECT_EQ(20 + 2 * LineHeight(), Measure(L"ab\n").bottom);
    EXPECT_EQ(20 + 3 * LineHeight(), Measure(L"ab\n\n").bottom);
    EXPECT_EQ(20 + LineHeight(), Measure(L"ab").bottom);
    // "x" moves the pen, "y" sets the line height.
    EXPECT_EQ(10 + Width(L"a") + 7 + Width(L"b"), Measure(L"a<x 7>b").right);
    EXPECT_EQ(20 + 40, Measure(L"<y 40>ab").bottom);
}

TEST_F(MarkupText, EscapesAndRawText)
{
    EXPECT_EQ(10 + Width(L"{"), Measure(L"<{>").right);
    EXPECT_EQ(10 + Width(L"}"), Measure(L"<}>").right);
    EXPECT_EQ(10 + Width(L"<"), Measure(L"{<}").right);
    EXPECT_EQ(10 + Width(L">"), Measure(L"{>}").right);
    EXPECT_EQ(10 + Width(L"<b>x"), Measure(L"<r><b>x</r>").right);
    EXPECT_EQ(10 + Width(L"<b>x"), Measure(L"{r}<b>x{/r}").right);
    // Raw text ends only at a closing tag with a matching pair of brackets.
    EXPECT_EQ(10 + Width(L"a{/r>b<b>"), Measure(L"<r>a{/r>b<b></r>").right);
    EXPECT_EQ(10 + Width(L"a</r}b"), Measure(L"<r>a</r}b{/r}").right);
    EXPECT_EQ(10 + Width(L"a < b"), Measure(L"a < b").right);

    RECT rc = {0, 0, 400, 100};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"<{>", kBlack, nullptr, nullptr, links, 0);
    EXPECT_EQ(0, DifferingFrom(400, {{0, 0, L"{"}}));
}

TEST_F(MarkupText, AlignmentMovesTheCallersRect)
{
    const int w = Width(L"abc");
    RECT rc = {0, 0, 200, 100};
    int links = 0;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"abc", kBlack, nullptr, nullptr, links,
                              DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EXPECT_EQ(100 - w / 2, rc.left);
    EXPECT_EQ(rc.left + w, rc.right);
    EXPECT_EQ(50 - LineHeight() / 2, rc.top);
    const RECT ink = Ink(canvas_, 420, 220);
    EXPECT_GE(ink.left, rc.left);
    EXPECT_LE(ink.right, rc.right);

    rc = RECT{0, 0, 200, 100};
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, L"abc", kBlack, nullptr, nullptr, links,
                              DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    EXPECT_EQ(200 - w, rc.left);
    EXPECT_EQ(100 - LineHeight(), rc.top);
}

TEST_F(MarkupText, ImagesTakeTheirFrameWidth)
{
    const std::wstring folder = UiTest::WorkFolder(L"uilib_markup_text_test");
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"strip.png", UiTest::SolidPng(20, 50, 0xFF00FF00)));
    CUiManager::SetResourceZip(L"");
    CUiManager::SetResourcePath(folder.c_str());
    EXPECT_EQ(10 + 20 + Width(L"a"), Measure(L"<i strip.png>a").right);
    EXPECT_EQ(10 + 10 + Width(L"a"), Measure(L"<i strip.png 2 1>a").right);
    EXPECT_EQ(10 + 10, Measure(L"<i file='strip.png' 2 5>").right);
    const RECT tall = Measure(L"<i strip.png>");
    EXPECT_EQ(20 + std::max<LONG>(50, LineHeight()), tall.bottom);
    EXPECT_EQ(10 + Width(L"a"), Measure(L"<i none.png>a").right);
    CUiManager::SetResourcePath(L"");
}

TEST_F(MarkupText, MalformedMarkupEndsSafely)
{
    const std::wstring longFace(40, L'Q');
    const std::wstring texts[] = {
        L"</b></c></a></p></u></i></f></s>text",
        L"<b>unclosed",
        L"<c #FFFF0000",
        L"<a",
        L"<a ",
        L"<a x>open link",
        L"<i file='x",
        L"<i ",
        L"<f ",
        L"<f " + longFace + L" 12 bold>x</f>",
        L"<p 5>",
        L"<p",
        L"<x 99999>a",
        L"<y -30>a<n>b",
        L"<y 0>a<n>b",
        L"{<",
        L"<{",
        L"<{x",
        L"<",
        L"{",
        L"abc<",
        L"abc{/",
        L"<r>raw without end",
        L"<r",
        L"</",
        L"\n\n\n",
        L"",
        L"<s>sel</s><s>",
    };
    for (const std::wstring& text : texts) {
        for (UINT format : {0u, UINT(DT_CALCRECT), UINT(DT_WORDBREAK | DT_END_ELLIPSIS), UINT(DT_SINGLELINE)}) {
            RECT rects[2] = {};
            CUiString links[2];
            int count = 1;
            RECT rc = {0, 0, 30, 60};
            CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, text.c_str(), kBlack, rects, links, count, format);
            EXPECT_LE(count, 1);
            EXPECT_EQ(0, rects[1].right);
        }
    }
    // The long face was cut to fit LOGFONTW with its terminator.
    const std::wstring cut(LF_FACESIZE - 1, L'Q');
    EXPECT_NE(nullptr, manager_.FindFont(cut.c_str(), 12, true, false, false));
}

TEST_F(MarkupText, NothingHappensWithoutTextManagerOrRoom)
{
    RECT rc = {0, 0, 100, 50};
    int count = 2;
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, rc, nullptr, kBlack, nullptr, nullptr, count, 0);
    EXPECT_EQ(0, count);
    CUiRender::DrawMarkupText(canvas_.dc(), nullptr, rc, L"abc", kBlack, nullptr, nullptr, count, 0);
    RECT empty = {10, 10, 10, 40};
    CUiRender::DrawMarkupText(canvas_.dc(), &manager_, empty, L"abc", kBlack, nullptr, nullptr, count, 0);
    const RECT ink = Ink(canvas_, 420, 220);
    EXPECT_GT(ink.left, ink.right);  // nothing drawn
}

}  // namespace
