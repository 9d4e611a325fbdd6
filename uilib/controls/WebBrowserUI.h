#pragma once
// An ActiveX host preset to the system web browser control. It opens a home
// page at creation, forwards the browser's events and document-host hooks to
// an optional handler, keeps script errors from raising dialogs, and gives
// the browser its keyboard accelerators.
#include "ActiveXUI.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <servprov.h>

namespace UiLib {

// Receives the browser's events and document-host hooks. Every operation
// answers as the control does without a handler, so a handler overrides only
// what it cares about. Pointers that the browser did not supply are null.
class CWebBrowserEventHandler {
public:
    virtual ~CWebBrowserEventHandler() = default;

    virtual void BeforeNavigate2(IDispatch* /*browser*/, VARIANT* /*url*/, VARIANT* /*flags*/, VARIANT* /*targetFrame*/,
                                 VARIANT* /*postData*/, VARIANT* /*headers*/, VARIANT_BOOL* /*cancel*/)
    {
    }
    virtual void NavigateComplete2(IDispatch* /*browser*/, VARIANT* /*url*/) {}
    virtual void NavigateError(IDispatch* /*browser*/, VARIANT* /*url*/, VARIANT* /*frame*/, VARIANT* /*statusCode*/,
                               VARIANT_BOOL* /*cancel*/)
    {
    }
    virtual void NewWindow3(IDispatch** /*browser*/, VARIANT_BOOL* /*cancel*/, DWORD /*flags*/, BSTR /*urlContext*/,
                            BSTR /*url*/)
    {
    }
    virtual void CommandStateChange(long /*command*/, bool /*enable*/) {}

    virtual HRESULT ShowContextMenu(DWORD /*id*/, POINT* /*pt*/, IUnknown* /*target*/, IDispatch* /*object*/)
    {
        return S_FALSE;
    }
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO* /*info*/) { return E_NOTIMPL; }
    virtual HRESULT ShowUI(DWORD /*id*/, IOleInPlaceActiveObject* /*active*/, IOleCommandTarget* /*target*/,
                           IOleInPlaceFrame* /*frame*/, IOleInPlaceUIWindow* /*document*/)
    {
        return S_OK;
    }
    virtual HRESULT HideUI() { return S_OK; }
    virtual HRESULT UpdateUI() { return S_OK; }
    virtual HRESULT EnableModeless(BOOL /*enable*/) { return E_NOTIMPL; }
    virtual HRESULT OnDocWindowActivate(BOOL /*activate*/) { return E_NOTIMPL; }
    virtual HRESULT OnFrameWindowActivate(BOOL /*activate*/) { return E_NOTIMPL; }
    virtual HRESULT ResizeBorder(LPCRECT /*border*/, IOleInPlaceUIWindow* /*window*/, BOOL /*frameWindow*/)
    {
        return E_NOTIMPL;
    }
    virtual HRESULT TranslateAccelerator(LPMSG /*msg*/, const GUID* /*group*/, DWORD /*command*/) { return S_FALSE; }
    virtual HRESULT GetOptionKeyPath(LPOLESTR* /*key*/, DWORD /*reserved*/) { return E_NOTIMPL; }
    virtual HRESULT GetDropTarget(IDropTarget* /*target*/, IDropTarget** /*replacement*/) { return S_FALSE; }
    virtual HRESULT GetExternal(IDispatch** external)
    {
        if (external != nullptr)
            *external = nullptr;
        return E_NOTIMPL;
    }
    virtual HRESULT TranslateUrl(DWORD /*translate*/, LPWSTR /*url*/, LPWSTR* translated)
    {
        if (translated != nullptr)
            *translated = nullptr;
        return E_NOTIMPL;
    }
    virtual HRESULT FilterDataObject(IDataObject* /*data*/, IDataObject** replacement)
    {
        if (replacement != nullptr)
            *replacement = nullptr;
        return S_FALSE;
    }
};

class CWebBrowserUI : public CActiveXUI,
                      public IDocHostUIHandler,
                      public IServiceProvider,
                      public IOleCommandTarget,
                      public IDispatch,
                      public ITranslateAccelerator {
public:
    CWebBrowserUI();
    ~CWebBrowserUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void ReleaseControl() override;
    bool CreateControl() override;
    // Hands one browser event, with its arguments in their declared order
    // (null past the event's own), to the handler's matching operation.
    virtual HRESULT FireBrowserEvent(DISPID event, VARIANT* arg1, VARIANT* arg2, VARIANT* arg3, VARIANT* arg4,
                                     VARIANT* arg5, VARIANT* arg6, VARIANT* arg7);

    void SetHomePage(const wchar_t* url);
    const CUiString& GetHomePage() const { return homePage_; }
    void SetAutoNavigate(bool autoNavigate) { autoNavigate_ = autoNavigate; }
    bool IsAutoNavigate() const { return autoNavigate_; }
    void SetEventHandler(CWebBrowserEventHandler* handler) { handler_ = handler; }
    void Navigate2(const wchar_t* url);
    IWebBrowser2* GetWebBrowser2() const { return webBrowser_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: the browser's events.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* object) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target, IOleInPlaceFrame* frame,
                        IOleInPlaceUIWindow* document) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID* group, DWORD command) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    STDMETHODIMP GetDropTarget(IDropTarget* target, IDropTarget** replacement) override;
    STDMETHODIMP GetExternal(IDispatch** external) override;
    STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated) override;
    STDMETHODIMP FilterDataObject(IDataObject* data, IDataObject** replacement) override;

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

    // IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
    STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in, VARIANT* out) override;

    // ITranslateAccelerator
    LRESULT TranslateAccel(MSG* msg) override;

protected:
    void AdviseEvents();
    void UnadviseEvents();
    void HookDocument();

    IWebBrowser2* webBrowser_;
    LONG refCount_;
    DWORD eventCookie_;
    CUiString homePage_;
    bool autoNavigate_;
    CWebBrowserEventHandler* handler_;
};

}  // namespace UiLib
