#pragma once
// One column title of a list header. Its right (or, with a negative
// separator width, left) edge is a separator that the user drags to resize
// the column; a click elsewhere reports "headerclick".
#include "ControlUI.h"

namespace UiLib {

class CListHeaderItemUI : public CControlUI {
public:
    static const UINT kStateFocused = 0x01;
    static const UINT kStateHot = 0x08;
    static const UINT kStatePushed = 0x10;
    static const UINT kStateDragging = 0x40;

    CListHeaderItemUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void ProcessEvent(UiEvent& event) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC hdc) override;
    void PaintText(HDC hdc) override;

    bool IsDraggable() const { return draggable_; }
    void SetDraggable(bool draggable);
    int GetSeparatorWidth() const { return separatorWidth_; }
    void SetSeparatorWidth(int width);
    UINT GetState() const { return state_; }
    // The band where the separator image is drawn, in window coordinates.
    RECT GetSeparatorRect() const;

private:
    RECT SeparatorZone() const;
    bool InSeparatorZone(POINT pt) const;
    void OnPress(const UiEvent& event);
    void DragTo(POINT pt);
    void OnRelease();
    void MarkListForUpdate();
    bool PaintItemImage(HDC hdc, CUiString& image, const wchar_t* modifier = nullptr);

    POINT lastMouse_;
    bool draggable_;
    UINT state_;
    int separatorWidth_;
    DWORD textColor_;
    int font_;
    UINT textStyle_;
    bool showHtml_;
    CUiRect textPadding_;
    CUiString normalImage_;
    CUiString hotImage_;
    CUiString pushedImage_;
    CUiString focusedImage_;
    CUiString separatorImage_;
    CUiString separatorModifier_;
};

}  // namespace UiLib
