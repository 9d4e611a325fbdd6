// The built program, started as a user starts it, with its settings pointed
// at the local stand-ins: its packed skins, a recording added through its
// own file dialog and recognised, the results saved through its folder
// browser, its closing through its close button, and a second start while
// it runs. The program folder can be given ("--program-dir=PATH" or the
// environment variable VANTORIN_PROGRAM_DIR), so a program unpacked from a
// release archive can be run the same way.
#include "Win32Prelude.h"
#include "MakerServiceControl.h"
#include "SpeechServiceControl.h"

#include "real_program_support.h"
#include "settings_support.h"

#include "AppPaths.h"
#include "ButtonUI.h"
#include "ComboUI.h"
#include "LabelUI.h"
#include "OptionUI.h"
#include "PlayListCtrl.h"
#include "RichEditUI.h"
#include "StringUtils.h"
#include "TestFiles.h"
#include "TestZip.h"
#include "TextUI.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace RealProgram;
using namespace UiLib;

namespace {

constexpr DWORD kStartMs = 90000;
constexpr DWORD kExitMs = 60000;
constexpr DWORD kDialogMs = 60000;
constexpr DWORD kRecognitionMs = 180000;

// Written by make_speech.py before this test runs: 70 s, so the REST
// engine cuts it into two pieces.
constexpr char kRecordingName[] = "app_speech70.wav";
constexpr char kRecordingTextName[] = "app_speech70.txt";
constexpr int kRecordingPieces = 2;
// The name the user's file has: a space and Chinese characters, as users'
// names do.
constexpr wchar_t kUserFileStem[] = L"会议 录音";

constexpr char kStartLine[] = "WinMain:\t\tstart app v1.4.5\r\n";
// "日志开始" in GBK: the logger's start banner.
constexpr char kStartBanner[] = "\xC8\xD5\xD6\xBE\xBF\xAA\xCA\xBC";

// Not testfiles::WriteBytes, which shares the file with nobody: this test's
// own logger holds the program's log open while the test writes it.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// What the log gained since the watch began; a log that was started afresh
// at a program's start is read from its beginning.
class LogWatch {
public:
    LogWatch() : path_(AnsiToWide(GetAppDataDir() + "\\Vantorin.log")), start_(testfiles::ReadBytes(path_).size()) {}

    std::string NewText() const
    {
        const std::string text = testfiles::ReadBytes(path_);
        return text.size() >= start_ ? text.substr(start_) : text;
    }

private:
    std::wstring path_;
    size_t start_;
};

std::wstring DumpFolder()
{
    return AnsiToWide(GetAppDataDir()) + L"\\crashDumps";
}

std::vector<std::wstring> DumpsIn(const std::wstring& folder)
{
    std::vector<std::wstring> dumps;
    WIN32_FIND_DATAW found = {};
    ScopedFindHandle find(FindFirstFileW((folder + L"\\*.dmp").c_str(), &found));
    if (!find)
        return dumps;
    do {
        dumps.push_back(found.cFileName);
    } while (FindNextFileW(find.get(), &found));
    return dumps;
}

// The settings that point the program at the stand-ins.
void PointAtTheStandIns(AppTest::ScopedSettings& settings)
{
    const std::string speech = speechservice::BaseUrl("localhost");
    const std::string maker = makerservice::BaseUrl();
    settings.Set(L"SpeechTokenUrl", AnsiToWide(speech + "/oauth/2.0/token"));
    settings.Set(L"SpeechRecognizeUrl", AnsiToWide(speech + "/server_api"));
    settings.Set(L"SpeechCaFile", AnsiToWide(speechservice::CertificatePath()));
    settings.Set(L"UpdateUrl", AnsiToWide(maker));
    settings.Set(L"UploadLogUrl", AnsiToWide(maker + "/upload"));
    settings.Set(L"UserServiceUrl", AnsiToWide(maker));
    // Mode two: the REST engine.
    settings.Set(L"RecgType", L"1");
}

// A plain window of the test's own, brought to the front.
class ForegroundWindow {
public:
    ForegroundWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"real_program_test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr))
    {
        SetForegroundWindow(window_);
    }
    ~ForegroundWindow() { DestroyWindow(window_); }
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;

