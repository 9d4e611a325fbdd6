// The update checker against the maker's service stand-in, with a local
// manifest "ver" in the application-data folder.
#include "service_test_support.h"
#include "update_notices.h"

#include "CurlHandle.h"
#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"
#include "UpdateChecker.h"

#include <psapi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

const char kApp[] = "UpdTest";
// SHA-1 of "alpha", "old" and "beta".
const char kAlphaDigest[] = "be76331b95dfc399cd776d2fc68021e0db03cc4f";
const char kOldDigest[] = "c00dbbc9dadfbe1e232e93a729dd4752fade0abf";
const char kBetaDigest[] = "a295e0bdde1938d1fbfd343e5a3e569e868e1465";
// "无法获取远程服务器软件版本"
const wchar_t kNoRemoteVersion[] = L"\u65E0\u6CD5\u83B7\u53D6\u8FDC\u7A0B\u670D\u52A1\u5668\u8F6F\u4EF6\u7248\u672C";

std::vector<WPARAM> States(const std::vector<Notice>& notices)
{
    std::vector<WPARAM> states;
    for (const Notice& notice : notices)
        states.push_back(notice.state);
    return states;
}

std::string FileJson(const std::string& path, const std::string& digest)
{
    return "{\"path\": \"" + path + "\", \"size\": 5, \"digest\": \"" + digest + "\"}";
}

class UpdateCheckerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        curl_global_init(CURL_GLOBAL_WIN32);
        makerservice::Control("/control/reset", "");
        // The program makes this folder at start-up; a fresh profile lacks it.
        CreateDirectoryW(AnsiToWide(GetUpdateDataDir()).c_str(), nullptr);
        testfiles::RemoveTree(AppFolder());
        WriteFileBytes(AppFolder() + L"\\files\\a.txt", "alpha");
        SetVersions("1.4.6", "1.0.0");
        WriteSetting(L"UpdateUrl", AnsiToWide(makerservice::BaseUrl()).c_str());
        WriteSetting(L"AppName", AnsiToWide(kApp).c_str());
        DeleteFileW(ManifestPath().c_str());
    }

    void TearDown() override
    {
        WriteSetting(L"UpdateUrl", nullptr);
        WriteSetting(L"AppName", nullptr);
        DeleteFileW(ManifestPath().c_str());
        testfiles::RemoveTree(AppFolder());
    }

    static void WriteSetting(const wchar_t* key, const wchar_t* value)
    {
        WritePrivateProfileStringW(L"Vantorin", key, value, GetUpdateConfigPath().c_str());
    }

    static std::wstring AppFolder() { return AnsiToWide(makerservice::Root()) + L"\\apps\\" + AnsiToWide(kApp); }
    static std::wstring ManifestPath() { return AnsiToWide(GetUpdateDataDir()) + L"\\ver"; }

    static void SetVersions(const std::string& latest, const std::string& minimum)
    {
        const std::string body = std::string("{\"app\": \"") + kApp + "\", \"latest-version\": \"" + latest +
                                 "\", \"minimum-required\": \"" + minimum + "\"}";
        makerservice::Control("/control/version", body.c_str());
    }

    static void WriteManifest(const std::string& version, const std::string& files)
    {
        WriteFileBytes(ManifestPath(), "{\"version\": \"" + version + "\", \"files\": [" + files + "]}");
    }

    static void SetFault(const std::string& path, const std::string& fault)
    {
        const std::string body = "{\"path\": \"" + path + "\", \"fault\": \"" + fault + "\"}";
        makerservice::Control("/control/fault", body.c_str());
    }

    static int RequestsTo(const std::string& path)
    {
        int count = 0;
        for (const Json::Value& request : makerservice::Control("/control/requests"))
            count += request["path"].asString() == path ? 1 : 0;
        return count;
    }
};

struct VersionCase {
    const char* latest;
    const char* minimum;
    bool newer;
    bool required;
};

