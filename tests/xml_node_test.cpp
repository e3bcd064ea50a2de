// The document registry and the node operations: reading attributes,
// building elements, setting attributes and texts.
#include "test_support.h"
#include "xml/xml.h"
#include "xml/xml_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nwtest::U16;
using nwtest::U8;

using Attributes = std::vector<std::pair<std::u16string, std::u16string>>;

Attributes ReadAttributes(XmlNode* node)
{
    Attributes out;
    if (!XmlExamineAttributes(node))
        return out;
    while (XmlNextAttribute(node))
        out.emplace_back(XmlAttributeName(node), XmlAttributeValue(node));
    return out;
}

class XmlNodeTest : public ::testing::Test {
protected:
    void TearDown() override { XmlFreeDocument(-1); }

    XmlNode* LoadMain(const std::string& bytes)
    {
        auto file = dir_ / "in.xml";
        nwtest::WriteFileBytes(file, bytes);
        if (!XmlLoadFile(0, U16(file.string())))
            return nullptr;
        return XmlMainNode(0);
    }

    nwtest::TempDir dir_;
};

// ---------------------------------------------------------------------------
// Registry.

TEST_F(XmlNodeTest, NewDocumentHasOnlyARootAndTheDefaults)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Latin1), nullptr);
    XmlNode* root = XmlRootNode(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(XmlNodeKindOf(root), XmlKindRoot);
    EXPECT_EQ(XmlFirstChild(root), nullptr);
    EXPECT_EQ(XmlMainNode(0), nullptr);
    EXPECT_EQ(XmlDocumentEncoding(0), XmlEncoding::Latin1);
    EXPECT_EQ(XmlDocumentStandalone(0), -1);
    EXPECT_EQ(XmlDocumentLineEnd(0), XmlLineEnd::CrLf);
    EXPECT_EQ(XmlStatus(0), 0);
    EXPECT_EQ(XmlErrorLine(0), 0);
    EXPECT_EQ(XmlErrorColumn(0), 0);
    EXPECT_EQ(XmlErrorMessage(0), u"");
    EXPECT_FALSE(XmlNodeHasText(root));
}

TEST_F(XmlNodeTest, NumbersNotInUseGiveNothing)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    for (int number : {1, 7, 8, 1000, -2, -1}) {
        EXPECT_EQ(XmlRootNode(number), nullptr) << number;
        EXPECT_EQ(XmlMainNode(number), nullptr) << number;
        EXPECT_EQ(XmlStatus(number), 0) << number;
        EXPECT_EQ(XmlErrorMessage(number), u"") << number;
        EXPECT_EQ(XmlDocumentStandalone(number), -1) << number;
    }
    EXPECT_EQ(XmlCreateDocument(-2, XmlEncoding::Utf8), nullptr);
    XmlFreeDocument(3);  // nothing there: no effect
    EXPECT_NE(XmlRootNode(0), nullptr);
}

TEST_F(XmlNodeTest, HighNumbersGrowTheRegistryAndEachDocumentIsSeparate)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    ASSERT_NE(XmlCreateDocument(100, XmlEncoding::Utf16), nullptr);
    ASSERT_NE(XmlCreateDocument(108, XmlEncoding::Latin1), nullptr);
    EXPECT_EQ(XmlDocumentEncoding(100), XmlEncoding::Utf16);
    EXPECT_EQ(XmlDocumentEncoding(108), XmlEncoding::Latin1);
    XmlNode* a = XmlCreateElement(XmlRootNode(100), u"a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(XmlMainNode(100), a);
    EXPECT_EQ(XmlMainNode(0), nullptr);
    XmlFreeDocument(100);
    EXPECT_EQ(XmlRootNode(100), nullptr);
    EXPECT_NE(XmlRootNode(108), nullptr);
    EXPECT_NE(XmlRootNode(0), nullptr);
}

TEST_F(XmlNodeTest, DynamicDocumentsGetTheirOwnNumbers)
{
    XmlDocument* first = XmlCreateDocument(-1, XmlEncoding::Utf8);
    XmlDocument* second = XmlCreateDocument(-1, XmlEncoding::Utf8);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    int n1 = XmlDocumentNumber(first);
    int n2 = XmlDocumentNumber(second);
    EXPECT_NE(n1, n2);
    EXPECT_GT(n1, 1000);
    EXPECT_NE(XmlRootNode(n1), XmlRootNode(n2));
    EXPECT_NE(XmlCreateElement(XmlRootNode(n1), u"x"), nullptr);
    EXPECT_EQ(XmlNodeName(XmlMainNode(n1)), u"x");
    XmlFreeDocument(n1);
    EXPECT_EQ(XmlRootNode(n1), nullptr);
    EXPECT_NE(XmlRootNode(n2), nullptr);
    XmlFreeDocument(-1);
    EXPECT_EQ(XmlRootNode(n2), nullptr);
}

