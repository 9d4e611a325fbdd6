// The window classes: a skinned window from a skin folder and from a skin zip
// made here, its window settings, the frameless hit testing, the close path,
// the notification pump's maps, a superclassed system window, centring, the
// trace line, and the end of a program whose skin cannot be loaded.
#include "ContainerUI.h"
#include "ControlUI.h"
#include "NotifyPump.h"
#include "UiManager.h"
#include "UiTrace.h"
#include "WindowImplBase.h"
#include "WindowWnd.h"
#include "ui_render_test_support.h"
#include "ui_window_test_support.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace UiLib;
using UiTest::SkinWindow;

namespace {

const wchar_t kSkinFolder[] = L"uilib_window_test.skin";

const char kFolderSkin[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"300,200\" sizebox=\"4,4,4,4\" caption=\"0,0,0,30\" roundcorner=\"6,6\" mininfo=\"120,80\">\n"
    "  <Font name=\"Arial\" size=\"15\" bold=\"true\"/>\n"
    "  <Default name=\"Control\" value=\"tooltip=&quot;from default&quot;\"/>\n"
    "  <Image name=\"dot.png\"/>\n"
    "  <Container name=\"root\">\n"
    "    <FakeButton name=\"btn\" float=\"true\" pos=\"10,5,50,25\"/>\n"
    "    <FakeLabel name=\"label\" float=\"true\" pos=\"60,5,100,25\"/>\n"
    "    <FakeOption name=\"opt\" float=\"true\" pos=\"110,5,150,25\"/>\n"
    "    <Control name=\"body\" float=\"true\" pos=\"10,100,50,120\"/>\n"
    "  </Container>\n"
    "</Window>\n";

const char kZipSkin[] = "<Window size=\"240,160\"><Container name=\"fromzip\"/></Window>";

std::wstring SkinPath(const wchar_t* name)
{
    return testfiles::OwnExeDir() + L"\\" + kSkinFolder + L"\\" + name;
}

void MakeZip(const std::wstring& path, const std::string& name, const std::string& content)
{
    zipFile zip = zipOpen(std::string(path.begin(), path.end()).c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(nullptr, zip);
    zip_fileinfo info = {};
    ASSERT_EQ(ZIP_OK, zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9));
    ASSERT_EQ(ZIP_OK, zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())));
    ASSERT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    ASSERT_EQ(ZIP_OK, zipClose(zip, nullptr));
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<std::wstring> g_traces;

void CollectTrace(const wchar_t* text)
{
    g_traces.push_back(text);
}

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CUiManager::SetInstance(GetModuleHandleW(nullptr), CollectTrace);
        const std::wstring folder = testfiles::OwnExeDir() + L"\\" + kSkinFolder;
        testfiles::RemoveTree(folder);
        CreateDirectoryW(folder.c_str(), nullptr);
        testfiles::WriteBytes(SkinPath(L"Main.xml"), kFolderSkin);
        testfiles::WriteBytes(SkinPath(L"dot.png"), UiTest::SolidPng(2, 2, 0xFFFF0000));
    }
    static void TearDownTestSuite()
    {
        CUiManager::SetResourceZip(L"", false);
        testfiles::RemoveTree(testfiles::OwnExeDir() + L"\\" + kSkinFolder);
    }

    // A folder-skinned window at (100, 100), laid out at its client size.
    void CreateFolderWindow(SkinWindow& window)
    {
        ASSERT_NE(nullptr, window.Create(nullptr, L"test", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 100, 100, 50, 50));
        ASSERT_NE(nullptr, window.GetManager().GetRoot());
        Layout(window);
    }
    void Layout(SkinWindow& window)
    {
        RECT client = {};
        GetClientRect(window, &client);
        window.GetManager().GetRoot()->SetBounds(client);
    }
    static LRESULT HitTest(HWND window, int x, int y)
    {
        RECT rc = {};
        GetWindowRect(window, &rc);
        return SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(rc.left + x, rc.top + y));
    }
};

