#include "WebBrowserUI.h"

#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

namespace UiLib {

namespace {

// The system web browser control.
const CLSID kBrowserClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID kIidWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const IID kIidBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const IID kIidCustomDoc = {0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
// The document host's command group and its "show script error" command.
const GUID kDocHostCommandGroup = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
const DWORD kShowScriptError = 40;
const IID kIidHtmlDocument2 = {0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
// What the error event of the document's window tells about a script error.
const wchar_t* const kScriptErrorFields[] = {L"errorLine", L"errorCharacter", L"errorCode", L"errorMessage",
                                             L"errorUrl"};
// BeforeNavigate2 has the most arguments of the events handled.
const UINT kMaxEventArgs = 7;

IDispatch* DispatchOf(VARIANT* arg)
{
    return arg != nullptr && arg->vt == VT_DISPATCH ? arg->pdispVal : nullptr;
}

// The browser passes most values as references to variants.
VARIANT* ValueOf(VARIANT* arg)
{
    if (arg != nullptr && arg->vt == (VT_VARIANT | VT_BYREF))
        return arg->pvarVal;
    return arg;
}

VARIANT_BOOL* BoolRefOf(VARIANT* arg)
{
    return arg != nullptr && arg->vt == (VT_BOOL | VT_BYREF) ? arg->pboolVal : nullptr;
}

BSTR BstrOf(VARIANT* arg)
{
    return arg != nullptr && arg->vt == VT_BSTR ? arg->bstrVal : nullptr;
}

long LongOf(VARIANT* arg)
{
    VARIANT value;
    VariantInit(&value);
    if (arg == nullptr || FAILED(VariantChangeType(&value, arg, 0, VT_I4)))
        return 0;
    return value.lVal;
}

UINT ArgCountOf(DISPID id)
{
    switch (id) {
    case DISPID_COMMANDSTATECHANGE:
    case DISPID_NAVIGATECOMPLETE2:
        return 2;
    case DISPID_NAVIGATEERROR:
    case DISPID_NEWWINDOW3:
        return 5;
    case DISPID_BEFORENAVIGATE2:
        return 7;
    default:
        return 0;
    }
}

// The document a script error command is about: the one it carries, or
// else the browser's current one. Null when neither is there.
IHTMLDocument2* ScriptErrorDocument(const VARIANT* in, IWebBrowser2* browser)
{
    IUnknown* source = nullptr;
    if (in != nullptr && (in->vt == VT_UNKNOWN || in->vt == VT_DISPATCH))
        source = in->punkVal;
    IDispatch* current = nullptr;
    if (source == nullptr && browser != nullptr && SUCCEEDED(browser->get_Document(&current)))
        source = current;
    IHTMLDocument2* document = nullptr;
    if (source != nullptr && FAILED(source->QueryInterface(kIidHtmlDocument2, reinterpret_cast<void**>(&document))))
        document = nullptr;
    if (current != nullptr)
        current->Release();
    return document;
}

// Reads the fields of the error event of the document's window; no value is
// kept, since the error is not shown.
void ReadScriptError(IHTMLDocument2* document)
{
    IHTMLWindow2* window = nullptr;
    if (FAILED(document->get_parentWindow(&window)) || window == nullptr)
        return;
    IHTMLEventObj* event = nullptr;
    if (SUCCEEDED(window->get_event(&event)) && event != nullptr) {
        for (size_t i = 0; i < sizeof(kScriptErrorFields) / sizeof(kScriptErrorFields[0]); ++i) {
            LPOLESTR name = const_cast<LPOLESTR>(kScriptErrorFields[i]);
            DISPID id = DISPID_UNKNOWN;
            if (FAILED(event->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id)))
                continue;
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            VARIANT value;
            VariantInit(&value);
            event->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
            VariantClear(&value);
        }
        event->Release();
    }
    window->Release();
}

IConnectionPoint* FindBrowserEvents(IWebBrowser2* browser)
{
    IConnectionPointContainer* container = nullptr;
    if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))))
        return nullptr;
    IConnectionPoint* point = nullptr;
    container->FindConnectionPoint(kIidBrowserEvents2, &point);
    container->Release();
    return point;
}

}  // namespace

CWebBrowserUI::CWebBrowserUI()
    : webBrowser_(nullptr), refCount_(0), eventCookie_(0), autoNavigate_(false), handler_(nullptr)
{
    clsid_ = kBrowserClsid;
}

CWebBrowserUI::~CWebBrowserUI()
{
    CWebBrowserUI::ReleaseControl();
}

const wchar_t* CWebBrowserUI::GetTypeName() const
{
    return L"WebBrowserUI";
}

void* CWebBrowserUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"WebBrowser") == 0)
        return static_cast<CWebBrowserUI*>(this);
    return CActiveXUI::CastByName(name);
}

void CWebBrowserUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"homepage") == 0)
        SetHomePage(value);
    else if (wcscmp(name, L"autonavi") == 0)
        SetAutoNavigate(wcscmp(value, L"true") == 0);
    else
        CActiveXUI::SetAttribute(name, value);
}

