#include "UiManager.h"
#include "UiZip.h"
#include "XmlDocument.h"

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

typedef std::vector<BYTE> Bytes;

struct Entry {
    std::string name;
    std::string content;
    int method;  // 0 stored, Z_DEFLATED
    uLong externalAttributes;
    bool timestamp;  // with a "UT" extra field
};

const uint32_t kModified = 1700000000;
const uint32_t kAccessed = 1700000100;

// A folder of its own beside the test program, since these tests may run in
// parallel with others.
std::string WorkFolder()
{
    CreateDirectoryA("uilib_zip_test.tmp", nullptr);
    return "uilib_zip_test.tmp\\";
}

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes MakeZip(const std::vector<Entry>& entries, const std::string& comment = std::string())
{
    const std::string path = WorkFolder() + "made.zip";
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    EXPECT_NE(nullptr, zip);
    for (const Entry& entry : entries) {
        zip_fileinfo info = {};
        info.dosDate = 0x5A6B3C4D;
        info.external_fa = entry.externalAttributes;
        unsigned char ut[4 + 1 + 8] = {0x55, 0x54, 9, 0, 3};
        for (int i = 0; i < 4; ++i) {
            ut[5 + i] = static_cast<unsigned char>(kModified >> (8 * i));
            ut[9 + i] = static_cast<unsigned char>(kAccessed >> (8 * i));
        }
        EXPECT_EQ(ZIP_OK, zipOpenNewFileInZip(zip, entry.name.c_str(), &info, entry.timestamp ? ut : nullptr,
                                              entry.timestamp ? sizeof(ut) : 0, nullptr, 0, nullptr, entry.method,
                                              entry.method == 0 ? 0 : 9));
        if (!entry.content.empty()) {
            EXPECT_EQ(ZIP_OK,
                      zipWriteInFileInZip(zip, entry.content.data(), static_cast<unsigned>(entry.content.size())));
        }
        EXPECT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    }
    EXPECT_EQ(ZIP_OK, zipClose(zip, comment.empty() ? nullptr : comment.c_str()));
    return ReadAll(path);
}

std::string Pattern(size_t size)
{
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += "<Control name=\"n" + std::to_string(i % 97) + "\" pos=\"" + std::to_string(i * 7 % 1000) + "\"/>\n";
    text.resize(size);
    return text;
}

const uLong kUnixWritable = 0x00800000u;  // owner-write of the Unix mode in the high half

std::vector<Entry> StandardEntries()
{
    const std::string content = Pattern(40000);
    return {
        {"images/", "", 0, 0x10, false},
        {"images/a.png", content, Z_DEFLATED, 0x20 | kUnixWritable, true},
        {"images/b.png", content, 0, 0x01, false},
        {"empty.txt", "", Z_DEFLATED, 0x20, false},
    };
}

// Extracts every entry into memory with one call each; returns false when
// any extraction that claimed success delivered other bytes than expected.
bool ExtractedBytesAreRight(ZipHandle* zip, const std::vector<Entry>& entries, int* successes)
{
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        std::string buffer(entries[static_cast<size_t>(i)].content.size() + 1, '\0');
        const DWORD result =
            ZipArchiveExtractEntry(zip, i, &buffer[0], static_cast<unsigned>(buffer.size()), kZipMemory);
        if (result == kZipOk || result == kZipMore) {
            buffer.resize(entries[static_cast<size_t>(i)].content.size());
            if (buffer != entries[static_cast<size_t>(i)].content)
                return false;
            ++*successes;
        }
    }
    return true;
}