    HWND Handle() const { return window_; }

private:
    HWND window_;
};

class RealProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_WIN32); }
    static void TearDownTestSuite() { curl_global_cleanup(); }

    void SetUp() override
    {
        folder_ = ProgramFolder();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder_ + L"\\Vantorin.exe").c_str()))
            << "no Vantorin.exe in " << WideToUtf8(folder_);
        ASSERT_FALSE(speechservice::BaseUrl().empty()) << "speech stand-in not running";
        ASSERT_FALSE(makerservice::BaseUrl().empty()) << "maker stand-in not running";

        speechservice::Control("/control/reset", std::string());
        makerservice::Control("/control/reset", "");
        // The user service hands out the pair the speech stand-in accepts.
        makerservice::Control("/control/keys", "{\"keys\": [{\"apikey\": \"VtRestDefaultApiKey24chr\", "
                                               "\"secretkey\": \"VtRestDefaultSecretKey32chars000\"}]}");
        // No version is known, so no update is ever due while the program runs.
        makerservice::Control("/control/fault", "{\"path\": \"/version/Vantorin\", \"fault\": \"404\"}");
        settings_.reset(new AppTest::ScopedSettings());
        PointAtTheStandIns(*settings_);

        // The program makes its dump folder at start: it must not be there yet.
        for (const std::wstring& dump : DumpsIn(DumpFolder()))
            DeleteFileW((DumpFolder() + L"\\" + dump).c_str());
        RemoveDirectoryW(DumpFolder().c_str());
    }

    void TearDown() override
    {
        settings_.reset();
        makerservice::Control("/control/fault", "{\"path\": \"/version/Vantorin\", \"fault\": \"none\"}");
    }

    // Waits for the main window and its one start line in the log.
    HWND StartProgram(ProgramProcess& program, const LogWatch& log)
    {
        EXPECT_TRUE(program.Start(folder_)) << "error " << GetLastError();
        const HWND window = program.WaitForMainWindow(kStartMs);
        DWORD code = 0;
        if (window == nullptr && program.WaitForExit(0, &code))
            ADD_FAILURE() << "the program ended at start with " << code;
        EXPECT_TRUE(WaitFor([&] { return CountOf(log.NewText(), kStartLine) == 1; }, kStartMs)) << log.NewText();
        return window;
    }

    // The control of the packed main skin, laid out at the window's size.
    RECT BoundsOf(const wchar_t* name)
    {
        CControlUI* control = mainSkin_.Find(name);
        EXPECT_NE(nullptr, control) << WideToUtf8(name);
        return control != nullptr ? control->GetBounds() : RECT{};
    }

    void Click(HWND window, const wchar_t* name) { ClickAt(window, CentreOf(BoundsOf(name))); }

    void LayOutMainSkin(HWND window)
    {
        RECT client = {};
        GetClientRect(window, &client);
        ASSERT_TRUE(mainSkin_.LoadFrom(folder_ + L"\\Vantorin.exe"));
        ASSERT_TRUE(mainSkin_.Build(L"RtmpPlayer.xml", SIZE{client.right, client.bottom}));
    }

    // Closes through the close button: the run ends with exit code 0.
    void CloseThroughItsButton(ProgramProcess& program, HWND window)
    {
        Click(window, L"btnClose");
        DWORD code = 1;
        ASSERT_TRUE(program.WaitForExit(kExitMs, &code)) << "the program did not end after its close button";
        EXPECT_EQ(0u, code);
    }

    std::wstring folder_;
    std::unique_ptr<AppTest::ScopedSettings> settings_;
    PackedSkinLayout mainSkin_;
};

