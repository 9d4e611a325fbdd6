// The main window built from its real skin: its controls and stored options,
// the pipeline messages that reach it from the workers, the user-service
// command and the closing order.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "AppPaths.h"
#include "AudioPiece.h"
#include "ButtonUI.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "CTaskManager.h"
#include "ComboUI.h"
#include "CopyFailureBox.h"
#include "Logger.h"
#include "OptionUI.h"
#include "PlayListCtrl.h"
#include "RichEditUI.h"
#include "RtmpPlayer.h"
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TempCopy.h"
#include "TempWork.h"
#include "UpdateChecker.h"
#include "program_loop_support.h"
#include "skinned_window_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

// The library's traces go to the test's output, where a failure shows them.
void PrintTrace(const wchar_t* text)
{
    fwprintf(stderr, L"%ls\n", text);
}

// Reads the skin from the source folder instead of the program's resource.
class TestPlayer : public RtmpPlayer {
public:
    int GetSkinSource() override { return SkinFromFolder; }
    CUiString GetSkinDirectory() override { return AppTest::SourceSkinFolderFromInstance(); }
};

// The program's loop, whose quit count tells that the main window is gone.
AppTest::ProgramLoop g_loop;

using AppTest::CloseMessageBoxes;
using AppTest::OpenMessageBoxTexts;

// A source file that exists, so the scheduler can copy it into Temp.
std::string MakeSourceFile(const char* name)
{
    const std::string folder = GetAppDataDir() + "\\main_window_test";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    std::ofstream(path, std::ios::binary) << "not really audio";
    return path;
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Nothing here may wait for the maker's services.
        WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:9");
        WriteConfigString(L"UpdateUrl", L"http://127.0.0.1:9");
        CUiManager::SetInstance(GetModuleHandleW(nullptr), PrintTrace);
    }

    void SetUp() override
    {
        g_loop.SetDropFilter(nullptr);
        CData::GetInstance()->SetExiting(false);
        CData::GetInstance()->SetRnnoise(false);
        CData::GetInstance()->SetVolGain(false);
    }

    void TearDown() override
    {
        // A worker that outlives its manager would call back into it once
        // the next test clears the exiting flag: every worker ends first.
        CAudioConvert* convert = player_.GetAudioConvert();
        CTaskManager* tasks = player_.GetTaskManager();
        if (convert != nullptr && tasks != nullptr) {
            EXPECT_TRUE(
                g_loop.PumpUntil([&] { return convert->GetRunning() == 0 && tasks->GetRunning() == 0; }, 60000));
        }
        CloseMessageBoxes();
        if (player_.GetHwnd() != nullptr && IsWindow(player_.GetHwnd()))
            DestroyWindow(player_.GetHwnd());
        g_loop.Pump(20);
    }

    void Create()
    {
        ASSERT_NE(nullptr, player_.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600));
        g_loop.Pump(50);
        list_ = player_.GetPlayList();
        ASSERT_NE(nullptr, list_);
    }

    // The pipeline is driven by hand: no tick may start a piece on its own.
    void StopTimer() { player_.GetManager().KillControlTimers(player_.GetManager().FindControlByName(L"btnClose")); }

    int AddRow(const std::string& path)
    {
        list_->AddFile(AnsiToWide(path).c_str());
        const int row = list_->FindItem(path);
        EXPECT_GE(row, 0);
        return row;
    }

    std::wstring Progress(int row) { return list_->GetItemText(list_->GetItemAt(row), row, 3); }

    // One tick of the window's timer, as "btnClose" delivers it.
    void Tick()
    {
        UiNotify tick = {};
        tick.type = L"timer";
        tick.sender = player_.GetManager().FindControlByName(L"btnClose");
        player_.Notify(tick);
    }

    // A recognising row of two speech SDK pieces whose codes, texts and
    // progress the test sets. Handing the file over starts a real task on the
    // first piece, which fails here (nothing can be cut); it is waited for and
    // its messages and box are gone before the pieces are returned, all codes
    // 0 and no step done.
    std::vector<AudioPiece*> AddSdkPieces(const std::string& source, int row)
    {
        CAudioConvert* convert = player_.GetAudioConvert();
        EXPECT_TRUE(convert->AddTask(source, 2 * CAudioConvert::kSdkPieceSeconds, source));
        EXPECT_TRUE(list_->SetItemRecognizing(row));
        EXPECT_TRUE(g_loop.PumpUntil([&] { return convert->GetRunning() == 0; }, 60000));
        g_loop.Pump(50);
        CloseMessageBoxes();
        std::vector<AudioPiece*> pieces = convert->GetFilePieces(source);
        for (AudioPiece* piece : pieces) {
            piece->code = 0;
            piece->stepsDone = 0;
            piece->SetText(std::string());
        }
        return pieces;
    }

    TestPlayer player_;
    CPlayListCtrl* list_ = nullptr;
};

