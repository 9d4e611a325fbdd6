#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "AppPaths.h"
#include "AudioPiece.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "Globals.h"
#include "Logger.h"
#include "MessageWnd.h"
#include "PlayListCtrl.h"
#include "RichEditUI.h"
#include "RtmpPlayer.h"
#include "RtmpPlayerText.h"
#include "StringUtils.h"
#include "skinned_window_support.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct LogLine {
    int level;
    std::string tag;
    std::string text;
};

std::vector<LogLine> g_lines;

// Keeps the save command's lines only; other threads may log meanwhile.
void KeepLine(int level, const char* tag, const char* text)
{
    if (std::string(tag) == "RtmpPlayer::OnClick")
        g_lines.push_back(LogLine{level, tag, text});
}

// Pieces of one source with the given indexes and UTF-8 texts.
class Pieces {
public:
    Pieces(const std::vector<int>& indexes, const std::vector<std::string>& texts)
    {
        for (size_t i = 0; i < indexes.size(); ++i) {
            owned_.emplace_back(new AudioPiece("C:\\a\\talk.mp3", 300, 6, indexes[i], L"", ""));
            owned_.back()->SetText(texts[i]);
            list.push_back(owned_.back().get());
        }
    }
    std::vector<AudioPiece*> list;

private:
    std::vector<std::unique_ptr<AudioPiece>> owned_;
};

TEST(FileText, PiecesJoinInOrderWithBreaksAfterAGap)
{
    struct Case {
        std::vector<int> indexes;
        std::vector<std::string> texts;
        std::wstring expected;
    };
    const Case cases[] = {
        {{}, {}, L""},
        {{0, 1, 2}, {"ab", "cd", "ef"}, L"abcdef"},
        {{0, 1, 3, 4}, {"a", "b", "c", "d"}, L"ab\r\nc\r\nd"},
        {{1, 2}, {"x", "y"}, L"\r\nx\r\ny"},
        // "今天" and "开会" in UTF-8.
        {{0, 1}, {"\xE4\xBB\x8A\xE5\xA4\xA9", "\xE5\xBC\x80\xE4\xBC\x9A"}, L"今天开会"},
        {{0, 1, 2}, {"", "b", ""}, L"b"},
    };
    for (const Case& c : cases) {
        Pieces pieces(c.indexes, c.texts);
        EXPECT_EQ(c.expected, JoinPieceTexts(pieces.list));
    }
}

TEST(ResultsFile, StemDropsFolderAndLastExtension)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* stem;
    };
    const Case cases[] = {
        {L"C:\\media\\talk.final.mp3", L"talk.final"},
        {L"D:\\talk.wav", L"talk"},
        {L"C:\\v1.2\\recording", L"recording"},
        {L"talk.mp3", L"talk"},
        {L"C:\\a\\会议.mp4", L"会议"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.stem, ResultsFileStem(c.path)) << WideToAnsi(c.path);
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return "(missing)";
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

class ResultsFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Without its trailing backslash, as the folder dialog returns it.
        folder = UiTest::WorkFolder(L"results_test");
        folder.pop_back();
        for (const wchar_t* name :
             {L"会议.txt", L"talk.txt", L"talk (2).txt", L"talk.final.txt", L"empty.txt", L"\u0e01.txt"})
            DeleteFileW((folder + L"\\" + name).c_str());
        g_lines.clear();
        g_logger.SetObserver(&KeepLine);
    }
    void TearDown() override { g_logger.SetObserver(nullptr); }

    std::wstring folder;
};

TEST_F(ResultsFolder, WritesCodePageTextNamedAfterTheSource)
{
    ResultsEntries texts;
    texts[L"C:\\in\\会议.mp4"].text = L"会议\r\nok";
    texts[L"E:\\x\\talk.final.mp3"].text = L"final";
    EXPECT_EQ(2, WriteResultsFiles(folder, texts, {}));
    // GBK: 会 = BB E1, 议 = D2 E9; no byte-order mark, CR LF kept as written.
    EXPECT_EQ(std::string("\xBB\xE1\xD2\xE9\r\nok"), ReadBytes(folder + L"\\会议.txt"));
    EXPECT_EQ("final", ReadBytes(folder + L"\\talk.final.txt"));
}

