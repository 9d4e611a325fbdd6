// The crash-dump writer, seen from outside: a child program faults and the
// test looks at its exit code and at the dumps it left.
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include "Win32Prelude.h"

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

struct ChildRun {
    bool started = false;
    bool ended = false;  // within the bound; a child that did not is ended here
    DWORD exitCode = 0;
};

ChildRun RunChildWithin(const std::wstring& program, const std::wstring& arguments, DWORD milliseconds)
{
    ChildRun run;
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    run.started =
        CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info) != FALSE;
    if (!run.started)
        return run;
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);
    run.ended = WaitForSingleObject(process.get(), milliseconds) == WAIT_OBJECT_0;
    if (!run.ended) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
    }
    GetExitCodeProcess(process.get(), &run.exitCode);
    return run;
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

    // Runs a copy of the child, in the given mode, with the given library as
    // its dump library, for at most milliseconds.
    ChildRun RunChildWithLibrary(const std::wstring& library, const std::wstring& mode, DWORD milliseconds)
    {
        const std::wstring program = testfiles::FreshFolder(L"vantorin_crash_dbghelp");
        ChildRun run;
        if (!CopyFileW((ExeFolder() + L"crash_dump_child.exe").c_str(), (program + L"\\crash_dump_library.exe").c_str(),
                       FALSE) ||
            !CopyFileW((ExeFolder() + library).c_str(), (program + L"\\DBGHELP.DLL").c_str(), FALSE)) {
            ADD_FAILURE() << "cannot set up the child's folder";
            return run;
        }
        // Wine, which runs these tests, prefers its own build of the library
        // to one named by path unless told otherwise for the program; on
        // Windows the key means nothing. It is removed again below.
        const wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\crash_dump_library.exe\\DllOverrides";
        const wchar_t kNative[] = L"native";
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetKeyValueW(HKEY_CURRENT_USER, kOverrides, L"dbghelp", REG_SZ, kNative, sizeof kNative));
        run = RunChildWithin(program + L"\\crash_dump_library.exe", mode + L" \"" + folder_ + L"\"", milliseconds);
        testfiles::RemoveTree(program);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\crash_dump_library.exe");
        return run;
    }

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
    const ChildRun run = RunChildWithLibrary(L"faulting_dbghelp.dll", L"write", 60000);
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.ended) << "the writer waits for itself";
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), run.exitCode);
    // The library that ran was the faulting one: it wrote nothing into the file.
    const std::vector<std::wstring> dumps = FilesMatching(folder_ + L"\\*.dmp");
    ASSERT_EQ(1u, dumps.size());
    EXPECT_TRUE(testfiles::ReadBytes(folder_ + L"\\" + dumps[0]).empty());
}

// The fault comes while the faulting thread holds a lock that every new
// thread needs to start (the loader lock, as inside a DLL's entry point, or
// the heap lock): the dump cannot be written, but the process must still end,
// with the fault's code, instead of waiting for ever.
TEST_F(CrashDumpTest, FaultHoldingStartUpLockStillEndsTheProcess)
{
    for (const wchar_t* mode : {L"loaderlock", L"heaplock"}) {
        SCOPED_TRACE(WideToAnsi(mode));
        // The writer's own bounds are 10 s for the start and 60 s for the
        // dump; the rest is room for a loaded machine.
        const ChildRun run = RunChildWithin(ExeFolder() + L"crash_dump_child.exe",
                                            std::wstring(mode) + L" \"" + folder_ + L"\"", 150000);
        ASSERT_TRUE(run.started);
        EXPECT_TRUE(run.ended) << "the writer waits without limit";
        EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), run.exitCode);
    }
}

// Two threads fault within the same second, so both dumps would get the same
// name: the dump left must be whole, not emptied or overwritten by the
// other. At the same moment with the real library; and a tenth of a second
// apart with one that writes slowly without stopping the other thread, so
// the second fault comes while the first dump is being written.
TEST_F(CrashDumpTest, TwoThreadsFaultingAtOnceLeaveOnlyWholeDumps)
{
    {
        SCOPED_TRACE("system library");
        EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunChild(L"twothreads"));
        const std::vector<std::wstring> dumps = FilesMatching(folder_ + L"\\*");
        EXPECT_GE(dumps.size(), 1u);
        EXPECT_LE(dumps.size(), 2u);
        for (const std::wstring& name : dumps)
            EXPECT_TRUE(StartsWithMinidumpSignature(folder_ + L"\\" + name)) << WideToAnsi(name);
    }
    {
        SCOPED_TRACE("slow library");
        testfiles::RemoveTree(folder_);
        const ChildRun run = RunChildWithLibrary(L"slow_dbghelp.dll", L"staggered", 60000);
        ASSERT_TRUE(run.started);
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), run.exitCode);
        const std::vector<std::wstring> dumps = FilesMatching(folder_ + L"\\*");
        EXPECT_GE(dumps.size(), 1u);
        EXPECT_LE(dumps.size(), 2u);
        // Only the first fault's call writes: a second one, into the same
        // file or another, shows by its number.
        for (const std::wstring& name : dumps)
            EXPECT_EQ("MDMP 1 slow dump, written whole", testfiles::ReadBytes(folder_ + L"\\" + name))
                << WideToAnsi(name);
    }
}

TEST_F(CrashDumpTest, DisabledWriterLeavesFaultToSystem)
{
    const DWORD exitCode = RunChild(L"disabled");
    EXPECT_NE(0u, exitCode);
    EXPECT_TRUE(FilesMatching(folder_ + L"\\*").empty());
}

}  // namespace
