#include "Win32Prelude.h"
#include "CurlHandle.h"

#include "UpdateChecker.h"

#include "AppPaths.h"
#include "JsonText.h"
#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

namespace {

// The maker's update service; a user can point "UpdateUrl" elsewhere.
const wchar_t kDefaultUpdateUrl[] = L"http://update.vantorin.com:19999";

// The main window starts a check every ten seconds while no version is
// known, and the service may never answer: every request is bounded.
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kTransferTimeoutSeconds = 20;

constexpr size_t kReadBlockSize = 4096;

// "无法获取远程服务器软件版本"
const wchar_t kNoRemoteVersion[] = L"\u65E0\u6CD5\u83B7\u53D6\u8FDC\u7A0B\u670D\u52A1\u5668\u8F6F\u4EF6\u7248\u672C";

// A version reply is a few dozen bytes and a file list a few kilobytes; a
// reply past this bound is dropped as a failed transfer.
constexpr size_t kMaxReplyBytes = 2 * 1024 * 1024;

// Where a request's reply goes: the text as it arrives, and its parse.
struct ReplyTarget {
    std::string* text;
    Json::Value* document;
    const char* parseErrorFormat;  // null: parse failures are not printed
    const char* tag;               // the requesting method, for the log
};

struct ReplyReceiver {
    ReplyTarget target;
    BoundedReply bounded;
};

// Appends the bytes, then parses the whole text again: an unfinished text
// parses to null until its last piece arrives.
size_t ReceiveReply(char* data, size_t size, size_t count, void* receiver)
{
    auto* reply = static_cast<ReplyReceiver*>(receiver);
    const size_t bytes = AppendWithinLimit(data, size, count, &reply->bounded);
    if (reply->bounded.exceeded)
        return bytes;

    std::string errors;
    Json::Value value;
    if (ParseJson(*reply->target.text, value, errors)) {
        *reply->target.document = value;
    } else {
        *reply->target.document = Json::Value();
        if (reply->target.parseErrorFormat)
            std::fprintf(stderr, reply->target.parseErrorFormat, errors.c_str());
    }
    return bytes;
}

// GET url into the target; the HTTP response code, 0 when no reply came.
long HttpGet(const std::string& url, const ReplyTarget& target)
{
    ScopedCurl curl(curl_easy_init());
    if (!curl)
        return 0;
    ReplyReceiver receiver = {target, {target.text, kMaxReplyBytes}};
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, ReceiveReply);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &receiver);
    curl_easy_setopt(curl.get(), CURLOPT_ACCEPT_ENCODING, "deflate");
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, curl_version());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_perform(curl.get());
    if (receiver.bounded.exceeded) {
        // Counts as no reply at all: what arrived is not looked at.
        *target.document = Json::Value();
        g_logger.Write(2, target.tag, "the reply of %s is larger than %u bytes: transfer dropped", url.c_str(),
                       static_cast<unsigned>(kMaxReplyBytes));
        return 0;
    }
    long responseCode = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &responseCode);
    return responseCode;
}

std::string StringMember(const Json::Value& object, const char* name)
{
    const Json::Value& value = object[name];
    return value.isString() ? value.asString() : std::string();
}

// A JSON number as an unsigned 32-bit value (wrapping as a C cast would);
// anything else gives 0.
uint32_t NumberAsUint32(const Json::Value& value)
{
    if (value.isUInt64())
        return static_cast<uint32_t>(value.asUInt64());
    if (value.isInt64())
        return static_cast<uint32_t>(value.asInt64());
    if (value.isDouble())
        return static_cast<uint32_t>(static_cast<int64_t>(value.asDouble()));
    return 0;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string GetUpdateDataDir()
{
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder)))
        return std::string();
    return std::string(folder) + "\\" + "Vantorin";
}

std::wstring GetUpdateConfigPath()
{
    return AnsiToWide(GetUpdateDataDir()) + L"\\config.ini";
}

std::wstring ReadUpdateConfigString(const std::wstring& key, const std::wstring& defaultValue, unsigned size)
{
    return ReadSettingString(GetUpdateConfigPath(), key, defaultValue, size);
}

int HexDigitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return 0;
}