// The local manifest says 1.4.5 and lists a.txt with an old digest, so a
// check that goes on to the file list ends with 4, one that stops with 3.
TEST_F(UpdateCheckerTest, VersionsCompareByteWiseAgainstLocalManifest)
{
    const VersionCase cases[] = {
        {"1.4.6", "1.0.0", true, false},  {"1.4.5", "1.0.0", false, false}, {"1.4.5.1", "1.0.0", false, false},
        {"1.4.50", "1.0.0", true, false}, {"1.4.4", "1.0.0", false, false}, {"1.4.6", "1.4.6", true, true},
        {"1.4.5", "1.4.5", false, false},
    };
    WriteManifest("1.4.5", FileJson("a.txt", kOldDigest));
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(std::string(c.latest) + " / " + c.minimum);
        SetVersions(c.latest, c.minimum);
        CUpdateChecker checker;
        const std::vector<Notice> notices = RunCheck(checker);
        ASSERT_EQ(2u, notices.size());
        EXPECT_EQ(1u, notices[0].state);
        ASSERT_TRUE(notices[0].hasMessage);
        EXPECT_EQ(c.latest, notices[0].text);
        EXPECT_FALSE(notices[1].hasMessage);
        EXPECT_EQ(c.newer ? 4u : 3u, notices[1].state);
        EXPECT_TRUE(checker.HasRemoteVersion());
        EXPECT_EQ(c.newer, checker.IsNewVersionAvailable());
        EXPECT_EQ(c.required, checker.IsUpdateRequired());
    }
}

struct FilesCase {
    const char* name;
    std::string localFiles;
    WPARAM state;
};

TEST_F(UpdateCheckerTest, LocalFilesAgainstRemoteList)
{
    WriteFileBytes(AppFolder() + L"\\files\\sub\\b.txt", "beta");
    const std::string alpha = FileJson("a.txt", kAlphaDigest);
    const std::string beta = FileJson("sub\\\\b.txt", kBetaDigest);
    const FilesCase cases[] = {
        {"equal", alpha + "," + beta, 3},
        {"changed", FileJson("a.txt", kOldDigest) + "," + beta, 4},
        {"missing locally", alpha, 4},
        {"extra locally", alpha + "," + beta + "," + FileJson("c.txt", kAlphaDigest), 4},
        {"digest cut short", FileJson("a.txt", "be76") + "," + beta, 4},
        {"digest in capitals", FileJson("a.txt", "BE76331B95DFC399CD776D2FC68021E0DB03CC4F") + "," + beta, 3},
        // The JSON reader throws when asked for a member of a number.
        {"an entry that is no object", "5," + alpha + "," + beta, 3},
    };
    for (const FilesCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteManifest("1.4.5", c.localFiles);
        CUpdateChecker checker;
        EXPECT_THAT(States(RunCheck(checker)), ::testing::ElementsAre(1u, c.state));
    }
}

TEST_F(UpdateCheckerTest, ShortOrForeignDigestTextReadsAsZeros)
{
    uint8_t digest[kSha1DigestSize];
    ReadDigest(kAlphaDigest, digest);
    EXPECT_EQ(0xbe, digest[0]);
    EXPECT_EQ(0x4f, digest[19]);

    ReadDigest("abc", digest);
    EXPECT_EQ(0xab, digest[0]);
    EXPECT_EQ(0xc0, digest[1]);
    for (size_t i = 2; i < kSha1DigestSize; ++i)
        EXPECT_EQ(0, digest[i]) << i;

    ReadDigest("zz1G", digest);
    EXPECT_EQ(0x00, digest[0]);
    EXPECT_EQ(0x10, digest[1]);
}

struct VersionFailureCase {
    const char* fault;
    std::vector<std::wstring> errors;
};

