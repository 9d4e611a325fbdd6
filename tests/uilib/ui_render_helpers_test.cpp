// The render engine's arithmetic, without drawing: attribute values, image
// attribute strings, nine-grid pieces and tiles, premultiplication, HSL and
// gradient bands.
#include "UiAttrValues.h"
#include "UiImageLoader.h"
#include "UiImageAttr.h"
#include "UiRender.h"
#include "UiRenderGeometry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

std::string Show(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom);
}

struct NumberCase {
    const wchar_t* text;
    int read;
    long values[4];
};

TEST(AttrValues, NumberListsStopAtTheEndOfTheText)
{
    const NumberCase cases[] = {
        {L"1,2,3,4", 4, {1, 2, 3, 4}}, {L"10", 1, {10, 0, 0, 0}},       {L"5,6", 2, {5, 6, 0, 0}},
        {L"", 0, {0, 0, 0, 0}},        {L"1,2,3,4,5", 4, {1, 2, 3, 4}}, {L"-3,7", 2, {-3, 7, 0, 0}},
        {L"1,,3", 3, {1, 0, 3, 0}},    {L"7,", 1, {7, 0, 0, 0}},
    };
    for (const NumberCase& c : cases) {
        long values[4] = {99, 99, 99, 99};
        EXPECT_EQ(c.read, ReadNumberList(c.text, values, 4)) << c.text;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.values[i], values[i]) << c.text << " #" << i;
    }
    long values[4] = {1, 1, 1, 1};
    EXPECT_EQ(0, ReadNumberList(nullptr, values, 4));
    EXPECT_EQ(0, values[3]);
}

TEST(AttrValues, RectAndHexColour)
{
    EXPECT_TRUE(SameRect(RECT{10, 0, 0, 0}, ReadRectValue(L"10")));
    EXPECT_TRUE(SameRect(RECT{1, 2, 3, 4}, ReadRectValue(L"1,2,3,4")));
    EXPECT_EQ(0xFF112233u, ReadHexColor(L"#FF112233"));
    EXPECT_EQ(0x80FF00FFu, ReadHexColor(L"  80FF00FF"));
    EXPECT_EQ(0u, ReadHexColor(L""));
    EXPECT_EQ(0u, ReadHexColor(nullptr));
}

const RECT kItem = {100, 50, 200, 80};

std::vector<std::wstring> Names(const std::vector<UiImageDraw>& draws)
{
    std::vector<std::wstring> names;
    for (const UiImageDraw& draw : draws)
        names.push_back(draw.name.GetData());
    return names;
}

TEST(ImageAttribute, DestIsRelativeToTheItemAndCutAtItsEdges)
{
    std::vector<UiImageDraw> draws = ParseImageAttribute(kItem, L"file='a.png' dest='0,5,13,18'", nullptr);
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(std::wstring(L"a.png"), draws[0].name.GetData());
    EXPECT_TRUE(SameRect(RECT{100, 55, 113, 68}, draws[0].dest)) << Show(draws[0].dest);

    draws = ParseImageAttribute(kItem, L"file='a.png' dest='0,0,500,500'", nullptr);
    EXPECT_TRUE(SameRect(RECT{100, 50, 200, 80}, draws[0].dest)) << Show(draws[0].dest);

    draws = ParseImageAttribute(kItem, L"file='a.png'", L"dest='1,2,3,4'");
    ASSERT_EQ(1u, draws.size());
    EXPECT_TRUE(SameRect(RECT{101, 52, 103, 54}, draws[0].dest)) << Show(draws[0].dest);
}

TEST(ImageAttribute, BareNameDrawsTheWholeImageOverTheItem)
{
    const std::vector<UiImageDraw> draws = ParseImageAttribute(kItem, L"a.png", nullptr);
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(std::wstring(L"a.png"), draws[0].name.GetData());
    EXPECT_TRUE(SameRect(kItem, draws[0].dest));
    EXPECT_TRUE(SameRect(RECT{0, 0, 0, 0}, draws[0].source));
    EXPECT_EQ(255, draws[0].fade);
}

TEST(ImageAttribute, RepeatedFilesDrawEachButRepeatedResourcesOnlyTheLast)
{
    EXPECT_EQ((std::vector<std::wstring>{L"a.png", L"b.png"}),
              Names(ParseImageAttribute(kItem, L"file='a.png' file='b.png'", nullptr)));
    EXPECT_EQ((std::vector<std::wstring>{L"b"}), Names(ParseImageAttribute(kItem, L"res='a' res='b'", nullptr)));
}

