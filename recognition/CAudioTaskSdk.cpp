#include "CAudioTaskSdk.h"

#include "AppPaths.h"
#include "AudioPiece.h"
#include "CData.h"
#include "Logger.h"
#include "PubUtils.h"
#include "ScopedHandle.h"
#include "StringUtils.h"

#include <vector>

namespace {

const char kRunTag[] = "CAudioTaskSdk::Run";
const char kRecognitionTag[] = "CAudioTaskSdk::Recognition";

constexpr int kKeyCount = 8;
// What a piece reports when the SDK library is not beside the program.
constexpr int kSdkLibraryMissing = -1;

// Entries 0 and 1 hold the same pair, so the tick-count pick favours it.
const char* const kAppKeys[kKeyCount] = {
    "gfbbartdzgywvcm5pujlif5tsx72ke5hqlvhxcvb", "gfbbartdzgywvcm5pujlif5tsx72ke5hqlvhxcvb",
    "eeahqdescy676e6qmxc6zhjkorqpgjz4k5jre7rn", "d7xakk3wxdimbaq37rx5gplmczysc2fhxezucsuw",
    "juj6yjh5uhap7cbq2sb5wcsgyhccsillqjhwfkje", "uw24tvb3bmt6px3dl7jncmj6xtqml5lcud3udgh2",
    "jhwjydc6tna52h2mggcae27pa7dq44apcqjrbovl", "hg3q6l6qiqhionasztr4vqd3o5fpdtihqyg77enu",
};
const char* const kSecrets[kKeyCount] = {
    "54219d08385db13410f60883cd554cad", "54219d08385db13410f60883cd554cad", "fcbd84338ca318ed849e09752173d6cf",
    "671cf20c65b812229c7a5fb50da889e2", "485239ab7ca789d7ae2d0dbc1ac52e42", "603a88a24a3788e039da8c60fe39b606",
    "d44d7019bee821fd9e1b225c5a262a7d", "4504821825b409789456199b81f1f1a2",
};

// Named in the status when the service could not even be created.
const char kNoKeyText[] = "none";

const char kAudioFormat[] = "pcm16k";
const char kDomain[] = "general";
const char kSearchFilter[] = "filterName=search;returnType=json;";

constexpr int kChunkBytes = ASR_MAX_FEED_BYTES;
constexpr int kMaxStarts = 20;
constexpr long long kMinChunksPerStep = 100;

// Codes from -1 to -10 are local failures, and -90002 is left out of the
// reports on purpose.
bool ShouldUpload(int error)
{
    return error < -10 && error != -90002;
}

}  // namespace

bool CAudioTaskSdk::Start(AudioPiece* piece, int timeoutMs)
{
    piece_ = piece;
    timeoutMs_ = timeoutMs;
    return Start();
}

void CAudioTaskSdk::Run()
{
    RunConverter();
    statusCopy_.clear();
    asr_service_t service = 0;
    int keyIndex = -1;
    lastError_ = RecogniseWithService(&service, &keyIndex);
    if (lastError_ == 0) {
        status_ = "ok";
        statusCopy_ = status_;
    }
    if (service != 0)
        asr_release_service(service);
    Finish(keyIndex);
    NotifyDone();
}

void CAudioTaskSdk::RunConverter()
{
    const bool show = ReadConfigInt(L"Debug", 0) != 0;
    // A converter that cannot be started leaves the piece file missing, and
    // the feed reports that.
    ScopedHandle process = StartFfmpeg(piece_->command, show);
    if (!process)
        return;
    const DWORD wait = timeoutMs_ < 1 ? INFINITE : static_cast<DWORD>(timeoutMs_);
    if (WaitForSingleObject(process.get(), wait) == WAIT_TIMEOUT)
        g_logger.Write(1, kRunTag, "wait CAudioTask exit time out: %d, %s", timeoutMs_,
                       WideToAnsi(piece_->command).c_str());
}

// The SDK is linked for delayed loading so that the program runs without
// it; a first call into a missing DLL would raise an exception instead of
// failing, so its presence is checked once before any call.
static bool SdkLibraryLoads()
{
    static const bool loads = LoadLibraryW(L"libasr.dll") != nullptr;
    return loads;
}