TEST_F(XmlNodeTest, CreatingUnderAUsedNumberReplacesTheDocument)
{
    const std::size_t before = XmlNodesInUse();
    XmlCreateDocument(0, XmlEncoding::Utf8);
    XmlNode* a = XmlCreateElement(XmlRootNode(0), u"a");
    XmlCreateElement(a, u"b");
    EXPECT_EQ(XmlNodesInUse(), before + 3);
    XmlCreateDocument(0, XmlEncoding::Utf8);
    EXPECT_EQ(XmlNodesInUse(), before + 1);
    EXPECT_EQ(XmlMainNode(0), nullptr);
}

TEST_F(XmlNodeTest, ShutdownFreesEverythingAndTheLibraryWorksAfterInit)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    XmlCreateDocument(3, XmlEncoding::Utf8);
    XmlLibraryShutdown();
    EXPECT_EQ(XmlNodesInUse(), 0u);
    EXPECT_EQ(XmlRootNode(0), nullptr);
    XmlLibraryInit();
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    EXPECT_NE(XmlCreateElement(XmlRootNode(0), u"a"), nullptr);
}

// ---------------------------------------------------------------------------
// Reading.

TEST_F(XmlNodeTest, NoNodeGivesEmptyResults)
{
    EXPECT_EQ(XmlNodeKindOf(nullptr), -1);
    EXPECT_EQ(XmlNodeName(nullptr), u"");
    EXPECT_EQ(XmlNodeText(nullptr), u"");
    EXPECT_EQ(XmlFirstChild(nullptr), nullptr);
    EXPECT_EQ(XmlNextSibling(nullptr), nullptr);
    EXPECT_EQ(XmlExamineAttributes(nullptr), 0);
    EXPECT_EQ(XmlNextAttribute(nullptr), 0);
    EXPECT_EQ(XmlAttributeName(nullptr), u"");
    EXPECT_EQ(XmlCreateElement(nullptr, u"a"), nullptr);
    XmlSetAttribute(nullptr, u"a", u"b");
    XmlSetNodeText(nullptr, u"t");
}

TEST_F(XmlNodeTest, AttributeIterationOnNodesWithoutAttributes)
{
    XmlNode* a = LoadMain("<a><!--c--><b/></a>");
    ASSERT_NE(a, nullptr);
    XmlNode* comment = XmlFirstChild(a);
    ASSERT_EQ(XmlNodeKindOf(comment), XmlKindComment);
    EXPECT_EQ(XmlExamineAttributes(comment), 0);
    EXPECT_EQ(XmlNextAttribute(comment), 0);
    EXPECT_EQ(XmlAttributeName(comment), u"");

    XmlNode* b = XmlNextSibling(comment);
    EXPECT_EQ(XmlExamineAttributes(b), 1);
    EXPECT_EQ(XmlNextAttribute(b), 0);
    EXPECT_EQ(XmlAttributeName(b), u"");
    EXPECT_EQ(XmlAttributeValue(b), u"");
    EXPECT_EQ(XmlExamineAttributes(XmlRootNode(0)), 0);
}

TEST_F(XmlNodeTest, IterationCanBeRestartedAndReadsBeforeNextGiveNothing)
{
    XmlNode* a = LoadMain("<a p=\"1\" q=\"2\"/>");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(XmlExamineAttributes(a), 1);
    EXPECT_EQ(XmlAttributeName(a), u"");  // before the first
    ASSERT_EQ(XmlNextAttribute(a), 1);
    ASSERT_EQ(XmlNextAttribute(a), 1);
    EXPECT_EQ(XmlAttributeName(a), u"q");
    EXPECT_EQ(XmlNextAttribute(a), 0);
    EXPECT_EQ(XmlNextAttribute(a), 0);
    Attributes expected = {{u"p", u"1"}, {u"q", u"2"}};
    EXPECT_EQ(ReadAttributes(a), expected);
}

TEST_F(XmlNodeTest, TextOfAContainerIsTheWhitespaceBetweenItsChildren)
{
    XmlNode* a = LoadMain("<a>\n <b>one</b>\n <c>two</c>\n</a>");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(XmlNodeText(a), u"\n \n \n");
    XmlNode* tight = LoadMain("<a><b>one</b><c>two</c></a>");
    ASSERT_NE(tight, nullptr);
    EXPECT_EQ(XmlNodeText(tight), u"");
    EXPECT_FALSE(XmlNodeHasText(tight));
}

