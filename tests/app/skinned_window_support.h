#pragma once
// Helpers for tests that show the program's skinned windows: the skins come
// from the source tree instead of the program's resource zip, and the test's
// own thread pumps the messages.
#include "ControlUI.h"
#include "MessageWnd.h"
#include "UiManager.h"

#include "Win32Prelude.h"

#include <commctrl.h>

#include <atomic>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace AppTest {

// The source tree's DlgRes as a path relative to the test's folder (the
// window base puts the instance folder in front), reached through the drive
// root, since the source tree sits on the same drive as the build. The source
// folder comes from the build: a compiler cache may make __FILE__ relative.
inline UiLib::CUiString SourceSkinFolderFromInstance()
{
    std::wstring source;
    for (const char* p = VANTORIN_SOURCE_DIR; *p != '\0'; ++p)
        source += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    if (!source.empty() && source.back() == L'\\')
        source.pop_back();
    source += L"\\DlgRes";
    const std::wstring instance = UiLib::CUiManager::GetInstanceFolder().GetData();
    std::wstring relative;
    for (size_t i = instance.find(L'\\'); i + 1 < instance.size(); i = instance.find(L'\\', i + 1))
        relative += L"..\\";
    return UiLib::CUiString((relative + source.substr(1)).c_str());
}

inline void Pump(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// Pumps until done() or the time is up; the last answer of done().
template <class Done>
bool PumpUntil(Done done, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < milliseconds)
        Pump(10);
    return done();
}

// A press and release in the middle of a control, as the mouse makes them.
inline void ClickControl(UiLib::CUiManager& manager, HWND window, const wchar_t* name)
{
    UiLib::CControlUI* control = manager.FindControlByName(name);
    if (control == nullptr)
        return;
    const RECT& rc = control->GetBounds();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(window, WM_MOUSEMOVE, 0, at);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window, WM_LBUTTONUP, 0, at);
}

// The program's message boxes that are open now.
inline std::vector<CMessageWnd*> OpenMessageBoxes()
{
    std::vector<CMessageWnd*> boxes;
    for (HWND box = FindWindowExW(nullptr, nullptr, L"CMessageWnd", nullptr); box != nullptr;
         box = FindWindowExW(nullptr, box, L"CMessageWnd", nullptr)) {
        auto* window = reinterpret_cast<UiLib::CWindowWnd*>(GetWindowLongPtrW(box, GWLP_USERDATA));
        if (CMessageWnd* message = dynamic_cast<CMessageWnd*>(window))
            boxes.push_back(message);
    }
    return boxes;
}

inline std::vector<std::wstring> OpenMessageBoxTexts()
{
    std::vector<std::wstring> texts;
    for (CMessageWnd* box : OpenMessageBoxes())
        texts.push_back(box->GetText().GetData());
    return texts;
}

inline void CloseMessageBoxes()
{
    for (HWND box; (box = FindWindowExW(nullptr, nullptr, L"CMessageWnd", nullptr)) != nullptr;)
        DestroyWindow(box);
}

// Waits on its own thread for a dialog of the test's UI thread (a common
// dialog or a system message box, class "#32770") and presses one of its
// buttons, as a user would.
class DialogPresser {
public:
    // fileNames: typed into the file-name field first, when not empty.
    // selection: the trailing part of a folder's path ("Temp\name"); a
    // folder browser is pressed once its tree has that folder selected, or
    // once the wait for it is over (SelectionSeen() says which).
    // whileOpen: run on the presser's thread with the open dialog, just
    // before the press; what it posts to the UI thread's windows is queued
    // ahead of the press, so the dialog's own loop dispatches it.
    explicit DialogPresser(int button, const std::wstring& fileNames = std::wstring(),
                           const std::wstring& selection = std::wstring(),
                           std::function<void(HWND dialog)> whileOpen = nullptr)
        : uiThread_(GetCurrentThreadId()),
          button_(button),
          fileNames_(fileNames),
          selection_(selection),
          whileOpen_(std::move(whileOpen))
    {
        worker_ = std::thread([this] { Run(); });
    }
    ~DialogPresser() { Finish(); }
    DialogPresser(const DialogPresser&) = delete;
    DialogPresser& operator=(const DialogPresser&) = delete;
    // Waits for the presser's thread to end: the dialog was pressed or
    // never came.
    void Finish()
    {
        if (worker_.joinable())
            worker_.join();
    }
    bool Pressed() const { return pressed_.load(); }
    // Whether the awaited selection was there when the button was pressed;
    // read after Finish().
    bool SelectionSeen() const { return selectionSeen_; }
    // The selected item's path as the tree showed it at the press; read
    // after Finish().
    const std::wstring& LastSelection() const { return lastSelection_; }

