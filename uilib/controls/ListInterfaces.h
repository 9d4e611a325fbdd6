#pragma once
// How list rows and their owners reach each other. A row never knows which
// control owns it: it asks the owner's "IListOwner" cast for the selection
// and the shared appearance record, and a list's "IList" cast for the text
// callback.
#include "UiListInfo.h"
#include "UiManager.h"

#include "Win32Prelude.h"

namespace UiLib {

class CControlUI;
class CContainerUI;

// Interface name "IListOwner".
class IListOwnerUI {
public:
    virtual UiListInfo* GetListInfo() = 0;
    virtual int GetSelectedIndex() const = 0;
    virtual bool SelectItem(int index, bool takeFocus = false) = 0;
    virtual void ProcessEvent(UiEvent& event) = 0;

protected:
    ~IListOwnerUI() = default;
};

// Supplies the cell texts of multi-column rows. The text must stay valid
// until the caller has copied it (at once); the callback keeps it.
class IListCallbackUI {
public:
    virtual const wchar_t* GetItemText(CControlUI* control, int row, int column) = 0;

protected:
    ~IListCallbackUI() = default;
};

// Interface name "IList".
class IListUI : public IListOwnerUI {
public:
    virtual CContainerUI* GetHeader() const = 0;
    virtual CContainerUI* GetBody() const = 0;
    virtual IListCallbackUI* GetTextCallback() const = 0;
    virtual void SetTextCallback(IListCallbackUI* callback) = 0;
    virtual bool ExpandItem(int index, bool expand = true) = 0;
    virtual int GetExpandedIndex() const = 0;

protected:
    ~IListUI() = default;
};

// Interface name "ListItem"; every row class implements it.
class IListItemUI {
public:
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int index) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* owner) = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool selected = true) = 0;
    virtual bool IsExpanded() const = 0;
    virtual bool Expand(bool expand = true) = 0;
    virtual void DrawItemText(HDC hdc, const RECT& rc) = 0;

protected:
    ~IListItemUI() = default;
};

}  // namespace UiLib