TEST_F(MainWindowTest, SkinHoldsEveryControlWithItsClass)
{
    Create();
    RedrawWindow(player_.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    CUiManager& manager = player_.GetManager();
    const wchar_t* const buttons[] = {L"btnMin", L"btnMax",   L"btnClose",    L"btnAbout",
                                      L"btnAdd", L"btnStart", L"btnStartAll", L"btnSave"};
    for (const wchar_t* name : buttons)
        EXPECT_NE(nullptr, dynamic_cast<CButtonUI*>(manager.FindControlByName(name))) << name;
    const wchar_t* const options[] = {L"optType1",    L"optType2",   L"optType3",  L"optType4",
                                      L"optOptimize", L"optRnnoise", L"optVolGain"};
    for (const wchar_t* name : options)
        EXPECT_NE(nullptr, dynamic_cast<COptionUI*>(manager.FindControlByName(name))) << name;
    EXPECT_NE(nullptr, dynamic_cast<CComboUI*>(manager.FindControlByName(L"cmbRecgType")));
    EXPECT_NE(nullptr, dynamic_cast<CRichEditUI*>(manager.FindControlByName(L"edtText")));

    // Mandarin is the language at start; the two dialects stay hidden.
    EXPECT_TRUE(static_cast<COptionUI*>(manager.FindControlByName(L"optType1"))->IsSelected());
    EXPECT_FALSE(manager.FindControlByName(L"optType2")->IsShown());
    EXPECT_FALSE(manager.FindControlByName(L"optType3")->IsShown());
    EXPECT_TRUE(manager.FindControlByName(L"optType4")->IsShown());

    EXPECT_STREQ(L"识别效果更好", manager.FindControlByName(L"optOptimize")->GetTooltip().GetData());
    EXPECT_STREQ(L"录音有噪音时使用", manager.FindControlByName(L"optRnnoise")->GetTooltip().GetData());
    EXPECT_STREQ(L"录音声音小时使用", manager.FindControlByName(L"optVolGain")->GetTooltip().GetData());
    EXPECT_TRUE(manager.FindControlByName(L"btnAbout")->GetTooltip().IsEmpty());

    // The header's columns come in the skin's order: the action cell is
    // column 5 for the row clicks and the painted cells alike.
    const wchar_t* const columns[] = {L"文件", L"时间", L"类型", L"进度", L"用时", L"操作", L""};
    CContainerUI* headerItems = list_->GetHeader();
    ASSERT_NE(nullptr, headerItems);
    EXPECT_EQ(24, headerItems->GetBoundsHeight());
    ASSERT_EQ(7, headerItems->GetCount());
    ASSERT_EQ(7, list_->GetListInfo()->columnCount);
    for (int c = 0; c < 7; ++c) {
        EXPECT_STREQ(columns[c], headerItems->GetItemAt(c)->GetText().GetData()) << c;
        EXPECT_EQ(headerItems->GetItemAt(c)->GetBounds().left, list_->GetListInfo()->columns[c].left) << c;
    }
    EXPECT_EQ(120, headerItems->GetItemAt(CPlayListCtrl::kActionColumn)->GetBoundsWidth());
    EXPECT_TRUE(IsWindowVisible(player_.GetHwnd()));
    RECT window;
    GetWindowRect(player_.GetHwnd(), &window);
    EXPECT_EQ(860, window.right - window.left);
    EXPECT_EQ(600, window.bottom - window.top);
}

TEST_F(MainWindowTest, StoredOptionsAreShownAndWrittenBack)
{
    struct Case {
        int recgType;
        bool optimize;
        const wchar_t* shown;
    };
    const Case cases[] = {{1, true, L"模式二"}, {0, false, L"模式一"}};
    for (const Case& c : cases) {
        CData::GetInstance()->SetRecgType(c.recgType);
        CData::GetInstance()->SetOptimize(c.optimize);
        TestPlayer player;
        ASSERT_NE(nullptr, player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600));
        g_loop.Pump(50);
        CComboUI* combo = static_cast<CComboUI*>(player.GetManager().FindControlByName(L"cmbRecgType"));
        COptionUI* optimize = static_cast<COptionUI*>(player.GetManager().FindControlByName(L"optOptimize"));
        ASSERT_EQ(2, combo->GetCount());
        EXPECT_EQ(c.recgType, combo->GetSelectedIndex());
        EXPECT_STREQ(c.shown, combo->GetText().GetData());
        EXPECT_EQ(c.optimize, optimize->IsSelected());

        // The user's change reaches the settings file.
        combo->SelectItem(1 - c.recgType, false);
        optimize->SetSelected(!c.optimize);
        g_loop.Pump(50);
        EXPECT_EQ(1 - c.recgType, ReadConfigInt(L"RecgType", -1)) << c.recgType;
        EXPECT_EQ(c.optimize ? 0 : 1, ReadConfigInt(L"Optimize", -1)) << c.recgType;
        DestroyWindow(player.GetHwnd());
        g_loop.Pump(20);
    }
}

TEST_F(MainWindowTest, MaximizeButtonSwitchesTheWindowAndItsImages)
{
    Create();
    CButtonUI* button = static_cast<CButtonUI*>(player_.GetManager().FindControlByName(L"btnMax"));
    UiNotify click = {};
    click.type = L"click";
    click.sender = button;

    player_.Notify(click);
    ASSERT_TRUE(g_loop.PumpUntil([&] { return IsZoomed(player_.GetHwnd()) != FALSE; }, 3000));
    EXPECT_STREQ(L"main/max_normal.png", button->GetNormalImage().GetData());
    EXPECT_STREQ(L"main/max_over.png", button->GetPushedImage().GetData());

    player_.Notify(click);
    ASSERT_TRUE(g_loop.PumpUntil([&] { return IsZoomed(player_.GetHwnd()) == FALSE; }, 3000));
    EXPECT_STREQ(L"main/restore_normal.png", button->GetNormalImage().GetData());
    EXPECT_STREQ(L"main/restore_over.png", button->GetHotImage().GetData());
    EXPECT_STREQ(L"main/restore_over.png", button->GetPushedImage().GetData());
}

