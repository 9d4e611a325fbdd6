#pragma once
// The REST speech client: one recording as JSON with its audio in Base64,
// the service's JSON reply back.
#include "CSpeechClientBase.h"

#include <string>

class CSpeechClient : public CSpeechClientBase {
public:
    CSpeechClient(const std::string& appId, const std::string& apiKey, const std::string& secretKey);

    // The service's reply; {"curl_error_code": n} when nothing arrived. When
    // no token could be had, the token getter's text goes as the token.
    Json::Value Recognize(const std::string& data, const std::string& format, int rate, const StringMap& options);

    // The body of a recognition request.
    static Json::Value BuildRequest(const std::string& data, const std::string& format, int rate,
                                    const StringMap& options, const std::string& token, const std::string& cuid);

private:
    std::string recognizeUrl_;
    std::string synthesisUrl_;  // kept for the synthesis service; unused
};

// Appends the whole file (narrow path, system code page) to out: 0, or -1
// when it cannot be opened or read. Others may read and write it meanwhile.
int ReadFileToString(const std::string& path, std::string* out);
