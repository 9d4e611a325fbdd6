#pragma once
// For Windows tests that name SERVICES makerservice: where the running
// stand-in is, and its control endpoint (see standins/makerservice/README.md).
// The caller runs curl_global_init first.
#include "Win32Prelude.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <sstream>
#include <string>

namespace makerservice {

inline std::string ExeDir()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length < MAX_PATH ? length : 0);
    return dir.substr(0, dir.find_last_of('\\'));
}

// The service's data folder, beside the test executable.
inline std::string Root()
{
    return ExeDir() + "\\makerservice";
}

// "http://127.0.0.1:<port>", or empty when the service is not running.
inline std::string BaseUrl()
{
    std::ifstream file(ExeDir() + "\\makerservice.port");
    int port = 0;
    file >> port;
    return port > 0 ? "http://127.0.0.1:" + std::to_string(port) : std::string();
}

inline size_t AppendTo(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// A control request: a POST of `body` when it is not null, else a GET. Expects
// 200 and returns the parsed reply.
inline Json::Value Control(const std::string& path, const char* body = nullptr)
{
    std::string reply;
    std::string url = BaseUrl() + path;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendTo);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    if (body)
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    EXPECT_EQ(CURLE_OK, code) << path;
    EXPECT_EQ(200, status) << path << ": " << reply;
    Json::Value value;
    std::istringstream(reply) >> value;
    return value;
}

}  // namespace makerservice
