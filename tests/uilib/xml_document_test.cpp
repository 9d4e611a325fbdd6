#include "UiManager.h"
#include "XmlDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using UiLib::CXmlDocument;
using UiLib::CXmlNode;

namespace {

// A skin-like file with declarations, comments, entities, nesting, empty
// elements and many attributes.
const char kSkin[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<!-- main window -->\r\n"
    "<Window size=\"860,600\" caption=\"0,0,0,36\" roundcorner=\"4,4\" mininfo=\"600,400\">\r\n"
    "  <Font name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"12\" bold=\"false\" />\r\n"
    "  <Default name=\"VScrollBar\" value=\"button1normalimage=&quot;file='s.png' source='0,0,16,16'&quot;\"/>\r\n"
    "  <VerticalLayout bkcolor=\"#FFF0F0F0\">\r\n"
    "    <HorizontalLayout height=\"36\">\r\n"
    "      <Label text=\"a &lt; b &amp;&amp; c &gt; d\" float=\"true\" pos=\"10,0,200,36\"/>\r\n"
    "      <Button name=\"btnClose\" tooltip=\"close\" normalimage=\"file='close.png'\" />\r\n"
    "    </HorizontalLayout>\r\n"
    "    <List name=\"list\"><ListHeader><ListHeaderItem text=\"file\" width=\"300\"/></ListHeader></List>\r\n"
    "    <Text>content with &apos;quotes&apos;</Text>\r\n"
    "  </VerticalLayout>\r\n"
    "</Window>\r\n";

std::vector<std::wstring> ChildNames(CXmlNode node)
{
    std::vector<std::wstring> names;
    for (CXmlNode child = node.GetFirstChild(); child.IsValid(); child = child.GetNextSibling())
        names.push_back(child.GetName());
    return names;
}

// Visits every element and attribute, so that a broken record shows up as a
// crash or an out-of-range read.
int CountElements(CXmlNode node)
{
    int count = 0;
    for (; node.IsValid(); node = node.GetNextSibling()) {
        ++count;
        for (int i = 0; i < node.GetAttributeCount(); ++i) {
            EXPECT_NE(nullptr, node.GetAttributeName(i));
            EXPECT_NE(nullptr, node.GetAttributeValue(i));
        }
        count += CountElements(node.GetFirstChild());
    }
    return count;
}

TEST(XmlDocument, ReadsElementsAttributesAndEntities)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadBuffer(reinterpret_cast<const BYTE*>(kSkin), sizeof(kSkin) - 1, UiLib::kXmlUtf8))
        << doc.GetLastErrorMessage();
    CXmlNode root = doc.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_STREQ(L"Window", root.GetName());
    ASSERT_EQ(4, root.GetAttributeCount());
    EXPECT_STREQ(L"caption", root.GetAttributeName(1));
    EXPECT_STREQ(L"0,0,0,36", root.GetAttributeValue(1));
    EXPECT_STREQ(L"", root.GetAttributeValue(4));
    EXPECT_EQ((std::vector<std::wstring>{L"Font", L"Default", L"VerticalLayout"}), ChildNames(root));

    CXmlNode font = root.GetFirstChild();
    EXPECT_STREQ(L"\x5FAE\x8F6F\x96C5\x9ED1", font.GetAttributeValue(0));
    CXmlNode defaults = font.GetNextSibling();
    EXPECT_STREQ(L"button1normalimage=\"file='s.png' source='0,0,16,16'\"", defaults.GetAttributeValue(1));
    CXmlNode layout = defaults.GetNextSibling();
    EXPECT_EQ((std::vector<std::wstring>{L"HorizontalLayout", L"List", L"Text"}), ChildNames(layout));
    CXmlNode label = layout.GetFirstChild().GetFirstChild();
    EXPECT_STREQ(L"a < b && c > d", label.GetAttributeValue(0));
    EXPECT_FALSE(label.HasChildren());
    EXPECT_EQ(11, CountElements(root));

