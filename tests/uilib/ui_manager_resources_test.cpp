// The manager's shared resources: images from the resource folder and the
// skin zip, fonts by index and by description, timers on a real window,
// option groups, class defaults, parent resources and window settings.
#include "UiManager.h"
#include "UiRender.h"
#include "UiZip.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

std::wstring WorkFolder()
{
    return UiTest::WorkFolder(L"uilib_manager_resources_test");
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// A zip of name -> content made with minizip; deflated unless stored.
void MakeZip(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& entries,
             bool stored = false)
{
    zipFile zip = zipOpen(Narrow(path).c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(nullptr, zip);
    for (const auto& entry : entries) {
        zip_fileinfo info = {};
        ASSERT_EQ(ZIP_OK, zipOpenNewFileInZip(zip, entry.first.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                              stored ? 0 : Z_DEFLATED, stored ? 0 : 9));
        ASSERT_EQ(ZIP_OK, zipWriteInFileInZip(zip, entry.second.data(), static_cast<unsigned>(entry.second.size())));
        ASSERT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    }
    ASSERT_EQ(ZIP_OK, zipClose(zip, nullptr));
}

// Sets the uncompressed size in every central directory record.
void PatchCentralSize(std::string& zip, uint32_t size)
{
    for (size_t i = 0; i + 28 <= zip.size(); ++i) {
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2) {
            for (int b = 0; b < 4; ++b)
                zip[i + 24 + b] = static_cast<char>(size >> (8 * b));
        }
    }
}

DWORD PixelOf(const UiImageInfo* image)
{
    BITMAP info = {};
    GetObjectW(image->bitmap, sizeof(info), &info);
    return *static_cast<const DWORD*>(info.bmBits);
}

class ManagerImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUiManager::SetResourceZip(L"");
        CUiManager::SetResourcePath(WorkFolder().c_str());
    }
    void TearDown() override
    {
        CUiManager::SetResourceZip(L"");
        CUiManager::SetResourcePath(L"");
    }
};

TEST_F(ManagerImages, FromTheFolderCachedSharedAndRemoved)
{
    ASSERT_TRUE(testfiles::WriteBytes(WorkFolder() + L"red.png", UiTest::SolidPng(3, 2, 0xFFFF0000)));
    CUiManager manager;
    UiImageInfo* first = manager.AddImage(L"red.png", nullptr, 0x12345678);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(3, first->width);
    EXPECT_EQ(2, first->height);
    EXPECT_EQ(0x12345678u, first->maskColor);
    EXPECT_TRUE(first->resourceType.IsEmpty());
    EXPECT_EQ(0xFFFF0000u, PixelOf(first));
    // A name already loaded: null, the first stays and is shared.
    EXPECT_EQ(nullptr, manager.AddImage(L"red.png"));
    EXPECT_EQ(first, manager.GetOrLoadImage(L"red.png"));
    EXPECT_EQ(first, manager.GetOrLoadImage(L"red.png"));

    EXPECT_EQ(nullptr, manager.AddImage(L"missing.png"));
    EXPECT_EQ(nullptr, manager.GetOrLoadImage(L"missing.png"));
    EXPECT_EQ(nullptr, manager.AddImage(L""));
    // With a resource type the name must be a number; no such resource here.
    EXPECT_EQ(nullptr, manager.AddImage(L"red.png", L"PNG"));
    EXPECT_EQ(nullptr, manager.AddImage(L"101", L"PNG"));

    manager.RemoveAllImages();
    UiImageInfo* again = manager.GetOrLoadImage(L"red.png");
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(0xFFFF0000u, PixelOf(again));
}

