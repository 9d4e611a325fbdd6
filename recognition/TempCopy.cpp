#include "TempCopy.h"

#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"

#include <algorithm>
#include <vector>

namespace {

const DWORD kBlockBytes = 1024 * 1024;
const ULONGLONG kRoomReadMs = 1000;

bool CopyOneBlock(HANDLE from, HANDLE to, char* buffer, DWORD size, DWORD* copied)
{
    *copied = 0;
    DWORD got = 0;
    if (!ReadFile(from, buffer, size, &got, nullptr))
        return false;
    for (DWORD done = 0; done < got;) {
        DWORD wrote = 0;
        if (!WriteFile(to, buffer + done, got - done, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    *copied = got;
    return true;
}

std::atomic<CopyBlockFn> g_copyBlock{nullptr};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Waits for a thread while cancelling the system call it may be blocked in,
// again and again, since a cancel that comes before the call is lost. False
// when the thread has not ended within timeoutMs.
bool WaitForCancelledThread(HANDLE thread, DWORD timeoutMs)
{
    const DWORD kSliceMs = 50;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        CancelSynchronousIo(thread);
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kSliceMs));
        if (WaitForSingleObject(thread, wait) != WAIT_TIMEOUT)
            return true;
        if (now >= deadline)
            return false;
    }
}

}  // namespace

void SetCopyBlock(CopyBlockFn block)
{
    g_copyBlock.store(block);
}

TempCopy::TempCopy(std::string source, std::string path, ScopedHandle from, ULONGLONG size)
    : source_(std::move(source)), path_(std::move(path)), from_(std::move(from)), size_(size)
{
}

// All that the copier's thread reads and writes. The thread holds it as well
// as the copier, so that a thread left behind by a stop never finds it freed.
class CopierState {
public:
    explicit CopierState(std::function<void()> ended) : ended_(std::move(ended)) {}
    CopierState(const CopierState&) = delete;
    CopierState& operator=(const CopierState&) = delete;

    std::shared_ptr<TempCopy> Queue(const std::string& source, const std::string& path, ScopedHandle from,
                                    ULONGLONG size);
    void Run();
    // From Stop: no end is told once this has returned.
    void StopTellingEnds();
    // From Stop, for a thread left behind: its file goes once it lets go.
    void DeleteCopyUnderWay();
    void DropQueued();
    bool IsBusy();

    std::atomic<bool> stopping{false};
    ScopedHandle wake;

private:
    // False when the bytes could not all be copied, or nobody wants them.
    bool CopyBytes(const std::shared_ptr<TempCopy>& copy);
    bool EnoughRoomFor(const std::string& path, ULONGLONG size);
    void TellEnd();

    const std::function<void()> ended_;
    CLock lock_;
    // Held while an end is told, and by a stop to wait for one under way.
    CLock endLock_;
    std::deque<std::shared_ptr<TempCopy>> queue_;
    // The file of the copy being written; empty between copies.
    std::string underWayPath_;
    // Bytes that the queued copies and the one under way have still to write.
    ULONGLONG owedBytes_ = 0;
    // The room on the disk when last read, and the bytes written since.
    bool roomKnown_ = false;
    ULONGLONG roomReadAt_ = 0;
    ULONGLONG room_ = 0;
    ULONGLONG writtenSinceRead_ = 0;
    int unfinished_ = 0;
};

bool CopierState::EnoughRoomFor(const std::string& path, ULONGLONG size)
{
    // Read again at most once a second: a batch of a hundred files would
    // otherwise ask the system a hundred times within one click. Meanwhile
    // what the copies wrote is taken off the room last read.
    const ULONGLONG now = GetTickCount64();
    if (!roomKnown_ || now - roomReadAt_ >= kRoomReadMs) {
        ULARGE_INTEGER available = {};
        // Where the room cannot be read the copy itself will tell.
        if (!GetDiskFreeSpaceExW(AnsiToWide(FolderOf(path)).c_str(), &available, nullptr, nullptr))
            return true;
        roomKnown_ = true;
        roomReadAt_ = now;
        room_ = available.QuadPart;
        writtenSinceRead_ = 0;
    }
    const ULONGLONG left = room_ > writtenSinceRead_ ? room_ - writtenSinceRead_ : 0;
    return left >= size + owedBytes_;
}

std::shared_ptr<TempCopy> CopierState::Queue(const std::string& source, const std::string& path, ScopedHandle from,
                                             ULONGLONG size)
{
    CAutoLock guard(&lock_);
    if (stopping.load())
        return nullptr;
    if (!EnoughRoomFor(path, size)) {
        SetLastError(ERROR_DISK_FULL);
        return nullptr;
    }
    auto copy = std::make_shared<TempCopy>(source, path, std::move(from), size);
    queue_.push_back(copy);
    owedBytes_ += copy->size_;
    ++unfinished_;
    SetEvent(wake.get());
    return copy;
}

