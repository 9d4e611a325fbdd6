#include "DialogBuilder.h"
#include "ListBodyUI.h"
#include "ListContainerElementUI.h"
#include "ListElementUI.h"
#include "ListHeaderItemUI.h"
#include "ListHeaderUI.h"
#include "ListLabelElementUI.h"
#include "ListTextElementUI.h"
#include "ListUI.h"
#include "ScrollBarUI.h"
#include "event_recording_parent.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

struct Note {
    std::wstring type;
    CControlUI* sender;
    WPARAM wParam;
    LPARAM lParam;
};

class NoteLog : public INotifyUI {
public:
    void Notify(UiNotify& notify) override
    {
        // Focus moves are the manager's, not the list's.
        if (notify.type == L"setfocus" || notify.type == L"killfocus")
            return;
        notes.push_back(Note{notify.type.GetData(), notify.sender, notify.wParam, notify.lParam});
    }
    std::vector<std::wstring> Types() const
    {
        std::vector<std::wstring> types;
        for (const Note& note : notes)
            types.push_back(note.type);
        return types;
    }
    std::vector<Note> notes;
};

// Supplies "r<row>c<column>" for every cell, or nothing for one column.
class CellTexts : public IListCallbackUI {
public:
    const wchar_t* GetItemText(CControlUI*, int row, int column) override
    {
        ++calls;
        if (column == emptyColumn)
            return nullptr;
        if (onlyColumn >= 0 && column != onlyColumn)
            return nullptr;
        text = onlyColumn >= 0 ? L"WWWWWW" : L"r" + std::to_wstring(row) + L"c" + std::to_wstring(column);
        return text.c_str();
    }
    int calls = 0;
    int emptyColumn = -1;
    int onlyColumn = -1;
    std::wstring text;
};

LRESULT CALLBACK ListWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CUiManager* manager = reinterpret_cast<CUiManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const DWORD kWhite = 0xFFFFFF;

