#include "AppPaths.h"
#include "Logger.h"
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kStartBannerHead = "********************\xC8\xD5\xD6\xBE\xBF\xAA\xCA\xBC";  // 日志开始
const std::string kEndBannerHead = "********************\xC8\xD5\xD6\xBE\xBD\xE1\xCA\xF8";    // 日志结束
const std::string kBannerTail = "************************\r\n";
const char kStamp[] = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = testfiles::FreshFolder(L"vantorin_logger_test");
        path_ = folder_ + L"\\test.log";
    }
    void TearDown() override { testfiles::RemoveTree(folder_); }

    std::string NarrowPath() const { return WideToAnsi(path_); }
    std::string Contents() const { return testfiles::ReadBytes(path_); }

    // The lines written between the start and the end banner.
    std::string Body() const
    {
        const std::string all = Contents();
        const size_t start = all.find(kBannerTail);
        const size_t end = all.rfind(kEndBannerHead);
        if (start == std::string::npos || end == std::string::npos || end < start)
            return "<no banners>";
        return all.substr(start + kBannerTail.size(), end - start - kBannerTail.size());
    }

    std::wstring folder_;
    std::wstring path_;
};

// The calling thread's id as it appears in a line, escaped for a regex.
std::string ThreadPattern()
{
    return "\\[" + std::to_string(GetCurrentThreadId()) + "\\]";
}

TEST_F(LoggerTest, BannersAreGbkAndFrameTheLines)
{
    {
        CLogger logger(NarrowPath());
        logger.Write(1, "X::Y", "hello %d", 42);
    }
    const std::string all = Contents();
    const size_t bannerSize = kStartBannerHead.size() + 19 + kBannerTail.size();
    ASSERT_GT(all.size(), 2 * bannerSize);
    const std::string start = all.substr(0, bannerSize);
    const std::string end = all.substr(all.size() - bannerSize);
    const std::regex stamp(kStamp);
    EXPECT_EQ(start.substr(0, kStartBannerHead.size()), kStartBannerHead);
    EXPECT_TRUE(std::regex_match(start.substr(kStartBannerHead.size(), 19), stamp)) << start;
    EXPECT_EQ(start.substr(kStartBannerHead.size() + 19), kBannerTail);
    EXPECT_EQ(end.substr(0, kEndBannerHead.size()), kEndBannerHead);
    EXPECT_TRUE(std::regex_match(end.substr(kEndBannerHead.size(), 19), stamp)) << end;
    EXPECT_EQ(end.substr(kEndBannerHead.size() + 19), kBannerTail);
    const std::regex line(std::string("^") + kStamp + " " + ThreadPattern() + R"(X::Y:\t\thello 42\r\n$)");
    EXPECT_TRUE(std::regex_match(Body(), line)) << Body();
}

TEST_F(LoggerTest, SizeRuleAtStartUp)
{
    struct Case {
        size_t size;
        bool keptOldContent;
    };
    const Case cases[] = {{1048576, true}, {1048577, false}};
    for (const Case& c : cases) {
        const std::string old(c.size, 'x');
        ASSERT_TRUE(testfiles::WriteBytes(path_, old));
        {
            CLogger logger(NarrowPath());
        }
        const std::string after = Contents();
        if (c.keptOldContent) {
            EXPECT_EQ(after.compare(0, old.size(), old), 0) << c.size;
            EXPECT_EQ(after.compare(old.size(), kStartBannerHead.size(), kStartBannerHead), 0) << c.size;
        } else {
            EXPECT_EQ(after.compare(0, kStartBannerHead.size(), kStartBannerHead), 0) << c.size;
            EXPECT_LT(after.size(), 200u) << c.size;
        }
    }
}

