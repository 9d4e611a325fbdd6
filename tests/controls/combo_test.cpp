// The combo and combo box on a real top-level window: rows added, removed
// and selected, the pop-up opening below or above the combo and closing on
// selection, Escape and focus loss, keys and the wheel, the text shown for
// the selection, and attribute values a skin may get wrong.
#include "ComboBoxUI.h"
#include "ComboUI.h"
#include "DialogBuilder.h"
#include "ListLabelElementUI.h"
#include "ScrollBarUI.h"
#include "UiManager.h"
#include "button_window_fixture.h"
#include "event_recording_parent.h"

#include <gtest/gtest.h>

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
        notes.push_back(Note{notify.type.GetData(), notify.sender, notify.wParam, notify.lParam});
    }
    int Count(const wchar_t* type) const
    {
        int count = 0;
        for (const Note& note : notes)
            count += note.type == type ? 1 : 0;
        return count;
    }
    const Note* Last(const wchar_t* type) const
    {
        for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
            if (it->type == type)
                return &*it;
        }
        return nullptr;
    }
    std::vector<Note> notes;
};

const int kComboLeft = 20;
const int kComboTop = 30;
const int kComboWidth = 110;
const int kComboHeight = 24;

template <class Combo>
CComboUI* SizedCombo()
{
    CComboUI* made = new Combo;
    made->SetPreferredWidth(kComboWidth);
    made->SetPreferredHeight(kComboHeight);
    return made;
}

// A window whose row holds one combo at a fixed place; rows are label rows.
class ComboWindow : public UiTest::RowWindow {
protected:
    void SetUp() override
    {
        UiTest::RowWindow::SetUp();
        CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
        SetWindowPos(hwnd, nullptr, 100, 100, 320, 220, SWP_NOZORDER | SWP_NOACTIVATE);
        row->SetInset(RECT{kComboLeft, kComboTop, 0, 0});
        combo = MakeCombo();
        row->Add(combo);
        Show();
        manager->AddNotifier(&log);
    }
    void TearDown() override
    {
        manager->RemoveNotifier(&log);
        UiTest::RowWindow::TearDown();
        Pump();
    }

