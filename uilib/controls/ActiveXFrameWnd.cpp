#include "ActiveXFrameWnd.h"

#include "ActiveXUI.h"

namespace UiLib {

CActiveXFrameWnd::CActiveXFrameWnd(CActiveXUI* owner) : refCount_(1), owner_(owner), activeObject_(nullptr)
{
}

CActiveXFrameWnd::~CActiveXFrameWnd()
{
    if (activeObject_ != nullptr)
        activeObject_->Release();
}

STDMETHODIMP CActiveXFrameWnd::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IOleWindow && iid != IID_IOleInPlaceUIWindow && iid != IID_IOleInPlaceFrame)
        return E_NOINTERFACE;
    *out = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXFrameWnd::AddRef()
{
    return InterlockedIncrement(&refCount_);
}

STDMETHODIMP_(ULONG) CActiveXFrameWnd::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CActiveXFrameWnd::GetWindow(HWND* window)
{
    if (window == nullptr)
        return E_POINTER;
    CUiManager* manager = owner_ != nullptr ? owner_->GetOwnerManager() : nullptr;
    *window = manager != nullptr ? manager->GetWindow() : nullptr;
    return *window != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXFrameWnd::ContextSensitiveHelp(BOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::GetBorder(LPRECT)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP CActiveXFrameWnd::SetBorderSpace(LPCBORDERWIDTHS)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR)
{
    if (object != nullptr)
        object->AddRef();
    if (activeObject_ != nullptr)
        activeObject_->Release();
    activeObject_ = object;
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::RemoveMenus(HMENU)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::SetStatusText(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::EnableModeless(BOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXFrameWnd::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}

}  // namespace UiLib
