// Memory that cannot be had. Every allocation of the library and of its
// Expat parsers is refused in turn, alone and (as Expat's own tests do)
// together with every later one, over a load, the formatting a load gets
// in the program, a rebuild of the tree with the building functions, the
// formatting passes and a save. Each run ends in a clean failure or in the
// very bytes of a run with memory enough; every tree stays whole, and
// nothing is left over.
#include "xml_doc_support.h"
#include "xml/xml_internal.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A phonebook with more nodes than one block of the node pool holds, and
// something of every kind: subset, comment, instruction, CDATA, text
// before a child, a long text and an element with many attributes.
std::string Phonebook()
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                    "<!DOCTYPE phonebooks [<!ENTITY v \"wichtig\">]>\r\n<!-- Export -->\r\n"
                    "<phonebooks>\r\n<phonebook owner=\"1\" name=\"B\xC3\xBCro\">\r\n<?note lang=\"de\"?>\r\n"
                    "<note a0=\"0\" a1=\"1\" a2=\"2\" a3=\"3\" a4=\"4\" a5=\"5\" a6=\"6\" a7=\"7\" a8=\"8\" a9=\"9\">"
                    "\r\n  Notiz<![CDATA[<roh>]]>" +
                    std::string(700, 'x') + "</note>\r\n";
    for (int i = 0; i < 420; ++i) {
        const std::string n = std::to_string(i);
        s += "<contact><category>0</category><person><realName>Name " + n + " &v;</realName></person>\r\n"
             "  <telephony nid=\"2\"><number type=\"home\" prio=\"1\" id=\"0\">030" + n +
             "</number><number type=\"mobile\" id=\"1\">0151" + n + "</number></telephony>"
             "<services/><setup/><uniqueid>" + n + "</uniqueid></contact>\r\n";
    }
    return s + "</phonebook>\r\n</phonebooks>\r\n";
}

// Pre-order walk below the root.
template <class Visit>
void Walk(int document, Visit visit)
{
    XmlNode* root = XmlRootNode(document);
    int depth = 0;
    for (XmlNode* node = root; node;) {
        visit(node, depth);
        if (XmlFirstChild(node)) {
            node = XmlFirstChild(node);
            ++depth;
            continue;
        }
        while (node != root && !XmlNextSibling(node)) {
            node = XmlParentNode(node);
            --depth;
        }
        node = node == root ? nullptr : XmlNextSibling(node);
    }
}

// Depth, kind, name and attributes of every node.
std::vector<std::u16string> Outline(int document)
{
    std::vector<std::u16string> lines;
    Walk(document, [&lines](XmlNode* node, int depth) {
        std::u16string line = std::u16string(depth, u' ') + char16_t(u'0' + XmlNodeKindOf(node)) +
                              std::u16string(XmlNodeNameView(node));
        for (int i = 0; i < XmlAttributeCount(node); ++i)
            line += u" " + std::u16string(XmlAttributeNameView(node, i)) + u"=" +
                    std::u16string(XmlAttributeValueView(node, i));
        lines.push_back(line);
    });
    return lines;
}

// Every text without its blanks and line breaks, cut where the children
// stand: what formatting must leave alone.
std::vector<std::u16string> Pieces(int document)
{
    std::vector<std::u16string> pieces;
    auto add = [&pieces](std::u16string_view text) {
        std::u16string piece;
        for (char16_t c : text)
            if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
                piece += c;
        pieces.push_back(piece);
    };
    Walk(document, [&add](XmlNode* node, int) {
        const std::u16string_view text = XmlNodeTextView(node);
        std::size_t read = 0;
        for (XmlNode* c = XmlFirstChild(node); c; c = XmlNextSibling(c)) {
            const std::size_t n = std::min<std::size_t>(XmlPrecedingTextLength(c), text.size() - read);
            add(text.substr(read, n));
            read += n;
        }
        add(text.substr(read));
    });
    return pieces;
}

// Copies the elements below `from` to below `to`. The first few get a
// stand-in text and first attribute value first, which the copy replaces.
bool CopyElements(XmlNode* from, XmlNode* to, int& replacements)
{
    for (XmlNode* c = XmlFirstChild(from); c; c = XmlNextSibling(c)) {
        if (XmlNodeKindOf(c) != XmlKindElement)
            continue;
        XmlNode* e = XmlCreateElement(to, XmlNodeNameView(c));
        if (!e)
            return false;
        if (replacements > 0 && replacements--) {
            XmlSetNodeText(e, u"?");
            if (XmlAttributeCount(c) > 0)
                XmlSetAttribute(e, XmlAttributeNameView(c, 0), u"?");
        }
        for (int i = 0; i < XmlAttributeCount(c); ++i)
            XmlSetAttribute(e, XmlAttributeNameView(c, i), XmlAttributeValueView(c, i));
        if (XmlNodeHasText(c))
            XmlSetNodeText(e, XmlNodeTextView(c));
        if (!CopyElements(c, e, replacements))
            return false;
    }
    return true;
}

// Where a run ended: the first step that reported a failure.
enum Step { LoadRefused, LoadFailed, BuildFailed, FormatFailed, SaveFailed, Done, StepCount };

struct Outcome {
    int loaded = -1;  // number of the loaded document
    Step step = Done;
    bool saved = false;
    std::string serialised;
    bool laidOutTried = false;
    std::string laidOut;  // the loaded document written reformatted
};

