#pragma once
// A label that shows a date as "yyyy-mm-dd" and, while it is focused or
// clicked, is covered by the system's date-time picker; the date picked is
// taken over when the picker loses the focus.
#include "LabelUI.h"
#include "WindowWnd.h"

#include "Win32Prelude.h"

namespace UiLib {

class CDateTimeUI;

// The native picker of a CDateTimeUI. It closes itself when it loses the
// focus or on Delete or Escape, and then deletes itself.
class CDateTimeWnd : public CWindowWnd {
public:
    CDateTimeWnd();
    ~CDateTimeWnd() override;

    const wchar_t* GetRegisteredClassName() const override;
    const wchar_t* GetSuperclassBaseName() const override;
    LRESULT ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND window) override;

    // Opens the picker over the owner, making the window on first use, with
    // the owner's date and the focus. Returns false when no window could be
    // made (the object may then be gone).
    bool Init(CDateTimeUI* owner);
    // The owner is going away before the window: forget it and close now.
    void DetachOwner();

private:
    void CloseLater();

    CDateTimeUI* owner_;
    bool initialised_;
};

class CDateTimeUI : public CLabelUI {
    friend class CDateTimeWnd;

public:
    // What the last opening of the picker came to.
    enum UpdateState {
        kPickerOpen = 0,
        kDateTaken = 1,
        kDateCleared = 2,
        kPickCancelled = 3,
    };

    CDateTimeUI();
    ~CDateTimeUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void ProcessEvent(UiEvent& event) override;

    const SYSTEMTIME& GetTime() const { return time_; }
    // Takes the date as if it had been picked.
    void SetTime(const SYSTEMTIME& time);
    int GetUpdateState() const { return updateState_; }
    // Shows the date, or nothing after the date was cleared, by the state.
    void UpdateText();
    // The picker while it is open, else null.
    HWND GetNativeWindow() const;

private:
    void OpenPicker(bool create);

    SYSTEMTIME time_;
    int updateState_;
    CDateTimeWnd* window_;
};

}  // namespace UiLib
