// The option: selection, groups kept by the manager, and the selected
// state's painting.
#include "OptionUI.h"

#include "UiAttrValues.h"
#include "UiPtrArray.h"
#include "UiRender.h"

#include <cwchar>

namespace UiLib {

COptionUI::COptionUI() : selected_(false), selectedBkColor_(0), selectedTextColor_(0)
{
}

COptionUI::~COptionUI()
{
    if (!group_.IsEmpty() && manager_ != nullptr)
        manager_->RemoveOptionGroup(group_.GetData(), this);
}

const wchar_t* COptionUI::GetTypeName() const
{
    return L"OptionUI";
}

void* COptionUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Option") == 0)
        return this;
    return CButtonUI::CastByName(name);
}

bool COptionUI::TryActivate()
{
    if (!CButtonUI::TryActivate())
        return false;
    SetSelected(group_.IsEmpty() ? !selected_ : true);
    return true;
}

void COptionUI::AttachToManager(CUiManager* manager, CControlUI* parent, bool init)
{
    // A group of the manager left behind must not keep pointing at this
    // option. Being detached (null) is no move: the dialog builder lends its
    // manager while attributes are read, and the group must hold meanwhile.
    if (manager != nullptr && manager_ != nullptr && manager_ != manager && !group_.IsEmpty())
        manager_->RemoveOptionGroup(group_.GetData(), this);
    CButtonUI::AttachToManager(manager, parent, init);
    if (init && !group_.IsEmpty() && manager_ != nullptr)
        manager_->AddOptionGroup(group_.GetData(), this);
}

void COptionUI::SetEnabled(bool enabled)
{
    CButtonUI::SetEnabled(enabled);
    if (!IsEnabled())
        state_ = selected_ ? kUiStateSelected : 0;
}

void COptionUI::SetGroup(const wchar_t* group)
{
    if (group == nullptr ? group_.IsEmpty() : group_ == group)
        return;
    if (!group_.IsEmpty() && manager_ != nullptr)
        manager_->RemoveOptionGroup(group_.GetData(), this);
    group_ = group != nullptr ? group : L"";
    if (!group_.IsEmpty() && manager_ != nullptr)
        manager_->AddOptionGroup(group_.GetData(), this);
}

void COptionUI::SetSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    if (selected_)
        state_ |= kUiStateSelected;
    else
        state_ &= ~kUiStateSelected;
    if (manager_ != nullptr) {
        if (group_.IsEmpty()) {
            manager_->SendNotify(this, L"selectchanged");
        } else if (selected_) {
            const CUiPtrArray* members = manager_->GetOptionGroup(group_.GetData());
            for (int i = 0; members != nullptr && i < members->GetSize(); ++i) {
                CControlUI* member = static_cast<CControlUI*>((*members)[i]);
                COptionUI* other = static_cast<COptionUI*>(member->CastByName(L"Option"));
                if (other != nullptr && other != this)
                    other->SetSelected(false);
            }
            manager_->SendNotify(this, L"selectchanged");
        }
    }
    Invalidate();
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"group") == 0)
        SetGroup(value);
    else if (wcscmp(name, L"selected") == 0)
        SetSelected(wcscmp(value, L"true") == 0);
    else if (wcscmp(name, L"selectedimage") == 0)
        SetSelectedImage(value);
    else if (wcscmp(name, L"selectedhotimage") == 0)
        SetSelectedHotImage(value);
    else if (wcscmp(name, L"foreimage") == 0)
        SetOptionForeImage(value);
    else if (wcscmp(name, L"selectedbkcolor") == 0)
        SetSelectedBkColor(ReadHexColor(value));
    else if (wcscmp(name, L"selectedtextcolor") == 0)
        SetSelectedTextColor(ReadHexColor(value));
    else
        CButtonUI::SetAttribute(name, value);
}

bool COptionUI::PaintSelectedState(HDC hdc)
{
    if ((state_ & kUiStateHot) != 0 && !selectedHotImage_.IsEmpty()) {
        if (!PaintImageOnce(hdc, selectedHotImage_))
            CButtonUI::PaintStateImage(hdc);
        return false;
    }
    if (!selectedImage_.IsEmpty()) {
        if (!PaintImageOnce(hdc, selectedImage_))
            CButtonUI::PaintStateImage(hdc);
        return false;
    }
    if (selectedBkColor_ != 0) {
        CUiRender::FillColor(hdc, paintRect_, ApplyHslToColor(selectedBkColor_));
        return true;
    }
    CButtonUI::PaintStateImage(hdc);
    return false;
}

void COptionUI::PaintStateImage(HDC hdc)
{
    // An option shows its selection, never a pushed look.
    state_ &= ~kUiStatePushed;
    if (selected_) {
        if (PaintSelectedState(hdc))
            return;
    } else {
        CButtonUI::PaintStateImage(hdc);
    }
    PaintImageOnce(hdc, optionForeImage_);
}

void COptionUI::PaintText(HDC hdc)
{
    if (!selected_) {
        CButtonUI::PaintText(hdc);
        return;
    }
    // The selected text colour stands in for this paint only.
    const DWORD ownColor = textColor_;
    if (selectedTextColor_ != 0)
        textColor_ = selectedTextColor_;
    TakeDefaultColors();
    if (!text_.IsEmpty()) {
        RECT rc = GetTextRect();
        DrawLabelText(hdc, rc, text_.GetData(), IsEnabled() ? textColor_ : disabledTextColor_, textStyle_);
    }
    textColor_ = ownColor;
}

void COptionUI::SetSelectedImage(const wchar_t* image)
{
    StoreImage(selectedImage_, image);
}

void COptionUI::SetSelectedHotImage(const wchar_t* image)
{
    StoreImage(selectedHotImage_, image);
}

void COptionUI::SetOptionForeImage(const wchar_t* image)
{
    StoreImage(optionForeImage_, image);
}

void COptionUI::SetSelectedBkColor(DWORD color)
{
    selectedBkColor_ = color;
}

void COptionUI::SetSelectedTextColor(DWORD color)
{
    selectedTextColor_ = color;
}

}  // namespace UiLib
