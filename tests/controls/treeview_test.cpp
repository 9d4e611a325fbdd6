// The tree view on a real top-level window: nodes under parents kept as rows
// in depth-first order, indentation by depth, folder buttons and double
// clicks hiding and showing subtrees, check boxes passing their state down,
// selection, and removal of whole subtrees.
#include "CheckBoxUI.h"
#include "LabelUI.h"
#include "OptionUI.h"
#include "TreeNodeUI.h"
#include "TreeViewUI.h"
#include "UiManager.h"
#include "button_window_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

// The tree view fills the window's row.
class TreeWindow : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        UiTest::RowWindow::SetUp();
        SetWindowPos(hwnd, nullptr, 50, 50, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        view = new CTreeViewUI;
        row->Add(view);
        Show();
    }

    // The new index of every "itemselect", in order.
    std::vector<int> Selections() const
    {
        std::vector<int> indexes;
        for (const UiTest::NotifySeen& seen : recorder.seen) {
            if (seen.type == L"itemselect")
                indexes.push_back(static_cast<int>(seen.wParam));
        }
        return indexes;
    }
    static CTreeNodeUI* Node(const wchar_t* text)
    {
        CTreeNodeUI* node = new CTreeNodeUI;
        node->SetAttribute(L"text", text);
        return node;
    }
    void Layout() { Paint(); }
    // The captions of the rows, in row order; hidden rows in brackets.
    std::wstring Rows() const
    {
        std::wstring rows;
        for (int i = 0; i < view->GetCount(); ++i) {
            CTreeNodeUI* node = static_cast<CTreeNodeUI*>(view->GetItemAt(i));
            const std::wstring text = node->GetItemButton()->GetText().GetData();
            rows += node->IsShown() ? text : L"(" + text + L")";
        }
        return rows;
    }
    // a { b { c }, d }, e, with every node added to its parent before the
    // parent joins the view.
    void BuildDetached()
    {
        a = Node(L"a");
        b = Node(L"b");
        c = Node(L"c");
        d = Node(L"d");
        e = Node(L"e");
        ASSERT_TRUE(b->Add(c));
        ASSERT_TRUE(a->Add(b));
        ASSERT_TRUE(a->Add(d));
        ASSERT_TRUE(view->Add(a));
        ASSERT_TRUE(view->Add(e));
        Layout();
    }
    CTreeViewUI* view = nullptr;
    CTreeNodeUI* a = nullptr;
    CTreeNodeUI* b = nullptr;
    CTreeNodeUI* c = nullptr;
    CTreeNodeUI* d = nullptr;
    CTreeNodeUI* e = nullptr;
};

TEST_F(TreeWindow, NodesBecomeRowsInDepthFirstOrderIndentedByDepth)
{
    BuildDetached();
    EXPECT_EQ(L"abcde", Rows());
    EXPECT_FALSE(view->GetHeader()->IsShown());
    EXPECT_EQ(view, reinterpret_cast<CTreeViewUI*>(view->CastByName(L"TreeView")));
    EXPECT_EQ(a, b->GetParentNode());
    EXPECT_EQ(view, c->GetTreeView());
    EXPECT_EQ(2, a->GetChildCount());

    // The dotted line: 2 wide and hidden at the top, 16 more per level.
    EXPECT_EQ(2, a->GetDottedLine()->GetPreferredWidth());
    EXPECT_FALSE(a->GetDottedLine()->IsShown());
    EXPECT_EQ(18, b->GetDottedLine()->GetPreferredWidth());
    EXPECT_TRUE(b->GetDottedLine()->IsShown());
    EXPECT_EQ(34, c->GetDottedLine()->GetPreferredWidth());
    EXPECT_EQ(18, d->GetDottedLine()->GetPreferredWidth());

    // On screen the folder buttons sit after the shown lines: the top
    // level's hidden line takes no room.
    const int left0 = a->GetFolderButton()->GetBounds().left;
    EXPECT_EQ(left0 + 18, b->GetFolderButton()->GetBounds().left);
    EXPECT_EQ(left0 + 34, c->GetFolderButton()->GetBounds().left);
    EXPECT_EQ(left0 + 18, d->GetFolderButton()->GetBounds().left);
    EXPECT_EQ(left0, e->GetFolderButton()->GetBounds().left);
    EXPECT_EQ(18, a->GetBoundsHeight());
    EXPECT_EQ(a->GetBounds().bottom, b->GetBounds().top);

    // A plain control joins as a plain row; a node that is a row already is
    // not listed twice.
    CControlUI* plain = new CControlUI;
    EXPECT_TRUE(view->AddAt(plain, 1));
    EXPECT_EQ(plain, view->GetItemAt(1));
    EXPECT_TRUE(view->Remove(plain));
    EXPECT_FALSE(view->Add(a));
    EXPECT_EQ(-1, view->AddNodeAt(c, 0));
    EXPECT_FALSE(b->AddAt(c, 0));
    EXPECT_EQ(5, view->GetCount());
    EXPECT_EQ(1, b->GetChildCount());
}

