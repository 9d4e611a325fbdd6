// The edit control on a real window: its markup attributes, the native edit
// window that covers it while it has the focus (place, styles, limits,
// colours), typing copied back with "textchanged", "return", closing on focus
// loss, hiding and disabling, and the masked painting of a password edit.
#include "EditUI.h"
#include "VerticalLayoutUI.h"

#include "native_child_host.h"
#include "ui_render_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace UiLib;
using UiTest::NativeChildHost;

namespace {

std::wstring NativeText(HWND window)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

void Type(HWND window, const wchar_t* text)
{
    for (const wchar_t* p = text; *p != L'\0'; ++p)
        SendMessageW(window, WM_CHAR, *p, 1);
}

// Two edits one above the other, the second only there to take the focus.
class EditOnWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = new CVerticalLayoutUI;
        edit = new CEditUI;
        edit->SetPreferredHeight(40);
        other = new CEditUI;
        other->SetPreferredHeight(30);
        root->Add(edit);
        root->Add(other);
        ASSERT_TRUE(host.Show(root));
        // The first paint gave the first tab stop the focus; start idle.
        host.manager->SetFocus(nullptr);
        NativeChildHost::Pump();
        ASSERT_EQ(nullptr, edit->GetNativeWindow());
        host.notes.clear();
    }

    // What the native window of the edit should cover: the padded text area
    // narrowed to one line of the font, centred.
    RECT ExpectedEditRect()
    {
        RECT rc = edit->GetBounds();
        const RECT padding = edit->GetTextPadding();
        rc.left += padding.left;
        rc.top += padding.top;
        rc.right -= padding.right;
        rc.bottom -= padding.bottom;
        const int font = host.FontHeight(edit->GetFont());
        if (font < rc.bottom - rc.top) {
            rc.top += (rc.bottom - rc.top - font) / 2;
            rc.bottom = rc.top + font;
        }
        return rc;
    }

    HWND Open()
    {
        host.Click(edit);
        return edit->GetNativeWindow();
    }

    NativeChildHost host;
    CVerticalLayoutUI* root = nullptr;
    CEditUI* edit = nullptr;
    CEditUI* other = nullptr;
};

TEST(EditAttributes, DefaultsIdentityAndMeasure)
{
    CEditUI edit;
    EXPECT_STREQ(L"EditUI", edit.GetTypeName());
    EXPECT_EQ(&edit, edit.CastByName(L"Edit"));
    EXPECT_EQ(&edit, edit.CastByName(L"Label"));
    EXPECT_EQ(nullptr, edit.CastByName(L"edit"));
    EXPECT_EQ(255, edit.GetMaxChar());
    EXPECT_EQ(L'*', edit.GetPasswordChar());
    EXPECT_EQ(0xFFFFFFFFu, edit.GetNativeBkColor());
    EXPECT_EQ(0xFFFFFFFFu, edit.GetBackgroundColor());
    const RECT padding = edit.GetTextPadding();
    EXPECT_EQ(4, padding.left);
    EXPECT_EQ(3, padding.top);
    EXPECT_EQ(4, padding.right);
    EXPECT_EQ(3, padding.bottom);
    EXPECT_EQ(kUiFlagTabStop | kUiFlagSetCursor, edit.GetInputFlags());
    edit.SetEnabled(false);
    EXPECT_EQ(0u, edit.GetInputFlags());
    edit.SetPreferredHeight(33);
    EXPECT_EQ(33, edit.MeasureSize(SIZE{100, 100}).cy);

    // Without a manager there is no window to open the native edit in.
    edit.SetEnabled(true);
    UiEvent focus = {};
    focus.type = kUiEventSetFocus;
    edit.ProcessEvent(focus);
    UiEvent press = {};
    press.type = kUiEventButtonDown;
    edit.ProcessEvent(press);
    EXPECT_EQ(nullptr, edit.GetNativeWindow());
}