TEST_F(MainWindowTest, LanguageClicksAndOptionsReachTheDataWithTheirNotices)
{
    Create();
    CUiManager& manager = player_.GetManager();
    struct Case {
        const wchar_t* option;
        int language;
        const wchar_t* notice;  // null: none
    };
    // Each click sets the language again, selected before or not, and shows
    // its notice again.
    const Case cases[] = {
        {L"optType4", 4, L"当前选择为英语，请确保音频为英语，否则无法识别!"},
        {L"optType4", 4, L"当前选择为英语，请确保音频为英语，否则无法识别!"},
        {L"optType2", 2, L"当前选择为四川话，请确保音频为四川话，否则无法识别!"},
        {L"optType3", 3, L"当前选择为粤语，请确保音频为粤语，否则无法识别!"},
        {L"optType1", 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToAnsi(c.option));
        UiNotify click = {};
        click.type = L"click";
        click.sender = manager.FindControlByName(c.option);
        player_.Notify(click);
        g_loop.Pump(20);
        EXPECT_EQ(c.language, CData::GetInstance()->GetLanguage());
        const std::vector<CMessageWnd*> boxes = AppTest::OpenMessageBoxes();
        if (c.notice == nullptr) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(1u, boxes.size());
        EXPECT_STREQ(c.notice, boxes[0]->GetText().GetData());
        EXPECT_STREQ(L"确定", boxes[0]->GetOkCaption().GetData());
        EXPECT_FALSE(boxes[0]->IsCancelShown());
        EXPECT_EQ(4, boxes[0]->GetAutoCloseSeconds());
        CloseMessageBoxes();
        g_loop.Pump(20);
    }

    // The audio options are only kept for the run; the louder volume warns
    // when it is chosen, and only then.
    COptionUI* denoise = static_cast<COptionUI*>(manager.FindControlByName(L"optRnnoise"));
    COptionUI* louder = static_cast<COptionUI*>(manager.FindControlByName(L"optVolGain"));
    denoise->SetSelected(true);
    g_loop.Pump(20);
    EXPECT_TRUE(CData::GetInstance()->GetRnnoise());
    EXPECT_TRUE(OpenMessageBoxTexts().empty());
    louder->SetSelected(true);
    g_loop.Pump(20);
    EXPECT_TRUE(CData::GetInstance()->GetVolGain());
    const std::vector<CMessageWnd*> boxes = AppTest::OpenMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ(L"仅音量小时使用，不然效果可能更差。", boxes[0]->GetText().GetData());
    EXPECT_FALSE(boxes[0]->IsCancelShown());
    EXPECT_EQ(0, boxes[0]->GetAutoCloseSeconds());
    CloseMessageBoxes();
    louder->SetSelected(false);
    denoise->SetSelected(false);
    g_loop.Pump(20);
    EXPECT_FALSE(CData::GetInstance()->GetVolGain());
    EXPECT_FALSE(CData::GetInstance()->GetRnnoise());
    EXPECT_TRUE(OpenMessageBoxTexts().empty());
}

TEST_F(MainWindowTest, StartButtonsAndActionCellStartOnlyWaitingOrDoneRows)
{
    CData::GetInstance()->SetRecgType(0);
    Create();
    StopTimer();
    const int done = AddRow(MakeSourceFile("one.mp3"));
    const int second = AddRow(MakeSourceFile("two.mp3"));
    const int third = AddRow(MakeSourceFile("three.mp3"));
    ASSERT_TRUE(list_->SetItemRecognizing(done));
    list_->UpdateItemStatus(done, 100, 100);

    UiNotify click = {};
    click.type = L"click";
    click.sender = player_.GetManager().FindControlByName(L"btnStart");
    player_.Notify(click);
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(done));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(second));
    EXPECT_EQ(CPlayListCtrl::kStatusNew, list_->GetItemStatus(third));

    click.sender = player_.GetManager().FindControlByName(L"btnStartAll");
    player_.Notify(click);
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(done));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(third));

    // A click on the action cell starts a done row again and leaves a
    // recognising one alone.
    const UiListInfo* info = list_->GetListInfo();
    const RECT& action = info->columns[CPlayListCtrl::kActionColumn];
    const int x = (action.left + action.right) / 2;
    const auto clickRow = [&](int row) {
        const RECT& bounds = list_->GetItemAt(row)->GetBounds();
        const LPARAM at = MAKELPARAM(x, (bounds.top + bounds.bottom) / 2);
        PostMessageW(player_.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(player_.GetHwnd(), WM_LBUTTONUP, 0, at);
        g_loop.Pump(50);
    };
    const std::string secondFile = WideToAnsi(list_->GetItemFile(second));
    const std::vector<AudioPiece*> piecesBefore = player_.GetAudioConvert()->GetFilePieces(secondFile);
    clickRow(second);
    EXPECT_EQ(piecesBefore, player_.GetAudioConvert()->GetFilePieces(secondFile));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(second));
    clickRow(done);
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(done));
    EXPECT_EQ(L"0%", Progress(done));
}

TEST_F(MainWindowTest, SdkProgressMovesTheRowAndItsEndReportsTheFailure)
{
    CData::GetInstance()->SetRecgType(0);
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("sdk.mp3");
    const int row = AddRow(source);
    std::vector<AudioPiece*> pieces = AddSdkPieces(source, row);
    ASSERT_EQ(2u, pieces.size());

    pieces[0]->stepsDone = pieces[0]->progressSteps.load();
    pieces[1]->stepsDone = 20;
    // A message without the piece's id (lParam 0) is taken as well.
    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(pieces[0]), 0);
    g_loop.Pump(50);
    EXPECT_EQ(L"60%", Progress(row));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row));
    EXPECT_TRUE(OpenMessageBoxTexts().empty());
    // The message selected the first row, as nothing was selected.
    EXPECT_EQ(0, list_->GetSelectedIndex());

    // A message whose id no longer matches names a piece that was replaced.
    pieces[1]->stepsDone = pieces[1]->progressSteps.load();
    pieces[1]->code = -90002;
    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(pieces[1]), pieces[1]->id + 77);
    g_loop.Pump(50);
    EXPECT_EQ(L"60%", Progress(row));

    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(pieces[1]), pieces[1]->id);
    g_loop.Pump(100);
    EXPECT_EQ(L"100%", Progress(row));
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_EQ(std::vector<std::wstring>{L"sdk.mp3，网络错误，若网络正常可重新识别!"}, OpenMessageBoxTexts());

    // Started again from its action cell: the earlier pieces are dropped, and
    // a message still queued for one of them changes nothing.
    AudioPiece* dropped = pieces[1];
    const LPARAM droppedId = dropped->id;
    ASSERT_TRUE(player_.StartItem(row));
    EXPECT_EQ(L"0%", Progress(row));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row));
    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(dropped), droppedId);
    g_loop.Pump(50);
    EXPECT_EQ(L"0%", Progress(row));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row));
}

