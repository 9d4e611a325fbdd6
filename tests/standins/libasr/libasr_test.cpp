#include "ToneSpeechAudio.h"
#include "libasr.h"

#include "Win32Prelude.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

using namespace tonespeech;

namespace {

const char kAppKey[] = "abcdefghijklmnopqrstuvwxyz234567abcdefgh";
const char kSecret[] = "0123456789abcdef0123456789abcdef";

// Owns one service handle for a test.
class Service {
public:
    Service() { EXPECT_EQ(ASR_OK, asr_create_service(&handle_)); }
    ~Service()
    {
        if (handle_ != 0)
            asr_release_service(handle_);
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    asr_service_t get() const { return handle_; }
    int Set(int option, const char* value) { return asr_set_option(handle_, option, value); }

    // Logged in and started, ready for audio.
    void Open()
    {
        ASSERT_EQ(ASR_OK, Set(ASR_OPT_APP_KEY, kAppKey));
        ASSERT_EQ(ASR_OK, Set(ASR_OPT_SECRET, kSecret));
        ASSERT_EQ(ASR_OK, asr_login_service(handle_));
        ASSERT_EQ(ASR_OK, Set(ASR_OPT_AUDIO_FORMAT, "pcm16k"));
        ASSERT_EQ(ASR_OK, Set(ASR_OPT_DOMAIN, "general"));
        ASSERT_EQ(ASR_OK, asr_start_recognizer(handle_));
    }

private:
    asr_service_t handle_ = 0;
};

struct FeedEvent {
    size_t endOffset;  // bytes of the stream fed once the result came
    std::string text;
};

struct Transcript {
    std::vector<FeedEvent> results;  // one per feed that returned 2
    std::vector<int> otherCodes;     // every feed result other than 2
    int stopCode = 0;
    std::string tail;  // fetched after stop when it returned 0