void ReadDigest(const std::string& text, uint8_t digest[kSha1DigestSize])
{
    for (size_t i = 0; i < kSha1DigestSize; ++i) {
        const size_t high = 2 * i;
        const int highValue = high < text.size() ? HexDigitValue(text[high]) : 0;
        const int lowValue = high + 1 < text.size() ? HexDigitValue(text[high + 1]) : 0;
        digest[i] = static_cast<uint8_t>(highValue * 16 + lowValue);
    }
}

CUpdateChecker::CUpdateChecker()
    : programFolder_(GetExeDir()),
      updateUrl_(WideToAnsi(ReadUpdateConfigString(L"UpdateUrl", kDefaultUpdateUrl, 50))),
      appName_(WideToAnsi(ReadUpdateConfigString(L"AppName", L"Vantorin", 50)))
{
}

void CUpdateChecker::SetNotifyWindow(HWND window)
{
    notifyWindow_.store(window);
}

bool CUpdateChecker::Start()
{
    if (checking_.exchange(true))
        return true;
    if (!StartWorkerThread(L"update check", [this] { ThreadProc(this); })) {
        checking_.store(false);
        return false;
    }
    return true;
}

bool CUpdateChecker::IsChecking() const
{
    return checking_.load();
}

bool CUpdateChecker::HasRemoteVersion()
{
    CAutoLock guard(&versionLock_);
    return !latestVersion_.empty();
}

bool CUpdateChecker::IsNewVersionAvailable()
{
    CAutoLock guard(&versionLock_);
    return localVersion_ < latestVersion_;
}

bool CUpdateChecker::IsUpdateRequired()
{
    CAutoLock guard(&versionLock_);
    return localVersion_ < minimumVersion_;
}

DWORD WINAPI CUpdateChecker::ThreadProc(void* checker)
{
    auto* self = static_cast<CUpdateChecker*>(checker);
    self->RunCheck();
    self->checking_.store(false);
    return 0;
}

void CUpdateChecker::RunCheck()
{
    // Every check starts from empty, so a failed one leaves nothing behind
    // for the next to misread.
    ClearCheck();
    if (GetRemoteVersion() != 0)
        return;
    if (ReadLocalManifest() != 0)
        ScanProgramFiles();
    if (!IsNewVersionAvailable()) {
        Post(3, nullptr);
        return;
    }
    if (GetRemoteManifest() != 0)
        return;
    CompareFiles();
}

void CUpdateChecker::ClearCheck()
{
    manifestReply_.clear();
    versionReply_.clear();
    localFiles_.clear();
    remoteManifest_ = Json::Value();
    versionDocument_ = Json::Value();
    updateList_.clear();
}

void CUpdateChecker::Post(WPARAM state, UpdateMsg* message)
{
    const HWND window = notifyWindow_.load();
    if (!window || !PostMessageW(window, WM_UPDATE_NOTIFY, state, reinterpret_cast<LPARAM>(message)))
        delete message;
}

void CUpdateChecker::PostError(const std::wstring& error)
{
    Post(2, new UpdateMsg{error, std::string()});
}

int CUpdateChecker::GetRemoteVersion()
{
    const ReplyTarget target = {&versionReply_, &versionDocument_, nullptr, "CUpdateChecker::GetRemoteVersion"};
    if (HttpGet(updateUrl_ + "/version/" + appName_, target) != 200)
        PostError(L"cannot get remote version");

    if (versionDocument_.isObject() && versionDocument_["latest-version"].isString() &&
        versionDocument_["minimum-required"].isString()) {
        const std::string latest = versionDocument_["latest-version"].asString();
        {
            CAutoLock guard(&versionLock_);
            latestVersion_ = latest;
            minimumVersion_ = versionDocument_["minimum-required"].asString();
        }
        Post(1, new UpdateMsg{std::wstring(), latest});
        return 0;
    }
    PostError(kNoRemoteVersion);
    return -1;
}

