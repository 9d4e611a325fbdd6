// The render engine drawing into a 32-bit DIB section: fills, nine-grid
// images, tiling, gradients, clipping and image attribute strings.
#include "UiManager.h"
#include "UiRender.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace UiLib;
using UiTest::Canvas;

namespace {

const DWORD kWhite = 0xFFFFFF;
const DWORD kRed = 0xFF0000;
const DWORD kGreen = 0x00FF00;
const DWORD kBlue = 0x0000FF;

bool Near(DWORD expected, DWORD actual, int tolerance = 2)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        if (abs(e - a) > tolerance)
            return false;
    }
    return true;
}

std::wstring WorkFolder()
{
    return UiTest::WorkFolder(L"uilib_render_pixels_test");
}

// 16 x 16: green 4 x 4 corners, red edges, blue centre.
std::vector<uint32_t> NineGridPixels()
{
    std::vector<uint32_t> pixels(256);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool edgeX = x < 4 || x >= 12;
            const bool edgeY = y < 4 || y >= 12;
            pixels[static_cast<size_t>(y * 16 + x)] =
                edgeX && edgeY ? 0xFF00FF00 : (edgeX || edgeY ? 0xFFFF0000 : 0xFF0000FF);
        }
    }
    return pixels;
}

UiImageInfo* LoadPng(const std::wstring& name, const std::string& png)
{
    const std::wstring path = WorkFolder() + name;
    EXPECT_TRUE(testfiles::WriteBytes(path, png));
    return CUiRender::LoadBitmapImage(path.c_str(), nullptr, 0);
}

TEST(FillColor, AlphaZeroTranslucentAndOpaque)
{
    Canvas canvas(40, 10);
    ASSERT_TRUE(canvas.ok());
    const RECT left = {0, 0, 10, 10};
    const RECT middle = {10, 0, 20, 10};
    const RECT right = {20, 0, 30, 10};
    CUiRender::FillColor(canvas.dc(), left, 0x00FF0000);
    EXPECT_TRUE(canvas.AllEqual(left, kWhite));
    CUiRender::FillColor(canvas.dc(), middle, 0xFF123456);
    EXPECT_TRUE(canvas.AllEqual(middle, 0x123456));
    EXPECT_EQ(kWhite, canvas.At(20, 0));
    CUiRender::FillColor(canvas.dc(), right, 0x80FF0000);
    EXPECT_TRUE(Near(0xFF7F7F, canvas.At(25, 5))) << std::hex << canvas.At(25, 5);

    // Half red over black is dark red, not full red.
    Canvas dark(10, 10, 0x000000);
    CUiRender::FillColor(dark.dc(), left, 0x80FF0000);
    EXPECT_TRUE(Near(0x800000, dark.At(5, 5))) << std::hex << dark.At(5, 5);
}

TEST(DrawBitmap, StretchedNineGridKeepsItsCorners)
{
    UiImageInfo* image = LoadPng(L"grid.png", UiTest::EncodePng(16, 16, NineGridPixels()));
    ASSERT_NE(nullptr, image);
    EXPECT_FALSE(image->hasAlpha);
    const RECT dest = {0, 0, 100, 40};
    const RECT source = {0, 0, 16, 16};
    const RECT corner = {4, 4, 4, 4};
    for (BYTE fade : {BYTE(255), BYTE(254)}) {  // copy path, then blend path
        Canvas canvas(100, 40);
        CUiRender::DrawBitmap(canvas.dc(), image->bitmap, dest, dest, source, corner, false, fade, false, false, false);
        for (const RECT& c : {RECT{0, 0, 4, 4}, RECT{96, 0, 100, 4}, RECT{0, 36, 4, 40}, RECT{96, 36, 100, 40}})
            for (int y = c.top; y < c.bottom; ++y)
                for (int x = c.left; x < c.right; ++x)
                    EXPECT_TRUE(Near(kGreen, canvas.At(x, y))) << int(fade) << " corner " << x << "," << y;
        EXPECT_TRUE(Near(kRed, canvas.At(50, 1))) << int(fade);
        EXPECT_TRUE(Near(kRed, canvas.At(1, 20))) << int(fade);
        EXPECT_TRUE(Near(kRed, canvas.At(98, 20))) << int(fade);
        EXPECT_TRUE(Near(kRed, canvas.At(50, 38))) << int(fade);
        EXPECT_TRUE(Near(kBlue, canvas.At(50, 20))) << int(fade);
        EXPECT_TRUE(Near(kBlue, canvas.At(10, 10))) << int(fade);
    }
    // A hole leaves the centre alone.
    Canvas canvas(100, 40);
    CUiRender::DrawBitmap(canvas.dc(), image->bitmap, dest, dest, source, corner, false, 255, true, false, false);
    EXPECT_EQ(kWhite, canvas.At(50, 20));
    EXPECT_TRUE(Near(kRed, canvas.At(50, 1)));
    CUiRender::FreeImage(image);
}