TEST(ResultsFile, SourcesOfOneStemGetDistinctNames)
{
    struct Case {
        std::vector<const wchar_t*> paths;  // in path order
        std::vector<std::wstring> stems;
    };
    const Case cases[] = {
        {{L"C:\\a\\one.mp3", L"C:\\a\\two.mp3"}, {L"one", L"two"}},
        {{L"C:\\a\\d60.mp3", L"C:\\a\\d60.wav"}, {L"d60", L"d60 (2)"}},
        // File names compare without case.
        {{L"C:\\a\\D60.wav", L"C:\\b\\d60.mp3"}, {L"D60", L"d60 (2)"}},
        // A numbered name never takes the name another source keeps.
        {{L"C:\\a\\talk.mp3", L"C:\\b\\talk.mp3", L"C:\\c\\talk (2).mp3"}, {L"talk", L"talk (3)", L"talk (2)"}},
        {{L"C:\\a\\x.1", L"C:\\a\\x.2", L"C:\\a\\x.3"}, {L"x", L"x (2)", L"x (3)"}},
    };
    for (const Case& c : cases) {
        ResultsEntries texts;
        for (const wchar_t* path : c.paths)
            texts[path];
        EXPECT_EQ(c.stems, ResultsFileStems(texts, {})) << WideToAnsi(c.paths[0]);
    }
}

// A row keeps the name it was first saved under; a row saved for the first
// time takes the lowest free number among the names the list's rows hold.
TEST(ResultsFile, SavedRowsKeepTheirNamesAndNewRowsTakeTheNextFree)
{
    struct Row {
        const wchar_t* path;
        const wchar_t* savedName;
    };
    struct Case {
        std::vector<Row> rows;  // in path order
        std::vector<std::wstring> otherRowsNames;
        std::vector<std::wstring> stems;
    };
    const Case cases[] = {
        // Two rows saved before; a third of their stem sorts first.
        {{{L"C:\\a\\会议.mp4", L""}, {L"C:\\b\\会议.mp4", L"会议"}, {L"C:\\c\\会议.mp4", L"会议 (2)"}},
         {},
         {L"会议 (3)", L"会议", L"会议 (2)"}},
        // A numbered name stays although the plain stem is free now.
        {{{L"C:\\b\\talk.mp3", L"talk (2)"}}, {}, {L"talk (2)"}},
        // Rows outside the save (recognising again) still hold their names.
        {{{L"C:\\a\\talk.mp3", L""}}, {L"TALK"}, {L"talk (2)"}},
        {{{L"C:\\a\\talk.mp3", L""}}, {L"talk", L"talk (2)"}, {L"talk (3)"}},
        {{{L"C:\\a\\one.mp3", L""}}, {L"two"}, {L"one"}},
        // A new row whose stem another row was saved under is numbered too.
        {{{L"C:\\a\\talk (2).mp3", L""}, {L"C:\\b\\talk.mp3", L"talk (2)"}}, {}, {L"talk (2) (2)", L"talk (2)"}},
    };
    for (const Case& c : cases) {
        ResultsEntries entries;
        for (const Row& row : c.rows)
            entries[row.path].savedName = row.savedName;
        EXPECT_EQ(c.stems, ResultsFileStems(entries, c.otherRowsNames)) << WideToAnsi(c.rows[0].path);
    }
}

TEST_F(ResultsFolder, SameStemIsWrittenTwiceUnderDistinctNames)
{
    ResultsEntries texts;
    texts[L"C:\\b\\talk.wav"].text = L"second";
    texts[L"C:\\a\\talk.mp3"].text = L"first and longer";
    EXPECT_EQ(2, WriteResultsFiles(folder, texts, {}));
    EXPECT_EQ("first and longer", ReadBytes(folder + L"\\talk.txt"));
    EXPECT_EQ("second", ReadBytes(folder + L"\\talk (2).txt"));
}

TEST_F(ResultsFolder, EmptyTextGivesEmptyFileAndAWarning)
{
    ResultsEntries texts;
    texts[L"C:\\a\\empty.mp3"].text = L"";
    EXPECT_EQ(1, WriteResultsFiles(folder, texts, {}));
    EXPECT_EQ("", ReadBytes(folder + L"\\empty.txt"));
    ASSERT_EQ(1u, g_lines.size());
    EXPECT_EQ(2, g_lines[0].level);
    EXPECT_EQ("RtmpPlayer::OnClick", g_lines[0].tag);
    EXPECT_EQ("fprintf_s len 0, ret 0, txt ", g_lines[0].text);
}

