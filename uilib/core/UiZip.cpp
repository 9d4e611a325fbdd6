#include "UiZip.h"

#include "ScopedHandle.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace UiLib {

namespace {

const DWORD kReaderKind = 1;
const uint32_t kEndSignature = 0x06054b50;
const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kLocalSignature = 0x04034b50;
const size_t kEndRecordSize = 22;
const size_t kCentralRecordSize = 46;
const size_t kLocalHeaderSize = 30;
const uint64_t kEndSearchLimit = 0xFFFF;
const size_t kEndSearchBlock = 1024;
const size_t kInputBufferSize = 0x4000;
const int kMaxFindNameLength = 256;
const uint16_t kFlagDataDescriptor = 0x0008;
const uint16_t kMethodStored = 0;
const uint16_t kMethodDeflated = 8;
const uint16_t kExtraTimestampId = 0x5455;  // "UT"

DWORD g_lastResult = kZipOk;

DWORD SetResult(DWORD result)
{
    g_lastResult = result;
    return result;
}

uint16_t Get16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// The bytes of an archive: a disk file read through its handle or a memory
// block read in place. Offsets count from the source's start.
class ZipSource {
public:
    static std::unique_ptr<ZipSource> FromMemory(const void* data, unsigned length)
    {
        std::unique_ptr<ZipSource> source(new ZipSource());
        source->memory_ = static_cast<const unsigned char*>(data);
        source->size_ = length;
        return source;
    }

    static std::unique_ptr<ZipSource> FromFile(ScopedHandle file, DWORD* result)
    {
        if (GetFileType(file.get()) != FILE_TYPE_DISK) {
            *result = kZipNotDiskFile;
            return nullptr;
        }
        LARGE_INTEGER zero = {}, start = {}, size = {};
        if (!SetFilePointerEx(file.get(), zero, &start, FILE_CURRENT) || !GetFileSizeEx(file.get(), &size) ||
            size.QuadPart < start.QuadPart) {
            *result = kZipNoFile;
            return nullptr;
        }
        std::unique_ptr<ZipSource> source(new ZipSource());
        source->start_ = static_cast<uint64_t>(start.QuadPart);
        source->size_ = static_cast<uint64_t>(size.QuadPart - start.QuadPart);
        source->file_ = std::move(file);
        return source;
    }

    uint64_t Size() const { return size_; }

    // Reads exactly count bytes at offset; a read that would pass the end fails.
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const
    {
        if (offset > size_ || count > size_ - offset)
            return false;
        if (memory_ != nullptr) {
            memcpy(buffer, memory_ + offset, count);
            return true;
        }
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(start_ + offset);
        if (!SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN))
            return false;
        unsigned char* out = static_cast<unsigned char*>(buffer);
        while (count > 0) {
            DWORD chunk = count > 0x100000 ? 0x100000 : static_cast<DWORD>(count);
            DWORD read = 0;
            if (!ReadFile(file_.get(), out, chunk, &read, nullptr) || read == 0)
                return false;
            out += read;
            count -= read;
        }
        return true;
    }

private:
    ZipSource() = default;

    const unsigned char* memory_ = nullptr;
    ScopedHandle file_;
    uint64_t start_ = 0;
    uint64_t size_ = 0;
};

struct CentralRecord {
    uint16_t flags;
    uint16_t method;
    uint32_t dosDateTime;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t externalAttributes;
    uint32_t localOffset;
    std::string name;
};

// What an entry open for reading still has to deliver.
struct EntryReader {
    int index = -1;
    uint16_t method = kMethodStored;
    uint64_t dataPos = 0;
    uint64_t compressedLeft = 0;
    uint64_t uncompressedLeft = 0;
    uint32_t crc = 0;
    uint32_t expectedCrc = 0;
    bool inflating = false;
    z_stream stream = {};
    std::vector<unsigned char> input;
};

}  // namespace

