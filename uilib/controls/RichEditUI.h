#pragma once
// A windowless rich text box drawn by the system's rich text services: the
// control hosts them through CTxtWinHost, feeds them the window's keyboard
// and mouse messages through its message filter and lets them drive its own
// scroll bars.
#include "ContainerUI.h"
#include "MessageFilterUI.h"

namespace UiLib {

class CTxtWinHost;

class CRichEditUI : public CContainerUI, public IMessageFilterUI, public IWantTabUI {
public:
    // The text limit until one is set: what the services take by default.
    static constexpr int kDefaultTextLimit = 0x7FFF;

    CRichEditUI();
    ~CRichEditUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    CUiString GetText() const override;
    void SetText(const wchar_t* text) override;
    void SetBounds(const RECT& rc) override;
    void InitHook() override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(HDC hdc, const RECT& dirty) override;
    void PaintBorder(HDC hdc) override;

    void SetScrollPos(SIZE pos) override;
    void LineUp() override;
    void LineDown() override;
    void PageUp() override;
    void PageDown() override;
    void ScrollToTop() override;
    void ScrollToBottom() override;
    void LineLeft() override;
    void LineRight() override;
    void PageLeft() override;
    void PageRight() override;
    void ScrollToLeft() override;
    void ScrollToRight() override;

    // Hands a message to the text services; S_FALSE without them.
    virtual HRESULT TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const;
    // Asked when the services' view changed; true repaints the control.
    virtual bool OnTxViewChanged();
    // Notifications of the services other than a resize request.
    virtual void OnTxNotify(DWORD code, void* data);

    LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    bool WantsTab() const override;

    int GetFont() const { return font_; }
    void SetFont(int index);
    DWORD GetTextColor() const { return textColor_; }
    void SetTextColor(DWORD argb);
    bool IsRich() const { return rich_; }
    void SetRich(bool rich);
    bool IsReadOnly() const { return readOnly_; }
    bool IsWantTab() const { return wantTab_; }
    void SetWantTab(bool want);
    bool IsWantReturn() const { return wantReturn_; }
    void SetWantReturn(bool want);
    bool IsWantCtrlReturn() const { return wantCtrlReturn_; }
    void SetWantCtrlReturn(bool want);
    int GetLimitText() const { return textLimit_; }
    DWORD GetTextHostStyle() const { return style_; }
    CTxtWinHost* GetTextHost() const { return host_; }

    void SetSel(long start, long end);
    void ReplaceSel(const wchar_t* text, bool canUndo);
    long GetTextLength() const;
    bool DoSetCursor(const RECT* rc, POINT pt);

    // Called by the host for the services' scroll bar requests; bar is
    // SB_VERT, SB_HORZ or SB_BOTH.
    void ShowServicesBar(int bar, bool show);
    void SetServicesBarRange(int bar, int minPos, int maxPos);
    void SetServicesBarPos(int bar, int pos);

private:
    CScrollBarUI* BarOf(int bar) const;
    bool IsReturnWanted() const;
    bool FitsWithoutBar(const RECT& client, const CScrollBarUI& bar) const;
    void FitVerticalBar(const CUiRect& client, bool barWasShown);
    void PlaceBarsAndChildren(const CUiRect& client);
    LONG NaturalHeight(int width) const;
    long QueryTextLength() const;
    void SendScroll(UINT message, WORD code) const;
    void ScrollServicesTo(int x, int y, bool vertical);
    int VerticalBarPos() const;
    void ScrollDown(WORD code);
    bool IsMessageForMe(UINT message, LPARAM lParam, bool& keepUnhandled);
    void MoveImeWindowToCaret() const;
    COLORREF TextColorRef() const;
    void ReadAlign(const wchar_t* value);

    CTxtWinHost* host_;
    bool vBarFixing_;
    bool wantTab_;
    bool wantReturn_;
    bool wantCtrlReturn_;
    bool rich_;
    bool readOnly_;
    DWORD textColor_;
    int font_;
    int textLimit_;
    DWORD style_;
    // The dirty rect of the paint under way, the services' update rect.
    RECT paintDirty_;
};

}  // namespace UiLib
