#include "CurlHandle.h"

#include <algorithm>
#include <string>

size_t AppendToString(char* data, size_t size, size_t count, void* text)
{
    const size_t bytes = size * count;
    static_cast<std::string*>(text)->append(data, bytes);
    return bytes;
}

size_t AppendWithinLimit(char* data, size_t size, size_t count, void* reply)
{
    auto* bounded = static_cast<BoundedReply*>(reply);
    const size_t held = bounded->text->size();
    // libcurl passes size 1; the division keeps a larger product from wrapping.
    if (size != 0 && (count > (bounded->limit - std::min(held, bounded->limit)) / size)) {
        bounded->exceeded = true;
        return 0;
    }
    return AppendToString(data, size, count, bounded->text);
}

void CollectReplyWithinLimit(CURL* curl, BoundedReply* reply)
{
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendWithinLimit);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, reply);
}
