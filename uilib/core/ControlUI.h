#pragma once
// The base of every element of a skin: its place in the tree, geometry and
// layout wishes, state, texts, colours, background image and borders, and the
// one table of virtual operations that the manager, the containers, the
// layouts and every control use.
#include "UiEventSource.h"
#include "UiManager.h"
#include "UiRect.h"
#include "UiString.h"

#include "Win32Prelude.h"

namespace UiLib {

// Bits of CControlUI::GetInputFlags.
const UINT kUiFlagTabStop = 0x01;
const UINT kUiFlagSetCursor = 0x02;
const UINT kUiFlagWantReturn = 0x04;

// Placement of a floating child that follows its parent's growth.
struct UiRelativeAnchor {
    bool enabled;
    SIZE parentSize;
    int moveX;
    int moveY;
    int zoomX;
    int zoomY;
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CUiString GetName() const;
    virtual void SetName(const wchar_t* name);
    virtual const wchar_t* GetTypeName() const;
    virtual void* CastByName(const wchar_t* name);
    virtual UINT GetInputFlags();
    virtual bool TryActivate();
    virtual CUiManager* GetOwnerManager() const;
    virtual void AttachToManager(CUiManager* manager, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParentControl() const;
    virtual CUiString GetText() const;
    virtual void SetText(const wchar_t* text);
    virtual const RECT& GetBounds() const;
    virtual void SetBounds(const RECT& rc);
    virtual int GetBoundsWidth() const;
    virtual int GetBoundsHeight() const;
    virtual int GetBoundsLeft() const;
    virtual int GetBoundsTop() const;
    virtual RECT GetPaddingRect() const;
    virtual void SetPaddingRect(const RECT& padding);
    virtual SIZE GetFixedOffset() const;
    virtual void SetFixedOffset(SIZE offset);
    virtual int GetPreferredWidth() const;
    virtual void SetPreferredWidth(int width);
    virtual int GetPreferredHeight() const;
    virtual void SetPreferredHeight(int height);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int width);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int width);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int height);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int height);
    virtual void SetRelativeAnchor(int moveX, int moveY, int zoomX, int zoomY);
    virtual void SetAnchorParentSize(SIZE size);
    virtual const UiRelativeAnchor& GetRelativeAnchor() const;
    virtual bool HasRelativeAnchor() const;
    virtual CUiString GetTooltip() const;
    virtual void SetTooltip(const wchar_t* text);
    virtual void SetTooltipWidth(int width);
    virtual int GetTooltipWidth() const;
    virtual wchar_t GetShortcutKey() const;
    virtual void SetShortcutKey(wchar_t key);
    virtual bool HasContextMenu() const;
    virtual void SetContextMenu(bool menu);
    virtual const CUiString& GetUserText() const;
    virtual void SetUserText(const wchar_t* text);
    virtual int GetUserTag() const;
    virtual void SetUserTag(int tag);
    virtual bool IsShown() const;
    virtual void SetShown(bool visible = true);
    virtual void SetShownByParent(bool visible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool enabled = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool enabled = true);
    virtual bool HasFocus() const;
    virtual void TakeFocus();
    virtual bool IsFloating() const;
    virtual void SetFloating(bool floating = true);
    virtual CControlUI* Search(UiFindControlProc proc, void* data, UINT flags);
    virtual void RunInit();
    virtual void InitHook();
    virtual void HandleEvent(UiEvent& event);
    virtual void ProcessEvent(UiEvent& event);
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    virtual SIZE MeasureSize(SIZE available);
    virtual void Paint(HDC hdc, const RECT& dirty);
    virtual void PaintBackgroundColor(HDC hdc);
    virtual void PaintBackgroundImage(HDC hdc);
    virtual void PaintStateImage(HDC hdc);
    virtual void PaintText(HDC hdc);
    virtual void PaintBorder(HDC hdc);
    virtual void PaintAfter(HDC hdc, const RECT& dirty);

    CUiString GetVirtualWindow() const;
    void SetVirtualWindow(const wchar_t* name);
    bool IsUpdateNeeded() const { return updateNeeded_; }

    DWORD GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(DWORD color);
    DWORD GetBackgroundColor2() const { return backgroundColor2_; }
    void SetBackgroundColor2(DWORD color);
    DWORD GetBackgroundColor3() const { return backgroundColor3_; }
    void SetBackgroundColor3(DWORD color);
    const CUiString& GetBackgroundImage() const { return backgroundImage_; }
    void SetBackgroundImage(const wchar_t* image);
    DWORD GetBorderColor() const { return borderColor_; }
    void SetBorderColor(DWORD color);
    DWORD GetFocusBorderColor() const { return focusBorderColor_; }
    void SetFocusBorderColor(DWORD color);
    bool IsColorHsl() const { return colorHsl_; }
    void SetColorHsl(bool hsl);
    int GetBorderSize() const { return borderSize_; }
    void SetBorderSize(int size);
    void SetBorderSides(const RECT& sides);
    void SetLeftBorderSize(int size);
    void SetTopBorderSize(int size);
    void SetRightBorderSize(int size);
    void SetBottomBorderSize(int size);
    void SetBorderStyle(int style);
    SIZE GetBorderRound() const { return borderRound_; }
    void SetBorderRound(SIZE round);
    DWORD ApplyHslToColor(DWORD color) const;

    void Invalidate();
    void MarkForUpdate();
    void MarkParentForUpdate();
    void ApplyAttributeString(const wchar_t* attributes);
    bool PaintImageSpec(HDC hdc, const wchar_t* image, const wchar_t* modifier = nullptr);

    CUiEventSource OnInit;
    CUiEventSource OnDestroy;
    CUiEventSource OnSize;
    CUiEventSource OnEvent;
    CUiEventSource OnNotify;

protected:
    CUiManager* manager_;
    CControlUI* parent_;
    CUiString virtualWindow_;
    CUiString name_;
    bool updateNeeded_;
    bool contextMenu_;
    CUiRect itemRect_;
    CUiRect padding_;
    int fixedX_;
    int fixedY_;
    int fixedWidth_;
    int fixedHeight_;
    int minWidth_;
    int minHeight_;
    int maxWidth_;
    int maxHeight_;
    bool visible_;
    bool innerVisible_;
    bool enabled_;
    bool mouseEnabled_;
    bool keyboardEnabled_;
    bool focused_;
    bool floating_;
    bool sizeEventGuard_;
    UiRelativeAnchor anchor_;
    CUiString text_;
    CUiString tooltip_;
    wchar_t shortcut_;
    CUiString userText_;
    int userTag_;
    DWORD backgroundColor_;
    DWORD backgroundColor2_;
    DWORD backgroundColor3_;
    CUiString backgroundImage_;
    CUiString foreImage_;
    DWORD borderColor_;
    DWORD focusBorderColor_;
    bool colorHsl_;
    int borderSize_;
    int borderStyle_;
    int tooltipWidth_;
    SIZE borderRound_;
    CUiRect paintRect_;
    int leftBorderSize_;
    int topBorderSize_;
    int rightBorderSize_;
    int bottomBorderSize_;
};

}  // namespace UiLib
