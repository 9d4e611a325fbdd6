#include "ActiveXWnd.h"

#include "ActiveXCtrl.h"
#include "ActiveXUI.h"

namespace UiLib {

CActiveXWnd::CActiveXWnd(CActiveXCtrl* owner) : owner_(owner)
{
}

HWND CActiveXWnd::Init(HWND parent)
{
    return Create(parent, L"UIActiveX", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0, 0, 0);
}

const wchar_t* CActiveXWnd::GetRegisteredClassName() const
{
    return L"ActiveXWnd";
}

UINT CActiveXWnd::GetRegisteredClassStyle() const
{
    return 0;
}

void CActiveXWnd::OnWindowGone(HWND)
{
    if (owner_ != nullptr)
        owner_->OnHostWindowGone();
    delete this;
}

void CActiveXWnd::DoVerb(LONG verb)
{
    CActiveXUI* control = owner_ != nullptr ? owner_->GetOwner() : nullptr;
    if (control == nullptr || control->object_ == nullptr)
        return;
    CUiManager* manager = control->GetOwnerManager();
    const HWND parent = manager != nullptr ? manager->GetWindow() : GetParent(window_);
    RECT rc = control->GetBounds();
    control->object_->DoVerb(verb, nullptr, owner_, 0, parent, &rc);
}

void CActiveXWnd::OnSetFocus()
{
    owner_->SetFocused(true);
    if (!owner_->IsUiActive())
        DoVerb(OLEIVERB_UIACTIVATE);
}

LRESULT CActiveXWnd::OnMouseActivate(WPARAM wParam, LPARAM lParam)
{
    CActiveXUI* control = owner_->GetOwner();
    if (control != nullptr && control->object_ != nullptr) {
        DWORD status = 0;
        control->object_->GetMiscStatus(DVASPECT_CONTENT, &status);
        if ((status & OLEMISC_NOUIACTIVATE) == 0 && !owner_->IsInPlaceActive())
            DoVerb(OLEIVERB_INPLACEACTIVATE);
    }
    return CWindowWnd::ProcessMessage(WM_MOUSEACTIVATE, wParam, lParam);
}

LRESULT CActiveXWnd::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (owner_ == nullptr)
        return CWindowWnd::ProcessMessage(message, wParam, lParam);
    switch (message) {
    case WM_SETFOCUS:
        OnSetFocus();
        return 0;
    case WM_KILLFOCUS:
        owner_->SetFocused(false);
        return 0;
    case WM_PAINT: {
        // The object paints its own window; the host only validates.
        PAINTSTRUCT ps;
        BeginPaint(window_, &ps);
        EndPaint(window_, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        if (owner_->GetViewObject() != nullptr)
            return 1;
        break;
    case WM_MOUSEACTIVATE:
        return OnMouseActivate(wParam, lParam);
    case WM_MOUSEWHEEL:
        return 0;
    default:
        break;
    }
    return CWindowWnd::ProcessMessage(message, wParam, lParam);
}

}  // namespace UiLib
