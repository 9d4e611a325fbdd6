// The file-open record, its filter and path iteration, and the two common
// dialogs driven by posting to them as a user's button press would.
#include "FileDialogs.h"

#include "Globals.h"
#include "ScopedHandle.h"
#include "skinned_window_support.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kFilterText[] = L"音视频文件";

// Writes a buffer of zero-separated strings, as the dialog leaves it.
void FillFileBuffer(FileOpenDialog& dialog, const std::wstring& content)
{
    ASSERT_LT(content.size() + 1, static_cast<size_t>(dialog.GetRecord().nMaxFile));
    wchar_t* buffer = dialog.GetFileBuffer();
    std::wmemset(buffer, 0, dialog.GetRecord().nMaxFile);
    std::wmemcpy(buffer, content.data(), content.size());
}

std::vector<std::wstring> AllPaths(FileOpenDialog& dialog)
{
    std::vector<std::wstring> paths;
    wchar_t* position = dialog.GetFileBuffer();
    while (position != nullptr && paths.size() < 100)
        paths.push_back(dialog.GetNextPathName(position));
    return paths;
}

TEST(FileOpenDialog, StartsWithTheDocumentedRecord)
{
    FileOpenDialog dialog;
    const OPENFILENAMEW& record = dialog.GetRecord();
    EXPECT_EQ(record.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(record.Flags, 0x8040Eu);
    EXPECT_EQ(record.nMaxFile, 1024u);
    EXPECT_EQ(record.lpstrFilter, dialog.GetFilterBuffer());
    EXPECT_NE(record.lpstrDefExt, nullptr);
    EXPECT_EQ(record.lpstrDefExt[0], L'\0');
    EXPECT_EQ(record.lpstrFile[0], L'\0');
    EXPECT_EQ(record.hwndOwner, nullptr);

    dialog.SetMultiSelect(true);
    EXPECT_EQ(dialog.GetRecord().Flags, 0x8060Eu);
    dialog.SetMultiSelect(false);
    EXPECT_EQ(dialog.GetRecord().Flags, 0x8040Eu);
    const HWND desktop = GetDesktopWindow();
    dialog.SetOwner(desktop);
    EXPECT_EQ(dialog.GetRecord().hwndOwner, desktop);
    dialog.SetTitle(L"选择文件");
    EXPECT_STREQ(dialog.GetRecord().lpstrTitle, L"选择文件");
}

TEST(FileOpenDialog, MediaFilterIsOnePairOfTextAndPatterns)
{
    const std::wstring filter = MediaFileFilter();
    const std::wstring text = filter.c_str();
    EXPECT_EQ(text, kFilterText);
    const std::wstring patterns = filter.c_str() + text.size() + 1;
    EXPECT_EQ(patterns.size(), 708u);
    EXPECT_EQ(patterns.compare(0, 14, L"*.3ga;*.669;*."), 0);
    EXPECT_EQ(patterns.substr(patterns.size() - 12), L"*.wtv;*.xesc");
    // The list repeats two patterns, once among the audio and once among the
    // video types.
    size_t count = 0;
    std::vector<std::wstring> seen;
    for (size_t start = 0; start <= patterns.size();) {
        size_t end = patterns.find(L';', start);
        if (end == std::wstring::npos)
            end = patterns.size();
        const std::wstring one = patterns.substr(start, end - start);
        EXPECT_EQ(one.compare(0, 2, L"*."), 0) << one;
        seen.push_back(one);
        ++count;
        start = end + 1;
    }
    EXPECT_EQ(count, 116u);
    for (const wchar_t* twice : {L"*.mp2", L"*.ogg"}) {
        size_t n = 0;
        for (const std::wstring& one : seen)
            n += one == twice;
        EXPECT_EQ(n, 2u) << twice;
    }
    EXPECT_EQ(filter.size(), text.size() + 1 + patterns.size() + 2);
    EXPECT_EQ(filter.back(), L'\0');

    FileOpenDialog dialog;
    dialog.SetFilter(filter.c_str());
    const wchar_t* copied = dialog.GetFilterBuffer();
    EXPECT_EQ(std::wmemcmp(copied, filter.data(), filter.size()), 0);
    // Through the pattern list's terminator: 715 characters, then the empty
    // string that ends the list.
    EXPECT_EQ(copied[713], L'c');
    EXPECT_EQ(copied[714], L'\0');
    EXPECT_EQ(copied[715], L'\0');
}

// The caller keeps the list within the buffer; one that does not is copied
// as far as the buffer goes and no further.
TEST(FileOpenDialog, OverlongFilterStopsAtTheBufferEnd)
{
    std::wstring list = L"太长";
    list += L'\0';
    list += std::wstring(3000, L'x');
    list += L'\0';
    list += L'\0';
    FileOpenDialog dialog;
    dialog.SetFilter(list.c_str());
    const wchar_t* copied = dialog.GetFilterBuffer();
    EXPECT_EQ(std::wmemcmp(copied, list.data(), FileOpenDialog::kFilterChars), 0);
    // The member after the filter buffer is untouched.
    EXPECT_EQ(dialog.GetFileBuffer()[0], L'\0');
    dialog.SetFilter(MediaFileFilter().c_str());
    EXPECT_STREQ(copied, kFilterText);
    EXPECT_EQ(copied[716], L'\0');
}

TEST(FileOpenDialog, FileBufferSizes)
{
    FileOpenDialog dialog;
    wchar_t* const inlineBuffer = dialog.GetFileBuffer();
    struct Case {
        size_t asked;
        DWORD size;
        bool onHeap;
    };
    const Case cases[] = {
        {1024, 260, false}, {200, 260, false}, {1025, 1025, true}, {26000, 26000, true}, {0, 260, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        dialog.SetFileBufferSize(c.asked);
        EXPECT_EQ(dialog.GetRecord().nMaxFile, c.size);
        EXPECT_EQ(dialog.GetFileBuffer() != inlineBuffer, c.onHeap);
        const wchar_t* buffer = dialog.GetFileBuffer();
        bool zeroed = true;
        for (DWORD i = 0; i < c.size; ++i)
            zeroed = zeroed && buffer[i] == L'\0';
        EXPECT_TRUE(zeroed);
    }
}

TEST(FileOpenDialog, PathIteration)
{
    struct Case {
        const char* what;
        bool multi;
        std::wstring buffer;
        std::vector<std::wstring> paths;
    };
    const Case cases[] = {
        {"single select", false, std::wstring(L"C:\\音频\\a.mp3"), {L"C:\\音频\\a.mp3"}},
        {"one file in a multi-select", true, std::wstring(L"C:\\音频\\a.mp3\0\0", 14), {L"C:\\音频\\a.mp3"}},
        {"three files",
         true,
         std::wstring(L"C:\\音频\0a.mp3\0b.wav\0c.mp4\0\0", 26),
         {L"C:\\音频\\a.mp3", L"C:\\音频\\b.wav", L"C:\\音频\\c.mp4"}},
        {"three files in a drive's root",
         true,
         std::wstring(L"D:\\\0x.mp3\0y.mp3\0z.mp3\0\0", 23),
         {L"D:\\x.mp3", L"D:\\y.mp3", L"D:\\z.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileOpenDialog dialog;
        dialog.SetMultiSelect(c.multi);
        dialog.SetFileBufferSize(26000);
        FillFileBuffer(dialog, c.buffer);
        EXPECT_EQ(AllPaths(dialog), c.paths);
    }
}

TEST(FileOpenDialog, IterationStopsAtTheEndOfAFullBuffer)
{
    FileOpenDialog dialog;
    dialog.SetMultiSelect(true);
    dialog.SetFileBufferSize(1024);  // 260 characters
    wchar_t* buffer = dialog.GetFileBuffer();
    std::wmemset(buffer, L'n', 260);
    buffer[3] = L'\0';
    const std::vector<std::wstring> paths = AllPaths(dialog);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], L"nnn\\" + std::wstring(256, L'n'));
}

using AppTest::DialogPresser;

TEST(FileOpenDialog, CancelledDialogReportsZero)
{
    FileOpenDialog dialog;
    const std::wstring filter = MediaFileFilter();
    dialog.SetFilter(filter.c_str());
    dialog.SetMultiSelect(true);
    dialog.SetTitle(L"选择文件");
    dialog.SetFileBufferSize(26000);
    int shown = -1;
    {
        DialogPresser presser(IDCANCEL);
        shown = dialog.Show();
        EXPECT_TRUE(presser.Pressed());
    }
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(dialog.GetFileBuffer()[0], L'\0');
}

TEST(FileOpenDialog, ChosenFilesComeBackOnePathEach)
{
    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring folder = current;
    if (folder.back() == L'\\')
        folder.pop_back();
    FileOpenDialog dialog;
    dialog.SetFilter(MediaFileFilter().c_str());
    dialog.SetMultiSelect(true);
    dialog.SetFileBufferSize(26000);
    int shown = 0;
    {
        DialogPresser presser(IDOK, L"\"甲.wav\" \"乙.mp4\"");
        shown = dialog.Show();
        EXPECT_TRUE(presser.Pressed());
    }
    ASSERT_NE(shown, 0);
    const std::vector<std::wstring> expected = {folder + L"\\甲.wav", folder + L"\\乙.mp4"};
    EXPECT_EQ(AllPaths(dialog), expected);
}

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

// A folder's name with its parent's, as the browser's tree shows the two.
std::wstring FolderAndParent(const std::wstring& path)
{
    const size_t leaf = path.find_last_of(L'\\');
    const size_t parent =
        leaf == std::wstring::npos || leaf == 0 ? std::wstring::npos : path.find_last_of(L'\\', leaf - 1);
    return parent == std::wstring::npos ? path : path.substr(parent + 1);
}

// Reads a folder's list of entries, as the folder browser does. A folder's
// last-access time moves at the first read after its entries change, and
// Wine's browser matches the folders of the path it was given against the
// ones it lists byte for byte, that time included: a browse that is itself
// the first to read a folder just changed finds no match on its path and
// leaves the tree on an ancestor.
void ReadEntries(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    while (search && FindNextFileW(search.get(), &entry)) {
    }
}

// A browse whose button is pressed once the tree has selected the wanted
// folder (when one is given).
std::wstring Browse(int button, const std::wstring& initial, bool keepLast,
                    const std::wstring& expectedFolder = std::wstring())
{
    DialogPresser presser(button, std::wstring(),
                          expectedFolder.empty() ? std::wstring() : FolderAndParent(expectedFolder));
    const std::wstring chosen = BrowseForFolder(nullptr, L"", initial, keepLast);
    presser.Finish();
    EXPECT_TRUE(presser.Pressed());
    if (!expectedFolder.empty()) {
        EXPECT_TRUE(presser.SelectionSeen()) << "the tree had " << presser.LastSelection() << " selected";
    }
    return chosen;
}

TEST(BrowseForFolder, RemembersTheLastFolderInTheProgramWideGlobal)
{
    const HRESULT com = CoInitialize(nullptr);
    const std::wstring leaf = L"vantorin_browse_test";
    const std::wstring first = TempFolder() + L"\\" + leaf;
    const std::wstring otherLeaf = L"vantorin_browse_other";
    const std::wstring other = TempFolder() + L"\\" + otherLeaf;
    CreateDirectoryW(first.c_str(), nullptr);
    CreateDirectoryW(other.c_str(), nullptr);
    for (const std::wstring& folder : {TempFolder(), first, other})
        ReadEntries(folder);

    EXPECT_EQ(Browse(IDOK, first, true, first), first);
    EXPECT_EQ(g_browseFolder, first);
    EXPECT_EQ(Browse(IDCANCEL, L"", true), L"");
    EXPECT_EQ(g_browseFolder, first);
    // The next browse opens on the folder chosen before the cancel.
    EXPECT_EQ(Browse(IDOK, L"", true, first), first);
    // Without keepLast the dialog no longer opens there.
    EXPECT_NE(Browse(IDOK, L"", false), first);
    EXPECT_NE(g_browseFolder, first);

    // The remembered folder is the program's one global: what it holds is
    // where the next browse opens.
    g_browseFolder = other;
    EXPECT_EQ(Browse(IDOK, L"", true, other), other);

    RemoveDirectoryW(first.c_str());
    RemoveDirectoryW(other.c_str());
    if (SUCCEEDED(com))
        CoUninitialize();
}

}  // namespace