TEST_F(WindowTest, FolderSkinBuildsTheTreeAndAppliesTheWindowSettings)
{
    SkinWindow window(SkinFromFolder, kSkinFolder, L"Main.xml");
    CreateFolderWindow(window);
    CUiManager& manager = window.GetManager();
    EXPECT_EQ(1, window.skinLoaded);
    EXPECT_STREQ(L"root", manager.GetRoot()->GetName().GetData());
    EXPECT_EQ(SkinPath(L""), std::wstring(CUiManager::GetResourcePath().GetData()));

    // No caption, clipping on, and the skin's size.
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(0, style & WS_CAPTION);
    EXPECT_EQ(WS_CLIPSIBLINGS | WS_CLIPCHILDREN, style & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    // Without its frame the window is put at its client rect's origin; its
    // creator places it afterwards.
    RECT rc = {};
    GetWindowRect(window, &rc);
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(0, rc.top);
    EXPECT_EQ(300, rc.right - rc.left);
    EXPECT_EQ(200, rc.bottom - rc.top);

    // Round corners give the window a region.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(ERROR, GetWindowRgn(window, region));
    DeleteObject(region);

    MINMAXINFO info = {};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(120, info.ptMinTrackSize.x);
    EXPECT_EQ(80, info.ptMinTrackSize.y);
    EXPECT_GT(info.ptMaxSize.x, 0);

    ASSERT_NE(nullptr, manager.GetFontInfo(0));
    EXPECT_STREQ(L"Arial", manager.GetFontInfo(0)->faceName.GetData());
    EXPECT_EQ(15, manager.GetFontInfo(0)->size);
    EXPECT_STREQ(L"from default", manager.FindControlByName(L"body")->GetTooltip().GetData());
    EXPECT_EQ(nullptr, manager.AddImage(L"dot.png"));  // already loaded by the skin
    DestroyWindow(window);
}

// Points this program's import of a function at a replacement for the life
// of the object, so that a test sees the calls that the library makes.
class ImportPatch {
public:
    ImportPatch(const char* module, const char* function, void* replacement) : slot_(FindSlot(module, function))
    {
        if (slot_ != nullptr)
            original_ = Swap(replacement);
    }
    ~ImportPatch()
    {
        if (slot_ != nullptr)
            Swap(original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool IsSet() const { return slot_ != nullptr; }
    void* Original() const { return original_; }

private:
    static ULONG_PTR* FindSlot(const char* module, const char* function)
    {
        BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        const IMAGE_NT_HEADERS* headers =
            reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        const IMAGE_IMPORT_DESCRIPTOR* entry =
            reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
        for (; entry->Name != 0; ++entry) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), module) != 0 ||
                entry->OriginalFirstThunk == 0)
                continue;
            const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const IMAGE_IMPORT_BY_NAME* name =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (strcmp(reinterpret_cast<const char*>(name->Name), function) == 0)
                    return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
            }
        }
        return nullptr;
    }
    void* Swap(void* replacement)
    {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof(*slot_), PAGE_READWRITE, &protection);
        void* previous = reinterpret_cast<void*>(*slot_);
        *slot_ = reinterpret_cast<ULONG_PTR>(replacement);
        VirtualProtect(slot_, sizeof(*slot_), protection, &protection);
        return previous;
    }

    ULONG_PTR* slot_;
    void* original_ = nullptr;
};

// What the window did with the regions it made, through its imports.
struct RegionCalls {
    bool systemTakesRegions = true;
    std::vector<HRGN> given;
    std::vector<HGDIOBJ> deleted;
    ImportPatch* setRegion = nullptr;
    ImportPatch* deleteObject = nullptr;
};
RegionCalls g_regions;

int WINAPI RecordSetWindowRgn(HWND window, HRGN region, BOOL redraw)
{
    g_regions.given.push_back(region);
    if (!g_regions.systemTakesRegions)
        return 0;
    return reinterpret_cast<int(WINAPI*)(HWND, HRGN, BOOL)>(g_regions.setRegion->Original())(window, region, redraw);
}

BOOL WINAPI RecordDeleteObject(HGDIOBJ object)
{
    g_regions.deleted.push_back(object);
    return reinterpret_cast<BOOL(WINAPI*)(HGDIOBJ)>(g_regions.deleteObject->Original())(object);
}

