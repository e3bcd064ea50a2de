// New phonebook and saving a panel's phonebook.
#include "phonebook_fixture.h"

#include "base/atomic_file.h"
#include "phonebook/book_file.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>

using nwtest::ReadFileBytes;
using nwtest::U16;
using nwtest::U8;
using pbtest::ElementSummary;
using pbtest::Row;

namespace {

const std::int64_t July2026At1530 = 1784734200;  // 2026-07-22 15:30:00

const char* const NewSaved =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "\n"
    "<phonebooks>\n"
    "   <phonebook owner=\"1\" name=\"Neu_2607221530\"/>\n"
    "</phonebooks>\n";

const char* const Source =
    "<phonebooks><phonebook name=\"Quelle\"><contact><realName>Q</realName>"
    "<telephony><number type=\"home\">1</number></telephony></contact></phonebook></phonebooks>";

const char* const Target =
    "<phonebooks><phonebook name=\"Ziel\"><contact><realName>Z</realName></contact></phonebook></phonebooks>";

// Target with the contact of Source copied in, saved under the name "Neu".
const char* const TargetSaved =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "\n"
    "<phonebooks>\n"
    "   <phonebook name=\"Neu\">\n"
    "      <contact>\n"
    "         <realName>Z</realName>\n"
    "      </contact>\n"
    "      <contact>\n"
    "         <realName>Q</realName>\n"
    "         <telephony>\n"
    "            <number type=\"home\">1</number>\n"
    "         </telephony>\n"
    "      </contact>\n"
    "   </phonebook>\n"
    "</phonebooks>\n";

std::string SaveFailedText(const std::string& file, const std::string& directory)
{
    return "  Das Telefonbuch kann nicht gespeichert werden.    \n\n  Datei:  " + file + "    \n\n  Pfad:   " +
           directory + "    ";
}

class PhonebookSave : public pbtest::PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        SetClock([] { return July2026At1530; });
    }
    void TearDown() override
    {
        SetFileWriteFault({});
        PanelTest::TearDown();
    }
    std::string DirText() const { return dir.path().string() + "/"; }
    void SetFileField(int panel, const std::filesystem::path& path)
    {
        ui::SetText(PanelWidgetNumber(panel, FileFieldWidget), pbtest::PathText(path));
    }
    void SetNameField(int panel, const std::string& name)
    {
        ui::SetText(PanelWidgetNumber(panel, NameFieldWidget), U16(name));
    }
    static std::vector<ElementSummary> Elements(const std::filesystem::path& file)
    {
        bool wellFormed = false;
        auto elements = pbtest::ExpatElements(ReadFileBytes(file), &wellFormed);
        EXPECT_TRUE(wellFormed) << file;
        return elements;
    }
};

TEST_F(PhonebookSave, NewPhonebookSetsFieldsAndTwoRecords)
{
    LoadText(1, "a.xml", Target);
    LoadText(2, "b.xml", Source);
    RememberedDirectory(1) = U16(DirText());
    NewPhonebook(1);
    NewPhonebook(1);  // twice: still two records
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), "Neu_2607221530");
    EXPECT_EQ(U8(Text(1, FileFieldWidget)), DirText() + "Neu_2607221530.xml");
    EXPECT_TRUE(Rows(1).empty());
    EXPECT_EQ(Count(1), " Anz.: 0");
    pbtest::ExpectRecords(Panel(1).records,
                          {{"0 (1)", 0, "phonebooks", "", ""},
                           {"1 (1)", 1, "phonebook", "owner=\"1\"|name=\"Neu_2607221530\"|", ""}});
    EXPECT_TRUE(PanelRowsInStep(1));
    EXPECT_EQ(Rows(2).size(), 1u);  // the other panel keeps its contact
    EXPECT_EQ(U8(PhonebookName()), "Quelle");
    EXPECT_FALSE(std::filesystem::exists(dir / "Neu_2607221530.xml"));

    RememberedDirectory(2) = u"C:\\Telefonbuecher";  // no separator at the end
    SetClock([] { return DateFromParts(2001, 2, 3, 4, 5, 6); });
    NewPhonebook(2);
    EXPECT_EQ(U8(Text(2, FileFieldWidget)), "C:\\TelefonbuecherNeu_0102030405.xml");
    pbtest::ExpectRecords(Panel(2).records,
                          {{"0 (2)", 0, "phonebooks", "", ""},
                           {"1 (2)", 1, "phonebook", "owner=\"1\"|name=\"Neu_0102030405\"|", ""}});
}

