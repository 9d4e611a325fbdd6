#pragma once
// A drop-down list: a button-like control that shows the text of its selected
// row and opens a pop-up window listing its rows when activated. The rows are
// its own children and it is their list owner; the pop-up only borrows them
// while it is open.
#include "ContainerUI.h"
#include "ListInterfaces.h"

namespace UiLib {

class CComboWnd;

class CComboUI : public CContainerUI, public IListOwnerUI {
public:
    CComboUI();
    ~CComboUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    bool TryActivate() override;
    CUiString GetText() const override;
    void SetBounds(const RECT& rc) override;
    void SetEnabled(bool enabled = true) override;
    SIZE MeasureSize(SIZE available) override;
    void Paint(HDC hdc, const RECT& dirty) override;
    void PaintStateImage(HDC hdc) override;
    void PaintText(HDC hdc) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool SetItemIndex(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    UiListInfo* GetListInfo() override;
    int GetSelectedIndex() const override;
    bool SelectItem(int index, bool takeFocus = false) override;

    RECT GetTextPadding() const { return textPadding_; }
    void SetTextPadding(const RECT& padding);
    const CUiString& GetDropBoxAttributes() const { return dropBoxAttributes_; }
    void SetDropBoxAttributes(const wchar_t* attributes);
    SIZE GetDropBoxSize() const { return dropBoxSize_; }
    void SetDropBoxSize(SIZE size);
    bool IsDropped() const { return dropWindow_ != nullptr; }
    HWND GetDropWindow() const;

    // Called by the pop-up as its window goes.
    void OnDropWindowGone();

protected:
    static const UINT kStateFocused = 0x01;
    static const UINT kStateDisabled = 0x04;
    static const UINT kStateHot = 0x08;
    static const UINT kStatePushed = 0x10;
    static const UINT kStateCaptured = 0x40;

    // Draws the selected row's text (or the selected control) into rc.
    void PaintSelection(HDC hdc, const RECT& rc);
    // Follows focus and enabled state in the state bits.
    void UpdateStateBits();
    // The rows after a removal at position, renumbered, and the selection
    // moved to the nearest selectable row when the selected one went.
    void AfterRemoval(int position);
    void Renumber(int first, int last);

    CComboWnd* dropWindow_;
    int selected_;
    CUiRect textPadding_;
    CUiString dropBoxAttributes_;
    SIZE dropBoxSize_;
    UINT state_;
    CUiString normalImage_;
    CUiString hotImage_;
    CUiString pushedImage_;
    CUiString focusedImage_;
    CUiString disabledImage_;
    UiListInfo listInfo_;
};

}  // namespace UiLib
