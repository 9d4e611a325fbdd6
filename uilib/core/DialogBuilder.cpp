#include "DialogBuilder.h"

#include "ActiveXUI.h"
#include "ButtonUI.h"
#include "CheckBoxUI.h"
#include "ChildLayoutUI.h"
#include "ComboBoxUI.h"
#include "ComboUI.h"
#include "ContainerUI.h"
#include "ControlUI.h"
#include "DateTimeUI.h"
#include "EditUI.h"
#include "HorizontalLayoutUI.h"
#include "LabelUI.h"
#include "ListContainerElementUI.h"
#include "ListHeaderItemUI.h"
#include "ListHeaderUI.h"
#include "ListLabelElementUI.h"
#include "ListTextElementUI.h"
#include "ListUI.h"
#include "OptionUI.h"
#include "ProgressUI.h"
#include "RichEditUI.h"
#include "ScrollBarUI.h"
#include "SliderUI.h"
#include "TabLayoutUI.h"
#include "TextUI.h"
#include "TileLayoutUI.h"
#include "TreeNodeUI.h"
#include "TreeViewUI.h"
#include "VerticalLayoutUI.h"
#include "WebBrowserUI.h"
#include "UiAttrValues.h"
#include "UiManager.h"
#include "UiTrace.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <wchar.h>

namespace UiLib {

namespace {

// Longest "source" of an Include element, without its terminator.
const int kMaxIncludeSource = 499;

template <class T>
CControlUI* NewControl()
{
    return new T;
}

struct ElementClass {
    const wchar_t* element;
    CControlUI* (*create)();
};

// The elements whose classes the library holds; other names go to the
// control factories and then to the caller's callback.
const ElementClass kElementClasses[] = {
    {L"Control", NewControl<CControlUI>},
    {L"Container", NewControl<CContainerUI>},
    {L"VerticalLayout", NewControl<CVerticalLayoutUI>},
    {L"HorizontalLayout", NewControl<CHorizontalLayoutUI>},
    {L"TileLayout", NewControl<CTileLayoutUI>},
    {L"TabLayout", NewControl<CTabLayoutUI>},
    {L"ChildLayout", NewControl<CChildLayoutUI>},
    {L"Label", NewControl<CLabelUI>},
    {L"Text", NewControl<CTextUI>},
    {L"Button", NewControl<CButtonUI>},
    {L"Option", NewControl<COptionUI>},
    {L"CheckBox", NewControl<CCheckBoxUI>},
    {L"Edit", NewControl<CEditUI>},
    {L"RichEdit", NewControl<CRichEditUI>},
    {L"ScrollBar", NewControl<CScrollBarUI>},
    {L"Progress", NewControl<CProgressUI>},
    {L"Slider", NewControl<CSliderUI>},
    {L"Combo", NewControl<CComboUI>},
    {L"ComboBox", NewControl<CComboBoxUI>},
    {L"DateTime", NewControl<CDateTimeUI>},
    {L"List", NewControl<CListUI>},
    {L"ListHeader", NewControl<CListHeaderUI>},
    {L"ListHeaderItem", NewControl<CListHeaderItemUI>},
    {L"ListTextElement", NewControl<CListTextElementUI>},
    {L"ListLabelElement", NewControl<CListLabelElementUI>},
    {L"ListContainerElement", NewControl<CListContainerElementUI>},
    {L"TreeView", NewControl<CTreeViewUI>},
    {L"ActiveX", NewControl<CActiveXUI>},
    {L"WebBrowser", NewControl<CWebBrowserUI>},
};

bool IsName(const wchar_t* name, const wchar_t* expected)
{
    return name != nullptr && wcscmp(name, expected) == 0;
}

bool IsTrue(const wchar_t* value)
{
    return IsName(value, L"true");
}

// The value of the first attribute called name, or null.
const wchar_t* AttributeOf(CXmlNode& node, const wchar_t* name)
{
    const int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i) {
        if (IsName(node.GetAttributeName(i), name))
            return node.GetAttributeValue(i);
    }
    return nullptr;
}

int DecimalOf(const wchar_t* value, int fallback)
{
    return value != nullptr ? static_cast<int>(wcstol(value, nullptr, 10)) : fallback;
}

// "cx,cy"; a missing number is 0.
SIZE ReadPair(const wchar_t* value)
{
    long pair[2] = {};
    ReadNumberList(value, pair, 2);
    return SIZE{pair[0], pair[1]};
}

// Resource ids read as "#id" in the traces; named resources by their name.
CUiString ResourceLabel(const wchar_t* id)
{
    if (!IS_INTRESOURCE(id))
        return CUiString(id);
    wchar_t text[16] = {};
    wnsprintfW(text, ARRAYSIZE(text), L"#%u", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(id)));
    return CUiString(text);
}