// A real window whose root is a list with a header of three columns: a
// first one that takes the rest, then 100 and 60 pixels.
class ListWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ListWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UiListTest";
        wc.style = CS_DBLCLKS;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"list", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, wc.hInstance,
                               nullptr);
        ASSERT_NE(nullptr, hwnd);
        manager = new CUiManager;
        manager->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
        list = new CListUI;
        list->GetHeader()->SetPreferredHeight(24);
        for (int width : {0, 100, 60}) {
            CListHeaderItemUI* item = new CListHeaderItemUI;
            item->SetPreferredWidth(width);
            item->SetAttribute(L"sepwidth", L"1");
            items.push_back(item);
            list->Add(item);
        }
        ASSERT_TRUE(manager->SetRoot(list));
        manager->AddNotifier(&log);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete manager;
        DestroyWindow(hwnd);
    }

    std::vector<CListTextElementUI*> AddRows(int count, int height = 20)
    {
        std::vector<CListTextElementUI*> rows;
        for (int i = 0; i < count; ++i) {
            CListTextElementUI* row = new CListTextElementUI;
            row->SetPreferredHeight(height);
            EXPECT_TRUE(list->Add(row));
            rows.push_back(row);
        }
        return rows;
    }
    void Paint() { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    // Columns 560 wide in the 400-wide list, with a horizontal bar, and rows;
    // laid out once. Returns the bar.
    CScrollBarUI* ShowWideColumns(int rows)
    {
        list->SetAttribute(L"hscrollbar", L"true");
        items[0]->SetPreferredWidth(400);
        AddRows(rows);
        Paint();
        return list->GetHorizontalScrollBar();
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(hwnd, message, wParam, lParam);
    }
    static LPARAM At(POINT pt) { return MAKELPARAM(pt.x, pt.y); }
    static POINT Middle(CControlUI* control)
    {
        const RECT& rc = control->GetBounds();
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    void Click(CControlUI* control, UINT down = WM_LBUTTONDOWN)
    {
        Send(down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, At(Middle(control)));
        Send(WM_LBUTTONUP, 0, At(Middle(control)));
    }
    void Key(WPARAM key) { Send(WM_KEYDOWN, key); }
    std::vector<int> Indexes() const
    {
        std::vector<int> indexes;
        for (int i = 0; i < list->GetCount(); ++i)
            indexes.push_back(static_cast<IListItemUI*>(list->GetItemAt(i)->CastByName(L"ListItem"))->GetIndex());
        return indexes;
    }
    static std::vector<int> Sequence(int count)
    {
        std::vector<int> numbers;
        for (int i = 0; i < count; ++i)
            numbers.push_back(i);
        return numbers;
    }
    std::vector<bool> SelectedFlags(const std::vector<CListTextElementUI*>& rows) const
    {
        std::vector<bool> flags;
        for (CListTextElementUI* row : rows)
            flags.push_back(row->IsSelected());
        return flags;
    }

    HWND hwnd = nullptr;
    CUiManager* manager = nullptr;
    CListUI* list = nullptr;
    std::vector<CListHeaderItemUI*> items;
    NoteLog log;
};

TEST(ListInfo, DefaultsAndItemAttributes)
{
    CListUI list;
    UiListInfo& info = *list.GetListInfo();
    EXPECT_EQ(0, info.columnCount);
    EXPECT_EQ(-1, info.font);
    EXPECT_EQ(static_cast<UINT>(DT_VCENTER), info.textStyle);
    EXPECT_EQ(0xFF000000u, info.textColor);
    EXPECT_EQ(0u, info.bkColor);
    EXPECT_EQ(0xFFC1E3FFu, info.selectedBkColor);
    EXPECT_EQ(0xFFE9F5FFu, info.hotBkColor);
    EXPECT_EQ(0xFFCCCCCCu, info.disabledTextColor);
    EXPECT_EQ(0xFFFFFFFFu, info.disabledBkColor);
    EXPECT_FALSE(info.alternateBk);
    EXPECT_FALSE(info.showHtml);

    struct ColorCase {
        const wchar_t* key;
        const wchar_t* value;
        DWORD UiListInfo::*field;
        DWORD expected;
    };
    const ColorCase colors[] = {
        {L"itemtextcolor", L"#FF112233", &UiListInfo::textColor, 0xFF112233},
        {L"itembkcolor", L"FFAABBCC", &UiListInfo::bkColor, 0xFFAABBCC},
        {L"itemselectedtextcolor", L"#FF010203", &UiListInfo::selectedTextColor, 0xFF010203},
        {L"itemselectedbkcolor", L"#FF00FF00", &UiListInfo::selectedBkColor, 0xFF00FF00},
        {L"itemhottextcolor", L"#FF040506", &UiListInfo::hotTextColor, 0xFF040506},
        {L"itemhotbkcolor", L"#FF0000FF", &UiListInfo::hotBkColor, 0xFF0000FF},
        {L"itemdisabledtextcolor", L"#FF070809", &UiListInfo::disabledTextColor, 0xFF070809},
        {L"itemdisabledbkcolor", L"#FF0A0B0C", &UiListInfo::disabledBkColor, 0xFF0A0B0C},
        {L"itemlinecolor", L"#FF0D0E0F", &UiListInfo::lineColor, 0xFF0D0E0F},
        // Malformed colours read as far as they are hexadecimal.
        {L"itemtextcolor", L"zz", &UiListInfo::textColor, 0},
        {L"itembkcolor", L"", &UiListInfo::bkColor, 0},
    };
    for (const ColorCase& c : colors) {
        list.SetAttribute(c.key, c.value);
        EXPECT_EQ(c.expected, info.*c.field) << c.key << L"=" << c.value;
    }

    list.SetAttribute(L"itemfont", L"2");
    EXPECT_EQ(2, info.font);
    list.SetAttribute(L"itemfont", L"x");
    EXPECT_EQ(0, info.font);
    list.SetAttribute(L"itemtextpadding", L"4,3,2,1");
    EXPECT_EQ(CUiRect(4, 3, 2, 1).left, info.textPadding.left);
    EXPECT_EQ(1, info.textPadding.bottom);
    list.SetAttribute(L"itemtextpadding", L"7");
    EXPECT_EQ(7, info.textPadding.left);
    EXPECT_EQ(0, info.textPadding.right);

    // "left" clears the horizontal bits; "center" and "right" only add theirs,
    // so a later word keeps what an earlier value set.
    struct AlignCase {
        std::vector<const wchar_t*> values;
        UINT horizontal;
    };
    const AlignCase aligns[] = {
        {{L"right"}, DT_RIGHT},
        {{L"center"}, DT_CENTER},
        {{L"right", L"center"}, DT_CENTER | DT_RIGHT},
        {{L"center right"}, DT_CENTER | DT_RIGHT},
        {{L"right", L"left"}, 0},
        {{L"left right"}, DT_RIGHT},
        {{L"center", L"nonsense"}, DT_CENTER},
    };
    for (const AlignCase& c : aligns) {
        CListUI fresh;
        for (const wchar_t* value : c.values)
            fresh.SetAttribute(L"itemalign", value);
        const UINT style = fresh.GetListInfo()->textStyle;
        EXPECT_EQ(c.horizontal, style & (DT_CENTER | DT_RIGHT)) << c.values.back();
        EXPECT_NE(0u, style & DT_VCENTER);
    }
    list.SetAttribute(L"itemendellipsis", L"true");
    EXPECT_NE(0u, info.textStyle & DT_END_ELLIPSIS);
    list.SetAttribute(L"itemendellipsis", L"TRUE");
    EXPECT_EQ(0u, info.textStyle & DT_END_ELLIPSIS);

    list.SetAttribute(L"itembkimage", L"file='a.png'");
    EXPECT_STREQ(L"file='a.png'", info.bkImage.GetData());
    list.SetAttribute(L"itemaltbk", L"true");
    EXPECT_TRUE(info.alternateBk);
    list.SetAttribute(L"itemshowhtml", L"yes");
    EXPECT_FALSE(info.showHtml);
    list.SetAttribute(L"multiexpanding", L"true");
    EXPECT_TRUE(info.multiExpand);
    list.SetAttribute(L"scrollselect", L"true");
    EXPECT_TRUE(list.IsScrollSelect());
    list.SetAttribute(L"header", L"hidden");
    EXPECT_FALSE(list.GetHeader()->IsShown());
    list.SetAttribute(L"header", L"shown");
    EXPECT_TRUE(list.GetHeader()->IsShown());
    // Keys of the layout and the control still work.
    list.SetAttribute(L"name", L"playList");
    EXPECT_STREQ(L"playList", list.GetName().GetData());
    list.SetAttribute(nullptr, L"x");
    list.SetAttribute(L"itemtextcolor", nullptr);
}

TEST(ListInfo, TypeAndCastNames)
{
    CListUI list;
    EXPECT_STREQ(L"ListUI", list.GetTypeName());
    EXPECT_EQ(static_cast<IListUI*>(&list), list.CastByName(L"IList"));
    EXPECT_EQ(static_cast<IListOwnerUI*>(&list), list.CastByName(L"IListOwner"));
    EXPECT_EQ(&list, list.CastByName(L"List"));
    EXPECT_NE(nullptr, list.CastByName(L"VerticalLayout"));
    EXPECT_EQ(1u, list.GetInputFlags());
    EXPECT_STREQ(L"VerticalLayoutUI", list.GetBody()->GetTypeName());
    EXPECT_STREQ(L"ListHeaderUI", list.GetHeader()->GetTypeName());
    EXPECT_EQ(list.GetHeader(), list.GetHeader()->CastByName(L"ListHeader"));

    CListTextElementUI text;
    CListContainerElementUI container;
    CListHeaderItemUI item;
    EXPECT_STREQ(L"ListTextElementUI", text.GetTypeName());
    EXPECT_EQ(static_cast<IListItemUI*>(&text), text.CastByName(L"ListItem"));
    EXPECT_NE(nullptr, text.CastByName(L"ListLabelElement"));
    EXPECT_NE(nullptr, text.CastByName(L"ListElement"));
    EXPECT_EQ(static_cast<IListItemUI*>(&container), container.CastByName(L"ListItem"));
    EXPECT_NE(nullptr, container.CastByName(L"Container"));
    EXPECT_EQ(&item, item.CastByName(L"ListHeaderItem"));
    EXPECT_EQ(4u, text.GetInputFlags());
    EXPECT_EQ(4u, container.GetInputFlags());
    EXPECT_EQ(2u, item.GetInputFlags());
    item.SetAttribute(L"sepwidth", L"0");
    EXPECT_EQ(0u, item.GetInputFlags());
    EXPECT_EQ(16, item.GetMinWidth());

    // A row without an owner measures and paints as nothing, whatever fixed
    // size it was given.
    CListLabelElementUI label;
    for (CControlUI* row : {static_cast<CControlUI*>(&text), static_cast<CControlUI*>(&label)}) {
        row->SetPreferredWidth(120);
        row->SetPreferredHeight(26);
        const SIZE size = row->MeasureSize(SIZE{100, 100});
        EXPECT_EQ(0, size.cx) << row->GetTypeName();
        EXPECT_EQ(0, size.cy) << row->GetTypeName();
    }
    // With an owner the fixed size stands.
    CListUI owner;
    text.SetOwner(&owner);
    EXPECT_EQ(120, text.MeasureSize(SIZE{100, 100}).cx);
    EXPECT_EQ(26, text.MeasureSize(SIZE{100, 100}).cy);
    text.SetOwner(nullptr);
    // Selected by markup before it has an owner: only its own flag.
    text.SetAttribute(L"selected", L"whatever");
    EXPECT_TRUE(text.IsSelected());
    EXPECT_FALSE(text.IsExpanded());
    EXPECT_FALSE(text.Expand(true));
}

TEST_F(ListWindow, AddingMovingAndRemovingRowsKeepsIndexesAndSelection)
{
    std::vector<CListTextElementUI*> rows = AddRows(5);
    EXPECT_EQ(5, list->GetCount());
    EXPECT_EQ(Sequence(5), Indexes());
    EXPECT_EQ(static_cast<IListOwnerUI*>(list), rows[2]->GetOwner());
    EXPECT_EQ(3, list->GetListInfo()->columnCount);
    EXPECT_EQ(1, list->GetItemIndex(items[1]));
    EXPECT_EQ(0, list->GetItemIndex(list->GetHeader()));
    EXPECT_EQ(3, list->GetItemIndex(rows[3]));

    ASSERT_TRUE(list->SelectItem(2));
    CListTextElementUI* first = new CListTextElementUI;
    EXPECT_TRUE(list->AddAt(first, 0));
    EXPECT_EQ(Sequence(6), Indexes());
    EXPECT_EQ(3, list->GetSelectedIndex());
    EXPECT_EQ(rows[2], list->GetItemAt(3));
    CListTextElementUI refused;
    EXPECT_FALSE(list->AddAt(&refused, 99));
    EXPECT_EQ(6, list->GetCount());

    EXPECT_TRUE(list->SetItemIndex(rows[2], 0));
    EXPECT_EQ(Sequence(6), Indexes());
    EXPECT_EQ(0, list->GetSelectedIndex());
    EXPECT_TRUE(rows[2]->IsSelected());
    EXPECT_TRUE(list->SetItemIndex(rows[2], 0));
    EXPECT_FALSE(list->SetItemIndex(rows[2], 6));

    // Removing a row before the selection keeps the same row selected.
    EXPECT_TRUE(list->SetItemIndex(rows[2], 4));
    EXPECT_TRUE(list->Remove(first));
    EXPECT_EQ(Sequence(5), Indexes());
    EXPECT_EQ(rows[2], list->GetItemAt(list->GetSelectedIndex()));

    // Removing the selected row selects the one now at its place, searching
    // backward first, and says that nothing was selected before.
    const int at = list->GetSelectedIndex();
    log.notes.clear();
    EXPECT_TRUE(list->RemoveAt(at));
    EXPECT_EQ(Sequence(4), Indexes());
    EXPECT_EQ(at, list->GetSelectedIndex());
    ASSERT_EQ(1u, log.notes.size());
    EXPECT_EQ(L"itemselect", log.notes[0].type);
    EXPECT_EQ(static_cast<WPARAM>(at), log.notes[0].wParam);
    EXPECT_EQ(-1, log.notes[0].lParam);

    EXPECT_FALSE(list->RemoveAt(10));
    EXPECT_FALSE(list->Remove(nullptr));
    list->RemoveAll();
    EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ(-1, list->GetSelectedIndex());
}

TEST_F(ListWindow, ClicksSelectAndNotifyInOrder)
{
    std::vector<CListTextElementUI*> rows = AddRows(4);
    Paint();
    log.notes.clear();
    Click(rows[1]);
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick", L"itemselect"}), log.Types());
    EXPECT_EQ(rows[1], log.notes[0].sender);
    EXPECT_EQ(list, log.notes[1].sender);
    EXPECT_EQ(1u, log.notes[1].wParam);
    EXPECT_EQ(-1, log.notes[1].lParam);
    EXPECT_EQ((std::vector<bool>{false, true, false, false}), SelectedFlags(rows));

    log.notes.clear();
    Click(rows[3], WM_RBUTTONDOWN);
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick", L"itemselect"}), log.Types());
    EXPECT_EQ(1, log.notes[1].lParam);
    EXPECT_EQ((std::vector<bool>{false, false, false, true}), SelectedFlags(rows));

    // Clicking the selected row again selects nothing new.
    log.notes.clear();
    Click(rows[3]);
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick"}), log.Types());

    // Double click and Return activate.
    log.notes.clear();
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At(Middle(rows[3])));
    Send(WM_LBUTTONUP, 0, At(Middle(rows[3])));
    Key(VK_RETURN);
    EXPECT_EQ((std::vector<std::wstring>{L"itemactivate", L"itemactivate"}), log.Types());

    // A disabled row takes no click.
    rows[0]->SetEnabled(false);
    log.notes.clear();
    Click(rows[0]);
    EXPECT_TRUE(log.notes.empty());
    EXPECT_EQ(3, list->GetSelectedIndex());
}

