// The piece scheduler with real ffmpeg.exe cuts, REST tasks and the speech
// stand-in; its results arrive at a message-only window.
#include "CSpeechClient.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CAudioTask.h"
#include "CData.h"
#include "Logger.h"
#include "PipelineSupport.h"
#include "PipelineWindowTest.h"
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TempWork.h"
#include "TestSupport.h"
#include "ToneSpeechAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

namespace {

const size_t kSecond = tonespeech::kSampleRate;

// One word per REST piece: word i lies about a second into piece i.
tonespeech::Recording WordPerPiece(const std::vector<int>& words)
{
    tonespeech::Layout layout;
    layout.leadSamples = kSecond;
    layout.gapSamples = {58 * kSecond - tonespeech::kWordSamples};
    return tonespeech::Speak(words, layout);
}

int DurationOf(const tonespeech::Recording& recording)
{
    return static_cast<int>((recording.samples.size() + kSecond - 1) / kSecond);
}

// The file a piece is cut from, as its converter line names it.
std::string InputOf(const AudioPiece* piece)
{
    const std::string line = WideToAnsi(piece->command);
    const size_t start = line.find("-i \"") + 4;
    return line.substr(start, line.find('"', start) - start);
}

// The bytes of the plain files in Temp, all of them or the pipeline's only.
unsigned long long TempBytes(bool pipelineOnly)
{
    const std::wstring folder = AnsiToWide(GetTempDir());
    unsigned long long bytes = 0;
    WIN32_FIND_DATAW found = {};
    ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            (!pipelineOnly || IsPipelineWorkName(found.cFileName)))
            bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileW(search.get(), &found));
    return bytes;
}

