// Serialiser: declaration, escaping, the three encoders, comments and the
// DTD, the 4096-byte buffer, atomic saving and UTF-16 paths.
#include "xml_doc_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using xmltest::Body;
using xmltest::Child;
using xmltest::LoadBytes;
using xmltest::Utf16Le;
using xmltest::XmlDocTest;

namespace fs = std::filesystem;

namespace {

XmlNode* NewDocumentElement(int number, XmlEncoding encoding, const std::u16string& name = u"e")
{
    if (!XmlCreateDocument(number, encoding))
        return nullptr;
    return XmlCreateElement(XmlRootNode(number), name);
}

std::vector<std::string> FileNames(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

// ---------------------------------------------------------------------------
// Escaping and element forms

TEST_F(XmlDocTest, WriteEscapesTextAndAttributeValues)
{
    XmlNode* e = NewDocumentElement(0, XmlEncoding::Utf8);
    const std::u16string value = u"\"'\r\n<&>\t";
    const std::u16string text = u"<a & b> \"q\" 'x'\t";
    XmlSetAttribute(e, u"v", value);
    XmlSetNodeText(e, text);
    std::string body = Body(0);
    EXPECT_EQ(body, "<e v=\"&quot;&apos;&#13;&#10;&lt;&amp;&gt;&#9;\">&lt;a &amp; b&gt; \"q\" 'x'\t</e>");

    // Every character comes back, the tab in the value included.
    LoadBytes(1, body);
    XmlNode* back = XmlMainNode(1);
    ASSERT_EQ(XmlExamineAttributes(back), 1);
    ASSERT_EQ(XmlNextAttribute(back), 1);
    EXPECT_EQ(XmlAttributeValue(back), value);
    EXPECT_EQ(XmlNodeText(back), text);
}

struct ElementCase {
    const char* name;
    std::function<void(XmlNode*)> build;
    std::string expected;
};

class XmlWriteElementTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<ElementCase> {};

TEST_P(XmlWriteElementTest, WritesTheElement)
{
    XmlNode* e = NewDocumentElement(0, XmlEncoding::Utf8);
    GetParam().build(e);
    EXPECT_EQ(Body(0), GetParam().expected);
}

const ElementCase kElementCases[] = {
    {"Empty", [](XmlNode*) {}, "<e/>"},
    {"EmptyWithAttributes",
     [](XmlNode* e) {
         XmlSetAttribute(e, u"a", u"1");
         XmlSetAttribute(e, u"b", u"");
     },
     "<e a=\"1\" b=\"\"/>"},
    {"EmptyText", [](XmlNode* e) { XmlSetNodeText(e, u""); }, "<e/>"},
    {"BlankText", [](XmlNode* e) { XmlSetNodeText(e, u" "); }, "<e> </e>"},
    {"ChildWithoutText", [](XmlNode* e) { XmlCreateElement(e, u"f"); }, "<e><f/></e>"},
    {"TextAfterChildren",
     [](XmlNode* e) {
         XmlSetNodeText(e, u"t");
         XmlCreateElement(e, u"f");
         XmlCreateElement(e, u"g");
     },
     "<e><f/><g/>t</e>"},
    {"AttributeOrderOfFirstSetting",
     [](XmlNode* e) {
         XmlSetAttribute(e, u"z", u"1");
         XmlSetAttribute(e, u"a", u"2");
         XmlSetAttribute(e, u"z", u"3");
     },
     "<e z=\"3\" a=\"2\"/>"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlWriteElementTest, ::testing::ValuesIn(kElementCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Names

// True when an element and an attribute both called name, written and
// loaded again, come back under that name.
bool NameReadBack(const std::u16string& name)
{
    XmlNode* e = NewDocumentElement(0, XmlEncoding::Utf8, name);
    if (!e)
        return false;
    XmlSetAttribute(e, name, u"1");
    nwtest::TempDir dir;
    nwtest::WriteFileBytes(dir / "n.xml", XmlSerializeToBytes(0, 0));
    if (!XmlLoadFile(1, (dir / "n.xml").u16string()) || XmlStatus(1) != 0)
        return false;
    XmlNode* back = XmlMainNode(1);
    return XmlNodeNameView(back) == name && XmlAttributeCount(back) == 1 && XmlAttributeNameView(back, 0) == name;
}

// XmlIsName says of a name what writing it and reading it back shows.
TEST_F(XmlDocTest, IsNameAcceptsExactlyTheNamesThatComeBack)
{
    const struct {
        std::u16string name;
        int isName;  // -1: as the parser decides
    } cases[] = {
        {u"contact", 1}, {u"a-1.b_c:d", 1}, {u"_x", 1}, {u":x", 1}, {u"Stra\u00DFe", 1}, {u"\u540D\u524D", 1},
        {u"a\u00B7", 1}, {u"a\u0300", 1}, {u"", 0}, {u"1a", 0}, {u"-a", 0}, {u".a", 0}, {u"a b", 0}, {u"a>b", 0},
        {u"a=b", 0}, {u"a\"", 0}, {u"\u00B7a", 0}, {u"\u0300a", 0}, {u"a\u00D7", 0}, {u"\u00DFa\u00A0", 0},
        {std::u16string(u"a\xD800"), 0}, {u"a\uFFFE", 0}, {u"a\u0001", 0}, {u"\U00010000", -1}, {u"a\u037E", -1},
        {u"\uFFFD", -1}, {u"\u3001a", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(nwtest::U8(c.name));
        const bool isName = XmlIsName(c.name);
        if (c.isName >= 0) {
            EXPECT_EQ(isName, c.isName == 1);
        }
        EXPECT_EQ(isName, NameReadBack(c.name));
    }
}

// ---------------------------------------------------------------------------
// Declaration and byte-order mark

struct DeclarationCase {
    const char* name;
    std::string source;  // loaded when not empty; else a built document
    XmlEncoding encoding;
    unsigned saveFlags;
    std::string expected;
};

class XmlWriteDeclarationTest : public xmltest::XmlDocTest,
                                public ::testing::WithParamInterface<DeclarationCase> {};

TEST_P(XmlWriteDeclarationTest, WritesTheDeclaration)
{
    const DeclarationCase& c = GetParam();
    if (c.source.empty())
        ASSERT_NE(NewDocumentElement(0, c.encoding, u"r"), nullptr);
    else
        LoadBytes(0, c.source);
    EXPECT_EQ(XmlSerializeToBytes(0, c.saveFlags), c.expected);
}

const DeclarationCase kDeclarationCases[] = {
    {"Utf8", "", XmlEncoding::Utf8, 0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>"},
    {"Latin1", "", XmlEncoding::Latin1, 0, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>"},
    {"Utf16", "", XmlEncoding::Utf16, 0,
     "\xFF\xFE" + Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>")},
    {"Utf8WithBom", "", XmlEncoding::Utf8, XmlSaveWithBom,
     "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>"},
    {"Latin1HasNoBom", "", XmlEncoding::Latin1, XmlSaveWithBom,
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>"},
    {"Utf16WithBomFlag", "", XmlEncoding::Utf16, XmlSaveWithBom,
     "\xFF\xFE" + Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>")},
    {"NoDeclaration", "", XmlEncoding::Utf8, XmlSaveNoDeclaration, "<r/>"},
    {"Utf16NoDeclarationKeepsBom", "", XmlEncoding::Utf16, XmlSaveNoDeclaration, "\xFF\xFE" + Utf16Le(u"<r/>")},
    {"StandaloneYes", "<?xml version=\"1.0\" standalone=\"yes\"?><r/>", XmlEncoding::Utf8, 0,
     "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><r/>"},
    {"StandaloneNo", "<?xml version=\"1.0\" encoding=\"iso-8859-1\" standalone=\"no\"?><r/>",
     XmlEncoding::Latin1, 0, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?><r/>"},
    {"NoStandalone", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>", XmlEncoding::Utf8, 0,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlWriteDeclarationTest, ::testing::ValuesIn(kDeclarationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Encoders

struct EncoderCase {
    const char* name;
    XmlEncoding encoding;
    std::u16string text;  // attribute value and element text
    std::string expected;
};

class XmlWriteEncoderTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<EncoderCase> {};

TEST_P(XmlWriteEncoderTest, EncodesAndLoadsBack)
{
    const EncoderCase& c = GetParam();
    XmlNode* e = NewDocumentElement(0, c.encoding);
    XmlSetAttribute(e, u"a", c.text);
    XmlSetNodeText(e, c.text);
    std::string bytes = XmlSerializeToBytes(0, 0);
    EXPECT_EQ(bytes, c.expected);

    // Well-formed in its encoding; valid texts come back unchanged.
    LoadBytes(1, bytes);
    EXPECT_EQ(XmlDocumentEncoding(1), c.encoding);
    std::u16string valid = c.text;
    for (std::size_t i = 0; i < valid.size(); ++i) {
        bool high = valid[i] >= 0xD800 && valid[i] <= 0xDBFF;
        bool low = valid[i] >= 0xDC00 && valid[i] <= 0xDFFF;
        if (high && i + 1 < valid.size() && valid[i + 1] >= 0xDC00 && valid[i + 1] <= 0xDFFF)
            ++i;
        else if (high || low)
            valid[i] = 0xFFFD;
    }
    EXPECT_EQ(XmlNodeText(XmlMainNode(1)), valid);
}

const std::u16string kMixed = u"\u00e9\u20ac\U0001F600<";
const std::u16string kLone = u"a\xD800" u"b\xDC00\xDE00\xD83D";

const EncoderCase kEncoderCases[] = {
    {"Utf8", XmlEncoding::Utf8, kMixed,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
     "<e a=\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80&lt;\">\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80&lt;</e>"},
    {"Latin1", XmlEncoding::Latin1, kMixed,
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
     "<e a=\"\xE9&#8364;&#128512;&lt;\">\xE9&#8364;&#128512;&lt;</e>"},
    {"Utf16", XmlEncoding::Utf16, kMixed,
     "\xFF\xFE" + Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><e a=\"\u00e9\u20ac") +
         std::string("\x3D\xD8\x00\xDE", 4) + Utf16Le(u"&lt;\">\u00e9\u20ac") + std::string("\x3D\xD8\x00\xDE", 4) +
         Utf16Le(u"&lt;</e>")},
    {"Utf8LoneSurrogates", XmlEncoding::Utf8, kLone,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
     "<e a=\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\">"
     "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD</e>"},
    {"Latin1LoneSurrogates", XmlEncoding::Latin1, kLone,
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
     "<e a=\"a&#65533;b&#65533;&#65533;&#65533;\">a&#65533;b&#65533;&#65533;&#65533;</e>"},
    {"Utf16LoneSurrogates", XmlEncoding::Utf16, kLone,
     "\xFF\xFE" + Utf16Le(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><e a=\"a\uFFFDb\uFFFD\uFFFD\uFFFD\">"
                          u"a\uFFFDb\uFFFD\uFFFD\uFFFD</e>")},
    {"Latin1Upper", XmlEncoding::Latin1, u"\u00ff\u0100",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><e a=\"\xFF&#256;\">\xFF&#256;</e>"},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlWriteEncoderTest, ::testing::ValuesIn(kEncoderCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Plain ASCII runs are written several units at a time. A character that
// needs an escape or more than one byte, at any place of a short or long run
// and next to its end, must still come out as in a unit-by-unit encoding.
std::string EncodeForTest(std::u16string_view s, XmlEncoding encoding, bool attribute)
{
    std::string out;
    auto ascii = [&](std::string_view a) {
        for (char ch : a) {
            out += ch;
            if (encoding == XmlEncoding::Utf16)
                out += '\0';
        }
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        const char* escape = nullptr;
        switch (cp) {
        case U'<': escape = "&lt;"; break;
        case U'>': escape = "&gt;"; break;
        case U'&': escape = "&amp;"; break;
        case U'"': escape = attribute ? "&quot;" : nullptr; break;
        case U'\'': escape = attribute ? "&apos;" : nullptr; break;
        case U'\n': escape = attribute ? "&#10;" : nullptr; break;
        case U'\r': escape = attribute ? "&#13;" : nullptr; break;
        case U'\t': escape = attribute ? "&#9;" : nullptr; break;
        default: break;
        }
        if (escape) {
            ascii(escape);
        } else if (encoding == XmlEncoding::Utf16) {
            out += Utf16Le(std::u16string(s.substr(cp >= 0x10000 ? i - 1 : i, cp >= 0x10000 ? 2 : 1)));
        } else if (encoding == XmlEncoding::Latin1) {
            if (cp <= 0xFF)
                out += static_cast<char>(cp);
            else
                ascii("&#" + std::to_string(static_cast<unsigned long>(cp)) + ";");
        } else {
            out += nwtest::U8(std::u16string(s.substr(cp >= 0x10000 ? i - 1 : i, cp >= 0x10000 ? 2 : 1)));
        }
    }
    return out;
}

TEST_F(XmlDocTest, WriteEveryPlaceOfAPlainRunKeepsEscapesAndEncodings)
{
    const std::u16string plain = u"abcdefghijklmnopq";
    const std::u16string odd[] = {u"<", u">", u"&", u"\"", u"'", u"\n", u"\r", u"\t", u"\u00e9", u"\u0100", u"\u20ac",
                                  u"\U0001F600"};
    for (XmlEncoding encoding : {XmlEncoding::Utf8, XmlEncoding::Latin1, XmlEncoding::Utf16}) {
        for (const std::u16string& c : odd) {
            for (std::size_t length = 0; length <= plain.size(); ++length) {
                for (std::size_t at = 0; at <= length; ++at) {
                    const std::u16string text = plain.substr(0, at) + c + plain.substr(at, length - at);
                    SCOPED_TRACE(nwtest::U8(text) + " in encoding " + std::to_string(static_cast<int>(encoding)));
                    XmlNode* e = NewDocumentElement(0, encoding);
                    XmlSetAttribute(e, u"a", text);
                    XmlSetNodeText(e, text);
                    std::string expected = "<e a=\"" + EncodeForTest(text, encoding, true) + "\">" +
                                           EncodeForTest(text, encoding, false) + "</e>";
                    if (encoding == XmlEncoding::Utf16)
                        expected = "\xFF\xFE" + Utf16Le(u"<e a=\"") + EncodeForTest(text, encoding, true) +
                                   Utf16Le(u"\">") + EncodeForTest(text, encoding, false) + Utf16Le(u"</e>");
                    ASSERT_EQ(XmlSerializeToBytes(0, XmlSaveNoDeclaration), expected);
                }
            }
        }
    }
}

// Where a character reference cannot stand, ISO-8859-1 output has a blank.
TEST_F(XmlDocTest, WriteLatin1BlankWhereNoReferenceIsPossible)
{
    LoadBytes(0,
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
              "<!DOCTYPE r><r><!--c--><?pi d?><![CDATA[x]]></r>");
    ASSERT_EQ(XmlDocumentEncoding(0), XmlEncoding::Latin1);
    XmlNode* root = XmlRootNode(0);
    XmlNode* r = XmlMainNode(0);
    XmlSetNodeText(Child(root, 0), u"<!DOCTYPE r\u20ac>");
    XmlSetNodeText(Child(r, 0), u"a\u20acb");
    XmlSetNodeText(Child(r, 1), u"\u20ac\u00e4");
    XmlSetNodeText(Child(r, 2), u"\u20ac");
    XmlNode* n = XmlCreateElement(r, u"n\u20ac");
    XmlSetAttribute(n, u"a\u20ac", u"\u20ac");
    EXPECT_EQ(Body(0), "<!DOCTYPE r ><r><!--a b--><?pi  \xE4?><![CDATA[ ]]><n  a =\"&#8364;\"/></r>");
}

// ---------------------------------------------------------------------------
// Comments, instructions, DTD

struct CommentCase {
    const char* name;
    std::u16string text;
    std::string written;
};

class XmlWriteCommentTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<CommentCase> {};

TEST_P(XmlWriteCommentTest, SeparatesDashes)
{
    const CommentCase& c = GetParam();
    LoadBytes(0, "<r><!--c--></r>");
    XmlSetNodeText(XmlFirstChild(XmlMainNode(0)), c.text);
    std::string body = Body(0);
    EXPECT_EQ(body, "<r><!--" + c.written + "--></r>");
    LoadBytes(1, body);
    EXPECT_EQ(nwtest::U8(XmlNodeText(XmlFirstChild(XmlMainNode(1)))), c.written);
}

const CommentCase kCommentCases[] = {
    {"Plain", u" a-b ", " a-b "},
    {"DoubleDash", u"a--b", "a- -b"},
    {"EndsInDash", u"x-", "x- "},
    {"OnlyDashes", u"---", "- - - "},
    {"LeadingDash", u"-a-", "-a- "},
    {"Empty", u"", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlWriteCommentTest, ::testing::ValuesIn(kCommentCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Cutting blanks can join dashes; the written file stays well-formed.
TEST_F(XmlDocTest, WriteCommentJoinedByFormattingStaysWellFormed)
{
    LoadBytes(0, "<r><!-- a - - b - --></r>");
    XmlFormat(0, 0x20);
    EXPECT_EQ(XmlNodeText(XmlFirstChild(XmlMainNode(0))), u"a--b-");
    std::string body = Body(0);
    EXPECT_EQ(body, "<r><!--a- -b- --></r>");
    LoadBytes(1, body);
}

TEST_F(XmlDocTest, WriteInstructionWithEmptyData)
{
    LoadBytes(0, "<r><?go?><?pi some data?></r>");
    EXPECT_EQ(Body(0), "<r><?go ?><?pi some data?></r>");
}

// Comments and instructions of an internal subset are the DTD's children
// and are written at their places.
TEST_F(XmlDocTest, WriteDoctypeWithCommentsAndInstructions)
{
    const std::string source =
        "<!DOCTYPE r [\n<!-- note -->\n<!ELEMENT r ANY>\n<?pi x?>\n<!ATTLIST r a CDATA #IMPLIED>\n]>\n<r a=\"1\"/>";
    LoadBytes(0, source);
    XmlNode* dtd = XmlFirstChild(XmlRootNode(0));
    ASSERT_EQ(XmlNodeKindOf(dtd), XmlKindDtd);
    ASSERT_EQ(XmlNodeKindOf(Child(dtd, 0)), XmlKindComment);
    ASSERT_EQ(XmlNodeKindOf(Child(dtd, 1)), XmlKindInstruction);
    EXPECT_EQ(Body(0), source);
}

// ---------------------------------------------------------------------------
// The 4096-byte buffer: long texts and escapes across its boundary.

struct BufferCase {
    const char* name;
    XmlEncoding encoding;
    std::u16string unit;  // repeated as text and attribute value
    std::string unitText;
    std::string unitAttribute;
    int count;
};

class XmlWriteBufferTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(XmlWriteBufferTest, WritesEverything)
{
    const BufferCase& c = GetParam();
    XmlNode* e = NewDocumentElement(0, c.encoding);
    std::u16string text;
    std::string expectedText, expectedAttribute;
    for (int i = 0; i < c.count; ++i) {
        text += c.unit;
        expectedText += c.unitText;
        expectedAttribute += c.unitAttribute;
    }
    XmlSetAttribute(e, u"a", text);
    XmlSetNodeText(e, text);
    std::string expected = "<e a=\"" + expectedAttribute + "\">" + expectedText + "</e>";
    if (c.encoding == XmlEncoding::Utf16)
        expected = "\xFF\xFE" + Utf16Le(nwtest::U16(expected));
    std::string bytes = XmlSerializeToBytes(0, XmlSaveNoDeclaration);
    EXPECT_EQ(bytes, expected);

    nwtest::TempDir dir;
    ASSERT_EQ(XmlSaveFileEx(0, (dir / "big.xml").u16string(), XmlSaveNoDeclaration), 1);
    EXPECT_EQ(nwtest::ReadFileBytes(dir / "big.xml"), expected);
}

const BufferCase kBufferCases[] = {
    {"Utf8Escapes", XmlEncoding::Utf8, u"a&", "a&amp;", "a&amp;", 3001},
    {"Utf8ThreeBytes", XmlEncoding::Utf8, u"\u20ac", "\xE2\x82\xAC", "\xE2\x82\xAC", 4099},
    {"Utf8FourBytes", XmlEncoding::Utf8, u"x\U0001F600", "x\xF0\x9F\x98\x80", "x\xF0\x9F\x98\x80", 2049},
    {"Latin1References", XmlEncoding::Latin1, u"\u20ac\u00e4", "&#8364;\xE4", "&#8364;\xE4", 1500},
    {"Utf16Quotes", XmlEncoding::Utf16, u"\"\n", "\"\n", "&quot;&#10;", 1000},
};

INSTANTIATE_TEST_SUITE_P(Cases, XmlWriteBufferTest, ::testing::ValuesIn(kBufferCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Saving files

// A document of about 20 KB.
void BuildLargeDocument(int number)
{
    XmlNode* e = NewDocumentElement(number, XmlEncoding::Utf8, u"list");
    for (int i = 0; i < 1000; ++i)
        XmlSetNodeText(XmlCreateElement(e, u"item"), u"value " + nwtest::U16(std::to_string(i)));
}

TEST_F(XmlDocTest, SaveWritesTheSerialisedBytes)
{
    BuildLargeDocument(0);
    nwtest::TempDir dir;
    auto file = dir / "out.xml";
    nwtest::WriteFileBytes(file, "old");
    ASSERT_EQ(XmlSaveFile(0, file.u16string()), 1);
    EXPECT_EQ(nwtest::ReadFileBytes(file), XmlSerializeToBytes(0, 0));
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"out.xml"});
}

TEST_F(XmlDocTest, SaveRefusesEmptyPathAndUnknownDocument)
{
    nwtest::TempDir dir;
    ASSERT_NE(NewDocumentElement(0, XmlEncoding::Utf8), nullptr);
    EXPECT_EQ(XmlSaveFile(0, u""), 0);
    EXPECT_EQ(XmlSaveFile(2, (dir / "x.xml").u16string()), 0);
    EXPECT_EQ(XmlSerializeToBytes(2, 0), "");
    EXPECT_TRUE(FileNames(dir.path()).empty());
}

class XmlSaveFailureTest : public xmltest::XmlDocTest, public ::testing::WithParamInterface<long long> {};

// A full disk after n bytes: the old file stays byte for byte, nothing else
// is left behind.
TEST_P(XmlSaveFailureTest, KeepsTheOldFile)
{
    BuildLargeDocument(0);
    const std::size_t size = XmlSerializeToBytes(0, 0).size();
    ASSERT_GT(size, 3 * 4096u);
    long long n = GetParam();
    if (n < 0)
        n += static_cast<long long>(size);  // counted from the end

    nwtest::TempDir dir;
    auto file = dir / "out.xml";
    const std::string old = "<?xml version=\"1.0\"?>\r\n<old>\xC3\xA4</old>\r\n";
    nwtest::WriteFileBytes(file, old);
    SetFileWriteFault({.afterBytes = n});
    EXPECT_EQ(XmlSaveFile(0, file.u16string()), 0);
    EXPECT_EQ(nwtest::ReadFileBytes(file), old);
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"out.xml"});

    // Without an old file, no file at all.
    auto fresh = dir / "fresh.xml";
    EXPECT_EQ(XmlSaveFile(0, fresh.u16string()), 0);
    EXPECT_FALSE(fs::exists(fresh));

    SetFileWriteFault({});
    EXPECT_EQ(XmlSaveFile(0, file.u16string()), 1);
    EXPECT_EQ(nwtest::ReadFileBytes(file).size(), size);
}

INSTANTIATE_TEST_SUITE_P(Limits, XmlSaveFailureTest, ::testing::Values(0, 1, 4095, 4096, 4097, 8192, -1));

TEST_F(XmlDocTest, SaveSucceedsWhenTheLimitIsNotReached)
{
    BuildLargeDocument(0);
    const std::string bytes = XmlSerializeToBytes(0, 0);
    nwtest::TempDir dir;
    SetFileWriteFault({.afterBytes = static_cast<long long>(bytes.size())});
    ASSERT_EQ(XmlSaveFile(0, (dir / "out.xml").u16string()), 1);
    EXPECT_EQ(nwtest::ReadFileBytes(dir / "out.xml"), bytes);
}

TEST_F(XmlDocTest, SaveFailsWhereNothingCanBeWritten)
{
    ASSERT_NE(NewDocumentElement(0, XmlEncoding::Utf8), nullptr);
    nwtest::TempDir dir;
    // A directory that does not exist.
    EXPECT_EQ(XmlSaveFile(0, (dir / "missing" / "x.xml").u16string()), 0);
    // A directory in the way of the target: it stays, nothing is left.
    fs::create_directory(dir / "taken.xml");
    EXPECT_EQ(XmlSaveFile(0, (dir / "taken.xml").u16string()), 0);
    EXPECT_TRUE(fs::is_directory(dir / "taken.xml"));
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"taken.xml"});
    // A file system nobody writes to.
    EXPECT_EQ(XmlSaveFile(0, u"/proc/nummernwerk-test.xml"), 0);
}

// Makes a directory unwritable for the test's duration: by its permissions,
// or for root, who ignores those, by the file system's immutable flag.
class ReadOnlyDirectory {
public:
    explicit ReadOnlyDirectory(const fs::path& dir) : dir_(dir)
    {
        if (::geteuid() != 0) {
            fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
            ok_ = true;
            return;
        }
        fd_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            ok_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ReadOnlyDirectory()
    {
        if (fd_ >= 0) {
            int flags = 0;
            if (ok_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
            }
            ::close(fd_);
        }
    }
    bool ok() const { return ok_; }

private:
    fs::path dir_;
    int fd_ = -1;
    bool ok_ = false;
};

TEST_F(XmlDocTest, SaveIntoReadOnlyDirectoryKeepsTheOldFile)
{
    ASSERT_NE(NewDocumentElement(0, XmlEncoding::Utf8), nullptr);
    nwtest::TempDir dir;
    auto sub = dir / "ro";
    fs::create_directory(sub);
    nwtest::WriteFileBytes(sub / "out.xml", "old");
    {
        ReadOnlyDirectory readOnly(sub);
        if (!readOnly.ok())
            GTEST_SKIP() << "cannot make a directory read-only here (root on a file system without the immutable flag)";
        EXPECT_EQ(XmlSaveFile(0, (sub / "out.xml").u16string()), 0);
        EXPECT_EQ(XmlSaveFile(0, (sub / "new.xml").u16string()), 0);
    }
    EXPECT_EQ(nwtest::ReadFileBytes(sub / "out.xml"), "old");
    EXPECT_EQ(FileNames(sub), std::vector<std::string>{"out.xml"});
}

TEST_F(XmlDocTest, SaveKeepsPermissionsOfTheOldFile)
{
    ASSERT_NE(NewDocumentElement(0, XmlEncoding::Utf8), nullptr);
    nwtest::TempDir dir;
    auto file = dir / "out.xml";
    nwtest::WriteFileBytes(file, "old");
    ::chmod(file.c_str(), 0640);
    ASSERT_EQ(XmlSaveFile(0, file.u16string()), 1);
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A new file gets the usual permissions, not those of a private
    // temporary file.
    mode_t old = ::umask(022);
    auto fresh = dir / "fresh.xml";
    ASSERT_EQ(XmlSaveFile(0, fresh.u16string()), 1);
    ::umask(old);
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(XmlDocTest, SaveThroughSymbolicLink)
{
    ASSERT_NE(NewDocumentElement(0, XmlEncoding::Utf8), nullptr);
    nwtest::TempDir dir;
    fs::create_directory(dir / "real");
    nwtest::WriteFileBytes(dir / "real" / "book.xml", "old");
    fs::create_symlink("real/book.xml", dir / "link.xml");
    ASSERT_EQ(XmlSaveFile(0, (dir / "link.xml").u16string()), 1);
    EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
    EXPECT_EQ(nwtest::ReadFileBytes(dir / "real" / "book.xml"), XmlSerializeToBytes(0, 0));
    EXPECT_EQ(FileNames(dir / "real"), std::vector<std::string>{"book.xml"});
}

TEST_F(XmlDocTest, SaveToUnicodePath)
{
    ASSERT_NE(NewDocumentElement(0, XmlEncoding::Utf8), nullptr);
    nwtest::TempDir dir;
    const std::u16string name = u"Telefonbuch \u00e4\u20ac\U0001F600.xml_NEU.xml";
    ASSERT_EQ(XmlSaveFile(0, dir.path().u16string() + u"/" + name), 1);
    EXPECT_EQ(FileNames(dir.path()),
              std::vector<std::string>{"Telefonbuch \xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80.xml_NEU.xml"});
}

}  // namespace
