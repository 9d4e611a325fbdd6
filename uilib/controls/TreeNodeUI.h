#pragma once
// One node of a tree view: a list row that holds, side by side, a dotted-line
// label whose width indents it by its depth, a folder button that opens and
// closes its children, an optional check box and its caption. It keeps its
// child nodes; the tree view keeps all nodes as rows in depth-first order.
#include "ListContainerElementUI.h"

namespace UiLib {

class CCheckBoxUI;
class CHorizontalLayoutUI;
class CLabelUI;
class COptionUI;
class CTreeViewUI;

class CTreeNodeUI : public CListContainerElementUI {
public:
    explicit CTreeNodeUI(CTreeNodeUI* parentNode = nullptr);
    ~CTreeNodeUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    bool Select(bool selected = true) override;

    // Add takes child nodes, or ordinary controls into the node's own
    // container; AddAt, Remove and RemoveAll take child nodes only.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    bool AddChildNode(CTreeNodeUI* child);
    int GetChildCount() const { return childNodes_.GetSize(); }
    CTreeNodeUI* GetChildNode(int index) const;
    CTreeNodeUI* GetParentNode() const { return parentNode_; }
    CTreeViewUI* GetTreeView() const { return treeView_; }
    void SetTreeView(CTreeViewUI* view) { treeView_ = view; }
    // The row of the deepest last descendant, this node's own row without
    // children; -1 when the node is not a row of its tree view.
    int GetLastDescendantRow() const;

    bool IsChildVisible() const { return childVisible_; }
    void SetChildVisible(bool visible) { childVisible_ = visible; }

    CHorizontalLayoutUI* GetItemLayout() const { return layout_; }
    CCheckBoxUI* GetFolderButton() const { return folderButton_; }
    CLabelUI* GetDottedLine() const { return dottedLine_; }
    CCheckBoxUI* GetCheckBox() const { return checkBox_; }
    COptionUI* GetItemButton() const { return itemButton_; }

    void SetItemTextColor(DWORD color);
    DWORD GetItemTextColor() const { return itemTextColor_; }
    void SetItemHotTextColor(DWORD color);
    DWORD GetItemHotTextColor() const { return itemHotTextColor_; }
    void SetSelectedItemTextColor(DWORD color);
    DWORD GetSelectedItemTextColor() const { return selectedItemTextColor_; }
    void SetSelectedItemHotTextColor(DWORD color);
    DWORD GetSelectedItemHotTextColor() const { return selectedItemHotTextColor_; }

private:
    // Makes child one of this node's children: indented one level deeper
    // (its own descendants with it), in this node's caption group and view.
    void PrepareChild(CTreeNodeUI* child);
    void IndentUnder(int parentIndent);
    void OnHoverChanged(bool entered);

    bool childVisible_;
    DWORD itemTextColor_;
    DWORD itemHotTextColor_;
    DWORD selectedItemTextColor_;
    DWORD selectedItemHotTextColor_;
    CTreeViewUI* treeView_;
    CHorizontalLayoutUI* layout_;
    CCheckBoxUI* folderButton_;
    CLabelUI* dottedLine_;
    CCheckBoxUI* checkBox_;
    COptionUI* itemButton_;
    CTreeNodeUI* parentNode_;
    CUiPtrArray childNodes_;
    bool layoutBuilt_ = false;
};

// The node setter that a text colour attribute of a node or a view names
// ("itemtextcolor", "itemhottextcolor", "selitemtextcolor",
// "selitemhottextcolor"), or null for any other name.
typedef void (CTreeNodeUI::*TreeNodeColorSetter)(DWORD color);
TreeNodeColorSetter TreeNodeColorAttribute(const wchar_t* name);

}  // namespace UiLib
