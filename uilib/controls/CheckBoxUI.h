#pragma once
// A check box: an option under its own type name, whose check state is the
// option's selection.
#include "OptionUI.h"

namespace UiLib {

class CCheckBoxUI : public COptionUI {
public:
    const wchar_t* GetTypeName() const override;

    bool GetCheck() const { return IsSelected(); }
};

}  // namespace UiLib