TEST_F(PhonebookSave, NewPhonebookSavedUnchanged)
{
    RememberedDirectory(1) = U16(DirText());
    NewPhonebook(1);
    SavePhonebook(1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ReadFileBytes(dir / "Neu_2607221530.xml_NEU.xml"), NewSaved);
    // Saving changes no panel state.
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), "Neu_2607221530");
    EXPECT_EQ(Panel(1).records.Size(), 2u);
}

TEST_F(PhonebookSave, CopiedContactsGoInsideTheLastPhonebookAfterItsOwn)
{
    LoadText(1, "quelle.xml", Source);
    LoadText(2, "ziel.xml", Target);
    TickRows(1, {0});
    CopyContacts(1);
    SetNameField(2, "Neu");
    SavePhonebook(2);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ReadFileBytes(dir / "ziel.xml_NEU.xml"), TargetSaved);
    // The record keeps the old name; only the file has the new one.
    EXPECT_EQ(U8(Panel(2).records.FirstNode()->next->record.attributes), "name=\"Ziel\"|");
    EXPECT_EQ(U8(PhonebookName()), "Neu");

    // Saving again gives the same bytes.
    SavePhonebook(2);
    EXPECT_EQ(ReadFileBytes(dir / "ziel.xml_NEU.xml"), TargetSaved);
}

TEST_F(PhonebookSave, RenamedPhonebookNamesEveryPhonebookElement)
{
    LoadText(1, "zwei.xml",
             "<phonebooks>\n <phonebook owner=\"0\" name=\"A\"><contact><realName>a</realName></contact></phonebook>\n"
             " <phonebook name=\"B\" owner=\"7\"><contact><realName>b</realName></contact></phonebook>\n"
             " <phonebook owner=\"9\"/>\n</phonebooks>\n");
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), "B");
    SetNameField(1, "Neuer Name & <mehr>");
    SavePhonebook(1);
    std::vector<std::vector<std::pair<std::string, std::string>>> phonebooks;
    for (const ElementSummary& e : Elements(dir / "zwei.xml_NEU.xml"))
        if (e.name == "phonebook")
            phonebooks.push_back(e.attributes);
    using A = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(phonebooks, (std::vector<A>{{{"owner", "0"}, {"name", "Neuer Name & <mehr>"}},
                                          {{"name", "Neuer Name & <mehr>"}, {"owner", "7"}},
                                          {{"owner", "9"}}}));  // no name to replace
}

TEST_F(PhonebookSave, EmptyNameFieldWritesAnEmptyName)
{
    LoadText(1, "a.xml", Target);
    SetNameField(1, "");
    SavePhonebook(1);
    const auto elements = Elements(dir / "a.xml_NEU.xml");
    ASSERT_GE(elements.size(), 2u);
    EXPECT_EQ(elements[1].attributes, (std::vector<std::pair<std::string, std::string>>{{"name", ""}}));
}

TEST_F(PhonebookSave, DeletedAndMovedContactsAreMissingAndSourcesUntouched)
{
    const std::string source =
        "<phonebooks><phonebook name=\"P\"><contact><realName>Eins</realName></contact>"
        "<contact><realName>Zwei</realName></contact><contact><realName>Drei</realName></contact>"
        "</phonebook></phonebooks>";
    LoadText(1, "p.xml", source);
    const std::string formatted = ReadFileBytes(dir / "p.xml_Formatiert.xml");
    TickRows(1, {0});
    DeleteContacts(1);
    TickRows(1, {1});
    MoveContacts(1);
    SavePhonebook(1);
    std::vector<std::string> names;
    for (const ElementSummary& e : Elements(dir / "p.xml_NEU.xml"))
        if (e.name == "realName")
            names.push_back(e.text);
    EXPECT_EQ(names, (std::vector<std::string>{"Zwei"}));
    EXPECT_EQ(ReadFileBytes(dir / "p.xml"), source);
    EXPECT_EQ(ReadFileBytes(dir / "p.xml_Formatiert.xml"), formatted);
}

