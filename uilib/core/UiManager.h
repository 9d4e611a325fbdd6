#pragma once
// The per-window manager of a skinned window: it binds the window to its tree
// of controls and keeps what the controls share (focus, hover and capture,
// names, fonts, images, class defaults, option groups, timers, notifiers and
// filters, and the queue of notifications). Its process-wide part holds the
// module instance, the resource folder and the resource zip.
#include "UiGdi.h"
#include "UiPtrArray.h"
#include "UiRect.h"
#include "UiString.h"
#include "UiStringMap.h"

#include "Win32Prelude.h"
#include <commctrl.h>

namespace UiLib {

class CControlUI;
class IMessageFilterUI;
struct UiImageInfo;
struct ZipHandle;

// Input event types carried by UiEvent. Keyboard events are 3..6 and mouse
// events 9..18.
enum UiEventType {
    kUiEventKeyDown = 3,
    kUiEventKeyUp = 4,
    kUiEventChar = 5,
    kUiEventSysKey = 6,
    kUiEventMouseMove = 9,
    kUiEventMouseLeave = 10,
    kUiEventMouseEnter = 11,
    kUiEventMouseHover = 12,
    kUiEventButtonDown = 13,
    kUiEventButtonUp = 14,
    kUiEventRightButtonDown = 15,
    kUiEventDoubleClick = 16,
    kUiEventContextMenu = 17,
    kUiEventScrollWheel = 18,
    kUiEventKillFocus = 20,
    kUiEventSetFocus = 21,
    kUiEventWindowSize = 22,
    kUiEventSetCursor = 23,
    kUiEventTimer = 24,
};

const int kUiEventKeyFirst = kUiEventKeyDown;
const int kUiEventKeyLast = kUiEventSysKey;
const int kUiEventMouseFirst = kUiEventMouseMove;
const int kUiEventMouseLast = kUiEventScrollWheel;

// Posted to the window to delete the controls whose deletion was deferred.
const UINT kUiMsgDeleteLater = WM_APP + 1;

// The input event record handed to CControlUI::HandleEvent.
struct UiEvent {
    int type;
    CControlUI* sender;
    DWORD timestamp;
    POINT mouse;
    wchar_t key;
    WORD keyState;
    WPARAM wParam;
    LPARAM lParam;
};

// The notification record sent to notifiers and OnNotify sources.
struct UiNotify {
    CUiString type;
    CUiString virtualWindow;
    CControlUI* sender;
    DWORD timestamp;
    POINT mouse;
    WPARAM wParam;
    LPARAM lParam;
};

struct UiFontInfo {
    HFONT font;
    CUiString faceName;
    int size;
    bool bold;
    bool underline;
    bool italic;
    TEXTMETRICW metrics;  // tmHeight 0: not measured yet
};

struct UiTimerInfo {
    CControlUI* control;
    int id;
    HWND window;
    UINT systemId;
    bool killed;
};

// Receives every notification that its manager sends.
class INotifyUI {
public:
    virtual void Notify(UiNotify& notify) = 0;

protected:
    ~INotifyUI() = default;
};

// A translator asked before dispatch; answers 0 when it took the message.
class ITranslateAccelerator {
public:
    virtual LRESULT TranslateAccel(MSG* msg) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

// Implemented by a control that keeps the Tab key for itself while it has the
// focus (a rich edit that wants Tab), so that Tab does not move the focus.
class IWantTabUI {
public:
    virtual bool WantsTab() const = 0;

protected:
    ~IWantTabUI() = default;
};

typedef void (*UiTraceProc)(const wchar_t* text);
typedef CControlUI* (*UiFindControlProc)(CControlUI* control, void* data);

// Flags of CControlUI::Search.
const UINT kUiFindVisible = 0x00000001;
const UINT kUiFindEnabled = 0x00000002;
const UINT kUiFindHitTest = 0x00000004;
const UINT kUiFindTopFirst = 0x00000008;
const UINT kUiFindSelfFirst = 0x80000000;

WORD GetKeyStateBits();

class CUiManager {
public:
    CUiManager();
    ~CUiManager();
    CUiManager(const CUiManager&) = delete;
    CUiManager& operator=(const CUiManager&) = delete;

    // Attaching to a further window (a window object shown again) first drops
    // what the earlier window and its control tree left behind.
    void AttachWindow(HWND window);
    // The window is gone: the manager leaves the live list and lets go of
    // everything that belonged to that window. The control tree stays until
    // the next window or the manager's end.
    void DetachWindow();
    HWND GetWindow() const { return window_; }
    // The window's own DC, kept for the window's life: for measuring.
    HDC GetPaintDC() const { return windowDc_.get(); }