TEST(ZipArchive, FindsAndExtractsStoredAndDeflatedEntries)
{
    const std::vector<Entry> entries = StandardEntries();
    const Bytes zipBytes = MakeZip(entries);
    Bytes prefixed(zipBytes.size() + 100, 0x4D);
    std::copy(zipBytes.begin(), zipBytes.end(), prefixed.begin() + 100);
    const std::string path = WorkFolder() + "prefixed.zip";
    WriteAll(path, prefixed);
    const std::wstring widePath(path.begin(), path.end());
    HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);

    ZipHandle* sources[] = {
        ZipArchiveOpen(zipBytes.data(), static_cast<unsigned>(zipBytes.size()), kZipMemory),
        ZipArchiveOpen(prefixed.data(), static_cast<unsigned>(prefixed.size()), kZipMemory),
        ZipArchiveOpen(widePath.c_str(), 0, kZipFileName),
        ZipArchiveOpen(file, 0, kZipHandle),
    };
    CloseHandle(file);  // the reader keeps its own duplicate
    for (ZipHandle* zip : sources) {
        ASSERT_NE(nullptr, zip) << std::hex << ZipArchiveLastResult();
        int deflated = -1, stored = -1;
        ZipEntryInfo info;
        ASSERT_EQ(kZipOk, ZipArchiveFindEntry(zip, L"IMAGES\\A.PNG", true, &deflated, &info));
        EXPECT_EQ(1, deflated);
        EXPECT_STREQ(L"images/a.png", info.name);
        EXPECT_EQ(0xA0u, info.attributes);
        EXPECT_EQ(40000u, info.uncompressedSize);
        EXPECT_LT(info.compressedSize, 40000u);
        ULARGE_INTEGER modified = {};
        modified.LowPart = info.modifyTime.dwLowDateTime;
        modified.HighPart = info.modifyTime.dwHighDateTime;
        EXPECT_EQ((kModified + 11644473600ull) * 10000000ull, modified.QuadPart);
        int missing = 0;
        EXPECT_EQ(kZipNotFound, ZipArchiveFindEntry(zip, L"IMAGES\\A.PNG", false, &missing, &info));
        EXPECT_EQ(-1, missing);
        EXPECT_EQ(-1, info.index);
        ASSERT_EQ(kZipOk, ZipArchiveFindEntry(zip, L"images/b.png", false, &stored, &info));
        EXPECT_EQ(0x81u, info.attributes);
        EXPECT_EQ(kZipBadArgument, ZipArchiveFindEntry(zip, std::wstring(256, L'a').c_str(), true, &missing, &info));
        ASSERT_EQ(kZipOk, ZipArchiveFindEntry(zip, L"images/", false, &stored, &info));
        EXPECT_EQ(0x91u, info.attributes);
        ASSERT_EQ(kZipOk, ZipArchiveFindEntry(zip, L"images/b.png", false, &stored, &info));

        std::string a(40000, '\0'), b(40000, '\0');
        EXPECT_EQ(kZipMore, ZipArchiveExtractEntry(zip, deflated, &a[0], 40000, kZipMemory));
        EXPECT_EQ(kZipMore, ZipArchiveExtractEntry(zip, stored, &b[0], 40000, kZipMemory));
        EXPECT_TRUE(entries[1].content == a);
        EXPECT_TRUE(a == b);
        EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(zip, stored, &b[0], 40000, kZipMemory));

        // Piecewise: 0x600 while bytes come, then 0 once the entry is done.
        std::string pieces;
        char piece[777];
        DWORD result;
        while ((result = ZipArchiveExtractEntry(zip, deflated, piece, sizeof(piece), kZipMemory)) == kZipMore)
            pieces.append(piece, std::min(sizeof(piece), 40000 - pieces.size()));
        EXPECT_EQ(kZipOk, result);
        EXPECT_TRUE(entries[1].content == pieces);

        char none = 0;
        EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(zip, 3, &none, 0, kZipMemory));
        EXPECT_EQ(kZipBadArgument, ZipArchiveExtractEntry(zip, -1, &none, 1, kZipMemory));
        EXPECT_EQ(kZipBadArgument, ZipArchiveExtractEntry(zip, 4, &none, 1, kZipMemory));
        EXPECT_EQ(kZipBadArgument, ZipArchiveExtractEntry(zip, 0, &none, 1, 7));
        EXPECT_EQ(kZipBadArgument, ZipArchiveLastResult());
        EXPECT_EQ(kZipOk, ZipArchiveClose(zip));
    }
    EXPECT_EQ(kZipBadArgument, ZipArchiveClose(nullptr));
    EXPECT_EQ(nullptr, ZipArchiveOpen(L"no such file.zip", 0, kZipFileName));
    EXPECT_EQ(kZipNoFile, ZipArchiveLastResult());
    const Bytes junk(5000, 0x11);
    EXPECT_EQ(nullptr, ZipArchiveOpen(junk.data(), static_cast<unsigned>(junk.size()), kZipMemory));
    EXPECT_EQ(kZipBadArchive, ZipArchiveLastResult());
}

