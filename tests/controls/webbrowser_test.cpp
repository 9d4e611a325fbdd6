// The web browser control: its names and attributes, the home page at
// creation, navigation and the browser's events reaching the handler, the
// event dispatch and its argument checks, the document-host hooks, the
// script-error command, accelerators, and release of the event sink. The
// browser is the system's own; no page can load in the test environment, so
// every navigation ends in a navigate-error event.
#include "UiManager.h"
#include "WebBrowserUI.h"
#include "native_child_host.h"

#include <exdispid.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace UiLib;

namespace {

const CLSID kBrowserClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const GUID kDocHostCommandGroup = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
const wchar_t kMissingClsid[] = L"{6F1D2A13-52C3-4B7E-9A01-3C441E7A9011}";
// Nothing listens there: the browser reports a navigate error.
const wchar_t kHomePage[] = L"http://127.0.0.1:9/home";

std::wstring TextOf(const VARIANT* value)
{
    return value != nullptr && value->vt == VT_BSTR && value->bstrVal != nullptr ? value->bstrVal : L"";
}

// Records what the browser and the control hand on.
class EventLog : public CWebBrowserEventHandler {
public:
    void BeforeNavigate2(IDispatch* browser, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                         VARIANT_BOOL* cancel) override
    {
        events.push_back(L"before " + TextOf(url));
        browserGiven = browser != nullptr;
        cancelGiven = cancel != nullptr;
        if (cancel != nullptr && cancelNavigation)
            *cancel = VARIANT_TRUE;
    }
    void NavigateComplete2(IDispatch*, VARIANT* url) override { events.push_back(L"complete " + TextOf(url)); }
    void NavigateError(IDispatch*, VARIANT* url, VARIANT*, VARIANT*, VARIANT_BOOL*) override
    {
        events.push_back(L"error " + TextOf(url));
    }
    void NewWindow3(IDispatch**, VARIANT_BOOL* cancel, DWORD flags, BSTR context, BSTR url) override
    {
        events.push_back(L"newwindow " + std::to_wstring(flags) + L" " + (context ? context : L"") + L" " +
                         (url ? url : L""));
        if (cancel != nullptr)
            *cancel = VARIANT_TRUE;
    }
    void CommandStateChange(long command, bool enable) override
    {
        events.push_back(L"command " + std::to_wstring(command) + (enable ? L" on" : L" off"));
    }
    HRESULT ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override
    {
        events.push_back(L"contextmenu");
        return S_OK;
    }

