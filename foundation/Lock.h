#pragma once
// A recursive mutual-exclusion lock (one critical section) and its scope guard.
#include "Win32Prelude.h"

class CLock {
public:
    CLock();
    ~CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    void Lock();
    void Unlock();

private:
    CRITICAL_SECTION section_;
};

// Holds a CLock for the lifetime of a local object.
class CAutoLock {
public:
    explicit CAutoLock(CLock* lock);
    ~CAutoLock();
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CLock* lock_;
};
