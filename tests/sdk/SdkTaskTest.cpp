// The speech SDK piece task, driven directly with pieces made here: its
// failure codes and statuses, its progress messages, the piece's text, and a
// piece cut by the real converter and recognised through the SDK.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "AppPaths.h"
#include "AudioPiece.h"
#include "CAudioConvert.h"
#include "CAudioTaskSdk.h"
#include "CData.h"
#include "Lock.h"
#include "Logger.h"
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TestSupport.h"
#include "ToneSpeechAudio.h"

#include <libasr.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const DWORD kRunLimitMs = 120000;

// ---- the log, as the task writes it from its own thread

struct LogLine {
    int level;
    std::string tag;
    std::string text;
};

CLock g_logLock;
std::vector<LogLine> g_logLines;

void CollectLogLine(int level, const char* tag, const char* text)
{
    CAutoLock guard(&g_logLock);
    g_logLines.push_back({level, tag, text});
}

class LogCapture {
public:
    LogCapture()
    {
        Clear();
        g_logger.SetObserver(&CollectLogLine);
    }
    ~LogCapture() { g_logger.SetObserver(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void Clear()
    {
        CAutoLock guard(&g_logLock);
        g_logLines.clear();
    }
    std::vector<LogLine> Lines()
    {
        CAutoLock guard(&g_logLock);
        return g_logLines;
    }
    int Count(int level, const std::string& text)
    {
        int count = 0;
        for (const LogLine& line : Lines())
            count += (line.level == level && line.text == text) ? 1 : 0;
        return count;
    }
    bool HasPrefix(int level, const std::string& prefix)
    {
        for (const LogLine& line : Lines()) {
            if (line.level == level && line.text.compare(0, prefix.size(), prefix) == 0)
                return true;
        }
        return false;
    }
};

// ---- scripted SDK failures

// The stand-in counts calls from 0 again whenever the script changes; a call
// with the variable cleared makes the next script start afresh.
void ResetFaultCount()
{
    SetEnvironmentVariableW(L"LIBASR_FAULTS", nullptr);
    asr_release_service(0);
}

class FaultScript {
public:
    explicit FaultScript(const std::string& rules)
    {
        ResetFaultCount();
        if (!rules.empty())
            SetEnvironmentVariableW(L"LIBASR_FAULTS", AnsiToWide(rules).c_str());
    }
    ~FaultScript() { ResetFaultCount(); }
    FaultScript(const FaultScript&) = delete;
    FaultScript& operator=(const FaultScript&) = delete;
};

// ---- the main window the task posts to

struct ProgressSeen {
    AudioPiece* piece;
    LPARAM id;
    int stepsDone;
    std::string text;
};

std::vector<ProgressSeen> g_progress;

void OnPosted(const PostedMessage& posted)
{
    if (posted.message == WM_USER_AUDIO_PROGRESS) {
        auto* piece = reinterpret_cast<AudioPiece*>(posted.wParam);
        // Read as the main window reads a running piece.
        g_progress.push_back({piece, posted.lParam, piece->stepsDone.load(), piece->GetText()});
        return;
    }
    if (posted.message == WM_USER_COMMAND) {
        if (CUserhttplib* client = CData::GetInstance()->GetUserlib())
            client->ReleaseRecord(static_cast<unsigned>(posted.wParam),
                                  reinterpret_cast<UserlibRecord*>(posted.lParam));
    }
}

MessageWindow* MainWindow()
{
    static MessageWindow* window = [] {
        // No user service in these tests, and no address outside this machine.
        WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:1");
        auto* made = new MessageWindow;
        made->SetHandler(&OnPosted);
        CData::GetInstance()->InitUserlib(made->Handle());
        return made;
    }();
    return window;
}

// The messages of this piece: a piece of an earlier case may have had the
// same address, so the id must match too.
std::vector<ProgressSeen> ProgressOf(const AudioPiece* piece)
{
    std::vector<ProgressSeen> seen;
    for (const ProgressSeen& one : g_progress) {
        if (one.piece == piece && one.id == piece->id)
            seen.push_back(one);
    }
    return seen;
}

// ---- pieces and their files

std::string TempPath(const std::string& name)
{
    return GetTempDir() + "\\" + name;
}

// The converter's line for a piece file that the test wrote itself: it
// touches no file.
const wchar_t kHarmlessConverterLine[] = L"-loglevel quiet -version";

std::unique_ptr<AudioPiece> MakePiece(const std::string& pieceFile, const std::wstring& command)
{
    static int lastId = 1000;
    auto piece = std::make_unique<AudioPiece>(pieceFile, 60, 1, 0, command, pieceFile);
    piece->engine = AudioPiece::kEngineSdk;
    piece->id = ++lastId;
    return piece;
}

bool WriteMonoWav(const std::string& path, const std::vector<int16_t>& samples)
{
    WavData wav;
    wav.sampleRate = tonespeech::kSampleRate;
    wav.channels = 1;
    wav.samples = samples;
    return WriteWav(path, wav);
}

std::string WithoutSpaces(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

bool IsAppKey(const std::string& key)
{
    return key.size() == 40 &&
           std::all_of(key.begin(), key.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= '2' && c <= '7'); });
}

// Words 0..15 over and over, padded with silence to the given length.
std::vector<int16_t> SpeechOfSeconds(int seconds, std::string* text)
{
    std::vector<int> words;
    for (int i = 0; i < seconds * 2 - 8; ++i)
        words.push_back(i % 16);
    tonespeech::Recording recording = tonespeech::Speak(words);
    const size_t wanted = static_cast<size_t>(seconds) * tonespeech::kSampleRate;
    if (recording.samples.size() < wanted)
        tonespeech::AppendSilence(&recording.samples, wanted - recording.samples.size());
    *text = recording.text;
    return recording.samples;
}

// A WAV piece of exactly 60 seconds of speech, and the words spoken in it.
std::unique_ptr<AudioPiece> SixtySecondPiece(std::string* spoken)
{
    const std::string file = TempPath("sdk_task_60s.wav");
    if (!WriteMonoWav(file, SpeechOfSeconds(60, spoken)))
        return nullptr;
    return MakePiece(file, kHarmlessConverterLine);
}

void ExpectSucceeded(AudioPiece& piece)
{
    EXPECT_EQ(0, piece.code.load());
    EXPECT_EQ("ok", piece.GetMessageText());
}

// ---- running one task

void OnTaskDone(SimpleThread*, void* user)
{
    static_cast<std::atomic<bool>*>(user)->store(true);
}

// Runs the task to its end: its completion callback came and the final
// message (steps done equal to progress steps) was received.
bool RunTask(CAudioTaskSdk& task, AudioPiece* piece, const std::function<void()>& whileRunning = nullptr)
{
    MainWindow();
    std::atomic<bool> done{false};
    task.SetCallback(&OnTaskDone, &done);
    if (!task.Start(piece, 0))
        return false;
    if (whileRunning)
        whileRunning();
    const bool ended = PumpUntil(
        [&] {
            const std::vector<ProgressSeen> seen = ProgressOf(piece);
            return done.load() && !seen.empty() && seen.back().stepsDone == piece->progressSteps.load();
        },
        kRunLimitMs);
    task.Join(INFINITE);
    return ended;
}

// Whether the line was already in the data object's extended upload queue:
// queueing it again then logs its repeat count. (It is queued afterwards
// either way.)
bool WasQueuedForUpload(LogCapture& log, const std::string& line)
{
    log.Clear();
    CData::GetInstance()->AddUpLogExt(line);
    return log.Count(1, "ext uplog 2 msg " + line) == 1;
}

std::string SpokenText(const std::vector<int>& words)
{
    std::string text;
    for (int word : words)
        text += tonespeech::WordText(word);
    return text;
}

class SdkTaskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MainWindow();
        g_progress.clear();
        speech_ = tonespeech::Speak({1, 2, 10, 11});
        speechFile_ = TempPath("sdk_task_speech.wav");
        ASSERT_TRUE(WriteMonoWav(speechFile_, speech_.samples));
    }

    tonespeech::Recording speech_;
    std::string speechFile_;
};

