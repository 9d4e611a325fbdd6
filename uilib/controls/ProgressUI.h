#pragma once
// A label that fills the part of its rectangle that its value takes between a
// minimum and a maximum with a fore image, sideways or upward.
#include "LabelUI.h"

namespace UiLib {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC hdc) override;

    bool IsHorizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal = true);
    bool IsStretchForeImage() const { return stretchForeImage_; }
    void SetStretchForeImage(bool stretch = true);
    int GetMinValue() const { return minimum_; }
    void SetMinValue(int minimum);
    int GetMaxValue() const { return maximum_; }
    void SetMaxValue(int maximum);
    int GetValue() const { return value_; }
    void SetValue(int value);
    const CUiString& GetForeImage() const { return foreImage_; }
    void SetForeImage(const wchar_t* image);

protected:
    // The limits and the value made consistent (the maximum above the
    // minimum, the value between them); the setters store what they get.
    struct Limits {
        int minimum;
        int maximum;
        int value;
    };
    Limits GetLimits() const;
    // part * length / whole, taken wide because the limits come from the
    // skin; 0 for an empty whole.
    static int Scale(long long part, long long length, long long whole);
    static int ReadInt(const wchar_t* value);
    // The part of (0, 0, width, height) that the value fills, in control
    // coordinates.
    RECT GetFillRect(const Limits& limits) const;

    bool horizontal_;
    bool stretchForeImage_;
    int maximum_;
    int minimum_;
    int value_;
    CUiString foreImageModifier_;
};

}  // namespace UiLib
