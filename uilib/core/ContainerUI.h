#pragma once
// The control that holds other controls: it owns them, keeps an inset and a
// child padding for the layouts, may carry scroll bars and scrolls its
// children with them, and places floating children.
#include "ControlUI.h"
#include "UiPtrArray.h"

namespace UiLib {

class CScrollBarUI;

// The child list that every container exposes.
class IContainerUI {
public:
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual bool SetItemIndex(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void AttachToManager(CUiManager* manager, CControlUI* parent, bool init = true) override;
    void SetBounds(const RECT& rc) override;
    void SetShown(bool visible = true) override;
    void SetShownByParent(bool visible = true) override;
    void SetMouseEnabled(bool enabled = true) override;
    CControlUI* Search(UiFindControlProc proc, void* data, UINT flags) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(HDC hdc, const RECT& dirty) override;

    virtual RECT GetInset() const;
    virtual void SetInset(const RECT& inset);
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int padding);
    virtual bool IsAutoDelete() const;
    virtual void SetAutoDelete(bool autoDelete);
    virtual bool IsDeferredDelete() const;
    virtual void SetDeferredDelete(bool deferred);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool enabled = true);
    virtual int NearestSelectableItem(int index, bool forward = true);
    virtual SIZE GetScrollPos() const;
    virtual SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE pos);
    virtual void LineUp();
    virtual void LineDown();
    virtual void PageUp();
    virtual void PageDown();
    virtual void ScrollToTop();
    virtual void ScrollToBottom();
    virtual void LineLeft();
    virtual void LineRight();
    virtual void PageLeft();
    virtual void PageRight();
    virtual void ScrollToLeft();
    virtual void ScrollToRight();
    virtual void EnableScrollBars(bool vertical = true, bool horizontal = false);
    virtual CScrollBarUI* GetVerticalScrollBar() const;
    virtual CScrollBarUI* GetHorizontalScrollBar() const;
    virtual void PlaceFloatingChild(int index);
    virtual void UpdateScrollBars(const RECT& client, SIZE required);

protected:
    // The container's own children, whatever a derived class makes the
    // child-list interface answer (a list hands its rows' operations to its
    // body); layout, painting and hit testing walk these.
    CControlUI* ChildAt(int index) const { return static_cast<CControlUI*>(children_.GetAt(index)); }
    // The item rect less the inset; the client area is that less the shown
    // scroll bars (the vertical one on the right, the horizontal one below).
    CUiRect GetInsetRect() const;
    CUiRect GetClientArea() const;
    // True when the child at index takes no part in a layout: it is hidden,
    // or it is floating and has been placed by its own offsets here.
    bool PlaceApart(int index);

    CUiPtrArray children_;
    CUiRect inset_;
    int childPadding_;
    bool autoDelete_;
    bool deferredDelete_;
    bool mouseChild_;
    bool scrollRelayoutGuard_;
    CScrollBarUI* verticalBar_;
    CScrollBarUI* horizontalBar_;
};

}  // namespace UiLib