TEST_F(ListWindow, KeysMoveTheSelection)
{
    std::vector<CListTextElementUI*> rows = AddRows(5);
    Paint();
    list->TakeFocus();
    struct Step {
        WPARAM key;
        int selected;
    };
    const Step steps[] = {{VK_DOWN, 0}, {VK_DOWN, 1}, {VK_DOWN, 2}, {VK_END, 4}, {VK_DOWN, 4},
                          {VK_HOME, 0}, {VK_UP, 0},   {VK_DOWN, 1}, {VK_UP, 0}};
    for (const Step& step : steps) {
        Key(step.key);
        EXPECT_EQ(step.selected, list->GetSelectedIndex()) << "key " << step.key;
    }
    // Up with no selection selects the first selectable row.
    list->SelectItem(-1);
    rows[0]->SetEnabled(false);
    Key(VK_UP);
    EXPECT_EQ(1, list->GetSelectedIndex());
    // A disabled last row: End clears the selection without a notification.
    rows[4]->SetEnabled(false);
    log.notes.clear();
    Key(VK_END);
    EXPECT_EQ(-1, list->GetSelectedIndex());
    EXPECT_FALSE(rows[1]->IsSelected());
    EXPECT_TRUE(log.notes.empty());
}

TEST_F(ListWindow, SelectingOutOfRangeHiddenOrDisabledRowsFails)
{
    std::vector<CListTextElementUI*> rows = AddRows(3);
    ASSERT_TRUE(list->SelectItem(1));
    log.notes.clear();
    EXPECT_TRUE(list->SelectItem(1));
    EXPECT_TRUE(log.notes.empty());

    EXPECT_FALSE(list->SelectItem(3));
    EXPECT_EQ(-1, list->GetSelectedIndex());
    EXPECT_FALSE(rows[1]->IsSelected());
    EXPECT_FALSE(list->SelectItem(-5));
    rows[2]->SetShown(false);
    EXPECT_FALSE(list->SelectItem(2));
    rows[0]->SetEnabled(false);
    EXPECT_FALSE(list->SelectItem(0));
    EXPECT_FALSE(rows[0]->Select(true));
    EXPECT_EQ(-1, list->GetSelectedIndex());

    // A disabled row refuses a change of its selected state either way: the
    // list moves on, but the row keeps its flag until it is enabled again.
    rows[0]->SetEnabled(true);
    ASSERT_TRUE(list->SelectItem(0));
    rows[0]->SetEnabled(false);
    EXPECT_FALSE(rows[0]->Select(false));
    ASSERT_TRUE(list->SelectItem(1));
    EXPECT_EQ(1, list->GetSelectedIndex());
    EXPECT_TRUE(rows[0]->IsSelected());
    EXPECT_TRUE(rows[1]->IsSelected());
    rows[0]->SetEnabled(true);
    EXPECT_TRUE(rows[0]->Select(false));
    EXPECT_FALSE(rows[0]->IsSelected());
    list->SelectItem(-1);

    // Hiding the selected row leaves no selection and sends nothing.
    ASSERT_TRUE(list->SelectItem(1));
    log.notes.clear();
    rows[1]->SetShown(false);
    EXPECT_EQ(-1, list->GetSelectedIndex());
    EXPECT_FALSE(rows[1]->IsSelected());
    EXPECT_TRUE(log.notes.empty());

    // No row class expands.
    EXPECT_FALSE(list->ExpandItem(0, true));
    EXPECT_EQ(-1, list->GetExpandedIndex());
}

