#include "RichEditUI.h"

#include "ScrollBarUI.h"
#include "TxtWinHost.h"
#include "UiAttrValues.h"

#include <imm.h>

#include <climits>
#include <cwchar>
#include <vector>

namespace UiLib {

namespace {

const UINT kMouseFirst = WM_MOUSEMOVE;
const UINT kMouseLast = 0x020D;  // WM_XBUTTONDBLCLK
const UINT kCodePageUtf16 = 1200;
// The largest position that WM_VSCROLL and WM_HSCROLL can carry.
const int kMaxThumbPosition = 0xFFFF;

bool IsTrue(const wchar_t* value)
{
    return value != nullptr && wcscmp(value, L"true") == 0;
}

bool IsMouseMessage(UINT message)
{
    return message >= kMouseFirst && message <= kMouseLast;
}

bool IsKeyEvent(int type)
{
    return type >= kUiEventKeyFirst && type <= kUiEventKeyLast;
}

// The point of a mouse message in client coordinates; the wheel carries a
// screen point and WM_SETCURSOR none.
POINT MessagePoint(HWND window, UINT message, LPARAM lParam)
{
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (message == WM_SETCURSOR)
        GetCursorPos(&pt);
    if (message == WM_SETCURSOR || message == WM_MOUSEWHEEL || message == WM_CONTEXTMENU)
        ScreenToClient(window, &pt);
    return pt;
}

}  // namespace

CRichEditUI::CRichEditUI()
    : host_(nullptr),
      vBarFixing_(false),
      wantTab_(true),
      wantReturn_(true),
      wantCtrlReturn_(true),
      rich_(true),
      readOnly_(false),
      textColor_(0),
      font_(-1),
      textLimit_(kDefaultTextLimit),
      style_(ES_MULTILINE),
      paintDirty_()
{
}

CRichEditUI::~CRichEditUI()
{
    if (host_ == nullptr)
        return;
    if (manager_ != nullptr)
        manager_->RemoveMessageFilter(this);
    host_->Release();
    host_ = nullptr;
}

const wchar_t* CRichEditUI::GetTypeName() const
{
    return L"RichEditUI";
}

void* CRichEditUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"RichEdit") == 0)
        return static_cast<CRichEditUI*>(this);
    return CContainerUI::CastByName(name);
}

UINT CRichEditUI::GetInputFlags()
{
    return IsEnabled() ? (kUiFlagTabStop | kUiFlagSetCursor) : 0;
}

void CRichEditUI::InitHook()
{
    if (host_ != nullptr || manager_ == nullptr)
        return;
    host_ = CTxtWinHost::Create(this, style_, manager_->GetFont(font_), TextColorRef(), text_.GetData());
    if (host_ == nullptr)
        return;
    host_->Activate();
    manager_->AddMessageFilter(this);
    if (!IsRectEmpty(&itemRect_))
        SetBounds(itemRect_);
}

// ---- text ----

long CRichEditUI::QueryTextLength() const
{
    GETTEXTLENGTHEX query = {GTL_DEFAULT, kCodePageUtf16};
    LRESULT length = 0;
    if (TxSendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0, &length) != S_OK || length < 0)
        return 0;
    return static_cast<long>(length);
}

CUiString CRichEditUI::GetText() const
{
    if (host_ == nullptr)
        return text_;
    const long length = QueryTextLength();
    if (length <= 0)
        return CUiString();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX query = {};
    query.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    query.flags = GT_DEFAULT;
    query.codepage = kCodePageUtf16;
    LRESULT copied = 0;
    TxSendMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query), reinterpret_cast<LPARAM>(buffer.data()), &copied);
    buffer.back() = L'\0';
    return CUiString(buffer.data());
}

