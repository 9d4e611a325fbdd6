// The diagnostics upload: the time rule, and whole uploads from a folder of
// dumps, log and settings to the maker's service stand-in.
#include "CurlHandle.h"

#include "service_test_support.h"

#include "AppPaths.h"
#include "Logger.h"
#include "StringUtils.h"
#include "TestZip.h"
#include "UpLoadLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

struct StampCase {
    int64_t now;
    int64_t last;
    bool due;
};

TEST(UploadTimeRule, StampsCompareAsNumbers)
{
    const StampCase cases[] = {
        {202612092340, 202612092300, false},  // same hour, 40 minutes later
        {202612100000, 202612092300, true},   // next day
        {202612092310, 202612092250, true},   // next hour: 60 as numbers
        {202612092309, 202612092250, false},  // 59
        {202612092300, 202612092300, false}, {202612092300, 0, true},
        {202612092300, 202612100000, false},  // clock set back
        {202612092300, INT64_MIN, true},      // must not overflow
    };
    for (const StampCase& c : cases)
        EXPECT_EQ(c.due, IsUploadDue(c.now, c.last)) << c.now << " after " << c.last;
}

TEST(UploadTimeRule, StampTextReadsItsLeadingDigits)
{
    const std::pair<const wchar_t*, int64_t> cases[] = {
        {L"202612092300", 202612092300},
        {L"0", 0},
        {L"abc", 0},
        {L"", 0},
        {L"12x", 12},
        // A blank or a sign is no digit: such a text has no leading digits.
        {L" 202612092300", 0},
        {L"\t5", 0},
        {L"-202612092300", 0},
        {L"+5", 0},
        {L"99999999999999999999", INT64_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, ReadStamp(c.first)) << WideToUtf8(c.first);
}

// Lines the logger wrote under the upload's tag.
std::mutex g_linesLock;
std::vector<std::string> g_uploadLines;

void CollectUploadLines(int level, const char* tag, const char* text)
{
    if (level == 2 && std::string(tag) == "CUpLoadLog::DoWork") {
        std::lock_guard<std::mutex> guard(g_linesLock);
        g_uploadLines.push_back(text);
    }
}

class UploadDiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        curl_global_init(CURL_GLOBAL_WIN32);
        SetHttpLibraryReady();
        makerservice::Control("/control/reset", "");
        folder_ = testfiles::FreshFolder(L"vantorin_upload_case");
        CreateDirectoryW(DumpFolder().c_str(), nullptr);
        WriteConfigString(L"UploadLogUrl", AnsiToWide(makerservice::BaseUrl()) + L"/upload");
        WriteConfigString(L"UploadLogTime", L"0");
        {
            std::lock_guard<std::mutex> guard(g_linesLock);
            g_uploadLines.clear();
        }
        g_logger.SetObserver(CollectUploadLines);
    }

    void TearDown() override
    {
        g_logger.SetObserver(nullptr);
        WritePrivateProfileStringW(L"Vantorin", L"UploadLogUrl", nullptr, GetConfigPath(false).c_str());
        testfiles::RemoveTree(folder_);
    }

    std::wstring DumpFolder() const { return folder_ + L"\\crashDumps"; }

    // Dumps d1.dmp (oldest) to dN.dmp, created in that order.
    void MakeDumps(int count)
    {
        ULONGLONG created = 0;
        for (int i = 1; i <= count; ++i) {
            const std::wstring path = DumpFolder() + L"\\d" + std::to_wstring(i) + L".dmp";
            created = testfiles::WriteBytesCreatedAfter(path, "MDMP dump " + std::to_string(i), created);
            ASSERT_NE(0u, created) << WideToAnsi(path);
        }
    }

    // Waits up to milliseconds for the stand-in to hold an upload, looking at
    // least once; the list of its uploads.
    static Json::Value WaitForUploads(DWORD milliseconds)
    {
        for (DWORD waited = 0;; waited += 100) {
            const Json::Value uploads = makerservice::Control("/control/uploads");
            if (!uploads.empty() || waited >= milliseconds)
                return uploads;
            Sleep(100);
        }
    }

    static std::vector<std::string> UploadLines(DWORD milliseconds)
    {
        for (DWORD waited = 0;; waited += 100) {
            {
                std::lock_guard<std::mutex> guard(g_linesLock);
                if (!g_uploadLines.empty() || waited >= milliseconds)
                    return g_uploadLines;
            }
            Sleep(100);
        }
    }

    std::wstring folder_;
};