    // Process-wide settings.
    static void SetInstance(HINSTANCE instance, UiTraceProc trace);
    static HINSTANCE GetInstance();
    static HINSTANCE GetResourceInstance();
    static CUiString GetInstanceFolder();
    static UiTraceProc GetTraceProc();
    static void SetResourcePath(const wchar_t* folder);
    static const CUiString& GetResourcePath();
    static void SetResourceZip(const wchar_t* zipName, bool keepOpen = false);
    static void SetResourceZipMemory(const void* data, unsigned length);
    static const CUiString& GetResourceZip();
    static ZipHandle* GetResourceZipHandle();
    static bool IsResourceZipCached();
    static void CloseResourceZip();
    static CUiPtrArray* GetControlFactories();
    static void GetHsl(short* hue, short* saturation, short* lightness);

    // Window settings.
    void SetInitialSize(int cx, int cy);
    SIZE GetInitialSize() const { return initialSize_; }
    void SetMinInfo(int cx, int cy);
    SIZE GetMinInfo() const { return minSize_; }
    void SetMaxInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return maxSize_; }
    void SetSizeBox(const RECT& box);
    const RECT& GetSizeBox() const { return sizeBox_; }
    void SetCaptionRect(const RECT& caption);
    const RECT& GetCaptionRect() const { return captionRect_; }
    void SetRoundCorner(int cx, int cy);
    SIZE GetRoundCorner() const { return roundCorner_; }
    void SetShowDirty(bool show);
    void SetBackgroundTransparent(bool transparent);
    void SetUseVirtualWnd(bool use);
    POINT GetMousePos() const { return lastMouse_; }
    void Invalidate(const RECT& rc);
    void MarkForUpdate();
    void SetOpacity(int alpha);
    int GetOpacity() const { return opacity_; }

    // Parent resources.
    bool SetParentResource(CUiManager* parent);
    CUiManager* GetParentResource() const { return parentResource_; }

    // Default colours: set on this manager, read from the top of the parent chain.
    void SetDefaultDisabledColor(DWORD color);
    DWORD GetDefaultDisabledColor() const;
    void SetDefaultFontColor(DWORD color);
    DWORD GetDefaultFontColor() const;
    void SetDefaultLinkFontColor(DWORD color);
    DWORD GetDefaultLinkFontColor() const;
    void SetDefaultLinkHoverFontColor(DWORD color);
    DWORD GetDefaultLinkHoverFontColor() const;
    void SetDefaultSelectedBkColor(DWORD color);
    DWORD GetDefaultSelectedBkColor() const;

    // Fonts, addressed by their index in the list.
    HFONT AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    HFONT GetFont(int index);
    UiFontInfo* GetFontInfo(int index);
    UiFontInfo* GetFontInfoOf(HFONT font);
    HFONT FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    UiFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    void RemoveAllFonts();

    // Images.
    UiImageInfo* AddImage(const wchar_t* name, const wchar_t* resourceType = nullptr, DWORD mask = 0);
    UiImageInfo* GetOrLoadImage(const wchar_t* name, const wchar_t* resourceType = nullptr, DWORD mask = 0);
    void RemoveAllImages();

    // Default attribute lists of control classes.
    void AddClassDefaults(const wchar_t* className, const wchar_t* attributes);
    const wchar_t* GetClassDefaults(const wchar_t* className) const;
    void RemoveAllClassDefaults();

    // Option groups.
    bool AddOptionGroup(const wchar_t* group, CControlUI* control);
    void RemoveOptionGroup(const wchar_t* group, CControlUI* control);
    CUiPtrArray* GetOptionGroup(const wchar_t* group);
    void RemoveAllOptionGroups();

    // The control tree.
    bool SetRoot(CControlUI* root);
    bool AdoptControls(CControlUI* control, CControlUI* parent);
    CControlUI* FindControlByName(const wchar_t* name) const;
    CControlUI* FindControlAt(POINT pt) const;
    CControlUI* GetRoot() const { return root_; }
    CControlUI* GetFocus() const { return focus_; }
    void ForgetControl(CControlUI* control);
    void DeleteLater(CControlUI* control);
    bool AddPaintAfter(CControlUI* control);
    bool RemovePaintAfter(CControlUI* control);
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    bool AddTranslateAccelerator(ITranslateAccelerator* translator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* translator);

    // Focus and capture.
    void SetFocus(CControlUI* control);
    bool FocusNextTabStop(bool forward = true);
    void RequestFocus(CControlUI* control);
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return captured_; }

