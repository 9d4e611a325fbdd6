#pragma once
// Multi-line text, usually markup, whose links are clickable: a click on a
// link is reported as "link" with the link's index in wParam.
#include "LabelUI.h"

namespace UiLib {

class CTextUI : public CLabelUI {
public:
    static constexpr int kMaxLinks = 8;

    CTextUI();
    ~CTextUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    void ProcessEvent(UiEvent& event) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintText(HDC hdc) override;

    int GetLinkCount() const { return linkCount_; }
    // The link's text, or an empty text for an index out of range.
    CUiString GetLinkText(int index) const;
    RECT GetLinkRect(int index) const;
    int GetHoveredLink() const { return hoveredLink_; }

private:
    int FindLinkAt(POINT pt) const;

    int linkCount_;
    RECT linkRects_[kMaxLinks];
    CUiString linkTexts_[kMaxLinks];
    int hoveredLink_;
};

}  // namespace UiLib