// A region that the system took belongs to it; deleting it as well frees it
// twice. Wine deletes its copy at once and cannot show that, so the calls are
// read as the window makes them. A region the system refused is the
// window's own to delete.
TEST_F(WindowTest, RoundCornersLeaveTheRegionToTheSystemOnceItTookIt)
{
    SkinWindow window(SkinFromFolder, kSkinFolder, L"Main.xml");
    CreateFolderWindow(window);
    ImportPatch setRegion("user32.dll", "SetWindowRgn", reinterpret_cast<void*>(RecordSetWindowRgn));
    ImportPatch deleteObject("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(RecordDeleteObject));
    ASSERT_TRUE(setRegion.IsSet());
    ASSERT_TRUE(deleteObject.IsSet());
    g_regions.setRegion = &setRegion;
    g_regions.deleteObject = &deleteObject;
    for (const bool systemTakes : {true, false}) {
        g_regions.systemTakesRegions = systemTakes;
        g_regions.given.clear();
        g_regions.deleted.clear();
        SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
        ASSERT_EQ(1u, g_regions.given.size()) << systemTakes;
        const int deletes =
            static_cast<int>(std::count(g_regions.deleted.begin(), g_regions.deleted.end(), g_regions.given[0]));
        EXPECT_EQ(systemTakes ? 0 : 1, deletes) << systemTakes;
    }
    DestroyWindow(window);
}

TEST_F(WindowTest, ZipSkinIsReadFromTheZipWhichALaterFolderSkinStillSees)
{
    MakeZip(SkinPath(L"skin.zip"), "Main.xml", kZipSkin);
    {
        SkinWindow window(SkinFromZipFile, kSkinFolder, L"Main.xml", L"skin.zip");
        ASSERT_NE(nullptr, window.Create(nullptr, L"zip", WS_POPUP, 0, 0, 0, 10, 10));
        ASSERT_NE(nullptr, window.GetManager().GetRoot());
        EXPECT_STREQ(L"fromzip", window.GetManager().GetRoot()->GetName().GetData());
        EXPECT_STREQ(L"skin.zip", CUiManager::GetResourceZip().GetData());
        RECT rc = {};
        GetWindowRect(window, &rc);
        EXPECT_EQ(240, rc.right - rc.left);
        // Without round corners the window keeps no region.
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(ERROR, GetWindowRgn(window, region));
        DeleteObject(region);
        DestroyWindow(window);
    }
    // A folder skin sets no zip of its own: the one set for the process is
    // still where its markup is looked up.
    SkinWindow window(SkinFromFolder, kSkinFolder, L"Main.xml");
    ASSERT_NE(nullptr, window.Create(nullptr, L"folder", WS_POPUP, 0, 0, 0, 10, 10));
    EXPECT_STREQ(L"skin.zip", CUiManager::GetResourceZip().GetData());
    EXPECT_STREQ(L"fromzip", window.GetManager().GetRoot()->GetName().GetData());
    DestroyWindow(window);
    CUiManager::SetResourceZip(L"", false);
    SkinWindow later(SkinFromFolder, kSkinFolder, L"Main.xml");
    CreateFolderWindow(later);
    EXPECT_STREQ(L"root", later.GetManager().GetRoot()->GetName().GetData());
    DestroyWindow(later);
}

TEST_F(WindowTest, MissingSkinZipResourceLeavesAWindowWithoutControls)
{
    SkinWindow window(SkinFromZipResource, kSkinFolder, L"Main.xml");
    ASSERT_NE(nullptr, window.Create(nullptr, L"nozip", WS_POPUP, 0, 0, 0, 10, 10));
    EXPECT_EQ(nullptr, window.GetManager().GetRoot());
    EXPECT_EQ(0, window.skinLoaded);
    EXPECT_EQ(HTCLIENT, HitTest(window, 5, 5));
    DestroyWindow(window);
}

TEST_F(WindowTest, HitTestGivesSizingBordersAndTheCaptionOutsideClickableControls)
{
    SkinWindow window(SkinFromFolder, kSkinFolder, L"Main.xml");
    CreateFolderWindow(window);
    ASSERT_EQ(20, window.GetManager().FindControlByName(L"btn")->GetBoundsHeight());
    struct Case {
        int x, y;
        LRESULT expected;
    };
    // clang-format off
    const Case cases[] = {
        {1, 1, HTTOPLEFT},     {150, 1, HTTOP},       {298, 2, HTTOPRIGHT},
        {1, 100, HTLEFT},      {298, 100, HTRIGHT},   {2, 198, HTBOTTOMLEFT},
        {150, 198, HTBOTTOM},  {298, 198, HTBOTTOMRIGHT},
        {20, 15, HTCLIENT},    // "ButtonUI"
        {120, 15, HTCLIENT},   // "optionui": the type test ignores case
        {70, 15, HTCAPTION},   // "LabelUI"
        {200, 15, HTCAPTION},  // the root container
        {200, 29, HTCAPTION},  {200, 30, HTCLIENT},    // the caption's bottom is outside
        {20, 110, HTCLIENT},   {150, 100, HTCLIENT},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, HitTest(window, c.x, c.y)) << c.x << "," << c.y;

    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    Layout(window);
    RECT client = {};
    GetClientRect(window, &client);
    // Maximised, the whole work area is client area.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    EXPECT_EQ(monitor.rcWork.right - monitor.rcWork.left, client.right);
    EXPECT_EQ(monitor.rcWork.bottom - monitor.rcWork.top, client.bottom);
    const POINT corners[] = {
        {1, 1}, {client.right - 2, 1}, {1, client.bottom - 2}, {client.right - 2, client.bottom - 2}};
    for (const POINT& pt : corners) {
        const LRESULT hit = HitTest(window, pt.x, pt.y);
        EXPECT_TRUE(hit == HTCLIENT || hit == HTCAPTION) << pt.x << "," << pt.y << " -> " << hit;
    }
    DestroyWindow(window);
}

// Counts the windows that went and the objects that were deleted.
int g_gone = 0;
int g_deleted = 0;

class SelfDeletingWindow : public SkinWindow {
public:
    SelfDeletingWindow() : SkinWindow(SkinFromFolder, kSkinFolder, L"Main.xml") {}
    ~SelfDeletingWindow() override { ++g_deleted; }
    void OnWindowGone(HWND window) override
    {
        SkinWindow::OnWindowGone(window);
        ++g_gone;
        goneHandle = window;
        handleAtGone = GetHwnd();
        rootAtGone = GetManager().GetRoot();
        delete this;
    }
    static HWND goneHandle;
    static HWND handleAtGone;
    static CControlUI* rootAtGone;
};
HWND SelfDeletingWindow::goneHandle = nullptr;
HWND SelfDeletingWindow::handleAtGone = nullptr;
CControlUI* SelfDeletingWindow::rootAtGone = nullptr;

TEST_F(WindowTest, CloseEndsInOnWindowGoneWhereTheWindowMayDeleteItself)
{
    g_gone = g_deleted = 0;
    SelfDeletingWindow* window = new SelfDeletingWindow;
    const HWND hwnd = window->Create(nullptr, L"close", WS_POPUP, 0, 0, 0, 10, 10);
    ASSERT_NE(nullptr, hwnd);
    window->Close(2);
    EXPECT_TRUE(IsWindow(hwnd));  // posted, not sent
    PumpMessages();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(1, g_gone);
    EXPECT_EQ(1, g_deleted);
    EXPECT_EQ(hwnd, SelfDeletingWindow::goneHandle);
    EXPECT_EQ(nullptr, SelfDeletingWindow::handleAtGone);
    EXPECT_NE(nullptr, SelfDeletingWindow::rootAtGone);  // kept until the manager goes
}

// Refuses its creation, as a window may when it lacks what it needs.
class RefusingWindow : public SelfDeletingWindow {
public:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, bool&) override { return -1; }
};

