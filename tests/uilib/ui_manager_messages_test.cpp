// The manager's message handling on a real top-level window: painting with
// layout, mouse and keyboard input delivered as events to the right control,
// tab and shortcut navigation, timers, filters, queued notifications,
// deferred deletion and the message loop.
#include "ControlUI.h"
#include "MessageFilterUI.h"
#include "UiManager.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

using namespace UiLib;

namespace {

// One event as a control saw it.
struct Seen {
    std::wstring control;
    UiEvent event;
};

typedef std::vector<Seen> EventLog;

// What is left where a probe was deleted. The storage is never given back,
// so an event that the manager still sends there is caught instead of
// running on freed memory that may still read as a control.
class DeletedProbe : public CControlUI {
public:
    void HandleEvent(UiEvent& event) override
    {
        ADD_FAILURE() << "event " << event.type << " reached a deleted control";
    }
};

// A control that writes every input event it gets into a log shared by the
// whole tree, so that the order across controls shows.
class Probe : public CControlUI {
public:
    Probe(const wchar_t* name, EventLog& log, UINT flags = kUiFlagTabStop) : log_(log), flags_(flags) { SetName(name); }
    ~Probe() override
    {
        if (destroyed != nullptr)
            *destroyed = true;
        if (deleteLaterOnDestroy != nullptr)
            manager_->DeleteLater(deleteLaterOnDestroy);
    }
    const wchar_t* GetTypeName() const override { return typeName; }
    UINT GetInputFlags() override { return flags_; }
    bool TryActivate() override
    {
        ++activations;
        return CControlUI::TryActivate();
    }
    void HandleEvent(UiEvent& event) override
    {
        log_.push_back(Seen{GetName().GetData(), event});
        CControlUI::HandleEvent(event);
        if (onEvent != nullptr)
            onEvent(event);
    }
    void SetBounds(const RECT& rc) override
    {
        ++layouts;
        CControlUI::SetBounds(rc);
        updateNeeded_ = staysMarked || marksAgain > 0;
        if (marksAgain > 0)
            --marksAgain;
    }
    static void operator delete(void* memory, size_t)
    {
        static_assert(sizeof(DeletedProbe) <= sizeof(Probe), "a deleted probe fits where the probe was");
        new (memory) DeletedProbe;
    }
    void Paint(HDC hdc, const RECT& dirty) override
    {
        ++paints;
        CControlUI::Paint(hdc, dirty);
        if (relayoutWhilePainting) {
            relayoutWhilePainting = false;
            MarkForUpdate();
        }
    }

    const wchar_t* typeName = L"ProbeUI";
    int activations = 0;
    int paints = 0;
    int layouts = 0;
    bool relayoutWhilePainting = false;
    bool staysMarked = false;
    int marksAgain = 0;  // layouts after which it is still marked
    bool* destroyed = nullptr;
    CControlUI* deleteLaterOnDestroy = nullptr;
    void (*onEvent)(UiEvent& event) = nullptr;

private:
    EventLog& log_;
    UINT flags_;
};

// A probe that keeps Tab for itself, as a rich edit that wants it does.
class TabKeeper : public Probe, public IWantTabUI {
public:
    TabKeeper(const wchar_t* name, EventLog& log) : Probe(name, log) { typeName = L"RichEditUI"; }
    bool WantsTab() const override { return true; }
};

// A container that lays its children out side by side in equal parts.
class Row : public CControlUI {
public:
    ~Row() override
    {
        for (CControlUI* child : children)
            delete child;
    }
    void Add(CControlUI* child) { children.push_back(child); }
    void Drop(CControlUI* child)
    {
        for (size_t i = 0; i < children.size(); ++i) {
            if (children[i] == child) {
                children.erase(children.begin() + static_cast<long>(i));
                delete child;
                return;
            }
        }
    }
    void AttachToManager(CUiManager* manager, CControlUI* parent, bool init) override
    {
        CControlUI::AttachToManager(manager, parent, init);
        for (CControlUI* child : children)
            child->AttachToManager(manager, this, init);
    }
    void SetBounds(const RECT& rc) override
    {
        CControlUI::SetBounds(rc);
        const int count = static_cast<int>(children.size());
        for (int i = 0; i < count; ++i) {
            const int width = (rc.right - rc.left) / count;
            RECT cell = {rc.left + i * width, rc.top, rc.left + (i + 1) * width, rc.bottom};
            children[static_cast<size_t>(i)]->SetBounds(cell);
        }
    }
    void Paint(HDC hdc, const RECT& dirty) override
    {
        CControlUI::Paint(hdc, dirty);
        for (CControlUI* child : children)
            child->Paint(hdc, dirty);
    }
    CControlUI* Search(UiFindControlProc proc, void* data, UINT flags) override
    {
        if ((flags & kUiFindVisible) != 0 && !IsShown())
            return nullptr;
        if ((flags & kUiFindHitTest) != 0 && !PtInRect(&GetBounds(), *static_cast<const POINT*>(data)))
            return nullptr;
        if ((flags & kUiFindSelfFirst) != 0) {
            if (CControlUI* found = proc(this, data))
                return found;
        }
        const int count = static_cast<int>(children.size());
        for (int i = 0; i < count; ++i) {
            const int at = (flags & kUiFindTopFirst) != 0 ? count - 1 - i : i;
            if (CControlUI* found = children[static_cast<size_t>(at)]->Search(proc, data, flags))
                return found;
        }
        return (flags & kUiFindSelfFirst) == 0 ? proc(this, data) : nullptr;
    }

