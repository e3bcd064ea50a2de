// Loading files into document trees: the text model, line ends, encodings,
// the DOCTYPE node, parse errors and the limits of the loader.
#include "test_support.h"
#include "xml/xml.h"
#include "xml/xml_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nwtest::U16;
using nwtest::U8;

// Makes line breaks visible in expectations.
std::string Visible(const std::u16string& s)
{
    std::string out;
    for (char c : U8(s)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// One line per tree: kind letter (R Root, E Element, C Comment, D CData,
// T DTD, P Instruction), the name in angle brackets, the attributes in
// braces, the text in quotes ("-" when absent) and the children, each
// prefixed by its precedingTextLength.
std::string Dump(XmlNode* node)
{
    static const char kinds[] = "RECDTP";
    std::string out(1, kinds[XmlNodeKindOf(node)]);
    if (!XmlNodeName(node).empty())
        out += "<" + U8(XmlNodeName(node)) + ">";
    if (XmlExamineAttributes(node) && XmlAttributeCount(node) > 0) {
        out += "{";
        while (XmlNextAttribute(node))
            out += U8(XmlAttributeName(node)) + "=" + U8(XmlAttributeValue(node)) + ";";
        out += "}";
    }
    out += XmlNodeHasText(node) ? "'" + Visible(XmlNodeText(node)) + "'" : "-";
    if (XmlNode* child = XmlFirstChild(node)) {
        out += "[";
        for (bool first = true; child; child = XmlNextSibling(child), first = false) {
            if (!first)
                out += ",";
            out += std::to_string(XmlPrecedingTextLength(child)) + ":" + Dump(child);
        }
        out += "]";
    }
    return out;
}

std::string Utf16Le(const std::u16string& s, bool bom = true)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

class XmlParseTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        XmlFreeDocument(-1);
        XmlSetLoadChunkSize(0);
        XmlSetLoadReadLimit(-1);
    }

    XmlDocument* Load(const std::string& bytes, int number = 0,
                      std::optional<XmlEncoding> encoding = std::nullopt)
    {
        auto file = dir_ / ("in" + std::to_string(files_++) + ".xml");
        nwtest::WriteFileBytes(file, bytes);
        return XmlLoadFileAs(number, U16(file.string()), encoding);
    }

    std::u16string Missing() const { return U16((dir_ / "missing.xml").string()); }

    nwtest::TempDir dir_;
    int files_ = 0;
};

// ---------------------------------------------------------------------------
// The text model: one text per node, children at positions within it.

TEST_F(XmlParseTest, TextModelPlacesChildrenWithinTheParentsText)
{
    ASSERT_NE(Load("<a>x<b/>yz<c/>w</a>"), nullptr);
    EXPECT_EQ(XmlStatus(0), 0);
    XmlNode* a = XmlMainNode(0);
    EXPECT_EQ(XmlNodeText(a), u"xyzw");
    XmlNode* b = XmlFirstChild(a);
    XmlNode* c = XmlNextSibling(b);
    EXPECT_EQ(XmlNodeName(b), u"b");
    EXPECT_EQ(XmlPrecedingTextLength(b), 1u);
    EXPECT_EQ(XmlNodeName(c), u"c");
    EXPECT_EQ(XmlPrecedingTextLength(c), 2u);
    EXPECT_EQ(XmlNextSibling(c), nullptr);
    EXPECT_EQ(XmlParentNode(c), a);
    EXPECT_EQ(XmlParentNode(a), XmlRootNode(0));
}

struct TreeCase {
    const char* name;
    const char* input;
    const char* tree;
};

class XmlTreeTest : public XmlParseTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(XmlTreeTest, BuildsTheExpectedTree)
{
    ASSERT_NE(Load(GetParam().input), nullptr);
    EXPECT_EQ(XmlStatus(0), 0) << U8(XmlErrorMessage(0));
    EXPECT_EQ(Dump(XmlRootNode(0)), GetParam().tree);
}