    wchar_t small[5];
    EXPECT_TRUE(label.CopyAttributeValue(L"pos", small, 5));
    EXPECT_STREQ(L"10,0", small);
    wchar_t one[1] = {L'x'};
    EXPECT_TRUE(label.CopyAttributeValue(L"pos", one, 1));
    EXPECT_EQ(L'\0', one[0]);
    EXPECT_FALSE(label.CopyAttributeValue(L"missing", small, 5));
    EXPECT_FALSE(label.CopyAttributeValue(L"pos", small, 0));

    CXmlNode invalid;
    EXPECT_EQ(nullptr, invalid.GetName());
    EXPECT_EQ(nullptr, invalid.GetAttributeName(0));
    EXPECT_FALSE(invalid.GetFirstChild().IsValid());
}

TEST(XmlDocument, SmallCases)
{
    struct Case {
        const wchar_t* markup;
        bool ok;
        const wchar_t* error;
    };
    const Case cases[] = {
        {L"<Window size=\"10,20\"/>", true, L""},
        {L"<a><b/><c/></a>", true, L""},
        {L"<a x='1'/>", false, L"Expected attribute value"},
        {L"<a></b>", false, L"Unmatched closing tag"},
        {L"<a></ab>", false, L"Unmatched closing tag"},
        // "</" at the top level ends the parse; nothing after it is read.
        {L"<a/></b>", true, L""},
        {L"</a>", true, L""},
        {L"text", false, L"Expected start tag"},
        {L"<a x=\"1\" y>", false, L"Error while parsing attributes"},
        {L"<a x=\"1", false, L"Error while parsing attribute string"},
        {L"<a x=\"1\"", false, L"Expected start-tag closing"},
        {L"<a $>", false, L"Error while parsing attributes"},
        {L"<a x=\"1\"!>", false, L"Error while parsing attributes"},
        // Only a name cut off by the end of the text is an error.
        {L"< >", true, L""},
        {L"<></>", true, L""},
        {L"<", false, L"Error parsing element name"},
        {L"<a><", false, L"Error parsing element name"},
        {L"<a><b>x</b>y</a>", false, L"Expected start tag"},
        {L"<a><b><c>x", false, L"Expected end-tag start"},
        // A comment or declaration never closed runs to the end of the text.
        {L"<!-- never ends", true, L""},
        {L"<?xml never ends", true, L""},
        {L"<a><!- never ends", false, L"Unmatched closing tag"},
        // An attribute needs its '=' and its quoted value, not a name.
        {L"<a =\"1\"/>", true, L""},
        // The end tag's name follows "</" at once.
        {L"<a></ a>", false, L"Unmatched closing tag"},
        {L"<?xml?><!-- c --><a/>", true, L""},
        {L"", true, L""},
    };
    for (const Case& c : cases) {
        CXmlDocument doc;
        EXPECT_EQ(c.ok, doc.LoadText(c.markup)) << c.markup;
        EXPECT_STREQ(c.error, doc.GetLastErrorMessage()) << c.markup;
        if (!c.ok) {
            EXPECT_FALSE(doc.GetRoot().IsValid()) << c.markup;
        }
    }

    CXmlDocument ended(L"<a/></b><c/>");
    EXPECT_STREQ(L"a", ended.GetRoot().GetName());
    EXPECT_FALSE(ended.GetRoot().GetNextSibling().IsValid());
    CXmlDocument nameless(L"<><b/></>");
    ASSERT_TRUE(nameless.GetRoot().IsValid());
    EXPECT_STREQ(L"", nameless.GetRoot().GetName());
    EXPECT_STREQ(L"b", nameless.GetRoot().GetFirstChild().GetName());

    CXmlDocument window(L"<Window size=\"10,20\"/>");
    CXmlNode root = window.GetRoot();
    EXPECT_STREQ(L"Window", root.GetName());
    ASSERT_EQ(1, root.GetAttributeCount());
    EXPECT_STREQ(L"size", root.GetAttributeName(0));
    EXPECT_STREQ(L"10,20", root.GetAttributeValue(0));
    EXPECT_FALSE(root.HasChildren());

    CXmlDocument unnamed(L"<a =\"1\" b=\"2\"/>");
    ASSERT_EQ(2, unnamed.GetRoot().GetAttributeCount());
    EXPECT_STREQ(L"", unnamed.GetRoot().GetAttributeName(0));
    EXPECT_STREQ(L"1", unnamed.GetRoot().GetAttributeValue(0));
    EXPECT_STREQ(L"b", unnamed.GetRoot().GetAttributeName(1));
    EXPECT_FALSE(CXmlDocument(L"<!-- never ends").GetRoot().IsValid());

    // Names take letters of any script.
    CXmlDocument chinese(L"<\x7A97\x53E3 \x5927\x5C0F=\"1\"></\x7A97\x53E3>");
    EXPECT_STREQ(L"\x7A97\x53E3", chinese.GetRoot().GetName());
    EXPECT_STREQ(L"\x5927\x5C0F", chinese.GetRoot().GetAttributeName(0));

    CXmlDocument siblings(L"<a><b/><c/></a>");
    EXPECT_STREQ(L"b", siblings.GetRoot().GetFirstChild().GetName());
    EXPECT_STREQ(L"c", siblings.GetRoot().GetFirstChild().GetNextSibling().GetName());

    CXmlDocument spaced(L"<a  x = \"1\"   y=\"&lt;2&gt;\" ></a >");
    CXmlNode a = spaced.GetRoot();
    ASSERT_EQ(2, a.GetAttributeCount());
    EXPECT_STREQ(L"x", a.GetAttributeName(0));
    EXPECT_STREQ(L"1", a.GetAttributeValue(0));
    EXPECT_STREQ(L"<2>", a.GetAttributeValue(1));
}

