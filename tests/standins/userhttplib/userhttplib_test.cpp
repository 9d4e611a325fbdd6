// userhttplib.dll against the makerservice stand-in: the key list and the
// failures reach a window as WM_USER_COMMAND, and uploads reach the service.
#include "UserHttpLib.h"

#include "MakerServiceControl.h"

#include <gmock/gmock.h>
#include <psapi.h>

#include <string>
#include <vector>

namespace {

using makerservice::Control;

std::string ServiceUrl()
{
    return makerservice::BaseUrl();
}

// A port on which nothing listens: bound once, then closed.
int ClosedPort()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    bind(s, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    WSACleanup();
    return ntohs(address.sin_port);
}

SIZE_T PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

struct Delivered {
    unsigned command = 0;
    int result = 0;
    std::string message;
    std::vector<std::pair<std::string, std::string>> keys;
};

// What the main window does with a record: read it, then hand it back.
struct Receiver {
    CUserhttplib* client = nullptr;
    std::vector<Delivered> got;
};

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_USER_COMMAND)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* receiver = reinterpret_cast<Receiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    auto* record = reinterpret_cast<UserlibRecord*>(lParam);
    Delivered d;
    d.command = static_cast<unsigned>(wParam);
    d.result = record->result;
    d.message = record->message;
    for (int i = 0; i < record->count; ++i)
        d.keys.emplace_back(record->items[i].apiKey, record->items[i].secretKey);
    receiver->got.push_back(d);
    receiver->client->ReleaseRecord(d.command, record);
    return 0;
}

class UserHttpLibTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_DEFAULT); }

    void SetUp() override
    {
        ASSERT_FALSE(ServiceUrl().empty()) << "makerservice.port is missing";
        Control("/control/reset", "");
        Control("/control/keys", R"({"keys": []})");  // keys outlive a reset
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ReceiverProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UserHttpLibTestReceiver";
        RegisterClassW(&wc);
        window_ = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, window_);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&receiver_));

        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        // A data folder whose name is not ASCII ("用户" in the system code page),
        // as under an account with a Chinese name.
        dataDir_ = std::string(temp) + "userhttplib_test_\xD3\xC3\xBB\xA7_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dataDir_.c_str(), nullptr);
    }

    void TearDown() override
    {
        ReleaseUserlib(&receiver_.client);
        DestroyWindow(window_);
        DeleteFileA((dataDir_ + "\\config.ini").c_str());
        RemoveDirectoryA(dataDir_.c_str());
    }

    void SetUrl(const std::string& url)
    {
        wchar_t path[MAX_PATH] = {};
        ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, dataDir_.c_str(), -1, path, MAX_PATH), 0);
        std::wstring value(url.begin(), url.end());  // an address is ASCII
        WritePrivateProfileStringW(L"Vantorin", USERLIB_URL_KEY, value.c_str(),
                                   (std::wstring(path) + L"\\config.ini").c_str());
    }

    void Create()
    {
        receiver_.client = CreateUserlib(dataDir_.c_str(), window_);
        ASSERT_NE(nullptr, receiver_.client);
    }

    // Pumps this thread's messages until `count` records have come.
    bool WaitFor(size_t count, DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        while (receiver_.got.size() < count) {
            DWORD passed = GetTickCount() - start;
            if (passed >= milliseconds)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - passed, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        return true;
    }

    HWND window_ = nullptr;
    Receiver receiver_;
    std::string dataDir_;
};

TEST_F(UserHttpLibTest, ExportsBothEntriesUndecorated)
{
    HMODULE module = GetModuleHandleW(L"userhttplib.dll");
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, GetProcAddress(module, "CreateUserlib"));
    EXPECT_NE(nullptr, GetProcAddress(module, "ReleaseUserlib"));
}

TEST_F(UserHttpLibTest, KeyListArrivesAsCommandOneInServiceOrder)
{
    Control("/control/keys", R"({"keys": [
        {"apikey": "ApiKeyNumberOne0000000001", "secretkey": "SecretOne"},
        {"apikey": "ApiKeyNumberTwo0000000002", "secretkey": "SecretTwo"},
        {"apikey": "k3", "secretkey": "s3"}]})");
    SetUrl(ServiceUrl() + "/");
    Create();
    EXPECT_EQ(ServiceUrl(), receiver_.client->GetServiceUrl());
    EXPECT_EQ(window_, receiver_.client->GetNotifyWindow());

    ASSERT_TRUE(WaitFor(1, 15000));
    const Delivered& d = receiver_.got[0];
    EXPECT_EQ(USERLIB_CMD_KEY_LIST, d.command);
    EXPECT_EQ(0, d.result) << d.message;
    std::vector<std::pair<std::string, std::string>> expected = {
        {"ApiKeyNumberOne0000000001", "SecretOne"}, {"ApiKeyNumberTwo0000000002", "SecretTwo"}, {"k3", "s3"}};
    EXPECT_EQ(expected, d.keys);

    // Asking again fetches again: an emptied list arrives as success with no keys.
    Control("/control/keys", R"({"keys": []})");
    receiver_.client->RequestKeyList();
    ASSERT_TRUE(WaitFor(2, 15000));
    EXPECT_EQ(0, receiver_.got[1].result);
    EXPECT_TRUE(receiver_.got[1].keys.empty());

    Json::Value journal = Control("/control/requests");
    ASSERT_EQ(2u, journal.size());
    EXPECT_EQ("/user/keys", journal[0]["path"].asString());
}

