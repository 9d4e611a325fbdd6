#include "FileDialogs.h"
#include "ListHeaderItemUI.h"
#include "ListTextElementUI.h"
#include "PlayListCtrl.h"
#include "StringUtils.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

const int kWaveRate = 2000;

void PutLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An 8-bit mono PCM WAV of the given length in milliseconds.
void WriteWave(const std::wstring& path, int millis)
{
    uint32_t samples = static_cast<uint32_t>(static_cast<uint64_t>(millis) * kWaveRate / 1000);
    std::string header = "RIFF";
    PutLe(header, 36 + samples, 4);
    header += "WAVEfmt ";
    PutLe(header, 16, 4);
    PutLe(header, 1, 2);  // PCM
    PutLe(header, 1, 2);  // mono
    PutLe(header, kWaveRate, 4);
    PutLe(header, kWaveRate, 4);  // bytes per second
    PutLe(header, 1, 2);          // block align
    PutLe(header, 8, 2);          // bits
    header += "data";
    PutLe(header, samples, 4);
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, file);
    fwrite(header.data(), 1, header.size(), file);
    std::vector<char> silence(64 * 1024, static_cast<char>(0x80));
    for (uint32_t left = samples; left > 0;) {
        uint32_t chunk = left < silence.size() ? left : static_cast<uint32_t>(silence.size());
        fwrite(silence.data(), 1, chunk, file);
        left -= chunk;
    }
    fclose(file);
}

std::wstring Cell(CPlayListCtrl& list, int row, int column)
{
    CControlUI* control = list.GetItemAt(row);
    const wchar_t* text = list.GetItemText(control, row, column);
    return text != nullptr ? text : L"(null)";
}

// Fills a multi-select dialog's buffer as the dialog would: the folder, then
// each file name, then an empty string.
void FillDialog(FileOpenDialog& dialog, const std::wstring& folder, const std::vector<std::wstring>& names)
{
    std::wstring buffer = folder + L'\0';
    for (const std::wstring& name : names)
        buffer += name + L'\0';
    buffer += L'\0';
    ASSERT_LT(buffer.size(), 26000u);
    wmemcpy(dialog.GetFileBuffer(), buffer.data(), buffer.size());
}

class PlayListFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = UiTest::WorkFolder(L"playlist_test");
        shortWave = folder + L"\u4f1a\u8bae.wav";
        longWave = folder + L"long.take.wav";
        WriteWave(shortWave, 59900);
        WriteWave(longWave, 3725 * 1000 + 300);
        notMedia = folder + L"notes.txt";
        FILE* file = _wfopen(notMedia.c_str(), L"wb");
        ASSERT_NE(nullptr, file);
        fputs("not a media file", file);
        fclose(file);
    }

    static std::wstring folder;
    static std::wstring shortWave;
    static std::wstring longWave;
    static std::wstring notMedia;
    CPlayListCtrl list;
};

std::wstring PlayListFiles::folder;
std::wstring PlayListFiles::shortWave;
std::wstring PlayListFiles::longWave;
std::wstring PlayListFiles::notMedia;

TEST_F(PlayListFiles, RowsFromRealFilesShowTheirCells)
{
    list.AddFile(shortWave.c_str());
    list.AddFile(longWave.c_str());
    list.AddFile(notMedia.c_str());
    ASSERT_EQ(3, list.GetCount());
    ASSERT_EQ(3, list.GetRecordCount());

    struct Expect {
        int row;
        const wchar_t* name;
        const wchar_t* duration;
        const wchar_t* type;
        int seconds;
    };
    const Expect rows[] = {
        {0, L"\u4f1a\u8bae.wav", L"00:59", L".wav", 59},
        {1, L"long.take.wav", L"01:02:05", L".wav", 3725},
        {2, L"notes.txt", L"00:00", L".txt", 0},
    };
    for (const Expect& e : rows) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.name, Cell(list, e.row, 0));
        EXPECT_EQ(e.duration, Cell(list, e.row, 1));
        EXPECT_EQ(e.type, Cell(list, e.row, 2));
        EXPECT_EQ(L"0", Cell(list, e.row, 3));
        EXPECT_EQ(L"00:00", Cell(list, e.row, 4));
        EXPECT_EQ(L"点我开始", Cell(list, e.row, 5));
        EXPECT_EQ(L"", Cell(list, e.row, 6));
        EXPECT_EQ(L"unknown", Cell(list, e.row, 7));
        EXPECT_EQ(e.seconds, list.GetItemDuration(e.row));
        EXPECT_EQ(CPlayListCtrl::kStatusNew, list.GetItemStatus(e.row));
        EXPECT_EQ(e.row, list.GetItemAt(e.row)->GetUserTag());
    }
    EXPECT_EQ(shortWave, list.GetItemFile(0));
    // The cell text lives in the row, so the pointer outlives the call.
    const wchar_t* kept = list.GetItemText(list.GetItemAt(1), 1, 0);
    EXPECT_EQ(list.GetItemAt(1)->GetUserText().GetData(), kept);
}

