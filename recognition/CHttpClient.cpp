#include "CHttpClient.h"

#include "Logger.h"

#include <memory>

namespace {

// A token reply is a few hundred bytes, a recognition reply holds the text of
// one piece (a few KB). Up to ten pieces are in flight in a 32-bit process: a
// reply past this bound ends its transfer as a transport failure does, rather
// than the process for lack of memory. A reply of this size read as JSON takes
// some fifty times its bytes, so the bound stays well below a megabyte.
const size_t kMaxReplyBytes = 256 << 10;

std::string Escape(const std::string& text)
{
    std::unique_ptr<char, decltype(&curl_free)> escaped(
        curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size())), &curl_free);
    return escaped ? std::string(escaped.get()) : std::string();
}

}  // namespace

void CHttpClient::EncodeParams(const StringMap& params, std::string* out)
{
    for (const auto& entry : params) {
        out->append(Escape(entry.first));
        out->append("=");
        out->append(Escape(entry.second));
        out->append("&");
    }
}

void CHttpClient::AppendParams(const StringMap& params, std::string* url)
{
    if (params.empty())
        return;
    url->append(url->find('?') == std::string::npos ? "?" : "&");
    EncodeParams(params, url);
}

void CHttpClient::BuildHeaders(const StringMap& headers, curl_slist** list)
{
    for (const auto& entry : headers) {
        const std::string line = entry.first + ":" + entry.second;
        curl_slist* grown = curl_slist_append(*list, line.c_str());
        if (!grown)
            return;
        *list = grown;
    }
}

int CHttpClient::Get(std::string url, const StringMap* params, const StringMap* headers, std::string* response)
{
    return Perform(url, params, nullptr, headers, response);
}

int CHttpClient::Post(std::string url, const StringMap* params, const std::string& body, const StringMap* headers,
                      std::string* response)
{
    return Perform(url, params, &body, headers, response);
}

int CHttpClient::PostJson(const std::string& url, const StringMap* params, const Json::Value& json,
                          std::string* response)
{
    const StringMap headers = {{"Content-Type", "application/json"}};
    return Post(url, params, WriteStyledJson(json), &headers, response);
}

int CHttpClient::Perform(const std::string& url, const StringMap* params, const std::string* body,
                         const StringMap* headers, std::string* response)
{
    ScopedCurl curl(curl_easy_init());
    if (!curl)
        return CURLE_FAILED_INIT;
    ScopedCurlSlist headerList;
    if (headers) {
        curl_slist* list = nullptr;
        BuildHeaders(*headers, &list);
        headerList.reset(list);
    }
    std::string fullUrl = url;
    if (params)
        AppendParams(*params, &fullUrl);

    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, fullUrl.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerList.get());
    BoundedReply reply{response, kMaxReplyBytes};
    CollectReplyWithinLimit(handle, &reply);
    if (body) {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeoutMs_));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs_));
    curl_easy_setopt(handle, CURLOPT_SSL_ENABLE_ALPN, 0L);
    // The requests carry the service keys and the users' audio: the peer and
    // its name are always verified.
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile_.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, caFile_.c_str());
    curl_easy_setopt(handle, CURLOPT_VERBOSE, static_cast<long>(verbose_));
    const CURLcode code = curl_easy_perform(handle);
    if (reply.exceeded)
        g_logger.Write(2, "CHttpClient::Perform", "reply over %u bytes, transfer stopped: %s",
                       static_cast<unsigned>(kMaxReplyBytes), url.c_str());
    return code;
}

std::string WriteStyledJson(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    return Json::writeString(builder, value);
}