// A log that grew past what a 32-bit file position holds is still measured
// whole. The files are only extended, never written, so the test reads just
// their first bytes.
TEST_F(LoggerTest, SizeRuleHoldsBeyondThirtyTwoBitPositions)
{
    const ULONGLONG sizes[] = {0x80000000ull + 16, 0x100000000ull + 16};
    for (const ULONGLONG size : sizes) {
        {
            ScopedHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            ASSERT_TRUE(file) << size;
            LARGE_INTEGER end;
            end.QuadPart = static_cast<LONGLONG>(size);
            ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) << size;
            ASSERT_TRUE(SetEndOfFile(file.get())) << size;
        }
        {
            CLogger logger(NarrowPath());
        }
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) << size;
        EXPECT_EQ(data.nFileSizeHigh, 0u) << size;
        ASSERT_LT(data.nFileSizeLow, 200u) << size;
        EXPECT_EQ(Contents().compare(0, kStartBannerHead.size(), kStartBannerHead), 0) << size;
        DeleteFileW(path_.c_str());
    }
}

TEST_F(LoggerTest, TextLengthsAtTheBufferBound)
{
    struct Case {
        size_t length;
        bool written;
    };
    const Case cases[] = {{0, false}, {1, true}, {2047, true}, {2048, false}, {5000, false}};
    for (const Case& c : cases) {
        DeleteFileW(path_.c_str());
        {
            CLogger logger(NarrowPath());
            logger.Write(1, "X::Y", "%s", std::string(c.length, 'a').c_str());
        }
        const std::string body = Body();
        if (c.written) {
            const std::string tail = ":\t\t" + std::string(c.length, 'a') + "\r\n";
            ASSERT_GE(body.size(), tail.size()) << c.length;
            EXPECT_EQ(body.substr(body.size() - tail.size()), tail) << c.length;
            EXPECT_EQ(body.find("\r\n"), body.size() - 2) << "one line for " << c.length;
        } else {
            EXPECT_EQ(body, "") << c.length;
        }
    }
}

TEST_F(LoggerTest, LevelsShapeTheLine)
{
    const std::string tid = ThreadPattern();
    SetLastError(0);
    {
        CLogger logger(NarrowPath());
        logger.Write(1, "A::Info", "one");
        logger.Write(2, "A::Warn", "two");
        logger.Write(3, "A::Err", "three");
        logger.Write(4, "A::Other", "four");
        logger.Write(0, "A::Other", "zero");
    }
    const std::regex lines(std::string("^") + kStamp + " " + tid + R"(A::Info:\t\tone\r\n)" + kStamp + " warning>>> " +
                           tid + R"(A::Warn:\t\ttwo\r\n)" + kStamp + " Error>>>>> " + tid +
                           R"(A::Err:\t\tthree \r\n$)");
    EXPECT_TRUE(std::regex_match(Body(), lines)) << Body();
}

TEST_F(LoggerTest, ErrorLevelAppendsAndClearsThePendingSystemError)
{
    char* raw = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   5, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&raw), 0, nullptr);
    const std::string systemText = raw ? raw : "";
    LocalFree(raw);
    ASSERT_FALSE(systemText.empty());

    DWORD errorAfter = 1234;
    {
        CLogger logger(NarrowPath());
        SetLastError(ERROR_ACCESS_DENIED);
        // The formatted text itself goes through the C runtime, which must not
        // disturb the error being reported.
        logger.Write(3, "A::Err", "open %s failed %.3f", "file.txt", 1.5);
        errorAfter = GetLastError();
    }
    EXPECT_EQ(errorAfter, 0u);
    const std::string expectedTail = ":\t\topen file.txt failed 1.500 LastError info: " + systemText + "\r\n";
    const std::string body = Body();
    ASSERT_GE(body.size(), expectedTail.size());
    EXPECT_EQ(body.substr(body.size() - expectedTail.size()), expectedTail);
    EXPECT_NE(body.find(" Error>>>>> "), std::string::npos);
}

