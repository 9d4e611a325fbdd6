// The main window's one-second timer and what reaches the window from the
// update checker: the update check tried again every tenth tick until a
// version is known, the sweep that marks a row done when its result message
// was lost (and leaves rows without pieces alone), the poor-audio re-run
// through preparation, the update messages, and the About button pressed
// twice. Messages go through the program's own loop, as in the program.
#include "Win32Prelude.h"
#include "MakerServiceControl.h"
#include "SpeechServiceControl.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "CSpeechClientBase.h"
#include "Logger.h"
#include "PlayListCtrl.h"
#include "RtmpPlayer.h"
#include "StringUtils.h"
#include "UpdateChecker.h"
#include "program_loop_support.h"
#include "settings_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

using namespace UiLib;

namespace {

constexpr wchar_t kVersionPath[] = L"/version/Vantorin";
constexpr DWORD kWaitMs = 60000;

// The log lines written while it lives, by level and text.
class LogCapture {
public:
    LogCapture()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.clear();
        g_logger.SetObserver(&LogCapture::Observe);
    }
    ~LogCapture() { g_logger.SetObserver(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    static int Count(int level, const std::string& text)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        int count = 0;
        for (const auto& line : lines_)
            count += line.first == level && line.second == text;
        return count;
    }

private:
    static void Observe(int level, const char*, const char* text)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.emplace_back(level, text);
    }

    static std::mutex mutex_;
    static std::vector<std::pair<int, std::string>> lines_;
};

std::mutex LogCapture::mutex_;
std::vector<std::pair<int, std::string>> LogCapture::lines_;

AppTest::ProgramLoop g_loop;

// Result messages of REST pieces, "lost" on their way.
bool IsPieceResult(const MSG& msg)
{
    return msg.message == WM_USER_AUDIO_RESULT;
}

int CountWindows(const wchar_t* className)
{
    int count = 0;
    for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, className, nullptr))
        count += IsWindowVisible(window) ? 1 : 0;
    return count;
}