TEST_F(PlayListFiles, FindItemTakesTheNarrowPath)
{
    list.AddFile(longWave.c_str());
    list.AddFile(shortWave.c_str());
    EXPECT_EQ(1, list.FindItem(WideToAnsi(shortWave)));
    EXPECT_EQ(0, list.FindItem(WideToAnsi(longWave)));
    std::wstring otherCase = longWave;
    otherCase.back() = L'V';
    EXPECT_EQ(-1, list.FindItem(WideToAnsi(otherCase)));
    EXPECT_EQ(-1, list.FindItem(""));
}

TEST_F(PlayListFiles, OddPathsAreListedOrRefused)
{
    list.AddFile(shortWave.c_str());
    list.AddFile(shortWave.c_str());
    EXPECT_EQ(1, list.GetCount()) << "a file is listed once";
    list.AddFile(L"C:\\media\\recording");
    EXPECT_EQ(1, list.GetCount()) << "a path without any dot is refused";
    list.AddFile(L"C:\\v1.2\\recording");
    ASSERT_EQ(2, list.GetCount());
    EXPECT_EQ(L"recording", Cell(list, 1, 0));
    EXPECT_EQ(L".2\\recording", Cell(list, 1, 2));
    EXPECT_EQ(L"00:00", Cell(list, 1, 1)) << "a missing file has no duration";
    EXPECT_EQ(0, list.GetItemDuration(1));
}

TEST_F(PlayListFiles, DialogChoicesStopAtOneHundredRows)
{
    for (int i = 0; i < 98; ++i)
        list.AddFile((L"C:\\x\\f" + std::to_wstring(i) + L".mp3").c_str());
    ASSERT_EQ(98, list.GetCount());

    FileOpenDialog dialog;
    dialog.SetMultiSelect(true);
    dialog.SetFileBufferSize(26000);
    // A duplicate does not use up the limit.
    FillDialog(dialog, L"C:\\x", {L"f0.mp3", L"a.wav", L"b.wav", L"c.wav", L"d.wav"});
    list.AddChosenFiles(dialog);
    ASSERT_EQ(100, list.GetCount());
    EXPECT_EQ(L"C:\\x\\a.wav", list.GetItemFile(98));
    EXPECT_EQ(L"C:\\x\\b.wav", list.GetItemFile(99));
    EXPECT_EQ(-1, list.FindItem("C:\\x\\c.wav"));
}

TEST(PlayList, StatusMovesThroughItsStates)
{
    CPlayListCtrl list;
    list.AddFile(L"C:\\a\\one.mp4");
    list.AddFile(L"C:\\a\\two.mp4");
    int row = list.FindItem("C:\\a\\two.mp4");
    ASSERT_EQ(1, row);

    EXPECT_TRUE(list.SetItemRecognizing(row));
    EXPECT_EQ(L"0%", Cell(list, row, 3));
    EXPECT_EQ(L"识别中", Cell(list, row, 5));
    EXPECT_FALSE(list.SetItemRecognizing(row)) << "already recognising";
    EXPECT_EQ(1, list.GetRecognizingCount());

    for (int i = 0; i < 75; ++i)
        list.OnTimer();
    EXPECT_EQ(L"01:15", Cell(list, row, 4));
    EXPECT_EQ(L"00:00", Cell(list, 0, 4)) << "a new row counts no time";

    struct Step {
        int done;
        int total;
        const wchar_t* progress;
        const wchar_t* action;
        int status;
    };
    const Step steps[] = {
        {1, 3, L"33%", L"识别中", CPlayListCtrl::kStatusRecognizing},
        {2, 3, L"66%", L"识别中", CPlayListCtrl::kStatusRecognizing},
        {3, 3, L"100%", L"重新识别", CPlayListCtrl::kStatusDone},
    };
    for (const Step& s : steps) {
        list.UpdateItemStatus(row, s.done, s.total);
        EXPECT_EQ(s.progress, Cell(list, row, 3));
        EXPECT_EQ(s.action, Cell(list, row, 5));
        EXPECT_EQ(s.status, list.GetItemStatus(row));
    }
    EXPECT_EQ(0, list.GetRecognizingCount());
    list.OnTimer();
    EXPECT_EQ(L"01:15", Cell(list, row, 4)) << "a finished row keeps its time";

    EXPECT_TRUE(list.SetItemRecognizing(row)) << "a finished row starts again";
    EXPECT_EQ(L"0%", Cell(list, row, 3));
    EXPECT_EQ(L"00:00", Cell(list, row, 4));
    EXPECT_EQ(CPlayListCtrl::kStatusRecognizing, list.GetItemStatus(row));
    EXPECT_EQ(CPlayListCtrl::kStatusNew, list.GetItemStatus(0));
}

TEST(PlayList, BadRowsGiveNeutralValues)
{
    CPlayListCtrl list;
    list.AddFile(L"C:\\a\\one.mp4");
    CControlUI* row = list.GetItemAt(0);
    for (int bad : {-1, 1, 100}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(L"", list.GetItemFile(bad));
        EXPECT_EQ(0, list.GetItemDuration(bad));
        EXPECT_EQ(-1, list.GetItemStatus(bad));
        EXPECT_FALSE(list.SetItemRecognizing(bad));
        list.UpdateItemStatus(bad, 1, 1);
        EXPECT_STREQ(L"unknown", list.GetItemText(row, bad, 0));
        EXPECT_FALSE(list.RemoveAt(bad));
    }
    EXPECT_EQ(L"0", Cell(list, 0, 3));
    EXPECT_EQ(1, list.GetCount());
}