void CRichEditUI::SetText(const wchar_t* text)
{
    text_ = text != nullptr ? text : L"";
    if (host_ == nullptr)
        return;
    SetSel(0, -1);
    // The text limit holds back typing, not the program's own text: a long
    // text is set whole and the limit is put back afterwards.
    const size_t length = wcslen(text_.GetData());
    const bool overLimit = length > static_cast<size_t>(textLimit_);
    if (overLimit)
        host_->SetMaxLength(length > ULONG_MAX ? ULONG_MAX : static_cast<DWORD>(length));
    ReplaceSel(text_.GetData(), false);
    if (overLimit)
        host_->SetMaxLength(static_cast<DWORD>(textLimit_));
}

void CRichEditUI::SetSel(long start, long end)
{
    CHARRANGE range = {start, end};
    TxSendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range), nullptr);
}

void CRichEditUI::ReplaceSel(const wchar_t* text, bool canUndo)
{
    TxSendMessage(EM_REPLACESEL, canUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(text != nullptr ? text : L""),
                  nullptr);
}

long CRichEditUI::GetTextLength() const
{
    return host_ != nullptr ? QueryTextLength() : static_cast<long>(text_.GetLength());
}

// ---- settings ----

COLORREF CRichEditUI::TextColorRef() const
{
    return RGB((textColor_ >> 16) & 0xFF, (textColor_ >> 8) & 0xFF, textColor_ & 0xFF);
}

void CRichEditUI::SetFont(int index)
{
    font_ = index;
    if (host_ != nullptr && manager_ != nullptr)
        host_->SetCharFormat(manager_->GetFont(font_), TextColorRef());
}

void CRichEditUI::SetTextColor(DWORD argb)
{
    textColor_ = argb;
    if (host_ != nullptr)
        host_->SetTextColor(TextColorRef());
}

void CRichEditUI::SetRich(bool rich)
{
    rich_ = rich;
    if (host_ != nullptr)
        host_->SetRichText(rich);
}

void CRichEditUI::SetWantTab(bool want)
{
    wantTab_ = want;
}

void CRichEditUI::SetWantReturn(bool want)
{
    wantReturn_ = want;
}

void CRichEditUI::SetWantCtrlReturn(bool want)
{
    wantCtrlReturn_ = want;
}

bool CRichEditUI::WantsTab() const
{
    return wantTab_;
}

void CRichEditUI::ReadAlign(const wchar_t* value)
{
    if (wcsstr(value, L"left") != nullptr)
        style_ &= ~static_cast<DWORD>(ES_CENTER | ES_RIGHT);
    if (wcsstr(value, L"center") != nullptr)
        style_ |= ES_CENTER;
    if (wcsstr(value, L"right") != nullptr)
        style_ |= ES_RIGHT;
}

void CRichEditUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    const bool isTrue = IsTrue(value);
    // The bar attributes also reach the container, which makes the bars.
    if (wcscmp(name, L"vscrollbar") == 0) {
        if (isTrue)
            style_ |= WS_VSCROLL | ES_DISABLENOSCROLL;
    } else if (wcscmp(name, L"autovscroll") == 0) {
        if (isTrue)
            style_ |= ES_AUTOVSCROLL;
    } else if (wcscmp(name, L"hscrollbar") == 0) {
        if (isTrue)
            style_ |= WS_HSCROLL | ES_DISABLENOSCROLL;
    }
    if (wcscmp(name, L"vscrollbar") == 0 || wcscmp(name, L"autovscroll") == 0 || wcscmp(name, L"hscrollbar") == 0) {
        CContainerUI::SetAttribute(name, value);
    } else if (wcscmp(name, L"autohscroll") == 0) {
        if (isTrue)
            style_ |= ES_AUTOHSCROLL;
    } else if (wcscmp(name, L"wanttab") == 0) {
        SetWantTab(isTrue);
    } else if (wcscmp(name, L"wantreturn") == 0) {
        SetWantReturn(isTrue);
    } else if (wcscmp(name, L"wantctrlreturn") == 0) {
        SetWantCtrlReturn(isTrue);
    } else if (wcscmp(name, L"rich") == 0) {
        SetRich(isTrue);
    } else if (wcscmp(name, L"multiline") == 0) {
        if (wcscmp(value, L"false") == 0)
            style_ &= ~static_cast<DWORD>(ES_MULTILINE);
    } else if (wcscmp(name, L"readonly") == 0) {
        if (isTrue) {
            style_ |= ES_READONLY;
            readOnly_ = true;
        }
    } else if (wcscmp(name, L"numberonly") == 0) {
        if (isTrue)
            style_ |= ES_NUMBER;
    } else if (wcscmp(name, L"password") == 0) {
        if (isTrue)
            style_ |= ES_PASSWORD;
    } else if (wcscmp(name, L"align") == 0) {
        ReadAlign(value);
    } else if (wcscmp(name, L"font") == 0) {
        long index = 0;
        ReadNumberList(value, &index, 1);
        SetFont(static_cast<int>(index));
    } else if (wcscmp(name, L"textcolor") == 0) {
        SetTextColor(ReadHexColor(value));
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

// ---- layout and painting ----

LONG CRichEditUI::NaturalHeight(int width) const
{
    SIZEL extent = {-1, -1};
    LONG naturalWidth = width;
    LONG naturalHeight = 0;
    host_->GetTextServices()->TxGetNaturalSize(DVASPECT_CONTENT, manager_->GetPaintDC(), nullptr, nullptr,
                                               TXTNS_FITTOCONTENT, &extent, &naturalWidth, &naturalHeight);
    return naturalHeight;
}

// Whether the text would fit the client height with the vertical bar's
// width given back to it.
bool CRichEditUI::FitsWithoutBar(const RECT& client, const CScrollBarUI& bar) const
{
    return NaturalHeight(client.right - client.left + bar.GetPreferredWidth()) <= client.bottom - client.top;
}

// Once the services have hidden the bar that the layout made room for (or
// the bar is held on), it is shown again while the text would not fit
// without it, and let go once it would.
void CRichEditUI::FitVerticalBar(const CUiRect& client, bool barWasShown)
{
    CScrollBarUI* bar = GetVerticalScrollBar();
    if (!barWasShown || bar == nullptr || (bar->IsShown() && !vBarFixing_))
        return;
    if (!FitsWithoutBar(client, *bar)) {
        bar->SetShown(true);
        bar->SetScrollPos(0);
        vBarFixing_ = true;
    } else if (vBarFixing_) {
        bar->SetShown(false);
        vBarFixing_ = false;
    }
}

void CRichEditUI::PlaceBarsAndChildren(const CUiRect& client)
{
    CScrollBarUI* vertical = GetVerticalScrollBar();
    if (vertical != nullptr && vertical->IsShown()) {
        const RECT rc = {client.right, client.top, client.right + vertical->GetPreferredWidth(), client.bottom};
        vertical->SetBounds(rc);
    }
    CScrollBarUI* horizontal = GetHorizontalScrollBar();
    if (horizontal != nullptr && horizontal->IsShown()) {
        const RECT rc = {client.left, client.bottom, client.right, client.bottom + horizontal->GetPreferredHeight()};
        horizontal->SetBounds(rc);
    }
    for (int i = 0; i < children_.GetSize(); ++i) {
        if (!PlaceApart(i))
            GetItemAt(i)->SetBounds(client);
    }
}

void CRichEditUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    const CScrollBarUI* bar = GetVerticalScrollBar();
    const bool barWasShown = bar != nullptr && bar->IsShown();
    const CUiRect client = GetClientArea();
    if (host_ != nullptr) {
        host_->SetClientRect(client);
        FitVerticalBar(client, barWasShown);
    }
    PlaceBarsAndChildren(client);
}

void CRichEditUI::Paint(HDC hdc, const RECT& dirty)
{
    paintDirty_ = dirty;
    CContainerUI::Paint(hdc, dirty);
}

