#pragma once
// A tree shown as a flat list: every node is a row of the list, in
// depth-first order, and the view opens, closes and checks whole subtrees
// when a node's folder button, check box or double click asks it to.
#include "ListUI.h"

namespace UiLib {

class CCheckBoxUI;
class CTreeNodeUI;

class CTreeViewUI : public CListUI, public INotifyUI {
public:
    CTreeViewUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Notify(UiNotify& notify) override;

    // A node comes and goes through the container operations with its
    // subtree; any other control is a plain row.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;

    virtual bool AddNode(CTreeNodeUI* node);
    // Inserts node (with its subtree) at the row that other holds now.
    virtual bool AddNodeAtRowOf(CTreeNodeUI* node, CTreeNodeUI* other);
    // Inserts node and its subtree from row index; the row after the last
    // one inserted, or -1.
    virtual int AddNodeAt(CTreeNodeUI* node, int index);
    virtual bool RemoveNode(CTreeNodeUI* node);
    virtual bool OnCheckBoxChanged(void* param);
    virtual bool OnFolderChanged(void* param);
    virtual bool OnDoubleClickItem(void* param);
    // Checks or clears the check boxes of node's descendants (every row
    // without a node).
    virtual void SetItemCheckBox(bool checked, CTreeNodeUI* node = nullptr);
    // Shows or hides node's descendants (every row without a node); a
    // closed node keeps its own children hidden.
    virtual void SetItemExpand(bool shown, CTreeNodeUI* node = nullptr);
    virtual void SetVisibleFolderBtn(bool visible);
    virtual bool IsVisibleFolderBtn() const;
    virtual void SetVisibleCheckBtn(bool visible);
    virtual bool IsVisibleCheckBtn() const;
    virtual void SetItemMinWidth(int width);
    virtual int GetItemMinWidth() const;
    virtual void SetItemTextColor(DWORD color);
    virtual void SetItemHotTextColor(DWORD color);
    virtual void SetSelectedItemTextColor(DWORD color);
    virtual void SetSelectedItemHotTextColor(DWORD color);

private:
    // Connects the node's handlers and applies the view's settings to it.
    void ConfigureNode(CTreeNodeUI* node);
    static CTreeNodeUI* NodeOfPart(CControlUI* part);
    CTreeNodeUI* NodeAt(int row) const;
    void SetNodeColor(void (CTreeNodeUI::*setter)(DWORD), DWORD color);
    void ShowNodeButtons(CCheckBoxUI* (CTreeNodeUI::*button)() const, bool visible);

    int itemMinWidth_;
    bool visibleFolderBtn_;
    bool visibleCheckBtn_;
};

}  // namespace UiLib
