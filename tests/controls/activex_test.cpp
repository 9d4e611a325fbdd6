// The ActiveX host: creation from a CLSID, ProgID or a module's class
// factory, windowless and windowed activation, extent and position, painting,
// the message filter, the site's answers, and release of every reference.
// The hosted object is the test's own, registered for the process.
#include "ActiveXUI.h"
#include "UiManager.h"
#include "native_child_host.h"

#include <gtest/gtest.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

const CLSID kFakeClsid = {0x6f1d2a10, 0x52c3, 0x4b7e, {0x9a, 0x01, 0x3c, 0x44, 0x1e, 0x7a, 0x90, 0x11}};
const CLSID kModuleClsid = {0x6f1d2a11, 0x52c3, 0x4b7e, {0x9a, 0x01, 0x3c, 0x44, 0x1e, 0x7a, 0x90, 0x11}};
const CLSID kMissingClsid = {0x6f1d2a12, 0x52c3, 0x4b7e, {0x9a, 0x01, 0x3c, 0x44, 0x1e, 0x7a, 0x90, 0x11}};
const wchar_t kFakeClsidText[] = L"{6F1D2A10-52C3-4B7E-9A01-3C441E7A9011}";
const wchar_t kFakeProgId[] = L"Vantorin.HostTestControl";

// How the next objects made by the factories behave.
struct FakeOptions {
    bool windowless = true;
    DWORD miscStatus = 0;
    bool deactivateOnClose = true;
    bool persistsToStream = true;
};
FakeOptions g_options;
int g_alive = 0;
int g_created = 0;

// What one object saw from its host.
struct FakeLog {
    SIZEL extent = {};
    RECT position = {};
    int objectRects = 0;
    RECTL drawn = {};
    int draws = 0;
    std::vector<UINT> messages;
    std::wstring hostName;
    bool clientSiteBeforeInit = false;
    int initNew = 0;
    bool closed = false;
    bool siteCleared = false;
    bool clientSiteCleared = false;
    int runningLocks = 0;
    HWND frameWindow = nullptr;
    HWND ownWindow = nullptr;
    int strayCalls = 0;
};

// A windowed in-place part of its own, as objects that can do both often
// have. Its first method past the interface's end records any call to it.
class PlainInPlacePart : public IOleInPlaceObject {
public:
    PlainInPlacePart(IUnknown* outer, FakeLog* log) : outer_(outer), log_(log) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }
    STDMETHODIMP GetWindow(HWND* window) override
    {
        *window = nullptr;
        return E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Stray(UINT, WPARAM, LPARAM, LRESULT* result)
    {
        ++log_->strayCalls;
        *result = 0;
        return S_OK;
    }

private:
    IUnknown* outer_;
    FakeLog* log_;
};