TEST_F(TreeWindow, ChildrenAddedLaterGoAfterTheirParentsSubtree)
{
    BuildDetached();
    // Appended: after the deepest last descendant of a.
    CTreeNodeUI* f = Node(L"f");
    ASSERT_TRUE(a->Add(f));
    EXPECT_EQ(L"abcdfe", Rows());
    EXPECT_EQ(18, f->GetDottedLine()->GetPreferredWidth());
    // At a child's index: in that child's place.
    CTreeNodeUI* g = Node(L"g");
    ASSERT_TRUE(a->AddAt(g, 1));
    EXPECT_EQ(L"abcgdfe", Rows());
    EXPECT_EQ(g, a->GetChildNode(1));
    // Beyond the last child: appended.
    CTreeNodeUI* h = Node(L"h");
    ASSERT_TRUE(c->AddAt(h, 9));
    EXPECT_EQ(L"abchgdfe", Rows());
    EXPECT_EQ(50, h->GetDottedLine()->GetPreferredWidth());
    // Appended to a node with children, and at a negative index: after the
    // whole subtree, so that the rows keep the children's order.
    CTreeNodeUI* i = Node(L"i");
    ASSERT_TRUE(b->AddAt(i, 5));
    EXPECT_EQ(L"abchigdfe", Rows());
    CTreeNodeUI* j = Node(L"j");
    ASSERT_TRUE(a->AddAt(j, -1));
    EXPECT_EQ(L"abchigdfje", Rows());
    EXPECT_EQ(j, a->GetChildNode(a->GetChildCount() - 1));
    EXPECT_EQ(i, b->GetChildNode(1));

    // A node brings its subtree when inserted at a row.
    CTreeNodeUI* x = Node(L"x");
    CTreeNodeUI* y = Node(L"y");
    CTreeNodeUI* z = Node(L"z");
    ASSERT_TRUE(x->Add(y));
    ASSERT_TRUE(x->Add(z));
    EXPECT_EQ(3, view->AddNodeAt(x, 0));
    EXPECT_EQ(L"xyzabchigdfje", Rows());
    EXPECT_TRUE(view->AddNodeAtRowOf(Node(L"w"), e));
    EXPECT_EQ(L"xyzabchigdfjwe", Rows());
    EXPECT_EQ(-1, view->AddNodeAt(Node(L"v"), 99));

    // A node outside a view cannot place a child at an index.
    CTreeNodeUI* loose = Node(L"loose");
    CTreeNodeUI* child = Node(L"child");
    EXPECT_FALSE(loose->AddAt(child, 0));
    EXPECT_TRUE(loose->Add(child));
    delete loose;
    delete child;
}

struct DestroyCounter {
    int count = 0;
    bool Count(void*)
    {
        ++count;
        return true;
    }
};