TEST(TempWork, PipelineNamesAndWhatAStartClearsAway)
{
    struct Case {
        const wchar_t* name;
        bool pipeline;
    };
    const Case cases[] = {
        {L"src12_0_会议 录音.wav", true},
        {L"src4_17_a", true},
        {L"0.pcm", true},
        {L"12.wav", true},
        {L"123456out.wav", true},
        {L"123456.mp3", true},
        {L"Vantorin20261210_120000Log.zip", false},
        {L"Vantorin.log", false},
        {L"config.ini", false},
        {L"src_0_a.wav", false},
        {L"src1_a.wav", false},
        {L"src1_2_", false},
        {L".pcm", false},
        {L"a1.wav", false},
        {L"1.wav.decoded.wav", false},
        {L"reference.mp3", false},
        {L"7.txt", false},
    };
    const std::string temp = GetTempDir();
    for (const Case& c : cases) {
        EXPECT_EQ(c.pipeline, IsPipelineWorkName(c.name)) << WideToAnsi(c.name);
        ASSERT_TRUE(WriteBinaryFile(temp + "\\" + WideToAnsi(c.name), "left by an earlier run"));
    }
    const std::string folder = temp + "\\12.wav.folder";
    CreateDirectoryW(AnsiToWide(folder).c_str(), nullptr);
    RemoveLeftoverWorkFiles();
    for (const Case& c : cases) {
        const std::string path = temp + "\\" + WideToAnsi(c.name);
        EXPECT_EQ(!c.pipeline, FileExists(path)) << path;
        DeleteFileW(AnsiToWide(path).c_str());
    }
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(AnsiToWide(folder).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(AnsiToWide(folder).c_str());
}

TEST(PieceTable, CountsAndCutPositions)
{
    struct Case {
        int duration;
        int length;
        int count;
        const char* lastStart;
        const char* lastEnd;
    };
    const Case cases[] = {
        {1, 58, 1, "00:00:00", "00:00:58"},      {2, 58, 1, "00:00:00", "00:00:58"},
        {58, 58, 1, "00:00:00", "00:00:58"},     {59, 58, 1, "00:00:00", "00:00:58"},
        {60, 58, 2, "00:00:58", "00:01:56"},     {3600, 58, 63, "00:59:56", "01:00:54"},
        {2401, 1200, 2, "00:20:00", "00:40:00"}, {2402, 1200, 3, "00:40:00", "01:00:00"},
        {3600, 1200, 3, "00:40:00", "01:00:00"}, {0, 58, 0, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const int count = PieceCount(c.duration, c.length);
        EXPECT_EQ(c.count, count) << c.duration << "/" << c.length;
        if (c.lastStart && count > 0) {
            EXPECT_EQ(c.lastStart, FormatHms((count - 1) * c.length)) << c.duration;
            EXPECT_EQ(c.lastEnd, FormatHms(count * c.length)) << c.duration;
        }
    }
    EXPECT_EQ("100:00:00", FormatHms(360000));
    EXPECT_EQ("27:46:39", FormatHms(99999));
}

TEST(PieceTable, ConverterArgumentsForBothEngines)
{
    EXPECT_EQ(L"-y -i \"C:\\a b.mp4\" -ss 00:00:58 -to 00:01:56 -f s16le -ac 1 -ar 16000 \"C:\\t\\1.pcm\"",
              PieceArguments(AudioPiece::kEngineRest, "C:\\a b.mp4", "00:00:58", "00:01:56", "C:\\t\\1.pcm"));
    EXPECT_EQ(L"-y -i \"C:\\a.wav\" -ss 00:00:00 -to 00:20:00 -acodec pcm_s16le -ac 1 -ar 16000 \"C:\\t\\0.wav\"",
              PieceArguments(AudioPiece::kEngineSdk, "C:\\a.wav", "00:00:00", "00:20:00", "C:\\t\\0.wav"));
    // A line longer than 1023 characters is kept whole: cut, it would name
    // another piece file, or none.
    const std::string deep = "C:\\" + std::string(1100, 'd') + "\\a.wav";
    const std::wstring line = PieceArguments(AudioPiece::kEngineRest, deep, "00:00:00", "00:00:58", "C:\\t\\7.pcm");
    EXPECT_GT(line.size(), 1023u);
    EXPECT_EQ(L"\"C:\\t\\7.pcm\"", line.substr(line.size() - 12));
}

class SchedulerTest : public PipelineWindowTest {
protected:
    void SetUp() override
    {
        PipelineWindowTest::SetUp();
        convert_.reset(new CAudioConvert);
    }

    void TearDown() override
    {
        // Tasks still running call back into the manager: it goes only when
        // they are done.
        EXPECT_TRUE(PumpUntil([this] { return convert_->GetRunning() == 0; }, 120000));
        convert_.reset();
        PipelineWindowTest::TearDown();
    }

    std::string WriteSource(const std::string& name, const tonespeech::Recording& recording)
    {
        const std::string path = GetTempDir() + "\\" + name;
        EXPECT_TRUE(WriteBinaryFile(path, tonespeech::WavFile(recording.samples)));
        return path;
    }

    std::vector<PostedMessage> Results() const { return window_->Received(WM_USER_AUDIO_RESULT); }

    // Until every source's copy into Temp is whole and the starts made
    // for it have begun their tasks.
    bool WaitForCopies()
    {
        return PumpUntil([this] { return !convert_->IsCopying(); }, 60000);
    }

    // Ticks the scheduler, as the main window's timer does (only faster),
    // until count results have come.
    bool WaitForResults(size_t count, DWORD timeoutMs = 120000)
    {
        return PumpUntil(
            [&] {
                convert_->OnTimer();
                return Results().size() >= count;
            },
            timeoutMs);
    }

    // The texts of the pieces the service was sent, in the order they came.
    std::vector<std::string> RecognizedTexts() const
    {
        std::vector<std::string> texts;
        const Json::Value stats = service_.Stats();
        for (const Json::Value& request : stats["requests"]) {
            if (request["endpoint"].asString() == "recognize")
                texts.push_back(request["text"].asString());
        }
        return texts;
    }

    static std::string JoinedText(const std::vector<AudioPiece*>& pieces)
    {
        std::string text;
        for (AudioPiece* piece : pieces)
            text += piece->GetText();
        return text;
    }

    std::unique_ptr<CAudioConvert> convert_;
};

TEST_F(SchedulerTest, MultiPieceFileComesBackWithItsTextInPieceOrder)
{
    const tonespeech::Recording recording = WordPerPiece({10, 11, 12, 13});
    const std::string source = WriteSource("sched_four.wav", recording);
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    ASSERT_TRUE(WaitForResults(4));

    std::set<AudioPiece*> posted;
    for (const PostedMessage& message : Results()) {
        auto* piece = reinterpret_cast<AudioPiece*>(message.wParam);
        EXPECT_TRUE(convert_->IsLivePiece(piece, message.lParam));
        EXPECT_EQ(piece->id, message.lParam);
        EXPECT_FALSE(convert_->IsLivePiece(piece, message.lParam + 1000));
        posted.insert(piece);
    }
    EXPECT_EQ(4u, posted.size());

    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(4u, pieces.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(i, pieces[i]->index);
        EXPECT_EQ(4, pieces[i]->count);
        EXPECT_EQ(0, pieces[i]->code.load());
        EXPECT_EQ("success.", pieces[i]->GetMessageText());
        EXPECT_EQ(1, pieces[i]->starts);
        EXPECT_FALSE(pieces[i]->prepared);
    }
    EXPECT_EQ(recording.text, JoinedText(pieces));
    EXPECT_EQ(u8"你好世界语音识别", JoinedText(pieces));
    // The run is over: its copy of the source and its pieces are gone, the
    // source stays.
    EXPECT_NE(source, InputOf(pieces[0]));
    EXPECT_FALSE(FileExists(InputOf(pieces[0])));
    for (const AudioPiece* piece : pieces)
        EXPECT_FALSE(FileExists(piece->pieceFile)) << piece->pieceFile;
    EXPECT_TRUE(FileExists(source));
}

// Recognising one file again and again (a finished row started again drops
// its pieces first) leaves Temp as it was.
TEST_F(SchedulerTest, FiveRunsOfOneFileLeaveNothingBehindInTemp)
{
    const tonespeech::Recording recording = WordPerPiece({1, 2, 3, 4});
    const std::string source = WriteSource("sched_five_runs.wav", recording);
    const unsigned long long before = TempBytes(true);
    const unsigned long long allBefore = TempBytes(false);
    for (int run = 1; run <= 5; ++run) {
        if (run > 1)
            convert_->RemoveFile(source);
        ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
        ASSERT_TRUE(WaitForResults(4 * static_cast<size_t>(run)));
        EXPECT_EQ(recording.text, JoinedText(convert_->GetFilePieces(source))) << "run " << run;
    }
    ASSERT_TRUE(PumpUntil([this] { return convert_->GetRunning() == 0; }, 60000));
    const unsigned long long after = TempBytes(true);
    std::printf("Temp after five runs of a %llu-byte file: %llu -> %llu bytes (pipeline files %llu -> %llu)\n",
                static_cast<unsigned long long>(ReadFileBytes(source).size()), allBefore, TempBytes(false), before,
                after);
    EXPECT_LE(after, before);
}

TEST_F(SchedulerTest, FirstPiecesOfEveryFileRunBeforeAnySecondPiece)
{
    const tonespeech::Recording first = WordPerPiece({0, 1, 2});
    const tonespeech::Recording second = WordPerPiece({3, 4});
    const std::string a = WriteSource("sched_order_a.wav", first);
    const std::string b = WriteSource("sched_order_b.wav", second);
    // Each AddTask starts one piece; every later piece starts on a tick,
    // and the next tick waits until the started piece reached the service.
    ASSERT_TRUE(convert_->AddTask(a, DurationOf(first), a));
    ASSERT_TRUE(convert_->AddTask(b, DurationOf(second), b));
    ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == 2; }, 60000));
    for (int started = 3; started <= 5; ++started) {
        convert_->OnTimer();
        ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == started; }, 60000));
    }
    ASSERT_TRUE(WaitForResults(5));

    const std::vector<std::string> texts = RecognizedTexts();
    ASSERT_EQ(5u, texts.size());
    const std::multiset<std::string> firstPieces(texts.begin(), texts.begin() + 2);
    const std::multiset<std::string> secondPieces(texts.begin() + 2, texts.begin() + 4);
    EXPECT_EQ((std::multiset<std::string>{u8"零", u8"三"}), firstPieces);
    EXPECT_EQ((std::multiset<std::string>{u8"一", u8"四"}), secondPieces);
    EXPECT_EQ(u8"二", texts[4]);

    // The piece counter runs across files: the third piece made is 2.pcm.
    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces(a);
    ASSERT_EQ(3u, pieces.size());
    EXPECT_EQ(GetTempDir() + "\\2.pcm", pieces[2]->pieceFile);
    EXPECT_EQ(GetTempDir() + "\\3.pcm", convert_->GetFilePieces(b)[0]->pieceFile);
    EXPECT_EQ(u8"零一二", JoinedText(pieces));
    EXPECT_EQ(u8"三四", JoinedText(convert_->GetFilePieces(b)));
}