TEST(DrawBitmap, UnscaledCopyIsClippedToThePaintRect)
{
    UiImageInfo* image = LoadPng(L"solid.png", UiTest::SolidPng(10, 10, 0xFF0000FF));
    ASSERT_NE(nullptr, image);
    Canvas canvas(20, 20);
    const RECT dest = {5, 5, 15, 15};
    const RECT paint = {0, 0, 10, 10};
    const RECT none = {0, 0, 0, 0};
    CUiRender::DrawBitmap(canvas.dc(), image->bitmap, dest, paint, RECT{0, 0, 10, 10}, none, false, 255, false, false,
                          false);
    EXPECT_EQ(kBlue, canvas.At(9, 9));
    EXPECT_EQ(kWhite, canvas.At(10, 10));
    EXPECT_EQ(kWhite, canvas.At(4, 4));
    CUiRender::FreeImage(image);
}

TEST(DrawBitmap, TilingRepeatsAndAZeroSizeTileEnds)
{
    // 4 x 1: red, blue, blue, blue; tiled across 10 pixels.
    UiImageInfo* image =
        LoadPng(L"tile.png", UiTest::EncodePng(4, 1, {0xFFFF0000, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF}));
    ASSERT_NE(nullptr, image);
    Canvas canvas(10, 3);
    const RECT dest = {0, 0, 10, 3};
    const RECT none = {0, 0, 0, 0};
    CUiRender::DrawBitmap(canvas.dc(), image->bitmap, dest, dest, RECT{0, 0, 4, 1}, none, false, 255, false, true,
                          false);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(x % 4 == 0 ? kRed : kBlue, canvas.At(x, 1)) << x;
    CUiRender::FreeImage(image);

    // The corners take the whole 16 x 16 source: nothing is left to tile.
    UiImageInfo* grid = LoadPng(L"grid2.png", UiTest::EncodePng(16, 16, NineGridPixels()));
    ASSERT_NE(nullptr, grid);
    Canvas big(100, 40);
    const RECT wide = {0, 0, 100, 40};
    CUiRender::DrawBitmap(big.dc(), grid->bitmap, wide, wide, RECT{0, 0, 16, 16}, RECT{8, 8, 8, 8}, false, 255, false,
                          true, true);
    EXPECT_EQ(kWhite, big.At(50, 20));
    EXPECT_TRUE(Near(kGreen, big.At(1, 1)));
    CUiRender::DrawBitmap(big.dc(), grid->bitmap, wide, wide, RECT{0, 0, 16, 16}, RECT{9, 9, 9, 9}, true, 255, false,
                          true, false);
    EXPECT_EQ(kWhite, big.At(50, 20));
    CUiRender::FreeImage(grid);
}

TEST(DrawGradient, OpaqueAndTranslucent)
{
    Canvas canvas(10, 64);
    const RECT rc = {0, 0, 10, 64};
    CUiRender::DrawGradient(canvas.dc(), rc, 0xFF000000, 0xFFFFFFFF, true, 64);
    EXPECT_TRUE(Near(0x000000, canvas.At(5, 0), 8)) << std::hex << canvas.At(5, 0);
    EXPECT_TRUE(Near(0xFFFFFF, canvas.At(5, 63), 8)) << std::hex << canvas.At(5, 63);
    EXPECT_LT(canvas.At(5, 10) & 0xFF, canvas.At(5, 50) & 0xFF);

    canvas.Fill(kWhite);
    CUiRender::DrawGradient(canvas.dc(), rc, 0x00000000, 0x00000000, true, 64);
    EXPECT_TRUE(canvas.AllEqual(rc, kWhite));

    // Mean alpha 0x80: black over white gives middle grey at the black end.
    CUiRender::DrawGradient(canvas.dc(), rc, 0x80000000, 0x80000000, false, 8);
    EXPECT_TRUE(Near(0x7F7F7F, canvas.At(5, 32), 3)) << std::hex << canvas.At(5, 32);
}

