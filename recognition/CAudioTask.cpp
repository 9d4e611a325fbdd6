#include "Win32Prelude.h"
#include "CSpeechClient.h"

#include "CAudioTask.h"
#include "AppPaths.h"
#include "CData.h"
#include "Logger.h"
#include "PubUtils.h"
#include "StringUtils.h"

namespace {

const char kTag[] = "CAudioTask::Run";
const int kConnectTimeoutMs = 60000;
const int kTotalTimeoutMs = 600000;
const int kPoorAudio = 3301;

// Reads the members as the JSON library converts them: numbers and
// true/false to text, reals truncated to whole numbers. It throws on a
// value it cannot convert, and on a member of anything but an object or an
// element of anything but an array: such a reply is not the service's, and
// false leaves it to the caller.
bool ReadServiceMembers(const Json::Value& reply, SpeechReply* result)
{
    if (!reply.isObject() || !reply.isMember("err_no"))
        return false;
    const Json::Value& code = reply["err_no"];
    const Json::Value& message = reply["err_msg"];
    if (!code.isConvertibleTo(Json::intValue) || !message.isConvertibleTo(Json::stringValue))
        return false;
    result->code = code.asInt();
    result->error = message.asString();
    if (result->code != 0)
        return true;
    const Json::Value& texts = reply["result"];
    if (!texts.isNull() && !texts.isArray())
        return false;
    const Json::Value& first = texts[0];
    if (!first.isConvertibleTo(Json::stringValue))
        return false;
    result->text = first.asString();
    return true;
}

}  // namespace

std::string DevPidFor(int language)
{
    // clang-format off
    switch (language) {
    case 1: return "1537";
    case 2: return "1837";
    case 3: return "1637";
    case 4: return "1737";
    default: return std::string();
    }
    // clang-format on
}

SpeechReply ReadSpeechReply(const Json::Value& reply)
{
    SpeechReply result;
    if (ReadServiceMembers(reply, &result)) {
        result.fromService = true;
        return result;
    }
    result = SpeechReply();
    result.error = WriteStyledJson(reply);
    if (result.error.empty())
        result.error = "null";
    return result;
}

bool CAudioTask::Start(const std::wstring& line, const std::string& pieceFile, int timeoutMs)
{
    if (line.empty() || pieceFile.empty())
        return false;
    command_ = line;
    pieceFile_ = pieceFile;
    timeoutMs_ = timeoutMs;
    return Start();
}

void CAudioTask::Run()
{
    Convert();
    // The pair is taken for every start, sent or not, so the rotation moves
    // on past a piece that had nothing to send.
    const ServerKey key = CData::GetInstance()->GetServerKey();
    std::string pcm;
    if (ReadFileToString(pieceFile_, &pcm) != 0 || pcm.empty()) {
        g_logger.Write(2, kTag, "read pcm file null %s", pieceFile_.c_str());
        code_ = -1;
        text_.clear();
        error_ = "no file";
    } else {
        Recognize(pcm, key);
    }
    NotifyDone();
}

void CAudioTask::Convert()
{
    // A file left by an earlier start of the piece must not pass for this
    // start's cut.
    DeleteFileW(AnsiToWide(pieceFile_).c_str());
    const bool show = ReadConfigInt(L"Debug", 0) != 0;
    ScopedHandle process = StartFfmpeg(command_, show);
    if (!process)
        return;
    const DWORD wait = timeoutMs_ < 1 ? INFINITE : static_cast<DWORD>(timeoutMs_);
    if (WaitForSingleObject(process.get(), wait) == WAIT_TIMEOUT)
        g_logger.Write(1, kTag, "wait CAudioTask exit time out: %d, %s", timeoutMs_, WideToAnsi(command_).c_str());
}

void CAudioTask::Recognize(const std::string& pcm, const ServerKey& key)
{
    CSpeechClient client(std::to_string(GetTickCount()), key.apiKey, key.secretKey);
    client.SetConnectTimeout(kConnectTimeoutMs);
    client.SetTimeout(kTotalTimeoutMs);
    StringMap options;
    const std::string devPid = DevPidFor(CData::GetInstance()->GetLanguage());
    if (!devPid.empty())
        options["dev_pid"] = devPid;

    const SpeechReply reply = ReadSpeechReply(client.Recognize(pcm, "pcm", 16000, options));
    code_ = reply.code;
    error_ = reply.error;
    text_ = reply.text;
    if (!reply.fromService) {
        g_logger.Write(2, kTag, "speech curl error: %s", error_.c_str());
        return;
    }
    if (code_ == 0)
        g_logger.Write(1, kTag, "speech text size: %d", static_cast<int>(text_.size()));
    else if (code_ != kPoorAudio)
        g_logger.Write(2, kTag, "speech bd error. code=%d %s", code_, key.apiKey.c_str());
}