void ApplyControlAttributes(CXmlNode& node, CControlUI* control, CUiManager* manager)
{
    // The control is lent the manager while its attributes are read (fonts,
    // images and colours come from it) and then given back what it had, so
    // that the later SetRoot or Add attaches the whole tree at once.
    CUiManager* const ownManager = control->GetOwnerManager();
    CControlUI* const ownParent = control->GetParentControl();
    control->AttachToManager(manager, ownParent, false);
    const wchar_t* defaults = manager->GetClassDefaults(node.GetName());
    if (defaults != nullptr)
        control->ApplyAttributeString(defaults);
    const int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i)
        control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    control->AttachToManager(ownManager, ownParent, false);
}

}  // namespace

CDialogBuilder::CDialogBuilder()
    : callback_(nullptr), resourceType_(nullptr), includer_(nullptr), treeDepth_(0), includedBuilds_(0)
{
}

CControlUI* CDialogBuilder::Build(const wchar_t* markup, const wchar_t* type, IDialogBuilderCallback* callback,
                                  CUiManager* manager, CControlUI* parent)
{
    if (IS_INTRESOURCE(markup)) {
        callback_ = callback;
        if (!LoadFromResource(markup, type))
            return nullptr;
    } else if (markup[0] == L'<') {
        if (!markup_.LoadText(markup)) {
            UiTrace(L"xml Load faild:%s", markup);
            return nullptr;
        }
    } else {
        source_ = markup;
        if (!markup_.LoadFile(markup, kXmlUtf8)) {
            UiTrace(L"xml LoadFromFile faild:%s", markup);
            return nullptr;
        }
    }
    return BuildWindow(callback, manager, parent);
}

bool CDialogBuilder::LoadFromResource(const wchar_t* id, const wchar_t* type)
{
    const HINSTANCE instance = CUiManager::GetResourceInstance();
    const HRSRC found = FindResourceW(instance, id, type);
    if (found == nullptr) {
        UiTrace(L"FindResource null:%s", ResourceLabel(id).GetData());
        return false;
    }
    const HGLOBAL loaded = ::LoadResource(instance, found);
    const BYTE* bytes = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        UiTrace(L"LoadResource null:%s", ResourceLabel(id).GetData());
        return false;
    }
    const bool parsed = markup_.LoadBuffer(bytes, SizeofResource(instance, found), kXmlUtf8);
    if (parsed) {
        resourceType_ = type;
        source_ = ResourceLabel(id);
    }
    return parsed;
}

CControlUI* CDialogBuilder::BuildWindow(IDialogBuilderCallback* callback, CUiManager* manager, CControlUI* parent)
{
    callback_ = callback;
    CXmlNode root = markup_.GetRoot();
    if (!root.IsValid()) {
        UiTrace(L"xml GetRoot invalid");
        return nullptr;
    }
    if (manager != nullptr) {
        for (CXmlNode node = root.GetFirstChild(); node.IsValid(); node = node.GetNextSibling())
            ApplySharedResource(node, manager);
        if (IsName(root.GetName(), L"Window") && manager->GetWindow() != nullptr)
            ApplyWindowAttributes(root, manager);
    }
    return _Parse(&root, parent, manager);
}

void CDialogBuilder::ApplySharedResource(CXmlNode& node, CUiManager* manager)
{
    const wchar_t* element = node.GetName();
    if (IsName(element, L"Image")) {
        const wchar_t* name = AttributeOf(node, L"name");
        const wchar_t* type = AttributeOf(node, L"restype");
        const wchar_t* mask = AttributeOf(node, L"mask");
        if (name != nullptr && name[0] != L'\0')
            manager->AddImage(name, type != nullptr && type[0] != L'\0' ? type : nullptr,
                              mask != nullptr ? ReadHexColor(mask) : 0);
    } else if (IsName(element, L"Font")) {
        const wchar_t* face = AttributeOf(node, L"name");
        if (face == nullptr || face[0] == L'\0')
            return;
        const int size = DecimalOf(AttributeOf(node, L"size"), 12);
        const bool bold = IsTrue(AttributeOf(node, L"bold"));
        const bool underline = IsTrue(AttributeOf(node, L"underline"));
        const bool italic = IsTrue(AttributeOf(node, L"italic"));
        manager->AddFont(face, size, bold, underline, italic);
        if (IsTrue(AttributeOf(node, L"default")))
            manager->SetDefaultFont(face, size, bold, underline, italic);
    } else if (IsName(element, L"Default")) {
        const wchar_t* name = AttributeOf(node, L"name");
        const wchar_t* value = AttributeOf(node, L"value");
        if (name != nullptr && name[0] != L'\0')
            manager->AddClassDefaults(name, value != nullptr ? value : L"");
    }
}

