#include "libasr.h"

#include "AudioStream.h"
#include "FaultScript.h"
#include "ToneDecoder.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr size_t kAppKeyLength = 40;
constexpr size_t kSecretLength = 32;
const char kAudioFormat[] = "pcm16k";
// High half of every handle, so that neither half of a live handle is 0.
constexpr uint64_t kHandleTag = uint64_t(0x4C415352) << 32;

struct Service {
    std::mutex lock;
    std::map<int, std::string> options;
    bool loggedIn = false;
    bool started = false;
    AudioStream stream;
    ToneDecoder decoder;
    std::string unfetched;  // words completed and not yet fetched
    std::string result;     // the text the last asr_get_result handed out
};

struct Registry {
    std::mutex lock;
    std::map<asr_service_t, std::shared_ptr<Service>> services;
    uint32_t lastSerial = 0;
};

Registry& Services()
{
    static Registry registry;
    return registry;
}

std::shared_ptr<Service> Find(asr_service_t handle)
{
    Registry& registry = Services();
    std::lock_guard<std::mutex> hold(registry.lock);
    const auto found = registry.services.find(handle);
    if (found == registry.services.end())
        return nullptr;
    return found->second;
}

bool IsKnownOption(int option)
{
    switch (option) {
    case ASR_OPT_APP_KEY:
    case ASR_OPT_DOMAIN:
    case ASR_OPT_RESULT_FILTER:
    case ASR_OPT_SECRET:
    case ASR_OPT_AUDIO_FORMAT:
        return true;
    default:
        return false;
    }
}

bool IsBase32Lower(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '2' && c <= '7');
}
bool IsHexLower(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

bool AllOf(const std::string& text, size_t length, bool (*accept)(char))
{
    if (text.size() != length)
        return false;
    for (char c : text) {
        if (!accept(c))
            return false;
    }
    return true;
}

const std::string* Option(const Service& service, int option)
{
    const auto found = service.options.find(option);
    return found == service.options.end() ? nullptr : &found->second;
}

int CheckCredentials(const Service& service)
{
    const std::string* key = Option(service, ASR_OPT_APP_KEY);
    const std::string* secret = Option(service, ASR_OPT_SECRET);
    if (!key || !secret)
        return ASR_ERR_NO_CREDENTIALS;
    if (!AllOf(*key, kAppKeyLength, IsBase32Lower) || !AllOf(*secret, kSecretLength, IsHexLower))
        return ASR_ERR_BAD_CREDENTIALS;
    return ASR_OK;
}

int CheckStreamOptions(const Service& service)
{
    const std::string* format = Option(service, ASR_OPT_AUDIO_FORMAT);
    if (!format || *format != kAudioFormat)
        return ASR_ERR_AUDIO_FORMAT;
    const std::string* domain = Option(service, ASR_OPT_DOMAIN);
    if (!domain || domain->empty())
        return ASR_ERR_NO_DOMAIN;
    return ASR_OK;
}

void EndStream(Service* service)
{
    service->started = false;
    service->stream = AudioStream();
    service->decoder = ToneDecoder();
}

void AddWords(Service* service, const std::vector<int>& words)
{
    for (int word : words)
        service->unfetched += ToneWordText(word);
}

// No exception may cross into the caller, whose runtime is not ours.
template <typename Body>
int Guarded(Body body)
{
    try {
        return body();
    } catch (...) {
        return ASR_ERR_INTERNAL;
    }
}

// Runs body with the service locked, or refuses an unknown handle.
template <typename Body>
int WithService(asr_service_t handle, Body body)
{
    return Guarded([&] {
        const std::shared_ptr<Service> service = Find(handle);
        if (!service)
            return int(ASR_ERR_INVALID_HANDLE);
        std::lock_guard<std::mutex> hold(service->lock);
        return body(service.get());
    });
}

// A failing start, feed or stop is a failure of the service: the stream is
// over and the recogniser must be started again.
int FailStream(asr_service_t handle, int failure, bool dropUnfetched)
{
    WithService(handle, [&](Service* s) {
        EndStream(s);
        if (dropUnfetched)
            s->unfetched.clear();
        return int(ASR_OK);
    });
    return failure;
}

}  // namespace

