#include "Process.h"

#include "ScopedHandle.h"

#include <shellapi.h>

std::vector<std::wstring> ProcessArguments()
{
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    if (list == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(list[i]);
    LocalFree(list);
    return arguments;
}

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    // Backslashes are literal except before a quote, where they must double.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted.push_back(c);
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments)
{
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (!line.empty())
            line.push_back(L' ');
        line += QuoteArgument(argument);
    }
    return line;
}

std::wstring ExeFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return L".";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/"));
}

bool RunHidden(const std::wstring& program, const std::vector<std::wstring>& arguments, const OutputSink& sink,
               DWORD& exitCode)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    ScopedHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr));
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!nul || !CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return false;
    ScopedHandle reader(readEnd);
    ScopedHandle writer(writeEnd);
    // Only the child's end may be inherited, or the pipe never reports its end.
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nul.get();
    startup.hStdOutput = writer.get();
    startup.hStdError = nul.get();
    std::wstring commandLine = QuoteArgument(program) + L" " + JoinArguments(arguments);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info))
        return false;
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);
    writer.reset();

    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(reader.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        if (sink)
            sink(buffer, read);
    }
    WaitForSingleObject(process.get(), INFINITE);
    return GetExitCodeProcess(process.get(), &exitCode) != 0;
}
