#pragma once
// The token-holding base of the REST speech client: obtains an OAuth access
// token with the client-credentials grant and keeps it while it has more
// than a day to live.
#include "CHttpClient.h"

#include <cstdint>
#include <string>

// Settings keys (config.ini) for the service's addresses, so that a private
// or test endpoint can stand in for the public one.
constexpr wchar_t kTokenUrlKey[] = L"SpeechTokenUrl";
constexpr wchar_t kRecognizeUrlKey[] = L"SpeechRecognizeUrl";
// A PEM file of certificate authorities for a private endpoint.
constexpr wchar_t kCaFileKey[] = L"SpeechCaFile";

// A setting of the speech service (UTF-8), or defaultValue when it is
// missing or blank.
std::string ReadSpeechSetting(const wchar_t* key, const wchar_t* defaultValue);
// The token address: the setting, or the public service's.
std::string GetTokenUrl();

class CSpeechClientBase {
public:
    CSpeechClientBase(const std::string& appId, const std::string& apiKey, const std::string& secretKey);
    virtual ~CSpeechClientBase() = default;
    CSpeechClientBase(const CSpeechClientBase&) = delete;
    CSpeechClientBase& operator=(const CSpeechClientBase&) = delete;

    void SetConnectTimeout(int milliseconds) { http_.SetConnectTimeout(milliseconds); }
    void SetTimeout(int milliseconds) { http_.SetTimeout(milliseconds); }
    std::string GetApiKey() const { return apiKey_; }

    // The held token, or a new one; empty when the reply held none, and the
    // styled text of {"curl_error_code": n} when the transfer failed.
    std::string GetAccessToken();
    // The reply parsed, or {"curl_error_code": n} when the transfer failed;
    // null when the reply is not one whole JSON text.
    Json::Value RequestJson(const std::string& url, const Json::Value& json);

protected:
    // The token reply as the reader gets through it: a token read whole is
    // kept even when the reply is cut after it.
    Json::Value Parse(const std::string& text) const;

private:
    std::string appId_;
    int64_t tokenExpiry_ = 0;  // seconds since 1970
    std::string scope_;
    std::string apiKey_;
    std::string secretKey_;
    CHttpClient http_;
    std::string accessToken_;
};

// {"curl_error_code": code}
Json::Value CurlFailure(int code);