// ---------------------------------------------------------------------------
// Building.

TEST_F(XmlNodeTest, OnlyOneDocumentElementUnderTheRoot)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    XmlNode* root = XmlRootNode(0);
    XmlNode* first = XmlCreateElement(root, u"phonebooks");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(XmlMainNode(0), first);
    EXPECT_EQ(XmlCreateElement(root, u"second"), nullptr);
    EXPECT_EQ(XmlNextSibling(first), nullptr);
    XmlNode* child = XmlCreateElement(first, u"phonebook");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(XmlParentNode(child), first);
    EXPECT_EQ(XmlNodeKindOf(child), XmlKindElement);
    EXPECT_EQ(XmlNodeName(child), u"phonebook");
    EXPECT_FALSE(XmlNodeHasText(child));
    EXPECT_EQ(XmlAttributeCount(child), 0);
    EXPECT_EQ(XmlIdAttributeIndex(child), -1);
}

TEST_F(XmlNodeTest, ALoadedDocumentAcceptsNoSecondDocumentElement)
{
    XmlNode* a = LoadMain("<!--x--><a/>");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(XmlCreateElement(XmlRootNode(0), u"b"), nullptr);
    EXPECT_NE(XmlCreateElement(a, u"b"), nullptr);
    // Under a comment it is allowed too: only the Root is limited.
    EXPECT_NE(XmlCreateElement(XmlFirstChild(XmlRootNode(0)), u"c"), nullptr);
}

TEST_F(XmlNodeTest, ChildrenComeInOrderAndTextStaysBehindThem)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    XmlNode* a = XmlCreateElement(XmlRootNode(0), u"a");
    XmlSetNodeText(a, u"tail");
    std::vector<XmlNode*> made;
    for (const char16_t* name : {u"x", u"y", u"z"})
        made.push_back(XmlCreateElement(a, name));
    std::vector<XmlNode*> walked;
    for (XmlNode* c = XmlFirstChild(a); c; c = XmlNextSibling(c)) {
        walked.push_back(c);
        EXPECT_EQ(XmlPrecedingTextLength(c), 0u);
    }
    EXPECT_EQ(walked, made);
    EXPECT_EQ(XmlNodeText(a), u"tail");
}

TEST_F(XmlNodeTest, AppendingToALoadedElementGoesAfterItsLastChild)
{
    XmlNode* a = LoadMain("<a>1<b/>2<c/>3</a>");
    ASSERT_NE(a, nullptr);
    XmlNode* d = XmlCreateElement(a, u"d");
    XmlNode* c = XmlNextSibling(XmlFirstChild(a));
    EXPECT_EQ(XmlNextSibling(c), d);
    EXPECT_EQ(XmlPrecedingTextLength(d), 0u);
    EXPECT_EQ(XmlNodeText(a), u"123");
    // Appending under another parent in between keeps both chains right.
    XmlNode* inner = XmlCreateElement(c, u"inner");
    XmlNode* e = XmlCreateElement(a, u"e");
    EXPECT_EQ(XmlNextSibling(d), e);
    EXPECT_EQ(XmlFirstChild(c), inner);
    EXPECT_EQ(XmlNextSibling(inner), nullptr);
}

TEST_F(XmlNodeTest, ViewsAgreeWithCopiesAndAreEmptyOutOfRange)
{
    XmlNode* a = LoadMain("<a x=\"1\" y=\"&amp;\">t<!--c--><b/></a>");
    ASSERT_NE(a, nullptr);
    XmlNode* comment = XmlFirstChild(a);
    XmlNode* b = XmlNextSibling(comment);
    // Every node of the document: the copies and the views say the same.
    for (XmlNode* node : {XmlRootNode(0), a, comment, b}) {
        EXPECT_EQ(std::u16string(XmlNodeNameView(node)), XmlNodeName(node));
        EXPECT_EQ(std::u16string(XmlNodeTextView(node)), XmlNodeText(node));
    }
    const Attributes expected = {{u"x", u"1"}, {u"y", u"&"}};
    ASSERT_EQ(XmlAttributeCount(a), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(XmlAttributeNameView(a, i), expected[i].first);
        EXPECT_EQ(XmlAttributeValueView(a, i), expected[i].second);
    }
    struct Case {
        const XmlNode* node;
        int index;
    };
    for (const Case& c : {Case{a, -1}, Case{a, 2}, Case{b, 0}, Case{comment, 0}, Case{nullptr, 0}}) {
        EXPECT_TRUE(XmlAttributeNameView(c.node, c.index).empty()) << c.index;
        EXPECT_TRUE(XmlAttributeValueView(c.node, c.index).empty()) << c.index;
    }
    EXPECT_TRUE(XmlNodeNameView(nullptr).empty());
    EXPECT_TRUE(XmlNodeTextView(b).empty());  // absent text
}

