#pragma once
// The push button: a label with a hot/pushed/focused/disabled state machine
// driven by mouse and keys, one image per state, a fore image on top and
// text colours per state. A completed click is reported as "click".
#include "LabelUI.h"

namespace UiLib {

// Bits of CButtonUI::GetButtonState.
const UINT kUiStateFocused = 0x01;
const UINT kUiStateSelected = 0x02;
const UINT kUiStateDisabled = 0x04;
const UINT kUiStateHot = 0x08;
const UINT kUiStatePushed = 0x10;
const UINT kUiStateCaptured = 0x40;

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    ~CButtonUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    bool TryActivate() override;
    void SetEnabled(bool enabled = true) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC hdc) override;
    void PaintText(HDC hdc) override;

    UINT GetButtonState() const { return state_; }

    const CUiString& GetNormalImage() const { return normalImage_; }
    void SetNormalImage(const wchar_t* image);
    const CUiString& GetHotImage() const { return hotImage_; }
    void SetHotImage(const wchar_t* image);
    const CUiString& GetHotForeImage() const { return hotForeImage_; }
    void SetHotForeImage(const wchar_t* image);
    const CUiString& GetPushedImage() const { return pushedImage_; }
    void SetPushedImage(const wchar_t* image);
    const CUiString& GetFocusedImage() const { return focusedImage_; }
    void SetFocusedImage(const wchar_t* image);
    const CUiString& GetDisabledImage() const { return disabledImage_; }
    void SetDisabledImage(const wchar_t* image);
    const CUiString& GetForeImage() const { return foreImage_; }
    void SetForeImage(const wchar_t* image);

    DWORD GetHotBkColor() const { return hotBkColor_; }
    void SetHotBkColor(DWORD color);
    DWORD GetHotTextColor() const { return hotTextColor_; }
    void SetHotTextColor(DWORD color);
    DWORD GetPushedTextColor() const { return pushedTextColor_; }
    void SetPushedTextColor(DWORD color);
    DWORD GetFocusedTextColor() const { return focusedTextColor_; }
    void SetFocusedTextColor(DWORD color);

protected:
    // Stores an image attribute (null empties it) and repaints.
    void StoreImage(CUiString& target, const wchar_t* image);
    // Draws an image attribute; one that fails is emptied so it is not tried
    // again. Returns whether it was drawn.
    bool PaintImageOnce(HDC hdc, CUiString& image);
    // Refreshes the focused and disabled bits from the control's state.
    void RefreshStateBits();

    UINT state_;
    DWORD hotBkColor_;
    DWORD hotTextColor_;
    DWORD pushedTextColor_;
    DWORD focusedTextColor_;
    CUiString normalImage_;
    CUiString hotImage_;
    CUiString hotForeImage_;
    CUiString pushedImage_;
    CUiString focusedImage_;
    CUiString disabledImage_;
};

}  // namespace UiLib