TEST_F(SchedulerTest, NeverMoreThanTenPiecesRunAtOnce)
{
    const tonespeech::Recording recording = WordPerPiece({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    const std::string source = WriteSource("sched_twelve.wav", recording);
    service_.Control("fail", "kind=delay&delay=2&count=12");
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    int most = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            convert_->OnTimer();
            most = std::max(most, convert_->GetRunning());
            return Results().size() >= 12;
        },
        180000));
    EXPECT_EQ(CAudioConvert::kMaxRunning, most);
    EXPECT_EQ(recording.text, JoinedText(convert_->GetFilePieces(source)));
}

TEST_F(SchedulerTest, OneCompletionLetsExactlyOneMorePieceStart)
{
    const tonespeech::Recording recording = WordPerPiece({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    const std::string source = WriteSource("sched_one_for_one.wav", recording);
    // Whichever request comes first comes back at once; the others are held.
    service_.Control("fail", "kind=error&err_no=3301&count=1");
    service_.Control("fail", "kind=delay&delay=20&count=11");
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    ASSERT_TRUE(WaitForCopies());
    for (int tick = 0; tick < 12; ++tick)
        convert_->OnTimer();
    ASSERT_EQ(CAudioConvert::kMaxRunning, convert_->GetRunning());
    // Ticks while nothing comes back start nothing, however many.
    ASSERT_TRUE(PumpUntil([&] { return Results().size() == 1; }, 120000));
    EXPECT_EQ(CAudioConvert::kMaxRunning - 1, convert_->GetRunning());
    convert_->OnTimer();
    EXPECT_EQ(CAudioConvert::kMaxRunning, convert_->GetRunning());
    for (int tick = 0; tick < 5; ++tick) {
        convert_->OnTimer();
        EXPECT_EQ(CAudioConvert::kMaxRunning, convert_->GetRunning());
    }
    ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == 11; }, 120000));
    ASSERT_TRUE(WaitForResults(12, 180000));
    EXPECT_EQ(12, service_.RecognizeRequests());
}

