#pragma once
// The layout that arranges its children in a grid of equal columns, each
// child centred in its cell.
#include "ContainerUI.h"

namespace UiLib {

class CTileLayoutUI : public CContainerUI {
public:
    CTileLayoutUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetBounds(const RECT& rc) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    SIZE GetItemSize() const { return itemSize_; }
    void SetItemSize(SIZE size);
    int GetColumns() const { return columns_; }
    void SetColumns(int columns);

private:
    RECT CellBox(CControlUI& child, int cellLeft, int cellWidth, int column, int columnCount) const;
    int RowHeight(int first, int cellWidth, int columnCount) const;

    SIZE itemSize_;
    int columns_;
};

}  // namespace UiLib