TEST_F(LoggerTest, OtherLevelsLeaveTheCallersErrorAlone)
{
    CLogger logger(NarrowPath());
    SetLastError(ERROR_FILE_NOT_FOUND);
    logger.Write(1, "A::Info", "text");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(LoggerTest, EmptyPathWritesNothingAnywhere)
{
    CLogger logger("");
    SetLastError(ERROR_ACCESS_DENIED);
    logger.Write(3, "A::Err", "no file");
    logger.Write(1, "A::Info", "no file");
    // Without a file the level-3 rule never ran, so the error stays pending.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(LoggerTest, UnopenablePathLeavesALoggerWithoutFile)
{
    CLogger logger(WideToAnsi(folder_ + L"\\missing\\sub\\x.log"));
    logger.Write(1, "A::Info", "dropped");
    EXPECT_FALSE(testfiles::Exists(folder_ + L"\\missing"));
}

TEST_F(LoggerTest, ObserverSeesEachWrittenLine)
{
    static std::vector<std::string> seen;
    seen.clear();
    CLogger logger(NarrowPath());
    logger.SetObserver([](int level, const char* tag, const char* text) {
        seen.push_back(std::to_string(level) + "|" + tag + "|" + text);
    });
    logger.Write(2, "A::B", "x%d", 1);
    logger.Write(1, "A::B", "%s", "");
    logger.SetObserver(nullptr);
    logger.Write(1, "A::B", "unseen");
    EXPECT_EQ(seen, std::vector<std::string>{"2|A::B|x1"});
}

TEST_F(LoggerTest, ConcurrentWritersGiveOnlyWholeLines)
{
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    {
        CLogger logger(NarrowPath());
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&logger, t] {
                for (int i = 0; i < kLinesEach; ++i)
                    logger.Write(1, "W::Run", "t%d i%d %s", t, i,
                                 std::string(static_cast<size_t>(i % 50) * 7, 'z').c_str());
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    }
    const std::string body = Body();
    const std::regex line(std::string("^") + kStamp + R"( \[\d+\]W::Run:\t\tt(\d) i(\d+) (z*)$)");
    std::vector<int> nextIndex(kThreads, 0);
    int count = 0;
    size_t begin = 0;
    while (begin < body.size()) {
        const size_t end = body.find("\r\n", begin);
        ASSERT_NE(end, std::string::npos);
        const std::string text = body.substr(begin, end - begin);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        const int t = std::stoi(match[1]);
        const int i = std::stoi(match[2]);
        EXPECT_EQ(i, nextIndex[static_cast<size_t>(t)]++) << "each thread's lines stay in order";
        EXPECT_EQ(match[3].length(), (i % 50) * 7);
        ++count;
        begin = end + 2;
    }
    EXPECT_EQ(count, kThreads * kLinesEach);
}

TEST_F(LoggerTest, WriteAfterDestructionDoesNothing)
{
    // A worker thread that outlives the program entry may log after the
    // logger's destructor ran; model that with storage that outlives the object.
    alignas(CLogger) static unsigned char storage[sizeof(CLogger)];
    CLogger* logger = new (storage) CLogger(NarrowPath());
    logger->Write(1, "A::B", "before");
    logger->~CLogger();
    const std::string closed = Contents();

    std::thread late([logger] { logger->Write(3, "A::B", "after %d", 1); });
    late.join();
    logger->Write(1, "A::B", "after");
    EXPECT_EQ(Contents(), closed);
    EXPECT_EQ(closed.compare(closed.size() - kBannerTail.size(), kBannerTail.size(), kBannerTail), 0);
}

TEST(ProgramLog, LivesInTheAppDataFolder)
{
    const std::wstring path = AnsiToWide(GetAppDataDir()) + L"\\Vantorin.log";
    const std::string marker = "program log marker " + std::to_string(GetTickCount());
    g_logger.Write(1, "LoggerTest::Program", "%s", marker.c_str());
    EXPECT_NE(testfiles::ReadBytes(path).find(marker), std::string::npos);
}

TEST(ProgramLog, UiTraceBecomesAWarning)
{
    static std::string seen;
    seen.clear();
    g_logger.SetObserver(
        [](int level, const char* tag, const char* text) { seen = std::to_string(level) + "|" + tag + "|" + text; });
    UiLibExceptFunc(L"\u6D4B\u8BD5 100%");  // "测试 100%": the text is data, not a format
    g_logger.SetObserver(nullptr);
    EXPECT_EQ(seen, "2|UiLibExceptFunc|\xB2\xE2\xCA\xD4 100%");
}

TEST(ProgramLog, PrintTimeLogsEntryAndElapsedTime)
{
    static std::vector<std::string> seen;
    seen.clear();
    g_logger.SetObserver([](int, const char* tag, const char* text) { seen.push_back(std::string(tag) + "|" + text); });
    {
        PrintTime timer("scope");
        Sleep(60);
    }
    g_logger.SetObserver(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "PrintTime::PrintTime|<< scope");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(seen[1], match, std::regex(R"(PrintTime::~PrintTime\|scope >> (\d+) ms)"))) << seen[1];
    EXPECT_GE(std::stoul(match[1]), 40ul);
    EXPECT_LT(std::stoul(match[1]), 5000ul);
}

}  // namespace

