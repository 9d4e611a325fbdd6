// The crash-dump writer, seen from outside: a child program faults and the
// test looks at its exit code and at the dumps it left.
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring ExeFolder()
{
    return testfiles::OwnExeDir() + L"\\";
}

std::wstring LocalStamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return stamp;
}

std::vector<std::wstring> FilesMatching(const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

bool StartsWithMinidumpSignature(const std::wstring& path)
{
    return testfiles::ReadBytes(path).compare(0, 4, "MDMP") == 0;
}

bool IsDigits(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

class CrashDumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The child makes the folder itself.
        folder_ = testfiles::FreshFolder(L"vantorin_crash_" + std::to_wstring(GetCurrentProcessId()));
        RemoveDirectoryW(folder_.c_str());
    }

    void TearDown() override { testfiles::RemoveTree(folder_); }

    // Runs the child in the given mode and returns its exit code.
    DWORD RunChild(const std::wstring& mode)
    {
        return static_cast<DWORD>(
            testfiles::RunToEnd(ExeFolder() + L"crash_dump_child.exe", mode + L" \"" + folder_ + L"\""));
    }

    std::wstring folder_;
};

TEST_F(CrashDumpTest, FaultWritesStampedDumpIntoFolderAndExitsWithExceptionCode)
{
    // Dumps are named to the second; the window brackets the child's run.
    const std::wstring before = LocalStamp();
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunChild(L"write"));
    const std::wstring after = LocalStamp();

    const std::vector<std::wstring> dumps = FilesMatching(folder_ + L"\\*");
    ASSERT_EQ(1u, dumps.size());
    const std::wstring& name = dumps[0];
    ASSERT_EQ(18u, name.size()) << WideToAnsi(name);
    EXPECT_EQ(L".dmp", name.substr(14));
    const std::wstring stamp = name.substr(0, 14);
    EXPECT_TRUE(IsDigits(stamp));
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
    EXPECT_TRUE(StartsWithMinidumpSignature(folder_ + L"\\" + name));
}

TEST_F(CrashDumpTest, DumpGoesBesideProgramWhenFolderIsGone)
{
    const std::wstring pattern = ExeFolder() + L"crash_dump_child.exe.*.dmp";
    for (const std::wstring& name : FilesMatching(pattern))
        DeleteFileW((ExeFolder() + name).c_str());

    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunChild(L"removed"));

    const std::vector<std::wstring> dumps = FilesMatching(pattern);
    ASSERT_EQ(1u, dumps.size());
    const std::wstring stamp = dumps[0].substr(std::wstring(L"crash_dump_child.exe.").size(), 14);
    EXPECT_TRUE(IsDigits(stamp)) << WideToAnsi(dumps[0]);
    EXPECT_TRUE(StartsWithMinidumpSignature(ExeFolder() + dumps[0]));
    DeleteFileW((ExeFolder() + dumps[0]).c_str());
}

TEST_F(CrashDumpTest, StackOverflowStillWritesDump)
{
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_STACK_OVERFLOW), RunChild(L"overflow"));
    const std::vector<std::wstring> dumps = FilesMatching(folder_ + L"\\*.dmp");
    ASSERT_EQ(1u, dumps.size());
    EXPECT_TRUE(StartsWithMinidumpSignature(folder_ + L"\\" + dumps[0]));
}

TEST_F(CrashDumpTest, DisabledWriterLeavesFaultToSystem)
{
    const DWORD exitCode = RunChild(L"disabled");
    EXPECT_NE(0u, exitCode);
    EXPECT_TRUE(FilesMatching(folder_ + L"\\*").empty());
}

} // namespace
