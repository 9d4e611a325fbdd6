#include "PipelineSupport.h"

#include "AppPaths.h"
#include "CData.h"
#include "Logger.h"
#include "CSpeechClientBase.h"
#include "StringUtils.h"
#include "TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>

const char kServiceApiKey[] = "VtRestDefaultApiKey24chr";
const char kServiceSecretKey[] = "VtRestDefaultSecretKey32chars000";

namespace {

Json::Value ParseJson(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    return value;
}

}  // namespace

bool WriteBinaryFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

SpeechService::SpeechService() : port_(std::atoi(ReadFileBytes(GetExeDir() + "\\speechservice.port").c_str()))
{
}

std::string SpeechService::Url(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::string SpeechService::CertificateFile() const
{
    return GetExeDir() + "\\speechservice.pem";
}

void SpeechService::PointSettingsHere(const std::string& caFile) const
{
    // Without a CA file Wine's Schannel accepts any certificate, so only with
    // one is the peer really verified; Schannel matches DNS names only, hence
    // the name its certificate carries rather than 127.0.0.1.
    const std::string base = "https://localhost:" + std::to_string(port_);
    WriteConfigString(kTokenUrlKey, Utf8ToWide(base + "/oauth/2.0/token"));
    WriteConfigString(kRecognizeUrlKey, Utf8ToWide(base + "/server_api"));
    WriteConfigString(kCaFileKey, AnsiToWide(caFile));
}

void SpeechService::ForgetSettings()
{
    for (const wchar_t* key : {kTokenUrlKey, kRecognizeUrlKey, kCaFileKey})
        WriteConfigString(key, L"");
}

void SpeechService::PrepareRestRun() const
{
    PointSettingsHere(CertificateFile());
    Reset();
    CData* data = CData::GetInstance();
    data->AddKey({{kServiceApiKey, kServiceSecretKey}});
    data->SetRecgType(1);
    data->SetLanguage(1);
}

Json::Value SpeechService::Control(const std::string& action, const std::string& query) const
{
    CHttpClient http;
    std::string url = Url("/control/" + action);
    if (!query.empty())
        url += "?" + query;
    std::string response;
    http.Post(url, nullptr, std::string(), nullptr, &response);
    return ParseJson(response);
}

Json::Value SpeechService::Stats() const
{
    CHttpClient http;
    std::string response;
    http.Get(Url("/control/stats"), nullptr, nullptr, &response);
    return ParseJson(response);
}

std::mutex LogCapture::mutex_;
std::vector<std::pair<int, std::string>> LogCapture::lines_;

std::string Escaped(const std::string& text)
{
    std::unique_ptr<char, decltype(&curl_free)> escaped(
        curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size())), &curl_free);
    return escaped.get();
}

LogCapture::LogCapture()
{
    std::lock_guard<std::mutex> guard(mutex_);
    lines_.clear();
    g_logger.SetObserver(&LogCapture::Observe);
}

LogCapture::~LogCapture()
{
    g_logger.SetObserver(nullptr);
}

std::vector<std::string> LogCapture::Matching(int level, const std::string& prefix)
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> found;
    for (const auto& line : lines_) {
        if (line.first == level && line.second.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line.second);
    }
    return found;
}

void LogCapture::Observe(int level, const char*, const char* text)
{
    std::lock_guard<std::mutex> guard(mutex_);
    lines_.emplace_back(level, text);
}

HeldInput::HeldInput()
{
    static std::atomic<int> next{0};
    path_ = "\\\\.\\pipe\\vantorin_held_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(next++);
    pipe_.reset(CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE | PIPE_WAIT,
                                 1, 4096, 4096, 0, nullptr));
    connected_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    overlapped_.hEvent = connected_.get();
    if (pipe_ && !ConnectNamedPipe(pipe_.get(), &overlapped_) && GetLastError() == ERROR_PIPE_CONNECTED)
        SetEvent(connected_.get());
}

bool HeldInput::WaitForReader(DWORD timeoutMs)
{
    return pipe_ && WaitForSingleObject(connected_.get(), timeoutMs) == WAIT_OBJECT_0;
}

void HeldInput::Release()
{
    if (!pipe_)
        return;
    CancelIo(pipe_.get());
    DisconnectNamedPipe(pipe_.get());
    pipe_.reset();
}
