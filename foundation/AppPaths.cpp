#include "AppPaths.h"

#include "ScopedHandle.h"
#include "StringUtils.h"

#include "Win32Prelude.h"
#include <shlobj.h>

#include <cstdint>
#include <map>

namespace {

const wchar_t kSection[] = L"Vantorin";

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void EnsureFolder(const std::wstring& path)
{
    if (!FolderExists(path))
        CreateDirectoryW(path.c_str(), nullptr);
}

std::wstring LocalAppDataFolder()
{
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)) && path)
        result = path;
    CoTaskMemFree(path);
    return result;
}

std::string ComputeAppDataDir()
{
    const std::wstring folder = LocalAppDataFolder() + L"\\" + L"Vantorin";
    EnsureFolder(folder);
    return WideToAnsi(folder);
}

// Calls visit(name, data) for every plain file directly inside folder.
template <typename Visit>
void ForEachPlainFile(const std::string& folder, Visit visit)
{
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(AnsiToWide(folder + "\\*").c_str(), &data));
    if (!find)
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            visit(data);
    } while (FindNextFileW(find.get(), &data));
}

// Whether the section "Vantorin" of a settings file holds the key.
bool HasSetting(const std::wstring& file, const std::wstring& key)
{
    wchar_t probe[2] = {};
    if (GetPrivateProfileStringW(kSection, key.c_str(), L"", probe, 2, file.c_str()) > 0)
        return true;
    // Nothing read: an empty value, or the empty default of a missing key.
    GetPrivateProfileStringW(kSection, key.c_str(), L"-", probe, 2, file.c_str());
    return probe[0] != L'-';
}

}  // namespace

std::string GetAppDataDir()
{
    // Never destroyed: threads that outlive the program entry (REST pieces
    // are left to finish) may still ask while the globals are torn down.
    static const std::string& cached = *new std::string(ComputeAppDataDir());
    return cached;
}

std::string GetTempDir()
{
    const std::string folder = GetAppDataDir() + "\\Temp";
    EnsureFolder(AnsiToWide(folder));
    return folder;
}

void ClearTempDir()
{
    const std::string folder = GetTempDir();
    ForEachPlainFile(folder, [&](const WIN32_FIND_DATAW& file) {
        DeleteFileW((AnsiToWide(folder) + L"\\" + file.cFileName).c_str());
    });
}

std::string GetExeDir()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : MAX_PATH);
    const size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        folder.resize(slash);
    return WideToAnsi(folder);
}

std::wstring GetConfigPath(bool besideExe)
{
    if (besideExe)
        return AnsiToWide(GetExeDir()) + L"\\" + L"Vantorin" + L"\\config.ini";
    return AnsiToWide(GetAppDataDir()) + L"\\config.ini";
}

std::vector<std::string> ListFiles(const std::string& folder, size_t max)
{
    // Keyed by creation time: files created at the same instant collapse into
    // the one enumerated last.
    std::map<uint64_t, std::wstring> byCreation;
    ForEachPlainFile(folder, [&](const WIN32_FIND_DATAW& file) {
        const uint64_t created =
            (static_cast<uint64_t>(file.ftCreationTime.dwHighDateTime) << 32) | file.ftCreationTime.dwLowDateTime;
        byCreation[created] = file.cFileName;
    });

    std::vector<std::string> files;
    for (const auto& entry : byCreation) {
        if (files.size() >= max)
            break;
        files.push_back(folder + "\\" + WideToAnsi(entry.second));
    }
    return files;
}

int ReadConfigInt(const std::wstring& key, int defaultValue)
{
    return static_cast<int>(GetPrivateProfileIntW(kSection, key.c_str(), defaultValue, GetConfigPath(false).c_str()));
}

std::wstring ReadSettingString(const std::wstring& file, const std::wstring& key, const std::wstring& defaultValue,
                               unsigned size)
{
    // The system would cut a missing key's default to the buffer like a
    // value; the default is given whole.
    if (!HasSetting(file, key))
        return defaultValue;
    // A buffer of no characters holds no value.
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    const DWORD length = GetPrivateProfileStringW(kSection, key.c_str(), L"", &value[0], size, file.c_str());
    value.resize(length < size ? length : size - 1);
    return value;
}

std::wstring ReadConfigString(const std::wstring& key, const std::wstring& defaultValue, unsigned size)
{
    return ReadSettingString(GetConfigPath(false), key, defaultValue, size);
}

void WriteConfigString(const std::wstring& key, const std::wstring& value)
{
    WritePrivateProfileStringW(kSection, key.c_str(), value.c_str(), GetConfigPath(false).c_str());
    // The mirror's folder is never created: only an installation that ships
    // it gets the copy.
    const std::wstring mirror = GetConfigPath(true);
    if (FolderExists(mirror.substr(0, mirror.find_last_of(L'\\'))))
        WritePrivateProfileStringW(kSection, key.c_str(), value.c_str(), mirror.c_str());
}

void WriteConfigInt(const std::wstring& key, int value)
{
    wchar_t text[20];
    swprintf(text, 20, L"%d", value);
    WriteConfigString(key, text);
}