    virtual CComboUI* MakeCombo() { return SizedCombo<CComboUI>(); }
    CListLabelElementUI* AddRow(const wchar_t* text)
    {
        CListLabelElementUI* added = new CListLabelElementUI;
        added->SetText(text);
        EXPECT_TRUE(combo->Add(added));
        return added;
    }
    void AddRows(int count)
    {
        for (int i = 0; i < count; ++i)
            AddRow((L"row " + std::to_wstring(i)).c_str());
    }
    static void PaintNow(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    static void Pump()
    {
        MSG msg;
        for (int round = 0; round < 20; ++round) {
            bool any = false;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                any = true;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (!any)
                break;
        }
    }
    static POINT CenterOf(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
    RECT ComboOnScreen() const
    {
        RECT rc = combo->GetBounds();
        MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    // Opens the pop-up with a press on the combo, as a user does.
    HWND ClickOpen()
    {
        Click(combo);
        const HWND popup = combo->GetDropWindow();
        if (popup != nullptr)
            PaintNow(popup);
        return popup;
    }
    int SelectedNotes() const { return log.Count(L"itemselect"); }

    CComboUI* combo = nullptr;
    NoteLog log;
};

TEST_F(ComboWindow, RowsKeepTheirIndexesAndTheSelectionFollowsItsRow)
{
    CListLabelElementUI* a = AddRow(L"alpha");
    CListLabelElementUI* b = AddRow(L"beta");
    CListLabelElementUI* c = AddRow(L"gamma");
    EXPECT_EQ(combo, reinterpret_cast<CControlUI*>(combo->CastByName(L"Combo")));
    EXPECT_EQ(static_cast<IListOwnerUI*>(combo), b->GetOwner());
    EXPECT_EQ(2, c->GetIndex());
    EXPECT_TRUE(combo->GetText().IsEmpty());

    EXPECT_TRUE(combo->SelectItem(1));
    EXPECT_EQ(1, combo->GetSelectedIndex());
    EXPECT_TRUE(b->IsSelected());
    EXPECT_STREQ(L"beta", combo->GetText().GetData());
    ASSERT_NE(nullptr, log.Last(L"itemselect"));
    EXPECT_EQ(1u, log.Last(L"itemselect")->wParam);
    EXPECT_EQ(-1, static_cast<int>(log.Last(L"itemselect")->lParam));

    // The selected row again: nothing happens.
    EXPECT_TRUE(combo->SelectItem(1));
    EXPECT_EQ(1, SelectedNotes());

    // A row inserted before the selection moves it along with its row.
    CListLabelElementUI* first = new CListLabelElementUI;
    first->SetText(L"first");
    EXPECT_TRUE(combo->AddAt(first, 0));
    EXPECT_EQ(2, combo->GetSelectedIndex());
    EXPECT_EQ(0, first->GetIndex());
    EXPECT_EQ(1, a->GetIndex());
    EXPECT_EQ(3, c->GetIndex());
    EXPECT_STREQ(L"beta", combo->GetText().GetData());

    // Moving rows keeps the selection on its row.
    EXPECT_TRUE(combo->SetItemIndex(b, 0));
    EXPECT_EQ(0, combo->GetSelectedIndex());
    EXPECT_EQ(0, b->GetIndex());
    EXPECT_EQ(1, first->GetIndex());
    EXPECT_EQ(2, a->GetIndex());
    EXPECT_EQ(1, SelectedNotes());

    // Removing a row before the selection, then the selected row itself.
    EXPECT_TRUE(combo->SetItemIndex(b, 2));
    EXPECT_TRUE(combo->Remove(first));
    EXPECT_EQ(1, combo->GetSelectedIndex());
    EXPECT_EQ(0, a->GetIndex());
    EXPECT_TRUE(combo->RemoveAt(1));
    // The nearest selectable row searching backward from the removed place.
    EXPECT_EQ(1, combo->GetSelectedIndex());
    EXPECT_STREQ(L"gamma", combo->GetText().GetData());
    EXPECT_EQ(-1, static_cast<int>(log.Last(L"itemselect")->lParam));
    EXPECT_EQ(2, combo->GetCount());

    EXPECT_FALSE(combo->RemoveAt(5));
    combo->RemoveAll();
    EXPECT_EQ(-1, combo->GetSelectedIndex());
    EXPECT_EQ(0, combo->GetCount());
    EXPECT_TRUE(combo->GetText().IsEmpty());
}

TEST_F(ComboWindow, SelectionOutOfRangeOrOnUnusableRows)
{
    AddRows(3);
    // Beyond the last row: the last row.
    EXPECT_TRUE(combo->SelectItem(99));
    EXPECT_EQ(2, combo->GetSelectedIndex());
    EXPECT_EQ(-1, static_cast<int>(log.Last(L"itemselect")->lParam));
    // The index is compared before it is clamped: asking again beyond the end
    // deselects the last row and selects it anew, with a notification.
    const int notes = SelectedNotes();
    EXPECT_TRUE(combo->SelectItem(7));
    EXPECT_EQ(2, combo->GetSelectedIndex());
    EXPECT_TRUE(static_cast<CListLabelElementUI*>(combo->GetItemAt(2))->IsSelected());
    ASSERT_EQ(notes + 1, SelectedNotes());
    EXPECT_EQ(2u, log.Last(L"itemselect")->wParam);
    EXPECT_EQ(2, static_cast<int>(log.Last(L"itemselect")->lParam));
    // The selected index itself changes nothing.
    EXPECT_TRUE(combo->SelectItem(2));
    EXPECT_EQ(notes + 1, SelectedNotes());

    // A negative index leaves nothing selected.
    EXPECT_FALSE(combo->SelectItem(-1));
    EXPECT_EQ(-1, combo->GetSelectedIndex());
    EXPECT_FALSE(static_cast<CListLabelElementUI*>(combo->GetItemAt(2))->IsSelected());

    // Hidden or disabled rows cannot be selected.
    combo->GetItemAt(0)->SetEnabled(false);
    combo->GetItemAt(1)->SetShown(false);
    EXPECT_FALSE(combo->SelectItem(0));
    EXPECT_FALSE(combo->SelectItem(1));
    EXPECT_EQ(-1, combo->GetSelectedIndex());

    // A control that is not a row may be a child, never a selection.
    CControlUI* plain = new CControlUI;
    EXPECT_TRUE(combo->Add(plain));
    EXPECT_FALSE(combo->SelectItem(3));

    combo->RemoveAll();
    EXPECT_FALSE(combo->SelectItem(0));
}

TEST_F(ComboWindow, PressOpensThePopupBelowTheComboSizedToItsRows)
{
    AddRows(2);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    EXPECT_TRUE(combo->IsDropped());
    EXPECT_EQ(1, log.Count(L"dropdown"));
    EXPECT_EQ(hwnd, GetWindow(popup, GW_OWNER));
    EXPECT_NE(0, GetWindowLongPtrW(popup, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

    // Two rows of the default font's height h and no padding: 2 * (h + 8) + 4.
    const int h = manager->GetDefaultFontInfo()->metrics.tmHeight;
    ASSERT_GT(h, 0);
    RECT placed = {};
    GetWindowRect(popup, &placed);
    const RECT comboRect = ComboOnScreen();
    EXPECT_EQ(comboRect.left, placed.left);
    EXPECT_EQ(comboRect.right, placed.right);
    EXPECT_EQ(comboRect.bottom, placed.top);
    EXPECT_EQ(2 * (h + 8) + 4, placed.bottom - placed.top);

    // A second activation while open changes nothing.
    EXPECT_TRUE(combo->TryActivate());
    EXPECT_EQ(popup, combo->GetDropWindow());
    EXPECT_EQ(1, log.Count(L"dropdown"));

    // While open the rows are laid out in the pop-up, one under the other.
    const RECT row0 = combo->GetItemAt(0)->GetBounds();
    const RECT row1 = combo->GetItemAt(1)->GetBounds();
    EXPECT_EQ(h + 8, row0.bottom - row0.top);
    EXPECT_EQ(row0.bottom, row1.top);
    EXPECT_NE(manager, combo->GetItemAt(0)->GetOwnerManager());
}

TEST_F(ComboWindow, DropBoxSizeLimitsThePopup)
{
    AddRows(20);
    combo->SetAttribute(L"dropboxsize", L"200,90");
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    RECT placed = {};
    GetWindowRect(popup, &placed);
    EXPECT_EQ(200, placed.right - placed.left);
    EXPECT_EQ(90, placed.bottom - placed.top);

    // A key in the pop-up that selects the last row scrolls it into view.
    RECT client = {};
    GetClientRect(popup, &client);
    EXPECT_GT(combo->GetItemAt(19)->GetBounds().bottom, client.bottom);
    SendMessageW(popup, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(19, combo->GetSelectedIndex());
    PaintNow(popup);
    const RECT last = combo->GetItemAt(19)->GetBounds();
    EXPECT_LE(last.bottom, client.bottom);
    EXPECT_GT(last.top, client.top);
}

TEST_F(ComboWindow, PopupOpensAboveWhenItWouldPassTheWorkArea)
{
    AddRows(3);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // The combo's bottom 10 pixels above the work area's bottom.
    const int y = work.bottom - 10 - (kComboTop + kComboHeight);
    SetWindowPos(hwnd, nullptr, 100, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Paint();
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    RECT placed = {};
    GetWindowRect(popup, &placed);
    const RECT comboRect = ComboOnScreen();
    EXPECT_EQ(comboRect.top, placed.bottom);
    EXPECT_LT(placed.top, comboRect.top);
    EXPECT_EQ(comboRect.left, placed.left);
}

TEST_F(ComboWindow, ClickOnARowSelectsItAndCloses)
{
    AddRows(3);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    CControlUI* chosen = combo->GetItemAt(2);
    const POINT pt = Middle(chosen);
    SendMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, At(pt));
    SendMessageW(popup, WM_LBUTTONUP, 0, At(pt));
    // The row's "itemclick" stays in the pop-up; the window hears the choice.
    EXPECT_EQ(0, log.Count(L"itemclick"));
    ASSERT_EQ(1, SelectedNotes());
    EXPECT_EQ(2u, log.Last(L"itemselect")->wParam);
    EXPECT_EQ(combo, log.Last(L"itemselect")->sender);
    Pump();
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(combo->IsDropped());
    // The rows are back with the combo and take no room in its window.
    EXPECT_EQ(manager, chosen->GetOwnerManager());
    EXPECT_EQ(combo, chosen->GetParentControl());
    EXPECT_EQ(0, chosen->GetBoundsWidth());
    EXPECT_STREQ(L"row 2", combo->GetText().GetData());
    // It can open again afterwards.
    EXPECT_NE(nullptr, ClickOpen());
}

TEST_F(ComboWindow, FocusLossClosesWithoutChangingTheSelection)
{
    AddRows(3);
    combo->SelectItem(1);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    // Focus going to the pop-up itself does not ask it to close. (A close
    // that the system's own focus moves asked for is set aside first.)
    MSG pending;
    while (PeekMessageW(&pending, popup, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
    SendMessageW(popup, WM_KILLFOCUS, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(PeekMessageW(&pending, popup, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    SendMessageW(popup, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    Pump();
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(1, combo->GetSelectedIndex());
    EXPECT_EQ(1, SelectedNotes());
    EXPECT_EQ(manager, combo->GetItemAt(0)->GetOwnerManager());
}

TEST_F(ComboWindow, EscapeRestoresTheSelectionTheOpeningHad)
{
    AddRows(3);
    combo->SelectItem(0);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    SendMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(1, combo->GetSelectedIndex());
    SendMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(0, combo->GetSelectedIndex());
    ASSERT_EQ(3, SelectedNotes());
    EXPECT_EQ(0u, log.Last(L"itemselect")->wParam);
    EXPECT_EQ(1, static_cast<int>(log.Last(L"itemselect")->lParam));
    Pump();
    EXPECT_FALSE(IsWindow(popup));
}

TEST_F(ComboWindow, ReturnClosesThePopup)
{
    AddRows(2);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    SendMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(0, SelectedNotes());
}

TEST_F(ComboWindow, KeysAndWheelMoveTheSelectionOverSelectableRows)
{
    AddRows(4);
    combo->GetItemAt(2)->SetEnabled(false);
    manager->SetFocus(combo);
    struct Step {
        UINT message;
        WPARAM wParam;
        int expected;
    };
    const short down = -WHEEL_DELTA;
    const Step steps[] = {
        {WM_KEYDOWN, VK_DOWN, 0},  // no selection: the first row
        {WM_KEYDOWN, VK_DOWN, 1},
        {WM_KEYDOWN, VK_NEXT, 3},  // skips the disabled row
        {WM_KEYDOWN, VK_DOWN, 3},  // stays on the last row
        {WM_KEYDOWN, VK_UP, 1},
        {WM_KEYDOWN, VK_PRIOR, 0},
        {WM_KEYDOWN, VK_UP, 0},
        {WM_KEYDOWN, VK_END, 3},
        {WM_KEYDOWN, VK_HOME, 0},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(down)), 1},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0},
    };
    const RECT screen = ComboOnScreen();
    const LPARAM over = At(CenterOf(screen));
    for (const Step& step : steps) {
        SendMessageW(hwnd, step.message, step.wParam, step.message == WM_MOUSEWHEEL ? over : 0);
        EXPECT_EQ(step.expected, combo->GetSelectedIndex()) << "message " << step.message << " key " << step.wParam;
    }
    // Wheel down on the last row keeps it and sends nothing.
    combo->SelectItem(3);
    const int notes = SelectedNotes();
    SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(down)), over);
    EXPECT_EQ(3, combo->GetSelectedIndex());
    EXPECT_EQ(notes, SelectedNotes());

    // F4 opens the pop-up.
    SendMessageW(hwnd, WM_KEYDOWN, VK_F4, 0);
    EXPECT_TRUE(combo->IsDropped());
}

TEST_F(ComboWindow, ShowsTheSelectedRowsTextInsideItsPadding)
{
    AddRows(2);
    combo->SetAttribute(L"itemtextcolor", L"#FF000000");
    combo->SetAttribute(L"textpadding", L"30,0,0,0");
    UiTest::Canvas canvas(300, 200);
    ASSERT_TRUE(canvas.ok());
    const RECT rc = combo->GetBounds();
    // The combo has no background: whatever is not white is its text.
    auto inked = [&](const RECT& area) {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x)
                count += canvas.At(x, y) != 0xFFFFFF ? 1 : 0;
        }
        return count;
    };
    combo->Paint(canvas.dc(), rc);
    EXPECT_EQ(0, inked(rc));

    combo->SelectItem(1);
    canvas.Fill(0xFFFFFF);
    combo->Paint(canvas.dc(), rc);
    const RECT padding = {rc.left, rc.top, rc.left + 30, rc.bottom};
    const RECT text = {rc.left + 30, rc.top, rc.right, rc.bottom};
    EXPECT_GT(inked(text), 0);
    EXPECT_EQ(0, inked(padding));
}

TEST_F(ComboWindow, AttributesOfTheComboAndMalformedValues)
{
    struct Case {
        const wchar_t* value;
        LONG cx;
        LONG cy;
    };
    // Two numbers stored as they are; a missing or unreadable one counts as 0.
    const Case sizes[] = {
        {L"0,150", 0, 150}, {L"200,90", 200, 90}, {L"abc", 0, 0}, {L"120", 120, 0},
        {L"-5,80", -5, 80}, {L"40,-7", 40, -7},   {L"", 0, 0},
    };
    for (const Case& size : sizes) {
        combo->SetAttribute(L"dropboxsize", size.value);
        EXPECT_EQ(size.cx, combo->GetDropBoxSize().cx) << size.value;
        EXPECT_EQ(size.cy, combo->GetDropBoxSize().cy) << size.value;
    }

    combo->SetAttribute(L"textpadding", L"6,1,4,2");
    EXPECT_EQ(6, combo->GetTextPadding().left);
    EXPECT_EQ(2, combo->GetTextPadding().bottom);
    combo->SetAttribute(L"textpadding", L"junk");
    EXPECT_EQ(0, combo->GetTextPadding().left);

    combo->SetAttribute(L"itemtextpadding", L"6,0,4,0");
    EXPECT_EQ(6, combo->GetListInfo()->textPadding.left);
    EXPECT_EQ(4, combo->GetListInfo()->textPadding.right);
    const UINT style = combo->GetListInfo()->textStyle;
    combo->SetAttribute(L"itemendellipsis", L"true");
    EXPECT_EQ(style, combo->GetListInfo()->textStyle);
    combo->SetAttribute(L"itemalign", L"center");
    EXPECT_NE(0u, combo->GetListInfo()->textStyle & DT_CENTER);
    combo->SetAttribute(L"dropbox", L"bkcolor=\"#FF00FF00\"");
    EXPECT_STREQ(L"bkcolor=\"#FF00FF00\"", combo->GetDropBoxAttributes().GetData());
    // Other keys reach the container and control parsers.
    combo->SetAttribute(L"name", L"cmbRecgType");
    EXPECT_STREQ(L"cmbRecgType", combo->GetName().GetData());
}

TEST_F(ComboWindow, DropBoxAttributesReachThePopupLayout)
{
    AddRows(2);
    combo->SetAttribute(L"dropbox", L"inset=\"5,5,5,5\"");
    ASSERT_NE(nullptr, ClickOpen());
    EXPECT_EQ(5, combo->GetItemAt(0)->GetBounds().top);
}

TEST_F(ComboWindow, DisabledComboNeitherOpensNorKeepsState)
{
    AddRows(2);
    combo->SetEnabled(false);
    EXPECT_EQ(nullptr, ClickOpen());
    EXPECT_FALSE(combo->TryActivate());
    EXPECT_EQ(0, log.Count(L"dropdown"));
}

TEST_F(ComboWindow, DestroyingTheComboWhileOpenTakesThePopupAlong)
{
    AddRows(3);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    EXPECT_TRUE(row->Remove(combo));
    combo = nullptr;
    // The container deletes it when the window next handles its messages.
    Pump();
    EXPECT_FALSE(IsWindow(popup));
}

TEST_F(ComboWindow, RowsRemovedWhileOpenLeaveThePopup)
{
    AddRows(3);
    combo->SelectItem(1);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    EXPECT_TRUE(combo->RemoveAt(0));
    PaintNow(popup);
    EXPECT_EQ(0, combo->GetSelectedIndex());
    // The rows that are left now start at the top of the pop-up.
    EXPECT_EQ(combo->GetItemAt(0)->GetBounds().bottom, combo->GetItemAt(1)->GetBounds().top);
    EXPECT_EQ(1, combo->GetItemAt(0)->GetBounds().top);
    combo->RemoveAll();
    PaintNow(popup);
    Pump();
    EXPECT_EQ(0, combo->GetCount());
}

TEST_F(ComboWindow, OwnerWindowGoingFirstGivesTheRowsBack)
{
    AddRows(2);
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    // The owned pop-up is destroyed with its owner, before any close.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(combo->IsDropped());
    EXPECT_EQ(manager, combo->GetItemAt(0)->GetOwnerManager());
}

TEST_F(ComboWindow, APressOnThePopupsScrollBarLeavesItOpen)
{
    AddRows(12);
    combo->SetAttribute(L"dropboxsize", L"0,80");
    const HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    CContainerUI* layout = static_cast<CContainerUI*>(combo->GetItemAt(0)->GetParentControl());
    ASSERT_NE(nullptr, layout);
    CScrollBarUI* bar = layout->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsShown());
    const RECT track = bar->GetBounds();
    const POINT onBar = {(track.left + track.right) / 2, track.bottom - 20};
    SendMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, At(onBar));
    SendMessageW(popup, WM_LBUTTONUP, 0, At(onBar));
    Pump();
    EXPECT_TRUE(IsWindow(popup));
    EXPECT_TRUE(combo->IsDropped());
    // A release beside the bar, over the rows, still closes it.
    SendMessageW(popup, WM_LBUTTONUP, 0, At(POINT{10, 20}));
    Pump();
    EXPECT_FALSE(IsWindow(popup));
}

TEST_F(ComboWindow, ClosingLeavesNoRowLookingHot)
{
    AddRows(3);
    HWND popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    CControlUI* hovered = combo->GetItemAt(1);
    SendMessageW(popup, WM_MOUSEMOVE, 0, At(Middle(hovered)));
    UiTest::Canvas canvas(320, 220);
    auto rowColour = [&]() {
        canvas.Fill(0xFFFFFF);
        hovered->Paint(canvas.dc(), hovered->GetBounds());
        const POINT middle = Middle(hovered);
        return canvas.At(middle.x, middle.y);
    };
    // The list info's hot background while the mouse is over the row.
    EXPECT_EQ(0xE9F5FFu, rowColour());
    SendMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    ASSERT_FALSE(IsWindow(popup));
    popup = ClickOpen();
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(0xFFFFFFu, rowColour());
}

TEST(Combo, NullAttributesAreRefusedAndADisabledPressGoesUp)
{
    UiTest::EventRecordingParent parent;
    CComboUI* combo = new CComboUI;
    parent.Hold(combo);
    combo->SetAttribute(L"textpadding", L"6,1,4,2");
    combo->SetAttribute(L"textpadding", nullptr);
    combo->SetAttribute(nullptr, L"1,1,1,1");
    EXPECT_EQ(6, combo->GetTextPadding().left);
    CComboBoxUI box;
    box.SetAttribute(L"arrowimage", L"arrow.png");
    box.SetAttribute(L"arrowimage", nullptr);
    box.SetAttribute(nullptr, L"other.png");
    EXPECT_STREQ(L"arrow.png", box.GetArrowImage().GetData());

    // Without a manager there is no window to open the pop-up from.
    EXPECT_FALSE(combo->TryActivate());
    EXPECT_FALSE(combo->IsDropped());
    UiEvent press = UiTest::EventAt(kUiEventButtonDown);
    combo->ProcessEvent(press);
    EXPECT_FALSE(parent.Saw(kUiEventButtonDown));
    combo->SetEnabled(false);
    combo->ProcessEvent(press);
    EXPECT_TRUE(parent.Saw(kUiEventButtonDown));
}

class ComboBoxWindow : public ComboWindow {
protected:
    CComboUI* MakeCombo() override { return SizedCombo<CComboBoxUI>(); }
};

TEST_F(ComboBoxWindow, IsAComboWithItsOwnType)
{
    AddRows(2);
    EXPECT_STREQ(L"ComboBoxUI", combo->GetTypeName());
    EXPECT_NE(nullptr, combo->CastByName(L"IListOwner"));
    combo->SetAttribute(L"arrowimage", L"file='arrow.png' source='0,0,50,10'");
    EXPECT_STREQ(L"file='arrow.png' source='0,0,50,10'", static_cast<CComboBoxUI*>(combo)->GetArrowImage().GetData());
    // An arrow image that cannot be drawn is dropped at the first paint.
    UiTest::Canvas canvas(300, 200);
    combo->Paint(canvas.dc(), combo->GetBounds());
    EXPECT_TRUE(static_cast<CComboBoxUI*>(combo)->GetArrowImage().IsEmpty());
    // So is one whose source is too narrow to give each state a column.
    combo->SetAttribute(L"arrowimage", L"file='arrow.png' source='0,0,4,10'");
    combo->Paint(canvas.dc(), combo->GetBounds());
    EXPECT_TRUE(static_cast<CComboBoxUI*>(combo)->GetArrowImage().IsEmpty());
    EXPECT_NE(nullptr, ClickOpen());
}

TEST_F(ComboBoxWindow, DrawsTheArrowSliceOfItsStateAtTheRightEnd)
{
    AddRows(2);
    const std::wstring folder = UiTest::WorkFolder(L"uilib_combo_test");
    CUiManager::SetResourcePath(folder.c_str());
    // Five 10-pixel slices: normal, hot, pushed, focused, disabled.
    const uint32_t slices[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF};
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 50; ++x)
            pixels.push_back(slices[x / 10]);
    }
    ASSERT_TRUE(testfiles::WriteBytes(folder + L"arrow.png", UiTest::EncodePng(50, 10, pixels)));
    combo->SetAttribute(L"arrowimage", L"file='arrow.png' source='0,0,50,10'");

    UiTest::Canvas canvas(320, 220);
    const RECT rc = combo->GetBounds();
    auto arrowColour = [&]() {
        canvas.Fill(0xFFFFFF);
        combo->Paint(canvas.dc(), rc);
        return canvas.At(rc.right - 5, (rc.top + rc.bottom) / 2);
    };
    EXPECT_EQ(0xFF0000u, arrowColour());
    // Only the arrow's width at the right end is drawn.
    EXPECT_EQ(0xFFFFFFu, canvas.At(rc.right - 15, (rc.top + rc.bottom) / 2));
    EXPECT_EQ(0xFF0000u, canvas.At(rc.right - 10, rc.top));
    Send(WM_MOUSEMOVE, 0, At(Middle(combo)));
    EXPECT_EQ(0x00FF00u, arrowColour());
    // Open: pushed until the pop-up is gone.
    ASSERT_NE(nullptr, ClickOpen());
    EXPECT_EQ(0x0000FFu, arrowColour());
    combo->SetEnabled(false);
    EXPECT_EQ(0xFF00FFu, arrowColour());
    CUiManager::SetResourcePath(L"");
}

class ComboFactory : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* name) override
    {
        if (wcscmp(name, L"Combo") == 0)
            return new CComboUI;
        if (wcscmp(name, L"ListLabelElement") == 0)
            return new CListLabelElementUI;
        return nullptr;
    }
};

