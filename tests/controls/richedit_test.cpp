// The rich edit on a real window: its markup attributes, the text round trip
// through the system's text services, read-only input, scrolling, painting,
// the "return" notification and the Tab key.
#include "DialogBuilder.h"
#include "RichEditUI.h"
#include "TxtWinHost.h"
#include "ScrollBarUI.h"
#include "UiManager.h"
#include "VerticalLayoutUI.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>
#include <richedit.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CUiManager* manager = reinterpret_cast<CUiManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t kClassName[] = L"UiRichEditTest";
const int kWidth = 320;
const int kHeight = 200;

class NotifyLog : public INotifyUI {
public:
    void Notify(UiNotify& notify) override { types.push_back(notify.type.GetData()); }
    int Count(const wchar_t* type) const
    {
        int n = 0;
        for (const std::wstring& seen : types)
            n += seen == type ? 1 : 0;
        return n;
    }
    std::vector<std::wstring> types;
};

// A control that the Tab key can reach.
class TabStop : public CControlUI {
public:
    UINT GetInputFlags() override { return kUiFlagTabStop; }
};

// A top-level window whose root is a vertical layout holding one rich edit
// and one plain control below it, to take the focus away.
class RichEditWindow : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (hwnd == nullptr)
            return;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete manager;
        DestroyWindow(hwnd);
        SetKeyboardState(neutralKeys);
    }

    void CreateWindowAndManager()
    {
        GetKeyboardState(neutralKeys);
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        wc.style = CS_DBLCLKS;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, kClassName, L"test", WS_POPUP, 40, 40, kWidth, kHeight, nullptr, nullptr,
                               wc.hInstance, nullptr);
        ASSERT_NE(nullptr, hwnd);
        manager = new CUiManager;
        manager->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
        manager->AddNotifier(&notes);
    }

    void ShowRoot(CControlUI* root)
    {
        ASSERT_TRUE(manager->SetRoot(root));
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        Paint();
    }

    // Builds the window with the rich edit's attributes applied before it is
    // attached, as the dialog builder does.
    void Open(const wchar_t* attributes, const wchar_t* text = nullptr)
    {
        CreateWindowAndManager();
        edit = new CRichEditUI;
        edit->SetName(L"edtText");
        edit->ApplyAttributeString(attributes);
        if (text != nullptr)
            edit->SetText(text);
        other = new TabStop;
        other->SetPreferredHeight(40);
        CVerticalLayoutUI* root = new CVerticalLayoutUI;
        root->Add(edit);
        root->Add(other);
        ShowRoot(root);
    }

    void PumpMessages()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    void Paint() { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(hwnd, message, wParam, lParam);
    }
    LRESULT Services(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        LRESULT result = 0;
        edit->TxSendMessage(message, wParam, lParam, &result);
        return result;
    }
    void Type(const std::wstring& text)
    {
        for (wchar_t ch : text)
            Send(WM_CHAR, ch, 1);
    }
    // Makes the modifier keys read as held (or as released).
    void HoldKeys(bool ctrl, bool shift = false)
    {
        BYTE keys[256];
        memcpy(keys, neutralKeys, sizeof(keys));
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    void PressKey(UINT key, bool ctrl = false)
    {
        HoldKeys(ctrl);
        Send(WM_KEYDOWN, key, 1);
        Send(WM_KEYUP, key, 0xC0000001);
        SetKeyboardState(neutralKeys);
    }
    CHARRANGE Selection()
    {
        CHARRANGE range = {-1, -1};
        Services(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }
    std::wstring SelectedText()
    {
        std::vector<wchar_t> buffer(static_cast<size_t>(edit->GetTextLength()) + 2, L'\0');
        Services(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data()));
        return buffer.data();
    }
    long LineCount() { return static_cast<long>(Services(EM_GETLINECOUNT)); }
    POINT ScrollPos()
    {
        POINT pt = {-1, -1};
        Services(EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pt));
        return pt;
    }
    CHARFORMAT2W CharFormat()
    {
        CHARFORMAT2W format = {};
        format.cbSize = sizeof(format);
        Services(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
        return format;
    }

    HWND hwnd = nullptr;
    CUiManager* manager = nullptr;
    CRichEditUI* edit = nullptr;
    CControlUI* other = nullptr;
    NotifyLog notes;
    BYTE neutralKeys[256] = {};
};