const TreeCase kTrees[] = {
    {"TextModel", "<a>x<b/>yz<c/>w</a>", "R-[0:E<a>'xyzw'[1:E<b>-,2:E<c>-]]"},
    {"OnlyWhitespaceBetweenChildrenStays", "<a>\n  <b>1</b>\n  <c>2</c>\n</a>",
     "R-[0:E<a>'\\n  \\n  \\n'[3:E<b>'1',3:E<c>'2']]"},
    {"NewlinesAroundDocumentElementGoToRoot", "<?xml version=\"1.0\"?>\n<a/>\n",
     "R'\\n\\n'[1:E<a>-]"},
    {"CommentsInstructionsAndCData", "<!--top--><a>1<!-- c -->2<?pi data?>3<![CDATA[<x>]]>4</a>",
     "R-[0:C'top',0:E<a>'1234'[1:C' c ',1:P<pi>'data',1:D'<x>']]"},
    {"InstructionWithoutData", "<a><?go?></a>", "R-[0:E<a>-[0:P<go>-]]"},
    {"PredefinedAndCharacterReferences", "<a>&lt;&amp;&#65;&#x42;</a>", "R-[0:E<a>'<&AB']"},
    {"InternalEntityExpandsToItsReplacementText",
     "<!DOCTYPE a [<!ENTITY e \"Hello &#38;amp; <b>bye</b>\">]><a>x&e;y</a>",
     "R-[0:T'<!DOCTYPE a [<!ENTITY e \"Hello &#38;amp; <b>bye</b>\">]>',0:E<a>'xHello & y'[9:E<b>'bye']]"},
    {"EntityInAttributeValue", "<!DOCTYPE a [<!ENTITY e \"vw\">]><a t=\"[&e;]\">&e;</a>",
     "R-[0:T'<!DOCTYPE a [<!ENTITY e \"vw\">]>',0:E<a>{t=[vw];}'vw']"},
    {"NonAsciiText", "<a>\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80</a>",
     "R-[0:E<a>'\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80']"},
};

INSTANTIATE_TEST_SUITE_P(Trees, XmlTreeTest, ::testing::ValuesIn(kTrees),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlParseTest, SurrogatePairsAreStoredAsTwoUnits)
{
    ASSERT_NE(Load("<a>\xF0\x9F\x98\x80</a>"), nullptr);
    EXPECT_EQ(XmlNodeText(XmlMainNode(0)), std::u16string(u"\xD83D\xDE00"));
}