// The services draw the text over the background and the border, before
// the children and the bars.
void CRichEditUI::PaintBorder(HDC hdc)
{
    CContainerUI::PaintBorder(hdc);
    if (host_ == nullptr)
        return;
    const RECT& client = host_->GetClientRect();
    RECTL bounds = {client.left, client.top, client.right, client.bottom};
    RECT update = paintDirty_;
    host_->GetTextServices()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, hdc, nullptr, &bounds, nullptr, &update,
                                     nullptr, 0, TXTVIEW_ACTIVE);
    // A bar that the layout holds on goes again once the text fits.
    CScrollBarUI* bar = GetVerticalScrollBar();
    if (vBarFixing_ && bar != nullptr && FitsWithoutBar(client, *bar))
        MarkForUpdate();
}

// ---- the services' scroll bar requests ----

CScrollBarUI* CRichEditUI::BarOf(int bar) const
{
    if (bar == SB_VERT)
        return GetVerticalScrollBar();
    return bar == SB_HORZ ? GetHorizontalScrollBar() : nullptr;
}

void CRichEditUI::ShowServicesBar(int bar, bool show)
{
    const bool vertical = bar == SB_VERT || bar == SB_BOTH;
    const bool horizontal = bar == SB_HORZ || bar == SB_BOTH;
    const bool hasVertical = GetVerticalScrollBar() != nullptr;
    const bool hasHorizontal = GetHorizontalScrollBar() != nullptr;
    if (show && ((vertical && !hasVertical) || (horizontal && !hasHorizontal)))
        EnableScrollBars(vertical || hasVertical, horizontal || hasHorizontal);
    CScrollBarUI* bars[] = {vertical ? GetVerticalScrollBar() : nullptr,
                            horizontal ? GetHorizontalScrollBar() : nullptr};
    for (CScrollBarUI* target : bars) {
        if (target == nullptr || target->IsShown() == show)
            continue;
        target->SetShown(show);
        MarkForUpdate();
    }
}

void CRichEditUI::SetServicesBarRange(int bar, int minPos, int maxPos)
{
    CScrollBarUI* target = BarOf(bar);
    if (host_ == nullptr || target == nullptr)
        return;
    const RECT& client = host_->GetClientRect();
    const long long page = bar == SB_VERT ? client.bottom - client.top : client.right - client.left;
    const long long range = static_cast<long long>(maxPos) - minPos - page;
    target->SetScrollRange(range > INT_MAX ? INT_MAX : static_cast<int>(range > 0 ? range : 0));
    ShowServicesBar(bar, range > 0);
}

void CRichEditUI::SetServicesBarPos(int bar, int pos)
{
    CScrollBarUI* target = BarOf(bar);
    if (target != nullptr)
        target->SetScrollPos(pos);
}

// ---- scrolling ----

void CRichEditUI::SendScroll(UINT message, WORD code) const
{
    TxSendMessage(message, MAKEWPARAM(code, 0), 0, nullptr);
}

int CRichEditUI::VerticalBarPos() const
{
    CScrollBarUI* bar = GetVerticalScrollBar();
    return bar != nullptr ? bar->GetScrollPos() : 0;
}

// A plain-text view that could not go further down leaves its bar short of
// the end; the bar is put there.
void CRichEditUI::ScrollDown(WORD code)
{
    const int before = VerticalBarPos();
    SendScroll(WM_VSCROLL, code);
    CScrollBarUI* bar = GetVerticalScrollBar();
    if (!rich_ && bar != nullptr && VerticalBarPos() == before)
        bar->SetScrollPos(bar->GetScrollRange());
}

// Positions beyond what a scroll message carries go by EM_SETSCROLLPOS, so
// that the thumb reaches the end of a long text.
void CRichEditUI::ScrollServicesTo(int x, int y, bool vertical)
{
    const int pos = vertical ? y : x;
    if (pos <= kMaxThumbPosition) {
        TxSendMessage(vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), 0, nullptr);
        return;
    }
    POINT target = {x, y};
    TxSendMessage(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&target), nullptr);
}