// Outside a tree view a node holds its children without owning them: neither
// deleting the node nor removing a child deletes the child.
TEST(TreeNode, NodesOutsideAViewLeaveTheirChildrenToTheirMaker)
{
    DestroyCounter destroyed;
    CTreeNodeUI* parent = new CTreeNodeUI;
    CTreeNodeUI* kept = new CTreeNodeUI;
    CTreeNodeUI* removed = new CTreeNodeUI;
    for (CTreeNodeUI* child : {kept, removed}) {
        child->OnDestroy.Add(CDelegate<DestroyCounter, DestroyCounter>(&destroyed, &DestroyCounter::Count));
        ASSERT_TRUE(parent->Add(child));
    }
    EXPECT_TRUE(parent->Remove(removed));
    EXPECT_EQ(0, destroyed.count);
    EXPECT_EQ(nullptr, removed->GetParentNode());
    EXPECT_EQ(1, parent->GetChildCount());
    delete parent;
    EXPECT_EQ(0, destroyed.count);
    delete kept;
    delete removed;
    EXPECT_EQ(2, destroyed.count);
}

// A node whose type name is another builds none of its parts' layout when
// it is given as the parent.
class OtherKindOfNode : public CTreeNodeUI {
public:
    const wchar_t* GetTypeName() const override { return L"OtherNodeUI"; }
};

TEST(TreeNode, AParentOfAnotherKindLeavesTheNodeWithoutLayout)
{
    CTreeNodeUI parent;
    CTreeNodeUI child(&parent);
    EXPECT_EQ(1, child.GetCount());
    EXPECT_EQ(&parent, child.GetParentNode());
    EXPECT_EQ(18, child.GetDottedLine()->GetPreferredWidth());

    OtherKindOfNode other;
    CTreeNodeUI orphan(&other);
    EXPECT_EQ(0, orphan.GetCount());
    EXPECT_EQ(nullptr, orphan.GetParentNode());
    EXPECT_EQ(2, orphan.GetDottedLine()->GetPreferredWidth());
    EXPECT_FALSE(orphan.GetDottedLine()->IsShown());
    // Its parts still take their attributes.
    orphan.SetAttribute(L"text", L"caption");
    EXPECT_STREQ(L"caption", orphan.GetItemButton()->GetText().GetData());
}

// A node's parts stay with it: removing its item layout through the node
// is refused, so the node never works on freed parts.
TEST(TreeNode, ItsOwnLayoutCannotBeRemoved)
{
    CTreeNodeUI node;
    CControlUI* layout = node.GetItemLayout();
    EXPECT_FALSE(node.Remove(layout));
    EXPECT_FALSE(node.RemoveAt(0));
    ASSERT_EQ(1, node.GetCount());
    EXPECT_EQ(layout, node.GetItemAt(0));
    node.SetItemTextColor(0xFF112233);
    EXPECT_TRUE(node.Select(true));
    EXPECT_TRUE(node.Select(false));
    EXPECT_EQ(0xFF112233u, node.GetItemButton()->GetTextColor());
}

TEST(TreeNode, NullAttributeNamesOrValuesAreRefused)
{
    CTreeNodeUI node;
    node.SetAttribute(L"text", L"caption");
    node.SetAttribute(L"text", nullptr);
    node.SetAttribute(nullptr, L"other");
    EXPECT_STREQ(L"caption", node.GetItemButton()->GetText().GetData());
    node.SetAttribute(L"itemtextcolor", L"FF445566");
    node.SetAttribute(L"itemtextcolor", nullptr);
    EXPECT_EQ(0xFF445566u, node.GetItemTextColor());
    node.SetAttribute(L"selected", nullptr);
    EXPECT_FALSE(node.IsSelected());

    CTreeViewUI view;
    view.SetAttribute(L"itemminwidth", L"40");
    view.SetAttribute(L"itemminwidth", nullptr);
    view.SetAttribute(nullptr, L"7");
    EXPECT_EQ(40, view.GetItemMinWidth());
    view.SetAttribute(L"visiblecheckbtn", L"true");
    view.SetAttribute(L"visiblecheckbtn", nullptr);
    EXPECT_TRUE(view.IsVisibleCheckBtn());
}

