#pragma once
// Owners of libcurl's easy handles, MIME forms and header lists, in the manner of
// ScopedHandle.h.
#include "Win32Prelude.h"
#include <curl/curl.h>

#include "ScopedHandle.h"

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