void CDialogBuilder::ApplyWindowAttributes(CXmlNode& root, CUiManager* manager)
{
    const int count = root.GetAttributeCount();
    for (int i = 0; i < count; ++i) {
        const wchar_t* name = root.GetAttributeName(i);
        const wchar_t* value = root.GetAttributeValue(i);
        const SIZE pair = ReadPair(value);
        if (IsName(name, L"size")) {
            manager->SetInitialSize(pair.cx, pair.cy);
        } else if (IsName(name, L"sizebox")) {
            manager->SetSizeBox(ReadRectValue(value));
        } else if (IsName(name, L"caption")) {
            manager->SetCaptionRect(ReadRectValue(value));
        } else if (IsName(name, L"roundcorner")) {
            manager->SetRoundCorner(pair.cx, pair.cy);
        } else if (IsName(name, L"mininfo")) {
            manager->SetMinInfo(pair.cx, pair.cy);
        } else if (IsName(name, L"maxinfo")) {
            manager->SetMaxInfo(pair.cx, pair.cy);
        } else if (IsName(name, L"showdirty")) {
            manager->SetShowDirty(IsTrue(value));
        } else if (IsName(name, L"alpha")) {
            manager->SetOpacity(DecimalOf(value, 255));
        } else if (IsName(name, L"bktrans")) {
            manager->SetBackgroundTransparent(IsTrue(value));
        } else if (IsName(name, L"disabledfontcolor")) {
            manager->SetDefaultDisabledColor(ReadHexColor(value));
        } else if (IsName(name, L"defaultfontcolor")) {
            manager->SetDefaultFontColor(ReadHexColor(value));
        } else if (IsName(name, L"linkfontcolor")) {
            manager->SetDefaultLinkFontColor(ReadHexColor(value));
        } else if (IsName(name, L"linkhoverfontcolor")) {
            manager->SetDefaultLinkHoverFontColor(ReadHexColor(value));
        } else if (IsName(name, L"selectedcolor")) {
            manager->SetDefaultSelectedBkColor(ReadHexColor(value));
        }
    }
}

CControlUI* CDialogBuilder::CreateControl(const wchar_t* className)
{
    for (const ElementClass& entry : kElementClasses) {
        if (IsName(className, entry.element))
            return entry.create();
    }
    const CUiPtrArray* factories = CUiManager::GetControlFactories();
    for (int i = 0; i < factories->GetSize(); ++i) {
        const UiControlFactory factory = reinterpret_cast<UiControlFactory>(factories->GetAt(i));
        CControlUI* control = factory != nullptr ? factory(className) : nullptr;
        if (control != nullptr)
            return control;
    }
    return callback_ != nullptr ? callback_->CreateCustomControl(className) : nullptr;
}

bool CDialogBuilder::IsIncluding(const CUiString& source) const
{
    for (const CDialogBuilder* builder = this; builder != nullptr; builder = builder->includer_) {
        if (!builder->source_.IsEmpty() && builder->source_ == source)
            return true;
    }
    return false;
}

void CDialogBuilder::BuildInclude(CXmlNode& node, CControlUI* parent, CUiManager* manager)
{
    if (!node.HasAttributes())
        return;
    const int count = DecimalOf(AttributeOf(node, L"count"), 1);
    wchar_t source[kMaxIncludeSource + 1] = {};
    if (!node.CopyAttributeValue(L"source", source, ARRAYSIZE(source)) || source[0] == L'\0')
        return;
    const bool fromResource = resourceType_ != nullptr;
    const wchar_t* markup = fromResource ? MAKEINTRESOURCEW(wcstol(source, nullptr, 10)) : source;
    if (IsIncluding(fromResource ? ResourceLabel(markup) : CUiString(source))) {
        UiTrace(L"Include skipped, it includes itself:%s", source);
        return;
    }
    CDialogBuilder* outermost = this;
    while (outermost->includer_ != nullptr)
        outermost = const_cast<CDialogBuilder*>(outermost->includer_);
    for (int i = 0; i < count; ++i) {
        if (outermost->includedBuilds_ >= kMaxIncludedBuilds) {
            UiTrace(L"Include cut after %d copies:%s", i, source);
            break;
        }
        ++outermost->includedBuilds_;
        CDialogBuilder builder;
        builder.includer_ = this;
        builder.treeDepth_ = treeDepth_;
        CControlUI* control = builder.Build(markup, resourceType_, callback_, manager, parent);
        // Without a parent nothing holds the included root, and it is not a
        // control made at this level.
        if (parent == nullptr)
            delete control;
    }
}