TEST_F(SchedulerTest, PiecesBackOutOfOrderAreListedAndJoinedInPieceOrder)
{
    const tonespeech::Recording recording = WordPerPiece({0, 1, 2, 3, 4});
    const std::string source = WriteSource("sched_out_of_order.wav", recording);
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == 1; }, 60000));
    // Pieces start one per tick; the second and the fourth are held at the
    // service, each tick waiting until the piece before reached it.
    for (int started = 2; started <= 5; ++started) {
        if (started == 2 || started == 4)
            service_.Control("fail", "kind=delay&delay=15");
        convert_->OnTimer();
        ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == started; }, 60000));
    }
    ASSERT_TRUE(PumpUntil([&] { return Results().size() == 3; }, 60000));
    std::vector<AudioPiece*> pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(3u, pieces.size());
    std::vector<int> indices;
    for (AudioPiece* piece : pieces)
        indices.push_back(piece->index);
    EXPECT_EQ((std::vector<int>{0, 2, 4}), indices);
    EXPECT_EQ(u8"零二四", JoinedText(pieces));
    EXPECT_EQ(2, convert_->GetRunning());

    ASSERT_TRUE(PumpUntil([&] { return Results().size() == 5; }, 120000));
    pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(5u, pieces.size());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(i, pieces[i]->index);
    EXPECT_EQ(u8"零一二三四", JoinedText(pieces));
}

TEST_F(SchedulerTest, FailedPieceStartsAgainUpToFiveTimesButNeverAfterPoorAudio)
{
    struct Case {
        std::string failure;
        int count;
        int requests;
        int code;
        size_t warnings;
        const char* message;
    };
    const Case cases[] = {
        {"kind=error&err_no=3300&err_msg=bad", 5, 5, 3300, 4, "bad"},
        {"kind=error&err_no=3300&err_msg=bad", 4, 5, 0, 4, "success."},
        {"kind=drop", 5, 5, -1, 4, nullptr},
        {"kind=error&err_no=3301", 1, 1, 3301, 0, "speech quality error."},
        // Without an error text the piece still counts as come back.
        {"kind=error&err_no=3300&err_msg=", 5, 5, 3300, 4, "error 3300"},
        {"kind=body&body=" + Escaped(u8R"({"err_no":0,"err_msg":"","result":["测试"]})"), 1, 1, 0, 0, "success."},
        {"kind=body&body=" + Escaped(u8R"({"err_no":0,"result":["测试"]})"), 1, 1, 0, 0, "success."},
        // The OAuth server refuses the keys: the audio goes with an empty
        // token, and the service's refusal is what comes back.
        {"target=token&kind=oauth_error", 5, 5, 3302, 4, "authentication failed: invalid token"},
    };
    const tonespeech::Recording recording = tonespeech::Speak({14});
    for (const Case& c : cases) {
        service_.Reset();
        window_->Clear();
        service_.Control("fail", c.failure + "&count=" + std::to_string(c.count));
        LogCapture log;
        const std::string source = WriteSource("sched_retry.wav", recording);
        ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
        ASSERT_TRUE(WaitForResults(1)) << c.failure;
        PumpFor(300);
        ASSERT_EQ(1u, Results().size()) << c.failure;
        auto* piece = reinterpret_cast<AudioPiece*>(Results()[0].wParam);
        EXPECT_EQ(c.code, piece->code.load()) << c.failure;
        EXPECT_EQ(c.requests, piece->starts) << c.failure;
        EXPECT_EQ(c.requests, service_.RecognizeRequests()) << c.failure;
        EXPECT_FALSE(piece->GetMessageText().empty());
        if (c.message) {
            EXPECT_EQ(c.message, piece->GetMessageText()) << c.failure;
        }
        const std::vector<std::string> lines = LogCapture::Matching(2, "speech task failed. ");
        ASSERT_EQ(c.warnings, lines.size()) << c.failure;
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_NE(std::string::npos, lines[i].find("retry:" + std::to_string(i + 1))) << lines[i];
        EXPECT_EQ(c.code == 0 ? u8"测试" : "", piece->GetText());
        convert_->RemoveFile(source);
        EXPECT_FALSE(convert_->IsLivePiece(piece, Results()[0].lParam));
    }
}

TEST_F(SchedulerTest, RemovedFileIsDroppedAndItsLateResultNotPosted)
{
    const tonespeech::Recording recording = WordPerPiece({0, 1});
    const std::string source = WriteSource("sched_remove.wav", recording);
    service_.Control("fail", "kind=delay&delay=2&count=2");
    LogCapture log;
    const unsigned long long before = TempBytes(true);
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    ASSERT_TRUE(WaitForCopies());
    convert_->OnTimer();
    EXPECT_EQ(2, convert_->GetRunning());
    convert_->RemoveFile(source);
    EXPECT_TRUE(convert_->GetFilePieces(source).empty());
    ASSERT_TRUE(PumpUntil([this] { return convert_->GetRunning() == 0; }, 60000));
    PumpFor(200);
    EXPECT_TRUE(Results().empty());
    EXPECT_EQ(2u, LogCapture::Matching(1, "task not exist ").size());
    // The tasks still cutting when the file went took its copy and their
    // piece files with them when they came back.
    EXPECT_EQ(before, TempBytes(true));
    EXPECT_TRUE(FileExists(source));
}

