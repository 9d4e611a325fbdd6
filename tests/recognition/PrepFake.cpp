// A misbehaving tool for the preparation tests, chosen by the name it is
// copied under:
//   ffmpeg.exe        writes a short WAV file at its last argument, then puts a
//                     folder where the copy of that file is to go;
//   vantorinaudio.exe writes bytes that are no audio at its second argument.
#include "Win32Prelude.h"
#include <shellapi.h>

#include <string>

namespace {

bool WriteText(const std::wstring& path, const char* text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
    return ok != FALSE;
}

std::wstring OwnName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full = path;
    const size_t slash = full.find_last_of(L'\\');
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

}  // namespace

int main()
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count < 2)
        return 2;
    const std::wstring name = OwnName();
    int code = 1;
    if (_wcsicmp(name.c_str(), L"ffmpeg.exe") == 0) {
        const std::wstring wav = args[count - 1];
        const size_t dot = wav.rfind(L".wav");
        if (dot != std::wstring::npos && WriteText(wav, "RIFF"))
            code = CreateDirectoryW((wav.substr(0, dot) + L"out.wav").c_str(), nullptr) ? 0 : 1;
    } else if (_wcsicmp(name.c_str(), L"vantorinaudio.exe") == 0 && count >= 3) {
        code = WriteText(args[2], "this is not audio") ? 0 : 1;
    }
    LocalFree(args);
    return code;
}
