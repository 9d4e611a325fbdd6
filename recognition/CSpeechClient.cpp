#include "CSpeechClient.h"

#include "Base64.h"
#include "ScopedHandle.h"
#include "StringUtils.h"

#include <algorithm>

namespace {

const wchar_t kDefaultRecognizeUrl[] = L"https://speech.vantorin.com/server_api";
const char kSynthesisUrl[] = "http://tts.vantorin.com/text2audio";

}  // namespace

CSpeechClient::CSpeechClient(const std::string& appId, const std::string& apiKey, const std::string& secretKey)
    : CSpeechClientBase(appId, apiKey, secretKey),
      recognizeUrl_(ReadSpeechSetting(kRecognizeUrlKey, kDefaultRecognizeUrl)),
      synthesisUrl_(kSynthesisUrl)
{
}

Json::Value CSpeechClient::Recognize(const std::string& data, const std::string& format, int rate,
                                     const StringMap& options)
{
    const std::string token = GetAccessToken();
    return RequestJson(recognizeUrl_, BuildRequest(data, format, rate, options, token, GetApiKey()));
}

Json::Value CSpeechClient::BuildRequest(const std::string& data, const std::string& format, int rate,
                                        const StringMap& options, const std::string& token, const std::string& cuid)
{
    Json::Value body(Json::objectValue);
    for (const auto& option : options)
        body[option.first] = option.second;
    body["speech"] = Base64Encode(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    body["format"] = format;
    body["rate"] = std::to_string(rate);
    body["channel"] = "1";
    body["token"] = token;
    body["cuid"] = cuid;
    body["len"] = static_cast<Json::Int64>(data.size());
    return body;
}

int ReadFileToString(const std::string& path, std::string* out)
{
    ScopedHandle file(CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return -1;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > out->max_size() - out->size())
        return -1;
    const size_t start = out->size();
    out->resize(start + static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    const size_t total = static_cast<size_t>(size.QuadPart);
    while (done < total) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(total - done, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(file.get(), &(*out)[start + done], want, &got, nullptr)) {
            out->resize(start);
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    out->resize(start + done);
    return 0;
}