// Contacts copied into a panel that holds no phonebook get the frame of a
// new phonebook, named as the Name field says, whatever depth they had; a
// file's own main element stays what it was.
TEST_F(PhonebookSave, ContactsInAPanelWithoutPhonebookGetAFrame)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {Source, {"0phonebooks", "1phonebook", "2contact", "3realName", "3telephony", "4number"}},
        {"<adressen><contact><realName>A</realName></contact><number>1</number><contact/></adressen>",
         {"0phonebooks", "1phonebook", "2contact", "3realName", "2number", "2contact"}},
        {"<contact><realName>A</realName><contact><realName>B</realName></contact><number>1</number></contact>",
         {"0phonebooks", "1phonebook", "2contact", "3realName", "2contact", "3realName", "2number"}},
    };
    for (const auto& [source, expected] : cases) {
        PhonebookInit();
        ui::ClearItems(List(2));
        LoadText(1, "quelle.xml", source);
        TickAllRows(1);
        CopyContacts(1);  // panel 2 holds nothing else
        SetNameField(2, "Gerettet");
        SetFileField(2, dir / "frei");
        SavePhonebook(2);
        std::vector<std::string> names;
        for (const ElementSummary& e : Elements(dir / "frei_NEU.xml"))
            names.push_back(std::to_string(e.depth) + e.name);
        EXPECT_EQ(names, expected) << source;
        EXPECT_EQ(Elements(dir / "frei_NEU.xml")[1].attributes,
                  (std::vector<std::pair<std::string, std::string>>{{"owner", "1"}, {"name", "Gerettet"}}));
    }
    SavePhonebook(1);
    EXPECT_EQ(ReadFileBytes(dir / "quelle.xml_NEU.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<contact>\n   <realName>A</realName>\n   <contact>\n"
              "      <realName>B</realName>\n   </contact>\n   <number>1</number>\n</contact>\n");
}

// Every contact of a source copied into a target, saved and loaded again:
// the rows come back as the panel showed them, every contact keeps its
// records and their nesting below it, and no contact went into an element
// that held none ("setup"). Sources hold contacts in a group with a number
// after the contact, inside contacts, deeper or shallower than the
// target's, and as a file's main element.
const char* const WholeSources[] = {
    "<phonebooks><phonebook name=\"G\"><group><contact><realName>Grouped</realName></contact>"
    "<number>0555</number></group></phonebook></phonebooks>",
    "<phonebooks><phonebook><contact><realName>Aussen</realName><contact><realName>Innen</realName><telephony>"
    "<number>1</number></telephony></contact><number>2</number></contact><number>3</number><contact/></phonebook>"
    "</phonebooks>",
    "<a><b><c><d><contact><realName>Tief</realName><x><number>4</number></x></contact><number>5</number></d>"
    "<number>6</number><contact><uniqueid>7</uniqueid></contact></c></b></a>",
    "<contact><realName>Haupt</realName><contact><realName>Kind</realName></contact><number>8</number></contact>",
    "<adressen><contact><realName>Flach</realName></contact><number>9</number><contact/></adressen>",
};
// "" stands for a new phonebook, nullptr for a panel without one.
const char* const WholeTargets[] = {
    "<phonebooks><phonebook name=\"F\"><contact><realName>K1</realName></contact><contact/><contact/><contact/>"
    "<contact><realName>K5</realName><telephony><number>05</number></telephony></contact></phonebook></phonebooks>",
    "",
    nullptr,
    "<phonebooks><phonebook><group><contact><realName>In Gruppe</realName></contact><number>10</number></group>"
    "</phonebook></phonebooks>",
    "<contact><realName>Solo</realName><number>11</number></contact>",
    "<phonebooks><phonebook><contact><realName>Vor</realName></contact><setup/></phonebook></phonebooks>",
};

