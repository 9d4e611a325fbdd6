// The container base and the layouts: ownership of children, the child list
// at every index, searches with their flags, visibility, the inset and the
// child padding, the line layouts' distribution of space, the tile grid, the
// tab pages, the child layout's markup, floating children and the separator.
#include "ChildLayoutUI.h"
#include "ContainerUI.h"
#include "HorizontalLayoutUI.h"
#include "ScrollBarUI.h"
#include "TabLayoutUI.h"
#include "TileLayoutUI.h"
#include "UiManager.h"
#include "VerticalLayoutUI.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

// Counts its own deletion.
class Tracked : public CControlUI {
public:
    explicit Tracked(int& deaths, const wchar_t* name = L"") : deaths_(deaths) { SetName(name); }
    ~Tracked() override { ++deaths_; }

private:
    int& deaths_;
};

// On its way it reads the names of its parent's children, as a destroy
// handler that looks at its siblings would.
class ReachesBack : public CControlUI {
public:
    explicit ReachesBack(std::vector<std::wstring>& seen) : seen_(seen) {}
    ~ReachesBack() override
    {
        IContainerUI* parent = static_cast<IContainerUI*>(parent_->CastByName(L"IContainer"));
        for (int i = 0; i < parent->GetCount(); ++i)
            seen_.push_back(parent->GetItemAt(i)->GetName().GetData());
    }

private:
    std::vector<std::wstring>& seen_;
};

// Records the events that reach its ProcessEvent.
class EventSink : public CContainerUI {
public:
    void ProcessEvent(UiEvent& event) override { types.push_back(event.type); }
    std::vector<int> types;
};

// Records the "tabselect" notifications (focus changes send others).
class TabSelectRecorder : public INotifyUI {
public:
    void Notify(UiNotify& notify) override
    {
        if (!(notify.type == L"tabselect"))
            return;
        types.push_back(notify.type.GetData());
        wParams.push_back(static_cast<int>(notify.wParam));
        lParams.push_back(static_cast<int>(notify.lParam));
    }
    std::vector<std::wstring> types;
    std::vector<int> wParams;
    std::vector<int> lParams;
};

CControlUI* Sized(int width, int height, const wchar_t* name = L"")
{
    CControlUI* control = new CControlUI;
    control->SetPreferredWidth(width);
    control->SetPreferredHeight(height);
    control->SetName(name);
    return control;
}

CControlUI* ByName(CControlUI* control, void* data)
{
    return control->GetName() == static_cast<const wchar_t*>(data) ? control : nullptr;
}

CControlUI* AtPoint(CControlUI* control, void* data)
{
    const RECT bounds = control->GetBounds();
    return PtInRect(&bounds, *static_cast<POINT*>(data)) ? control : nullptr;
}

CControlUI* Anything(CControlUI* control, void*)
{
    return control;
}

void ExpectRect(const RECT& expected, const RECT& actual, const std::string& where)
{
    EXPECT_EQ(expected.left, actual.left) << where;
    EXPECT_EQ(expected.top, actual.top) << where;
    EXPECT_EQ(expected.right, actual.right) << where;
    EXPECT_EQ(expected.bottom, actual.bottom) << where;
}

UiEvent MakeEvent(int type, int x, int y, WPARAM wParam = 0)
{
    UiEvent event = {};
    event.type = type;
    event.mouse.x = x;
    event.mouse.y = y;
    event.wParam = wParam;
    return event;
}

// --- The child list and ownership ---

TEST(ContainerChildren, AddInsertAndMoveAtEveryIndexIncludingOutOfRange)
{
    CContainerUI container;
    CControlUI* a = Sized(0, 0, L"a");
    CControlUI* b = Sized(0, 0, L"b");
    CControlUI* c = Sized(0, 0, L"c");
    EXPECT_FALSE(container.Add(nullptr));
    ASSERT_TRUE(container.Add(a));
    ASSERT_TRUE(container.AddAt(b, 0));  // before a
    ASSERT_TRUE(container.AddAt(c, 2));  // index == count appends
    EXPECT_EQ(b, container.GetItemAt(0));
    EXPECT_EQ(a, container.GetItemAt(1));
    EXPECT_EQ(c, container.GetItemAt(2));
    EXPECT_EQ(nullptr, container.GetItemAt(-1));
    EXPECT_EQ(nullptr, container.GetItemAt(3));
    EXPECT_EQ(-1, container.GetItemIndex(nullptr));

    // A refused control leaves the list as it was and stays with the caller.
    int deaths = 0;
    Tracked* stray = new Tracked(deaths);
    EXPECT_FALSE(container.AddAt(stray, -1));
    EXPECT_FALSE(container.AddAt(stray, 4));
    EXPECT_EQ(3, container.GetCount());
    EXPECT_EQ(-1, container.GetItemIndex(stray));
    EXPECT_FALSE(container.SetItemIndex(stray, 0));
    EXPECT_FALSE(container.Remove(stray));
    EXPECT_EQ(0, deaths);
    delete stray;

    EXPECT_TRUE(container.SetItemIndex(c, 0));
    EXPECT_EQ(c, container.GetItemAt(0));
    EXPECT_EQ(2, container.GetItemIndex(a));
    // Out of range the child keeps its place instead of dropping out of the list.
    EXPECT_FALSE(container.SetItemIndex(c, 3));
    EXPECT_FALSE(container.SetItemIndex(c, -1));
    EXPECT_EQ(c, container.GetItemAt(0));
    EXPECT_EQ(3, container.GetCount());

    EXPECT_FALSE(container.RemoveAt(-1));
    EXPECT_FALSE(container.RemoveAt(3));
    EXPECT_TRUE(container.RemoveAt(1));
    EXPECT_EQ(2, container.GetCount());
    EXPECT_EQ(a, container.GetItemAt(1));
}

TEST(ContainerChildren, RemovedChildrenAreDeletedAtOnceWithoutManagerAndKeptWithoutAutoDelete)
{
    int deaths = 0;
    {
        CContainerUI container;
        Tracked* first = new Tracked(deaths);
        container.Add(first);
        container.Add(new Tracked(deaths));
        container.Add(new Tracked(deaths));
        EXPECT_TRUE(container.Remove(first));  // deferred delete is on, but there is no manager
        EXPECT_EQ(1, deaths);
        container.RemoveAll();
        EXPECT_EQ(3, deaths);
        EXPECT_EQ(0, container.GetCount());
        container.Add(new Tracked(deaths));
    }
    EXPECT_EQ(4, deaths);  // the destructor deletes what is left

    deaths = 0;
    Tracked kept(deaths);
    {
        CContainerUI container;
        container.SetAutoDelete(false);
        container.Add(&kept);
        EXPECT_TRUE(container.Remove(&kept));
        container.Add(&kept);
    }
    EXPECT_EQ(0, deaths);
}

