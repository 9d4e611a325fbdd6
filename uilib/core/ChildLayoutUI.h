#pragma once
// The layout that fills itself from a separate markup file when it is
// initialised.
#include "ContainerUI.h"

namespace UiLib {

class CChildLayoutUI : public CContainerUI {
public:
    CChildLayoutUI();

    const wchar_t* GetTypeName() const override;
    void* CastByName(const wchar_t* name) override;
    void RunInit() override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    const CUiString& GetMarkupFile() const { return markupFile_; }
    void SetMarkupFile(const wchar_t* file);

private:
    CUiString markupFile_;
};

}  // namespace UiLib