TEST_F(UserHttpLibTest, FailuresArriveAsFailureRecordsWithoutKeys)
{
    struct Case {
        const char* fault;  // null: the setting names a closed port
        int result;
        const char* reason;  // in the message
    };
    // "huge" is a valid key list padded with blanks to 200 MiB: no reply of
    // the service is that long, and the client must not hold it.
    const Case cases[] = {
        {nullptr, USERLIB_ERR_TRANSFER, "cannot reach"},
        {"404", 404, "HTTP 404"},
        {"500", 500, "HTTP 500"},
        {"notjson", USERLIB_ERR_REPLY, "not understood"},
        {"hang", USERLIB_ERR_TRANSFER, "cannot reach"},
        {"huge", USERLIB_ERR_TRANSFER, "the reply is larger than 1048576 bytes"},
    };
    Control("/control/keys", R"({"keys": [{"apikey": "a", "secretkey": "s"}]})");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault ? c.fault : "closed port");
        Control("/control/reset", "");
        if (c.fault) {
            std::string body = std::string(R"({"path": "/user/keys", "fault": ")") + c.fault + "\"}";
            Control("/control/fault", body.c_str());
            SetUrl(ServiceUrl());
        } else {
            SetUrl("http://127.0.0.1:" + std::to_string(ClosedPort()));
        }
        receiver_.got.clear();
        const SIZE_T peakBefore = PeakWorkingSet();
        Create();
        ASSERT_TRUE(WaitFor(1, 30000));
        EXPECT_LT(PeakWorkingSet() - peakBefore, SIZE_T{20} * 1024 * 1024);
        EXPECT_EQ(USERLIB_CMD_KEY_LIST, receiver_.got[0].command);
        EXPECT_EQ(c.result, receiver_.got[0].result);
        EXPECT_THAT(receiver_.got[0].message, ::testing::HasSubstr(c.reason));
        EXPECT_TRUE(receiver_.got[0].keys.empty());
        ReleaseUserlib(&receiver_.client);
        EXPECT_EQ(nullptr, receiver_.client);
    }
}

TEST_F(UserHttpLibTest, MalformedKeyEntryFailsTheWholeList)
{
    Control("/control/keys", R"({"keys": [{"apikey": "a", "secretkey": "s"}, {"apikey": 5}]})");
    SetUrl(ServiceUrl());
    Create();
    ASSERT_TRUE(WaitFor(1, 15000));
    EXPECT_EQ(USERLIB_ERR_REPLY, receiver_.got[0].result);
    EXPECT_TRUE(receiver_.got[0].keys.empty());
}

TEST_F(UserHttpLibTest, UploadsReachTheServiceInOrderAndEndAsCommandThree)
{
    SetUrl(ServiceUrl());
    Create();
    const std::string first = "v1.4.5 \xE8\xAF\x86\xE5\x88\xAB\xE5\xA4\xB1\xE8\xB4\xA5 code=3301\r\n";
    const std::string second = "v1.4.5 main close\r\n";
    receiver_.client->UploadLog(first.c_str());
    receiver_.client->UploadLog("");  // nothing to send
    receiver_.client->UploadLog(second.c_str());
    ASSERT_TRUE(receiver_.client->WaitIdle(20000));
    ASSERT_TRUE(WaitFor(3, 5000));
    EXPECT_EQ(USERLIB_CMD_KEY_LIST, receiver_.got[0].command);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(USERLIB_CMD_UPLOAD_LOG, receiver_.got[i].command);
        EXPECT_EQ(0, receiver_.got[i].result) << receiver_.got[i].message;
    }

    Json::Value logs = Control("/control/userlogs");
    ASSERT_EQ(2u, logs.size());
    EXPECT_EQ(first, logs[0]["text"].asString());
    EXPECT_EQ(second, logs[1]["text"].asString());
    Json::Value journal = Control("/control/requests");
    EXPECT_EQ("text/plain; charset=utf-8", journal[1]["headers"]["content-type"].asString());
}

TEST_F(UserHttpLibTest, FailedUploadIsReportedAsCommandThree)
{
    Control("/control/fault", R"({"path": "/user/log", "fault": "500"})");
    SetUrl(ServiceUrl());
    Create();
    receiver_.client->UploadLog("lost line\r\n");
    ASSERT_TRUE(WaitFor(2, 15000));
    EXPECT_EQ(USERLIB_CMD_UPLOAD_LOG, receiver_.got[1].command);
    EXPECT_EQ(500, receiver_.got[1].result);
    EXPECT_EQ(0u, Control("/control/userlogs").size());
}

TEST_F(UserHttpLibTest, ReleaseSendsWhatIsStillQueued)
{
    SetUrl(ServiceUrl());
    Create();
    receiver_.client->UploadLog("closing flush\r\n");
    ReleaseUserlib(&receiver_.client);
    EXPECT_EQ(nullptr, receiver_.client);

    Json::Value logs = Control("/control/userlogs");
    ASSERT_EQ(1u, logs.size());
    EXPECT_EQ("closing flush\r\n", logs[0]["text"].asString());
    // Both outcomes were posted before the release returned, and stay readable;
    // with the client gone nobody takes them back, as at the program's exit.
    std::vector<unsigned> commands;
    MSG msg;
    while (PeekMessageW(&msg, window_, WM_USER_COMMAND, WM_USER_COMMAND, PM_REMOVE)) {
        auto* record = reinterpret_cast<UserlibRecord*>(msg.lParam);
        commands.push_back(static_cast<unsigned>(msg.wParam));
        EXPECT_EQ(0, record->result) << record->message;
    }
    EXPECT_EQ((std::vector<unsigned>{USERLIB_CMD_KEY_LIST, USERLIB_CMD_UPLOAD_LOG}), commands);
}

}  // namespace