    // The text of the item a folder browser's tree has selected.
    static std::wstring SelectedTreeText(HWND dialog)
    {
        const HWND tree = TreeOf(dialog);
        if (tree == nullptr)
            return std::wstring();
        return ItemText(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
    }

    // The selected item and its parents up to the tree's root, joined by
    // backslashes as a path is ("...\Temp\name").
    static std::wstring SelectedTreePath(HWND dialog)
    {
        const HWND tree = TreeOf(dialog);
        if (tree == nullptr)
            return std::wstring();
        std::wstring path;
        auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        for (int depth = 0; item != nullptr && depth < kMaxTreeDepth; ++depth) {
            path = path.empty() ? ItemText(tree, item) : ItemText(tree, item) + L"\\" + path;
            item = reinterpret_cast<HTREEITEM>(
                SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
        }
        return path;
    }

    // Whether a path shown by the tree ends in the given trailing part, at
    // an item boundary.
    static bool EndsWithItems(const std::wstring& shown, const std::wstring& tail)
    {
        if (tail.empty() || shown.size() < tail.size() ||
            shown.compare(shown.size() - tail.size(), tail.size(), tail) != 0)
            return false;
        return shown.size() == tail.size() || shown[shown.size() - tail.size() - 1] == L'\\';
    }

private:
    // Deeper than any folder path the tests browse to.
    static const int kMaxTreeDepth = 64;
    // A folder browser selects its initial folder while it opens; a machine
    // busy with the whole suite can take long to show it.
    static const int kSelectionWaitMs = 30000;
    static const int kSelectionPollMs = 50;

    static HWND TreeOf(HWND dialog)
    {
        HWND tree = nullptr;
        EnumChildWindows(dialog, FindTree, reinterpret_cast<LPARAM>(&tree));
        return tree;
    }

    static std::wstring ItemText(HWND tree, HTREEITEM item)
    {
        if (item == nullptr)
            return std::wstring();
        wchar_t text[MAX_PATH] = {};
        TVITEMW tv = {};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = MAX_PATH;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        text[MAX_PATH - 1] = L'\0';
        return text;
    }

    static BOOL CALLBACK FindDialog(HWND window, LPARAM found)
    {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK FindTree(HWND window, LPARAM found)
    {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (wcscmp(name, WC_TREEVIEWW) == 0) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    // Waits for the tree to select the wanted folder; what it showed last is
    // kept for the test's message.
    void WaitForSelection(HWND dialog)
    {
        const DWORD start = GetTickCount();
        for (;;) {
            lastSelection_ = SelectedTreePath(dialog);
            if (EndsWithItems(lastSelection_, selection_)) {
                selectionSeen_ = true;
                return;
            }
            if (GetTickCount() - start >= static_cast<DWORD>(kSelectionWaitMs) || !IsWindow(dialog))
                return;
            Sleep(kSelectionPollMs);
        }
    }

    void Run()
    {
        for (int i = 0; i < 400; ++i) {
            HWND dialog = nullptr;
            EnumThreadWindows(uiThread_, FindDialog, reinterpret_cast<LPARAM>(&dialog));
            if (dialog != nullptr) {
                if (selection_.empty())
                    Sleep(1000);  // let it settle on its initial folder
                else
                    WaitForSelection(dialog);
                if (!fileNames_.empty()) {
                    // The name field is a combo box (cmb13) or an edit (edt1).
                    if (!SetDlgItemTextW(dialog, 0x47C, fileNames_.c_str()))
                        SetDlgItemTextW(dialog, 0x480, fileNames_.c_str());
                }
                if (whileOpen_)
                    whileOpen_(dialog);
                // Marked before the post: the dialog can close and the test
                // read the mark before this thread runs again.
                pressed_ = true;
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
                return;
            }
            Sleep(50);
        }
    }

    DWORD uiThread_;
    int button_;
    std::wstring fileNames_;
    std::wstring selection_;
    std::function<void(HWND)> whileOpen_;
    std::atomic<bool> pressed_{false};
    bool selectionSeen_ = false;
    std::wstring lastSelection_;
    std::thread worker_;
};

}  // namespace AppTest
