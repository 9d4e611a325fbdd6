#include "TxtWinHost.h"

#include "RichEditUI.h"

#include <cstdlib>
#include <cwchar>

namespace UiLib {

namespace {

// Interface ids of the text services and of the host, as published.
const IID kIidTextServices = {0x8D33F740, 0xCF58, 0x11CE, {0xA8, 0x9D, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};
const IID kIidTextHost = {0x13E670F4, 0x1A5A, 0x11CF, {0xAB, 0xEB, 0x00, 0xAA, 0x00, 0xB6, 0x5E, 0xA1}};

const DWORD kCharFormatMask =
    CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET | CFM_CHARSET;
const LONG kTabStopTwips = 720;
const int kTwipsPerInch = 1440;
const int kHimetricPerInch = 2540;
const int kDefaultDpi = 96;

// The library is loaded once and stays loaded: services of every control
// live in it until the process ends.
PCreateTextServices TextServicesFactory()
{
    static HMODULE module = LoadLibraryW(L"riched20.dll");
    if (module == nullptr)
        return nullptr;
    FARPROC address = GetProcAddress(module, "CreateTextServices");
    if (address == nullptr)
        return nullptr;
    return reinterpret_cast<PCreateTextServices>(reinterpret_cast<void (*)()>(address));
}

int DeviceDpi(HDC dc, int index)
{
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, index) : 0;
    return dpi > 0 ? dpi : kDefaultDpi;
}

LONG PixelsToHimetric(LONG pixels, int dpi)
{
    return static_cast<LONG>(static_cast<long long>(pixels) * kHimetricPerInch / dpi);
}

}  // namespace

CTxtWinHost* CTxtWinHost::Create(CRichEditUI* owner, DWORD style, HFONT font, COLORREF color, const wchar_t* text)
{
    CTxtWinHost* host = new CTxtWinHost(owner, style, font, color);
    if (!host->StartServices(text)) {
        host->Release();
        return nullptr;
    }
    return host;
}

CTxtWinHost::CTxtWinHost(CRichEditUI* owner, DWORD style, HFONT font, COLORREF color)
    : refs_(1),
      owner_(owner),
      style_(style),
      services_(nullptr),
      bits_(kInPlaceActive),
      selectionBarWidth_(0),
      maxLength_(static_cast<DWORD>(owner->GetLimitText())),
      client_(),
      extent_(),
      charFormat_(),
      paraFormat_(),
      acceleratorPos_(-1),
      passwordChar_((style & ES_PASSWORD) != 0 ? L'*' : 0)
{
    InitCharFormat(font, color);
    InitParaFormat();
    if ((style_ & (ES_AUTOHSCROLL | WS_HSCROLL)) == 0)
        bits_ |= kWordWrap;
    if (owner->IsRich())
        bits_ |= kRichText;
}

CTxtWinHost::~CTxtWinHost()
{
    if (services_ != nullptr) {
        services_->OnTxInPlaceDeactivate();
        services_->Release();
    }
}

bool CTxtWinHost::StartServices(const wchar_t* text)
{
    PCreateTextServices create = TextServicesFactory();
    if (create == nullptr)
        return false;
    IUnknown* unknown = nullptr;
    if (FAILED(create(nullptr, this, &unknown)) || unknown == nullptr)
        return false;
    void* services = nullptr;
    const HRESULT queried = unknown->QueryInterface(kIidTextServices, &services);
    unknown->Release();
    if (FAILED(queried) || services == nullptr)
        return false;
    services_ = static_cast<ITextServices*>(services);
    if (text != nullptr && text[0] != L'\0')
        return SUCCEEDED(services_->TxSetText(text));
    return true;
}

void CTxtWinHost::Activate()
{
    SetTransparent(true);
    LRESULT ignored = 0;
    services_->TxSendMessage(EM_SETLANGOPTIONS, 0, 0, &ignored);
    if (FAILED(services_->OnTxInPlaceActivate(&client_)))
        bits_ &= ~kInPlaceActive;
}

void CTxtWinHost::InitCharFormat(HFONT font, COLORREF color)
{
    LOGFONTW logFont = {};
    GetObjectW(font, sizeof(logFont), &logFont);
    charFormat_ = CHARFORMAT2W();
    charFormat_.cbSize = sizeof(CHARFORMAT2W);
    charFormat_.dwMask = kCharFormatMask;
    // A font given by its cell height (positive) has the same size.
    const long long height = std::llabs(static_cast<long long>(logFont.lfHeight));
    charFormat_.yHeight = static_cast<LONG>(height * kTwipsPerInch / DeviceDpi(MeasureDC(), LOGPIXELSY));
    if (logFont.lfWeight >= FW_BOLD)
        charFormat_.dwEffects |= CFE_BOLD;
    if (logFont.lfItalic != 0)
        charFormat_.dwEffects |= CFE_ITALIC;
    if (logFont.lfUnderline != 0)
        charFormat_.dwEffects |= CFE_UNDERLINE;
    charFormat_.bCharSet = logFont.lfCharSet;
    charFormat_.bPitchAndFamily = logFont.lfPitchAndFamily;
    charFormat_.crTextColor = color;
    charFormat_.yOffset = 0;
    const size_t room = sizeof(charFormat_.szFaceName) / sizeof(charFormat_.szFaceName[0]);
    wcsncpy(charFormat_.szFaceName, logFont.lfFaceName, room - 1);
    charFormat_.szFaceName[room - 1] = L'\0';
}

void CTxtWinHost::InitParaFormat()
{
    paraFormat_ = PARAFORMAT2();
    paraFormat_.cbSize = sizeof(PARAFORMAT2);
    paraFormat_.dwMask = PFM_ALL;
    paraFormat_.wAlignment = PFA_LEFT;
    paraFormat_.cTabCount = 1;
    paraFormat_.rgxTabs[0] = kTabStopTwips;
    if ((style_ & ES_CENTER) != 0)
        paraFormat_.wAlignment = PFA_CENTER;
    else if ((style_ & ES_RIGHT) != 0)
        paraFormat_.wAlignment = PFA_RIGHT;
}

void CTxtWinHost::SetBit(DWORD bit, bool on)
{
    bits_ = on ? (bits_ | bit) : (bits_ & ~bit);
}

void CTxtWinHost::TellServices(DWORD changed, DWORD value)
{
    if (services_ != nullptr)
        services_->OnTxPropertyBitsChange(changed, value);
}

HWND CTxtWinHost::Window() const
{
    CUiManager* manager = owner_->GetOwnerManager();
    return manager != nullptr ? manager->GetWindow() : nullptr;
}

HDC CTxtWinHost::MeasureDC() const
{
    CUiManager* manager = owner_->GetOwnerManager();
    return manager != nullptr ? manager->GetPaintDC() : nullptr;
}

void CTxtWinHost::UpdateExtent()
{
    HDC dc = MeasureDC();
    extent_.cx = PixelsToHimetric(client_.right - client_.left, DeviceDpi(dc, LOGPIXELSX));
    extent_.cy = PixelsToHimetric(client_.bottom - client_.top, DeviceDpi(dc, LOGPIXELSY));
}

void CTxtWinHost::SetClientRect(const RECT& client)
{
    client_ = client;
    UpdateExtent();
    // The services read the client rect again only when told that it
    // changed; otherwise they keep laying the text out in the old one.
    TellServices(TXTBIT_EXTENTCHANGE | TXTBIT_CLIENTRECTCHANGE, TXTBIT_EXTENTCHANGE | TXTBIT_CLIENTRECTCHANGE);
}

// The services read the new default format back through TxGetCharFormat.
void CTxtWinHost::ApplyCharFormat()
{
    TellServices(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::SetCharFormat(HFONT font, COLORREF color)
{
    InitCharFormat(font, color);
    ApplyCharFormat();
}

void CTxtWinHost::SetTextColor(COLORREF color)
{
    charFormat_.crTextColor = color;
    ApplyCharFormat();
}

void CTxtWinHost::SetRichText(bool rich)
{
    SetBit(kRichText, rich);
    TellServices(TXTBIT_RICHTEXT, rich ? TXTBIT_RICHTEXT : 0);
}

// The services read the new limit back through TxGetMaxLength.
void CTxtWinHost::SetMaxLength(DWORD length)
{
    maxLength_ = length;
    TellServices(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
}

void CTxtWinHost::SetTransparent(bool transparent)
{
    SetBit(kTransparent, transparent);
    TellServices(TXTBIT_BACKSTYLECHANGE, 0);
}

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidTextHost)) {
        *object = static_cast<ITextHost*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef()
{
    return static_cast<ULONG>(++refs_);
}

ULONG STDMETHODCALLTYPE CTxtWinHost::Release()
{
    const LONG left = --refs_;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HDC CTxtWinHost::TxGetDC()
{
    return MeasureDC();
}

INT CTxtWinHost::TxReleaseDC(HDC)
{
    // The DC is the manager's own and outlives every use.
    return 1;
}

WINBOOL CTxtWinHost::TxShowScrollBar(INT bar, WINBOOL show)
{
    owner_->ShowServicesBar(bar, show != FALSE);
    return TRUE;
}

WINBOOL CTxtWinHost::TxEnableScrollBar(INT bars, INT arrows)
{
    owner_->ShowServicesBar(bars, arrows != ESB_DISABLE_BOTH);
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL)
{
    owner_->SetServicesBarRange(bar, minPos, maxPos);
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollPos(INT bar, INT pos, WINBOOL)
{
    owner_->SetServicesBarPos(bar, pos);
    return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT rc, WINBOOL)
{
    CUiManager* manager = owner_->GetOwnerManager();
    if (manager != nullptr)
        manager->Invalidate(rc != nullptr ? *rc : client_);
}

void CTxtWinHost::TxViewChange(WINBOOL)
{
    if (owner_->OnTxViewChanged())
        owner_->Invalidate();
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height)
{
    return ::CreateCaret(Window(), bitmap, width, height);
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show)
{
    return show ? ::ShowCaret(Window()) : ::HideCaret(Window());
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y)
{
    return ::SetCaretPos(x, y);
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout)
{
    CUiManager* manager = owner_->GetOwnerManager();
    if (manager == nullptr)
        return FALSE;
    bits_ |= kTimer;
    return manager->SetTimer(owner_, static_cast<int>(id), timeout) ? TRUE : FALSE;
}

void CTxtWinHost::TxKillTimer(UINT id)
{
    CUiManager* manager = owner_->GetOwnerManager();
    if (manager != nullptr)
        manager->KillTimer(owner_, static_cast<int>(id));
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT)
{
    // The services invalidate what moved; the whole control is repainted.
}

void CTxtWinHost::TxSetCapture(WINBOOL capture)
{
    CUiManager* manager = owner_->GetOwnerManager();
    if (manager == nullptr)
        return;
    if (capture)
        manager->SetCapture();
    else
        manager->ReleaseCapture();
    SetBit(kCaptured, capture != FALSE);
}

void CTxtWinHost::TxSetFocus()
{
    owner_->TakeFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL)
{
    ::SetCursor(cursor);
}

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT pt)
{
    return ::ScreenToClient(Window(), pt);
}

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT pt)
{
    return ::ClientToScreen(Window(), pt);
}

HRESULT CTxtWinHost::TxActivate(LONG*)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rc)
{
    *rc = client_;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rc)
{
    SetRectEmpty(rc);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format)
{
    *format = &charFormat_;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format)
{
    *format = &paraFormat_;
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index)
{
    return ::GetSysColor(index);
}

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style)
{
    *style = (bits_ & kTransparent) != 0 ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length)
{
    *length = maxLength_;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* bars)
{
    *bars = style_ & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch)
{
    *ch = passwordChar_;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* cp)
{
    *cp = acceleratorPos_;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent)
{
    *extent = extent_;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*)
{
    return S_OK;
}

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits)
{
    DWORD value = 0;
    if ((bits_ & kRichText) != 0)
        value |= TXTBIT_RICHTEXT;
    if ((style_ & ES_MULTILINE) != 0)
        value |= TXTBIT_MULTILINE;
    if ((style_ & ES_READONLY) != 0)
        value |= TXTBIT_READONLY;
    if ((style_ & ES_PASSWORD) != 0)
        value |= TXTBIT_USEPASSWORD;
    if ((style_ & ES_NOHIDESEL) == 0)
        value |= TXTBIT_HIDESELECTION;
    if ((bits_ & kAutoWordSelect) != 0)
        value |= TXTBIT_AUTOWORDSEL;
    if ((bits_ & kWordWrap) != 0)
        value |= TXTBIT_WORDWRAP;
    if ((bits_ & kAllowBeep) != 0)
        value |= TXTBIT_ALLOWBEEP;
    if ((bits_ & kSaveSelection) != 0)
        value |= TXTBIT_SAVESELECTION;
    *bits = value & mask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data)
{
    if (code == EN_REQUESTRESIZE && data != nullptr) {
        const REQRESIZE* request = static_cast<const REQRESIZE*>(data);
        client_.right = client_.left + (request->rc.right - request->rc.left);
        client_.bottom = client_.top + (request->rc.bottom - request->rc.top);
        UpdateExtent();
        return S_OK;
    }
    owner_->OnTxNotify(code, data);
    return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext()
{
    return nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC)
{
}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width)
{
    *width = selectionBarWidth_;
    return S_OK;
}

}  // namespace UiLib