TEST_F(XmlNodeTest, ElementsOfAFreedDocumentAcceptNoChildren)
{
    XmlCreateDocument(4, XmlEncoding::Utf8);
    XmlNode* a = XmlCreateElement(XmlRootNode(4), u"a");
    ASSERT_NE(a, nullptr);
    XmlFreeDocument(4);
    // The record went back to the node pool, which keeps its memory; its
    // document number no longer leads to a document.
    EXPECT_EQ(XmlCreateElement(a, u"b"), nullptr);
    EXPECT_EQ(XmlRootNode(4), nullptr);
}

TEST_F(XmlNodeTest, SetNodeTextWorksOnEveryKindAndReplaces)
{
    XmlNode* a = LoadMain("<a>old<!--c--><?p d?><![CDATA[x]]></a>");
    ASSERT_NE(a, nullptr);
    XmlSetNodeText(a, u"new");
    EXPECT_EQ(XmlNodeText(a), u"new");
    for (XmlNode* c = XmlFirstChild(a); c; c = XmlNextSibling(c)) {
        XmlSetNodeText(c, u"\u00E4" + XmlNodeName(c));
        EXPECT_EQ(XmlNodeText(c), u"\u00E4" + XmlNodeName(c));
    }
    XmlSetNodeText(a, u"");
    EXPECT_TRUE(XmlNodeHasText(a));
    EXPECT_EQ(XmlNodeText(a), u"");
    XmlSetNodeText(XmlRootNode(0), u"\n");
    EXPECT_EQ(XmlNodeText(XmlRootNode(0)), u"\n");
}

// XmlSetAttribute: replace by exact name, otherwise append.
struct SetAttributeCase {
    const char* name;
    std::vector<std::pair<std::u16string, std::u16string>> sets;
    Attributes result;
    int idIndex;
};

class XmlSetAttributeTest : public XmlNodeTest, public ::testing::WithParamInterface<SetAttributeCase> {};

TEST_P(XmlSetAttributeTest, OnABuiltElement)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    XmlNode* e = XmlCreateElement(XmlRootNode(0), u"e");
    for (const auto& [name, value] : GetParam().sets)
        XmlSetAttribute(e, name, value);
    EXPECT_EQ(ReadAttributes(e), GetParam().result);
    EXPECT_EQ(XmlAttributeCount(e), static_cast<int>(GetParam().result.size()));
    EXPECT_EQ(XmlIdAttributeIndex(e), GetParam().idIndex);
}

// Room reserved beforehand, too little, enough or more, changes no result;
// an element that has attributes keeps them as they are.
TEST_P(XmlSetAttributeTest, ReservedRoomChangesNothing)
{
    for (int room : {1, 2, 3, 9}) {
        SCOPED_TRACE(room);
        XmlCreateDocument(0, XmlEncoding::Utf8);
        XmlNode* e = XmlCreateElement(XmlRootNode(0), u"e");
        XmlReserveAttributes(e, room);
        for (const auto& [name, value] : GetParam().sets) {
            XmlSetAttribute(e, name, value);
            XmlReserveAttributes(e, room);
        }
        EXPECT_EQ(ReadAttributes(e), GetParam().result);
        EXPECT_EQ(XmlIdAttributeIndex(e), GetParam().idIndex);
    }
}