TEST(ImageAttribute, KeysSetTheirValues)
{
    const std::vector<UiImageDraw> draws =
        ParseImageAttribute(kItem,
                            L"file='a.png' source='1,2,3,4' corner='4,4,4,4' mask='#FFFF00FF' fade='128' hole='true' "
                            L"xtiled='true' ytiled='True' restype2='x'",
                            nullptr);
    ASSERT_EQ(1u, draws.size());
    const UiImageDraw& d = draws[0];
    EXPECT_TRUE(SameRect(RECT{1, 2, 3, 4}, d.source));
    EXPECT_TRUE(SameRect(RECT{4, 4, 4, 4}, d.corner));
    EXPECT_EQ(0xFFFF00FFu, d.mask);
    EXPECT_EQ(128, d.fade);
    EXPECT_TRUE(d.hole);
    EXPECT_TRUE(d.xtiled);
    EXPECT_FALSE(d.ytiled);  // only the exact text "true"
}

struct MalformedCase {
    const wchar_t* text;
    const wchar_t* name;
    RECT dest;
};

TEST(ImageAttribute, MalformedQuotesEndTheText)
{
    const MalformedCase cases[] = {
        // missing closing quote: the pair is not read
        {L"file='a.png", L"file='a.png", kItem},
        // missing opening quote
        {L"file=a.png dest='0,0,5,5'", L"file=a.png dest='0,0,5,5'", kItem},
        // missing '='
        {L"file 'a.png'", L"file 'a.png'", kItem},
        // no blank after the closing quote: the next pair is not read
        {L"file='a.png'dest='0,0,5,5'", L"a.png", kItem},
        // blanks around '=' and more than one blank between pairs are fine
        {L"file = 'a.png'  dest='0,0,5,5'", L"a.png", RECT{100, 50, 105, 55}},
        // an empty value is ignored
        {L"file='' dest='0,0,5,5'", L"file='' dest='0,0,5,5'", RECT{100, 50, 105, 55}},
        // a lone quote
        {L"'", L"'", kItem},
    };
    for (const MalformedCase& c : cases) {
        const std::vector<UiImageDraw> draws = ParseImageAttribute(kItem, c.text, nullptr);
        ASSERT_EQ(1u, draws.size()) << c.text;
        EXPECT_EQ(std::wstring(c.name), draws[0].name.GetData()) << c.text;
        EXPECT_TRUE(SameRect(c.dest, draws[0].dest)) << c.text << " -> " << Show(draws[0].dest);
    }
}

TEST(NineGrid, CornersKeepTheirSizeAndEdgesStretch)
{
    const RECT dest = {0, 0, 100, 40};
    const RECT source = {0, 0, 16, 16};
    const RECT corner = {4, 4, 4, 4};
    const std::vector<UiBlitPiece> border = BorderPieces(dest, source, corner, dest);
    ASSERT_EQ(8u, border.size());
    const RECT expected[8][2] = {
        {{0, 0, 4, 4}, {0, 0, 4, 4}},       {{4, 0, 96, 4}, {4, 0, 12, 4}},        {{96, 0, 100, 4}, {12, 0, 16, 4}},
        {{0, 4, 4, 36}, {0, 4, 4, 12}},     {{96, 4, 100, 36}, {12, 4, 16, 12}},   {{0, 36, 4, 40}, {0, 12, 4, 16}},
        {{4, 36, 96, 40}, {4, 12, 12, 16}}, {{96, 36, 100, 40}, {12, 12, 16, 16}},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(SameRect(expected[i][0], border[i].dest)) << i << ": " << Show(border[i].dest);
        EXPECT_TRUE(SameRect(expected[i][1], border[i].source)) << i << ": " << Show(border[i].source);
    }
    const std::vector<UiBlitPiece> centre = CentrePieces(dest, source, corner, dest, false, false);
    ASSERT_EQ(1u, centre.size());
    EXPECT_TRUE(SameRect(RECT{4, 4, 96, 36}, centre[0].dest));
    EXPECT_TRUE(SameRect(RECT{4, 4, 12, 12}, centre[0].source));
}

TEST(NineGrid, OnlyPiecesMeetingThePaintRectAndNonZeroCorners)
{
    const RECT dest = {0, 0, 100, 40};
    const RECT source = {0, 0, 16, 16};
    EXPECT_EQ(3u, BorderPieces(dest, source, RECT{4, 4, 4, 4}, RECT{0, 0, 10, 10}).size());
    // Only a top border: the top edge alone (corners need both sizes).
    EXPECT_EQ(1u, BorderPieces(dest, source, RECT{0, 4, 0, 0}, dest).size());
    EXPECT_TRUE(BorderPieces(dest, source, RECT{0, 0, 0, 0}, dest).empty());
}