// Per contact, per record: its parent among the contact's records ("-" when
// that lies outside them), name, attributes and text.
std::vector<std::string> ContactShapes(const RecordList& records)
{
    std::vector<std::string> shapes;
    std::vector<int> depths;
    for (const NodeRecord& r : records) {
        if (r.name == u"contact")
            shapes.emplace_back(), depths.clear();
        if (shapes.empty())
            continue;
        std::size_t j = depths.size();
        while (j > 0 && depths[j - 1] >= r.depth)
            --j;
        depths.push_back(r.depth);
        shapes.back() += (j ? std::to_string(j - 1) : "-") + " " + U8(r.name) + U8(r.attributes) + "[" +
                         U8(r.text.view().substr(0, r.text.view().find_last_not_of(u' ') + 1)) + "]\n";
    }
    return shapes;
}

class PhonebookSaveWhole : public PhonebookSave, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(PhonebookSaveWhole, CopiedContactsComeBackWhole)
{
    const auto [source, target] = GetParam();
    if (WholeTargets[target] && *WholeTargets[target])
        LoadText(2, "ziel.xml", WholeTargets[target]);
    else if (WholeTargets[target])
        NewPhonebook(2);
    LoadText(1, "quelle.xml", WholeSources[source]);
    TickAllRows(1);
    CopyContacts(1);
    std::vector<Row> rows = Rows(2);
    const std::vector<std::string> shapes = ContactShapes(Panel(2).records);
    SetFileField(2, dir / "ziel.xml");
    SavePhonebook(2);
    Load(1, dir / "ziel.xml_NEU.xml");
    std::vector<Row> again = Rows(1);
    for (std::size_t i = 0; i < rows.size() && i < again.size(); ++i)
        rows[i].nr = again[i].nr;
    EXPECT_EQ(again, rows);
    EXPECT_EQ(ContactShapes(Panel(1).records), shapes);
    EXPECT_TRUE(Messages().empty());
    const auto elements = Elements(dir / "ziel.xml_NEU.xml");
    for (std::size_t i = 0; i + 1 < elements.size(); ++i)
        EXPECT_TRUE(elements[i].name != "setup" || elements[i + 1].depth <= elements[i].depth);
}

INSTANTIATE_TEST_SUITE_P(SourcesAndTargets, PhonebookSaveWhole,
                         ::testing::Combine(::testing::Range(0, 5), ::testing::Range(0, 6)));

TEST_F(PhonebookSave, ValuesWithBarsAndBackslashesSurvive)
{
    const std::string source =
        "<phonebooks><phonebook name=\"a|b\" owner=\"x\\|y\"><contact><number id=\"|\" t=\"\\\\\" "
        "u=\"&quot;|&apos;\">1</number></contact></phonebook></phonebooks>";
    LoadText(1, "bar.xml", source);
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), "a|b");
    SavePhonebook(1);
    EXPECT_EQ(Elements(dir / "bar.xml_NEU.xml"), pbtest::ExpatElements(source));
}