std::wstring ChineseText(size_t length)
{
    const std::wstring sample = L"今天我们讨论语音识别的结果，准确率很高。";
    std::wstring text;
    while (text.size() < length)
        text += sample;
    text.resize(length);
    return text;
}

class RichEditFactory : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* className) override
    {
        return wcscmp(className, L"RichEdit") == 0 ? new CRichEditUI : nullptr;
    }
};

// The recognised-text pane as the main window's skin declares it.
TEST_F(RichEditWindow, MarkupPaneIsReadOnlyWithItsBar)
{
    CreateWindowAndManager();
    RichEditFactory factory;
    CDialogBuilder builder;
    CControlUI* root =
        builder.Build(L"<Window><Default name=\"VScrollBar\" value=\"width=&quot;14&quot;\" />"
                      L"<VerticalLayout><RichEdit name=\"edtText\" padding=\"5,5,5,5\" textcolor=\"#FF91A0A1\" "
                      L"multiline=\"true\" vscrollbar=\"true\" autovscroll=\"true\" enabled=\"true\" readonly=\"true\" "
                      L"wantreturn=\"false\" wantctrlreturn=\"false\" menu=\"true\" text=\"皮肤里的文字\" />"
                      L"</VerticalLayout></Window>",
                      nullptr, &factory, manager);
    ASSERT_NE(nullptr, root);
    ShowRoot(root);
    edit = static_cast<CRichEditUI*>(manager->FindControlByName(L"edtText"));
    ASSERT_NE(nullptr, edit);
    ASSERT_NE(nullptr, edit->GetTextHost());
    EXPECT_STREQ(L"皮肤里的文字", edit->GetText().GetData());
    EXPECT_TRUE(edit->IsReadOnly());
    for (DWORD bit : {static_cast<DWORD>(WS_VSCROLL), static_cast<DWORD>(ES_AUTOVSCROLL),
                      static_cast<DWORD>(ES_READONLY), static_cast<DWORD>(ES_MULTILINE)})
        EXPECT_EQ(bit, edit->GetTextHostStyle() & bit) << std::hex << bit;
    CScrollBarUI* bar = edit->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(14, bar->GetPreferredWidth());

    edit->SetText(ChineseText(3000).c_str());
    Paint();
    ASSERT_TRUE(bar->IsShown());
    const RECT& rc = edit->GetBounds();
    const RECT& barRect = bar->GetBounds();
    EXPECT_EQ(rc.right, barRect.right);
    EXPECT_EQ(14, barRect.right - barRect.left);

    edit->TakeFocus();
    Type(L"改");
    PressKey(VK_RETURN);
    EXPECT_EQ(1, notes.Count(L"return"));
    EXPECT_EQ(3000, edit->GetTextLength());
}

TEST_F(RichEditWindow, TextServicesStartAndHostTheText)
{
    Open(L"", L"set before init");
    ASSERT_NE(nullptr, edit->GetTextHost()) << "riched20 text services did not start";
    EXPECT_STREQ(L"set before init", edit->GetText().GetData());
    EXPECT_EQ(15, edit->GetTextLength());
    EXPECT_STREQ(L"RichEditUI", edit->GetTypeName());
    EXPECT_EQ(edit, edit->CastByName(L"RichEdit"));
    EXPECT_NE(nullptr, edit->CastByName(L"Container"));
}

TEST_F(RichEditWindow, EmptyControlHasEmptyText)
{
    Open(L"");
    EXPECT_STREQ(L"", edit->GetText().GetData());
    EXPECT_EQ(0, edit->GetTextLength());
}

TEST_F(RichEditWindow, ChineseTextRoundTrips)
{
    Open(L"");
    const std::wstring text = L"识别结果：你好，世界！Hello 123 — ①②③ 𠀀";
    edit->SetText(text.c_str());
    EXPECT_EQ(text, edit->GetText().GetData());
    edit->SetText(L"短");
    EXPECT_STREQ(L"短", edit->GetText().GetData());
}