TEST_F(ListWindow, HeaderColumnsDriveTheCellsAndTheCallbackSuppliesTexts)
{
    std::vector<CListTextElementUI*> rows = AddRows(2);
    CellTexts texts;
    list->SetTextCallback(&texts);
    EXPECT_EQ(&texts, list->GetTextCallback());
    Paint();

    RECT client;
    GetClientRect(hwnd, &client);
    const UiListInfo& info = *list->GetListInfo();
    ASSERT_EQ(3, info.columnCount);
    EXPECT_EQ(client.right - 160, items[0]->GetBoundsWidth());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i]->GetBounds().left, info.columns[i].left);
        EXPECT_EQ(items[i]->GetBounds().right, info.columns[i].right);
    }
    EXPECT_EQ(100, info.columns[1].right - info.columns[1].left);
    // Rows are as wide as the body and sit under the header.
    EXPECT_EQ(24, rows[0]->GetBounds().top);
    EXPECT_EQ(client.right, rows[0]->GetBoundsWidth());
    EXPECT_GE(texts.calls, 6);

    // Text only in column 1: ink only inside column 1 of the row.
    texts.onlyColumn = 1;
    UiTest::Canvas canvas(client.right, client.bottom, kWhite);
    ASSERT_TRUE(canvas.ok());
    rows[0]->Paint(canvas.dc(), rows[0]->GetBounds());
    const RECT row = rows[0]->GetBounds();
    int inside = 0;
    int outside = 0;
    for (int y = row.top; y < row.bottom; ++y) {
        for (int x = row.left; x < row.right; ++x) {
            if (canvas.At(x, y) == kWhite)
                continue;
            if (x >= info.columns[1].left && x < info.columns[1].right)
                ++inside;
            else
                ++outside;
        }
    }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(0, outside);

    // Without a callback the row's own texts are used, and a missing one is
    // an empty cell.
    list->SetTextCallback(nullptr);
    EXPECT_TRUE(rows[0]->SetColumnText(2, L"own"));
    EXPECT_FALSE(rows[0]->SetColumnText(32, L"x"));
    EXPECT_FALSE(rows[0]->SetColumnText(-1, L"x"));
    EXPECT_STREQ(L"own", rows[0]->GetColumnText(2));
    EXPECT_EQ(nullptr, rows[0]->GetColumnText(0));
    EXPECT_EQ(nullptr, rows[0]->GetColumnText(5));
    // Texts of further columns leave the ones already stored in place.
    EXPECT_TRUE(rows[0]->SetColumnText(0, L"first"));
    EXPECT_TRUE(rows[0]->SetColumnText(7, L"eighth"));
    EXPECT_TRUE(rows[0]->SetColumnText(31, L"last"));
    EXPECT_TRUE(rows[0]->SetColumnText(2, L"again"));
    EXPECT_STREQ(L"first", rows[0]->GetColumnText(0));
    EXPECT_STREQ(L"again", rows[0]->GetColumnText(2));
    EXPECT_STREQ(L"eighth", rows[0]->GetColumnText(7));
    EXPECT_STREQ(L"last", rows[0]->GetColumnText(31));
    EXPECT_EQ(nullptr, rows[0]->GetColumnText(6));
    EXPECT_TRUE(rows[0]->SetColumnText(0, L""));
    canvas.Fill(kWhite);
    rows[0]->Paint(canvas.dc(), row);
    RECT cell0 = {info.columns[0].left, row.top, info.columns[0].right, row.bottom};
    RECT cell2 = {info.columns[2].left, row.top, info.columns[2].right, row.bottom};
    EXPECT_TRUE(canvas.AllEqual(cell0, kWhite));
    EXPECT_FALSE(canvas.AllEqual(cell2, kWhite));
    EXPECT_EQ(0, rows[0]->GetLinkCount());
    EXPECT_EQ(4u, rows[0]->GetInputFlags());
}

// Supplies a link in every cell of column 1.
class LinkTexts : public IListCallbackUI {
public:
    const wchar_t* GetItemText(CControlUI*, int, int column) override
    {
        return column == 1 ? L"<a go>link</a>" : nullptr;
    }
};

TEST_F(ListWindow, LinksInMarkupCellsAreReportedOnRelease)
{
    std::vector<CListTextElementUI*> rows = AddRows(2);
    LinkTexts texts;
    list->SetTextCallback(&texts);
    list->SetAttribute(L"itemshowhtml", L"true");
    list->SetAttribute(L"itemalign", L"left");
    Paint();
    ASSERT_EQ(1, rows[0]->GetLinkCount());
    EXPECT_EQ(6u, rows[0]->GetInputFlags());

    // The link starts at the left of column 1, in the middle of the row.
    const RECT column = list->GetListInfo()->columns[1];
    const POINT onLink = {column.left + 3, Middle(rows[0]).y};
    log.notes.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(onLink));
    Send(WM_LBUTTONUP, 0, At(onLink));
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick", L"itemselect", L"link"}), log.Types());
    EXPECT_EQ(rows[0], log.notes[2].sender);
    EXPECT_EQ(0u, log.notes[2].wParam);

    // Without markup the row finds no links.
    list->SetAttribute(L"itemshowhtml", L"false");
    Paint();
    EXPECT_EQ(0, rows[0]->GetLinkCount());
    EXPECT_EQ(4u, rows[0]->GetInputFlags());
}

