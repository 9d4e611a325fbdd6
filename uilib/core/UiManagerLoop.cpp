// The UI thread's message loop: before a queued message is dispatched, the
// manager of its window (for a child window, of the nearest skinned ancestor)
// gets to run its accelerators and its pre-dispatch step.
#include "UiManager.h"

namespace UiLib {

namespace {

bool IsSelfOrAncestor(HWND candidate, HWND window)
{
    for (HWND w = window; w != nullptr; w = GetParent(w)) {
        if (w == candidate)
            return true;
    }
    return false;
}

}  // namespace

bool CUiManager::TranslateAccelerator(MSG* msg)
{
    for (int i = 0; i < accelerators_.GetSize(); ++i) {
        if (static_cast<ITranslateAccelerator*>(accelerators_[i])->TranslateAccel(msg) == 0)
            return true;
    }
    return false;
}

bool CUiManager::TranslateMessage(MSG* msg)
{
    if (msg == nullptr || msg->hwnd == nullptr)
        return false;
    const bool child = (GetWindowLongPtrW(msg->hwnd, GWL_STYLE) & WS_CHILD) != 0;
    CUiManager* found = nullptr;
    for (int i = 0; i < managers_.GetSize() && found == nullptr; ++i) {
        CUiManager* manager = static_cast<CUiManager*>(managers_[i]);
        const HWND window = manager->GetWindow();
        if (window != nullptr && (child ? IsSelfOrAncestor(window, msg->hwnd) : window == msg->hwnd))
            found = manager;
    }
    if (found == nullptr)
        return false;
    // The translators see the record itself: what one changes is what the
    // pre-dispatch step and the loop go on with.
    if (found->TranslateAccelerator(msg))
        return true;
    LRESULT result = 0;
    return found->PreDispatchMessage(msg->message, msg->wParam, msg->lParam, result);
}

void CUiManager::MessageLoop()
{
    MSG msg = {};
    // GetMessage answers -1 on failure; the loop then ends as on quit
    // rather than spinning on the same error.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace UiLib