TEST(ZipArchive, EndRecordSearchAndConsistency)
{
    const std::vector<Entry> entries = {{"a.xml", "<a/>", Z_DEFLATED, 0, false}};
    struct Case {
        size_t commentLength;
        bool opens;
    };
    for (const Case& c : {Case{1000, true}, Case{0xFFFF - 22, true}, Case{0xFFFF - 21, false}}) {
        const Bytes zip = MakeZip(entries, std::string(c.commentLength, 'c'));
        ZipHandle* handle = ZipArchiveOpen(zip.data(), static_cast<unsigned>(zip.size()), kZipMemory);
        EXPECT_EQ(c.opens, handle != nullptr) << c.commentLength;
        if (handle != nullptr)
            ZipArchiveClose(handle);
    }

    const Bytes zip = MakeZip(entries);
    const size_t end = zip.size() - 22;
    for (size_t field : {size_t(4), size_t(6)}) {  // this disk, directory disk
        Bytes multiDisk = zip;
        multiDisk[end + field] = 1;
        EXPECT_EQ(nullptr, ZipArchiveOpen(multiDisk.data(), static_cast<unsigned>(multiDisk.size()), kZipMemory));
        EXPECT_EQ(kZipBadArchive, ZipArchiveLastResult());
    }
    Bytes counts = zip;
    counts[end + 8] = 2;  // entries on this disk differ from the total
    EXPECT_EQ(nullptr, ZipArchiveOpen(counts.data(), static_cast<unsigned>(counts.size()), kZipMemory));
    EXPECT_EQ(kZipBadArchive, ZipArchiveLastResult());

    // Counts that agree but promise more records than the directory holds:
    // the archive opens and the records that are there are found.
    Bytes more = zip;
    more[end + 8] = more[end + 10] = 3;
    ZipHandle* handle = ZipArchiveOpen(more.data(), static_cast<unsigned>(more.size()), kZipMemory);
    ASSERT_NE(nullptr, handle);
    int index = -1;
    ZipEntryInfo info = {};
    EXPECT_EQ(kZipOk, ZipArchiveFindEntry(handle, L"a.xml", true, &index, &info));
    EXPECT_EQ(0, index);
    EXPECT_EQ(kZipNotFound, ZipArchiveFindEntry(handle, L"b.xml", true, &index, &info));
    ZipArchiveClose(handle);
}

// An end signature too close to the end to begin a whole record (here the
// tail of a comment) is passed over; the real record further back is found.
TEST(ZipArchive, AnEndSignatureInTheLastBytesIsPassedOver)
{
    const std::vector<Entry> entries = {{"a.xml", "<a/>", Z_DEFLATED, 0, false}};
    const Bytes zip = MakeZip(entries, std::string("comment ") + "PK\x05\x06" + std::string(10, 'c'));
    ZipHandle* handle = ZipArchiveOpen(zip.data(), static_cast<unsigned>(zip.size()), kZipMemory);
    ASSERT_NE(nullptr, handle);
    int index = -1;
    ZipEntryInfo info = {};
    EXPECT_EQ(kZipOk, ZipArchiveFindEntry(handle, L"a.xml", true, &index, &info));
    ZipArchiveClose(handle);
}