TEST_F(ListWindow, ListWithoutHeaderItemsDrawsNoCellText)
{
    CListUI bare;
    CListTextElementUI* row = new CListTextElementUI;
    row->SetColumnText(0, L"text");
    bare.Add(row);
    EXPECT_EQ(0, bare.GetListInfo()->columnCount);
    row->SetBounds(RECT{0, 0, 100, 20});
    UiTest::Canvas canvas(100, 20, kWhite);
    row->DrawItemText(canvas.dc(), RECT{0, 0, 100, 20});
    EXPECT_TRUE(canvas.AllEqual(RECT{0, 0, 100, 20}, kWhite));
}

TEST_F(ListWindow, DraggingTheSeparatorResizesTheColumn)
{
    AddRows(1);
    Paint();
    const RECT before = items[1]->GetBounds();
    const POINT grip = {before.right - 2, (before.top + before.bottom) / 2};
    log.notes.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip));
    EXPECT_NE(0u, items[1]->GetState() & CListHeaderItemUI::kStateDragging);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip.x + 30, grip.y}));
    Send(WM_LBUTTONUP, 0, At(POINT{grip.x + 30, grip.y}));
    Paint();
    EXPECT_TRUE(log.notes.empty());
    EXPECT_EQ(130, items[1]->GetBoundsWidth());
    EXPECT_EQ(130, list->GetListInfo()->columns[1].right - list->GetListInfo()->columns[1].left);
    EXPECT_EQ(items[1]->GetBounds().right, items[2]->GetBounds().left);
    EXPECT_EQ(0u, items[1]->GetState() & CListHeaderItemUI::kStateDragging);

    // A drag that would leave 16 pixels or less is refused.
    const RECT wide = items[1]->GetBounds();
    const POINT grip2 = {wide.right - 1, grip.y};
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(grip2));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{grip2.x - 114, grip.y}));
    Send(WM_LBUTTONUP, 0, At(POINT{grip2.x - 114, grip.y}));
    Paint();
    EXPECT_EQ(130, items[1]->GetBoundsWidth());

    // A press away from the separator is a header click.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(Middle(items[1])));
    EXPECT_NE(0u, items[1]->GetState() & CListHeaderItemUI::kStatePushed);
    Send(WM_LBUTTONUP, 0, At(Middle(items[1])));
    EXPECT_EQ((std::vector<std::wstring>{L"headerclick"}), log.Types());
    EXPECT_EQ(items[1], log.notes[0].sender);
    EXPECT_EQ(0u, items[1]->GetState() & CListHeaderItemUI::kStatePushed);

    // Not draggable: the separator press does nothing.
    items[1]->SetAttribute(L"dragable", L"false");
    log.notes.clear();
    const RECT now = items[1]->GetBounds();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(POINT{now.right - 1, grip.y}));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(POINT{now.right + 20, grip.y}));
    Send(WM_LBUTTONUP, 0, At(POINT{now.right + 20, grip.y}));
    Paint();
    EXPECT_EQ(130, items[1]->GetBoundsWidth());
    EXPECT_TRUE(log.notes.empty());
}

TEST_F(ListWindow, RowsPaintTheListColours)
{
    std::vector<CListTextElementUI*> rows = AddRows(5);
    list->SetAttribute(L"itembkcolor", L"#FFFF0000");
    list->SetAttribute(L"itemaltbk", L"true");
    list->SetAttribute(L"itemselectedbkcolor", L"#FF00FF00");
    list->SetAttribute(L"itemhotbkcolor", L"#FF0000FF");
    list->SetAttribute(L"itemdisabledbkcolor", L"#FF808080");
    list->SetAttribute(L"itemlinecolor", L"#FF000000");
    Paint();
    list->SelectItem(2);
    rows[3]->SetEnabled(false);
    Send(WM_MOUSEMOVE, 0, At(Middle(rows[1])));

    RECT client;
    GetClientRect(hwnd, &client);
    UiTest::Canvas canvas(client.right, client.bottom, kWhite);
    list->Paint(canvas.dc(), client);
    struct Expect {
        int row;
        DWORD rgb;
    };
    // Even rows red, odd rows none; hot, selected and disabled override.
    for (const Expect& e :
         {Expect{0, 0xFF0000}, Expect{1, 0x0000FF}, Expect{2, 0x00FF00}, Expect{3, 0x808080}, Expect{4, 0xFF0000}}) {
        const RECT& rc = rows[e.row]->GetBounds();
        EXPECT_EQ(e.rgb, canvas.At(rc.left + 2, rc.top + 2)) << "row " << e.row;
        EXPECT_EQ(0u, canvas.At(rc.left + 2, rc.bottom - 1)) << "line under row " << e.row;
    }
    // Once the mouse leaves, row 1 shows no background.
    Send(WM_MOUSEMOVE, 0, At(Middle(rows[4])));
    canvas.Fill(kWhite);
    list->Paint(canvas.dc(), client);
    EXPECT_EQ(kWhite, canvas.At(rows[1]->GetBounds().left + 2, rows[1]->GetBounds().top + 2));

    // A selected row that is disabled shows the disabled colour.
    rows[2]->SetEnabled(false);
    canvas.Fill(kWhite);
    list->Paint(canvas.dc(), client);
    EXPECT_EQ(0x808080u, canvas.At(rows[2]->GetBounds().left + 2, rows[2]->GetBounds().top + 2));

    // A selected image that cannot be drawn is dropped; the colour remains.
    rows[2]->SetEnabled(true);
    list->SetAttribute(L"itemselectedimage", L"file='missing.png'");
    canvas.Fill(kWhite);
    list->Paint(canvas.dc(), client);
    EXPECT_TRUE(list->GetListInfo()->selectedImage.IsEmpty());
    EXPECT_EQ(0x00FF00u, canvas.At(rows[2]->GetBounds().left + 2, rows[2]->GetBounds().top + 2));
}

TEST_F(ListWindow, ALongListScrollsAndKeepsTheSelectionInView)
{
    list->SetAttribute(L"vscrollbar", L"true");
    std::vector<CListTextElementUI*> rows = AddRows(100);
    Paint();
    CScrollBarUI* bar = list->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(bar, list->GetBody()->GetVerticalScrollBar());
    EXPECT_TRUE(bar->IsShown());
    const RECT body = list->GetBody()->GetBounds();
    EXPECT_EQ(100 * 20 - (body.bottom - body.top), list->GetScrollRange().cy);

    list->TakeFocus();
    Key(VK_END);
    EXPECT_EQ(99, list->GetSelectedIndex());
    EXPECT_EQ(list->GetScrollRange().cy, list->GetScrollPos().cy);
    EXPECT_EQ(body.bottom, rows[99]->GetBounds().bottom);
    Key(VK_HOME);
    EXPECT_EQ(0, list->GetScrollPos().cy);
    EXPECT_EQ(body.top, rows[0]->GetBounds().top);

    Key(VK_NEXT);
    EXPECT_EQ(body.bottom - body.top, list->GetScrollPos().cy);
    Key(VK_PRIOR);
    EXPECT_EQ(0, list->GetScrollPos().cy);

    // The wheel scrolls a line, or with scroll-select moves the selection.
    RECT screen = rows[1]->GetBounds();
    POINT pt = {screen.left + 5, screen.top + 5};
    ClientToScreen(hwnd, &pt);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(pt.x, pt.y));
    EXPECT_GT(list->GetScrollPos().cy, 0);
    EXPECT_EQ(0, list->GetSelectedIndex());
    list->ScrollToTop();
    list->SetAttribute(L"scrollselect", L"true");
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(1, list->GetSelectedIndex());
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA)), MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(0, list->GetSelectedIndex());
}