// The recognised text of a long recording is far past the default limit of
// what a user may type; it must arrive whole, and typing stays limited.
TEST_F(RichEditWindow, LongTextIsSetWholeDespiteTheTypingLimit)
{
    Open(L"");
    const std::wstring text = ChineseText(200 * 1024 / sizeof(wchar_t) * 2);  // 200 KB of UTF-16
    ASSERT_GT(text.size(), static_cast<size_t>(CRichEditUI::kDefaultTextLimit));
    edit->SetText(text.c_str());
    EXPECT_EQ(static_cast<long>(text.size()), edit->GetTextLength());
    EXPECT_TRUE(text == edit->GetText().GetData());
    EXPECT_EQ(CRichEditUI::kDefaultTextLimit, edit->GetLimitText());
}

TEST_F(RichEditWindow, TheTextLimitIsTheHosts)
{
    // The host hands the control's limit to the services when they ask.
    Open(L"");
    EXPECT_EQ(0x7FFF, edit->GetLimitText());
    DWORD limit = 0;
    ASSERT_EQ(S_OK, edit->GetTextHost()->TxGetMaxLength(&limit));
    EXPECT_EQ(0x7FFFu, limit);
}

struct AttributeCase {
    const wchar_t* markup;
    DWORD styleSet;
    DWORD styleClear;
    bool readOnly, rich, wantTab, wantReturn, wantCtrlReturn;
    int font;
    DWORD color;
    int limit;
};

TEST_F(RichEditWindow, AttributesSetStyleAndFlags)
{
    const DWORD multi = ES_MULTILINE;
    const AttributeCase cases[] = {
        {L"", multi, ES_READONLY, false, true, true, true, true, -1, 0, 0x7FFF},
        {L"readonly=\"true\" multiline=\"false\" rich=\"false\"", ES_READONLY, multi, true, false, true, true, true, -1,
         0, 0x7FFF},
        {L"readonly=\"TRUE\" multiline=\"no\" rich=\"1\"", multi, ES_READONLY, false, false, true, true, true, -1, 0,
         0x7FFF},
        {L"wanttab=\"false\" wantreturn=\"false\" wantctrlreturn=\"false\"", multi, 0, false, true, false, false, false,
         -1, 0, 0x7FFF},
        {L"vscrollbar=\"true\" autovscroll=\"true\"", WS_VSCROLL | ES_DISABLENOSCROLL | ES_AUTOVSCROLL, WS_HSCROLL,
         false, true, true, true, true, -1, 0, 0x7FFF},
        {L"hscrollbar=\"true\" autohscroll=\"true\"", WS_HSCROLL | ES_DISABLENOSCROLL | ES_AUTOHSCROLL, WS_VSCROLL,
         false, true, true, true, true, -1, 0, 0x7FFF},
        {L"numberonly=\"true\" password=\"true\"", ES_NUMBER | ES_PASSWORD, 0, false, true, true, true, true, -1, 0,
         0x7FFF},
        {L"align=\"center\"", ES_CENTER, ES_RIGHT, false, true, true, true, true, -1, 0, 0x7FFF},
        {L"align=\"right\" align=\"left\"", 0, ES_CENTER | ES_RIGHT, false, true, true, true, true, -1, 0, 0x7FFF},
        {L"font=\"2\" textcolor=\"  #FF91A0A1\"", multi, 0, false, true, true, true, true, 2, 0xFF91A0A1, 0x7FFF},
        {L"font=\"x\" textcolor=\"zz\"", multi, 0, false, true, true, true, true, 0, 0, 0x7FFF},
        {L"textcolor=\"FF0000\"", multi, 0, false, true, true, true, true, -1, 0xFF0000, 0x7FFF},
        // The rich edit has no key for its text limit.
        {L"maxchar=\"100\"", multi, 0, false, true, true, true, true, -1, 0, 0x7FFF},
    };
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.markup);
        CRichEditUI control;
        control.ApplyAttributeString(c.markup);
        const DWORD style = control.GetTextHostStyle();
        EXPECT_EQ(c.styleSet, style & c.styleSet);
        EXPECT_EQ(0u, style & c.styleClear);
        EXPECT_EQ(c.readOnly, control.IsReadOnly());
        EXPECT_EQ(c.rich, control.IsRich());
        EXPECT_EQ(c.wantTab, control.WantsTab());
        EXPECT_EQ(c.wantReturn, control.IsWantReturn());
        EXPECT_EQ(c.wantCtrlReturn, control.IsWantCtrlReturn());
        EXPECT_EQ(c.font, control.GetFont());
        EXPECT_EQ(c.color, control.GetTextColor());
        EXPECT_EQ(c.limit, control.GetLimitText());
    }
}

