#include "ActiveXCtrl.h"

#include "ActiveXEnum.h"
#include "ActiveXFrameWnd.h"
#include "ActiveXUI.h"
#include "ActiveXWnd.h"
#include "UiGdi.h"

namespace UiLib {

namespace {

template <typename T>
void ReleaseInto(T*& pointer)
{
    if (pointer != nullptr) {
        pointer->Release();
        pointer = nullptr;
    }
}

}  // namespace

CActiveXCtrl::CActiveXCtrl(CActiveXUI* owner)
    : refCount_(1),
      owner_(owner),
      hostWnd_(nullptr),
      site_(nullptr),
      viewObject_(nullptr),
      inPlaceObject_(nullptr),
      inPlaceActive_(false),
      windowless_(false),
      uiActive_(false),
      focused_(false),
      captured_(false),
      locked_(false),
      runningLocked_(false),
      accelerators_(nullptr)
{
}

CActiveXCtrl::~CActiveXCtrl()
{
    Detach();
    if (accelerators_ != nullptr)
        DestroyAcceleratorTable(accelerators_);
}

void CActiveXCtrl::Detach()
{
    owner_ = nullptr;
    // An object that still holds this site would otherwise keep itself alive
    // through the parts of it held here.
    ReleaseInto(site_);
    ReleaseInto(viewObject_);
    ReleaseInto(inPlaceObject_);
    if (hostWnd_ != nullptr) {
        CActiveXWnd* wnd = hostWnd_;
        hostWnd_ = nullptr;
        wnd->DetachOwner();
        if (IsWindow(wnd->GetHwnd()))
            DestroyWindow(wnd->GetHwnd());
        else
            delete wnd;
    }
}

void CActiveXCtrl::OnHostWindowGone()
{
    hostWnd_ = nullptr;
    if (owner_ != nullptr && !windowless_)
        owner_->hostWindow_ = nullptr;
}

void CActiveXCtrl::SetViewObject(IViewObject* view)
{
    if (view != nullptr)
        view->AddRef();
    ReleaseInto(viewObject_);
    viewObject_ = view;
}

RECT CActiveXCtrl::ObjectRect() const
{
    RECT rc = {};
    if (owner_ == nullptr)
        return rc;
    rc = owner_->GetBounds();
    if (!windowless_)
        OffsetRect(&rc, -rc.left, -rc.top);
    return rc;
}

HWND CActiveXCtrl::CreateHostWindow()
{
    if (hostWnd_ != nullptr)
        return hostWnd_->GetHwnd();
    CUiManager* manager = owner_ != nullptr ? owner_->GetOwnerManager() : nullptr;
    if (manager == nullptr || manager->GetWindow() == nullptr)
        return nullptr;
    hostWnd_ = new CActiveXWnd(this);
    const HWND window = hostWnd_->Init(manager->GetWindow());
    if (window == nullptr) {
        // A window that failed to be made has already deleted its object.
        hostWnd_ = nullptr;
        return nullptr;
    }
    owner_->hostWindow_ = window;
    return window;
}

// --- IUnknown ---

STDMETHODIMP CActiveXCtrl::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite || iid == IID_IOleInPlaceSiteEx ||
             iid == IID_IOleInPlaceSiteWindowless)
        *out = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (iid == IID_IOleControlSite)
        *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IObjectWithSite)
        *out = static_cast<IObjectWithSite*>(this);
    else if (iid == IID_IParseDisplayName || iid == IID_IOleContainer)
        *out = static_cast<IOleContainer*>(this);
    if (*out == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CActiveXCtrl::AddRef()
{
    return InterlockedIncrement(&refCount_);
}

STDMETHODIMP_(ULONG) CActiveXCtrl::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

// --- IObjectWithSite ---

STDMETHODIMP CActiveXCtrl::SetSite(IUnknown* site)
{
    if (site != nullptr)
        site->AddRef();
    ReleaseInto(site_);
    site_ = site;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetSite(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (site_ == nullptr)
        return E_FAIL;
    return site_->QueryInterface(iid, out);
}

// --- IOleClientSite ---

STDMETHODIMP CActiveXCtrl::SaveObject()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker != nullptr)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::GetContainer(IOleContainer** container)
{
    if (container == nullptr)
        return E_POINTER;
    *container = nullptr;
    if (site_ != nullptr && SUCCEEDED(site_->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container))))
        return S_OK;
    return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
}

