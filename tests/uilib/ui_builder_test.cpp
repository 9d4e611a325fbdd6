// The dialog builder: markup to a tree of controls on a manager, the root
// element's window settings and shared resources, class defaults, includes,
// controls made by factories and by the callback, and the failures.
#include "ChildLayoutUI.h"
#include "ContainerUI.h"
#include "ControlUI.h"
#include "DialogBuilder.h"
#include "UiManager.h"
#include "UiRender.h"
#include "counted_controls.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;
using UiTest::CountedControl;
using UiTest::CountingCallback;

namespace {

std::vector<std::wstring> g_traces;

void CollectTrace(const wchar_t* text)
{
    g_traces.push_back(text);
}

bool Traced(const std::wstring& line)
{
    for (const std::wstring& trace : g_traces) {
        if (trace == line + L"\n")
            return true;
    }
    return false;
}

// A window-less test would skip the window settings: the manager gets a
// hidden window of its own.
class BuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUiManager::SetInstance(GetModuleHandleW(nullptr), CollectTrace);
        CUiManager::SetResourceZip(L"", false);
        g_traces.clear();
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window_);
        manager_ = new CUiManager;
        manager_->AttachWindow(window_);
    }
    void TearDown() override
    {
        delete manager_;
        DestroyWindow(window_);
    }

    // Builds the markup and hands the root to the manager, which owns it.
    CControlUI* BuildRoot(const wchar_t* markup, IDialogBuilderCallback* callback = nullptr)
    {
        CDialogBuilder builder;
        CControlUI* root = builder.Build(markup, nullptr, callback, manager_);
        if (root != nullptr)
            manager_->SetRoot(root);
        return root;
    }

    static IContainerUI* ItemsOf(CControlUI* control)
    {
        return static_cast<IContainerUI*>(control->CastByName(L"IContainer"));
    }

    std::wstring NameOf(IContainerUI* container, int index) { return container->GetItemAt(index)->GetName().GetData(); }

    HWND window_ = nullptr;
    CUiManager* manager_ = nullptr;
};

TEST_F(BuilderTest, WindowRootGivesNoControlOfItsOwn)
{
    CControlUI* root = BuildRoot(L"<Window><Control name=\"a\" text=\"hello\"/></Window>");
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"ControlUI", root->GetTypeName());
    EXPECT_STREQ(L"a", root->GetName().GetData());
    EXPECT_STREQ(L"hello", root->GetText().GetData());
    EXPECT_EQ(root, manager_->FindControlByName(L"a"));
}

TEST_F(BuilderTest, NestedElementsBecomeATreeInMarkupOrder)
{
    CControlUI* root = BuildRoot(L"<Window>"
                                 L"<Container name=\"root\">"
                                 L"  <Control name=\"first\"/>"
                                 L"  <Container name=\"inner\"><Control name=\"deep\"/></Container>"
                                 L"  <Control name=\"last\"/>"
                                 L"</Container></Window>");
    ASSERT_NE(nullptr, root);
    IContainerUI* container = ItemsOf(root);
    ASSERT_NE(nullptr, container);
    ASSERT_EQ(3, container->GetCount());
    EXPECT_EQ(L"first", NameOf(container, 0));
    EXPECT_EQ(L"inner", NameOf(container, 1));
    EXPECT_EQ(L"last", NameOf(container, 2));
    CControlUI* deep = manager_->FindControlByName(L"deep");
    ASSERT_NE(nullptr, deep);
    EXPECT_EQ(manager_->FindControlByName(L"inner"), deep->GetParentControl());
    EXPECT_EQ(manager_, deep->GetOwnerManager());
    EXPECT_EQ(root, container->GetItemAt(0)->GetParentControl());
}

TEST_F(BuilderTest, ElementNamesOfTheCoreMakeTheirClasses)
{
    struct Case {
        const wchar_t* element;
        const wchar_t* type;
    };
    const Case cases[] = {
        {L"Control", L"ControlUI"},
        {L"Container", L"ContainerUI"},
        {L"VerticalLayout", L"VerticalLayoutUI"},
        {L"HorizontalLayout", L"HorizontalLayoutUI"},
        {L"TileLayout", L"TileLayoutUI"},
        {L"TabLayout", L"TabLayoutUI"},
        {L"ChildLayout", L"ChildLayoutUI"},
    };
    for (const Case& c : cases) {
        const std::wstring markup = std::wstring(L"<Window><") + c.element + L" name=\"n\"/></Window>";
        CControlUI* root = BuildRoot(markup.c_str());
        ASSERT_NE(nullptr, root) << c.element;
        EXPECT_STREQ(c.type, root->GetTypeName());
        EXPECT_STREQ(L"n", root->GetName().GetData());
    }
    // Element names compare exactly.
    g_traces.clear();
    EXPECT_EQ(nullptr, BuildRoot(L"<Window><control/></Window>"));
    EXPECT_TRUE(Traced(L"未知控件:control"));
}