TEST_F(MainWindowTest, SdkFailureBoxNamesTheFirstFailedPieceInWords)
{
    CData::GetInstance()->SetRecgType(0);
    Create();
    StopTimer();
    struct Case {
        int firstCode;
        int secondCode;
        const wchar_t* text;
    };
    // The first finished piece in piece order that failed decides the box.
    const Case cases[] = {
        {0, -11, L"sdk_end.mp3，部分识别失败(code=-11)，可切换到模式二后重新识别!"},
        {0, -90002, L"sdk_end.mp3，网络错误，若网络正常可重新识别!"},
        {0, -1, L"sdk_end.mp3，部分识别失败(code=-1)，可切换到模式二后重新识别!"},
        {-11, -90002, L"sdk_end.mp3，部分识别失败(code=-11)，可切换到模式二后重新识别!"},
        {-90002, -11, L"sdk_end.mp3，网络错误，若网络正常可重新识别!"},
        {20001, 0, L"sdk_end.mp3，部分识别失败(code=20001)，可切换到模式二后重新识别!"},
    };
    const std::string source = MakeSourceFile("sdk_end.mp3");
    const int row = AddRow(source);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.secondCode);
        player_.GetAudioConvert()->RemoveFile(source);
        std::vector<AudioPiece*> pieces = AddSdkPieces(source, row);
        ASSERT_EQ(2u, pieces.size());
        pieces[0]->code = c.firstCode;
        pieces[1]->code = c.secondCode;
        for (AudioPiece* piece : pieces)
            piece->stepsDone = piece->progressSteps.load();
        PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(pieces[1]), pieces[1]->id);
        g_loop.Pump(100);
        EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
        EXPECT_EQ(std::vector<std::wstring>{c.text}, OpenMessageBoxTexts());
        CloseMessageBoxes();
    }
    // No failed piece: no box.
    player_.GetAudioConvert()->RemoveFile(source);
    std::vector<AudioPiece*> pieces = AddSdkPieces(source, row);
    ASSERT_EQ(2u, pieces.size());
    for (AudioPiece* piece : pieces)
        piece->stepsDone = piece->progressSteps.load();
    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(pieces[0]), pieces[0]->id);
    g_loop.Pump(100);
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_TRUE(OpenMessageBoxTexts().empty());
}

TEST_F(MainWindowTest, RestPieceThatFailsForGoodEndsTheRowWithABox)
{
    CData::GetInstance()->SetRecgType(1);
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("rest.mp3");
    const int row = AddRow(source);
    ASSERT_TRUE(player_.GetAudioConvert()->AddTask(source, CAudioConvert::kRestPieceSeconds, source));
    ASSERT_TRUE(list_->SetItemRecognizing(row));
    // ffmpeg.exe cannot cut the file: the piece fails at every start, and its
    // last failure comes back as a result message.
    ASSERT_TRUE(g_loop.PumpUntil(
        [&] {
            player_.GetAudioConvert()->OnTimer();
            return list_->GetItemStatus(row) == CPlayListCtrl::kStatusDone;
        },
        60000));
    EXPECT_EQ(L"100%", Progress(row));
    const std::vector<AudioPiece*> pieces = player_.GetAudioConvert()->GetFilePieces(source);
    ASSERT_EQ(1u, pieces.size());
    ASSERT_NE(0, pieces[0]->code.load());
    EXPECT_EQ(std::vector<std::wstring>{L"rest.mp3，部分识别失败(code=" + std::to_wstring(pieces[0]->code.load()) +
                                        L")，可切换到模式一后重新识别!"},
              OpenMessageBoxTexts());
}

// REST pieces whose codes are, in piece order, 0, 500 and 3301 on a source
// that was not prepared, the 500 piece back before the 3301 one: no box while
// a piece is out, then one box naming 500 once all are back, and no re-run,
// since the scan stops at the first failure.
TEST_F(MainWindowTest, RestFailureIsToldWhenTheLastPieceIsBackAndTheFirstFailureDecides)
{
    CData::GetInstance()->SetRecgType(1);
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("rest_three.mp3");
    const int row = AddRow(source);
    CAudioConvert* convert = player_.GetAudioConvert();
    // Every start of every piece fails here; the pieces' own result messages
    // are lost, and the test posts its own for the codes it gives them.
    g_loop.SetDropFilter([](const MSG& msg) { return msg.message == WM_USER_AUDIO_RESULT; });
    ASSERT_TRUE(convert->AddTask(source, 3 * CAudioConvert::kRestPieceSeconds, source));
    ASSERT_TRUE(list_->SetItemRecognizing(row));
    ASSERT_TRUE(g_loop.PumpUntil(
        [&] {
            convert->OnTimer();
            return convert->GetRunning() == 0 && convert->GetFilePieces(source).size() == 3;
        },
        120000));
    g_loop.Pump(50);
    g_loop.SetDropFilter(nullptr);
    CloseMessageBoxes();
    const std::vector<AudioPiece*> pieces = convert->GetFilePieces(source);
    ASSERT_EQ(3u, pieces.size());
    const int codes[] = {0, 500, 3301};
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(pieces[i]->prepared);
        pieces[i]->code = codes[i];
    }
    // The 3301 piece has not come back yet.
    pieces[2]->SetMessageText(std::string());
    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_RESULT, reinterpret_cast<WPARAM>(pieces[1]), pieces[1]->id);
    g_loop.Pump(100);
    EXPECT_TRUE(OpenMessageBoxTexts().empty());
    EXPECT_EQ(L"66%", Progress(row));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row));

    pieces[2]->SetMessageText("poor audio");
    PostMessageW(player_.GetHwnd(), WM_USER_AUDIO_RESULT, reinterpret_cast<WPARAM>(pieces[2]), pieces[2]->id);
    g_loop.Pump(100);
    EXPECT_EQ(std::vector<std::wstring>{L"rest_three.mp3，部分识别失败(code=500)，可切换到模式一后重新识别!"},
              OpenMessageBoxTexts());
    EXPECT_EQ(L"100%", Progress(row));
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    // Not re-run: the pieces are still there and no preparation waits.
    EXPECT_EQ(pieces, convert->GetFilePieces(source));
    player_.GetTaskManager()->OnTimer();
    EXPECT_EQ(0, player_.GetTaskManager()->GetRunning());
}

