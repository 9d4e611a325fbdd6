#pragma once
// The plain list row: a control that its owner selects and activates; it
// paints as any control and draws no item text. The label and text rows
// build on it.
#include "ControlUI.h"
#include "ListRowParts.h"

namespace UiLib {

class CListElementUI : public CControlUI, public IListItemUI {
public:
    CListElementUI() = default;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    bool TryActivate() override;
    void SetShown(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void ProcessEvent(UiEvent& event) override;

    int GetIndex() const override;
    void SetIndex(int index) override;
    IListOwnerUI* GetOwner() override;
    void SetOwner(CControlUI* owner) override;
    bool IsSelected() const override;
    bool Select(bool selected = true) override;
    bool IsExpanded() const override;
    bool Expand(bool expand = true) override;
    void DrawItemText(HDC hdc, const RECT& rc) override;

protected:
    // Repaints the row within what its container shows.
    void InvalidateRow();
    // Mouse events of a row that is not mouse-enabled go to the owner.
    bool PassedOnAsMouseEvent(UiEvent& event);
    // The owner's record, or null without an owner.
    UiListInfo* ListInfo() const;
    bool IsHot() const { return (row_.state & kListRowHot) != 0; }

    UiListRowPart row_;
};

}  // namespace UiLib