TEST(EditAttributes, ValuesIncludingMalformedOnes)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        int maxChar;
        bool readOnly;
        bool password;
        bool numberOnly;
        DWORD nativeColor;
    } const cases[] = {
        {L"maxchar", L"12", 12, false, false, false, 0xFFFFFFFF},
        {L"maxchar", L"0", 0, false, false, false, 0xFFFFFFFF},
        {L"maxchar", L"-7", -7, false, false, false, 0xFFFFFFFF},
        {L"maxchar", L"abc", 0, false, false, false, 0xFFFFFFFF},
        {L"maxchar", L"", 0, false, false, false, 0xFFFFFFFF},
        {L"maxchar", L"30x", 30, false, false, false, 0xFFFFFFFF},
        {L"readonly", L"true", 255, true, false, false, 0xFFFFFFFF},
        {L"readonly", L"True", 255, false, false, false, 0xFFFFFFFF},
        {L"readonly", L"1", 255, false, false, false, 0xFFFFFFFF},
        {L"password", L"true", 255, false, true, false, 0xFFFFFFFF},
        {L"password", L"yes", 255, false, false, false, 0xFFFFFFFF},
        {L"numberonly", L"true", 255, false, false, true, 0xFFFFFFFF},
        {L"numberonly", L"", 255, false, false, false, 0xFFFFFFFF},
        {L"nativebkcolor", L"#FF102030", 255, false, false, false, 0xFF102030},
        {L"nativebkcolor", L"FF405060", 255, false, false, false, 0xFF405060},
        {L"nativebkcolor", L"zz", 255, false, false, false, 0},
        {L"Maxchar", L"9", 255, false, false, false, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        CEditUI edit;
        edit.SetAttribute(c.name, c.value);
        SCOPED_TRACE(std::wstring(c.name) + L"=" + c.value);
        EXPECT_EQ(c.maxChar, edit.GetMaxChar());
        EXPECT_EQ(c.readOnly, edit.IsReadOnly());
        EXPECT_EQ(c.password, edit.IsPassword());
        EXPECT_EQ(c.numberOnly, edit.IsNumberOnly());
        EXPECT_EQ(c.nativeColor, edit.GetNativeBkColor());
    }

    CEditUI edit;
    edit.SetAttribute(L"normalimage", L"n.png");
    edit.SetAttribute(L"hotimage", L"h.png");
    edit.SetAttribute(L"focusedimage", L"f.png");
    edit.SetAttribute(L"disabledimage", L"d.png");
    edit.SetAttribute(L"textpadding", L"1,2,3,4");
    edit.SetAttribute(L"textcolor", L"#FF00FF00");
    EXPECT_TRUE(edit.GetNormalImage() == L"n.png");
    EXPECT_TRUE(edit.GetHotImage() == L"h.png");
    EXPECT_TRUE(edit.GetFocusedImage() == L"f.png");
    EXPECT_TRUE(edit.GetDisabledImage() == L"d.png");
    EXPECT_EQ(3, edit.GetTextPadding().right);
    EXPECT_EQ(0xFF00FF00u, edit.GetTextColor());
}

TEST_F(EditOnWindow, ClickOpensNativeWindowOverThePaddedTextArea)
{
    CEditUI loose;
    loose.AttachToManager(host.manager, nullptr, false);
    EXPECT_EQ(host.FontHeight(-1) + 6, loose.MeasureSize(SIZE{100, 100}).cy);

    edit->SetText(L"hello");
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    EXPECT_EQ(edit, host.manager->GetFocus());
    EXPECT_TRUE(edit->HasFocus());
    EXPECT_EQ(host.hwnd, GetParent(native));
    EXPECT_TRUE(IsWindowVisible(native));
    EXPECT_EQ(native, GetFocus());
    const RECT expected = ExpectedEditRect();
    const RECT actual = host.ChildRect(native);
    EXPECT_TRUE(EqualRect(&expected, &actual))
        << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
    EXPECT_EQ(L"hello", NativeText(native));
    wchar_t className[32] = {};
    GetClassNameW(native, className, 32);
    EXPECT_STREQ(L"EditWnd", className);
    EXPECT_EQ(255, static_cast<int>(SendMessageW(native, EM_GETLIMITTEXT, 0, 0)));
    EXPECT_EQ(0, static_cast<int>(SendMessageW(native, EM_GETMODIFY, 0, 0)));
    // The click selected the whole text.
    DWORD start = 1, end = 0;
    SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(5u, end);

    // A new layout moves the open window along.
    root->SetPaddingRect(RECT{10, 8, 0, 0});
    host.Paint();
    ASSERT_EQ(native, edit->GetNativeWindow());
    const RECT moved = ExpectedEditRect();
    const RECT movedActual = host.ChildRect(native);
    EXPECT_TRUE(EqualRect(&moved, &movedActual));
}