STDMETHODIMP CActiveXCtrl::ShowObject()
{
    if (owner_ == nullptr || viewObject_ == nullptr)
        return E_UNEXPECTED;
    const ScopedWindowDc dc(owner_->hostWindow_);
    if (!dc)
        return E_FAIL;
    RECTL bounds = {};
    const RECT rc = ObjectRect();
    bounds.left = rc.left;
    bounds.top = rc.top;
    bounds.right = rc.right;
    bounds.bottom = rc.bottom;
    viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, &bounds, nullptr, 0);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnShowWindow(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

// --- IOleInPlaceSiteWindowless ---

STDMETHODIMP CActiveXCtrl::CanWindowlessActivate()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetCapture()
{
    return captured_ ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXCtrl::SetCapture(BOOL capture)
{
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    captured_ = capture != FALSE;
    if (captured_)
        ::SetCapture(owner_->hostWindow_);
    else
        ::ReleaseCapture();
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetFocus()
{
    return focused_ ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXCtrl::SetFocus(BOOL focus)
{
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    if (focus)
        owner_->TakeFocus();
    focused_ = focus != FALSE;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetDC(LPCRECT, DWORD flags, HDC* dc)
{
    if (dc == nullptr)
        return E_POINTER;
    *dc = nullptr;
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    *dc = ::GetDC(owner_->hostWindow_);
    if (*dc == nullptr)
        return E_FAIL;
    if ((flags & OLEDC_PAINTBKGND) != 0) {
        const RECT rc = ObjectRect();
        ::FillRect(*dc, &rc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ReleaseDC(HDC dc)
{
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    // The context was lent to the object by GetDC and comes back here: its
    // lifetime spans two calls of the object's choosing, so no owner holds it.
    ::ReleaseDC(owner_->hostWindow_, dc);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::InvalidateRect(LPCRECT rect, BOOL erase)
{
    if (owner_ == nullptr || owner_->hostWindow_ == nullptr)
        return E_FAIL;
    return ::InvalidateRect(owner_->hostWindow_, rect, erase) ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::InvalidateRgn(HRGN region, BOOL erase)
{
    if (owner_ == nullptr || owner_->hostWindow_ == nullptr)
        return E_FAIL;
    return ::InvalidateRgn(owner_->hostWindow_, region, erase) ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::ScrollRect(INT, INT, LPCRECT, LPCRECT)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::AdjustRect(LPRECT)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (result == nullptr)
        return E_POINTER;
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    *result = ::DefWindowProcW(owner_->hostWindow_, message, wParam, lParam);
    return S_OK;
}

// --- IOleInPlaceSiteEx ---

STDMETHODIMP CActiveXCtrl::OnInPlaceActivateEx(BOOL*, DWORD flags)
{
    if (owner_ == nullptr || owner_->object_ == nullptr || owner_->GetOwnerManager() == nullptr)
        return E_UNEXPECTED;
    if (!runningLocked_)
        runningLocked_ = SUCCEEDED(OleLockRunning(owner_->object_, TRUE, FALSE));
    ReleaseInto(inPlaceObject_);
    HRESULT hr = E_FAIL;
    if ((flags & ACTIVATE_WINDOWLESS) != 0) {
        hr =
            owner_->object_->QueryInterface(IID_IOleInPlaceObjectWindowless, reinterpret_cast<void**>(&inPlaceObject_));
        if (SUCCEEDED(hr)) {
            windowless_ = true;
            owner_->hostWindow_ = owner_->GetOwnerManager()->GetWindow();
            // An object activated again is still filtered once.
            owner_->GetOwnerManager()->RemoveMessageFilter(owner_);
            owner_->GetOwnerManager()->AddMessageFilter(owner_);
        }
    }
    if (FAILED(hr)) {
        windowless_ = false;
        if (CreateHostWindow() == nullptr)
            return E_FAIL;
        // Only the windowed base is used from an object in its own window.
        hr = owner_->object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlaceObject_));
    }
    if (inPlaceObject_ != nullptr) {
        const RECT rc = ObjectRect();
        inPlaceObject_->SetObjectRects(&rc, &rc);
    }
    inPlaceActive_ = SUCCEEDED(hr);
    return hr;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivateEx(BOOL)
{
    inPlaceActive_ = false;
    ReleaseInto(inPlaceObject_);
    if (runningLocked_ && owner_ != nullptr && owner_->object_ != nullptr)
        OleLockRunning(owner_->object_, FALSE, FALSE);
    runningLocked_ = false;
    if (hostWnd_ != nullptr) {
        CActiveXWnd* wnd = hostWnd_;
        hostWnd_ = nullptr;
        if (owner_ != nullptr && !windowless_)
            owner_->hostWindow_ = nullptr;
        wnd->DetachOwner();
        DestroyWindow(wnd->GetHwnd());
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::RequestUIActivate()
{
    return S_OK;
}

// --- IOleInPlaceSite ---

STDMETHODIMP CActiveXCtrl::CanInPlaceActivate()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceActivate()
{
    BOOL noRedraw = FALSE;
    return OnInPlaceActivateEx(&noRedraw, 0);
}

STDMETHODIMP CActiveXCtrl::OnUIActivate()
{
    uiActive_ = true;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                            LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr)
        return E_POINTER;
    *frame = nullptr;
    *document = nullptr;
    if (owner_ == nullptr || owner_->GetOwnerManager() == nullptr)
        return E_UNEXPECTED;
    // An empty table: the host translates no accelerators of its own.
    if (accelerators_ == nullptr) {
        ACCEL empty = {};
        accelerators_ = CreateAcceleratorTableW(&empty, 1);
    }
    *frame = new CActiveXFrameWnd(owner_);
    GetClientRect(owner_->hostWindow_, position);
    GetClientRect(owner_->hostWindow_, clip);
    info->cb = sizeof(OLEINPLACEFRAMEINFO);
    info->fMDIApp = FALSE;
    info->hwndFrame = owner_->GetOwnerManager()->GetWindow();
    info->haccel = accelerators_;
    info->cAccelEntries = 1;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::Scroll(SIZE)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::OnUIDeactivate(BOOL)
{
    uiActive_ = false;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivate()
{
    return OnInPlaceDeactivateEx(TRUE);
}

STDMETHODIMP CActiveXCtrl::DiscardUndoState()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::DeactivateAndUndo()
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveXCtrl::OnPosRectChange(LPCRECT)
{
    return E_NOTIMPL;
}

// --- IOleWindow ---

STDMETHODIMP CActiveXCtrl::GetWindow(HWND* window)
{
    if (window == nullptr)
        return E_POINTER;
    *window = nullptr;
    if (owner_ == nullptr)
        return E_UNEXPECTED;
    if (owner_->hostWindow_ == nullptr && !windowless_)
        CreateHostWindow();
    *window = owner_->hostWindow_;
    return *window != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::ContextSensitiveHelp(BOOL)
{
    return S_OK;
}

// --- IOleControlSite ---

STDMETHODIMP CActiveXCtrl::OnControlInfoChanged()
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::LockInPlaceActive(BOOL)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetExtendedControl(IDispatch** dispatch)
{
    if (dispatch == nullptr)
        return E_POINTER;
    *dispatch = nullptr;
    if (owner_ == nullptr || owner_->object_ == nullptr)
        return E_UNEXPECTED;
    return owner_->object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch));
}

STDMETHODIMP CActiveXCtrl::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

STDMETHODIMP CActiveXCtrl::OnFocus(BOOL gotFocus)
{
    focused_ = gotFocus != FALSE;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ShowPropertyFrame()
{
    return E_NOTIMPL;
}

// --- IOleContainer ---

STDMETHODIMP CActiveXCtrl::EnumObjects(DWORD, IEnumUnknown** enumerator)
{
    if (enumerator == nullptr)
        return E_POINTER;
    *enumerator = nullptr;
    if (owner_ == nullptr || owner_->object_ == nullptr)
        return E_UNEXPECTED;
    *enumerator = new CActiveXEnum(owner_->object_);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::LockContainer(BOOL lock)
{
    locked_ = lock != FALSE;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**)
{
    return E_NOTIMPL;
}

}  // namespace UiLib