TEST_F(SchedulerTest, SameNamedSourcesFromTwoFoldersKeepTheirOwnCopies)
{
    const std::string one = GetTempDir() + "\\sched_dir_one";
    const std::string two = GetTempDir() + "\\sched_dir_two";
    CreateDirectoryW(AnsiToWide(one).c_str(), nullptr);
    CreateDirectoryW(AnsiToWide(two).c_str(), nullptr);
    const std::string a = one + "\\speech.wav";
    const std::string b = two + "\\speech.wav";
    ASSERT_TRUE(WriteBinaryFile(a, tonespeech::WavFile(tonespeech::Speak({5, 6}).samples)));
    ASSERT_TRUE(WriteBinaryFile(b, tonespeech::WavFile(tonespeech::Speak({7, 8, 9}).samples)));
    ASSERT_TRUE(convert_->AddTask(a, 2, a));
    ASSERT_TRUE(convert_->AddTask(b, 2, b));
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_EQ(u8"五六", JoinedText(convert_->GetFilePieces(a)));
    EXPECT_EQ(u8"七八九", JoinedText(convert_->GetFilePieces(b)));
}

TEST_F(SchedulerTest, OneSecondFileHasOnePiece)
{
    tonespeech::Layout layout;
    layout.leadSamples = kSecond / 10;
    layout.tailSamples = kSecond / 2;
    const tonespeech::Recording recording = tonespeech::Speak({15}, layout);
    ASSERT_LT(recording.samples.size(), 1 * kSecond);
    const std::string source = WriteSource("sched_short.wav", recording);
    ASSERT_TRUE(convert_->AddTask(source, 1, source));
    ASSERT_TRUE(WaitForResults(1));
    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(1u, pieces.size());
    EXPECT_EQ(1, pieces[0]->count);
    EXPECT_EQ(u8"结束", pieces[0]->GetText());
}

TEST_F(SchedulerTest, SourceThatCannotBeCopiedQueuesNothing)
{
    LogCapture log;
    const std::string missing = GetTempDir() + "\\sched_no_such_file.wav";
    EXPECT_FALSE(convert_->AddTask(missing, 30, missing));
    EXPECT_EQ(0, convert_->GetRunning());
    convert_->OnTimer();
    EXPECT_EQ(0, convert_->GetRunning());
    // Only the message box tells of it; nothing is logged.
    EXPECT_TRUE(LogCapture::Matching(3, "").empty());
}

// Copies into Temp are held at their first block until the test lets them go.
HANDLE g_copyGate = nullptr;

bool HeldCopyBlock(HANDLE from, HANDLE to, char* buffer, DWORD size, DWORD* copied)
{
    *copied = 0;
    if (WaitForSingleObject(g_copyGate, 60000) != WAIT_OBJECT_0)
        return false;
    DWORD got = 0, wrote = 0;
    if (!ReadFile(from, buffer, size, &got, nullptr) || !WriteFile(to, buffer, got, &wrote, nullptr) || wrote != got)
        return false;
    *copied = got;
    return true;
}

class HeldCopies {
public:
    HeldCopies() : gate_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        g_copyGate = gate_.get();
        SetCopyBlock(&HeldCopyBlock);
    }
    ~HeldCopies()
    {
        Release();
        SetCopyBlock(nullptr);
    }
    void Release() { SetEvent(gate_.get()); }

private:
    ScopedHandle gate_;
};

// The copies of one source's name in Temp.
std::vector<std::string> TempCopiesOf(const std::string& name)
{
    std::vector<std::string> found;
    WIN32_FIND_DATAW entry;
    ScopedFindHandle find(FindFirstFileW(AnsiToWide(GetTempDir() + "\\src*_" + name).c_str(), &entry));
    if (!find)
        return found;
    do
        found.push_back(WideToAnsi(entry.cFileName));
    while (FindNextFileW(find.get(), &entry));
    return found;
}