    std::vector<std::wstring> events;
    bool browserGiven = false;
    bool cancelGiven = false;
    bool cancelNavigation = false;
};

void PumpFor(DWORD milliseconds)
{
    const DWORD end = GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

class WebBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        window.reset(new UiTest::NativeChildHost);
        hwnd = window->hwnd;
        manager = window->manager;
        web = new CWebBrowserUI;
        ASSERT_TRUE(manager->SetRoot(web));
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        web->SetEventHandler(&log);
    }
    void TearDown() override
    {
        // The browser goes with the manager, before COM does.
        window.reset();
        CoUninitialize();
    }
    void Create()
    {
        RECT rc = {10, 10, 210, 110};
        web->SetBounds(rc);
    }
    HRESULT Fire(DISPID id, std::vector<VARIANT>& lastFirst)
    {
        DISPPARAMS params = {lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
        return web->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }

    std::unique_ptr<UiTest::NativeChildHost> window;
    HWND hwnd = nullptr;
    CUiManager* manager = nullptr;
    CWebBrowserUI* web = nullptr;
    EventLog log;
};

VARIANT Long(long value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Bool(bool value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT Text(BSTR value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = value;
    return v;
}

TEST_F(WebBrowser, NamesItselfAndStartsAsTheSystemBrowser)
{
    EXPECT_STREQ(L"WebBrowserUI", web->GetTypeName());
    EXPECT_EQ(static_cast<void*>(web), web->CastByName(L"WebBrowser"));
    EXPECT_EQ(static_cast<void*>(static_cast<CActiveXUI*>(web)), web->CastByName(L"ActiveX"));
    EXPECT_EQ(nullptr, web->CastByName(L"Edit"));
    EXPECT_TRUE(IsEqualCLSID(kBrowserClsid, web->GetClsid()));
    EXPECT_TRUE(web->IsDelayCreate());
    EXPECT_FALSE(web->IsAutoNavigate());

    web->SetAttribute(L"homepage", kHomePage);
    web->SetAttribute(L"autonavi", L"true");
    EXPECT_STREQ(kHomePage, web->GetHomePage().GetData());
    EXPECT_TRUE(web->IsAutoNavigate());
    web->SetAttribute(L"autonavi", L"True");
    EXPECT_FALSE(web->IsAutoNavigate());
}

TEST_F(WebBrowser, HomePageIsOpenedAtCreationOnlyWhenAskedAndSet)
{
    struct Case {
        const wchar_t* homePage;
        const wchar_t* autoNavigate;
        std::vector<std::wstring> events;
    };
    const std::wstring home(kHomePage);
    // The events raised inside the first Navigate2 itself (before navigate,
    // the command states) reach the handler too.
    const Case cases[] = {
        // The browser also reports that it can go neither back nor forward.
        {kHomePage, L"true", {L"before " + home, L"command 2 off", L"command 1 off", L"error " + home}},
        {L"", L"true", {}},
        {kHomePage, L"false", {}},
    };
    for (const Case& test : cases) {
        CWebBrowserUI* control = new CWebBrowserUI;
        manager->SetRoot(control);
        EventLog events;
        control->SetEventHandler(&events);
        control->SetAttribute(L"homepage", test.homePage);
        control->SetAttribute(L"autonavi", test.autoNavigate);
        RECT rc = {0, 0, 200, 100};
        control->SetBounds(rc);
        ASSERT_NE(nullptr, control->GetWebBrowser2()) << test.homePage << test.autoNavigate;
        PumpFor(200);
        EXPECT_EQ(test.events, events.events) << test.homePage << " " << test.autoNavigate;
        control->SetEventHandler(nullptr);
    }
}

TEST_F(WebBrowser, NavigationReachesTheBrowserAndItsEventsTheHandler)
{
    Create();
    ASSERT_NE(nullptr, web->GetWebBrowser2());
    // The browser lives in the host's own child window.
    EXPECT_NE(nullptr, web->GetHostWindow());
    EXPECT_NE(hwnd, web->GetHostWindow());

    web->Navigate2(nullptr);
    PumpFor(100);
    EXPECT_TRUE(log.events.empty());

    const std::wstring url = L"http://127.0.0.1:9/page";
    web->Navigate2(url.c_str());
    PumpFor(200);
    const std::vector<std::wstring> expected = {L"before " + url, L"command 2 off", L"command 1 off", L"error " + url};
    EXPECT_EQ(expected, log.events);
    EXPECT_TRUE(log.browserGiven);
    EXPECT_TRUE(log.cancelGiven);

    // A handler that cancels stops the navigation before it starts.
    log.events.clear();
    log.cancelNavigation = true;
    web->Navigate2(L"http://127.0.0.1:9/cancelled");
    PumpFor(200);
    const std::vector<std::wstring> cancelled = {L"before http://127.0.0.1:9/cancelled"};
    EXPECT_EQ(cancelled, log.events);
}

TEST_F(WebBrowser, ReleaseDropsTheEventSinkAndEveryReferenceToTheControl)
{
    Create();
    IWebBrowser2* kept = web->GetWebBrowser2();
    ASSERT_NE(nullptr, kept);
    // A browser that someone else still holds sends the control nothing more.
    kept->AddRef();
    web->ReleaseControl();
    EXPECT_FALSE(web->IsCreated());
    EXPECT_EQ(nullptr, web->GetWebBrowser2());
    EXPECT_EQ(1u, web->AddRef());
    EXPECT_EQ(0u, web->Release());
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(kHomePage);
    kept->Navigate2(&url, nullptr, nullptr, nullptr, nullptr);
    VariantClear(&url);
    PumpFor(200);
    EXPECT_TRUE(log.events.empty());
    kept->Release();
    MSG key = {web->GetHostWindow(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_EQ(E_NOTIMPL, web->TranslateAccel(&key));
}

TEST_F(WebBrowser, AClassThatCannotBeMadeLeavesNoBrowser)
{
    web->SetAttribute(L"clsid", kMissingClsid);
    web->SetAttribute(L"homepage", kHomePage);
    web->SetAttribute(L"autonavi", L"true");
    EXPECT_FALSE(web->CreateControl());
    EXPECT_EQ(nullptr, web->GetWebBrowser2());
    web->Navigate2(kHomePage);
    EXPECT_TRUE(log.events.empty());
    // No translator was registered with the manager.
    MSG key = {hwnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(manager->TranslateAccelerator(&key));
    EXPECT_EQ(E_NOTIMPL, web->TranslateAccel(&key));
}

TEST_F(WebBrowser, EventDispatchChecksItsArgumentsAndRoutesByDispid)
{
    EXPECT_EQ(E_INVALIDARG, web->Invoke(DISPID_COMMANDSTATECHANGE, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr,
                                        nullptr, nullptr));
    std::vector<VARIANT> none;
    EXPECT_EQ(S_OK, Fire(DISPID_STATUSTEXTCHANGE, none));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Fire(DISPID_TITLECHANGE, none));
    // Too few arguments are refused rather than read past their end.
    std::vector<VARIANT> one = {Bool(true)};
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Fire(DISPID_COMMANDSTATECHANGE, one));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Fire(DISPID_BEFORENAVIGATE2, one));
    EXPECT_TRUE(log.events.empty());

    // The arguments arrive last first.
    std::vector<VARIANT> command = {Bool(true), Long(CSC_NAVIGATEBACK)};
    EXPECT_EQ(S_OK, Fire(DISPID_COMMANDSTATECHANGE, command));
    std::vector<VARIANT> off = {Bool(false), Long(CSC_NAVIGATEFORWARD)};
    EXPECT_EQ(S_OK, Fire(DISPID_COMMANDSTATECHANGE, off));

    BSTR context = SysAllocString(L"http://a/");
    BSTR target = SysAllocString(L"http://b/");
    IDispatch* created = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT browser;
    VariantInit(&browser);
    browser.vt = VT_DISPATCH | VT_BYREF;
    browser.ppdispVal = &created;
    VARIANT cancelRef;
    VariantInit(&cancelRef);
    cancelRef.vt = VT_BOOL | VT_BYREF;
    cancelRef.pboolVal = &cancel;
    std::vector<VARIANT> window = {Text(target), Text(context), Long(4), cancelRef, browser};
    EXPECT_EQ(S_OK, Fire(DISPID_NEWWINDOW3, window));
    EXPECT_EQ(VARIANT_TRUE, cancel);
    SysFreeString(context);
    SysFreeString(target);

    // Values passed by reference reach the handler as the values themselves.
    VARIANT completed = Text(SysAllocString(L"http://c/"));
    VARIANT completedRef;
    VariantInit(&completedRef);
    completedRef.vt = VT_VARIANT | VT_BYREF;
    completedRef.pvarVal = &completed;
    VARIANT noBrowser;
    VariantInit(&noBrowser);
    noBrowser.vt = VT_DISPATCH;
    std::vector<VARIANT> complete = {completedRef, noBrowser};
    EXPECT_EQ(S_OK, Fire(DISPID_NAVIGATECOMPLETE2, complete));
    VariantClear(&completed);

    const std::vector<std::wstring> expected = {L"command 2 on", L"command 1 off", L"newwindow 4 http://a/ http://b/",
                                                L"complete http://c/"};
    EXPECT_EQ(expected, log.events);

    web->SetEventHandler(nullptr);
    EXPECT_EQ(S_OK, Fire(DISPID_COMMANDSTATECHANGE, command));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Fire(DISPID_PROGRESSCHANGE, command));

    UINT count = 5;
    EXPECT_EQ(E_NOTIMPL, web->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
}

TEST_F(WebBrowser, ScriptErrorsAreSwallowedWithoutADialog)
{
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, web->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out));
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, web->Exec(&IID_IDispatch, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out));
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED,
              web->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR + 1, 0, nullptr, &out));
    EXPECT_EQ(VT_EMPTY, out.vt);
    ASSERT_EQ(S_OK, web->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out));
    EXPECT_EQ(VT_BOOL, out.vt);
    EXPECT_EQ(VARIANT_TRUE, out.boolVal);
    EXPECT_EQ(S_OK, web->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, nullptr));

    // The document the command carries is asked for its script error: the
    // control reaches for the document interface to read the error event.
    struct Document : public IUnknown {
        std::vector<IID> asked;
        ULONG refs = 1;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
        {
            asked.push_back(riid);
            *object = nullptr;
            if (IsEqualIID(riid, IID_IUnknown)) {
                *object = this;
                AddRef();
                return S_OK;
            }
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
        ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    } document;
    const IID htmlDocument2 = {0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
    VARIANT in;
    VariantInit(&in);
    in.vt = VT_UNKNOWN;
    in.punkVal = &document;
    VariantClear(&out);
    ASSERT_EQ(S_OK, web->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR, 0, &in, &out));
    ASSERT_EQ(1u, document.asked.size());
    EXPECT_TRUE(IsEqualIID(htmlDocument2, document.asked[0]));
    EXPECT_EQ(1u, document.refs);
    EXPECT_EQ(VT_BOOL, out.vt);
    EXPECT_EQ(VARIANT_TRUE, out.boolVal);
    OLECMD cmd = {OLECMDID_SHOWSCRIPTERROR, 0};
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, web->QueryStatus(&kDocHostCommandGroup, 1, &cmd, nullptr));
}

