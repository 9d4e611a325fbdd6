#pragma once
// The skinned scroll bar: two arrow buttons, a track and a draggable thumb.
// A bar owned by a container never scrolls anything itself but asks its owner
// to step or to move, and the owner keeps the bar's range and position in
// step; a bar without owner keeps its own position and reports "scroll".
#include "ControlUI.h"

namespace UiLib {

class CContainerUI;

// The images of one part of the bar, one per state.
struct UiScrollBarImages {
    CUiString normal;
    CUiString hot;
    CUiString pushed;
    CUiString disabled;
};

class CScrollBarUI : public CControlUI {
public:
    // Timer that repeats a held press and moves a dragged thumb.
    static const int kRepeatTimerId = 10;
    static const UINT kRepeatPeriod = 50;
    // Default thickness of a bar.
    static const int kDefaultThickness = 16;
    // State bits of the bar's parts, the same values as the buttons use.
    static const UINT kStateDisabled = 0x04;
    static const UINT kStateHot = 0x08;
    static const UINT kStatePushed = 0x10;
    static const UINT kStateCaptured = 0x40;

    CScrollBarUI();
    ~CScrollBarUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetBounds(const RECT& rc) override;
    void SetShown(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void TakeFocus() override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(HDC hdc, const RECT& dirty) override;

    CContainerUI* GetOwner() const;
    void SetOwner(CContainerUI* owner);

    bool IsHorizontal() const;
    void SetHorizontal(bool horizontal = true);
    int GetScrollRange() const;
    void SetScrollRange(int range);
    int GetScrollPos() const;
    void SetScrollPos(int pos);
    int GetLineSize() const;
    void SetLineSize(int size);

    bool IsButton1Shown() const;
    void SetShowButton1(bool show);
    bool IsButton2Shown() const;
    void SetShowButton2(bool show);

    // The parts' rects in window coordinates; an empty thumb rect means the
    // bar is too short for a thumb.
    const RECT& GetButton1Rect() const;
    const RECT& GetButton2Rect() const;
    const RECT& GetThumbRect() const;

    // State bits of the parts (kStateDisabled ... kStateCaptured).
    UINT GetButton1State() const;
    UINT GetButton2State() const;
    UINT GetThumbState() const;

    const CUiString& GetButton1NormalImage() const { return button1Images_.normal; }
    void SetButton1NormalImage(const wchar_t* image);
    const CUiString& GetButton1HotImage() const { return button1Images_.hot; }
    void SetButton1HotImage(const wchar_t* image);
    const CUiString& GetButton1PushedImage() const { return button1Images_.pushed; }
    void SetButton1PushedImage(const wchar_t* image);
    const CUiString& GetButton1DisabledImage() const { return button1Images_.disabled; }
    void SetButton1DisabledImage(const wchar_t* image);

    const CUiString& GetButton2NormalImage() const { return button2Images_.normal; }
    void SetButton2NormalImage(const wchar_t* image);
    const CUiString& GetButton2HotImage() const { return button2Images_.hot; }
    void SetButton2HotImage(const wchar_t* image);
    const CUiString& GetButton2PushedImage() const { return button2Images_.pushed; }
    void SetButton2PushedImage(const wchar_t* image);
    const CUiString& GetButton2DisabledImage() const { return button2Images_.disabled; }
    void SetButton2DisabledImage(const wchar_t* image);

    const CUiString& GetThumbNormalImage() const { return thumbImages_.normal; }
    void SetThumbNormalImage(const wchar_t* image);
    const CUiString& GetThumbHotImage() const { return thumbImages_.hot; }
    void SetThumbHotImage(const wchar_t* image);
    const CUiString& GetThumbPushedImage() const { return thumbImages_.pushed; }
    void SetThumbPushedImage(const wchar_t* image);
    const CUiString& GetThumbDisabledImage() const { return thumbImages_.disabled; }
    void SetThumbDisabledImage(const wchar_t* image);

    const CUiString& GetRailNormalImage() const { return railImages_.normal; }
    void SetRailNormalImage(const wchar_t* image);
    const CUiString& GetRailHotImage() const { return railImages_.hot; }
    void SetRailHotImage(const wchar_t* image);
    const CUiString& GetRailPushedImage() const { return railImages_.pushed; }
    void SetRailPushedImage(const wchar_t* image);
    const CUiString& GetRailDisabledImage() const { return railImages_.disabled; }
    void SetRailDisabledImage(const wchar_t* image);

    const CUiString& GetBkNormalImage() const { return backgroundImages_.normal; }
    void SetBkNormalImage(const wchar_t* image);
    const CUiString& GetBkHotImage() const { return backgroundImages_.hot; }
    void SetBkHotImage(const wchar_t* image);
    const CUiString& GetBkPushedImage() const { return backgroundImages_.pushed; }
    void SetBkPushedImage(const wchar_t* image);
    const CUiString& GetBkDisabledImage() const { return backgroundImages_.disabled; }
    void SetBkDisabledImage(const wchar_t* image);

private:
    void Relayout();
    void SetImage(CUiString& slot, const wchar_t* image);
    void OnPress(const POINT& pt);
    void OnRelease();
    void OnMouseMove(const POINT& pt);
    void OnTick();
    void StepLine(bool forward);
    void StepPage(bool forward);
    void MoveThumbTo(int pos);
    void NotifyScroll();
    int Thickness() const;
    int LengthInPixels() const;
    bool PaintPart(HDC hdc, const RECT& part, UINT& state, UiScrollBarImages& images);
    void PaintRail(HDC hdc);

    bool horizontal_;
    int range_;
    int position_;
    int lineSize_;
    CContainerUI* owner_;
    POINT dragOrigin_;
    int dragStartPosition_;
    int dragOffset_;
    int repeatTicks_;
    UiScrollBarImages backgroundImages_;
    bool button1Shown_;
    RECT button1Rect_;
    UINT button1State_;
    UiScrollBarImages button1Images_;
    bool button2Shown_;
    RECT button2Rect_;
    UINT button2State_;
    UiScrollBarImages button2Images_;
    RECT thumbRect_;
    UINT thumbState_;
    UiScrollBarImages thumbImages_;
    UiScrollBarImages railImages_;
    CUiString modifier_;
};

}  // namespace UiLib
