#include "FaultScript.h"

#include "libasr.h"

#include "Win32Prelude.h"

#include <charconv>
#include <mutex>
#include <string>
#include <vector>

namespace {

const wchar_t kVariable[] = L"LIBASR_FAULTS";
constexpr DWORD kMaxScriptChars = 4096;
constexpr size_t kCallCount = size_t(AsrCall::Count);

const char* const kCallNames[kCallCount] = {
    "asr_create_service", "asr_set_option",      "asr_login_service",   "asr_start_recognizer",
    "asr_feed_buffer",    "asr_stop_recognizer", "asr_release_service",
};

struct FaultRule {
    size_t call = 0;
    long long first = 0;  // 1-based number of the first failing call
    long long count = 1;
    int code = 0;
};

struct FaultState {
    std::mutex lock;
    bool read = false;
    std::wstring text;
    bool malformed = false;
    std::vector<FaultRule> rules;
    long long calls[kCallCount] = {};
};

FaultState& State()
{
    static FaultState state;
    return state;
}

std::string Trim(const std::string& s)
{
    const size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::string();
    return s.substr(begin, s.find_last_not_of(" \t") + 1 - begin);
}

std::vector<std::string> Split(const std::string& s, char separator)
{
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        const size_t end = s.find(separator, begin);
        parts.push_back(Trim(s.substr(begin, end == std::string::npos ? std::string::npos : end - begin)));
        if (end == std::string::npos)
            return parts;
        begin = end + 1;
    }
}

template <typename Number>
bool ParseNumber(const std::string& text, Number* value)
{
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, *value);
    return !text.empty() && parsed.ec == std::errc() && parsed.ptr == end;
}

bool ParseRule(const std::string& text, FaultRule* rule)
{
    const std::vector<std::string> fields = Split(text, ':');
    if (fields.size() != 3 && fields.size() != 4)
        return false;
    rule->call = kCallCount;
    for (size_t i = 0; i < kCallCount; ++i) {
        if (fields[0] == kCallNames[i])
            rule->call = i;
    }
    if (rule->call == kCallCount)
        return false;
    if (!ParseNumber(fields[1], &rule->first) || rule->first < 1)
        return false;
    if (!ParseNumber(fields[2], &rule->code) || rule->code >= 0)
        return false;
    rule->count = 1;
    if (fields.size() == 4 && (!ParseNumber(fields[3], &rule->count) || rule->count < 1))
        return false;
    return true;
}

bool ParseScript(const std::wstring& wide, std::vector<FaultRule>* rules)
{
    std::string text;
    for (wchar_t c : wide) {
        if (c > 0x7F)
            return false;
        text.push_back(char(c));
    }
    for (const std::string& part : Split(text, ';')) {
        if (part.empty())
            continue;
        FaultRule rule;
        if (!ParseRule(part, &rule))
            return false;
        rules->push_back(rule);
    }
    return true;
}

// The variable as it is now; a value too long to be a script reads as malformed.
std::wstring CurrentScript(bool* tooLong)
{
    *tooLong = false;
    wchar_t buffer[kMaxScriptChars + 1];
    const DWORD length = GetEnvironmentVariableW(kVariable, buffer, kMaxScriptChars + 1);
    if (length == 0)
        return std::wstring();
    if (length > kMaxScriptChars) {
        *tooLong = true;
        return std::wstring();
    }
    return std::wstring(buffer, length);
}

// Counting starts afresh whenever the value differs from the one last seen.
void Refresh(FaultState& state)
{
    bool tooLong = false;
    std::wstring text = CurrentScript(&tooLong);
    if (state.read && text == state.text && !tooLong)
        return;
    state.read = true;
    state.text = std::move(text);
    state.rules.clear();
    state.malformed = tooLong || !ParseScript(state.text, &state.rules);
    if (state.malformed)
        state.rules.clear();
    for (long long& calls : state.calls)
        calls = 0;
}

}  // namespace

int ScriptedFailure(AsrCall call)
{
    FaultState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    try {
        Refresh(state);
    } catch (...) {
        return ASR_ERR_INTERNAL;  // out of memory while reading the script
    }
    if (state.malformed)
        return ASR_ERR_FAULT_SCRIPT;
    const size_t index = size_t(call);
    const long long number = ++state.calls[index];
    for (const FaultRule& rule : state.rules) {
        if (rule.call == index && number >= rule.first && number - rule.first < rule.count)
            return rule.code;
    }
    return 0;
}