struct ZipArchive {
    std::unique_ptr<ZipSource> source;
    uint64_t directoryPos = 0;
    uint64_t directoryEnd = 0;
    int entryCount = 0;
    uint64_t archiveOffset = 0;
    int currentIndex = 0;
    uint64_t currentPos = 0;
    EntryReader reader;
    std::wstring baseFolder;
};

struct ZipHandle {
    DWORD kind;
    ZipArchive* archive;
};

namespace {

bool FindEndRecord(const ZipSource& source, uint64_t* found)
{
    const uint64_t size = source.Size();
    const uint64_t limit = size < kEndSearchLimit ? size : kEndSearchLimit;
    unsigned char block[kEndSearchBlock + 4];
    uint64_t back = 4;
    while (back < limit) {
        back = back + kEndSearchBlock > limit ? limit : back + kEndSearchBlock;
        const uint64_t blockPos = size - back;
        const size_t blockSize = static_cast<size_t>(back < kEndSearchBlock + 4 ? back : kEndSearchBlock + 4);
        if (!source.ReadAt(blockPos, block, blockSize))
            return false;
        for (size_t i = blockSize - 3; i-- > 0;) {
            if (Get32(block + i) == kEndSignature && blockPos + i + kEndRecordSize <= size) {
                *found = blockPos + i;
                return true;
            }
        }
    }
    return false;
}

DWORD ReadEndRecord(ZipArchive& zip)
{
    uint64_t endPos = 0;
    unsigned char record[kEndRecordSize];
    if (!FindEndRecord(*zip.source, &endPos) || !zip.source->ReadAt(endPos, record, sizeof(record)))
        return kZipBadArchive;
    const uint16_t thisDisk = Get16(record + 4);
    const uint16_t directoryDisk = Get16(record + 6);
    const uint16_t entriesHere = Get16(record + 8);
    const uint16_t entriesTotal = Get16(record + 10);
    const uint64_t directorySize = Get32(record + 12);
    const uint64_t directoryOffset = Get32(record + 16);
    if (thisDisk != 0 || directoryDisk != 0 || entriesHere != entriesTotal || endPos < directoryOffset + directorySize)
        return kZipBadArchive;
    zip.archiveOffset = endPos - (directoryOffset + directorySize);
    zip.directoryPos = zip.archiveOffset + directoryOffset;
    zip.directoryEnd = zip.directoryPos + directorySize;
    zip.entryCount = entriesTotal;
    return kZipOk;
}

// Reads the central record at pos; its whole length must lie inside the
// directory. next receives the position of the following record.
bool ReadCentralRecord(const ZipArchive& zip, uint64_t pos, CentralRecord* record, uint64_t* next)
{
    unsigned char fixed[kCentralRecordSize];
    if (pos > zip.directoryEnd || zip.directoryEnd - pos < kCentralRecordSize ||
        !zip.source->ReadAt(pos, fixed, sizeof(fixed)) || Get32(fixed) != kCentralSignature)
        return false;
    const uint64_t nameLength = Get16(fixed + 28);
    const uint64_t total = kCentralRecordSize + nameLength + Get16(fixed + 30) + Get16(fixed + 32);
    if (zip.directoryEnd - pos < total)
        return false;
    record->flags = Get16(fixed + 8);
    record->method = Get16(fixed + 10);
    record->dosDateTime = Get32(fixed + 12);
    record->crc = Get32(fixed + 16);
    record->compressedSize = Get32(fixed + 20);
    record->uncompressedSize = Get32(fixed + 24);
    record->externalAttributes = Get32(fixed + 38);
    record->localOffset = Get32(fixed + 42);
    record->name.assign(static_cast<size_t>(nameLength), '\0');
    if (nameLength > 0 && !zip.source->ReadAt(pos + kCentralRecordSize, &record->name[0], record->name.size()))
        return false;
    *next = pos + total;
    return true;
}

// Walks the directory to the record of index, starting from the current
// entry when that lies before it.
bool GoToEntry(ZipArchive& zip, int index, CentralRecord* record)
{
    if (index < 0 || index >= zip.entryCount)
        return false;
    if (index < zip.currentIndex) {
        zip.currentIndex = 0;
        zip.currentPos = zip.directoryPos;
    }
    uint64_t next = 0;
    while (true) {
        if (!ReadCentralRecord(zip, zip.currentPos, record, &next))
            return false;
        if (zip.currentIndex == index)
            return true;
        ++zip.currentIndex;
        zip.currentPos = next;
    }
}

FILETIME UnixToFileTime(uint32_t seconds)
{
    const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

FILETIME DosToFileTime(uint32_t dosDateTime)
{
    SYSTEMTIME st = {};
    st.wSecond = static_cast<WORD>((dosDateTime & 0x1F) * 2);
    st.wMinute = static_cast<WORD>((dosDateTime >> 5) & 0x3F);
    st.wHour = static_cast<WORD>((dosDateTime >> 11) & 0x1F);
    st.wDay = static_cast<WORD>((dosDateTime >> 16) & 0x1F);
    st.wMonth = static_cast<WORD>((dosDateTime >> 21) & 0x0F);
    st.wYear = static_cast<WORD>(1980 + ((dosDateTime >> 25) & 0x7F));
    FILETIME local = {}, utc = {};
    if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc))
        return FILETIME{};
    return utc;
}

