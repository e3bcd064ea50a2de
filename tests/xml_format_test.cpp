// XmlFormat: normalisation of blanks and line breaks, line-break style, and
// the reformat, reindent and CR LF passes. Every expected text is worked out
// by hand from the formatting rules.
#include "xml_doc_support.h"
#include "xml/xml_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using xmltest::Body;
using xmltest::Child;
using xmltest::LoadBytes;
using xmltest::XmlDocTest;

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// ---------------------------------------------------------------------------
// One element's own text under one XmlFormat call.

struct LeafCase {
    const char* name;
    unsigned flags;
    std::u16string in;
    std::u16string out;
};

class XmlFormatLeafTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<LeafCase> {};

TEST_P(XmlFormatLeafTest, RewritesTheText)
{
    const LeafCase& c = GetParam();
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    XmlNode* e = XmlCreateElement(XmlRootNode(0), u"e");
    XmlSetNodeText(e, c.in);
    XmlFormat(0, c.flags, 3);
    EXPECT_EQ(nwtest::U8(XmlNodeText(e)), nwtest::U8(c.out));
}

const LeafCase kLeafCases[] = {
    // The state before an element's text counts as after-text, so one
    // leading blank stays.
    {"CollapseBlanks", 0x40, u"  a  b  ", u" a b "},
    {"CollapseTabs", 0x40, u"a\t\t b", u"a\tb"},
    {"CutBlanks", 0x20, u" a \t b ", u"ab"},
    {"CutAndCollapseBlanks", 0x60, u"a  b", u"ab"},
    {"CutLineBreaks", 0x08, u"a\r\nb\rc\nd", u"abcd"},
    {"CollapseLineBreaks", 0x10, u"a\n\n\nb\r\n\r\nc", u"a\nb\r\nc"},
    {"LineBreaksToLf", 0x02, u"a\r\nb\rc\nd", u"a\nb\nc\nd"},
    {"LineBreaksToCr", 0x04, u"a\r\nb\rc\nd", u"a\rb\rc\rd"},
    {"LineBreaksToCrLf", 0x01, u"a\r\nb\rc\nd", u"a\r\nb\r\nc\r\nd"},
    {"CollapseToLf", 0x12, u"a\r\n\r\n\rb", u"a\nb"},
    {"BlanksAfterBreakDropped", 0x50, u"\n \n b", u"\nb"},
    // A cut line break does not change the states: the blank after it
    // still follows text.
    {"CutBreaksCollapseBlanks", 0x48, u" a \n b", u" a b"},
    {"LoadFlags", 0x58, u"\n\n  x  \n  y\n", u" x y"},
    {"CutBreaksAndBlanks", 0x28, u"\t a\r\n b \n", u"ab"},
    {"TabsAreBlanks", 0x40, u"\t\ta\t\t", u"\ta\t"},
    // Reformat, step 3, element at depth 1 (content indented by 3).
    {"ReformatTwoBlanksCollapse", 0x80, u"  two  words  ", u" two words "},
    {"ReformatBlanksOnly", 0x80, u"   ", u" "},
    {"ReformatLineBreak", 0x80, u"x\n  y", u"\r\n   x\r\n   y\r\n"},
    {"ReformatLineBreakLf", 0x82, u"x\n  y", u"\n   x\n   y\n"},
    {"ReformatLineBreakCr", 0x84, u"x\n  y", u"\r   x\r   y\r"},
    {"ReformatOnlyBreak", 0x80, u"\n", u"\r\n"},
    {"ReformatEndsWithBreak", 0x82, u" x\n", u"\n   x\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlFormatLeafTest, ::testing::ValuesIn(kLeafCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Whole documents loaded from a file, formatted by a sequence of calls.

struct DocCase {
    const char* name;
    std::string source;
    std::vector<std::pair<unsigned, int>> calls;  // flags, step
    std::string expected;                         // with declaration
};

class XmlFormatDocTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<DocCase> {};

TEST_P(XmlFormatDocTest, WritesTheLayout)
{
    const DocCase& c = GetParam();
    LoadBytes(0, c.source);
    for (auto [flags, step] : c.calls)
        XmlFormat(0, flags, step);
    std::string written = XmlSerializeToBytes(0, 0);
    EXPECT_EQ(written, c.expected);

    // The result is well-formed.
    LoadBytes(1, written);
}

const DocCase kDocCases[] = {
    // Leaf text, empty element, indentation between elements.
    {"LoadFlags",
     "<?xml version=\"1.0\"?>\n<a>\n  <b>x  y</b>\n  <c/>\n</a>\n",
     {{0x58, 2}},
     kDecl + "<a> <b>x y</b> <c/></a>"},
    // The load sequence: the Root loses its line breaks under 0x58, so the
    // reformat builds it anew with an empty line after the declaration.
    {"LoadSequence",
     "<?xml version=\"1.0\"?>\n<a>\n  <b>x  y</b>\n  <c/>\n</a>\n",
     {{0x58, 2}, {0x80, 3}},
     kDecl + "\n\n<a>\n   <b>x y</b>\n   <c/>\n</a>\n"},
    // A single blank after the last child stays before the end tag's line.
    {"BlankAfterLastChild",
     "<?xml version=\"1.0\"?>\n<a>\n  <b>x</b>\n  <c>y</c> \n</a>\n",
     {{0x58, 2}, {0x80, 3}},
     kDecl + "\n\n<a>\n   <b>x</b>\n   <c>y</c> \n</a>\n"},
    // Reformat alone: the after-break state carries from the line break
    // before <c/> to a's last line break and on to the Root's, which are
    // dropped; the Root gets nothing after its last child.
    {"ReformatLoaded",
     "<?xml version=\"1.0\"?>\n<a>\n  <b>x  y</b>\n  <c/>\n</a>\n",
     {{0x80, 3}},
     kDecl + "\n\n<a>\n   <b>x y</b>\n   <c/>\n</a>"},
    {"ReformatCrLfFile",
     "<?xml version=\"1.0\"?>\r\n<a>\r\n  <b>x</b>\r\n</a>\r\n",
     {{0x80, 3}},
     kDecl + "\r\n\r\n<a>\r\n   <b>x</b>\r\n</a>"},
    // Mixed content: each text segment gets its own line.
    {"MixedReformat",
     "<p>Hello <b>big</b> world\n  and more</p>",
     {{0x80, 3}},
     kDecl + "\n\n<p>\n   Hello \n   <b>big</b> world\n   and more\n</p>\n"},
    {"MixedLoadFlags",
     "<p>Hello <b>big</b> world\n  and more</p>",
     {{0x58, 2}},
     kDecl + "<p>Hello <b>big</b> world and more</p>"},
    // A one-line comment stays; one with line breaks is indented.
    {"CommentsReformat",
     "<r>\n  <!-- one line -->\n  <!--\n    two\n    lines\n  -->\n</r>",
     {{0x80, 3}},
     kDecl + "\n\n<r>\n   <!-- one line -->\n   <!--\n      two\n      lines\n   -->\n</r>\n"},
    {"CommentsLoadFlags",
     "<r>\n  <!-- one line -->\n  <!--\n    two\n    lines\n  -->\n</r>",
     {{0x58, 2}},
     kDecl + "<r> <!-- one line --> <!-- two lines --></r>"},
    // The Root puts an empty line before its first child, before an element
    // and after an element.
    {"RootExtraLines",
     "<?xml version=\"1.0\"?>\n<!--c-->\n<?pi data?>\n<r/>\n<!--end-->\n",
     {{0x80, 3}},
     kDecl + "\n\n<!--c-->\n<?pi data?>\n\n<r/>\n\n<!--end-->\n"},
    // A DTD is not an element or comment: its one line is rebuilt too.
    {"DoctypeReformat",
     "<!DOCTYPE r>\n<r/>",
     {{0x80, 2}},
     kDecl + "\n\n\n  <!DOCTYPE r>\n\n\n<r/>"},
    // CDATA and instructions only convert line breaks; comments lose all.
    {"CdataAndInstructionKeepBlanks",
     "<r><![CDATA[ a  \n\n b ]]><?pi x \n\n y?><!-- a  b --></r>",
     {{0x7C, 2}},
     kDecl + "<r><![CDATA[ a  \r\r b ]]><?pi x \r\r y?><!--ab--></r>"},
    // A DTD keeps its line breaks and blanks under the cutting flags.
    {"DoctypeKeepsBreaks",
     "<!DOCTYPE r [\n<!ELEMENT r  ANY>\n]>\n<r/>",
     {{0x68, 2}},
     kDecl + "<!DOCTYPE r [\n<!ELEMENT r ANY>\n]><r/>"},
    // Reformat converts CDATA line breaks only for CR LF.
    {"ReformatCdataCrLf",
     "<r><![CDATA[a\nb]]></r>",
     {{0x81, 2}},
     kDecl + "\r\n\r\n<r>\r\n  <![CDATA[a\r\nb]]>\r\n</r>\r\n"},
    // Reindent: existing line breaks get the depth's indentation.
    {"Reindent",
     "<a>\n   <b>\n x\n   </b>\n</a>",
     {{0x100, 2}},
     kDecl + "<a>\n  <b>\n    x\n  </b>\n</a>"},
    {"ReindentCrLf",
     "<a>\n   <b>\n x\n   </b>\n</a>",
     {{0x101, 2}},
     kDecl + "<a>\r\n  <b>\r\n    x\r\n  </b>\r\n</a>"},
    // CR LF pass: every break in every text, children's positions follow.
    {"CrLfPass",
     "<p>a\n<b/>c\nd<i>e\nf</i>\n</p>",
     {{0x01, 2}},
     kDecl + "<p>a\r\n<b/>c\r\nd<i>e\r\nf</i>\r\n</p>"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlFormatDocTest, ::testing::ValuesIn(kDocCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// New documents, as the phonebook saving builds them.

// phonebooks / phonebook / contact with a few children; texts only on leaves.
void BuildPhonebook(int number)
{
    ASSERT_NE(XmlCreateDocument(number, XmlEncoding::Utf8), nullptr);
    XmlNode* books = XmlCreateElement(XmlRootNode(number), u"phonebooks");
    XmlNode* book = XmlCreateElement(books, u"phonebook");
    XmlSetAttribute(book, u"name", u"Telefonbuch");
    XmlNode* contact = XmlCreateElement(book, u"contact");
    XmlSetNodeText(XmlCreateElement(contact, u"category"), u"0");
    XmlNode* person = XmlCreateElement(contact, u"person");
    XmlSetNodeText(XmlCreateElement(person, u"realName"), u"Max M\u00fcller");
    XmlNode* telephony = XmlCreateElement(contact, u"telephony");
    XmlSetAttribute(telephony, u"nid", u"1");
    XmlNode* number1 = XmlCreateElement(telephony, u"number");
    XmlSetAttribute(number1, u"type", u"home");
    XmlSetAttribute(number1, u"prio", u"1");
    XmlSetAttribute(number1, u"id", u"0");
    XmlSetNodeText(number1, u"0301234567");
    XmlCreateElement(contact, u"services");
}

// The phonebook above laid out with line break `nl`.
std::string PhonebookLayout(const std::string& nl)
{
    return kDecl + nl + nl +
           "<phonebooks>" + nl +
           "   <phonebook name=\"Telefonbuch\">" + nl +
           "      <contact>" + nl +
           "         <category>0</category>" + nl +
           "         <person>" + nl +
           "            <realName>Max M\xc3\xbcller</realName>" + nl +
           "         </person>" + nl +
           "         <telephony nid=\"1\">" + nl +
           "            <number type=\"home\" prio=\"1\" id=\"0\">0301234567</number>" + nl +
           "         </telephony>" + nl +
           "         <services/>" + nl +
           "      </contact>" + nl +
           "   </phonebook>" + nl +
           "</phonebooks>" + nl;
}

TEST_F(XmlDocTest, FormatNewDocumentSaveSequence)
{
    BuildPhonebook(0);
    XmlFormat(0, 0x80, 3);
    XmlFormat(0, 0x02, 3);
    EXPECT_EQ(XmlDocumentLineEnd(0), XmlLineEnd::Lf);

    nwtest::TempDir dir;
    auto file = dir / "Telefonbuch.xml_NEU.xml";
    ASSERT_EQ(XmlSaveFile(0, file.u16string()), 1);
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "\n"
        "<phonebooks>\n"
        "   <phonebook name=\"Telefonbuch\">\n"
        "      <contact>\n"
        "         <category>0</category>\n"
        "         <person>\n"
        "            <realName>Max M\xc3\xbcller</realName>\n"
        "         </person>\n"
        "         <telephony nid=\"1\">\n"
        "            <number type=\"home\" prio=\"1\" id=\"0\">0301234567</number>\n"
        "         </telephony>\n"
        "         <services/>\n"
        "      </contact>\n"
        "   </phonebook>\n"
        "</phonebooks>\n";
    EXPECT_EQ(nwtest::ReadFileBytes(file), expected);
}

TEST_F(XmlDocTest, FormatReformatKeepsCrLfOfNewDocument)
{
    BuildPhonebook(0);
    EXPECT_EQ(XmlDocumentLineEnd(0), XmlLineEnd::CrLf);
    XmlFormat(0, 0x80, 3);
    EXPECT_EQ(XmlSerializeToBytes(0, 0), PhonebookLayout("\r\n"));
    EXPECT_EQ(XmlDocumentLineEnd(0), XmlLineEnd::CrLf);
}

TEST_F(XmlDocTest, FormatReformatSetsChildPositions)
{
    BuildPhonebook(0);
    XmlFormat(0, 0x82, 3);
    XmlNode* root = XmlRootNode(0);
    XmlNode* books = XmlMainNode(0);
    // Root: empty line, then the document element, then one line break.
    EXPECT_EQ(XmlNodeText(root), u"\n\n\n");
    EXPECT_EQ(XmlPrecedingTextLength(books), 2u);
    XmlNode* contact = Child(Child(books, 0), 0);
    EXPECT_EQ(XmlPrecedingTextLength(contact), 7u);  // LF and 6 blanks
    XmlNode* services = Child(contact, 3);
    EXPECT_EQ(XmlNodeName(services), u"services");
    EXPECT_EQ(XmlPrecedingTextLength(services), 10u);
    // After the last child: LF and the end tag's 6 blanks.
    EXPECT_EQ(XmlNodeText(contact), u"\n         \n         \n         \n         \n      ");
}

TEST_F(XmlDocTest, FormatNewDocumentWithStepTwoAndCr)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    XmlNode* a = XmlCreateElement(XmlRootNode(0), u"a");
    XmlNode* b = XmlCreateElement(a, u"b");
    XmlCreateElement(b, u"c");
    XmlFormat(0, 0x84);  // default step 2
    EXPECT_EQ(Body(0), "\r\r<a>\r  <b>\r    <c/>\r  </b>\r</a>\r");
    EXPECT_EQ(XmlDocumentLineEnd(0), XmlLineEnd::Cr);
}

// Text set before children were appended is the remainder after them.
TEST_F(XmlDocTest, FormatReformatTextAfterChildren)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    XmlNode* a = XmlCreateElement(XmlRootNode(0), u"a");
    XmlSetNodeText(a, u"tail");
    XmlCreateElement(a, u"b");
    XmlFormat(0, 0x82, 3);
    EXPECT_EQ(Body(0), "\n\n<a>\n   <b/>tail\n</a>\n");
}

// A text too long to build keeps its old form, and the subtree below it is
// left as it was; the rest of the tree is still reformatted.
TEST_F(XmlDocTest, FormatReformatKeepsTextThatCannotBeBuilt)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    XmlNode* e = XmlCreateElement(XmlRootNode(0), u"e");
    XmlSetNodeText(XmlCreateElement(e, u"f"), u"x\ny");
    XmlCreateElement(e, u"g");
    // Two children indented by INT_MAX blanks each pass any text's length.
    XmlFormat(0, 0x82, std::numeric_limits<int>::max());
    EXPECT_FALSE(XmlNodeHasText(e));
    EXPECT_EQ(Body(0), "\n\n<e><f>x\ny</f><g/></e>\n");
}

// ---------------------------------------------------------------------------
// Line-break style chosen by XmlFormat.

struct StyleCase {
    const char* name;
    std::string source;
    unsigned flags;
    XmlLineEnd style;
};

class XmlFormatStyleTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(XmlFormatStyleTest, SetsTheDocumentStyle)
{
    const StyleCase& c = GetParam();
    LoadBytes(0, c.source);
    XmlFormat(0, c.flags);
    EXPECT_EQ(XmlDocumentLineEnd(0), c.style);
}

const StyleCase kStyleCases[] = {
    {"CrLfFlag", "<a>\n</a>", 0x01, XmlLineEnd::CrLf},
    {"LfFlag", "<a>\r\n</a>", 0x02, XmlLineEnd::Lf},
    {"CrFlag", "<a>\n</a>", 0x04, XmlLineEnd::Cr},
    {"CrLfWinsOverLf", "<a>\n</a>", 0x03, XmlLineEnd::CrLf},
    {"LfWinsOverCr", "<a>\n</a>", 0x06, XmlLineEnd::Lf},
    {"DetectedStays", "<a>\n</a>", 0x08, XmlLineEnd::Lf},
    {"UndetectedBecomesCrLf", "<a> </a>", 0x40, XmlLineEnd::CrLf},
    {"UndetectedNoFlags", "<a/>", 0x00, XmlLineEnd::CrLf},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlFormatStyleTest, ::testing::ValuesIn(kStyleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlDocTest, FormatUnknownDocumentDoesNothing)
{
    XmlFormat(3, 0x80, 3);  // never created
    EXPECT_EQ(XmlRootNode(3), nullptr);
}

// Positions past the end of a text (set with XmlSetNodeText) are clamped
// to the text that exists.
TEST_F(XmlDocTest, FormatClampsPositionsToTheText)
{
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    XmlNode* a = XmlCreateElement(XmlRootNode(0), u"a");
    XmlNode* b = XmlCreateElement(a, u"b");
    XmlNode* c = XmlCreateElement(a, u"c");
    XmlSetNodeText(a, u"x  y");
    b->precedingTextLength = 100;
    c->precedingTextLength = 100;
    XmlFormat(0, 0x40);
    EXPECT_EQ(XmlNodeText(a), u"x y");
    EXPECT_EQ(XmlPrecedingTextLength(b), 3u);
    EXPECT_EQ(XmlPrecedingTextLength(c), 0u);
    EXPECT_EQ(Body(0), "<a>x y<b/><c/></a>");
}

// ---------------------------------------------------------------------------
// Depth: no pass recurses per level.

TEST_F(XmlDocTest, FormatAndSaveDeepDocument)
{
    constexpr int kDepth = 200000;
    ASSERT_NE(XmlCreateDocument(0, XmlEncoding::Utf8), nullptr);
    XmlNode* node = XmlRootNode(0);
    for (int i = 0; i < kDepth; ++i) {
        node = XmlCreateElement(node, u"d");
        ASSERT_NE(node, nullptr);
        if (i % 1000 == 0)
            XmlSetNodeText(node, u" \n  t  \n");
    }
    XmlSetNodeText(node, u"x");

    XmlFormat(0, 0x58);     // each such text becomes " t " after the child
    XmlFormat(0, 0x80, 0);  // step 0 keeps the output linear in the depth
    XmlFormat(0, 0x100, 0);
    XmlFormat(0, 0x01);
    XmlFormat(0, 0x02);

    std::string bytes = XmlSerializeToBytes(0, XmlSaveNoDeclaration);
    EXPECT_EQ(bytes.substr(0, 13), "\n\n<d>\n<d>\n<d>");
    const std::string tail = "<d>x</d>\n</d>\n";
    EXPECT_EQ(bytes.find(tail), bytes.find("<d>x"));
    const std::string end = "</d> t \n</d>\n";
    ASSERT_GE(bytes.size(), end.size());
    EXPECT_EQ(bytes.substr(bytes.size() - end.size()), end);
    std::size_t starts = 0;
    for (std::size_t at = bytes.find("<d>"); at != std::string::npos; at = bytes.find("<d>", at + 1))
        ++starts;
    EXPECT_EQ(starts, static_cast<std::size_t>(kDepth));

    nwtest::TempDir dir;
    ASSERT_EQ(XmlSaveFileEx(0, (dir / "deep.xml").u16string(), XmlSaveNoDeclaration), 1);
    EXPECT_EQ(nwtest::ReadFileBytes(dir / "deep.xml"), bytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// Round trips: load, format, save, load again, for every combination of the
// flags 0x08, 0x10, 0x20, 0x40 and 0x80 and each encoding.

namespace {

struct NodeShape {
    int depth;
    int kind;
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> attributes;
    std::u16string text;
    unsigned position;
    std::vector<std::u16string> segments;  // the text split at the children
};

std::vector<NodeShape> Shape(int number)
{
    std::vector<NodeShape> shape;
    XmlNode* root = XmlRootNode(number);
    XmlNode* node = root;
    int depth = 0;
    while (node) {
        NodeShape s{depth, XmlNodeKindOf(node), XmlNodeName(node), {}, XmlNodeText(node),
                    XmlPrecedingTextLength(node), {}};
        if (XmlExamineAttributes(node)) {
            while (XmlNextAttribute(node))
                s.attributes.emplace_back(XmlAttributeName(node), XmlAttributeValue(node));
        }
        std::size_t at = 0;
        for (XmlNode* c = XmlFirstChild(node); c; c = XmlNextSibling(c)) {
            s.segments.push_back(s.text.substr(std::min(at, s.text.size()), XmlPrecedingTextLength(c)));
            at += XmlPrecedingTextLength(c);
        }
        s.segments.push_back(s.text.substr(std::min(at, s.text.size())));
        shape.push_back(std::move(s));
        if (XmlNode* child = XmlFirstChild(node)) {
            node = child;
            ++depth;
            continue;
        }
        while (node != root && !XmlNextSibling(node)) {
            node = XmlParentNode(node);
            --depth;
        }
        node = node == root ? nullptr : XmlNextSibling(node);
    }
    return shape;
}

std::u16string WithoutWhitespace(const std::u16string& s)
{
    std::u16string out;
    for (char16_t c : s)
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
            out += c;
    return out;
}

std::string Printable(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s) {
        if (c == u'\n')
            out += "\\n";
        else if (c == u'\r')
            out += "\\r";
        else if (c == u'\t')
            out += "\\t";
        else
            out += nwtest::U8(std::u16string(1, c));
    }
    return out;
}

// Everything the library keeps: elements with attributes that need escaping,
// leaf and mixed texts, blanks, tabs and line breaks, comments, CDATA, an
// instruction, characters beyond ISO-8859-1 as references.
const char* const kRoundTripSource =
    "<?xml version=\"1.0\" encoding=\"@\"?>\n"
    "<!-- prolog -->\n"
    "<phonebooks>\n"
    "  <phonebook name=\"Privat &amp; B\xC3\xBCro\" owner=\"1\">\n"
    "    <contact>\n"
    "      <category>0</category>\n"
    "      <person>\n"
    "        <realName>  J\xC3\xB6rg   M\xC3\xBCller  </realName>\n"
    "        <note>Zeile eins\n"
    "          Zeile zwei\tmit Tab  </note>\n"
    "      </person>\n"
    "      <telephony nid=\"2\">\n"
    "        <number type=\"home\" prio=\"1\" id=\"0\">030 1234567</number>\n"
    "        <number type=\"mobile\" quickdial=\"\" vanity=\"a&quot;b&apos;c&#10;d&#9;e&#13;\">0171 7654321</number>\n"
    "      </telephony>\n"
    "      <mixed>Anfang <b>fett</b> und <i> kursiv </i>\n"
    "        Ende</mixed>\n"
    "      <![CDATA[ roh  <daten>\n"
    "   zeile ]]>\n"
    "      <?verarbeite  daten  hier ?>\n"
    "      <!--\n"
    "        mehrzeiliger   Kommentar\n"
    "      -->\n"
    "      <stra\xC3\x9F" "e>&#8364; &#x1F600; &lt;&gt;&amp;</stra\xC3\x9F" "e>\n"
    "      <empty/>\n"
    "      <blank> </blank>\n"
    "    </contact>\n"
    "  </phonebook>\n"
    "</phonebooks>\n"
    "<!-- epilog -->\n";

std::string SourceIn(XmlEncoding encoding)
{
    std::string source = kRoundTripSource;
    const char* name = encoding == XmlEncoding::Utf8 ? "UTF-8" : encoding == XmlEncoding::Latin1 ? "ISO-8859-1" : "UTF-16";
    source.replace(source.find('@'), 1, name);
    std::u16string text = nwtest::U16(source);
    if (encoding == XmlEncoding::Utf8)
        return source;
    std::string bytes;
    if (encoding == XmlEncoding::Utf16)
        return "\xFF\xFE" + xmltest::Utf16Le(text);
    for (char16_t c : text)
        bytes += static_cast<char>(c);  // the source has nothing above U+00FF
    return bytes;
}

using RoundTripParam = std::tuple<unsigned, XmlEncoding>;

class XmlFormatRoundTripTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<RoundTripParam> {};

TEST_P(XmlFormatRoundTripTest, SavedDocumentLoadsBackUnchanged)
{
    const auto [flags, encoding] = GetParam();
    LoadBytes(0, SourceIn(encoding));
    ASSERT_EQ(XmlDocumentEncoding(0), encoding);
    const std::vector<NodeShape> loaded = Shape(0);
    XmlFormat(0, flags, 3);
    const std::vector<NodeShape> formatted = Shape(0);

    nwtest::TempDir dir;
    auto file = dir / "saved.xml";
    ASSERT_EQ(XmlSaveFile(0, file.u16string()), 1);
    const std::string bytes = nwtest::ReadFileBytes(file);
    EXPECT_EQ(bytes.substr(0, 2) == "\xFF\xFE", encoding == XmlEncoding::Utf16);
    LoadBytes(1, bytes);
    EXPECT_EQ(XmlDocumentEncoding(1), encoding);
    const std::vector<NodeShape> reloaded = Shape(1);

    ASSERT_EQ(formatted.size(), loaded.size());
    ASSERT_EQ(reloaded.size(), loaded.size());
    const bool reformat = flags & XmlFormatReformat;
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        const NodeShape& a = loaded[i];
        const NodeShape& f = formatted[i];
        const NodeShape& r = reloaded[i];
        SCOPED_TRACE("node " + std::to_string(i) + " <" + nwtest::U8(a.name) + "> \"" + Printable(f.text) + "\"");
        // Structure, names and attributes never change.
        EXPECT_EQ(f.depth, a.depth);
        EXPECT_EQ(f.kind, a.kind);
        EXPECT_EQ(f.name, a.name);
        EXPECT_EQ(f.attributes, a.attributes);
        // Formatting touches whitespace only.
        EXPECT_EQ(WithoutWhitespace(f.text), WithoutWhitespace(a.text));
        // What was written is what comes back.
        EXPECT_EQ(r.depth, f.depth);
        EXPECT_EQ(r.kind, f.kind);
        EXPECT_EQ(r.name, f.name);
        EXPECT_EQ(r.attributes, f.attributes);
        EXPECT_EQ(Printable(r.text), Printable(f.text));
        EXPECT_EQ(r.position, f.position);

        // What the flags allow in the texts they apply to.
        if (f.kind != XmlKindElement && f.kind != XmlKindComment && f.kind != XmlKindRoot)
            continue;
        for (const std::u16string& t : f.segments) {
            if ((flags & XmlFormatCutLineBreaks) && !reformat) {
                EXPECT_EQ(t.find_first_of(u"\r\n"), std::u16string::npos);
            }
            if ((flags & XmlFormatCutBlanks) && !reformat) {
                EXPECT_EQ(t.find_first_of(u" \t"), std::u16string::npos);
            }
            if (!(flags & (XmlFormatCutBlanks | XmlFormatReformat)) && (flags & XmlFormatCollapseBlanks)) {
                for (std::size_t k = 1; k < t.size(); ++k)
                    EXPECT_FALSE((t[k] == u' ' || t[k] == u'\t') && (t[k - 1] == u' ' || t[k - 1] == u'\t'));
            }
            if ((flags & XmlFormatCollapseLineBreaks) && !reformat) {
                EXPECT_EQ(t.find(u"\n\n"), std::u16string::npos);
            }
        }
    }
}

std::vector<RoundTripParam> AllRoundTrips()
{
    std::vector<RoundTripParam> params;
    for (unsigned bits = 0; bits < 32; ++bits) {
        unsigned flags = 0;
        for (unsigned b = 0; b < 5; ++b)
            if (bits & (1u << b))
                flags |= 0x08u << b;
        for (XmlEncoding e : {XmlEncoding::Utf8, XmlEncoding::Latin1, XmlEncoding::Utf16})
            params.emplace_back(flags, e);
    }
    return params;
}

std::string RoundTripName(const ::testing::TestParamInfo<RoundTripParam>& info)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", std::get<0>(info.param));
    XmlEncoding e = std::get<1>(info.param);
    return std::string("F") + hex + (e == XmlEncoding::Utf8 ? "_Utf8" : e == XmlEncoding::Latin1 ? "_Latin1" : "_Utf16");
}

INSTANTIATE_TEST_SUITE_P(AllFlags, XmlFormatRoundTripTest, ::testing::ValuesIn(AllRoundTrips()), RoundTripName);

// Formatting a second time changes nothing when the states each character
// is judged by are the same in both passes:
// - normalisation alone, except when blanks are cut and line breaks
//   collapsed but kept: a text made empty by the first pass no longer
//   resets the after-break state in the second, so a line break after it
//   may be dropped then;
// - reformat with line breaks and blanks cut: normalisation leaves only
//   the non-blank characters each time, and the rebuild works from those.
// Otherwise a reformatted text's indentation, read again, can leave a blank
// where the first pass had none (a line's end after text, a segment after a
// child); a third pass then changes nothing more.
class XmlFormatTwiceTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(XmlFormatTwiceTest, SecondPassChangesNothing)
{
    const unsigned flags = GetParam();
    LoadBytes(0, SourceIn(XmlEncoding::Utf8));
    XmlFormat(0, flags, 3);
    const std::string once = XmlSerializeToBytes(0, 0);
    XmlFormat(0, flags, 3);
    EXPECT_EQ(XmlSerializeToBytes(0, 0), once);
}

INSTANTIATE_TEST_SUITE_P(Idempotent, XmlFormatTwiceTest,
                         ::testing::Values(0x00, 0x08, 0x10, 0x18, 0x20, 0x28, 0x38, 0x40, 0x48, 0x50, 0x58, 0x60,
                                           0x68, 0x78, 0xA8, 0xB8, 0xE8, 0xF8));

TEST_F(XmlDocTest, FormatCollapseWithCutBlanksIsNotIdempotent)
{
    // b's blank is cut in the first pass, which then reset after-break; in
    // the second pass b is empty and the break after a's text still counts.
    LoadBytes(0, "<r><a>x\n</a><b> </b>\n</r>");
    XmlFormat(0, 0x30);
    EXPECT_EQ(Body(0), "<r><a>x\n</a><b/>\n</r>");
    XmlFormat(0, 0x30);
    EXPECT_EQ(Body(0), "<r><a>x\n</a><b/></r>");
}

// The load sequence settles after its second application, and a formatted
// copy read back formats like the tree it was written from.
TEST_F(XmlDocTest, FormatLoadSequenceSettles)
{
    auto loadSequence = [](int number) {
        XmlFormat(number, 0x58);
        XmlFormat(number, 0x80, 3);
    };
    LoadBytes(0, SourceIn(XmlEncoding::Utf8));
    loadSequence(0);
    const std::string first = XmlSerializeToBytes(0, 0);
    loadSequence(0);
    const std::string second = XmlSerializeToBytes(0, 0);
    loadSequence(0);
    EXPECT_EQ(XmlSerializeToBytes(0, 0), second);

    LoadBytes(1, first);
    loadSequence(1);
    EXPECT_EQ(XmlSerializeToBytes(1, 0), second);
}

// A pass that rebuilds texts writes a result over the old text when it
// fits (shorter, or the same) and takes new room otherwise. Either way the
// second pass must give what it gives on the same tree freshly loaded, where
// every text is new; texts set afterwards and the saved file must not
// notice where a text was kept.
struct TwoPassCase {
    const char* name;
    unsigned firstFlags;
    int firstStep;
    unsigned secondFlags;
    int secondStep;
};

class XmlFormatTwoPassTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<TwoPassCase> {};

TEST_P(XmlFormatTwoPassTest, SecondPassOverRebuiltTextsMatchesAFreshLoad)
{
    const TwoPassCase& c = GetParam();
    LoadBytes(0, SourceIn(XmlEncoding::Utf8));
    XmlFormat(0, c.firstFlags, c.firstStep);
    const std::string between = XmlSerializeToBytes(0, 0);
    XmlFormat(0, c.secondFlags, c.secondStep);

    LoadBytes(1, between);
    XmlFormat(1, c.secondFlags, c.secondStep);
    EXPECT_EQ(XmlSerializeToBytes(0, 0), XmlSerializeToBytes(1, 0));

    // Every element's text replaced, then the document saved and read back.
    nwtest::TempDir dir;
    const auto file = dir / "out.xml";
    std::int64_t depth = 0;
    for (XmlNode* node = XmlMainNode(0); node;) {
        if (XmlNodeKindOf(node) == XmlKindElement && XmlNodeHasText(node))
            XmlSetNodeText(node, u"<" + XmlNodeText(node) + u">");
        if (XmlFirstChild(node)) {
            node = XmlFirstChild(node);
            ++depth;
            continue;
        }
        while (node && depth > 0 && !XmlNextSibling(node)) {
            node = XmlParentNode(node);
            --depth;
        }
        node = depth > 0 ? XmlNextSibling(node) : nullptr;
    }
    ASSERT_EQ(XmlSaveFile(0, file.u16string()), 1);
    const std::string saved = nwtest::ReadFileBytes(file);
    EXPECT_NE(saved.find("&lt;"), std::string::npos);
    LoadBytes(2, saved);
    EXPECT_EQ(XmlSerializeToBytes(2, 0), saved);
    XmlFreeDocument(0);
}

const TwoPassCase kTwoPassCases[] = {
    {"ReformatDeeperThenShallower", 0x80, 4, 0x80, 1},
    {"ReformatShallowerThenDeeper", 0x80, 1, 0x80, 4},
    {"ReformatThenSame", 0x80, 3, 0x80, 3},
    {"ReformatThenLf", 0x80, 3, 0x02, 3},
    {"ReformatCrThenCrLf", 0x84, 2, 0x01, 2},
    {"ReindentThenReindentShallower", 0x100, 4, 0x100, 1},
    {"ReindentLfThenCrLf", 0x102, 2, 0x101, 3},
    {"CollapseThenReformat", 0x58, 2, 0x80, 3},
    // After cutting line breaks and collapsing blanks, these find nothing
    // left to do and are left out; a fresh load does them.
    {"CutThenCollapse", 0x58, 2, 0x50, 2},
    {"CutThenCut", 0x48, 2, 0x18, 3},
    {"CutThenCutBlanks", 0x48, 2, 0x20, 3},
    {"CutThenLf", 0x58, 2, 0x02, 3},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlFormatTwoPassTest, ::testing::ValuesIn(kTwoPassCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// ---------------------------------------------------------------------------
// Writing laid out as a reformat equals the reformat done in place, over the
// round-trip source after every normalisation (the load's among them) and
// over every file of the shared test data, loaded whole or up to its error.

namespace {

std::vector<std::string> LayoutSources()
{
    std::vector<std::string> sources;
    for (XmlEncoding e : {XmlEncoding::Utf8, XmlEncoding::Latin1, XmlEncoding::Utf16})
        sources.push_back(SourceIn(e));
    // A text past the builders' usual budget, counted before it is built.
    sources.push_back("<r>\n<a>" + std::string(5 << 20, 'x') + "\n</a><b/></r>");
    const std::filesystem::path shared = nwtest::SharedTestData();
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(shared, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && it->path().extension() == ".xml")
            sources.push_back(nwtest::ReadFileBytes(it->path()));
    return sources;
}

}  // namespace

TEST_F(XmlDocTest, WritingLaidOutEqualsTheReformatInPlace)
{
    nwtest::TempDir dir;
    const auto file = dir / "in.xml";
    const std::vector<std::string> sources = LayoutSources();
    std::size_t compared = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        nwtest::WriteFileBytes(file, sources[i]);
        // The round-trip sources after every normalisation and in several
        // steps; the other files after the load's normalisation or none.
        const bool roundTrip = i < 3;
        for (unsigned bits = 0; bits <= (roundTrip ? 31u : 1u); ++bits) {
            const unsigned flags =
                roundTrip ? (bits & 15) * XmlFormatCutLineBreaks | (bits & 16 ? XmlFormatLf : 0u)
                          : (bits ? XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks : 0);
            for (int step : roundTrip ? std::vector<int>{0, 3, 15} : std::vector<int>{3}) {
                if (!XmlLoadFile(0, file.u16string()) || !XmlLoadFile(1, file.u16string()))
                    break;  // a file that cannot be opened at all
                SCOPED_TRACE("source " + std::to_string(i) + " flags " + std::to_string(flags) + " step " +
                             std::to_string(step));
                XmlFormat(0, flags);
                XmlFormat(1, flags);
                const std::string before = XmlSerializeToBytes(1, 0);
                const std::string laidOut = XmlSerializeToBytes(1, XmlSaveReformatted(step));
                XmlFormat(0, XmlFormatReformat, step);
                const std::string inPlace = XmlSerializeToBytes(0, 0);
                const std::size_t at =
                    std::mismatch(laidOut.begin(), laidOut.end(), inPlace.begin(), inPlace.end()).first -
                    laidOut.begin();
                ASSERT_EQ(laidOut.size(), inPlace.size()) << "first difference at byte " << at;
                ASSERT_EQ(at, laidOut.size()) << laidOut.substr(at < 40 ? 0 : at - 40, 80);
                if (flags & XmlFormatCutLineBreaks && flags & XmlFormatCollapseBlanks) {
                    EXPECT_EQ(XmlSerializeToBytes(1, 0), before);
                }
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 3u * 32 * 3 + 2);
}

// A laid-out save only reads the document: a thread that walks the tree
// meanwhile finds every name, attribute and text as it was before.
TEST_F(XmlDocTest, TheTreeMayBeReadWhileItIsWrittenLaidOut)
{
    constexpr unsigned loadFlags = XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks;
    for (XmlEncoding e : {XmlEncoding::Utf8, XmlEncoding::Latin1, XmlEncoding::Utf16}) {
        LoadBytes(0, SourceIn(e));
        XmlFormat(0, loadFlags);
        XmlNode* const root = XmlRootNode(0);
        const auto contents = [root] {
            std::vector<std::u16string> all;
            std::vector<XmlNode*> open{root};
            while (!open.empty()) {
                XmlNode* node = open.back();
                open.pop_back();
                all.emplace_back(XmlNodeNameView(node));
                all.emplace_back(XmlNodeTextView(node));
                for (int i = 0; i < XmlAttributeCount(node); ++i)
                    all.emplace_back(XmlAttributeValueView(node, i));
                for (XmlNode* c = XmlFirstChild(node); c; c = XmlNextSibling(c))
                    open.push_back(c);
            }
            return all;
        };
        const std::vector<std::u16string> before = contents();
        std::string laidOut;
        std::thread writer([&laidOut] { laidOut = XmlSerializeToBytes(0, XmlSaveReformatted(3)); });
        std::vector<std::vector<std::u16string>> seen;
        for (int i = 0; i < 50; ++i)
            seen.push_back(contents());
        writer.join();
        for (const auto& s : seen)
            EXPECT_EQ(s, before);
        XmlFormat(0, XmlFormatReformat, 3);
        EXPECT_EQ(laidOut, XmlSerializeToBytes(0, 0));
    }
}