TEST_F(BuilderTest, BuildingIntoAParentLeavesTheNewControlsWithThatParent)
{
    CControlUI* root = BuildRoot(L"<Window><Container name=\"host\"/></Window>");
    ASSERT_NE(nullptr, root);
    CDialogBuilder builder;
    CControlUI* added =
        builder.Build(L"<Part><Control name=\"guest\" text=\"in\"/></Part>", nullptr, nullptr, manager_, root);
    ASSERT_NE(nullptr, added);
    EXPECT_EQ(1, ItemsOf(root)->GetCount());
    EXPECT_EQ(root, added->GetParentControl());
    EXPECT_EQ(manager_, added->GetOwnerManager());
    EXPECT_STREQ(L"in", added->GetText().GetData());
}

TEST_F(BuilderTest, ALevelWithoutParentKeepsOnlyItsFirstControl)
{
    CControlUI* root = BuildRoot(L"<Window><Control name=\"one\"/><Control name=\"two\"/></Window>");
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"one", root->GetName().GetData());
    EXPECT_EQ(nullptr, manager_->FindControlByName(L"two"));
}

TEST_F(BuilderTest, ChildrenOfAControlThatHoldsNoneAreDropped)
{
    CControlUI* root = BuildRoot(L"<Window><Control name=\"leaf\"><Control name=\"child\"/></Control></Window>");
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"leaf", root->GetName().GetData());
    EXPECT_EQ(nullptr, manager_->FindControlByName(L"child"));
}

TEST_F(BuilderTest, ClassDefaultsComeBeforeTheElementsOwnAttributes)
{
    CControlUI* root =
        BuildRoot(L"<Window>"
                  L"<Default name=\"Control\" value=\"text=&quot;default&quot; tooltip=&quot;tip&quot;\"/>"
                  L"<Container name=\"root\"><Control name=\"plain\"/>"
                  L"<Control name=\"own\" text=\"mine\"/></Container></Window>");
    ASSERT_NE(nullptr, root);
    CControlUI* plain = manager_->FindControlByName(L"plain");
    CControlUI* own = manager_->FindControlByName(L"own");
    ASSERT_NE(nullptr, plain);
    ASSERT_NE(nullptr, own);
    EXPECT_STREQ(L"default", plain->GetText().GetData());
    EXPECT_STREQ(L"mine", own->GetText().GetData());
    EXPECT_STREQ(L"tip", own->GetTooltip().GetData());
    // The defaults are kept by element name; the container got none.
    EXPECT_STREQ(L"", root->GetText().GetData());
}

TEST_F(BuilderTest, FontsAreListedInOrderAndTheDefaultOneReplacesTheDefaultFont)
{
    CControlUI* root = BuildRoot(L"<Window>"
                                 L"<Font name=\"Arial\" size=\"21\" bold=\"true\"/>"
                                 L"<Font name=\"Tahoma\" default=\"true\" italic=\"true\"/>"
                                 L"<Control/></Window>");
    ASSERT_NE(nullptr, root);
    UiFontInfo* first = manager_->GetFontInfo(0);
    UiFontInfo* second = manager_->GetFontInfo(1);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    ASSERT_NE(first, second);
    EXPECT_STREQ(L"Arial", first->faceName.GetData());
    EXPECT_EQ(21, first->size);
    EXPECT_TRUE(first->bold);
    EXPECT_FALSE(first->italic);
    EXPECT_STREQ(L"Tahoma", second->faceName.GetData());
    EXPECT_EQ(12, second->size);
    EXPECT_TRUE(second->italic);
    UiFontInfo* fallback = manager_->GetDefaultFontInfo();
    EXPECT_STREQ(L"Tahoma", fallback->faceName.GetData());
    EXPECT_EQ(12, fallback->size);
    EXPECT_TRUE(fallback->italic);
}

