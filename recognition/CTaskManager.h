#pragma once
// Queues source files for preparation and runs a limited number of CWorkTask
// workers, one per file; each end is posted to the main window.
#include "CWorkTask.h"
#include "Lock.h"
#include "TaskRequest.h"

#include "Win32Prelude.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

// wParam: the CWorkTask, which stays with the manager; lParam: 0.
constexpr UINT WM_USER_TASK_RESULT = WM_USER + 3001;

class CTaskManager {
public:
    CTaskManager() = default;
    // Stops every running worker, waiting up to 3000 ms for each. The main
    // window sets the exiting flag first, so late completions post nothing;
    // a callback that was already under way is waited for.
    virtual ~CTaskManager();
    CTaskManager(const CTaskManager&) = delete;
    CTaskManager& operator=(const CTaskManager&) = delete;

    // Queues the file; nothing starts before the next OnTimer.
    bool AddTask(const std::string& sourcePath, bool denoise, bool raiseVolume);
    // Called on every timer tick of the main window.
    void OnTimer();
    // Starts at most one waiting request while fewer than GetWorkerCount() run.
    void Schedule();
    // A worker's end, on the worker's thread.
    void OnAudioCallBack(CWorkTask* task);
    void StopAll();
    // Workers started and not yet called back.
    int GetRunning();

protected:
    // Where the workers come from; a test may hand out workers whose thread
    // cannot be started.
    virtual CWorkTask* NewWorkTask();

private:
    // Posts the worker's end to the main window unless the program is closing.
    static void PostResult(CWorkTask* task);
    // Lets go of a worker whose source was started again.
    void Retire(CWorkTask* task);

    CLock lock_;
    std::deque<TaskRequest> waiting_;
    int running_ = 0;
    // One worker per source: the main window reads a worker after its message
    // arrives. A worker replaced by a later one for the same source is freed
    // once it has called back; the others stay until the manager goes.
    std::map<std::string, CWorkTask*> tasks_;
    // Workers that have called back, listed or not.
    std::set<CWorkTask*> calledBack_;
    // Workers replaced in the map while they still ran.
    std::vector<CWorkTask*> replaced_;
};

// The completion callback of every worker; user is the CTaskManager.
void WorkTaskCallBack(SimpleThread* task, void* user);