TEST_F(ListWindow, HorizontalScrollingMovesHeaderItemsAndColumns)
{
    CScrollBarUI* bar = ShowWideColumns(3);
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsShown());
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(560 - client.right, list->GetScrollRange().cx);
    EXPECT_EQ(560, list->GetItemAt(0)->GetBoundsWidth());

    std::vector<RECT> before;
    for (CListHeaderItemUI* item : items)
        before.push_back(item->GetBounds());
    const int rowLeft = list->GetItemAt(0)->GetBounds().left;
    list->SetScrollPos(SIZE{30, 0});
    const UiListInfo& info = *list->GetListInfo();
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(before[i].left - 30, items[i]->GetBounds().left);
        EXPECT_EQ(before[i].left - 30, info.columns[i].left);
    }
    EXPECT_EQ(rowLeft - 30, list->GetItemAt(0)->GetBounds().left);
    // A new layout keeps the shift.
    list->MarkForUpdate();
    Paint();
    EXPECT_EQ(before[1].left - 30, info.columns[1].left);

    // With the header hidden the columns still follow.
    list->SetAttribute(L"header", L"hidden");
    Paint();
    EXPECT_EQ(before[1].left - 30, info.columns[1].left);
    list->SetScrollPos(SIZE{0, 0});
    EXPECT_EQ(before[1].left, info.columns[1].left);
    EXPECT_EQ(before[1].right, info.columns[1].right);
}

// Header items, column rects and rows must agree on where each column is,
// checked after the layouts that change the body's horizontal position.
class ListColumns : public ListWindow {
protected:
    void ExpectColumnsOverRows(const char* when)
    {
        SCOPED_TRACE(when);
        const UiListInfo& info = *list->GetListInfo();
        const int offset = list->GetScrollPos().cx;
        ASSERT_EQ(static_cast<int>(items.size()), info.columnCount);
        // Laid out from the list's left edge; the first column takes what the
        // other two leave.
        int left = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(left - offset, items[i]->GetBounds().left) << "item " << i;
            EXPECT_EQ(items[i]->GetBounds().left, info.columns[i].left) << "column " << i;
            EXPECT_EQ(items[i]->GetBounds().right, info.columns[i].right) << "column " << i;
            left = items[i]->GetBounds().right + offset;
        }
        for (int i = 0; i < list->GetCount(); ++i)
            EXPECT_EQ(info.columns[0].left, list->GetItemAt(i)->GetBounds().left) << "row " << i;
    }
};

TEST_F(ListColumns, HeaderFollowsTheBodyWhenWideningHidesItsHorizontalBar)
{
    CScrollBarUI* bar = ShowWideColumns(3);
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsShown());
    list->SetScrollPos(SIZE{30, 0});
    ASSERT_EQ(30, list->GetScrollPos().cx);
    ExpectColumnsOverRows("scrolled");

    // Wide enough for every column: the bar goes and the position with it.
    SetWindowPos(hwnd, nullptr, 0, 0, 700, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Paint();
    EXPECT_FALSE(bar->IsShown());
    EXPECT_EQ(0, list->GetScrollPos().cx);
    ExpectColumnsOverRows("widened");
    EXPECT_EQ(0, items[0]->GetBounds().left);
    EXPECT_EQ(400, list->GetListInfo()->columns[1].left);
}

TEST_F(ListColumns, HeaderFollowsTheBodyWhenRemovingRowsClampsItsPosition)
{
    list->SetAttribute(L"vscrollbar", L"true");
    ASSERT_NE(nullptr, ShowWideColumns(30));
    ASSERT_TRUE(list->GetVerticalScrollBar()->IsShown());
    list->ScrollToRight();
    const int scrolled = list->GetScrollPos().cx;
    ASSERT_GT(scrolled, 0);
    ExpectColumnsOverRows("scrolled to the right");

    // Few rows: the vertical bar goes, the client widens and the horizontal
    // range shrinks under the position. Only the body is laid out again.
    while (list->GetCount() > 2)
        ASSERT_TRUE(list->RemoveAt(list->GetCount() - 1));
    Paint();
    ASSERT_FALSE(list->GetVerticalScrollBar()->IsShown());
    EXPECT_LT(list->GetScrollPos().cx, scrolled);
    ExpectColumnsOverRows("after the rows went");
}

TEST_F(ListWindow, HeaderReplacementAndRemovalAreSafe)
{
    AddRows(2);
    Paint();
    CContainerUI* header = list->GetHeader();
    // Adding the current header again would make it a child twice.
    EXPECT_FALSE(list->Add(header));
    EXPECT_TRUE(list->Remove(header));
    EXPECT_EQ(nullptr, list->GetHeader());
    EXPECT_EQ(0, list->GetListInfo()->columnCount);
    CListHeaderItemUI orphan;
    EXPECT_FALSE(list->Add(&orphan));
    Paint();
    EXPECT_EQ(2, list->GetCount());

    CListHeaderUI* fresh = new CListHeaderUI;
    EXPECT_TRUE(list->Add(fresh));
    EXPECT_EQ(fresh, list->GetHeader());
    CListHeaderItemUI* item = new CListHeaderItemUI;
    item->SetPreferredWidth(50);
    EXPECT_TRUE(list->Add(item));
    EXPECT_EQ(1, list->GetListInfo()->columnCount);
    Paint();
    EXPECT_EQ(50, list->GetListInfo()->columns[0].right - list->GetListInfo()->columns[0].left);

    // A width changed later lays out only the header; the columns follow.
    item->SetPreferredWidth(70);
    Paint();
    EXPECT_EQ(70, list->GetListInfo()->columns[0].right - list->GetListInfo()->columns[0].left);
}