DWORD AttributesOf(uint32_t external)
{
    DWORD attributes = (external & 0x10) || (external & 0x40000000) ? 0x90 : 0x80;
    if (external & 0x20)
        attributes |= 0x20;
    if (external & 0x02)
        attributes |= 0x02;
    if (external & 0x04)
        attributes |= 0x04;
    if ((external & 0x01) || !(external & 0x00800000))
        attributes |= 0x01;
    return attributes;
}

// The "UT" block of an extra field replaces the DOS times with Unix ones;
// every time is read only when the block really holds it.
void ApplyTimestampExtra(const std::vector<unsigned char>& extra, ZipEntryInfo* info)
{
    size_t pos = 0;
    while (extra.size() - pos >= 4) {
        const uint16_t id = Get16(&extra[pos]);
        const size_t size = Get16(&extra[pos + 2]);
        pos += 4;
        if (size > extra.size() - pos)
            return;
        if (id == kExtraTimestampId && size >= 1) {
            const unsigned char flags = extra[pos];
            size_t at = 1;
            FILETIME* targets[3] = {&info->modifyTime, &info->accessTime, &info->creationTime};
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1 << bit)))
                    continue;
                if (size - at < 4)
                    break;
                *targets[bit] = UnixToFileTime(Get32(&extra[pos + at]));
                at += 4;
            }
        }
        pos += size;
    }
}

struct LocalHeader {
    uint64_t dataPos;
    std::vector<unsigned char> extra;
};

DWORD ReadLocalHeader(const ZipArchive& zip, const CentralRecord& record, LocalHeader* local)
{
    const uint64_t headerPos = zip.archiveOffset + record.localOffset;
    unsigned char fixed[kLocalHeaderSize];
    if (!zip.source->ReadAt(headerPos, fixed, sizeof(fixed)) || Get32(fixed) != kLocalSignature)
        return kZipBadLocalHeader;
    const uint16_t method = Get16(fixed + 8);
    if (method != record.method || (method != kMethodStored && method != kMethodDeflated))
        return kZipBadLocalHeader;
    if (!(Get16(fixed + 6) & kFlagDataDescriptor) &&
        (Get32(fixed + 14) != record.crc || Get32(fixed + 18) != record.compressedSize ||
         Get32(fixed + 22) != record.uncompressedSize))
        return kZipBadLocalHeader;
    const uint64_t nameLength = Get16(fixed + 26);
    const size_t extraLength = Get16(fixed + 28);
    local->dataPos = headerPos + kLocalHeaderSize + nameLength + extraLength;
    const uint64_t size = zip.source->Size();
    if (local->dataPos > size || record.compressedSize > size - local->dataPos)
        return kZipBadLocalHeader;
    if (method == kMethodStored && record.compressedSize != record.uncompressedSize)
        return kZipBadLocalHeader;
    local->extra.assign(extraLength, 0);
    if (extraLength > 0 &&
        !zip.source->ReadAt(headerPos + kLocalHeaderSize + nameLength, local->extra.data(), extraLength))
        return kZipBadLocalExtra;
    return kZipOk;
}