TEST_F(WindowTest, AWindowThatRefusesCreationIsGoneBeforeCreateReturns)
{
    g_gone = g_deleted = 0;
    RefusingWindow* window = new RefusingWindow;
    EXPECT_EQ(nullptr, window->Create(nullptr, L"refused", WS_POPUP, 0, 0, 0, 10, 10));
    EXPECT_EQ(1, g_gone);
    EXPECT_EQ(1, g_deleted);
}

TEST_F(WindowTest, TheSystemCloseCommandClosesTheWindow)
{
    // SC_CLOSE closes at once; with low bits set the system closes it.
    const WPARAM commands[] = {SC_CLOSE, SC_CLOSE | 2};
    for (WPARAM command : commands) {
        g_gone = g_deleted = 0;
        SelfDeletingWindow* window = new SelfDeletingWindow;
        const HWND hwnd = window->Create(nullptr, L"sysclose", WS_POPUP, 0, 0, 0, 10, 10);
        ASSERT_NE(nullptr, hwnd);
        EXPECT_EQ(0, SendMessageW(hwnd, WM_SYSCOMMAND, command, 0));
        EXPECT_FALSE(IsWindow(hwnd)) << command;
        EXPECT_EQ(1, g_deleted) << command;
    }
}

BOOL CALLBACK CollectTooltips(HWND window, LPARAM found)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, L"tooltips_class32") == 0)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

