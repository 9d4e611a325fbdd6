#pragma once
// A skinned window whose skin source, folder and markup a test chooses, and
// which makes made-up controls that report the type names of the clickable
// controls of the controls library.
#include "ControlUI.h"
#include "WindowImplBase.h"

#include <string>
#include <vector>

namespace UiTest {

class TypedControl : public UiLib::CControlUI {
public:
    explicit TypedControl(const wchar_t* type) : type_(type) {}
    const wchar_t* GetTypeName() const override { return type_; }

private:
    const wchar_t* type_;
};

class SkinWindow : public UiLib::WindowImplBase {
public:
    SkinWindow(int source, const wchar_t* folder, const wchar_t* markup, const wchar_t* zip = L"")
        : source_(source), folder_(folder), markup_(markup), zip_(zip)
    {
    }

    const wchar_t* GetRegisteredClassName() const override { return L"UiTestSkinWindow"; }
    UiLib::CUiString GetSkinMarkupName() override { return UiLib::CUiString(markup_.c_str()); }
    UiLib::CUiString GetSkinDirectory() override { return UiLib::CUiString(folder_.c_str()); }
    int GetSkinSource() override { return source_; }
    UiLib::CUiString GetSkinZipName() override { return UiLib::CUiString(zip_.c_str()); }
    void OnSkinLoaded() override { ++skinLoaded; }
    void OnClick(UiLib::UiNotify& notify) override { clicks.push_back(notify.sender->GetName().GetData()); }
    UiLib::CControlUI* CreateCustomControl(const wchar_t* className) override
    {
        if (wcscmp(className, L"FakeButton") == 0)
            return new TypedControl(L"ButtonUI");
        if (wcscmp(className, L"FakeOption") == 0)
            return new TypedControl(L"optionui");
        if (wcscmp(className, L"FakeLabel") == 0)
            return new TypedControl(L"LabelUI");
        return nullptr;
    }

    int skinLoaded = 0;
    std::vector<std::wstring> clicks;

private:
    int source_;
    std::wstring folder_;
    std::wstring markup_;
    std::wstring zip_;
};

}  // namespace UiTest