TEST_F(ResultsFolder, NameOutsideTheCodePageStillSaves)
{
    ResultsEntries texts;
    texts[L"C:\\a\\\u0e01.mp3"].text = L"x";
    EXPECT_EQ(1, WriteResultsFiles(folder, texts, {}));
    EXPECT_EQ("x", ReadBytes(folder + L"\\\u0e01.txt"));
}

// A results file that opens but whose bytes do not all arrive is not
// counted as saved. The "folder" is the pipe namespace: the test's pipe
// takes the file's name, accepts the opening and closes before reading
// anything, so the write fails.
TEST_F(ResultsFolder, WriteThatFailsIsNotCounted)
{
    const std::wstring pipes = L"\\\\.\\pipe";
    const std::wstring stem = L"vantorin_results_broken";
    const HANDLE pipe = CreateNamedPipeW((pipes + L"\\" + stem + L".txt").c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
    std::thread closer([pipe] {
        ConnectNamedPipe(pipe, nullptr);
        Sleep(300);
        DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
    });
    ResultsEntries texts;
    texts[L"C:\\a\\" + stem + L".mp3"].text = std::wstring(256 * 1024, L'x');
    EXPECT_EQ(0, WriteResultsFiles(pipes, texts, {}));
    closer.join();
    // The file was made under its name, so the row keeps that name.
    EXPECT_EQ(stem, texts.begin()->second.savedName);
    // It was opened: an open that fails is logged at level 3.
    for (const LogLine& line : g_lines)
        EXPECT_NE(3, line.level) << line.text;
}

TEST_F(ResultsFolder, UnwritableFolderIsLoggedAndNotCounted)
{
    std::wstring missing = folder + L"\\no such folder";
    ResultsEntries texts;
    texts[L"C:\\a\\one.mp3"].text = L"one";
    texts[L"C:\\a\\two.mp3"].text = L"two";
    EXPECT_EQ(0, WriteResultsFiles(missing, texts, {}));
    ASSERT_EQ(2u, g_lines.size());
    for (const LogLine& line : g_lines) {
        EXPECT_EQ(3, line.level);
        EXPECT_EQ("RtmpPlayer::OnClick", line.tag);
        EXPECT_EQ("fopen create file failed. " + WideToAnsi(missing), line.text);
    }
    // No file was made, so no row holds a name yet.
    for (const auto& entry : texts)
        EXPECT_EQ(L"", entry.second.savedName);
    // A good folder after a bad one still counts only what it wrote.
    EXPECT_EQ(2, WriteResultsFiles(folder, texts, {}));
}

// The library's traces go to the test's output, where a failure shows them.
void PrintTrace(const wchar_t* text)
{
    fwprintf(stderr, L"%ls\n", text);
}

// Reads the skin from the source tree instead of the program's resource.
class TestPlayer : public RtmpPlayer {
public:
    int GetSkinSource() override { return UiLib::SkinFromFolder; }
    UiLib::CUiString GetSkinDirectory() override { return AppTest::SourceSkinFolderFromInstance(); }
};

class PlayerText : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Nothing here may wait for the maker's services.
        WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:9");
        WriteConfigString(L"UpdateUrl", L"http://127.0.0.1:9");
        UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), &PrintTrace);
    }
    void SetUp() override
    {
        CData::GetInstance()->SetExiting(false);
        ASSERT_NE(nullptr, player.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 860, 600));
        AppTest::Pump(50);
        list = player.GetPlayList();
        ASSERT_NE(nullptr, list);
        text = dynamic_cast<UiLib::CRichEditUI*>(player.GetManager().FindControlByName(L"edtText"));
        ASSERT_NE(nullptr, text);
    }
    void TearDown() override
    {
        AppTest::CloseMessageBoxes();
        if (player.GetHwnd() != nullptr && IsWindow(player.GetHwnd()))
            DestroyWindow(player.GetHwnd());
        AppTest::Pump(20);
    }

    // One list row per recording (name, UTF-8 text), each a file of its own
    // cut into one speech SDK piece. The real tasks cannot cut these files;
    // once they are over, the pieces get the texts that a recognition would
    // have given. Returns the sources' paths.
    std::vector<std::string> AddRecognisedRows(const std::vector<std::pair<std::string, std::string>>& recordings)
    {
        CData::GetInstance()->SetRecgType(0);
        const std::string sources = GetAppDataDir() + "\\results_test_sources";
        CreateDirectoryA(sources.c_str(), nullptr);
        CAudioConvert* convert = player.GetAudioConvert();
        std::vector<std::string> paths;
        for (const auto& recording : recordings) {
            // A name may lead with a folder of its own under the sources.
            const size_t folderEnd = recording.first.rfind('\\');
            if (folderEnd != std::string::npos)
                CreateDirectoryA((sources + "\\" + recording.first.substr(0, folderEnd)).c_str(), nullptr);
            const std::string path = sources + "\\" + recording.first;
            FILE* file = fopen(path.c_str(), "wb");
            EXPECT_NE(nullptr, file);
            if (file == nullptr)
                return paths;
            fputs("not really audio", file);
            fclose(file);
            list->AddFile(AnsiToWide(path).c_str());
            EXPECT_TRUE(convert->AddTask(path, 60, path));
            paths.push_back(path);
        }
        EXPECT_TRUE(AppTest::PumpUntil([&] { return convert->GetRunning() == 0; }, 60000));
        AppTest::Pump(50);
        AppTest::CloseMessageBoxes();
        for (size_t i = 0; i < paths.size(); ++i) {
            const std::vector<AudioPiece*> pieces = convert->GetFilePieces(paths[i]);
            EXPECT_EQ(1u, pieces.size());
            if (pieces.size() == 1)
                pieces[0]->SetText(recordings[i].second);
        }
        return paths;
    }

    // A folder in the profile's Temp folder, which the folder browser reaches
    // from its tree as it does for a user.
    static std::wstring SaveFolder(const std::wstring& leaf)
    {
        wchar_t temp[MAX_PATH] = {};
        EXPECT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        const std::wstring target = std::wstring(temp) + leaf;
        CreateDirectoryW(target.c_str(), nullptr);
        return target;
    }

    // The save command, the user picking target in the browser's tree.
    void SaveInto(const std::wstring& target)
    {
        const std::wstring leaf = target.substr(target.rfind(L'\\') + 1);
        // Where the last save of the run went the browser opens again; a
        // sibling folder is not always reached from there in time.
        g_browseFolder = target;
        AppTest::DialogPresser presser(IDOK, std::wstring(), std::wstring(), [&](HWND dialog) {
            for (int i = 0; i < 300 && AppTest::DialogPresser::SelectedTreeText(dialog) != leaf; ++i) {
                SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(target.c_str()));
                Sleep(50);
            }
        });
        player.SaveResults();
        EXPECT_TRUE(presser.Pressed());
    }

    TestPlayer player;
    CPlayListCtrl* list = nullptr;
    UiLib::CRichEditUI* text = nullptr;
};

