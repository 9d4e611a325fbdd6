#include "AppPaths.h"
#include "StringUtils.h"
#include "TestFiles.h"
#include "UpdateChecker.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

std::wstring AppDataDir()
{
    return AnsiToWide(GetAppDataDir());
}

// Saves the shared settings file and restores it afterwards; the mirror
// folder beside the test program exists only while a case asks for it.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mainFile_ = GetConfigPath(false);
        mirrorFolder_ = testfiles::OwnExeDir() + L"\\Vantorin";
        hadMain_ = testfiles::Exists(mainFile_);
        saved_ = testfiles::ReadBytes(mainFile_);
        DeleteFileW(mainFile_.c_str());
        testfiles::RemoveTree(mirrorFolder_);
    }
    void TearDown() override
    {
        testfiles::RemoveTree(mirrorFolder_);
        DeleteFileW(mainFile_.c_str());
        if (hadMain_)
            testfiles::WriteBytes(mainFile_, saved_);
    }

    static std::wstring ReadRaw(const std::wstring& file, const std::wstring& key)
    {
        wchar_t value[200] = {};
        GetPrivateProfileStringW(L"Vantorin", key.c_str(), L"<missing>", value, 200, file.c_str());
        return value;
    }

    std::wstring mainFile_;
    std::wstring mirrorFolder_;
    bool hadMain_ = false;
    std::string saved_;
};

TEST_F(SettingsTest, PathsOfBothFiles)
{
    EXPECT_EQ(mainFile_, AppDataDir() + L"\\config.ini");
    EXPECT_EQ(GetConfigPath(true), testfiles::OwnExeDir() + L"\\Vantorin\\config.ini");
}

TEST_F(SettingsTest, ReadsAndWritesWithAndWithoutTheMirror)
{
    for (bool mirror : {false, true}) {
        SCOPED_TRACE(mirror ? "mirror folder present" : "mirror folder absent");
        DeleteFileW(mainFile_.c_str());
        testfiles::RemoveTree(mirrorFolder_);
        if (mirror) {
            ASSERT_TRUE(CreateDirectoryW(mirrorFolder_.c_str(), nullptr));
        }

        EXPECT_EQ(ReadConfigInt(L"RecgType", 0), 0);
        EXPECT_EQ(ReadConfigInt(L"Debug", 7), 7);
        EXPECT_EQ(ReadConfigString(L"UploadLogTime", L"0", 200), L"0");
        EXPECT_EQ(ReadConfigString(L"AppName", L"Vantorin", 50), L"Vantorin");

        WriteConfigInt(L"RecgType", 1);
        WriteConfigInt(L"Optimize", -12);
        WriteConfigString(L"UploadLogTime", L"202612082318");
        EXPECT_EQ(ReadConfigInt(L"RecgType", 0), 1);
        EXPECT_EQ(ReadConfigInt(L"Optimize", 0), -12);
        EXPECT_EQ(ReadConfigString(L"UploadLogTime", L"0", 200), L"202612082318");
        EXPECT_EQ(ReadRaw(mainFile_, L"RecgType"), L"1");

        const std::wstring mirrorFile = GetConfigPath(true);
        if (mirror) {
            EXPECT_EQ(ReadRaw(mirrorFile, L"RecgType"), L"1");
            EXPECT_EQ(ReadRaw(mirrorFile, L"UploadLogTime"), L"202612082318");
            // Reads never come from the mirror.
            WritePrivateProfileStringW(L"Vantorin", L"Debug", L"1", mirrorFile.c_str());
            EXPECT_EQ(ReadConfigInt(L"Debug", 0), 0);
        } else {
            EXPECT_FALSE(testfiles::Exists(mirrorFolder_));
        }
    }
}

