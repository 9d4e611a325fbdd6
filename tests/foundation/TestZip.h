#pragma once
// Reads back the archives the diagnostics upload writes.
#include "StringUtils.h"

#include <unzip.h>

#include <string>
#include <utility>
#include <vector>

namespace testfiles {

// Every entry of the archive in stored order, as name and content; empty when
// the archive cannot be opened.
inline std::vector<std::pair<std::string, std::string>> ZipEntries(const std::wstring& path)
{
    std::vector<std::pair<std::string, std::string>> entries;
    unzFile zip = unzOpen64(WideToAnsi(path).c_str());
    if (!zip)
        return entries;
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        char name[260] = {};
        unz_file_info64 info;
        unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        std::string content;
        if (unzOpenCurrentFile(zip) == UNZ_OK) {
            char block[4096];
            int read;
            while ((read = unzReadCurrentFile(zip, block, sizeof block)) > 0)
                content.append(block, static_cast<size_t>(read));
            unzCloseCurrentFile(zip);
        }
        entries.emplace_back(name, content);
    }
    unzClose(zip);
    return entries;
}

// The content of the archive's entry of that name; empty when it has none.
inline std::string ZipEntry(const std::wstring& path, const std::string& name)
{
    for (const auto& entry : ZipEntries(path)) {
        if (entry.first == name)
            return entry.second;
    }
    return std::string();
}

}  // namespace testfiles
