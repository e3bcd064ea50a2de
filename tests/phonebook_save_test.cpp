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

TEST_F(PhonebookSave, ContactsInAPanelWithoutPhonebookGetAFrame)
{
    LoadText(1, "quelle.xml", Source);
    TickRows(1, {0});
    CopyContacts(1);  // panel 2 holds nothing else
    SetNameField(2, "Gerettet");
    SetFileField(2, dir / "frei");
    SavePhonebook(2);
    const auto elements = Elements(dir / "frei_NEU.xml");
    std::vector<std::string> names;
    for (const ElementSummary& e : elements)
        names.push_back(std::to_string(e.depth) + e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"0phonebooks", "1phonebook", "2contact", "3realName", "3telephony",
                                               "4number"}));
    EXPECT_EQ(elements[1].attributes,
              (std::vector<std::pair<std::string, std::string>>{{"owner", "1"}, {"name", "Gerettet"}}));
}

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