extern "C" int __cdecl asr_create_service(asr_service_t* service)
{
    if (service)
        *service = 0;
    if (const int failure = ScriptedFailure(AsrCall::CreateService))
        return failure;
    if (!service)
        return ASR_ERR_INVALID_ARGUMENT;
    return Guarded([&] {
        Registry& registry = Services();
        auto created = std::make_shared<Service>();
        std::lock_guard<std::mutex> hold(registry.lock);
        const asr_service_t handle = kHandleTag | ++registry.lastSerial;
        registry.services[handle] = std::move(created);
        *service = handle;
        return int(ASR_OK);
    });
}

extern "C" int __cdecl asr_set_option(asr_service_t service, int option, const char* value)
{
    if (const int failure = ScriptedFailure(AsrCall::SetOption))
        return failure;
    return WithService(service, [&](Service* s) {
        if (!value)
            return int(ASR_ERR_INVALID_ARGUMENT);
        if (!IsKnownOption(option))
            return int(ASR_ERR_UNKNOWN_OPTION);
        s->options[option] = value;
        return int(ASR_OK);
    });
}

extern "C" int __cdecl asr_login_service(asr_service_t service)
{
    if (const int failure = ScriptedFailure(AsrCall::LoginService))
        return failure;
    return WithService(service, [&](Service* s) {
        const int checked = CheckCredentials(*s);
        s->loggedIn = checked == ASR_OK;
        return checked;
    });
}

extern "C" int __cdecl asr_start_recognizer(asr_service_t service)
{
    if (const int failure = ScriptedFailure(AsrCall::StartRecognizer))
        return FailStream(service, failure, true);
    return WithService(service, [&](Service* s) {
        EndStream(s);
        s->unfetched.clear();
        if (!s->loggedIn)
            return int(ASR_ERR_NOT_LOGGED_IN);
        const int checked = CheckStreamOptions(*s);
        s->started = checked == ASR_OK;
        return checked;
    });
}

extern "C" int __cdecl asr_feed_buffer(asr_service_t service, const void* data, int size)
{
    if (const int failure = ScriptedFailure(AsrCall::FeedBuffer))
        return FailStream(service, failure, false);
    return WithService(service, [&](Service* s) {
        if (size < 0 || (size > 0 && !data))
            return int(ASR_ERR_INVALID_ARGUMENT);
        if (size > ASR_MAX_FEED_BYTES)
            return int(ASR_ERR_BUFFER_TOO_LARGE);
        if (!s->started)
            return int(ASR_ERR_NOT_STARTED);
        std::vector<int> words;
        if (!s->stream.Feed(static_cast<const uint8_t*>(data), size_t(size), &s->decoder, &words)) {
            EndStream(s);
            return int(ASR_ERR_BAD_AUDIO);
        }
        AddWords(s, words);
        return int(words.empty() ? ASR_FEED_NO_RESULT : ASR_FEED_RESULT);
    });
}

extern "C" const char* __cdecl asr_get_result(asr_service_t service)
{
    static const char kEmpty[] = "";
    const char* text = kEmpty;
    WithService(service, [&](Service* s) {
        s->result.swap(s->unfetched);
        s->unfetched.clear();
        text = s->result.c_str();
        return int(ASR_OK);
    });
    return text;
}

extern "C" int __cdecl asr_stop_recognizer(asr_service_t service)
{
    if (const int failure = ScriptedFailure(AsrCall::StopRecognizer))
        return FailStream(service, failure, true);
    return WithService(service, [&](Service* s) {
        if (!s->started)
            return int(ASR_ERR_NOT_STARTED);
        std::vector<int> words;
        s->decoder.Finish(&words);
        AddWords(s, words);
        EndStream(s);
        return int(s->unfetched.empty() ? ASR_STOP_NO_RESULT : ASR_STOP_RESULT);
    });
}

extern "C" int __cdecl asr_release_service(asr_service_t service)
{
    const int failure = ScriptedFailure(AsrCall::ReleaseService);
    return Guarded([&] {
        std::shared_ptr<Service> released;
        Registry& registry = Services();
        std::lock_guard<std::mutex> hold(registry.lock);
        const auto found = registry.services.find(service);
        if (found == registry.services.end())
            return failure ? failure : int(ASR_ERR_INVALID_HANDLE);
        // Freed even when the call is scripted to fail, so tests leak nothing.
        released = std::move(found->second);
        registry.services.erase(found);
        return failure ? failure : int(ASR_OK);
    });
}
