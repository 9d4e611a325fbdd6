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

// wParam: the CWorkTask, which stays with the manager; lParam: 0. The
// receiver tells the manager once it has read it (ResultTaken).
constexpr UINT WM_USER_TASK_RESULT = WM_USER + 3001;

class CTaskManager {
public:
    CTaskManager() = default;
    // Stops every running worker, waiting up to 3000 ms for each, and frees
    // every worker whose run is over. The main window sets the exiting flag
    // first, so late completions post nothing; a callback that was already
    // under way is waited for.
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
    // The receiver of WM_USER_TASK_RESULT has read the worker it names and
    // will not read it again. A worker this manager does not hold is ignored.
    void ResultTaken(CWorkTask* task);
    void StopAll();
    // Workers started and not yet called back.
    int GetRunning();
    // Workers held: the last one of each source started, and those replaced
    // that are not yet done.
    int GetKeptWorkers();

protected:
    // Where the workers come from; a test may hand out workers whose thread
    // cannot be started.
    virtual CWorkTask* NewWorkTask();

private:
    // Posts the worker's end to the main window unless the program is closing;
    // true when the message went.
    static bool PostResult(CWorkTask* task);
    // Lets go of a worker whose source was started again.
    void Retire(CWorkTask* task);
    // Nothing will touch the worker any more: its callback is over and no
    // message naming it is still unread.
    bool IsDone(CWorkTask* task) const;
    // Waits for the rest of the worker's thread, then deletes it.
    void Free(CWorkTask* task);

    CLock lock_;
    std::deque<TaskRequest> waiting_;
    int running_ = 0;
    // One worker per source: the main window reads a worker after its message
    // arrives. The listed workers stay until the manager goes; one replaced
    // by a later worker for the same source is freed once it is done.
    std::map<std::string, CWorkTask*> tasks_;
    // Workers that have called back, listed or not.
    std::set<CWorkTask*> calledBack_;
    // Workers whose message is posted and not yet taken.
    std::set<CWorkTask*> unread_;
    // Workers replaced in the map and not yet done.
    std::set<CWorkTask*> replaced_;
};

// The completion callback of every worker; user is the CTaskManager.
void WorkTaskCallBack(SimpleThread* task, void* user);