TEST_F(ComboWindow, MarkupBuildsTheComboWithItsRows)
{
    ComboFactory factory;
    CDialogBuilder builder;
    CControlUI* built = builder.Build(L"<Window><VerticalLayout>"
                                      L"<Combo name=\"cmbRecgType\" width=\"110\" height=\"24\" dropboxsize=\"0,150\" "
                                      L"itemtextpadding=\"6,0,4,0\">"
                                      L"<ListLabelElement text=\"one\"/>"
                                      L"<ListLabelElement text=\"two\" selected=\"true\"/>"
                                      L"</Combo></VerticalLayout></Window>",
                                      nullptr, &factory, manager);
    ASSERT_NE(nullptr, built);
    ASSERT_TRUE(manager->SetRoot(built));
    Paint();
    CComboUI* markupCombo = static_cast<CComboUI*>(manager->FindControlByName(L"cmbRecgType"));
    ASSERT_NE(nullptr, markupCombo);
    EXPECT_EQ(2, markupCombo->GetCount());
    EXPECT_EQ(1, markupCombo->GetSelectedIndex());
    EXPECT_STREQ(L"two", markupCombo->GetText().GetData());
    EXPECT_EQ(6, markupCombo->GetListInfo()->textPadding.left);
    EXPECT_EQ(110, markupCombo->GetBoundsWidth());
    EXPECT_EQ(24, markupCombo->GetBoundsHeight());
    // The rows take no room in the window.
    EXPECT_EQ(0, markupCombo->GetItemAt(0)->GetBoundsHeight());
    Click(markupCombo);
    EXPECT_TRUE(markupCombo->IsDropped());
}

}  // namespace