TEST_F(PlayerText, EmptyListLeavesThePaneAlone)
{
    text->SetText(L"earlier");
    player.ShowItemText();
    EXPECT_STREQ(L"earlier", text->GetText().GetData());
}

TEST_F(PlayerText, NoSelectionShowsTheFirstRowAndSelectsIt)
{
    // "第一段" and "第二段" in UTF-8.
    AddRecognisedRows({{"first.wav", "\xE7\xAC\xAC\xE4\xB8\x80\xE6\xAE\xB5"},
                       {"second.wav", "\xE7\xAC\xAC\xE4\xBA\x8C\xE6\xAE\xB5"}});
    ASSERT_EQ(2, list->GetCount());
    // The failed tasks' messages selected a row; the user has not.
    list->SelectItem(-1, false);
    ASSERT_EQ(-1, list->GetSelectedIndex());
    text->SetText(L"earlier");
    player.ShowItemText();
    EXPECT_EQ(0, list->GetSelectedIndex());
    EXPECT_STREQ(L"第一段", text->GetText().GetData());
    // The selected row's text, whole, replaces what the pane held.
    list->SelectItem(1, false);
    AppTest::Pump(20);
    EXPECT_STREQ(L"第二段", text->GetText().GetData());
}

TEST_F(PlayerText, CancelledFolderDialogWritesNothingAndShowsNoBox)
{
    const std::vector<std::string> paths = AddRecognisedRows({{"cancelled.wav", "cancelled text"}});
    ASSERT_EQ(1u, paths.size());
    list->UpdateItemStatus(list->FindItem(paths[0]), 100, 100);
    // Where an earlier save of this run went, the browser opens again.
    const std::wstring remembered = g_browseFolder;
    const std::wstring wouldBe = remembered + L"\\cancelled.txt";
    if (!remembered.empty())
        DeleteFileW(wouldBe.c_str());
    {
        AppTest::DialogPresser presser(IDCANCEL);
        player.SaveResults();
        EXPECT_TRUE(presser.Pressed());
    }
    AppTest::Pump(50);
    EXPECT_TRUE(AppTest::OpenMessageBoxes().empty());
    EXPECT_EQ(remembered, g_browseFolder);
    if (!remembered.empty()) {
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wouldBe.c_str()));
    }
}