// Children leave the list before they are deleted: one that reaches back
// into its container on its way finds no sibling that is already gone.
TEST(ContainerChildren, AChildGoingFindsNoDeletedSiblingInTheList)
{
    std::vector<std::wstring> seen;
    CUiManager manager;
    CContainerUI* container = new CContainerUI;
    ASSERT_TRUE(manager.SetRoot(container));
    container->SetDeferredDelete(false);
    int deaths = 0;
    container->Add(new Tracked(deaths, L"gone first"));
    container->Add(new ReachesBack(seen));
    container->RemoveAll();
    EXPECT_EQ(1, deaths);
    EXPECT_TRUE(seen.empty());

    ReachesBack* alone = new ReachesBack(seen);
    container->Add(new Tracked(deaths, L"stays"));
    container->Add(alone);
    EXPECT_TRUE(container->Remove(alone));
    EXPECT_EQ((std::vector<std::wstring>{L"stays"}), seen);
}

TEST(ContainerChildren, WithAManagerRemovalIsDeferredToTheManager)
{
    int deaths = 0;
    {
        CUiManager manager;
        CContainerUI* root = new CContainerUI;
        ASSERT_TRUE(manager.SetRoot(root));
        Tracked* child = new Tracked(deaths, L"child");
        ASSERT_TRUE(root->Add(child));
        EXPECT_EQ(&manager, child->GetOwnerManager());
        EXPECT_EQ(root, child->GetParentControl());
        EXPECT_EQ(child, manager.FindControlByName(L"child"));

        EXPECT_TRUE(root->Remove(child));
        EXPECT_EQ(0, deaths);  // alive until the manager deletes its deferred controls
        EXPECT_EQ(0, root->GetCount());

        // With deferred delete off the manager is not asked.
        root->SetDeferredDelete(false);
        root->Add(new Tracked(deaths));
        EXPECT_TRUE(root->RemoveAt(0));
        EXPECT_EQ(1, deaths);
    }
    EXPECT_EQ(2, deaths);
}

TEST(ContainerChildren, ChildrenAddedBeforeTheManagerAreAttachedWithTheContainer)
{
    CUiManager manager;
    CContainerUI* root = new CContainerUI;
    CContainerUI* middle = new CContainerUI;
    CControlUI* leaf = Sized(0, 0, L"leaf");
    middle->Add(leaf);
    root->Add(middle);
    EXPECT_EQ(nullptr, leaf->GetOwnerManager());
    ASSERT_TRUE(manager.SetRoot(root));
    EXPECT_EQ(&manager, leaf->GetOwnerManager());
    EXPECT_EQ(middle, leaf->GetParentControl());
    EXPECT_EQ(root, middle->GetParentControl());
    EXPECT_EQ(leaf, manager.FindControlByName(L"leaf"));
}

TEST(ContainerChildren, NearestSelectableItemSkipsWhatIsNoListItem)
{
    CContainerUI container;
    EXPECT_EQ(-1, container.NearestSelectableItem(0, true));
    container.Add(Sized(0, 0));
    container.Add(Sized(0, 0));
    // Plain controls are never list items.
    EXPECT_EQ(-1, container.NearestSelectableItem(5, true));
    EXPECT_EQ(-1, container.NearestSelectableItem(-3, false));
}

// --- Searching the tree ---

TEST(ContainerSearch, FlagsSkipHiddenAndDisabledBranchesAndSelfFirstAsksTheContainerFirst)
{
    CContainerUI root;
    root.SetName(L"root");
    CContainerUI* branch = new CContainerUI;
    branch->SetName(L"branch");
    branch->Add(Sized(0, 0, L"leaf"));
    root.Add(branch);
    root.Add(Sized(0, 0, L"sibling"));

    const wchar_t* leaf = L"leaf";
    EXPECT_NE(nullptr, root.Search(ByName, const_cast<wchar_t*>(leaf), 0));
    branch->SetEnabled(false);
    EXPECT_EQ(nullptr, root.Search(ByName, const_cast<wchar_t*>(leaf), kUiFindEnabled));
    EXPECT_NE(nullptr, root.Search(ByName, const_cast<wchar_t*>(leaf), kUiFindVisible));
    branch->SetEnabled(true);
    branch->SetShown(false);
    EXPECT_EQ(nullptr, root.Search(ByName, const_cast<wchar_t*>(leaf), kUiFindVisible));
    EXPECT_NE(nullptr, root.Search(ByName, const_cast<wchar_t*>(leaf), 0));
    branch->SetShown(true);

    EXPECT_EQ(&root, root.Search(Anything, nullptr, kUiFindSelfFirst));
    EXPECT_STREQ(L"leaf", root.Search(Anything, nullptr, 0)->GetName().GetData());  // children first, depth first
    EXPECT_STREQ(L"sibling", root.Search(Anything, nullptr, kUiFindTopFirst)->GetName().GetData());
}

TEST(ContainerSearch, HitTestsHonourTopMostOrderTheInsetMouseChildAndFloatingChildren)
{
    CContainerUI root;
    root.SetInset(RECT{10, 10, 10, 10});
    CControlUI* under = Sized(0, 0, L"under");
    CControlUI* over = Sized(0, 0, L"over");
    CControlUI* floating = Sized(20, 5, L"floating");
    floating->SetFloating(true);
    floating->SetFixedOffset(SIZE{0, 0});
    root.Add(under);
    root.Add(over);
    root.Add(floating);
    root.SetBounds(RECT{0, 0, 100, 100});
    ExpectRect(RECT{10, 10, 90, 90}, under->GetBounds(), "child over the client area");

    POINT inside = {50, 50};
    EXPECT_EQ(over, root.Search(AtPoint, &inside, kUiFindHitTest | kUiFindTopFirst));
    EXPECT_EQ(under, root.Search(AtPoint, &inside, kUiFindHitTest));
    POINT outside = {150, 50};
    EXPECT_EQ(nullptr, root.Search(AtPoint, &outside, kUiFindHitTest));

    // A child reaching under the inset does not catch the point there; a
    // floating child placed there on purpose does.
    under->SetBounds(RECT{0, 0, 100, 100});
    over->SetBounds(RECT{0, 0, 100, 100});
    POINT inInset = {5, 50};
    EXPECT_EQ(&root, root.Search(AtPoint, &inInset, kUiFindHitTest));
    POINT onFloating = {5, 2};
    EXPECT_EQ(floating, root.Search(AtPoint, &onFloating, kUiFindHitTest | kUiFindTopFirst));

    root.SetMouseChildEnabled(false);
    EXPECT_EQ(&root, root.Search(AtPoint, &inside, kUiFindHitTest | kUiFindTopFirst));
}

