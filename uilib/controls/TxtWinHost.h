#pragma once
// The host side of the system's windowless rich text services: it answers
// their questions about the control (its rect, formats, styles) and carries
// out their requests (caret, timers, capture, invalidation, scroll bars) on
// the control and its UI manager.
#include "Win32Prelude.h"
#include <richedit.h>
#include <textserv.h>

namespace UiLib {

class CRichEditUI;

class CTxtWinHost : public ITextHost {
public:
    // Makes the host and its text services for the owner; null when the
    // services cannot be loaded or created.
    static CTxtWinHost* Create(CRichEditUI* owner, DWORD style, HFONT font, COLORREF color, const wchar_t* text);

    // Makes the services draw transparently and activates them in place.
    void Activate();

    ITextServices* GetTextServices() const { return services_; }
    void SetClientRect(const RECT& client);
    const RECT& GetClientRect() const { return client_; }
    void SetCharFormat(HFONT font, COLORREF color);
    void SetTextColor(COLORREF color);
    void SetRichText(bool rich);
    void SetMaxLength(DWORD length);
    DWORD GetMaxLength() const { return maxLength_; }
    void SetTransparent(bool transparent);
    bool IsCaptured() const { return (bits_ & kCaptured) != 0; }
    bool IsActive() const { return (bits_ & kInPlaceActive) != 0; }

    // IUnknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost, in its published order.
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
    WINBOOL TxEnableScrollBar(INT bars, INT arrows) override;
    WINBOOL TxSetScrollRange(INT bar, LONG minPos, INT maxPos, WINBOOL redraw) override;
    WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
    void TxInvalidateRect(LPCRECT rc, WINBOOL mode) override;
    void TxViewChange(WINBOOL update) override;
    WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
    WINBOOL TxShowCaret(WINBOOL show) override;
    WINBOOL TxSetCaretPos(INT x, INT y) override;
    WINBOOL TxSetTimer(UINT id, UINT timeout) override;
    void TxKillTimer(UINT id) override;
    void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update, LPRECT updateRect,
                          UINT flags) override;
    void TxSetCapture(WINBOOL capture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
    WINBOOL TxScreenToClient(LPPOINT pt) override;
    WINBOOL TxClientToScreen(LPPOINT pt) override;
    HRESULT TxActivate(LONG* oldState) override;
    HRESULT TxDeactivate(LONG newState) override;
    HRESULT TxGetClientRect(LPRECT rc) override;
    HRESULT TxGetViewInset(LPRECT rc) override;
    HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
    HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
    COLORREF TxGetSysColor(int index) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
    HRESULT TxGetMaxLength(DWORD* length) override;
    HRESULT TxGetScrollBars(DWORD* bars) override;
    HRESULT TxGetPasswordChar(TCHAR* ch) override;
    HRESULT TxGetAcceleratorPos(LONG* cp) override;
    HRESULT TxGetExtent(LPSIZEL extent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
    HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
    HRESULT TxNotify(DWORD code, void* data) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC himc) override;
    HRESULT TxGetSelectionBarWidth(LONG* width) override;

    virtual ~CTxtWinHost();

private:
    // Property bits of the host itself.
    static const DWORD kAutoWordSelect = 0x01;
    static const DWORD kWordWrap = 0x02;
    static const DWORD kAllowBeep = 0x04;
    static const DWORD kRichText = 0x08;
    static const DWORD kSaveSelection = 0x10;
    static const DWORD kInPlaceActive = 0x20;
    static const DWORD kTransparent = 0x40;
    static const DWORD kTimer = 0x80;
    static const DWORD kCaptured = 0x100;

    CTxtWinHost(CRichEditUI* owner, DWORD style, HFONT font, COLORREF color);
    CTxtWinHost(const CTxtWinHost&) = delete;
    CTxtWinHost& operator=(const CTxtWinHost&) = delete;

    bool StartServices(const wchar_t* text);
    void InitCharFormat(HFONT font, COLORREF color);
    void InitParaFormat();
    void SetBit(DWORD bit, bool on);
    void TellServices(DWORD changed, DWORD value);
    void UpdateExtent();
    void ApplyCharFormat();
    HWND Window() const;
    HDC MeasureDC() const;

    LONG refs_;
    CRichEditUI* owner_;
    DWORD style_;
    ITextServices* services_;
    DWORD bits_;
    LONG selectionBarWidth_;
    DWORD maxLength_;
    RECT client_;
    SIZEL extent_;
    CHARFORMAT2W charFormat_;
    PARAFORMAT2 paraFormat_;
    LONG acceleratorPos_;
    wchar_t passwordChar_;
};

}  // namespace UiLib
