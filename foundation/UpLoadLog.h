#pragma once
// The diagnostics upload: once per process, before the log is opened, the
// crash dumps of an earlier run are zipped with the log and the settings and
// posted to the maker's diagnostics service on a thread of their own.
#include "Win32Prelude.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decides whether the crash dumps of an earlier run go to the maker's
// service. The logger's initialiser calls it once per process, before it
// opens the log, so the previous run's log goes out whole.
void UploadDiagnostics(const std::string& appDataDir);

// The program entry calls this once libcurl's global initialisation is done:
// an upload started while the globals were initialised waits for it.
void SetHttpLibraryReady();

// Stamps are "%Y%m%d%H%M" read as numbers; an upload is due once now is at
// least 60 above the last one.
bool IsUploadDue(int64_t now, int64_t last);
// The leading decimal digits of a stamp; 0 when it has none (a blank or a
// sign is not a digit).
int64_t ReadStamp(const std::wstring& text);

// Zips the files and posts the archive on a thread of its own; sentDumps are
// deleted once the service has accepted it, and the oldest dropIfRefused of
// them once it was offered, whatever the reply.
void UploadLogFiles(const std::vector<std::string>& files, const std::string& url,
                    const std::vector<std::string>& sentDumps, size_t dropIfRefused);
// The archive's path in Temp, or empty when there is nothing to zip or the
// archive could not be written.
std::string ZipLogFiles(const std::vector<std::string>& files);
// The path to put into the archive for one file: the file itself when it can
// be read, else a copy of it in Temp.
std::string PrepareZipSource(const std::string& path);
// Posts the record's archive and deletes the record.
DWORD WINAPI UploadLogThreadProc(void* record);

class CUpLoadLog {
public:
    CUpLoadLog(const std::string& zipPath, const std::string& url, const std::vector<std::string>& sentDumps,
               size_t dropIfRefused);
    // Posts the archive, then deletes it. Once the service has accepted it
    // (HTTP 200) the dumps it carries are deleted; refused or not answered,
    // the oldest dropIfRefused of them go all the same, now that they were
    // offered.
    void DoWork();

private:
    void DropUnsent();

    std::string zipPath_;
    std::string url_;
    std::vector<std::string> sentDumps_;
    size_t dropIfRefused_;
};