void DestroyWindows(const wchar_t* className)
{
    for (HWND window; (window = FindWindowExW(nullptr, nullptr, className, nullptr)) != nullptr;)
        DestroyWindow(window);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A file that exists but that ffmpeg.exe cannot read: every piece cut from
// it fails.
std::string MakeUnreadableSource(const char* name)
{
    const std::string folder = GetAppDataDir() + "\\main_window_timer_test";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    std::ofstream(path, std::ios::binary) << "not really audio";
    return path;
}

int VersionRequests()
{
    int count = 0;
    for (const Json::Value& request : makerservice::Control("/control/requests"))
        count += request["path"].asString() == WideToUtf8(kVersionPath);
    return count;
}

// The local update manifest in the data folder; what was there before is
// put back.
class LocalManifest {
public:
    explicit LocalManifest(const std::string& content)
        : path_(GetUpdateDataDir() + "/ver"),
          saved_(ReadWholeFile(path_)),
          existed_(GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES)
    {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << content;
    }
    ~LocalManifest()
    {
        if (existed_)
            std::ofstream(path_, std::ios::binary | std::ios::trunc) << saved_;
        else
            DeleteFileA(path_.c_str());
    }
    LocalManifest(const LocalManifest&) = delete;
    LocalManifest& operator=(const LocalManifest&) = delete;

private:
    std::string path_;
    std::string saved_;
    bool existed_;
};

class MainWindowTimerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        curl_global_init(CURL_GLOBAL_WIN32);
        settings_.reset(new AppTest::ScopedSettings());
        // Read once, when the data object and its update checker are made.
        settings_->Set(L"UpdateUrl", AnsiToWide(makerservice::BaseUrl()));
        settings_->Set(L"UserServiceUrl", L"http://127.0.0.1:9");
        const std::string speech = speechservice::BaseUrl("localhost");
        settings_->Set(kTokenUrlKey, AnsiToWide(speech + "/oauth/2.0/token"));
        settings_->Set(kRecognizeUrlKey, AnsiToWide(speech + "/server_api"));
        settings_->Set(kCaFileKey, AnsiToWide(speechservice::CertificatePath()));
        CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
    }

    static void TearDownTestSuite()
    {
        settings_.reset();
        curl_global_cleanup();
    }

    void SetUp() override
    {
        ASSERT_FALSE(makerservice::BaseUrl().empty()) << "maker stand-in not running";
        ASSERT_FALSE(speechservice::BaseUrl().empty()) << "speech stand-in not running";
        CData* data = CData::GetInstance();
        data->SetExiting(false);
        data->SetRnnoise(false);
        data->SetVolGain(false);
        checker_ = data->GetUpdateChecker();
        // A check started by an earlier window must not land in this test.
        ASSERT_TRUE(g_loop.PumpUntil([&] { return !checker_->IsChecking(); }, kWaitMs));
        makerservice::Control("/control/reset", "");
        makerservice::Control("/control/fault", "{\"path\": \"/version/Vantorin\", \"fault\": \"404\"}");
        g_loop.SetDropFilter(nullptr);
    }

    void TearDown() override
    {
        g_loop.SetDropFilter(nullptr);
        DestroyWindows(L"CMessageWnd");
        DestroyWindows(L"CAboutAppDlg");
        if (player_.GetHwnd() != nullptr && IsWindow(player_.GetHwnd()))
            DestroyWindow(player_.GetHwnd());
        g_loop.Pump(20);
        g_loop.PumpUntil([&] { return !checker_->IsChecking(); }, kWaitMs);
        makerservice::Control("/control/fault", "{\"path\": \"/version/Vantorin\", \"fault\": \"none\"}");
    }

    // The window with its real timer running, as the program makes it.
    void Create()
    {
        ASSERT_NE(nullptr, player_.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600));
        list_ = player_.GetPlayList();
        ASSERT_NE(nullptr, list_);
    }

    // The window whose ticks the test gives one by one: its timer is stopped
    // before the loop could deliver a first tick.
    void CreateWithCountedTicks()
    {
        Create();
        player_.GetManager().KillControlTimers(player_.GetManager().FindControlByName(L"btnClose"));
        g_loop.Pump(50);
    }

    // One tick, as the timer of "btnClose" delivers it.
    void Tick()
    {
        UiNotify tick = {};
        tick.type = L"timer";
        tick.sender = player_.GetManager().FindControlByName(L"btnClose");
        player_.Notify(tick);
        ++ticks_;
    }

    // Gives count ticks, each once the check it may have started is over;
    // the numbers of the ticks after which the service was asked again.
    std::vector<int> TicksThatChecked(int count)
    {
        std::vector<int> checkedAt;
        for (int i = 0; i < count; ++i) {
            const int before = VersionRequests();
            Tick();
            EXPECT_TRUE(g_loop.PumpUntil([&] { return !checker_->IsChecking(); }, kWaitMs));
            if (VersionRequests() > before)
                checkedAt.push_back(ticks_);
        }
        return checkedAt;
    }

    void Click(const wchar_t* name)
    {
        const RECT& bounds = player_.GetManager().FindControlByName(name)->GetBounds();
        const LPARAM at = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        PostMessageW(player_.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(player_.GetHwnd(), WM_LBUTTONUP, 0, at);
    }

    int AddRow(const std::string& path)
    {
        list_->AddFile(AnsiToWide(path).c_str());
        const int row = list_->FindItem(path);
        EXPECT_GE(row, 0);
        return row;
    }

    std::wstring Cell(int row, int column) { return list_->GetItemText(list_->GetItemAt(row), row, column); }

    // Its skins, and those of the boxes and the About window, come from the
    // program's own resource zip, linked into this test as into the program.
    RtmpPlayer player_;
    CPlayListCtrl* list_ = nullptr;
    CUpdateChecker* checker_ = nullptr;
    int ticks_ = 0;
    static std::unique_ptr<AppTest::ScopedSettings> settings_;
};

std::unique_ptr<AppTest::ScopedSettings> MainWindowTimerTest::settings_;

