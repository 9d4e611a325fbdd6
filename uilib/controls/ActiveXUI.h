#pragma once
// A control that hosts a COM control (ActiveX) in a skinned window. The
// object runs windowless on the manager's window when it agrees to, and else
// in a child window of its own; the control keeps its extent and position in
// step with the control's rect, and feeds a windowless object its messages.
#include "ControlUI.h"
#include "MessageFilterUI.h"
#include "UiString.h"

#include "Win32Prelude.h"
#include <ole2.h>

namespace UiLib {

class CActiveXCtrl;

class CActiveXUI : public CControlUI, public IMessageFilterUI {
public:
    CActiveXUI();
    ~CActiveXUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetBounds(const RECT& rc) override;
    void SetShown(bool visible = true) override;
    void SetShownByParent(bool visible = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(HDC hdc, const RECT& dirty) override;

    virtual void ReleaseControl();
    virtual bool CreateControl();

    LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    bool SetClsid(const wchar_t* text);
    bool SetClsid(const CLSID& clsid);
    const CLSID& GetClsid() const { return clsid_; }
    void SetModuleName(const wchar_t* name);
    const CUiString& GetModuleName() const { return moduleName_; }
    void SetDelayCreate(bool delay);
    bool IsDelayCreate() const { return delayCreate_; }
    bool IsCreated() const { return created_; }
    HRESULT GetControl(REFIID iid, void** out);
    // The window the object lives in: the manager's when windowless, else its own.
    HWND GetHostWindow() const { return hostWindow_; }

protected:
    friend class CActiveXCtrl;
    friend class CActiveXWnd;

    IOleObject* CreateObject();
    bool ActivateObject();
    void ShowHostWindow();

    CUiString moduleName_;
    bool created_;
    bool delayCreate_;
    IOleObject* object_;
    CActiveXCtrl* site_;
    HWND hostWindow_;
    CLSID clsid_;
};

}  // namespace UiLib
