// The About window on a real window, with the update check answered by a
// small local HTTP server of the test's own.
#include "Win32Prelude.h"
#include <ws2tcpip.h>

#include "AboutAppDlg.h"

#include "ButtonUI.h"
#include "CData.h"
#include "LabelUI.h"
#include "UiManager.h"
#include "UpdateChecker.h"
#include "skinned_window_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

using namespace AppTest;

namespace {

// Answers every request with one JSON reply; a newer version than any local
// one for /version/, an empty file list for /latest/.
class UpdateServer {
public:
    UpdateServer()
    {
        WSADATA data = {};
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener_, 4);
        int length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        worker_ = std::thread([this] { Serve(); });
    }
    ~UpdateServer()
    {
        closesocket(listener_);
        worker_.join();
        WSACleanup();
    }
    int Port() const { return port_; }
    int Requests() const { return requests_.load(); }

private:
    void Serve()
    {
        for (;;) {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            char request[2048] = {};
            const int got = recv(client, request, sizeof(request) - 1, 0);
            const std::string head(request, got > 0 ? got : 0);
            const std::string body = head.find("GET /version/") == 0
                                         ? "{\"latest-version\": \"9.9.9\", \"minimum-required\": \"0.0.1\"}"
                                         : "{\"version\": \"9.9.9\", \"files\": []}";
            const std::string reply =
                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nConnection: close\r\n\r\n" + body;
            send(client, reply.data(), static_cast<int>(reply.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
            ++requests_;
        }
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::thread worker_;
};

class TestAboutDlg : public CAboutAppDlg {
public:
    int GetSkinSource() override { return UiLib::SkinFromFolder; }
    UiLib::CUiString GetSkinDirectory() override { return SourceSkinFolderFromInstance(); }
};

// The update messages carry records that their receiver deletes.
LRESULT CALLBACK UpdateSink(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_UPDATE_NOTIFY) {
        delete reinterpret_cast<UpdateMsg*>(lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Shown {
    std::wstring version;
    std::wstring info;
    DWORD infoColor;
    std::wstring ok;
    std::wstring appUrl;
    std::wstring telHelp;
};

Shown Read(TestAboutDlg& about)
{
    UiLib::CUiManager& manager = about.GetManager();
    auto label = [&manager](const wchar_t* name) {
        return static_cast<UiLib::CLabelUI*>(manager.FindControlByName(name));
    };
    Shown shown = {};
    if (label(L"labVersion") == nullptr || label(L"labVerInfo") == nullptr || label(L"btnOK") == nullptr ||
        label(L"btnAppUrl") == nullptr || label(L"btnTelHelp") == nullptr) {
        ADD_FAILURE() << "a control is missing from the skin";
        return shown;
    }
    shown.version = label(L"labVersion")->GetText().GetData();
    shown.info = label(L"labVerInfo")->GetText().GetData();
    shown.infoColor = label(L"labVerInfo")->GetTextColor();
    shown.ok = label(L"btnOK")->GetText().GetData();
    shown.appUrl = label(L"btnAppUrl")->GetText().GetData();
    shown.telHelp = label(L"btnTelHelp")->GetText().GetData();
    return shown;
}

void Open(TestAboutDlg& about)
{
    about.Create(nullptr, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 600, 400);
    about.CenterOnOwner();
    Pump(30);
}

bool ClosedAfter(TestAboutDlg& about, const wchar_t* button)
{
    const HWND window = about.GetHwnd();
    ClickControl(about.GetManager(), window, button);
    return PumpUntil([window] { return !IsWindow(window); }, 2000);
}

TEST(AboutAppDlg, ShowsTheUpdateStateAndAcceptsAnUpdate)
{
    UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    UpdateServer server;
    const std::wstring config = GetUpdateConfigPath();
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.Port());
    wchar_t earlier[256] = {};
    const bool hadUrl = GetPrivateProfileStringW(L"Vantorin", L"UpdateUrl", L"", earlier, 256, config.c_str()) > 0;
    ASSERT_TRUE(WritePrivateProfileStringW(L"Vantorin", L"UpdateUrl", url.c_str(), config.c_str()));

    CData* data = CData::GetInstance();
    CUpdateChecker* checker = data->GetUpdateChecker();
    ASSERT_NE(checker, nullptr);
    // The checker has read its address; the shared settings get theirs back.
    WritePrivateProfileStringW(L"Vantorin", L"UpdateUrl", hadUrl ? earlier : nullptr, config.c_str());
    ASSERT_FALSE(checker->HasRemoteVersion());
    WNDCLASSW sinkClass = {};
    sinkClass.lpfnWndProc = UpdateSink;
    sinkClass.hInstance = GetModuleHandleW(nullptr);
    sinkClass.lpszClassName = L"AboutTestUpdateSink";
    RegisterClassW(&sinkClass);
    const HWND sink = CreateWindowExW(0, sinkClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      sinkClass.hInstance, nullptr);
    checker->SetNotifyWindow(sink);

    TestAboutDlg about;
    const std::wstring appUrl = L"<u>梵拓官网: " + std::wstring(kMakerSiteUrl) + L"</u>";

    // Before the check has answered.
    Open(about);
    ASSERT_TRUE(IsWindow(about.GetHwnd()));
    wchar_t className[64] = {};
    GetClassNameW(about.GetHwnd(), className, 64);
    EXPECT_STREQ(className, L"CAboutAppDlg");
    RECT rc = {};
    GetWindowRect(about.GetHwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 520);
    EXPECT_EQ(rc.bottom - rc.top, 360);
    Shown shown = Read(about);
    EXPECT_EQ(shown.version, L"软件版本: v1.4.5");
    EXPECT_EQ(shown.info, L"更新失败,有问题请联系客服!");
    EXPECT_EQ(shown.infoColor, 0xFFFF3333u);
    EXPECT_EQ(shown.ok, L"确定");
    EXPECT_EQ(shown.appUrl, appUrl);
    EXPECT_EQ(shown.telHelp.compare(0, 3, L"<u>"), 0);
    EXPECT_TRUE(static_cast<UiLib::CLabelUI*>(about.GetManager().FindControlByName(L"btnAppUrl"))->IsShowHtml());
    EXPECT_TRUE(ClosedAfter(about, L"btnOK"));
    EXPECT_FALSE(data->IsUpdateOnExit());

    // A version found while the window is open changes nothing it shows.
    Open(about);
    ASSERT_TRUE(checker->Start());
    ASSERT_TRUE(PumpUntil([checker] { return checker->HasRemoteVersion(); }, 20000));
    EXPECT_TRUE(checker->IsNewVersionAvailable());
    EXPECT_GE(server.Requests(), 1);
    shown = Read(about);
    EXPECT_EQ(shown.info, L"更新失败,有问题请联系客服!");
    EXPECT_EQ(shown.ok, L"确定");
    // But its OK button, asked again at the click, now closes the program for
    // the update.
    EXPECT_TRUE(ClosedAfter(about, L"btnOK"));
    EXPECT_TRUE(data->IsUpdateOnExit());
    data->SetUpdateOnExit(false);

    // The same object shows its window again, now with the newer version.
    Open(about);
    shown = Read(about);
    EXPECT_EQ(shown.version, L"软件版本: v1.4.5");
    EXPECT_EQ(shown.info, L"发现新的版本");
    EXPECT_EQ(shown.infoColor, 0xFFFF3333u);
    EXPECT_EQ(shown.ok, L"立即更新");
    EXPECT_TRUE(ClosedAfter(about, L"btnOK"));
    EXPECT_TRUE(data->IsUpdateOnExit());
    data->SetUpdateOnExit(false);

    // The newest version installed: grey, and OK only closes the window.
    ASSERT_TRUE(PumpUntil([checker] { return !checker->IsChecking(); }, 20000));
    {
        const std::string manifest = GetUpdateDataDir() + "/ver";
        std::ifstream earlierManifest(manifest, std::ios::binary);
        const bool hadManifest = earlierManifest.is_open();
        const std::string kept((std::istreambuf_iterator<char>(earlierManifest)), std::istreambuf_iterator<char>());
        earlierManifest.close();
        std::ofstream(manifest, std::ios::binary | std::ios::trunc) << "{\"version\": \"9.9.9\", \"files\": []}";
        ASSERT_TRUE(checker->Start());
        ASSERT_TRUE(PumpUntil([checker] { return !checker->IsChecking(); }, 20000));
        if (hadManifest)
            std::ofstream(manifest, std::ios::binary | std::ios::trunc) << kept;
        else
            DeleteFileA(manifest.c_str());
    }
    ASSERT_TRUE(checker->HasRemoteVersion());
    ASSERT_FALSE(checker->IsNewVersionAvailable());
    Open(about);
    shown = Read(about);
    EXPECT_EQ(shown.info, L"已是最新版本");
    EXPECT_EQ(shown.infoColor, 0xFF999999u);
    EXPECT_EQ(shown.ok, L"确定");
    EXPECT_TRUE(ClosedAfter(about, L"btnOK"));
    EXPECT_FALSE(data->IsUpdateOnExit());

    PumpUntil([checker] { return !checker->IsChecking(); }, 20000);
    Pump(50);
    DestroyWindow(sink);
}

// Owns one About object and shows it on demand as the main window does:
// the same object for every window, deleted at the end.
class AboutOwner {
public:
    ~AboutOwner() { Release(); }
    void Show()
    {
        const HWND shown = about_->GetHwnd();
        if (shown != nullptr && IsWindow(shown))
            return;
        about_->Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 600, 400);
        about_->CenterOnOwner();
        about_->Show(true, true);
    }
    void Release()
    {
        if (about_ == nullptr)
            return;
        const HWND shown = about_->GetHwnd();
        if (shown != nullptr && IsWindow(shown))
            DestroyWindow(shown);
        delete about_;
        about_ = nullptr;
    }
    TestAboutDlg& Dialog() { return *about_; }

private:
    TestAboutDlg* about_ = new TestAboutDlg;
};

// Dispatches what is queued now, through the program's own pre-dispatch
// step, without waiting for anything further to arrive.
void DispatchQueued()
{
    MSG msg = {};
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (!UiLib::CUiManager::TranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

BOOL CALLBACK CollectVisibleTooltips(HWND window, LPARAM found)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, L"tooltips_class32") == 0 && IsWindowVisible(window))
        ++*reinterpret_cast<int*>(found);
    return TRUE;
}

int VisibleTooltips()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CollectVisibleTooltips, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(AboutAppDlg, OneObjectShowsItsWindowAgainAtTheSkinsSizeAndClosesCleanly)
{
    UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    AboutOwner owner;
    for (int round = 1; round <= 3; ++round) {
        owner.Show();
        TestAboutDlg& about = owner.Dialog();
        const HWND window = about.GetHwnd();
        ASSERT_TRUE(IsWindow(window)) << round;
        DispatchQueued();
        RECT rc = {};
        GetWindowRect(window, &rc);
        EXPECT_EQ(520, rc.right - rc.left) << round;
        EXPECT_EQ(360, rc.bottom - rc.top) << round;

        // A tooltip on the window, shown by hovering as the mouse does.
        UiLib::CUiManager& manager = about.GetManager();
        UiLib::CControlUI* close = manager.FindControlByName(L"btnClose");
        ASSERT_NE(nullptr, close);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        close->SetTooltip(L"关闭");
        const RECT& bounds = close->GetBounds();
        const LPARAM at = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        SendMessageW(window, WM_MOUSEMOVE, 0, at);
        SendMessageW(window, WM_MOUSEHOVER, 0, at);
        EXPECT_EQ(1, VisibleTooltips()) << round;

        // The click's close is handled with what it queued: nothing waits.
        ClickControl(manager, window, L"btnClose");
        DispatchQueued();
        EXPECT_FALSE(IsWindow(window)) << round;
        EXPECT_EQ(0, VisibleTooltips()) << round;
    }
    // The main window deletes the object when it closes; the loop goes on.
    owner.Release();
    PostMessageW(nullptr, WM_NULL, 0, 0);
    DispatchQueued();
    EXPECT_EQ(0, VisibleTooltips());
}

}  // namespace
