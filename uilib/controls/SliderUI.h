#pragma once
// A progress bar with a thumb that the mouse drags and the wheel steps; it
// reports "valuechanged" when a drag ends and at every wheel step.
#include "ProgressUI.h"

namespace UiLib {

class CSliderUI : public CProgressUI {
public:
    // State bits.
    static const UINT kStateHot = 0x08;
    static const UINT kStateCaptured = 0x40;

    CSliderUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    void SetEnabled(bool enabled = true) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC hdc) override;

    // The thumb in window coordinates.
    RECT GetThumbRect() const;
    UINT GetState() const { return state_; }
    int GetChangeStep() const { return step_; }
    void SetChangeStep(int step);
    SIZE GetThumbSize() const { return thumbSize_; }
    void SetThumbSize(SIZE size);
    const CUiString& GetThumbImage() const { return thumbImage_; }
    void SetThumbImage(const wchar_t* image);
    const CUiString& GetThumbHotImage() const { return thumbHotImage_; }
    void SetThumbHotImage(const wchar_t* image);
    const CUiString& GetThumbPushedImage() const { return thumbPushedImage_; }
    void SetThumbPushedImage(const wchar_t* image);

private:
    int ValueAt(POINT pt) const;
    void SetImage(CUiString& slot, const wchar_t* image);
    bool PaintThumb(HDC hdc, CUiString& image);

    SIZE thumbSize_;
    UINT state_;
    int step_;
    CUiString thumbImage_;
    CUiString thumbHotImage_;
    CUiString thumbPushedImage_;
    CUiString thumbModifier_;
};

}  // namespace UiLib
