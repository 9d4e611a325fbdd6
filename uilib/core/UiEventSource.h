#pragma once
// An ordered list of callbacks for one moment (initialised, resized, an input
// event, a notification). The source owns copies of the delegates added.
#include "UiDelegate.h"
#include "UiPtrArray.h"

namespace UiLib {

class CUiEventSource {
public:
    CUiEventSource() = default;
    ~CUiEventSource();
    CUiEventSource(const CUiEventSource&) = delete;
    CUiEventSource& operator=(const CUiEventSource&) = delete;

    void Add(const CDelegateBase& delegate);
    bool HasDelegates() const { return !delegates_.IsEmpty(); }
    // Calls every delegate in order; the first that answers false stops the
    // rest and makes the answer false.
    bool Invoke(void* param);

private:
    CUiPtrArray delegates_;
};

}  // namespace UiLib