// ---- failures

struct FailureCase {
    const char* name;
    const char* faults;  // LIBASR_FAULTS
    bool missingFile;
    int code;
    bool keyChosen;  // the status names an application key, else "none"
    bool uploaded;
    int logLevel;         // the failing step's own log line
    const char* logText;  // its text, or its start for the level-3 line
};

const FailureCase kFailures[] = {
    {"create", "asr_create_service:1:-30001", false, -30001, false, true, 2, "asr_create_service_ext error -30001"},
    {"login -10", "asr_login_service:1:-10", false, -10, true, false, 2, "asr_login_service error -10"},
    {"login -11", "asr_login_service:1:-11", false, -11, true, true, 2, "asr_login_service error -11"},
    {"login -90002", "asr_login_service:1:-90002", false, -90002, true, false, 2, "asr_login_service error -90002"},
    {"start", "asr_start_recognizer:1:-30002", false, -30002, true, true, 2,
     "asr_start_recognizer error -30002, times 1"},
    // Every start is followed by a failing feed: the twentieth ends it.
    // A twenty-first start would fail differently.
    {"feed", "asr_feed_buffer:1:-30003:20;asr_start_recognizer:21:-30009", false, -30003, true, true, 2,
     "asr_feed_buffer error -30003 times 20"},
    {"missing file", "", true, -1, true, false, 3, "fopen file error:"},
};

