#include "CWorkTask.h"

#include "AppPaths.h"
#include "Logger.h"
#include "PubUtils.h"
#include "StringUtils.h"

#include "Win32Prelude.h"
#include <shlwapi.h>

namespace {

const char kTag[] = "CWorkTask::Run";

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

bool FileExists(const std::string& path)
{
    return PathFileExistsA(path.c_str()) != FALSE;
}

// False when an old file stays in the way (locked, or a folder of that name).
bool RemoveFile(const std::string& path)
{
    DeleteFileA(path.c_str());
    return !FileExists(path);
}

// The temporary files are named after the tick count. Two workers started in
// the same tick would write over each other's files, so a name is never
// handed out twice in a run.
std::string NextFileStem()
{
    static std::atomic<DWORD> last{0};
    const DWORD now = GetTickCount();
    DWORD previous = last.load();
    DWORD next = 0;
    do {
        next = now > previous ? now : previous + 1;
    } while (!last.compare_exchange_weak(previous, next));
    return std::to_string(next);
}

}  // namespace

std::string CWorkTask::WavParameters(const std::string& source, const std::string& wav)
{
    return "-y -i " + Quoted(source) + " -acodec pcm_s16le -ac 1 -ar 16000 " + Quoted(wav);
}

std::string CWorkTask::DenoiseParameters(const std::string& wav, const std::string& processedWav)
{
    return Quoted(wav) + " " + Quoted(processedWav);
}

std::string CWorkTask::Mp3Parameters(const std::string& processedWav, const std::string& mp3)
{
    return "-y -i " + Quoted(processedWav) + " -acodec libmp3lame -ac 2 -ar 48000 -b:a 128k " + Quoted(mp3);
}

std::string CWorkTask::GainParameters(const std::string& mp3)
{
    return "/c /r /q " + Quoted(mp3);
}

bool CWorkTask::SetRequest(const TaskRequest& request, int timeoutMs)
{
    request_ = request;
    timeoutMs_ = timeoutMs;
    if (Start())
        return true;
    ended_.store(true);
    return false;
}

void CWorkTask::Run()
{
    status_ = "failed";
    statusCopy_ = status_;
    const int result = Prepare();
    if (result == kOk) {
        status_ = "ok";
        statusCopy_ = status_;
    }
    result_.store(result);
    NotifyDone();
    // The last touch of the object on this thread: from here its manager may
    // free it.
    ended_.store(true);
}

void CWorkTask::RunTool(const std::wstring& tool, const std::string& parameters, int timeoutLevel,
                        const char* timeoutText)
{
    const std::wstring wideParameters = AnsiToWide(parameters);
    // A tool that cannot be started leaves its output missing, which decides.
    ScopedHandle process = ShellOpen(tool, wideParameters, show_);
    if (!process)
        return;
    const DWORD wait = timeoutMs_ < 1 ? INFINITE : static_cast<DWORD>(timeoutMs_);
    if (WaitForSingleObject(process.get(), wait) == WAIT_TIMEOUT)
        g_logger.Write(timeoutLevel, kTag, "%s: %d, %s", timeoutText, timeoutMs_, WideToAnsi(wideParameters).c_str());
}

bool CWorkTask::RunStep(const std::wstring& tool, const std::string& parameters, const std::string& output,
                        int timeoutLevel, const char* timeoutText)
{
    if (!RemoveFile(output))
        return false;
    RunTool(tool, parameters, timeoutLevel, timeoutText);
    return FileExists(output);
}

int CWorkTask::Prepare()
{
    const std::string stem = NextFileStem();
    g_logger.Write(1, kTag, "rnnoise from %s to %s", request_.sourcePath.c_str(), stem.c_str());
    const std::string temp = GetTempDir() + "\\" + stem;
    request_.wavPath = temp + ".wav";
    request_.processedWavPath = temp + "out.wav";
    request_.outputPath = temp + ".mp3";

    const std::wstring exeDir = AnsiToWide(GetExeDir()) + L"\\";
    const std::wstring converter = exeDir + L"ffmpeg.exe";
    show_ = ReadConfigInt(L"Debug", 0) != 0;

    const std::string toWav = WavParameters(request_.sourcePath, request_.wavPath);
    if (!RunStep(converter, toWav, request_.wavPath, 1, "wait CAudioTask exit time out")) {
        g_logger.Write(2, kTag, "task to wav failed: %s", toWav.c_str());
        return kWavFailed;
    }

    if (request_.denoise) {
        const std::string denoise = DenoiseParameters(request_.wavPath, request_.processedWavPath);
        if (!RunStep(exeDir + L"vantorinaudio.exe", denoise, request_.processedWavPath, 1,
                     "wait CAudioTask exit time out")) {
            g_logger.Write(2, kTag, "rnnoise failed: %s", denoise.c_str());
            return kDenoiseFailed;
        }
    } else if (!CopyFileA(request_.wavPath.c_str(), request_.processedWavPath.c_str(), FALSE)) {
        g_logger.Write(3, kTag, "CopyFileA failed. %s to %s", request_.wavPath.c_str(),
                       request_.processedWavPath.c_str());
        return kCopyFailed;
    }

    if (!request_.raiseVolume) {
        request_.outputPath = request_.processedWavPath;
        return kOk;
    }
    const std::string toMp3 = Mp3Parameters(request_.processedWavPath, request_.outputPath);
    if (!RunStep(converter, toMp3, request_.outputPath, 2, "wait wav to mp3 exit time out")) {
        g_logger.Write(2, kTag, "task wav to mp3 failed: %s", toMp3.c_str());
        return kMp3Failed;
    }
    // The gain tool raises the MP3 in place; its outcome is not checked.
    RunTool(exeDir + L"vantoringain.exe", GainParameters(request_.outputPath), 2, "wait gain exit time out");
    return kOk;
}