int CUpdateChecker::ReadLocalManifest()
{
    std::string localVersion;
    FILE* file = _wfopen(AnsiToWide(GetUpdateDataDir() + "/ver").c_str(), L"rb");
    if (!file) {
        CAutoLock guard(&versionLock_);
        localVersion_.clear();
        return -1;
    }
    std::string content;
    char block[kReadBlockSize];
    size_t read;
    while ((read = std::fread(block, 1, sizeof block, file)) > 0)
        content.append(block, read);
    std::fclose(file);

    Json::Value manifest;
    std::string errors;
    ParseJson(content, manifest, errors);
    if (!manifest.isObject())
        manifest = Json::Value(Json::objectValue);

    // The ".json" ending makes a local version equal to the latest compare as
    // not older: a longer text with the same beginning is greater.
    if (manifest["version"].isString())
        localVersion = manifest["version"].asString() + ".json";
    {
        CAutoLock guard(&versionLock_);
        localVersion_ = localVersion;
    }
    const Json::Value& files = manifest["files"];
    if (files.isArray()) {
        for (const Json::Value& element : files) {
            UpdateFileEntry entry;
            if (ReadFileEntry(element, entry))
                localFiles_.emplace(entry.relativePath, entry);
        }
    }
    return 0;
}

bool CUpdateChecker::ReadFileEntry(const Json::Value& element, UpdateFileEntry& entry) const
{
    // A list element that is no object carries no file.
    if (!element.isObject())
        return false;
    entry.relativePath = StringMember(element, "path");
    entry.size = NumberAsUint32(element["size"]);
    entry.fullPath = programFolder_ + "\\" + entry.relativePath;
    ReadDigest(StringMember(element, "digest"), entry.digest);
    return true;
}

void CUpdateChecker::ScanProgramFiles()
{
    ScanFolder(programFolder_);
}

void CUpdateChecker::ScanFolder(const std::string& folder)
{
    Post(0, new UpdateMsg{std::wstring(), folder});
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW(AnsiToWide(folder + "\\*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::string name = WideToAnsi(data.cFileName);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Log folders change on every run and are not the program's files.
            if (name != "." && name != ".." && !StartsWith(name, "log"))
                ScanFolder(folder + "\\" + name);
        } else {
            AddLocalFile(folder + "\\" + name, data.nFileSizeLow);
        }
    } while (FindNextFileW(find.get(), &data));
}

void CUpdateChecker::AddLocalFile(const std::string& fullPath, uint32_t size)
{
    UpdateFileEntry entry;
    entry.fullPath = fullPath;
    entry.relativePath = fullPath.substr(std::min(fullPath.size(), programFolder_.size() + 1));
    entry.size = size;

    Sha1Context context;
    Sha1Init(context);
    if (FILE* file = _wfopen(AnsiToWide(fullPath).c_str(), L"rb")) {
        // Counted down unsigned: a file that grew since it was listed wraps
        // the count and is read to its end.
        uint32_t remaining = size;
        char block[kReadBlockSize];
        while (remaining != 0) {
            const size_t read = std::fread(block, 1, sizeof block, file);
            if (read == 0)
                break;
            remaining -= static_cast<uint32_t>(read);
            Sha1Update(context, block, read);
        }
        std::fclose(file);
    }
    Sha1Final(entry.digest, context);
    localFiles_.emplace(entry.relativePath, entry);
}

int CUpdateChecker::GetRemoteManifest()
{
    const ReplyTarget target = {&manifestReply_, &remoteManifest_, "parse latest version error: %s\n",
                                "CUpdateChecker::GetRemoteManifest"};
    if (HttpGet(updateUrl_ + "/latest/" + appName_, target) != 200)
        PostError(L"cannot get latest version");
    return remoteManifest_.isObject() ? 0 : -1;
}

void CUpdateChecker::CompareFiles()
{
    const Json::Value& files = remoteManifest_["files"];
    if (files.isArray()) {
        for (const Json::Value& element : files) {
            UpdateFileEntry remote;
            if (!ReadFileEntry(element, remote))
                continue;
            const auto local = localFiles_.find(remote.relativePath);
            if (local == localFiles_.end()) {
                updateList_.push_back(remote);
                std::fprintf(stderr, "file %s is a new file\n", remote.relativePath.c_str());
                continue;
            }
            if (memcmp(local->second.digest, remote.digest, kSha1DigestSize) != 0) {
                updateList_.push_back(remote);
                std::fprintf(stderr, "file %s need to be updated\n", remote.relativePath.c_str());
            }
            localFiles_.erase(local);
        }
    }
    // Files the service does not list count as a difference too.
    Post(!updateList_.empty() || !localFiles_.empty() ? 4 : 3, nullptr);
}
