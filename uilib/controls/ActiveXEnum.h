#pragma once
// Enumerates the one object of an ActiveX host's container.
#include "Win32Prelude.h"
#include <ole2.h>

namespace UiLib {

class CActiveXEnum final : public IEnumUnknown {
public:
    explicit CActiveXEnum(IUnknown* object);
    CActiveXEnum(const CActiveXEnum&) = delete;
    CActiveXEnum& operator=(const CActiveXEnum&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG count, IUnknown** items, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumUnknown** copy) override;

private:
    ~CActiveXEnum();

    LONG position_;
    LONG refCount_;
    IUnknown* object_;
};

}  // namespace UiLib