// --- Visibility and the mouse ---

TEST(ContainerVisibility, HidingAContainerHidesItsSubtreeAndShowingItRestoresEachChildsOwnState)
{
    CContainerUI root;
    CContainerUI* middle = new CContainerUI;
    CControlUI* leaf = Sized(0, 0);
    CControlUI* hiddenLeaf = Sized(0, 0);
    hiddenLeaf->SetShown(false);
    middle->Add(leaf);
    middle->Add(hiddenLeaf);
    root.Add(middle);

    root.SetShown(false);
    EXPECT_FALSE(middle->IsShown());
    EXPECT_FALSE(leaf->IsShown());
    // Added while the container is hidden: hidden by its parent.
    CControlUI* late = Sized(0, 0);
    middle->Add(late);
    EXPECT_FALSE(late->IsShown());

    root.SetShown(true);
    EXPECT_TRUE(middle->IsShown());
    EXPECT_TRUE(leaf->IsShown());
    EXPECT_TRUE(late->IsShown());
    EXPECT_FALSE(hiddenLeaf->IsShown());
}

TEST(ContainerVisibility, MouseEventsOfAMouseDisabledContainerGoToItsParent)
{
    CUiManager manager;
    EventSink* parent = new EventSink;
    ASSERT_TRUE(manager.SetRoot(parent));
    CContainerUI* child = new CContainerUI;
    parent->Add(child);
    child->SetMouseEnabled(false);
    EXPECT_FALSE(child->IsMouseEnabled());
    UiEvent click = MakeEvent(kUiEventButtonDown, 1, 1);
    child->ProcessEvent(click);
    UiEvent focus = MakeEvent(kUiEventSetFocus, 0, 0);
    child->ProcessEvent(focus);  // handled by the container itself
    // Without scroll bars the scrolling keys are not taken either.
    UiEvent pageDown = MakeEvent(kUiEventKeyDown, 0, 0);
    pageDown.key = VK_NEXT;
    child->ProcessEvent(pageDown);
    EXPECT_EQ((std::vector<int>{kUiEventButtonDown, kUiEventKeyDown}), parent->types);
    EXPECT_TRUE(child->HasFocus());
}

// With only a horizontal bar, the scrolling keys and the wheel scroll
// sideways: Page Down moves right by one client width.
TEST(ContainerScrolling, WithOnlyAHorizontalBarKeysAndWheelScrollSideways)
{
    CUiManager manager;
    CContainerUI* container = new CContainerUI;
    ASSERT_TRUE(manager.SetRoot(container));
    container->SetInset(RECT{10, 0, 30, 0});
    container->EnableScrollBars(false, true);
    container->SetBounds(RECT{0, 0, 240, 100});
    ASSERT_NE(nullptr, container->GetHorizontalScrollBar());
    container->GetHorizontalScrollBar()->SetScrollRange(1000);
    struct Step {
        int type;
        WPARAM key;
        int expectedX;
    };
    const Step steps[] = {
        {kUiEventKeyDown, VK_NEXT, 200}, {kUiEventKeyDown, VK_NEXT, 400}, {kUiEventKeyDown, VK_PRIOR, 200},
        {kUiEventKeyDown, VK_DOWN, 208}, {kUiEventKeyDown, VK_UP, 200},   {kUiEventScrollWheel, 1, 208},
        {kUiEventScrollWheel, 0, 200},   {kUiEventKeyDown, VK_END, 1000}, {kUiEventKeyDown, VK_HOME, 0},
    };
    for (const Step& step : steps) {
        UiEvent event = MakeEvent(step.type, 0, 0, step.type == kUiEventScrollWheel ? step.key : 0);
        if (step.type == kUiEventKeyDown)
            event.key = static_cast<wchar_t>(step.key);
        container->ProcessEvent(event);
        EXPECT_EQ(step.expectedX, container->GetScrollPos().cx) << step.type << " " << step.key;
        EXPECT_EQ(0, container->GetScrollPos().cy);
    }
}

// --- Attributes of the container ---

TEST(ContainerAttributes, InsetChildPaddingAndMouseChildIncludingMalformedValues)
{
    struct Case {
        const wchar_t* inset;
        RECT expectedInset;
        const wchar_t* padding;
        int expectedPadding;
    };
    const Case cases[] = {
        {L"1,2,3,4", {1, 2, 3, 4}, L"7", 7},
        {L"5,6", {5, 6, 0, 0}, L"", 0},
        {L"abc", {0, 0, 0, 0}, L"x9", 0},
        {L"1;2;3;4", {1, 2, 3, 4}, L"-3", -3},
    };
    for (const Case& c : cases) {
        CContainerUI container;
        container.SetAttribute(L"inset", c.inset);
        container.SetAttribute(L"childpadding", c.padding);
        const std::string where(c.inset, c.inset + wcslen(c.inset));
        ExpectRect(c.expectedInset, container.GetInset(), where);
        EXPECT_EQ(c.expectedPadding, container.GetChildPadding()) << where;
    }
    CContainerUI container;
    container.SetAttribute(L"mousechild", L"True");
    EXPECT_FALSE(container.IsMouseChildEnabled());
    container.SetAttribute(L"mousechild", L"true");
    EXPECT_TRUE(container.IsMouseChildEnabled());
    EXPECT_EQ(static_cast<IContainerUI*>(&container), container.CastByName(L"IContainer"));
    EXPECT_EQ(&container, container.CastByName(L"Container"));
    EXPECT_EQ(nullptr, container.CastByName(L"container"));
}

// --- Painting ---

// A container that is the root of a manager without a window.
class RootedContainer : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(manager.SetRoot(root)); }

    CUiManager manager;
    CContainerUI* root = new CContainerUI;  // owned by the manager
};