TEST_F(XmlParseTest, AttributesKeepDocumentOrderAndNormalisedValues)
{
    ASSERT_NE(Load("<a z=\"1\" y=\"a&amp;b\" x=\" two\n lines \" Id=\"k\"/>"), nullptr);
    XmlNode* a = XmlMainNode(0);
    std::vector<std::pair<std::u16string, std::u16string>> seen;
    ASSERT_EQ(XmlExamineAttributes(a), 1);
    while (XmlNextAttribute(a))
        seen.emplace_back(XmlAttributeName(a), XmlAttributeValue(a));
    std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {u"z", u"1"}, {u"y", u"a&b"}, {u"x", u" two  lines "}, {u"Id", u"k"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(XmlIdAttributeIndex(a), 3);
}

// ---------------------------------------------------------------------------
// Line ends.

struct LineEndCase {
    const char* name;
    std::string input;
    XmlLineEnd lineEnd;
    const char* tree;
};

class XmlLineEndTest : public XmlParseTest, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(XmlLineEndTest, DetectsStyleAndKeepsBreaksInTexts)
{
    ASSERT_NE(Load(GetParam().input), nullptr);
    EXPECT_EQ(XmlStatus(0), 0) << U8(XmlErrorMessage(0));
    EXPECT_EQ(XmlDocumentLineEnd(0), GetParam().lineEnd);
    EXPECT_EQ(Dump(XmlRootNode(0)), GetParam().tree);
}

const LineEndCase kLineEnds[] = {
    {"CrLf", "<a>1\r\n2</a>\r\n", XmlLineEnd::CrLf, "R'\\r\\n'[0:E<a>'1\\r\\n2']"},
    {"Lf", "<a>1\n2</a>\n", XmlLineEnd::Lf, "R'\\n'[0:E<a>'1\\n2']"},
    {"Cr", "<a>1\r2</a>\r", XmlLineEnd::Cr, "R'\\r'[0:E<a>'1\\r2']"},
    {"NoBreakLeavesStyleUnknown", "<a>12</a>", XmlLineEnd::Unknown, "R-[0:E<a>'12']"},
    // Breaks inside element content take the detected style.
    {"LoneLfInCrLfFileBecomesCrLf", "<a>1\r\n2\n3</a>", XmlLineEnd::CrLf, "R-[0:E<a>'1\\r\\n2\\r\\n3']"},
    // The first break decides.
    {"LfBeforeCrLf", "<a>1\n2\r\n3</a>", XmlLineEnd::Lf, "R-[0:E<a>'1\\n2\\n3']"},
    {"CrBeforeLf", "<a>1\r2\n3</a>", XmlLineEnd::Cr, "R-[0:E<a>'1\\r2\\r3']"},
    // A break in the first byte is skipped; the next one decides.
    {"LeadingLfSkipped", "\n<a>1\r\n2</a>", XmlLineEnd::CrLf, "R'\\n'[1:E<a>'1\\r\\n2']"},
    // The last byte never starts a break.
    {"BreakOnlyInLastByte", "<a>12</a>\n", XmlLineEnd::Unknown, "R'\\n'[0:E<a>'12']"},
    {"BreaksInAttributeValuesAreNormalised", "<a v=\"1\r\n2\">x\r\ny</a>", XmlLineEnd::CrLf,
     "R-[0:E<a>{v=1 2;}'x\\r\\ny']"},
    {"Utf16CrLf", Utf16Le(u"<a>1\r\n2</a>"), XmlLineEnd::CrLf, "R-[0:E<a>'1\\r\\n2']"},
    {"Utf16Lf", Utf16Le(u"<a>1\n2</a>"), XmlLineEnd::Lf, "R-[0:E<a>'1\\n2']"},
    {"Utf16Cr", Utf16Le(u"<a>1\r2</a>"), XmlLineEnd::Cr, "R-[0:E<a>'1\\r2']"},
    {"Utf16BigEndianLf", std::string("\xFE\xFF\0<\0a\0>\0" "1\0\n\0" "2\0<\0/\0a\0>", 22), XmlLineEnd::Lf,
     "R-[0:E<a>'1\\n2']"},
};

INSTANTIATE_TEST_SUITE_P(LineEnds, XmlLineEndTest, ::testing::ValuesIn(kLineEnds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlParseTest, LineEndIsDetectedInALaterChunk)
{
    // The first chunks hold no break; the first one found decides.
    std::string input = "<a>" + std::string(40000, 'x') + "\r\n</a>";
    ASSERT_NE(Load(input), nullptr);
    EXPECT_EQ(XmlDocumentLineEnd(0), XmlLineEnd::CrLf);
    std::u16string text = XmlNodeText(XmlMainNode(0));
    ASSERT_EQ(text.size(), 40002u);
    EXPECT_EQ(text.substr(40000), u"\r\n");
}

// Texts are converted several bytes at a time while they are plain ASCII:
// a line break or a non-ASCII character at any place of such a run, in any
// line-break style, comes out as written. Element content reaches the loader
// in pieces that end at line breaks; comments and instructions in one piece.
struct RunCase {
    const char* name;
    const char* breakBytes;     // as in the file
    std::u16string breakUnits;  // as in the text
};

class XmlTextRunTest : public XmlParseTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(XmlTextRunTest, EveryPlaceOfARunKeepsItsCharacter)
{
    const RunCase& c = GetParam();
    const std::string plain = "0123456789abcdefghij";
    const struct {
        std::string bytes;
        std::u16string units;
    } inserts[] = {{c.breakBytes, c.breakUnits}, {"\xC3\xA9", u"\u00e9"}, {"\xE2\x82\xAC", u"\u20ac"},
                   {"\xF0\x9F\x98\x80", u"\U0001F600"}};
    for (const auto& insert : inserts) {
        for (std::size_t at = 0; at <= plain.size(); ++at) {
            SCOPED_TRACE(at);
            // The first break of the file sets the style.
            const std::string text = plain.substr(0, at) + insert.bytes + plain.substr(at);
            const std::string file =
                std::string("<r>") + c.breakBytes + "<t>" + text + "</t><!--" + text + "--><?pi :" + text + "?></r>";
            ASSERT_NE(Load(file), nullptr);
            ASSERT_EQ(XmlStatus(0), 0) << U8(XmlErrorMessage(0));
            const std::u16string expected = U16(plain.substr(0, at)) + insert.units + U16(plain.substr(at));
            XmlNode* element = XmlFirstChild(XmlMainNode(0));
            EXPECT_EQ(XmlNodeText(element), expected);
            EXPECT_EQ(XmlNodeText(XmlNextSibling(element)), expected);
            EXPECT_EQ(XmlNodeText(XmlNextSibling(XmlNextSibling(element))), u":" + expected);
        }
    }
}

const RunCase kRuns[] = {
    {"CrLf", "\r\n", u"\r\n"},
    {"Lf", "\n", u"\n"},
    {"Cr", "\r", u"\r"},
};

INSTANTIATE_TEST_SUITE_P(Styles, XmlTextRunTest, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

// Names and short attribute values are stored once per document and shared;
// names that differ only in the middle, only in length or only past their
// eighth byte stay apart, whatever their length.
TEST_F(XmlParseTest, SharedNamesAndValuesStayDistinct)
{
    const std::vector<std::string> names = {
        "a",        "ab",        "abcdefg",          "abcdefgh",          "abcdefgi",          "abcdefgh1",
        "abcdefgh2", "abcdefghij", "aaaaaaaaaaaaaaaa", "aaaaaaaaaaaaaaaaa", "abcdefghXijklmnop", "abcdefghYijklmnop",
        "abcdefghXijklmnopq", "x\xC3\xA9", "x\xC3\xA9y\xC3\xA9z\xC3\xA9w\xC3\xA9",
        "a-very-long-element-name-of-forty-bytes",
    };
    // Values up to eight bytes are shared, longer ones are not; both kinds
    // must read back as written.
    const std::vector<std::string> values = {"",         "1",         "home",       "12345678", "12345679",
                                             "123456789", "123456780", "h\xC3\xB6me", "aaaaaaaaaaaaaaaaa"};
    std::string file = "<r>";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& v = values[i % values.size()];
        const std::string& w = values[(i + 3) % values.size()];
        file += "<" + names[i] + " " + names[(i + 1) % names.size()] + "=\"" + v + "\" " + names[i] + "=\"" + w +
                "\"/>";
    }
    // The same again: every name and value is found in the table now.
    file += file.substr(3) + "</r>";
    ASSERT_NE(Load(file), nullptr);
    ASSERT_EQ(XmlStatus(0), 0) << U8(XmlErrorMessage(0));
    XmlNode* e = XmlFirstChild(XmlMainNode(0));
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < names.size(); ++i, e = XmlNextSibling(e)) {
            SCOPED_TRACE(names[i]);
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(U8(XmlNodeName(e)), names[i]);
            ASSERT_EQ(XmlAttributeCount(e), 2);
            EXPECT_EQ(U8(std::u16string(XmlAttributeNameView(e, 0))), names[(i + 1) % names.size()]);
            EXPECT_EQ(U8(std::u16string(XmlAttributeValueView(e, 0))), values[i % values.size()]);
            EXPECT_EQ(U8(std::u16string(XmlAttributeNameView(e, 1))), names[i]);
            EXPECT_EQ(U8(std::u16string(XmlAttributeValueView(e, 1))), values[(i + 3) % values.size()]);
        }
    }
    EXPECT_EQ(e, nullptr);
}