// The skins packed into the executable hold every control the program and
// its boxes bind, each of the class they bind it as.
TEST_F(RealProgramTest, PackedSkinsHoldEveryBoundControl)
{
    PackedSkinLayout skins;
    ASSERT_TRUE(skins.LoadFrom(folder_ + L"\\Vantorin.exe"));
    struct Expected {
        const wchar_t* name;
        bool (*isRightClass)(CControlUI*);
    };
    const auto button = [](CControlUI* c) { return dynamic_cast<CButtonUI*>(c) != nullptr; };
    const auto option = [](CControlUI* c) { return dynamic_cast<COptionUI*>(c) != nullptr; };
    const auto label = [](CControlUI* c) { return dynamic_cast<CLabelUI*>(c) != nullptr; };
    struct Skin {
        const wchar_t* markup;
        std::vector<Expected> controls;
    };
    const Skin skinsToCheck[] = {
        {L"RtmpPlayer.xml",
         {{L"btnMin", button},
          {L"btnMax", button},
          {L"btnClose", button},
          {L"btnAbout", button},
          {L"cmbRecgType", [](CControlUI* c) { return dynamic_cast<CComboUI*>(c) != nullptr; }},
          {L"optType1", option},
          {L"optType2", option},
          {L"optType3", option},
          {L"optType4", option},
          {L"optOptimize", option},
          {L"optRnnoise", option},
          {L"optVolGain", option},
          {L"btnAdd", button},
          {L"btnStart", button},
          {L"btnStartAll", button},
          {L"btnSave", button},
          {L"playList", [](CControlUI* c) { return dynamic_cast<CPlayListCtrl*>(c) != nullptr; }},
          {L"edtText", [](CControlUI* c) { return dynamic_cast<CRichEditUI*>(c) != nullptr; }}}},
        {L"MessageWnd.xml",
         {{L"TitleTxtLab", label},
          {L"btnClose", button},
          {L"MainIconLab", label},
          {L"MainTxtLab", [](CControlUI* c) { return dynamic_cast<CTextUI*>(c) != nullptr; }},
          {L"btnOK", button},
          {L"btnCancel", button}}},
        {L"AboutAppDlg.xml",
         {{L"btnClose", button},
          {L"btnOK", button},
          {L"btnAppUrl", button},
          {L"labVersion", label},
          {L"labVerInfo", label},
          {L"btnTelHelp", button}}},
    };
    for (const Skin& skin : skinsToCheck) {
        SCOPED_TRACE(WideToUtf8(skin.markup));
        ASSERT_TRUE(skins.Build(skin.markup, SIZE{860, 600}));
        for (const Expected& expected : skin.controls) {
            CControlUI* control = skins.Find(expected.name);
            EXPECT_NE(nullptr, control) << WideToUtf8(expected.name);
            EXPECT_TRUE(control == nullptr || expected.isRightClass(control)) << WideToUtf8(expected.name);
        }
    }
}