TEST_F(SettingsTest, LongValuesAreCutToTheBufferButMissingKeysGiveTheWholeDefault)
{
    WriteConfigString(L"DownloadURL", L"abcdefghij");
    WriteConfigString(L"AppName", L"");
    struct Case {
        const wchar_t* key;
        const wchar_t* defaultValue;
        unsigned size;
        const wchar_t* read;
    };
    const Case cases[] = {
        {L"DownloadURL", L"", 5, L"abcd"},
        {L"DownloadURL", L"", 50, L"abcdefghij"},
        {L"DownloadURL", L"a long default", 5, L"abcd"},
        {L"AppName", L"Vantorin", 5, L""},                                        // present, empty
        {L"UpdateUrl", L"http://127.0.0.1:19999", 5, L"http://127.0.0.1:19999"},  // missing
        {L"UpdateUrl", L"-", 2, L"-"},
        {L"DownloadURL", L"a default", 0, L""},  // present, no room
        {L"UpdateUrl", L"a default", 0, L"a default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.key) + " " + std::to_string(c.size));
        EXPECT_EQ(ReadConfigString(c.key, c.defaultValue, c.size), c.read);
        // The update checker's own reading of the same file.
        EXPECT_EQ(ReadUpdateConfigString(c.key, c.defaultValue, c.size), c.read);
    }
}

TEST_F(SettingsTest, ChineseValuesSurvive)
{
    ASSERT_EQ(GetACP(), 936u);
    ASSERT_TRUE(CreateDirectoryW(mirrorFolder_.c_str(), nullptr));
    const std::wstring value = L"\u8BED\u97F3\u8F6C\u6587\u5B57 v1";  // 语音转文字 v1
    WriteConfigString(L"DownloadURL", value);
    EXPECT_EQ(ReadConfigString(L"DownloadURL", L"", 50), value);
    EXPECT_EQ(ReadRaw(GetConfigPath(true), L"DownloadURL"), value);
    // The file itself holds the text in the system code page.
    EXPECT_NE(testfiles::ReadBytes(mainFile_).find("\xD3\xEF\xD2\xF4\xD7\xAA\xCE\xC4\xD7\xD6 v1"), std::string::npos);
}

TEST(AppFolders, AppDataFolderIsTheLocalOneAndExists)
{
    PWSTR local = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)));
    const std::wstring expected = std::wstring(local) + L"\\Vantorin";
    CoTaskMemFree(local);
    EXPECT_EQ(AppDataDir(), expected);
    const DWORD attributes = GetFileAttributesW(expected.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const wchar_t kLookUpChild[] = L"VANTORIN_APPDATA_CHILD";

// Moves the application-data folder aside for a case and puts it back after,
// dropping whatever the case made in its place.
class AppDataFolderAside : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = AppDataDir();
        aside_ = folder_ + L".aside";
        testfiles::RemoveTree(aside_);
        if (!MoveFileW(folder_.c_str(), aside_.c_str()))
            GTEST_SKIP() << "the folder cannot be moved while in use";
        moved_ = true;
    }
    void TearDown() override
    {
        if (!moved_)
            return;
        testfiles::RemoveTree(folder_);
        EXPECT_TRUE(MoveFileW(aside_.c_str(), folder_.c_str()));
    }

    bool FolderExists() const
    {
        const DWORD attributes = GetFileAttributesW(folder_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::wstring folder_;
    std::wstring aside_;
    bool moved_ = false;
};

// The folder is looked up once per process: moved away, it is neither looked
// up nor created again, and the cached path comes back.
TEST_F(AppDataFolderAside, IsComputedOnce)
{
    EXPECT_EQ(AppDataDir(), folder_);
    EXPECT_FALSE(FolderExists());
}

// A fresh process on an account without the folder creates it.
TEST_F(AppDataFolderAside, FirstLookUpCreatesIt)
{
    EXPECT_EQ(testfiles::RunChildTests(L"AppFolders.ChildLooksUp", kLookUpChild), 0);
    EXPECT_TRUE(FolderExists());
}

TEST(AppFolders, ChildLooksUp)
{
    if (!testfiles::IsChild(kLookUpChild))
        GTEST_SKIP() << "runs only as the child of AppDataFolderAside.FirstLookUpCreatesIt";
    EXPECT_TRUE(testfiles::Exists(AppDataDir()));
}

TEST(AppFolders, ExeDirIsTheProgramsFolder)
{
    EXPECT_EQ(AnsiToWide(GetExeDir()), testfiles::OwnExeDir());
}

TEST(AppFolders, ClearTempDirKeepsSubFolders)
{
    const std::wstring temp = AnsiToWide(GetTempDir());
    EXPECT_EQ(temp, AppDataDir() + L"\\Temp");
    const std::wstring sub = temp + L"\\keep";
    CreateDirectoryW(sub.c_str(), nullptr);
    ASSERT_TRUE(testfiles::WriteBytes(temp + L"\\a.wav", "a"));
    ASSERT_TRUE(testfiles::WriteBytes(temp + L"\\\u4E2D.txt", "b"));
    ASSERT_TRUE(testfiles::WriteBytes(sub + L"\\inner.txt", "c"));

    ClearTempDir();
    EXPECT_FALSE(testfiles::Exists(temp + L"\\a.wav"));
    EXPECT_FALSE(testfiles::Exists(temp + L"\\\u4E2D.txt"));
    EXPECT_TRUE(testfiles::Exists(sub + L"\\inner.txt"));
    testfiles::RemoveTree(sub);
}

class ListFilesTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = testfiles::FreshFolder(L"vantorin_list_files"); }
    void TearDown() override { testfiles::RemoveTree(folder_); }

    // A file whose creation time is the given number of minutes after a fixed
    // day. Wine keeps the real creation time whatever SetFileTime says, so the
    // files are also created in that order, each later than the one before.
    void MakeFile(const std::wstring& name, int minutes)
    {
        const std::wstring path = folder_ + L"\\" + name;
        lastCreated_ = testfiles::WriteBytesCreatedAfter(path, std::string(), lastCreated_);
        ASSERT_NE(lastCreated_, 0u);
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SYSTEMTIME day = {2026, 12, 0, 8, 10, 0, 0, 0};
        FILETIME time;
        SystemTimeToFileTime(&day, &time);
        ULARGE_INTEGER value;
        value.LowPart = time.dwLowDateTime;
        value.HighPart = time.dwHighDateTime;
        value.QuadPart += static_cast<ULONGLONG>(minutes) * 60 * 10000000;
        time.dwLowDateTime = value.LowPart;
        time.dwHighDateTime = value.HighPart;
        EXPECT_TRUE(SetFileTime(file, &time, nullptr, nullptr));
        CloseHandle(file);
    }

    std::string Entry(const char* name) const { return WideToAnsi(folder_) + "\\" + name; }

    std::wstring folder_;
    ULONGLONG lastCreated_ = 0;
};

