// The functional core: flattening documents into records, contact rows,
// copying and removing contacts, rebuilding documents.
#include "phonebook_fixture.h"

#include <algorithm>

using nwtest::U16;
using nwtest::U8;
using pbtest::ExpectRecords;
using pbtest::FlattenXml;
using pbtest::Rec;
using pbtest::Row;
using pbtest::RowsOf;

namespace {

// Records -------------------------------------------------------------------------

TEST(PhonebookFlatten, NumbersEveryElementInPreOrderWithDepthAttributesAndCollapsedTexts)
{
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<phonebooks>\r\n"
        "  <phonebook owner=\"1\" name=\"Telefonbuch\">\r\n"
        "    <contact>\r\n"
        "      <category>0</category>\r\n"
        "      <person>\r\n"
        "        <realName>Anna   M&#252;ller &amp; Co</realName>\r\n"
        "      </person>\r\n"
        "      <telephony nid=\"2\">\r\n"
        "        <number type=\"home\" prio=\"1\" id=\"0\">0301</number>\r\n"
        "        <number type=\"mobile\">0171</number>\r\n"
        "      </telephony>\r\n"
        "      <uniqueid>7</uniqueid>\r\n"
        "    </contact>\r\n"
        "    <contact><realName>Bob\r\n   Baum</realName><uniqueid>8</uniqueid></contact>\r\n"
        "  </phonebook>\r\n"
        "</phonebooks>\r\n";
    const pbtest::Flattened f = FlattenXml(xml, u" (2)");
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(U8(f.name), "Telefonbuch");
    EXPECT_TRUE(f.ignoredKinds.empty());
    // Texts of elements with children are the blanks left of their
    // indentation: one per segment between children.
    ExpectRecords(f.records, {
                                 {"0 (2)", 0, "phonebooks", "", " "},
                                 {"1 (2)", 1, "phonebook", "owner=\"1\"|name=\"Telefonbuch\"|", "   "},
                                 {"2 (2)", 2, "contact", "", "     "},
                                 {"3 (2)", 3, "category", "", "0"},
                                 {"4 (2)", 3, "person", "", "  "},
                                 {"5 (2)", 4, "realName", "", "Anna Müller & Co"},
                                 {"6 (2)", 3, "telephony", "nid=\"2\"|", "   "},
                                 {"7 (2)", 4, "number", "type=\"home\"|prio=\"1\"|id=\"0\"|", "0301"},
                                 {"8 (2)", 4, "number", "type=\"mobile\"|", "0171"},
                                 {"9 (2)", 3, "uniqueid", "", "7"},
                                 {"10 (2)", 2, "contact", "", ""},
                                 {"11 (2)", 3, "realName", "", "Bob Baum"},
                                 {"12 (2)", 3, "uniqueid", "", "8"},
                             });
}

TEST(PhonebookFlatten, ReportsIgnoredNodesInDocumentOrderAndDropsThem)
{
    const std::string xml =
        "<?xml version=\"1.0\"?><!-- before main --><?pi before?>"
        "<phonebooks><phonebook name=\"X\">"
        "<contact><!-- in contact --><realName>A</realName><![CDATA[raw <b>]]></contact>"
        "<?target data?><contact><number>1<!-- inside number --></number></contact>"
        "</phonebook></phonebooks><!-- after main -->";
    const pbtest::Flattened f = FlattenXml(xml);
    EXPECT_EQ(f.ignoredKinds, (std::vector<int>{XmlKindComment, XmlKindCData, XmlKindInstruction, XmlKindComment}));
    ExpectRecords(f.records, {
                                 {"0 (1)", 0, "phonebooks", "", ""},
                                 {"1 (1)", 1, "phonebook", "name=\"X\"|", ""},
                                 {"2 (1)", 2, "contact", "", ""},
                                 {"3 (1)", 3, "realName", "", "A"},
                                 {"4 (1)", 2, "contact", "", ""},
                                 {"5 (1)", 3, "number", "", "1"},
                             });
}

TEST(PhonebookFlatten, IgnoredNodeTexts)
{
    EXPECT_EQ(U8(IgnoredNodeMessage(XmlKindComment)),
              "  Ein XML-Knoten 'Comment' wurde gefunden.\n  Dieser wird noch nicht verarbeitet und ignoriert.    \n"
              "  Bitte beachten !");
    EXPECT_EQ(U8(IgnoredNodeMessage(XmlKindCData)).substr(0, 27), "  Ein XML-Knoten 'CData' wu");
    EXPECT_EQ(U8(IgnoredNodeMessage(XmlKindDtd)).substr(0, 25), "  Ein XML-Knoten 'DTD' wu");
    EXPECT_EQ(U8(IgnoredNodeMessage(XmlKindInstruction)).substr(0, 33), "  Ein XML-Knoten 'Instruction' wu");
    EXPECT_EQ(U8(IgnoredNodeMessage(XmlKindRoot)).substr(0, 26), "  Ein XML-Knoten 'Root' wu");
    EXPECT_EQ(U8(FurtherIgnoredNodesMessage(5)),
              "  Weitere 5 XML-Knoten wurden gefunden.\n  Diese werden noch nicht verarbeitet und ignoriert.    \n"
              "  Bitte beachten !");
}

TEST(PhonebookFlatten, WalksDeepTreesWithoutRecursion)
{
    pbtest::EnsureLibraries();
    ASSERT_TRUE(XmlCreateDocument(0, XmlEncoding::Utf8));
    const int depth = 200000;
    XmlNode* node = XmlRootNode(0);
    for (int i = 0; i < depth; ++i) {
        node = XmlCreateElement(node, i == 0 ? u"phonebooks" : u"a");
        ASSERT_NE(node, nullptr);
    }
    XmlCreateElement(XmlParentNode(node), u"b");  // a sibling of the deepest element
    RecordList records;
    std::u16string name = u"Unbekannt";
    const FlattenResult r = FlattenDocument(XmlMainNode(0), u" (1)", records, name, {});
    XmlFreeDocument(0);
    EXPECT_EQ(r.elements, depth + 1);
    ASSERT_EQ(records.Size(), static_cast<std::size_t>(depth + 1));
    EXPECT_EQ(records.LastNode()->record.depth, depth - 1);
    EXPECT_EQ(U8(records.LastNode()->record.name), "b");
    EXPECT_EQ(U8(records.LastNode()->record.nr), std::to_string(depth) + " (1)");
    EXPECT_EQ(records.LastNode()->prev->record.depth, depth - 1);
}

// Contact rows ----------------------------------------------------------------------

struct RowsCase {
    const char* title;
    const char* xml;
    const char* name;
    std::vector<Row> rows;
};

class PhonebookRows : public ::testing::TestWithParam<RowsCase> {};

TEST_P(PhonebookRows, ShowsContactsWhereverTheyStand)
{
    const RowsCase& c = GetParam();
    const pbtest::Flattened f = FlattenXml(c.xml);
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(U8(f.name), c.name);
    EXPECT_EQ(RowsOf(BuildContactRows(f.records)), c.rows);
    // A row made anew for one contact is the row the whole list gives it.
    ForEachContactRow(f.records, [](RecordList::Node* contact, auto nr, auto id, auto name, auto telefon) {
        EXPECT_EQ(ContactRowText(contact), RowText(nr, id, name, telefon));
    });
}

INSTANTIATE_TEST_SUITE_P(
    Placement, PhonebookRows,
    ::testing::Values(
        RowsCase{"TwoContacts",
                 "<phonebooks><phonebook name=\"Tb\"><contact><uniqueid>1</uniqueid><realName>A</realName>"
                 "<telephony><number>0301</number></telephony></contact>"
                 "<contact><realName>B</realName></contact></phonebook></phonebooks>",
                 "Tb",
                 {{"2 (1)", "1", "A", "0301"}, {"7 (1)", "", "B", ""}}},
        RowsCase{"RealNameAfterLastContact",
                 "<phonebooks><phonebook><contact><realName>A</realName></contact>"
                 "<contact><realName>B</realName></contact><realName>late</realName>"
                 "<number>9</number></phonebook></phonebooks>",
                 "Unbekannt",
                 {{"2 (1)", "", "A", ""}, {"4 (1)", "", "late", "9"}}},
        RowsCase{"RealNameBeforeFirstContact",
                 "<phonebooks><phonebook><realName>early</realName><uniqueid>5</uniqueid>"
                 "<contact><number>1</number></contact></phonebook></phonebooks>",
                 "Unbekannt",
                 {{"4 (1)", "", "", "1"}}},
        RowsCase{"MainElementNotPhonebooks",
                 "<adressen><gruppe><contact><realName>X</realName></contact></gruppe>"
                 "<contact><realName>Y</realName></contact></adressen>",
                 "Unbekannt",
                 {{"2 (1)", "", "X", ""}, {"4 (1)", "", "Y", ""}}},
        RowsCase{"MainElementIsAContact", "<contact><realName>Solo</realName></contact>", "Unbekannt",
                 {{"0 (1)", "", "Solo", ""}}},
        RowsCase{"TwoPhonebooksAThenB",
                 "<phonebooks><phonebook name=\"A\"><contact><realName>a1</realName></contact></phonebook>"
                 "<phonebook owner=\"2\" name=\"B\"><contact><realName>b1</realName></contact></phonebook>"
                 "</phonebooks>",
                 "B",
                 // the second phonebook's records follow a1 and count for it
                 {{"2 (1)", "", "a1", ""}, {"5 (1)", "", "b1", ""}}},
        RowsCase{"NameWithCapitalNIsNoName",
                 "<phonebooks><phonebook Name=\"Gross\"><contact/></phonebook></phonebooks>", "Unbekannt",
                 {{"2 (1)", "", "", ""}}},
        RowsCase{"NumbersJoinedWithEmptyOnes",
                 "<phonebooks><phonebook><contact><number>0301</number><number></number><number/>"
                 "<number>0171</number></contact>"
                 "<contact><number/><number>0171</number></contact>"
                 "<contact><realName>keine</realName></contact></phonebook></phonebooks>",
                 "Unbekannt",
                 {{"2 (1)", "", "", "0301  #    #    #  0171"}, {"7 (1)", "", "", "0171"}, {"10 (1)", "", "keine", ""}}},
        RowsCase{"MissingUniqueidAndSecondRealNameWins",
                 "<phonebooks><phonebook><contact><realName>erst</realName><realName>zweit</realName>"
                 "</contact><contact><uniqueid>1</uniqueid><uniqueid>2</uniqueid></contact>"
                 "</phonebook></phonebooks>",
                 "Unbekannt",
                 {{"2 (1)", "", "zweit", ""}, {"5 (1)", "2", "", ""}}},
        RowsCase{"LineBreakInRealNameRemoved",
                 "<phonebooks><phonebook name=\"a &amp; b\"><contact><realName>Anna\r\n    Beispiel</realName>"
                 "<number type=\"home\">  0301 \t 22</number></contact></phonebook></phonebooks>",
                 "a & b",
                 {{"2 (1)", "", "Anna Beispiel", " 0301 22"}}},
        RowsCase{"NoContacts", "<phonebooks><phonebook name=\"Leer\"/></phonebooks>", "Leer", {}}),
    [](const ::testing::TestParamInfo<RowsCase>& info) { return std::string(info.param.title); });

TEST(PhonebookRows, RowTextStartsWithALineFeedPerColumn)
{
    EXPECT_EQ(U8(RowText(u"2 (1)", u"7", u"Anna", u"0301  #  0171")), "\n2 (1)\n7\nAnna\n0301  #  0171");
    EXPECT_EQ(U8(RowText(u"", u"", u"", u"")), "\n\n\n\n");
}

// Copying and removing contacts ------------------------------------------------------

RecordList Named(const std::string& names)
{
    // One record per letter; "c" is a contact record, depth by position.
    RecordList list;
    int i = 0;
    for (char ch : names) {
        NodeRecord r;
        r.name = ch == 'c' ? u"contact" : std::u16string(1, static_cast<char16_t>(ch));
        r.nr = DecimalText(i++) + u" (1)";
        list.Append(std::move(r));
    }
    return list;
}

std::string Letters(const RecordList& list)
{
    std::string out;
    for (const NodeRecord& r : list)
        out += r.name == u"contact" ? 'c' : static_cast<char>(r.name[0]);
    return out;
}

RecordList::Node* NthContact(const RecordList& list, int n)
{
    for (RecordList::Node* node = list.FirstNode(); node; node = node->next)
        if (node->record.name == u"contact" && n-- == 0)
            return node;
    return nullptr;
}

TEST(PhonebookTransferCore, CopiesAndRemovesExactlyOneContact)
{
    struct Case {
        const char* list;
        int contact;
        const char* copied;     // what the copy appends to an empty list
        const char* remaining;  // the list after removing the contact
    };
    const Case cases[] = {
        {"pqcxycz", 0, "cxy", "pqcz"},       // first contact
        {"pqcxycz", 1, "cz", "pqcxy"},       // last contact up to the end
        {"pqcxcc", 1, "c", "pqcxc"},         // a one-record contact between others
        {"pqccxy", 1, "cxy", "pqc"},         // trailing records count for the last one
        {"c", 0, "c", ""},                   // the only record
        {"cabcd", 0, "cab", "cd"},           // list beginning with a contact
    };
    for (const Case& c : cases) {
        RecordList source = Named(c.list);
        RecordList target;
        RecordList::Node* copy = CopyContactRecords(NthContact(source, c.contact), target);
        EXPECT_EQ(Letters(target), c.copied) << c.list;
        EXPECT_EQ(copy, target.FirstNode()) << c.list;
        EXPECT_EQ(Letters(source), c.list) << "source unchanged";
        RemoveContactRecords(source, NthContact(source, c.contact));
        EXPECT_EQ(Letters(source), c.remaining) << c.list;

        // Moving leaves both lists as copy and remove do, with the same nodes.
        RecordList from = Named(c.list);
        RecordList to = Named("pq");
        RecordList::Node* contact = NthContact(from, c.contact);
        EXPECT_EQ(MoveContactRecords(from, contact, to), contact);
        EXPECT_EQ(Letters(to), std::string("pq") + c.copied) << c.list;
        EXPECT_EQ(Letters(from), c.remaining) << c.list;
        EXPECT_EQ(to.Size(), 2 + std::string(c.copied).size());
        EXPECT_EQ(from.Size(), std::string(c.remaining).size());
    }
}

TEST(PhonebookTransferCore, RemovedOrMovedCurrentRecordStepsBack)
{
    RecordList list = Named("pqcxcz");
    list.Reset();
    for (int i = 0; i < 4; ++i)
        list.Next();  // x
    RecordList other;
    MoveContactRecords(list, NthContact(list, 0), other);
    EXPECT_EQ(U8(list.Current()->name), "q");
    list.Last();  // z
    RemoveContactRecords(list, NthContact(list, 0));
    EXPECT_EQ(U8(list.Current()->name), "q");
    EXPECT_EQ(Letters(list), "pq");
}

TEST(PhonebookTransferCore, CopyKeepsEveryFieldAndAppendsAfterTheLastRecord)
{
    RecordList source = Named("cx");
    source.LastNode()->record.depth = 3;
    source.LastNode()->record.attributes = u"type=\"home\"|";
    source.LastNode()->record.text = u"0301";
    RecordList target = Named("pq");
    CopyContactRecords(source.FirstNode(), target);
    EXPECT_EQ(Letters(target), "pqcx");
    const NodeRecord& x = target.LastNode()->record;
    EXPECT_EQ(U8(x.nr), "1 (1)");
    EXPECT_EQ(x.depth, 3);
    EXPECT_EQ(U8(x.attributes), "type=\"home\"|");
    EXPECT_EQ(U8(x.text), "0301");
}

// Rebuilding documents ------------------------------------------------------------------

// Builds records from a compact description: one entry per record.
RecordList Build(const std::vector<Rec>& recs)
{
    RecordList list;
    for (const Rec& r : recs) {
        NodeRecord n;
        n.nr = U16(r.nr);
        n.depth = r.depth;
        n.name = U16(r.name);
        n.attributes = U16(r.attributes);
        n.text = U16(r.text);
        list.Append(std::move(n));
    }
    return list;
}

struct ElementsCase {
    const char* title;
    std::vector<Rec> records;
    const char* name;                  // the Name field
    std::vector<Rec> expected;         // the built document flattened again (nr unused)
};

class PhonebookRebuild : public ::testing::TestWithParam<ElementsCase> {};

TEST_P(PhonebookRebuild, KeepsEveryRecord)
{
    pbtest::EnsureLibraries();
    const ElementsCase& c = GetParam();
    ASSERT_TRUE(XmlCreateDocument(0, XmlEncoding::Utf8));
    ASSERT_TRUE(BuildPhonebookDocument(0, Build(c.records), U16(c.name)));
    RecordList again;
    std::u16string name;
    FlattenDocument(XmlMainNode(0), u"", again, name, {});
    std::vector<Rec> expected = c.expected;
    int i = 0;
    std::vector<std::string> nrs;
    nrs.reserve(expected.size());  // the records point into these strings
    for (Rec& r : expected) {
        nrs.push_back(std::to_string(i++));
        r.nr = nrs.back().c_str();
    }
    ExpectRecords(again, expected);
    // The saved bytes are well-formed and hold as many elements.
    XmlFormat(0, XmlFormatReformat, 3);
    XmlFormat(0, XmlFormatLf, 3);
    bool wellFormed = false;
    const auto elements = pbtest::ExpatElements(XmlSerializeToBytes(0, 0), &wellFormed);
    EXPECT_TRUE(wellFormed);
    EXPECT_EQ(elements.size(), expected.size());
    XmlFreeDocument(0);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PhonebookRebuild,
    ::testing::Values(
        ElementsCase{"Phonebook",
                     {{"", 0, "phonebooks", "", " "},
                      {"", 1, "phonebook", "owner=\"1\"|name=\"Alt\"|", ""},
                      {"", 2, "contact", "", ""},
                      {"", 3, "number", "type=\"home\"|id=\"a\\|b\"|", "0301"},
                      {"", 2, "contact", "", ""}},
                     "Neu",
                     {{"", 0, "phonebooks", "", " "},
                      {"", 1, "phonebook", "owner=\"1\"|name=\"Neu\"|", ""},
                      {"", 2, "contact", "", ""},
                      {"", 3, "number", "type=\"home\"|id=\"a\\|b\"|", "0301"},
                      {"", 2, "contact", "", ""}}},
        // Contacts copied into a panel without a phonebook get the frame of
        // a new phonebook around them.
        ElementsCase{"ContactsOnly",
                     {{"", 2, "contact", "", ""}, {"", 3, "realName", "", "A"}, {"", 2, "contact", "", ""}},
                     "Name",
                     {{"", 0, "phonebooks", "", ""},
                      {"", 1, "phonebook", "owner=\"1\"|name=\"Name\"|", ""},
                      {"", 2, "contact", "", ""},
                      {"", 3, "realName", "", "A"},
                      {"", 2, "contact", "", ""}}},
        ElementsCase{"Empty", {}, "Leer",
                     {{"", 0, "phonebooks", "", ""}, {"", 1, "phonebook", "owner=\"1\"|name=\"Leer\"|", ""}}},
        ElementsCase{"OtherMainElement",
                     {{"", 0, "adressen", "v=\"1\"|", ""}, {"", 1, "contact", "", ""}, {"", 2, "x", "", "t"}},
                     "egal",
                     {{"", 0, "adressen", "v=\"1\"|", ""}, {"", 1, "contact", "", ""}, {"", 2, "x", "", "t"}}},
        // A second top-level record goes below the document element with
        // everything it holds.
        ElementsCase{"SecondPhonebooks",
                     {{"", 0, "phonebooks", "", ""},
                      {"", 1, "phonebook", "name=\"A\"|", ""},
                      {"", 0, "phonebooks", "", ""},
                      {"", 1, "phonebook", "name=\"B\"|", ""},
                      {"", 2, "contact", "", ""}},
                     "N",
                     {{"", 0, "phonebooks", "", ""},
                      {"", 1, "phonebook", "name=\"N\"|", ""},
                      {"", 1, "phonebooks", "", ""},
                      {"", 2, "phonebook", "name=\"N\"|", ""},
                      {"", 3, "contact", "", ""}}},
        // A contact whose own file had it as main element, copied in.
        ElementsCase{"TopLevelContactCopiedIn",
                     {{"", 0, "phonebooks", "", ""},
                      {"", 1, "phonebook", "", ""},
                      {"", 0, "contact", "", ""},
                      {"", 1, "realName", "", "R"}},
                     "N",
                     {{"", 0, "phonebooks", "", ""},
                      {"", 1, "phonebook", "", ""},
                      {"", 1, "contact", "", ""},
                      {"", 2, "realName", "", "R"}}},
        // A gap in the depths attaches to the nearest open ancestor.
        ElementsCase{"DepthGap",
                     {{"", 0, "phonebooks", "", ""}, {"", 3, "deep", "", ""}, {"", 1, "flat", "", ""}},
                     "N",
                     {{"", 0, "phonebooks", "", ""}, {"", 1, "deep", "", ""}, {"", 1, "flat", "", ""}}},
        ElementsCase{"Nameless attribute never written",
                     {{"", 0, "phonebooks", "=\"x\"|a=\"1\"|", ""}},
                     "N",
                     {{"", 0, "phonebooks", "a=\"1\"|", ""}}}),
    [](const ::testing::TestParamInfo<ElementsCase>& info) {
        std::string s = info.param.title;
        s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
        return s;
    });

// The records of the document rebuilt from records, flattened again (no
// suffix); false when the document could not be built.
bool Rebuilt(const RecordList& records, RecordList& again)
{
    if (!XmlCreateDocument(0, XmlEncoding::Utf8))
        return false;
    const bool built = BuildPhonebookDocument(0, records, u"N");
    std::u16string name;
    if (built)
        FlattenDocument(XmlMainNode(0), u"", again, name, {});
    XmlFreeDocument(0);
    return built;
}

// A contact brought in by a transfer never lands inside an element of another
// contact that holds text; one of the list's own elements with text keeps its
// children, and containers take transferred contacts as usual.
TEST(PhonebookRebuild, TransferredContactsStayOutOfOtherElementsWithText)
{
    pbtest::EnsureLibraries();
    RecordList target = Build({{"", 0, "phonebooks", "", " "},
                               {"", 1, "phonebook", "", " "},
                               {"", 2, "contact", "", ""},
                               {"", 3, "realName", "", "Own"},
                               {"", 4, "x", "", "child of realName"},
                               {"", 2, "number", "", "0000"}});
    RecordList source = Build({{"", 2, "group", "", " "},
                               {"", 3, "contact", "", " "},
                               {"", 4, "realName", "", "Deep"},
                               {"", 2, "contact", "", ""},
                               {"", 3, "number", "", "1"},
                               {"", 3, "contact", "", ""}});
    CopyContactRecords(NthContact(source, 0), target);          // depth 3: not into "number"
    CopyContactRecords(NthContact(source, 1), target);          // depth 2: into "phonebook"
    MoveContactRecords(source, NthContact(source, 2), target);  // depth 3: beside the contact before it
    RecordList again;
    ASSERT_TRUE(Rebuilt(target, again));
    ExpectRecords(again, {{"0", 0, "phonebooks", "", " "},
                          {"1", 1, "phonebook", "", " "},
                          {"2", 2, "contact", "", ""},
                          {"3", 3, "realName", "", "Own"},
                          {"4", 4, "x", "", "child of realName"},
                          {"5", 2, "number", "", "0000"},
                          {"6", 2, "contact", "", " "},
                          {"7", 3, "realName", "", "Deep"},
                          {"8", 2, "contact", "", ""},
                          {"9", 3, "number", "", "1"},
                          {"10", 2, "contact", "", ""}});
}

// Contacts copied from a file whose contacts stand deeper than the panel's
// own never end up inside one of the panel's contacts, where the rest of
// that contact's records would count for them after the next load. A file's
// own nesting is kept as it was.
TEST(PhonebookRebuild, TransferredContactsNeverLandInsideAnotherContact)
{
    pbtest::EnsureLibraries();
    const std::vector<Rec> own = {{"0 (1)", 0, "phonebooks", "", ""},
                                  {"1 (1)", 1, "phonebook", "", ""},
                                  {"2 (1)", 2, "contact", "", ""},
                                  {"3 (1)", 3, "telephony", "", ""},
                                  {"4 (1)", 4, "number", "", "0301"},
                                  {"5 (1)", 2, "contact", "", ""},
                                  {"6 (1)", 3, "person", "", ""},
                                  {"7 (1)", 3, "uniqueid", "", "7"}};
    RecordList source = Build({{"0 (2)", 0, "a", "", ""},
                               {"1 (2)", 1, "b", "", ""},
                               {"2 (2)", 2, "c", "", ""},
                               {"3 (2)", 3, "d", "", ""},
                               {"4 (2)", 4, "contact", "", ""},
                               {"5 (2)", 5, "realName", "", "Deep"},
                               {"6 (2)", 4, "contact", "", ""},
                               {"7 (2)", 5, "uniqueid", "", "9"}});
    RecordList target = Build(own);
    CopyContactRecords(NthContact(source, 0), target);
    MoveContactRecords(source, NthContact(source, 1), target);
    RecordList again;
    ASSERT_TRUE(Rebuilt(target, again));
    ExpectRecords(again, {{"0", 0, "phonebooks", "", ""},
                          {"1", 1, "phonebook", "", ""},
                          {"2", 2, "contact", "", ""},
                          {"3", 3, "telephony", "", ""},
                          {"4", 4, "number", "", "0301"},
                          {"5", 2, "contact", "", ""},
                          {"6", 3, "person", "", ""},
                          {"7", 3, "uniqueid", "", "7"},
                          {"8", 2, "contact", "", ""},
                          {"9", 3, "realName", "", "Deep"},
                          {"10", 2, "contact", "", ""},
                          {"11", 3, "uniqueid", "", "9"}});
    // Every row keeps its own texts after the rebuild.
    const std::vector<ContactRow> rows = BuildContactRows(again);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(U8(rows[1].id), "7");
    EXPECT_EQ(U8(rows[2].name), "Deep");
    EXPECT_EQ(U8(rows[2].id), "");
    EXPECT_EQ(U8(rows[3].id), "9");

    // Nested contacts of the panel's own file stay nested.
    RecordList nested = Build({{"0", 0, "phonebooks", "", ""},
                               {"1", 1, "contact", "", ""},
                               {"2", 2, "contact", "", ""},
                               {"3", 3, "uniqueid", "", "1"}});
    RecordList nestedAgain;
    ASSERT_TRUE(Rebuilt(nested, nestedAgain));
    ExpectRecords(nestedAgain, {{"0", 0, "phonebooks", "", ""},
                                {"1", 1, "contact", "", ""},
                                {"2", 2, "contact", "", ""},
                                {"3", 3, "uniqueid", "", "1"}});
}

TEST(PhonebookRebuild, RebuildsAnyDepth)
{
    pbtest::EnsureLibraries();
    const int depth = 5000;
    RecordList records;
    for (int i = 0; i < depth; ++i) {
        NodeRecord r;
        r.depth = i;
        r.name = i == 0 ? u"phonebooks" : u"d";
        records.Append(std::move(r));
    }
    ASSERT_TRUE(XmlCreateDocument(0, XmlEncoding::Utf8));
    ASSERT_TRUE(BuildPhonebookDocument(0, records, u"N"));
    int deepest = 0;
    for (XmlNode* n = XmlMainNode(0); n; n = XmlFirstChild(n))
        ++deepest;
    EXPECT_EQ(deepest, depth);
    XmlFreeDocument(0);
}

TEST(PhonebookRebuild, RefusesADocumentThatIsNotNewAndEmpty)
{
    pbtest::EnsureLibraries();
    RecordList records = Build({{"", 0, "phonebooks", "", ""}});
    XmlFreeDocument(0);
    EXPECT_FALSE(BuildPhonebookDocument(0, records, u"N"));
    ASSERT_TRUE(XmlCreateDocument(0, XmlEncoding::Utf8));
    ASSERT_TRUE(BuildPhonebookDocument(0, records, u"N"));
    EXPECT_FALSE(BuildPhonebookDocument(0, records, u"N"));  // it has a document element now
    XmlFreeDocument(0);
}

}  // namespace