// While the update service has not answered with a version, every tenth tick
// asks again; once it has, no tick asks any more. (Runs before any test that
// lets a version become known: the checker is the process's one.)
TEST_F(MainWindowTimerTest, UpdateCheckIsRetriedEveryTenthTickUntilAVersionIsKnown)
{
    ASSERT_FALSE(checker_->HasRemoteVersion());
    const LocalManifest manifest("{\"version\": \"1.4.5\"}");
    const LogCapture log;
    CreateWithCountedTicks();
    // The check of the window's set-up.
    ASSERT_TRUE(g_loop.PumpUntil([&] { return !checker_->IsChecking() && VersionRequests() == 1; }, kWaitMs));

    // Thirty ticks against a service that fails: a check at every tenth.
    EXPECT_EQ((std::vector<int>{10, 20, 30}), TicksThatChecked(30));
    EXPECT_FALSE(checker_->HasRemoteVersion());
    // Each failure reached the window; a failed request reports itself
    // twice, once per error text.
    EXPECT_TRUE(
        g_loop.PumpUntil([&] { return LogCapture::Count(2, "check update version failed") == 2 * 4; }, kWaitMs));

    // The service answers from now on: the next tenth tick learns the
    // version, and later ticks ask no more.
    makerservice::Control("/control/fault", "{\"path\": \"/version/Vantorin\", \"fault\": \"none\"}");
    makerservice::Control("/control/version",
                          "{\"app\": \"Vantorin\", \"latest-version\": \"1.4.5\", \"minimum-required\": \"1.0.0\"}");
    EXPECT_EQ(std::vector<int>{40}, TicksThatChecked(30));
    EXPECT_TRUE(checker_->HasRemoteVersion());
    // The answered check reported the version and then "up to date".
    EXPECT_TRUE(g_loop.PumpUntil([&] { return LogCapture::Count(1, "update msg: 3, ") == 1; }, kWaitMs));
    EXPECT_EQ(1, LogCapture::Count(1, "update msg: 1, 1.4.5"));
}

// A REST row whose result messages were all lost is marked done by the
// sweep of the next even tick once every piece is back, not while one is
// still out and not on an odd tick; a recognising row without pieces is
// left alone.
TEST_F(MainWindowTimerTest, SweepMarksARowDoneOnlyWhenAllItsPiecesAreBack)
{
    CData::GetInstance()->SetRecgType(1);
    CreateWithCountedTicks();
    const int waiting = AddRow(MakeUnreadableSource("no_pieces.mp3"));
    ASSERT_TRUE(list_->SetItemRecognizing(waiting));
    const std::string source = MakeUnreadableSource("lost_results.mp3");
    const int row = AddRow(source);
    g_loop.SetDropFilter(IsPieceResult);

    // An idle first tick, so the last piece's last start falls on an even
    // tick: its sweep then runs while that piece is still out.
    Tick();
    ASSERT_TRUE(player_.GetAudioConvert()->AddTask(source, 2 * CAudioConvert::kRestPieceSeconds, source));
    ASSERT_TRUE(list_->SetItemRecognizing(row));
    CAudioConvert* convert = player_.GetAudioConvert();
    const auto idle = [&] { return g_loop.PumpUntil([&] { return convert->GetRunning() == 0; }, kWaitMs); };

    // Every start of a piece fails; each tick starts the first waiting one.
    ASSERT_TRUE(idle());
    while (convert->GetFilePieces(source).size() < 2) {
        ASSERT_LT(ticks_, 40) << "the pieces never came back";
        Tick();
        if (ticks_ % 2 == 0) {
            EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row)) << "tick " << ticks_;
            EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(waiting)) << "tick " << ticks_;
        }
        ASSERT_TRUE(idle());
    }
    ASSERT_EQ(0, ticks_ % 2) << "the last start was expected on an even tick, the next tick odd";
    EXPECT_EQ(L"0%", Cell(row, 3));

    Tick();
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row)) << "an odd tick swept";
    Tick();
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_EQ(L"100%", Cell(row, 3));
    EXPECT_EQ(L"重新识别", Cell(row, 5));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(waiting));
    EXPECT_EQ(L"0%", Cell(waiting, 3));
}

