// The user-service client against the local maker service: the key list
// arrives at the main window and replaces the data object's list, and each
// flush reaches the service as one text.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "CData.h"
#include "TestSupport.h"

#include "AppPaths.h"
#include "StringUtils.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

namespace {

std::string ServiceRoot()
{
    return GetExeDir() + "\\makerservice\\userservice";
}

std::string ServiceUrl()
{
    std::ifstream portFile(GetExeDir() + "\\makerservice.port");
    std::string port;
    portFile >> port;
    return "http://127.0.0.1:" + port;
}

// Clears the service's stored texts; their numbering starts at 1 again.
bool ResetService()
{
    CURL* curl = curl_easy_init();
    if (!curl)
        return false;
    const std::string url = ServiceUrl() + "/control/reset";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    long status = 0;
    const bool sent =
        curl_easy_perform(curl) == CURLE_OK && curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK;
    curl_easy_cleanup(curl);
    return sent && status == 200;
}

// Ids of the texts the service has stored so far.
std::set<int> StoredLogIds()
{
    std::set<int> ids;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((ServiceRoot() + "\\logs\\*.txt").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return ids;
    do {
        ids.insert(atoi(found.cFileName));
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return ids;
}

// What the main window does with WM_USER_COMMAND: command 1 replaces the key
// list, and every record goes back to the client.
void HandleUserCommand(const PostedMessage& posted)
{
    if (posted.message != WM_USER_COMMAND)
        return;
    auto* record = reinterpret_cast<UserlibRecord*>(posted.lParam);
    if (posted.wParam == USERLIB_CMD_KEY_LIST && record && record->result == 0) {
        ServerKeyList keys;
        for (int i = 0; i < record->count; ++i)
            keys.push_back({record->items[i].apiKey, record->items[i].secretKey});
        CData::GetInstance()->AddKey(keys);
    }
    if (CUserhttplib* client = CData::GetInstance()->GetUserlib())
        client->ReleaseRecord(static_cast<unsigned>(posted.wParam), record);
}

size_t CountCommands(const MessageWindow& window, unsigned command)
{
    size_t count = 0;
    for (const PostedMessage& posted : window.Received(WM_USER_COMMAND))
        count += posted.wParam == command ? 1 : 0;
    return count;
}

}  // namespace

TEST(UserService, KeyListReplacesTheListAndFlushesArrive)
{
    CreateDirectoryA((GetExeDir() + "\\makerservice").c_str(), nullptr);
    CreateDirectoryA(ServiceRoot().c_str(), nullptr);
    {
        std::ofstream keys(ServiceRoot() + "\\keys.json", std::ios::binary | std::ios::trunc);
        keys << R"([{"apikey": "api0", "secretkey": "secret0"}, {"apikey": "api1", "secretkey": "secret1"},)"
             << R"( {"apikey": "api2", "secretkey": "secret2"}])";
    }
    WriteConfigString(USERLIB_URL_KEY, AnsiToWide(ServiceUrl()));
    ASSERT_TRUE(ResetService());

    MessageWindow window;
    window.SetHandler(&HandleUserCommand);
    CData* data = CData::GetInstance();
    // Flushed while there is no client: the line is taken and lost, and no
    // later flush sends it.
    ASSERT_EQ(nullptr, data->GetUserlib());
    data->UploadSvrLog("queued while there is no client", true);
    data->InitUserlib(window.Handle());
    ASSERT_NE(nullptr, data->GetUserlib());
    ASSERT_TRUE(PumpUntil([&] { return CountCommands(window, USERLIB_CMD_KEY_LIST) > 0; }, 30000));

    // A fresh list of three is handed out from its second entry on.
    for (const char* expected : {"api1", "api2", "api0", "api1"})
        EXPECT_EQ(expected, data->GetServerKey().apiKey);

    const std::string line = WideToAnsi(L"识别失败 第3段") + " code=3301";
    for (int i = 0; i < 3; ++i)
        data->UploadSvrLog(line, false);
    data->AddUpLogExt("asr error -2");
    data->FlushUploadLog();
    ASSERT_TRUE(PumpUntil([&] { return CountCommands(window, USERLIB_CMD_UPLOAD_LOG) == 1; }, 30000));
    data->FlushUploadLog();
    ASSERT_TRUE(PumpUntil([&] { return CountCommands(window, USERLIB_CMD_UPLOAD_LOG) == 2; }, 30000));

    ASSERT_EQ((std::set<int>{1, 2}), StoredLogIds());
    EXPECT_EQ("v1.4.5 " + WideToUtf8(L"识别失败 第3段") + " code=3301\r\nasr error -2\r\n",
              ReadFileBytes(ServiceRoot() + "\\logs\\1.txt"));
    // The ordinary line went with the first flush; the extended one goes every time.
    EXPECT_EQ("v1.4.5 asr error -2\r\n", ReadFileBytes(ServiceRoot() + "\\logs\\2.txt"));

    // Closing ends the client and asks the main window to close; later
    // flushes have no client and send nothing.
    data->PostAppExit();
    EXPECT_EQ(nullptr, data->GetUserlib());
    ASSERT_TRUE(PumpUntil([&] { return !window.Received(WM_SYSCOMMAND).empty(); }, 5000));
    EXPECT_EQ(static_cast<WPARAM>(SC_CLOSE), window.Received(WM_SYSCOMMAND).front().wParam);
    data->UploadSvrLog("after exit", true);
    PumpFor(1000);
    EXPECT_EQ((std::set<int>{1, 2}), StoredLogIds());
}