TEST_F(RichEditWindow, FontAndColourReachTheServices)
{
    // Given before the services start, the colour is in their default format.
    Open(L"textcolor=\"#FF102030\"");
    ASSERT_NE(nullptr, edit->GetTextHost());
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), CharFormat().crTextColor);

    // Changed later, the host's default format holds the new font and
    // colour, which the services read back once told of the change.
    manager->AddFont(L"Arial", 30, true, false, true);
    edit->SetFont(0);
    edit->SetTextColor(0xFF405060);
    const CHARFORMATW* given = nullptr;
    ASSERT_EQ(S_OK, edit->GetTextHost()->TxGetCharFormat(&given));
    ASSERT_NE(nullptr, given);
    const CHARFORMAT2W& format = *reinterpret_cast<const CHARFORMAT2W*>(given);
    EXPECT_EQ(sizeof(CHARFORMAT2W), format.cbSize);
    EXPECT_EQ(RGB(0x40, 0x50, 0x60), format.crTextColor);
    EXPECT_NE(0u, format.dwEffects & CFE_BOLD);
    EXPECT_NE(0u, format.dwEffects & CFE_ITALIC);
    EXPECT_STREQ(L"Arial", format.szFaceName);
    // 30 pixels at the DC's resolution, in twips.
    const int dpi = GetDeviceCaps(manager->GetPaintDC(), LOGPIXELSY);
    EXPECT_EQ(30 * 1440 / dpi, format.yHeight);

    // A font given by its cell height (a negative size in the skin makes a
    // positive LOGFONT height) keeps a positive size too.
    manager->AddFont(L"Arial", -30, false, false, false);
    edit->SetFont(1);
    ASSERT_EQ(S_OK, edit->GetTextHost()->TxGetCharFormat(&given));
    EXPECT_EQ(30 * 1440 / dpi, reinterpret_cast<const CHARFORMAT2W*>(given)->yHeight);
}

TEST_F(RichEditWindow, ReadOnlyRefusesTypingButSelects)
{
    Open(L"readonly=\"true\" wantreturn=\"false\"", L"第一行文字");
    edit->TakeFocus();
    ASSERT_EQ(edit, manager->GetFocus());
    Type(L"xyz");
    PressKey(VK_BACK);
    PressKey(VK_DELETE);
    EXPECT_STREQ(L"第一行文字", edit->GetText().GetData());

    // Ctrl+A selects everything; keyboard selection works while read-only.
    PressKey('A', true);
    EXPECT_EQ(L"第一行文字", SelectedText());
    PressKey(VK_HOME);
    HoldKeys(false, true);
    Send(WM_KEYDOWN, VK_RIGHT, 1);
    Send(WM_KEYDOWN, VK_RIGHT, 1);
    SetKeyboardState(neutralKeys);
    EXPECT_EQ(L"第一", SelectedText());
    edit->SetSel(1, 3);
    const CHARRANGE part = Selection();
    EXPECT_EQ(1, part.cpMin);
    EXPECT_EQ(3, part.cpMax);
}

TEST_F(RichEditWindow, CopyPutsTheSelectionOnTheClipboard)
{
    Open(L"readonly=\"true\"", L"复制这段文字");
    edit->SetSel(2, 4);
    Services(WM_COPY);
    ASSERT_TRUE(OpenClipboard(hwnd));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied;
    if (data != nullptr) {
        const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(data));
        if (text != nullptr)
            copied = text;
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(L"这段", copied);
}

TEST_F(RichEditWindow, MouseDragSelects)
{
    Open(L"readonly=\"true\"", L"鼠标选择文字鼠标选择文字");
    const RECT& rc = edit->GetBounds();
    const int y = rc.top + 8;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.left + 2, y));
    EXPECT_EQ(edit, manager->GetFocus());
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(rc.left + 60, y));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(rc.left + 60, y));
    const CHARRANGE range = Selection();
    EXPECT_EQ(0, range.cpMin);
    EXPECT_GT(range.cpMax, 0);
}

