#include "Logger.h"

#include "StringUtils.h"

#include <cstdarg>
#include <cstring>

namespace {

// A log that has grown past this at start-up is started afresh.
constexpr long long kMaxLogSizeAtStart = 0x100000;

// "********************日志开始%s************************\r\n" in GBK.
constexpr char kStartBanner[] = "********************\xC8\xD5\xD6\xBE\xBF\xAA\xCA\xBC%s************************\r\n";
// "********************日志结束%s************************\r\n" in GBK.
constexpr char kEndBanner[] = "********************\xC8\xD5\xD6\xBE\xBD\xE1\xCA\xF8%s************************\r\n";

FILE* OpenLogFile(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "ab+");
    if (!file)
        return nullptr;
    // Measured in 64 bits: a 32-bit position misreads a log past 2 GiB.
    _fseeki64(file, 0, SEEK_END);
    if (_ftelli64(file) > kMaxLogSizeAtStart) {
        std::fclose(file);
        file = std::fopen(path.c_str(), "wb+");
    }
    return file;
}

// The system's text for an error code, or empty when it has none.
std::string SystemErrorText(DWORD error)
{
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageA(flags, nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result(text ? text : "", length);
    LocalFree(text);
    return result;
}

}  // namespace

CLogger::CLogger(const std::string& path)
{
    InitializeCriticalSection(&lock_);
    if (!path.empty()) {
        file_ = OpenLogFile(path);
        if (file_) {
            std::fprintf(file_, kStartBanner, TimeStamp().c_str());
            std::fflush(file_);
        }
    }
    ready_.store(true, std::memory_order_release);
}

CLogger::~CLogger()
{
    if (!ready_.load(std::memory_order_acquire))
        return;
    EnterCriticalSection(&lock_);
    if (file_) {
        std::fprintf(file_, kEndBanner, TimeStamp().c_str());
        std::fclose(file_);
        file_ = nullptr;
    }
    LeaveCriticalSection(&lock_);
}

void CLogger::SetObserver(Observer observer)
{
    EnterCriticalSection(&lock_);
    observer_ = observer;
    LeaveCriticalSection(&lock_);
}

std::string CLogger::TimeStamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[50];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

void CLogger::Write(int level, const char* tag, const char* format, ...)
{
    // The pending system error belongs to the caller: take it before the C
    // runtime or the debugger output can change it.
    const DWORD lastError = GetLastError();
    if (!ready_.load(std::memory_order_acquire))
        return;

    EnterCriticalSection(&lock_);
    std::memset(buffer_, 0, sizeof(buffer_));
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer_, sizeof(buffer_), format, args);
    va_end(args);

    DWORD errorAfter = lastError;
    if (length > 0 && static_cast<size_t>(length) < sizeof(buffer_)) {
        WriteLine(level, tag, lastError);
        if (level == 3 && file_)
            errorAfter = 0;
        if (observer_)
            observer_(level, tag, buffer_);
    }
    LeaveCriticalSection(&lock_);
    SetLastError(errorAfter);
}

void CLogger::WriteLine(int level, const char* tag, DWORD lastError)
{
    if (!file_)
        return;
    const std::string stamp = TimeStamp();
    const int thread = static_cast<int>(GetCurrentThreadId());
    switch (level) {
    case 1:
        std::fprintf(file_, "%s [%d]%s:\t\t%s\r\n", stamp.c_str(), thread, tag, buffer_);
        break;
    case 2:
        std::fprintf(file_, "%s warning>>> [%d]%s:\t\t%s\r\n", stamp.c_str(), thread, tag, buffer_);
        OutputDebugStringA("warning >>>");
        break;
    case 3:
        std::fprintf(file_, "%s Error>>>>> [%d]%s:\t\t%s ", stamp.c_str(), thread, tag, buffer_);
        if (lastError != 0) {
            const std::string errorText = SystemErrorText(lastError);
            std::fprintf(file_, "LastError info: %s\r\n", errorText.c_str());
            OutputDebugStringA("Error >>>>>");
            OutputDebugStringA(errorText.c_str());
        } else {
            std::fputs("\r\n", file_);
        }
        break;
    default:
        break;
    }
    OutputDebugStringA(buffer_);
    OutputDebugStringA("\r\n");
    std::fflush(file_);
}

PrintTime::PrintTime(const std::string& name) : name_(name), start_(GetTickCount())
{
    g_logger.Write(1, "PrintTime::PrintTime", "<< %s", name_.c_str());
}

PrintTime::~PrintTime()
{
    const DWORD elapsed = GetTickCount() - start_;
    g_logger.Write(1, "PrintTime::~PrintTime", "%s >> %lu ms", name_.c_str(), elapsed);
}

void UiLibExceptFunc(const wchar_t* text)
{
    if (!text)
        return;
    g_logger.Write(2, "UiLibExceptFunc", "%s", WideToAnsi(text).c_str());
}
