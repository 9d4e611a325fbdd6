// The application data object without a user-service client: key rotation,
// the upload queues' counting and the cached settings.
#include "CData.h"

#include "AppPaths.h"
#include "Logger.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

ServerKeyList MakeKeys(int count, const std::string& prefix)
{
    ServerKeyList keys;
    for (int i = 0; i < count; ++i)
        keys.push_back({prefix + "api" + std::to_string(i), prefix + "secret" + std::to_string(i)});
    return keys;
}

// A one-pair list always wraps the index back to 0, whatever it was.
void ResetRotation()
{
    CData::GetInstance()->AddKey(MakeKeys(1, "reset"));
    CData::GetInstance()->GetServerKey();
}

// Collects the information lines a tag writes while alive.
class LogCapture {
public:
    explicit LogCapture(const char* tag)
    {
        tag_ = tag;
        lines_.clear();
        g_logger.SetObserver(&LogCapture::Observe);
    }
    ~LogCapture() { g_logger.SetObserver(nullptr); }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    static void Observe(int, const char* tag, const char* text)
    {
        if (tag_ == tag)
            lines_.push_back(text);
    }
    static std::string tag_;
    static std::vector<std::string> lines_;
};
std::string LogCapture::tag_;
std::vector<std::string> LogCapture::lines_;

// The settings file as it lies on disk.
std::string SettingsFileText()
{
    std::ifstream file(GetConfigPath(false).c_str(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(DataKeys, RotationAndReplacement)
{
    struct Case {
        const char* name;
        int firstListSize;
        int callsBefore;     // on the first list
        int secondListSize;  // 0: no replacement
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"three pairs start at the second", 3, 0, 0, {1, 2, 0, 1, 2}},
        {"one pair always", 1, 0, 0, {0, 0, 0}},
        {"five at index 4 replaced by two", 5, 4, 2, {0, 1, 0}},
        {"three at index 2 replaced by three", 3, 2, 3, {0, 1, 2}},
        {"two at index 1 replaced by five", 2, 1, 5, {2, 3, 4, 0}},
    };
    CData* data = CData::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetRotation();
        data->AddKey(MakeKeys(c.firstListSize, "first"));
        for (int i = 0; i < c.callsBefore; ++i)
            data->GetServerKey();
        const std::string prefix = c.secondListSize ? "second" : "first";
        if (c.secondListSize)
            data->AddKey(MakeKeys(c.secondListSize, prefix));
        for (int index : c.expected) {
            const ServerKey key = data->GetServerKey();
            EXPECT_EQ(prefix + "api" + std::to_string(index), key.apiKey);
            EXPECT_EQ(prefix + "secret" + std::to_string(index), key.secretKey);
        }
    }
}

TEST(DataKeys, EmptyListGivesTheBuiltInPair)
{
    CData* data = CData::GetInstance();
    LogCapture log("CData::AddKey");
    data->AddKey(ServerKeyList());
    ASSERT_EQ(1u, log.Lines().size());
    EXPECT_EQ("get ServerKey size is null", log.Lines()[0]);

    const ServerKey first = data->GetServerKey();
    const ServerKey second = data->GetServerKey();
    EXPECT_EQ(24u, first.apiKey.size());
    EXPECT_EQ(32u, first.secretKey.size());
    for (char c : first.apiKey + first.secretKey)
        EXPECT_TRUE(isalnum(static_cast<unsigned char>(c))) << c;
    EXPECT_EQ(first.apiKey, second.apiKey);
    EXPECT_EQ(first.secretKey, second.secretKey);
}

TEST(DataUpload, RepeatedLinesAreOnlyCounted)
{
    CData* data = CData::GetInstance();
    {
        LogCapture log("CData::UploadSvrLog");
        for (int i = 0; i < 3; ++i)
            data->UploadSvrLog("repeated line one", false);
        EXPECT_EQ((std::vector<std::string>{"uplog 2 msg repeated line one", "uplog 3 msg repeated line one"}),
                  log.Lines());
    }
    {
        LogCapture log("CData::AddUpLogExt");
        for (int i = 0; i < 3; ++i)
            data->AddUpLogExt("repeated ext line");
        EXPECT_EQ((std::vector<std::string>{"ext uplog 2 msg repeated ext line", "ext uplog 3 msg repeated ext line"}),
                  log.Lines());
    }
}

TEST(DataSettings, CachedAndStored)
{
    CData* data = CData::GetInstance();
    const int oldType = data->GetRecgType();
    const bool oldOptimize = data->GetOptimize();

    struct TypeCase {
        int given;
        int stored;
    };
    for (const TypeCase& c : {TypeCase{-5, 0}, TypeCase{3, 3}, TypeCase{0, 0}, TypeCase{1, 1}}) {
        data->SetRecgType(c.given);
        EXPECT_EQ(c.stored, data->GetRecgType()) << c.given;
        EXPECT_EQ(c.stored, ReadConfigInt(L"RecgType", 99)) << c.given;
    }
    // Read once: a later change of the file does not reach the cache.
    WriteConfigInt(L"RecgType", 5);
    EXPECT_EQ(1, data->GetRecgType());

    data->SetOptimize(true);
    EXPECT_TRUE(data->GetOptimize());
    EXPECT_EQ(1, ReadConfigInt(L"Optimize", 99));
    data->SetOptimize(false);
    EXPECT_FALSE(data->GetOptimize());
    EXPECT_EQ(0, ReadConfigInt(L"Optimize", 99));

    // Run-only options never reach the settings file.
    const std::string settingsBefore = SettingsFileText();
    ASSERT_FALSE(settingsBefore.empty());
    data->SetLanguage(4);
    EXPECT_EQ(4, data->GetLanguage());
    data->SetRnnoise(true);
    data->SetVolGain(true);
    EXPECT_TRUE(data->GetRnnoise() && data->GetVolGain());
    data->SetRnnoise(false);
    data->SetVolGain(false);
    data->SetLanguage(1);
    EXPECT_EQ(settingsBefore, SettingsFileText());

    data->SetRecgType(oldType);
    data->SetOptimize(oldOptimize);
}