// A name too long for the lookup buffer is refused whole: cut, it would find
// the entry that its first part names.
TEST(ZipArchive, ALookupNameTooLongInTheCodePageFindsNothing)
{
    const std::wstring chinese(129, L'\x4E2D');  // two bytes each in code page 936
    char narrow[300] = {};
    ASSERT_EQ(259, WideCharToMultiByte(CP_ACP, 0, chinese.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr));
    // The second entry's name is 259 bytes: a longer lookup cut to that
    // length would name it.
    const Bytes zip = MakeZip({{narrow, "x", 0, 0, false}, {std::string(narrow) + "b", "y", 0, 0, false}});
    ZipHandle* handle = ZipArchiveOpen(zip.data(), static_cast<unsigned>(zip.size()), kZipMemory);
    ASSERT_NE(nullptr, handle);
    int index = -1;
    ZipEntryInfo info = {};
    EXPECT_EQ(kZipOk, ZipArchiveFindEntry(handle, chinese.c_str(), true, &index, &info));
    EXPECT_EQ(0, index);
    for (const wchar_t* tail : {L"b", L"bc", L"bcd"}) {
        EXPECT_NE(kZipOk, ZipArchiveFindEntry(handle, (chinese + tail).c_str(), true, &index, &info)) << tail;
        EXPECT_EQ(-1, index) << tail;
    }
    ZipArchiveClose(handle);
}

TEST(ZipArchive, EveryTruncationFailsCleanly)
{
    const std::vector<Entry> entries = StandardEntries();
    const Bytes zip = MakeZip(entries);
    for (size_t n = 0; n < zip.size(); ++n) {
        const Bytes head(zip.begin(), zip.begin() + static_cast<long>(n));
        ZipHandle* handle = ZipArchiveOpen(head.data(), static_cast<unsigned>(head.size()), kZipMemory);
        EXPECT_EQ(nullptr, handle) << "first " << n << " bytes";
        if (handle != nullptr)
            ZipArchiveClose(handle);

        const Bytes tail(zip.begin() + static_cast<long>(n) + 1, zip.end());
        handle = ZipArchiveOpen(tail.data(), static_cast<unsigned>(tail.size()), kZipMemory);
        if (handle != nullptr) {
            int successes = 0;
            EXPECT_TRUE(ExtractedBytesAreRight(handle, entries, &successes)) << "without the first " << n + 1;
            ZipArchiveClose(handle);
        }
    }
}

TEST(ZipArchive, FieldsPushedToTheirMaximumFailCleanly)
{
    const std::vector<Entry> entries = StandardEntries();
    const Bytes zip = MakeZip(entries);
    int opened = 0;
    for (size_t at = 0; at + 4 <= zip.size(); ++at) {
        for (size_t width : {size_t(2), size_t(4)}) {
            Bytes damaged = zip;
            memset(&damaged[at], 0xFF, width);
            ZipHandle* handle = ZipArchiveOpen(damaged.data(), static_cast<unsigned>(damaged.size()), kZipMemory);
            if (handle == nullptr)
                continue;
            ++opened;
            int index = -1, successes = 0;
            ZipEntryInfo info;
            ZipArchiveFindEntry(handle, L"images/a.png", true, &index, &info);
            EXPECT_TRUE(ExtractedBytesAreRight(handle, entries, &successes)) << "0xFF at " << at << " x" << width;
            ZipArchiveClose(handle);
        }
    }
    EXPECT_GT(opened, 0);
}

// Offsets of one entry's fields, read from the archive itself.
struct EntryLayout {
    size_t local;
    size_t central;
    size_t data;
};

EntryLayout LayoutOf(const Bytes& zip, int wanted)
{
    auto get16 = [&](size_t at) { return static_cast<size_t>(zip[at] | (zip[at + 1] << 8)); };
    auto get32 = [&](size_t at) { return get16(at) | (get16(at + 2) << 16); };
    const size_t end = zip.size() - 22;
    size_t central = get32(end + 16);
    for (int i = 0; i < wanted; ++i)
        central += 46 + get16(central + 28) + get16(central + 30) + get16(central + 32);
    const size_t local = get32(central + 42);
    return {local, central, local + 30 + get16(local + 26) + get16(local + 28)};
}