TEST_F(RootedContainer, ChildrenAreClippedToTheClientAreaButFloatingOnesMayCoverTheInset)
{
    root->SetInset(RECT{10, 10, 10, 10});
    CControlUI* wide = Sized(0, 0);
    wide->SetBackgroundColor(0xFFFF0000);
    CControlUI* floating = Sized(0, 0);
    floating->ApplyAttributeString(L"float=\"true\" pos=\"0,0,8,8\" bkcolor=\"#FF0000FF\"");
    CControlUI* hidden = Sized(0, 0);
    hidden->SetBackgroundColor(0xFF00FF00);
    hidden->SetShown(false);
    root->Add(wide);
    root->Add(floating);
    root->Add(hidden);
    root->SetBounds(RECT{0, 0, 100, 100});
    hidden->SetBounds(RECT{0, 0, 100, 100});
    wide->SetBounds(RECT{0, 0, 100, 100});  // reaches under the inset

    UiTest::Canvas canvas(100, 100);
    ASSERT_TRUE(canvas.ok());
    root->Paint(canvas.dc(), RECT{0, 0, 100, 100});
    EXPECT_TRUE(canvas.AllEqual(RECT{0, 0, 8, 8}, 0x0000FF));      // the floating child over the inset
    EXPECT_TRUE(canvas.AllEqual(RECT{10, 10, 90, 90}, 0xFF0000));  // the client area
    EXPECT_TRUE(canvas.AllEqual(RECT{8, 0, 100, 10}, 0xFFFFFF));   // the inset: the wide child is cut off
    EXPECT_TRUE(canvas.AllEqual(RECT{90, 10, 100, 100}, 0xFFFFFF));

    // A dirty rect that misses the client area still paints floating children.
    UiTest::Canvas corner(100, 100);
    root->Paint(corner.dc(), RECT{0, 0, 9, 9});
    EXPECT_TRUE(corner.AllEqual(RECT{0, 0, 8, 8}, 0x0000FF));
    EXPECT_TRUE(corner.AllEqual(RECT{10, 10, 90, 90}, 0xFFFFFF));
}

// --- Floating children ---

TEST_F(RootedContainer, FixedOffsetsCountFromTheFarEdgeWhenNegative)
{
    CControlUI* right = Sized(0, 0);
    right->ApplyAttributeString(L"float=\"true\" pos=\"-60,5,-10,25\"");
    root->Add(right);
    root->SetBounds(RECT{0, 0, 300, 200});
    ExpectRect(RECT{240, 5, 290, 25}, right->GetBounds(), "right-anchored");

    // Out of range or not floating: nothing moves.
    root->PlaceFloatingChild(5);
    root->PlaceFloatingChild(-1);
    root->SetBounds(RECT{0, 0, 400, 200});
    ExpectRect(RECT{340, 5, 390, 25}, right->GetBounds(), "follows the right edge");
}

TEST_F(RootedContainer, RelativeAnchorAppliesOnlyTheGrowthSinceThePreviousPlacement)
{
    CControlUI* child = Sized(0, 0);
    child->ApplyAttributeString(L"float=\"true\" pos=\"10,10,60,40\" relativepos=\"50,0,0,100\"");
    root->Add(child);
    root->SetBounds(RECT{0, 0, 300, 200});
    ExpectRect(RECT{10, 10, 60, 40}, child->GetBounds(), "first placement records the size");

    root->SetBounds(RECT{0, 0, 400, 300});  // grows by 100 x 100
    ExpectRect(RECT{60, 10, 110, 140}, child->GetBounds(), "moved by half, stretched by all");
    root->SetBounds(RECT{0, 0, 400, 300});
    ExpectRect(RECT{60, 10, 110, 140}, child->GetBounds(), "no growth, no change");
}

// --- Line layouts ---

// One child of a line: its length along the line (0 = automatic), its
// limits along the line and its padding before and after it on the line.
struct LineChild {
    int length;
    int minimum;
    int maximum;
    int padBefore;
    int padAfter;
};

struct LineCase {
    const char* name;
    int space;
    int gap;
    std::vector<LineChild> children;
    std::vector<std::pair<int, int>> expected;  // start and end of each child's rect along the line
};

const int kNoMin = 0;
const int kNoMax = 9999;

std::vector<LineCase> LineCases()
{
    // clang-format off
    return {
        {"two automatic children share an odd space, the last takes the rest",
         101, 0, {{0, kNoMin, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}}, {{0, 50}, {50, 101}}},
        {"a fixed child and an automatic one",
         100, 0, {{30, kNoMin, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}}, {{0, 30}, {30, 100}}},
        {"a minimum above the maximum gives the maximum",
         100, 0, {{0, 50, 20, 0, 0}, {30, kNoMin, kNoMax, 0, 0}}, {{0, 20}, {20, 50}}},
        {"a minimum raises an automatic child and the last one takes what is left",
         100, 0, {{0, 80, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}}, {{0, 80}, {80, 100}}},
        {"a maximum lowers a fixed child",
         100, 0, {{60, kNoMin, 40, 0, 0}, {0, kNoMin, kNoMax, 0, 0}}, {{0, 40}, {40, 100}}},
        // Paddings and child padding stay in the first pass's fixed sum, which
        // the last automatic child's length is cut by once more.
        {"padding along the line lies inside the rect, child padding between",
         100, 6, {{10, kNoMin, kNoMax, 3, 5}, {0, kNoMin, kNoMax, 0, 0}}, {{3, 18}, {24, 86}}},
        {"the last automatic child is cut by an earlier child's padding",
         100, 0, {{0, kNoMin, kNoMax, 3, 5}, {0, kNoMin, kNoMax, 0, 0}}, {{3, 54}, {54, 92}}},
        {"the last automatic child is cut by the child padding",
         110, 10, {{0, kNoMin, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}}, {{0, 50}, {60, 100}}},
        {"without paddings nothing is cut",
         110, 0, {{0, kNoMin, kNoMax, 0, 0}, {10, kNoMin, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}},
         {{0, 50}, {50, 60}, {60, 110}}},
        {"more fixed space than there is: automatic children get nothing and the content overflows",
         100, 0, {{80, kNoMin, kNoMax, 0, 0}, {80, kNoMin, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}},
         {{0, 80}, {80, 160}, {160, 160}}},
        {"no space at all", 0, 0, {{0, kNoMin, kNoMax, 0, 0}, {0, kNoMin, kNoMax, 0, 0}}, {{0, 0}, {0, 0}}},
        {"a single automatic child fills the line", 73, 9, {{0, kNoMin, kNoMax, 0, 0}}, {{0, 73}}},
    };
    // clang-format on
}

