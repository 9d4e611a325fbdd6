#include "TempCopy.h"

#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"

#include <vector>

namespace {

const DWORD kBlockBytes = 1024 * 1024;

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

}  // namespace

void SetCopyBlock(CopyBlockFn block)
{
    g_copyBlock.store(block);
}

TempCopy::TempCopy(std::string source, std::string path, ScopedHandle from, ScopedHandle to, ULONGLONG size)
    : source_(std::move(source)), path_(std::move(path)), from_(std::move(from)), to_(std::move(to)), size_(size)
{
}

TempCopier::TempCopier(std::function<void()> ended) : ended_(std::move(ended))
{
}

TempCopier::~TempCopier()
{
    Stop();
}

void TempCopier::Stop()
{
    stopping_.store(true);
    if (thread_) {
        SetEvent(wake_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    // Copies that never began: their files were created empty.
    CAutoLock guard(&lock_);
    for (const std::shared_ptr<TempCopy>& copy : queue_) {
        copy->to_.reset();
        copy->from_.reset();
        DeleteFileW(AnsiToWide(copy->path_).c_str());
        copy->state_.store(TempCopy::State::kFailed);
    }
    queue_.clear();
    unfinished_ = 0;
}

bool TempCopier::EnoughRoomFor(const std::string& path, ULONGLONG size)
{
    ULARGE_INTEGER available = {};
    // Where the room cannot be read the copy itself will tell.
    if (!GetDiskFreeSpaceExW(AnsiToWide(FolderOf(path)).c_str(), &available, nullptr, nullptr))
        return true;
    return available.QuadPart >= size + owedBytes_;
}

std::shared_ptr<TempCopy> TempCopier::Start(const std::string& source, const std::string& path)
{
    ScopedHandle from(CreateFileW(AnsiToWide(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!from || !GetFileSizeEx(from.get(), &size))
        return nullptr;
    CAutoLock guard(&lock_);
    if (stopping_.load())
        return nullptr;
    if (!EnoughRoomFor(path, ULONGLONG(size.QuadPart))) {
        SetLastError(ERROR_DISK_FULL);
        return nullptr;
    }
    // Whoever deletes the copy before it is whole (the file's pieces were
    // dropped) may do so while it is being written.
    ScopedHandle to(CreateFileW(AnsiToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!to)
        return nullptr;
    if (!thread_) {
        wake_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        thread_ = StartWorkerThread(L"temp copy", [this] { Run(); });
        if (!thread_) {
            to.reset();
            DeleteFileW(AnsiToWide(path).c_str());
            return nullptr;
        }
    }
    auto copy = std::make_shared<TempCopy>(source, path, std::move(from), std::move(to), ULONGLONG(size.QuadPart));
    queue_.push_back(copy);
    owedBytes_ += copy->size_;
    ++unfinished_;
    SetEvent(wake_.get());
    return copy;
}

void TempCopier::Run()
{
    while (!stopping_.load()) {
        std::shared_ptr<TempCopy> copy;
        {
            CAutoLock guard(&lock_);
            if (!queue_.empty()) {
                copy = queue_.front();
                queue_.pop_front();
            }
        }
        if (!copy) {
            WaitForSingleObject(wake_.get(), INFINITE);
            continue;
        }
        const bool whole = CopyBytes(copy);
        // Logged first, while the system's last error is the copy's.
        if (!whole && copy.use_count() > 1 && !stopping_.load())
            g_logger.Write(3, "TempCopier::Run", "copy %s to temp failed", copy->source_.c_str());
        copy->to_.reset();
        copy->from_.reset();
        if (!whole)
            DeleteFileW(AnsiToWide(copy->path_).c_str());
        copy->state_.store(whole ? TempCopy::State::kDone : TempCopy::State::kFailed);
        if (!stopping_.load())
            ended_();
        CAutoLock guard(&lock_);
        --unfinished_;
    }
}

bool TempCopier::IsBusy()
{
    CAutoLock guard(&lock_);
    return unfinished_ > 0;
}

bool TempCopier::CopyBytes(const std::shared_ptr<TempCopy>& copy)
{
    std::vector<char> buffer(kBlockBytes);
    ULONGLONG left = copy->size_;
    bool whole = false;
    // The last reference is the copier's own once the file's pieces are gone.
    while (!stopping_.load() && copy.use_count() > 1) {
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
    }
    CAutoLock guard(&lock_);
    owedBytes_ -= left;
    return whole;
}