void Put32(Bytes& zip, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        zip[at + static_cast<size_t>(i)] = static_cast<BYTE>(value >> (8 * i));
}

// The CRC (14), compressed size (18) and uncompressed size (22) of the local
// header stand 2 bytes further on in the central record.
void PutInBothHeaders(Bytes& zip, const EntryLayout& entry, size_t localField, uint32_t value)
{
    Put32(zip, entry.local + localField, value);
    Put32(zip, entry.central + localField + 2, value);
}

// Data that does not inflate or check gives the read error; a header that
// does not describe the data in the source gives the header error, before
// anything is read past the entry.
TEST(ZipArchive, DamagedEntryDataGivesTheReadError)
{
    const std::vector<Entry> entries = StandardEntries();
    const Bytes zip = MakeZip(entries);
    const EntryLayout deflated = LayoutOf(zip, 1);
    const EntryLayout stored = LayoutOf(zip, 2);

    struct Damage {
        const char* what;
        int index;
        void (*apply)(Bytes&, const EntryLayout&);
        DWORD result;
    };
    const Damage damages[] = {
        {"invalid deflate block", 1, [](Bytes& z, const EntryLayout& e) { z[e.data] = 0xFF; }, kZipReadFailed},
        {"garbage inside the stream", 1, [](Bytes& z, const EntryLayout& e) { memset(&z[e.data + 40], 0xA5, 200); },
         kZipReadFailed},
        {"stream ends before the size", 1, [](Bytes& z, const EntryLayout& e) { PutInBothHeaders(z, e, 22, 40010); },
         kZipReadFailed},
        {"checksum of deflated data", 1, [](Bytes& z, const EntryLayout& e) { PutInBothHeaders(z, e, 14, 0x12345678); },
         kZipReadFailed},
        {"checksum of stored data", 2, [](Bytes& z, const EntryLayout& e) { PutInBothHeaders(z, e, 14, 0x12345678); },
         kZipReadFailed},
        {"stored byte changed", 2, [](Bytes& z, const EntryLayout& e) { z[e.data + 5000] ^= 1; }, kZipReadFailed},
        {"local method differs from the central one", 1, [](Bytes& z, const EntryLayout& e) { z[e.local + 8] = 0; },
         kZipBadLocalHeader},
        {"stored entry with less data than its size", 2,
         [](Bytes& z, const EntryLayout& e) { PutInBothHeaders(z, e, 18, 30000); }, kZipBadLocalHeader},
        {"stored entry with more data than its size", 2,
         [](Bytes& z, const EntryLayout& e) { PutInBothHeaders(z, e, 18, 40010); }, kZipBadLocalHeader},
        {"stored data past the end of the source", 2,
         [](Bytes& z, const EntryLayout& e) {
             PutInBothHeaders(z, e, 18, 0x00FFFFFF);
             PutInBothHeaders(z, e, 22, 0x00FFFFFF);
         },
         kZipBadLocalHeader},
        {"deflated data past the end of the source", 1,
         [](Bytes& z, const EntryLayout& e) { PutInBothHeaders(z, e, 18, 0x00FFFFFF); }, kZipBadLocalHeader},
    };
    for (const Damage& damage : damages) {
        Bytes damaged = zip;
        damage.apply(damaged, damage.index == 1 ? deflated : stored);
        ZipHandle* handle = ZipArchiveOpen(damaged.data(), static_cast<unsigned>(damaged.size()), kZipMemory);
        ASSERT_NE(nullptr, handle) << damage.what;
        std::string buffer(50000, '\0');
        EXPECT_EQ(damage.result, ZipArchiveExtractEntry(handle, damage.index, &buffer[0], 50000, kZipMemory))
            << damage.what;
        ZipArchiveClose(handle);
    }
}