// Records the selections asked of a native window, then lets it act.
struct SelectionRecorder {
    static WNDPROC previous;
    static std::vector<std::pair<WPARAM, LPARAM>> asked;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == EM_SETSEL)
            asked.emplace_back(wParam, lParam);
        return CallWindowProcW(previous, hwnd, message, wParam, lParam);
    }
    static void Attach(HWND native)
    {
        asked.clear();
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(native, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SelectionRecorder::Proc)));
    }
};
WNDPROC SelectionRecorder::previous = nullptr;
std::vector<std::pair<WPARAM, LPARAM>> SelectionRecorder::asked;

UiEvent PressEvent(POINT at)
{
    UiEvent event = {};
    event.type = kUiEventButtonDown;
    event.mouse = at;
    return event;
}

TEST_F(EditOnWindow, APressOnAnOpenEditSelectsAllOfItsText)
{
    edit->SetText(L"hello");
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    SelectionRecorder::Attach(native);
    const RECT rc = edit->GetBounds();
    struct Case {
        const wchar_t* text;
        POINT at;
        LPARAM end;
    } const cases[] = {
        {L"hello", NativeChildHost::Middle(edit), 5},
        // Outside the edit too: the window is already open.
        {L"hello", POINT{rc.right + 5, rc.bottom + 5}, 5},
        // An empty text is selected up to 1.
        {L"", NativeChildHost::Middle(edit), 1},
    };
    for (const Case& test : cases) {
        edit->SetText(test.text);
        SelectionRecorder::asked.clear();
        UiEvent event = PressEvent(test.at);
        edit->ProcessEvent(event);
        ASSERT_EQ(1u, SelectionRecorder::asked.size()) << test.at.x;
        EXPECT_EQ(0u, SelectionRecorder::asked[0].first);
        EXPECT_EQ(test.end, SelectionRecorder::asked[0].second) << test.at.x;
    }
    ASSERT_EQ(native, edit->GetNativeWindow());
}

TEST_F(EditOnWindow, APressOutsideThatOpensTheWindowSelectsNothing)
{
    edit->SetText(L"hello");
    ASSERT_NE(nullptr, Open());
    // The native window loses the focus and closes; the edit keeps the
    // manager's focus.
    SetFocus(host.hwnd);
    NativeChildHost::Pump();
    ASSERT_EQ(nullptr, edit->GetNativeWindow());
    ASSERT_TRUE(edit->HasFocus());
    const RECT rc = edit->GetBounds();
    UiEvent event = PressEvent(POINT{rc.right + 5, rc.bottom + 5});
    edit->ProcessEvent(event);
    const HWND native = edit->GetNativeWindow();
    ASSERT_NE(nullptr, native);
    DWORD start = 7, end = 7;
    SendMessageW(native, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end);
}

