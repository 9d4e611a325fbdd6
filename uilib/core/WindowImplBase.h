#pragma once
// The base of every skinned top-level window: it loads the window's skin,
// builds its control tree into the embedded manager and draws its own frame
// (no caption, hit testing by the skin's caption and size box).
#include "DialogBuilder.h"
#include "MessageFilterUI.h"
#include "NotifyPump.h"
#include "UiManager.h"
#include "UiString.h"
#include "WindowWnd.h"

namespace UiLib {

// Where GetSkinMarkupName() is read from.
enum UiSkinSource {
    SkinFromFolder = 1,       // files in the resource folder
    SkinFromZipFile = 2,      // entries of GetSkinZipName() in the resource folder, kept open
    SkinFromResource = 3,     // resource of type "xml", id = decimal value of the markup name
    SkinFromZipResource = 4,  // entries of the "ZIPRES" resource GetSkinResourceId(), copied to memory
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase();

    const wchar_t* GetRegisteredClassName() const override = 0;
    const wchar_t* GetSuperclassBaseName() const override;
    UINT GetRegisteredClassStyle() const override;
    LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;
    ~WindowImplBase() override;
    virtual void OnSkinLoaded();
    virtual void OnClick(UiNotify& notify);
    virtual CUiString GetSkinDirectory();
    virtual CUiString GetSkinMarkupName() = 0;
    virtual int GetSkinSource();
    virtual CUiString GetSkinZipName();
    virtual const wchar_t* GetSkinResourceId();
    virtual LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcActivate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnSetFocus(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnLButtonUp(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT HandleOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual DWORD GetWindowStyle() const;

    // INotifyUI, IMessageFilterUI and IDialogBuilderCallback.
    void Notify(UiNotify& notify) override;
    LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CControlUI* CreateCustomControl(const wchar_t* className) override;

    const UiNotifyMap* GetNotifyMap() const override;
    static const UiNotifyMap* GetThisNotifyMap();

    CUiManager& GetManager() { return manager_; }

protected:
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void ClickThunk(UiNotify& notify);

    CUiManager manager_;

private:
    static const UiNotifyMapEntry kNotifyEntries[];
    static const UiNotifyMap kNotifyMap;

    LRESULT RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    bool OpenSkinSource();
    void FailSkinLoading();
};

}  // namespace UiLib
