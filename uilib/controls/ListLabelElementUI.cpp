#include "ListLabelElementUI.h"

#include "UiGdi.h"
#include "UiRender.h"

#include <cwchar>

namespace UiLib {

namespace {

const int kRowMargin = 8;
const int kMeasureWidth = 9999;

RECT LessPadding(const RECT& rc, const RECT& padding)
{
    return RECT{rc.left + padding.left, rc.top + padding.top, rc.right - padding.right, rc.bottom - padding.bottom};
}

}  // namespace

const wchar_t* CListLabelElementUI::GetTypeName() const
{
    return L"ListLabelElementUI";
}

void* CListLabelElementUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"ListLabelElement") == 0)
        return static_cast<CListLabelElementUI*>(this);
    return CListElementUI::CastByName(name);
}

void CListLabelElementUI::ProcessEvent(UiEvent& event)
{
    if (PassedOnAsMouseEvent(event))
        return;
    if (HandleListRowMouse(*this, row_, event))
        return;
    CListElementUI::ProcessEvent(event);
}

int CListLabelElementUI::DefaultRowHeight(const UiListInfo& info) const
{
    return manager_->GetFontInfo(info.font)->metrics.tmHeight + info.textPadding.top + info.textPadding.bottom +
           kRowMargin;
}

SIZE CListLabelElementUI::MeasureSize(SIZE /*available*/)
{
    const UiListInfo* info = ListInfo();
    if (info == nullptr)
        return SIZE{0, 0};
    SIZE size = {fixedWidth_, fixedHeight_};
    if (manager_ == nullptr)
        return size;
    if (size.cy == 0)
        size.cy = DefaultRowHeight(*info);
    if (size.cx == 0) {
        RECT rc = {0, 0, kMeasureWidth, size.cy};
        const UINT style = (info->textStyle & ~(DT_LEFT | DT_CENTER | DT_RIGHT)) | DT_CALCRECT | DT_SINGLELINE;
        ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
        if (info->showHtml) {
            int links = 0;
            CUiRender::DrawMarkupText(dc.get(), manager_, rc, text_.GetData(), 0, nullptr, nullptr, links, style);
        } else {
            CUiRender::DrawPlainText(dc.get(), manager_, rc, text_.GetData(), 0, info->font, style);
        }
        size.cx = rc.right - rc.left + info->textPadding.left + info->textPadding.right;
    }
    return size;
}

void CListLabelElementUI::Paint(HDC hdc, const RECT& dirty)
{
    RECT paint;
    if (!IntersectRect(&paint, &dirty, &itemRect_))
        return;
    paintRect_ = paint;
    PaintListRowBackground(*this, hdc, row_);
    DrawItemText(hdc, itemRect_);
}

void CListLabelElementUI::DrawItemText(HDC hdc, const RECT& rc)
{
    UiListInfo* info = ListInfo();
    if (info == nullptr || text_.IsEmpty())
        return;
    RECT area = LessPadding(rc, info->textPadding);
    const DWORD color = ListRowTextColor(*this, row_, *info);
    const UINT style = info->textStyle | DT_SINGLELINE;
    if (info->showHtml) {
        int links = 0;
        CUiRender::DrawMarkupText(hdc, manager_, area, text_.GetData(), color, nullptr, nullptr, links, style);
    } else {
        CUiRender::DrawPlainText(hdc, manager_, area, text_.GetData(), color, info->font, style);
    }
}

}  // namespace UiLib