void CWebBrowserUI::SetHomePage(const wchar_t* url)
{
    homePage_ = url != nullptr ? url : L"";
}

bool CWebBrowserUI::CreateControl()
{
    if (!CActiveXUI::CreateControl())
        return false;
    manager_->AddTranslateAccelerator(this);
    GetControl(kIidWebBrowser2, reinterpret_cast<void**>(&webBrowser_));
    if (webBrowser_ == nullptr)
        return false;
    // Advised before the first navigation: the browser raises the home
    // page's BeforeNavigate2 and CommandStateChange inside Navigate2 itself,
    // so a sink advised afterwards would never hear them.
    AdviseEvents();
    if (autoNavigate_ && !homePage_.IsEmpty())
        Navigate2(homePage_.GetData());
    return true;
}

void CWebBrowserUI::ReleaseControl()
{
    created_ = false;
    if (manager_ != nullptr)
        manager_->RemoveTranslateAccelerator(this);
    UnadviseEvents();
    if (webBrowser_ != nullptr) {
        webBrowser_->Release();
        webBrowser_ = nullptr;
    }
    CActiveXUI::ReleaseControl();
}

void CWebBrowserUI::AdviseEvents()
{
    IConnectionPoint* point = FindBrowserEvents(webBrowser_);
    if (point == nullptr)
        return;
    if (FAILED(point->Advise(static_cast<IDispatch*>(this), &eventCookie_)))
        eventCookie_ = 0;
    point->Release();
}

void CWebBrowserUI::UnadviseEvents()
{
    if (webBrowser_ == nullptr || eventCookie_ == 0)
        return;
    IConnectionPoint* point = FindBrowserEvents(webBrowser_);
    if (point != nullptr) {
        point->Unadvise(eventCookie_);
        point->Release();
    }
    eventCookie_ = 0;
}

void CWebBrowserUI::Navigate2(const wchar_t* url)
{
    if (webBrowser_ == nullptr || url == nullptr)
        return;
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_BSTR;
    target.bstrVal = SysAllocString(url);
    if (target.bstrVal == nullptr)
        return;
    VARIANT empty;
    VariantInit(&empty);
    webBrowser_->Navigate2(&target, &empty, &empty, &empty, &empty);
    VariantClear(&target);
}

void CWebBrowserUI::HookDocument()
{
    if (webBrowser_ == nullptr)
        return;
    IDispatch* document = nullptr;
    if (FAILED(webBrowser_->get_Document(&document)) || document == nullptr)
        return;
    ICustomDoc* custom = nullptr;
    if (SUCCEEDED(document->QueryInterface(kIidCustomDoc, reinterpret_cast<void**>(&custom)))) {
        custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this));
        custom->Release();
    }
    document->Release();
}

