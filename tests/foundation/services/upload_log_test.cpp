// The diagnostics upload: the time rule, and whole uploads from a folder of
// dumps, log and settings to the maker's service stand-in.
#include "CurlHandle.h"

#include "service_test_support.h"

#include "AppPaths.h"
#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"
#include "TestZip.h"
#include "UpLoadLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
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

// The warnings (level 2) the logger wrote under the upload's tag.
std::mutex g_linesLock;
std::vector<std::string> g_uploadLines;

void CollectUploadLines(int level, const char* tag, const char* text)
{
    if (level == 2 && std::string(tag) == "CUpLoadLog::DoWork") {
        std::lock_guard<std::mutex> guard(g_linesLock);
        g_uploadLines.push_back(text);
    }
}

bool IsAscii(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
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

    std::string DumpPath(int number) const
    {
        return WideToAnsi(DumpFolder()) + "\\d" + std::to_string(number) + ".dmp";
    }

    // dN.dmp, created after every dump made before it.
    void AddDump(int number)
    {
        const std::string path = DumpPath(number);
        lastCreated_ =
            testfiles::WriteBytesCreatedAfter(AnsiToWide(path), "MDMP dump " + std::to_string(number), lastCreated_);
        ASSERT_NE(0u, lastCreated_) << path;
    }

    // Dumps d1.dmp (oldest) to dN.dmp, created in that order.
    void MakeDumps(int count)
    {
        for (int i = 1; i <= count; ++i)
            AddDump(i);
    }

    // The paths of dFirst.dmp to dLast.dmp.
    std::vector<std::string> DumpsFromTo(int first, int last) const
    {
        std::vector<std::string> dumps;
        for (int i = first; i <= last; ++i)
            dumps.push_back(DumpPath(i));
        return dumps;
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

    // Waits up to milliseconds for at least count lines of the upload.
    static std::vector<std::string> UploadLines(DWORD milliseconds, size_t count = 1)
    {
        for (DWORD waited = 0;; waited += 100) {
            {
                std::lock_guard<std::mutex> guard(g_linesLock);
                if (g_uploadLines.size() >= count || waited >= milliseconds)
                    return g_uploadLines;
            }
            Sleep(100);
        }
    }

    static void ClearUploadLines()
    {
        std::lock_guard<std::mutex> guard(g_linesLock);
        g_uploadLines.clear();
    }

    // Waits up to milliseconds for the dump folder to list exactly these.
    bool WaitForDumps(const std::vector<std::string>& expected, DWORD milliseconds) const
    {
        for (DWORD waited = 0;; waited += 100) {
            if (ListFiles(WideToAnsi(DumpFolder()), 10) == expected)
                return true;
            if (waited >= milliseconds)
                return false;
            Sleep(100);
        }
    }

    // The diagnostics archives lying in Temp.
    static std::vector<std::string> ArchivesInTemp()
    {
        std::vector<std::string> archives;
        for (const std::string& file : ListFiles(GetTempDir(), SIZE_MAX)) {
            if (file.find("Log.zip") == file.size() - 7)
                archives.push_back(file);
        }
        return archives;
    }

    std::wstring folder_;
    ULONGLONG lastCreated_ = 0;
};

TEST_F(UploadDiagnosticsTest, FourOldestDumpsGoWithLogAndSettings)
{
    MakeDumps(6);
    WriteFileBytes(folder_ + L"\\Vantorin.log", "last run's log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\nRecgType=1\r\n");
    const std::string folder = WideToAnsi(folder_);

    // Users' profile paths hold Chinese characters, and so does the test
    // prefix's: the archive in Temp must still reach the service.
    ASSERT_FALSE(IsAscii(GetTempDir())) << GetTempDir();

    const std::vector<std::string> archivesBefore = ArchivesInTemp();
    UploadDiagnostics(folder);
    const std::wstring stamp = ReadConfigString(L"UploadLogTime", L"0", 200);
    EXPECT_EQ(12u, stamp.size());
    EXPECT_TRUE(IsUploadDue(ReadStamp(stamp), 0));

    const Json::Value uploads = WaitForUploads(30000);
    ASSERT_EQ(1u, uploads.size());
    // The dumps sent go once the service has them; the two newest wait for a
    // later start.
    const std::vector<std::string> newest = {WideToAnsi(DumpFolder()) + "\\d5.dmp",
                                             WideToAnsi(DumpFolder()) + "\\d6.dmp"};
    EXPECT_TRUE(WaitForDumps(newest, 10000)) << ListFiles(WideToAnsi(DumpFolder()), 10).size();
    // The archive posted is gone from Temp.
    EXPECT_EQ(archivesBefore, ArchivesInTemp());
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

// A dump whose name holds Chinese characters keeps its name in the archive, in
// UTF-8 with the zip's flag for it, so any unzip tool reads it.
TEST_F(UploadDiagnosticsTest, ChineseDumpNameIsStoredInUtf8)
{
    const std::wstring name = L"\u5D29\u6E83.dmp";  // 崩溃.dmp
    ASSERT_TRUE(testfiles::WriteBytes(DumpFolder() + L"\\" + name, "MDMP named dump"));
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\n");

    UploadDiagnostics(WideToAnsi(folder_));

    const Json::Value uploads = WaitForUploads(30000);
    ASSERT_EQ(1u, uploads.size());
    const std::wstring archive = AnsiToWide(makerservice::Root()) + L"\\" + AnsiToWide(uploads[0]["file"].asString());
    const auto entries = testfiles::ZipEntries(archive);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(WideToUtf8(name), entries[0].first);
    EXPECT_EQ("MDMP named dump", entries[0].second);
    // The first local header's general-purpose flags, at byte 6.
    const std::string bytes = testfiles::ReadBytes(archive);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_NE(0, bytes[7] & 0x08) << "no UTF-8 name flag";
    EXPECT_TRUE(WaitForDumps({}, 10000));
}

// An upload the service refuses, or one that never runs, leaves the dumps for
// a later start; the stamp is written all the same, so the next try waits.
TEST_F(UploadDiagnosticsTest, DumpsStayUntilTheServiceTakesThem)
{
    // "huge" answers 200 with a 200 MiB body: no status text is that long,
    // so the transfer is cut off (libcurl's write error 23) and fails.
    const std::pair<const char*, const char*> faults[] = {
        {"500", "upload log error. code=0, response code=500"},
        {"huge", "upload log error. code=23, response code=200"},
    };
    MakeDumps(1);
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\n");
    const std::vector<std::string> dump = {WideToAnsi(DumpFolder()) + "\\d1.dmp"};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.first);
        makerservice::Control("/control/fault",
                              (std::string("{\"path\": \"/upload\", \"fault\": \"") + fault.first + "\"}").c_str());
        WriteConfigString(L"UploadLogTime", L"0");
        {
            std::lock_guard<std::mutex> guard(g_linesLock);
            g_uploadLines.clear();
        }

        UploadDiagnostics(WideToAnsi(folder_));

        const std::vector<std::string> lines = UploadLines(30000);
        ASSERT_EQ(1u, lines.size());
        EXPECT_THAT(lines[0], ::testing::StartsWith(fault.second));
        Sleep(500);
        EXPECT_EQ(dump, ListFiles(WideToAnsi(DumpFolder()), 10));
        EXPECT_EQ(12u, ReadConfigString(L"UploadLogTime", L"0", 200).size());
    }

    // Without its log nothing is zipped or sent, and the dump stays too.
    makerservice::Control("/control/reset", "");
    WriteConfigString(L"UploadLogTime", L"0");
    DeleteFileW((folder_ + L"\\Vantorin.log").c_str());
    UploadDiagnostics(WideToAnsi(folder_));
    Sleep(1000);
    EXPECT_TRUE(WaitForUploads(0).empty());
    EXPECT_EQ(dump, ListFiles(WideToAnsi(DumpFolder()), 10));
}