TEST(ZipArchive, ExtractsToFilesOnlyInsideTheBaseFolder)
{
    const std::vector<Entry> entries = StandardEntries();
    const Bytes zip = MakeZip(entries);
    const std::string folder = WorkFolder() + "out";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string extractedPath = folder + "\\deep\\er\\a.png";
    SetFileAttributesA(extractedPath.c_str(), FILE_ATTRIBUTE_NORMAL);  // left by an earlier run
    DeleteFileA(extractedPath.c_str());
    const std::string escapedPath = WorkFolder() + "escaped.png";
    DeleteFileA(escapedPath.c_str());
    RemoveDirectoryA(escapedPath.c_str());
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    ZipHandle* handle = ZipArchiveOpen(zip.data(), static_cast<unsigned>(zip.size()), kZipMemory);
    SetCurrentDirectoryW(previous);
    ASSERT_NE(nullptr, handle);

    EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L"deep\\er/a.png"), 0, kZipFileName));
    const Bytes extracted = ReadAll(extractedPath);
    EXPECT_TRUE(entries[1].content == std::string(extracted.begin(), extracted.end()));
    EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(handle, 0, const_cast<wchar_t*>(L"made\\folder"), 0, kZipFileName));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\made\\folder").c_str()));

    // Names that climb out of the base folder are refused, files and
    // folders alike.
    const wchar_t* climbing[] = {L"..\\escaped.png", L"../escaped.png", L"sub/../../escaped.png"};
    for (const wchar_t* name : climbing) {
        EXPECT_EQ(kZipBadArgument, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(name), 0, kZipFileName))
            << name;
        EXPECT_EQ(kZipBadArgument, ZipArchiveExtractEntry(handle, 0, const_cast<wchar_t*>(name), 0, kZipFileName))
            << name;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(escapedPath.c_str()));
    // A rooted name still follows the base folder, without folders made for
    // it; a drive name behind the base folder names no file that can be made.
    const std::string rootedPath = folder + "\\rooted.png";
    DeleteFileA(rootedPath.c_str());
    EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L"\\rooted.png"), 0, kZipFileName));
    EXPECT_EQ(entries[1].content.size(), ReadAll(rootedPath).size());
    DeleteFileA(rootedPath.c_str());
    EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L"/rooted.png"), 0, kZipFileName));
    EXPECT_EQ(entries[1].content.size(), ReadAll(rootedPath).size());
    EXPECT_EQ(kZipNoFile,
              ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L"\\nofolder\\rooted.png"), 0, kZipFileName));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\nofolder").c_str()));
    EXPECT_EQ(kZipNoFile, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L"C:\\escaped.png"), 0, kZipFileName));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\escaped.png"));
    // Other names are tried; a file that cannot be made gives 0x200.
    EXPECT_EQ(kZipNoFile, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L".."), 0, kZipFileName));
    EXPECT_EQ(kZipNoFile, ZipArchiveExtractEntry(handle, 1, const_cast<wchar_t*>(L""), 0, kZipFileName));

    const std::string copyPath = WorkFolder() + "copy.png";
    HANDLE out = CreateFileA(copyPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, out);
    EXPECT_EQ(kZipOk, ZipArchiveExtractEntry(handle, 1, out, 0, kZipHandle));
    // The caller's disk file gets the entry's times too.
    FILETIME written = {};
    GetFileTime(out, nullptr, nullptr, &written);
    int entryIndex = -1;
    ZipEntryInfo entryInfo = {};
    ASSERT_EQ(kZipOk, ZipArchiveFindEntry(handle, L"images/a.png", true, &entryIndex, &entryInfo));
    EXPECT_EQ(0, CompareFileTime(&entryInfo.modifyTime, &written));
    CloseHandle(out);
    const Bytes copy = ReadAll(copyPath);
    EXPECT_TRUE(entries[1].content == std::string(copy.begin(), copy.end()));
    ZipArchiveClose(handle);
}