TEST_F(SchedulerTest, CopyIsWrittenOffTheCaller)
{
    const tonespeech::Recording recording = WordPerPiece({6, 7});
    const std::string source = WriteSource("sched_held_copy.wav", recording);
    HeldCopies held;
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    // Handed over with the copy not yet written: the start that AddTask makes
    // counts as running, and no tick starts a piece of a file still copied.
    EXPECT_TRUE(convert_->IsCopying());
    EXPECT_EQ(1, convert_->GetRunning());
    for (int tick = 0; tick < 3; ++tick)
        convert_->OnTimer();
    EXPECT_EQ(1, convert_->GetRunning());
    PumpFor(200);
    EXPECT_EQ(0, service_.RecognizeRequests());

    held.Release();
    // The first piece goes out without a tick; the second waits for one.
    ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == 1; }, 60000));
    ASSERT_TRUE(WaitForCopies());
    ASSERT_TRUE(WaitForResults(2));
    EXPECT_EQ(2, service_.RecognizeRequests());
    EXPECT_EQ(recording.text, JoinedText(convert_->GetFilePieces(source)));
}

// The head of the queue is a piece whose copy is still being written; a
// later piece is cut from a prepared file, which needs no copy: a tick
// passes over the head and starts the later one.
TEST_F(SchedulerTest, TickStartsTheFirstPieceWhoseCopyIsWholeNotTheHead)
{
    const tonespeech::Recording heldRecording = WordPerPiece({0, 1});
    const std::string held = WriteSource("sched_head_held.wav", heldRecording);
    const tonespeech::Recording recording = WordPerPiece({5, 6});
    const std::string prepared = WriteSource("sched_later_prepared_out.wav", recording);
    const std::string source = "D:\\media\\later.mp4";
    // The later file's pieces are held at the service, so that both still
    // run when counted.
    service_.Control("fail", "kind=delay&delay=5&count=2");
    HeldCopies copies;
    ASSERT_TRUE(convert_->AddTask(held, DurationOf(heldRecording), held));
    ASSERT_TRUE(convert_->AddTask(prepared, DurationOf(recording), source));
    // The queue now runs: held 0, held 1, later 1 (later 0 was started).
    ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == 1; }, 60000));
    EXPECT_EQ(2, convert_->GetRunning());
    convert_->OnTimer();
    EXPECT_EQ(3, convert_->GetRunning());
    // Nothing of the held file can be cut yet: the second request is the
    // later file's second piece.
    ASSERT_TRUE(PumpUntil([&] { return service_.RecognizeRequests() == 2; }, 60000));
    ASSERT_TRUE(PumpUntil([&] { return Results().size() == 2; }, 60000));
    EXPECT_EQ(recording.text, JoinedText(convert_->GetFilePieces(source)));
    // The held copy's pieces start only once it is whole.
    copies.Release();
    ASSERT_TRUE(WaitForResults(4));
    EXPECT_EQ(u8"零一", JoinedText(convert_->GetFilePieces(held)));
}

// A copy into Temp that fails at every block.
bool FailingCopyBlock(HANDLE, HANDLE, char*, DWORD, DWORD* copied)
{
    *copied = 0;
    SetLastError(ERROR_WRITE_FAULT);
    return false;
}

// Lets the copier end each copy and tell its end before AddTask goes on to
// book the start it makes: the order a copy that fails at once may take.
class CopyEndsFirstConvert : public CAudioConvert {
protected:
    std::shared_ptr<TempCopy> CopyToTemp(const std::string& source, const std::string& temp) override
    {
        std::shared_ptr<TempCopy> copy = CAudioConvert::CopyToTemp(source, temp);
        if (copy) {
            EXPECT_TRUE(PumpUntil([this] { return !IsCopying(); }, 30000));
        }
        return copy;
    }
};

TEST_F(SchedulerTest, CopyEndedBeforeItsStartIsBookedNeitherHoldsNorLosesTheStart)
{
    convert_.reset(new CopyEndsFirstConvert);
    const tonespeech::Recording recording = tonespeech::Speak({4});
    const std::string source = WriteSource("sched_ends_first.wav", recording);
    // Failed at once, more times than there are slots: no start is owed to
    // a copy that can never tell its end again, so no slot stays taken.
    SetCopyBlock(&FailingCopyBlock);
    for (int file = 0; file <= CAudioConvert::kMaxRunning; ++file) {
        ASSERT_TRUE(convert_->AddTask(source, 2, source));
        EXPECT_EQ(0, convert_->GetRunning()) << "file " << file;
    }
    SetCopyBlock(nullptr);
    convert_->OnTimer();
    EXPECT_EQ(0, convert_->GetRunning());
    const std::vector<AudioPiece*> failed = convert_->GetFilePieces(source);
    ASSERT_EQ(static_cast<size_t>(CAudioConvert::kMaxRunning + 1), failed.size());
    for (const AudioPiece* piece : failed) {
        EXPECT_EQ(-1, piece->code.load());
        EXPECT_EQ(0, piece->starts);
    }
    convert_->RemoveFile(source);

    // Whole at once: the start that AddTask makes begins its task there.
    ASSERT_TRUE(convert_->AddTask(source, 2, source));
    EXPECT_EQ(1, convert_->GetRunning());
    ASSERT_TRUE(PumpUntil([&] { return Results().size() == 1; }, 60000));
    EXPECT_EQ(recording.text, JoinedText(convert_->GetFilePieces(source)));
    EXPECT_EQ(1, service_.RecognizeRequests());
}

