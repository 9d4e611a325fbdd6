#pragma once
// Asks the maker's update service, on a thread of its own, whether a newer
// version exists and which of the program's files differ from its file list;
// every step is posted to a window as WM_UPDATE_NOTIFY.
#include "Lock.h"
#include "Sha1.h"

#include "Win32Prelude.h"

#include <json/value.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <string>

// wParam: 0 scanning a folder, 1 remote version known, 2 error, 3 up to date,
// 4 files to update. lParam: an UpdateMsg (the receiver deletes it) or 0.
constexpr UINT WM_UPDATE_NOTIFY = 0x800;

struct UpdateMsg {
    std::wstring error;  // an error text
    std::string text;    // a version or a folder
};

struct UpdateFileEntry {
    std::string fullPath;
    std::string relativePath;
    uint32_t size = 0;  // kept, never compared
    uint8_t digest[kSha1DigestSize] = {};
};

// The local application-data folder + "\Vantorin", never created (unlike
// GetAppDataDir); empty when the shell fails.
std::string GetUpdateDataDir();
std::wstring GetUpdateConfigPath();
// As ReadConfigString, on GetUpdateConfigPath().
std::wstring ReadUpdateConfigString(const std::wstring& key, const std::wstring& defaultValue, unsigned size);

// 0-9, a-f and A-F give their value, anything else 0.
int HexDigitValue(char digit);
// Reads 40 hexadecimal digits, high digit first; digits missing from a
// shorter text count as 0.
void ReadDigest(const std::string& text, uint8_t digest[kSha1DigestSize]);

class CUpdateChecker {
public:
    CUpdateChecker();
    CUpdateChecker(const CUpdateChecker&) = delete;
    CUpdateChecker& operator=(const CUpdateChecker&) = delete;

    void SetNotifyWindow(HWND window);
    // Starts a check on a detached thread. While one is still running no
    // second one starts; true means a check is under way either way, false
    // that no thread could be made.
    bool Start();
    bool IsChecking() const;

    bool HasRemoteVersion();
    // Byte-wise comparisons of the version texts, not numeric ones.
    bool IsNewVersionAvailable();
    bool IsUpdateRequired();

private:
    static DWORD WINAPI ThreadProc(void* checker);
    void RunCheck();
    void ClearCheck();
    int GetRemoteVersion();
    int ReadLocalManifest();
    void ScanProgramFiles();
    void ScanFolder(const std::string& folder);
    void AddLocalFile(const std::string& fullPath, uint32_t size);
    int GetRemoteManifest();
    void CompareFiles();
    bool ReadFileEntry(const Json::Value& element, UpdateFileEntry& entry) const;
    void Post(WPARAM state, UpdateMsg* message);
    void PostError(const std::wstring& error);

    std::string programFolder_;
    std::string manifestReply_;
    std::string versionReply_;
    std::map<std::string, UpdateFileEntry> localFiles_;
    Json::Value remoteManifest_;
    Json::Value versionDocument_;
    std::atomic<HWND> notifyWindow_{nullptr};
    std::list<UpdateFileEntry> updateList_;
    std::string updateUrl_;
    std::string appName_;

    // The version texts are written by the check's thread and read by the
    // UI thread.
    CLock versionLock_;
    std::string localVersion_;
    std::string latestVersion_;
    std::string minimumVersion_;

    std::atomic<bool> checking_{false};
};