TEST_F(WebBrowser, DocumentHostHooksAnswerForTheBrowserOrAskTheHandler)
{
    web->SetEventHandler(nullptr);
    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    LPWSTR translated = reinterpret_cast<LPWSTR>(1);
    IDataObject* filtered = reinterpret_cast<IDataObject*>(1);
    struct Case {
        const char* hook;
        HRESULT answer;
        HRESULT expected;
    };
    const Case cases[] = {
        {"ShowContextMenu", web->ShowContextMenu(0, nullptr, nullptr, nullptr), S_FALSE},
        {"TranslateAccelerator", web->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE},
        {"GetDropTarget", web->GetDropTarget(nullptr, nullptr), S_FALSE},
        {"ShowUI", web->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_OK},
        {"HideUI", web->HideUI(), S_OK},
        {"UpdateUI", web->UpdateUI(), S_OK},
        {"GetHostInfo", web->GetHostInfo(nullptr), E_NOTIMPL},
        {"EnableModeless", web->EnableModeless(TRUE), E_NOTIMPL},
        {"OnDocWindowActivate", web->OnDocWindowActivate(TRUE), E_NOTIMPL},
        {"OnFrameWindowActivate", web->OnFrameWindowActivate(TRUE), E_NOTIMPL},
        {"ResizeBorder", web->ResizeBorder(nullptr, nullptr, TRUE), E_NOTIMPL},
        {"GetOptionKeyPath", web->GetOptionKeyPath(nullptr, 0), E_NOTIMPL},
        {"GetExternal", web->GetExternal(&external), E_NOTIMPL},
        {"TranslateUrl", web->TranslateUrl(0, nullptr, &translated), E_NOTIMPL},
        {"FilterDataObject", web->FilterDataObject(nullptr, &filtered), S_FALSE},
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.expected, test.answer) << test.hook;
    EXPECT_EQ(nullptr, external);
    EXPECT_EQ(nullptr, translated);
    EXPECT_EQ(nullptr, filtered);

    web->SetEventHandler(&log);
    EXPECT_EQ(S_OK, web->ShowContextMenu(0, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, web->GetHostInfo(nullptr));
    const std::vector<std::wstring> expected = {L"contextmenu"};
    EXPECT_EQ(expected, log.events);

    void* service = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, web->QueryService(IID_IUnknown, IID_IUnknown, &service));
    EXPECT_EQ(nullptr, service);
}

