#include "ActiveXEnum.h"

namespace UiLib {

CActiveXEnum::CActiveXEnum(IUnknown* object) : position_(0), refCount_(1), object_(object)
{
    object_->AddRef();
}

CActiveXEnum::~CActiveXEnum()
{
    object_->Release();
}

STDMETHODIMP CActiveXEnum::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IEnumUnknown)
        return E_NOINTERFACE;
    *out = static_cast<IEnumUnknown*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXEnum::AddRef()
{
    return InterlockedIncrement(&refCount_);
}

STDMETHODIMP_(ULONG) CActiveXEnum::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CActiveXEnum::Next(ULONG count, IUnknown** items, ULONG* fetched)
{
    if (fetched != nullptr)
        *fetched = 0;
    if (items == nullptr)
        return E_POINTER;
    if (count == 0)
        return S_OK;
    if (position_ > 0)
        return S_FALSE;
    ++position_;
    items[0] = object_;
    object_->AddRef();
    if (fetched != nullptr)
        *fetched = 1;
    return count == 1 ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXEnum::Skip(ULONG count)
{
    position_ += static_cast<LONG>(count > 1 ? 1 : count);
    return position_ > 1 || count > 1 ? S_FALSE : S_OK;
}

STDMETHODIMP CActiveXEnum::Reset()
{
    position_ = 0;
    return S_OK;
}

STDMETHODIMP CActiveXEnum::Clone(IEnumUnknown** copy)
{
    if (copy == nullptr)
        return E_POINTER;
    CActiveXEnum* clone = new CActiveXEnum(object_);
    clone->position_ = position_;
    *copy = clone;
    return S_OK;
}

}  // namespace UiLib
