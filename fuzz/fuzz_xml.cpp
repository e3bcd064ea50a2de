// libFuzzer target: load arbitrary bytes as a file, format the tree with
// flags and indent step taken from the input, write it in each encoding and
// load what was written again.
//
// Input: byte 0 and bit 0 of byte 1 are the first XmlFormat flags, bits 1-3
// of byte 1 the indent step (-2 to 5); a non-zero byte 2 (with bit 4 of byte
// 1 as 0x100) is a second XmlFormat call. The rest is the file.
//
// Checked: a document that loaded without error, once formatted and written
// in any encoding, loads back without error, with the same nodes, names and
// attributes and the same texts up to line-break style (and the blanks that
// keep dashes in comments apart). ISO-8859-1 output is checked only when no
// character above U+00FF sits where a reference cannot stand in for it.
#include "xml/xml.h"
#include "xml/xml_internal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz_support.h"

namespace {

std::string g_dir;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_xml: %s\n", what);
        std::abort();
    }
}

struct Shape {
    int depth;
    int kind;
    std::u16string name;
    std::vector<std::u16string> attributes;  // name, value, name, value, ...
    std::u16string text;
};

// Line breaks as a loader sees them: CR LF and CR become LF.
std::u16string Breaks(const std::u16string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'\r') {
            out += u'\n';
            if (i + 1 < s.size() && s[i + 1] == u'\n')
                ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::u16string NoBlanks(const std::u16string& s)
{
    std::u16string out;
    for (char16_t c : s)
        if (c != u' ')
            out += c;
    return out;
}

std::vector<Shape> ShapeOf(int number)
{
    std::vector<Shape> shape;
    XmlNode* root = XmlRootNode(number);
    XmlNode* node = root;
    int depth = 0;
    while (node) {
        Shape s{depth, XmlNodeKindOf(node), XmlNodeName(node), {}, XmlNodeText(node)};
        if (XmlExamineAttributes(node)) {
            while (XmlNextAttribute(node)) {
                s.attributes.push_back(XmlAttributeName(node));
                s.attributes.push_back(XmlAttributeValue(node));
            }
        }
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

bool AboveLatin1(const std::u16string& s)
{
    for (char16_t c : s)
        if (c > 0xFF)
            return true;
    return false;
}

// True when ISO-8859-1 output would have to put a blank for a character.
bool NeedsBlanksInLatin1(const std::vector<Shape>& shape)
{
    bool inDtd = false;
    int dtdDepth = 0;
    for (const Shape& s : shape) {
        if (inDtd && s.depth <= dtdDepth)
            inDtd = false;
        if (s.kind == XmlKindDtd) {
            inDtd = true;
            dtdDepth = s.depth;
        }
        if (AboveLatin1(s.name))
            return true;
        for (size_t i = 0; i < s.attributes.size(); i += 2)
            if (AboveLatin1(s.attributes[i]))
                return true;
        bool referencesAllowed = s.kind == XmlKindElement && !inDtd;
        if (!referencesAllowed && AboveLatin1(s.text))
            return true;
    }
    return false;
}

void CompareReloaded(const std::vector<Shape>& written, const std::vector<Shape>& loaded)
{
    Check(written.size() == loaded.size(), "node count changed");
    for (size_t i = 0; i < written.size(); ++i) {
        const Shape& a = written[i];
        const Shape& b = loaded[i];
        Check(a.depth == b.depth && a.kind == b.kind, "structure changed");
        Check(a.name == b.name, "name changed");
        Check(a.attributes == b.attributes, "attributes changed");
        switch (a.kind) {
        case XmlKindElement:
        case XmlKindCData:
        case XmlKindInstruction:
            Check(Breaks(a.text) == Breaks(b.text), "text changed");
            break;
        case XmlKindComment:
            Check(NoBlanks(Breaks(a.text)) == NoBlanks(Breaks(b.text)), "comment changed");
            break;
        default:  // Root and DTD whitespace may move between the two
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_dir.empty()) {
        XmlLibraryInit();
        g_dir = FuzzScratchDirectory("fuzz_xml");
    }
    if (size < 3)
        return 0;
    const unsigned flags = data[0] | ((data[1] & 1u) << 8);
    const int step = static_cast<int>((data[1] >> 1) & 7u) - 2;
    const unsigned second = data[2] ? (data[2] | (((data[1] >> 4) & 1u) << 8)) : 0;
    data += 3;
    size -= 3;

    const std::string in = g_dir + "/in.xml";
    if (!WriteFile(in, data, size))
        return 0;
    if (!XmlLoadFile(0, Utf16Path(in)))
        return 0;
    const bool wellFormed = XmlStatus(0) == 0;

    XmlFormat(0, flags, step);
    if (second)
        XmlFormat(0, second, step);
    const std::vector<Shape> formatted = ShapeOf(0);
    XmlDocument* doc = XmlFindDocument(0);
    Check(doc != nullptr, "document lost");

    const std::string out = g_dir + "/out.xml";
    const XmlEncoding own = XmlDocumentEncoding(0);
    for (XmlEncoding encoding : {own, XmlEncoding::Utf8, XmlEncoding::Latin1, XmlEncoding::Utf16}) {
        doc->encoding = encoding;
        const unsigned saveFlags = encoding == own ? 0u : XmlSaveWithBom;
        const std::string bytes = XmlSerializeToBytes(0, saveFlags);
        if (encoding == own) {
            Check(XmlSaveFileEx(0, Utf16Path(out), saveFlags) == 1, "save failed");
        } else {
            Check(WriteFile(out, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "write failed");
        }
        if (!wellFormed || (encoding == XmlEncoding::Latin1 && NeedsBlanksInLatin1(formatted)))
            continue;
        Check(XmlLoadFile(1, Utf16Path(out)) != nullptr, "written file does not load");
        if (XmlStatus(1) != 0) {
            const std::u16string message = XmlErrorMessage(1);
            std::fprintf(stderr, "fuzz_xml: reload status %d (%s) line %d column %d, encoding %d\n", XmlStatus(1),
                         std::string(message.begin(), message.end()).c_str(), XmlErrorLine(1), XmlErrorColumn(1),
                         static_cast<int>(encoding));
            std::fwrite(bytes.data(), 1, bytes.size(), stderr);
            std::fputc('\n', stderr);
            std::abort();
        }
        Check(XmlDocumentEncoding(1) == encoding, "encoding changed");
        CompareReloaded(formatted, ShapeOf(1));
        XmlFreeDocument(1);
    }
    XmlFreeDocument(0);
    return 0;
}
