#pragma once
// The program's folders and its settings file "config.ini" (section "Vantorin").
#include <string>
#include <vector>

// The local application-data folder + "\Vantorin", created when missing.
// Computed once per process.
std::string GetAppDataDir();
// GetAppDataDir() + "\Temp", created when missing.
std::string GetTempDir();
// Deletes the plain files directly inside Temp; sub-folders stay.
void ClearTempDir();
// The folder of the running executable, without a trailing backslash.
std::string GetExeDir();
// The main settings file, or with besideExe the mirror in the program
// folder's "Vantorin" folder.
std::wstring GetConfigPath(bool besideExe);
// folder + "\" + name of at most max plain files, oldest creation time first;
// files created at the same instant count as one.
std::vector<std::string> ListFiles(const std::string& folder, size_t max);

// The key's value in the section "Vantorin" of a settings file, cut to
// size - 1 characters; the default, whole, when the key is missing.
std::wstring ReadSettingString(const std::wstring& file, const std::wstring& key, const std::wstring& defaultValue,
                               unsigned size);

// Reads come from the main file; writes go to the main file and to the mirror
// when its folder exists.
int ReadConfigInt(const std::wstring& key, int defaultValue);
std::wstring ReadConfigString(const std::wstring& key, const std::wstring& defaultValue, unsigned size);
void WriteConfigString(const std::wstring& key, const std::wstring& value);
void WriteConfigInt(const std::wstring& key, int value);
