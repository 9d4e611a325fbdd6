#include "AppPaths.h"
#include "Logger.h"
#include "PubUtils.h"
#include "ServerLog.h"
#include "StringUtils.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(WorkerCount, FollowsTheProcessorCount)
{
    const int table[][2] = {{0, 3}, {1, 3}, {2, 2}, {3, 2}, {4, 3}, {8, 7}, {16, 15}};
    for (const auto& row : table)
        EXPECT_EQ(WorkerCountFor(row[0]), row[1]) << row[0] << " processors";

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(GetWorkerCount(), WorkerCountFor(static_cast<int>(info.dwNumberOfProcessors)));
}

TEST(OpenUrl, ShellFallbackQuotesTheAddress)
{
    struct Case {
        std::wstring url;
        std::string command;
    };
    const Case cases[] = {
        {L"http://example.test/a?x=1&y=2", "start \"\" \"http://example.test/a?x=1&y=2\""},
        {L"http://example.test/|calc&del x", "start \"\" \"http://example.test/|calc&del x\""},
        {L"http://example.test/\u4E2D", "start \"\" \"http://example.test/\xD6\xD0\""},
        {L"http://example.test/\"&calc&\"", ""},
        {L"http://example.test/\r\ncalc", ""},
        {L"http://example.test/%CMDCMDLINE%&calc", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PubUtils::ShellStartCommand(c.url), c.command) << WideToUtf8(c.url);
}

TEST(ServerLog, ReachesTheInstalledSinkOnly)
{
    static std::vector<std::string> queued;
    queued.clear();
    SendServerLog("before", true);
    SetServerLogSink([](const std::string& text, bool sendNow) { queued.push_back(text + (sendNow ? "!" : "")); });
    SendServerLog("now", true);
    SendServerLog("later", false);
    SetServerLogSink(nullptr);
    SendServerLog("after", true);
    EXPECT_EQ(queued, (std::vector<std::string>{"now!", "later"}));
}

// What OpenUrl asked of the shell, what it logged and what it queued for the
// service. The shell here answers from a table: a real one always finds some
// browser.
struct OpenUrlSeen {
    std::vector<std::pair<std::wstring, std::wstring>> shellCalls;
    std::vector<INT_PTR> answers;
    std::vector<std::string> logLines;
    std::vector<std::string> queued;
};
OpenUrlSeen g_openUrlSeen;

INT_PTR TableShellOpen(const wchar_t* file, const wchar_t* parameters)
{
    OpenUrlSeen& seen = g_openUrlSeen;
    const size_t call = seen.shellCalls.size();
    seen.shellCalls.emplace_back(file, parameters ? parameters : L"<none>");
    return call < seen.answers.size() ? seen.answers[call] : 0;
}

TEST(OpenUrl, ShellTriesInOrderAndBothFailingIsLoggedAndSent)
{
    // A file that is not there, with no program for its kind: the last
    // resort, the command shell's start, fails quietly too.
    const std::wstring url = L"C:\\no_such_folder\\nothing.vantorin-test";
    struct Case {
        std::vector<INT_PTR> answers;
        bool opened;
        size_t calls;
        const char* line;  // logged and sent; null when nothing failed
    };
    const Case cases[] = {
        {{42}, true, 1, nullptr},
        {{2, 33}, true, 2, nullptr},
        {{2, 31}, false, 2, "open url error 2,31"},
        {{0, 5}, false, 2, "open url error 0,5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "opened");
        g_openUrlSeen = OpenUrlSeen();
        g_openUrlSeen.answers = c.answers;
        g_logger.SetObserver([](int level, const char* tag, const char* text) {
            g_openUrlSeen.logLines.push_back(std::to_string(level) + "|" + tag + "|" + text);
        });
        SetServerLogSink([](const std::string& text, bool sendNow) {
            g_openUrlSeen.queued.push_back(text + (sendNow ? " (now)" : ""));
        });
        const bool opened = PubUtils::OpenUrlWith(url, &TableShellOpen);
        SetServerLogSink(nullptr);
        g_logger.SetObserver(nullptr);

        EXPECT_EQ(opened, c.opened);
        using Calls = std::vector<std::pair<std::wstring, std::wstring>>;
        Calls calls = {{url, L"<none>"}, {L"iexplore.exe", url}};
        calls.resize(c.calls);
        EXPECT_EQ(g_openUrlSeen.shellCalls, calls);
        if (c.line) {
            EXPECT_EQ(g_openUrlSeen.logLines, std::vector<std::string>{std::string("2|PubUtils::OpenUrl|") + c.line});
            EXPECT_EQ(g_openUrlSeen.queued, std::vector<std::string>{std::string(c.line) + " (now)"});
        } else {
            EXPECT_TRUE(g_openUrlSeen.logLines.empty());
            EXPECT_TRUE(g_openUrlSeen.queued.empty());
        }
    }
}

TEST(ExternalTools, FfmpegRunsHiddenAndIsWaitedFor)
{
    const std::wstring output = AnsiToWide(GetTempDir()) + L"\\pub_utils_probe.wav";
    DeleteFileW(output.c_str());
    ScopedHandle process =
        StartFfmpeg(L"-y -f lavfi -i anullsrc=r=16000:cl=mono -t 0.5 -acodec pcm_s16le \"" + output + L"\"", false);
    ASSERT_TRUE(process.valid());
    ASSERT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    const std::string wav = testfiles::ReadBytes(output);
    DeleteFileW(output.c_str());
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
}

// The "Debug" setting shows the tools' windows maximised; without it they run
// hidden.
TEST(ExternalTools, ShownToolsStartMaximisedElseHidden)
{
    const std::wstring output = AnsiToWide(GetTempDir()) + L"\\show_probe.txt";
    const std::pair<bool, const char*> cases[] = {{true, "flags=1 show=3"}, {false, "flags=1 show=0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first ? "shown" : "hidden");
        DeleteFileW(output.c_str());
        ScopedHandle process = ShellOpen(testfiles::OwnExeDir() + L"\\show_probe.exe", L"\"" + output + L"\"", c.first);
        ASSERT_TRUE(process.valid());
        ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
        EXPECT_EQ(c.second, testfiles::ReadBytes(output));
    }
    DeleteFileW(output.c_str());
}

// No system error box holds the worker that asked: the start fails at once.
TEST(ExternalTools, MissingProgramGivesNoHandle)
{
    ScopedHandle process = ShellOpen(testfiles::OwnExeDir() + L"\\no_such_tool.exe", L"-x", false);
    EXPECT_FALSE(process.valid());
}

const wchar_t kUpdaterChild[] = L"VANTORIN_UPDATER_CHILD";

// The updater is started from a folder whose name holds a blank; a program
// planted where an unquoted command line would lead must not run.
class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base_ = testfiles::FreshFolder(L"vantorin updater test");
        app_ = base_ + L"\\Program Files";
        CreateDirectoryW(app_.c_str(), nullptr);
        const std::wstring updater = testfiles::OwnExeDir() + L"\\AutoUpdate.exe";
        ASSERT_TRUE(CopyFileW(testfiles::OwnExePath().c_str(), (app_ + L"\\pub_utils_test.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(updater.c_str(), (app_ + L"\\AutoUpdate.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(updater.c_str(), (base_ + L"\\Program.exe").c_str(), FALSE));
    }
    void TearDown() override { testfiles::RemoveTree(base_); }

    // Has the copied test program call StartUpdateExe, then waits for the
    // stand-in's record: its command line and its own path.
    std::vector<std::string> StartAndRecord()
    {
        EXPECT_EQ(testfiles::RunChildTests(L"UpdaterChild.*", kUpdaterChild, app_ + L"\\pub_utils_test.exe"), 0);
        const std::wstring record = app_ + L"\\AutoUpdate.started.txt";
        for (int i = 0; i < 200 && !testfiles::Exists(record); ++i)
            Sleep(100);
        Sleep(200);
        std::vector<std::string> lines;
        const std::string text = testfiles::ReadBytes(record);
        size_t begin = 0;
        for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
            lines.push_back(text.substr(begin, end - begin));
        return lines;
    }

    std::wstring base_;
    std::wstring app_;
};

TEST_F(UpdaterTest, StartsTheCopyQuoted)
{
    const std::string copy = WideToUtf8(app_ + L"\\AutoUpdateTmp.exe");
    EXPECT_EQ(StartAndRecord(), (std::vector<std::string>{"\"" + copy + "\"", copy}));
    EXPECT_FALSE(testfiles::Exists(base_ + L"\\AutoUpdate.started.txt")) << "the planted program ran";
}

TEST_F(UpdaterTest, StartsTheOriginalWhenTheCopyIsLocked)
{
    const std::wstring copy = app_ + L"\\AutoUpdateTmp.exe";
    ASSERT_TRUE(CopyFileW((app_ + L"\\AutoUpdate.exe").c_str(), copy.c_str(), FALSE));
    ScopedHandle lock(CreateFileW(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());
    const std::string original = WideToUtf8(app_ + L"\\AutoUpdate.exe");
    EXPECT_EQ(StartAndRecord(), (std::vector<std::string>{"\"" + original + "\"", original}));
    EXPECT_FALSE(testfiles::Exists(base_ + L"\\AutoUpdate.started.txt")) << "the planted program ran";
}

TEST(UpdaterChild, CallsStartUpdateExe)
{
    if (!testfiles::IsChild(kUpdaterChild))
        GTEST_SKIP() << "runs only as the child of UpdaterTest";
    static std::string seen;
    g_logger.SetObserver([](int, const char* tag, const char* text) { seen = std::string(tag) + "|" + text; });
    PubUtils::StartUpdateExe();
    g_logger.SetObserver(nullptr);
    EXPECT_EQ(seen, "PubUtils::StartUpdateExe|start update app");
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Probe()
{
    return testfiles::OwnExeDir() + L"\\single_instance_probe.exe";
}

TEST(SingleInstance, SecondStartRestoresTheFirstWindowAndExits)
{
    const wchar_t* mutexName = L"VantorinTest.SingleInstance.Window";
    const wchar_t* windowClass = L"VantorinTestSingleInstance";
    ASSERT_TRUE(CheckSingleInstance(mutexName, windowClass));

    WNDCLASSW type = {};
    type.lpfnWndProc = PlainWindowProc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = windowClass;
    ASSERT_TRUE(RegisterClassW(&type));
    HWND window = CreateWindowW(windowClass, L"first", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                type.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));

    EXPECT_EQ(testfiles::RunToEnd(Probe(), std::wstring(mutexName) + L" " + windowClass), 0);
    MSG message;
    for (int i = 0; i < 20 && IsIconic(window); ++i) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(50);
    }
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(window);
}

TEST(SingleInstance, FirstWithoutWindowStillStopsTheSecond)
{
    const wchar_t* mutexName = L"VantorinTest.SingleInstance.NoWindow";
    ASSERT_TRUE(CheckSingleInstance(mutexName, L"VantorinTestNoSuchClass"));
    EXPECT_EQ(testfiles::RunToEnd(Probe(), std::wstring(mutexName) + L" VantorinTestNoSuchClass"), 0);
    EXPECT_FALSE(CheckSingleInstance(mutexName, L"VantorinTestNoSuchClass")) << "held within the process too";
}

TEST(SingleInstance, AloneItRuns)
{
    EXPECT_EQ(testfiles::RunToEnd(Probe(), L"VantorinTest.SingleInstance.Alone VantorinTestNoSuchClass"), 2);
}

}  // namespace
