#include "UiString.h"

#include <gtest/gtest.h>

#include <string>

using UiLib::CUiString;

namespace {

std::wstring Repeat(wchar_t ch, int count)
{
    return std::wstring(static_cast<size_t>(count), ch);
}

TEST(UiString, StorageFollowsTheLocalLimit)
{
    struct Case {
        int initial;   // characters assigned first (0 = none)
        int assigned;  // then assigned, or -1
        int appended;  // then appended, or -1
        int length;
        bool local;
    };
    const Case cases[] = {
        {0, 62, -1, 62, true},  {0, 63, -1, 63, false},    {0, 200, -1, 200, false},  {200, 3, -1, 3, true},
        {63, 62, -1, 62, true}, {100, 80, -1, 80, false},  {80, 100, -1, 100, false}, {60, -1, 2, 62, true},
        {60, -1, 3, 63, false}, {63, -1, 500, 563, false}, {0, -1, 0, 0, true},
    };
    for (const Case& c : cases) {
        CUiString s(Repeat(L'a', c.initial).c_str());
        if (c.assigned >= 0)
            s.Assign(Repeat(L'b', c.assigned).c_str());
        if (c.appended >= 0)
            s.Append(Repeat(L'c', c.appended).c_str());
        SCOPED_TRACE(testing::Message() << c.initial << "/" << c.assigned << "/" << c.appended);
        EXPECT_EQ(c.length, s.GetLength());
        EXPECT_EQ(c.local, s.IsLocal());
        EXPECT_EQ(L'\0', s.GetData()[c.length]);
    }
}

TEST(UiString, AssignWithLengthStopsAtTerminatorAndCopies)
{
    CUiString s(L"abcdef", 3);
    EXPECT_EQ(0, s.Compare(L"abc"));
    s.Assign(L"ab", 5);
    EXPECT_EQ(0, s.Compare(L"ab"));
    s.Assign(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.IsLocal());

    CUiString longText(Repeat(L'x', 100).c_str());
    CUiString copy(longText);
    EXPECT_NE(longText.GetData(), copy.GetData());
    EXPECT_TRUE(copy == longText);
    CUiString one(L'z');
    EXPECT_EQ(0, one.Compare(L"z"));
}

TEST(UiString, OwnTextAsSourceIsSafe)
{
    for (int length : {10, 40, 62, 63, 100, 300}) {
        SCOPED_TRACE(length);
        const std::wstring text = Repeat(L'q', length - 1) + L"E";
        CUiString s(text.c_str());
        s += s;
        EXPECT_EQ(text + text, std::wstring(s.GetData()));

        CUiString t(text.c_str());
        t.Append(t.GetData() + length / 2);
        EXPECT_EQ(text + text.substr(static_cast<size_t>(length / 2)), std::wstring(t.GetData()));

        CUiString u((text + text).c_str());
        u.Assign(u.GetData() + 1);
        EXPECT_EQ((text + text).substr(1), std::wstring(u.GetData()));

        CUiString w(text.c_str());
        w = w;
        w = w.GetData();
        EXPECT_EQ(text, std::wstring(w.GetData()));
    }
}

TEST(UiString, ReplaceNeverSearchesWhatItInserted)
{
    CUiString s(L"one<n>two<n>");
    EXPECT_EQ(2, s.Replace(L"<n>", L"\r\n"));
    EXPECT_EQ(0, s.Compare(L"one\r\ntwo\r\n"));

    CUiString grow(L"aXa");
    EXPECT_EQ(2, grow.Replace(L"a", L"aa"));
    EXPECT_EQ(0, grow.Compare(L"aaXaa"));

    CUiString toHeap(Repeat(L'#', 40).c_str());
    EXPECT_EQ(40, toHeap.Replace(L"#", L"<#>"));
    EXPECT_EQ(120, toHeap.GetLength());
    EXPECT_FALSE(toHeap.IsLocal());

    CUiString none(L"abc");
    EXPECT_EQ(0, none.Replace(L"", L"x"));
    EXPECT_EQ(0, none.Replace(L"zz", L"x"));
    EXPECT_EQ(0, none.Compare(L"abc"));
}

TEST(UiString, LeftMidAndFindClamp)
{
    const CUiString s(L"hello world");
    EXPECT_EQ(0, s.Left(5).Compare(L"hello"));
    EXPECT_EQ(0, s.Left(-3).Compare(L""));
    EXPECT_EQ(0, s.Left(99).Compare(L"hello world"));
    EXPECT_EQ(0, s.Mid(6).Compare(L"world"));
    EXPECT_EQ(0, s.Mid(6, 2).Compare(L"wo"));
    EXPECT_EQ(0, s.Mid(6, 99).Compare(L"world"));
    EXPECT_EQ(0, s.Mid(6, 0x7FFFFFFF).Compare(L"world"));
    EXPECT_TRUE(s.Mid(11).IsEmpty());
    EXPECT_TRUE(s.Mid(40).IsEmpty());
    EXPECT_TRUE(s.Mid(3, 0).IsEmpty());

    EXPECT_EQ(4, s.Find(L'o'));
    EXPECT_EQ(7, s.Find(L'o', 5));
    EXPECT_EQ(-1, s.Find(L'o', 11));
    EXPECT_EQ(-1, s.Find(L'o', -1));
    EXPECT_EQ(6, s.Find(L"wor"));
    EXPECT_EQ(-1, s.Find(L"wor", 7));
    EXPECT_EQ(11, s.Find(L"", 11));
    EXPECT_EQ(-1, s.Find(L"", 12));
    EXPECT_EQ(7, s.ReverseFind(L'o'));
    EXPECT_EQ(-1, s.ReverseFind(L'z'));
}

TEST(UiString, CompareByCodeUnit)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int result;
    };
    const Case cases[] = {
        {L"abc", L"abc", 0}, {L"Z", L"a", -1},   {L"a", L"Z", 1},      {L"", L"", 0},
        {L"ab", L"abc", -1}, {L"abc", L"ab", 1}, {L"\xFFFF", L"a", 1}, {L"\x4E2D", L"\x4E2E", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, CUiString(c.a).Compare(c.b)) << "a=" << c.a;
    EXPECT_TRUE(CUiString(L"x") == L"x");
    CUiString lower(L"MiXeD 09");
    lower.MakeLower();
    EXPECT_EQ(0, lower.Compare(L"mixed 09"));
}