TEST_F(BuilderTest, WindowAttributesGoToTheManager)
{
    CControlUI* root = BuildRoot(L"<Window size=\"320,240\" sizebox=\"4,5,6,7\" caption=\"0,0,0,30\" "
                                 L"roundcorner=\"3,4\" mininfo=\"200,100\" maxinfo=\"800,600\" alpha=\"300\" "
                                 L"defaultfontcolor=\"#FF112233\" disabledfontcolor=\"FF445566\" "
                                 L"linkfontcolor=\"#FF0000AA\" linkhoverfontcolor=\"#FF0000BB\" "
                                 L"selectedcolor=\"#FF0000CC\"><Control/></Window>");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(320, manager_->GetInitialSize().cx);
    EXPECT_EQ(240, manager_->GetInitialSize().cy);
    RECT rc = {};
    GetWindowRect(window_, &rc);
    EXPECT_EQ(320, rc.right - rc.left);
    EXPECT_EQ(240, rc.bottom - rc.top);
    const RECT box = manager_->GetSizeBox();
    EXPECT_EQ(4, box.left);
    EXPECT_EQ(5, box.top);
    EXPECT_EQ(6, box.right);
    EXPECT_EQ(7, box.bottom);
    EXPECT_EQ(30, manager_->GetCaptionRect().bottom);
    EXPECT_EQ(3, manager_->GetRoundCorner().cx);
    EXPECT_EQ(4, manager_->GetRoundCorner().cy);
    EXPECT_EQ(200, manager_->GetMinInfo().cx);
    EXPECT_EQ(600, manager_->GetMaxInfo().cy);
    EXPECT_EQ(255, manager_->GetOpacity());
    EXPECT_EQ(0xFF112233u, manager_->GetDefaultFontColor());
    EXPECT_EQ(0xFF445566u, manager_->GetDefaultDisabledColor());
    EXPECT_EQ(0xFF0000AAu, manager_->GetDefaultLinkFontColor());
    EXPECT_EQ(0xFF0000BBu, manager_->GetDefaultLinkHoverFontColor());
    EXPECT_EQ(0xFF0000CCu, manager_->GetDefaultSelectedBkColor());
}

TEST_F(BuilderTest, OnlyAWindowRootSetsWindowAttributes)
{
    CControlUI* root = BuildRoot(L"<Panel size=\"320,240\" caption=\"0,0,0,30\"><Control/></Panel>");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(0, manager_->GetInitialSize().cx);
    EXPECT_EQ(0, manager_->GetCaptionRect().bottom);
}

// Makes controls of made-up classes; records what it was asked for.
class Callback : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* className) override
    {
        asked.push_back(className);
        if (wcscmp(className, L"Panel") == 0)
            return new CContainerUI;
        return nullptr;
    }
    std::vector<std::wstring> asked;
};

TEST_F(BuilderTest, UnknownElementsGoToTheCallbackAndAreSkippedWhenNoneMakesThem)
{
    Callback callback;
    CControlUI* root = BuildRoot(L"<Window><Container name=\"root\">"
                                 L"<Foo name=\"foo\"><Control name=\"insideFoo\"/></Foo>"
                                 L"<Panel name=\"panel\"><Control name=\"insidePanel\"/></Panel>"
                                 L"<Control name=\"after\"/>"
                                 L"</Container></Window>",
                                 &callback);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ((std::vector<std::wstring>{L"Foo", L"Panel"}), callback.asked);
    EXPECT_TRUE(Traced(L"未知控件:Foo"));
    EXPECT_EQ(nullptr, manager_->FindControlByName(L"foo"));
    EXPECT_EQ(nullptr, manager_->FindControlByName(L"insideFoo"));
    CControlUI* panel = manager_->FindControlByName(L"panel");
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(panel, manager_->FindControlByName(L"insidePanel")->GetParentControl());
    ASSERT_NE(nullptr, manager_->FindControlByName(L"after"));
    IContainerUI* container = ItemsOf(root);
    ASSERT_EQ(2, container->GetCount());
    EXPECT_EQ(L"panel", NameOf(container, 0));
    EXPECT_EQ(L"after", NameOf(container, 1));
}

class FactoryControl : public CControlUI {
public:
    const wchar_t* GetTypeName() const override { return L"FactoryUI"; }
};

CControlUI* MakeFactoryControl(const wchar_t* className)
{
    return wcscmp(className, L"Made") == 0 ? new FactoryControl : nullptr;
}

