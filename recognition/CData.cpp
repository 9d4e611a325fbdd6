#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "CData.h"

#include "AppPaths.h"
#include "CrashDump.h"
#include "Logger.h"
#include "ServerLog.h"
#include "StringUtils.h"
#include "UpdateChecker.h"

namespace {

// Used while the user service has delivered no keys.
const ServerKey kBuiltInKey = {"u8jzPde0IgxLd6GncfBAepfJ", "Bd0Kh8oOOL8dKLzdocJ2isAjIhKtJ0Rl"};

void QueueServerLog(const std::string& text, bool sendNow)
{
    CData::GetInstance()->UploadSvrLog(text, sendNow);
}

}  // namespace

CData* CData::GetInstance()
{
    static CData* const instance = new CData;
    return instance;
}

CData::CData() : updateChecker_(new CUpdateChecker)
{
    SetServerLogSink(&QueueServerLog);
}

void CData::InitUserlib(HWND mainWindow)
{
    mainWindow_.store(mainWindow);
    CUserhttplib* client = CreateUserlib(GetAppDataDir().c_str(), mainWindow);
    CAutoLock guard(&lock_);
    userlib_ = client;
}

CUserhttplib* CData::GetUserlib()
{
    CAutoLock guard(&lock_);
    return userlib_;
}

void CData::PostAppExit()
{
    g_logger.Write(1, "CData::PostAppExit", "app exit");
    CCrashDump::Disable();
    CUserhttplib* client = nullptr;
    {
        CAutoLock guard(&lock_);
        client = userlib_;
        userlib_ = nullptr;
    }
    // Outside the lock: the release finishes the client's queued requests.
    if (client)
        ReleaseUserlib(&client);
    PostMessageW(GetMainWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
}

int CData::ReadCachedSetting(int& cache, const wchar_t* key)
{
    CAutoLock guard(&lock_);
    if (cache == -1)
        cache = ReadConfigInt(key, 0);
    return cache;
}

int CData::GetRecgType()
{
    return ReadCachedSetting(recgType_, L"RecgType");
}

void CData::SetRecgType(int type)
{
    if (type < 0)
        type = 0;
    {
        CAutoLock guard(&lock_);
        recgType_ = type;
    }
    WriteConfigInt(L"RecgType", type);
}

bool CData::GetOptimize()
{
    return ReadCachedSetting(optimize_, L"Optimize") != 0;
}

void CData::SetOptimize(bool optimize)
{
    const int value = optimize ? 1 : 0;
    {
        CAutoLock guard(&lock_);
        optimize_ = value;
    }
    WriteConfigInt(L"Optimize", value);
}

void CData::AddKey(const ServerKeyList& keys)
{
    if (keys.empty())
        g_logger.Write(2, "CData::AddKey", "get ServerKey size is null");
    CAutoLock guard(&lock_);
    keys_ = keys;
}

ServerKey CData::GetServerKey()
{
    CAutoLock guard(&lock_);
    if (keys_.empty())
        return kBuiltInKey;
    // The list may have been replaced by a shorter one since the last call.
    ++keyIndex_;
    if (keyIndex_ < 0 || static_cast<size_t>(keyIndex_) >= keys_.size())
        keyIndex_ = 0;
    return keys_[static_cast<size_t>(keyIndex_)];
}

void CData::Enqueue(UploadQueue& queue, const std::string& line, const char* tag, const char* repeatFormat)
{
    CAutoLock guard(&lock_);
    auto found = queue.counts.find(line);
    if (found != queue.counts.end()) {
        ++found->second;
        g_logger.Write(1, tag, repeatFormat, found->second, line.c_str());
        return;
    }
    queue.counts.emplace(line, 1);
    queue.text += WideToUtf8(AnsiToWide(line + "\r\n"));
}

void CData::UploadSvrLog(const std::string& line, bool flush)
{
    Enqueue(uploadLines_, line, "CData::UploadSvrLog", "uplog %d msg %s");
    if (flush)
        FlushUploadLog();
}

void CData::AddUpLogExt(const std::string& line)
{
    Enqueue(extendedLines_, line, "CData::AddUpLogExt", "ext uplog %d msg %s");
}

void CData::FlushUploadLog()
{
    std::string text;
    CUserhttplib* client = nullptr;
    {
        CAutoLock guard(&lock_);
        text.swap(uploadLines_.text);
        text += extendedLines_.text;
        client = userlib_;
    }
    // Without a client the ordinary text taken above is lost: each line is
    // queued once in the life of the process in any case. The client is
    // released only on the UI thread, which is also where flushes run.
    if (text.empty() || !client)
        return;
    const std::string upload = std::string(kAppVersionText) + " " + text;
    client->UploadLog(upload.c_str());
}