bool CDialogBuilder::BuildTreeNode(CXmlNode& node, CControlUI* parent, CUiManager* manager)
{
    CTreeNodeUI* parentNode = parent != nullptr ? static_cast<CTreeNodeUI*>(parent->CastByName(L"TreeNode")) : nullptr;
    CTreeViewUI* view = nullptr;
    if (parentNode == nullptr) {
        view = parent != nullptr ? static_cast<CTreeViewUI*>(parent->CastByName(L"TreeView")) : nullptr;
        if (view == nullptr)
            return false;
    }
    CTreeNodeUI* treeNode = new CTreeNodeUI(parentNode);
    if (parentNode != nullptr && !parentNode->Add(treeNode)) {
        delete treeNode;
        return true;
    }
    if (manager != nullptr)
        ApplyControlAttributes(node, treeNode, manager);
    if (node.HasChildren())
        _Parse(&node, treeNode, manager);
    // A node joins its view last, so the view inserts the whole subtree in
    // depth-first order at once.
    if (view != nullptr && !view->Add(treeNode))
        delete treeNode;
    return true;
}

CControlUI* CDialogBuilder::_Parse(CXmlNode* root, CControlUI* parent, CUiManager* manager)
{
    if (treeDepth_ >= kMaxTreeDepth) {
        UiTrace(L"CDialogBuilder::_Parse too deep:%s", root->GetName());
        return nullptr;
    }
    ++treeDepth_;
    bool refused = false;
    CControlUI* first = ParseLevel(root, parent, manager, &refused);
    --treeDepth_;
    // A level that its parent refused ends quietly; one that made nothing
    // says so.
    if (first == nullptr && !refused)
        UiTrace(L"CDialogBuilder::_Parse reutn null");
    return first;
}

CControlUI* CDialogBuilder::ParseLevel(CXmlNode* root, CControlUI* parent, CUiManager* manager, bool* refused)
{
    IContainerUI* container = nullptr;
    bool containerAsked = false;
    CControlUI* first = nullptr;
    for (CXmlNode node = root->GetFirstChild(); node.IsValid(); node = node.GetNextSibling()) {
        const wchar_t* element = node.GetName();
        if (IsName(element, L"Image") || IsName(element, L"Font") || IsName(element, L"Default"))
            continue;
        if (IsName(element, L"Include")) {
            BuildInclude(node, parent, manager);
            continue;
        }
        if (IsName(element, L"TreeNode")) {
            if (!BuildTreeNode(node, parent, manager)) {
                *refused = true;
                return nullptr;
            }
            continue;
        }
        CControlUI* control = CreateControl(element);
        if (control == nullptr) {
            UiTrace(L"未知控件:%s", element);
            continue;
        }
        if (node.HasChildren())
            _Parse(&node, control, manager);
        CTreeNodeUI* parentNode =
            parent != nullptr ? static_cast<CTreeNodeUI*>(parent->CastByName(L"TreeNode")) : nullptr;
        if (parentNode != nullptr) {
            if (!parentNode->GetItemLayout()->Add(control)) {
                delete control;
                continue;
            }
        } else if (parent != nullptr) {
            if (!containerAsked) {
                container = static_cast<IContainerUI*>(parent->CastByName(L"IContainer"));
                containerAsked = true;
            }
            if (container == nullptr) {
                delete control;
                *refused = true;
                return nullptr;
            }
            if (!container->Add(control)) {
                delete control;
                continue;
            }
        } else if (first != nullptr) {
            // A level without a parent hands up only its first control.
            delete control;
            continue;
        }
        if (manager != nullptr)
            ApplyControlAttributes(node, control, manager);
        if (first == nullptr)
            first = control;
    }
    return first;
}

}  // namespace UiLib