HRESULT CWebBrowserUI::FireBrowserEvent(DISPID event, VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* arg4,
                                        VARIANT* arg5, VARIANT* arg6, VARIANT* arg7)
{
    if (handler_ == nullptr)
        return S_OK;
    switch (event) {
    case DISPID_COMMANDSTATECHANGE:
        handler_->CommandStateChange(LongOf(arg1), LongOf(arg2) != 0);
        break;
    case DISPID_BEFORENAVIGATE2:
        handler_->BeforeNavigate2(DispatchOf(arg1), ValueOf(arg2), ValueOf(arg3), ValueOf(arg4), ValueOf(arg5),
                                  ValueOf(arg6), BoolRefOf(arg7));
        break;
    case DISPID_NAVIGATECOMPLETE2:
        handler_->NavigateComplete2(DispatchOf(arg1), ValueOf(arg2));
        break;
    case DISPID_NAVIGATEERROR:
        handler_->NavigateError(DispatchOf(arg1), ValueOf(arg2), ValueOf(arg3), ValueOf(arg4), BoolRefOf(arg5));
        break;
    case DISPID_NEWWINDOW3: {
        IDispatch** browser = arg1 != nullptr && arg1->vt == (VT_DISPATCH | VT_BYREF) ? arg1->ppdispVal : nullptr;
        handler_->NewWindow3(browser, BoolRefOf(arg2), static_cast<DWORD>(LongOf(arg3)), BstrOf(arg4), BstrOf(arg5));
        break;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

// --- IUnknown ---

STDMETHODIMP CWebBrowserUI::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IServiceProvider)
        *out = static_cast<IServiceProvider*>(this);
    else if (iid == IID_IOleCommandTarget)
        *out = static_cast<IOleCommandTarget*>(this);
    else if (iid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    if (*out == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// The control's life is its owner's; the count only answers COM.
STDMETHODIMP_(ULONG) CWebBrowserUI::AddRef()
{
    return InterlockedIncrement(&refCount_);
}

STDMETHODIMP_(ULONG) CWebBrowserUI::Release()
{
    return InterlockedDecrement(&refCount_);
}

// --- IDispatch ---

STDMETHODIMP CWebBrowserUI::GetTypeInfoCount(UINT* count)
{
    if (count != nullptr)
        *count = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    if (iid != IID_NULL)
        return E_INVALIDARG;
    if (id == DISPID_STATUSTEXTCHANGE)
        return S_OK;
    const UINT needed = ArgCountOf(id);
    if (needed == 0)
        return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr || params->cArgs < needed || params->rgvarg == nullptr)
        return DISP_E_BADPARAMCOUNT;
    // The arguments arrive last first.
    VARIANT* args[kMaxEventArgs] = {};
    for (UINT i = 0; i < needed; ++i)
        args[i] = &params->rgvarg[params->cArgs - 1 - i];
    if (id == DISPID_NAVIGATECOMPLETE2)
        HookDocument();
    return FireBrowserEvent(id, args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
}

// --- IDocHostUIHandler ---

STDMETHODIMP CWebBrowserUI::ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* object)
{
    return handler_ != nullptr ? handler_->ShowContextMenu(id, pt, target, object) : S_FALSE;
}

STDMETHODIMP CWebBrowserUI::GetHostInfo(DOCHOSTUIINFO* info)
{
    return handler_ != nullptr ? handler_->GetHostInfo(info) : E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                                   IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document)
{
    return handler_ != nullptr ? handler_->ShowUI(id, active, target, frame, document) : S_OK;
}

STDMETHODIMP CWebBrowserUI::HideUI()
{
    return handler_ != nullptr ? handler_->HideUI() : S_OK;
}

STDMETHODIMP CWebBrowserUI::UpdateUI()
{
    return handler_ != nullptr ? handler_->UpdateUI() : S_OK;
}

STDMETHODIMP CWebBrowserUI::EnableModeless(BOOL enable)
{
    return handler_ != nullptr ? handler_->EnableModeless(enable) : E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::OnDocWindowActivate(BOOL activate)
{
    return handler_ != nullptr ? handler_->OnDocWindowActivate(activate) : E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::OnFrameWindowActivate(BOOL activate)
{
    return handler_ != nullptr ? handler_->OnFrameWindowActivate(activate) : E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow)
{
    return handler_ != nullptr ? handler_->ResizeBorder(border, window, frameWindow) : E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD command)
{
    return handler_ != nullptr ? handler_->TranslateAccelerator(msg, group, command) : S_FALSE;
}

STDMETHODIMP CWebBrowserUI::GetOptionKeyPath(LPOLESTR* key, DWORD reserved)
{
    return handler_ != nullptr ? handler_->GetOptionKeyPath(key, reserved) : E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::GetDropTarget(IDropTarget* target, IDropTarget** replacement)
{
    return handler_ != nullptr ? handler_->GetDropTarget(target, replacement) : S_FALSE;
}

STDMETHODIMP CWebBrowserUI::GetExternal(IDispatch** external)
{
    if (handler_ != nullptr)
        return handler_->GetExternal(external);
    if (external != nullptr)
        *external = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated)
{
    if (handler_ != nullptr)
        return handler_->TranslateUrl(translate, url, translated);
    if (translated != nullptr)
        *translated = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CWebBrowserUI::FilterDataObject(IDataObject* data, IDataObject** replacement)
{
    if (handler_ != nullptr)
        return handler_->FilterDataObject(data, replacement);
    if (replacement != nullptr)
        *replacement = nullptr;
    return S_FALSE;
}

// --- IServiceProvider ---

STDMETHODIMP CWebBrowserUI::QueryService(REFGUID, REFIID, void** out)
{
    if (out != nullptr)
        *out = nullptr;
    return E_NOINTERFACE;
}

// --- IOleCommandTarget ---

STDMETHODIMP CWebBrowserUI::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*)
{
    return OLECMDERR_E_NOTSUPPORTED;
}

STDMETHODIMP CWebBrowserUI::Exec(const GUID* group, DWORD command, DWORD, VARIANT* in, VARIANT* out)
{
    if (group == nullptr || *group != kDocHostCommandGroup)
        return OLECMDERR_E_UNKNOWNGROUP;
    if (command != kShowScriptError)
        return OLECMDERR_E_NOTSUPPORTED;
    if (IHTMLDocument2* document = ScriptErrorDocument(in, webBrowser_)) {
        ReadScriptError(document);
        document->Release();
    }
    // True tells the browser to go on running the page's scripts without
    // showing its error dialog.
    if (out != nullptr) {
        VariantClear(out);
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
    }
    return S_OK;
}

// --- ITranslateAccelerator ---

LRESULT CWebBrowserUI::TranslateAccel(MSG* msg)
{
    if (msg == nullptr || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return S_FALSE;
    if (webBrowser_ == nullptr)
        return E_NOTIMPL;
    bool inside = false;
    for (HWND w = ::GetFocus(); w != nullptr && hostWindow_ != nullptr && !inside; w = ::GetParent(w))
        inside = w == hostWindow_;
    if (!inside)
        return S_FALSE;
    IOleInPlaceActiveObject* active = nullptr;
    if (FAILED(webBrowser_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))))
        return S_FALSE;
    const HRESULT hr = active->TranslateAccelerator(msg);
    active->Release();
    return hr;
}

}  // namespace UiLib