TEST_F(TreeWindow, FolderButtonHidesAndShowsTheSubtree)
{
    BuildDetached();
    Click(a->GetFolderButton());
    EXPECT_TRUE(a->GetFolderButton()->IsSelected());
    EXPECT_FALSE(a->IsChildVisible());
    EXPECT_EQ(L"a(b)(c)(d)e", Rows());
    Layout();
    EXPECT_EQ(a->GetBounds().bottom, e->GetBounds().top);

    Click(a->GetFolderButton());
    EXPECT_EQ(L"abcde", Rows());

    // A closed child keeps its own children hidden when its parent opens.
    Layout();
    Click(b->GetFolderButton());
    EXPECT_EQ(L"ab(c)de", Rows());
    Layout();
    Click(a->GetFolderButton());
    EXPECT_EQ(L"a(b)(c)(d)e", Rows());
    Layout();
    Click(a->GetFolderButton());
    EXPECT_EQ(L"ab(c)de", Rows());
}

TEST_F(TreeWindow, DoubleClickTogglesTheFolder)
{
    BuildDetached();
    const LPARAM onCaption = At(Middle(a->GetItemButton()));
    SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, onCaption);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, onCaption);
    EXPECT_TRUE(a->GetFolderButton()->IsSelected());
    EXPECT_EQ(L"a(b)(c)(d)e", Rows());
    SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, onCaption);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, onCaption);
    EXPECT_FALSE(a->GetFolderButton()->IsSelected());
    EXPECT_EQ(L"abcde", Rows());
}

TEST_F(TreeWindow, TheViewsDelegatesAnswerTheNodesNotifications)
{
    BuildDetached();
    EXPECT_TRUE(a->OnNotify.HasDelegates());
    EXPECT_TRUE(a->GetFolderButton()->OnNotify.HasDelegates());
    EXPECT_TRUE(a->GetCheckBox()->OnNotify.HasDelegates());

    // Each handler takes only its own notification.
    UiNotify other = {};
    other.type = L"click";
    other.sender = a;
    EXPECT_FALSE(a->OnNotify.Invoke(&other));
    EXPECT_EQ(L"abcde", Rows());

    UiNotify dbclick = {};
    dbclick.type = L"itemdbclick";
    dbclick.sender = b;
    EXPECT_TRUE(b->OnNotify.Invoke(&dbclick));
    EXPECT_EQ(L"ab(c)de", Rows());

    // A delegate of the same receiver and method compares equal.
    const CDelegate<CTreeViewUI, CTreeViewUI> folder(view, &CTreeViewUI::OnFolderChanged);
    const CDelegate<CTreeViewUI, CTreeViewUI> same(view, &CTreeViewUI::OnFolderChanged);
    const CDelegate<CTreeViewUI, CTreeViewUI> check(view, &CTreeViewUI::OnCheckBoxChanged);
    EXPECT_TRUE(folder.Equals(same));
    EXPECT_FALSE(folder.Equals(check));
}

TEST_F(TreeWindow, CheckBoxesPassTheirStateToTheSubtree)
{
    BuildDetached();
    EXPECT_FALSE(a->GetCheckBox()->IsShown());
    view->SetAttribute(L"visiblecheckbtn", L"true");
    EXPECT_TRUE(view->IsVisibleCheckBtn());
    EXPECT_TRUE(c->GetCheckBox()->IsShown());
    Layout();
    Click(a->GetCheckBox());
    EXPECT_TRUE(a->GetCheckBox()->IsSelected());
    EXPECT_TRUE(b->GetCheckBox()->IsSelected());
    EXPECT_TRUE(c->GetCheckBox()->IsSelected());
    EXPECT_TRUE(d->GetCheckBox()->IsSelected());
    EXPECT_FALSE(e->GetCheckBox()->IsSelected());
    Click(b->GetCheckBox());
    EXPECT_FALSE(b->GetCheckBox()->IsSelected());
    EXPECT_FALSE(c->GetCheckBox()->IsSelected());
    EXPECT_TRUE(d->GetCheckBox()->IsSelected());

    view->SetItemCheckBox(true);
    for (CTreeNodeUI* node : {a, b, c, d, e})
        EXPECT_TRUE(node->GetCheckBox()->IsSelected());

    view->SetAttribute(L"visiblefolderbtn", L"false");
    EXPECT_FALSE(d->GetFolderButton()->IsShown());
    // New nodes follow the view's settings.
    CTreeNodeUI* f = Node(L"f");
    ASSERT_TRUE(view->Add(f));
    EXPECT_FALSE(f->GetFolderButton()->IsShown());
    EXPECT_TRUE(f->GetCheckBox()->IsShown());
}

