#pragma once
// The program's own message loop for tests that drive its main window: every
// queued message goes through the window's filter (CUiManager's translation)
// before it is dispatched, as CUiManager::MessageLoop does it, so a message
// reaches the window whether the filter or the window procedure handles it.
#include "UiManager.h"

#include "Win32Prelude.h"

namespace AppTest {

class ProgramLoop {
public:
    // Returns true for a message the test wants lost on its way.
    using DropFilter = bool (*)(const MSG& msg);

    void SetDropFilter(DropFilter filter) { drop_ = filter; }
    // The quit messages seen: the main window posts one when it is gone.
    int QuitMessages() const { return quitMessages_; }

    void Pump(DWORD milliseconds)
    {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    ++quitMessages_;
                    continue;
                }
                if (drop_ != nullptr && drop_(msg))
                    continue;
                if (!UiLib::CUiManager::TranslateMessage(&msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
            Sleep(5);
        } while (GetTickCount() - start < milliseconds);
    }

    // Pumps until done() or the time is up; the last answer of done().
    template <class Done>
    bool PumpUntil(Done done, DWORD milliseconds)
    {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > milliseconds)
                return done();
            Pump(10);
        }
        return true;
    }

private:
    DropFilter drop_ = nullptr;
    int quitMessages_ = 0;
};

}  // namespace AppTest
