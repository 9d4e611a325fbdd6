// Multi-line text with clickable links: measuring, painting and the link
// hit tests.
#include "TextUI.h"

#include "UiRender.h"

#include <algorithm>
#include <cwchar>

namespace UiLib {

namespace {

const int kMeasureHeight = 9999;
const LONG kDefaultSidePadding = 2;

}  // namespace

CTextUI::CTextUI() : linkCount_(0), linkRects_(), linkTexts_(), hoveredLink_(-1)
{
    textStyle_ = DT_WORDBREAK;
    textPadding_.left = kDefaultSidePadding;
    textPadding_.right = kDefaultSidePadding;
}

CTextUI::~CTextUI() = default;

const wchar_t* CTextUI::GetTypeName() const
{
    return L"TextUI";
}

void* CTextUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Text") == 0)
        return this;
    return CLabelUI::CastByName(name);
}

UINT CTextUI::GetInputFlags()
{
    return IsEnabled() && linkCount_ > 0 ? kUiFlagSetCursor : 0;
}

CUiString CTextUI::GetLinkText(int index) const
{
    if (index < 0 || index >= linkCount_)
        return CUiString();
    return linkTexts_[index];
}

RECT CTextUI::GetLinkRect(int index) const
{
    if (index < 0 || index >= linkCount_)
        return RECT{0, 0, 0, 0};
    return linkRects_[index];
}

int CTextUI::FindLinkAt(POINT pt) const
{
    for (int i = 0; i < linkCount_; ++i) {
        if (PtInRect(&linkRects_[i], pt))
            return i;
    }
    return -1;
}

void CTextUI::ProcessEvent(UiEvent& event)
{
    if (PassMouseEventUp(event))
        return;
    const int link = FindLinkAt(event.mouse);
    switch (event.type) {
    case kUiEventSetCursor:
        if (link >= 0) {
            ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return;
        }
        break;
    case kUiEventButtonDown:
    case kUiEventDoubleClick:
        if (link >= 0 && (event.type == kUiEventButtonDown || IsEnabled())) {
            Invalidate();
            return;
        }
        break;
    case kUiEventButtonUp:
        if (link >= 0 && IsEnabled()) {
            if (manager_ != nullptr)
                manager_->SendNotify(this, L"link", static_cast<WPARAM>(link));
            return;
        }
        break;
    case kUiEventContextMenu:
        return;
    case kUiEventMouseMove:
        if (linkCount_ > 0 && IsEnabled() && link != hoveredLink_) {
            hoveredLink_ = link;
            Invalidate();
            return;
        }
        break;
    case kUiEventMouseLeave:
        if (linkCount_ > 0 && IsEnabled() && hoveredLink_ != -1) {
            hoveredLink_ = -1;
            Invalidate();
            return;
        }
        break;
    default:
        break;
    }
    CLabelUI::ProcessEvent(event);
}

SIZE CTextUI::MeasureSize(SIZE available)
{
    if (manager_ == nullptr)
        return CControlUI::MeasureSize(available);
    RECT rc = {textPadding_.left, 0, std::max<LONG>(fixedWidth_, available.cx) - textPadding_.right, kMeasureHeight};
    // A manager without a window has no DC to measure on.
    const HDC dc = manager_->GetPaintDC();
    if (dc == nullptr)
        return CControlUI::MeasureSize(available);
    const UINT style = textStyle_ | DT_CALCRECT;
    if (showHtml_) {
        int links = 0;
        CUiRender::DrawMarkupText(dc, manager_, rc, text_.GetData(), 0, nullptr, nullptr, links, style);
    } else {
        CUiRender::DrawPlainText(dc, manager_, rc, text_.GetData(), 0, font_, style);
    }
    SIZE size = {rc.right - rc.left + textPadding_.left + textPadding_.right,
                 rc.bottom - rc.top + textPadding_.top + textPadding_.bottom};
    if (fixedHeight_ != 0)
        size.cy = fixedHeight_;
    return size;
}

void CTextUI::PaintText(HDC hdc)
{
    if (text_.IsEmpty()) {
        linkCount_ = 0;
        return;
    }
    TakeDefaultColors();
    RECT rc = GetTextRect();
    const DWORD color = IsEnabled() ? textColor_ : disabledTextColor_;
    if (showHtml_) {
        linkCount_ = kMaxLinks;
        CUiRender::DrawMarkupText(hdc, manager_, rc, text_.GetData(), color, linkRects_, linkTexts_, linkCount_,
                                  textStyle_);
    } else {
        linkCount_ = 0;
        CUiRender::DrawPlainText(hdc, manager_, rc, text_.GetData(), color, font_, textStyle_);
    }
}

}  // namespace UiLib