TEST_F(UpdateCheckerTest, UnusableVersionReplyPostsErrorsThenNextCheckSucceeds)
{
    const VersionFailureCase cases[] = {
        {"404", {L"cannot get remote version", kNoRemoteVersion}},
        {"notjson", {kNoRemoteVersion}},
    };
    WriteManifest("1.4.5", FileJson("a.txt", kAlphaDigest));
    for (const VersionFailureCase& c : cases) {
        SCOPED_TRACE(c.fault);
        SetFault(std::string("/version/") + kApp, c.fault);
        CUpdateChecker checker;
        std::vector<std::wstring> errors;
        for (const Notice& notice : RunCheck(checker)) {
            EXPECT_EQ(2u, notice.state);
            errors.push_back(notice.error);
        }
        EXPECT_EQ(c.errors, errors);
        EXPECT_FALSE(checker.HasRemoteVersion());

        // The same checker starts afresh: the failed reply is not glued to
        // the next one.
        SetFault(std::string("/version/") + kApp, "none");
        EXPECT_THAT(States(RunCheck(checker)), ::testing::ElementsAre(1u, 3u));
        EXPECT_TRUE(checker.HasRemoteVersion());
    }
}

// Arrays opened 100,000 deep and never closed: the JSON reader gives up on
// such a text by throwing, and the update service is plain HTTP, so anyone
// on the way can send one. A reply or a local manifest like that counts as
// not JSON, and the check goes on as for any other text that is not.
TEST_F(UpdateCheckerTest, DeeplyNestedJsonCountsAsNotJson)
{
    const std::string deep(100000, '[');
    {
        SCOPED_TRACE("version reply");
        WriteManifest("1.4.5", FileJson("a.txt", kAlphaDigest));
        SetFault(std::string("/version/") + kApp, "deepnest");
        CUpdateChecker checker;
        const std::vector<Notice> notices = RunCheck(checker);
        ASSERT_EQ(1u, notices.size());
        EXPECT_EQ(2u, notices[0].state);
        EXPECT_EQ(kNoRemoteVersion, notices[0].error);
        EXPECT_FALSE(checker.HasRemoteVersion());
        SetFault(std::string("/version/") + kApp, "none");
    }
    {
        SCOPED_TRACE("file-list reply");
        WriteManifest("1.4.5", FileJson("a.txt", kOldDigest));
        SetFault(std::string("/latest/") + kApp, "deepnest");
        CUpdateChecker checker;
        EXPECT_THAT(States(RunCheck(checker)), ::testing::ElementsAre(1u));
        SetFault(std::string("/latest/") + kApp, "none");
    }
    {
        // No version and no files known locally: every remote file differs.
        SCOPED_TRACE("local manifest");
        WriteFileBytes(ManifestPath(), deep);
        CUpdateChecker checker;
        EXPECT_THAT(States(RunCheck(checker)), ::testing::ElementsAre(1u, 4u));
        EXPECT_TRUE(checker.IsNewVersionAvailable());
    }
}

// The version came, the file list did not: the check ends after its error.
void ExpectFileListError(const std::vector<Notice>& notices)
{
    ASSERT_EQ(2u, notices.size());
    EXPECT_EQ(1u, notices[0].state);
    EXPECT_EQ(2u, notices[1].state);
    EXPECT_EQ(L"cannot get latest version", notices[1].error);
}

std::mutex g_linesLock;
std::vector<std::string> g_checkerLines;

void CollectCheckerLines(int level, const char* tag, const char* text)
{
    if (level == 2 && std::string(tag).rfind("CUpdateChecker::", 0) == 0) {
        std::lock_guard<std::mutex> guard(g_linesLock);
        g_checkerLines.push_back(std::string(tag) + ": " + text);
    }
}