// The manager goes, as at the program's close, while its copy into Temp is
// held in a block no cancel reaches: it goes within the copier's bound, and
// the copy goes once the copier's thread lets go of it.
TEST_F(SchedulerTest, ManagerGoesWithinTheCopiersBoundWhileItsCopyIsHeld)
{
    const std::string source = WriteSource("sched_close_held.wav", tonespeech::Speak({3}));
    HeldCopies held;
    auto* convert = new CAudioConvert;
    ASSERT_TRUE(convert->AddTask(source, 2, source));
    ASSERT_TRUE(PumpUntil([] { return !TempCopiesOf("sched_close_held.wav").empty(); }, 30000));
    const ULONGLONG before = GetTickCount64();
    delete convert;
    const ULONGLONG tookMs = GetTickCount64() - before;
    std::printf("manager deleted with its copy held: %llu ms\n", tookMs);
    EXPECT_LE(tookMs, TempCopier::kStopWaitMs + 1000u);
    held.Release();
    EXPECT_TRUE(PumpUntil([] { return TempCopiesOf("sched_close_held.wav").empty(); }, 30000));
    EXPECT_EQ(0, service_.RecognizeRequests());
}

TEST_F(SchedulerTest, DroppedFileStopsItsCopy)
{
    const std::string kept = WriteSource("sched_kept_copy.wav", tonespeech::Speak({8}));
    const std::string dropped = WriteSource("sched_dropped_copy.wav", tonespeech::Speak({9}));
    {
        HeldCopies held;
        ASSERT_TRUE(convert_->AddTask(dropped, 2, dropped));
        ASSERT_TRUE(convert_->AddTask(kept, 2, kept));
        EXPECT_EQ(2, convert_->GetRunning());
        convert_->RemoveFile(dropped);
    }
    ASSERT_TRUE(WaitForCopies());
    EXPECT_TRUE(TempCopiesOf("sched_dropped_copy.wav").empty());
    // The dropped file's start was given back, and the kept file's began
    // once its copy was whole.
    ASSERT_TRUE(WaitForResults(1));
    ASSERT_TRUE(PumpUntil([this] { return convert_->GetRunning() == 0; }, 60000));
    PumpFor(200);
    EXPECT_EQ(1u, Results().size());
    EXPECT_EQ(1, service_.RecognizeRequests());
    EXPECT_TRUE(convert_->GetFilePieces(dropped).empty());
    EXPECT_EQ(u8"八", JoinedText(convert_->GetFilePieces(kept)));
}

TEST_F(SchedulerTest, PreparedFileIsCutInPlaceAndKeyedBySource)
{
    const tonespeech::Recording recording = tonespeech::Speak({3});
    const std::string prepared = WriteSource("sched_prepared_out.wav", recording);
    const std::string source = "D:\\media\\lecture.mp4";
    ASSERT_TRUE(convert_->AddTask(prepared, 2, source));
    ASSERT_TRUE(WaitForResults(1));
    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(1u, pieces.size());
    EXPECT_TRUE(pieces[0]->prepared);
    EXPECT_NE(std::wstring::npos, pieces[0]->command.find(AnsiToWide("\"" + prepared + "\"")));
    EXPECT_EQ(u8"三", pieces[0]->GetText());
    // A prepared file in Temp is the run's own: it goes with the run.
    EXPECT_FALSE(FileExists(prepared));
}

// While exiting, a REST task's callback leaves the task alone.
using WatchedRestTask = WatchedTask<CAudioTask>;

class WatchedConvert : public CAudioConvert {
public:
    std::vector<WatchedRestTask*> tasks;

protected:
    CAudioTask* NewRestTask() override
    {
        tasks.push_back(new WatchedRestTask);
        return tasks.back();
    }
};

TEST_F(SchedulerTest, NothingIsPostedWhileExiting)
{
    const tonespeech::Recording recording = tonespeech::Speak({2});
    const std::string source = WriteSource("sched_exit.wav", recording);
    CData::GetInstance()->SetExiting(true);
    // Left for the process, as at the program's close: a task may call back
    // into it until its run is over.
    auto* convert = new WatchedConvert;
    ASSERT_TRUE(convert->AddTask(source, 2, source));
    ASSERT_TRUE(PumpUntil([&] { return !convert->IsCopying(); }, 60000));
    ASSERT_EQ(1u, convert->tasks.size());
    ASSERT_TRUE(PumpUntil([&] { return convert->tasks[0]->HasEnded(); }, 60000));
    EXPECT_EQ(1, service_.RecognizeRequests());
    PumpFor(50);
    EXPECT_TRUE(Results().empty());
    // The callback did nothing, so the piece still counts as running.
    EXPECT_EQ(1, convert->GetRunning());
    // Only now may callbacks go on again.
    CData::GetInstance()->SetExiting(false);
}