TEST_F(BuilderTest, ControlFactoriesComeBeforeTheCallback)
{
    CUiPtrArray* factories = CUiManager::GetControlFactories();
    factories->Add(reinterpret_cast<void*>(&MakeFactoryControl));
    Callback callback;
    CControlUI* root = BuildRoot(L"<Window><Made name=\"made\"/></Window>", &callback);
    factories->Remove(factories->Find(reinterpret_cast<void*>(&MakeFactoryControl)));
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"FactoryUI", root->GetTypeName());
    EXPECT_STREQ(L"made", root->GetName().GetData());
    EXPECT_TRUE(callback.asked.empty());
}

TEST_F(BuilderTest, MarkupThatCannotBeLoadedFailsWithATrace)
{
    struct Case {
        const wchar_t* markup;
        const wchar_t* trace;
    };
    const Case cases[] = {
        {L"<Window><Control></Window>", L"xml Load faild:<Window><Control></Window>"},
        {L"no-such-skin.xml", L"xml LoadFromFile faild:no-such-skin.xml"},
        {MAKEINTRESOURCEW(4242), L"FindResource null:#4242"},
        {L"<Window/>", L"CDialogBuilder::_Parse reutn null"},
    };
    for (const Case& c : cases) {
        g_traces.clear();
        CDialogBuilder builder;
        EXPECT_EQ(nullptr, builder.Build(c.markup, IS_INTRESOURCE(c.markup) ? L"xml" : nullptr, nullptr, manager_))
            << c.trace;
        EXPECT_TRUE(Traced(c.trace)) << c.trace;
    }
}

// A level whose parent cannot hold it ends with null and no trace of its own.
TEST_F(BuilderTest, ALevelItsParentRefusesEndsQuietly)
{
    CControlUI* root = BuildRoot(L"<Window><Control name=\"leaf\"><Label name=\"lost\"/></Control></Window>");
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ(L"leaf", root->GetName().GetData());
    EXPECT_EQ(nullptr, manager_->FindControlByName(L"lost"));
    EXPECT_FALSE(Traced(L"CDialogBuilder::_Parse reutn null"));
}

// Skin files in a folder of their own, read through the resource folder.
class BuilderFileTest : public BuilderTest {
protected:
    void SetUp() override
    {
        BuilderTest::SetUp();
        folder_ = testfiles::OwnExeDir() + L"\\uilib_builder_test.skin";
        testfiles::RemoveTree(folder_);
        CreateDirectoryW(folder_.c_str(), nullptr);
        CUiManager::SetResourcePath(folder_.c_str());
    }
    void TearDown() override
    {
        BuilderTest::TearDown();
        testfiles::RemoveTree(folder_);
    }
    void Write(const wchar_t* name, const std::string& bytes)
    {
        ASSERT_TRUE(testfiles::WriteBytes(folder_ + L"\\" + name, bytes));
    }

    std::wstring folder_;
};

TEST_F(BuilderFileTest, IncludeBuildsItsMarkupCountTimesIntoTheSameParent)
{
    Write(L"row.xml", "<Part><Control name=\"row\"/><Control name=\"row2\"/></Part>");
    Write(L"main.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<Window><Container name=\"list\"><Control name=\"head\"/>"
                       "<Include source=\"row.xml\" count=\"2\"/><Control name=\"tail\"/></Container></Window>");
    CControlUI* root = BuildRoot(L"main.xml");
    ASSERT_NE(nullptr, root);
    IContainerUI* list = ItemsOf(root);
    ASSERT_EQ(6, list->GetCount());
    const wchar_t* expected[] = {L"head", L"row", L"row2", L"row", L"row2", L"tail"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], NameOf(list, i)) << i;
}

