#pragma once
// Owners of libcurl's easy handles, MIME forms and header lists, in the manner of
// ScopedHandle.h.
#include "Win32Prelude.h"
#include <curl/curl.h>

#include "ScopedHandle.h"

#include <cstddef>
#include <string>

struct CurlEasyTraits {
    using Value = CURL*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { curl_easy_cleanup(v); }
};

struct CurlMimeTraits {
    using Value = curl_mime*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { curl_mime_free(v); }
};

struct CurlSlistTraits {
    using Value = curl_slist*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { curl_slist_free_all(v); }
};

using ScopedCurl = ScopedResource<CurlEasyTraits>;
using ScopedCurlMime = ScopedResource<CurlMimeTraits>;
using ScopedCurlSlist = ScopedResource<CurlSlistTraits>;

// A write callback that appends the received bytes to the std::string given
// as CURLOPT_WRITEDATA.
size_t AppendToString(char* data, size_t size, size_t count, void* text);

// A reply text with an upper bound on its size, so that a broken or hostile
// server cannot fill the memory: each client sets a bound far above any real
// reply of its service. Give its address as CURLOPT_WRITEDATA with
// AppendWithinLimit as CURLOPT_WRITEFUNCTION (CollectReplyWithinLimit does
// both). Bytes that would take the text past the bound are refused, which ends
// the transfer with CURLE_WRITE_ERROR; `exceeded` then tells why.
struct BoundedReply {
    std::string* text;
    size_t limit;
    bool exceeded = false;
};
size_t AppendWithinLimit(char* data, size_t size, size_t count, void* reply);
void CollectReplyWithinLimit(CURL* curl, BoundedReply* reply);