TEST_F(TreeWindow, ClickSelectsANodeInTheSelectedColour)
{
    BuildDetached();
    view->SetAttribute(L"itemtextcolor", L"#FF102030");
    view->SetAttribute(L"selitemtextcolor", L"#FFFF0000");
    EXPECT_EQ(0xFF102030u, c->GetItemButton()->GetTextColor());
    Click(c->GetItemButton());
    EXPECT_TRUE(c->IsSelected());
    EXPECT_EQ(2, view->GetSelectedIndex());
    ASSERT_FALSE(Selections().empty());
    EXPECT_EQ(2, Selections().back());
    EXPECT_EQ(0xFFFF0000u, c->GetItemButton()->GetTextColor());
    Click(e->GetItemButton());
    EXPECT_FALSE(c->IsSelected());
    EXPECT_EQ(0xFF102030u, c->GetItemButton()->GetTextColor());
    EXPECT_EQ(4, view->GetSelectedIndex());
}

TEST_F(TreeWindow, HoverColoursFollowSelectionAndState)
{
    BuildDetached();
    view->SetAttribute(L"itemtextcolor", L"#FF102030");
    view->SetAttribute(L"itemhottextcolor", L"#FF00FF00");
    view->SetAttribute(L"selitemtextcolor", L"#FFFF0000");
    view->SetAttribute(L"selitemhottextcolor", L"#FF0000FF");
    auto moveOver = [&](CControlUI* control) { Send(WM_MOUSEMOVE, 0, At(Middle(control))); };
    COptionUI* caption = c->GetItemButton();
    moveOver(caption);
    EXPECT_EQ(0xFF00FF00u, caption->GetTextColor());
    moveOver(e->GetItemButton());
    EXPECT_EQ(0xFF102030u, caption->GetTextColor());
    // Selecting gives the selected colour; hovering a selected node its own.
    Click(caption);
    EXPECT_EQ(0xFFFF0000u, caption->GetTextColor());
    moveOver(e->GetItemButton());
    EXPECT_EQ(0xFFFF0000u, caption->GetTextColor());
    moveOver(caption);
    EXPECT_EQ(0xFF0000FFu, caption->GetTextColor());
    // A disabled node shows its caption's disabled colour.
    d->SetEnabled(false);
    moveOver(d->GetItemButton());
    EXPECT_EQ(d->GetItemButton()->GetDisabledTextColor(), d->GetItemButton()->GetTextColor());
}

TEST_F(TreeWindow, RemovingANodeRemovesItsSubtree)
{
    BuildDetached();
    DestroyCounter counter;
    const int& destroyed = counter.count;
    for (CTreeNodeUI* node : {a, b, c, d, e})
        node->OnDestroy.Add(CDelegate<DestroyCounter, DestroyCounter>(&counter, &DestroyCounter::Count));

    EXPECT_TRUE(view->Remove(b));
    EXPECT_EQ(L"ade", Rows());
    EXPECT_EQ(1, a->GetChildCount());
    EXPECT_EQ(d, a->GetChildNode(0));
    // Removal through the container's interface may be deferred.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(2, destroyed);

    EXPECT_FALSE(a->Remove(e));
    EXPECT_TRUE(view->RemoveAt(0));
    EXPECT_EQ(L"e", Rows());
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(4, destroyed);
    EXPECT_FALSE(view->RemoveAt(3));
    // The last node calls this test's counter when it goes: not after the test.
    EXPECT_TRUE(view->RemoveAt(0));
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(5, destroyed);
}