// A whole run: started, a recording added and recognised through the REST
// stand-in, its text saved, closed through its button.
TEST_F(RealProgramTest, RecognisesARecordingAndSavesItsText)
{
    const std::string expected = testfiles::ReadBytes(AnsiToWide(GetExeDir() + "\\" + kRecordingTextName));
    ASSERT_FALSE(expected.empty()) << "the generated recording's text is missing";
    const std::wstring work = AnsiToWide(GetAppDataDir()) + L"\\real_program_test";
    const std::wstring results = work + L"\\results";
    CreateDirectoryW(work.c_str(), nullptr);
    CreateDirectoryW(results.c_str(), nullptr);
    const std::wstring recording = work + L"\\" + kUserFileStem + L".wav";
    const std::wstring resultsFile = results + L"\\" + kUserFileStem + L".txt";
    ASSERT_TRUE(CopyFileW(AnsiToWide(GetExeDir() + "\\" + kRecordingName).c_str(), recording.c_str(), FALSE));
    DeleteFileW(resultsFile.c_str());

    const LogWatch log;
    ProgramProcess program;
    const HWND window = StartProgram(program, log);
    ASSERT_NE(nullptr, window);
    RECT frame = {};
    GetWindowRect(window, &frame);
    EXPECT_EQ(860, frame.right - frame.left);
    EXPECT_EQ(600, frame.bottom - frame.top);
    // Made at 0,0, then centred in its monitor's work area.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& area = monitor.rcWork;
    ASSERT_GE(area.right - area.left, 860) << "the screen is too small to tell a centred window";
    ASSERT_GE(area.bottom - area.top, 600) << "the screen is too small to tell a centred window";
    EXPECT_EQ((area.left + area.right) / 2 - 430, frame.left);
    EXPECT_EQ((area.top + area.bottom) / 2 - 300, frame.top);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(DumpFolder().c_str())) << "no crash-dump folder";
    LayOutMainSkin(window);

    // "添加音视频" opens the program's file dialog.
    Click(window, L"btnAdd");
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = FindDialog(program.Id(), false)) != nullptr; }, kDialogMs));
    wchar_t caption[64] = {};
    GetWindowTextW(dialog, caption, 64);
    EXPECT_STREQ(L"选择文件", caption);
    ASSERT_TRUE(AnswerFileDialog(dialog, recording, kDialogMs));

    // The user service's key pair has reached the program (else the pieces
    // would go out with the built-in pair, which the stand-in refuses).
    ASSERT_TRUE(WaitFor([&] { return log.NewText().find("get key size: 1") != std::string::npos; }, kStartMs))
        << "the key list never reached the program; the user service saw "
        << CountOf(makerservice::Control("/control/requests").toStyledString(), "\"/user/keys\"") << " request(s)\n"
        << log.NewText();

    // "开始识别" starts the row; both pieces reach the stand-in and come back
    // recognised.
    Click(window, L"btnStart");
    const auto recognised = [] {
        int successes = 0;
        const Json::Value stats = speechservice::Control("/control/stats");
        for (const Json::Value& request : stats["requests"]) {
            if (request["endpoint"].asString() == "recognize" && request["err_no"].isInt() &&
                request["err_no"].asInt() == 0)
                ++successes;
        }
        return successes;
    };
    ASSERT_TRUE(WaitFor([&] { return recognised() >= kRecordingPieces; }, kRecognitionMs))
        << "recognised pieces: " << recognised() << "\n"
        << log.NewText();

    // "保存结果" asks for a folder once the row is done; until the program has
    // taken in the last piece it answers with its "nothing to save" box.
    HWND browser = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (HWND box : WindowsOf(program.Id(), L"CMessageWnd"))
                PostMessageW(box, WM_CLOSE, 0, 0);
            Click(window, L"btnSave");
            WaitFor(
                [&] {
                    browser = FindDialog(program.Id(), true);
                    return browser != nullptr || !WindowsOf(program.Id(), L"CMessageWnd").empty();
                },
                kDialogMs);
            return browser != nullptr;
        },
        kDialogMs));
    ASSERT_TRUE(AnswerFolderBrowser(program, browser, results, kDialogMs));

    // One file, named after the recording, holding its words in the system
    // code page.
    const std::string expectedSaved = WideToAnsi(Utf8ToWide(expected));
    EXPECT_TRUE(WaitFor([&] { return testfiles::ReadBytes(resultsFile) == expectedSaved; }, kDialogMs))
        << "saved: " << WideToUtf8(AnsiToWide(testfiles::ReadBytes(resultsFile))) << "\nexpected: " << expected;
    // The box that reports the count.
    EXPECT_TRUE(WaitFor([&] { return !WindowsOf(program.Id(), L"CMessageWnd").empty(); }, kDialogMs));

    CloseThroughItsButton(program, window);
    const std::string text = log.NewText();
    const size_t mainClose = text.find("main close");
    EXPECT_NE(std::string::npos, mainClose) << text;
    EXPECT_NE(std::string::npos, text.find("app exit", mainClose)) << text;
    EXPECT_TRUE(DumpsIn(DumpFolder()).empty());
    EXPECT_TRUE(ListFiles(GetTempDir(), 10).empty()) << "the Temp folder was not emptied";
}

// The Temp archives that hold an entry of that name.
std::vector<std::string> ArchivesHolding(const std::string& entryName)
{
    std::vector<std::string> archives;
    for (const std::string& file : ListFiles(GetTempDir(), 100)) {
        for (const auto& entry : testfiles::ZipEntries(AnsiToWide(file))) {
            if (entry.first == entryName)
                archives.push_back(file);
        }
    }
    return archives;
}