class FakeControl final : public IOleObject,
                          public IOleInPlaceObjectWindowless,
                          public IViewObjectEx,
                          public IPersistStreamInit,
                          public IObjectWithSite,
                          public IOleControl,
                          public IRunnableObject {
public:
    explicit FakeControl(FakeLog* log) : log_(log), options_(g_options), plainPart_(static_cast<IOleObject*>(this), log)
    {
        ++g_alive;
        ++g_created;
    }

    IOleInPlaceSiteWindowless* Site() const { return inPlaceSite_; }
    IOleClientSite* ClientSite() const { return clientSite_; }
    // From now on the object offers only its own windowed in-place part.
    void GoWindowedWithOwnPart()
    {
        options_.windowless = false;
        plainWindowedPart_ = true;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleObject)
            *out = static_cast<IOleObject*>(this);
        else if ((iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) && plainWindowedPart_)
            *out = static_cast<IOleInPlaceObject*>(&plainPart_);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
            *out = static_cast<IOleInPlaceObjectWindowless*>(this);
        else if (iid == IID_IOleInPlaceObjectWindowless && options_.windowless)
            *out = static_cast<IOleInPlaceObjectWindowless*>(this);
        else if (iid == IID_IViewObject || iid == IID_IViewObject2 || iid == IID_IViewObjectEx)
            *out = static_cast<IViewObjectEx*>(this);
        else if ((iid == IID_IPersist || iid == IID_IPersistStreamInit) && options_.persistsToStream)
            *out = static_cast<IPersistStreamInit*>(this);
        else if (iid == IID_IObjectWithSite)
            *out = static_cast<IObjectWithSite*>(this);
        else if (iid == IID_IOleControl)
            *out = static_cast<IOleControl*>(this);
        else if (iid == IID_IRunnableObject)
            *out = static_cast<IRunnableObject*>(this);
        if (*out == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refs_;
        if (count == 0) {
            --g_alive;
            delete this;
        }
        return count;
    }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override
    {
        if (site != nullptr)
            site->AddRef();
        else
            log_->clientSiteCleared = true;
        if (clientSite_ != nullptr)
            clientSite_->Release();
        clientSite_ = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override
    {
        *site = clientSite_;
        if (clientSite_ != nullptr)
            clientSite_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR) override
    {
        log_->hostName = app != nullptr ? app : L"";
        return S_OK;
    }
    STDMETHODIMP Close(DWORD) override
    {
        log_->closed = true;
        if (inPlaceSite_ != nullptr && options_.deactivateOnClose) {
            inPlaceSite_->OnInPlaceDeactivate();
            inPlaceSite_->Release();
            inPlaceSite_ = nullptr;
        }
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT) override
    {
        if (verb != OLEIVERB_INPLACEACTIVATE || inPlaceSite_ != nullptr)
            return S_OK;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&inPlaceSite_))))
            return E_FAIL;
        if (inPlaceSite_->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        if (options_.windowless && inPlaceSite_->CanWindowlessActivate() == S_OK) {
            BOOL noRedraw = FALSE;
            return inPlaceSite_->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
        }
        HRESULT hr = inPlaceSite_->OnInPlaceActivate();
        HWND host = nullptr;
        if (SUCCEEDED(hr))
            hr = inPlaceSite_->GetWindow(&host);
        if (FAILED(hr))
            return hr;
        log_->ownWindow = CreateWindowExW(0, L"Static", L"fake", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, host, nullptr,
                                          GetModuleHandleW(nullptr), nullptr);
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = nullptr;
        RECT position = {};
        RECT clip = {};
        OLEINPLACEFRAMEINFO info = {};
        info.cb = sizeof(info);
        if (SUCCEEDED(inPlaceSite_->GetWindowContext(&frame, &document, &position, &clip, &info))) {
            frame->GetWindow(&log_->frameWindow);
            frame->Release();
            if (document != nullptr)
                document->Release();
        }
        (void)parent;
        return S_OK;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override
    {
        if (aspect == DVASPECT_CONTENT)
            log_->extent = *size;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override
    {
        *status = options_.miscStatus;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless
    STDMETHODIMP GetWindow(HWND* window) override
    {
        *window = log_->ownWindow;
        return log_->ownWindow != nullptr ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override
    {
        log_->position = *position;
        ++log_->objectRects;
        if (log_->ownWindow != nullptr && IsWindow(log_->ownWindow))
            MoveWindow(log_->ownWindow, position->left, position->top, position->right - position->left,
                       position->bottom - position->top, FALSE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnWindowMessage(UINT message, WPARAM, LPARAM, LRESULT* result) override
    {
        log_->messages.push_back(message);
        *result = 0x55;
        return S_OK;
    }
    STDMETHODIMP GetDropTarget(IDropTarget**) override { return E_NOTIMPL; }

    // IViewObject, IViewObject2, IViewObjectEx
    STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override
    {
        log_->drawn = *bounds;
        ++log_->draws;
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
    STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL) override { return E_NOTIMPL; }
    STDMETHODIMP GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
    STDMETHODIMP GetViewStatus(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryHitPoint(DWORD, LPCRECT client, POINT pt, LONG, DWORD* hit) override
    {
        *hit = PtInRect(client, pt) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHODIMP QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override
    {
        return E_NOTIMPL;
    }

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) override
    {
        *clsid = kFakeClsid;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) override { return E_NOTIMPL; }
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP InitNew() override
    {
        log_->clientSiteBeforeInit = clientSite_ != nullptr;
        ++log_->initNew;
        return S_OK;
    }

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override
    {
        if (site == nullptr)
            log_->siteCleared = true;
        return S_OK;
    }
    STDMETHODIMP GetSite(REFIID, void**) override { return E_NOTIMPL; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IRunnableObject
    STDMETHODIMP GetRunningClass(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP Run(LPBINDCTX) override { return S_OK; }
    STDMETHODIMP_(BOOL) IsRunning() override { return TRUE; }
    STDMETHODIMP LockRunning(BOOL lock, BOOL) override
    {
        log_->runningLocks += lock ? 1 : -1;
        return S_OK;
    }
    STDMETHODIMP SetContainedObject(BOOL) override { return S_OK; }

private:
    ~FakeControl()
    {
        if (clientSite_ != nullptr)
            clientSite_->Release();
        if (inPlaceSite_ != nullptr)
            inPlaceSite_->Release();
    }

    ULONG refs_ = 1;
    FakeLog* log_;
    FakeOptions options_;
    PlainInPlacePart plainPart_;
    bool plainWindowedPart_ = false;
    IOleClientSite* clientSite_ = nullptr;
    IOleInPlaceSiteWindowless* inPlaceSite_ = nullptr;
};

FakeLog g_log;
FakeControl* g_last = nullptr;

class FakeFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        *out = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        g_log = FakeLog();
        FakeControl* object = new FakeControl(&g_log);
        const HRESULT hr = object->QueryInterface(iid, out);
        g_last = SUCCEEDED(hr) ? object : nullptr;
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

FakeFactory g_factory;

}  // namespace

// The test program is also the module that the host may load a class from.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    *out = nullptr;
    if (clsid != kModuleClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

namespace {

RECT Rect(int l, int t, int r, int b)
{
    RECT rc = {l, t, r, b};
    return rc;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

// A skinned top-level window whose root is the host under test.
class ActiveXHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_TRUE(SUCCEEDED(
            CoRegisterClassObject(kFakeClsid, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)));
        g_options = FakeOptions();
        g_created = 0;
        window.reset(new UiTest::NativeChildHost);
        hwnd = window->hwnd;
        manager = window->manager;
        host = new CActiveXUI;
        ASSERT_TRUE(manager->SetRoot(host));
        // Shown without a paint, so that only the tests lay the host out.
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        // The host's objects go with the manager, before COM does.
        window.reset();
        CoRevokeClassObject(cookie);
        CoUninitialize();
    }
    void Create(const RECT& rc)
    {
        ASSERT_TRUE(host->SetClsid(kFakeClsid));
        host->SetBounds(rc);
        ASSERT_NE(nullptr, g_last);
    }
    bool Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
    {
        return manager->HandleMessage(message, wParam, lParam, result);
    }
    // The manager deletes the host with its tree.
    void DeleteManager()
    {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete manager;
        window->manager = nullptr;
        manager = nullptr;
        host = nullptr;
    }

    DWORD cookie = 0;
    std::unique_ptr<UiTest::NativeChildHost> window;
    HWND hwnd = nullptr;
    CUiManager* manager = nullptr;
    CActiveXUI* host = nullptr;
};

TEST_F(ActiveXHost, NamesItself)
{
    EXPECT_STREQ(L"ActiveXUI", host->GetTypeName());
    EXPECT_EQ(static_cast<void*>(host), host->CastByName(L"ActiveX"));
    EXPECT_EQ(static_cast<void*>(host), host->CastByName(L"Control"));
    EXPECT_EQ(nullptr, host->CastByName(L"activex"));
}

TEST_F(ActiveXHost, ClsidTextIsReadAsGuidOrProgIdAndBadTextIsRefused)
{
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kFakeProgId) + L"\\CLSID";
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kFakeClsidText), sizeof(kFakeClsidText));
    RegCloseKey(key);

    struct Case {
        const wchar_t* text;
        bool accepted;
    };
    const Case cases[] = {
        {kFakeClsidText, true},
        {kFakeProgId, true},
        {L"{6F1D2A10-52C3-4B7E-9A01", false},
        {L"Vantorin.NoSuchControl", false},
        {L"{00000000-0000-0000-0000-000000000000}", false},
        {L"", false},
    };
    for (const Case& test : cases) {
        CActiveXUI control;
        EXPECT_EQ(test.accepted, control.SetClsid(test.text)) << test.text;
        EXPECT_TRUE(IsEqualCLSID(test.accepted ? kFakeClsid : GUID_NULL, control.GetClsid())) << test.text;
    }
    EXPECT_FALSE(host->SetClsid(GUID_NULL));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kFakeProgId);
}

TEST_F(ActiveXHost, ByDefaultTheObjectIsMadeAtTheFirstLayout)
{
    host->SetAttribute(L"clsid", kFakeClsidText);
    EXPECT_EQ(0, g_created);
    EXPECT_EQ(E_PENDING, host->GetControl(IID_IOleObject, reinterpret_cast<void**>(&cookie)));
    host->SetBounds(Rect(10, 20, 110, 70));
    EXPECT_EQ(1, g_created);
    EXPECT_TRUE(host->IsCreated());
    host->SetBounds(Rect(10, 20, 120, 80));
    EXPECT_EQ(1, g_created);
}

TEST_F(ActiveXHost, ClsidBeforeDelayCreateOffMakesTheObjectOnce)
{
    host->SetAttribute(L"clsid", kFakeClsidText);
    host->SetAttribute(L"delaycreate", L"false");
    EXPECT_EQ(1, g_created);
    EXPECT_FALSE(host->IsDelayCreate());
    host->SetBounds(Rect(10, 20, 110, 70));
    host->SetAttribute(L"delaycreate", L"false");
    EXPECT_EQ(1, g_created);
    // A new CLSID with delay off makes the new object at once.
    host->SetClsid(kFakeClsid);
    EXPECT_EQ(2, g_created);
    EXPECT_EQ(1, g_alive);
}

TEST_F(ActiveXHost, ActivationFollowsTheSetUpOrder)
{
    std::vector<std::wstring> seen;
    g_options.miscStatus = OLEMISC_SETCLIENTSITEFIRST;
    Create(Rect(10, 20, 110, 70));
    EXPECT_TRUE(g_log.clientSiteBeforeInit);
    EXPECT_EQ(1, g_log.initNew);
    EXPECT_EQ(L"UIActiveX", g_log.hostName);
    EXPECT_EQ(1, window->Count(L"showactivex", host));
    EXPECT_NE(nullptr, g_last->Site());

    // Without the flag the client site comes after InitNew.
    g_options.miscStatus = 0;
    host->CreateControl();
    EXPECT_FALSE(g_log.clientSiteBeforeInit);
    EXPECT_NE(nullptr, g_last->ClientSite());

    // An object without stream state is activated all the same.
    g_options.persistsToStream = false;
    EXPECT_TRUE(host->CreateControl());
    EXPECT_EQ(0, g_log.initNew);
    EXPECT_NE(nullptr, g_last->Site());
}

TEST_F(ActiveXHost, AnObjectInvisibleAtRunTimeIsNotActivated)
{
    g_options.miscStatus = OLEMISC_INVISIBLEATRUNTIME;
    Create(Rect(10, 20, 110, 70));
    EXPECT_EQ(nullptr, g_last->Site());
    EXPECT_EQ(nullptr, host->GetHostWindow());
}

TEST_F(ActiveXHost, GetControlAnswersPointerPendingOrTheObject)
{
    EXPECT_EQ(E_POINTER, host->GetControl(IID_IOleObject, nullptr));
    IOleObject* object = nullptr;
    EXPECT_EQ(E_PENDING, host->GetControl(IID_IOleObject, reinterpret_cast<void**>(&object)));
    Create(Rect(10, 20, 110, 70));
    ASSERT_EQ(S_OK, host->GetControl(IID_IOleObject, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(static_cast<IOleObject*>(g_last), object);
    object->Release();
    IStream* stream = nullptr;
    EXPECT_EQ(E_NOINTERFACE, host->GetControl(IID_IStream, reinterpret_cast<void**>(&stream)));
}

TEST_F(ActiveXHost, WindowlessObjectGetsExtentRectsAndPaint)
{
    Create(Rect(10, 20, 110, 70));
    EXPECT_EQ(hwnd, host->GetHostWindow());
    EXPECT_EQ(nullptr, FindWindowExW(hwnd, nullptr, L"ActiveXWnd", nullptr));
    EXPECT_TRUE(SameRect(Rect(10, 20, 110, 70), g_log.position));

    host->SetBounds(Rect(20, 30, 220, 130));
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(MulDiv(2540, 200, dpiX), g_log.extent.cx);
    EXPECT_EQ(MulDiv(2540, 100, dpiY), g_log.extent.cy);
    EXPECT_TRUE(SameRect(Rect(20, 30, 220, 130), g_log.position));

    HDC dc = GetDC(hwnd);
    host->Paint(dc, Rect(0, 0, 10, 10));
    EXPECT_EQ(0, g_log.draws);
    host->Paint(dc, Rect(0, 0, 30, 40));
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(1, g_log.draws);
    EXPECT_EQ(20, g_log.drawn.left);
    EXPECT_EQ(30, g_log.drawn.top);
    EXPECT_EQ(220, g_log.drawn.right);
    EXPECT_EQ(130, g_log.drawn.bottom);
}

TEST_F(ActiveXHost, WindowlessObjectGetsMouseOnItKeysWithFocusAndHelpUnhandled)
{
    Create(Rect(10, 20, 110, 70));
    LRESULT result = 0;
    EXPECT_TRUE(Send(WM_LBUTTONDOWN, MK_LBUTTON, At(50, 40), result));
    EXPECT_EQ(0x55, result);
    Send(WM_MOUSEMOVE, 0, At(200, 150), result);
    ASSERT_EQ(1u, g_log.messages.size());
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONDOWN), g_log.messages[0]);

    // While the object holds the capture, mouse messages away from it reach it too.
    IOleInPlaceSiteWindowless* site = g_last->Site();
    EXPECT_EQ(S_FALSE, site->GetCapture());
    EXPECT_EQ(S_OK, site->SetCapture(TRUE));
    EXPECT_EQ(S_OK, site->GetCapture());
    EXPECT_TRUE(Send(WM_MOUSEMOVE, 0, At(200, 150), result));
    site->SetCapture(FALSE);
    EXPECT_EQ(2u, g_log.messages.size());

    // Keys only while the control has the focus, however it came: asked
    // for by the object, or given by the window (a Tab, a click).
    Send(WM_KEYDOWN, 'A', 0, result);
    EXPECT_EQ(2u, g_log.messages.size());
    EXPECT_EQ(S_FALSE, site->GetFocus());
    site->SetFocus(TRUE);
    EXPECT_EQ(S_OK, site->GetFocus());
    EXPECT_TRUE(Send(WM_KEYDOWN, 'A', 0, result));
    EXPECT_EQ(3u, g_log.messages.size());
    manager->SetFocus(nullptr);
    Send(WM_KEYDOWN, 'B', 0, result);
    EXPECT_EQ(3u, g_log.messages.size());
    manager->SetFocus(host);
    ASSERT_TRUE(host->HasFocus());
    EXPECT_TRUE(Send(WM_KEYDOWN, 'C', 0, result));
    EXPECT_EQ(4u, g_log.messages.size());
    manager->SetFocus(nullptr);

    // Help and context menus reach the object but stay unhandled.
    g_log.messages.clear();
    EXPECT_FALSE(Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), At(50, 40), result));
    ASSERT_EQ(1u, g_log.messages.size());
    EXPECT_EQ(static_cast<UINT>(WM_CONTEXTMENU), g_log.messages[0]);

    // A control that takes no mouse input passes no mouse message on.
    g_log.messages.clear();
    host->SetMouseEnabled(false);
    Send(WM_LBUTTONUP, 0, At(50, 40), result);
    EXPECT_TRUE(g_log.messages.empty());
}

TEST_F(ActiveXHost, WindowedObjectLivesInItsOwnChildWindow)
{
    g_options.windowless = false;
    Create(Rect(10, 20, 110, 70));
    const HWND own = host->GetHostWindow();
    ASSERT_NE(nullptr, own);
    ASSERT_NE(hwnd, own);
    wchar_t className[64] = {};
    GetClassNameW(own, className, 64);
    EXPECT_STREQ(L"ActiveXWnd", className);
    EXPECT_EQ(hwnd, GetParent(own));
    EXPECT_EQ(own, GetParent(g_log.ownWindow));
    EXPECT_EQ(hwnd, g_log.frameWindow);
    // The object's rects are relative to its own window, which is moved to the control.
    EXPECT_TRUE(SameRect(Rect(0, 0, 100, 50), g_log.position));
    RECT placed = {};
    GetWindowRect(own, &placed);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(SameRect(Rect(10, 20, 110, 70), placed));

    host->SetBounds(Rect(30, 40, 90, 100));
    GetWindowRect(own, &placed);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(SameRect(Rect(30, 40, 90, 100), placed));
    EXPECT_TRUE(SameRect(Rect(0, 0, 60, 60), g_log.position));

    EXPECT_TRUE(IsWindowVisible(own));
    host->SetShown(false);
    EXPECT_FALSE(IsWindowVisible(own));
    host->SetShown(true);
    EXPECT_TRUE(IsWindowVisible(own));
    host->SetShownByParent(false);
    EXPECT_FALSE(IsWindowVisible(own));

    // No message filter for a windowed object.
    LRESULT result = 0;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(50, 40), result);
    EXPECT_TRUE(g_log.messages.empty());

    host->ReleaseControl();
    EXPECT_FALSE(IsWindow(own));
    EXPECT_EQ(nullptr, host->GetHostWindow());
}

TEST_F(ActiveXHost, AnObjectInPlaceAgainInItsOwnWindowGetsNoWindowMessages)
{
    Create(Rect(10, 20, 110, 70));
    IOleInPlaceSiteWindowless* site = g_last->Site();
    ASSERT_EQ(S_OK, site->OnInPlaceDeactivateEx(TRUE));
    g_last->GoWindowedWithOwnPart();
    BOOL noRedraw = FALSE;
    ASSERT_EQ(S_OK, site->OnInPlaceActivateEx(&noRedraw, 0));
    ASSERT_NE(hwnd, host->GetHostWindow());
    LRESULT result = 0;
    Send(WM_HELP, 0, 0, result);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(50, 40), result);
    EXPECT_EQ(0, g_log.strayCalls);
    EXPECT_TRUE(g_log.messages.empty());
}

