#pragma once
// The layout that shows one of its children (a page) at a time.
#include "ContainerUI.h"

namespace UiLib {

class CTabLayoutUI : public CContainerUI {
public:
    CTabLayoutUI();

    bool Add(CControlUI* page) override;
    bool AddAt(CControlUI* page, int index) override;
    bool Remove(CControlUI* page) override;
    void RemoveAll() override;

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void SetBounds(const RECT& rc) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    int GetSelectedIndex() const { return selected_; }
    bool SelectItem(int index);

private:
    int selected_;
};

}  // namespace UiLib
