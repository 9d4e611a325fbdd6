#include "CTaskManager.h"

#include "CData.h"
#include "CompletionGate.h"
#include "Logger.h"
#include "PubUtils.h"

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
    else
        PostResult(task);
    --running_;
    calledBack_.insert(task);
}

void CTaskManager::Retire(CWorkTask* task)
{
    // The same source can be started again only once the main window has
    // taken in the end of its earlier preparation, so an earlier worker that
    // has called back is read by nobody: it goes, its thread handle with it.
    if (calledBack_.erase(task) != 0) {
        task->Join(INFINITE);
        delete task;
        return;
    }
    // Still running (two requests for one source at once): its end is still
    // posted, so it is kept until the manager goes.
    replaced_.push_back(task);
}

void CTaskManager::PostResult(CWorkTask* task)
{
    CData* data = CData::GetInstance();
    if (!data->IsExiting())
        PostMessageW(data->GetMainWnd(), WM_USER_TASK_RESULT, reinterpret_cast<WPARAM>(task), 0);
}

void CTaskManager::StopAll()
{
    std::map<std::string, CWorkTask*> tasks;
    std::vector<CWorkTask*> replaced;
    {
        CAutoLock guard(&lock_);
        waiting_.clear();
        tasks.swap(tasks_);
        replaced.swap(replaced_);
    }
    // Waited for outside the lock: a worker whose callback got in before the
    // exiting flag was set needs the lock to end, and holding it here would
    // let each wait run out and the callback then reach a deleted manager.
    // The workers are not freed: one that outlives its wait goes on using
    // its object.
    for (auto& entry : tasks) {
        CWorkTask* task = entry.second;
        if (!task->IsStop()) {
            task->Stop();
            task->Join(3000);
        }
    }
    for (CWorkTask* task : replaced) {
        task->Join(3000);
        CAutoLock guard(&lock_);
        if (calledBack_.erase(task) != 0)
            delete task;
    }
}

int CTaskManager::GetRunning()
{
    CAutoLock guard(&lock_);
    return running_;
}
