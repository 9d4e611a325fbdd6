#pragma once
// For Windows tests that name SERVICES speechservice: where the running
// stand-in is, and its control endpoint (see standins/speechservice/README.md).
// The caller runs curl_global_init first.
#include "Win32Prelude.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <sstream>
#include <string>

namespace speechservice {

// The pair the service always accepts.
constexpr const char* kApiKey = "VtRestDefaultApiKey24chr";
constexpr const char* kSecretKey = "VtRestDefaultSecretKey32chars000";

inline std::string BesideExe(const char* name)
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length < MAX_PATH ? length : 0);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

// "https://<host>:<port>", or empty when the service is not running.
inline std::string BaseUrl(const std::string& host = "127.0.0.1")
{
    std::ifstream file(BesideExe("speechservice.port"));
    int port = 0;
    file >> port;
    return port > 0 ? "https://" + host + ":" + std::to_string(port) : std::string();
}

// The service's self-signed certificate, usable as a CA file.
inline std::string CertificatePath()
{
    return BesideExe("speechservice.pem");
}

inline size_t AppendTo(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
};

// One request on a fresh handle with the program's options: no signals, ALPN
// off, and no certificate checks unless a CA file is named. A POST of a JSON
// body when `jsonBody` is not null, else a GET.
inline Reply Perform(const std::string& url, const std::string* jsonBody, const char* caFile = nullptr)
{
    Reply reply;
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    if (jsonBody) {
        headers = curl_slist_append(headers, "Content-Type:application/json");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, jsonBody->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(jsonBody->size()));
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 60000L);
    curl_easy_setopt(curl, CURLOPT_SSL_ENABLE_ALPN, 0L);
    if (caFile) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile);
    } else {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return reply;
}

// A control request ("/control/fail?kind=drop", "/control/stats", ...): a POST
// of `jsonBody` (may be empty) when it is not null, else a GET. Expects 200 and
// returns the parsed reply.
inline Json::Value Control(const std::string& path, const std::string* jsonBody = nullptr)
{
    Reply reply = Perform(BaseUrl() + path, jsonBody);
    EXPECT_EQ(CURLE_OK, reply.code) << path << ": " << curl_easy_strerror(reply.code);
    EXPECT_EQ(200, reply.status) << path << ": " << reply.body;
    Json::Value value;
    std::istringstream(reply.body) >> value;
    return value;
}

inline Json::Value Control(const std::string& path, const std::string& jsonBody)
{
    return Control(path, &jsonBody);
}

}  // namespace speechservice
