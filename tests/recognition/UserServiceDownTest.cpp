// With the user service unreachable, a failure record arrives for the key
// list and the built-in pair stays in use.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "CData.h"
#include "TestSupport.h"

#include "AppPaths.h"

#include <gtest/gtest.h>

TEST(UserServiceDown, FailureRecordKeepsTheBuiltInKey)
{
    CData* data = CData::GetInstance();
    const ServerKey builtIn = data->GetServerKey();

    // Nothing listens on port 1 of the loopback address.
    WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:1");
    MessageWindow window;
    int result = 0;
    bool keyListSeen = false;
    window.SetHandler([&](const PostedMessage& posted) {
        if (posted.message != WM_USER_COMMAND)
            return;
        auto* record = reinterpret_cast<UserlibRecord*>(posted.lParam);
        if (posted.wParam == USERLIB_CMD_KEY_LIST && record) {
            keyListSeen = true;
            result = record->result;
            if (record->result == 0)
                data->AddKey(ServerKeyList(1, ServerKey{"unexpected", "unexpected"}));
        }
        if (CUserhttplib* client = data->GetUserlib())
            client->ReleaseRecord(static_cast<unsigned>(posted.wParam), record);
    });
    data->InitUserlib(window.Handle());
    ASSERT_TRUE(PumpUntil([&] { return keyListSeen; }, 60000));
    EXPECT_NE(0, result);

    const ServerKey after = data->GetServerKey();
    EXPECT_EQ(builtIn.apiKey, after.apiKey);
    EXPECT_EQ(builtIn.secretKey, after.secretKey);
    EXPECT_EQ(24u, after.apiKey.size());
}
