#include "CSpeechClientBase.h"

#include "AppPaths.h"
#include "Globals.h"
#include "JsonText.h"
#include "StringUtils.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace {

// A held token is used again only while it has more than this to live.
const int64_t kTokenMarginSeconds = 86400;

// The lifetime as the JSON library reads a number as an integer (reals
// truncated, true as 1, null as 0), but in 64 bits: it throws on a number
// beyond 32 bits or on any other type, and a sum in 32 bits would overflow.
// A lifetime too long to hold means a token that never expires; one that
// cannot be read as a number, a token that has expired.
int64_t ExpiryOf(int64_t now, const Json::Value& expiresIn)
{
    const int64_t never = std::numeric_limits<int64_t>::max();
    const double longest = 9.2e18;  // just below 2^63, so the cast is exact
    int64_t lifetime = 0;
    if (expiresIn.isInt64())
        lifetime = expiresIn.asInt64();
    else if (expiresIn.isUInt64())
        lifetime = never;
    else if (expiresIn.isDouble())
        lifetime = static_cast<int64_t>(std::max(-longest, std::min(longest, expiresIn.asDouble())));
    else if (expiresIn.isBool())
        lifetime = expiresIn.asBool() ? 1 : 0;
    return lifetime > never - now ? never : now + lifetime;
}

// A member as the JSON library reads it as text (numbers and true/false
// converted); an array or an object, which it throws on, gives no text.
std::string TextOf(const Json::Value& value)
{
    return value.isConvertibleTo(Json::stringValue) ? value.asString() : std::string();
}

}  // namespace

// A key left blank means the default, as one that is missing does.
std::string ReadSpeechSetting(const wchar_t* key, const wchar_t* defaultValue)
{
    const std::string value = WideToUtf8(ReadConfigString(key, defaultValue, 1024));
    return value.empty() ? WideToUtf8(defaultValue) : value;
}

std::string GetTokenUrl()
{
    return ReadSpeechSetting(kTokenUrlKey, Utf8ToWide(g_restTokenUrl).c_str());
}

Json::Value CurlFailure(int code)
{
    Json::Value failure(Json::objectValue);
    failure["curl_error_code"] = code;
    return failure;
}

CSpeechClientBase::CSpeechClientBase(const std::string& appId, const std::string& apiKey, const std::string& secretKey)
    : appId_(appId), apiKey_(apiKey), secretKey_(secretKey)
{
    http_.SetCaFile(ReadSpeechSetting(kCaFileKey, L""));
}

std::string CSpeechClientBase::GetAccessToken()
{
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!accessToken_.empty() && now + kTokenMarginSeconds < tokenExpiry_)
        return accessToken_;
    const StringMap params = {
        {"grant_type", "client_credentials"}, {"client_id", apiKey_}, {"client_secret", secretKey_}};
    std::string response;
    const int code = http_.Get(GetTokenUrl(), &params, nullptr, &response);
    if (code != CURLE_OK)
        return WriteStyledJson(CurlFailure(code));
    // A reply without a token (the service's error reply, or no JSON at all)
    // leaves an empty token: the recognition request then carries it, and the
    // service's refusal of it is what the piece reports. The JSON library
    // throws when a member of anything but an object is asked for.
    const Json::Value reply = Parse(response);
    const Json::Value none;
    const bool isObject = reply.isObject();
    accessToken_ = TextOf(isObject ? reply["access_token"] : none);
    tokenExpiry_ = ExpiryOf(now, isObject ? reply["expires_in"] : none);
    scope_ = TextOf(isObject ? reply["scope"] : none);
    return accessToken_;
}

Json::Value CSpeechClientBase::RequestJson(const std::string& url, const Json::Value& json)
{
    std::string response;
    const int code = http_.PostJson(url, nullptr, json, &response);
    if (code != CURLE_OK)
        return CurlFailure(code);
    // A reply cut short (the connection ended early, or a Content-Length
    // shorter than the body) still reads as an object with err_no 0 up to the
    // cut: only a whole JSON text is the service's answer, so that a lost text
    // is a failure the piece is started again for, not a success without text.
    Json::Value reply;
    std::string errors;
    ParseWholeJson(response, reply, errors);
    return reply;
}

Json::Value CSpeechClientBase::Parse(const std::string& text) const
{
    Json::Value value;
    std::string errors;
    ParseJson(text, value, errors);
    return value;
}