// A start after a crash: the dumps are packed with the previous run's log as
// it was, before this run's logger opens the log (a log over 1 MiB, which the
// logger starts afresh, goes whole), and are posted once the program runs. A
// second start takes the same decision before it finds the first running.
TEST_F(RealProgramTest, StartAfterACrashSendsTheDumpsWithTheWholeOldLog)
{
    settings_->Set(L"UploadLogTime", L"0");
    const std::wstring logPath = AnsiToWide(GetAppDataDir() + "\\Vantorin.log");
    const std::string crashedRunLine = "the crashed run's line\r\n";
    std::string oldLog;
    while (oldLog.size() <= 0x100000)
        oldLog += crashedRunLine;
    ASSERT_TRUE(WriteWholeFile(logPath, oldLog));
    CreateDirectoryW(DumpFolder().c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(DumpFolder() + L"\\20261209230000.dmp", "MDMP first crash"));
    // No archive of an earlier run may be taken for one of these starts.
    ClearTempDir();

    const LogWatch log;
    ProgramProcess program;
    const HWND window = StartProgram(program, log);
    ASSERT_NE(nullptr, window);
    LayOutMainSkin(window);

    Json::Value uploads;
    ASSERT_TRUE(WaitFor([&] { return (uploads = makerservice::Control("/control/uploads")).size() > 0; }, kStartMs))
        << "nothing was posted to the diagnostics service";
    ASSERT_EQ(1u, uploads.size());
    EXPECT_TRUE(WaitFor([&] { return DumpsIn(DumpFolder()).empty(); }, kStartMs)) << "the sent dump is still there";
    const auto entries = testfiles::ZipEntries(AnsiToWide(makerservice::Root() + "\\" + uploads[0]["file"].asString()));
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ("20261209230000.dmp", entries[0].first);
    EXPECT_EQ("MDMP first crash", entries[0].second);
    EXPECT_EQ("Vantorin.log", entries[1].first);
    EXPECT_TRUE(entries[1].second == oldLog)
        << "the archived log has " << entries[1].second.size() << " bytes, the old log had " << oldLog.size();
    EXPECT_EQ("config.ini", entries[2].first);
    // This run's log was started afresh after the packing.
    const std::string newLog = testfiles::ReadBytes(logPath);
    EXPECT_EQ(std::string::npos, newLog.find(crashedRunLine));
    EXPECT_EQ(0u, newLog.find(std::string(20, '*') + kStartBanner));

    // The second start ends at once, before it could send: its dump is packed
    // but stays for a later start.
    WriteConfigString(L"UploadLogTime", L"0");
    ASSERT_TRUE(WriteWholeFile(DumpFolder() + L"\\20261209231000.dmp", "MDMP second crash"));
    ProgramProcess second;
    ASSERT_TRUE(second.Start(folder_));
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(kStartMs, &code)) << "the second instance did not end";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, DumpsIn(DumpFolder()).size());
    EXPECT_EQ(1u, ArchivesHolding("20261209231000.dmp").size());
    DeleteFileW((DumpFolder() + L"\\20261209231000.dmp").c_str());

    CloseThroughItsButton(program, window);
}

// A second start while the program runs raises the first window, even a
// minimised one, and ends at once with 0 without logging a start.
TEST_F(RealProgramTest, SecondStartRaisesTheFirstAndEnds)
{
    const LogWatch log;
    ProgramProcess first;
    const HWND window = StartProgram(first, log);
    ASSERT_NE(nullptr, window);
    LayOutMainSkin(window);

    Click(window, L"btnMin");
    ASSERT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; }, kDialogMs));
    // Another program's window is in front when the second start comes.
    const ForegroundWindow other;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other.Handle(); }, kDialogMs));

    ProgramProcess second;
    ASSERT_TRUE(second.Start(folder_));
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(kStartMs, &code)) << "the second instance did not end";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(window) && GetForegroundWindow() == window; }, kDialogMs))
        << "iconic " << IsIconic(window) << ", foreground " << GetForegroundWindow();
    EXPECT_EQ(1u, CountOf(log.NewText(), kStartLine));
    EXPECT_TRUE(first.IsRunning());

    CloseThroughItsButton(first, window);
    EXPECT_TRUE(DumpsIn(DumpFolder()).empty());
}

}  // namespace
