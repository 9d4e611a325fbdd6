#pragma once
// A list row that holds other controls: selected, hot and activated as a
// row, laid out and painted as a container over the row's background.
#include "ContainerUI.h"
#include "ListRowParts.h"

namespace UiLib {

class CListContainerElementUI : public CContainerUI, public IListItemUI {
public:
    CListContainerElementUI() = default;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    bool TryActivate() override;
    void SetShown(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void ProcessEvent(UiEvent& event) override;
    void Paint(HDC hdc, const RECT& dirty) override;

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
    UiListRowPart row_;
};

}  // namespace UiLib
