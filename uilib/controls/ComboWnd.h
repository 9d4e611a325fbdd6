#pragma once
// The borderless pop-up of a combo. It has a manager of its own that shares
// the combo manager's resources, and a vertical layout into which it lends
// the combo's rows while it is open; it deletes itself when its window goes.
#include "UiManager.h"
#include "WindowWnd.h"

namespace UiLib {

class CComboUI;
class CControlUI;
class CVerticalLayoutUI;

class CComboWnd : public CWindowWnd {
public:
    explicit CComboWnd(CComboUI* combo);
    ~CComboWnd() override;

    // Places and shows the pop-up below (or above) the combo. False when the
    // window could not be made; when its window existed for a moment the
    // object has deleted itself and told the combo (OnDropWindowGone).
    bool Init();
    // The combo is being destroyed: its rows go back to it at once and the
    // window is destroyed without calling it again.
    void DetachCombo();
    // A row leaves the combo while the pop-up shows it: the pop-up lets go
    // of it before the combo deletes it.
    void ForgetRow(CControlUI* row);

    const wchar_t* GetRegisteredClassName() const override;
    LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;

private:
    RECT PlacePopup() const;
    void OnCreate();
    void OnKeyDown(WPARAM key, LPARAM lParam);
    void ReturnRows();
    void ScrollSelectionIntoView();

    CUiManager manager_;
    CComboUI* combo_;
    CVerticalLayoutUI* layout_;
    int oldSelection_;
    bool rowsLent_;
};

}  // namespace UiLib