    // Timers.
    bool SetTimer(CControlUI* control, int id, UINT interval);
    bool KillTimer(CControlUI* control, int id);
    int KillControlTimers(CControlUI* control);
    void RemoveAllTimers();

    // Notifications.
    void SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0, bool async = false);
    void DispatchNotify(UiNotify& notify, bool async = false);

    // Message handling and the message loop.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool PreDispatchMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool TranslateAccelerator(MSG* msg);
    static bool TranslateMessage(MSG* msg);
    static void MessageLoop();

private:
    void InitDefaultFont();
    // Deletes the record's font and clears the handle; the one place a font
    // the manager made is let go.
    static void DeleteFontOf(UiFontInfo& info);
    void ReleaseWindowResources();
    void DropControlTree();
    static CControlUI* RegisterNameCallback(CControlUI* control, void* data);
    static CControlUI* HitTestCallback(CControlUI* control, void* data);
    static CControlUI* MarkedForUpdateCallback(CControlUI* control, void* data);
    static CControlUI* TabOrderCallback(CControlUI* control, void* data);
    static CControlUI* ShortcutCallback(CControlUI* control, void* data);

    // Message handling, by message.
    void DeliverQueuedNotifications();
    bool HandleOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnPaint();
    void LayoutTree();
    void PaintOffscreen(HDC paintDc, const RECT& paint);
    void OnPrintClient(HDC hdc, LPARAM lParam);
    void OnClose();
    void OnTimer(WPARAM wParam);
    void OnMouseMove(POINT pt);
    void OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam);
    void OnButtonRelease(UINT message, WPARAM wParam, LPARAM lParam);
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    bool OnMouseHover(POINT pt);
    void OnMouseLeave();
    bool OnSetCursor(WPARAM wParam, LPARAM lParam);
    void OnKey(UINT message, WPARAM wParam);
    void ShowTooltip(CControlUI* control);
    void DeleteDeferredControls();
    void ReleaseOffscreen();

    HWND window_;
    int opacity_;
    ScopedWindowDc windowDc_;
    // Each buffer's bitmap is declared before its device context, so that the
    // context (which may still hold the bitmap selected) goes first.
    ScopedGdiObject offscreenBitmap_;
    ScopedGdiObject backgroundBitmap_;
    ScopedMemoryDc offscreenDc_;
    ScopedMemoryDc backgroundDc_;
    HWND tooltipWindow_;
    TOOLINFOW toolInfo_;
    bool showUpdateRect_;
    CControlUI* root_;
    CControlUI* focus_;
    CControlUI* hover_;
    CControlUI* clickTarget_;
    CControlUI* keyTarget_;
    POINT lastMouse_;
    SIZE minSize_;
    SIZE maxSize_;
    SIZE initialSize_;
    RECT sizeBox_;
    SIZE roundCorner_;
    RECT captionRect_;
    int timerCounter_;
    bool firstLayoutPending_;
    bool updateNeeded_;
    bool focusPassNeeded_;
    bool offscreenPaint_;
    bool backgroundTransparent_;
    bool mouseTracking_;
    bool captured_;
    bool useVirtualWnd_;
    bool windowGone_;  // a window was attached and has gone since
    CUiPtrArray notifiers_;
    CUiPtrArray timers_;
    CUiPtrArray preMessageFilters_;
    CUiPtrArray messageFilters_;
    CUiPtrArray postPaintControls_;
    CUiPtrArray deferredDeletes_;
    CUiPtrArray notifyQueue_;
    CUiStringMap nameMap_;
    CUiStringMap optionGroups_;
    CUiManager* parentResource_;
    DWORD defaultDisabledColor_;
    DWORD defaultFontColor_;
    DWORD defaultLinkFontColor_;
    DWORD defaultLinkHoverFontColor_;
    DWORD defaultSelectedBkColor_;
    UiFontInfo defaultFont_;
    CUiPtrArray fonts_;
    CUiStringMap images_;
    CUiStringMap classDefaults_;
    CUiPtrArray accelerators_;

    // Process-wide state.
    static HINSTANCE instance_;
    static HINSTANCE resourceInstance_;
    static UiTraceProc traceProc_;
    static bool resourceZipCached_;
    static ZipHandle* resourceZip_;
    static HPEN updatePen_;
    static short hue_;
    static short saturation_;
    static short lightness_;
    static CUiPtrArray controlFactories_;
    static CUiPtrArray managers_;
    static CUiString defaultFontFace_;
    static CUiString resourcePath_;
    static CUiString resourceZipName_;
};

}  // namespace UiLib
