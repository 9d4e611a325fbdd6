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

// The dump library faults while it writes (a crash that corrupted the heap
// can do that to it): the process still ends, with a fault's code.
TEST_F(CrashDumpTest, FaultWhileDumpingStillEndsTheProcess)
{
    const std::wstring program = testfiles::FreshFolder(L"vantorin_crash_dbghelp");
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"crash_dump_child.exe").c_str(),
                          (program + L"\\crash_dump_faulting.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"faulting_dbghelp.dll").c_str(), (program + L"\\DBGHELP.DLL").c_str(),
                          FALSE));

    // Wine, which runs these tests, prefers its own build of the library to
    // one named by path unless told otherwise for the program; on Windows
    // the key means nothing. It is removed again below.
    const wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\crash_dump_faulting.exe\\DllOverrides";
    const wchar_t kNative[] = L"native";
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kOverrides, L"dbghelp", REG_SZ, kNative,
                                             sizeof kNative));

    std::wstring command = L"\"" + program + L"\\crash_dump_faulting.exe\" write \"" + folder_ + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const BOOL started =
        CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    ScopedHandle process(started ? info.hProcess : nullptr);
    ScopedHandle thread(started ? info.hThread : nullptr);
    const bool ended = started && WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0;
    if (started && !ended) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    testfiles::RemoveTree(program);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\crash_dump_faulting.exe");

    ASSERT_TRUE(started);
    EXPECT_TRUE(ended) << "the writer waits for itself";
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), exitCode);
    // The library that ran was the faulting one: it wrote nothing into the file.
    const std::vector<std::wstring> dumps = FilesMatching(folder_ + L"\\*.dmp");
    ASSERT_EQ(1u, dumps.size());
    EXPECT_TRUE(testfiles::ReadBytes(folder_ + L"\\" + dumps[0]).empty());
}

TEST_F(CrashDumpTest, DisabledWriterLeavesFaultToSystem)
{
    const DWORD exitCode = RunChild(L"disabled");
    EXPECT_NE(0u, exitCode);
    EXPECT_TRUE(FilesMatching(folder_ + L"\\*").empty());
}

} // namespace