    std::vector<CControlUI*> children;
};

// Records notification types.
class NotifyLog : public INotifyUI {
public:
    explicit NotifyLog(std::vector<std::wstring>& log) : log_(log) {}
    void Notify(UiNotify& notify) override { log_.push_back(L"notify:" + std::wstring(notify.type.GetData())); }

private:
    std::vector<std::wstring>& log_;
};

// A filter that records what it is asked and takes one message number.
class Filter : public IMessageFilterUI {
public:
    Filter(const wchar_t* name, std::vector<std::wstring>& log, UINT takes, LRESULT answer)
        : name_(name), log_(log), takes_(takes), answer_(answer)
    {
    }
    LRESULT MessageHandler(UINT message, WPARAM, LPARAM, bool& handled) override
    {
        if (message == takes_ || message >= WM_USER)
            log_.push_back(name_ + L":" + std::to_wstring(message));
        if (message == takes_)
            handled = true;
        return answer_;
    }

private:
    std::wstring name_;
    std::vector<std::wstring>& log_;
    UINT takes_;
    LRESULT answer_;
};

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CUiManager* manager = reinterpret_cast<CUiManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t kClassName[] = L"UiManagerMessagesTest";

// A real top-level window whose procedure hands every message to its
// manager; the tree is a row of three probes: a, b and c.
class ManagerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        wc.style = CS_DBLCLKS;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, kClassName, L"test", WS_OVERLAPPEDWINDOW, 50, 60, 330, 200, nullptr, nullptr,
                               wc.hInstance, nullptr);
        ASSERT_NE(nullptr, hwnd);
        manager = new CUiManager;
        manager->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(manager));
        root = new Row;
        a = new Probe(L"a", events);
        b = new Probe(L"b", events);
        c = new Probe(L"c", events);
        root->Add(a);
        root->Add(b);
        root->Add(c);
        ASSERT_TRUE(manager->SetRoot(root));
        manager->AddNotifier(&notifier);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        Paint();
        events.clear();
        notes.clear();
    }
    void TearDown() override
    {
        if (hwnd != nullptr) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            delete manager;
            DestroyWindow(hwnd);
        }
        SetKeyboardState(neutralKeys);
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(hwnd, message, wParam, lParam);
    }
    void Paint() { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    static LPARAM At(POINT pt) { return MAKELPARAM(pt.x, pt.y); }
    static POINT Middle(CControlUI* control)
    {
        const RECT& rc = control->GetBounds();
        return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    POINT OnScreen(POINT pt)
    {
        ClientToScreen(hwnd, &pt);
        return pt;
    }
    // The types that one control got, in order.
    std::vector<int> TypesOf(const wchar_t* control) const
    {
        std::vector<int> types;
        for (const Seen& seen : events) {
            if (seen.control == control)
                types.push_back(seen.event.type);
        }
        return types;
    }
    const UiEvent& Last(int type) const
    {
        for (size_t i = events.size(); i > 0; --i) {
            if (events[i - 1].event.type == type)
                return events[i - 1].event;
        }
        static UiEvent none = {};
        ADD_FAILURE() << "no event of type " << type;
        return none;
    }
    void PressKeys(std::initializer_list<int> keys)
    {
        BYTE state[256] = {};
        for (int key : keys)
            state[key] = 0x80;
        SetKeyboardState(state);
    }
    bool PreDispatch(UINT message, WPARAM wParam, HWND target = nullptr)
    {
        MSG msg = {};
        msg.hwnd = target != nullptr ? target : hwnd;
        msg.message = message;
        msg.wParam = wParam;
        return CUiManager::TranslateMessage(&msg);
    }

    HWND hwnd = nullptr;
    CUiManager* manager = nullptr;
    Row* root = nullptr;
    Probe* a = nullptr;
    Probe* b = nullptr;
    Probe* c = nullptr;
    EventLog events;
    std::vector<std::wstring> notes;
    NotifyLog notifier{notes};
    BYTE neutralKeys[256] = {};
};

TEST_F(ManagerWindow, FirstPaintLaysOutTheTreeAndSendsWindowInitOnce)
{
    // A fresh tree on the same window: laid out by its first paint.
    Row* row = new Row;
    Probe* left = new Probe(L"left", events);
    Probe* right = new Probe(L"right", events);
    row->Add(left);
    row->Add(right);
    ASSERT_TRUE(manager->SetRoot(row));
    root = nullptr;
    notes.clear();
    EXPECT_TRUE(IsRectEmpty(&row->GetBounds()));
    Paint();
    RECT client = {};
    GetClientRect(hwnd, &client);
    EXPECT_TRUE(EqualRect(&client, &row->GetBounds()));
    EXPECT_EQ(client.right / 2, left->GetBounds().right);
    EXPECT_EQ(client.right / 2, right->GetBounds().left);
    EXPECT_EQ(1, left->paints);
    EXPECT_EQ(1, right->paints);
    Paint();
    EXPECT_EQ(2, left->paints);
    // Layout, then "windowinit" once, then the focus pass of the first paint
    // takes the first tab stop.
    EXPECT_EQ((std::vector<std::wstring>{L"notify:windowinit", L"notify:setfocus"}), notes);
    EXPECT_EQ(left, manager->GetFocus());

    // A control that asks for layout while it paints causes one more paint.
    left->relayoutWhilePainting = true;
    Paint();
    RECT pending = {};
    EXPECT_TRUE(GetUpdateRect(hwnd, &pending, FALSE));
    UpdateWindow(hwnd);
    EXPECT_EQ(4, left->paints);
    EXPECT_FALSE(GetUpdateRect(hwnd, &pending, FALSE));
}

TEST_F(ManagerWindow, OnlyMarkedControlsAreLaidOutAgainUntilNoneIsLeft)
{
    const int rootLayouts = a->layouts;
    b->MarkForUpdate();
    Paint();
    EXPECT_EQ(rootLayouts, a->layouts);
    EXPECT_EQ(1, b->layouts - rootLayouts);
    // The pass goes on until no control is marked: one that is still marked
    // after its layout is laid out again, and one marked after it still has
    // its turn in the same paint.
    b->marksAgain = 2;
    b->MarkForUpdate();
    c->MarkForUpdate();
    const int bBefore = b->layouts;
    const int cBefore = c->layouts;
    Paint();
    EXPECT_EQ(bBefore + 3, b->layouts);
    EXPECT_EQ(cBefore + 1, c->layouts);
    RECT pending = {};
    EXPECT_FALSE(GetUpdateRect(hwnd, &pending, FALSE));

    // One that never stops marking itself does not hold the paint forever.
    c->staysMarked = true;
    c->MarkForUpdate();
    Paint();
    EXPECT_GT(c->layouts, cBefore + 2);
    c->staysMarked = false;
}

TEST_F(ManagerWindow, PaintCopiesTheDirtyPartOfTheBufferToTheWindow)
{
    a->SetBackgroundColor(0xFF0000FF);
    c->SetBackgroundColor(0xFFFF0000);
    Paint();
    HDC window = GetDC(hwnd);
    const POINT inA = Middle(a);
    const POINT inC = Middle(c);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(window, inA.x, inA.y));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(window, inC.x, inC.y));
    // Only the dirty rectangle is painted and copied: c's new colour shows,
    // a's stays as it was drawn even though its colour changed meanwhile.
    a->SetBackgroundColor(0xFF00FF00);
    ValidateRect(hwnd, nullptr);
    c->SetBackgroundColor(0xFF00FF00);
    ValidateRect(hwnd, &a->GetBounds());
    UpdateWindow(hwnd);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(window, inA.x, inA.y));
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(window, inC.x, inC.y));
    ReleaseDC(hwnd, window);
}