TEST(PlayList, RemovingRowsKeepsRecordsInStep)
{
    CPlayListCtrl list;
    for (const wchar_t* path : {L"C:\\a\\0.mp3", L"C:\\a\\1.mp3", L"C:\\a\\2.mp3", L"C:\\a\\3.mp3"})
        list.AddFile(path);
    EXPECT_TRUE(list.RemoveAt(0));
    EXPECT_TRUE(list.Remove(list.GetItemAt(1)));  // the row of 2.mp3
    ASSERT_EQ(2, list.GetCount());
    ASSERT_EQ(2, list.GetRecordCount());
    EXPECT_EQ(L"C:\\a\\1.mp3", list.GetItemFile(0));
    EXPECT_EQ(L"C:\\a\\3.mp3", list.GetItemFile(1));
    EXPECT_EQ(L"3.mp3", Cell(list, 1, 0));
    list.RemoveAll();
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(0, list.GetRecordCount());
}

LRESULT CALLBACK ListWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CUiManager* manager = reinterpret_cast<CUiManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The file list as the main window lays it out: seven header columns and
// padded cell text.
class PlayListWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ListWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PlayListTest";
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"list", WS_POPUP, 0, 0, 700, 300, nullptr, nullptr, wc.hInstance,
                               nullptr);
        ASSERT_NE(nullptr, hwnd);
        manager = new CUiManager;
        manager->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
        list = new CPlayListCtrl;
        list->GetHeader()->SetPreferredHeight(24);
        list->SetAttribute(L"itemtextpadding", L"4,3,5,2");
        for (int width : {0, 100, 60, 80, 80, 120, 10}) {
            CListHeaderItemUI* item = new CListHeaderItemUI;
            item->SetPreferredWidth(width);
            headers.push_back(item);
            // Into the header itself, as the skin's builder adds them.
            ASSERT_TRUE(list->GetHeader()->Add(item));
        }
        ASSERT_TRUE(manager->SetRoot(list));
        list->AddFile(L"C:\\a\\one.wav");
        list->AddFile(L"C:\\a\\two.wav");
        for (int i = 0; i < list->GetCount(); ++i)
            list->GetItemAt(i)->SetPreferredHeight(30);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    void TearDown() override
    {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete manager;
        DestroyWindow(hwnd);
    }

    HWND hwnd = nullptr;
    CUiManager* manager = nullptr;
    CPlayListCtrl* list = nullptr;
    std::vector<CListHeaderItemUI*> headers;
};

TEST_F(PlayListWindow, HeaderColumnsKeepTheirOrder)
{
    ASSERT_EQ(7, list->GetListInfo()->columnCount);
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(headers[c]->GetBounds().left, list->GetListInfo()->columns[c].left) << c;
    EXPECT_EQ(120, headers[5]->GetBoundsWidth());
}

TEST_F(PlayListWindow, PaintingReadsCellsThroughTheCallback)
{
    CControlUI* row = list->GetItemAt(1);
    ASSERT_GT(row->GetBoundsHeight(), 0);
    row->SetUserText(L"sentinel");
    list->UpdateItemStatus(1, 1, 2);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    // The row keeps the text of the cell painted last: the blank column.
    EXPECT_STREQ(L"", row->GetUserText().GetData());
}

TEST_F(PlayListWindow, HitTestCoversTheActionCellInsideItsPadding)
{
    CControlUI* row = list->GetItemAt(1);
    const RECT& bounds = row->GetBounds();
    const RECT column = headers[5]->GetBounds();
    const RECT blank = headers[6]->GetBounds();
    const int left = column.left + 4;
    const int top = bounds.top + 3;
    const int right = column.right - 5;
    const int bottom = bounds.bottom - 2;
    ASSERT_LT(left, right);
    ASSERT_LT(top, bottom);

    struct Case {
        int x;
        int y;
        bool action;
        bool inside;
    };
    const Case cases[] = {
        {left, top, true, true},
        {right - 1, bottom - 1, true, true},
        {(left + right) / 2, (top + bottom) / 2, true, true},
        {left - 1, top, true, false},
        {left, top - 1, true, false},
        {right, top, true, false},    // right edge is outside
        {left, bottom, true, false},  // bottom edge is outside
        {(left + right) / 2, (top + bottom) / 2, false, false},
        {blank.left + 4, top, false, blank.right - 5 > blank.left + 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(c.inside, list->HitTestCell(row, c.x, c.y, c.action));
    }
    CListTextElementUI stranger;
    EXPECT_FALSE(list->HitTestCell(&stranger, left, top, true));
    EXPECT_FALSE(list->HitTestCell(list->GetItemAt(0), left, top, true)) << "another row's height";
}

}  // namespace
