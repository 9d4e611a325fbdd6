#include "Lock.h"

CLock::CLock()
{
    InitializeCriticalSection(&section_);
}

CLock::~CLock()
{
    DeleteCriticalSection(&section_);
}

void CLock::Lock()
{
    EnterCriticalSection(&section_);
}

void CLock::Unlock()
{
    LeaveCriticalSection(&section_);
}

CAutoLock::CAutoLock(CLock* lock) : lock_(lock)
{
    lock_->Lock();
}

CAutoLock::~CAutoLock()
{
    lock_->Unlock();
}