TEST_F(SchedulerTest, SpeechSdkPiecesAreListedWhileRunningAndRemovedWithoutWaitingForTheirTask)
{
    CData::GetInstance()->SetRecgType(0);
    LogCapture log;
    const tonespeech::Recording recording = tonespeech::Speak({1, 2});
    const std::string source = WriteSource("sched_sdk.wav", recording);
    ASSERT_TRUE(convert_->AddTask(source, 0, source));
    CData::GetInstance()->SetRecgType(1);
    ASSERT_TRUE(WaitForCopies());
    const std::vector<std::string> zero = LogCapture::Matching(2, "audio ");
    ASSERT_EQ(1u, zero.size());
    EXPECT_NE(std::string::npos, zero[0].find("time is 0, set 3600"));

    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(3u, pieces.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(AudioPiece::kEngineSdk, pieces[i]->engine);
        EXPECT_EQ(i, pieces[i]->index);
        EXPECT_EQ(3600, pieces[i]->duration);
    }
    EXPECT_NE(nullptr, pieces[0]->sdkTask);
    EXPECT_EQ(nullptr, pieces[1]->sdkTask);
    EXPECT_NE(std::wstring::npos, pieces[2]->command.find(L"-ss 00:40:00 -to 01:00:00 -acodec pcm_s16le"));
    EXPECT_EQ(1, convert_->GetRunning());

    // The running task is asked to stop and not waited for; its completion
    // still comes (the piece's key is already gone) and frees it.
    convert_->RemoveFile(source);
    for (AudioPiece* piece : pieces)
        EXPECT_FALSE(convert_->IsLivePiece(piece, 0));
    ASSERT_TRUE(PumpUntil([this] { return convert_->GetRunning() == 0; }, 60000));
    EXPECT_EQ(1u, LogCapture::Matching(1, "task not exist ").size());
}

TEST_F(SchedulerTest, SpeechSdkPieceFileLeftByAnEarlierRunIsNotRecognised)
{
    // A fresh manager writes its first piece to 0.wav, where an earlier run
    // may have left a recording; this cut writes nothing (its input is gone).
    const std::string stale = GetTempDir() + "\\0.wav";
    ASSERT_TRUE(WriteBinaryFile(stale, tonespeech::WavFile(tonespeech::Speak({4, 5}).samples)));
    const std::string gone = GetTempDir() + "\\sched_sdk_gone_out.wav";
    DeleteFileA(gone.c_str());
    CData::GetInstance()->SetRecgType(0);
    ASSERT_TRUE(convert_->AddTask(gone, 2, "D:\\media\\gone.mp4"));
    CData::GetInstance()->SetRecgType(1);
    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces("D:\\media\\gone.mp4");
    ASSERT_EQ(1u, pieces.size());
    ASSERT_EQ(stale, pieces[0]->pieceFile);
    ASSERT_TRUE(PumpUntil([&] { return convert_->GetRunning() == 0; }, 60000));
    EXPECT_EQ(-1, pieces[0]->code.load()) << pieces[0]->GetMessageText();
    EXPECT_EQ("", pieces[0]->GetText());
    EXPECT_EQ(pieces[0]->progressSteps.load(), pieces[0]->stepsDone.load());
}

TEST_F(SchedulerTest, SpeechSdkPieceRunsToItsEndAndItsFinishedTaskIsFreedWithIt)
{
    CData::GetInstance()->SetRecgType(0);
    const tonespeech::Recording recording = tonespeech::Speak({11, 12});
    const std::string source = WriteSource("sched_sdk_end.wav", recording);
    ASSERT_TRUE(convert_->AddTask(source, DurationOf(recording), source));
    CData::GetInstance()->SetRecgType(1);
    ASSERT_TRUE(WaitForCopies());
    const std::vector<AudioPiece*> pieces = convert_->GetFilePieces(source);
    ASSERT_EQ(1u, pieces.size());
    AudioPiece* piece = pieces[0];
    ASSERT_TRUE(PumpUntil([&] { return convert_->GetRunning() == 0; }, 60000));
    EXPECT_EQ(piece->progressSteps.load(), piece->stepsDone.load());
    EXPECT_EQ(0, piece->code.load()) << piece->GetMessageText();
    std::string text = piece->GetText();
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    EXPECT_EQ(recording.text, text);
    // Never started again, and still listed with its task after the end.
    EXPECT_EQ(1, piece->starts);
    EXPECT_NE(nullptr, piece->sdkTask);
    const std::vector<PostedMessage> progress = window_->Received(WM_USER_AUDIO_PROGRESS);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(piece, reinterpret_cast<AudioPiece*>(progress.back().wParam));
    EXPECT_TRUE(convert_->IsLivePiece(piece, 0));
    // Its run is over: the copy and the piece file are gone.
    EXPECT_FALSE(FileExists(InputOf(piece)));
    EXPECT_FALSE(FileExists(piece->pieceFile));
    convert_->RemoveFile(source);
    EXPECT_FALSE(convert_->IsLivePiece(piece, 0));
    EXPECT_TRUE(Results().empty());
}

}  // namespace