// With a transparent background the picture behind the controls is taken
// from the window at the first paint after it; "showdirty" outlines what
// was painted in red.
TEST_F(ManagerWindow, TransparentBackgroundAndTheDirtyOutline)
{
    a->SetBackgroundColor(0xFF0000FF);
    Paint();
    a->SetBackgroundColor(0);  // a draws nothing of its own now
    HDC window = GetDC(hwnd);
    const RECT inA = a->GetBounds();
    const POINT middle = Middle(a);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    const auto repaintOverGreen = [&]() {
        FillRect(window, &inA, green);
        InvalidateRect(hwnd, &inA, FALSE);
        UpdateWindow(hwnd);
    };
    // Without it the kept buffer still holds the last picture.
    repaintOverGreen();
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(window, middle.x, middle.y));
    manager->SetBackgroundTransparent(true);
    repaintOverGreen();
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(window, middle.x, middle.y));
    DeleteObject(green);

    c->SetBackgroundColor(0xFFFFFFFF);
    manager->SetShowDirty(true);
    const RECT inC = c->GetBounds();
    InvalidateRect(hwnd, &inC, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(RGB(220, 0, 0), GetPixel(window, inC.left, inC.top));
    EXPECT_EQ(RGB(220, 0, 0), GetPixel(window, inC.right - 1, inC.bottom - 1));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(window, Middle(c).x, Middle(c).y));
    ReleaseDC(hwnd, window);
}

TEST_F(ManagerWindow, SizeTellsTheFocusAndLaysOutAgain)
{
    manager->SetFocus(b);
    events.clear();
    SetWindowPos(hwnd, nullptr, 0, 0, 460, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ((std::vector<int>{kUiEventWindowSize}), TypesOf(L"b"));
    EXPECT_EQ(b, Last(kUiEventWindowSize).sender);
    Paint();
    RECT client = {};
    GetClientRect(hwnd, &client);
    EXPECT_TRUE(EqualRect(&client, &root->GetBounds()));
    EXPECT_EQ(client.right / 3, a->GetBounds().right);
}

TEST_F(ManagerWindow, PrintClientPaintsTheTreeIntoTheGivenContext)
{
    b->SetBackgroundColor(0xFF00FF00);
    RECT client = {};
    GetClientRect(hwnd, &client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PatBlt(memory, 0, 0, client.right, client.bottom, WHITENESS);
    Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    const POINT inB = Middle(b);
    const POINT inA = Middle(a);
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(memory, inB.x, inB.y));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(memory, inA.x, inA.y));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST_F(ManagerWindow, MovesEnterMoveAndLeaveControls)
{
    const POINT inA = Middle(a);
    const POINT inB = Middle(b);
    Send(WM_MOUSEMOVE, 0, At(inA));
    EXPECT_EQ((std::vector<int>{kUiEventMouseEnter, kUiEventMouseMove}), TypesOf(L"a"));
    EXPECT_EQ(a, Last(kUiEventMouseMove).sender);
    EXPECT_EQ(inA.x, Last(kUiEventMouseMove).mouse.x);
    EXPECT_EQ(0, Last(kUiEventMouseMove).keyState);
    EXPECT_EQ(inA.x, manager->GetMousePos().x);

    events.clear();
    Send(WM_MOUSEMOVE, 0, At(inB));
    EXPECT_EQ((std::vector<int>{kUiEventMouseLeave}), TypesOf(L"a"));
    EXPECT_EQ((std::vector<int>{kUiEventMouseEnter, kUiEventMouseMove}), TypesOf(L"b"));

    // Hover, and the leave that the platform reports when the pointer goes.
    events.clear();
    EXPECT_EQ(0, Send(WM_MOUSEHOVER, 0, At(inB)));
    EXPECT_EQ((std::vector<int>{kUiEventMouseHover}), TypesOf(L"b"));
    Send(WM_MOUSEMOVE, 0, At(inB));  // arms tracking again
    events.clear();
    Send(WM_MOUSELEAVE);
    EXPECT_EQ((std::vector<int>{kUiEventMouseLeave}), TypesOf(L"b"));
    EXPECT_EQ(-1, manager->GetMousePos().x);
    // Once tracking is off a second leave sends nothing more.
    events.clear();
    Send(WM_MOUSELEAVE);
    EXPECT_TRUE(events.empty());
}

TEST_F(ManagerWindow, ButtonPressFocusesCapturesAndClicks)
{
    const POINT inB = Middle(b);
    const POINT inC = Middle(c);
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At(inB));
    EXPECT_EQ(b, manager->GetFocus());
    EXPECT_TRUE(manager->IsCaptured());
    EXPECT_EQ((std::vector<int>{kUiEventSetFocus, kUiEventButtonDown}), TypesOf(L"b"));
    EXPECT_EQ(MK_LBUTTON | MK_SHIFT, Last(kUiEventButtonDown).keyState);
    EXPECT_EQ(At(inB), Last(kUiEventButtonDown).lParam);

    // While captured, moves go to the pressed control; hover still follows.
    events.clear();
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(inC));
    EXPECT_EQ((std::vector<int>{kUiEventMouseMove}), TypesOf(L"b"));
    EXPECT_EQ((std::vector<int>{kUiEventMouseEnter}), TypesOf(L"c"));

    events.clear();
    Send(WM_LBUTTONUP, 0, At(inC));
    EXPECT_EQ((std::vector<int>{kUiEventButtonUp}), TypesOf(L"b"));
    EXPECT_FALSE(manager->IsCaptured());

    // A release without a press inside only moves the last position.
    events.clear();
    Send(WM_LBUTTONUP, 0, At(Middle(a)));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(Middle(a).x, manager->GetMousePos().x);
}