TEST_F(ManagerImages, FromAZipOpenedPerLoadAndKeptOpen)
{
    MakeZip(WorkFolder() + L"skin.zip",
            {{"img/blue.png", UiTest::SolidPng(4, 4, 0xFF0000FF)}, {"green.png", UiTest::SolidPng(2, 2, 0xFF00FF00)}});
    for (bool keepOpen : {false, true}) {
        CUiManager::SetResourceZip(L"skin.zip", keepOpen);
        EXPECT_EQ(keepOpen, CUiManager::IsResourceZipCached());
        CUiManager manager;
        UiImageInfo* blue = manager.GetOrLoadImage(L"img/blue.png");
        ASSERT_NE(nullptr, blue) << keepOpen;
        EXPECT_EQ(4, blue->width);
        EXPECT_EQ(0xFF0000FFu, PixelOf(blue));
        // The same entry again after the images were dropped: an entry read
        // to its end just before must be delivered whole once more.
        manager.RemoveAllImages();
        UiImageInfo* reloaded = manager.GetOrLoadImage(L"img/blue.png");
        ASSERT_NE(nullptr, reloaded) << keepOpen;
        EXPECT_EQ(0xFF0000FFu, PixelOf(reloaded));
        // Entry names are matched without regard to case or slash kind.
        EXPECT_NE(nullptr, manager.GetOrLoadImage(L"GREEN.png"));
        EXPECT_NE(nullptr, manager.GetOrLoadImage(L"IMG\\Blue.png"));
        EXPECT_EQ(nullptr, manager.GetOrLoadImage(L"img/none.png"));
        CUiManager::SetResourceZip(L"");
    }
}

TEST_F(ManagerImages, ZipEntriesWithFalseSizesAreRefused)
{
    const std::wstring good = WorkFolder() + L"sizes.zip";
    MakeZip(good, {{"a.png", UiTest::SolidPng(4, 4, 0xFF0000FF)}}, true);
    const std::string bytes = testfiles::ReadBytes(good);
    const std::string png = UiTest::SolidPng(4, 4, 0xFF0000FF);
    struct Case {
        const wchar_t* name;
        uint32_t size;
    } cases[] = {
        {L"huge.zip", 0xFFFFFF00u},                              // far above the cap
        {L"long.zip", static_cast<uint32_t>(png.size() + 100)},  // more than the entry holds
        {L"empty.zip", 0},
    };
    for (const Case& c : cases) {
        std::string patched = bytes;
        PatchCentralSize(patched, c.size);
        ASSERT_TRUE(testfiles::WriteBytes(WorkFolder() + c.name, patched));
        CUiManager::SetResourceZip(c.name, true);
        CUiManager manager;
        EXPECT_EQ(nullptr, manager.GetOrLoadImage(L"a.png")) << c.name;
        CUiManager::SetResourceZip(L"");
    }
    CUiManager::SetResourceZip(L"sizes.zip", true);
    CUiManager manager;
    EXPECT_NE(nullptr, manager.GetOrLoadImage(L"a.png"));
}

// An empty entry is found in the zip: it gives no image, and the name is not
// looked for as a path of its own.
TEST_F(ManagerImages, AnEmptyZipEntryGivesNoImage)
{
    const std::wstring folder = WorkFolder();  // named after the current folder
    MakeZip(folder + L"hollow.zip", {{"p.png", ""}});
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"p.png", UiTest::SolidPng(2, 2, 0xFF00FF00)));
    DeleteFileW((folder + L"q.png").c_str());
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    CUiManager::SetResourceZip(L"hollow.zip", true);
    CUiManager manager;
    EXPECT_EQ(nullptr, manager.GetOrLoadImage(L"p.png"));
    // Not in the zip at all, the name is tried as a path.
    EXPECT_EQ(nullptr, manager.GetOrLoadImage(L"q.png"));
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"q.png", UiTest::SolidPng(2, 2, 0xFF00FF00)));
    EXPECT_NE(nullptr, manager.GetOrLoadImage(L"q.png"));
    CUiManager::SetResourceZip(L"");
    SetCurrentDirectoryW(previous);
}