TEST_F(SdkTaskTest, FailuresGiveTheCallsCodeAndStatus)
{
    LogCapture log;
    for (const FailureCase& failure : kFailures) {
        SCOPED_TRACE(failure.name);
        log.Clear();
        const std::string file = failure.missingFile ? TempPath("sdk_task_no_such_piece.wav") : speechFile_;
        if (failure.missingFile)
            DeleteFileA(file.c_str());
        std::unique_ptr<AudioPiece> piece = MakePiece(file, kHarmlessConverterLine);
        CAudioTaskSdk task;
        {
            FaultScript faults(failure.faults);
            ASSERT_TRUE(RunTask(task, piece.get()));
        }
        EXPECT_EQ(failure.code, piece->code.load());
        EXPECT_EQ(piece->progressSteps.load(), piece->stepsDone.load());
        EXPECT_EQ(piece.get(), task.GetPiece());
        // The final message came, carrying the piece and its id.
        EXPECT_FALSE(ProgressOf(piece.get()).empty());

        const std::string prefix = "speech sdk error. code=" + std::to_string(failure.code) + " ";
        const std::string status = piece->GetMessageText();
        ASSERT_EQ(prefix, status.substr(0, prefix.size()));
        const std::string key = status.substr(prefix.size());
        if (failure.keyChosen)
            EXPECT_TRUE(IsAppKey(key)) << key;
        else
            EXPECT_EQ("none", key);

        if (failure.logLevel == 3)
            EXPECT_TRUE(log.HasPrefix(3, failure.logText + piece->pieceFile));
        else
            EXPECT_EQ(1, log.Count(failure.logLevel, failure.logText));
        EXPECT_EQ(1, log.Count(2, status));
        EXPECT_EQ(failure.uploaded, WasQueuedForUpload(log, status));
    }
}

struct RestartCase {
    const char* name;
    const char* faults;
    int restarts;                         // feed errors logged, each followed by a new start
    std::vector<std::vector<int>> texts;  // the words that may come out
};