TEST(NineGrid, TilesAreCutAtTheInnerEdge)
{
    const RECT none = {0, 0, 0, 0};
    const RECT dest = {0, 0, 10, 3};
    std::vector<UiBlitPiece> tiles = CentrePieces(dest, RECT{0, 0, 4, 3}, none, dest, true, false);
    ASSERT_EQ(3u, tiles.size());
    EXPECT_TRUE(SameRect(RECT{0, 0, 4, 3}, tiles[0].dest));
    EXPECT_TRUE(SameRect(RECT{8, 0, 10, 3}, tiles[2].dest));
    EXPECT_TRUE(SameRect(RECT{0, 0, 2, 3}, tiles[2].source));

    const RECT tall = {0, 0, 10, 7};
    tiles = CentrePieces(tall, RECT{0, 0, 4, 3}, none, tall, true, true);
    ASSERT_EQ(9u, tiles.size());
    EXPECT_TRUE(SameRect(RECT{8, 6, 10, 7}, tiles[8].dest));
    EXPECT_TRUE(SameRect(RECT{0, 0, 2, 1}, tiles[8].source));

    // ytiled only: stretched across, tiled down.
    tiles = CentrePieces(tall, RECT{0, 0, 4, 3}, none, tall, false, true);
    ASSERT_EQ(3u, tiles.size());
    EXPECT_TRUE(SameRect(RECT{0, 6, 10, 7}, tiles[2].dest));
    EXPECT_TRUE(SameRect(RECT{0, 0, 4, 1}, tiles[2].source));
}

TEST(NineGrid, EmptyInnerPartGivesNoCentre)
{
    const RECT dest = {0, 0, 100, 40};
    // The corners eat the 8 x 8 source: inner size 0, then below 0.
    EXPECT_TRUE(CentrePieces(dest, RECT{0, 0, 8, 8}, RECT{4, 4, 4, 4}, dest, true, true).empty());
    EXPECT_TRUE(CentrePieces(dest, RECT{0, 0, 8, 8}, RECT{5, 5, 5, 5}, dest, true, false).empty());
    EXPECT_TRUE(CentrePieces(dest, RECT{0, 0, 8, 8}, RECT{5, 5, 5, 5}, dest, false, false).empty());
    // The destination's inner part is empty.
    const RECT small = {0, 0, 6, 6};
    EXPECT_TRUE(CentrePieces(small, RECT{0, 0, 16, 16}, RECT{4, 4, 4, 4}, small, true, true).empty());
}

TEST(NineGrid, TilingListsOnlyTheTilesThatArePainted)
{
    const RECT dest = {0, 0, 100000, 3};
    const std::vector<UiBlitPiece> tiles =
        CentrePieces(dest, RECT{0, 0, 1, 3}, RECT{0, 0, 0, 0}, RECT{50, 0, 53, 3}, true, false);
    ASSERT_EQ(3u, tiles.size());
    EXPECT_EQ(50, tiles[0].dest.left);
    EXPECT_EQ(53, tiles[2].dest.right);
}

TEST(Premultiply, ChannelsScaleWithAlphaAndTheMaskClears)
{
    const BYTE rgba[] = {200, 100, 50, 128, 10, 20, 30, 255, 255, 255, 255, 0};
    DWORD out[3] = {};
    EXPECT_TRUE(PremultiplyPixels(rgba, out, 3, 0x12345678));
    EXPECT_EQ(0x80643219u, out[0]);
    EXPECT_EQ(0xFF0A141Eu, out[1]);
    EXPECT_EQ(0x00000000u, out[2]);

    EXPECT_FALSE(PremultiplyPixels(rgba + 4, out, 1, 0));
    // A mask equal to the premultiplied value makes the pixel transparent.
    EXPECT_TRUE(PremultiplyPixels(rgba + 4, out, 1, 0xFF0A141E));
    EXPECT_EQ(0u, out[0]);
    EXPECT_TRUE(PremultiplyPixels(rgba, out, 1, 0x80643219));
    EXPECT_EQ(0u, out[0]);
}

TEST(Hsl, NeutralAdjustmentKeepsTheColour)
{
    for (DWORD c : {0x00000000u, 0xFFFFFFFFu, 0x80336699u, 0x12ABCDEFu})
        EXPECT_EQ(c, CUiRender::AdjustColorHsl(c, 180, 100, 100)) << std::hex << c;
}

