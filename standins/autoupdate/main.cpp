// Stand-in for the updater "AutoUpdate.exe". The real updater is a separate
// product; this one only writes "AutoUpdate.started.txt" beside itself, in
// UTF-8, with two lines: the command line it was given and its own full path,
// so tests can see exactly how the program started it.
#include "Win32Prelude.h"

#include <string>

namespace {

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr, nullptr);
    return result;
}

std::wstring OwnPath()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring self = OwnPath();
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\'));
    const std::string record = ToUtf8(GetCommandLineW()) + "\n" + ToUtf8(self) + "\n";

    HANDLE file = CreateFileW((folder + L"\\AutoUpdate.started.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