class XmlLoadFile : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = WorkFolder() + "skin";
        CreateDirectoryA(folder_.c_str(), nullptr);
        CUiManager::SetResourcePath(std::wstring(folder_.begin(), folder_.end()).c_str());
        CUiManager::SetResourceZip(L"", false);
    }

    void TearDown() override
    {
        CUiManager::CloseResourceZip();
        CUiManager::SetResourceZip(L"", false);
        CUiManager::SetResourcePath(L"");
    }

    std::string folder_;
};

TEST_F(XmlLoadFile, ReadsFilesFromTheResourceFolder)
{
    EXPECT_STREQ(std::wstring(folder_.begin(), folder_.end()).append(L"\\").c_str(),
                 CUiManager::GetResourcePath().GetData());
    const std::string skin = "<Window><Label text=\"x\"/></Window>";
    WriteAll(folder_ + "\\main.xml", Bytes(skin.begin(), skin.end()));
    WriteAll(folder_ + "\\empty.xml", Bytes());
    Bytes large(kXmlMaxFileSize + 1, ' ');
    WriteAll(folder_ + "\\large.xml", large);
    large.pop_back();
    memcpy(large.data(), "<a/>", 4);
    WriteAll(folder_ + "\\limit.xml", large);

    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadFile(L"main.xml"));
    EXPECT_STREQ(L"Label", doc.GetRoot().GetFirstChild().GetName());
    EXPECT_TRUE(doc.LoadFile(L"limit.xml"));
    struct Case {
        const wchar_t* name;
        const wchar_t* error;
    };
    for (const Case& c : {Case{L"missing.xml", L"Error opening file"}, Case{L"empty.xml", L"File is empty"},
                          Case{L"large.xml", L"File too large"}}) {
        EXPECT_FALSE(doc.LoadFile(c.name));
        EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.name;
        EXPECT_FALSE(doc.GetRoot().IsValid());
    }
}

TEST_F(XmlLoadFile, ReadsEntriesOfTheResourceZip)
{
    const std::string skin = "\xEF\xBB\xBF<Window title=\"\xE4\xB8\xAD\"/>";
    const Bytes zip = MakeZip({{"skins/main.xml", skin, Z_DEFLATED, 0, false},
                               {"empty.xml", "", Z_DEFLATED, 0, false},
                               {"large.xml", std::string(kXmlMaxFileSize + 1, ' '), Z_DEFLATED, 0, false},
                               {"broken.xml", Pattern(3000), Z_DEFLATED, 0, false}});
    Bytes broken = zip;
    broken[LayoutOf(zip, 3).data] = 0xFF;
    WriteAll(folder_ + "\\skin.zip", zip);

    struct Case {
        const wchar_t* name;
        const wchar_t* error;
    };
    const Case failures[] = {{L"missing.xml", L"Could not find ziped file"},
                             {L"empty.xml", L"File is empty"},
                             {L"large.xml", L"File too large"},
                             {L"broken.xml", L"Could not unzip file"}};
    CXmlDocument doc;
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        if (pass == 0)
            CUiManager::SetResourceZip(L"skin.zip", false);
        else if (pass == 1)
            CUiManager::SetResourceZip(L"skin.zip", true);
        else
            CUiManager::SetResourceZipMemory(broken.data(), static_cast<unsigned>(broken.size()));
        // Twice: a cached archive must deliver the same entry again.
        for (int again = 0; again < 2; ++again) {
            ASSERT_TRUE(doc.LoadFile(L"SKINS\\MAIN.XML")) << doc.GetLastErrorMessage();
            EXPECT_STREQ(L"\x4E2D", doc.GetRoot().GetAttributeValue(0));
        }
        for (const Case& c : failures) {
            if (pass != 2 && wcscmp(c.name, L"broken.xml") == 0)
                continue;
            EXPECT_FALSE(doc.LoadFile(c.name));
            EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.name;
        }
    }
    CUiManager::CloseResourceZip();
    CUiManager::SetResourceZip(L"nothere.zip", false);
    EXPECT_FALSE(doc.LoadFile(L"skins/main.xml"));
    EXPECT_STREQ(L"Error opening zip file", doc.GetLastErrorMessage());
}

}  // namespace