TEST_F(UploadDiagnosticsTest, FourOldestDumpsGoWithLogAndSettings)
{
    MakeDumps(6);
    WriteFileBytes(folder_ + L"\\Vantorin.log", "last run's log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\nRecgType=1\r\n");
    const std::string folder = WideToAnsi(folder_);

    UploadDiagnostics(folder);

    // The dumps sent are gone at once; the two newest wait for a later start.
    EXPECT_THAT(ListFiles(WideToAnsi(DumpFolder()), 10),
                ::testing::ElementsAre(WideToAnsi(DumpFolder()) + "\\d5.dmp", WideToAnsi(DumpFolder()) + "\\d6.dmp"));
    const std::wstring stamp = ReadConfigString(L"UploadLogTime", L"0", 200);
    EXPECT_EQ(12u, stamp.size());
    EXPECT_TRUE(IsUploadDue(ReadStamp(stamp), 0));

    const Json::Value uploads = WaitForUploads(30000);
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ("plain", uploads[0]["reqformat"].asString());
    const auto entries =
        testfiles::ZipEntries(AnsiToWide(makerservice::Root()) + L"\\" + AnsiToWide(uploads[0]["file"].asString()));
    ASSERT_EQ(6u, entries.size());
    const char* names[] = {"d1.dmp", "d2.dmp", "d3.dmp", "d4.dmp", "Vantorin.log", "config.ini"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(names[i], entries[i].first);
        EXPECT_EQ("MDMP dump " + std::to_string(i + 1), entries[i].second);
    }
    EXPECT_EQ(names[4], entries[4].first);
    EXPECT_EQ("last run's log", entries[4].second);
    EXPECT_EQ(names[5], entries[5].first);
    EXPECT_EQ("[Vantorin]\r\nRecgType=1\r\n", entries[5].second);
    EXPECT_TRUE(UploadLines(1000).empty());

    // Within the same hour the next start sends nothing and keeps its dumps.
    makerservice::Control("/control/reset", "");
    UploadDiagnostics(folder);
    EXPECT_EQ(2u, ListFiles(WideToAnsi(DumpFolder()), 10).size());
    EXPECT_EQ(stamp, ReadConfigString(L"UploadLogTime", L"0", 200));
    Sleep(1000);
    EXPECT_TRUE(WaitForUploads(0).empty());
}

TEST_F(UploadDiagnosticsTest, ServerErrorIsLoggedAndDumpsAreGone)
{
    makerservice::Control("/control/fault", "{\"path\": \"/upload\", \"fault\": \"500\"}");
    MakeDumps(1);
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\n");

    UploadDiagnostics(WideToAnsi(folder_));

    EXPECT_TRUE(ListFiles(WideToAnsi(DumpFolder()), 10).empty());
    const std::vector<std::string> lines = UploadLines(30000);
    ASSERT_EQ(1u, lines.size());
    EXPECT_THAT(lines[0], ::testing::StartsWith("upload log error. code=0, response code=500"));
}

TEST_F(UploadDiagnosticsTest, MissingLogMeansNoUploadButDumpsAreDeleted)
{
    MakeDumps(2);
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\n");

    UploadDiagnostics(WideToAnsi(folder_));

    EXPECT_TRUE(ListFiles(WideToAnsi(DumpFolder()), 10).empty());
    Sleep(1000);
    EXPECT_TRUE(WaitForUploads(0).empty());
}

TEST_F(UploadDiagnosticsTest, NoDumpLeavesSettingAlone)
{
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    UploadDiagnostics(WideToAnsi(folder_));
    EXPECT_EQ(L"0", ReadConfigString(L"UploadLogTime", L"", 200));
    Sleep(500);
    EXPECT_TRUE(WaitForUploads(0).empty());
}

}  // namespace
