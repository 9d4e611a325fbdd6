#pragma once
// The static text control and the base of every control that shows a text:
// colours, font, DrawText style, padding, optional markup, and an optional
// effects mode that draws the text with gradient brushes, a shadow and a
// stroke through GDI+.
#include "ControlUI.h"

#include "Win32Prelude.h"

namespace UiLib {

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    ~CLabelUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    CUiString GetText() const override;
    void SetText(const wchar_t* text) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintText(HDC hdc) override;

    void SetTextColor(DWORD color);
    DWORD GetTextColor() const { return textColor_; }
    void SetDisabledTextColor(DWORD color);
    DWORD GetDisabledTextColor() const { return disabledTextColor_; }
    void SetFont(int index);
    int GetFont() const { return font_; }
    void SetTextStyle(UINT style);
    UINT GetTextStyle() const { return textStyle_; }
    void SetTextPadding(const RECT& padding);
    RECT GetTextPadding() const { return textPadding_; }
    void SetShowHtml(bool show = true);
    bool IsShowHtml() const { return showHtml_; }

    void SetEffectsEnabled(bool enabled);
    bool IsEffectsEnabled() const { return effectsEnabled_; }
    void SetStrokeEnabled(bool enabled);
    bool IsStrokeEnabled() const { return strokeEnabled_; }
    void SetShadowEnabled(bool enabled);
    bool IsShadowEnabled() const { return shadowEnabled_; }
    void SetTextRenderingHint(int hint);
    int GetTextRenderingHint() const { return renderingHint_; }
    void SetShadowStartAlpha(int alpha);
    void SetShadowEndAlpha(int alpha);
    void SetTextStartAlpha(int alpha);
    void SetTextEndAlpha(int alpha);
    void SetStrokeAlpha(int alpha);
    void SetGradientLength(int length);
    void SetGradientStart(int x);
    void SetTextColor1(DWORD color);
    void SetShadowColorA(DWORD color);
    void SetShadowColorB(DWORD color);
    void SetStrokeColor(DWORD color);
    DWORD GetStrokeColor() const { return strokeColor_; }
    // distance in pixels, angle in degrees (-180..180; others are ignored).
    void SetShadowOffset(int distance, int angle);
    float GetShadowOffsetX() const { return shadowOffsetX_; }
    float GetShadowOffsetY() const { return shadowOffsetY_; }

protected:
    // Fills colours still 0 from the manager's defaults and stores them.
    void TakeDefaultColors();
    // The item rect less the text padding.
    RECT GetTextRect() const;
    // Draws text in rc, as markup or plain text by the show-HTML flag.
    void DrawLabelText(HDC hdc, RECT& rc, const wchar_t* text, DWORD color, UINT style);
    int GetFontHeight();
    // A control deaf to the mouse hands mouse events to its parent (or to
    // the label's handler when it has none); true when it did so.
    bool PassMouseEventUp(UiEvent& event);

    DWORD textColor_;
    DWORD disabledTextColor_;
    int font_;
    UINT textStyle_;
    CUiRect textPadding_;
    bool showHtml_;

private:
    void PaintEffectsText(HDC hdc);

    int shadowStartAlpha_;
    int shadowEndAlpha_;
    int textStartAlpha_;
    int textEndAlpha_;
    int strokeAlpha_;
    int gradientLength_;
    int gradientStart_;
    bool effectsEnabled_;
    bool strokeEnabled_;
    bool shadowEnabled_;
    DWORD textColor1_;
    DWORD shadowColorA_;
    DWORD shadowColorB_;
    DWORD strokeColor_;
    float shadowOffsetX_;
    float shadowOffsetY_;
    CUiString labelText_;
    int renderingHint_;
};

}  // namespace UiLib
