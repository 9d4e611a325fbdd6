// The check box: its own type name over the option.
#include "CheckBoxUI.h"

namespace UiLib {

const wchar_t* CCheckBoxUI::GetTypeName() const
{
    return L"CheckBoxUI";
}

}  // namespace UiLib
