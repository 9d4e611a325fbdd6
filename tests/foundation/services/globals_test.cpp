// The start of a program, seen from outside: a child program starts after a
// crash run, and the test checks that its dumps were packed with the old log
// before its logger opened the log. Deliberately uses no foundation folder
// helper, so this process opens no log of its own.
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TestFiles.h"
#include "TestZip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include "Win32Prelude.h"

#include <string>
#include <vector>

namespace {

// "日志开始" in GBK: the logger's start banner.
const char kStartBanner[] = "\xC8\xD5\xD6\xBE\xBF\xAA\xCA\xBC";
const char kOldLog[] = "the log of the run that crashed\r\n";

std::wstring AppDataFolder()
{
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    return std::wstring(local) + L"\\Vantorin";
}

std::vector<std::wstring> Matching(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &data));
    if (find) {
        do
            names.push_back(data.cFileName);
        while (FindNextFileW(find.get(), &data));
    }
    return names;
}

TEST(GlobalsTest, DumpsArePackedWithOldLogBeforeLoggerOpensIt)
{
    const std::wstring folder = AppDataFolder();
    const std::wstring temp = folder + L"\\Temp";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\crashDumps").c_str(), nullptr);
    for (const std::wstring& zip : Matching(temp, L"Vantorin*Log.zip"))
        DeleteFileW((temp + L"\\" + zip).c_str());
    // Dumps that another test's programs kept would be packed too.
    for (const std::wstring& dump : Matching(folder + L"\\crashDumps", L"*.dmp"))
        DeleteFileW((folder + L"\\crashDumps\\" + dump).c_str());
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"\\crashDumps\\20261209230000.dmp", "MDMP crashed run"));
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"\\Vantorin.log", kOldLog));
    const std::wstring config = folder + L"\\config.ini";
    WritePrivateProfileStringW(L"Vantorin", L"UploadLogTime", L"0", config.c_str());

    ASSERT_EQ(0, testfiles::RunToEnd(testfiles::OwnExeDir() + L"\\globals_child.exe", L""));

    // The child ends before its upload could send anything (only the
    // program's entry lets it start), so the dump waits for a later start.
    EXPECT_EQ(std::vector<std::wstring>{L"20261209230000.dmp"}, Matching(folder + L"\\crashDumps", L"*.dmp"));
    DeleteFileW((folder + L"\\crashDumps\\20261209230000.dmp").c_str());
    const std::vector<std::wstring> zips = Matching(temp, L"Vantorin*Log.zip");
    ASSERT_EQ(1u, zips.size());
    // The archive holds the old log as it was: no start banner yet.
    EXPECT_EQ(kOldLog, testfiles::ZipEntry(temp + L"\\" + zips[0], "Vantorin.log"));
    EXPECT_EQ("MDMP crashed run", testfiles::ZipEntry(temp + L"\\" + zips[0], "20261209230000.dmp"));

    const std::string log = testfiles::ReadBytes(folder + L"\\Vantorin.log");
    EXPECT_EQ(0u, log.find(kOldLog));
    const size_t banner = log.find(kStartBanner);
    ASSERT_NE(std::string::npos, banner);
    EXPECT_GT(log.find("child ran"), banner);

    wchar_t stamp[32] = {};
    GetPrivateProfileStringW(L"Vantorin", L"UploadLogTime", L"", stamp, 32, config.c_str());
    EXPECT_EQ(12u, wcslen(stamp));
}

}  // namespace