TEST_F(ManagerWindow, DoubleClickKeepsTheFocusWhereItWas)
{
    manager->SetFocus(a);
    events.clear();
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At(Middle(c)));
    EXPECT_EQ(a, manager->GetFocus());
    EXPECT_EQ((std::vector<int>{kUiEventDoubleClick}), TypesOf(L"c"));
    EXPECT_EQ(0, Last(kUiEventDoubleClick).lParam);
    EXPECT_EQ(MK_LBUTTON, Last(kUiEventDoubleClick).keyState);
    Send(WM_LBUTTONUP, 0, At(Middle(c)));
    EXPECT_EQ((std::vector<int>{kUiEventDoubleClick, kUiEventButtonUp}), TypesOf(L"c"));
}

TEST_F(ManagerWindow, RightPressThenContextMenuEndsTheGesture)
{
    const POINT inC = Middle(c);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, At(inC));
    EXPECT_TRUE(manager->IsCaptured());
    EXPECT_EQ(c, manager->GetFocus());
    const POINT screen = OnScreen(inC);
    Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(screen.x, screen.y));
    EXPECT_EQ((std::vector<int>{kUiEventSetFocus, kUiEventRightButtonDown, kUiEventContextMenu}), TypesOf(L"c"));
    EXPECT_EQ(reinterpret_cast<LPARAM>(c), Last(kUiEventContextMenu).lParam);
    EXPECT_EQ(0u, Last(kUiEventContextMenu).wParam);
    EXPECT_EQ(inC.x, Last(kUiEventContextMenu).mouse.x);
    EXPECT_FALSE(manager->IsCaptured());
    // The gesture is over: a second menu message goes nowhere.
    events.clear();
    Send(WM_CONTEXTMENU, 0, MAKELPARAM(screen.x, screen.y));
    EXPECT_TRUE(events.empty());
}

TEST_F(ManagerWindow, WheelScrollsTheControlUnderThePointAndHoverFollows)
{
    const POINT inA = Middle(a);
    const POINT screen = OnScreen(inA);
    struct Case {
        short delta;
        WPARAM towardUser;
    };
    for (const Case& turn : {Case{-WHEEL_DELTA, 1}, Case{WHEEL_DELTA, 0}}) {
        events.clear();
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(turn.delta)), MAKELPARAM(screen.x, screen.y));
        ASSERT_LE(2u, events.size());
        EXPECT_EQ(kUiEventScrollWheel, events[0].event.type);
        EXPECT_EQ(turn.towardUser, events[0].event.wParam);
        EXPECT_EQ(inA.x, events[0].event.mouse.x);
        EXPECT_EQ(kUiEventMouseMove, events.back().event.type);
        EXPECT_EQ(inA.y, events.back().event.mouse.y);
    }
}

TEST_F(ManagerWindow, SetCursorGoesOnlyToControlsThatAskForIt)
{
    Row* row = new Row;
    Probe* plain = new Probe(L"plain", events, 0);
    Probe* cursor = new Probe(L"cursor", events, kUiFlagSetCursor);
    row->Add(plain);
    row->Add(cursor);
    manager->SetRoot(row);
    Paint();
    events.clear();
    const POINT screen = OnScreen(Middle(cursor));
    SetCursorPos(screen.x, screen.y);
    POINT now = {};
    GetCursorPos(&now);
    ASSERT_EQ(screen.x, now.x) << "the cursor cannot be placed here";
    LRESULT result = 0;
    EXPECT_TRUE(manager->HandleMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE),
                                       result));
    EXPECT_EQ((std::vector<int>{kUiEventSetCursor}), TypesOf(L"cursor"));
    EXPECT_EQ(nullptr, Last(kUiEventSetCursor).sender);
    EXPECT_EQ(Middle(cursor).x, Last(kUiEventSetCursor).mouse.x);

    // Outside the client area, over a control that does not ask, and while
    // captured, nothing reaches a control.
    events.clear();
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
    const POINT overPlain = OnScreen(Middle(plain));
    SetCursorPos(overPlain.x, overPlain.y);
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    SetCursorPos(screen.x, screen.y);
    manager->SetCapture();
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    manager->ReleaseCapture();
    EXPECT_TRUE(events.empty());
}

TEST_F(ManagerWindow, KeysGoToTheFocusAndKeyUpToTheKeyTarget)
{
    manager->SetFocus(a);
    PressKeys({VK_CONTROL, VK_LBUTTON});
    events.clear();
    Send(WM_KEYDOWN, 'X');
    manager->SetFocus(b);
    Send(WM_KEYUP, 'X');
    Send(WM_CHAR, L'x');
    EXPECT_EQ((std::vector<int>{kUiEventKeyDown, kUiEventKillFocus, kUiEventKeyUp}), TypesOf(L"a"));
    EXPECT_EQ((std::vector<int>{kUiEventSetFocus, kUiEventChar}), TypesOf(L"b"));
    const UiEvent& down = Last(kUiEventKeyDown);
    EXPECT_EQ(L'X', down.key);
    EXPECT_EQ(nullptr, down.sender);
    EXPECT_EQ(MK_CONTROL | MK_LBUTTON, down.keyState);
    EXPECT_EQ(L'x', Last(kUiEventChar).key);
    // The key target is used up by its key up.
    events.clear();
    Send(WM_KEYUP, 'X');
    EXPECT_TRUE(events.empty());
}

