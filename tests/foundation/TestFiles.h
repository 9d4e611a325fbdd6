#pragma once
// File helpers shared by the foundation tests.
#include "Win32Prelude.h"

#include <string>

namespace testfiles {

inline std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file's creation time as one 64-bit value; 0 when it cannot be read.
inline ULONGLONG CreationTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftCreationTime.dwHighDateTime) << 32) | data.ftCreationTime.dwLowDateTime;
}

// Writes a new file whose creation time is later than after, and returns that
// time (0 on failure). Files meant to be ordered by creation time must be
// created in that order: Wine keeps the real creation time whatever
// SetFileTime says, and file times are coarser than the clock. Probe files,
// each with a name of its own, are created until one carries a later time;
// the file made after it can carry no earlier one.
inline ULONGLONG WriteBytesCreatedAfter(const std::wstring& path, const std::string& bytes, ULONGLONG after)
{
    bool later = false;
    for (int attempt = 0; attempt < 5000 && !later; ++attempt) {
        const std::wstring probe = path + L".probe" + std::to_wstring(attempt);
        if (!WriteBytes(probe, std::string()))
            return 0;
        later = CreationTime(probe) > after;
        DeleteFileW(probe.c_str());
        if (!later)
            Sleep(2);
    }
    if (!later || !WriteBytes(path, bytes))
        return 0;
    return CreationTime(path);
}

// Deletes a folder with everything in it.
inline void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// An empty folder of its own under the system temp folder.
inline std::wstring FreshFolder(const std::wstring& name)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + name;
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

inline std::wstring OwnExePath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

inline std::wstring OwnExeDir()
{
    const std::wstring path = OwnExePath();
    return path.substr(0, path.find_last_of(L'\\'));
}

// Runs a program to its end and returns its exit code, or -1 when it could not
// start. The calling thread's windows keep answering meanwhile.
inline long RunToEnd(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    while (MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return static_cast<long>(code);
}

// Runs the tests matching filter in a copy of a test program (by default this
// one) with the environment variable set, which tells those tests that they
// are the child; they skip themselves otherwise.
inline long RunChildTests(const std::wstring& filter, const wchar_t* variable,
                          const std::wstring& program = OwnExePath())
{
    SetEnvironmentVariableW(variable, L"1");
    // Under a heavily loaded Wine a freshly copied program now and then fails
    // to start at all (-1, before its first line runs); a test's own failure
    // exits with 1, so only the start is tried again.
    long code = -1;
    for (int attempt = 0; attempt < 3 && code == -1; ++attempt) {
        if (attempt > 0)
            Sleep(500);
        code = RunToEnd(program, L"--gtest_filter=" + filter);
    }
    SetEnvironmentVariableW(variable, nullptr);
    return code;
}

inline bool IsChild(const wchar_t* variable)
{
    return GetEnvironmentVariableW(variable, nullptr, 0) != 0;
}

}  // namespace testfiles