TEST_F(RichEditWindow, ReturnNotifiesWhenNotWanted)
{
    struct Case {
        const wchar_t* markup;
        bool ctrl;
        int notifications;
        bool newLine;
    };
    const Case cases[] = {
        {L"wantreturn=\"false\"", false, 1, false},
        {L"", false, 0, true},
        {L"wantctrlreturn=\"false\"", true, 1, false},
        {L"wantctrlreturn=\"false\"", false, 0, true},
        {L"readonly=\"true\" wantreturn=\"false\"", false, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markup);
        Open(c.markup, L"ab");
        edit->TakeFocus();
        edit->SetSel(1, 1);
        notes.types.clear();
        PressKey(VK_RETURN, c.ctrl);
        HoldKeys(c.ctrl);
        Send(WM_CHAR, c.ctrl ? L'\n' : L'\r', 1);
        SetKeyboardState(neutralKeys);
        EXPECT_EQ(c.notifications, notes.Count(L"return"));
        EXPECT_EQ(c.newLine ? 2 : 1, LineCount());
        TearDown();
        hwnd = nullptr;
    }
}

TEST_F(RichEditWindow, TabIsKeptOnlyWhenWanted)
{
    Open(L"", L"x");
    edit->TakeFocus();
    LRESULT result = 0;
    EXPECT_FALSE(manager->PreDispatchMessage(WM_KEYDOWN, VK_TAB, 0, result));
    EXPECT_EQ(edit, manager->GetFocus());
    edit->SetSel(1, 1);
    PressKey(VK_TAB);
    Send(WM_CHAR, L'\t', 1);
    EXPECT_STREQ(L"x\t", edit->GetText().GetData());

    edit->SetWantTab(false);
    EXPECT_TRUE(manager->PreDispatchMessage(WM_KEYDOWN, VK_TAB, 0, result));
    EXPECT_NE(edit, manager->GetFocus());
}

// A deleted rich edit must leave the manager's message filters.
TEST_F(RichEditWindow, RemovedControlLeavesNoFilter)
{
    Open(L"", L"x");
    CContainerUI* root = static_cast<CContainerUI*>(manager->GetRoot());
    IMessageFilterUI* filter = edit;
    ASSERT_TRUE(root->Remove(edit));
    edit = nullptr;
    PumpMessages();  // a removed child may be deleted later, by a posted message
    // Only the address is compared: nothing of the deleted control is read.
    EXPECT_FALSE(manager->RemoveMessageFilter(filter));
    const RECT& rc = other->GetBounds();
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(rc.left + 2, rc.top + 2));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Send(WM_KEYDOWN, 'A', 1);
    Send(WM_CHAR, 'a', 1);
    Paint();
    EXPECT_EQ(1, root->GetCount());
}

TEST_F(RichEditWindow, LinesAndScrollRangeGrowWithText)
{
    Open(L"vscrollbar=\"true\" autovscroll=\"true\"", L"一行");
    CScrollBarUI* bar = edit->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    Paint();
    EXPECT_EQ(1, LineCount());
    EXPECT_FALSE(bar->IsShown());

    edit->SetText(ChineseText(3000).c_str());
    Paint();
    const long manyLines = LineCount();
    EXPECT_GT(manyLines, 20);
    EXPECT_TRUE(bar->IsShown());
    const int range = bar->GetScrollRange();
    EXPECT_GT(range, edit->GetBounds().bottom - edit->GetBounds().top);

    edit->SetText(ChineseText(9000).c_str());
    Paint();
    EXPECT_GT(LineCount(), manyLines);
    EXPECT_GT(bar->GetScrollRange(), range);

    // Scrolling moves the view and the bar together.
    edit->ScrollToBottom();
    EXPECT_GT(ScrollPos().y, 0);
    EXPECT_EQ(ScrollPos().y, bar->GetScrollPos());
    EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
    edit->ScrollToTop();
    EXPECT_EQ(0, ScrollPos().y);
    edit->LineDown();
    EXPECT_GT(ScrollPos().y, 0);
    edit->SetScrollPos(SIZE{0, 100});
    EXPECT_EQ(100, ScrollPos().y);
    EXPECT_EQ(100, bar->GetScrollPos());

    // A short text takes the bar away again.
    edit->SetText(L"短");
    Paint();
    EXPECT_FALSE(bar->IsShown());
}