// A hidden window for a manager to measure its fonts on; it outlives the
// manager, which gives its device context back.
class MeasuringWindow {
public:
    MeasuringWindow()
        : hwnd_(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr))
    {
    }
    ~MeasuringWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST(ManagerFonts, DefaultFontIsMeasuredAndServesOutOfRangeIndexes)
{
    MeasuringWindow window;
    ASSERT_NE(nullptr, window.get());
    CUiManager manager;
    UiFontInfo* info = manager.GetDefaultFontInfo();
    ASSERT_NE(nullptr, info);
    EXPECT_NE(nullptr, info->font);
    EXPECT_FALSE(info->faceName.IsEmpty());
    EXPECT_GT(info->size, 0);
    // Measured on the window's device context, so only once there is one.
    EXPECT_EQ(0, info->metrics.tmHeight);
    manager.AttachWindow(window.get());
    info = manager.GetDefaultFontInfo();
    EXPECT_GT(info->metrics.tmHeight, 0);
    EXPECT_EQ(info->font, manager.GetFont(0));
    EXPECT_EQ(info, manager.GetFontInfo(-1));
}

TEST(ManagerFonts, AddedFontsByIndexAndByDescription)
{
    MeasuringWindow window;
    CUiManager manager;
    manager.AttachWindow(window.get());
    HFONT big = manager.AddFont(L"宋体", 14, true, false, false);
    HFONT small = manager.AddFont(L"宋体", 9, false, true, true);
    ASSERT_NE(nullptr, big);
    ASSERT_NE(nullptr, small);
    EXPECT_EQ(big, manager.GetFont(0));
    EXPECT_EQ(small, manager.GetFont(1));
    EXPECT_EQ(manager.GetDefaultFontInfo()->font, manager.GetFont(2));
    const UiFontInfo* info = manager.GetFontInfo(0);
    EXPECT_EQ(14, info->size);
    EXPECT_TRUE(info->bold);
    EXPECT_FALSE(info->underline);
    EXPECT_GT(info->metrics.tmHeight, 0);
    EXPECT_EQ(info, manager.GetFontInfoOf(big));
    EXPECT_EQ(manager.GetDefaultFontInfo(), manager.GetFontInfoOf(nullptr));
    EXPECT_EQ(small, manager.FindFont(L"宋体", 9, false, true, true));
    EXPECT_EQ(nullptr, manager.FindFont(L"宋体", 9, false, true, false));
    EXPECT_EQ(nullptr, manager.FindFont(L"宋体", 10, false, true, true));
    LOGFONTW logical = {};
    ASSERT_NE(0, GetObjectW(big, sizeof(logical), &logical));
    EXPECT_EQ(-14, logical.lfHeight);
    EXPECT_GE(logical.lfWeight, FW_BOLD);
    ASSERT_NE(0, GetObjectW(small, sizeof(logical), &logical));
    EXPECT_TRUE(logical.lfUnderline);
    EXPECT_TRUE(logical.lfItalic);

    manager.RemoveAllFonts();
    EXPECT_EQ(manager.GetDefaultFontInfo()->font, manager.GetFont(0));
}

TEST(ManagerFonts, OverlongFaceNamesAreCutToFitLogfont)
{
    const std::wstring face(40, L'W');
    CUiManager manager;
    HFONT font = manager.AddFont(face.c_str(), 12, false, false, false);
    ASSERT_NE(nullptr, font);
    LOGFONTW logical = {};
    ASSERT_NE(0, GetObjectW(font, sizeof(logical), &logical));
    EXPECT_EQ(std::wstring(LF_FACESIZE - 1, L'W'), logical.lfFaceName);
    EXPECT_EQ(LF_FACESIZE - 1, manager.GetFontInfo(0)->faceName.GetLength());
    EXPECT_EQ(font, manager.FindFont(face.c_str(), 12, false, false, false));

    manager.SetDefaultFont(face.c_str(), 13, false, false, false);
    EXPECT_EQ(13, manager.GetDefaultFontInfo()->size);
    EXPECT_EQ(LF_FACESIZE - 1, manager.GetDefaultFontInfo()->faceName.GetLength());
}