SIZE_T PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// A reply of 200 MiB: a valid object of the service padded with blanks. It
// fails as a transfer that got no reply does, with a log line that says why,
// and the process never holds more than a few megabytes of it.
TEST_F(UpdateCheckerTest, HugeReplyFailsLikeNoReply)
{
    WriteManifest("1.4.5", FileJson("a.txt", kOldDigest));
    g_checkerLines.clear();
    g_logger.SetObserver(CollectCheckerLines);
    const SIZE_T peakBefore = PeakWorkingSet();
    {
        SCOPED_TRACE("version reply");
        SetFault(std::string("/version/") + kApp, "huge");
        CUpdateChecker checker;
        std::vector<std::wstring> errors;
        for (const Notice& notice : RunCheck(checker)) {
            EXPECT_EQ(2u, notice.state);
            errors.push_back(notice.error);
        }
        EXPECT_EQ((std::vector<std::wstring>{L"cannot get remote version", kNoRemoteVersion}), errors);
        EXPECT_FALSE(checker.HasRemoteVersion());
        SetFault(std::string("/version/") + kApp, "none");
    }
    {
        SCOPED_TRACE("file-list reply");
        SetFault(std::string("/latest/") + kApp, "huge");
        CUpdateChecker checker;
        ExpectFileListError(RunCheck(checker));
    }
    const SIZE_T growth = PeakWorkingSet() - peakBefore;
    g_logger.SetObserver(nullptr);
    EXPECT_LT(growth, SIZE_T{20} * 1024 * 1024);
    const std::string base = makerservice::BaseUrl() + "/";
    EXPECT_THAT(g_checkerLines,
                ::testing::ElementsAre("CUpdateChecker::GetRemoteVersion: the reply of " + base + "version/" + kApp +
                                           " is larger than 2097152 bytes: transfer dropped",
                                       "CUpdateChecker::GetRemoteManifest: the reply of " + base + "latest/" + kApp +
                                           " is larger than 2097152 bytes: transfer dropped"));
}

// The bound counts the whole text, what it held before included; the piece
// that would cross it is refused whole.
TEST(BoundedReplyTest, RefusesThePieceThatCrossesTheBound)
{
    struct Case {
        const char* held;
        std::vector<size_t> pieces;
        size_t accepted;  // pieces taken before the first refusal
    };
    const Case cases[] = {
        {"", {4, 6}, 2}, {"", {4, 7, 1}, 1}, {"abc", {7}, 1}, {"abc", {8}, 0}, {"", {0, 10, 0}, 3}, {"", {11}, 0},
    };
    char data[16] = "xxxxxxxxxxxxxxx";
    for (const Case& c : cases) {
        std::string text = c.held;
        BoundedReply reply{&text, 10};
        size_t accepted = 0;
        std::string expected = c.held;
        for (const size_t piece : c.pieces) {
            if (AppendWithinLimit(data, 1, piece, &reply) != piece)
                break;
            ++accepted;
            expected.append(piece, 'x');
        }
        EXPECT_EQ(c.accepted, accepted) << c.held << " + " << c.pieces.size() << " pieces";
        EXPECT_EQ(expected, text);
        EXPECT_EQ(accepted < c.pieces.size(), reply.exceeded);
    }
}

// A local manifest that is JSON but no object has no version and no files.
TEST_F(UpdateCheckerTest, LocalManifestThatIsNoObjectReadsAsEmpty)
{
    WriteFileBytes(ManifestPath(), "[\"1.4.5\"]");
    CUpdateChecker checker;
    EXPECT_THAT(States(RunCheck(checker)), ::testing::ElementsAre(1u, 4u));
    EXPECT_TRUE(checker.IsNewVersionAvailable());
}

TEST_F(UpdateCheckerTest, FileListFailureEndsCheckAfterError)
{
    WriteManifest("1.4.5", FileJson("a.txt", kAlphaDigest));
    SetFault(std::string("/latest/") + kApp, "500");
    CUpdateChecker checker;
    ExpectFileListError(RunCheck(checker));
}

TEST_F(UpdateCheckerTest, SilentServiceIsBoundedAndChecksDoNotPileUp)
{
    WriteManifest("1.4.5", FileJson("a.txt", kAlphaDigest));
    SetFault(std::string("/version/") + kApp, "hang");
    CUpdateChecker checker;
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    checker.SetNotifyWindow(window);
    const ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(checker.Start());
    Sleep(1000);
    // A second start while the first waits joins it instead of piling up.
    EXPECT_TRUE(checker.Start());
    EXPECT_TRUE(checker.IsChecking());
    while (checker.IsChecking() && GetTickCount64() - started < 90000)
        Sleep(100);
    const ULONGLONG elapsed = GetTickCount64() - started;
    EXPECT_FALSE(checker.IsChecking());
    EXPECT_LT(elapsed, 60000u);
    EXPECT_EQ(1, RequestsTo(std::string("/version/") + kApp));
    checker.SetNotifyWindow(nullptr);
    DestroyWindow(window);

    SetFault(std::string("/version/") + kApp, "none");
    const std::vector<Notice> notices = RunCheck(checker);
    EXPECT_THAT(States(notices), ::testing::ElementsAre(1u, 3u));
}