// The tooltip windows of this thread owned by the window.
std::vector<HWND> TooltipsOf(HWND owner)
{
    std::vector<HWND> all;
    EnumThreadWindows(GetCurrentThreadId(), CollectTooltips, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> owned;
    for (HWND tip : all) {
        if (GetWindow(tip, GW_OWNER) == owner)
            owned.push_back(tip);
    }
    return owned;
}

MSG TabKeyFor(HWND window)
{
    MSG msg = {};
    msg.hwnd = window;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    return msg;
}

TEST_F(WindowTest, OneWindowObjectShowsASecondWindowAsFreshAsTheFirst)
{
    SkinWindow* window = new SkinWindow(SkinFromFolder, kSkinFolder, L"Main.xml");
    for (int round = 1; round <= 2; ++round) {
        const HWND hwnd = window->Create(nullptr, L"again", WS_POPUP, 0, 100, 100, 50, 50);
        ASSERT_NE(nullptr, hwnd) << round;
        CUiManager& manager = window->GetManager();
        EXPECT_EQ(round, window->skinLoaded);
        EXPECT_EQ(hwnd, manager.GetWindow());
        // The skin's size applies to every window, not only the first.
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        EXPECT_EQ(300, rc.right - rc.left) << round;
        EXPECT_EQ(200, rc.bottom - rc.top) << round;
        // The skin's one font is font 0 again, and the only one.
        EXPECT_STREQ(L"Arial", manager.GetFontInfo(0)->faceName.GetData());
        EXPECT_EQ(manager.GetDefaultFontInfo(), manager.GetFontInfo(1)) << round;
        MSG tab = TabKeyFor(hwnd);
        EXPECT_TRUE(CUiManager::TranslateMessage(&tab)) << round;

        // A tooltip of this window, owned by it.
        Layout(*window);
        CControlUI* body = manager.FindControlByName(L"body");
        ASSERT_NE(nullptr, body);
        const RECT& bounds = body->GetBounds();
        const LPARAM at = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, at);
        SendMessageW(hwnd, WM_MOUSEHOVER, 0, at);
        EXPECT_EQ(1u, TooltipsOf(hwnd).size()) << round;

        DestroyWindow(hwnd);
        EXPECT_TRUE(TooltipsOf(hwnd).empty());
        // Its manager has left the live list with it.
        EXPECT_FALSE(CUiManager::TranslateMessage(&tab)) << round;
        EXPECT_EQ(nullptr, manager.GetWindow());
    }
    delete window;

    // With the object gone, the loop's look-up over the live managers and a
    // message for another skinned window go on as before.
    SkinWindow other(SkinFromFolder, kSkinFolder, L"Main.xml");
    ASSERT_NE(nullptr, other.Create(nullptr, L"other", WS_POPUP, 0, 0, 0, 50, 50));
    MSG msg = TabKeyFor(other);
    EXPECT_TRUE(CUiManager::TranslateMessage(&msg));
    PostMessageW(other, WM_NULL, 0, 0);
    MSG queued = {};
    while (PeekMessageW(&queued, nullptr, 0, 0, PM_REMOVE)) {
        if (!CUiManager::TranslateMessage(&queued)) {
            TranslateMessage(&queued);
            DispatchMessageW(&queued);
        }
    }
    DestroyWindow(other);
}

TEST_F(WindowTest, ManagerNotificationsReachTheWindowsClickHandler)
{
    SkinWindow window(SkinFromFolder, kSkinFolder, L"Main.xml");
    CreateFolderWindow(window);
    CUiManager& manager = window.GetManager();
    manager.SendNotify(manager.FindControlByName(L"btn"), L"click");
    manager.SendNotify(manager.FindControlByName(L"body"), L"setfocus");
    manager.SendNotify(manager.FindControlByName(L"label"), L"click");
    EXPECT_EQ((std::vector<std::wstring>{L"btn", L"label"}), window.clicks);
    DestroyWindow(window);
    // Gone windows are no longer told.
    EXPECT_FALSE(manager.RemoveNotifier(&window));
}