TEST_F(ListWindow, HeaderItemsPaintStateAndSeparatorImages)
{
    const std::wstring folder = UiTest::WorkFolder(L"uilib_list_test");
    CUiManager::SetResourcePath(folder.c_str());
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"red.png", UiTest::SolidPng(8, 8, 0xFFFF0000)));
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"blue.png", UiTest::SolidPng(8, 8, 0xFF0000FF)));
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"green.png", UiTest::SolidPng(8, 8, 0xFF00FF00)));
    CListHeaderItemUI* item = items[1];
    item->SetAttribute(L"normalimage", L"red.png");
    item->SetAttribute(L"hotimage", L"blue.png");
    item->SetAttribute(L"pushedimage", L"missing.png");
    item->SetAttribute(L"sepimage", L"green.png");
    item->SetAttribute(L"sepwidth", L"3");
    Paint();

    RECT client;
    GetClientRect(hwnd, &client);
    UiTest::Canvas canvas(client.right, client.bottom, kWhite);
    const RECT rc = item->GetBounds();
    auto paint = [&]() {
        canvas.Fill(kWhite);
        item->Paint(canvas.dc(), rc);
    };
    paint();
    EXPECT_EQ(0xFF0000u, canvas.At(rc.left + 2, rc.top + 2));
    // The separator covers the last 3 columns of pixels.
    EXPECT_EQ(0x00FF00u, canvas.At(rc.right - 1, rc.top + 2));
    EXPECT_EQ(0x00FF00u, canvas.At(rc.right - 3, rc.bottom - 1));
    EXPECT_EQ(0xFF0000u, canvas.At(rc.right - 4, rc.top + 2));

    Send(WM_MOUSEMOVE, 0, At(Middle(item)));
    paint();
    EXPECT_EQ(0x0000FFu, canvas.At(rc.left + 2, rc.top + 2));
    // Pushed has an image that cannot load: it is dropped, normal shows.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(Middle(item)));
    paint();
    EXPECT_EQ(0xFF0000u, canvas.At(rc.left + 2, rc.top + 2));
    Send(WM_LBUTTONUP, 0, At(Middle(item)));

    // A negative width puts the separator at the left edge.
    item->SetAttribute(L"sepwidth", L"-2");
    paint();
    EXPECT_EQ(0x00FF00u, canvas.At(rc.left, rc.top + 2));
    EXPECT_EQ(0x00FF00u, canvas.At(rc.left + 1, rc.top + 2));
    EXPECT_NE(0x00FF00u, canvas.At(rc.right - 1, rc.top + 2));
    CUiManager::SetResourcePath(L"");
}

// Makes the list family's controls by their element names.
class ListFactory : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* name) override
    {
        if (wcscmp(name, L"List") == 0)
            return new CListUI;
        if (wcscmp(name, L"ListHeader") == 0)
            return new CListHeaderUI;
        if (wcscmp(name, L"ListHeaderItem") == 0)
            return new CListHeaderItemUI;
        if (wcscmp(name, L"ListLabelElement") == 0)
            return new CListLabelElementUI;
        if (wcscmp(name, L"ListContainerElement") == 0)
            return new CListContainerElementUI;
        return nullptr;
    }
};

TEST_F(ListWindow, MarkupBuildsHeaderColumnsAndRows)
{
    ListFactory factory;
    CDialogBuilder builder;
    CControlUI* built = builder.Build(L"<Window><List name=\"playList\" itemselectedbkcolor=\"#FF00FF00\">"
                                      L"<ListHeader height=\"24\">"
                                      L"<ListHeaderItem text=\"a\" sepwidth=\"1\"/>"
                                      L"<ListHeaderItem text=\"b\" width=\"100\" sepwidth=\"1\"/>"
                                      L"<ListHeaderItem text=\"c\" width=\"60\" sepwidth=\"1\"/>"
                                      L"</ListHeader>"
                                      L"<ListLabelElement text=\"one\"/>"
                                      L"<ListLabelElement text=\"two\" selected=\"true\"/>"
                                      L"<ListContainerElement height=\"30\"/>"
                                      L"</List></Window>",
                                      nullptr, &factory, manager);
    ASSERT_NE(nullptr, built);
    CListUI* markupList = static_cast<CListUI*>(built->CastByName(L"List"));
    ASSERT_NE(nullptr, markupList);
    ASSERT_TRUE(manager->SetRoot(markupList));
    list = nullptr;  // the first root is gone with the new one
    Paint();

    EXPECT_EQ(3, markupList->GetCount());
    EXPECT_EQ(3, markupList->GetHeader()->GetCount());
    EXPECT_EQ(24, markupList->GetHeader()->GetBoundsHeight());
    const UiListInfo& info = *markupList->GetListInfo();
    EXPECT_EQ(3, info.columnCount);
    EXPECT_EQ(100, info.columns[1].right - info.columns[1].left);
    EXPECT_EQ(0xFF00FF00u, info.selectedBkColor);
    // The builder adds a row before its attributes, so "selected" reaches
    // the list.
    IListItemUI* second = static_cast<IListItemUI*>(markupList->GetItemAt(1)->CastByName(L"ListItem"));
    EXPECT_TRUE(second->IsSelected());
    EXPECT_EQ(1, markupList->GetSelectedIndex());
    EXPECT_EQ(30, markupList->GetItemAt(2)->GetBoundsHeight());
    // A label row without a height takes the item font's and a margin.
    const int fontHeight = manager->GetDefaultFontInfo()->metrics.tmHeight;
    EXPECT_EQ(fontHeight + 8, markupList->GetItemAt(0)->GetBoundsHeight());

    log.notes.clear();
    Click(markupList->GetItemAt(2));
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick", L"itemselect"}), log.Types());
    EXPECT_EQ(2, markupList->GetSelectedIndex());
    EXPECT_EQ(1, log.notes[1].lParam);
    EXPECT_FALSE(second->IsSelected());
}

// An owner that only keeps the types of the events its rows hand to it.
class RecordingOwner : public CControlUI, public IListOwnerUI {
public:
    void* CastByName(const wchar_t* name) override
    {
        if (name != nullptr && wcscmp(name, L"IListOwner") == 0)
            return static_cast<IListOwnerUI*>(this);
        return CControlUI::CastByName(name);
    }
    UiListInfo* GetListInfo() override { return &info; }
    int GetSelectedIndex() const override { return -1; }
    bool SelectItem(int, bool) override { return true; }
    void ProcessEvent(UiEvent& event) override { types.push_back(event.type); }
    bool Saw(int type) const { return std::find(types.begin(), types.end(), type) != types.end(); }

    UiListInfo info;
    std::vector<int> types;
};