// A REST piece that comes back with the poor-audio error on a file that was
// not prepared sends the file through preparation with denoise and through
// recognition again, without a box and with the row recognising meanwhile;
// the same error on the prepared copy is not run again.
TEST_F(MainWindowTimerTest, PoorAudioRunsTheFileAgainOnceFromADenoisedCopy)
{
    struct Case {
        int injected;
        int code;
    };
    const Case cases[] = {{1, 0}, {2, 3301}};
    const std::string expected = ReadWholeFile(GetExeDir() + "\\app_speech20.txt");
    ASSERT_FALSE(expected.empty()) << "the generated recording's text is missing";
    CData::GetInstance()->SetRecgType(1);
    CData::GetInstance()->AddKey({{speechservice::kApiKey, speechservice::kSecretKey}});
    Create();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.injected);
        const std::string source =
            GetAppDataDir() + "\\main_window_timer_test\\poor_audio_" + std::to_string(c.injected) + ".wav";
        CreateDirectoryA((GetAppDataDir() + "\\main_window_timer_test").c_str(), nullptr);
        ASSERT_TRUE(CopyFileA((GetExeDir() + "\\app_speech20.wav").c_str(), source.c_str(), FALSE));
        speechservice::Control("/control/reset", std::string());
        speechservice::Control("/control/fail?kind=error&err_no=3301&count=" + std::to_string(c.injected),
                               std::string());
        const int row = AddRow(source);
        ASSERT_TRUE(player_.StartItem(row));

        const auto recognizeRequests = [] {
            return speechservice::Control("/control/stats")["recognize_requests"].asInt();
        };
        bool doneEarly = false;
        ASSERT_TRUE(g_loop.PumpUntil(
            [&] {
                doneEarly = doneEarly ||
                            (recognizeRequests() < 2 && list_->GetItemStatus(row) != CPlayListCtrl::kStatusRecognizing);
                return list_->GetItemStatus(row) == CPlayListCtrl::kStatusDone;
            },
            180000));
        EXPECT_FALSE(doneEarly) << "the row left recognising before the second run";
        EXPECT_EQ(2, recognizeRequests());
        EXPECT_EQ(L"100%", Cell(row, 3));
        EXPECT_EQ(0, CountWindows(L"CMessageWnd"));
        const std::vector<AudioPiece*> pieces = player_.GetAudioConvert()->GetFilePieces(source);
        ASSERT_EQ(1u, pieces.size());
        EXPECT_TRUE(pieces[0]->prepared);
        EXPECT_EQ(c.code, pieces[0]->code.load());
        if (c.code == 0) {
            EXPECT_EQ(Utf8ToWide(expected), player_.GetFileText(AnsiToWide(source)));
        }
    }
}

