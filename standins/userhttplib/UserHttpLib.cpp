// The user-service client: one worker thread per client runs the queued
// requests in order and posts each outcome to the notify window.
#include "UserHttpLib.h"

#include "CurlHandle.h"

#include <json/json.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// A dead or silent service must not hold the program's closing for long.
constexpr long kConnectTimeoutSeconds = 5;
constexpr long kTransferTimeoutSeconds = 10;
constexpr DWORD kUrlBufferChars = 512;
// The service's replies are a key list and short status texts; a reply past
// this bound fails as a transfer that got no reply does.
constexpr size_t kMaxReplyBytes = 1024 * 1024;
constexpr char kKeysPath[] = "/user/keys";
constexpr char kLogPath[] = "/user/log";

struct Job {
    unsigned command;
    std::string body;
};

struct HttpReply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string error;
};

std::wstring NarrowToWide(const char* text, UINT codePage)
{
    int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

std::string WideToNarrow(const std::wstring& text, UINT codePage)
{
    if (text.empty())
        return std::string();
    int length =
        WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

// The base address from dataDir\config.ini, without a trailing slash.
std::string ReadServiceUrl(const char* dataDir)
{
    std::string url;
    if (dataDir && *dataDir) {
        std::wstring path = NarrowToWide(dataDir, CP_ACP) + L"\\config.ini";
        wchar_t buffer[kUrlBufferChars] = {};
        GetPrivateProfileStringW(L"Vantorin", USERLIB_URL_KEY, L"", buffer, kUrlBufferChars, path.c_str());
        url = WideToNarrow(buffer, CP_UTF8);
    }
    while (!url.empty() && (url.back() == '/' || url.back() == ' '))
        url.pop_back();
    return url.empty() ? std::string(USERLIB_DEFAULT_URL) : url;
}

// A GET, or a POST of `body` when it is not null.
HttpReply Transfer(const std::string& url, const std::string* body)
{
    HttpReply reply;
    CURL* curl = curl_easy_init();
    if (!curl) {
        reply.code = CURLE_FAILED_INIT;
        reply.error = "cannot create a transfer";
        return reply;
    }
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "userhttplib/1.0");
    BoundedReply bounded{&reply.body, kMaxReplyBytes};
    CollectReplyWithinLimit(curl, &bounded);
    if (body) {
        headers = curl_slist_append(headers, "Content-Type: text/plain; charset=utf-8");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (bounded.exceeded)
        reply.error = "the reply is larger than " + std::to_string(kMaxReplyBytes) + " bytes";
    else
        reply.error = error[0] ? error : (reply.code != CURLE_OK ? curl_easy_strerror(reply.code) : "");
    return reply;
}

bool ParseJson(const std::string& text, Json::Value& value)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

// Fills the key items of a command 1 reply; false when an entry is malformed.
bool ReadKeys(const Json::Value& keys, UserlibRecord& record)
{
    if (!keys.isArray())
        return false;
    std::vector<UserKeyItem> items;
    for (const Json::Value& key : keys) {
        if (!key.isObject() || !key["apikey"].isString() || !key["secretkey"].isString())
            return false;
        items.push_back({key["apikey"].asString(), key["secretkey"].asString()});
    }
    record.count = static_cast<int>(items.size());
    if (!items.empty()) {
        record.items = new UserKeyItem[items.size()];
        for (size_t i = 0; i < items.size(); ++i)
            record.items[i] = std::move(items[i]);
    }
    return true;
}

// Judges one reply of the service: {"result": 0, "message": "...", ...}.
void ReadReply(unsigned command, const HttpReply& reply, UserlibRecord& record)
{
    record.reply = reply.body;
    record.transferError = reply.error;
    if (reply.code != CURLE_OK) {
        record.result = USERLIB_ERR_TRANSFER;
        record.message = "cannot reach the user service: " + reply.error;
        return;
    }
    if (reply.status != 200) {
        record.result = static_cast<int>(reply.status);
        record.message = "the user service answered HTTP " + std::to_string(reply.status);
        return;
    }
    Json::Value value;
    if (!ParseJson(reply.body, value) || !value.isObject() || !value["result"].isInt()) {
        record.result = USERLIB_ERR_REPLY;
        record.message = "the user service's reply is not understood";
        return;
    }
    record.result = value["result"].asInt();
    record.message = value["message"].isString() ? value["message"].asString() : "";
    if (record.result != 0)
        return;
    if (command == USERLIB_CMD_KEY_LIST && !ReadKeys(value["keys"], record)) {
        record.result = USERLIB_ERR_REPLY;
        record.message = "the user service's key list is not understood";
    }
}

void FreeRecord(UserlibRecord* record)
{
    if (!record)
        return;
    delete[] record->items;
    delete record;
}

class UserHttpClient final : public CUserhttplib {
public:
    UserHttpClient(std::string url, HWND window) : url_(std::move(url)), window_(window) {}

    ~UserHttpClient()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable())
            worker_.join();
    }

    bool Start()
    {
        try {
            worker_ = std::thread(&UserHttpClient::Work, this);
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    void __stdcall RequestKeyList() override { Queue({USERLIB_CMD_KEY_LIST, std::string()}); }

    const char* __stdcall GetServiceUrl() override { return url_.c_str(); }

    void __stdcall ReleaseRecord(unsigned, UserlibRecord* record) override { FreeRecord(record); }

    void __stdcall SetNotifyWindow(HWND window) override { window_.store(window); }

    HWND __stdcall GetNotifyWindow() override { return window_.load(); }

    bool __stdcall WaitIdle(DWORD milliseconds) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return idle_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return jobs_.empty() && !busy_; });
    }

    void __stdcall UploadLog(const char* text) override
    {
        if (text && *text)
            Queue({USERLIB_CMD_UPLOAD_LOG, text});
    }

private:
    void Queue(Job job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

    // Runs the jobs in order; on stopping, the jobs already queued still run.
    void Work()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty())
                    return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
                busy_ = true;
            }
            Deliver(job.command, Run(job));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                busy_ = false;
            }
            idle_.notify_all();
        }
    }

    UserlibRecord* Run(const Job& job)
    {
        auto* record = new UserlibRecord;
        bool upload = job.command == USERLIB_CMD_UPLOAD_LOG;
        record->url = url_ + (upload ? kLogPath : kKeysPath);
        record->request = job.body;
        ReadReply(job.command, Transfer(record->url, upload ? &job.body : nullptr), *record);
        return record;
    }

    void Deliver(unsigned command, UserlibRecord* record)
    {
        HWND window = window_.load();
        if (!window || !PostMessageW(window, WM_USER_COMMAND, command, reinterpret_cast<LPARAM>(record)))
            FreeRecord(record);
    }

    const std::string url_;
    std::atomic<HWND> window_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

std::once_flag g_curlInit;

}  // namespace

extern "C" CUserhttplib* __cdecl CreateUserlib(const char* dataDir, HWND window)
{
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    auto* client = new (std::nothrow) UserHttpClient(ReadServiceUrl(dataDir), window);
    if (!client)
        return nullptr;
    if (!client->Start()) {
        delete client;
        return nullptr;
    }
    client->RequestKeyList();
    return client;
}

extern "C" void __cdecl ReleaseUserlib(CUserhttplib** client)
{
    if (!client || !*client)
        return;
    delete static_cast<UserHttpClient*>(*client);
    *client = nullptr;
}
