#include "ActiveXUI.h"

#include "ActiveXCtrl.h"
#include "ActiveXWnd.h"
#include "ScopedHandle.h"
#include "UiGdi.h"

#include <ocidl.h>

namespace UiLib {

namespace {

// Longest CLSID or ProgID text read from markup.
const int kMaxClsidText = 99;
// The mouse messages a windowless object may be given (move to X button double-click).
const UINT kFirstMouseMessage = 0x200;
const UINT kLastMouseMessage = 0x20D;

typedef HRESULT(STDAPICALLTYPE* DllGetClassObjectProc)(REFCLSID, REFIID, void**);

template <typename T>
void ReleaseInto(T*& pointer)
{
    if (pointer != nullptr) {
        pointer->Release();
        pointer = nullptr;
    }
}

SIZEL PixelsToHimetric(int cx, int cy)
{
    ScopedWindowDc screen(nullptr);
    const int dpiX = GetDeviceCaps(screen.get(), LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
    screen.reset();
    SIZEL size = {MulDiv(2540, cx, dpiX), MulDiv(2540, cy, dpiY)};
    return size;
}

bool IsMouseMessage(UINT message)
{
    return message >= kFirstMouseMessage && message <= kLastMouseMessage;
}

}  // namespace

CActiveXUI::CActiveXUI()
    : created_(false), delayCreate_(true), object_(nullptr), site_(nullptr), hostWindow_(nullptr), clsid_(GUID_NULL)
{
}

CActiveXUI::~CActiveXUI()
{
    CActiveXUI::ReleaseControl();
}

const wchar_t* CActiveXUI::GetTypeName() const
{
    return L"ActiveXUI";
}

void* CActiveXUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ActiveX") == 0)
        return static_cast<CActiveXUI*>(this);
    return CControlUI::CastByName(name);
}

bool CActiveXUI::SetClsid(const wchar_t* text)
{
    if (text == nullptr)
        return false;
    wchar_t copy[kMaxClsidText + 1] = {};
    wcsncpy(copy, text, kMaxClsidText);
    CLSID clsid = GUID_NULL;
    const HRESULT hr = copy[0] == L'{' ? CLSIDFromString(copy, &clsid) : CLSIDFromProgID(copy, &clsid);
    if (FAILED(hr))
        clsid = GUID_NULL;
    return SetClsid(clsid);
}

bool CActiveXUI::SetClsid(const CLSID& clsid)
{
    if (clsid == GUID_NULL)
        return false;
    created_ = false;
    clsid_ = clsid;
    if (!delayCreate_)
        CreateControl();
    return true;
}

void CActiveXUI::SetModuleName(const wchar_t* name)
{
    moduleName_ = name != nullptr ? name : L"";
}

void CActiveXUI::SetDelayCreate(bool delay)
{
    if (delayCreate_ == delay)
        return;
    delayCreate_ = delay;
    if (!delay && !created_ && clsid_ != GUID_NULL)
        CreateControl();
}

HRESULT CActiveXUI::GetControl(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (object_ == nullptr)
        return E_PENDING;
    return object_->QueryInterface(iid, out);
}

void CActiveXUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"clsid") == 0)
        SetClsid(value);
    else if (wcscmp(name, L"modulename") == 0)
        SetModuleName(value);
    else if (wcscmp(name, L"delaycreate") == 0)
        SetDelayCreate(wcscmp(value, L"true") == 0);
    else
        CControlUI::SetAttribute(name, value);
}

void CActiveXUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    if (!created_)
        CreateControl();
    if (object_ == nullptr || site_ == nullptr)
        return;
    SIZEL extent = PixelsToHimetric(itemRect_.right - itemRect_.left, itemRect_.bottom - itemRect_.top);
    object_->SetExtent(DVASPECT_CONTENT, &extent);
    if (site_->GetInPlaceObject() != nullptr) {
        const RECT objectRect = site_->ObjectRect();
        site_->GetInPlaceObject()->SetObjectRects(&objectRect, &objectRect);
    }
    if (!site_->IsWindowless() && hostWindow_ != nullptr) {
        MoveWindow(hostWindow_, itemRect_.left, itemRect_.top, itemRect_.right - itemRect_.left,
                   itemRect_.bottom - itemRect_.top, TRUE);
    }
}

void CActiveXUI::ShowHostWindow()
{
    if (site_ != nullptr && !site_->IsWindowless() && hostWindow_ != nullptr)
        ShowWindow(hostWindow_, IsShown() ? SW_SHOW : SW_HIDE);
}

void CActiveXUI::SetShown(bool visible)
{
    CControlUI::SetShown(visible);
    ShowHostWindow();
}

void CActiveXUI::SetShownByParent(bool visible)
{
    CControlUI::SetShownByParent(visible);
    ShowHostWindow();
}

void CActiveXUI::Paint(HDC hdc, const RECT& dirty)
{
    RECT paint;
    if (!IntersectRect(&paint, &dirty, &itemRect_))
        return;
    if (site_ == nullptr || !site_->IsWindowless() || site_->GetViewObject() == nullptr)
        return;
    RECTL bounds = {itemRect_.left, itemRect_.top, itemRect_.right, itemRect_.bottom};
    site_->GetViewObject()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, hdc, &bounds, &bounds, nullptr, 0);
}