TEST_F(WebBrowser, EveryPartAnswersForTheOthers)
{
    IUnknown* first = nullptr;
    ASSERT_EQ(S_OK, static_cast<IDispatch*>(web)->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&first)));
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDocHostUIHandler*>(web)), first);
    struct Case {
        const IID* iid;
        void* part;
    };
    const Case cases[] = {
        {&IID_IDocHostUIHandler, static_cast<IDocHostUIHandler*>(web)},
        {&IID_IServiceProvider, static_cast<IServiceProvider*>(web)},
        {&IID_IOleCommandTarget, static_cast<IOleCommandTarget*>(web)},
        {&IID_IDispatch, static_cast<IDispatch*>(web)},
    };
    for (const Case& test : cases) {
        void* out = nullptr;
        EXPECT_EQ(S_OK, static_cast<IServiceProvider*>(web)->QueryInterface(*test.iid, &out));
        EXPECT_EQ(test.part, out);
        static_cast<IUnknown*>(out)->Release();
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, web->QueryInterface(IID_IStream, &none));
    EXPECT_EQ(nullptr, none);
    first->Release();
    // The count answers COM only; the control outlives a count of zero.
    EXPECT_EQ(0u, web->AddRef() - 1);
    EXPECT_EQ(0u, web->Release());
    EXPECT_STREQ(L"WebBrowserUI", web->GetTypeName());
}

TEST_F(WebBrowser, AcceleratorsGoToTheBrowserOnlyForKeysInItsWindow)
{
    Create();
    ASSERT_NE(nullptr, web->GetWebBrowser2());
    MSG click = {web->GetHostWindow(), WM_LBUTTONDOWN, 0, 0, 0, {0, 0}};
    EXPECT_EQ(S_FALSE, web->TranslateAccel(&click));
    SetFocus(hwnd);
    MSG key = {hwnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_EQ(S_FALSE, web->TranslateAccel(&key));

    // With the focus inside the browser's window the browser decides.
    SetFocus(web->GetHostWindow());
    ASSERT_EQ(web->GetHostWindow(), GetFocus());
    IOleInPlaceActiveObject* active = nullptr;
    ASSERT_EQ(S_OK,
              web->GetWebBrowser2()->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)));
    const HRESULT browserAnswer = active->TranslateAccelerator(&key);
    active->Release();
    EXPECT_EQ(browserAnswer, web->TranslateAccel(&key));
    EXPECT_EQ(browserAnswer == S_OK, manager->TranslateAccelerator(&key));
}

}  // namespace