// A position past what a scroll message's 16 bits carry still reaches the
// services whole, instead of wrapping round to near the top.
TEST_F(RichEditWindow, PositionsBeyondSixteenBitsScrollWhole)
{
    Open(L"vscrollbar=\"true\" autovscroll=\"true\" readonly=\"true\"", ChineseText(60000).c_str());
    Paint();
    CScrollBarUI* bar = edit->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsShown());
    edit->ScrollToBottom();
    const LONG bottom = ScrollPos().y;
    const LONG wrapped = 70000 & 0xFFFF;
    ASSERT_GT(bottom, 2 * wrapped);
    edit->ScrollToTop();
    ASSERT_EQ(0, ScrollPos().y);

    // A text taller than 16 bits of pixels gives the bar such a range; the
    // services here stop theirs short of it, so the bar is given one.
    bar->SetScrollRange(200000);
    edit->SetScrollPos(SIZE{0, 70000});
    EXPECT_GT(ScrollPos().y, 2 * wrapped);
    EXPECT_LE(ScrollPos().y, bottom);
}

TEST_F(RichEditWindow, ReadOnlyPaneScrollsByWheelAndKeys)
{
    Open(L"vscrollbar=\"true\" autovscroll=\"true\" readonly=\"true\" wantreturn=\"false\"", ChineseText(3000).c_str());
    Paint();
    CScrollBarUI* bar = edit->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(bar->IsShown());

    const RECT& rc = edit->GetBounds();
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(hwnd, &pt);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(pt.x, pt.y));
    const int afterWheel = ScrollPos().y;
    EXPECT_GT(afterWheel, 0);
    EXPECT_EQ(afterWheel, bar->GetScrollPos());

    edit->TakeFocus();
    PressKey(VK_NEXT);
    EXPECT_GT(ScrollPos().y, afterWheel);
    PressKey(VK_END, true);
    EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
    EXPECT_EQ(bar->GetScrollPos(), ScrollPos().y);
    EXPECT_EQ(3000, edit->GetTextLength());
}

// A password pane shows a mask for each character, never the text: with no
// mask character the services would draw what was typed.
TEST_F(RichEditWindow, PasswordPaneShowsMasksNotTheText)
{
    struct Case {
        const wchar_t* markup;
        wchar_t mask;
        int inkRight;
    };
    Case cases[] = {{L"", 0, 0}, {L"password=\"true\"", L'*', 0}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.markup);
        Open((std::wstring(L"textcolor=\"#FFFF0000\" bkcolor=\"#FFFFFFFF\" ") + c.markup).c_str(), L"WWWWWWWW");
        ASSERT_NE(nullptr, edit->GetTextHost());
        TCHAR mask = 1;
        ASSERT_EQ(S_OK, edit->GetTextHost()->TxGetPasswordChar(&mask));
        EXPECT_EQ(c.mask, mask);
        EXPECT_STREQ(L"WWWWWWWW", edit->GetText().GetData());
        RECT client;
        GetClientRect(hwnd, &client);
        UiTest::Canvas canvas(client.right, client.bottom, 0xFFFFFF);
        ASSERT_TRUE(canvas.ok());
        Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const DWORD pixel = canvas.At(x, y);
                if ((pixel >> 16) > 0xC0 && ((pixel >> 8) & 0xFF) < 0x60 && x > c.inkRight)
                    c.inkRight = x;
            }
        }
        TearDown();
        hwnd = nullptr;
    }
    ASSERT_GT(cases[0].inkRight, 0);
    ASSERT_GT(cases[1].inkRight, 0);
    // Eight masks take far less room than eight W.
    EXPECT_LT(cases[1].inkRight, cases[0].inkRight * 3 / 4);
}

TEST_F(RichEditWindow, PaintsTheTextInItsColour)
{
    Open(L"textcolor=\"#FFFF0000\" bkcolor=\"#FFFFFFFF\"", L"红色的文字红色的文字");
    RECT client;
    GetClientRect(hwnd, &client);
    UiTest::Canvas canvas(client.right, client.bottom, 0x00FF00);
    ASSERT_TRUE(canvas.ok());
    Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    const RECT& rc = edit->GetBounds();
    int red = 0;
    int outside = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const DWORD pixel = canvas.At(x, y);
            const bool reddish = (pixel >> 16) > 0xC0 && ((pixel >> 8) & 0xFF) < 0x60 && (pixel & 0xFF) < 0x60;
            if (!reddish)
                continue;
            const POINT pt = {x, y};
            if (PtInRect(&rc, pt))
                ++red;
            else
                ++outside;
        }
    }
    EXPECT_GT(red, 20);
    EXPECT_EQ(0, outside);
}

}  // namespace