    std::string Text() const
    {
        std::string all;
        for (const FeedEvent& e : results)
            all += e.text;
        return all + tail;
    }
};

// Feeds the stream as the program does: chunks, a fetch after each 2, stop
// and a last fetch; without fetch nothing is fetched.
Transcript Recognise(asr_service_t service, const std::string& stream, size_t chunk, bool fetch = true)
{
    Transcript out;
    for (size_t at = 0; at < stream.size(); at += chunk) {
        const size_t size = std::min(chunk, stream.size() - at);
        const int code = asr_feed_buffer(service, stream.data() + at, int(size));
        if (code == ASR_FEED_RESULT)
            out.results.push_back({at + size, fetch ? asr_get_result(service) : std::string()});
        else
            out.otherCodes.push_back(code);
    }
    out.stopCode = asr_stop_recognizer(service);
    if (fetch && out.stopCode == ASR_STOP_RESULT)
        out.tail = asr_get_result(service);
    return out;
}

std::vector<int> AllWordsShuffled()
{
    return {3, 10, 0, 15, 7, 11, 1, 12, 9, 4, 13, 2, 14, 6, 8, 5, 10, 10, 0};
}

// Gaps of different lengths, so words fall at every position within a frame.
Layout VariedLayout()
{
    Layout layout;
    layout.leadSamples = 7777;
    layout.gapSamples = {2880, 3001, 4321, 2999, 5555, 3210};
    layout.noiseAmplitude = 400;
    return layout;
}

// ---------------------------------------------------------------- options

TEST(LibAsrOptions, LoginNeedsWellFormedKeyAndSecret)
{
    struct Case {
        const char* name;
        const char* key;  // null: not set
        const char* secret;
        int expected;
    };
    const Case cases[] = {
        {"neither", nullptr, nullptr, ASR_ERR_NO_CREDENTIALS},
        {"key only", kAppKey, nullptr, ASR_ERR_NO_CREDENTIALS},
        {"secret only", nullptr, kSecret, ASR_ERR_NO_CREDENTIALS},
        {"key upper case", "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567ABCDEFGH", kSecret, ASR_ERR_BAD_CREDENTIALS},
        {"key 39 chars", "abcdefghijklmnopqrstuvwxyz234567abcdefg", kSecret, ASR_ERR_BAD_CREDENTIALS},
        {"key 41 chars", "abcdefghijklmnopqrstuvwxyz234567abcdefghi", kSecret, ASR_ERR_BAD_CREDENTIALS},
        {"key with 8", "abcdefghijklmnopqrstuvwxyz234568abcdefgh", kSecret, ASR_ERR_BAD_CREDENTIALS},
        {"secret not hex", kAppKey, "0123456789abcdef0123456789abcdeg", ASR_ERR_BAD_CREDENTIALS},
        {"secret upper case", kAppKey, "0123456789ABCDEF0123456789ABCDEF", ASR_ERR_BAD_CREDENTIALS},
        {"secret 31 digits", kAppKey, "0123456789abcdef0123456789abcde", ASR_ERR_BAD_CREDENTIALS},
        {"both good", kAppKey, kSecret, ASR_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Service service;
        if (c.key) {
            ASSERT_EQ(ASR_OK, service.Set(ASR_OPT_APP_KEY, c.key));
        }
        if (c.secret) {
            ASSERT_EQ(ASR_OK, service.Set(ASR_OPT_SECRET, c.secret));
        }
        EXPECT_EQ(c.expected, asr_login_service(service.get()));
    }
}

TEST(LibAsrOptions, StartNeedsLoginFormatAndDomain)
{
    struct Case {
        const char* name;
        bool login;
        const char* format;
        const char* domain;
        int expected;
    };
    const Case cases[] = {
        {"not logged in", false, "pcm16k", "general", ASR_ERR_NOT_LOGGED_IN},
        {"no format", true, nullptr, "general", ASR_ERR_AUDIO_FORMAT},
        {"other format", true, "pcm8k", "general", ASR_ERR_AUDIO_FORMAT},
        {"no domain", true, "pcm16k", nullptr, ASR_ERR_NO_DOMAIN},
        {"empty domain", true, "pcm16k", "", ASR_ERR_NO_DOMAIN},
        {"all set", true, "pcm16k", "general", ASR_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Service service;
        ASSERT_EQ(ASR_OK, service.Set(ASR_OPT_APP_KEY, kAppKey));
        ASSERT_EQ(ASR_OK, service.Set(ASR_OPT_SECRET, kSecret));
        if (c.login) {
            ASSERT_EQ(ASR_OK, asr_login_service(service.get()));
        }
        if (c.format) {
            ASSERT_EQ(ASR_OK, service.Set(ASR_OPT_AUDIO_FORMAT, c.format));
        }
        if (c.domain) {
            ASSERT_EQ(ASR_OK, service.Set(ASR_OPT_DOMAIN, c.domain));
        }
        EXPECT_EQ(c.expected, asr_start_recognizer(service.get()));
        const char silence[100] = {};
        EXPECT_EQ(c.expected == ASR_OK ? int(ASR_FEED_NO_RESULT) : int(ASR_ERR_NOT_STARTED),
                  asr_feed_buffer(service.get(), silence, sizeof silence));
    }
}

TEST(LibAsrOptions, RefusesUnknownOptionsAndMissingValues)
{
    Service service;
    EXPECT_EQ(ASR_ERR_UNKNOWN_OPTION, service.Set(7, "x"));
    EXPECT_EQ(ASR_ERR_INVALID_ARGUMENT, service.Set(ASR_OPT_DOMAIN, nullptr));
    EXPECT_EQ(ASR_OK, service.Set(ASR_OPT_RESULT_FILTER, "filterName=search;returnType=json;"));
    EXPECT_EQ(ASR_ERR_INVALID_ARGUMENT, asr_create_service(nullptr));
}

TEST(LibAsrOptions, FeedAndStopNeedAStartedRecogniser)
{
    Service service;
    const char bytes[10] = {};
    EXPECT_EQ(ASR_ERR_NOT_STARTED, asr_feed_buffer(service.get(), bytes, sizeof bytes));
    EXPECT_EQ(ASR_ERR_NOT_STARTED, asr_stop_recognizer(service.get()));
    service.Open();
    EXPECT_EQ(ASR_STOP_NO_RESULT, asr_stop_recognizer(service.get()));
    EXPECT_EQ(ASR_ERR_NOT_STARTED, asr_stop_recognizer(service.get()));
    EXPECT_EQ(ASR_ERR_NOT_STARTED, asr_feed_buffer(service.get(), bytes, sizeof bytes));
}

// ---------------------------------------------------------------- feeding

TEST(LibAsrFeed, RefusesMoreThan500BytesAndKeepsTheStream)
{
    const Recording rec = Speak({4, 11});
    const std::string wav = WavFile(rec.samples);
    Service service;
    service.Open();
    const std::vector<char> big(501, 0);
    EXPECT_EQ(ASR_ERR_BUFFER_TOO_LARGE, asr_feed_buffer(service.get(), big.data(), 501));
    EXPECT_EQ(ASR_ERR_INVALID_ARGUMENT, asr_feed_buffer(service.get(), big.data(), -1));
    EXPECT_EQ(ASR_ERR_INVALID_ARGUMENT, asr_feed_buffer(service.get(), nullptr, 10));
    EXPECT_EQ(ASR_FEED_NO_RESULT, asr_feed_buffer(service.get(), nullptr, 0));
    // None of the refused calls consumed bytes or ended the stream.
    EXPECT_EQ(rec.text, Recognise(service.get(), wav, 500).Text());
}

TEST(LibAsrFeed, RecordingIn500ByteChunksGivesEachWordAsItEnds)
{
    const std::vector<int> words = AllWordsShuffled();
    const Recording rec = Speak(words, VariedLayout());
    const std::string wav = WavFile(rec.samples, WavOptions{true, false, 16000, 1});
    const size_t header = wav.size() - rec.samples.size() * 2;
    Service service;
    service.Open();
    const Transcript got = Recognise(service.get(), wav, ASR_MAX_FEED_BYTES);

    ASSERT_EQ(words.size(), got.results.size());
    for (size_t i = 0; i < words.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(WordText(words[i]), got.results[i].text);
        // Reported once the word is over, within two frames and a chunk of its end.
        const size_t wordEnd = header + 2 * (rec.wordStarts[i] + kWordSamples);
        EXPECT_GT(got.results[i].endOffset, wordEnd);
        EXPECT_LE(got.results[i].endOffset, wordEnd + 2 * 2 * kFrameSamples + ASR_MAX_FEED_BYTES);
    }
    for (int code : got.otherCodes)
        EXPECT_EQ(ASR_FEED_NO_RESULT, code);
    EXPECT_EQ(ASR_STOP_NO_RESULT, got.stopCode);
    EXPECT_EQ("", got.tail);
    EXPECT_EQ(rec.text, got.Text());
}

TEST(LibAsrFeed, ChunkSizeAndStreamFormDoNotChangeTheText)
{
    const Recording rec = Speak({15, 0, 8, 13, 2, 10}, VariedLayout());
    struct Case {
        const char* name;
        std::string stream;
        size_t chunk;
    };
    const Case cases[] = {
        {"wav by 1", WavFile(rec.samples), 1},
        {"wav by 3", WavFile(rec.samples), 3},
        {"wav with list by 7", WavFile(rec.samples, WavOptions{true, false, 16000, 1}), 7},
        {"wav with list by 45", WavFile(rec.samples, WavOptions{true, false, 16000, 1}), 45},
        {"wav of unknown size by 333", WavFile(rec.samples, WavOptions{false, true, 16000, 1}), 333},
        {"wav by 499", WavFile(rec.samples), 499},
        {"raw pcm by 1", PcmBytes(rec.samples), 1},
        {"raw pcm by 500", PcmBytes(rec.samples), 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Service service;
        service.Open();
        const Transcript got = Recognise(service.get(), c.stream, c.chunk);
        EXPECT_EQ(rec.text, got.Text());
        EXPECT_EQ(6u, got.results.size());
    }
}

TEST(LibAsrFeed, BytesAfterTheDataChunkAreNotAudio)
{
    std::vector<int16_t> trailing;
    AppendTone(&trailing, WordFrequency(9), 16000, 20);
    std::string wav = WavFile(Speak({1}).samples);
    wav += PcmBytes(trailing);  // a loud tone past the declared data size
    Service service;
    service.Open();
    EXPECT_EQ(WordText(1), Recognise(service.get(), wav, 500).Text());
}

TEST(LibAsrFeed, RefusesWavFilesOfAnotherFormat)
{
    const std::vector<int16_t> samples = Speak({1}).samples;
    std::string notWave = WavFile(samples);
    notWave.replace(8, 4, "AVI ");
    std::string dataFirst = "RIFF";
    dataFirst += std::string("\x24\x00\x00\x00WAVEdata\x00\x00\x00\x00", 16);
    struct Case {
        const char* name;
        std::string stream;
    };
    const Case cases[] = {
        {"8 kHz", WavFile(samples, WavOptions{false, false, 8000, 1})},
        {"stereo", WavFile(samples, WavOptions{false, false, 16000, 2})},
        {"not WAVE", notWave},
        {"data before fmt", dataFirst},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Service service;
        service.Open();
        int code = ASR_FEED_NO_RESULT;
        for (size_t at = 0; at < c.stream.size() && code >= 0; at += 500)
            code =
                asr_feed_buffer(service.get(), c.stream.data() + at, int(std::min<size_t>(500, c.stream.size() - at)));
        EXPECT_EQ(ASR_ERR_BAD_AUDIO, code);
        // The stream is over; a new start takes a good one.
        EXPECT_EQ(ASR_ERR_NOT_STARTED, asr_feed_buffer(service.get(), "ab", 2));
        ASSERT_EQ(ASR_OK, asr_start_recognizer(service.get()));
        EXPECT_EQ(WordText(1), Recognise(service.get(), WavFile(samples), 500).Text());
    }
}

TEST(LibAsrFeed, LongRecordingKeepsWordsClearOfPieceBoundaries)
{
    // Two minutes of words about a second apart: several would fall on the
    // 58 s boundaries if the generator did not move them.
    std::vector<int> words;
    for (int i = 0; i < 140; ++i)
        words.push_back((i * 7) % 16);
    Layout layout;
    layout.gapSamples = {11000, 12345, 9000};
    const Recording rec = Speak(words, layout);
    const size_t piece = 58 * kSampleRate;
    const size_t margin = 3 * kSampleRate / 10;
    ASSERT_GT(rec.samples.size(), 2 * piece);
    for (size_t start : rec.wordStarts) {
        const size_t next = (start / piece + 1) * piece;
        EXPECT_GE(start % piece, margin) << start;
        EXPECT_GE(next - (start + kWordSamples), margin) << start;
    }
    Service service;
    service.Open();
    const Transcript got = Recognise(service.get(), WavFile(rec.samples), 500);
    EXPECT_EQ(words.size(), got.results.size());
    EXPECT_EQ(rec.text, got.Text());
}

// ---------------------------------------------------------------- decoding rules

TEST(LibAsrDecode, RunsShorterThanSixFramesAreNotWords)
{
    struct Case {
        size_t frames;
        std::string expected;
    };
    const Case cases[] = {{1, ""}, {5, ""}, {6, WordText(7)}, {7, WordText(7)}, {40, WordText(7)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        std::vector<int16_t> samples;
        AppendSilence(&samples, 10 * kFrameSamples);
        AppendTone(&samples, WordFrequency(7), 16000, c.frames);
        AppendSilence(&samples, 10 * kFrameSamples);
        Service service;
        service.Open();
        EXPECT_EQ(c.expected, Recognise(service.get(), WavFile(samples), 500).Text());
    }
}

TEST(LibAsrDecode, FirstAndLastFrameOfARunDoNotVote)
{
    // Loud edges at another word's tone would win if they were counted.
    std::vector<int16_t> samples;
    AppendSilence(&samples, 5 * kFrameSamples);
    AppendTone(&samples, WordFrequency(15), 30000, 1);
    AppendTone(&samples, WordFrequency(3), 4500, 4);
    AppendTone(&samples, WordFrequency(15), 30000, 1);
    AppendSilence(&samples, 5 * kFrameSamples);
    Service service;
    service.Open();
    EXPECT_EQ(WordText(3), Recognise(service.get(), PcmBytes(samples), 500).Text());
}

TEST(LibAsrDecode, QuietAudioAndAPartialLastFrameGiveNoText)
{
    std::vector<int16_t> samples;
    AppendTone(&samples, WordFrequency(2), 4000, 30);  // RMS about 2830: not voiced
    AppendSilence(&samples, kFrameSamples);
    AppendTone(&samples, WordFrequency(2), 16000, 6);
    samples.resize(samples.size() - 1);  // sixth frame incomplete
    Service service;
    service.Open();
    const Transcript got = Recognise(service.get(), PcmBytes(samples), 500);
    EXPECT_EQ("", got.Text());
    EXPECT_EQ(ASR_STOP_NO_RESULT, got.stopCode);
}

// ---------------------------------------------------------------- stop

TEST(LibAsrStop, GivesAWordStillOpenAtTheEnd)
{
    Layout layout;
    layout.tailSamples = 0;
    const Recording rec = Speak({12, 5, 14}, layout);
    Service service;
    service.Open();
    const Transcript got = Recognise(service.get(), WavFile(rec.samples), 500);
    ASSERT_EQ(2u, got.results.size());
    EXPECT_EQ(ASR_STOP_RESULT, got.stopCode);
    EXPECT_EQ(WordText(14), got.tail);
    EXPECT_EQ(rec.text, got.Text());
    EXPECT_STREQ("", asr_get_result(service.get()));
}

TEST(LibAsrStop, GivesEveryWordNotYetFetched)
{
    const Recording rec = Speak({10, 11, 12, 13});
    Service service;
    service.Open();
    const Transcript got = Recognise(service.get(), WavFile(rec.samples), 500, false);
    EXPECT_EQ(4u, got.results.size());
    EXPECT_EQ(ASR_STOP_RESULT, got.stopCode);
    EXPECT_EQ(rec.text, asr_get_result(service.get()));
    EXPECT_STREQ("", asr_get_result(service.get()));
}

TEST(LibAsrStop, ANewStartBeginsAFreshStream)
{
    const Recording rec = Speak({6, 9});
    const std::string wav = WavFile(rec.samples);
    Service service;
    service.Open();
    // Half a word, then a restart: the half is dropped, and the second stream
    // is read from its own WAV header.
    ASSERT_EQ(ASR_FEED_NO_RESULT, asr_feed_buffer(service.get(), wav.data(), 500));
    std::vector<int16_t> half;
    AppendTone(&half, WordFrequency(1), 16000, 10);
    const std::string halfBytes = PcmBytes(half);
    for (size_t at = 0; at < halfBytes.size(); at += 500)
        ASSERT_EQ(ASR_FEED_NO_RESULT, asr_feed_buffer(service.get(), halfBytes.data() + at, 500));
    ASSERT_EQ(ASR_OK, asr_start_recognizer(service.get()));
    EXPECT_EQ(rec.text, Recognise(service.get(), wav, 500).Text());
}

// ---------------------------------------------------------------- threads and handles

TEST(LibAsrThreads, HandlesOnSeveralThreadsDoNotMix)
{
    const std::vector<std::vector<int>> scripts = {
        {0, 1, 2, 3, 4, 5, 6, 7}, {15, 14, 13, 12, 11, 10}, {8, 8, 9, 9, 10}, {3, 12, 6, 15, 0}};
    std::vector<Recording> recs;
    for (const auto& words : scripts)
        recs.push_back(Speak(words, VariedLayout()));
    std::vector<std::string> texts(scripts.size());
    std::vector<std::thread> threads;
    for (size_t t = 0; t < scripts.size(); ++t) {
        threads.emplace_back([&, t] {
            Service service;
            service.Open();
            texts[t] = Recognise(service.get(), WavFile(recs[t].samples), 500).Text();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (size_t t = 0; t < scripts.size(); ++t)
        EXPECT_EQ(recs[t].text, texts[t]) << "thread " << t;
}

TEST(LibAsrHandles, AFetchedTextSurvivesCallsOnOtherHandles)
{
    Service a;
    Service b;
    a.Open();
    b.Open();
    const std::string wav = WavFile(Speak({11}).samples);
    const Transcript first = Recognise(a.get(), wav, 500, false);
    ASSERT_EQ(ASR_STOP_RESULT, first.stopCode);
    const char* text = asr_get_result(a.get());
    Recognise(b.get(), WavFile(Speak({13}).samples), 500);
    EXPECT_STREQ(WordText(11).c_str(), text);
}

TEST(LibAsrHandles, UnknownHandlesAreRefused)
{
    asr_service_t released = 0;
    ASSERT_EQ(ASR_OK, asr_create_service(&released));
    ASSERT_EQ(ASR_OK, asr_release_service(released));
    const asr_service_t handles[] = {0, 1, released, released + 1, ~asr_service_t(0)};
    for (asr_service_t handle : handles) {
        SCOPED_TRACE(handle);
        const char bytes[4] = {};
        EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_set_option(handle, ASR_OPT_DOMAIN, "general"));
        EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_login_service(handle));
        EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_start_recognizer(handle));
        EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_feed_buffer(handle, bytes, sizeof bytes));
        EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_stop_recognizer(handle));
        EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_release_service(handle));
        const char* text = asr_get_result(handle);
        ASSERT_NE(nullptr, text);
        EXPECT_STREQ("", text);
    }
}

TEST(LibAsrHandles, EveryServiceGetsItsOwnNonZeroHandle)
{
    asr_service_t first = 0;
    asr_service_t second = 0;
    ASSERT_EQ(ASR_OK, asr_create_service(&first));
    ASSERT_EQ(ASR_OK, asr_create_service(&second));
    EXPECT_NE(first, second);
    EXPECT_NE(0u, uint32_t(first));
    EXPECT_NE(0u, uint32_t(first >> 32));
    EXPECT_EQ(ASR_OK, asr_release_service(first));
    EXPECT_EQ(ASR_OK, asr_release_service(second));
}

// ---------------------------------------------------------------- scripted failures

// Sets the fault script (null clears it). The library restarts its counts when
// it sees the value change, so the variable is first cleared and a call made
// for the library to notice that; those calls fall under no script.
void UseFaultScript(const wchar_t* text)
{
    SetEnvironmentVariableW(L"LIBASR_FAULTS", nullptr);
    asr_release_service(0);
    if (text)
        SetEnvironmentVariableW(L"LIBASR_FAULTS", text);
}

class LibAsrFaults : public ::testing::Test {
protected:
    void SetUp() override { UseFaultScript(nullptr); }
    void TearDown() override { UseFaultScript(nullptr); }
};

// Makes five calls of one kind under the script, after setting up what they
// need unscripted, and returns their results.
std::vector<int> FiveCalls(const std::string& call, const wchar_t* script)
{
    std::vector<int> results;
    if (call == "asr_create_service") {
        UseFaultScript(script);
        std::vector<asr_service_t> handles(5, 0);
        for (asr_service_t& handle : handles) {
            results.push_back(asr_create_service(&handle));
            EXPECT_EQ(results.back() == ASR_OK, handle != 0);
        }
        UseFaultScript(nullptr);
        for (asr_service_t handle : handles) {
            if (handle != 0)
                asr_release_service(handle);
        }
        return results;
    }
    if (call == "asr_release_service") {
        std::vector<asr_service_t> handles(5, 0);
        for (asr_service_t& handle : handles)
            EXPECT_EQ(ASR_OK, asr_create_service(&handle));
        UseFaultScript(script);
        for (asr_service_t handle : handles) {
            results.push_back(asr_release_service(handle));
            // Released even when the call is made to fail.
            EXPECT_EQ(ASR_ERR_INVALID_HANDLE, asr_login_service(handle));
        }
        return results;
    }
    Service service;
    service.Open();
    UseFaultScript(script);
    const char chunk[500] = {};
    for (int i = 0; i < 5; ++i) {
        if (call == "asr_set_option") {
            results.push_back(service.Set(ASR_OPT_DOMAIN, "general"));
        } else if (call == "asr_login_service") {
            results.push_back(asr_login_service(service.get()));
        } else if (call == "asr_start_recognizer") {
            results.push_back(asr_start_recognizer(service.get()));
        } else if (call == "asr_feed_buffer") {
            results.push_back(asr_feed_buffer(service.get(), chunk, sizeof chunk));
            if (results.back() < 0)
                asr_start_recognizer(service.get());
        } else if (call == "asr_stop_recognizer") {
            results.push_back(asr_stop_recognizer(service.get()));
            asr_start_recognizer(service.get());
        }
    }
    return results;
}

TEST_F(LibAsrFaults, EachCallFailsOnTheNthCallForKCalls)
{
    struct Case {
        const wchar_t* script;
        const char* call;
        int first;  // 1-based
        int count;
        int code;
        int success;
    };
    const Case cases[] = {
        {L"asr_create_service:1:-90002", "asr_create_service", 1, 1, -90002, ASR_OK},
        {L"asr_create_service:3:-11:2", "asr_create_service", 3, 2, -11, ASR_OK},
        {L"asr_set_option:2:-3", "asr_set_option", 2, 1, -3, ASR_OK},
        {L"asr_login_service:1:-10:5", "asr_login_service", 1, 5, -10, ASR_OK},
        {L"asr_login_service:2:-90002:3", "asr_login_service", 2, 3, -90002, ASR_OK},
        {L"asr_start_recognizer:2:-20", "asr_start_recognizer", 2, 1, -20, ASR_OK},
        {L" asr_feed_buffer : 2 : -90002 : 2 ", "asr_feed_buffer", 2, 2, -90002, ASR_FEED_NO_RESULT},
        {L"asr_stop_recognizer:5:-90002", "asr_stop_recognizer", 5, 1, -90002, ASR_STOP_NO_RESULT},
        {L"asr_release_service:2:-7", "asr_release_service", 2, 1, -7, ASR_OK},
        {L"asr_login_service:1:-1;asr_feed_buffer:4:-90002;", "asr_feed_buffer", 4, 1, -90002, ASR_FEED_NO_RESULT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script, c.script + wcslen(c.script)));
        const std::vector<int> results = FiveCalls(c.call, c.script);
        ASSERT_EQ(5u, results.size());
        for (int i = 0; i < 5; ++i) {
            const int number = i + 1;
            const bool fails = number >= c.first && number < c.first + c.count;
            EXPECT_EQ(fails ? c.code : c.success, results[size_t(i)]) << "call " << number;
        }
        UseFaultScript(nullptr);
    }
}

TEST_F(LibAsrFaults, AFailedFeedEndsTheStreamAndARestartGoesOn)
{
    // The failure comes 1000 samples before the second word ends: what was
    // heard of it goes with the stream, and the rest is too short for a word.
    const Recording rec = Speak({1, 2, 3, 4});
    const std::string wav = WavFile(rec.samples);
    Service service;
    service.Open();
    const size_t failingChunk =
        (wav.size() - rec.samples.size() * 2 + 2 * (rec.wordStarts[1] + kWordSamples - 1000)) / 500;
    const std::wstring script = L"asr_feed_buffer:" + std::to_wstring(failingChunk + 1) + L":-90002";
    UseFaultScript(script.c_str());
    std::string text;
    int failures = 0;
    for (size_t at = 0; at < wav.size(); at += 500) {
        const int code = asr_feed_buffer(service.get(), wav.data() + at, int(std::min<size_t>(500, wav.size() - at)));
        if (code == ASR_FEED_RESULT)
            text += asr_get_result(service.get());
        if (code < 0) {
            ++failures;
            EXPECT_EQ(-90002, code);
            ASSERT_EQ(ASR_OK, asr_start_recognizer(service.get()));
        }
    }
    if (asr_stop_recognizer(service.get()) == ASR_STOP_RESULT)
        text += asr_get_result(service.get());
    EXPECT_EQ(1, failures);
    EXPECT_EQ(WordText(1) + WordText(3) + WordText(4), text);
}

TEST_F(LibAsrFaults, CountingRestartsWhenTheScriptChanges)
{
    Service service;
    service.Open();
    UseFaultScript(L"asr_login_service:2:-11");
    EXPECT_EQ(ASR_OK, asr_login_service(service.get()));
    UseFaultScript(L"asr_login_service:2:-12");
    EXPECT_EQ(ASR_OK, asr_login_service(service.get()));
    EXPECT_EQ(-12, asr_login_service(service.get()));
    EXPECT_EQ(ASR_OK, asr_login_service(service.get()));
    UseFaultScript(nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ASR_OK, asr_login_service(service.get()));
}

TEST_F(LibAsrFaults, AMalformedScriptFailsEveryCall)
{
    const wchar_t* const scripts[] = {
        L"asr_feed_buffer:0:-1", L"asr_feed_buffer:1:5",      L"asr_feed_buffer:1",
        L"asr_feed_buffer:x:-1", L"asr_feed_buffer:1:-1:0",   L"asr_get_result:1:-1",
        L"feed_buffer:1:-1",     L"asr_feed_buffer:1:-1:2:3", L"asr_login_service:1:-1,asr_feed_buffer:1:-1",
    };
    Service service;
    service.Open();
    for (const wchar_t* script : scripts) {
        SCOPED_TRACE(std::string(script, script + wcslen(script)));
        UseFaultScript(script);
        EXPECT_EQ(ASR_ERR_FAULT_SCRIPT, asr_login_service(service.get()));
        asr_service_t handle = 0;
        EXPECT_EQ(ASR_ERR_FAULT_SCRIPT, asr_create_service(&handle));
        EXPECT_EQ(0u, handle);
    }
    UseFaultScript(nullptr);
    EXPECT_EQ(ASR_OK, asr_login_service(service.get()));
}

}  // namespace
