// libFuzzer target for the phonebook core: load arbitrary bytes as a file,
// flatten the document into records, build the contact rows, copy and remove
// contacts between two record lists, rebuild a document from the second list,
// save it, load the saved file again and compare.
//
// Input: the first three bytes steer the transfers (byte 0: bits 0-3 the
// number of transfers, bits 4-5 how the second list starts: empty, the frame
// of a new phonebook, or a copy of the first; bit 6 a "|" and "\" in the
// phonebook name, bit 7 characters XML cannot hold in it; bytes 1 and 2 seed
// the choice of transfers). The rest is the file, so the XML fuzzer's corpus
// feeds this target as it is.
//
// Checked:
// - every element of the loaded tree became one record, in pre-order, with
//   its depth, name, text, and attributes that split back into exactly the
//   parsed pairs (values with "|" and "\" included);
// - one row per "contact" record, in list order;
// - after the transfers both lists hold exactly the contacts a plain model of
//   them predicts, record for record;
// - the rebuilt document is made, written, and the written file loads without
//   error, with every record of the list as one element in the same order
//   (after the frame a list without one gets), the same names, attributes
//   (the phonebook name replaced, without the characters XML cannot hold,
//   which are reported), texts, and the same contact rows;
// - every contact keeps the nesting of its records among themselves.
#include "phonebook/core.h"
#include "base/text.h"
#include "contacts/records.h"
#include "tests/phonebook_checks.h"
#include "xml/xml.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz_support.h"

namespace {

std::string g_dir;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_phonebook: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// Text with blanks and tabs at both ends removed and inner runs made one
// blank: what is left of a text whose element gained or lost children when a
// list was rebuilt into a tree (its indentation is laid out anew).
std::u16string Words(const std::u16string& s)
{
    std::u16string out;
    bool gap = false;
    for (char16_t c : s) {
        if (c == u' ' || c == u'\t') {
            gap = !out.empty();
            continue;
        }
        if (gap)
            out += u' ';
        gap = false;
        out += c;
    }
    return out;
}

// A run of blanks and tabs shortened to its first character.
std::u16string FirstOfRuns(const std::u16string& s)
{
    std::u16string out;
    for (char16_t c : s) {
        const bool blank = c == u' ' || c == u'\t';
        if (blank && !out.empty() && (out.back() == u' ' || out.back() == u'\t'))
            continue;
        out += c;
    }
    return out;
}

// A record and where it came from: its index in the first list as loaded,
// or a negative number for a frame record.
struct Origin {
    NodeRecord record;
    long origin;
};

// A record list cut into what precedes the first contact and the contacts.
struct Model {
    std::vector<Origin> frame;
    std::vector<std::vector<Origin>> contacts;

    std::vector<Origin> Flat() const
    {
        std::vector<Origin> out = frame;
        for (const auto& c : contacts)
            out.insert(out.end(), c.begin(), c.end());
        return out;
    }
};

// origins: one per record of the list, in order.
Model ModelOf(const RecordList& list, const std::vector<long>& origins)
{
    Model m;
    std::size_t i = 0;
    for (const NodeRecord& r : list) {
        if (r.name == u"contact")
            m.contacts.emplace_back();
        Origin o{r, origins[i++]};
        if (m.contacts.empty())
            m.frame.push_back(o);
        else
            m.contacts.back().push_back(o);
    }
    return m;
}

// The parent of every record of a list made by loading (depths exactly as in
// the tree): the index of the innermost earlier record of smaller depth, -1
// for none.
std::vector<long> ParentsByDepth(const std::vector<std::int32_t>& depths)
{
    std::vector<long> parents(depths.size(), -1);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < depths.size(); ++i) {
        while (!open.empty() && depths[open.back()] >= depths[i])
            open.pop_back();
        parents[i] = open.empty() ? -1 : static_cast<long>(open.back());
        open.push_back(i);
    }
    return parents;
}

// For every record from the first contact on: the index of its parent among
// the records of its own contact (the contact and those after it up to the
// next), -1 when the parent lies outside them.
template <typename Records>
std::vector<long> ParentsWithinContacts(const Records& records)
{
    std::vector<long> parents;
    std::vector<std::pair<long, std::int32_t>> open;  // index and depth
    long i = -1;
    for (const NodeRecord& r : records) {
        ++i;
        if (r.name == u"contact")
            open.clear();
        else if (parents.empty())
            continue;
        while (!open.empty() && open.back().second >= r.depth)
            open.pop_back();
        parents.push_back(open.empty() ? -1 : open.back().first);
        open.push_back({i, r.depth});
    }
    return parents;
}

bool HoldsWords(const std::u16string& text)
{
    for (char16_t c : text)
        if (c != u' ' && c != u'\t')
            return true;
    return false;
}