TEST_F(UploadDiagnosticsTest, NoDumpLeavesSettingAlone)
{
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    UploadDiagnostics(WideToAnsi(folder_));
    EXPECT_EQ(L"0", ReadConfigString(L"UploadLogTime", L"", 200));
    Sleep(500);
    EXPECT_TRUE(WaitForUploads(0).empty());
}

// The line of a dump that went unsent because the folder was full.
std::string DroppedLine(int number)
{
    return "too many crash dumps: d" + std::to_string(number) + ".dmp deleted unsent";
}

// Nothing listens on port 1.
const wchar_t kUnreachableUpload[] = L"http://127.0.0.1:1/upload";

// A dozen starts, each after a crash, while the service cannot be reached:
// the folder keeps the nine newest, so with the dump of the run there are
// never more than ten, and a dump goes only after its start offered it. Once
// the service is back the newest is sent at the third start.
TEST_F(UploadDiagnosticsTest, AServiceAwayNeverLeavesMoreThanTenDumps)
{
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\n");
    WriteConfigString(L"UploadLogUrl", kUnreachableUpload);
    for (int start = 1; start <= 12; ++start) {
        SCOPED_TRACE(start);
        AddDump(start);
        ASSERT_LE(ListFiles(WideToAnsi(DumpFolder()), 100).size(), 10u);
        WriteConfigString(L"UploadLogTime", L"0");
        ClearUploadLines();
        const std::vector<std::string> archivesBefore = ArchivesInTemp();

        UploadDiagnostics(WideToAnsi(folder_));

        const bool full = start > 9;
        const std::vector<std::string> lines = UploadLines(30000, full ? 2 : 1);
        ASSERT_EQ(full ? 2u : 1u, lines.size());
        EXPECT_THAT(lines[0], ::testing::StartsWith("upload log error. code=7, response code=0"));
        if (full) {
            EXPECT_EQ(DroppedLine(start - 9), lines[1]);
        }
        Sleep(200);
        ASSERT_EQ(DumpsFromTo(full ? start - 8 : 1, start), ListFiles(WideToAnsi(DumpFolder()), 100));
        // A run that crashes never empties Temp: the archive offered must not
        // stay there either.
        ASSERT_EQ(archivesBefore, ArchivesInTemp());
    }

    WriteConfigString(L"UploadLogUrl", AnsiToWide(makerservice::BaseUrl()) + L"/upload");
    const std::vector<std::pair<int, int>> sent = {{4, 7}, {8, 11}, {12, 12}};
    for (size_t start = 0; start < sent.size(); ++start) {
        SCOPED_TRACE("service back, start " + std::to_string(start + 1));
        WriteConfigString(L"UploadLogTime", L"0");
        UploadDiagnostics(WideToAnsi(folder_));
        ASSERT_TRUE(WaitForDumps(DumpsFromTo(sent[start].second + 1, 12), 30000));
        const Json::Value uploads = makerservice::Control("/control/uploads");
        ASSERT_EQ(start + 1, uploads.size());
        const auto entries = testfiles::ZipEntries(AnsiToWide(makerservice::Root()) + L"\\" +
                                                   AnsiToWide(uploads[static_cast<int>(start)]["file"].asString()));
        std::vector<std::string> names;
        for (const auto& entry : entries)
            names.push_back(entry.first);
        std::vector<std::string> expected;
        for (int i = sent[start].first; i <= sent[start].second; ++i)
            expected.push_back("d" + std::to_string(i) + ".dmp");
        expected.push_back("Vantorin.log");
        expected.push_back("config.ini");
        EXPECT_EQ(expected, names);
    }
}