LRESULT CActiveXUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    // An object that went in place windowless once and later in a window of
    // its own holds a windowed in-place part, which takes no window messages.
    if (site_ == nullptr || !site_->IsInPlaceActive() || !site_->IsWindowless() || site_->GetInPlaceObject() == nullptr)
        return 0;
    const bool mouse = IsMouseMessage(message);
    if (mouse && !IsMouseEnabled())
        return 0;
    bool take = false;
    bool wantsHandled = true;
    if (mouse || message == WM_SETCURSOR) {
        POINT pt = {};
        GetCursorPos(&pt);
        ScreenToClient(hostWindow_, &pt);
        if (mouse && message != WM_MOUSEWHEEL) {
            pt.x = static_cast<short>(LOWORD(lParam));
            pt.y = static_cast<short>(HIWORD(lParam));
        }
        if (site_->IsCaptured()) {
            take = true;
        } else {
            IViewObjectEx* view = nullptr;
            if (site_->GetViewObject() != nullptr &&
                SUCCEEDED(site_->GetViewObject()->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)))) {
                DWORD hit = HITRESULT_OUTSIDE;
                view->QueryHitPoint(DVASPECT_CONTENT, &itemRect_, pt, 0, &hit);
                take = hit == HITRESULT_HIT;
                view->Release();
            }
        }
        wantsHandled = message != WM_SETCURSOR;
    } else if (message == WM_HELP || message == WM_CONTEXTMENU) {
        take = true;
        wantsHandled = false;
    } else if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        take = HasFocus();
    }
    if (!take)
        return 0;
    LRESULT result = 0;
    const HRESULT hr = site_->GetInPlaceObject()->OnWindowMessage(message, wParam, lParam, &result);
    if (hr == S_OK)
        handled = wantsHandled;
    return result;
}

IOleObject* CActiveXUI::CreateObject()
{
    IOleObject* object = nullptr;
    if (clsid_ == GUID_NULL)
        return nullptr;
    if (!moduleName_.IsEmpty()) {
        ScopedModule module(LoadLibraryW(moduleName_.GetData()));
        if (module) {
            const DllGetClassObjectProc getClassObject = reinterpret_cast<DllGetClassObjectProc>(
                reinterpret_cast<void*>(GetProcAddress(module.get(), "DllGetClassObject")));
            IClassFactory* factory = nullptr;
            if (getClassObject != nullptr &&
                SUCCEEDED(getClassObject(clsid_, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
                factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&object));
                factory->Release();
            }
        }
        // The module stays loaded for the rest of the process: objects and
        // class factories of it may outlive this control.
        module.release();
    }
    if (object == nullptr) {
        IOleControl* control = nullptr;
        const DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
        if (SUCCEEDED(
                CoCreateInstance(clsid_, nullptr, context, IID_IOleControl, reinterpret_cast<void**>(&control)))) {
            control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object));
            control->Release();
        }
    }
    return object;
}

bool CActiveXUI::ActivateObject()
{
    DWORD status = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &status);
    bool clientSiteSet = false;
    if ((status & OLEMISC_SETCLIENTSITEFIRST) != 0)
        clientSiteSet = SUCCEEDED(object_->SetClientSite(site_));
    // An object that keeps no stream state needs no initialising.
    HRESULT hr = S_OK;
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        hr = persist->InitNew();
        persist->Release();
    }
    if (FAILED(hr))
        return false;
    if (!clientSiteSet)
        object_->SetClientSite(site_);
    const IID* viewIds[] = {&IID_IViewObjectEx, &IID_IViewObject2, &IID_IViewObject};
    for (const IID* iid : viewIds) {
        IViewObject* view = nullptr;
        if (SUCCEEDED(object_->QueryInterface(*iid, reinterpret_cast<void**>(&view)))) {
            site_->SetViewObject(view);
            view->Release();
            break;
        }
    }
    hr = object_->SetHostNames(L"UIActiveX", nullptr);
    manager_->SendNotify(this, L"showactivex", 0, 0, false);
    // The notification may have released or re-created the object.
    if (object_ == nullptr || site_ == nullptr)
        return false;
    if ((status & OLEMISC_INVISIBLEATRUNTIME) == 0) {
        RECT rc = itemRect_;
        hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, manager_->GetWindow(), &rc);
    }
    IObjectWithSite* withSite = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
        withSite->SetSite(static_cast<IOleClientSite*>(site_));
        withSite->Release();
    }
    return SUCCEEDED(hr);
}

bool CActiveXUI::CreateControl()
{
    ReleaseControl();
    // Without a window there is nothing to activate the object in; the
    // first SetBounds after the control joins a window creates it.
    if (manager_ == nullptr || manager_->GetWindow() == nullptr)
        return false;
    created_ = true;
    object_ = CreateObject();
    if (object_ == nullptr)
        return false;
    site_ = new CActiveXCtrl(this);
    return ActivateObject();
}

void CActiveXUI::ReleaseControl()
{
    hostWindow_ = nullptr;
    if (object_ != nullptr) {
        IObjectWithSite* withSite = nullptr;
        if (SUCCEEDED(object_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
            withSite->SetSite(nullptr);
            withSite->Release();
        }
        object_->Close(OLECLOSE_NOSAVE);
        // An object that did not leave its place on Close still holds the
        // in-place parts, the running lock and the window; they go now.
        if (site_ != nullptr && site_->IsInPlaceActive())
            site_->OnInPlaceDeactivateEx(TRUE);
        object_->SetClientSite(nullptr);
        ReleaseInto(object_);
    }
    if (site_ != nullptr) {
        site_->Detach();
        ReleaseInto(site_);
    }
    if (manager_ != nullptr)
        manager_->RemoveMessageFilter(this);
}

}  // namespace UiLib