// A window with handlers of both kinds, reached by type and sender name.
class PumpWindow : public SkinWindow {
public:
    PumpWindow() : SkinWindow(SkinFromFolder, kSkinFolder, L"Main.xml") {}
    const UiNotifyMap* GetNotifyMap() const override { return &kMap; }

    void OnAnyClick(UiNotify& notify) { calls.push_back(L"any:" + Name(notify)); }
    void OnLastAnyClick(UiNotify& notify) { calls.push_back(L"lastany:" + Name(notify)); }
    void OnClickX(UiNotify& notify) { calls.push_back(L"x:" + Name(notify)); }
    void OnSelect(WPARAM wParam, LPARAM lParam)
    {
        calls.push_back(L"select:" + std::to_wstring(wParam) + L"," + std::to_wstring(lParam));
    }

    std::vector<std::wstring> calls;

private:
    static std::wstring Name(UiNotify& notify) { return notify.sender->GetName().GetData(); }
    static const UiNotifyMapEntry kEntries[];
    static const UiNotifyMap kMap;
};

const UiNotifyMapEntry PumpWindow::kEntries[] = {
    UiNotifyEntry(L"click", L"", &PumpWindow::OnAnyClick),
    UiNotifyEntry(L"click", L"x", &PumpWindow::OnClickX),
    UiNotifyEntry(L"click", L"", &PumpWindow::OnLastAnyClick),
    UiNotifyEntry(L"itemselect", L"", &PumpWindow::OnSelect),
    UiNotifyMapEndEntry(),
};
const UiNotifyMap PumpWindow::kMap = {&WindowImplBase::GetThisNotifyMap, PumpWindow::kEntries};

// A pump of a virtual window.
class SidePump : public CNotifyPump {
public:
    const UiNotifyMap* GetNotifyMap() const override { return &kMap; }
    void OnClick(UiNotify&) { ++clicks; }
    int clicks = 0;

private:
    static const UiNotifyMapEntry kEntries[];
    static const UiNotifyMap kMap;
};
const UiNotifyMapEntry SidePump::kEntries[] = {
    UiNotifyEntry(L"click", L"", &SidePump::OnClick),
    UiNotifyMapEndEntry(),
};
const UiNotifyMap SidePump::kMap = {&CNotifyPump::GetThisNotifyMap, SidePump::kEntries};

UiNotify MakeNotify(const wchar_t* type, CControlUI* sender, WPARAM wParam = 0, LPARAM lParam = 0)
{
    UiNotify notify = {};
    notify.type = type;
    notify.sender = sender;
    notify.wParam = wParam;
    notify.lParam = lParam;
    return notify;
}

TEST(NotifyPumpTest, EntriesAreChosenByTypeThenByTheSendersName)
{
    PumpWindow window;
    CControlUI x, y;
    x.SetName(L"x");
    y.SetName(L"y");
    struct Case {
        const wchar_t* type;
        CControlUI* sender;
        bool handled;
        const wchar_t* call;
    };
    const Case cases[] = {
        {L"click", &x, true, L"x:x"},              // the named entry beats the any-sender ones
        {L"click", &y, true, L"lastany:y"},        // the last any-sender entry wins
        {L"itemselect", &y, true, L"select:7,9"},  // a handler of wParam and lParam
        {L"Click", &x, false, nullptr},            // types compare exactly
        {L"click", nullptr, false, nullptr},       // no sender, no handler
    };
    for (const Case& c : cases) {
        window.calls.clear();
        UiNotify notify = MakeNotify(c.type, c.sender, 7, 9);
        EXPECT_EQ(c.handled, window.DispatchNotify(notify)) << c.type;
        if (c.call != nullptr)
            EXPECT_EQ(std::vector<std::wstring>{c.call}, window.calls) << c.type;
        else
            EXPECT_TRUE(window.calls.empty()) << c.type;
    }
}

TEST(NotifyPumpTest, TheBaseWindowsClickEntryCallsOnClick)
{
    SkinWindow window(SkinFromFolder, kSkinFolder, L"Main.xml");
    CControlUI sender;
    sender.SetName(L"ok");
    UiNotify notify = MakeNotify(L"click", &sender);
    window.Notify(notify);
    EXPECT_EQ(std::vector<std::wstring>{L"ok"}, window.clicks);
    UiNotify other = MakeNotify(L"selectchanged", &sender);
    EXPECT_FALSE(window.DispatchNotify(other));
}

