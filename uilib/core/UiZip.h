#pragma once
// Reader of the skin zip: opens an archive from a file name, an open file
// handle or a memory block, finds entries by name and extracts them into a
// buffer or to a file. Every operation answers with a result code, which is
// also kept as the last result.
#include "Win32Prelude.h"

namespace UiLib {

struct ZipHandle;

// Where ZipArchiveOpen reads from, and where ZipArchiveExtractEntry writes to.
const int kZipHandle = 1;
const int kZipFileName = 2;
const int kZipMemory = 3;

const DWORD kZipOk = 0;
const DWORD kZipNoDuplicate = 0x100;     // the caller's handle could not be duplicated
const DWORD kZipNoFile = 0x200;          // a file could not be opened or created
const DWORD kZipWriteFailed = 0x400;     // writing an extracted file failed
const DWORD kZipNotFound = 0x500;        // entry not found
const DWORD kZipMore = 0x600;            // data delivered, more may follow (success)
const DWORD kZipBadLocalHeader = 0x700;  // local header does not match its central record
const DWORD kZipBadLocalExtra = 0x800;   // the local extra field could not be read
const DWORD kZipBadArgument = 0x10000;   // null handle, unknown kind, index out of range
const DWORD kZipNotReader = 0x80000;     // the handle is not a zip reader handle
const DWORD kZipAlreadyOpen = 0x1000000;
const DWORD kZipNotDiskFile = 0x2000000;
const DWORD kZipReadFailed = 0x5000000;  // reading, inflating or the checksum failed
const DWORD kZipBadArchive = 153;        // end record missing or inconsistent, directory damaged

// Name characters kept for an entry, the terminator included.
const int kZipNameCapacity = 260;

struct ZipEntryInfo {
    int index;
    wchar_t name[kZipNameCapacity];
    DWORD attributes;
    FILETIME accessTime;
    FILETIME creationTime;
    FILETIME modifyTime;
    DWORD compressedSize;
    DWORD uncompressedSize;
};

// kind: kZipHandle (source is a HANDLE, duplicated), kZipFileName (a wide
// file name) or kZipMemory (a block of length bytes that must outlive the
// handle). Null on failure; the reason is the last result.
ZipHandle* ZipArchiveOpen(const void* source, unsigned length, int kind);
DWORD ZipArchiveFindEntry(ZipHandle* zip, const wchar_t* name, bool caseInsensitive, int* index, ZipEntryInfo* info);
// kind: kZipMemory (destination is a buffer of size bytes), kZipFileName (a
// wide name relative to the folder current at open) or kZipHandle (a HANDLE).
DWORD ZipArchiveExtractEntry(ZipHandle* zip, int index, void* destination, unsigned size, int kind);
DWORD ZipArchiveClose(ZipHandle* zip);
DWORD ZipArchiveLastResult();

// Creates every folder of a relative path under base (which ends with a
// separator), splitting at '/' and '\'. The last part counts as a folder only
// when the path ends with a separator.
void CreateDirectoryChain(const wchar_t* base, const wchar_t* path);

}  // namespace UiLib