// Runs every case through a layout along its axis; the cross size is 50.
void RunLineCases(bool vertical)
{
    for (const LineCase& c : LineCases()) {
        CVerticalLayoutUI verticalLayout;
        CHorizontalLayoutUI horizontalLayout;
        CContainerUI& layout = vertical ? static_cast<CContainerUI&>(verticalLayout) : horizontalLayout;
        layout.SetChildPadding(c.gap);
        std::vector<CControlUI*> children;
        for (const LineChild& wanted : c.children) {
            CControlUI* child = new CControlUI;
            if (vertical) {
                child->SetPreferredHeight(wanted.length);
                child->SetMinHeight(wanted.minimum);
                child->SetMaxHeight(wanted.maximum);
                child->SetPaddingRect(RECT{0, wanted.padBefore, 0, wanted.padAfter});
            } else {
                child->SetPreferredWidth(wanted.length);
                child->SetMinWidth(wanted.minimum);
                child->SetMaxWidth(wanted.maximum);
                child->SetPaddingRect(RECT{wanted.padBefore, 0, wanted.padAfter, 0});
            }
            layout.Add(child);
            children.push_back(child);
        }
        layout.SetBounds(vertical ? RECT{0, 0, 50, c.space} : RECT{0, 0, c.space, 50});
        for (size_t i = 0; i < children.size(); ++i) {
            const RECT& rc = children[i]->GetBounds();
            const std::string where =
                std::string(vertical ? "vertical: " : "horizontal: ") + c.name + ", child " + std::to_string(i);
            EXPECT_EQ(c.expected[i].first, vertical ? rc.top : rc.left) << where;
            EXPECT_EQ(c.expected[i].second, vertical ? rc.bottom : rc.right) << where;
            EXPECT_EQ(0, vertical ? rc.left : rc.top) << where;
            EXPECT_EQ(50, vertical ? rc.right : rc.bottom) << where;
        }
    }
}

TEST(LineLayouts, VerticalDistribution)
{
    RunLineCases(true);
}

TEST(LineLayouts, HorizontalDistribution)
{
    RunLineCases(false);
}

TEST(LineLayouts, CrossAxisPaddingLiesOutsideAndPreferredCrossSizeIsKept)
{
    CVerticalLayoutUI column;
    column.SetInset(RECT{1, 1, 1, 1});
    CControlUI* padded = Sized(0, 10);
    padded->SetPaddingRect(RECT{2, 3, 4, 5});
    CControlUI* narrow = Sized(30, 10);
    column.Add(padded);
    column.Add(narrow);
    column.SetChildPadding(4);
    column.SetBounds(RECT{0, 0, 102, 102});
    ExpectRect(RECT{1 + 2, 1 + 3, 1 + 2 + 94, 1 + 18}, padded->GetBounds(), "vertical, padded");
    ExpectRect(RECT{1, 1 + 18 + 4, 31, 1 + 18 + 4 + 10}, narrow->GetBounds(), "vertical, narrow");

    CHorizontalLayoutUI row;
    CControlUI* cell = Sized(10, 0);
    cell->SetPaddingRect(RECT{2, 3, 4, 5});
    CControlUI* next = Sized(10, 20);
    row.Add(cell);
    row.Add(next);
    row.SetChildPadding(4);
    row.SetBounds(RECT{0, 0, 100, 100});
    ExpectRect(RECT{2, 3, 16, 3 + 92}, cell->GetBounds(), "horizontal, padded");
    ExpectRect(RECT{20, 0, 30, 20}, next->GetBounds(), "horizontal, short");
}

TEST(LineLayouts, HiddenChildrenTakeNoSpaceAndFloatingOnesArePlacedApart)
{
    CUiManager manager;
    CVerticalLayoutUI* layout = new CVerticalLayoutUI;
    ASSERT_TRUE(manager.SetRoot(layout));
    CControlUI* first = Sized(0, 0);
    CControlUI* hidden = Sized(0, 40);
    hidden->SetShown(false);
    CControlUI* floating = Sized(0, 0);
    floating->ApplyAttributeString(L"float=\"true\" pos=\"5,5,25,15\"");
    CControlUI* last = Sized(0, 0);
    layout->Add(first);
    layout->Add(hidden);
    layout->Add(floating);
    layout->Add(last);
    layout->SetChildPadding(10);
    layout->SetBounds(RECT{0, 0, 100, 110});
    ExpectRect(RECT{0, 0, 100, 50}, first->GetBounds(), "first");
    // The child padding stays in the fixed sum that cuts the last one.
    ExpectRect(RECT{0, 60, 100, 100}, last->GetBounds(), "last");
    ExpectRect(RECT{5, 5, 25, 15}, floating->GetBounds(), "floating");
}

TEST(LineLayouts, NamesAndTheSeparatorAttributes)
{
    CVerticalLayoutUI column;
    CHorizontalLayoutUI row;
    EXPECT_STREQ(L"VerticalLayoutUI", column.GetTypeName());
    EXPECT_STREQ(L"HorizontalLayoutUI", row.GetTypeName());
    EXPECT_EQ(&column, column.CastByName(L"VerticalLayout"));
    EXPECT_EQ(nullptr, column.CastByName(L"HorizontalLayout"));
    EXPECT_EQ(&row, row.CastByName(L"Container"));

    EXPECT_EQ(0u, column.GetInputFlags());
    column.SetAttribute(L"sepheight", L"abc");
    EXPECT_EQ(0u, column.GetInputFlags());
    column.SetAttribute(L"sepheight", L"10");
    EXPECT_EQ(kUiFlagSetCursor, column.GetInputFlags());
    column.SetEnabled(false);
    EXPECT_EQ(0u, column.GetInputFlags());

    column.SetBounds(RECT{0, 0, 100, 200});
    ExpectRect(RECT{0, 190, 100, 200}, column.GetSeparatorRect(false), "bottom band");
    column.SetSeparatorWidth(-10);
    ExpectRect(RECT{0, 0, 100, 10}, column.GetSeparatorRect(false), "top band");
    column.SetSeparatorWidth(-500);
    ExpectRect(RECT{0, 0, 100, 200}, column.GetSeparatorRect(false), "band no larger than the layout");

    row.SetAttribute(L"sepwidth", L"8");
    row.SetBounds(RECT{0, 0, 100, 50});
    ExpectRect(RECT{92, 0, 100, 50}, row.GetSeparatorRect(false), "right band");
    row.SetSeparatorWidth(-8);
    ExpectRect(RECT{0, 0, 8, 50}, row.GetSeparatorRect(false), "left band");
    // The horizontal band is not held within the layout.
    row.SetSeparatorWidth(-500);
    ExpectRect(RECT{0, 0, 500, 50}, row.GetSeparatorRect(false), "wide left band");
    row.SetSeparatorWidth(500);
    ExpectRect(RECT{-400, 0, 100, 50}, row.GetSeparatorRect(false), "wide right band");
}

