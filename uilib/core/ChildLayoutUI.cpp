#include "ChildLayoutUI.h"

#include "DialogBuilder.h"

#include <cwchar>

namespace UiLib {

CChildLayoutUI::CChildLayoutUI()
{
}

const wchar_t* CChildLayoutUI::GetTypeName() const
{
    return L"ChildLayoutUI";
}

void* CChildLayoutUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ChildLayout") == 0)
        return static_cast<CChildLayoutUI*>(this);
    // Its children come from its own file: it does not offer itself as a
    // container to be filled from outside.
    return CControlUI::CastByName(name);
}

void CChildLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (wcscmp(name, L"xmlfile") == 0)
        SetMarkupFile(value);
    else
        CContainerUI::SetAttribute(name, value);
}

void CChildLayoutUI::SetMarkupFile(const wchar_t* file)
{
    markupFile_ = file != nullptr ? file : L"";
}

void CChildLayoutUI::RunInit()
{
    if (markupFile_.IsEmpty())
        return;
    CDialogBuilder builder;
    CControlUI* built = builder.Build(markupFile_.GetData(), nullptr, nullptr, manager_, nullptr);
    // The built tree is the only child, also when the layout is initialised
    // again.
    RemoveAll();
    if (built != nullptr)
        static_cast<IContainerUI*>(this)->Add(built);
}

}  // namespace UiLib