// The update checker's messages are logged with their state and text; a
// state that needs nothing more leaves the window running.
TEST_F(MainWindowTimerTest, UpdateMessagesAreLoggedWithTheirText)
{
    CreateWithCountedTicks();
    ASSERT_TRUE(g_loop.PumpUntil([&] { return !checker_->IsChecking(); }, kWaitMs));
    struct Case {
        WPARAM state;
        const char* text;  // null: no message object
        const char* logged;
        const char* warning;
    };
    const Case cases[] = {
        {2, "", "update msg: 2, ", "check update version failed"},
        {3, nullptr, "update msg: 3, ", nullptr},
        {1, "1.4.5", "update msg: 1, 1.4.5", nullptr},
        {0, nullptr, "update msg: 0, ", nullptr},
        {4, "C:\\some folder", "update msg: 4, C:\\some folder", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        const LogCapture log;
        UpdateMsg* message = c.text != nullptr ? new UpdateMsg{L"cannot get remote version", c.text} : nullptr;
        ASSERT_TRUE(PostMessageW(player_.GetHwnd(), WM_UPDATE_NOTIFY, c.state, reinterpret_cast<LPARAM>(message)));
        EXPECT_TRUE(g_loop.PumpUntil([&] { return LogCapture::Count(1, c.logged) == 1; }, kWaitMs));
        if (c.warning != nullptr) {
            EXPECT_EQ(1, LogCapture::Count(2, c.warning));
        }
        EXPECT_EQ(0, LogCapture::Count(1, "find must update version. start update"));
    }
    EXPECT_TRUE(IsWindow(player_.GetHwnd()));
    EXPECT_FALSE(CData::GetInstance()->IsExiting());
}

// "btnAbout" pressed twice shows one About window, brought to the top by
// the second press; once it is closed the next press shows it again, at the
// skin's size each time, and the program still closes cleanly after that.
TEST_F(MainWindowTimerTest, AboutPressedTwiceShowsOneWindowAndShowsItAgainAfterClosing)
{
    CreateWithCountedTicks();
    const auto sizeOf = [](HWND window) {
        RECT frame = {};
        GetWindowRect(window, &frame);
        return std::make_pair(static_cast<int>(frame.right - frame.left), static_cast<int>(frame.bottom - frame.top));
    };
    for (int shown = 1; shown <= 3; ++shown) {
        SCOPED_TRACE(shown);
        Click(L"btnAbout");
        HWND about = nullptr;
        ASSERT_TRUE(
            g_loop.PumpUntil([&] { return (about = FindWindowW(L"CAboutAppDlg", nullptr)) != nullptr; }, kWaitMs))
            << "the About window did not come";
        EXPECT_EQ(std::make_pair(520, 360), sizeOf(about)) << "the size of \"AboutAppDlg.xml\"";
        SetForegroundWindow(player_.GetHwnd());
        g_loop.Pump(50);
        ASSERT_NE(about, GetForegroundWindow());

        Click(L"btnAbout");
        EXPECT_TRUE(g_loop.PumpUntil([&] { return GetForegroundWindow() == about; }, kWaitMs));
        g_loop.Pump(200);
        EXPECT_EQ(1, CountWindows(L"CAboutAppDlg"));
        EXPECT_TRUE(IsWindow(about));

        // Closed as the user closes it; the object stays for the next press.
        PostMessageW(about, WM_CLOSE, 0, 0);
        ASSERT_TRUE(g_loop.PumpUntil([&] { return !IsWindow(about); }, kWaitMs));
    }
    // Closing deletes the About object; the loop must not meet it again.
    const HWND window = player_.GetHwnd();
    player_.Close();
    EXPECT_TRUE(g_loop.PumpUntil([&] { return !IsWindow(window); }, kWaitMs));
    g_loop.Pump(200);
}

// A language notice closes itself after its four seconds.
TEST_F(MainWindowTimerTest, LanguageNoticeClosesItselfAfterFourSeconds)
{
    CreateWithCountedTicks();
    const DWORD start = GetTickCount();
    Click(L"optType4");
    ASSERT_TRUE(g_loop.PumpUntil([] { return CountWindows(L"CMessageWnd") == 1; }, kWaitMs));
    EXPECT_EQ(4, CData::GetInstance()->GetLanguage());
    ASSERT_TRUE(g_loop.PumpUntil([] { return CountWindows(L"CMessageWnd") == 0; }, 10000));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 3500u);
    EXPECT_LE(elapsed, 7000u);
    CData::GetInstance()->SetLanguage(1);
}

// A required update reported by the checker closes the program and starts
// the updater once the window is gone. Last: it leaves a version known to
// the process's one checker.
TEST_F(MainWindowTimerTest, RequiredUpdateClosesTheWindowAndStartsTheUpdater)
{
    // Installed 1.4.5 with a file the service no longer lists; 9.9.9 is the
    // oldest version allowed.
    const LocalManifest manifest("{\"version\": \"1.4.5\", \"files\": [{\"path\": \"gone.dll\", \"size\": 1, "
                                 "\"digest\": \"0000000000000000000000000000000000000000\"}]}");
    makerservice::Control("/control/fault", "{\"path\": \"/version/Vantorin\", \"fault\": \"none\"}");
    makerservice::Control("/control/version",
                          "{\"app\": \"Vantorin\", \"latest-version\": \"9.9.9\", \"minimum-required\": \"9.9.9\"}");
    const std::string started = GetExeDir() + "\\AutoUpdate.started.txt";
    DeleteFileA(started.c_str());
    const LogCapture log;
    const int quitsBefore = g_loop.QuitMessages();

    // The window's set-up starts the check, whose answer closes the program.
    Create();
    const HWND window = player_.GetHwnd();
    ASSERT_TRUE(g_loop.PumpUntil([&] { return !IsWindow(window); }, kWaitMs)) << "the window stayed";
    EXPECT_EQ(1, LogCapture::Count(1, "find must update version. start update"));
    EXPECT_EQ(1, LogCapture::Count(1, "update msg: 4, "));
    EXPECT_EQ(1, LogCapture::Count(1, "app exit"));
    g_loop.Pump(50);
    EXPECT_EQ(quitsBefore + 1, g_loop.QuitMessages());
    EXPECT_TRUE(
        g_loop.PumpUntil([&] { return GetFileAttributesA(started.c_str()) != INVALID_FILE_ATTRIBUTES; }, kWaitMs))
        << "the updater was not started";
    DeleteFileA(started.c_str());
}

}  // namespace