TEST(LineLayouts, DraggingTheSeparatorResizesTheLayoutWithinItsLimits)
{
    CVerticalLayoutUI column;
    column.SetAttribute(L"sepheight", L"10");
    column.SetAttribute(L"sepimm", L"true");
    column.SetMinHeight(150);
    column.SetBounds(RECT{0, 0, 100, 200});

    UiEvent missed = MakeEvent(kUiEventButtonDown, 50, 100);  // not on the band
    column.ProcessEvent(missed);
    UiEvent move = MakeEvent(kUiEventMouseMove, 50, 150);
    column.ProcessEvent(move);
    EXPECT_EQ(200, column.GetBounds().bottom);

    UiEvent down = MakeEvent(kUiEventButtonDown, 50, 195);
    column.ProcessEvent(down);
    UiEvent longer = MakeEvent(kUiEventMouseMove, 50, 215);
    column.ProcessEvent(longer);
    EXPECT_EQ(220, column.GetBounds().bottom);
    EXPECT_EQ(220, column.GetPreferredHeight());
    UiEvent tooShort = MakeEvent(kUiEventMouseMove, 50, 60);
    column.ProcessEvent(tooShort);
    EXPECT_EQ(150, column.GetBounds().bottom);
    EXPECT_EQ(150, column.GetPreferredHeight());
    // Pointer far above the band: moving down does nothing until it is back.
    UiEvent stillAbove = MakeEvent(kUiEventMouseMove, 50, 100);
    column.ProcessEvent(stillAbove);
    EXPECT_EQ(150, column.GetBounds().bottom);
    UiEvent up = MakeEvent(kUiEventButtonUp, 50, 60);
    column.ProcessEvent(up);
    UiEvent after = MakeEvent(kUiEventMouseMove, 50, 300);
    column.ProcessEvent(after);
    EXPECT_EQ(150, column.GetBounds().bottom);
}

TEST(LineLayouts, EachAxisAndEdgeMovesItsOwnEdge)
{
    struct Case {
        bool vertical;
        int separator;
        POINT down;
        POINT move;
        RECT expected;  // from (0, 0, 100, 200) vertically, (0, 0, 100, 50) horizontally
    };
    const Case cases[] = {
        {true, 10, {50, 195}, {50, 215}, {0, 0, 100, 220}},
        {true, -10, {50, 5}, {50, -15}, {0, -20, 100, 200}},
        {false, 8, {95, 25}, {135, 25}, {0, 0, 140, 50}},
        {false, -8, {4, 25}, {24, 25}, {20, 0, 100, 50}},
    };
    for (const Case& c : cases) {
        CVerticalLayoutUI column;
        CHorizontalLayoutUI row;
        CLineLayoutUI& layout = c.vertical ? static_cast<CLineLayoutUI&>(column) : row;
        layout.SetSeparatorWidth(c.separator);
        layout.SetImmediateDrag(true);
        layout.SetBounds(c.vertical ? RECT{0, 0, 100, 200} : RECT{0, 0, 100, 50});
        UiEvent down = MakeEvent(kUiEventButtonDown, c.down.x, c.down.y);
        layout.ProcessEvent(down);
        UiEvent move = MakeEvent(kUiEventMouseMove, c.move.x, c.move.y);
        layout.ProcessEvent(move);
        UiEvent up = MakeEvent(kUiEventButtonUp, c.move.x, c.move.y);
        layout.ProcessEvent(up);
        ExpectRect(c.expected, layout.GetBounds(),
                   std::string(c.vertical ? "vertical " : "horizontal ") + std::to_string(c.separator));
    }
}

// A root column of 100 x 60 with a band of 10 at its bottom.
CVerticalLayoutUI* BandedColumn(CUiManager& manager, const wchar_t* attributes)
{
    CVerticalLayoutUI* column = new CVerticalLayoutUI;
    EXPECT_TRUE(manager.SetRoot(column));
    column->ApplyAttributeString(attributes);
    column->SetBounds(RECT{0, 0, 100, 60});
    return column;
}

TEST(LineLayouts, WithoutImmediateDragABarShowsTheNewEdgeUntilTheButtonIsReleased)
{
    CUiManager manager;
    CVerticalLayoutUI* column = BandedColumn(manager, L"sepheight=\"10\" sepimm=\"false\"");
    UiEvent down = MakeEvent(kUiEventButtonDown, 50, 55);
    column->ProcessEvent(down);
    UiEvent move = MakeEvent(kUiEventMouseMove, 50, 85);
    column->ProcessEvent(move);
    EXPECT_EQ(60, column->GetBounds().bottom);  // the layout waits
    ExpectRect(RECT{0, 80, 100, 90}, column->GetSeparatorRect(true), "live band");
    ExpectRect(RECT{0, 50, 100, 60}, column->GetSeparatorRect(false), "band at the layout");

    UiTest::Canvas canvas(100, 100);
    ASSERT_TRUE(canvas.ok());
    column->PaintAfter(canvas.dc(), RECT{0, 0, 100, 100});
    EXPECT_TRUE(canvas.AllEqual(RECT{0, 0, 100, 80}, 0xFFFFFF));
    EXPECT_NE(0xFFFFFFu, canvas.At(50, 85));  // darkened by the bar
    EXPECT_TRUE(canvas.AllEqual(RECT{0, 90, 100, 100}, 0xFFFFFF));

    UiEvent up = MakeEvent(kUiEventButtonUp, 50, 85);
    column->ProcessEvent(up);
    EXPECT_EQ(90, column->GetBounds().bottom);
    UiTest::Canvas after(100, 100);
    column->PaintAfter(after.dc(), RECT{0, 0, 100, 100});
    EXPECT_TRUE(after.AllEqual(RECT{0, 0, 100, 100}, 0xFFFFFF));
}

TEST(LineLayouts, TheBandSetsTheSizingCursorAndImmediateDragEndsTheBar)
{
    CUiManager manager;
    CVerticalLayoutUI* column = BandedColumn(manager, L"sepheight=\"10\"");
    CHorizontalLayoutUI row;
    row.ApplyAttributeString(L"sepwidth=\"-10\"");
    row.SetBounds(RECT{0, 0, 100, 60});
    struct Case {
        CControlUI* layout;
        POINT point;
        const wchar_t* cursor;
    };
    const Case cases[] = {
        {column, {50, 55}, IDC_SIZENS},
        {column, {50, 20}, IDC_ARROW},
        {&row, {5, 30}, IDC_SIZEWE},
        {&row, {50, 30}, IDC_ARROW},
    };
    for (const Case& c : cases) {
        SetCursor(nullptr);
        UiEvent cursor = MakeEvent(kUiEventSetCursor, c.point.x, c.point.y);
        c.layout->ProcessEvent(cursor);
        EXPECT_EQ(LoadCursorW(nullptr, c.cursor), GetCursor()) << c.point.x << "," << c.point.y;
    }

    // Switching to immediate drag while a bar is shown takes it off the
    // post-paint list.
    UiEvent down = MakeEvent(kUiEventButtonDown, 50, 55);
    column->ProcessEvent(down);
    column->SetImmediateDrag(true);
    EXPECT_FALSE(manager.RemovePaintAfter(column));
}