TEST(ManagerFonts, ChildManagersShareTheParentsFontsAndDefaults)
{
    CUiManager parent;
    CUiManager child;
    HFONT shared = parent.AddFont(L"宋体", 20, false, false, false);
    ASSERT_TRUE(child.SetParentResource(&parent));
    parent.SetDefaultFont(L"宋体", 11, false, false, false);
    EXPECT_EQ(shared, child.FindFont(L"宋体", 20, false, false, false));
    EXPECT_EQ(parent.GetFontInfo(0), child.GetFontInfoOf(shared));
    EXPECT_EQ(parent.GetDefaultFontInfo(), child.GetDefaultFontInfo());
    EXPECT_EQ(11, child.GetDefaultFontInfo()->size);
    EXPECT_EQ(parent.GetDefaultFontInfo()->font, child.GetFont(0));

    parent.SetDefaultFontColor(0xFF123456);
    child.SetDefaultFontColor(0xFF654321);
    EXPECT_EQ(0xFF123456u, child.GetDefaultFontColor());
    EXPECT_EQ(0xFF0000FFu, child.GetDefaultLinkFontColor());
    EXPECT_EQ(0xFFD3215Fu, child.GetDefaultLinkHoverFontColor());
    EXPECT_EQ(0xFFBAE4FFu, child.GetDefaultSelectedBkColor());
    EXPECT_EQ(0xFFA7A6AAu, child.GetDefaultDisabledColor());

    parent.AddClassDefaults(L"Button", L"height=\"20\"");
    child.AddClassDefaults(L"Label", L"width=\"5\"");
    child.AddClassDefaults(L"Label", L"width=\"6\"");
    EXPECT_EQ(std::wstring(L"height=\"20\""), child.GetClassDefaults(L"Button"));
    EXPECT_EQ(std::wstring(L"width=\"5\""), child.GetClassDefaults(L"Label"));
    EXPECT_EQ(nullptr, parent.GetClassDefaults(L"Label"));
    child.RemoveAllClassDefaults();
    EXPECT_EQ(nullptr, child.GetClassDefaults(L"Label"));

    // A cycle is refused and changes nothing.
    EXPECT_FALSE(parent.SetParentResource(&child));
    EXPECT_FALSE(parent.SetParentResource(&parent));
    EXPECT_EQ(nullptr, parent.GetParentResource());
    EXPECT_TRUE(child.SetParentResource(nullptr));
}

TEST(ManagerOptionGroups, MembersAreUniqueAndEmptyGroupsVanish)
{
    CUiManager manager;
    int a = 0;
    int b = 0;
    CControlUI* first = reinterpret_cast<CControlUI*>(&a);
    CControlUI* second = reinterpret_cast<CControlUI*>(&b);
    EXPECT_TRUE(manager.AddOptionGroup(L"g", first));
    EXPECT_FALSE(manager.AddOptionGroup(L"g", first));
    EXPECT_TRUE(manager.AddOptionGroup(L"g", second));
    ASSERT_NE(nullptr, manager.GetOptionGroup(L"g"));
    EXPECT_EQ(2, manager.GetOptionGroup(L"g")->GetSize());
    manager.RemoveOptionGroup(L"g", first);
    EXPECT_EQ(1, manager.GetOptionGroup(L"g")->GetSize());
    manager.RemoveOptionGroup(L"g", second);
    EXPECT_EQ(nullptr, manager.GetOptionGroup(L"g"));
    manager.RemoveOptionGroup(L"none", first);
    EXPECT_TRUE(manager.AddOptionGroup(L"h", first));
    manager.RemoveAllOptionGroups();
    EXPECT_EQ(nullptr, manager.GetOptionGroup(L"h"));
}