// The sweep of the speech SDK engine counts the pieces whose steps are all
// done: a row whose last progress message was lost is marked done at the
// next even tick once every piece has finished, and not before.
TEST_F(MainWindowTest, SweepMarksASpeechSdkRowDoneWhenEveryPieceHasFinished)
{
    CData::GetInstance()->SetRecgType(0);
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("sdk_sweep.mp3");
    const int row = AddRow(source);
    std::vector<AudioPiece*> pieces = AddSdkPieces(source, row);
    ASSERT_EQ(2u, pieces.size());
    // From here the progress messages are lost.
    g_loop.SetDropFilter([](const MSG& msg) { return msg.message == WM_USER_AUDIO_PROGRESS; });
    // Tick 1 (odd) starts the second piece, which fails at once and so has
    // finished; the first has done no step.
    Tick();
    ASSERT_TRUE(g_loop.PumpUntil([&] { return player_.GetAudioConvert()->GetRunning() == 0; }, 60000));
    ASSERT_EQ(pieces[1]->progressSteps.load(), pieces[1]->stepsDone.load());
    Tick();
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row)) << "one piece is still out";
    pieces[0]->stepsDone = pieces[0]->progressSteps.load();
    Tick();
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row)) << "an odd tick swept";
    Tick();
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_EQ(L"100%", Progress(row));
    EXPECT_STREQ(L"重新识别", list_->GetItemText(list_->GetItemAt(row), row, 5));
    g_loop.SetDropFilter(nullptr);
    g_loop.Pump(50);
    CloseMessageBoxes();
}

// A disk that fails in the middle of a copy into Temp.
bool FailingCopyBlock(HANDLE, HANDLE, char*, DWORD, DWORD* copied)
{
    *copied = 0;
    SetLastError(ERROR_WRITE_FAULT);
    return false;
}

// A source whose copy into Temp fails once it was handed over: its pieces
// come back failed without a result message, so the sweep ends the row, and
// the user is told as when the copy fails at once.
TEST_F(MainWindowTest, RowWhoseCopyFailsLateEndsDoneThroughTheSweep)
{
    CData::GetInstance()->SetRecgType(1);
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("late_copy.mp3");
    const int row = AddRow(source);
    CAudioConvert* convert = player_.GetAudioConvert();
    SetCopyFailureNotice(&ShowCopyFailureNotice);
    SetCopyBlock(&FailingCopyBlock);
    ASSERT_TRUE(player_.StartItem(row));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row));
    const bool copied = g_loop.PumpUntil([&] { return !convert->IsCopying(); }, 60000);
    SetCopyBlock(nullptr);
    ASSERT_TRUE(copied);
    // A tick ends the pieces; the sweep runs on every second tick.
    for (int tick = 0; tick < 2 && list_->GetItemStatus(row) != CPlayListCtrl::kStatusDone; ++tick)
        Tick();
    SetCopyFailureNotice(nullptr);
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_EQ(L"100%", Progress(row));
    EXPECT_STREQ(L"重新识别", list_->GetItemText(list_->GetItemAt(row), row, 5));
    EXPECT_EQ(std::vector<std::wstring>{AnsiToWide(source) + L"，任务失败，请确保文件有效或未被打开!"},
              OpenMessageBoxTexts());
    EXPECT_EQ(0, convert->GetRunning());
}

TEST_F(MainWindowTest, FailedPreparationEndsTheRowWithABox)
{
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("b.mp3");
    const int row = AddRow(source);
    CData::GetInstance()->SetRnnoise(true);
    // The start queues a preparation; the row shows that it is under way.
    ASSERT_TRUE(player_.StartItem(row));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list_->GetItemStatus(row));
    player_.GetTaskManager()->OnTimer();
    // ffmpeg.exe cannot read the file: the worker's message ends the row.
    ASSERT_TRUE(g_loop.PumpUntil([&] { return list_->GetItemStatus(row) == CPlayListCtrl::kStatusDone; }, 60000));
    EXPECT_EQ(L"100%", Progress(row));
    // Converting the source is the first step, and it fails.
    EXPECT_EQ(std::vector<std::wstring>{L"b.mp3,任务失败(code=1),可重命名后，重新添加再识别!"}, OpenMessageBoxTexts());
}

// A file whose name code page 936 cannot hold reaches the pipeline with "?"
// in place of those letters, so nothing can open it: its row must still end,
// and every box must name the file as the list shows it.
TEST_F(MainWindowTest, UnencodableNameEndsItsRowUnderItsOwnName)
{
    Create();
    StopTimer();
    const std::wstring name = L"회의 녹음.wav";
    const std::wstring path = AnsiToWide(GetAppDataDir()) + L"\\main_window_test\\" + name;
    CreateDirectoryW((AnsiToWide(GetAppDataDir()) + L"\\main_window_test").c_str(), nullptr);
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    file.reset();
    list_->AddFile(path.c_str());
    const int row = list_->GetRecordCount() - 1;
    ASSERT_EQ(path, list_->GetItemFile(row));
    ASSERT_NE(std::string::npos, WideToAnsi(path).find('?'));
    ASSERT_EQ(-1, list_->FindItem(WideToAnsi(path)));

    CData::GetInstance()->SetRnnoise(true);
    ASSERT_TRUE(player_.StartItem(row));
    player_.GetTaskManager()->OnTimer();
    ASSERT_TRUE(g_loop.PumpUntil([&] { return list_->GetItemStatus(row) == CPlayListCtrl::kStatusDone; }, 30000))
        << "the row stayed recognising";
    EXPECT_EQ(L"100%", Progress(row));
    EXPECT_EQ(std::vector<std::wstring>{name + L",任务失败(code=1),可重命名后，重新添加再识别!"},
              OpenMessageBoxTexts());
    CloseMessageBoxes();

    // Done, it can be started again; without the options its copy fails,
    // and that box names it too.
    CData::GetInstance()->SetRnnoise(false);
    SetCopyFailureNotice(&ShowCopyFailureNotice);
    EXPECT_FALSE(player_.StartItem(row));
    SetCopyFailureNotice(nullptr);
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_EQ(std::vector<std::wstring>{path + L"，任务失败，请确保文件有效或未被打开!"}, OpenMessageBoxTexts());
}

