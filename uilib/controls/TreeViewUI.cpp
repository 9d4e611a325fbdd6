#include "TreeViewUI.h"

#include "CheckBoxUI.h"
#include "TreeNodeUI.h"
#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

bool IsName(const wchar_t* name, const wchar_t* expected)
{
    return name != nullptr && wcscmp(name, expected) == 0;
}

CTreeNodeUI* AsNode(CControlUI* control)
{
    return control != nullptr ? static_cast<CTreeNodeUI*>(control->CastByName(L"TreeNode")) : nullptr;
}

bool IsNodeType(CControlUI* control)
{
    return control != nullptr && _wcsicmp(control->GetTypeName(), L"TreeNodeUI") == 0;
}

typedef CDelegate<CTreeViewUI, CTreeViewUI> TreeDelegate;

}  // namespace

CTreeViewUI::CTreeViewUI() : itemMinWidth_(0), visibleFolderBtn_(true), visibleCheckBtn_(false)
{
    GetHeader()->SetShown(false);
}

const wchar_t* CTreeViewUI::GetTypeName() const
{
    return L"TreeViewUI";
}

void* CTreeViewUI::CastByName(const wchar_t* name)
{
    if (IsName(name, L"TreeView"))
        return static_cast<CTreeViewUI*>(this);
    return CListUI::CastByName(name);
}

void CTreeViewUI::Notify(UiNotify&)
{
}

CTreeNodeUI* CTreeViewUI::NodeAt(int row) const
{
    return AsNode(GetItemAt(row));
}

CTreeNodeUI* CTreeViewUI::NodeOfPart(CControlUI* part)
{
    CControlUI* layout = part != nullptr ? part->GetParentControl() : nullptr;
    return layout != nullptr ? AsNode(layout->GetParentControl()) : nullptr;
}

// --- Nodes as rows ---

void CTreeViewUI::ConfigureNode(CTreeNodeUI* node)
{
    node->OnNotify.Add(TreeDelegate(this, &CTreeViewUI::OnDoubleClickItem));
    node->GetFolderButton()->OnNotify.Add(TreeDelegate(this, &CTreeViewUI::OnFolderChanged));
    node->GetCheckBox()->OnNotify.Add(TreeDelegate(this, &CTreeViewUI::OnCheckBoxChanged));
    node->GetFolderButton()->SetShown(visibleFolderBtn_);
    node->GetCheckBox()->SetShown(visibleCheckBtn_);
    if (itemMinWidth_ != 0)
        node->SetMinWidth(itemMinWidth_);
}

bool CTreeViewUI::AddNode(CTreeNodeUI* node)
{
    // A node that is a row already would be listed twice.
    if (!IsNodeType(node) || GetItemIndex(node) >= 0)
        return false;
    if (!CListUI::Add(node))
        return false;
    ConfigureNode(node);
    node->SetTreeView(this);
    for (int i = 0; i < node->GetChildCount(); ++i)
        AddNode(node->GetChildNode(i));
    return true;
}

int CTreeViewUI::AddNodeAt(CTreeNodeUI* node, int index)
{
    if (!IsNodeType(node) || GetItemAt(index) == nullptr || GetItemIndex(node) >= 0)
        return -1;
    if (!CListUI::AddAt(node, index))
        return -1;
    ConfigureNode(node);
    node->SetTreeView(this);
    // Every child's subtree follows in order, so that the rows stay in
    // depth-first order.
    int next = index + 1;
    for (int i = 0; i < node->GetChildCount() && next >= 0; ++i) {
        CTreeNodeUI* child = node->GetChildNode(i);
        if (next < GetCount())
            next = AddNodeAt(child, next);
        else
            next = AddNode(child) ? GetCount() : -1;
    }
    return next;
}

bool CTreeViewUI::AddNodeAtRowOf(CTreeNodeUI* node, CTreeNodeUI* other)
{
    const int index = GetItemIndex(other);
    return index >= 0 && AddNodeAt(node, index) >= 0;
}

bool CTreeViewUI::RemoveNode(CTreeNodeUI* node)
{
    if (node == nullptr || GetItemIndex(node) < 0)
        return false;
    // Through its parent, so that the parent's child list lets go of it too.
    if (CTreeNodeUI* parent = node->GetParentNode())
        return parent->Remove(node);
    while (node->GetChildCount() > 0)
        node->Remove(node->GetChildNode(0));
    return CListUI::Remove(node);
}

// A node comes with its handlers and its subtree; any other control is a
// plain row of the list.
bool CTreeViewUI::Add(CControlUI* control)
{
    if (!IsNodeType(control))
        return CListUI::Add(control);
    return AddNode(static_cast<CTreeNodeUI*>(control));
}

bool CTreeViewUI::AddAt(CControlUI* control, int index)
{
    if (!IsNodeType(control))
        return CListUI::AddAt(control, index);
    CTreeNodeUI* node = static_cast<CTreeNodeUI*>(control);
    return index == GetCount() ? AddNode(node) : AddNodeAt(node, index) >= 0;
}

bool CTreeViewUI::Remove(CControlUI* control)
{
    if (CTreeNodeUI* node = AsNode(control))
        return RemoveNode(node);
    return CListUI::Remove(control);
}

bool CTreeViewUI::RemoveAt(int index)
{
    CControlUI* control = GetItemAt(index);
    return control != nullptr && Remove(control);
}

// --- Handlers of the nodes' notifications ---