DWORD FillEntryInfo(ZipArchive& zip, int index, const CentralRecord& record, ZipEntryInfo* info)
{
    LocalHeader local;
    const DWORD result = ReadLocalHeader(zip, record, &local);
    if (result != kZipOk)
        return result;
    ZeroMemory(info, sizeof(*info));
    info->index = index;
    if (!record.name.empty()) {
        const int nameBytes = record.name.size() > static_cast<size_t>(kZipNameCapacity - 1)
                                  ? kZipNameCapacity - 1
                                  : static_cast<int>(record.name.size());
        const int written =
            MultiByteToWideChar(CP_ACP, 0, record.name.data(), nameBytes, info->name, kZipNameCapacity - 1);
        info->name[written > 0 ? written : 0] = L'\0';
    }
    info->attributes = AttributesOf(record.externalAttributes);
    info->modifyTime = info->accessTime = info->creationTime = DosToFileTime(record.dosDateTime);
    ApplyTimestampExtra(local.extra, info);
    info->compressedSize = record.compressedSize;
    info->uncompressedSize = record.uncompressedSize;
    return kZipOk;
}

void EmptyEntryInfo(ZipEntryInfo* info)
{
    if (info != nullptr) {
        ZeroMemory(info, sizeof(*info));
        info->index = -1;
    }
}

void CloseEntry(ZipArchive& zip)
{
    EntryReader& reader = zip.reader;
    if (reader.inflating)
        inflateEnd(&reader.stream);
    reader = EntryReader();
}

DWORD OpenEntry(ZipArchive& zip, int index)
{
    CloseEntry(zip);
    CentralRecord record;
    if (!GoToEntry(zip, index, &record))
        return kZipBadArchive;
    LocalHeader local;
    const DWORD result = ReadLocalHeader(zip, record, &local);
    if (result != kZipOk)
        return result;
    EntryReader& reader = zip.reader;
    reader.method = record.method;
    reader.dataPos = local.dataPos;
    reader.compressedLeft = record.compressedSize;
    reader.uncompressedLeft = record.uncompressedSize;
    reader.expectedCrc = record.crc;
    reader.crc = crc32(0L, Z_NULL, 0);
    if (reader.method == kMethodDeflated) {
        reader.input.resize(kInputBufferSize);
        if (inflateInit2(&reader.stream, -MAX_WBITS) != Z_OK)
            return kZipReadFailed;
        reader.inflating = true;
    }
    reader.index = index;
    return kZipOk;
}

bool ReadStored(ZipArchive& zip, unsigned char* out, size_t count)
{
    EntryReader& reader = zip.reader;
    if (!zip.source->ReadAt(reader.dataPos, out, count))
        return false;
    reader.dataPos += count;
    reader.compressedLeft -= count;
    return true;
}

