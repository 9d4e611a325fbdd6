#pragma once
// A combo that draws one arrow image at its right end in place of its state
// images; the image holds five states side by side.
#include "ComboUI.h"

namespace UiLib {

class CComboBoxUI : public CComboUI {
public:
    CComboBoxUI();

    const wchar_t* GetTypeName() const override;
    void PaintStateImage(HDC hdc) override;
    void PaintText(HDC hdc) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    const CUiString& GetArrowImage() const { return arrowImage_; }
    void SetArrowImage(const wchar_t* image);

private:
    // The slice of the arrow image for the current state.
    int ArrowStateIndex() const;

    CUiString arrowImage_;
    int arrowWidth_;
};

}  // namespace UiLib