TEST_F(EditOnWindow, TypingIsCopiedBackAndReportedAndFocusLossCloses)
{
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    host.notes.clear();
    Type(native, L"ab");
    EXPECT_TRUE(edit->GetText() == L"ab");
    EXPECT_EQ(2, host.Count(L"textchanged", edit));
    SendMessageW(native, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(1, host.Count(L"return", edit));
    EXPECT_TRUE(edit->GetText() == L"ab");

    // Code that sets the text reaches the open window, whose change notice
    // comes back as "textchanged" each time, the same text again included.
    edit->SetText(L"xyz");
    EXPECT_EQ(L"xyz", NativeText(native));
    EXPECT_EQ(3, host.Count(L"textchanged", edit));
    edit->SetText(L"xyz");
    EXPECT_EQ(4, host.Count(L"textchanged", edit));
    EXPECT_TRUE(edit->GetText() == L"xyz");

    host.manager->SetFocus(other);
    // The other edit opened its own window on taking the focus. It is
    // checked before the posted messages run: a test process beside this one
    // may take the foreground, and with it the focus, at any time.
    EXPECT_NE(nullptr, other->GetNativeWindow());
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(nullptr, edit->GetNativeWindow());
    EXPECT_FALSE(edit->HasFocus());
    EXPECT_TRUE(edit->GetText() == L"xyz");
}

TEST_F(EditOnWindow, WindowSizeReopensTheNativeWindowAtTheNewPlace)
{
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    SetWindowPos(host.hwnd, nullptr, 0, 0, 420, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    NativeChildHost::PumpWindow(native);
    EXPECT_FALSE(IsWindow(native));
    // The next paint lays out and gives the focus back to the edit.
    host.Paint();
    EXPECT_EQ(edit, host.manager->GetFocus());
    const HWND reopened = edit->GetNativeWindow();
    ASSERT_NE(nullptr, reopened);
    const RECT expected = ExpectedEditRect();
    const RECT actual = host.ChildRect(reopened);
    EXPECT_TRUE(EqualRect(&expected, &actual));
}

TEST_F(EditOnWindow, MaxCharLimitsTypingAndZeroMeansTheNativeDefault)
{
    edit->SetAttribute(L"maxchar", L"3");
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    host.notes.clear();
    Type(native, L"abcdef");
    EXPECT_TRUE(edit->GetText() == L"abc");
    // Every change notice of the native window is reported; some windows
    // send one for a refused character too.
    EXPECT_GE(host.Count(L"textchanged", edit), 3);
    // A new limit applies to the open window at once.
    edit->SetMaxChar(4);
    Type(native, L"gh");
    EXPECT_TRUE(edit->GetText() == L"abcg");

    edit->SetMaxChar(0);
    EXPECT_LT(1000, static_cast<int>(SendMessageW(native, EM_GETLIMITTEXT, 0, 0)));
}

TEST_F(EditOnWindow, StylesFollowTheAttributes)
{
    edit->SetAttribute(L"password", L"true");
    edit->SetAttribute(L"readonly", L"true");
    edit->SetNumberOnly(true);
    HWND native = Open();
    ASSERT_NE(nullptr, native);
    LONG_PTR style = GetWindowLongPtrW(native, GWL_STYLE);
    EXPECT_NE(0, style & ES_PASSWORD);
    EXPECT_NE(0, style & ES_READONLY);
    EXPECT_NE(0, style & ES_NUMBER);
    EXPECT_NE(0, style & ES_AUTOHSCROLL);
    EXPECT_EQ(L'*', static_cast<wchar_t>(SendMessageW(native, EM_GETPASSWORDCHAR, 0, 0)));
    // Read-only follows at once on the open window; a read-only edit takes
    // no typing.
    Type(native, L"q");
    EXPECT_TRUE(edit->GetText().IsEmpty());
    edit->SetReadOnly(false);
    EXPECT_EQ(0, GetWindowLongPtrW(native, GWL_STYLE) & ES_READONLY);
    const LONG_PTR withNumbers = GetWindowLongPtrW(native, GWL_STYLE);

    // Number-only cleared: the next window differs only in ES_NUMBER.
    host.manager->SetFocus(other);
    NativeChildHost::Pump();
    ASSERT_EQ(nullptr, edit->GetNativeWindow());
    edit->SetNumberOnly(false);
    native = Open();
    ASSERT_NE(nullptr, native);
    style = GetWindowLongPtrW(native, GWL_STYLE);
    EXPECT_EQ(withNumbers & ~static_cast<LONG_PTR>(ES_NUMBER), style);
}

TEST_F(EditOnWindow, NativeBackgroundColourIsHandedToTheWindow)
{
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    const HDC dc = GetDC(native);
    // Without a colour of its own the system colours stay.
    EXPECT_EQ(0,
              SendMessageW(host.hwnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(native)));
    edit->SetNativeBkColor(0xFF102030);
    edit->SetTextColor(0xFF405060);
    const LRESULT brush =
        SendMessageW(host.hwnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(native));
    ASSERT_NE(0, brush);
    LOGBRUSH info = {};
    ASSERT_NE(0, GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof(info), &info));
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), info.lbColor);
    EXPECT_EQ(RGB(0x40, 0x50, 0x60), GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
    // The brush is made once and kept.
    EXPECT_EQ(brush, SendMessageW(host.hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(native)));
    ReleaseDC(native, dc);
}