TEST(LineLayouts, ALayoutDeletedDuringADragLeavesThePostPaintList)
{
    CUiManager manager;
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    ASSERT_TRUE(manager.SetRoot(root));
    root->SetDeferredDelete(false);
    CVerticalLayoutUI* column = new CVerticalLayoutUI;
    column->ApplyAttributeString(L"sepheight=\"10\"");
    root->Add(column);
    root->SetBounds(RECT{0, 0, 100, 60});
    UiEvent down = MakeEvent(kUiEventButtonDown, 50, 55);
    column->ProcessEvent(down);
    UiEvent move = MakeEvent(kUiEventMouseMove, 50, 58);
    column->ProcessEvent(move);
    ASSERT_TRUE(root->Remove(column));
    // Only the address is compared: the next paint must not find it.
    EXPECT_FALSE(manager.RemovePaintAfter(column));
}

// --- Tile layout ---

// Records the widths that a tile row offers it while the row is measured.
class RowWidthProbe : public CControlUI {
public:
    SIZE MeasureSize(SIZE available) override
    {
        if (available.cy == 9999)
            rowWidths.push_back(available.cx);
        return SIZE{0, 10};
    }
    std::vector<int> rowWidths;
};

TEST(TileLayout, RowsAreMeasuredWithHalfTheChildPaddingOffTheOuterColumns)
{
    struct Case {
        int columns;
        std::vector<int> widths;  // offered to each child of the row; cells 99 wide
    };
    // Child padding 9, each child padded 1 left and 2 right: the outer
    // columns lose 4 of the child padding, the others all 9.
    const Case cases[] = {
        {3, {99 - 3 - 4, 99 - 3 - 9, 99 - 3 - 4}},
        {1, {99 - 3 - 4}},
    };
    for (const Case& c : cases) {
        CTileLayoutUI tile;
        tile.SetColumns(c.columns);
        tile.SetChildPadding(9);
        std::vector<RowWidthProbe*> children;
        for (int i = 0; i < c.columns; ++i) {
            children.push_back(new RowWidthProbe);
            children.back()->SetPaddingRect(RECT{1, 0, 2, 0});
            tile.Add(children.back());
        }
        tile.SetBounds(RECT{0, 0, 99 * c.columns, 200});
        std::vector<int> offered;
        for (RowWidthProbe* child : children)
            offered.push_back(child->rowWidths.empty() ? -1 : child->rowWidths.front());
        EXPECT_EQ(c.widths, offered) << c.columns << " columns";
    }
}

TEST(TileLayout, ItemWidthSetsTheColumnsAndChildrenAreCentredInTheirCells)
{
    struct Case {
        int itemWidth;
        int columns;
        std::vector<RECT> expected;  // four 60 x 40 children in a layout 300 wide
    };
    const Case cases[] = {
        {100, 1, {{20, 0, 80, 40}, {120, 0, 180, 40}, {220, 0, 280, 40}, {20, 40, 80, 80}}},
        {400, 1, {{120, 0, 180, 40}, {120, 40, 180, 80}, {120, 80, 180, 120}, {120, 120, 180, 160}}},
        {0, 2, {{45, 0, 105, 40}, {195, 0, 255, 40}, {45, 40, 105, 80}, {195, 40, 255, 80}}},
    };
    for (const Case& c : cases) {
        CTileLayoutUI tile;
        tile.SetItemSize(SIZE{c.itemWidth, 0});
        tile.SetColumns(c.columns);
        std::vector<CControlUI*> children;
        for (int i = 0; i < 4; ++i) {
            children.push_back(Sized(60, 40));
            tile.Add(children.back());
        }
        tile.SetBounds(RECT{0, 0, 300, 400});
        for (size_t i = 0; i < children.size(); ++i)
            ExpectRect(c.expected[i], children[i]->GetBounds(),
                       "item width " + std::to_string(c.itemWidth) + ", child " + std::to_string(i));
    }
}

// Narrower than its inset, the client is -150 wide: 100-wide items give a
// count of -1, which divides the cells as it is (150 each), one per row.
TEST(TileLayout, ANegativeColumnCountDividesTheCellsAsItIs)
{
    CTileLayoutUI tile;
    tile.SetItemSize(SIZE{100, 0});
    tile.SetInset(RECT{250, 0, 0, 0});
    CControlUI* first = Sized(60, 40);
    CControlUI* second = Sized(60, 40);
    tile.Add(first);
    tile.Add(second);
    tile.SetBounds(RECT{0, 0, 100, 400});
    ExpectRect(RECT{295, 0, 355, 40}, first->GetBounds(), "first");
    ExpectRect(RECT{295, 40, 355, 80}, second->GetBounds(), "second");
}

TEST(TileLayout, AShorterChildSitsCentredInTheRowAndAttributesAreChecked)
{
    CTileLayoutUI tile;
    tile.SetAttribute(L"columns", L"2");
    tile.SetAttribute(L"columns", L"0");
    tile.SetAttribute(L"columns", L"-4");
    EXPECT_EQ(2, tile.GetColumns());
    tile.SetAttribute(L"itemsize", L"100");
    EXPECT_EQ(100, tile.GetItemSize().cx);
    EXPECT_EQ(0, tile.GetItemSize().cy);
    tile.SetAttribute(L"itemsize", L"junk");
    EXPECT_EQ(0, tile.GetItemSize().cx);

    CControlUI* tall = Sized(50, 40);
    CControlUI* shorter = Sized(50, 20);
    CControlUI* below = Sized(50, 10);
    tile.Add(tall);
    tile.Add(shorter);
    tile.Add(below);
    tile.SetChildPadding(6);
    tile.SetBounds(RECT{0, 0, 200, 200});
    // Cells 100 wide; half the child padding between the columns.
    ExpectRect(RECT{23, 0, 73, 40}, tall->GetBounds(), "tall");
    ExpectRect(RECT{126, 10, 176, 30}, shorter->GetBounds(), "shorter, centred in the row");
    ExpectRect(RECT{23, 46, 73, 56}, below->GetBounds(), "next row after the child padding");
}

// --- Tab layout ---