TEST_F(ManagerWindow, TabAndShiftTabWalkTheTabStopsAndWrap)
{
    manager->SetFocus(a);
    struct Step {
        bool shift;
        Probe* expected;
    };
    const Step steps[] = {{false, b}, {false, c}, {false, a}, {true, c}, {true, b}, {true, a}, {true, c}};
    for (const Step& step : steps) {
        if (step.shift)
            PressKeys({VK_SHIFT});
        else
            PressKeys({});
        EXPECT_TRUE(PreDispatch(WM_KEYDOWN, VK_TAB));
        EXPECT_EQ(step.expected, manager->GetFocus());
    }
    // Other keys are not the pre-dispatch step's.
    EXPECT_FALSE(PreDispatch(WM_KEYDOWN, 'A'));
}

TEST_F(ManagerWindow, FocusedRichEditThatWantsTabKeepsIt)
{
    TabKeeper* editor = new TabKeeper(L"editor", events);
    Row* row = new Row;
    Probe* after = new Probe(L"after", events);
    row->Add(editor);
    row->Add(after);
    manager->SetRoot(row);
    Paint();
    manager->SetFocus(editor);
    EXPECT_FALSE(PreDispatch(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(editor, manager->GetFocus());
    // A disabled one gets no say.
    editor->SetEnabled(false);
    manager->SetFocus(nullptr);
    EXPECT_TRUE(PreDispatch(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(after, manager->GetFocus());
}

TEST_F(ManagerWindow, AltShortcutOfALabelActivatesTheControlAfterIt)
{
    // The search runs top-most first, so the row is visited c, b, a: the
    // control after a label in that order is the one before it in the row.
    c->typeName = L"LabelUI";
    c->SetShortcutKey(L'N');
    a->SetShortcutKey(L'K');
    EXPECT_TRUE(PreDispatch(WM_SYSCHAR, L'n'));
    EXPECT_EQ(b, manager->GetFocus());
    EXPECT_EQ(1, b->activations);
    EXPECT_EQ(0, c->activations);
    EXPECT_TRUE(PreDispatch(WM_SYSCHAR, L'k'));
    EXPECT_EQ(a, manager->GetFocus());
    EXPECT_EQ(1, a->activations);
    EXPECT_FALSE(PreDispatch(WM_SYSCHAR, L'q'));
    // A control without a shortcut is not matched by a zero character.
    EXPECT_FALSE(PreDispatch(WM_SYSCHAR, 0));
    // A label that is the last in that order has no control after it.
    a->typeName = L"LabelUI";
    EXPECT_FALSE(PreDispatch(WM_SYSCHAR, L'k'));
    // A window whose manager holds no tree yet takes no shortcut.
    HWND bare = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, bare);
    {
        CUiManager empty;
        empty.AttachWindow(bare);
        EXPECT_FALSE(PreDispatch(WM_SYSCHAR, L'k', bare));
    }
    DestroyWindow(bare);

    events.clear();
    EXPECT_FALSE(PreDispatch(WM_SYSKEYDOWN, VK_F10));
    EXPECT_EQ((std::vector<int>{kUiEventSysKey}), TypesOf(L"a"));
    EXPECT_EQ(VK_F10, Last(kUiEventSysKey).key);
}

TEST_F(ManagerWindow, MessageForAChildWindowGoesThroughTheSkinnedWindowsPreDispatch)
{
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, child);
    manager->SetFocus(a);
    EXPECT_TRUE(PreDispatch(WM_KEYDOWN, VK_TAB, child));
    EXPECT_EQ(b, manager->GetFocus());
    // A window that no manager knows is left alone.
    HWND stranger = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    EXPECT_FALSE(PreDispatch(WM_KEYDOWN, VK_TAB, stranger));
    DestroyWindow(stranger);
}

TEST_F(ManagerWindow, TimersReachTheirControl)
{
    ASSERT_TRUE(manager->SetTimer(b, 7, 10));
    const DWORD start = GetTickCount();
    MSG msg = {};
    while (TypesOf(L"b").empty() && GetTickCount() - start < 3000) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(5);
    }
    ASSERT_FALSE(TypesOf(L"b").empty());
    EXPECT_EQ(kUiEventTimer, TypesOf(L"b")[0]);
    EXPECT_EQ(7u, Last(kUiEventTimer).wParam);
    EXPECT_EQ(b, Last(kUiEventTimer).sender);
    EXPECT_TRUE(manager->KillTimer(b, 7));
    // A timer message for a killed timer reaches nobody.
    events.clear();
    Send(WM_TIMER, 17);
    EXPECT_TRUE(events.empty());
}

TEST_F(ManagerWindow, MessageFiltersInOrderAndTheFirstThatTakesAMessageSwallowsIt)
{
    std::vector<std::wstring> log;
    Filter first(L"first", log, WM_USER + 1, 0);
    Filter second(L"second", log, WM_USER + 2, 42);
    Filter third(L"third", log, WM_USER + 2, 7);
    manager->AddMessageFilter(&first);
    manager->AddMessageFilter(&second);
    manager->AddMessageFilter(&third);
    EXPECT_EQ(42, Send(WM_USER + 2));
    EXPECT_EQ((std::vector<std::wstring>{L"first:1026", L"second:1026"}), log);

    // A swallowed mouse message reaches no control.
    Filter mouse(L"mouse", log, WM_LBUTTONDOWN, 0);
    manager->RemoveMessageFilter(&first);
    manager->RemoveMessageFilter(&second);
    manager->RemoveMessageFilter(&third);
    manager->AddMessageFilter(&mouse);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(Middle(a)));
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(manager->IsCaptured());
    manager->RemoveMessageFilter(&mouse);
}