// The attribute text of a new phonebook's "phonebook" record.
std::u16string FrameAttributes(std::u16string_view name)
{
    std::u16string attributes;
    AppendAttributeField(attributes, u"owner", u"1");
    AppendAttributeField(attributes, u"name", name);
    return attributes;
}

bool SameRecord(const NodeRecord& a, const NodeRecord& b)
{
    return a.nr == b.nr && a.depth == b.depth && a.name == b.name && a.attributes == b.attributes &&
           a.text == b.text;
}

void ExpectList(const RecordList& list, const Model& model, const char* what)
{
    const std::vector<Origin> flat = model.Flat();
    Check(list.Size() == flat.size(), what);
    std::size_t i = 0;
    for (const NodeRecord& r : list)
        Check(SameRecord(r, flat[i++].record), what);
}

// The contact rows, with the row's node checked against the list order.
std::vector<ContactRow> Rows(const RecordList& list)
{
    std::vector<ContactRow> rows = BuildContactRows(list);
    std::size_t k = 0;
    for (const RecordList::Node* n = list.FirstNode(); n; n = n->next) {
        if (n->record.name != u"contact")
            continue;
        Check(k < rows.size() && rows[k].contact == n && rows[k].nr == n->record.nr, "row not at its contact");
        ++k;
    }
    Check(k == rows.size(), "more rows than contacts");
    return rows;
}

struct Element {
    int depth;
    XmlNode* node;
};

// The elements below main in pre-order, with their depth, walked on the
// tree's own links.
std::vector<Element> ElementsOf(XmlNode* main)
{
    std::vector<Element> out;
    if (!main)
        return out;
    XmlNode* node = main;
    int depth = 0;
    while (node) {
        XmlNode* down = nullptr;
        if (XmlNodeKindOf(node) == XmlKindElement) {
            out.push_back({depth, node});
            down = XmlFirstChild(node);
        }
        if (down) {
            node = down;
            ++depth;
            continue;
        }
        while (node != main && !XmlNextSibling(node)) {
            node = XmlParentNode(node);
            --depth;
        }
        node = node == main ? nullptr : XmlNextSibling(node);
    }
    return out;
}

std::vector<AttributePair> AttributesOf(XmlNode* node)
{
    std::vector<AttributePair> out;
    if (XmlExamineAttributes(node))
        while (XmlNextAttribute(node))
            out.push_back({XmlAttributeName(node), XmlAttributeValue(node)});
    return out;
}

bool SamePairs(const std::vector<AttributePair>& a, const std::vector<AttributePair>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].value != b[i].value)
            return false;
    return true;
}

// Flattens document `number` (already formatted as loading formats it) and
// checks the records against the tree.
void FlattenChecked(int number, const std::u16string& suffix, RecordList& out, std::u16string& name)
{
    XmlNode* main = XmlMainNode(number);
    const std::vector<Element> elements = ElementsOf(main);
    if (main)
        FlattenDocument(main, suffix, out, name, {});
    Check(out.Size() == elements.size(), "records and elements differ in number");
    std::size_t i = 0;
    for (const NodeRecord& r : out) {
        const Element& e = elements[i++];
        Check(r.depth == e.depth, "record depth");
        Check(r.name == XmlNodeName(e.node), "record name");
        Check(r.text == XmlNodeText(e.node), "record text");
        Check(SamePairs(SplitAttributes(r.attributes), AttributesOf(e.node)), "attributes do not split back");
    }
}

struct Rng {
    std::uint32_t state;
    std::uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (g_dir.empty()) {
        XmlLibraryInit();
        g_dir = FuzzScratchDirectory("fuzz_phonebook");
    }
    if (size < 3)
        return 0;
    const int transfers = data[0] & 15;
    const int startMode = (data[0] >> 4) & 3;
    const bool oddName = data[0] & 0x40;
    const bool unwritableName = data[0] & 0x80;
    Rng rng{(static_cast<std::uint32_t>(data[1]) << 8 | data[2]) * 2654435761u | 1u};
    data += 3;
    size -= 3;

    const std::string in = g_dir + "/in.xml";
    if (!WriteFile(in, data, size))
        return 0;
    if (!XmlLoadFile(0, Utf16Path(in)))
        return 0;
    XmlFormat(0, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);

    RecordList a;
    std::u16string phonebookName = u"Unbekannt";
    FlattenChecked(0, u" (1)", a, phonebookName);
    XmlFreeDocument(0);
    Rows(a);