TEST_F(ActiveXHost, SiteAnswersContainerEnumerationAndFrame)
{
    Create(Rect(10, 20, 110, 70));
    IOleClientSite* client = g_last->ClientSite();
    ASSERT_NE(nullptr, client);

    IOleContainer* container = nullptr;
    ASSERT_EQ(S_OK, client->GetContainer(&container));
    IEnumUnknown* items = nullptr;
    EXPECT_EQ(E_POINTER, container->EnumObjects(OLECONTF_EMBEDDINGS, nullptr));
    ASSERT_EQ(S_OK, container->EnumObjects(OLECONTF_EMBEDDINGS, &items));
    IUnknown* item = nullptr;
    ULONG fetched = 0;
    EXPECT_EQ(S_OK, items->Next(1, &item, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IOleObject*>(g_last)), item);
    item->Release();
    EXPECT_EQ(S_FALSE, items->Next(1, &item, &fetched));
    EXPECT_EQ(0u, fetched);
    items->Reset();
    EXPECT_EQ(S_OK, items->Next(1, &item, &fetched));
    item->Release();
    items->Release();
    EXPECT_EQ(S_OK, container->LockContainer(TRUE));
    container->Release();

    IMoniker* moniker = reinterpret_cast<IMoniker*>(1);
    EXPECT_EQ(E_NOTIMPL, client->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, &moniker));
    EXPECT_EQ(nullptr, moniker);
    EXPECT_EQ(E_NOTIMPL, client->SaveObject());
    EXPECT_EQ(S_OK, client->ShowObject());
    EXPECT_EQ(1, g_log.draws);

    IOleInPlaceSiteWindowless* site = g_last->Site();
    HWND window = nullptr;
    EXPECT_EQ(S_OK, site->GetWindow(&window));
    EXPECT_EQ(hwnd, window);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position = {};
    RECT clip = {};
    OLEINPLACEFRAMEINFO info = {};
    ASSERT_EQ(S_OK, site->GetWindowContext(&frame, &document, &position, &clip, &info));
    EXPECT_EQ(nullptr, document);
    EXPECT_EQ(hwnd, info.hwndFrame);
    EXPECT_FALSE(info.fMDIApp);
    EXPECT_EQ(1u, info.cAccelEntries);
    EXPECT_NE(nullptr, info.haccel);
    RECT clientArea = {};
    GetClientRect(hwnd, &clientArea);
    EXPECT_TRUE(SameRect(clientArea, position));
    HWND frameWindow = nullptr;
    EXPECT_EQ(S_OK, frame->GetWindow(&frameWindow));
    EXPECT_EQ(hwnd, frameWindow);
    EXPECT_EQ(INPLACE_E_NOTOOLSPACE, frame->RequestBorderSpace(nullptr));
    EXPECT_EQ(S_FALSE, frame->TranslateAccelerator(nullptr, 0));
    frame->Release();

    IOleControlSite* controlSite = nullptr;
    ASSERT_EQ(S_OK, site->QueryInterface(IID_IOleControlSite, reinterpret_cast<void**>(&controlSite)));
    IDispatch* extended = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(E_NOINTERFACE, controlSite->GetExtendedControl(&extended));
    EXPECT_EQ(nullptr, extended);
    EXPECT_EQ(E_NOTIMPL, controlSite->ShowPropertyFrame());
    EXPECT_EQ(S_FALSE, controlSite->TranslateAccelerator(nullptr, 0));
    controlSite->Release();

    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(S_OK, site->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)));
    IUnknown* got = nullptr;
    EXPECT_EQ(E_FAIL, withSite->GetSite(IID_IUnknown, reinterpret_cast<void**>(&got)));
    withSite->Release();
}

