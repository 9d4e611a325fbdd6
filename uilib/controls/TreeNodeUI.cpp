#include "TreeNodeUI.h"

#include "CheckBoxUI.h"
#include "HorizontalLayoutUI.h"
#include "LabelUI.h"
#include "OptionUI.h"
#include "TreeViewUI.h"
#include "UiAttrValues.h"

#include <cwchar>

namespace UiLib {

namespace {

const int kNodeHeight = 18;
const int kNodeWidth = 250;
const int kTopIndent = 2;
// Each level of the tree indents its nodes this much further.
const int kIndentStep = 16;

bool IsName(const wchar_t* name, const wchar_t* expected)
{
    return name != nullptr && wcscmp(name, expected) == 0;
}

bool IsNodeType(CControlUI* control)
{
    return control != nullptr && _wcsicmp(control->GetTypeName(), L"TreeNodeUI") == 0;
}

}  // namespace

CTreeNodeUI::CTreeNodeUI(CTreeNodeUI* parentNode)
    : childVisible_(true),
      itemTextColor_(0),
      itemHotTextColor_(0),
      selectedItemTextColor_(0),
      selectedItemHotTextColor_(0),
      treeView_(nullptr),
      layout_(new CHorizontalLayoutUI),
      folderButton_(new CCheckBoxUI),
      dottedLine_(new CLabelUI),
      checkBox_(new CCheckBoxUI),
      itemButton_(new COptionUI),
      parentNode_(nullptr)
{
    SetPreferredHeight(kNodeHeight);
    SetPreferredWidth(kNodeWidth);
    folderButton_->SetPreferredWidth(kNodeHeight);
    checkBox_->SetPreferredWidth(kNodeHeight);
    dottedLine_->SetPreferredWidth(kTopIndent);
    dottedLine_->SetShown(false);
    checkBox_->SetShown(false);
    itemButton_->SetAttribute(L"align", L"left");
    // Clicks on the caption reach the node, which selects itself.
    itemButton_->SetMouseEnabled(false);
    if (parentNode != nullptr) {
        // A parent of another kind ends the construction here: the node gets
        // no layout and shows none of its parts.
        if (!IsNodeType(parentNode))
            return;
        dottedLine_->SetShown(parentNode->IsShown());
        dottedLine_->SetPreferredWidth(parentNode->GetDottedLine()->GetPreferredWidth() + kIndentStep);
        parentNode_ = parentNode;
    }
    layout_->Add(dottedLine_);
    layout_->Add(folderButton_);
    layout_->Add(checkBox_);
    layout_->Add(itemButton_);
    CContainerUI::Add(layout_);
    layoutBuilt_ = true;
}

// The child nodes are not the node's: rows of a tree view go with its list,
// and a caller that built a tree without a view keeps its nodes.
CTreeNodeUI::~CTreeNodeUI()
{
    // Parts that never joined a layout have no other owner.
    if (!layoutBuilt_) {
        delete dottedLine_;
        delete folderButton_;
        delete checkBox_;
        delete itemButton_;
        delete layout_;
    }
}

const wchar_t* CTreeNodeUI::GetTypeName() const
{
    return L"TreeNodeUI";
}

void* CTreeNodeUI::CastByName(const wchar_t* name)
{
    if (IsName(name, L"TreeNode"))
        return static_cast<CTreeNodeUI*>(this);
    return CListContainerElementUI::CastByName(name);
}

CTreeNodeUI* CTreeNodeUI::GetChildNode(int index) const
{
    return static_cast<CTreeNodeUI*>(childNodes_.GetAt(index));
}

bool CTreeNodeUI::Select(bool selected)
{
    const bool result = CListContainerElementUI::Select(selected);
    itemButton_->SetTextColor(IsSelected() ? selectedItemTextColor_ : itemTextColor_);
    return result;
}

// --- Children ---

void CTreeNodeUI::IndentUnder(int parentIndent)
{
    dottedLine_->SetShown(true);
    dottedLine_->SetPreferredWidth(parentIndent + kIndentStep);
    for (int i = 0; i < childNodes_.GetSize(); ++i)
        GetChildNode(i)->IndentUnder(dottedLine_->GetPreferredWidth());
}

void CTreeNodeUI::PrepareChild(CTreeNodeUI* child)
{
    // Descendants stored before this node had its own depth follow it.
    child->IndentUnder(dottedLine_->GetPreferredWidth());
    child->parentNode_ = this;
    child->itemButton_->SetGroup(itemButton_->GetGroup().GetData());
    child->treeView_ = treeView_;
}

int CTreeNodeUI::GetLastDescendantRow() const
{
    const CTreeNodeUI* last = this;
    while (last->GetChildCount() > 0)
        last = last->GetChildNode(last->GetChildCount() - 1);
    return treeView_ != nullptr ? treeView_->GetItemIndex(const_cast<CTreeNodeUI*>(last)) : -1;
}

bool CTreeNodeUI::AddChildNode(CTreeNodeUI* child)
{
    if (!IsNodeType(child) || child == this || childNodes_.Find(child) >= 0)
        return false;
    const int row = GetLastDescendantRow() + 1;
    PrepareChild(child);
    if (treeView_ != nullptr) {
        const bool placed =
            row < treeView_->GetCount() ? treeView_->AddNodeAt(child, row) >= 0 : treeView_->AddNode(child);
        if (!placed) {
            child->parentNode_ = nullptr;
            child->treeView_ = nullptr;
            return false;
        }
    }
    return childNodes_.Add(child);
}

bool CTreeNodeUI::Add(CControlUI* control)
{
    if (IsNodeType(control))
        return AddChildNode(static_cast<CTreeNodeUI*>(control));
    return CContainerUI::Add(control);
}

bool CTreeNodeUI::AddAt(CControlUI* control, int index)
{
    CTreeNodeUI* child = control != nullptr ? static_cast<CTreeNodeUI*>(control->CastByName(L"TreeNode")) : nullptr;
    if (child == nullptr || treeView_ == nullptr || childNodes_.Find(child) >= 0)
        return false;
    // No child at that index: the new one comes after the whole subtree, so
    // that the rows keep the order of the children.
    if (index < 0 || index >= childNodes_.GetSize())
        return AddChildNode(child);
    // In the place of the child it displaces, in the array and in the list.
    const int row = treeView_->GetItemIndex(GetChildNode(index));
    PrepareChild(child);
    if (row < 0 || treeView_->AddNodeAt(child, row) < 0) {
        child->parentNode_ = nullptr;
        child->treeView_ = nullptr;
        return false;
    }
    return childNodes_.InsertAt(index, child);
}

bool CTreeNodeUI::Remove(CControlUI* control)
{
    // Only child nodes leave through here: the item layout and its parts
    // are held by the node for its whole life.
    const int position = childNodes_.Find(control);
    if (position < 0)
        return false;
    CTreeNodeUI* child = GetChildNode(position);
    while (child->GetChildCount() > 0)
        child->Remove(child->GetChildNode(0));
    childNodes_.Remove(position);
    child->parentNode_ = nullptr;
    if (treeView_ != nullptr && treeView_->GetItemIndex(child) >= 0)
        return treeView_->CListUI::Remove(child);
    // Without a view the child stays with whoever made it.
    return true;
}

// The item layout is the node's own for its whole life: emptying the node
// lets go of its child nodes, as many single removals would.
void CTreeNodeUI::RemoveAll()
{
    while (GetChildCount() > 0)
        Remove(GetChildNode(0));
}

// --- Events and attributes ---

void CTreeNodeUI::OnHoverChanged(bool entered)
{
    if (!IsEnabled()) {
        itemButton_->SetTextColor(itemButton_->GetDisabledTextColor());
        return;
    }
    if (entered) {
        const bool selectedHot = IsSelected() && selectedItemHotTextColor_ != 0;
        itemButton_->SetTextColor(selectedHot ? selectedItemHotTextColor_ : itemHotTextColor_);
    } else if (!IsSelected()) {
        itemButton_->SetTextColor(itemTextColor_);
    } else if (selectedItemTextColor_ != 0) {
        itemButton_->SetTextColor(selectedItemTextColor_);
    }
}

void CTreeNodeUI::ProcessEvent(UiEvent& event)
{
    if (IsMouseEvent(event) && !IsMouseEnabled()) {
        if (row_.owner != nullptr)
            row_.owner->ProcessEvent(event);
        else
            CContainerUI::ProcessEvent(event);
        return;
    }
    CListContainerElementUI::ProcessEvent(event);
    switch (event.type) {
    case kUiEventDoubleClick:
        if (IsEnabled()) {
            if (manager_ != nullptr)
                manager_->SendNotify(this, L"itemdbclick");
            Invalidate();
        }
        break;
    case kUiEventMouseEnter:
        OnHoverChanged(true);
        break;
    case kUiEventMouseLeave:
        OnHoverChanged(false);
        break;
    default:
        break;
    }
}

void CTreeNodeUI::SetItemTextColor(DWORD color)
{
    itemTextColor_ = color;
    itemButton_->SetTextColor(color);
}

void CTreeNodeUI::SetItemHotTextColor(DWORD color)
{
    itemHotTextColor_ = color;
    Invalidate();
}

void CTreeNodeUI::SetSelectedItemTextColor(DWORD color)
{
    selectedItemTextColor_ = color;
    Invalidate();
}

void CTreeNodeUI::SetSelectedItemHotTextColor(DWORD color)
{
    selectedItemHotTextColor_ = color;
    Invalidate();
}

void CTreeNodeUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (IsName(name, L"text"))
        itemButton_->SetText(value);
    else if (IsName(name, L"horizattr"))
        layout_->ApplyAttributeString(value);
    else if (IsName(name, L"dotlineattr"))
        dottedLine_->ApplyAttributeString(value);
    else if (IsName(name, L"folderattr"))
        folderButton_->ApplyAttributeString(value);
    else if (IsName(name, L"checkboxattr"))
        checkBox_->ApplyAttributeString(value);
    else if (IsName(name, L"itemattr"))
        itemButton_->ApplyAttributeString(value);
    else if (TreeNodeColorSetter setter = TreeNodeColorAttribute(name))
        (this->*setter)(ReadHexColor(value));
    else
        CListContainerElementUI::SetAttribute(name, value);
}

TreeNodeColorSetter TreeNodeColorAttribute(const wchar_t* name)
{
    static const struct {
        const wchar_t* name;
        TreeNodeColorSetter setter;
    } kColorKeys[] = {
        {L"itemtextcolor", &CTreeNodeUI::SetItemTextColor},
        {L"itemhottextcolor", &CTreeNodeUI::SetItemHotTextColor},
        {L"selitemtextcolor", &CTreeNodeUI::SetSelectedItemTextColor},
        {L"selitemhottextcolor", &CTreeNodeUI::SetSelectedItemHotTextColor},
    };
    for (const auto& key : kColorKeys) {
        if (IsName(name, key.name))
            return key.setter;
    }
    return nullptr;
}

}  // namespace UiLib