    RecordList b;
    if (startMode == 1) {
        NodeRecord phonebooks;
        phonebooks.nr = u"0 (2)";
        phonebooks.name = u"phonebooks";
        b.Append(phonebooks);
        NodeRecord phonebook;
        phonebook.nr = u"1 (2)";
        phonebook.depth = 1;
        phonebook.name = u"phonebook";
        phonebook.attributes = FrameAttributes(u"Neu_2607221530");
        b.Append(phonebook);
    } else if (startMode == 2) {
        b = a;
    }

    // Every record comes from the first list as loaded, or is a frame record
    // of a new phonebook; the first list's depths give each one's parent.
    std::vector<long> originsA;
    std::vector<std::int32_t> depthsA;
    for (const NodeRecord& r : a) {
        originsA.push_back(static_cast<long>(originsA.size()));
        depthsA.push_back(r.depth);
    }
    const std::vector<long> parentA = ParentsByDepth(depthsA);
    Model ma = ModelOf(a, originsA);
    Model mb = ModelOf(b, startMode == 1 ? std::vector<long>{-1, -2} : startMode == 2 ? originsA : std::vector<long>{});
    ExpectList(a, ma, "first list not as loaded");
    ExpectList(b, mb, "second list not as made");

    for (int t = 0; t < transfers; ++t) {
        const std::uint32_t r = rng.Next();
        const bool fromA = r & 1;
        const bool remove = r & 2;
        RecordList& source = fromA ? a : b;
        RecordList& target = fromA ? b : a;
        Model& ms = fromA ? ma : mb;
        Model& mt = fromA ? mb : ma;
        const std::vector<ContactRow> rows = Rows(source);
        if (rows.empty())
            continue;
        const std::size_t k = (r >> 2) % rows.size();
        if (remove) {
            RemoveContactRecords(source, rows[k].contact);
            ms.contacts.erase(ms.contacts.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            RecordList::Node* copy = CopyContactRecords(rows[k].contact, target);
            Check(copy == target.LastNode() || (copy && copy->record.name == u"contact"), "copy not a contact");
            mt.contacts.push_back(ms.contacts[k]);
        }
        ExpectList(a, ma, "first list after a transfer");
        ExpectList(b, mb, "second list after a transfer");
    }

    std::u16string name = phonebookName;
    if (oddName)
        name += u" |a\\|b\"<&>'\u00e4";
    if (unwritableName)
        name += std::u16string{u'\u0001', u'x', 0xFFFE, 0xD800};
    const std::u16string written = WithoutNonXmlCharacters(name);

    Check(XmlCreateDocument(1, XmlEncoding::Utf8) != nullptr, "no new document");
    RebuildReport report;
    Check(BuildPhonebookDocument(1, b, name, &report), "document not rebuilt");
    if (report.levels > static_cast<std::size_t>(XmlMaxLoadDepth)) {
        XmlFreeDocument(1);
        return 0;  // nested deeper than a load reads: the program does not save it
    }
    XmlFormat(1, XmlFormatReformat, 3);
    XmlFormat(1, XmlFormatLf, 3);
    const std::string out = g_dir + "/out.xml";
    Check(XmlSaveFile(1, Utf16Path(out)) == 1, "save failed");
    XmlFreeDocument(1);

    Check(XmlLoadFile(2, Utf16Path(out)) != nullptr, "saved file does not load");
    if (XmlStatus(2) != 0) {
        std::fprintf(stderr, "fuzz_phonebook: saved file has an error at %d:%d\n", XmlErrorLine(2),
                     XmlErrorColumn(2));
        Fail("saved file is not well-formed");
    }
    XmlFormat(2, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
    RecordList c;
    std::u16string reloadedName = u"Unbekannt";
    FlattenChecked(2, u" (2)", c, reloadedName);
    XmlFreeDocument(2);

    // What the file must hold: the list, after the frame of a new phonebook
    // when the list does not begin with a top-level record.
    std::vector<Origin> expectedOrigins;
    const RecordList::Node* first = b.FirstNode();
    if (!first || (first->record.name != u"phonebooks" && (first->record.depth > 0 || first->unit != 0))) {
        NodeRecord phonebooks;
        phonebooks.name = u"phonebooks";
        expectedOrigins.push_back({phonebooks, -3});
        NodeRecord phonebook;
        phonebook.name = u"phonebook";
        phonebook.attributes = FrameAttributes(written);
        expectedOrigins.push_back({phonebook, -4});
    }
    for (const Origin& o : mb.Flat())
        expectedOrigins.push_back(o);
    std::vector<NodeRecord> expected;
    for (const Origin& o : expectedOrigins)
        expected.push_back(o.record);

    Check(c.Size() == expected.size(), "saved file lost or gained elements");
    std::size_t i = 0;
    bool anyPhonebookName = false;
    for (const RecordList::Node* node = c.FirstNode(); node; node = node->next, ++i) {
        const NodeRecord& got = node->record;
        const NodeRecord& want = expected[i];
        Check(got.name == want.name, "element name changed");
        std::vector<AttributePair> pairs = SplitAttributes(want.attributes);
        for (AttributePair& p : pairs)
            if (want.name == u"phonebook" && p.name == u"name") {
                p.value = written;
                anyPhonebookName = true;
            }
        Check(SamePairs(SplitAttributes(got.attributes), pairs), "attributes changed");
        // An element that is a leaf in the list and in the file keeps its
        // text, a run of blanks shortened to its first character as loading
        // does; one that gained or lost children keeps its words.
        const bool leafInList = i + 1 == expected.size() || expected[i + 1].depth <= want.depth;
        const bool leafInFile = !node->next || node->next->record.depth <= got.depth;
        if (leafInList && leafInFile)
            Check(got.text == FirstOfRuns(want.text), "leaf text changed");
        else
            Check(Words(got.text) == Words(want.text), "text changed");
    }
    if (anyPhonebookName)
        Check(reloadedName == written, "phonebook name not written");
    // Records of a loaded file hold only characters XML can hold; the name
    // is the one place left.
    Check(report.leftOut.size() == (anyPhonebookName && written != name ? 1u : 0u), "left-out characters not reported");

    // An element with text that had no child element where it came from gets
    // none in the file: its text would come back with blanks around it. The
    // document element and the phonebook containers are exempt.
    std::vector<bool> hadChildren(parentA.size(), false);
    for (long q : parentA)
        if (q >= 0)
            hadChildren[static_cast<std::size_t>(q)] = true;
    std::vector<std::int32_t> depthsC;
    for (const NodeRecord& r : c)
        depthsC.push_back(r.depth);
    const std::vector<long> parentC = ParentsByDepth(depthsC);

    Check(ParentsWithinContacts(c) == ParentsWithinContacts(expected), "a contact's records nest otherwise");
    for (std::size_t k = 0; k < parentC.size(); ++k) {
        const long p = parentC[k];
        if (p <= 0)
            continue;
        const NodeRecord& parent = expected[static_cast<std::size_t>(p)];
        if (!HoldsWords(parent.text) || parent.name == u"phonebook" || parent.name == u"phonebooks")
            continue;
        const long from = expectedOrigins[static_cast<std::size_t>(p)].origin;
        if (from < 0 || hadChildren[static_cast<std::size_t>(from)])
            continue;
        {
            std::fprintf(stderr, "fuzz_phonebook: record %zu (from %ld) below record %ld (from %ld); the list:\n", k,
                         expectedOrigins[k].origin, p, expectedOrigins[static_cast<std::size_t>(p)].origin);
            for (std::size_t j = 0; j < expectedOrigins.size(); ++j) {
                const NodeRecord& r = expectedOrigins[j].record;
                std::fprintf(stderr, "  %zu from %ld: depth %d <%s> [%s], file depth %d\n", j, expectedOrigins[j].origin,
                             r.depth, std::string(r.name.begin(), r.name.end()).c_str(),
                             std::string(r.text.begin(), r.text.end()).c_str(), depthsC[j]);
            }
            Fail("an element with text and no children got a child");
        }
    }

    // The rows the file loads into are the list's rows, built from texts as
    // the file keeps them: a leaf's text with its runs of blanks shortened, an
    // element with children (in the list or in the file) without its text,
    // which is only the layout between the children.
    RecordList wantRows;
    RecordList gotRows;
    {
        std::size_t j = 0;
        for (const RecordList::Node* node = c.FirstNode(); node; node = node->next, ++j) {
            const bool leafInList = j + 1 == expected.size() || expected[j + 1].depth <= expected[j].depth;
            const bool leafInFile = !node->next || node->next->record.depth <= node->record.depth;
            NodeRecord want = expected[j];
            NodeRecord got = node->record;
            want.text = leafInList && leafInFile ? FirstOfRuns(want.text) : std::u16string();
            if (!(leafInList && leafInFile))
                got.text.clear();
            want.nr = got.nr;
            wantRows.Append(std::move(want));
            gotRows.Append(std::move(got));
        }
    }
    const std::vector<ContactRow> rowsB = Rows(wantRows);
    const std::vector<ContactRow> rowsC = Rows(gotRows);
    Check(rowsB.size() == rowsC.size(), "contact rows changed in number");
    for (std::size_t k = 0; k < rowsB.size(); ++k) {
        Check(rowsB[k].id == rowsC[k].id, "row ID changed");
        Check(rowsB[k].name == rowsC[k].name, "row name changed");
        Check(rowsB[k].telefon == rowsC[k].telefon, "row numbers changed");
    }
    return 0;
}
