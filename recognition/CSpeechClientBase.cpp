#include "CSpeechClientBase.h"

#include "AppPaths.h"
#include "Globals.h"
#include "StringUtils.h"

#include <ctime>
#include <exception>
#include <limits>
#include <memory>

namespace {

// A held token is used again only while it has more than this to live.
const int64_t kTokenMarginSeconds = 86400;
// How much of an unreadable token reply goes into the failure text.
const size_t kReplyExcerpt = 512;

// The JSON library throws when a number beyond 64-bit signed is read as
// one, and the sum must not overflow either: a lifetime too long to hold
// means a token that never expires.
int64_t ExpiryOf(int64_t now, const Json::Value& expiresIn)
{
    const int64_t never = std::numeric_limits<int64_t>::max();
    if (expiresIn.isInt64()) {
        const int64_t lifetime = expiresIn.asInt64();
        return lifetime > never - now ? never : now + lifetime;
    }
    return expiresIn.isUInt64() ? never : now;
}

} // namespace

// A key left blank means the default, as one that is missing does.
std::string ReadSpeechSetting(const wchar_t* key, const wchar_t* defaultValue)
{
    const std::string value = WideToUtf8(ReadConfigString(key, defaultValue, 1024));
    return value.empty() ? WideToUtf8(defaultValue) : value;
}

std::string GetTokenUrl() { return ReadSpeechSetting(kTokenUrlKey, Utf8ToWide(g_restTokenUrl).c_str()); }

Json::Value CurlFailure(int code)
{
    Json::Value failure(Json::objectValue);
    failure["curl_error_code"] = code;
    return failure;
}

CSpeechClientBase::CSpeechClientBase(const std::string& appId, const std::string& apiKey,
                                     const std::string& secretKey)
    : appId_(appId), apiKey_(apiKey), secretKey_(secretKey)
{
    http_.SetCaFile(ReadSpeechSetting(kCaFileKey, L""));
}

std::string CSpeechClientBase::GetAccessToken()
{
    std::string token;
    Json::Value failure;
    if (FetchToken(&token, &failure))
        return token;
    return WriteStyledJson(failure);
}

bool CSpeechClientBase::FetchToken(std::string* token, Json::Value* failure)
{
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!accessToken_.empty() && now + kTokenMarginSeconds < tokenExpiry_) {
        *token = accessToken_;
        return true;
    }
    const StringMap params = {
        {"grant_type", "client_credentials"}, {"client_id", apiKey_}, {"client_secret", secretKey_}};
    std::string response;
    const int code = http_.Get(GetTokenUrl(), &params, nullptr, &response);
    if (code != CURLE_OK) {
        *failure = CurlFailure(code);
        return false;
    }
    const Json::Value reply = Parse(response);
    // The service's own error reply (err_no, err_msg) goes back as it is, so
    // that its number reaches the caller; anything else without a token is
    // reported with an excerpt of what came.
    if (!reply.isObject() || !reply["access_token"].isString() || reply["access_token"].asString().empty()) {
        if (reply.isObject()) {
            *failure = reply;
        } else {
            *failure = Json::Value(Json::objectValue);
            (*failure)["token_reply"] = response.substr(0, kReplyExcerpt);
        }
        return false;
    }
    accessToken_ = reply["access_token"].asString();
    tokenExpiry_ = ExpiryOf(now, reply["expires_in"]);
    scope_ = reply["scope"].isString() ? reply["scope"].asString() : std::string();
    *token = accessToken_;
    return true;
}

Json::Value CSpeechClientBase::RequestJson(const std::string& url, const Json::Value& json)
{
    std::string response;
    const int code = http_.PostJson(url, nullptr, json, &response);
    if (code != CURLE_OK)
        return CurlFailure(code);
    return Parse(response);
}

Json::Value CSpeechClientBase::Parse(const std::string& text) const
{
    Json::Value value;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(reader_.newCharReader());
    // The reader throws on a reply nested deeper than its limit; on the
    // task's thread that would end the program.
    try {
        reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    } catch (const std::exception&) {
        return Json::Value();
    }
    return value;
}