// A file queued for preparation again before the window has read the end of
// its first run (two rows whose names become one path in the code page do
// this): the first worker is kept for the window, and freed once read.
TEST_F(MainWindowTest, EarlierPreparationIsFreedOnlyOnceTheWindowHasReadIt)
{
    Create();
    StopTimer();
    const std::string source = MakeSourceFile("twice.mp3");
    const int row = AddRow(source);
    CData::GetInstance()->SetRnnoise(true);
    ASSERT_TRUE(player_.StartItem(row));
    CTaskManager* tasks = player_.GetTaskManager();
    tasks->OnTimer();
    // Not pumped: the first end waits in the queue.
    for (int i = 0; i < 1200 && tasks->GetRunning() != 0; ++i)
        Sleep(50);
    ASSERT_EQ(0, tasks->GetRunning());
    tasks->AddTask(source, true, false);
    tasks->OnTimer();
    ASSERT_EQ(2, tasks->GetKeptWorkers()) << "the first worker went before the window read it";

    const std::wstring failure = L"twice.mp3,任务失败(code=1),可重命名后，重新添加再识别!";
    ASSERT_TRUE(g_loop.PumpUntil([&] { return tasks->GetRunning() == 0 && OpenMessageBoxTexts().size() == 2; }, 60000));
    EXPECT_EQ(std::vector<std::wstring>(2, failure), OpenMessageBoxTexts());
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(row));
    EXPECT_EQ(1, tasks->GetKeptWorkers()) << "the window's read did not let the first worker go";
}

// The pipeline's files in Temp: copies, prepared files and pieces.
std::vector<std::wstring> PipelineFilesInTemp()
{
    std::vector<std::wstring> files;
    const std::wstring folder = AnsiToWide(GetTempDir());
    WIN32_FIND_DATAW found = {};
    ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsPipelineWorkName(found.cFileName))
            files.push_back(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    return files;
}

// Two seconds of silence as a 16 kHz mono 16-bit WAV file.
std::string MakeSilentWav(const char* name)
{
    const std::string path = MakeSourceFile(name);
    const uint32_t dataBytes = 2 * 16000 * 2;
    std::string wav = "RIFF";
    const auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const auto put16 = [&](uint16_t v) {
        wav += static_cast<char>(v & 0xFF);
        wav += static_cast<char>(v >> 8);
    };
    put32(36 + dataBytes);
    wav += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(1);
    put32(16000);
    put32(32000);
    put16(2);
    put16(16);
    wav += "data";
    put32(dataBytes);
    wav.append(dataBytes, '\0');
    std::ofstream(path, std::ios::binary) << wav;
    return path;
}

// A file prepared and recognised leaves none of its files in Temp: the
// preparation's steps go when its result is in, the file cut and the pieces
// with the run.
TEST_F(MainWindowTest, PreparedRunLeavesNothingOfItsOwnInTemp)
{
    CData::GetInstance()->SetRecgType(0);
    Create();
    StopTimer();
    // The window was made on an emptied Temp, as far as the pipeline goes.
    ASSERT_TRUE(PipelineFilesInTemp().empty());
    const int row = AddRow(MakeSilentWav("prepared.wav"));
    CData::GetInstance()->SetRnnoise(true);
    ASSERT_TRUE(player_.StartItem(row));
    player_.GetTaskManager()->OnTimer();
    ASSERT_TRUE(g_loop.PumpUntil([&] { return list_->GetItemStatus(row) == CPlayListCtrl::kStatusDone; }, 60000));
    ASSERT_TRUE(g_loop.PumpUntil([&] { return player_.GetAudioConvert()->GetRunning() == 0; }, 60000));
    const std::vector<AudioPiece*> pieces =
        player_.GetAudioConvert()->GetFilePieces(WideToAnsi(list_->GetItemFile(row)));
    ASSERT_EQ(1u, pieces.size());
    EXPECT_TRUE(pieces[0]->prepared);
    EXPECT_EQ(0, pieces[0]->code.load()) << pieces[0]->GetMessageText();
    EXPECT_TRUE(OpenMessageBoxTexts().empty());
    EXPECT_EQ(std::vector<std::wstring>(), PipelineFilesInTemp());
}

// What a run ended by force left in Temp goes when the main window is made;
// the diagnostics upload's archive, made before, stays.
TEST_F(MainWindowTest, NewWindowClearsForcedEndLeftovers)
{
    const std::string temp = GetTempDir();
    const std::vector<std::string> leftovers = {"src99_0_lecture.mp4", "0.pcm", "3.wav", "12345out.wav", "12345.mp3"};
    const std::string archive = temp + "\\Vantorin20261210_120000Log.zip";
    for (const std::string& name : leftovers)
        std::ofstream(temp + "\\" + name, std::ios::binary) << "left by a run ended by force";
    std::ofstream(archive, std::ios::binary) << "the upload's archive";
    {
        TestPlayer next;
        for (const std::string& name : leftovers)
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(AnsiToWide(temp + "\\" + name).c_str())) << name;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(AnsiToWide(archive).c_str()));
        // Never shown: its pipeline objects are left to the process, as
        // Close would end the data object's client for the tests after.
    }
    DeleteFileW(AnsiToWide(archive).c_str());
}

TEST_F(MainWindowTest, KeyListFromTheClientReplacesTheKeys)
{
    Create();
    // The record is the client's own and goes back to it; it is made here the
    // way the client makes one.
    UserlibRecord* record = new UserlibRecord;
    record->items = new UserKeyItem[2];
    record->items[0] = {"api-one", "secret-one"};
    record->items[1] = {"api-two", "secret-two"};
    record->count = 2;
    record->message = "ok";
    PostMessageW(player_.GetHwnd(), WM_USER_COMMAND, USERLIB_CMD_KEY_LIST, reinterpret_cast<LPARAM>(record));
    g_loop.Pump(100);
    std::set<std::string> seen;
    for (int i = 0; i < 2; ++i) {
        const ServerKey key = CData::GetInstance()->GetServerKey();
        seen.insert(key.apiKey + "/" + key.secretKey);
    }
    EXPECT_EQ((std::set<std::string>{"api-one/secret-one", "api-two/secret-two"}), seen);
}