HANDLE NoThread(LPTHREAD_START_ROUTINE, void*)
{
    return nullptr;
}

// A check whose thread cannot be made reports it and leaves the checker free
// for the next start, which runs.
TEST_F(UpdateCheckerTest, CheckWithoutAThreadLeavesTheCheckerFree)
{
    WriteManifest("1.4.5", FileJson("a.txt", kAlphaDigest));
    CUpdateChecker checker;
    SetThreadMaker(&NoThread);
    const bool started = checker.Start();
    SetThreadMaker(nullptr);
    EXPECT_FALSE(started);
    EXPECT_FALSE(checker.IsChecking());
    EXPECT_EQ(0, RequestsTo(std::string("/version/") + kApp));

    const std::vector<Notice> notices = RunCheck(checker);
    EXPECT_THAT(States(notices), ::testing::ElementsAre(1u, 3u));
}

struct ScanCase {
    const char* name;
    const char* remoteA;        // the service's a.txt
    const wchar_t* localExtra;  // a file only the program folder has
    bool remoteExtra;           // a file only the service lists
    WPARAM state;
};

// Without a local manifest the checker hashes the program's own files: the
// child program runs the check from a folder made for it.
TEST_F(UpdateCheckerTest, WithoutManifestProgramFolderIsHashed)
{
    const ScanCase cases[] = {
        {"equal", "alpha", nullptr, false, 3},
        {"changed", "ALPHA", nullptr, false, 4},
        {"only local", "alpha", L"d.txt", false, 4},
        {"only remote", "alpha", nullptr, true, 4},
    };
    const std::wstring program = testfiles::OwnExeDir() + L"\\update_scan";
    const std::wstring child = L"update_scan_child.exe";
    const std::wstring result = testfiles::OwnExeDir() + L"\\update_scan_result.txt";
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.name);
        testfiles::RemoveTree(program);
        testfiles::RemoveTree(AppFolder() + L"\\files");
        for (const std::wstring& folder : {program, AppFolder() + L"\\files"}) {
            CreateDirectoryW(AppFolder().c_str(), nullptr);
            CreateDirectoryW(folder.c_str(), nullptr);
            ASSERT_TRUE(
                CopyFileW((testfiles::OwnExeDir() + L"\\" + child).c_str(), (folder + L"\\" + child).c_str(), FALSE));
            WriteFileBytes(folder + L"\\sub\\b.txt", "beta");
        }
        WriteFileBytes(program + L"\\a.txt", "alpha");
        WriteFileBytes(AppFolder() + L"\\files\\a.txt", c.remoteA);
        // Folders whose names begin with "log" are not the program's files.
        WriteFileBytes(program + L"\\logs\\today.txt", "log");
        WriteFileBytes(program + L"\\logbook\\x.txt", "x");
        if (c.localExtra)
            WriteFileBytes(program + L"\\" + c.localExtra, "extra");
        if (c.remoteExtra)
            WriteFileBytes(AppFolder() + L"\\files\\c.txt", "extra");
        DeleteFileW(result.c_str());

        ASSERT_EQ(0, testfiles::RunToEnd(program + L"\\" + child, L"\"" + result + L"\""));

        const std::string folder = WideToAnsi(program);
        const std::string expected =
            "1\t1.4.6\n0\t" + folder + "\n0\t" + folder + "\\sub\n" + std::to_string(c.state) + "\t\n";
        EXPECT_EQ(expected, testfiles::ReadBytes(result));
    }
    testfiles::RemoveTree(program);
    DeleteFileW(result.c_str());
}

}  // namespace