void CopierState::Run()
{
    while (!stopping.load()) {
        std::shared_ptr<TempCopy> copy;
        {
            CAutoLock guard(&lock_);
            if (!queue_.empty()) {
                copy = queue_.front();
                queue_.pop_front();
                underWayPath_ = copy->path_;
            }
        }
        if (!copy) {
            WaitForSingleObject(wake.get(), INFINITE);
            continue;
        }
        const bool whole = CopyBytes(copy);
        // Logged first, while the system's last error is the copy's.
        if (!whole && copy.use_count() > 1 && !stopping.load())
            g_logger.Write(3, "TempCopier::Run", "copy %s to temp failed", copy->source_.c_str());
        {
            CAutoLock guard(&lock_);
            underWayPath_.clear();
        }
        copy->to_.reset();
        copy->from_.reset();
        if (!whole)
            DeleteFileW(AnsiToWide(copy->path_).c_str());
        copy->state_.store(whole ? TempCopy::State::kDone : TempCopy::State::kFailed);
        TellEnd();
        CAutoLock guard(&lock_);
        --unfinished_;
    }
}

void CopierState::TellEnd()
{
    CAutoLock guard(&endLock_);
    if (!stopping.load())
        ended_();
}

void CopierState::StopTellingEnds()
{
    stopping.store(true);
    CAutoLock guard(&endLock_);
}

void CopierState::DeleteCopyUnderWay()
{
    CAutoLock guard(&lock_);
    if (!underWayPath_.empty())
        DeleteFileW(AnsiToWide(underWayPath_).c_str());
}

void CopierState::DropQueued()
{
    // Copies that never began: their files were never created.
    CAutoLock guard(&lock_);
    for (const std::shared_ptr<TempCopy>& copy : queue_) {
        copy->from_.reset();
        copy->state_.store(TempCopy::State::kFailed);
    }
    unfinished_ -= static_cast<int>(queue_.size());
    queue_.clear();
}

bool CopierState::IsBusy()
{
    CAutoLock guard(&lock_);
    return unfinished_ > 0;
}

bool CopierState::CopyBytes(const std::shared_ptr<TempCopy>& copy)
{
    // Made here rather than when the copy was asked for: creating a file
    // costs the UI thread as much as opening one. Whoever deletes the copy
    // before it is whole (the file's pieces were dropped, or the copier
    // stopped) may do so while it is being written.
    if (copy.use_count() > 1)
        copy->to_.reset(CreateFileW(AnsiToWide(copy->path_).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<char> buffer(kBlockBytes);
    ULONGLONG left = copy->size_;
    bool whole = false;
    // The last reference is the copier's own once the file's pieces are gone.
    while (copy->to_ && !stopping.load() && copy.use_count() > 1) {
        const CopyBlockFn replaced = g_copyBlock.load();
        DWORD copied = 0;
        if (!(replaced ? replaced : &CopyOneBlock)(copy->from_.get(), copy->to_.get(), buffer.data(), kBlockBytes,
                                                   &copied))
            break;
        if (copied == 0) {
            whole = true;
            break;
        }
        const ULONGLONG counted = copied < left ? copied : left;
        left -= counted;
        CAutoLock guard(&lock_);
        owedBytes_ -= counted;
        writtenSinceRead_ += counted;
    }
    CAutoLock guard(&lock_);
    owedBytes_ -= left;
    return whole;
}

TempCopier::TempCopier(std::function<void()> ended) : state_(std::make_shared<CopierState>(std::move(ended)))
{
}

TempCopier::~TempCopier()
{
    Stop();
}

void TempCopier::Stop()
{
    state_->StopTellingEnds();
    if (thread_) {
        SetEvent(state_->wake.get());
        if (!WaitForCancelledThread(thread_.get(), kStopWaitMs)) {
            g_logger.Write(3, "TempCopier::Stop", "temp copy thread still busy after %u ms, left to end alone",
                           static_cast<unsigned>(kStopWaitMs));
            state_->DeleteCopyUnderWay();
        }
        thread_.reset();
    }
    state_->DropQueued();
}

std::shared_ptr<TempCopy> TempCopier::Start(const std::string& source, const std::string& path)
{
    ScopedHandle from(CreateFileW(AnsiToWide(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!from || !GetFileSizeEx(from.get(), &size))
        return nullptr;
    // Only the UI thread starts copies, so the thread is made once.
    if (!thread_ && !state_->stopping.load()) {
        state_->wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        const std::shared_ptr<CopierState> state = state_;
        thread_ = StartWorkerThread(L"temp copy", [state] { state->Run(); });
        if (!thread_)
            return nullptr;
    }
    return state_->Queue(source, path, std::move(from), ULONGLONG(size.QuadPart));
}

bool TempCopier::IsBusy()
{
    return state_->IsBusy();
}
