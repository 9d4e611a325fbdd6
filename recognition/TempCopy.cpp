#include "TempCopy.h"

#include "Logger.h"
#include "SimpleThread.h"
#include "StringUtils.h"

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

}  // namespace

void SetCopyBlock(CopyBlockFn block)
{
    g_copyBlock.store(block);
}

TempCopy::TempCopy(std::string source, std::string path, ScopedHandle from, ULONGLONG size)
    : source_(std::move(source)), path_(std::move(path)), from_(std::move(from)), size_(size)
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
    // Copies that never began: their files were never created.
    CAutoLock guard(&lock_);
    for (const std::shared_ptr<TempCopy>& copy : queue_) {
        copy->from_.reset();
        copy->state_.store(TempCopy::State::kFailed);
    }
    queue_.clear();
    unfinished_ = 0;
}

bool TempCopier::EnoughRoomFor(const std::string& path, ULONGLONG size)
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
    if (!thread_) {
        wake_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        thread_ = StartWorkerThread(L"temp copy", [this] { Run(); });
        if (!thread_)
            return nullptr;
    }
    auto copy = std::make_shared<TempCopy>(source, path, std::move(from), ULONGLONG(size.QuadPart));
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
    // Made here rather than when the copy was asked for: creating a file
    // costs the UI thread as much as opening one. Whoever deletes the copy
    // before it is whole (the file's pieces were dropped) may do so while it
    // is being written.
    if (copy.use_count() > 1)
        copy->to_.reset(CreateFileW(AnsiToWide(copy->path_).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<char> buffer(kBlockBytes);
    ULONGLONG left = copy->size_;
    bool whole = false;
    // The last reference is the copier's own once the file's pieces are gone.
    while (copy->to_ && !stopping_.load() && copy.use_count() > 1) {
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