// Counts the records handed back to the user-service client: the client's
// hand-back entry (the third of its table, fixed by its interface) is swapped
// for one that counts and then passes the record on.
class HandBackSpy {
public:
    explicit HandBackSpy(CUserhttplib* client) : client_(client)
    {
        void**& table = *reinterpret_cast<void***>(client_);
        original_ = table;
        std::copy(table, table + kEntries, entries_);
        realRelease_ = reinterpret_cast<ReleaseEntry>(entries_[kReleaseEntry]);
        entries_[kReleaseEntry] = reinterpret_cast<void*>(&CountingRelease);
        handedBack_.clear();
        table = entries_;
    }
    ~HandBackSpy() { *reinterpret_cast<void***>(client_) = original_; }
    HandBackSpy(const HandBackSpy&) = delete;
    HandBackSpy& operator=(const HandBackSpy&) = delete;

    static const std::vector<const UserlibRecord*>& HandedBack() { return handedBack_; }

private:
    static constexpr int kEntries = 7;
    static constexpr int kReleaseEntry = 2;
    using ReleaseEntry = void(__stdcall*)(CUserhttplib*, unsigned, UserlibRecord*);

    static void __stdcall CountingRelease(CUserhttplib* client, unsigned command, UserlibRecord* record)
    {
        handedBack_.push_back(record);
        realRelease_(client, command, record);
    }

    static ReleaseEntry realRelease_;
    static std::vector<const UserlibRecord*> handedBack_;
    CUserhttplib* client_;
    void** original_ = nullptr;
    void* entries_[kEntries] = {};
};
HandBackSpy::ReleaseEntry HandBackSpy::realRelease_ = nullptr;
std::vector<const UserlibRecord*> HandBackSpy::handedBack_;

// The main window's own log lines (only the UI thread writes them).
std::vector<std::string> g_handlerLines;

void KeepHandlerLine(int, const char* tag, const char* text)
{
    if (std::string(tag) == "RtmpPlayer::MessageHandler")
        g_handlerLines.push_back(text);
}

size_t CountLines(const std::string& text)
{
    return static_cast<size_t>(std::count(g_handlerLines.begin(), g_handlerLines.end(), text));
}

// A command the program does not know is logged as such, a failed record
// is logged with its message, and either record goes back to the client;
// neither goes on to the window's default handling.
TEST_F(MainWindowTest, UnknownAndFailedUserCommandsAreLoggedAndHandedBack)
{
    Create();
    CUserhttplib* client = CData::GetInstance()->GetUserlib();
    ASSERT_NE(nullptr, client);
    EXPECT_TRUE(client->WaitIdle(30000));
    g_loop.Pump(100);

    UserlibRecord* unknown = new UserlibRecord;
    unknown->message = "ok";
    UserlibRecord* failed = new UserlibRecord;
    failed->result = -1;
    failed->message = "service down";
    HandBackSpy spy(client);
    g_handlerLines.clear();
    g_logger.SetObserver(&KeepHandlerLine);
    PostMessageW(player_.GetHwnd(), WM_USER_COMMAND, 7, reinterpret_cast<LPARAM>(unknown));
    PostMessageW(player_.GetHwnd(), WM_USER_COMMAND, 2, reinterpret_cast<LPARAM>(failed));
    g_loop.Pump(100);
    g_logger.SetObserver(nullptr);
    EXPECT_EQ((std::vector<std::string>{"WM_USER_COMMAND cmd:7", "unknown WM_USER_COMMAND parameter cmd:7",
                                        "WM_USER_COMMAND cmd:2", "task 2, service down"}),
              g_handlerLines);
    EXPECT_EQ((std::vector<const UserlibRecord*>{unknown, failed}), HandBackSpy::HandedBack());

    bool handled = false;
    player_.HandleOtherMessage(WM_USER_COMMAND, 4, 0, handled);
    EXPECT_TRUE(handled);
}

