#include "PendingFile.h"

#include "Win32Prelude.h"

namespace {

std::wstring FullPath(const std::wstring& path)
{
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    return full;
}

}  // namespace

PendingFile::PendingFile(const std::wstring& target) : target_(FullPath(target))
{
    const size_t slash = target_.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return;
    // Same folder as the target, so the final move is a rename on one volume.
    const std::wstring folder = target_.substr(0, slash);
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), L"vnt", 0, name) != 0)
        path_ = name;
}

PendingFile::~PendingFile()
{
    if (!path_.empty())
        DeleteFileW(path_.c_str());
}

bool PendingFile::Commit()
{
    if (path_.empty() ||
        !MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    path_.clear();
    return true;
}