// Inflates exactly count bytes. A stream that ends early, is damaged, or
// stops making progress with no input left fails instead of looping.
bool ReadDeflated(ZipArchive& zip, unsigned char* out, size_t count)
{
    EntryReader& reader = zip.reader;
    z_stream& stream = reader.stream;
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(count);
    while (stream.avail_out > 0) {
        if (stream.avail_in == 0 && reader.compressedLeft > 0) {
            const size_t piece = reader.compressedLeft < kInputBufferSize ? static_cast<size_t>(reader.compressedLeft)
                                                                          : kInputBufferSize;
            if (!zip.source->ReadAt(reader.dataPos, reader.input.data(), piece))
                return false;
            reader.dataPos += piece;
            reader.compressedLeft -= piece;
            stream.next_in = reader.input.data();
            stream.avail_in = static_cast<uInt>(piece);
        }
        const uInt inBefore = stream.avail_in;
        const uInt outBefore = stream.avail_out;
        const int status = inflate(&stream, Z_SYNC_FLUSH);
        if (status == Z_STREAM_END)
            return stream.avail_out == 0;
        if (status != Z_OK && status != Z_BUF_ERROR)
            return false;
        const bool progressed = stream.avail_in != inBefore || stream.avail_out != outBefore;
        if (!progressed && (stream.avail_in > 0 || reader.compressedLeft == 0))
            return false;
    }
    return true;
}

// Delivers up to size bytes of the open entry. delivered receives the count;
// false on a read, inflate or checksum failure.
bool ReadEntry(ZipArchive& zip, unsigned char* out, size_t size, size_t* delivered)
{
    EntryReader& reader = zip.reader;
    const size_t count = reader.uncompressedLeft < size ? static_cast<size_t>(reader.uncompressedLeft) : size;
    *delivered = 0;
    if (count == 0)
        return true;
    const bool ok = reader.method == kMethodStored ? ReadStored(zip, out, count) : ReadDeflated(zip, out, count);
    if (!ok)
        return false;
    reader.crc = crc32(reader.crc, out, static_cast<uInt>(count));
    reader.uncompressedLeft -= count;
    *delivered = count;
    return reader.uncompressedLeft > 0 || reader.crc == reader.expectedCrc;
}

DWORD ExtractToMemory(ZipArchive& zip, int index, void* destination, unsigned size)
{
    if (destination == nullptr && size > 0)
        return kZipBadArgument;
    if (zip.reader.index != index) {
        const DWORD opened = OpenEntry(zip, index);
        if (opened != kZipOk) {
            CloseEntry(zip);
            return opened;
        }
    }
    if (zip.reader.uncompressedLeft == 0) {
        CloseEntry(zip);
        return kZipOk;
    }
    if (size == 0)
        return kZipBadArgument;
    size_t delivered = 0;
    if (!ReadEntry(zip, static_cast<unsigned char*>(destination), size, &delivered)) {
        CloseEntry(zip);
        return kZipReadFailed;
    }
    return kZipMore;
}

// The file goes to the base folder followed by the name, so only a name that
// climbs out of it can write elsewhere; entry names may come from the archive.
bool ClimbsOutOfTheBase(const std::wstring& name)
{
    return name.find(L"../") != std::wstring::npos || name.find(L"..\\") != std::wstring::npos;
}

// No folders are made for a name that starts at a root or names a drive.
bool MayCreateFoldersOf(const std::wstring& name)
{
    if (!name.empty() && (name[0] == L'/' || name[0] == L'\\'))
        return false;
    return name.size() < 2 || name[1] != L':';
}

DWORD WriteEntry(ZipArchive& zip, int index, HANDLE file)
{
    const DWORD opened = OpenEntry(zip, index);
    if (opened != kZipOk) {
        CloseEntry(zip);
        return opened;
    }
    std::vector<unsigned char> buffer(kInputBufferSize);
    DWORD result = kZipOk;
    while (zip.reader.uncompressedLeft > 0) {
        size_t delivered = 0;
        if (!ReadEntry(zip, buffer.data(), buffer.size(), &delivered)) {
            result = kZipReadFailed;
            break;
        }
        DWORD written = 0;
        if (!WriteFile(file, buffer.data(), static_cast<DWORD>(delivered), &written, nullptr) || written != delivered) {
            result = kZipWriteFailed;
            break;
        }
    }
    CloseEntry(zip);
    return result;
}

