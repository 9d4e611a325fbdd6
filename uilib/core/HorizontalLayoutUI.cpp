#include "HorizontalLayoutUI.h"

#include <cwchar>

namespace UiLib {

CHorizontalLayoutUI::CHorizontalLayoutUI() : CLineLayoutUI(false, L"sepwidth")
{
}

const wchar_t* CHorizontalLayoutUI::GetTypeName() const
{
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"HorizontalLayout") == 0)
        return static_cast<CHorizontalLayoutUI*>(this);
    return CLineLayoutUI::CastByName(name);
}

void CHorizontalLayoutUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    // The scroll bars narrow the client area only once there is content.
    if (children_.IsEmpty()) {
        UpdateScrollBars(GetInsetRect(), SIZE{0, 0});
        return;
    }
    const CUiRect client = GetClientArea();
    const SIZE required = {ArrangeChildren(client), 0};
    UpdateScrollBars(client, required);
}

}  // namespace UiLib
