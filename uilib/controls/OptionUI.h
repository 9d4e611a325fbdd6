#pragma once
// A button that can be selected: alone it toggles, in a named group of its
// window it behaves as a radio button. Changes are reported as
// "selectchanged".
#include "ButtonUI.h"

namespace UiLib {

class COptionUI : public CButtonUI {
public:
    COptionUI();
    ~COptionUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    bool TryActivate() override;
    void AttachToManager(CUiManager* manager, CControlUI* parent, bool init = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC hdc) override;
    void PaintText(HDC hdc) override;
    virtual void SetSelected(bool selected);

    bool IsSelected() const { return selected_; }
    const CUiString& GetGroup() const { return group_; }
    void SetGroup(const wchar_t* group);

    const CUiString& GetSelectedImage() const { return selectedImage_; }
    void SetSelectedImage(const wchar_t* image);
    const CUiString& GetSelectedHotImage() const { return selectedHotImage_; }
    void SetSelectedHotImage(const wchar_t* image);
    const CUiString& GetOptionForeImage() const { return optionForeImage_; }
    void SetOptionForeImage(const wchar_t* image);
    DWORD GetSelectedBkColor() const { return selectedBkColor_; }
    void SetSelectedBkColor(DWORD color);
    DWORD GetSelectedTextColor() const { return selectedTextColor_; }
    void SetSelectedTextColor(DWORD color);

private:
    // True when the selected state painted itself and nothing more is drawn.
    bool PaintSelectedState(HDC hdc);

    bool selected_;
    CUiString group_;
    DWORD selectedBkColor_;
    DWORD selectedTextColor_;
    CUiString selectedImage_;
    CUiString selectedHotImage_;
    CUiString optionForeImage_;
};

}  // namespace UiLib