TEST_F(ListFilesTest, OldestFirstUpToTheLimit)
{
    MakeFile(L"e.dmp", 10);
    MakeFile(L"a.dmp", 20);
    MakeFile(L"f.dmp", 30);
    CreateDirectoryW((folder_ + L"\\sub").c_str(), nullptr);
    MakeFile(L"c.dmp", 40);
    MakeFile(L"b.dmp", 50);
    MakeFile(L"d.dmp", 60);

    EXPECT_EQ(ListFiles(WideToAnsi(folder_), 4),
              (std::vector<std::string>{Entry("e.dmp"), Entry("a.dmp"), Entry("f.dmp"), Entry("c.dmp")}));
    EXPECT_EQ(ListFiles(WideToAnsi(folder_), 100).size(), 6u);
    EXPECT_TRUE(ListFiles(WideToAnsi(folder_), 0).empty());
}

// Two names of one file (a hard link) share its creation time exactly.
TEST_F(ListFilesTest, SameCreationTimeCountsOnce)
{
    MakeFile(L"z.dmp", 1);
    MakeFile(L"x.dmp", 5);
    ASSERT_TRUE(CreateHardLinkW((folder_ + L"\\y.dmp").c_str(), (folder_ + L"\\x.dmp").c_str(), nullptr));
    const std::vector<std::string> files = ListFiles(WideToAnsi(folder_), 4);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], Entry("z.dmp"));
    EXPECT_TRUE(files[1] == Entry("x.dmp") || files[1] == Entry("y.dmp")) << files[1];
}

TEST_F(ListFilesTest, MissingOrEmptyFolderGivesNothing)
{
    EXPECT_TRUE(ListFiles(WideToAnsi(folder_), 4).empty());
    EXPECT_TRUE(ListFiles(WideToAnsi(folder_ + L"\\none"), 4).empty());
}

}  // namespace