TEST(NotifyPumpTest, AVirtualWindowsPumpIsAskedFirstByCaseInsensitiveName)
{
    PumpWindow window;
    SidePump side;
    ASSERT_TRUE(window.AddVirtualWnd(L"Side", &side));
    CControlUI sender;
    sender.SetName(L"x");
    UiNotify notify = MakeNotify(L"click", &sender);
    notify.virtualWindow = L"SIDE";
    EXPECT_TRUE(window.DispatchNotify(notify));
    EXPECT_EQ(1, side.clicks);
    EXPECT_TRUE(window.calls.empty());

    // Types the sub-pump lacks fall through to the window's own maps.
    UiNotify select = MakeNotify(L"itemselect", &sender, 1, 2);
    select.virtualWindow = L"side";
    EXPECT_TRUE(window.DispatchNotify(select));
    EXPECT_EQ(std::vector<std::wstring>{L"select:1,2"}, window.calls);

    EXPECT_TRUE(window.RemoveVirtualWnd(L"Side"));
    window.calls.clear();
    EXPECT_TRUE(window.DispatchNotify(notify));
    EXPECT_EQ(1, side.clicks);
    EXPECT_EQ(std::vector<std::wstring>{L"x:x"}, window.calls);
}

// An edit control of the system with its own class name.
class EditWindow : public CWindowWnd {
public:
    const wchar_t* GetRegisteredClassName() const override { return L"UiTestEdit"; }
    const wchar_t* GetSuperclassBaseName() const override { return L"Edit"; }
    void OnWindowGone(HWND window) override { gone = window; }
    HWND gone = nullptr;
};

TEST(WindowWndTest, ASuperclassedSystemWindowKeepsItsBehaviourAndFindsItsObject)
{
    CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    EditWindow edit;
    const HWND hwnd = edit.Create(nullptr, L"typed", WS_POPUP, 0, 0, 0, 100, 20);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(&edit, GetPropW(hwnd, L"WndX"));
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    EXPECT_STREQ(L"UiTestEdit", cls);
    // The edit's own procedure took the creation text and answers edit messages.
    EXPECT_EQ(5, GetWindowTextLengthW(hwnd));
    EXPECT_GT(edit.SendWindowMessage(EM_GETLIMITTEXT), 0);
    SetWindowTextW(hwnd, L"changed");
    wchar_t text[16] = {};
    GetWindowTextW(hwnd, text, 16);
    EXPECT_STREQ(L"changed", text);
    DestroyWindow(hwnd);
    EXPECT_EQ(hwnd, edit.gone);
    EXPECT_EQ(nullptr, edit.GetHwnd());
}

BOOL CALLBACK CollectPropertyName(HWND, LPWSTR name, HANDLE, ULONG_PTR names)
{
    // Properties named by an atom number carry no text.
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(name);
    return TRUE;
}

// Reads the window's properties in its last message, after the superclass
// procedure has finished with it.
class PropertyListingEdit : public EditWindow {
public:
    void OnWindowGone(HWND window) override
    {
        EditWindow::OnWindowGone(window);
        EnumPropsExW(window, CollectPropertyName, reinterpret_cast<LPARAM>(&propertiesAtTheEnd));
        RemovePropW(window, L"Other");
    }
    std::vector<std::wstring> propertiesAtTheEnd;
};

// A property must be removed before its window goes; one that is only set
// to null is still on the window's list.
TEST(WindowWndTest, ASuperclassedWindowRemovesItsObjectPropertyBeforeItGoes)
{
    CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    PropertyListingEdit edit;
    const HWND hwnd = edit.Create(nullptr, L"", WS_POPUP, 0, 0, 0, 100, 20);
    ASSERT_NE(nullptr, hwnd);
    SetPropW(hwnd, L"Other", reinterpret_cast<HANDLE>(1));
    DestroyWindow(hwnd);
    ASSERT_EQ(hwnd, edit.gone);
    // The property that the test set itself shows that the list was read.
    EXPECT_EQ(std::vector<std::wstring>{L"Other"}, edit.propertiesAtTheEnd);
}