bool CTreeViewUI::OnCheckBoxChanged(void* param)
{
    const UiNotify* notify = static_cast<const UiNotify*>(param);
    if (notify->type == L"selectchanged") {
        CTreeNodeUI* node = NodeOfPart(notify->sender);
        if (node != nullptr && notify->sender == node->GetCheckBox())
            SetItemCheckBox(node->GetCheckBox()->IsSelected(), node);
    }
    return true;
}

bool CTreeViewUI::OnFolderChanged(void* param)
{
    const UiNotify* notify = static_cast<const UiNotify*>(param);
    if (notify->type == L"selectchanged") {
        CTreeNodeUI* node = NodeOfPart(notify->sender);
        if (node != nullptr && notify->sender == node->GetFolderButton()) {
            const bool open = !node->GetFolderButton()->IsSelected();
            node->SetChildVisible(open);
            SetItemExpand(open, node);
        }
    }
    return true;
}

bool CTreeViewUI::OnDoubleClickItem(void* param)
{
    const UiNotify* notify = static_cast<const UiNotify*>(param);
    CTreeNodeUI* node = notify->type == L"itemdbclick" ? AsNode(notify->sender) : nullptr;
    if (node == nullptr)
        return false;
    CCheckBoxUI* folder = node->GetFolderButton();
    folder->SetSelected(!folder->IsSelected());
    node->SetChildVisible(!folder->IsSelected());
    SetItemExpand(!folder->IsSelected(), node);
    return true;
}

void CTreeViewUI::SetItemCheckBox(bool checked, CTreeNodeUI* node)
{
    if (node == nullptr) {
        for (int i = 0; i < GetCount(); ++i) {
            if (CTreeNodeUI* row = NodeAt(i))
                row->GetCheckBox()->SetSelected(checked);
        }
        return;
    }
    for (int i = 0; i < node->GetChildCount(); ++i) {
        CTreeNodeUI* child = node->GetChildNode(i);
        child->GetCheckBox()->SetSelected(checked);
        if (child->GetChildCount() > 0)
            SetItemCheckBox(checked, child);
    }
}

void CTreeViewUI::SetItemExpand(bool shown, CTreeNodeUI* node)
{
    if (node == nullptr) {
        for (int i = 0; i < GetCount(); ++i)
            GetItemAt(i)->SetShown(shown);
        return;
    }
    for (int i = 0; i < node->GetChildCount(); ++i) {
        CTreeNodeUI* child = node->GetChildNode(i);
        child->SetShown(shown);
        // A closed node keeps its own children hidden.
        if (child->GetChildCount() > 0 && !child->GetFolderButton()->IsSelected())
            SetItemExpand(shown, child);
    }
}

// --- Settings applied to every node ---

void CTreeViewUI::ShowNodeButtons(CCheckBoxUI* (CTreeNodeUI::*button)() const, bool visible)
{
    for (int i = 0; i < GetCount(); ++i) {
        if (CTreeNodeUI* row = NodeAt(i))
            (row->*button)()->SetShown(visible);
    }
}

void CTreeViewUI::SetVisibleFolderBtn(bool visible)
{
    visibleFolderBtn_ = visible;
    ShowNodeButtons(&CTreeNodeUI::GetFolderButton, visible);
}

bool CTreeViewUI::IsVisibleFolderBtn() const
{
    return visibleFolderBtn_;
}

void CTreeViewUI::SetVisibleCheckBtn(bool visible)
{
    visibleCheckBtn_ = visible;
    ShowNodeButtons(&CTreeNodeUI::GetCheckBox, visible);
}

bool CTreeViewUI::IsVisibleCheckBtn() const
{
    return visibleCheckBtn_;
}

void CTreeViewUI::SetItemMinWidth(int width)
{
    itemMinWidth_ = width;
    for (int i = 0; i < GetCount(); ++i)
        GetItemAt(i)->SetMinWidth(itemMinWidth_);
    Invalidate();
}

int CTreeViewUI::GetItemMinWidth() const
{
    return itemMinWidth_;
}

void CTreeViewUI::SetNodeColor(void (CTreeNodeUI::*setter)(DWORD), DWORD color)
{
    for (int i = 0; i < GetCount(); ++i) {
        if (CTreeNodeUI* row = NodeAt(i))
            (row->*setter)(color);
    }
}

void CTreeViewUI::SetItemTextColor(DWORD color)
{
    SetNodeColor(&CTreeNodeUI::SetItemTextColor, color);
}

void CTreeViewUI::SetItemHotTextColor(DWORD color)
{
    SetNodeColor(&CTreeNodeUI::SetItemHotTextColor, color);
}

void CTreeViewUI::SetSelectedItemTextColor(DWORD color)
{
    SetNodeColor(&CTreeNodeUI::SetSelectedItemTextColor, color);
}

void CTreeViewUI::SetSelectedItemHotTextColor(DWORD color)
{
    SetNodeColor(&CTreeNodeUI::SetSelectedItemHotTextColor, color);
}

void CTreeViewUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (IsName(name, L"visiblefolderbtn"))
        SetVisibleFolderBtn(IsName(value, L"true"));
    else if (IsName(name, L"visiblecheckbtn"))
        SetVisibleCheckBtn(IsName(value, L"true"));
    else if (IsName(name, L"itemminwidth"))
        SetItemMinWidth(static_cast<int>(wcstol(value, nullptr, 10)));
    else if (TreeNodeColorSetter setter = TreeNodeColorAttribute(name))
        SetNodeColor(setter, ReadHexColor(value));
    else
        CListUI::SetAttribute(name, value);
}

}  // namespace UiLib