std::wstring StampOfNow()
{
    const std::time_t now = std::time(nullptr);
    wchar_t text[50] = {};
    std::wcsftime(text, 50, L"%Y%m%d%H%M", std::localtime(&now));
    return text;
}

size_t UploadPostsIn(const Json::Value& journal, const std::string& status)
{
    size_t posts = 0;
    for (const Json::Value& request : journal) {
        if (request["method"].asString() == "POST" && request["path"].asString() == "/upload" &&
            request["status"].asString() == status)
            ++posts;
    }
    return posts;
}

HANDLE NoThread(LPTHREAD_START_ROUTINE, void*)
{
    return nullptr;
}

// Inside the hour a start leaves the dumps alone, unless the folder is full:
// its oldest must go, and it goes only once offered, so a full folder is
// offered whatever the clock says. A start whose upload never runs offers
// nothing and deletes nothing.
TEST_F(UploadDiagnosticsTest, AFullFolderIsOfferedInsideTheHour)
{
    WriteFileBytes(folder_ + L"\\Vantorin.log", "log");
    WriteFileBytes(folder_ + L"\\config.ini", "[Vantorin]\r\n");
    makerservice::Control("/control/fault", "{\"path\": \"/upload\", \"fault\": \"500\"}");
    const std::wstring stamp = StampOfNow();
    WriteConfigString(L"UploadLogTime", stamp);
    MakeDumps(9);

    UploadDiagnostics(WideToAnsi(folder_));
    Sleep(1000);
    EXPECT_EQ(0u, UploadPostsIn(makerservice::Control("/control/requests"), "500"));
    EXPECT_EQ(DumpsFromTo(1, 9), ListFiles(WideToAnsi(DumpFolder()), 100));
    EXPECT_EQ(stamp, ReadConfigString(L"UploadLogTime", L"0", 200));

    AddDump(10);
    UploadDiagnostics(WideToAnsi(folder_));
    const std::vector<std::string> lines = UploadLines(30000, 2);
    ASSERT_EQ(2u, lines.size());
    EXPECT_THAT(lines[0], ::testing::StartsWith("upload log error. code=0, response code=500"));
    EXPECT_EQ(DroppedLine(1), lines[1]);
    EXPECT_EQ(1u, UploadPostsIn(makerservice::Control("/control/requests"), "500"));
    Sleep(200);
    EXPECT_EQ(DumpsFromTo(2, 10), ListFiles(WideToAnsi(DumpFolder()), 100));
    EXPECT_GE(ReadStamp(ReadConfigString(L"UploadLogTime", L"0", 200)), ReadStamp(stamp));

    AddDump(11);
    ClearUploadLines();
    SetThreadMaker(&NoThread);
    UploadDiagnostics(WideToAnsi(folder_));
    SetThreadMaker(nullptr);
    Sleep(1000);
    EXPECT_EQ(1u, UploadPostsIn(makerservice::Control("/control/requests"), "500"));
    EXPECT_TRUE(UploadLines(0).empty());
    EXPECT_EQ(DumpsFromTo(2, 11), ListFiles(WideToAnsi(DumpFolder()), 100));
}

}  // namespace
