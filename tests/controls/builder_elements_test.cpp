// The dialog builder's element table reaches every control of the library,
// and "TreeNode" elements build a tree under their view.
#include "DialogBuilder.h"
#include "HorizontalLayoutUI.h"
#include "LabelUI.h"
#include "TreeNodeUI.h"
#include "TreeViewUI.h"
#include "UiManager.h"
#include "counted_controls.h"

#include <gtest/gtest.h>

#include <string>

using namespace UiLib;

namespace {

struct ElementCase {
    const wchar_t* element;
    const wchar_t* typeName;  // as the built control reports it
};

// Builds one element under a vertical layout, without a window or callback.
CControlUI* BuildSingle(CUiManager& manager, const std::wstring& element)
{
    CDialogBuilder builder;
    const std::wstring markup = L"<Window><VerticalLayout><" + element + L" name=\"it\"/></VerticalLayout></Window>";
    return builder.Build(markup.c_str(), nullptr, nullptr, &manager);
}

TEST(BuilderElements, EveryTableNameMakesItsControl)
{
    const ElementCase cases[] = {
        {L"Label", L"LabelUI"},           {L"Text", L"TextUI"},
        {L"Button", L"ButtonUI"},         {L"Option", L"OptionUI"},
        {L"CheckBox", L"CheckBoxUI"},     {L"Edit", L"EditUI"},
        {L"RichEdit", L"RichEditUI"},     {L"ScrollBar", L"ScrollBarUI"},
        {L"Progress", L"ProgressUI"},     {L"Slider", L"SliderUI"},
        {L"Combo", L"ComboUI"},           {L"ComboBox", L"ComboBoxUI"},
        {L"DateTime", L"DateTimeUI"},     {L"List", L"ListUI"},
        {L"TreeView", L"TreeViewUI"},     {L"ActiveX", L"ActiveXUI"},
        {L"WebBrowser", L"WebBrowserUI"},
    };
    for (const ElementCase& c : cases) {
        CUiManager manager;
        CControlUI* root = BuildSingle(manager, c.element);
        ASSERT_NE(nullptr, root) << c.element;
        CContainerUI* layout = static_cast<CContainerUI*>(root->CastByName(L"Container"));
        ASSERT_NE(nullptr, layout) << c.element;
        ASSERT_EQ(1, layout->GetCount()) << c.element;
        CControlUI* built = layout->GetItemAt(0);
        EXPECT_STREQ(c.typeName, built->GetTypeName()) << c.element;
        EXPECT_STREQ(L"it", built->GetName().GetData()) << c.element;
        delete root;
    }
}

TEST(BuilderElements, NamesAreCaseSensitive)
{
    CUiManager manager;
    CControlUI* root = BuildSingle(manager, L"button");
    ASSERT_NE(nullptr, root);
    CContainerUI* layout = static_cast<CContainerUI*>(root->CastByName(L"Container"));
    EXPECT_EQ(0, layout->GetCount());
    delete root;
}

TEST(BuilderElements, TreeNodesNestUnderTheirViewWithControlsInTheirItemLayout)
{
    CUiManager manager;
    CDialogBuilder builder;
    CControlUI* root = builder.Build(
        L"<Window><TreeView name=\"tree\">"
        L"<TreeNode name=\"a\"><TreeNode name=\"a1\"/><TreeNode name=\"a2\"><Label name=\"extra\"/></TreeNode></TreeNode>"
        L"<TreeNode name=\"b\"/>"
        L"</TreeView></Window>",
        nullptr, nullptr, &manager);
    ASSERT_NE(nullptr, root);
    CTreeViewUI* view = static_cast<CTreeViewUI*>(root->CastByName(L"TreeView"));
    ASSERT_NE(nullptr, view);
    // Rows in depth-first order: a, a1, a2, b.
    ASSERT_EQ(4, view->GetCount());
    const wchar_t* order[] = {L"a", L"a1", L"a2", L"b"};
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(order[i], view->GetItemAt(i)->GetName().GetData()) << i;
    CTreeNodeUI* a = static_cast<CTreeNodeUI*>(view->GetItemAt(0)->CastByName(L"TreeNode"));
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(2, a->GetChildCount());
    CTreeNodeUI* a2 = a->GetChildNode(1);
    ASSERT_NE(nullptr, a2);
    EXPECT_EQ(a, a2->GetParentNode());
    // An ordinary control under a node goes into the node's item layout.
    CHorizontalLayoutUI* items = a2->GetItemLayout();
    bool found = false;
    for (int i = 0; i < items->GetCount(); ++i)
        found = found || items->GetItemAt(i)->GetName() == L"extra";
    EXPECT_TRUE(found);
    delete root;
}

// A node with neither a node nor a view above it ends its level before it is
// made: nothing of it or of its subtree is built, so nothing is left over.
TEST(BuilderElements, TreeNodeOutsideATreeEndsTheLevel)
{
    CUiManager manager;
    CDialogBuilder builder;
    UiTest::CountingCallback callback;
    UiTest::CountedControl::live = 0;
    CControlUI* root = builder.Build(L"<Window><VerticalLayout><TreeNode name=\"lost\"><Counted/>"
                                     L"<TreeNode name=\"inner\"><Counted/></TreeNode></TreeNode>"
                                     L"<Label/></VerticalLayout></Window>",
                                     nullptr, &callback, &manager);
    ASSERT_NE(nullptr, root);
    CContainerUI* layout = static_cast<CContainerUI*>(root->CastByName(L"Container"));
    ASSERT_NE(nullptr, layout);
    EXPECT_EQ(0, layout->GetCount());
    EXPECT_TRUE(callback.asked.empty());
    delete root;
    EXPECT_EQ(0, UiTest::CountedControl::live);
}

}  // namespace