TEST_F(ActiveXHost, ReleaseLetsGoOfEveryReference)
{
    Create(Rect(10, 20, 110, 70));
    EXPECT_EQ(1, g_alive);
    FakeLog* log = &g_log;
    host->ReleaseControl();
    EXPECT_TRUE(log->siteCleared);
    EXPECT_TRUE(log->closed);
    EXPECT_TRUE(log->clientSiteCleared);
    EXPECT_EQ(0, g_alive);
    // The message filter went with the object.
    LRESULT result = 0;
    EXPECT_FALSE(Send(WM_LBUTTONDOWN, MK_LBUTTON, At(50, 40), result));

    // Deleting the control releases a live object as well.
    g_options.windowless = false;
    host->CreateControl();
    EXPECT_EQ(1, g_alive);
    DeleteManager();
    EXPECT_EQ(0, g_alive);
    EXPECT_EQ(nullptr, FindWindowExW(hwnd, nullptr, L"ActiveXWnd", nullptr));
}

TEST_F(ActiveXHost, AnObjectThatStaysInPlaceOnCloseIsStillLetGo)
{
    g_options.deactivateOnClose = false;
    for (bool windowless : {true, false}) {
        g_options.windowless = windowless;
        Create(Rect(10, 20, 110, 70));
        FakeLog* log = &g_log;
        // The object is held running while it is in place, and no longer.
        EXPECT_EQ(1, log->runningLocks);
        const HWND own = host->GetHostWindow();
        host->ReleaseControl();
        EXPECT_EQ(0, log->runningLocks);
        EXPECT_EQ(0, g_alive) << windowless;
        EXPECT_EQ(windowless, IsWindow(own) != FALSE) << windowless;
    }
}