int CAudioTaskSdk::RecogniseWithService(asr_service_t* service, int* keyIndex)
{
    *service = 0;
    if (!SdkLibraryLoads()) {
        g_logger.Write(2, kRunTag, "libasr.dll could not be loaded");
        return kSdkLibraryMissing;
    }
    int result = asr_create_service(service);
    if (result != 0) {
        g_logger.Write(2, kRunTag, "asr_create_service_ext error %d", result);
        return result;
    }
    *keyIndex = static_cast<int>(GetTickCount() % kKeyCount);
    asr_set_option(*service, ASR_OPT_APP_KEY, kAppKeys[*keyIndex]);
    asr_set_option(*service, ASR_OPT_SECRET, kSecrets[*keyIndex]);
    result = asr_login_service(*service);
    if (result != 0) {
        g_logger.Write(2, kRunTag, "asr_login_service error %d", result);
        return result;
    }
    result = Recognition(*service, kAudioFormat, kDomain, false);
    if (result != 0)
        g_logger.Write(2, kRunTag, "Recognition error %d", result);
    return result;
}

int CAudioTaskSdk::Recognition(asr_service_t service, const char* format, const char* domain, bool searchFilter)
{
    ScopedHandle file(CreateFileA(piece_->pieceFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        g_logger.Write(3, kRecognitionTag, "fopen file error:%s", piece_->pieceFile.c_str());
        return -1;
    }
    asr_set_option(service, ASR_OPT_AUDIO_FORMAT, format);
    asr_set_option(service, ASR_OPT_DOMAIN, domain);
    if (searchFilter)
        asr_set_option(service, ASR_OPT_RESULT_FILTER, kSearchFilter);
    return FeedFile(service, file.get(), size.QuadPart);
}

int CAudioTaskSdk::FeedFile(asr_service_t service, HANDLE file, long long fileSize)
{
    // A long piece reports about progressSteps times; a short one keeps
    // 100-chunk steps and reaches fewer before its end.
    const int progressSteps = piece_->progressSteps.load();
    long long step = fileSize / kChunkBytes / (progressSteps > 0 ? progressSteps : 1);
    if (step <= kMinChunksPerStep)
        step = kMinChunksPerStep;

    std::vector<char> chunk(kChunkBytes);
    bool started = false;
    int starts = 0;
    int lastResult = 0;
    long long chunks = 0;
    while (!IsStop()) {
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) || read == 0)
            break;
        if (!started) {
            if (starts >= kMaxStarts)
                return lastResult;
            ++starts;
            const int result = asr_start_recognizer(service);
            if (result != 0) {
                g_logger.Write(2, kRecognitionTag, "asr_start_recognizer error %d, times %d", result, starts);
                return result;
            }
            started = true;
        }
        lastResult = asr_feed_buffer(service, chunk.data(), static_cast<int>(read));
        if (lastResult == 2 || lastResult == 101) {
            AppendResult(asr_get_result(service), lastResult == 2);
        } else if (lastResult < 0) {
            // The failed chunk is lost: the next one goes to a new stream.
            g_logger.Write(2, kRecognitionTag, "asr_feed_buffer error %d times %d", lastResult, starts);
            started = false;
        }
        // Asked for every chunk: the option may change while a long piece runs.
        Sleep(CData::GetInstance()->GetOptimize() ? 8 : 6);
        const long long n = chunks++;
        if (n % step == 0) {
            piece_->stepsDone.store(static_cast<int>((n + 1) / step));
            PostProgress();
        }
    }
    if (asr_stop_recognizer(service) == 0)
        AppendResult(asr_get_result(service), false);
    return 0;
}

void CAudioTaskSdk::AppendResult(const char* text, bool spaceAfterLongText)
{
    if (!text || *text == '\0')
        return;
    std::string words(text);
    // Single characters run on as Chinese text does; longer results are set
    // apart.
    if (spaceAfterLongText && words.size() > 3)
        words += ' ';
    piece_->AppendText(words);
}

void CAudioTaskSdk::PostProgress()
{
    CData* data = CData::GetInstance();
    if (!data->IsExiting())
        PostMessageW(data->GetMainWnd(), WM_USER_AUDIO_PROGRESS, reinterpret_cast<WPARAM>(piece_),
                     static_cast<LPARAM>(piece_->id));
}

void CAudioTaskSdk::Finish(int keyIndex)
{
    if (lastError_ != 0) {
        const char* key = (keyIndex >= 0 && keyIndex < kKeyCount) ? kAppKeys[keyIndex] : kNoKeyText;
        status_ = "speech sdk error. code=" + std::to_string(lastError_) + " " + key;
        statusCopy_ = status_;
        g_logger.Write(2, kRunTag, "%s", status_.c_str());
        if (ShouldUpload(lastError_))
            CData::GetInstance()->AddUpLogExt(status_);
    }
    piece_->code.store(lastError_);
    piece_->SetMessageText(status_);
    // Written last: the receiver takes equal steps as the end of the piece.
    piece_->stepsDone.store(piece_->progressSteps.load());
    PostProgress();
}