TEST(XmlDocument, ContentEntitiesAndWhitespace)
{
    CXmlDocument doc(L"<a>&lt;&amp;&foo;</a>");
    ASSERT_TRUE(doc.GetRoot().IsValid());
    // The content starts right after the start tag.
    const wchar_t* name = doc.GetRoot().GetName();
    EXPECT_STREQ(L"<&&foo;", name + 2);

    CXmlDocument collapsed;
    collapsed.SetPreserveWhitespace(false);
    ASSERT_TRUE(collapsed.LoadText(L"<a t=\"x    y\"/>"));
    EXPECT_STREQ(L"x y", collapsed.GetRoot().GetAttributeValue(0));
    CXmlDocument kept(L"<a t=\"x    y\"/>");
    EXPECT_STREQ(L"x    y", kept.GetRoot().GetAttributeValue(0));
}

TEST(XmlDocument, AttributesBeyondSixtyFourAreIgnored)
{
    std::wstring markup = L"<a";
    for (int i = 0; i < 70; ++i)
        markup += L" k" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    markup += L"/>";
    CXmlDocument doc(markup.c_str());
    CXmlNode root = doc.GetRoot();
    ASSERT_EQ(64, root.GetAttributeCount());
    EXPECT_STREQ(L"k63", root.GetAttributeName(63));
    EXPECT_STREQ(L"v63", root.GetAttributeValue(63));
    wchar_t value[8];
    EXPECT_FALSE(root.CopyAttributeValue(L"k65", value, 8));
}

TEST(XmlDocument, EveryPrefixOfASkinParsesOrFailsCleanly)
{
    const size_t length = sizeof(kSkin) - 1;
    int parsed = 0;
    for (size_t n = 0; n <= length; ++n) {
        CXmlDocument doc;
        if (doc.LoadBuffer(reinterpret_cast<const BYTE*>(kSkin), static_cast<DWORD>(n), UiLib::kXmlUtf8)) {
            ++parsed;
            CountElements(doc.GetRoot());
        } else {
            EXPECT_NE(L'\0', doc.GetLastErrorMessage()[0]) << n;
            EXPECT_LT(wcslen(doc.GetLastErrorLocation()), 50u);
            EXPECT_FALSE(doc.GetRoot().IsValid());
        }
    }
    EXPECT_GT(parsed, 1);  // the whole file and the prefixes before the root
}

