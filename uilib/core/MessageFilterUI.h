#pragma once
// A window-message filter that the manager asks before (pre-message filters)
// or while (message filters) it handles a message. Setting handled to true
// takes the message; the returned value is then its result.
#include "Win32Prelude.h"

namespace UiLib {

class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

}  // namespace UiLib