class PlainWindow : public CWindowWnd {
public:
    const wchar_t* GetRegisteredClassName() const override { return L"UiTestPlain"; }
};

TEST(WindowWndTest, CenterOnOwnerCentresOnTheOwnerAndStaysInTheWorkArea)
{
    CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    struct Case {
        int ownerX, ownerY;
        int expectedX, expectedY;
    };
    const Case cases[] = {
        {work.left + 100, work.top + 100, work.left + 250, work.top + 225},
        {work.right - 100, work.bottom - 50, work.right - 100, work.bottom - 50},  // pushed back inside
    };
    for (const Case& c : cases) {
        PlainWindow owner;
        PlainWindow box;
        ASSERT_NE(nullptr, owner.Create(nullptr, L"owner", WS_POPUP, 0, c.ownerX, c.ownerY, 400, 300));
        ASSERT_NE(nullptr, box.Create(owner, L"box", WS_POPUP, 0, 0, 0, 100, 50));
        box.CenterOnOwner();
        RECT rc = {};
        GetWindowRect(box, &rc);
        EXPECT_EQ(c.expectedX, rc.left);
        EXPECT_EQ(c.expectedY, rc.top);
        DestroyWindow(box);
        DestroyWindow(owner);
    }
}

TEST(UiTraceTest, ALineIsFormattedCutTo509UnitsAndEndsWithALineFeed)
{
    CUiManager::SetInstance(GetModuleHandleW(nullptr), CollectTrace);
    g_traces.clear();
    UiTrace(L"%s=%d", L"count", 42);
    const std::wstring longText(600, L'a');
    UiTrace(L"%s", longText.c_str());
    ASSERT_EQ(2u, g_traces.size());
    EXPECT_EQ(L"count=42\n", g_traces[0]);
    EXPECT_EQ(std::wstring(509, L'a') + L"\n", g_traces[1]);
}

// Runs the child program with arguments; its exit code, or 99 when it hung.
DWORD RunChild(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring command = L"\"" + testfiles::OwnExeDir() + L"\\" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 98;
    DWORD code = 99;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(SkinFailureTest, AMissingSkinEndsTheProgramWithAnErrorBox)
{
    const std::wstring report = testfiles::OwnExeDir() + L"\\uilib_window_child.report";
    DeleteFileW(report.c_str());
    EXPECT_EQ(1u, RunChild(L"uilib_window_child.exe", L"fail \"" + report + L"\""));
    const std::string bytes = testfiles::ReadBytes(report);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    EXPECT_EQ(L"UiLib|加载资源文件失败:Missing.xml", text);
    DeleteFileW(report.c_str());
}

bool AddResource(HANDLE update, const wchar_t* type, WORD id, const std::string& bytes)
{
    return UpdateResourceW(update, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                           const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size())) != FALSE;
}

// The program's own source: the skin zip, or markup, inside its resources.
TEST(ResourceSkinTest, SkinsAreReadFromTheZipResourceAndFromXmlResources)
{
    const std::wstring dir = testfiles::OwnExeDir();
    const std::wstring program = L"uilib_window_res_child.exe";
    const std::wstring copy = dir + L"\\" + program;
    ASSERT_TRUE(CopyFileW((dir + L"\\uilib_window_child.exe").c_str(), copy.c_str(), FALSE));
    const std::wstring zipPath = dir + L"\\uilib_window_res_child.zip";
    MakeZip(zipPath, "Main.xml",
            "<Window size=\"200,100\"><Container name=\"fromzipres\"><Control name=\"zipped\"/></Container></Window>");
    const std::string zip = testfiles::ReadBytes(zipPath);
    DeleteFileW(zipPath.c_str());

    HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
    ASSERT_NE(nullptr, update);
    ASSERT_TRUE(AddResource(update, L"ZIPRES", 100, zip));
    ASSERT_TRUE(AddResource(update, L"xml", 7,
                            "<Window size=\"200,100\"><Container name=\"fromxml\"><Include source=\"8\"/>"
                            "</Container></Window>"));
    ASSERT_TRUE(AddResource(update, L"xml", 8, "<Part><Control name=\"included\"/></Part>"));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

    EXPECT_EQ(0u, RunChild(program, L"zipres"));
    EXPECT_EQ(0u, RunChild(program, L"xmlres"));
    DeleteFileW(copy.c_str());
}

}  // namespace