TEST_F(ManagerWindow, PreMessageFiltersRunFirstAndCanConsumeTheMessage)
{
    std::vector<std::wstring> log;
    Filter watcher(L"watcher", log, 0, 0);
    Filter taker(L"taker", log, WM_KEYDOWN, 0);
    manager->AddPreMessageFilter(&watcher);
    manager->AddPreMessageFilter(&taker);
    manager->SetFocus(a);
    EXPECT_TRUE(PreDispatch(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(a, manager->GetFocus());  // Tab never got to move the focus
    EXPECT_EQ((std::vector<std::wstring>{L"taker:256"}), log);
    EXPECT_FALSE(PreDispatch(WM_USER + 9, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"taker:256", L"watcher:1033", L"taker:1033"}), log);
}

// Takes one key as an accelerator.
class Accelerator : public ITranslateAccelerator {
public:
    explicit Accelerator(WPARAM key) : key_(key) {}
    LRESULT TranslateAccel(MSG* msg) override
    {
        ++asked;
        return msg->message == WM_KEYDOWN && msg->wParam == key_ ? 0 : 1;
    }

    int asked = 0;

private:
    WPARAM key_;
};

TEST_F(ManagerWindow, AcceleratorsComeBeforeThePreDispatchStep)
{
    Accelerator other('Q');
    Accelerator tab(VK_TAB);
    manager->AddTranslateAccelerator(&other);
    manager->AddTranslateAccelerator(&tab);
    manager->SetFocus(a);
    EXPECT_TRUE(PreDispatch(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(a, manager->GetFocus());  // taken as an accelerator, not as Tab
    EXPECT_EQ(1, other.asked);
    EXPECT_EQ(1, tab.asked);
    manager->RemoveTranslateAccelerator(&tab);
    EXPECT_TRUE(PreDispatch(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(b, manager->GetFocus());
    manager->RemoveTranslateAccelerator(&other);
}

TEST_F(ManagerWindow, QueuedNotificationsComeBeforeTheFiltersOfTheNextMessage)
{
    std::vector<std::wstring>& log = notes;
    Filter filter(L"filter", log, WM_USER + 3, 0);
    manager->AddMessageFilter(&filter);
    manager->SendNotify(b, L"later", 0, 0, true);
    manager->SendNotify(nullptr, L"later2", 0, 0, true);
    EXPECT_TRUE(log.empty());
    Send(WM_USER + 3);
    EXPECT_EQ((std::vector<std::wstring>{L"notify:later", L"notify:later2", L"filter:1027"}), log);
    // Delivered once only.
    log.clear();
    Send(WM_USER + 3);
    EXPECT_EQ((std::vector<std::wstring>{L"filter:1027"}), log);
    manager->RemoveMessageFilter(&filter);

    // One queued by an event handler during a message that the manager
    // does not handle goes out before that message returns.
    static CUiManager* owner;
    owner = manager;
    b->onEvent = [](UiEvent& event) {
        if (event.type == kUiEventChar)
            owner->SendNotify(nullptr, L"queued", 0, 0, true);
    };
    manager->SetFocus(b);
    log.clear();
    Send(WM_CHAR, L'z');
    EXPECT_EQ((std::vector<std::wstring>{L"notify:queued"}), log);
}

// Records each notification's type and sender.
class SenderLog : public INotifyUI {
public:
    void Notify(UiNotify& notify) override
    {
        types.push_back(notify.type.GetData());
        senders.push_back(notify.sender);
    }
    std::vector<std::wstring> types;
    std::vector<CControlUI*> senders;
};

TEST_F(ManagerWindow, AQueuedNotificationOfADeletedSenderArrivesWithoutItsSender)
{
    SenderLog log;
    manager->AddNotifier(&log);
    static int senderCalls;
    senderCalls = 0;
    class Counter : public CDelegateBase {
    public:
        Counter() : CDelegateBase(nullptr, nullptr) {}
        CDelegateBase* Copy() const override { return new Counter(*this); }
        bool Invoke(void*) override
        {
            ++senderCalls;
            return true;
        }
    };
    c->OnNotify.Add(Counter());
    b->OnNotify.Add(Counter());
    manager->SendNotify(c, L"fromc", 7, 8, true);
    manager->SendNotify(b, L"fromb", 0, 0, true);
    root->Drop(c);  // deleted before the next message
    c = nullptr;
    EXPECT_TRUE(log.types.empty());
    Send(WM_NULL);
    EXPECT_EQ((std::vector<std::wstring>{L"fromc", L"fromb"}), log.types);
    EXPECT_EQ((std::vector<CControlUI*>{nullptr, b}), log.senders);
    EXPECT_EQ(1, senderCalls);  // only the living sender's own handlers
    manager->RemoveNotifier(&log);
}

TEST_F(ManagerWindow, RequestFocusTakesTheFocusAwayAtOnceAndGivesItAtTheNextPaint)
{
    manager->SetFocus(a);
    events.clear();
    notes.clear();
    manager->RequestFocus(c);
    // The old focus hears at once; nothing reaches the new one yet.
    EXPECT_EQ((std::vector<int>{kUiEventKillFocus}), TypesOf(L"a"));
    EXPECT_EQ(c, Last(kUiEventKillFocus).sender);
    EXPECT_EQ(0, Last(kUiEventKillFocus).mouse.x);
    EXPECT_EQ(0, Last(kUiEventKillFocus).mouse.y);
    EXPECT_EQ((std::vector<std::wstring>{L"notify:killfocus"}), notes);
    EXPECT_TRUE(TypesOf(L"b").empty());
    EXPECT_TRUE(TypesOf(L"c").empty());
    EXPECT_EQ(b, manager->GetFocus());  // the tab stop before c, without events
    events.clear();
    Paint();
    EXPECT_EQ(c, manager->GetFocus());
    EXPECT_EQ((std::vector<int>{kUiEventSetFocus}), TypesOf(L"c"));
    // The pass moves on from b as from any focus, so b hears that it lost it.
    EXPECT_EQ((std::vector<int>{kUiEventKillFocus}), TypesOf(L"b"));
    EXPECT_EQ((std::vector<std::wstring>{L"notify:killfocus", L"notify:killfocus", L"notify:setfocus"}), notes);

    // The first tab stop has none before it: the pass starts from no focus.
    events.clear();
    manager->RequestFocus(a);
    EXPECT_EQ(nullptr, manager->GetFocus());
    Paint();
    EXPECT_EQ(a, manager->GetFocus());

    // A null control only takes the system focus.
    notes.clear();
    manager->RequestFocus(nullptr);
    EXPECT_EQ(a, manager->GetFocus());
    EXPECT_TRUE(notes.empty());
}

TEST_F(ManagerWindow, DeferredDeletesHappenOnTheirMessageAndMayDeferMore)
{
    bool firstGone = false;
    bool secondGone = false;
    Probe* first = new Probe(L"first", events);
    Probe* second = new Probe(L"second", events);
    first->destroyed = &firstGone;
    second->destroyed = &secondGone;
    first->AttachToManager(manager, nullptr, false);
    second->AttachToManager(manager, nullptr, false);
    first->deleteLaterOnDestroy = second;
    manager->DeleteLater(first);
    EXPECT_FALSE(firstGone);
    Send(kUiMsgDeleteLater);
    EXPECT_TRUE(firstGone);
    EXPECT_TRUE(secondGone);
}

TEST_F(ManagerWindow, ControlDeletedByAnotherControlsLeaveIsNotTouched)
{
    static Row* row;
    static Probe* victim;
    static int dropOn;
    row = root;
    const auto dropVictim = [](UiEvent& event) {
        if (event.type == dropOn && victim != nullptr) {
            Probe* going = victim;
            victim = nullptr;
            row->Drop(going);
        }
    };
    victim = c;
    dropOn = kUiEventMouseLeave;
    bool gone = false;
    c->destroyed = &gone;
    b->onEvent = dropVictim;
    Send(WM_MOUSEMOVE, 0, At(Middle(b)));
    const POINT wasC = Middle(c);
    events.clear();
    Send(WM_MOUSEMOVE, 0, At(wasC));
    EXPECT_TRUE(gone);
    c = nullptr;
    for (const Seen& seen : events)
        EXPECT_EQ(L"b", seen.control);
    // The row answers for the empty place now.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(wasC));
    Send(WM_LBUTTONUP, 0, At(wasC));

    // A control that its own enter deletes gets no move after it.
    victim = a;
    dropOn = kUiEventMouseEnter;
    gone = false;
    a->destroyed = &gone;
    a->onEvent = dropVictim;
    const POINT wasA = Middle(a);
    events.clear();
    Send(WM_MOUSEMOVE, 0, At(wasA));
    EXPECT_TRUE(gone);
    a = nullptr;
    for (const Seen& seen : events)
        EXPECT_NE(kUiEventMouseMove, seen.event.type) << seen.control;
}

// A control that its own press or key deletes is no target afterwards: the
// move, the menu message, the release and the key up that follow reach no
// freed control.
TEST_F(ManagerWindow, ATargetDeletedByItsOwnEventIsDropped)
{
    static Row* row;
    static Probe* victims[3];
    row = root;
    victims[0] = a;
    victims[1] = b;
    victims[2] = c;
    const auto dropOn = [](int index, int type, UiEvent& event) {
        if (event.type == type && victims[index] != nullptr) {
            Probe* going = victims[index];
            victims[index] = nullptr;
            row->Drop(going);
        }
    };
    static void (*drop)(int, int, UiEvent&);
    drop = dropOn;
    a->onEvent = [](UiEvent& event) { drop(0, kUiEventRightButtonDown, event); };
    b->onEvent = [](UiEvent& event) { drop(1, kUiEventDoubleClick, event); };
    c->onEvent = [](UiEvent& event) { drop(2, kUiEventKeyDown, event); };
    const POINT places[] = {Middle(a), Middle(b), Middle(c)};
    const wchar_t* names[] = {L"a", L"b", L"c"};
    for (int i = 0; i < 3; ++i) {
        bool gone = false;
        victims[i]->destroyed = &gone;
        if (i == 2) {
            manager->SetFocus(c);
            Send(WM_KEYDOWN, 'A');
        } else {
            Send(i == 0 ? WM_RBUTTONDOWN : WM_LBUTTONDBLCLK, i == 0 ? MK_RBUTTON : MK_LBUTTON, At(places[i]));
        }
        ASSERT_TRUE(gone) << i;
        events.clear();
        Send(WM_MOUSEMOVE, 0, At(places[i]));
        const POINT screen = OnScreen(places[i]);
        Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(screen.x, screen.y));
        Send(WM_LBUTTONUP, 0, At(places[i]));
        Send(WM_KEYUP, 'A');
        for (const Seen& seen : events)
            EXPECT_NE(names[i], seen.control) << i;
    }
    a = b = c = nullptr;
}

// A press made while a release is being handled (a nested message loop in a
// click handler) starts a gesture of its own, which ends with its release.
TEST_F(ManagerWindow, APressDuringAReleaseHandlerKeepsItsOwnGesture)
{
    static HWND window;
    static POINT inC;
    window = hwnd;
    inC = Middle(c);
    b->onEvent = [](UiEvent& event) {
        if (event.type == kUiEventButtonUp)
            SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inC.x, inC.y));
    };
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(Middle(b)));
    Send(WM_LBUTTONUP, 0, At(Middle(b)));
    EXPECT_TRUE(manager->IsCaptured());
    events.clear();
    Send(WM_LBUTTONUP, 0, At(inC));
    EXPECT_EQ((std::vector<int>{kUiEventButtonUp}), TypesOf(L"c"));
    EXPECT_FALSE(manager->IsCaptured());
}

TEST_F(ManagerWindow, CloseEndsHoverAndPressAndDropsTheFocus)
{
    const POINT inA = Middle(a);
    Send(WM_MOUSEMOVE, 0, At(inA));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(inA));
    events.clear();
    // The test's procedure takes WM_CLOSE to the manager only.
    LRESULT result = 0;
    EXPECT_FALSE(manager->HandleMessage(WM_CLOSE, 0, 0, result));
    EXPECT_EQ((std::vector<int>{kUiEventMouseLeave, kUiEventButtonUp, kUiEventKillFocus}), TypesOf(L"a"));
    EXPECT_EQ(nullptr, manager->GetFocus());
}