TEST_F(SdkTaskTest, FeedErrorsRestartTheRecogniser)
{
    const RestartCase cases[] = {
        // Each failed feed lies within the leading silence: the twentieth
        // start goes through and no word is lost.
        {"nineteen in a row", "asr_feed_buffer:1:-90002:19", 19, {{1, 2, 10, 11}}},
        // The seventieth chunk lies inside the second word (words start 0.5 s
        // apart after 0.5 s of silence; a chunk is 1/64 s). The first word was
        // fetched before; what is left of the broken one may be too short to
        // count.
        {"inside a word", "asr_feed_buffer:70:-90002", 1, {{1, 2, 10, 11}, {1, 10, 11}}},
    };
    LogCapture log;
    for (const RestartCase& one : cases) {
        SCOPED_TRACE(one.name);
        log.Clear();
        std::unique_ptr<AudioPiece> piece = MakePiece(speechFile_, kHarmlessConverterLine);
        CAudioTaskSdk task;
        {
            FaultScript faults(one.faults);
            ASSERT_TRUE(RunTask(task, piece.get()));
        }
        ExpectSucceeded(*piece);
        for (int start = 1; start <= one.restarts + 1; ++start) {
            const int expected = start <= one.restarts ? 1 : 0;
            EXPECT_EQ(expected, log.Count(2, "asr_feed_buffer error -90002 times " + std::to_string(start))) << start;
        }
        const std::string text = WithoutSpaces(piece->GetText());
        bool expected = false;
        for (const std::vector<int>& words : one.texts)
            expected = expected || text == SpokenText(words);
        EXPECT_TRUE(expected) << text;
    }
}

// ---- the piece's text

struct TextCase {
    const char* name;
    std::vector<int> words;
    size_t tailSamples;
    const char* expected;  // UTF-8
};

TEST_F(SdkTaskTest, WordsAreAppendedInOrderWithSpacesAfterLongResults)
{
    const TextCase cases[] = {
        // 3-byte words run on; longer ones are followed by a space.
        {"mixed", {0, 10, 1, 11, 12}, 8000, u8"零你好 一世界 语音 "},
        // A word still open at the end arrives with the stop: no space.
        {"last word at the stop", {1, 13}, 0, u8"一识别"},
    };
    for (const TextCase& one : cases) {
        SCOPED_TRACE(one.name);
        tonespeech::Layout layout;
        layout.tailSamples = one.tailSamples;
        const std::string file = TempPath("sdk_task_text.wav");
        ASSERT_TRUE(WriteMonoWav(file, tonespeech::Speak(one.words, layout).samples));
        std::unique_ptr<AudioPiece> piece = MakePiece(file, kHarmlessConverterLine);
        CAudioTaskSdk task;
        ASSERT_TRUE(RunTask(task, piece.get()));
        ExpectSucceeded(*piece);
        EXPECT_EQ(std::string(one.expected), piece->GetText());
    }
}

// ---- progress

TEST_F(SdkTaskTest, SixtySecondPiecePostsProgressFromTheFirstChunk)
{
    std::string spoken;
    std::unique_ptr<AudioPiece> piece = SixtySecondPiece(&spoken);
    ASSERT_TRUE(piece);
    CAudioTaskSdk task;
    ASSERT_TRUE(RunTask(task, piece.get()));

    // 1 920 044 bytes: 3841 chunks, a step of 100 chunks, messages at chunks
    // 0, 100, ..., 3800 and the final one.
    const std::vector<ProgressSeen> seen = ProgressOf(piece.get());
    ASSERT_EQ(40u, seen.size());
    EXPECT_EQ(0, seen.front().stepsDone);
    for (size_t i = 1; i + 1 < seen.size(); ++i) {
        EXPECT_LE(seen[i - 1].stepsDone, seen[i].stepsDone) << i;
        EXPECT_LE(seen[i].stepsDone, 38) << i;
        EXPECT_EQ(piece->id, seen[i].id) << i;
        // The text read while the task appends only ever grows.
        EXPECT_EQ(seen[i - 1].text, seen[i].text.substr(0, seen[i - 1].text.size())) << i;
    }
    EXPECT_EQ(100, seen.back().stepsDone);
    ExpectSucceeded(*piece);
    EXPECT_EQ(spoken, WithoutSpaces(piece->GetText()));
}