void CRichEditUI::SetScrollPos(SIZE pos)
{
    CScrollBarUI* vertical = GetVerticalScrollBar();
    CScrollBarUI* horizontal = GetHorizontalScrollBar();
    const bool hasVertical = vertical != nullptr && vertical->IsShown();
    const bool hasHorizontal = horizontal != nullptr && horizontal->IsShown();
    const int beforeY = hasVertical ? vertical->GetScrollPos() : 0;
    const int beforeX = hasHorizontal ? horizontal->GetScrollPos() : 0;
    if (hasVertical)
        vertical->SetScrollPos(pos.cy);
    if (hasHorizontal)
        horizontal->SetScrollPos(pos.cx);
    const int y = hasVertical ? vertical->GetScrollPos() : 0;
    const int x = hasHorizontal ? horizontal->GetScrollPos() : 0;
    if (x != beforeX)
        ScrollServicesTo(x, y, false);
    if (y == beforeY)
        return;
    ScrollServicesTo(x, y, true);
    if (!rich_ && y > beforeY && vertical->GetScrollPos() == beforeY)
        vertical->SetScrollPos(vertical->GetScrollRange());
}

void CRichEditUI::LineUp()
{
    SendScroll(WM_VSCROLL, SB_LINEUP);
}

void CRichEditUI::LineDown()
{
    ScrollDown(SB_LINEDOWN);
}

void CRichEditUI::PageUp()
{
    SendScroll(WM_VSCROLL, SB_PAGEUP);
}

void CRichEditUI::PageDown()
{
    SendScroll(WM_VSCROLL, SB_PAGEDOWN);
}

void CRichEditUI::ScrollToTop()
{
    SendScroll(WM_VSCROLL, SB_TOP);
}

void CRichEditUI::ScrollToBottom()
{
    SendScroll(WM_VSCROLL, SB_BOTTOM);
}

void CRichEditUI::LineLeft()
{
    SendScroll(WM_HSCROLL, SB_LINEUP);
}

void CRichEditUI::LineRight()
{
    SendScroll(WM_HSCROLL, SB_LINEDOWN);
}

void CRichEditUI::PageLeft()
{
    SendScroll(WM_HSCROLL, SB_PAGEUP);
}

void CRichEditUI::PageRight()
{
    SendScroll(WM_HSCROLL, SB_PAGEDOWN);
}

void CRichEditUI::ScrollToLeft()
{
    SendScroll(WM_HSCROLL, SB_TOP);
}

void CRichEditUI::ScrollToRight()
{
    SendScroll(WM_HSCROLL, SB_BOTTOM);
}

// ---- input ----

HRESULT CRichEditUI::TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const
{
    if (host_ == nullptr)
        return S_FALSE;
    if (message == WM_KEYDOWN && wParam == VK_RETURN && !IsReturnWanted()) {
        if (manager_ != nullptr)
            manager_->SendNotify(const_cast<CRichEditUI*>(this), L"return");
        return S_OK;
    }
    LRESULT ignored = 0;
    return host_->GetTextServices()->TxSendMessage(message, wParam, lParam, result != nullptr ? result : &ignored);
}

bool CRichEditUI::IsReturnWanted() const
{
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    return wantReturn_ && (!ctrl || wantCtrlReturn_);
}

bool CRichEditUI::OnTxViewChanged()
{
    return true;
}

void CRichEditUI::OnTxNotify(DWORD, void*)
{
}

bool CRichEditUI::DoSetCursor(const RECT* rc, POINT pt)
{
    if (host_ == nullptr || manager_ == nullptr)
        return false;
    const RECT area = rc != nullptr ? *rc : host_->GetClientRect();
    if (!PtInRect(&area, pt))
        return false;
    const RECT* client = host_->IsActive() && rc == nullptr ? nullptr : &area;
    host_->GetTextServices()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, manager_->GetPaintDC(), nullptr,
                                            client, pt.x, pt.y);
    return true;
}