DWORD ExtractToFile(ZipArchive& zip, int index, void* destination, int kind)
{
    if (destination == nullptr)
        return kZipBadArgument;
    CentralRecord record;
    if (!GoToEntry(zip, index, &record))
        return kZipBadArchive;
    ZipEntryInfo info;
    const DWORD infoResult = FillEntryInfo(zip, index, record, &info);
    if (infoResult != kZipOk)
        return infoResult;
    const bool isFolder = (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (kind == kZipHandle) {
        if (isFolder)
            return kZipOk;
        HANDLE file = static_cast<HANDLE>(destination);
        const DWORD result = WriteEntry(zip, index, file);
        if (result == kZipOk && GetFileType(file) == FILE_TYPE_DISK)
            SetFileTime(file, &info.creationTime, &info.accessTime, &info.modifyTime);
        return result;
    }

    std::wstring name = static_cast<const wchar_t*>(destination);
    if (ClimbsOutOfTheBase(name))
        return kZipBadArgument;
    if (isFolder) {
        CreateDirectoryChain(zip.baseFolder.c_str(), (name + L"\\").c_str());
        return kZipOk;
    }
    if (MayCreateFoldersOf(name))
        CreateDirectoryChain(zip.baseFolder.c_str(), name.c_str());
    const DWORD fileAttributes = info.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    ScopedHandle file(CreateFileW((zip.baseFolder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  fileAttributes ? fileAttributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return kZipNoFile;
    const DWORD result = WriteEntry(zip, index, file.get());
    if (result == kZipOk)
        SetFileTime(file.get(), &info.creationTime, &info.accessTime, &info.modifyTime);
    return result;
}

DWORD CheckHandle(ZipHandle* zip)
{
    if (zip == nullptr)
        return kZipBadArgument;
    if (zip->kind != kReaderKind || zip->archive == nullptr)
        return kZipNotReader;
    return kZipOk;
}

std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring result = length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
    if (!result.empty() && result.back() != L'\\' && result.back() != L'/')
        result += L'\\';
    return result;
}

std::unique_ptr<ZipSource> OpenSource(const void* source, unsigned length, int kind, DWORD* result)
{
    *result = kZipOk;
    if (source == nullptr)
        *result = kZipBadArgument;
    else if (kind == kZipMemory)
        return ZipSource::FromMemory(source, length);
    else if (kind == kZipFileName) {
        ScopedHandle file(CreateFileW(static_cast<const wchar_t*>(source), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return ZipSource::FromFile(std::move(file), result);
        *result = kZipNoFile;
    } else if (kind == kZipHandle) {
        HANDLE duplicate = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), const_cast<HANDLE>(source), GetCurrentProcess(), &duplicate, 0, FALSE,
                            DUPLICATE_SAME_ACCESS))
            return ZipSource::FromFile(ScopedHandle(duplicate), result);
        *result = kZipNoDuplicate;
    } else {
        *result = kZipBadArgument;
    }
    return nullptr;
}

// ASCII-only folding, as the names of the archive are compared byte by byte.
bool NamesMatch(const std::string& a, const std::string& b, bool caseInsensitive)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (caseInsensitive) {
            if (x >= 'a' && x <= 'z')
                x = static_cast<char>(x - 'a' + 'A');
            if (y >= 'a' && y <= 'z')
                y = static_cast<char>(y - 'a' + 'A');
        }
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

ZipHandle* ZipArchiveOpen(const void* source, unsigned length, int kind)
{
    DWORD result = kZipOk;
    std::unique_ptr<ZipArchive> archive(new ZipArchive());
    archive->source = OpenSource(source, length, kind, &result);
    if (!archive->source) {
        SetResult(result);
        return nullptr;
    }
    result = ReadEndRecord(*archive);
    if (result != kZipOk) {
        SetResult(result);
        return nullptr;
    }
    archive->currentIndex = 0;
    archive->currentPos = archive->directoryPos;
    CentralRecord first;
    if (archive->entryCount > 0 && !GoToEntry(*archive, 0, &first)) {
        SetResult(kZipBadArchive);
        return nullptr;
    }
    archive->baseFolder = CurrentFolder();
    ZipHandle* handle = new ZipHandle{kReaderKind, archive.release()};
    SetResult(kZipOk);
    return handle;
}

DWORD ZipArchiveFindEntry(ZipHandle* zip, const wchar_t* name, bool caseInsensitive, int* index, ZipEntryInfo* info)
{
    DWORD result = CheckHandle(zip);
    if (result != kZipOk || name == nullptr || index == nullptr) {
        EmptyEntryInfo(info);
        return SetResult(result != kZipOk ? result : kZipBadArgument);
    }
    *index = -1;
    EmptyEntryInfo(info);
    if (wcslen(name) >= static_cast<size_t>(kMaxFindNameLength))
        return SetResult(kZipBadArgument);
    char narrow[kZipNameCapacity] = {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, kZipNameCapacity - 1, nullptr, nullptr);
    if (bytes <= 0)
        return SetResult(kZipBadArgument);
    std::string wanted(narrow);
    for (char& ch : wanted) {
        if (ch == '\\')
            ch = '/';
    }
    ZipArchive& archive = *zip->archive;
    // A lookup starts a new read: an entry left open by a caller that took
    // all its bytes in one call must not answer the next extraction with
    // "nothing left".
    CloseEntry(archive);
    const int savedIndex = archive.currentIndex;
    const uint64_t savedPos = archive.currentPos;
    for (int i = 0; i < archive.entryCount; ++i) {
        CentralRecord record;
        if (!GoToEntry(archive, i, &record))
            break;
        if (!NamesMatch(record.name, wanted, caseInsensitive))
            continue;
        ZipEntryInfo found;
        result = FillEntryInfo(archive, i, record, &found);
        if (result != kZipOk)
            return SetResult(result);
        *index = i;
        if (info != nullptr)
            *info = found;
        return SetResult(kZipOk);
    }
    archive.currentIndex = savedIndex;
    archive.currentPos = savedPos;
    return SetResult(kZipNotFound);
}

DWORD ZipArchiveExtractEntry(ZipHandle* zip, int index, void* destination, unsigned size, int kind)
{
    const DWORD checked = CheckHandle(zip);
    if (checked != kZipOk)
        return SetResult(checked);
    ZipArchive& archive = *zip->archive;
    if (index < 0 || index >= archive.entryCount)
        return SetResult(kZipBadArgument);
    switch (kind) {
    case kZipMemory:
        return SetResult(ExtractToMemory(archive, index, destination, size));
    case kZipFileName:
    case kZipHandle:
        CloseEntry(archive);
        return SetResult(ExtractToFile(archive, index, destination, kind));
    default:
        return SetResult(kZipBadArgument);
    }
}

DWORD ZipArchiveClose(ZipHandle* zip)
{
    const DWORD checked = CheckHandle(zip);
    if (checked != kZipOk)
        return SetResult(checked);
    CloseEntry(*zip->archive);
    delete zip->archive;
    zip->kind = 0;
    zip->archive = nullptr;
    delete zip;
    return SetResult(kZipOk);
}

DWORD ZipArchiveLastResult()
{
    return g_lastResult;
}

void CreateDirectoryChain(const wchar_t* base, const wchar_t* path)
{
    if (base == nullptr || path == nullptr)
        return;
    const std::wstring relative = path;
    size_t end = relative.find_first_of(L"/\\");
    while (end != std::wstring::npos) {
        if (end > 0)
            CreateDirectoryW((std::wstring(base) + relative.substr(0, end)).c_str(), nullptr);
        end = relative.find_first_of(L"/\\", end + 1);
    }
}

}  // namespace UiLib
