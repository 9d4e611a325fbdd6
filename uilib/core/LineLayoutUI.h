#pragma once
// What the vertical and the horizontal layout share: the placement of the
// children along one axis, and the separator band on one edge that resizes
// the layout when it is dragged.
#include "ContainerUI.h"

namespace UiLib {

inline int AtLeastZero(int value)
{
    return value < 0 ? 0 : value;
}

// A size raised to the minimum, then lowered to the maximum (the maximum wins).
inline int ClampToLimits(int size, int minimum, int maximum)
{
    if (size < minimum)
        size = minimum;
    if (size > maximum)
        size = maximum;
    return size;
}

class CLineLayoutUI : public CContainerUI {
public:
    UINT GetInputFlags() override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintAfter(HDC hdc, const RECT& dirty) override;

    // Positive sizes put the band inside the bottom (right) edge, negative
    // ones inside the top (left) edge; 0 means no separator.
    void SetSeparatorWidth(int size);
    // Immediate: the layout follows the drag; else a bar shows the new edge
    // and the layout takes it when the button is released.
    void SetImmediateDrag(bool immediate);
    // The band in the live drag rect (while a drag runs and live is true)
    // or in the item rect.
    RECT GetSeparatorRect(bool live) const;

protected:
    CLineLayoutUI(bool vertical, const wchar_t* separatorAttribute);

    // Places the children in the client rect along the layout's axis and
    // returns the length that they need along it.
    int ArrangeChildren(const RECT& client);

private:
    LONG& Start(RECT& rc) const { return vertical_ ? rc.top : rc.left; }
    LONG& End(RECT& rc) const { return vertical_ ? rc.bottom : rc.right; }
    LONG Coordinate(POINT pt) const { return vertical_ ? pt.y : pt.x; }
    bool IsDragging() const { return (buttonState_ & kStateDragging) != 0; }
    bool ProcessSeparatorEvent(const UiEvent& event);
    void DragTo(POINT pt);

    const bool vertical_;
    const wchar_t* const separatorAttribute_;
    int separatorSize_;
    // The drag runs while this bit of the button-state bits is set.
    static const UINT kStateDragging = 0x40;
    bool immediate_;
    UINT buttonState_;
    POINT lastPoint_;
    RECT dragRect_;
};

}  // namespace UiLib
