#include "FileDialogs.h"

#include "Globals.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <new>

namespace {

constexpr DWORD kOpenFlags =
    OFN_EXPLORER | OFN_EXTENSIONDIFFERENT | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
// The classic single-path size used when no larger buffer was asked for.
constexpr DWORD kSmallFileChars = MAX_PATH;
constexpr size_t kDisplayNameChars = MAX_PATH;

const wchar_t kMediaFilterText[] = L"音视频文件";
const wchar_t kMediaPatterns[] =
    L"*.3ga;*.669;*.a52;*.aac;*.ac3;*.adt;*.adts;*.aif;*.aifc;*.aiff;*.amr;*.aob;*.ape;*.awb;*.caf;*.dts;"
    L"*.flac;*.it;*.kar;*.m4a;*.m4b;*.m4p;*.m5p;*.mid;*.mka;*.mlp;*.mod;*.mpa;*.mp1;*.mp2;*.mp3;*.mpc;"
    L"*.mpga;*.mus;*.oga;*.ogg;*.oma;*.opus;*.qcp;*.ra;*.rmi;*.s3m;*.sid;*.spx;*.thd;*.tta;*.voc;*.vqf;"
    L"*.w64;*.wav;*.wma;*.wv;*.xa;*.xm;*.3g2;*.3gp;*.3gp2;*.3gpp;*.amv;*.asf;*.avi;*.bik;*.bin;*.divx;"
    L"*.drc;*.dv;*.f4v;*.flv;*.gvi;*.gxf;*.iso;*.m1v;*.m2v;*.m2t;*.m2ts;*.m4v;*.mkv;*.mov;*.mp2;*.mp2v;"
    L"*.mp4;*.mp4v;*.mpe;*.mpeg;*.mpeg1;*.mpeg2;*.mpeg4;*.mpg;*.mpv2;*.mts;*.mtv;*.mxf;*.mxg;*.nsv;*.nuv;"
    L"*.ogg;*.ogm;*.ogv;*.ogx;*.ps;*.rec;*.rm;*.rmvb;*.rpl;*.thp;*.tod;*.ts;*.tts;*.txd;*.vob;*.vro;"
    L"*.webm;*.wm;*.wmv;*.wtv;*.xesc";

}  // namespace

std::wstring MediaFileFilter()
{
    std::wstring list(kMediaFilterText);
    list += L'\0';
    list += kMediaPatterns;
    list += L'\0';
    list += L'\0';
    return list;
}

FileOpenDialog::FileOpenDialog() : record_(), defExt_(), filter_(), file_(), heapFile_(nullptr)
{
    record_.lStructSize = sizeof(record_);
    record_.Flags = kOpenFlags;
    record_.lpstrDefExt = defExt_;
    record_.lpstrFilter = filter_;
    record_.lpstrFile = file_;
    record_.nMaxFile = kInlineFileChars;
}

FileOpenDialog::~FileOpenDialog()
{
    delete[] heapFile_;
}

void FileOpenDialog::SetFilter(const wchar_t* list)
{
    std::memset(filter_, 0, sizeof(filter_));
    if (list == nullptr)
        return;
    // Up to and including the empty string that ends the list, and never
    // past the buffer; the caller keeps the list within it.
    for (size_t i = 0; i < kFilterChars; ++i) {
        filter_[i] = list[i];
        if (list[i] == L'\0' && (i == 0 || list[i - 1] == L'\0'))
            return;
    }
}

void FileOpenDialog::SetMultiSelect(bool on)
{
    if (on)
        record_.Flags |= OFN_ALLOWMULTISELECT;
    else
        record_.Flags &= ~static_cast<DWORD>(OFN_ALLOWMULTISELECT);
}

void FileOpenDialog::SetTitle(const wchar_t* text)
{
    record_.lpstrTitle = text;
}

void FileOpenDialog::SetOwner(HWND owner)
{
    record_.hwndOwner = owner;
}

void FileOpenDialog::SetFileBufferSize(size_t count)
{
    delete[] heapFile_;
    heapFile_ = nullptr;
    if (count > kInlineFileChars && count <= MAXDWORD) {
        heapFile_ = new (std::nothrow) wchar_t[count]();
        if (heapFile_ != nullptr) {
            record_.lpstrFile = heapFile_;
            record_.nMaxFile = static_cast<DWORD>(count);
            return;
        }
    }
    std::memset(file_, 0, sizeof(file_));
    record_.lpstrFile = file_;
    record_.nMaxFile = kSmallFileChars;
}

int FileOpenDialog::Show()
{
    return GetOpenFileNameW(&record_);
}

wchar_t* FileOpenDialog::GetFileBuffer()
{
    return record_.lpstrFile;
}

std::wstring FileOpenDialog::GetNextPathName(wchar_t*& position) const
{
    const wchar_t* buffer = record_.lpstrFile;
    if (position == nullptr || buffer == nullptr)
        return std::wstring();
    const wchar_t* const end = buffer + record_.nMaxFile;
    // Every string is read bounded by the buffer, in case it lacks its zero.
    auto lengthAt = [end](const wchar_t* at) { return wcsnlen(at, static_cast<size_t>(end - at)); };

    const size_t folderLength = lengthAt(buffer);
    std::wstring folder(buffer, folderLength);
    if (position == buffer) {
        const wchar_t* second = buffer + folderLength + 1;
        if ((record_.Flags & OFN_ALLOWMULTISELECT) == 0 || second >= end || *second == L'\0') {
            position = nullptr;
            return folder;
        }
        position = const_cast<wchar_t*>(second);
    }
    if (position < buffer || position >= end) {
        position = nullptr;
        return std::wstring();
    }
    const size_t nameLength = lengthAt(position);
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path.append(position, nameLength);
    wchar_t* next = position + nameLength + 1;
    position = (next >= end || *next == L'\0') ? nullptr : next;
    return path;
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM, LPARAM)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(g_browseFolder.c_str()));
    return 0;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initialFolder, bool keepLast)
{
    wchar_t displayName[kDisplayNameChars] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.empty() ? L"选择一个文件夹" : title.c_str();
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    if (!keepLast)
        g_browseFolder.clear();
    if (!g_browseFolder.empty())
        info.lpfn = BrowseFolderCallback;
    if (!initialFolder.empty()) {
        info.lpfn = BrowseFolderCallback;
        g_browseFolder = initialFolder;
    }
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item == nullptr)
        return std::wstring();
    // The shell writes at most MAX_PATH characters here.
    wchar_t path[MAX_PATH] = {};
    const BOOL found = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    if (!found)
        return std::wstring();
    g_browseFolder = path;
    return g_browseFolder;
}