// A 1200-second piece (38.4 MB) takes steps of 768 chunks, progress 0 to 99
// and then 100; fed at the SDK's pace it would run for minutes. The same
// sum at a smaller scale: 400 000 bytes in four steps of 200 chunks.
TEST_F(SdkTaskTest, LongPieceTakesStepsOfItsSizeOverItsProgressSteps)
{
    std::string spoken;
    std::vector<int16_t> samples = SpeechOfSeconds(12, &spoken);
    samples.resize((400000 - 44) / 2);
    const std::string file = TempPath("sdk_task_steps.wav");
    ASSERT_TRUE(WriteMonoWav(file, samples));
    std::unique_ptr<AudioPiece> piece = MakePiece(file, kHarmlessConverterLine);
    piece->progressSteps = 4;
    CAudioTaskSdk task;
    ASSERT_TRUE(RunTask(task, piece.get()));

    const std::vector<ProgressSeen> seen = ProgressOf(piece.get());
    std::vector<int> steps;
    for (const ProgressSeen& one : seen)
        steps.push_back(one.stepsDone);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), steps);
    ExpectSucceeded(*piece);
}

TEST_F(SdkTaskTest, StopMidFeedEndsAsSuccessWithTheTextSoFar)
{
    std::string spoken;
    std::unique_ptr<AudioPiece> piece = SixtySecondPiece(&spoken);
    ASSERT_TRUE(piece);
    CAudioTaskSdk task;
    ASSERT_TRUE(RunTask(task, piece.get(), [&] {
        ASSERT_TRUE(PumpUntil([&] { return piece->stepsDone.load() >= 5; }, kRunLimitMs));
        task.Stop();
    }));

    const std::vector<ProgressSeen> seen = ProgressOf(piece.get());
    EXPECT_LT(seen.size(), 20u);
    EXPECT_EQ(100, seen.back().stepsDone);
    ExpectSucceeded(*piece);
    const std::string text = WithoutSpaces(piece->GetText());
    // About ten seconds were fed: some words, in order, and far from all.
    EXPECT_GE(text.size(), 10u * 3);
    EXPECT_LT(text.size(), spoken.size() / 2);
    EXPECT_EQ(text, spoken.substr(0, text.size()));
}

// ---- end to end

