#pragma once
// The child window that a hosted COM control lives in when it does not run
// windowless. The window deletes its object when it is gone.
#include "WindowWnd.h"

namespace UiLib {

class CActiveXCtrl;

class CActiveXWnd : public CWindowWnd {
public:
    explicit CActiveXWnd(CActiveXCtrl* owner);

    HWND Init(HWND parent);
    // The site is going away: the window no longer reaches it.
    void DetachOwner() { owner_ = nullptr; }

    const wchar_t* GetRegisteredClassName() const override;
    UINT GetRegisteredClassStyle() const override;
    LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;

private:
    void DoVerb(LONG verb);
    void OnSetFocus();
    LRESULT OnMouseActivate(WPARAM wParam, LPARAM lParam);

    CActiveXCtrl* owner_;
};

}  // namespace UiLib