TEST(Hsl, ConversionsUseTheLowByteAsTheFirstChannel)
{
    float h = -1;
    float s = -1;
    float l = -1;
    CUiRender::RgbToHsl(0x000000FF, &h, &s, &l);
    EXPECT_NEAR(0.0f, h, 0.01f);
    EXPECT_NEAR(1.0f, s, 0.01f);
    EXPECT_NEAR(0.5f, l, 0.01f);
    EXPECT_EQ(0x0000FF00u, CUiRender::HslToRgb(120.0f, 1.0f, 0.5f));
    EXPECT_EQ(0x00FF0000u, CUiRender::HslToRgb(240.0f, 1.0f, 0.5f));
    for (DWORD c : {0x00336699u, 0x00FFFFFFu, 0x00808080u, 0x00102030u}) {
        CUiRender::RgbToHsl(c, &h, &s, &l);
        const DWORD back = CUiRender::HslToRgb(h, s, l);
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR(static_cast<int>((c >> shift) & 0xFF), static_cast<int>((back >> shift) & 0xFF), 1)
                << std::hex << c;
    }
}

TEST(Hsl, AdjustmentShiftsHueScalesLightnessAndKeepsAlpha)
{
    EXPECT_EQ(0xFF00FF00u, CUiRender::AdjustColorHsl(0xFF0000FF, 300, 100, 100));
    EXPECT_EQ(0xFFFF0000u, CUiRender::AdjustColorHsl(0xFF0000FF, 60, 100, 100));
    EXPECT_EQ(0x80000000u, CUiRender::AdjustColorHsl(0x80336699, 180, 100, 0));
    const DWORD grey = CUiRender::AdjustColorHsl(0x7F0000FF, 180, 0, 100);
    EXPECT_EQ(0x7Fu, grey >> 24);
    EXPECT_EQ((grey >> 8) & 0xFF, grey & 0xFF);
}

TEST(MixColors, WeightsEachChannelAndDropsAlpha)
{
    EXPECT_EQ(0x007F007Fu, CUiRender::MixColors(0xFFFF0000, 0.5, 0xFF0000FF, 0.5));
    EXPECT_EQ(0x00102030u, CUiRender::MixColors(0xFF102030, 1.0, 0xFFFFFFFF, 0.0));
    // A channel past 255 stays 255 instead of carrying into its neighbour.
    EXPECT_EQ(0x00FFFFFFu, CUiRender::MixColors(0xFF808080, 1.0, 0xFF808080, 1.0));
    EXPECT_EQ(0x00FF0000u, CUiRender::MixColors(0x00FF0000, 1.0, 0x00400000, 1.0));
}

TEST(GradientBands, ColourTwoAtTheFarEdgeAndPowerOfTwoBands)
{
    const RECT rc = {0, 0, 10, 64};
    std::vector<UiGradientBand> bands = GradientBands(rc, 0xFF000000, 0xFFFFFFFF, true, 64);
    ASSERT_EQ(64u, bands.size());
    EXPECT_TRUE(SameRect(RECT{0, 63, 10, 64}, bands[0].rect));
    EXPECT_EQ(RGB(255, 255, 255), bands[0].color);
    EXPECT_TRUE(SameRect(RECT{0, 0, 10, 1}, bands[63].rect));
    EXPECT_EQ(RGB(3, 3, 3), bands[63].color);

    bands = GradientBands(rc, 0xFF000000, 0xFFFFFFFF, true, 2);
    ASSERT_EQ(2u, bands.size());
    EXPECT_TRUE(SameRect(RECT{0, 32, 10, 64}, bands[0].rect));
    EXPECT_EQ(RGB(127, 127, 127), bands[1].color);

    const struct {
        int steps;
        size_t bands;
    } counts[] = {{0, 2}, {3, 2}, {4, 4}, {8, 8}, {16, 16}, {32, 32}, {63, 32}, {64, 64}, {1000, 64}};
    const RECT wide = {0, 0, 640, 5};
    for (const auto& c : counts)
        EXPECT_EQ(c.bands, GradientBands(wide, 0xFF102030, 0xFF405060, false, c.steps).size()) << c.steps;

    bands = GradientBands(RECT{0, 0, 10, 1}, 0xFF000000, 0xFFFFFFFF, true, 64);
    EXPECT_EQ(1u, bands.size());  // empty slices are skipped

    bands = GradientBands(RECT{0, 0, 64, 4}, 0xFFFF0000, 0xFF0000FF, false, 64);
    EXPECT_TRUE(SameRect(RECT{63, 0, 64, 4}, bands[0].rect));
    EXPECT_EQ(RGB(0, 0, 255), bands[0].color);
}

}  // namespace
