#pragma once
// The HTTP layer of the REST speech client: one libcurl easy handle per
// request, with verified TLS (the system's certificate store, or an extra CA
// file the user names for a private endpoint).
#include "Win32Prelude.h"
#include "CurlHandle.h"

#include <json/json.h>

#include <map>
#include <string>

// Walked in ascending byte order of its keys.
using StringMap = std::map<std::string, std::string>;

class CHttpClient {
public:
    CHttpClient() = default;

    void SetConnectTimeout(int milliseconds) { connectTimeoutMs_ = milliseconds; }
    void SetTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
    // A PEM file (UTF-8 path) of certificate authorities to verify the server
    // with, in place of the system store; empty for the system store.
    void SetCaFile(const std::string& path) { caFile_ = path; }

    // Each returns libcurl's result code (0 = success); the body, whatever the
    // HTTP status, is appended to response. A body past the bound of a reply
    // ends the transfer with CURLE_WRITE_ERROR, and a warning says why.
    int Get(std::string url, const StringMap* params, const StringMap* headers, std::string* response);
    int Post(std::string url, const StringMap* params, const std::string& body, const StringMap* headers,
             std::string* response);
    // The body is the styled JSON text, sent as "Content-Type:application/json".
    int PostJson(const std::string& url, const StringMap* params, const Json::Value& json, std::string* response);

    // "key=value&" per entry, both escaped; the last pair ends in "&" too.
    static void EncodeParams(const StringMap& params, std::string* out);
    // Joins the encoded parameters with "?", or "&" when the URL has a query.
    static void AppendParams(const StringMap& params, std::string* url);
    // "key:value" per entry, no space after the colon.
    static void BuildHeaders(const StringMap& headers, curl_slist** list);

private:
    int Perform(const std::string& url, const StringMap* params, const std::string* body, const StringMap* headers,
                std::string* response);

    int verbose_ = 0;
    int connectTimeoutMs_ = 10000;
    int timeoutMs_ = 10000;
    std::string caFile_;
};

// The JSON library's default stream writer: one tab per level, keys in order.
std::string WriteStyledJson(const Json::Value& value);
