#pragma once
// The client site and in-place site that a hosted COM control talks to. It
// lives as long as COM references to it exist; the hosting control detaches
// itself before it lets go.
#include "Win32Prelude.h"
#include <ole2.h>
#include <ocidl.h>

namespace UiLib {

class CActiveXUI;
class CActiveXWnd;

class CActiveXCtrl final : public IOleClientSite,
                           public IOleInPlaceSiteWindowless,
                           public IOleControlSite,
                           public IObjectWithSite,
                           public IOleContainer {
public:
    explicit CActiveXCtrl(CActiveXUI* owner);
    CActiveXCtrl(const CActiveXCtrl&) = delete;
    CActiveXCtrl& operator=(const CActiveXCtrl&) = delete;

    // Cuts the link to the control and closes the host window.
    void Detach();
    CActiveXUI* GetOwner() const { return owner_; }
    CActiveXWnd* GetHostWnd() const { return hostWnd_; }
    void OnHostWindowGone();
    IViewObject* GetViewObject() const { return viewObject_; }
    void SetViewObject(IViewObject* view);
    IOleInPlaceObjectWindowless* GetInPlaceObject() const { return inPlaceObject_; }
    bool IsInPlaceActive() const { return inPlaceActive_; }
    bool IsWindowless() const { return windowless_; }
    bool IsUiActive() const { return uiActive_; }
    bool IsFocused() const { return focused_; }
    void SetFocused(bool focused) { focused_ = focused; }
    bool IsCaptured() const { return captured_; }
    // The control's rect, moved to the origin for an object in its own window.
    RECT ObjectRect() const;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** out) override;

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleInPlaceSiteWindowless
    STDMETHODIMP CanWindowlessActivate() override;
    STDMETHODIMP GetCapture() override;
    STDMETHODIMP SetCapture(BOOL capture) override;
    STDMETHODIMP GetFocus() override;
    STDMETHODIMP SetFocus(BOOL focus) override;
    STDMETHODIMP GetDC(LPCRECT rect, DWORD flags, HDC* dc) override;
    STDMETHODIMP ReleaseDC(HDC dc) override;
    STDMETHODIMP InvalidateRect(LPCRECT rect, BOOL erase) override;
    STDMETHODIMP InvalidateRgn(HRGN region, BOOL erase) override;
    STDMETHODIMP ScrollRect(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
    STDMETHODIMP AdjustRect(LPRECT rect) override;
    STDMETHODIMP OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // IOleInPlaceSiteEx
    STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL noRedraw) override;
    STDMETHODIMP RequestUIActivate() override;

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE extent) override;
    STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT position) override;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override;
    STDMETHODIMP LockInPlaceActive(BOOL lock) override;
    STDMETHODIMP GetExtendedControl(IDispatch** dispatch) override;
    STDMETHODIMP TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    STDMETHODIMP TranslateAccelerator(MSG* msg, DWORD modifiers) override;
    STDMETHODIMP OnFocus(BOOL gotFocus) override;
    STDMETHODIMP ShowPropertyFrame() override;

    // IOleContainer
    STDMETHODIMP EnumObjects(DWORD flags, IEnumUnknown** enumerator) override;
    STDMETHODIMP LockContainer(BOOL lock) override;

    // IParseDisplayName
    STDMETHODIMP ParseDisplayName(IBindCtx* context, LPOLESTR name, ULONG* eaten, IMoniker** moniker) override;

private:
    ~CActiveXCtrl();
    HWND CreateHostWindow();

    LONG refCount_;
    CActiveXUI* owner_;
    CActiveXWnd* hostWnd_;
    IUnknown* site_;
    IViewObject* viewObject_;
    IOleInPlaceObjectWindowless* inPlaceObject_;
    bool inPlaceActive_;
    bool windowless_;
    bool uiActive_;
    bool focused_;
    bool captured_;
    bool locked_;
    // The object is held running while it is in-place active.
    bool runningLocked_;
    HACCEL accelerators_;
};

}  // namespace UiLib
