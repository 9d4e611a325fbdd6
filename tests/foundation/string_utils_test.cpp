#include "StringUtils.h"

#include <gtest/gtest.h>
#include "Win32Prelude.h"

namespace {

// The program's narrow texts and paths are GBK; the conversions are only
// meaningful when the test runs in that code page.
TEST(StringConversion, RunsUnderCodePage936)
{
    ASSERT_EQ(GetACP(), 936u);
}

TEST(StringConversion, GbkRoundTrip)
{
    const std::string gbk = "\xD6\xD0\xCE\xC4 abc \xD2\xF4\xCA\xD3\xC6\xB5";  // "中文 abc 音视频"
    const std::wstring wide = L"\u4E2D\u6587 abc \u97F3\u89C6\u9891";
    EXPECT_EQ(AnsiToWide(gbk), wide);
    EXPECT_EQ(WideToAnsi(wide), gbk);
}

TEST(StringConversion, Utf8RoundTripKeepsCharactersOutsideTheCodePage)
{
    const std::wstring wide = L"caf\u00E9 \u4E2D \U0001F600";
    const std::string utf8 = "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
}

TEST(StringConversion, AnsiReplacesWhatTheCodePageLacks)
{
    // Hangul and an emoji have no GBK form; they become the default character.
    const std::wstring wide = L"a\uD55Cb";
    const std::string ansi = WideToAnsi(wide);
    EXPECT_EQ(ansi, "a?b");
    EXPECT_EQ(WideToUtf8(wide), "a\xED\x95\x9C"
                                "b");
}

TEST(StringConversion, EmptyAndEmbeddedZero)
{
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(StringConversion, LongTextConvertsWhole)
{
    std::wstring wide;
    for (int i = 0; i < 10000; ++i)
        wide += L"\u8BC6\u522B";  // "识别"
    std::string ansi = WideToAnsi(wide);
    EXPECT_EQ(ansi.size(), 40000u);
    EXPECT_EQ(AnsiToWide(ansi), wide);
}

struct ReplaceCase {
    const char* text;
    const char* from;
    const char* to;
    const char* expected;
};

TEST(ReplaceAll, Cases)
{
    const ReplaceCase cases[] = {
        {"no match here", "x", "y", "no match here"},
        {"aaa", "a", "aa", "aaaaaa"},
        {"\"C:\\a b\\c.pcm\"", "\"", "", "C:\\a b\\c.pcm"},
        {"abcabc", "abc", "", ""},
        {"xyz", "", "q", "xyz"},  // empty search text: unchanged, never a loop
        {"", "a", "b", ""},
        {"aXbXc", "X", "--", "a--b--c"},
        {"ababab", "aba", "X", "Xbab"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.from, c.to), c.expected) << c.text << " / " << c.from;
}

struct CutCase {
    const wchar_t* text;
    const wchar_t* separator;
    bool fromEnd;
    bool keepBefore;
    bool keepSeparator;
    const wchar_t* expected;
};

TEST(CutAtSeparator, Cases)
{
    const CutCase cases[] = {
        {L"C:\\media\\talk.mp4", L"\\", true, false, false, L"talk.mp4"},
        {L"C:\\media\\talk.mp4", L".", true, false, true, L".mp4"},
        {L"C:\\media\\talk.mp4", L".", true, true, false, L"C:\\media\\talk"},
        {L"talk.mp4", L"\\", true, false, false, L"talk.mp4"},
        {L"C:\\a.b\\c", L".", true, false, true, L".b\\c"},
        {L"a.b.c", L".", false, true, false, L"a"},
        {L"a.b.c", L".", false, false, false, L"b.c"},
        {L"a.b.c", L".", false, false, true, L".b.c"},
        {L"name.", L".", true, false, false, L""},
        {L"", L"\\", true, false, false, L""},
        {L"\u97F3\u9891\\\u6587\u4EF6.wav", L"\\", true, false, false, L"\u6587\u4EF6.wav"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CutAtSeparator(c.text, c.separator, c.fromEnd, c.keepBefore, c.keepSeparator), c.expected);
}

TEST(FormatClock, Cases)
{
    const struct {
        int seconds;
        const char* expected;
    } cases[] = {
        {0, "00:00"},       {59, "00:59"},      {60, "01:00"},         {3599, "59:59"},
        {3600, "01:00:00"}, {3725, "01:02:05"}, {360000, "100:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatClock(c.seconds), c.expected) << c.seconds;
}

}  // namespace