TEST_F(EditOnWindow, HiddenOrDisabledEditsNeverOpenAWindow)
{
    edit->SetEnabled(false);
    host.Paint();
    Open();
    EXPECT_EQ(nullptr, edit->GetNativeWindow());
    host.manager->SetFocus(edit);
    EXPECT_EQ(nullptr, edit->GetNativeWindow());

    edit->SetEnabled(true);
    other->SetShown(false);
    host.Paint();
    host.manager->SetFocus(other);
    EXPECT_EQ(nullptr, other->GetNativeWindow());

    // Hiding or disabling an open edit closes its window.
    HWND native = Open();
    ASSERT_NE(nullptr, native);
    edit->SetShown(false);
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(nullptr, edit->GetNativeWindow());

    // So does hiding the container it lies in.
    edit->SetShown(true);
    host.Paint();
    native = Open();
    ASSERT_NE(nullptr, native);
    root->SetShown(false);
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
    // Hidden with its container, the edit takes no focus and opens no window
    // over the hidden area; its own visibility comes back with the container.
    EXPECT_FALSE(edit->IsShown());
    host.manager->SetFocus(edit);
    NativeChildHost::Pump();
    EXPECT_EQ(nullptr, edit->GetNativeWindow());
    EXPECT_EQ(nullptr, host.manager->GetFocus());
    root->SetShown(true);
    EXPECT_TRUE(edit->IsShown());

    host.Paint();
    native = Open();
    ASSERT_NE(nullptr, native);
    edit->SetEnabled(false);
    EXPECT_EQ(0u, edit->GetEditState());
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));
}

TEST_F(EditOnWindow, DeletingAnOpenEditClosesItsWindow)
{
    const HWND native = Open();
    ASSERT_NE(nullptr, native);
    host.manager->SetFocus(nullptr);
    root->Remove(edit);
    edit = nullptr;
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(native));

    // Deleted while it still has the focus: the window goes at once.
    const HWND second = (host.Click(other), other->GetNativeWindow());
    ASSERT_NE(nullptr, second);
    root->Remove(other);
    other = nullptr;
    NativeChildHost::Pump();
    EXPECT_FALSE(IsWindow(second));
}

// Paints one edit alone into a canvas at its own place.
void PaintEdit(CEditUI& edit, UiTest::Canvas& canvas)
{
    canvas.Fill(0xFFFFFF);
    const RECT rc = edit.GetBounds();
    edit.Paint(canvas.dc(), rc);
}

TEST_F(EditOnWindow, PasswordPaintsOneMaskPerCharacter)
{
    edit->SetBackgroundColor(0);
    edit->SetTextColor(0xFF000000);
    const RECT rc = edit->GetBounds();
    UiTest::Canvas masked(rc.right, rc.bottom);
    UiTest::Canvas plain(rc.right, rc.bottom);
    ASSERT_TRUE(masked.ok());
    ASSERT_TRUE(plain.ok());

    // A surrogate pair is one character and so one mask.
    edit->SetText(L"ab\xD83D\xDE00");
    edit->SetPassword(true);
    PaintEdit(*edit, masked);
    edit->SetPassword(false);
    edit->SetText(L"***");
    PaintEdit(*edit, plain);
    bool same = true;
    bool inked = false;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            same = same && masked.At(x, y) == plain.At(x, y);
            inked = inked || masked.At(x, y) != 0xFFFFFF;
        }
    }
    EXPECT_TRUE(inked);
    EXPECT_TRUE(same);

    // The inked width is that of three masks, measured with the edit's font.
    HDC dc = masked.dc();
    HGDIOBJ old = SelectObject(dc, host.manager->GetFont(-1));
    SIZE three = {};
    SIZE four = {};
    GetTextExtentPoint32W(dc, L"***", 3, &three);
    GetTextExtentPoint32W(dc, L"****", 4, &four);
    SelectObject(dc, old);
    int right = rc.left;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            if (masked.At(x, y) != 0xFFFFFF && x + 1 > right)
                right = x + 1;
        }
    }
    const int textLeft = rc.left + edit->GetTextPadding().left;
    EXPECT_LE(right - textLeft, three.cx);
    EXPECT_GT(right - textLeft, three.cx - (four.cx - three.cx));
}

TEST_F(EditOnWindow, FailingStateImagesAreDroppedAfterOneTry)
{
    edit->SetFocusedImage(L"missing-focused.png");
    edit->SetNormalImage(L"missing-normal.png");
    edit->SetHotImage(L"missing-hot.png");
    Open();
    host.Paint();
    UiTest::Canvas canvas(400, 200);
    PaintEdit(*edit, canvas);
    EXPECT_TRUE(edit->GetFocusedImage().IsEmpty());
    EXPECT_TRUE(edit->GetNormalImage().IsEmpty());
    // Not the state's image, so never tried.
    EXPECT_FALSE(edit->GetHotImage().IsEmpty());
    EXPECT_NE(0u, edit->GetEditState() & kUiStateFocused);
}

}  // namespace
