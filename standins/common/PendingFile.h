#pragma once
// A file written beside its target under a temporary name, which replaces the
// target only when complete; dropped unless committed, so a failure never
// leaves a half-written target behind.
#include <string>

class PendingFile {
public:
    explicit PendingFile(const std::wstring& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Empty when no temporary file could be made beside the target.
    const std::wstring& path() const { return path_; }
    // Moves the finished file over the target.
    bool Commit();

private:
    std::wstring target_;
    std::wstring path_;
};
