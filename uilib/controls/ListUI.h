#pragma once
// The skinned list: a column header above a scrolling body of rows. To the
// rest of the library it is one container whose child operations reach the
// rows; it owns the rows' appearance record, keeps the selection and the
// column rects, and answers keys and the wheel.
#include "ListInterfaces.h"
#include "VerticalLayoutUI.h"

namespace UiLib {

class CListBodyUI;
class CListHeaderUI;

class CListUI : public CVerticalLayoutUI, public IListUI {
public:
    CListUI();
    ~CListUI() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    UINT GetInputFlags() override;
    void SetBounds(const RECT& rc) override;
    void ProcessEvent(UiEvent& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // The rows, through the body.
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    // Scrolling and spacing are the body's.
    int GetChildPadding() const override;
    void SetChildPadding(int padding) override;
    SIZE GetScrollPos() const override;
    SIZE GetScrollRange() const override;
    void SetScrollPos(SIZE pos) override;
    void LineUp() override;
    void LineDown() override;
    void PageUp() override;
    void PageDown() override;
    void ScrollToTop() override;
    void ScrollToBottom() override;
    void LineLeft() override;
    void LineRight() override;
    void PageLeft() override;
    void PageRight() override;
    void ScrollToLeft() override;
    void ScrollToRight() override;
    void EnableScrollBars(bool vertical = true, bool horizontal = false) override;
    CScrollBarUI* GetVerticalScrollBar() const override;
    CScrollBarUI* GetHorizontalScrollBar() const override;

    UiListInfo* GetListInfo() override;
    int GetSelectedIndex() const override;
    bool SelectItem(int index, bool takeFocus = false) override;
    CContainerUI* GetHeader() const override;
    CContainerUI* GetBody() const override;
    IListCallbackUI* GetTextCallback() const override;
    void SetTextCallback(IListCallbackUI* callback) override;
    bool ExpandItem(int index, bool expand = true) override;
    int GetExpandedIndex() const override;

    bool IsScrollSelect() const { return scrollSelect_; }
    void SetScrollSelect(bool scrollSelect) { scrollSelect_ = scrollSelect; }
    // Scrolls the body so that the row at index is in view.
    void EnsureVisible(int index);
    // Moves the header items left by dx and copies their rects into the
    // column rects; the header itself is not laid out again.
    void MoveColumns(int dx);
    // Called once the header and the body are laid out: copies the items'
    // rects, shifted by the body's horizontal scroll position, into the
    // column rects.
    void TakeColumnsFromHeader();
    // After a layout of the body alone, whose horizontal position may have
    // been clamped or reset: the header items follow it.
    void FollowBodyScroll();
    // True while the list lays out its header and body; they then leave the
    // columns to the list.
    bool IsLayingOut() const { return layingOut_; }

private:
    bool IsHeader(CControlUI* control) const;
    static bool IsHeaderItem(CControlUI* control);
    bool AddHeader(CControlUI* control);
    bool AddHeaderItem(CControlUI* control, int index);
    void UpdateColumnCount();
    void RenumberRows(int first, int last);
    bool RemoveRowAt(int index);
    // Up, Down, Home and End: the nearest selectable row from start.
    void SelectNearest(int start, bool forward);
    bool ProcessKey(const UiEvent& event);

    bool scrollSelect_;
    int selected_;
    int expanded_;
    IListCallbackUI* callback_;
    CListBodyUI* body_;
    CListHeaderUI* header_;
    UiListInfo info_;
    bool layingOut_ = false;
    // How far the header items are now shifted left of their laid-out place.
    int columnsOffset_ = 0;
};

}  // namespace UiLib