// The stand-in for AlphaBlend gives what AlphaBlend gives.
TEST(SoftwareAlphaBlend, MatchesTheSystemBlend)
{
    Canvas source(4, 1);
    DWORD* bits = nullptr;
    {
        BITMAP info = {};
        GetObjectW(GetCurrentObject(source.dc(), OBJ_BITMAP), sizeof(info), &info);
        bits = static_cast<DWORD*>(info.bmBits);
    }
    ASSERT_NE(nullptr, bits);
    // premultiplied: half red, opaque blue, quarter white, transparent
    bits[0] = 0x80800000;
    bits[1] = 0xFF0000FF;
    bits[2] = 0x40404040;
    bits[3] = 0x00000000;
    for (BYTE constant : {BYTE(255), BYTE(128)}) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, constant, AC_SRC_ALPHA};
        Canvas software(4, 1, 0x336699);
        Canvas system(4, 1, 0x336699);
        EXPECT_TRUE(CUiRender::SoftwareAlphaBlend(software.dc(), 0, 0, 4, 1, source.dc(), 0, 0, 4, 1, blend));
        ASSERT_TRUE(GdiAlphaBlend(system.dc(), 0, 0, 4, 1, source.dc(), 0, 0, 4, 1, blend));
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(Near(system.At(x, 0), software.At(x, 0)))
                << int(constant) << " #" << x << std::hex << " " << system.At(x, 0) << " " << software.At(x, 0);
    }
}

TEST(CUiClip, RoundRectClipSparesTheCornersAndIsUndone)
{
    Canvas canvas(100, 100);
    const RECT all = {0, 0, 100, 100};
    {
        CUiClip clip;
        CUiClip::ClipToRoundRect(canvas.dc(), RECT{10, 10, 90, 90}, RECT{10, 10, 89, 89}, 40, 40, clip);
        CUiRender::FillColor(canvas.dc(), all, 0xFF000000);
        EXPECT_EQ(0x000000u, canvas.At(50, 50));
        EXPECT_EQ(0x000000u, canvas.At(50, 11));
        EXPECT_EQ(kWhite, canvas.At(11, 11));  // cut off by the rounding
        EXPECT_EQ(kWhite, canvas.At(5, 50));   // outside the rectangle
        clip.UseOuterClip();
        CUiRender::FillColor(canvas.dc(), RECT{0, 0, 3, 3}, 0xFF0000FF);
        EXPECT_EQ(kBlue, canvas.At(1, 1));
        clip.UseOwnClip();
        CUiRender::FillColor(canvas.dc(), RECT{0, 95, 3, 98}, 0xFF0000FF);
        EXPECT_EQ(kWhite, canvas.At(1, 96));
    }
    CUiRender::FillColor(canvas.dc(), RECT{0, 95, 3, 98}, 0xFFFF0000);
    EXPECT_EQ(kRed, canvas.At(1, 96));

    Canvas plain(20, 20);
    {
        CUiClip clip;
        CUiClip::ClipToRect(plain.dc(), RECT{5, 5, 10, 10}, clip);
        CUiRender::FillColor(plain.dc(), RECT{0, 0, 20, 20}, 0xFF000000);
    }
    EXPECT_EQ(0x000000u, plain.At(5, 5));
    EXPECT_EQ(kWhite, plain.At(10, 10));
}

class ImageAttributeDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUiManager::SetResourceZip(L"");
        CUiManager::SetResourcePath(WorkFolder().c_str());
        ASSERT_TRUE(testfiles::WriteBytes(WorkFolder() + L"a.png", UiTest::SolidPng(8, 8, 0xFF0000FF)));
        ASSERT_TRUE(testfiles::WriteBytes(WorkFolder() + L"b.png", UiTest::SolidPng(8, 8, 0xFFFF0000)));
    }
    void TearDown() override { CUiManager::SetResourcePath(L""); }

    CUiManager manager_;
    Canvas canvas_{300, 100};
    const RECT item_ = {100, 50, 200, 80};
};

