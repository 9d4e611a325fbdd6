#include "StringUtils.h"

#include "Win32Prelude.h"

#include <cstdio>
#include <vector>

namespace {

// Both directions run in two passes: the first measures the converted text
// (terminator included) on the source up to its first zero, the second
// converts into a zero-filled buffer one unit longer than asked for.
std::wstring MultiToWide(UINT codePage, const std::string& text)
{
    int needed = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (needed <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, buffer.data(), needed);
    return std::wstring(buffer.data());
}

std::string WideToMulti(UINT codePage, const std::wstring& text)
{
    int needed = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, buffer.data(), needed, nullptr, nullptr);
    return std::string(buffer.data());
}

}  // namespace

std::wstring AnsiToWide(const std::string& text)
{
    return MultiToWide(CP_ACP, text);
}
std::string WideToAnsi(const std::wstring& text)
{
    return WideToMulti(CP_ACP, text);
}
std::string WideToUtf8(const std::wstring& text)
{
    return WideToMulti(CP_UTF8, text);
}
std::wstring Utf8ToWide(const std::string& text)
{
    return MultiToWide(CP_UTF8, text);
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return text;
    std::string result = text;
    size_t pos = 0;
    while ((pos = result.find(from, pos)) != std::string::npos) {
        result.replace(pos, from.size(), to);
        pos += to.size();
    }
    return result;
}

std::wstring CutAtSeparator(const std::wstring& text, const std::wstring& separator, bool fromEnd, bool keepBefore,
                            bool keepSeparator)
{
    size_t pos = fromEnd ? text.rfind(separator) : text.find(separator);
    if (pos == std::wstring::npos)
        return text;
    if (keepBefore)
        return text.substr(0, pos);
    return text.substr(keepSeparator ? pos : pos + 1);
}

std::string FormatClock(int seconds)
{
    int hours = seconds / 3600;
    int minutes = (seconds % 3600) / 60;
    int secs = seconds % 60;
    char buffer[128] = {};
    if (hours != 0)
        snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d", hours, minutes, secs);
    else
        snprintf(buffer, sizeof(buffer), "%02d:%02d", minutes, secs);
    return buffer;
}