// Characters XML 1.0 cannot carry are left out of the saved file, which
// then holds what the same phonebook without them gives, and one Information
// box names where they stood. A name that stays no XML name without them,
// or a file nested deeper than a load reads, is not written.
TEST_F(PhonebookSave, CharactersXmlCannotCarryAreLeftOutAndNamed)
{
    LoadText(1, "z.xml",
             "<phonebooks><phonebook owner=\"1\" name=\"Ziel\"><contact><realName>Zoe</realName>"
             "<number type=\"home\">1</number></contact></phonebook></phonebooks>");
    SetNameField(1, "Neu");
    SavePhonebook(1);
    const std::filesystem::path saved = dir / "z.xml_NEU.xml";
    const std::string reference = ReadFileBytes(saved);
    std::vector<RecordList::Node*> record;  // phonebooks, phonebook, contact, realName, number
    for (RecordList::Node* n = Panel(1).records.FirstNode(); n; n = n->next)
        record.push_back(n);
    ASSERT_EQ(record.size(), 5u);

    struct Case {
        std::u16string nameField;
        int record;
        RecordText NodeRecord::*field;
        std::u16string value;
        const char* places;  // the lines of the box that name the places; nullptr: refused
    };
    const Case cases[] = {
        {u"N\u0001e\uFFFEu", 3, &NodeRecord::text, u"Zoe", "  Feld 'Name'    \n"},
        {u"Neu", 3, &NodeRecord::text, u"Z\x1F" u"o\xDC00" u"e", "  Kontakt Nr. 2 (1) 'Zoe': Text von 'realName'    \n"},
        {u"Neu\xD800", 4, &NodeRecord::attributes, u"type=\"ho\uFFFFme\"|",
         "  Feld 'Name'    \n  Kontakt Nr. 2 (1) 'Zoe': Attribut 'type' von 'number'    \n"},
        {u"Neu", 1, &NodeRecord::attributes, u"owner=\"\u00021\"|name=\"Ziel\"|",
         "  Vor dem ersten Kontakt: Attribut 'owner' von 'phonebook'    \n"},
        {u"Neu", 4, &NodeRecord::name, u"num\bber", "  Kontakt Nr. 2 (1) 'Zoe': Name des Elements 'number'    \n"},
        {u"Neu", 4, &NodeRecord::attributes, u"ty\u001Bpe\u0010=\"home\"|",
         "  Kontakt Nr. 2 (1) 'Zoe': Name eines Attributs von 'number'    \n"},
        {u"Neu", 4, &NodeRecord::name, u"\u0001", nullptr},
        {u"Neu", 4, &NodeRecord::name, u"a b", nullptr},
        {u"Neu", 4, &NodeRecord::attributes, u"x\u00D7=\"1\"|", nullptr},  // no name character
    };
    for (const Case& c : cases) {
        ui::ClearRecordedMessages();
        nwtest::WriteFileBytes(saved, "vorher");
        ui::SetText(PanelWidgetNumber(1, NameFieldWidget), c.nameField);
        RecordText& field = record[c.record]->record.*c.field;
        const RecordText before = field;
        field = c.value;
        SavePhonebook(1);
        field = before;
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].icon, c.places ? ui::Icon::Information : ui::Icon::Error);
        EXPECT_EQ(ReadFileBytes(saved), c.places ? reference : "vorher");
        if (c.places) {
            EXPECT_EQ(U8(Messages()[0].text), std::string("  Beim Speichern wurden Zeichen weggelassen,    \n"
                                                          "  die eine XML-Datei nicht enthalten kann:    \n\n") +
                                                  c.places + "\n  Bitte beachten !");
        }
    }
    // Many places: the first ten are named, the rest counted.
    ui::ClearRecordedMessages();
    SetNameField(1, "Neu");
    for (int i = 0; i < 12; ++i)
        Panel(1).records.Append({.nr = u"", .name = u"x", .attributes = u"", .text = u"\u0001", .depth = 3});
    SavePhonebook(1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(U8(Messages()[0].text).find("'Zoe': Text von 'x'    \n  und 2 weitere Stellen    \n"), std::string::npos);

    // A contact that was a file's main element, as deep as a load takes it,
    // put into the frame of a new phonebook would be one level too deep.
    std::string deep = "<contact>";
    for (int i = 1; i < XmlMaxLoadDepth; ++i)
        deep.insert(9, "<x>").append("</x>");
    ui::ClearRecordedMessages();
    LoadText(1, "tief.xml", deep + "</contact>");
    TickRows(1, {0});
    CopyContacts(1);
    SetFileField(2, dir / "tief");
    SavePhonebook(2);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].icon, ui::Icon::Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "tief_NEU.xml"));
}

