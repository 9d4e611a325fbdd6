#include "ChildLayoutUI.h"

#include "DialogBuilder.h"
#include "UiTrace.h"

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
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"xmlfile") == 0)
        SetMarkupFile(value);
    else
        CContainerUI::SetAttribute(name, value);
}

void CChildLayoutUI::SetMarkupFile(const wchar_t* file)
{
    markupFile_ = file != nullptr ? file : L"";
}

namespace {

// Each child layout builds its file with a builder of its own, and a child
// layout inside that file builds while the outer one adds the result: the
// builders' depth guards never see this nesting. The child layouts building
// right now, outermost first, and how many the outermost one has set off.
const int kMaxChildLayoutNesting = 8;
const int kMaxChildLayoutBuilds = 100;
const CUiString* g_building[kMaxChildLayoutNesting];
int g_buildingDepth = 0;
int g_buildsOfOutermost = 0;

// Why the file must not be built here, or null when it may.
const wchar_t* RefusalOf(const CUiString& file)
{
    if (g_buildingDepth >= kMaxChildLayoutNesting)
        return L"ChildLayout skipped, nested too deeply:%s";
    for (int i = 0; i < g_buildingDepth; ++i) {
        if (*g_building[i] == file)
            return L"ChildLayout skipped, it contains itself:%s";
    }
    if (g_buildsOfOutermost >= kMaxChildLayoutBuilds)
        return L"ChildLayout skipped, too many built:%s";
    return nullptr;
}

}  // namespace

void CChildLayoutUI::RunInit()
{
    if (markupFile_.IsEmpty())
        return;
    if (g_buildingDepth == 0)
        g_buildsOfOutermost = 0;
    if (const wchar_t* refusal = RefusalOf(markupFile_)) {
        UiTrace(refusal, markupFile_.GetData());
        RemoveAll();
        return;
    }
    ++g_buildsOfOutermost;
    g_building[g_buildingDepth++] = &markupFile_;
    CDialogBuilder builder;
    CControlUI* built = builder.Build(markupFile_.GetData(), nullptr, nullptr, manager_, nullptr);
    // The built tree is the only child, also when the layout is initialised
    // again.
    RemoveAll();
    if (built != nullptr)
        static_cast<IContainerUI*>(this)->Add(built);
    --g_buildingDepth;
}

}  // namespace UiLib