// Files are added while others are recognised: what the workers, the update
// checker and the user-service client post while the file dialog runs its
// own loop is handled there, once, as the program's loop would handle it.
TEST_F(MainWindowTest, MessagesPostedWhileTheFileDialogIsOpenAreHandledOnce)
{
    CData::GetInstance()->SetRecgType(0);
    Create();
    StopTimer();
    CUserhttplib* client = CData::GetInstance()->GetUserlib();
    ASSERT_NE(nullptr, client);
    // The client's own first answer (there is no service here) is out of the
    // way before the counting starts.
    EXPECT_TRUE(client->WaitIdle(30000));
    g_loop.Pump(100);

    const std::string sdkSource = MakeSourceFile("modal_sdk.mp3");
    const int sdkRow = AddRow(sdkSource);
    std::vector<AudioPiece*> pieces = AddSdkPieces(sdkSource, sdkRow);
    ASSERT_EQ(2u, pieces.size());
    // "今天" and "开会" in UTF-8.
    pieces[0]->SetText("\xE4\xBB\x8A\xE5\xA4\xA9");
    pieces[1]->SetText("\xE5\xBC\x80\xE4\xBC\x9A");
    for (AudioPiece* piece : pieces)
        piece->stepsDone = piece->progressSteps.load();
    list_->SelectItem(sdkRow, false);
    CRichEditUI* pane = static_cast<CRichEditUI*>(player_.GetManager().FindControlByName(L"edtText"));
    pane->SetText(L"");

    // A preparation that fails; from here on nothing is pumped before the
    // dialog, so its result waits in the queue for the dialog's loop.
    const std::string prepSource = MakeSourceFile("modal_prep.mp3");
    const int prepRow = AddRow(prepSource);
    CData::GetInstance()->SetRnnoise(true);
    ASSERT_TRUE(player_.StartItem(prepRow));
    CData::GetInstance()->SetRnnoise(false);
    player_.GetTaskManager()->OnTimer();

    UserlibRecord* record = new UserlibRecord;
    record->items = new UserKeyItem[1];
    record->items[0] = {"api-modal", "secret-modal"};
    record->count = 1;
    record->message = "ok";
    UpdateMsg* update = new UpdateMsg;
    update->text = "modal-check";

    HandBackSpy spy(client);
    g_handlerLines.clear();
    g_logger.SetObserver(&KeepHandlerLine);
    const HWND window = player_.GetHwnd();
    CTaskManager* tasks = player_.GetTaskManager();
    AudioPiece* last = pieces[1];
    const LPARAM lastId = last->id;
    {
        AppTest::DialogPresser presser(IDCANCEL, std::wstring(), std::wstring(), [&](HWND) {
            for (int i = 0; i < 1200 && tasks->GetRunning() != 0; ++i)
                Sleep(50);
            PostMessageW(window, WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(last), lastId);
            PostMessageW(window, WM_USER_COMMAND, USERLIB_CMD_KEY_LIST, reinterpret_cast<LPARAM>(record));
            PostMessageW(window, WM_UPDATE_NOTIFY, 3, reinterpret_cast<LPARAM>(update));
        });
        UiNotify click = {};
        click.type = L"click";
        click.sender = player_.GetManager().FindControlByName(L"btnAdd");
        // Returns once the presser has cancelled the dialog; everything
        // posted before the press was dispatched by the dialog's loop.
        player_.Notify(click);
        EXPECT_TRUE(presser.Pressed());
    }

    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(sdkRow));
    EXPECT_EQ(L"100%", Progress(sdkRow));
    EXPECT_STREQ(L"今天开会", pane->GetText().GetData());
    EXPECT_EQ(CPlayListCtrl::kStatusDone, list_->GetItemStatus(prepRow));
    EXPECT_EQ(std::vector<std::wstring>{L"modal_prep.mp3,任务失败(code=1),可重命名后，重新添加再识别!"},
              OpenMessageBoxTexts());
    EXPECT_EQ(std::vector<const UserlibRecord*>{record}, HandBackSpy::HandedBack());
    const ServerKey key = CData::GetInstance()->GetServerKey();
    EXPECT_EQ("api-modal/secret-modal", key.apiKey + "/" + key.secretKey);
    EXPECT_EQ(1u, CountLines("update msg: 3, modal-check"));

    // Back in the program's own loop nothing is handled a second time.
    g_loop.Pump(300);
    g_logger.SetObserver(nullptr);
    EXPECT_EQ(1u, HandBackSpy::HandedBack().size());
    EXPECT_EQ(1u, CountLines("WM_USER_COMMAND cmd:1"));
    EXPECT_EQ(1u, CountLines("update msg: 3, modal-check"));
    EXPECT_EQ(1u, OpenMessageBoxTexts().size());
}

// The closing's two lines, with their tags, as the logger writes them.
std::vector<std::string> g_closingLines;

void KeepClosingLine(int, const char* tag, const char* text)
{
    const std::string line = std::string(tag) + ": " + text;
    if (line == "RtmpPlayer::Close: main close" || line == "CData::PostAppExit: app exit")
        g_closingLines.push_back(line);
}

TEST_F(MainWindowTest, CloseStopsThePipelineAndEndsTheRun)
{
    Create();
    const HWND window = player_.GetHwnd();
    const int quitsBefore = g_loop.QuitMessages();
    // This run's own lines: the log file holds those of every test program
    // that ran before in this profile too.
    g_closingLines.clear();
    g_logger.SetObserver(&KeepClosingLine);
    player_.Close();
    g_logger.SetObserver(nullptr);
    EXPECT_TRUE(CData::GetInstance()->IsExiting());
    EXPECT_EQ(nullptr, player_.GetAudioConvert());
    EXPECT_EQ(nullptr, player_.GetTaskManager());
    EXPECT_FALSE(IsWindowVisible(window));
    // The posted close command destroys the window, which ends the loop.
    ASSERT_TRUE(g_loop.PumpUntil([&] { return !IsWindow(window); }, 10000));
    g_loop.Pump(50);
    EXPECT_EQ(quitsBefore + 1, g_loop.QuitMessages());

    const std::vector<std::string> expected = {"RtmpPlayer::Close: main close", "CData::PostAppExit: app exit"};
    EXPECT_EQ(expected, g_closingLines);
}

// The system close command, posted as the program posts it: the window hides
// before it goes. Sent as Alt+F4 and the system menu send it, it passes no
// filter: the window goes at once, and the run still ends as after Close.
TEST_F(MainWindowTest, SystemCloseHidesTheWindowAndEndsTheRun)
{
    Create();
    HWND window = player_.GetHwnd();
    // Other system commands are not the filter's.
    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    g_loop.Pump(100);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, SW_RESTORE);

    // Hidden by the filter, before the window's own handling closes it: the
    // filter runs here as the loop runs it, then the command is dispatched.
    static HWND closing;
    static bool hiddenBeforeDispatch;
    closing = window;
    hiddenBeforeDispatch = false;
    g_loop.SetDropFilter([](const MSG& posted) {
        if (posted.hwnd != closing || posted.message != WM_SYSCOMMAND || posted.wParam != SC_CLOSE)
            return false;
        MSG msg = posted;
        if (!CUiManager::TranslateMessage(&msg)) {
            hiddenBeforeDispatch = IsWindow(closing) && !IsWindowVisible(closing);
            DispatchMessageW(&msg);
        }
        return true;
    });
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(g_loop.PumpUntil([&] { return !IsWindow(window); }, 10000));
    g_loop.SetDropFilter(nullptr);
    EXPECT_TRUE(hiddenBeforeDispatch);

    // A second window, closed as the system closes it, with a file in Temp.
    TestPlayer player;
    ASSERT_NE(nullptr, player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600));
    g_loop.Pump(50);
    window = player.GetHwnd();
    const std::string leftOver = GetTempDir() + "\\left_over.wav";
    std::ofstream(leftOver, std::ios::binary) << "piece";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(leftOver.c_str()));
    const int quitsBefore = g_loop.QuitMessages();
    CData::GetInstance()->SetExiting(false);
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(CData::GetInstance()->IsExiting());
    EXPECT_EQ(nullptr, player.GetAudioConvert());
    EXPECT_EQ(nullptr, player.GetTaskManager());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(leftOver.c_str()));
    g_loop.Pump(50);
    EXPECT_EQ(quitsBefore + 1, g_loop.QuitMessages());
}

}  // namespace