TEST(XmlDocument, DeepNestingFailsCleanly)
{
    std::wstring deep;
    for (int i = 0; i < 100000; ++i)
        deep += L"<a>";
    for (int i = 0; i < 100000; ++i)
        deep += L"</a>";
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadText(deep.c_str()));
    EXPECT_STREQ(L"Elements nested too deeply", doc.GetLastErrorMessage());

    std::wstring fine;
    for (int i = 0; i < 100; ++i)
        fine += L"<a>";
    for (int i = 0; i < 100; ++i)
        fine += L"</a>";
    EXPECT_TRUE(doc.LoadText(fine.c_str())) << doc.GetLastErrorMessage();
}

TEST(XmlDocument, EncodingsAndByteOrderMarksAgree)
{
    const std::wstring text = L"<Window title=\"\x4E2D\x6587\" a=\"&amp;\"><Label text=\"x\"/></Window>";
    std::vector<BYTE> le = {0xFF, 0xFE}, be = {0xFE, 0xFF};
    for (wchar_t ch : text) {
        le.push_back(static_cast<BYTE>(ch & 0xFF));
        le.push_back(static_cast<BYTE>(ch >> 8));
        be.push_back(static_cast<BYTE>(ch >> 8));
        be.push_back(static_cast<BYTE>(ch & 0xFF));
    }
    const std::string utf8 = "<Window title=\"\xE4\xB8\xAD\xE6\x96\x87\" a=\"&amp;\"><Label text=\"x\"/></Window>";
    const std::string bom8 = "\xEF\xBB\xBF" + utf8;
    const std::string gbk = "<Window title=\"\xD6\xD0\xCE\xC4\" a=\"&amp;\"><Label text=\"x\"/></Window>";
    struct Source {
        const BYTE* bytes;
        size_t size;
        int encoding;
    };
    const Source sources[] = {
        {le.data(), le.size(), UiLib::kXmlUtf16},
        {be.data(), be.size(), UiLib::kXmlUtf16},
        {reinterpret_cast<const BYTE*>(utf8.data()), utf8.size(), UiLib::kXmlUtf8},
        {reinterpret_cast<const BYTE*>(bom8.data()), bom8.size(), UiLib::kXmlUtf8},
        {reinterpret_cast<const BYTE*>(gbk.data()), gbk.size(), UiLib::kXmlAnsi},
    };
    ASSERT_EQ(936u, GetACP());
    for (const Source& source : sources) {
        CXmlDocument doc;
        ASSERT_TRUE(doc.LoadBuffer(source.bytes, static_cast<DWORD>(source.size), source.encoding))
            << doc.GetLastErrorMessage();
        CXmlNode root = doc.GetRoot();
        EXPECT_STREQ(L"Window", root.GetName());
        EXPECT_STREQ(L"\x4E2D\x6587", root.GetAttributeValue(0));
        EXPECT_STREQ(L"&", root.GetAttributeValue(1));
        EXPECT_STREQ(L"Label", root.GetFirstChild().GetName());
    }

    // An odd last byte is no character and is left out.
    std::vector<BYTE> odd = le;
    odd.push_back(0x20);
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadBuffer(odd.data(), static_cast<DWORD>(odd.size()), UiLib::kXmlUtf16));
    EXPECT_STREQ(L"Window", doc.GetRoot().GetName());
    EXPECT_FALSE(doc.LoadBuffer(le.data() + 2, static_cast<DWORD>(le.size() - 2), UiLib::kXmlUtf16));
    EXPECT_FALSE(doc.LoadBuffer(le.data(), 1, UiLib::kXmlUtf16));
    EXPECT_FALSE(doc.GetRoot().IsValid());
}

}  // namespace