// ---------------------------------------------------------------------------
// Declared encodings and standalone.

struct EncodingCase {
    const char* name;
    std::string input;
    std::optional<XmlEncoding> forced;
    XmlEncoding encoding;
    int standalone;
    std::u16string text;
};

class XmlEncodingTest : public XmlParseTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(XmlEncodingTest, DeclarationChoosesEncodingAndStandalone)
{
    const EncodingCase& c = GetParam();
    ASSERT_NE(Load(c.input, 0, c.forced), nullptr);
    EXPECT_EQ(XmlStatus(0), 0) << U8(XmlErrorMessage(0));
    EXPECT_EQ(XmlDocumentEncoding(0), c.encoding);
    EXPECT_EQ(XmlDocumentStandalone(0), c.standalone);
    EXPECT_EQ(XmlNodeText(XmlMainNode(0)), c.text);
}

const EncodingCase kEncodings[] = {
    {"LowerCaseUtf8", "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xC3\xA4</a>", std::nullopt,
     XmlEncoding::Utf8, -1, u"\u00E4"},
    {"Latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE4</a>", std::nullopt, XmlEncoding::Latin1,
     -1, u"\u00E4"},
    {"Latin1LowerCase", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xFF</a>", std::nullopt,
     XmlEncoding::Latin1, -1, u"\u00FF"},
    {"UsAscii", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><a>x</a>", std::nullopt, XmlEncoding::Latin1, -1,
     u"x"},
    {"Utf16", Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\u20AC</a>"), std::nullopt,
     XmlEncoding::Utf16, -1, u"\u20AC"},
    {"NoDeclaration", "<a>x</a>", std::nullopt, XmlEncoding::Utf8, -1, u"x"},
    {"DeclarationWithoutEncoding", "<?xml version=\"1.0\"?><a>x</a>", std::nullopt, XmlEncoding::Utf8, -1, u"x"},
    {"Utf16WithoutDeclarationStaysUtf8", Utf16Le(u"<a>\u20AC</a>"), std::nullopt, XmlEncoding::Utf8, -1,
     u"\u20AC"},
    {"StandaloneYes", "<?xml version=\"1.0\" standalone=\"yes\"?><a>x</a>", std::nullopt, XmlEncoding::Utf8, 1,
     u"x"},
    {"StandaloneNo", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><a>x</a>", std::nullopt,
     XmlEncoding::Utf8, 0, u"x"},
    // An explicit encoding overrides the declaration, for reading and saving.
    {"ForcedLatin1", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA4</a>", XmlEncoding::Latin1,
     XmlEncoding::Latin1, -1, u"\u00C3\u00A4"},
    {"ForcedUtf8", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA4</a>", XmlEncoding::Utf8,
     XmlEncoding::Utf8, -1, u"\u00E4"},
};

