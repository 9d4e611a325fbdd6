#pragma once
// Turns skin markup into a tree of controls attached to a manager: the root
// element's window settings, shared images, fonts and class defaults go to the
// manager, and each other element becomes a control, by a fixed table of
// element names, then the manager's control factories, then the callback.
#include "UiString.h"
#include "XmlDocument.h"

#include "Win32Prelude.h"

namespace UiLib {

class CControlUI;
class CUiManager;

// Creates the controls of markup elements that the builder does not know.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateCustomControl(const wchar_t* className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// The functions kept in CUiManager::GetControlFactories(): a new control for
// the element name, or null when the factory does not know it.
typedef CControlUI* (*UiControlFactory)(const wchar_t* className);

class CDialogBuilder {
public:
    CDialogBuilder();
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // markup: an integer resource id (MAKEINTRESOURCEW, with type), markup
    // text starting with '<', or a skin file name in the resource folder or zip.
    CControlUI* Build(const wchar_t* markup, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
                      CUiManager* manager = nullptr, CControlUI* parent = nullptr);
    CControlUI* BuildWindow(IDialogBuilderCallback* callback = nullptr, CUiManager* manager = nullptr,
                            CControlUI* parent = nullptr);
    CXmlDocument* GetMarkup() { return &markup_; }
    // The controls of node's children, attached to parent: the first one made.
    CControlUI* _Parse(CXmlNode* node, CControlUI* parent, CUiManager* manager);

private:
    // Deepest tree of controls, includes counted in: deeper skins are cut
    // there rather than run out of stack.
    static const int kMaxTreeDepth = 256;
    // Most markups that the Include elements of one build may add, nested
    // includes counted in: a huge count is cut there rather than run for
    // minutes.
    static const int kMaxIncludedBuilds = 100;

    // refused is set when the parent ends the level (no container, no tree).
    CControlUI* ParseLevel(CXmlNode* node, CControlUI* parent, CUiManager* manager, bool* refused);
    // A "TreeNode" element: added under its parent node, or to the parent tree
    // view; false when the parent is neither, which ends the level.
    bool BuildTreeNode(CXmlNode& node, CControlUI* parent, CUiManager* manager);
    bool LoadFromResource(const wchar_t* id, const wchar_t* type);
    bool IsIncluding(const CUiString& source) const;
    void ApplySharedResource(CXmlNode& node, CUiManager* manager);
    static void ApplyWindowAttributes(CXmlNode& root, CUiManager* manager);
    CControlUI* CreateControl(const wchar_t* className);
    // Builds the included markup into parent; its roots are not a control of
    // this level.
    void BuildInclude(CXmlNode& node, CControlUI* parent, CUiManager* manager);

    CXmlDocument markup_;
    IDialogBuilderCallback* callback_;
    const wchar_t* resourceType_;
    CUiString source_;                // file name or "#id" of the markup, for includes
    const CDialogBuilder* includer_;  // the builder whose Include made this one
    int treeDepth_;                   // levels of _Parse running, includers' counted
    int includedBuilds_;              // of the outermost builder: includes built so far
};

}  // namespace UiLib