// From a fresh library: load under a number of the library's choice, add an
// attribute and format as a load of the program does; copy into 1, format
// that in every way and save it.
Outcome Scenario(const std::filesystem::path& in, const std::filesystem::path& out)
{
    Outcome o;
    auto fail = [&o](Step s) {
        if (o.step == Done)
            o.step = s;
    };
    XmlLibraryInit();
    o.loaded = XmlDocumentNumber(XmlLoadFile(-1, in.u16string()));
    if (o.loaded < 0 || XmlStatus(o.loaded) != 0) {
        fail(o.loaded < 0 ? LoadRefused : LoadFailed);
        return o;
    }
    XmlSetAttribute(XmlMainNode(o.loaded), u"neu", u"1");
    if (!XmlFormat(o.loaded, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks)) {
        fail(FormatFailed);
        return o;
    }
    o.laidOutTried = true;
    o.laidOut = XmlSerializeToBytes(o.loaded, XmlSaveReformatted(3));
    // A format without flags changes nothing; it tells whether the
    // building lacked memory.
    int replacements = 8;
    if (!XmlCreateDocument(1, XmlEncoding::Utf8) ||
        !CopyElements(XmlRootNode(o.loaded), XmlRootNode(1), replacements) || !XmlFormat(1, 0))
        fail(BuildFailed);
    const std::pair<unsigned, int> formats[] = {
        {XmlFormatReformat, 3}, {XmlFormatLf, 3}, {XmlFormatCrLf, 2}, {XmlFormatReindent, 2}};
    for (const auto& [flags, step] : formats)
        if (!XmlFormat(1, flags, step))
            fail(FormatFailed);
    o.serialised = XmlSerializeToBytes(1, 0);
    o.saved = XmlSaveFile(1, out.u16string()) == 1;
    if (!o.saved)
        fail(SaveFailed);
    return o;
}

class XmlMemoryTest : public xmltest::XmlDocTest {
protected:
    void TearDown() override
    {
        XmlSetAllocationFailureAt(-1);
        XmlFreeDocument(-1);
        xmltest::XmlDocTest::TearDown();
    }
};

// Besides the phonebook, small files whose first arena block, sized for the
// file, overflows at a chosen place: a long element name, a shared name
// whose key no longer fits, a long attribute value, a long instruction
// target, the added attribute's first slots.
TEST_F(XmlMemoryTest, EveryRefusedAllocationEndsInACleanFailureOrTheSameBytes)
{
    const std::string files[] = {
        Phonebook(),
        "<" + std::string(100, 'a') + "/>",
        "<" + std::string(40, 'n') + "/><!--" + std::string(50, 'x') + "-->",
        "<a v=\"" + std::string(100, 'v') + "\"/>",
        "<?" + std::string(100, 't') + "?><a/>",
        "<a/>",
    };
    nwtest::TempDir dir;
    const auto in = dir / "in.xml";
    const auto out = dir / "out.xml";
    int ended[StepCount] = {};
    int laidOutFailed = 0;  // runs whose reformatted writing alone failed
    for (const std::string& file : files) {
        nwtest::WriteFileBytes(in, file);
        // A run with memory enough: its allocations are counted.
        XmlLibraryShutdown();
        XmlSetAllocationFailureAt(LLONG_MAX);
        XmlLibraryInit();
        const int loaded = XmlDocumentNumber(XmlLoadFile(-1, in.u16string()));
        const std::vector<std::u16string> outline = Outline(loaded);
        XmlLibraryShutdown();
        XmlSetAllocationFailureAt(LLONG_MAX);
        const Outcome whole = Scenario(in, out);
        const long long needed = XmlAllocationsCounted();
        XmlSetAllocationFailureAt(-1);
        ASSERT_EQ(whole.step, Done);
        const std::vector<std::u16string> pieces = Pieces(whole.loaded);
        const std::string bytes = nwtest::ReadFileBytes(out);
        ASSERT_EQ(whole.serialised, bytes);
        ASSERT_FALSE(whole.laidOut.empty());

        for (long long run : {1LL, LLONG_MAX}) {
            for (long long n = 0; n <= needed && !HasFailure(); ++n) {
                SCOPED_TRACE(file.substr(0, 40) + ": allocation " + std::to_string(n) + ", run " +
                             std::to_string(run));
                std::filesystem::remove(out);
                XmlLibraryShutdown();  // its spare node blocks too
                XmlSetAllocationFailureAt(n, run);
                const Outcome o = Scenario(in, out);
                XmlSetAllocationFailureAt(-1);
                ++ended[o.step];

                if (o.step == LoadFailed) {
                    // Stopped like a parse error, with a beginning of the
                    // file's nodes, each one whole.
                    EXPECT_EQ(XmlStatus(o.loaded), XML_ERROR_NO_MEMORY);
                    const std::vector<std::u16string> partial = Outline(o.loaded);
                    EXPECT_TRUE(partial.size() <= outline.size() &&
                                std::equal(partial.begin(), partial.end(), outline.begin()));
                } else if (o.step != LoadRefused) {
                    EXPECT_EQ(Pieces(o.loaded), pieces);
                }
                // A document that lacks anything is never written.
                EXPECT_EQ(o.saved, o.step == Done);
                EXPECT_TRUE(o.serialised.empty() || o.step == Done || o.step == SaveFailed);
                if (o.saved) {
                    EXPECT_EQ(nwtest::ReadFileBytes(out), bytes);
                }
                if (!o.serialised.empty()) {
                    EXPECT_EQ(o.serialised, bytes);
                }
                if (o.laidOut.empty())
                    laidOutFailed += o.laidOutTried;
                else
                    EXPECT_EQ(o.laidOut, whole.laidOut);
                EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), o.saved ? 2 : 1);
                XmlFreeDocument(-1);
                EXPECT_EQ(XmlNodesInUse(), 0u);
            }
        }
    }
    for (int s = 0; s < StepCount; ++s)
        EXPECT_GT(ended[s], 0) << "no run ended in step " << s;
    EXPECT_GT(laidOutFailed, 0);
}

}  // namespace