INSTANTIATE_TEST_SUITE_P(Encodings, XmlEncodingTest, ::testing::ValuesIn(kEncodings),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The DOCTYPE node.

const TreeCase kDoctypes[] = {
    {"SystemIdWithoutSubset", "<!DOCTYPE a SYSTEM \"a.dtd\">\n<a/>",
     "R'\\n'[0:T'<!DOCTYPE a SYSTEM \"a.dtd\">',1:E<a>-]"},
    {"PublicAndSystemId", "<!DOCTYPE  a  PUBLIC  '-//X//Y'  'a.dtd' ><a/>",
     "R-[0:T'<!DOCTYPE a PUBLIC \"-//X//Y\" \"a.dtd\">',0:E<a>-]"},
    {"SystemIdHoldingADoubleQuote", "<!DOCTYPE a SYSTEM 'q\"uote.dtd'><a/>",
     "R-[0:T'<!DOCTYPE a SYSTEM 'q\"uote.dtd'>',0:E<a>-]"},
    {"NameOnly", "<!DOCTYPE a><a/>", "R-[0:T'<!DOCTYPE a>',0:E<a>-]"},
    {"InternalSubsetWithoutIds", "<!DOCTYPE a [\n<!ELEMENT a (#PCDATA)>\n<!ATTLIST a v CDATA \"d\">\n] >\n<a/>",
     "R'\\n'[0:T'<!DOCTYPE a [\\n<!ELEMENT a (#PCDATA)>\\n<!ATTLIST a v CDATA \"d\">\\n]>',1:E<a>{v=d;}-]"},
    {"SystemIdAndInternalSubset", "<!DOCTYPE a SYSTEM \"a.dtd\" [<!ENTITY e \"x\">]><a>&e;</a>",
     "R-[0:T'<!DOCTYPE a SYSTEM \"a.dtd\" [<!ENTITY e \"x\">]>',0:E<a>'x']"},
    // Comments and instructions of the subset are children of the DTD node,
    // placed within its text like children of an element.
    {"CommentAndInstructionInSubset", "<!DOCTYPE a [\n<!-- c -->\n<?p d?>\n]><a/>",
     "R-[0:T'<!DOCTYPE a [\\n\\n\\n]>'[14:C' c ',1:P<p>'d'],0:E<a>-]"},
};

class XmlDoctypeTest : public XmlTreeTest {};

TEST_P(XmlDoctypeTest, RebuildsTheDeclaration)
{
    ASSERT_NE(Load(GetParam().input), nullptr);
    EXPECT_EQ(XmlStatus(0), 0) << U8(XmlErrorMessage(0));
    EXPECT_EQ(Dump(XmlRootNode(0)), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(Doctypes, XmlDoctypeTest, ::testing::ValuesIn(kDoctypes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlParseTest, NoOtherFileIsEverRead)
{
    // Files that a reader resolving external entities would pull in.
    nwtest::WriteFileBytes(dir_ / "secret.txt", "SECRET");
    nwtest::WriteFileBytes(dir_ / "ext.dtd", "<!ENTITY e \"SECRET\"><!ATTLIST a v CDATA \"SECRET\">");
    struct Case {
        const char* input;
        const char* tree;
    };
    // References to entities that are not read stay in the text as written.
    const Case cases[] = {
        {"<!DOCTYPE a [<!ENTITY ext SYSTEM \"secret.txt\">]><a>&ext;</a>",
         "R-[0:T'<!DOCTYPE a [<!ENTITY ext SYSTEM \"secret.txt\">]>',0:E<a>'&ext;']"},
        {"<!DOCTYPE a SYSTEM \"ext.dtd\"><a>&e;</a>", "R-[0:T'<!DOCTYPE a SYSTEM \"ext.dtd\">',0:E<a>'&e;']"},
        {"<!DOCTYPE a [<!ENTITY % p SYSTEM \"ext.dtd\">%p;]><a>&e;</a>",
         "R-[0:T'<!DOCTYPE a [<!ENTITY % p SYSTEM \"ext.dtd\">%p;]>',0:E<a>'&e;']"},
    };
    for (const Case& c : cases) {
        auto file = dir_ / "doc.xml";
        nwtest::WriteFileBytes(file, c.input);
        ASSERT_NE(XmlLoadFile(0, U16(file.string())), nullptr) << c.input;
        EXPECT_EQ(XmlStatus(0), 0) << c.input;
        EXPECT_EQ(Dump(XmlRootNode(0)), c.tree);
    }
}

TEST_F(XmlParseTest, DefaultedAttributesOfTheSubsetAreReported)
{
    ASSERT_NE(Load("<!DOCTYPE a [<!ATTLIST a v CDATA \"d\">]><a w=\"1\"/>"), nullptr);
    XmlNode* a = XmlMainNode(0);
    ASSERT_EQ(XmlAttributeCount(a), 2);
    XmlExamineAttributes(a);
    XmlNextAttribute(a);
    XmlNextAttribute(a);
    EXPECT_EQ(XmlAttributeName(a), u"v");
    EXPECT_EQ(XmlAttributeValue(a), u"d");
}

// ---------------------------------------------------------------------------
// Parse errors.

struct ErrorCase {
    const char* name;
    std::string input;
    int status;
    int line;
    int column;  // line and column -1: anywhere
    const char* message;
    const char* tree;  // what was built before the error; nullptr: not checked
};

class XmlErrorTest : public XmlParseTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(XmlErrorTest, ReportsStatusPositionAndMessageAndKeepsThePartialTree)
{
    const ErrorCase& c = GetParam();
    ASSERT_NE(Load(c.input), nullptr);
    EXPECT_EQ(XmlStatus(0), c.status);
    if (c.line >= 0) {
        EXPECT_EQ(XmlErrorLine(0), c.line);
        EXPECT_EQ(XmlErrorColumn(0), c.column);
    } else {
        EXPECT_GE(XmlErrorLine(0), 1);
        EXPECT_GE(XmlErrorColumn(0), 1);
    }
    EXPECT_EQ(U8(XmlErrorMessage(0)), c.message);
    if (c.tree) {
        EXPECT_EQ(Dump(XmlRootNode(0)), c.tree);
    }
}

const ErrorCase kErrors[] = {
    // Expat places the error at the name of the end tag.
    {"MismatchedTag", "<a><b></a>", 7, 1, 9, "mismatched tag", "R-[0:E<a>-[0:E<b>-]]"},
    {"CutOffInsideDocumentElement", "<a>\n  <b>text", 3, 2, 10, "no element found",
     "R-[0:E<a>'\\n  '[3:E<b>'text']]"},
    {"CutOffInsideATag", "<a>\n<b x=", 5, 2, 1, "unclosed token", "R-[0:E<a>'\\n']"},
    {"JunkAfterDocumentElement", "<a/>\n<b/>", 9, 2, 1, "junk after document element", "R'\\n'[0:E<a>-]"},
    {"DuplicateAttribute", "<a x='1' x='2'/>", 8, 1, 10, "duplicate attribute", "R-"},
    {"UndefinedEntity", "<a>1\n&u;</a>", 11, 2, 1, "undefined entity", "R-[0:E<a>'1\\n']"},
    {"InvalidCharacter", "<a>x\x01</a>", 4, 1, 5, "not well-formed (invalid token)", "R-[0:E<a>'x']"},
    {"UnknownEncoding", "<?xml version=\"1.0\" encoding=\"x-nothing\"?><a/>", 18, 1, 31, "unknown encoding",
     "R-"},
    {"EmptyDocumentElementMissing", "<!-- only -->", 3, 1, 14, "no element found", "R-[0:C' only ']"},
    // Codes beyond the first forty have their messages too.
    {"EntityAmplification",
     "<!DOCTYPE a [<!ENTITY a0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">"
     "<!ENTITY a1 \"&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;&a0;\">"
     "<!ENTITY a2 \"&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;&a1;\">"
     "<!ENTITY a3 \"&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;&a2;\">"
     "<!ENTITY a4 \"&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;&a3;\">"
     "<!ENTITY a5 \"&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;&a4;\">"
     "<!ENTITY a6 \"&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;&a5;\">"
     "<!ENTITY a7 \"&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;&a6;\">"
     "<!ENTITY a8 \"&a7;&a7;&a7;&a7;&a7;&a7;&a7;&a7;&a7;&a7;\">]><a>&a8;</a>",
     43, -1, -1, "limit on input amplification factor (from DTD and entities) breached", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Errors, XmlErrorTest, ::testing::ValuesIn(kErrors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(XmlParseTest, UnusableFilesGiveNoDocumentAndKeepTheEarlierOne)
{
    ASSERT_NE(Load("<keep/>"), nullptr);
    EXPECT_EQ(XmlLoadFile(0, Missing()), nullptr);
    EXPECT_EQ(Load(""), nullptr);  // zero bytes
    EXPECT_EQ(XmlLoadFile(0, u""), nullptr);
    EXPECT_EQ(XmlLoadFile(0, U16(dir_.path().string())), nullptr);  // a folder
    EXPECT_EQ(XmlNodeName(XmlMainNode(0)), u"keep");
    EXPECT_EQ(XmlStatus(0), 0);
}

TEST_F(XmlParseTest, AFileThatShrinksWhileReadEndsTheLoad)
{
    XmlSetLoadChunkSize(8);
    XmlSetLoadReadLimit(20);
    ASSERT_NE(Load("<list><item>1</item><item>2</item><item>3</item></list>"), nullptr);
    EXPECT_EQ(XmlStatus(0), XmlStatusShortRead);
    EXPECT_EQ(U8(XmlErrorMessage(0)), "file ended before its measured size was read");
    EXPECT_EQ(XmlErrorLine(0), 1);
    EXPECT_GT(XmlErrorColumn(0), 0);
    EXPECT_EQ(XmlNodeName(XmlMainNode(0)), u"list");
    EXPECT_EQ(XmlNodeName(XmlFirstChild(XmlMainNode(0))), u"item");
}

TEST_F(XmlParseTest, LoadingTheSameNumberAgainFreesTheFirstDocument)
{
    const std::size_t before = XmlNodesInUse();
    ASSERT_NE(Load("<a><b/><c/></a>"), nullptr);
    EXPECT_EQ(XmlNodesInUse(), before + 4);
    ASSERT_NE(Load("<x/>"), nullptr);
    EXPECT_EQ(XmlNodesInUse(), before + 2);
    EXPECT_EQ(XmlNodeName(XmlMainNode(0)), u"x");
    ASSERT_NE(Load("<y><z/></y>", 5), nullptr);
    EXPECT_EQ(XmlNodesInUse(), before + 5);
    XmlFreeDocument(-1);
    EXPECT_EQ(XmlNodesInUse(), before);
    EXPECT_EQ(XmlRootNode(0), nullptr);
    EXPECT_EQ(XmlRootNode(5), nullptr);
}

// ---------------------------------------------------------------------------
// Limits.

int ElementDepth(XmlNode* element)
{
    int depth = 0;
    for (XmlNode* n = element; n && XmlNodeKindOf(n) == XmlKindElement; n = XmlFirstChild(n))
        ++depth;
    return depth;
}

std::string Nested(int depth)
{
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += "<e>";
    for (int i = 0; i < depth; ++i)
        s += "</e>";
    return s;
}

TEST_F(XmlParseTest, NestingUpToTheLimitLoads)
{
    ASSERT_NE(Load(Nested(XmlMaxLoadDepth)), nullptr);
    EXPECT_EQ(XmlStatus(0), 0);
    EXPECT_EQ(ElementDepth(XmlMainNode(0)), XmlMaxLoadDepth);
}

TEST_F(XmlParseTest, NestingBeyondTheLimitStopsTheLoadLikeAParseError)
{
    ASSERT_NE(Load("<r>\n" + Nested(XmlMaxLoadDepth)), nullptr);
    EXPECT_EQ(XmlStatus(0), XmlStatusTooDeep);
    EXPECT_EQ(U8(XmlErrorMessage(0)), "nesting deeper than 1000 levels");
    // r and 999 e elements fit; the 1000th "<e>" starts at column 2998.
    EXPECT_EQ(XmlErrorLine(0), 2);
    EXPECT_EQ(XmlErrorColumn(0), 2998);
    EXPECT_EQ(ElementDepth(XmlMainNode(0)), XmlMaxLoadDepth);
}

TEST_F(XmlParseTest, VeryDeepFileLoadsWithTheLimitStatusAndFrees)
{
    const std::size_t before = XmlNodesInUse();
    ASSERT_NE(Load(Nested(200000)), nullptr);
    EXPECT_EQ(XmlStatus(0), XmlStatusTooDeep);
    EXPECT_EQ(XmlNodesInUse(), before + 1 + XmlMaxLoadDepth);
    XmlFreeDocument(0);
    EXPECT_EQ(XmlNodesInUse(), before);
}

TEST_F(XmlParseTest, ElementKeepsSeventyThousandAttributes)
{
    constexpr int count = 70000;
    std::string input = "<a";
    for (int i = 0; i < count; ++i)
        input += " n" + std::to_string(i) + "=\"" + std::to_string(i * 7) + "\"";
    input += " id=\"last\"/>";
    ASSERT_NE(Load(input), nullptr);
    ASSERT_EQ(XmlStatus(0), 0);
    XmlNode* a = XmlMainNode(0);
    EXPECT_EQ(XmlAttributeCount(a), count + 1);
    EXPECT_EQ(XmlIdAttributeIndex(a), count);
    ASSERT_EQ(XmlExamineAttributes(a), 1);
    int seen = 0;
    bool inOrder = true;
    while (XmlNextAttribute(a)) {
        if (seen < count)
            inOrder = inOrder && XmlAttributeName(a) == U16("n" + std::to_string(seen)) &&
                      XmlAttributeValue(a) == U16(std::to_string(seen * 7));
        ++seen;
    }
    EXPECT_EQ(seen, count + 1);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(XmlAttributeValue(a), u"");  // iterator past the end
}

TEST_F(XmlParseTest, LongTextsAndManyNodesSurviveArenaBlockBoundaries)
{
    // Texts far longer than an arena block and many short ones after them.
    std::string big(700000, 'q');
    std::string input = "<a><b>" + big + "</b>";
    for (int i = 0; i < 20000; ++i)
        input += "<c>" + std::to_string(i) + "</c>";
    input += "</a>";
    ASSERT_NE(Load(input), nullptr);
    ASSERT_EQ(XmlStatus(0), 0);
    XmlNode* b = XmlFirstChild(XmlMainNode(0));
    EXPECT_EQ(XmlNodeText(b), U16(big));
    int i = 0;
    bool allRight = true;
    for (XmlNode* c = XmlNextSibling(b); c; c = XmlNextSibling(c), ++i)
        allRight = allRight && XmlNodeText(c) == U16(std::to_string(i)) && XmlNodeName(c) == u"c";
    EXPECT_EQ(i, 20000);
    EXPECT_TRUE(allRight);
}

// ---------------------------------------------------------------------------
// The same inputs fed to Expat in tiny pieces give the same trees.

class XmlChunkTest : public XmlParseTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(XmlChunkTest, TreesDoNotDependOnChunkSize)
{
    const TreeCase cases[] = {
        kTrees[0], kTrees[1], kTrees[3], kTrees[6], kTrees[8], kDoctypes[6],
        {"Utf16", "", "R-[0:E<a>'\xE2\x82\xAC'[1:E<b>-]]"},
    };
    XmlSetLoadChunkSize(GetParam());
    for (const TreeCase& c : cases) {
        std::string input = c.input;
        if (std::string(c.name) == "Utf16")
            input = Utf16Le(u"<a>\u20AC<b/></a>");
        ASSERT_NE(Load(input), nullptr) << c.name;
        EXPECT_EQ(XmlStatus(0), 0) << c.name;
        EXPECT_EQ(Dump(XmlRootNode(0)), c.tree) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Chunks, XmlChunkTest, ::testing::Values(1, 2, 3, 5, 7));

TEST_F(XmlParseTest, ErrorsArePlacedTheSameWithTinyChunks)
{
    XmlSetLoadChunkSize(1);
    ASSERT_NE(Load("<a>\n<b></a>"), nullptr);
    EXPECT_EQ(XmlStatus(0), 7);
    EXPECT_EQ(XmlErrorLine(0), 2);
    EXPECT_EQ(XmlErrorColumn(0), 6);
}

}  // namespace