LRESULT CALLBACK ReflectingChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Answers each reflected message with its own number, to tell them apart.
    if (message >= 0x2000 && message < 0x3000)
        return static_cast<LRESULT>(message);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(ManagerWindow, ChildWindowNotificationsAreReflectedBackToTheChild)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ReflectingChildProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"UiManagerMessagesChild";
    RegisterClassExW(&wc);
    HWND child =
        CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 10, 10, hwnd, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, child);
    NMHDR header = {};
    header.hwndFrom = child;
    const LPARAM fromChild = reinterpret_cast<LPARAM>(child);
    struct Case {
        UINT message;
        LPARAM lParam;
        LRESULT expected;
    };
    const Case cases[] = {
        {WM_NOTIFY, reinterpret_cast<LPARAM>(&header), 0x2000 + WM_NOTIFY},
        {WM_COMMAND, fromChild, 0x2111},
        {WM_CTLCOLOREDIT, fromChild, 0x2000 + WM_CTLCOLOREDIT},
        {WM_CTLCOLORSTATIC, fromChild, 0x2000 + WM_CTLCOLORSTATIC},
    };
    for (const Case& test : cases) {
        LRESULT result = 0;
        EXPECT_TRUE(manager->HandleMessage(test.message, 0, test.lParam, result)) << test.message;
        EXPECT_EQ(test.expected, result) << test.message;
    }
    // A menu command names no child window and is not the manager's.
    LRESULT result = 0;
    EXPECT_FALSE(manager->HandleMessage(WM_COMMAND, 5, 0, result));
    EXPECT_FALSE(manager->HandleMessage(WM_NOTIFY, 5, 0, result));
    DestroyWindow(child);
}