TEST_F(PhonebookSave, UnwritableTargetIsReportedAndLeavesFilesAlone)
{
    LoadText(1, "a.xml", Target);
    struct Case {
        const char* title;
        std::filesystem::path file;  // Datei field
        bool diskFull;
    };
    std::filesystem::create_directory(dir / "ordner.xml_NEU.xml");
    nwtest::WriteFileBytes(dir / "voll.xml_NEU.xml", "vorher");
    const Case cases[] = {
        {"no such directory", dir / "fehlt" / "x.xml", false},
        {"target is a directory", dir / "ordner.xml", false},
        {"disk full, existing file kept", dir / "voll.xml", true},
    };
    for (const Case& c : cases) {
        ui::ClearRecordedMessages();
        SetFileField(1, c.file);
        SetFileWriteFault({.afterBytes = c.diskFull ? 20 : -1});
        SavePhonebook(1);
        SetFileWriteFault({});
        const std::string target = c.file.string() + "_NEU.xml";
        ASSERT_EQ(Messages().size(), 1u) << c.title;
        EXPECT_EQ(U8(Messages()[0].title), "Fehlermeldung");
        EXPECT_EQ(Messages()[0].icon, ui::Icon::Error);
        EXPECT_EQ(U8(Messages()[0].text),
                  SaveFailedText(c.file.filename().string() + "_NEU.xml", c.file.parent_path().string() + "/"))
            << c.title;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "fehlt"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "ordner.xml_NEU.xml"));
    EXPECT_EQ(ReadFileBytes(dir / "voll.xml_NEU.xml"), "vorher");
    // Nothing half-written was left beside the targets.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"a.xml", "a.xml_Formatiert.xml", "ordner.xml_NEU.xml",
                                               "voll.xml_NEU.xml"}));
}

TEST_F(PhonebookSave, InvalidPanelNumberWritesNothing)
{
    SavePhonebook(0);
    SavePhonebook(3);
    NewPhonebook(5);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(Panel(1).records.Empty());
    EXPECT_TRUE(Panel(2).records.Empty());
}

}  // namespace

// What "Speichern" writes is the tree re-indented and then given line feeds,
// in two passes; the core does both in one. The same bytes come out for
// every input the tests have, and for texts with any mix of line breaks,
// tabs and blanks.
TEST(PhonebookSaveCore, OnePassGivesTheBytesOfReformatThenLineFeeds)
{
    const auto twoPasses = [](const RecordList& records, const std::u16string& name) {
        XmlCreateDocument(1, XmlEncoding::Utf8);
        BuildPhonebookDocument(1, records, name);
        XmlFormat(1, XmlFormatReformat, 3);
        XmlFormat(1, XmlFormatLf, 3);
        std::string bytes = XmlSerializeToBytes(1, 0);
        XmlFreeDocument(1);
        return bytes;
    };
    const auto core = [](const RecordList& records, const std::u16string& name) {
        std::string bytes;
        XmlCreateDocument(0, XmlEncoding::Utf8);
        WritePhonebook(0, records, name, {u"", [&bytes](const char* data, std::size_t size) {
                                              bytes.append(data, size);
                                              return true;
                                          }});
        XmlFreeDocument(0);
        return bytes;
    };

    pbtest::EnsureLibraries();
    const std::filesystem::path examples = NW_EXAMPLES_DIR;
    std::size_t files = 0;
    for (const auto& folder : {examples, examples.parent_path() / "fuzz" / "corpus" / "xml",
                               nwtest::SharedTestData() / "real"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            ReadPhonebook book = ReadPhonebookFile(0, pbtest::PathText(entry.path()), u" (1)");
            if (!book.opened)
                continue;
            XmlFreeDocument(0);
            EXPECT_EQ(core(book.records, book.phonebookName), twoPasses(book.records, book.phonebookName))
                << entry.path();
            ++files;
        }
    }
    EXPECT_GT(files, 20u);

    std::mt19937 random(15);
    const char16_t* const pieces[] = {u"\r\n", u"\r", u"\n", u"\n\n", u"\r\r\n", u" ", u"  ", u"\t", u"a", u"Ü b"};
    for (int round = 0; round < 300; ++round) {
        RecordList records;
        const auto add = [&](std::int32_t depth, const char16_t* name) {
            NodeRecord r;
            r.depth = depth;
            r.name = name;
            std::u16string text;
            for (unsigned n = random() % 5; n > 0; --n)
                text += pieces[random() % std::size(pieces)];
            r.text = text;
            records.Append(std::move(r));
        };
        add(0, u"phonebooks");
        add(1, u"phonebook");
        for (unsigned contacts = 1 + random() % 3; contacts > 0; --contacts) {
            add(2, u"contact");
            add(3, u"person");
            add(4, u"realName");
            add(3, u"number");
        }
        EXPECT_EQ(core(records, u"N"), twoPasses(records, u"N")) << "round " << round;
    }
}
