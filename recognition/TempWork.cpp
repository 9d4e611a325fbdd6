#include "TempWork.h"

#include "AppPaths.h"
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TaskRequest.h"

#include "Win32Prelude.h"

#include <cwctype>

namespace {

// Skips a run of at least one decimal digit; false when there is none.
bool SkipDigits(const std::wstring& text, size_t* at)
{
    const size_t start = *at;
    while (*at < text.size() && std::iswdigit(text[*at]))
        ++*at;
    return *at > start;
}

bool IsSourceCopyName(const std::wstring& name)
{
    if (name.compare(0, 3, L"src") != 0)
        return false;
    size_t at = 3;
    if (!SkipDigits(name, &at) || at >= name.size() || name[at] != L'_')
        return false;
    ++at;
    return SkipDigits(name, &at) && at + 1 < name.size() && name[at] == L'_';
}

bool IsNumberedName(const std::wstring& name)
{
    size_t at = 0;
    if (!SkipDigits(name, &at))
        return false;
    const std::wstring rest = name.substr(at);
    return rest == L".pcm" || rest == L".wav" || rest == L"out.wav" || rest == L".mp3";
}

}  // namespace

CutInput::~CutInput()
{
    if (madeForTheRun_)
        DeleteWorkFile(path_);
}

void DeleteWorkFile(const std::string& path)
{
    if (!path.empty())
        DeleteFileW(AnsiToWide(path).c_str());
}

bool IsInTempFolder(const std::string& path)
{
    const std::string folder = GetTempDir() + "\\";
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path.find('\\', folder.size()) == std::string::npos;
}

bool IsPipelineWorkName(const std::wstring& name)
{
    return IsSourceCopyName(name) || IsNumberedName(name);
}

void RemoveLeftoverWorkFiles()
{
    const std::wstring folder = AnsiToWide(GetTempDir());
    WIN32_FIND_DATAW found = {};
    ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsPipelineWorkName(found.cFileName))
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search.get(), &found));
}

void DeletePreparationFiles(const TaskRequest& request, bool keepOutput)
{
    for (const std::string* path : {&request.wavPath, &request.processedWavPath, &request.outputPath}) {
        if (!keepOutput || *path != request.outputPath)
            DeleteWorkFile(*path);
    }
}