// A level without a parent gives the first control made at that level;
// nothing holds the others or the roots its includes built, so none of them
// is left alive.
TEST_F(BuilderFileTest, AParentlessLevelGivesItsOwnFirstControlAndKeepsNothingElse)
{
    Write(L"part.xml", "<Part><Counted name=\"included\"/><Counted name=\"second\"/></Part>");
    struct Case {
        const wchar_t* markup;
        const wchar_t* result;  // name of the control built, null for none
    };
    const Case cases[] = {
        {L"<Window><Counted name=\"one\"/><Counted name=\"two\"/></Window>", L"one"},
        {L"<Window><Include source=\"part.xml\"/></Window>", nullptr},
        {L"<Window><Include source=\"part.xml\" count=\"2\"/><Counted name=\"own\"/>"
         L"<Include source=\"part.xml\"/></Window>",
         L"own"},
    };
    CountingCallback callback;
    for (const Case& c : cases) {
        g_traces.clear();
        CountedControl::live = 0;
        CDialogBuilder builder;
        CControlUI* root = builder.Build(c.markup, nullptr, &callback, manager_);
        if (c.result == nullptr) {
            EXPECT_EQ(nullptr, root) << c.markup;
            EXPECT_TRUE(Traced(L"CDialogBuilder::_Parse reutn null")) << c.markup;
        } else {
            ASSERT_NE(nullptr, root) << c.markup;
            EXPECT_STREQ(c.result, root->GetName().GetData()) << c.markup;
        }
        EXPECT_EQ(root != nullptr ? 1 : 0, CountedControl::live) << c.markup;
        delete root;
        EXPECT_EQ(0, CountedControl::live) << c.markup;
    }
}

TEST_F(BuilderFileTest, AnIncludeOfItselfIsRefused)
{
    Write(L"loop.xml", "<Window><Container name=\"box\"><Control name=\"before\"/>"
                       "<Include source=\"loop.xml\"/></Container></Window>");
    Write(L"outer.xml", "<Window><Container name=\"outer\"><Include source=\"inner.xml\"/></Container></Window>");
    Write(L"inner.xml", "<Part><Container name=\"inner\"><Include source=\"outer.xml\"/></Container></Part>");

    CControlUI* root = BuildRoot(L"loop.xml");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(1, ItemsOf(root)->GetCount());
    EXPECT_TRUE(Traced(L"Include skipped, it includes itself:loop.xml"));

    root = BuildRoot(L"outer.xml");
    ASSERT_NE(nullptr, root);
    CControlUI* inner = manager_->FindControlByName(L"inner");
    ASSERT_NE(nullptr, inner);
    EXPECT_EQ(0, ItemsOf(inner)->GetCount());
}

// Nested containers named prefix0 .. prefix(count - 1) around inner.
std::string Nest(const char* prefix, int count, const std::string& inner)
{
    std::string markup;
    for (int i = 0; i < count; ++i)
        markup += "<Container name=\"" + std::string(prefix) + std::to_string(i) + "\">";
    markup += inner;
    for (int i = 0; i < count; ++i)
        markup += "</Container>";
    return markup;
}

TEST_F(BuilderFileTest, ATreeMadeDeeperThanTheLimitByIncludesIsCutThere)
{
    // Each file is within the markup's nesting limit; together they are not.
    Write(L"outer.xml", "<Window>" + Nest("c", 200, "<Include source=\"inner.xml\"/>") + "</Window>");
    Write(L"inner.xml", "<Part>" + Nest("d", 200, "") + "</Part>");
    CControlUI* root = BuildRoot(L"outer.xml");
    ASSERT_NE(nullptr, root);
    EXPECT_NE(nullptr, manager_->FindControlByName(L"c199"));
    // The 256th level of controls is the last.
    EXPECT_NE(nullptr, manager_->FindControlByName(L"d54"));
    EXPECT_EQ(nullptr, manager_->FindControlByName(L"d55"));
    EXPECT_TRUE(Traced(L"CDialogBuilder::_Parse too deep:Container"));
}

TEST_F(BuilderFileTest, AHugeIncludeCountIsCutWithATrace)
{
    Write(L"row.xml", "<Part><Control/></Part>");
    Write(L"huge.xml", "<Window><Container name=\"list\"><Include source=\"row.xml\" count=\"1000000\"/>"
                       "<Control name=\"tail\"/></Container></Window>");
    CControlUI* root = BuildRoot(L"huge.xml");
    ASSERT_NE(nullptr, root);
    // The copies stop at the bound; the rest of the skin is still built.
    EXPECT_EQ(100 + 1, ItemsOf(root)->GetCount());
    EXPECT_EQ(L"tail", NameOf(ItemsOf(root), 100));
    EXPECT_TRUE(Traced(L"Include cut after 100 copies:row.xml"));

    // Includes nested in included markup draw on the same bound.
    Write(L"ten.xml", "<Part><Container><Include source=\"row.xml\" count=\"60\"/></Container></Part>");
    Write(L"nested.xml", "<Window><Container name=\"list\"><Include source=\"ten.xml\" count=\"10\"/>"
                         "</Container></Window>");
    g_traces.clear();
    root = BuildRoot(L"nested.xml");
    ASSERT_NE(nullptr, root);
    int rows = 0;
    for (int i = 0; i < ItemsOf(root)->GetCount(); ++i)
        rows += ItemsOf(ItemsOf(root)->GetItemAt(i))->GetCount();
    EXPECT_EQ(100 - 2, rows);  // two of the hundred are copies of ten.xml
    EXPECT_TRUE(Traced(L"Include cut after 2 copies:ten.xml"));
}