TEST(ListRows, EventsADisabledRowDoesNotTakeGoToTheOwner)
{
    struct Case {
        int type;
        wchar_t key;
        bool enabledPasses;
        bool disabledPasses;
    } const cases[] = {
        {kUiEventButtonDown, 0, false, true},   {kUiEventRightButtonDown, 0, false, true},
        {kUiEventMouseEnter, 0, false, true},   {kUiEventKeyDown, VK_RETURN, false, true},
        {kUiEventDoubleClick, 0, false, false}, {kUiEventMouseLeave, 0, false, false},
        {kUiEventMouseMove, 0, false, false},   {kUiEventButtonUp, 0, false, false},
        {kUiEventKeyDown, VK_DOWN, true, true}, {kUiEventScrollWheel, 0, true, true},
    };
    CListLabelElementUI label;
    CListTextElementUI text;
    CListContainerElementUI container;
    for (CControlUI* row : std::initializer_list<CControlUI*>{&label, &text, &container}) {
        IListItemUI* item = static_cast<IListItemUI*>(row->CastByName(L"ListItem"));
        for (bool enabled : {true, false}) {
            row->SetEnabled(enabled);
            for (const Case& c : cases) {
                RecordingOwner owner;
                item->SetOwner(&owner);
                UiEvent event = UiTest::EventAt(c.type);
                event.key = c.key;
                row->ProcessEvent(event);
                EXPECT_EQ(enabled ? c.enabledPasses : c.disabledPasses, owner.Saw(c.type))
                    << row->GetTypeName() << " enabled " << enabled << " event " << c.type << " key " << c.key;
                item->SetOwner(nullptr);
            }
        }
    }
}

TEST(ListRows, NullAttributeNamesOrValuesAreRefused)
{
    CListElementUI plain;
    CListLabelElementUI label;
    CListTextElementUI text;
    CListContainerElementUI container;
    for (CControlUI* row : std::initializer_list<CControlUI*>{&plain, &label, &text, &container}) {
        IListItemUI* item = static_cast<IListItemUI*>(row->CastByName(L"ListItem"));
        row->SetAttribute(nullptr, L"true");
        row->SetAttribute(L"selected", nullptr);
        row->SetAttribute(L"width", nullptr);
        EXPECT_FALSE(item->IsSelected()) << row->GetTypeName();
        // Any value of "selected" selects.
        row->SetAttribute(L"selected", L"");
        EXPECT_TRUE(item->IsSelected()) << row->GetTypeName();
    }
    CListUI list;
    list.SetAttribute(nullptr, L"3");
    list.SetAttribute(L"itemfont", nullptr);
    EXPECT_EQ(-1, list.GetListInfo()->font);
    CListHeaderItemUI headerItem;
    headerItem.SetAttribute(nullptr, L"5");
    headerItem.SetAttribute(L"sepwidth", nullptr);
    EXPECT_EQ(4, headerItem.GetSeparatorWidth());
}

TEST(ListHeaderItem, EventsItDoesNotTakeGoToItsParent)
{
    UiTest::EventRecordingParent header;
    CListHeaderItemUI* item = new CListHeaderItemUI;
    header.Hold(item);
    item->SetBounds(RECT{0, 0, 100, 24});
    auto passes = [&](int type, POINT pt) { return header.PassedUp(*item, type, pt); };
    const POINT middle = {50, 12};
    // Enabled, the item takes the mouse; a move only while it drags.
    EXPECT_FALSE(passes(kUiEventMouseEnter, middle));
    EXPECT_NE(0u, item->GetState() & CListHeaderItemUI::kStateHot);
    EXPECT_TRUE(passes(kUiEventMouseMove, middle));
    EXPECT_FALSE(passes(kUiEventButtonDown, middle));
    EXPECT_NE(0u, item->GetState() & CListHeaderItemUI::kStatePushed);
    EXPECT_FALSE(passes(kUiEventButtonUp, middle));
    EXPECT_FALSE(passes(kUiEventButtonDown, POINT{98, 12}));
    EXPECT_FALSE(passes(kUiEventMouseMove, POINT{110, 12}));
    EXPECT_FALSE(passes(kUiEventButtonUp, POINT{110, 12}));
    EXPECT_FALSE(passes(kUiEventButtonUp, middle));
    EXPECT_FALSE(passes(kUiEventMouseLeave, middle));
    // Disabled, it takes none of them but the release.
    item->SetEnabled(false);
    for (int type :
         {kUiEventButtonDown, kUiEventDoubleClick, kUiEventMouseEnter, kUiEventMouseLeave, kUiEventMouseMove})
        EXPECT_TRUE(passes(type, middle)) << type;
    EXPECT_FALSE(passes(kUiEventButtonUp, middle));
    EXPECT_EQ(0u, item->GetState());
}

TEST(ListHeaderItem, ASeparatorWiderThanTheItemReachesPastItsOtherEdge)
{
    CListHeaderItemUI item;
    item.SetBounds(RECT{100, 0, 130, 24});
    struct Case {
        int width;
        RECT band;
    } const cases[] = {
        {1, {129, 0, 130, 24}},  {4, {126, 0, 130, 24}},   {50, {80, 0, 130, 24}},
        {-3, {100, 0, 103, 24}}, {-45, {100, 0, 145, 24}}, {0, {130, 0, 130, 24}},
    };
    for (const Case& c : cases) {
        item.SetSeparatorWidth(c.width);
        const RECT band = item.GetSeparatorRect();
        EXPECT_TRUE(EqualRect(&c.band, &band)) << c.width << ": " << band.left << "," << band.right;
    }
}

TEST_F(ListWindow, AHiddenHeaderGivesItsItemsTheWholeWidthOfTheList)
{
    AddRows(1);
    list->SetInset(RECT{10, 0, 10, 0});
    list->SetAttribute(L"header", L"hidden");
    Paint();
    const UiListInfo& info = *list->GetListInfo();
    ASSERT_EQ(3, info.columnCount);
    EXPECT_EQ(list->GetBounds().left, info.columns[0].left);
    EXPECT_EQ(list->GetBounds().right, info.columns[2].right);
    EXPECT_EQ(list->GetBounds().right - 60, info.columns[2].left);
    // The rows keep to the inset.
    EXPECT_EQ(list->GetBounds().left + 10, list->GetItemAt(0)->GetBounds().left);
}

TEST_F(ListWindow, HeaderWithoutAHeightMeasuresByItsItemsAndTheDefaultFont)
{
    const int font = manager->GetDefaultFontInfo()->metrics.tmHeight;
    CContainerUI* header = list->GetHeader();
    header->SetPreferredHeight(0);
    const SIZE available = {400, 300};
    // Items without a height of their own measure the font and 14 more.
    EXPECT_EQ(font + 14, items[1]->MeasureSize(available).cy);
    EXPECT_EQ(100, items[1]->MeasureSize(available).cx);
    SIZE size = header->MeasureSize(available);
    EXPECT_EQ(160, size.cx);
    EXPECT_EQ(font + 14, size.cy);
    // The tallest item decides...
    items[2]->SetPreferredHeight(font + 30);
    EXPECT_EQ(font + 30, header->MeasureSize(available).cy);
    // ...but never below the font and 6 more.
    for (CListHeaderItemUI* item : items)
        item->SetPreferredHeight(3);
    EXPECT_EQ(font + 6, header->MeasureSize(available).cy);
    // A height of its own wins.
    header->SetPreferredHeight(50);
    EXPECT_EQ(50, header->MeasureSize(available).cy);
}

}  // namespace
