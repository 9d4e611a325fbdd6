#include "tool_test_support.h"

#include "Process.h"
#include "ScopedHandle.h"

#include <cmath>
#include <cstring>

ScratchFolder::ScratchFolder()
    : path_(ExeFolder() + L"\\toolstest." + std::to_wstring(GetCurrentProcessId()) + L"." +
            std::to_wstring(GetTickCount()))
{
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    for (const std::wstring& name : Names())
        DeleteFileW(File(name).c_str());
    RemoveDirectoryW(path_.c_str());
}

std::vector<std::wstring> ScratchFolder::Names() const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(FindFirstFileW((path_ + L"\\*").c_str(), &data));
    if (!find)
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return file && WriteAll(file.get(), bytes.data(), bytes.size());
}

std::vector<uint8_t> ReadBytes(const std::wstring& path)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart == 0)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    if (!ReadAt(file.get(), 0, bytes.data(), static_cast<DWORD>(bytes.size())))
        return {};
    return bytes;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> WavBytes(const WavFormat& format, const std::vector<int16_t>& samples)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
    std::vector<uint8_t> bytes = MakeWavHeader(format, dataBytes);
    const size_t headerSize = bytes.size();
    bytes.resize(headerSize + dataBytes);
    std::memcpy(bytes.data() + headerSize, samples.data(), dataBytes);
    return bytes;
}

bool LoadWav(const std::wstring& path, WavFormat& format, std::vector<int16_t>& samples)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    WavLayout layout;
    if (!file || !ReadWavLayout(file.get(), layout) || layout.format.bitsPerSample != 16)
        return false;
    format = layout.format;
    samples.resize(layout.dataBytes / sizeof(int16_t));
    return samples.empty() || ReadAt(file.get(), layout.dataOffset, samples.data(), layout.dataBytes);
}

long RunBeside(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    DWORD exitCode = 0;
    if (!RunHidden(ExeFolder() + L"\\" + program, arguments, {}, exitCode))
        return -1;
    return static_cast<long>(exitCode);
}

double Rms(const std::vector<int16_t>& samples, size_t start, size_t count)
{
    double sum = 0.0;
    for (size_t i = start; i < start + count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return count == 0 ? 0.0 : std::sqrt(sum / count);
}

double DbFs(double level)
{
    return 20.0 * std::log10(level / 32768.0);
}
