#pragma once
// The single-line text box: a label that paints its own text and state image
// while idle and, while it has the focus, is covered by a native edit window
// over its padded text area. Typing is copied back into the control and
// reported as "textchanged"; Return is reported as "return".
#include "ButtonUI.h"
#include "LabelUI.h"
#include "UiGdi.h"
#include "WindowWnd.h"

namespace UiLib {

class CEditUI;

// The events that a control covered by a native window while it is edited
// (the edit, the date-time picker) treats alike: mouse events while it is not
// mouse-enabled, the cursor, a window size and the wheel while the native
// window is open. Returns true when the event needs nothing more.
bool HandleCoveredControlEvent(CLabelUI& control, UiEvent& event, bool windowOpen);

// The native edit window of a CEditUI while it is being edited. It closes
// itself whenever it loses the keyboard focus and then deletes itself.
class CEditWnd : public CWindowWnd {
public:
    CEditWnd();
    ~CEditWnd() override;

    const wchar_t* GetRegisteredClassName() const override;
    const wchar_t* GetSuperclassBaseName() const override;
    UINT GetRegisteredClassStyle() const override;
    LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;

    // Creates and shows the window over the owner and gives it the focus.
    // Returns false when no window could be made (the object is then gone).
    virtual bool Init(CEditUI* owner);
    virtual RECT GetEditRect() const;

    // The owner is going away before the window: forget it and close now.
    void DetachOwner();

private:
    // Takes the window text over into the owner, without a repaint.
    void CopyTextToOwner();
    LRESULT ColorNativeWindow(HDC hdc);

    CEditUI* owner_;
    ScopedGdiObject backgroundBrush_;
    bool initialised_;
};

class CEditUI : public CLabelUI {
    friend class CEditWnd;

public:
    // The native background colour that means "the system's colours".
    static const DWORD kNoNativeColor = 0xFFFFFFFF;

    CEditUI();
    ~CEditUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    void SetText(const wchar_t* text) override;
    void SetBounds(const RECT& rc) override;
    void SetShown(bool visible = true) override;
    void SetShownByParent(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC hdc) override;
    void PaintText(HDC hdc) override;

    void SetMaxChar(int count);
    int GetMaxChar() const { return maxChar_; }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return readOnly_; }
    void SetPassword(bool password);
    bool IsPassword() const { return password_; }
    wchar_t GetPasswordChar() const { return passwordChar_; }
    void SetNumberOnly(bool numberOnly);
    bool IsNumberOnly() const;
    void SetNativeBkColor(DWORD color) { nativeBkColor_ = color; }
    DWORD GetNativeBkColor() const { return nativeBkColor_; }
    UINT GetEditState() const { return state_; }
    // The native edit window while the control is being edited, else null.
    HWND GetNativeWindow() const;

    const CUiString& GetNormalImage() const { return normalImage_; }
    void SetNormalImage(const wchar_t* image);
    const CUiString& GetHotImage() const { return hotImage_; }
    void SetHotImage(const wchar_t* image);
    const CUiString& GetFocusedImage() const { return focusedImage_; }
    void SetFocusedImage(const wchar_t* image);
    const CUiString& GetDisabledImage() const { return disabledImage_; }
    void SetDisabledImage(const wchar_t* image);

private:
    void OpenNativeWindow();
    void OnPress(const UiEvent& event);
    bool PaintImageOnce(HDC hdc, CUiString& image);
    CUiString MaskedText() const;

    CEditWnd* window_;
    int maxChar_;
    bool readOnly_;
    bool password_;
    wchar_t passwordChar_;
    UINT state_;
    CUiString normalImage_;
    CUiString hotImage_;
    CUiString focusedImage_;
    CUiString disabledImage_;
    DWORD nativeBkColor_;
    UINT extraStyles_;
};

}  // namespace UiLib