namespace {

const wchar_t kDebugChildVariable[] = L"VANTORIN_LOGGER_DEBUG_CHILD";

// Runs this program's LoggerDebugChild test under a debugger and returns the
// texts it sent to the debugger output, in order.
std::vector<std::string> DebuggerTextsOfChild()
{
    std::vector<std::string> texts;
    std::wstring command = L"\"" + testfiles::OwnExePath() + L"\" --gtest_filter=LoggerDebugChild.*";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    SetEnvironmentVariableW(kDebugChildVariable, L"1");
    const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableW(kDebugChildVariable, nullptr);
    if (!started)
        return texts;

    for (bool running = true; running;) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, 60000))
            break;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T read = 0;
            ReadProcessMemory(process.hProcess, info.lpDebugStringData, &text[0], text.size(), &read);
            text.resize(read);
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            texts.push_back(text);
            break;
        }
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            running = false;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return texts;
}

TEST(LoggerDebugOutput, MirrorsEachLevelAndStaysSilentWithoutFile)
{
    const std::vector<std::string> texts = DebuggerTextsOfChild();
    auto begin = std::find(texts.begin(), texts.end(), "marker-begin");
    auto end = std::find(texts.begin(), texts.end(), "marker-end");
    ASSERT_TRUE(begin != texts.end() && end != texts.end() && begin < end) << texts.size() << " texts";
    const std::vector<std::string> between(begin + 1, end);
    ASSERT_EQ(between.size(), 11u);
    const std::vector<std::string> expectedHead = {"info", "\r\n", "warning >>>", "warn", "\r\n", "Error >>>>>"};
    EXPECT_EQ(std::vector<std::string>(between.begin(), between.begin() + 6), expectedHead);
    EXPECT_FALSE(between[6].empty()) << "the system's text for error 5";
    const std::vector<std::string> expectedTail = {"fails", "\r\n", "four", "\r\n"};
    EXPECT_EQ(std::vector<std::string>(between.begin() + 7, between.end()), expectedTail);
}

TEST(LoggerDebugChild, WritesForTheDebugger)
{
    if (!testfiles::IsChild(kDebugChildVariable))
        GTEST_SKIP() << "runs only under LoggerDebugOutput";
    const std::wstring folder = testfiles::FreshFolder(L"vantorin_logger_debug");
    {
        CLogger logger(WideToAnsi(folder + L"\\debug.log"));
        CLogger silent("");
        OutputDebugStringA("marker-begin");
        silent.Write(1, "A::B", "silent");
        logger.Write(1, "A::B", "info");
        logger.Write(2, "A::B", "warn");
        SetLastError(ERROR_ACCESS_DENIED);
        logger.Write(3, "A::B", "fails");
        logger.Write(4, "A::B", "four");
        silent.Write(3, "A::B", "silent");
        OutputDebugStringA("marker-end");
    }
    testfiles::RemoveTree(folder);
}

}  // namespace
