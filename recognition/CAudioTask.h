#pragma once
// Recognises one piece through the REST speech service on a thread of its
// own: ffmpeg.exe cuts the piece into raw 16 kHz mono PCM, the piece goes to
// the service, and the completion callback gets the code, message and text.
#include "ServerKey.h"
#include "SimpleThread.h"

#include <json/json.h>

#include <string>

// What a reply of the service means for a piece.
struct SpeechReply {
    int code = -1;      // err_no, or -1 when the reply is not the service's
    std::string error;  // err_msg, or the reply's styled text
    std::string text;   // UTF-8
    bool fromService = false;
};

// Reads err_no, err_msg and the first result as the JSON library converts
// them; a reply it could only read by throwing counts as a local failure
// (-1), as one without err_no does.
SpeechReply ReadSpeechReply(const Json::Value& reply);

// "dev_pid" for the language choice 1 to 4; empty for any other.
std::string DevPidFor(int language);

class CAudioTask : public SimpleThread {
public:
    CAudioTask() = default;
    ~CAudioTask() override = default;

    // False, starting nothing, when the line or the piece file is empty or no
    // thread could be made. The PCM is read from pieceFile, the file the line
    // writes.
    bool Start(const std::wstring& line, const std::string& pieceFile, int timeoutMs);

    std::wstring GetCommand() const { return command_; }
    int GetCode() const { return code_; }
    std::string GetError() const { return error_; }
    std::string GetText() const { return text_; }

    void Run() override;

private:
    // Only the line overload starts a task; the thread itself is made by the
    // base's (virtual) Start.
    using SimpleThread::Start;

    void Convert();
    void Recognize(const std::string& pcm, const ServerKey& key);

    std::wstring command_;
    std::string pieceFile_;
    int timeoutMs_ = 0;
    int code_ = -1;
    std::string error_;
    std::string text_;
};
