#include "UiEventSource.h"

namespace UiLib {

CUiEventSource::~CUiEventSource()
{
    for (int i = 0; i < delegates_.GetSize(); ++i)
        delete static_cast<CDelegateBase*>(delegates_[i]);
    delegates_.Empty();
}

void CUiEventSource::Add(const CDelegateBase& delegate)
{
    for (int i = 0; i < delegates_.GetSize(); ++i) {
        const CDelegateBase* known = static_cast<CDelegateBase*>(delegates_[i]);
        if (known != nullptr && known->Equals(delegate))
            return;
    }
    CDelegateBase* copy = delegate.Copy();
    if (!delegates_.Add(copy))
        delete copy;
}

bool CUiEventSource::Invoke(void* param)
{
    for (int i = 0; i < delegates_.GetSize(); ++i) {
        CDelegateBase* delegate = static_cast<CDelegateBase*>(delegates_[i]);
        if (delegate != nullptr && !delegate->Invoke(param))
            return false;
    }
    return true;
}

}  // namespace UiLib
