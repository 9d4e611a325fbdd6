#include "TestSupport.h"

#include "ScopedHandle.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const wchar_t kClassName[] = L"VantorinRecognitionTestWindow";

void PutU32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void PutU16(std::string& out, uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8));
}

uint32_t GetU32(const std::string& in, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(in[at + static_cast<size_t>(i)]);
    return value;
}

uint16_t GetU16(const std::string& in, size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(in[at]) | (static_cast<unsigned char>(in[at + 1]) << 8));
}

}  // namespace

MessageWindow::MessageWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &MessageWindow::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    window_ =
        CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow()
{
    if (window_)
        DestroyWindow(window_);
}

std::vector<PostedMessage> MessageWindow::Received(UINT message) const
{
    std::vector<PostedMessage> found;
    for (const PostedMessage& posted : received_) {
        if (posted.message == message)
            found.push_back(posted);
    }
    return found;
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // The system close command is kept too, and goes no further.
    if (self && (message >= WM_USER || message == WM_SYSCOMMAND)) {
        const PostedMessage posted = {message, wParam, lParam};
        if (self->handler_)
            self->handler_(posted);
        self->received_.push_back(posted);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now < 50 ? deadline - now : 50),
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool WriteWav(const std::string& path, const WavData& wav)
{
    const uint32_t dataBytes = static_cast<uint32_t>(wav.samples.size() * sizeof(int16_t));
    std::string out = "RIFF";
    PutU32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    PutU32(out, 16);
    PutU16(out, 1);
    PutU16(out, static_cast<uint16_t>(wav.channels));
    PutU32(out, static_cast<uint32_t>(wav.sampleRate));
    PutU32(out, static_cast<uint32_t>(wav.sampleRate * wav.channels * 2));
    PutU16(out, static_cast<uint16_t>(wav.channels * 2));
    PutU16(out, 16);
    out += "data";
    PutU32(out, dataBytes);
    for (int16_t sample : wav.samples)
        PutU16(out, static_cast<uint16_t>(sample));
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWav(const std::string& path, WavData* wav)
{
    const std::string in = ReadFileBytes(path);
    if (in.size() < 12 || in.compare(0, 4, "RIFF") != 0 || in.compare(8, 4, "WAVE") != 0)
        return false;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= in.size();) {
        const std::string id = in.substr(at, 4);
        const size_t size = GetU32(in, at + 4);
        const size_t body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= in.size()) {
            if (GetU16(in, body) != 1 || GetU16(in, body + 14) != 16)
                return false;
            wav->channels = GetU16(in, body + 2);
            wav->sampleRate = static_cast<int>(GetU32(in, body + 4));
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            // ffmpeg may leave the size open when it streams; take what is there.
            const size_t available = in.size() - body;
            const size_t bytes = (size < available ? size : available) / 2 * 2;
            wav->samples.resize(bytes / 2);
            std::memcpy(wav->samples.data(), in.data() + body, bytes);
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

double Rms(const std::vector<int16_t>& samples, size_t begin, size_t end)
{
    if (end > samples.size())
        end = samples.size();
    if (begin >= end)
        return 0;
    double sum = 0;
    for (size_t i = begin; i < end; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(end - begin));
}

int Peak(const std::vector<int16_t>& samples)
{
    int peak = 0;
    for (int16_t sample : samples) {
        const int magnitude = sample < 0 ? -static_cast<int>(sample) : sample;
        if (magnitude > peak)
            peak = magnitude;
    }
    return peak;
}

int RunAndWait(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    ScopedHandle thread(process.hThread);
    ScopedHandle child(process.hProcess);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(child.get(), timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(child.get(), &code);
    return static_cast<int>(code);
}