TEST(TabLayout, PagesSelectionNotificationAndRemoval)
{
    CUiManager manager;
    TabSelectRecorder recorder;
    ASSERT_TRUE(manager.AddNotifier(&recorder));
    CTabLayoutUI* tabs = new CTabLayoutUI;
    ASSERT_TRUE(manager.SetRoot(tabs));
    CControlUI* pages[] = {Sized(0, 0), Sized(0, 0), Sized(0, 0)};
    for (CControlUI* page : pages)
        ASSERT_TRUE(tabs->Add(page));
    EXPECT_EQ(0, tabs->GetSelectedIndex());
    EXPECT_TRUE(pages[0]->IsShown());
    EXPECT_FALSE(pages[1]->IsShown());
    EXPECT_FALSE(pages[2]->IsShown());

    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_TRUE(tabs->SelectItem(0));  // already selected
    EXPECT_TRUE(recorder.types.empty());

    tabs->SetInset(RECT{4, 4, 4, 4});
    tabs->SetBounds(RECT{0, 0, 100, 80});
    ASSERT_TRUE(tabs->SelectItem(2));
    ASSERT_EQ(1u, recorder.types.size());
    EXPECT_EQ(L"tabselect", recorder.types[0]);
    EXPECT_EQ(2, recorder.wParams[0]);
    EXPECT_EQ(0, recorder.lParams[0]);
    EXPECT_FALSE(pages[0]->IsShown());
    EXPECT_TRUE(pages[2]->IsShown());
    ExpectRect(RECT{4, 4, 96, 76}, pages[2]->GetBounds(), "selected page fills the inset rect");

    // The selected page goes: page 0 is selected again, without a notification.
    ASSERT_TRUE(tabs->Remove(pages[2]));
    EXPECT_EQ(0, tabs->GetSelectedIndex());
    EXPECT_TRUE(pages[0]->IsShown());
    EXPECT_EQ(1u, recorder.types.size());
    EXPECT_FALSE(tabs->Remove(nullptr));

    tabs->RemoveAll();
    EXPECT_EQ(-1, tabs->GetSelectedIndex());
    manager.RemoveNotifier(&recorder);
}

TEST(TabLayout, InsertingOrRemovingBeforeTheSelectionKeepsTheSameSelectedPage)
{
    CTabLayoutUI tabs;
    CControlUI* first = Sized(0, 0);
    CControlUI* second = Sized(0, 0);
    tabs.Add(first);
    tabs.Add(second);
    ASSERT_TRUE(tabs.SelectItem(1));
    CControlUI* inserted = Sized(0, 0);
    ASSERT_TRUE(tabs.AddAt(inserted, 0));
    EXPECT_EQ(2, tabs.GetSelectedIndex());
    EXPECT_TRUE(inserted->IsShown());  // inserted before the selection: keeps its own visibility
    EXPECT_TRUE(second->IsShown());
    CControlUI* hiddenBefore = Sized(0, 0);
    hiddenBefore->SetShown(false);
    ASSERT_TRUE(tabs.AddAt(hiddenBefore, 2));  // at the selected page
    EXPECT_EQ(3, tabs.GetSelectedIndex());
    EXPECT_FALSE(hiddenBefore->IsShown());
    CControlUI* after = Sized(0, 0);
    ASSERT_TRUE(tabs.AddAt(after, 4));  // after the selection: hidden
    EXPECT_FALSE(after->IsShown());
    EXPECT_EQ(3, tabs.GetSelectedIndex());
    ASSERT_TRUE(tabs.Remove(after));
    ASSERT_TRUE(tabs.Remove(hiddenBefore));
    EXPECT_EQ(2, tabs.GetSelectedIndex());
    CControlUI* refused = Sized(0, 0);
    EXPECT_FALSE(tabs.AddAt(refused, 9));
    EXPECT_EQ(2, tabs.GetSelectedIndex());
    delete refused;

    ASSERT_TRUE(tabs.Remove(inserted));
    EXPECT_EQ(1, tabs.GetSelectedIndex());
    EXPECT_EQ(second, tabs.GetItemAt(tabs.GetSelectedIndex()));

    // "selectedid" beyond the pages changes nothing; pages come after attributes.
    CTabLayoutUI empty;
    empty.SetAttribute(L"selectedid", L"3");
    EXPECT_EQ(-1, empty.GetSelectedIndex());
    CControlUI* page = Sized(0, 0);
    empty.Add(page);
    EXPECT_EQ(0, empty.GetSelectedIndex());
    EXPECT_TRUE(page->IsShown());
}

// --- Child layout ---

TEST(ChildLayout, StaysEmptyWithoutAFileAndIsEmptiedWhenItsFileCannotBeBuilt)
{
    int deaths = 0;
    {
        CUiManager manager;
        CContainerUI* root = new CContainerUI;
        ASSERT_TRUE(manager.SetRoot(root));

        CChildLayoutUI* plain = new CChildLayoutUI;
        root->Add(plain);
        EXPECT_EQ(0, plain->GetCount());
        EXPECT_EQ(nullptr, plain->CastByName(L"IContainer"));
        EXPECT_EQ(nullptr, plain->CastByName(L"Container"));
        EXPECT_EQ(plain, plain->CastByName(L"ChildLayout"));

        CChildLayoutUI* missing = new CChildLayoutUI;
        missing->SetAttribute(L"xmlfile", L"no-such-child-layout.xml");
        EXPECT_STREQ(L"no-such-child-layout.xml", missing->GetMarkupFile().GetData());
        missing->Add(new Tracked(deaths));
        root->Add(missing);  // initialised here
        EXPECT_EQ(0, missing->GetCount());
        EXPECT_EQ(0, deaths);  // deferred to the manager
    }
    EXPECT_EQ(1, deaths);
}

TEST(ChildLayout, BuildsItsMarkupFileAsItsOnlyChild)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, folder));
    const std::wstring path = std::wstring(folder) + L"\\ui_layout_test_child.xml";
    const char markup[] =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<Window><VerticalLayout name=\"inner\"><Control name=\"leaf\" height=\"20\"/></VerticalLayout></Window>";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, markup, sizeof(markup) - 1, &written, nullptr);
    CloseHandle(file);
    CUiManager::SetResourcePath(folder);

    {
        CUiManager manager;
        CContainerUI* root = new CContainerUI;
        ASSERT_TRUE(manager.SetRoot(root));
        CChildLayoutUI* child = new CChildLayoutUI;
        child->SetAttribute(L"xmlfile", L"ui_layout_test_child.xml");
        root->Add(child);
        ASSERT_EQ(1, child->GetCount());
        CControlUI* inner = child->GetItemAt(0);
        EXPECT_STREQ(L"VerticalLayoutUI", inner->GetTypeName());
        EXPECT_EQ(child, inner->GetParentControl());
        EXPECT_EQ(inner, manager.FindControlByName(L"inner"));
        CControlUI* leaf = manager.FindControlByName(L"leaf");
        ASSERT_NE(nullptr, leaf);
        EXPECT_EQ(inner, leaf->GetParentControl());

        // Initialised again (added elsewhere): still one child.
        child->RunInit();
        EXPECT_EQ(1, child->GetCount());
    }
    CUiManager::SetResourcePath(L"");
    DeleteFileW(path.c_str());
}

}  // namespace