// Emptying a node takes its child nodes and their rows only: the node keeps
// its own parts and goes on drawing them.
TEST_F(TreeWindow, RemoveAllOnANodeTakesItsChildNodesOnly)
{
    BuildDetached();
    DestroyCounter counter;
    for (CTreeNodeUI* node : {a, b, c, d, e})
        node->OnDestroy.Add(CDelegate<DestroyCounter, DestroyCounter>(&counter, &DestroyCounter::Count));
    CControlUI* layout = a->GetItemLayout();

    a->RemoveAll();
    ASSERT_EQ(1, a->GetCount());
    ASSERT_EQ(layout, a->GetItemAt(0));
    EXPECT_EQ(0, a->GetChildCount());
    EXPECT_EQ(L"ae", Rows());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(3, counter.count);
    // The node still lays out and paints its parts, and takes new children.
    a->SetAttribute(L"text", L"A");
    Layout();
    EXPECT_EQ(a->GetBounds().top, a->GetItemButton()->GetBounds().top);
    EXPECT_STREQ(L"A", a->GetItemButton()->GetText().GetData());
    ASSERT_TRUE(a->Add(Node(L"f")));
    EXPECT_EQ(L"Afe", Rows());

    // Outside a view the children stay with their maker, free of the node.
    CTreeNodeUI loose;
    CTreeNodeUI kept;
    ASSERT_TRUE(loose.Add(&kept));
    loose.RemoveAll();
    EXPECT_EQ(0, loose.GetChildCount());
    EXPECT_EQ(nullptr, kept.GetParentNode());
    EXPECT_EQ(loose.GetItemLayout(), loose.GetItemAt(0));
    EXPECT_TRUE(view->Remove(e));
    EXPECT_TRUE(view->Remove(a));
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(5, counter.count);
}

// A node under itself, or twice under the same parent, would make every
// walk of its subtree (indenting, finding its last row) endless.
TEST(TreeNode, ANodeIsNeverItsOwnChildNorTheSameChildTwice)
{
    CTreeNodeUI parent;
    CTreeNodeUI child;
    ASSERT_FALSE(parent.Add(&parent));
    EXPECT_EQ(0, parent.GetChildCount());
    ASSERT_TRUE(parent.Add(&child));
    ASSERT_FALSE(parent.Add(&child));
    EXPECT_EQ(1, parent.GetChildCount());
    // Both still walk: a grandparent indents them, and one removal frees the
    // child for good.
    CTreeNodeUI grandparent;
    ASSERT_TRUE(grandparent.Add(&parent));
    EXPECT_EQ(34, child.GetDottedLine()->GetPreferredWidth());
    EXPECT_TRUE(parent.Remove(&child));
    EXPECT_EQ(0, parent.GetChildCount());
    EXPECT_TRUE(grandparent.Remove(&parent));
}

TEST_F(TreeWindow, AttributesOfTheViewAndItsNodes)
{
    BuildDetached();
    struct Case {
        const wchar_t* value;
        int stored;
        int nodeMinWidth;
    };
    // Stored as given; a node's minimum width ignores a negative one.
    const Case widths[] = {{L"120", 120, 120}, {L"abc", 0, 0}, {L"-5", -5, 0}, {L"300", 300, 300}};
    for (const Case& width : widths) {
        view->SetAttribute(L"itemminwidth", width.value);
        EXPECT_EQ(width.stored, view->GetItemMinWidth()) << width.value;
        EXPECT_EQ(width.nodeMinWidth, c->GetMinWidth()) << width.value;
    }
    CTreeNodeUI* f = Node(L"f");
    ASSERT_TRUE(view->Add(f));
    EXPECT_EQ(300, f->GetMinWidth());

    a->SetAttribute(L"itemattr", L"text=\"renamed\"");
    EXPECT_STREQ(L"renamed", a->GetItemButton()->GetText().GetData());
    a->SetAttribute(L"folderattr", L"width=\"24\"");
    EXPECT_EQ(24, a->GetFolderButton()->GetPreferredWidth());
    a->SetAttribute(L"selitemhottextcolor", L"00FF00");
    EXPECT_EQ(0x00FF00u, a->GetSelectedItemHotTextColor());
    a->SetAttribute(L"selected", L"false");
    EXPECT_TRUE(a->IsSelected());
    EXPECT_EQ(0, view->GetSelectedIndex());
    EXPECT_EQ(a, reinterpret_cast<CTreeNodeUI*>(a->CastByName(L"TreeNode")));
    EXPECT_NE(nullptr, a->CastByName(L"ListItem"));
}

}  // namespace