BOOL CALLBACK FindTooltip(HWND window, LPARAM found)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0)
        *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
}

TEST_F(ManagerWindow, HoverOverAControlWithATooltipShowsItAndLeavingHidesIt)
{
    HWND tooltip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&tooltip));
    EXPECT_EQ(nullptr, tooltip);
    b->SetTooltip(L"提示");
    Send(WM_MOUSEMOVE, 0, At(Middle(b)));
    LRESULT result = 0;
    EXPECT_TRUE(manager->HandleMessage(WM_MOUSEHOVER, 0, At(Middle(b)), result));
    EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&tooltip));
    ASSERT_NE(nullptr, tooltip);
    EXPECT_EQ(hwnd, GetWindow(tooltip, GW_OWNER));
    EXPECT_EQ(1, SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    EXPECT_TRUE(IsWindowVisible(tooltip));
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    wchar_t text[80] = {};
    tool.lpszText = text;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    ASSERT_TRUE(SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_STREQ(L"提示", text);
    EXPECT_TRUE(EqualRect(&tool.rect, &b->GetBounds()));

    // Moving on to another control hides it; so does leaving the window.
    Send(WM_MOUSEMOVE, 0, At(Middle(c)));
    EXPECT_FALSE(IsWindowVisible(tooltip));
    Send(WM_MOUSEMOVE, 0, At(Middle(b)));
    EXPECT_TRUE(manager->HandleMessage(WM_MOUSEHOVER, 0, At(Middle(b)), result));
    EXPECT_TRUE(IsWindowVisible(tooltip));
    Send(WM_MOUSELEAVE);
    EXPECT_FALSE(IsWindowVisible(tooltip));
    // Nothing under the point: not handled.
    EXPECT_FALSE(manager->HandleMessage(WM_MOUSEHOVER, 0, MAKELPARAM(-5, -5), result));
}

// The record sizes of the tool messages that this thread sends to tooltip
// windows, as the tooltip window receives them.
std::vector<std::pair<UINT, UINT>> g_toolRecords;

LRESULT CALLBACK RecordToolMessages(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const bool toolMessage =
        sent->message == TTM_ADDTOOLW || sent->message == TTM_SETTOOLINFOW || sent->message == TTM_TRACKACTIVATE;
    if (code == HC_ACTION && toolMessage && sent->lParam != 0)
        g_toolRecords.emplace_back(sent->message, reinterpret_cast<const TOOLINFOW*>(sent->lParam)->cbSize);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The common controls of a program without a manifest for their newer
// version refuse a tool record larger than the one they know, and the tip
// then never shows; Wine takes any size, so the size is read as it is sent.
TEST_F(ManagerWindow, TooltipRecordsHaveTheSizeEveryCommonControlsVersionTakes)
{
    g_toolRecords.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordToolMessages, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    b->SetTooltip(L"提示");
    Send(WM_MOUSEMOVE, 0, At(Middle(b)));
    LRESULT result = 0;
    manager->HandleMessage(WM_MOUSEHOVER, 0, At(Middle(b)), result);
    Send(WM_MOUSEMOVE, 0, At(Middle(c)));
    UnhookWindowsHookEx(hook);
    const std::vector<std::pair<UINT, UINT>> expected = {
        {TTM_ADDTOOLW, TTTOOLINFOW_V2_SIZE},
        {TTM_SETTOOLINFOW, TTTOOLINFOW_V2_SIZE},
        {TTM_TRACKACTIVATE, TTTOOLINFOW_V2_SIZE},
        {TTM_TRACKACTIVATE, TTTOOLINFOW_V2_SIZE},
    };
    EXPECT_EQ(expected, g_toolRecords);
}

TEST_F(ManagerWindow, MinMaxInfoTakesOnlyTheSetSizes)
{
    manager->SetMinInfo(200, 0);
    manager->SetMaxInfo(0, 500);
    MINMAXINFO info = {};
    info.ptMinTrackSize = POINT{1, 2};
    info.ptMaxTrackSize = POINT{3, 4};
    Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(200, info.ptMinTrackSize.x);
    EXPECT_EQ(2, info.ptMinTrackSize.y);
    EXPECT_EQ(3, info.ptMaxTrackSize.x);
    EXPECT_EQ(500, info.ptMaxTrackSize.y);
    EXPECT_EQ(1, Send(WM_ERASEBKGND, 0, 0));
}

TEST_F(ManagerWindow, MessageLoopDispatchesUntilQuit)
{
    std::vector<std::wstring> log;
    Filter filter(L"filter", log, WM_USER + 4, 0);
    Filter pre(L"pre", log, WM_USER + 5, 0);
    manager->AddMessageFilter(&filter);
    manager->AddPreMessageFilter(&pre);
    PostMessageW(hwnd, WM_USER + 5, 0, 0);  // consumed before dispatch
    PostMessageW(hwnd, WM_USER + 4, 0, 0);
    PostQuitMessage(3);
    CUiManager::MessageLoop();
    EXPECT_EQ((std::vector<std::wstring>{L"pre:1029", L"pre:1028", L"filter:1028"}), log);
    manager->RemoveMessageFilter(&filter);
    manager->RemovePreMessageFilter(&pre);
}

}  // namespace
