#pragma once
// Controls that a builder test can count while they live, made through a
// builder callback for the made-up element "Counted".
#include "ControlUI.h"
#include "DialogBuilder.h"

#include <cwchar>
#include <string>
#include <vector>

namespace UiTest {

class CountedControl : public UiLib::CControlUI {
public:
    CountedControl() { ++live; }
    ~CountedControl() override { --live; }
    static inline int live = 0;
};

// Records every class it is asked for.
class CountingCallback : public UiLib::IDialogBuilderCallback {
public:
    UiLib::CControlUI* CreateCustomControl(const wchar_t* className) override
    {
        asked.push_back(className);
        return wcscmp(className, L"Counted") == 0 ? new CountedControl : nullptr;
    }
    std::vector<std::wstring> asked;
};

}  // namespace UiTest
