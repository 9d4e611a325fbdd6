#include "service_test_support.h"

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    testfiles::WriteBytes(path, bytes);
}