TEST_F(ActiveXHost, ObjectComesFromTheNamedModulesClassFactory)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(host->SetClsid(kModuleClsid));
    host->SetBounds(Rect(10, 20, 110, 70));
    EXPECT_EQ(E_PENDING, host->GetControl(IID_IOleObject, reinterpret_cast<void**>(&cookie)));

    host->SetAttribute(L"modulename", self);
    EXPECT_STREQ(self, host->GetModuleName().GetData());
    ASSERT_TRUE(host->CreateControl());
    EXPECT_EQ(1, g_alive);
    EXPECT_EQ(1, g_log.initNew);

    // A module without the class falls back to the registered one.
    host->SetClsid(kFakeClsid);
    EXPECT_TRUE(host->CreateControl());
    EXPECT_EQ(1, g_alive);
}

TEST_F(ActiveXHost, AnUnknownClassLeavesTheControlEmpty)
{
    ASSERT_TRUE(host->SetClsid(kMissingClsid));
    host->SetBounds(Rect(10, 20, 110, 70));
    EXPECT_TRUE(host->IsCreated());
    EXPECT_FALSE(host->CreateControl());
    IOleObject* object = nullptr;
    EXPECT_EQ(E_PENDING, host->GetControl(IID_IOleObject, reinterpret_cast<void**>(&object)));
    HDC dc = GetDC(hwnd);
    host->Paint(dc, Rect(0, 0, 300, 200));
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(0, window->Count(L"showactivex", host));
}

TEST_F(ActiveXHost, WithoutAWindowCreationWaitsForTheFirstLayout)
{
    CActiveXUI loose;
    loose.SetDelayCreate(false);
    EXPECT_TRUE(loose.SetClsid(kFakeClsid));
    EXPECT_EQ(0, g_created);
    EXPECT_FALSE(loose.IsCreated());
}

}  // namespace
