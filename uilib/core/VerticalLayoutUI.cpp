#include "VerticalLayoutUI.h"

#include <cwchar>

namespace UiLib {

CVerticalLayoutUI::CVerticalLayoutUI() : CLineLayoutUI(true, L"sepheight")
{
}

const wchar_t* CVerticalLayoutUI::GetTypeName() const
{
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"VerticalLayout") == 0)
        return static_cast<CVerticalLayoutUI*>(this);
    return CLineLayoutUI::CastByName(name);
}

void CVerticalLayoutUI::SetBounds(const RECT& rc)
{
    CControlUI::SetBounds(rc);
    const CUiRect client = GetClientArea();
    SIZE required = {0, 0};
    if (!children_.IsEmpty())
        required.cy = ArrangeChildren(client);
    UpdateScrollBars(client, required);
}

}  // namespace UiLib
