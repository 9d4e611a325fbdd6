#include "CTaskManager.h"

#include "CData.h"
#include "CompletionGate.h"
#include "Logger.h"
#include "PubUtils.h"

#include <vector>

void WorkTaskCallBack(SimpleThread* task, void* user)
{
    const CompletionPass pass;
    if (!pass.IsOpen())
        return;
    static_cast<CTaskManager*>(user)->OnAudioCallBack(static_cast<CWorkTask*>(task));
}

CTaskManager::~CTaskManager()
{
    StopAll();
    // A callback that got in before the exiting flag was set may still be on
    // its way to the lock; the manager must outlive it.
    WaitForCompletionsInside();
}

CWorkTask* CTaskManager::NewWorkTask()
{
    return new CWorkTask;
}

bool CTaskManager::AddTask(const std::string& sourcePath, bool denoise, bool raiseVolume)
{
    TaskRequest request;
    request.sourcePath = sourcePath;
    request.denoise = denoise;
    request.raiseVolume = raiseVolume;
    CAutoLock guard(&lock_);
    waiting_.push_back(request);
    return true;
}

void CTaskManager::OnTimer()
{
    Schedule();
}

void CTaskManager::Schedule()
{
    CAutoLock guard(&lock_);
    if (running_ >= GetWorkerCount() || waiting_.empty())
        return;
    ++running_;
    const TaskRequest request = waiting_.front();
    waiting_.pop_front();
    CWorkTask* task = NewWorkTask();
    task->SetCallback(&WorkTaskCallBack, this);
    // The lock is held until the map knows the worker, so its callback cannot
    // look for it too early.
    const bool started = task->SetRequest(request, 0);
    CWorkTask*& listed = tasks_[request.sourcePath];
    if (listed != nullptr)
        Retire(listed);
    listed = task;
    // A worker that never ran still ends: reported as failed, not left
    // counted as running.
    if (!started) {
        g_logger.Write(3, "CTaskManager::Schedule", "start work task failed: %s", request.sourcePath.c_str());
        OnAudioCallBack(task);
    }
}

void CTaskManager::OnAudioCallBack(CWorkTask* task)
{
    CAutoLock guard(&lock_);
    const std::string source = task->GetRequest().sourcePath;
    if (tasks_.find(source) == tasks_.end())
        g_logger.Write(1, "CTaskManager::OnAudioCallBack", "mapTask not found task is remove or exit. %s",
                       source.c_str());
    else if (PostResult(task))
        unread_.insert(task);
    --running_;
    calledBack_.insert(task);
}

void CTaskManager::ResultTaken(CWorkTask* task)
{
    CAutoLock guard(&lock_);
    if (unread_.erase(task) == 0)
        return;
    // A listed worker stays; one already replaced has nothing left to wait for.
    if (replaced_.erase(task) != 0)
        Free(task);
}

bool CTaskManager::IsDone(CWorkTask* task) const
{
    return calledBack_.count(task) != 0 && unread_.count(task) == 0;
}

void CTaskManager::Free(CWorkTask* task)
{
    calledBack_.erase(task);
    // Its callback is over: the thread has only its last steps left.
    task->Join(INFINITE);
    delete task;
}

void CTaskManager::Retire(CWorkTask* task)
{
    // The same source is started again: the earlier worker goes, its thread
    // handle with it, once nothing will touch it any more. Until then (it
    // still runs, or the main window has not yet read its posted end, as
    // when two rows name one file) it is kept.
    if (IsDone(task))
        Free(task);
    else
        replaced_.insert(task);
}

bool CTaskManager::PostResult(CWorkTask* task)
{
    CData* data = CData::GetInstance();
    return !data->IsExiting() &&
           PostMessageW(data->GetMainWnd(), WM_USER_TASK_RESULT, reinterpret_cast<WPARAM>(task), 0) != FALSE;
}

void CTaskManager::StopAll()
{
    std::map<std::string, CWorkTask*> tasks;
    std::set<CWorkTask*> replaced;
    {
        CAutoLock guard(&lock_);
        waiting_.clear();
        tasks.swap(tasks_);
        replaced.swap(replaced_);
    }
    // Waited for outside the lock: a worker whose callback got in before the
    // exiting flag was set needs the lock to end, and holding it here would
    // let each wait run out and the callback then reach a deleted manager.
    std::vector<CWorkTask*> workers;
    for (auto& entry : tasks) {
        CWorkTask* task = entry.second;
        if (!task->IsStop()) {
            task->Stop();
            task->Join(3000);
        }
        workers.push_back(task);
    }
    for (CWorkTask* task : replaced) {
        task->Join(3000);
        workers.push_back(task);
    }
    // Nothing reads a worker once its manager has gone (the main window
    // drops results that come later), so every worker whose run is over goes,
    // its end read or not. One that outlived its wait goes on using its
    // object and is left to it.
    CAutoLock guard(&lock_);
    for (CWorkTask* task : workers) {
        if (!task->HasEnded())
            continue;
        calledBack_.erase(task);
        unread_.erase(task);
        delete task;
    }
}

int CTaskManager::GetRunning()
{
    CAutoLock guard(&lock_);
    return running_;
}

int CTaskManager::GetKeptWorkers()
{
    CAutoLock guard(&lock_);
    return static_cast<int>(tasks_.size() + replaced_.size());
}