void CRichEditUI::ProcessEvent(UiEvent& event)
{
    // The container hands the mouse of a control deaf to it to the parent.
    const bool mouse = event.type >= kUiEventMouseFirst && event.type <= kUiEventMouseLast;
    if (mouse && !IsMouseEnabled()) {
        CContainerUI::ProcessEvent(event);
        return;
    }
    switch (event.type) {
    case kUiEventSetCursor:
        if (IsEnabled() && DoSetCursor(nullptr, event.mouse))
            return;
        break;
    case kUiEventSetFocus:
    case kUiEventKillFocus:
        focused_ = event.type == kUiEventSetFocus;
        TxSendMessage(focused_ ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0, nullptr);
        Invalidate();
        return;
    case kUiEventTimer:
        TxSendMessage(WM_TIMER, event.wParam, event.lParam, nullptr);
        return;
    case kUiEventScrollWheel:
        if ((event.keyState & MK_CONTROL) != 0)
            return;
        break;
    case kUiEventMouseMove:
    case kUiEventMouseLeave:
    case kUiEventMouseEnter:
    case kUiEventButtonDown:
    case kUiEventButtonUp:
    case kUiEventDoubleClick:
        return;
    default:
        if (IsKeyEvent(event.type))
            return;
        break;
    }
    CContainerUI::ProcessEvent(event);
}

void CRichEditUI::MoveImeWindowToCaret() const
{
    HWND window = manager_->GetWindow();
    HIMC context = ImmGetContext(window);
    if (context == nullptr)
        return;
    COMPOSITIONFORM form = {};
    form.dwStyle = CFS_CANDIDATEPOS;
    GetCaretPos(&form.ptCurrentPos);
    ImmSetCompositionWindow(context, &form);
    ImmReleaseContext(window, context);
}

// Whether the services are to see a message that the window got;
// keepUnhandled asks the manager to go on with it afterwards.
bool CRichEditUI::IsMessageForMe(UINT message, LPARAM lParam, bool& keepUnhandled)
{
    if (IsMouseMessage(message) || message == WM_SETCURSOR) {
        const POINT pt = MessagePoint(manager_->GetWindow(), message, lParam);
        if (message >= WM_LBUTTONDOWN && message <= WM_RBUTTONUP && manager_->FindControlAt(pt) != this)
            return false;
        if (!host_->IsCaptured()) {
            const RECT& client = host_->GetClientRect();
            if (!PtInRect(&client, pt) || manager_->IsCaptured())
                return false;
        }
        keepUnhandled = message == WM_SETCURSOR;
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN)
            TakeFocus();
        return true;
    }
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST)
        return manager_->GetFocus() == this;
    if (message == WM_CONTEXTMENU)
        return manager_->FindControlAt(MessagePoint(manager_->GetWindow(), message, lParam)) == this;
    if (message == WM_HELP) {
        keepUnhandled = true;
        return true;
    }
    return false;
}

LRESULT CRichEditUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (host_ == nullptr || manager_ == nullptr || !IsShown() || !IsEnabled())
        return 0;
    if (IsMouseMessage(message) && !IsMouseEnabled())
        return 0;
    if (message == WM_MOUSEWHEEL && (LOWORD(wParam) & MK_CONTROL) == 0)
        return 0;
    if (message == WM_IME_COMPOSITION) {
        MoveImeWindowToCaret();
        return 0;
    }
    bool keepUnhandled = false;
    if (!IsMessageForMe(message, lParam, keepUnhandled))
        return 0;
    LRESULT result = 0;
    if (TxSendMessage(message, wParam, lParam, &result) == S_OK)
        handled = !keepUnhandled;
    return result;
}

}  // namespace UiLib
