#include "Win32Prelude.h"
#include "CurlHandle.h"

#include "UpLoadLog.h"

#include "AppPaths.h"
#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"

#include <zip.h>
// After zip.h, which brings the declarations it builds on.
#include <iowin32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

// The maker's diagnostics service; a user can point "UploadLogUrl" elsewhere.
const wchar_t kDefaultUploadUrl[] = L"http://diag.vantorin.com:20000/upload";

// Sent per upload, oldest first.
constexpr size_t kMaxDumps = 4;
// The dump folder never holds more than ten dumps, so a service that stays
// away cannot fill the user's disk. A start keeps one place free for the dump
// its own run may leave.
constexpr size_t kDumpFolderLimit = 10;
constexpr size_t kDumpsKeptAtStart = kDumpFolderLimit - 1;
constexpr size_t kMaxZipEntries = 20;
constexpr size_t kCopyBlockSize = 4096;
// The service answers with a short status text.
constexpr size_t kMaxReplyBytes = 1024 * 1024;

// Set once the program entry has run libcurl's global initialisation, which
// is not thread-safe and comes after the globals. The event lives as long as
// the process: an upload thread may still wait on it at exit.
HANDLE HttpReadyEvent()
{
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

std::wstring LocalStamp(const wchar_t* format, size_t size)
{
    const std::time_t now = std::time(nullptr);
    std::vector<wchar_t> text(size, L'\0');
    std::wcsftime(text.data(), size, format, std::localtime(&now));
    return text.data();
}

// The file name after the last separator: archive entries carry no folders.
std::string FileNameOf(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool IsAscii(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Zip readers take an entry name without the language-encoding flag for code
// page 437: a name outside ASCII is stored in UTF-8 with the flag set.
constexpr uLong kUtf8NameFlag = 1u << 11;

bool AddFileToZip(zipFile zip, const std::string& path)
{
    FILE* file = _wfopen(AnsiToWide(path).c_str(), L"rb");
    if (!file)
        return false;
    zip_fileinfo info = {};
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    info.tmz_date = {local->tm_sec,  local->tm_min, local->tm_hour,
                     local->tm_mday, local->tm_mon, local->tm_year + 1900};
    const std::string name = FileNameOf(path);
    const bool ascii = IsAscii(name);
    const std::string storedName = ascii ? name : WideToUtf8(AnsiToWide(name));
    bool written = zipOpenNewFileInZip4_64(zip, storedName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                           Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                           nullptr, 0, 0, ascii ? 0 : kUtf8NameFlag, 0) == ZIP_OK;
    char block[kCopyBlockSize];
    size_t read;
    while (written && (read = std::fread(block, 1, sizeof block, file)) > 0)
        written = zipWriteInFileInZip(zip, block, static_cast<unsigned>(read)) == ZIP_OK;
    written = !std::ferror(file) && written;
    std::fclose(file);
    return zipCloseFileInZip(zip) == ZIP_OK && written;
}

// The archive is opened through the wide-character file calls, so a profile
// path of any language reaches the file system unchanged.
zipFile CreateZip(const std::string& path)
{
    zlib_filefunc64_def wideFiles;
    fill_win32_filefunc64W(&wideFiles);
    const std::wstring widePath = AnsiToWide(path);
    return zipOpen2_64(widePath.c_str(), APPEND_STATUS_CREATE, nullptr, &wideFiles);
}

}  // namespace

void SetHttpLibraryReady()
{
    SetEvent(HttpReadyEvent());
}

bool IsUploadDue(int64_t now, int64_t last)
{
    // Written as last <= now - 60 so a stored stamp far below zero cannot
    // overflow the difference.
    return now >= INT64_MIN + 60 && last <= now - 60;
}

int64_t ReadStamp(const std::wstring& text)
{
    int64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            break;
        const int digit = c - L'0';
        // A stamp too long for 64 bits stays at the largest value.
        if (value > (INT64_MAX - digit) / 10)
            return INT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}

void UploadDiagnostics(const std::string& appDataDir)
{
    const std::vector<std::string> allDumps = ListFiles(appDataDir + "/crashDumps", SIZE_MAX);
    if (allDumps.empty())
        return;

    // The oldest dumps past the limit must go, but none goes unoffered: a
    // folder over the limit is offered whatever the clock says.
    const size_t pastLimit = allDumps.size() > kDumpsKeptAtStart ? allDumps.size() - kDumpsKeptAtStart : 0;
    const std::wstring now = LocalStamp(L"%Y%m%d%H%M", 50);
    const int64_t last = ReadStamp(ReadConfigString(L"UploadLogTime", L"0", 200));
    if (pastLimit == 0 && !IsUploadDue(ReadStamp(now), last))
        return;
    WriteConfigString(L"UploadLogTime", now);

    const std::vector<std::string> dumps(allDumps.begin(), allDumps.begin() + std::min(kMaxDumps, allDumps.size()));
    std::vector<std::string> files = dumps;
    files.push_back(appDataDir + "\\" + "Vantorin.log");
    files.push_back(appDataDir + "\\config.ini");
    // The dumps stay until the service has taken them, those past the limit
    // until they were offered: an upload that fails, or a process that ends
    // before it could send, leaves them for a later start.
    UploadLogFiles(files, WideToAnsi(ReadConfigString(L"UploadLogUrl", kDefaultUploadUrl, 200)), dumps, pastLimit);
}

void UploadLogFiles(const std::vector<std::string>& files, const std::string& url,
                    const std::vector<std::string>& sentDumps, size_t dropIfRefused)
{
    const std::string zipPath = ZipLogFiles(files);
    if (zipPath.empty() || url.empty())
        return;
    auto record = std::make_unique<CUpLoadLog>(zipPath, url, sentDumps, dropIfRefused);
    // A thread that cannot start is not logged: this runs before the logger
    // exists. Its dumps were never offered, so they all stay.
    if (MakeNamedThread(L"diagnostics upload", &UploadLogThreadProc, record.get()))
        record.release();  // the thread's now: UploadLogThreadProc deletes it
}

std::string ZipLogFiles(const std::vector<std::string>& files)
{
    if (files.empty())
        return std::string();
    const std::string zipPath = GetTempDir() + "\\" + "Vantorin" + WideToAnsi(LocalStamp(L"%Y%m%d_%H%M%SLog.zip", 100));

    const size_t count = files.size() < kMaxZipEntries ? files.size() : kMaxZipEntries;
    std::vector<std::string> sources;
    for (size_t i = 0; i < count; ++i)
        sources.push_back(PrepareZipSource(files[i]));

    bool written = false;
    if (zipFile zip = CreateZip(zipPath)) {
        written = true;
        for (const std::string& source : sources) {
            written = AddFileToZip(zip, source);
            if (!written)
                break;
        }
        written = zipClose(zip, nullptr) == ZIP_OK && written;
    }
    if (!written) {
        OutputDebugStringA("create zip failed!!!");
        return std::string();
    }
    return zipPath;
}

std::string PrepareZipSource(const std::string& path)
{
    if (FILE* file = _wfopen(AnsiToWide(path).c_str(), L"rb")) {
        std::fclose(file);
        return path;
    }
    const size_t separator = path.find_last_of('\\');
    const std::string copy = GetTempDir() + (separator == std::string::npos ? "\\" + path : path.substr(separator));
    CopyFileW(AnsiToWide(path).c_str(), AnsiToWide(copy).c_str(), FALSE);
    return copy;
}

DWORD WINAPI UploadLogThreadProc(void* record)
{
    // The program entry initialises libcurl after every global, the logger
    // included, exists: once this wait ends both may be used.
    WaitForSingleObject(HttpReadyEvent(), INFINITE);
    auto* upload = static_cast<CUpLoadLog*>(record);
    upload->DoWork();
    delete upload;
    return 0;
}

CUpLoadLog::CUpLoadLog(const std::string& zipPath, const std::string& url, const std::vector<std::string>& sentDumps,
                       size_t dropIfRefused)
    : zipPath_(zipPath), url_(url), sentDumps_(sentDumps), dropIfRefused_(std::min(dropIfRefused, sentDumps.size()))
{
}

void CUpLoadLog::DoWork()
{
    ScopedCurl curl(curl_easy_init());
    if (!curl)
        return;
    ScopedCurlMime form(curl_mime_init(curl.get()));
    curl_mimepart* part = curl_mime_addpart(form.get());
    curl_mime_name(part, "reqformat");
    curl_mime_data(part, "plain", CURL_ZERO_TERMINATED);
    part = curl_mime_addpart(form.get());
    curl_mime_name(part, "file");
    // This libcurl reads file names as UTF-8 only.
    curl_mime_filedata(part, WideToUtf8(AnsiToWide(zipPath_)).c_str());

    std::string reply;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_MIMEPOST, form.get());
    curl_easy_setopt(curl.get(), CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, curl_version());
    BoundedReply boundedReply{&reply, kMaxReplyBytes};
    CollectReplyWithinLimit(curl.get(), &boundedReply);
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    const CURLcode result = curl_easy_perform(curl.get());
    long responseCode = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &responseCode);
    curl.reset();
    form.reset();
    // The archive has served: a later start packs afresh, and a run that ends
    // in a crash never reaches the close that empties Temp.
    DeleteFileW(AnsiToWide(zipPath_).c_str());

    if (result != CURLE_OK || responseCode != 200) {
        OutputDebugStringA("http post log failed!!!:");
        OutputDebugStringA(errorText);
        g_logger.Write(2, "CUpLoadLog::DoWork", "upload log error. code=%d, response code=%d, %s",
                       static_cast<int>(result), static_cast<int>(responseCode), errorText);
        DropUnsent();
        return;
    }
    OutputDebugStringA(reply.c_str());
    for (const std::string& dump : sentDumps_)
        DeleteFileW(AnsiToWide(dump).c_str());
}

void CUpLoadLog::DropUnsent()
{
    for (size_t i = 0; i < dropIfRefused_; ++i) {
        if (DeleteFileW(AnsiToWide(sentDumps_[i]).c_str()))
            g_logger.Write(2, "CUpLoadLog::DoWork", "too many crash dumps: %s deleted unsent",
                           FileNameOf(sentDumps_[i]).c_str());
    }
}