TEST_F(PlayerText, SavingWithNoFinishedRowOnlyTellsSo)
{
    list->AddFile(L"C:\\a\\one.mp3");
    list->AddFile(L"C:\\a\\two.mp3");
    ASSERT_TRUE(list->SetItemRecognizing(1));
    player.SaveResults();
    AppTest::Pump(50);
    std::vector<CMessageWnd*> boxes = AppTest::OpenMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ(L"暂无需要保存的内容!", boxes[0]->GetText().GetData());
    EXPECT_STREQ(L"确定", boxes[0]->GetOkCaption().GetData());
    EXPECT_FALSE(boxes[0]->IsCancelShown());
    EXPECT_EQ(5, boxes[0]->GetAutoCloseSeconds());
    // No folder dialog was opened.
    EXPECT_EQ(nullptr, FindWindowExW(nullptr, nullptr, L"#32770", nullptr));
}

// Both recordings of one talk finished: one save writes a results file for
// each into the folder the user picks, and the box counts the files written.
TEST_F(PlayerText, SavingTwoSourcesOfOneStemWritesTwoFiles)
{
    const std::wstring target = SaveFolder(L"vantorin_results_save");
    for (const wchar_t* name : {L"d60.txt", L"d60 (2).txt"})
        DeleteFileW((target + L"\\" + name).c_str());

    for (const std::string& path : AddRecognisedRows({{"d60.wav", "wav text"}, {"d60.mp3", "mp3 text"}}))
        list->UpdateItemStatus(list->FindItem(path), 100, 100);

    SaveInto(target);
    EXPECT_EQ("mp3 text", ReadBytes(target + L"\\d60.txt"));
    EXPECT_EQ("wav text", ReadBytes(target + L"\\d60 (2).txt"));
    AppTest::Pump(50);
    std::vector<CMessageWnd*> boxes = AppTest::OpenMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ(L"成功保存 2 个结果", boxes[0]->GetText().GetData());
}

// Two recordings of one stem from two folders were saved as 会议.txt and
// 会议 (2).txt. A third of that stem, from a folder whose path sorts first,
// is added later: the next save gives it 会议 (3).txt, and the first two files
// still hold their own rows' texts.
TEST_F(PlayerText, SavedNamesStayWithTheirRows)
{
    const std::wstring target = SaveFolder(L"vantorin_results_kept");
    for (const wchar_t* name : {L"会议.txt", L"会议 (2).txt", L"会议 (3).txt"})
        DeleteFileW((target + L"\\" + name).c_str());
    const auto finish = [&](const std::vector<std::string>& paths) {
        for (const std::string& path : paths)
            list->UpdateItemStatus(list->FindItem(path), 100, 100);
    };

    // Narrow names are in the system code page.
    const std::string name = WideToAnsi(L"会议.wav");
    finish(AddRecognisedRows({{"b\\" + name, "first room"}, {"c\\" + name, "second room"}}));
    SaveInto(target);
    EXPECT_EQ("first room", ReadBytes(target + L"\\会议.txt"));
    EXPECT_EQ("second room", ReadBytes(target + L"\\会议 (2).txt"));
    AppTest::CloseMessageBoxes();

    finish(AddRecognisedRows({{"a\\" + name, "third room"}}));
    ASSERT_EQ(3, list->GetCount());
    SaveInto(target);
    EXPECT_EQ("first room", ReadBytes(target + L"\\会议.txt"));
    EXPECT_EQ("second room", ReadBytes(target + L"\\会议 (2).txt"));
    EXPECT_EQ("third room", ReadBytes(target + L"\\会议 (3).txt"));
    AppTest::Pump(50);
    std::vector<CMessageWnd*> boxes = AppTest::OpenMessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_STREQ(L"成功保存 3 个结果", boxes[0]->GetText().GetData());
}

}  // namespace