// A hidden window of its own, for timers and window settings.
class ManagerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window_);
        manager_.AttachWindow(window_);
    }
    void TearDown() override { DestroyWindow(window_); }

    // Waits up to a second for WM_TIMER with this system id.
    bool TimerFires(UINT_PTR systemId)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 1000) {
            MSG msg;
            while (PeekMessageW(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
                if (msg.wParam == systemId)
                    return true;
            }
            Sleep(5);
        }
        return false;
    }
    void DrainTimers()
    {
        MSG msg;
        while (PeekMessageW(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        }
    }
    bool AnyTimerWithin(DWORD milliseconds)
    {
        const DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < milliseconds) {
            if (PeekMessageW(&msg, window_, WM_TIMER, WM_TIMER, PM_REMOVE))
                return true;
            Sleep(5);
        }
        return false;
    }

    HWND window_ = nullptr;
    CUiManager manager_;
    int keys_[3] = {};
    CControlUI* control(int i) { return reinterpret_cast<CControlUI*>(&keys_[i]); }
};

TEST_F(ManagerWindow, TimersStartAtSeventeenAndRestartWithTheirOwnId)
{
    ASSERT_TRUE(manager_.SetTimer(control(0), 1, 10));
    EXPECT_TRUE(TimerFires(17));
    EXPECT_FALSE(manager_.SetTimer(control(0), 1, 500));  // live: refused
    ASSERT_TRUE(manager_.SetTimer(control(1), 1, 10));
    EXPECT_TRUE(TimerFires(18));

    EXPECT_TRUE(manager_.KillTimer(control(0), 1));
    EXPECT_FALSE(manager_.KillTimer(control(0), 1));
    EXPECT_FALSE(manager_.KillTimer(control(0), 2));
    ASSERT_TRUE(manager_.SetTimer(control(0), 1, 10));  // restarted with id 17
    EXPECT_TRUE(TimerFires(17));

    EXPECT_EQ(1, manager_.KillControlTimers(control(1)));
    EXPECT_EQ(0, manager_.KillControlTimers(control(1)));
    manager_.RemoveAllTimers();
    Sleep(30);
    DrainTimers();
    EXPECT_FALSE(AnyTimerWithin(100));
}

TEST_F(ManagerWindow, SystemIdsWrapAfter254)
{
    ASSERT_TRUE(manager_.SetTimer(control(0), 0, 60000));  // 17
    for (int id = 0; id < 237; ++id)                       // 18 .. 254
        ASSERT_TRUE(manager_.SetTimer(control(1), id, 60000));
    EXPECT_EQ(237, manager_.KillControlTimers(control(1)));
    ASSERT_TRUE(manager_.SetTimer(control(2), 0, 10));
    EXPECT_TRUE(TimerFires(0));
    manager_.RemoveAllTimers();
}

// A timer asked for while no window is attached (or after it went) is refused:
// the system would start a thread timer that nothing could kill.
TEST_F(ManagerWindow, TimersNeedAnAttachedWindow)
{
    const auto threadTimerWithin = [](DWORD milliseconds) {
        const DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < milliseconds) {
            if (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_TIMER, WM_TIMER, PM_REMOVE))
                return true;
            Sleep(5);
        }
        return false;
    };
    CUiManager unattached;
    EXPECT_FALSE(unattached.SetTimer(control(0), 1, 10));
    manager_.DetachWindow();
    EXPECT_FALSE(manager_.SetTimer(control(0), 1, 10));
    EXPECT_FALSE(threadTimerWithin(100));
}

TEST_F(ManagerWindow, OpacityClampsAndTogglesTheLayeredStyle)
{
    manager_.SetOpacity(128);
    EXPECT_EQ(128, manager_.GetOpacity());
    EXPECT_NE(0, GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED);
    manager_.SetOpacity(300);
    EXPECT_EQ(255, manager_.GetOpacity());
    EXPECT_EQ(0, GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED);
    manager_.SetOpacity(-5);
    EXPECT_EQ(0, manager_.GetOpacity());
}

TEST_F(ManagerWindow, InitialSizeResizesTheWindowWhileThereIsNoRoot)
{
    manager_.SetInitialSize(240, 130);
    RECT rc = {};
    GetWindowRect(window_, &rc);
    EXPECT_EQ(240, rc.right - rc.left);
    EXPECT_EQ(130, rc.bottom - rc.top);
    EXPECT_EQ(240, manager_.GetInitialSize().cx);
}

}  // namespace