TEST_F(SdkTaskTest, PieceCutByTheConverterIsRecognised)
{
    const std::vector<int> words = {10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const tonespeech::Recording recording = tonespeech::Speak(words);
    // A stereo source, so that the cut really converts it.
    WavData source;
    source.sampleRate = tonespeech::kSampleRate;
    source.channels = 2;
    for (int16_t sample : recording.samples) {
        source.samples.push_back(sample);
        source.samples.push_back(sample);
    }
    const std::string sourceFile = TempPath("sdk_task_source.wav");
    ASSERT_TRUE(WriteWav(sourceFile, source));
    // A piece name in the system code page, as the scheduler's paths are.
    const std::string pieceFile = TempPath(WideToAnsi(L"\u8bed\u97f3\u7247\u6bb5.wav"));
    ASSERT_FALSE(pieceFile.empty());
    DeleteFileA(pieceFile.c_str());
    const std::string command = "-y -i \"" + sourceFile +
                                "\" -ss 00:00:00 -to 00:20:00 -acodec pcm_s16le -ac 1 -ar 16000 \"" + pieceFile + "\"";

    std::unique_ptr<AudioPiece> piece = MakePiece(pieceFile, AnsiToWide(command));
    CAudioTaskSdk task;
    ASSERT_TRUE(RunTask(task, piece.get()));
    EXPECT_TRUE(FileExists(pieceFile));
    ExpectSucceeded(*piece);
    EXPECT_EQ(recording.text, WithoutSpaces(piece->GetText()));
}

// The setting is stored in the shared profile: it is put back afterwards.
class RecognitionTypeScope {
public:
    explicit RecognitionTypeScope(int type) : saved_(CData::GetInstance()->GetRecgType())
    {
        CData::GetInstance()->SetRecgType(type);
    }
    ~RecognitionTypeScope() { CData::GetInstance()->SetRecgType(saved_); }
    RecognitionTypeScope(const RecognitionTypeScope&) = delete;
    RecognitionTypeScope& operator=(const RecognitionTypeScope&) = delete;

private:
    int saved_;
};

TEST_F(SdkTaskTest, FileThroughTheSchedulerIsRecognised)
{
    RecognitionTypeScope sdkEngine(0);
    const std::vector<int> words = {3, 14, 15, 9, 2, 6};
    const tonespeech::Recording recording = tonespeech::Speak(words);
    const std::string source = TempPath("sdk_task_scheduled.wav");
    ASSERT_TRUE(WriteMonoWav(source, recording.samples));
    const int seconds = static_cast<int>(recording.samples.size() / tonespeech::kSampleRate) + 1;
    {
        CAudioConvert convert;
        ASSERT_TRUE(convert.AddTask(source, seconds, source));
        const bool ended = PumpUntil(
            [&] {
                for (const ProgressSeen& seen : g_progress) {
                    if (seen.stepsDone == seen.piece->progressSteps.load() && convert.GetRunning() == 0)
                        return true;
                }
                return false;
            },
            kRunLimitMs);
        ASSERT_TRUE(ended);
        const std::vector<AudioPiece*> pieces = convert.GetFilePieces(source);
        ASSERT_EQ(1u, pieces.size());
        ExpectSucceeded(*pieces[0]);
        EXPECT_EQ(recording.text, WithoutSpaces(pieces[0]->GetText()));
        EXPECT_EQ(pieces[0]->id, g_progress.back().id);
        convert.RemoveFile(source);
    }
}

// The program runs without the SDK library beside it (it is linked for
// delayed loading): a speech SDK piece then ends with -1, where the first call
// into the missing library would end the task's thread with an exception. A
// copy of this program runs the piece from a folder without the library.
const wchar_t kNoLibraryVariable[] = L"VANTORIN_SDK_NO_LIBRARY";

TEST_F(SdkTaskTest, PieceWithoutTheSdkLibraryEndsWithMinusOne)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring bin(self);
    bin.resize(bin.rfind(L'\\'));
    const std::wstring folder = bin + L"\\sdk_nolibrary";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"\\libasr.dll").c_str());
    const std::wstring child = folder + L"\\sdk_nolibrary.exe";
    ASSERT_TRUE(CopyFileW(self, child.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((bin + L"\\userhttplib.dll").c_str(), (folder + L"\\userhttplib.dll").c_str(), FALSE));

    // Started in that folder: the current folder is searched for the library too.
    std::wstring commandLine = L"\"" + child + L"\" --gtest_filter=SdkTaskTest.ChildWithoutTheSdkLibrary";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    SetEnvironmentVariableW(kNoLibraryVariable, L"1");
    const BOOL started = CreateProcessW(child.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    SetEnvironmentVariableW(kNoLibraryVariable, nullptr);
    ASSERT_TRUE(started);
    ScopedHandle thread(process.hThread);
    ScopedHandle running(process.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(running.get(), kRunLimitMs));
    DWORD code = 1;
    GetExitCodeProcess(running.get(), &code);
    EXPECT_EQ(0u, code);
}

// The child side of the test above; skipped in a normal run.
TEST_F(SdkTaskTest, ChildWithoutTheSdkLibrary)
{
    wchar_t flag[8] = {};
    if (GetEnvironmentVariableW(kNoLibraryVariable, flag, 8) == 0)
        GTEST_SKIP() << "runs only as a child of PieceWithoutTheSdkLibraryEndsWithMinusOne";
    ASSERT_EQ(nullptr, LoadLibraryW(L"libasr.dll")) << "the library is within reach";
    LogCapture log;
    std::unique_ptr<AudioPiece> piece = MakePiece(speechFile_, kHarmlessConverterLine);
    CAudioTaskSdk task;
    ASSERT_TRUE(RunTask(task, piece.get()));
    EXPECT_EQ(-1, piece->code.load());
    EXPECT_EQ("speech sdk error. code=-1 none", piece->GetMessageText());
    EXPECT_EQ(1, log.Count(2, "libasr.dll could not be loaded"));
    EXPECT_EQ("", piece->GetText());
}

}  // namespace