TEST_F(ImageAttributeDrawing, DestPlacesTheImageInsideTheItem)
{
    const RECT all = {0, 0, 300, 100};
    EXPECT_TRUE(
        CUiRender::DrawImageSpec(canvas_.dc(), &manager_, item_, all, L"file='a.png' dest='0,5,13,18'", nullptr));
    EXPECT_TRUE(canvas_.AllEqual(RECT{100, 55, 113, 68}, kBlue));
    EXPECT_EQ(kWhite, canvas_.At(99, 60));
    EXPECT_EQ(kWhite, canvas_.At(113, 60));
    EXPECT_EQ(kWhite, canvas_.At(105, 54));
    EXPECT_EQ(kWhite, canvas_.At(105, 68));
}

TEST_F(ImageAttributeDrawing, BareNameStretchesOverTheItemAndLaterFilesDrawOnTop)
{
    const RECT all = {0, 0, 300, 100};
    EXPECT_TRUE(CUiRender::DrawImageSpec(canvas_.dc(), &manager_, item_, all, L"a.png", nullptr));
    EXPECT_TRUE(canvas_.AllEqual(item_, kBlue));
    EXPECT_TRUE(CUiRender::DrawImageSpec(canvas_.dc(), &manager_, item_, all, L"file='a.png' file='b.png'", nullptr));
    EXPECT_TRUE(canvas_.AllEqual(item_, kRed));
    EXPECT_EQ(kWhite, canvas_.At(99, 50));
}

TEST_F(ImageAttributeDrawing, MissingImageFailsToDrawButTheAttributeStillAnswersTrue)
{
    const RECT all = {0, 0, 300, 100};
    EXPECT_TRUE(CUiRender::DrawImageSpec(canvas_.dc(), &manager_, item_, all, L"file='missing.png'", nullptr));
    EXPECT_FALSE(CUiRender::DrawImageParsed(canvas_.dc(), &manager_, item_, all, CUiString(L"missing.png"), CUiString(),
                                            item_, RECT{}, RECT{}, 0, 255, false, false, false));
    EXPECT_FALSE(CUiRender::DrawImageParsed(canvas_.dc(), &manager_, item_, all, CUiString(), CUiString(), item_,
                                            RECT{}, RECT{}, 0, 255, false, false, false));
    EXPECT_FALSE(CUiRender::DrawImageSpec(canvas_.dc(), nullptr, item_, all, L"a.png", nullptr));
    EXPECT_TRUE(canvas_.AllEqual(all, kWhite));
}

TEST(LoadBitmapImage, PremultipliesAndAppliesTheMask)
{
    // Half-transparent white, then an opaque pixel equal to the mask.
    const std::string png = UiTest::EncodePng(2, 1, {0x80FFFFFF, 0xFF102030});
    const std::wstring path = WorkFolder() + L"alpha.png";
    ASSERT_TRUE(testfiles::WriteBytes(path, png));
    UiImageInfo* image = CUiRender::LoadBitmapImage(path.c_str(), nullptr, 0xFF102030);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(2, image->width);
    EXPECT_EQ(1, image->height);
    EXPECT_TRUE(image->hasAlpha);
    BITMAP info = {};
    ASSERT_EQ(static_cast<int>(sizeof(info)), GetObjectW(image->bitmap, sizeof(info), &info));
    const DWORD* bits = static_cast<const DWORD*>(info.bmBits);
    EXPECT_EQ(0x80808080u, bits[0]);
    EXPECT_EQ(0u, bits[1]);
    CUiRender::FreeImage(image);

    const std::wstring junk = WorkFolder() + L"junk.png";
    ASSERT_TRUE(testfiles::WriteBytes(junk, "not an image"));
    EXPECT_EQ(nullptr, CUiRender::LoadBitmapImage(junk.c_str(), nullptr, 0));
    EXPECT_EQ(nullptr, CUiRender::LoadBitmapImage((WorkFolder() + L"nothing.png").c_str(), nullptr, 0));
}

}  // namespace