const SetAttributeCase kSetAttributes[] = {
    {"ReplaceKeepsPlace", {{u"name", u"1"}, {u"x", u"2"}, {u"name", u"3"}}, {{u"name", u"3"}, {u"x", u"2"}}, -1},
    {"OtherCaseIsAnotherAttribute",
     {{u"name", u"1"}, {u"name", u"2"}, {u"Name", u"3"}},
     {{u"name", u"2"}, {u"Name", u"3"}},
     -1},
    {"EmptyNameAndValue", {{u"", u""}, {u"", u"v"}}, {{u"", u"v"}}, -1},
    {"IdIgnoringCase", {{u"a", u"1"}, {u"iD", u"2"}}, {{u"a", u"1"}, {u"iD", u"2"}}, 1},
    {"LaterAppendedIdTakesOver",
     {{u"ID", u"1"}, {u"x", u"2"}, {u"id", u"3"}},
     {{u"ID", u"1"}, {u"x", u"2"}, {u"id", u"3"}},
     2},
    {"ReplacingAnIdKeepsTheIndex",
     {{u"Id", u"1"}, {u"id", u"2"}, {u"Id", u"3"}},
     {{u"Id", u"3"}, {u"id", u"2"}},
     1},
    {"NotQuiteId", {{u"ids", u"1"}, {u"i", u"2"}, {u"xid", u"3"}}, {{u"ids", u"1"}, {u"i", u"2"}, {u"xid", u"3"}}, -1},
    {"ManyAppends",
     {{u"a1", u"1"}, {u"a2", u"2"}, {u"a3", u"3"}, {u"a4", u"4"}, {u"a5", u"5"}, {u"a6", u"6"}, {u"a7", u"7"},
      {u"a8", u"8"}, {u"a9", u"9"}, {u"a3", u"three"}},
     {{u"a1", u"1"}, {u"a2", u"2"}, {u"a3", u"three"}, {u"a4", u"4"}, {u"a5", u"5"}, {u"a6", u"6"}, {u"a7", u"7"},
      {u"a8", u"8"}, {u"a9", u"9"}},
     -1},
};

INSTANTIATE_TEST_SUITE_P(SetAttribute, XmlSetAttributeTest, ::testing::ValuesIn(kSetAttributes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlNodeTest, SetAttributeOnAParsedElementKeepsItsAttributes)
{
    XmlNode* a = LoadMain("<a one=\"1\" two=\"2\" ID=\"7\"/>");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(XmlIdAttributeIndex(a), 2);
    XmlSetAttribute(a, u"two", u"zwei");
    XmlSetAttribute(a, u"three", u"3");
    XmlSetAttribute(a, u"four", u"4");
    Attributes expected = {{u"one", u"1"}, {u"two", u"zwei"}, {u"ID", u"7"}, {u"three", u"3"}, {u"four", u"4"}};
    EXPECT_EQ(ReadAttributes(a), expected);
    EXPECT_EQ(XmlIdAttributeIndex(a), 2);
}

TEST_F(XmlNodeTest, SetAttributeLeavesOtherKindsAlone)
{
    XmlNode* a = LoadMain("<a><!--c--></a>");
    ASSERT_NE(a, nullptr);
    XmlNode* comment = XmlFirstChild(a);
    XmlSetAttribute(comment, u"x", u"1");
    XmlSetAttribute(XmlRootNode(0), u"x", u"1");
    EXPECT_EQ(XmlAttributeCount(comment), 0);
    EXPECT_EQ(XmlAttributeCount(XmlRootNode(0)), 0);
}

TEST_F(XmlNodeTest, BuildingManyChildrenAndAttributes)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    XmlNode* list = XmlCreateElement(XmlRootNode(0), u"list");
    constexpr int children = 50000;
    for (int i = 0; i < children; ++i)
        XmlCreateElement(list, u"item");
    int counted = 0;
    for (XmlNode* c = XmlFirstChild(list); c; c = XmlNextSibling(c))
        ++counted;
    EXPECT_EQ(counted, children);

    XmlNode* wide = XmlFirstChild(list);
    constexpr int attributes = 33000;  // beyond a 16-bit count
    for (int i = 0; i < attributes; ++i)
        XmlSetAttribute(wide, U16("n" + std::to_string(i)), U16(std::to_string(i)));
    EXPECT_EQ(XmlAttributeCount(wide), attributes);
    XmlExamineAttributes(wide);
    int last = -1;
    while (XmlNextAttribute(wide))
        ++last;
    EXPECT_EQ(last, attributes - 1);
    EXPECT_EQ(XmlAttributeValue(wide), u"");
}

TEST_F(XmlNodeTest, DeepBuiltDocumentsHaveNoLimitAndFreeWithoutRecursion)
{
    const std::size_t before = XmlNodesInUse();
    XmlCreateDocument(0, XmlEncoding::Utf8);
    constexpr int depth = 500000;
    XmlNode* n = XmlRootNode(0);
    for (int i = 0; i < depth; ++i) {
        n = XmlCreateElement(n, u"d");
        ASSERT_NE(n, nullptr);
        if (i % 3 == 0)
            XmlSetAttribute(n, u"k", u"v");
    }
    EXPECT_EQ(XmlNodesInUse(), before + depth + 1);
    XmlFreeDocument(0);
    EXPECT_EQ(XmlNodesInUse(), before);
}

}  // namespace