// The child layouts found under control, outermost first, each with the
// number of children that it holds.
void ChildLayoutsUnder(CControlUI* control, std::vector<int>& counts)
{
    if (control->CastByName(L"ChildLayout") != nullptr)
        counts.push_back(static_cast<CChildLayoutUI*>(control)->GetCount());
    CContainerUI* container = static_cast<CContainerUI*>(control->CastByName(L"Container"));
    if (container == nullptr && control->CastByName(L"ChildLayout") != nullptr)
        container = static_cast<CChildLayoutUI*>(control);
    if (container == nullptr)
        return;
    for (int i = 0; i < container->GetCount(); ++i)
        ChildLayoutsUnder(container->GetItemAt(i), counts);
}

TEST_F(BuilderFileTest, ChildLayoutFilesThatNameThemselvesOrNestTooDeeplyAreRefused)
{
    Write(L"self.xml", "<Window><Container><ChildLayout xmlfile=\"self.xml\"/></Container></Window>");
    Write(L"ping.xml", "<Window><Container><ChildLayout xmlfile=\"pong.xml\"/></Container></Window>");
    Write(L"pong.xml", "<Window><Container><ChildLayout xmlfile=\"ping.xml\"/></Container></Window>");
    for (int i = 0; i < 12; ++i) {
        const std::string next = "chain" + std::to_string(i + 1) + ".xml";
        Write((L"chain" + std::to_wstring(i) + L".xml").c_str(),
              "<Window><Container><ChildLayout xmlfile=\"" + next + "\"/></Container></Window>");
    }
    Write(L"chain12.xml", "<Window><Control name=\"end\"/></Window>");
    struct Case {
        const wchar_t* file;
        std::vector<int> counts;  // children of each child layout, outermost first
        const wchar_t* trace;
    };
    const Case cases[] = {
        {L"self.xml", {1, 0}, L"ChildLayout skipped, it contains itself:self.xml"},
        {L"ping.xml", {1, 1, 0}, L"ChildLayout skipped, it contains itself:ping.xml"},
        {L"chain0.xml", {1, 1, 1, 1, 1, 1, 1, 1, 0}, L"ChildLayout skipped, nested too deeply:chain8.xml"},
    };
    for (const Case& c : cases) {
        g_traces.clear();
        CContainerUI* root = new CContainerUI;
        ASSERT_TRUE(manager_->SetRoot(root));
        CChildLayoutUI* outer = new CChildLayoutUI;
        outer->SetAttribute(L"xmlfile", c.file);
        root->Add(outer);  // builds here
        std::vector<int> counts;
        ChildLayoutsUnder(root, counts);
        EXPECT_EQ(c.counts, counts) << c.file;
        EXPECT_TRUE(Traced(c.trace)) << c.file;
    }
    // A short chain is built to its end.
    CContainerUI* root = new CContainerUI;
    ASSERT_TRUE(manager_->SetRoot(root));
    CChildLayoutUI* outer = new CChildLayoutUI;
    outer->SetAttribute(L"xmlfile", L"chain6.xml");
    root->Add(outer);
    EXPECT_NE(nullptr, manager_->FindControlByName(L"end"));
}

TEST_F(BuilderFileTest, ImagesOfTheSkinAreLoadedIntoTheManager)
{
    Write(L"dot.png", UiTest::SolidPng(3, 2, 0xFF00FF00));
    CControlUI* root =
        BuildRoot(L"<Window><Image name=\"dot.png\" mask=\"#FF00FF00\"/><Image name=\"\"/><Control/></Window>");
    ASSERT_NE(nullptr, root);
    // Loaded once: a second add of the same name is refused.
    EXPECT_EQ(nullptr, manager_->AddImage(L"dot.png"));
    UiImageInfo* image = manager_->GetOrLoadImage(L"dot.png");
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(3, image->width);
    EXPECT_EQ(0xFF00FF00u, image->maskColor);
}

}  // namespace