TEST(UiString, FormatIsBounded)
{
    CUiString s;
    EXPECT_EQ(20, s.Format(L"dest='%d,%d,%d,%d'", 1, 22, 333, 4444));
    EXPECT_EQ(0, s.Compare(L"dest='1,22,333,4444'"));

    // Eight numbers of eleven characters each pass the old 63-character limit.
    const int n = -2147483647 - 1;
    const int written = s.Format(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", n, n, n, n, n, n, n, n);
    const std::wstring number = L"-2147483648";
    const std::wstring expected = L"dest='" + number + L"," + number + L"," + number + L"," + number + L"' source='" +
                                  number + L"," + number + L"," + number + L"," + number + L"'";
    EXPECT_EQ(static_cast<int>(expected.size()), written);
    EXPECT_EQ(expected, std::wstring(s.GetData()));

    // Far beyond the family's own 1024-character limit: truncated, never overrun.
    const std::wstring huge = Repeat(L'w', 3000);
    s.Format(L"%s%s", huge.c_str(), huge.c_str());
    EXPECT_LE(s.GetLength(), 1024);
    EXPECT_GE(s.GetLength(), 1000);

    s.Format(L"%4d-%02d-%02d", 2024, 3, 9);
    EXPECT_EQ(0, s.Compare(L"2024-03-09"));
}

}  // namespace
