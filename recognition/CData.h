#pragma once
// The process-wide application data: the main window that workers post to,
// the exiting flag, the user-service client, the recognition options, the
// REST key pairs and the log lines waiting for upload.
#include "Lock.h"
#include "ServerKey.h"

#include "Win32Prelude.h"

#include <atomic>
#include <map>
#include <string>

class CUpdateChecker;
class CUserhttplib;

// The program's version, as the uploads name it.
constexpr char kAppVersionText[] = "v1.4.5";

class CData {
public:
    // Made on the first call and never destroyed: worker threads may still
    // call it while the process exits.
    static CData* GetInstance();

    // Keeps the window and starts the user-service client for it.
    void InitUserlib(HWND mainWindow);
    // Switches the crash-dump writer off, ends the client and asks the main
    // window to close.
    void PostAppExit();

    HWND GetMainWnd() const { return mainWindow_.load(); }
    // Made with the data object and kept for the whole run.
    CUpdateChecker* GetUpdateChecker() const { return updateChecker_; }
    CUserhttplib* GetUserlib();
    bool IsExiting() const { return exiting_.load(); }
    void SetExiting(bool exiting) { exiting_.store(exiting); }
    bool IsUpdateOnExit() const { return updateOnExit_.load(); }
    void SetUpdateOnExit(bool update) { updateOnExit_.store(update); }

    // Options for this run only, not stored.
    int GetLanguage() const { return language_.load(); }
    void SetLanguage(int language) { language_.store(language); }
    bool GetRnnoise() const { return denoise_.load(); }
    void SetRnnoise(bool denoise) { denoise_.store(denoise); }
    bool GetVolGain() const { return raiseVolume_.load(); }
    void SetVolGain(bool raise) { raiseVolume_.store(raise); }

    // Stored settings, read once and cached. Type 0 is the speech SDK, any
    // other the REST service.
    int GetRecgType();
    void SetRecgType(int type);
    bool GetOptimize();
    void SetOptimize(bool optimize);

    // Replaces the key list; the rotation goes on from where it was.
    void AddKey(const ServerKeyList& keys);
    // The next pair in rotation, or the built-in one while the list is empty.
    ServerKey GetServerKey();

    // Each distinct line is sent once in the life of the process; repeats are
    // only counted in the log.
    void UploadSvrLog(const std::string& line, bool flush);
    // The extended lines go along with every flush.
    void AddUpLogExt(const std::string& line);
    void FlushUploadLog();

private:
    struct UploadQueue {
        std::map<std::string, int> counts;
        std::string text;  // UTF-8
    };

    CData();
    ~CData() = default;
    CData(const CData&) = delete;
    CData& operator=(const CData&) = delete;

    void Enqueue(UploadQueue& queue, const std::string& line, const char* tag, const char* repeatFormat);
    int ReadCachedSetting(int& cache, const wchar_t* key);

    std::atomic<bool> exiting_{false};
    std::atomic<HWND> mainWindow_{nullptr};
    CUpdateChecker* const updateChecker_;
    CUserhttplib* userlib_ = nullptr;
    std::atomic<bool> updateOnExit_{false};
    ServerKeyList keys_;
    int keyIndex_ = 0;
    CLock lock_;
    UploadQueue uploadLines_;
    UploadQueue extendedLines_;
    int recgType_ = -1;
    std::atomic<int> language_{1};
    std::atomic<bool> denoise_{false};
    std::atomic<bool> raiseVolume_{false};
    int optimize_ = -1;
};
