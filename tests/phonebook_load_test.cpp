// Loading a phonebook into a panel, on the real toolkit with the dialog seam.
#include "phonebook_fixture.h"

#include <filesystem>
#include <optional>

#include "phonebook/book_file.h"

using nwtest::ReadFileBytes;
using nwtest::U16;
using nwtest::U8;
using pbtest::Row;

namespace {

const char* const CrLfPhonebook =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<phonebooks>\r\n"
    "  <phonebook owner=\"1\" name=\"Test\">\r\n"
    "    <contact>\r\n"
    "      <realName>Anna  Beispiel</realName>\r\n"
    "      <number type=\"home\">0301</number>\r\n"
    "    </contact>\r\n"
    "  </phonebook>\r\n"
    "</phonebooks>\r\n";

// Worked out by hand: the whitespace between elements became one blank each
// when loading, reformatting puts every element on its own line, indented by
// three blanks per level; a blank that stood after the last child stays before
// the line break of the end tag. The source's line ends (CR LF) are kept.
const char* const CrLfFormatted =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "\r\n"
    "<phonebooks>\r\n"
    "   <phonebook owner=\"1\" name=\"Test\">\r\n"
    "      <contact>\r\n"
    "         <realName>Anna Beispiel</realName>\r\n"
    "         <number type=\"home\">0301</number> \r\n"
    "      </contact> \r\n"
    "   </phonebook>\r\n"
    "</phonebooks>\r\n";

const char* const OneLinePhonebook =
    "<phonebooks><phonebook name=\"Einzeilig\"><contact><realName>Bob</realName><number>1</number>"
    "<number>2</number></contact></phonebook></phonebooks>";

// No line break to take a style from: the copy gets CR LF.
const char* const OneLineFormatted =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "\r\n"
    "<phonebooks>\r\n"
    "   <phonebook name=\"Einzeilig\">\r\n"
    "      <contact>\r\n"
    "         <realName>Bob</realName>\r\n"
    "         <number>1</number>\r\n"
    "         <number>2</number>\r\n"
    "      </contact>\r\n"
    "   </phonebook>\r\n"
    "</phonebooks>\r\n";

const char* const TwoContacts =
    "<phonebooks><phonebook name=\"Zwei\"><contact><uniqueid>1</uniqueid><realName>A</realName>"
    "<telephony><number>0301</number><number>0171</number></telephony></contact>"
    "<contact><uniqueid>2</uniqueid><realName>B</realName></contact></phonebook></phonebooks>";

std::string ParseErrorText(int line, int column, const std::string& message)
{
    return "  Fehler in der XML-Datei.    \n\n  Zeile:\t" + std::to_string(line) + "    \n  Spalte:\t" +
           std::to_string(column) + "    \n\n  Meldung:\n    " + message + "    \n";
}

std::string CannotOpenText(const std::string& file, const std::string& directory)
{
    return "  Das Telefonbuch kann nicht geöffnet werden.    \n\n  Datei:  " + file + "    \n\n  Pfad:   " +
           directory + "    ";
}

class PhonebookLoad : public pbtest::PanelTest {
protected:
    std::string DirText() const { return dir.path().string() + "/"; }

    void ExpectEmptyPanel(int panel, const std::string& fileField)
    {
        EXPECT_TRUE(Rows(panel).empty());
        EXPECT_EQ(Count(panel), " Anz.: 0");
        EXPECT_EQ(U8(Text(panel, NameFieldWidget)), "Unbekannt");
        EXPECT_EQ(U8(Text(panel, FileFieldWidget)), fileField);
        EXPECT_TRUE(Panel(panel).records.Empty());
        EXPECT_TRUE(PanelRowsInStep(panel));
    }
};

struct FormattedCase {
    const char* title;
    const char* source;
    const char* formatted;
    std::vector<Row> rows;
    const char* name;
};

class PhonebookLoadGood : public PhonebookLoad, public ::testing::WithParamInterface<FormattedCase> {};

TEST_P(PhonebookLoadGood, FillsThePanelAndWritesTheFormattedCopy)
{
    const FormattedCase& c = GetParam();
    RememberedDirectory(2) = u"/elsewhere/";
    RememberedDirectory(1) = u"/start/";
    nwtest::WriteFileBytes(dir / "Telefonbuch.xml", c.source);
    ui::SetNextOpenFileAnswer(pbtest::PathText(dir / "Telefonbuch.xml"));
    LoadPhonebook(1);

    ASSERT_FALSE(ui::RecordedFileDialogs().empty());
    const ui::RecordedFileDialog& dialog = ui::RecordedFileDialogs().back();
    EXPECT_EQ(U8(dialog.title), "Telefonbuch auswählen:");
    EXPECT_EQ(U8(dialog.initialPath), "/start/");
    EXPECT_EQ(U8(dialog.filter), "Telefonbuch (*.xml)|*.xml|vCard (*.vcf)|*.vcf|CSV (*.csv)|*.csv");
    EXPECT_EQ(dialog.filterIndex, 0);

    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Rows(1), c.rows);
    EXPECT_EQ(Count(1), " Anz.: " + std::to_string(c.rows.size()));
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), c.name);
    EXPECT_EQ(U8(PhonebookName()), c.name);
    EXPECT_EQ(Text(1, FileFieldWidget), pbtest::PathText(dir / "Telefonbuch.xml"));
    EXPECT_EQ(U8(RememberedDirectory(1)), DirText());
    EXPECT_EQ(U8(RememberedDirectory(2)), "/elsewhere/");
    EXPECT_TRUE(PanelRowsInStep(1));
    // The scratch list keeps what the panel received.
    ASSERT_EQ(ScratchList().Size(), Panel(1).records.Size());
    EXPECT_EQ(U8(ScratchList().LastNode()->record.nr), U8(Panel(1).records.LastNode()->record.nr));

    EXPECT_EQ(ReadFileBytes(dir / "Telefonbuch.xml_Formatiert.xml"), c.formatted);
    EXPECT_EQ(ReadFileBytes(dir / "Telefonbuch.xml"), c.source);
    // The other panel is untouched.
    EXPECT_TRUE(Rows(2).empty());
    EXPECT_TRUE(Panel(2).records.Empty());
    EXPECT_EQ(U8(Text(2, NameFieldWidget)), "");

    // Loading the formatted copy writes a copy of the copy.
    Load(2, dir / "Telefonbuch.xml_Formatiert.xml");
    EXPECT_TRUE(std::filesystem::exists(dir / "Telefonbuch.xml_Formatiert.xml_Formatiert.xml"));
    std::vector<Row> rows2 = c.rows;
    for (Row& r : rows2)
        r.nr.replace(r.nr.size() - 2, 1, "2");
    EXPECT_EQ(Rows(2), rows2);
}

INSTANTIATE_TEST_SUITE_P(Files, PhonebookLoadGood,
                         ::testing::Values(FormattedCase{"CrLf", CrLfPhonebook, CrLfFormatted,
                                                         {{"2 (1)", "", "Anna Beispiel", "0301"}}, "Test"},
                                           FormattedCase{"OneLine", OneLinePhonebook, OneLineFormatted,
                                                         {{"2 (1)", "", "Bob", "1  #  2"}}, "Einzeilig"}),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(PhonebookLoad, CancelChangesNothing)
{
    LoadText(1, "a.xml", TwoContacts);
    const auto rowsBefore = Rows(1);
    const std::string summary = RecordSummary(1);
    ui::SetItemState(List(1), 1, ui::RowTicked);
    const std::u16string formattedBefore = pbtest::PathText(dir / "a.xml_Formatiert.xml");
    std::filesystem::remove(dir / "a.xml_Formatiert.xml");

    ui::SetNextOpenFileAnswer(u"");
    LoadPhonebook(1);
    EXPECT_EQ(Rows(1), rowsBefore);
    EXPECT_EQ(States(1), (std::vector<int>{0, ui::RowTicked}));
    EXPECT_EQ(RecordSummary(1), summary);
    EXPECT_EQ(Count(1), " Anz.: 2");
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), "Zwei");
    EXPECT_EQ(Text(1, FileFieldWidget), pbtest::PathText(dir / "a.xml"));
    EXPECT_EQ(U8(RememberedDirectory(1)), DirText());
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "a.xml_Formatiert.xml"));
    EXPECT_TRUE(PanelRowsInStep(1));
}

TEST_F(PhonebookLoad, NumbersCarryTheLoadingPanel)
{
    LoadText(2, "a.xml", TwoContacts);
    EXPECT_EQ(Rows(2), (std::vector<Row>{{"2 (2)", "1", "A", "0301  #  0171"}, {"8 (2)", "2", "B", ""}}));
    EXPECT_EQ(Count(2), " Anz.: 2");
    EXPECT_EQ(U8(Panel(2).records.FirstNode()->record.nr), "0 (2)");
    EXPECT_TRUE(Rows(1).empty());
}

TEST_F(PhonebookLoad, FileThatCannotBeOpenedEmptiesThePanel)
{
    struct Case {
        const char* file;
        bool create;  // an empty file instead of a missing one
    };
    const Case cases[] = {{"fehlt.xml", false}, {"leer.xml", true}};
    for (const Case& c : cases) {
        ui::ClearRecordedMessages();
        LoadText(1, "vorher.xml", TwoContacts);
        LoadText(2, "anderes.xml", TwoContacts);  // the other panel, loaded last
        if (c.create)
            nwtest::WriteFileBytes(dir / c.file, "");
        ui::ClearRecordedMessages();
        Load(1, dir / c.file);

        ASSERT_EQ(Messages().size(), 1u) << c.file;
        EXPECT_EQ(U8(Messages()[0].title), "Fehlermeldung");
        EXPECT_EQ(Messages()[0].icon, ui::Icon::Error);
        EXPECT_EQ(U8(Messages()[0].text), CannotOpenText(c.file, DirText()));
        ExpectEmptyPanel(1, (dir / c.file).string());
        EXPECT_EQ(U8(RememberedDirectory(1)), DirText());
        EXPECT_TRUE(ScratchList().Empty());
        EXPECT_FALSE(std::filesystem::exists(dir / (std::string(c.file) + "_Formatiert.xml")));
        EXPECT_EQ(Rows(2).size(), 2u);  // other panel unchanged
        EXPECT_EQ(U8(Text(2, NameFieldWidget)), "Zwei");
        EXPECT_TRUE(PanelRowsInStep(2));
    }
}

struct ParseErrorCase {
    const char* title;
    const char* source;
    int line, column;
    const char* message;
    std::vector<Row> rows;
    const char* name;
};

class PhonebookLoadParseError : public PhonebookLoad, public ::testing::WithParamInterface<ParseErrorCase> {};

TEST_P(PhonebookLoadParseError, ShowsTheErrorThenLoadsWhatWasRead)
{
    const ParseErrorCase& c = GetParam();
    LoadText(1, "vorher.xml", TwoContacts);
    ui::ClearRecordedMessages();
    LoadText(1, "kaputt.xml", c.source);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(U8(Messages()[0].title), "Fehlermeldung");
    EXPECT_EQ(Messages()[0].icon, ui::Icon::Warning);
    EXPECT_EQ(U8(Messages()[0].text), ParseErrorText(c.line, c.column, c.message));
    EXPECT_EQ(Rows(1), c.rows);
    EXPECT_EQ(Count(1), " Anz.: " + std::to_string(c.rows.size()));
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), c.name);
    EXPECT_TRUE(PanelRowsInStep(1));
    // The copy of what was read is still written, and is well-formed.
    bool wellFormed = false;
    ASSERT_TRUE(std::filesystem::exists(dir / "kaputt.xml_Formatiert.xml"));
    const std::string copy = ReadFileBytes(dir / "kaputt.xml_Formatiert.xml");
    const auto elements = pbtest::ExpatElements(copy, &wellFormed);
    EXPECT_EQ(elements.size(), Panel(1).records.Size());
    if (!elements.empty()) {
        EXPECT_TRUE(wellFormed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PhonebookLoadParseError,
    ::testing::Values(
        ParseErrorCase{"MismatchedTag", "<phonebooks>\n<phonebook>\n</phonebooks>", 3, 3, "mismatched tag", {}, "Unbekannt"},
        ParseErrorCase{"NoElement", "Das ist kein XML.\n", 1, 1, "syntax error", {}, "Unbekannt"},
        ParseErrorCase{"BrokenOffInsideAContact",
                       "<?xml version=\"1.0\"?>\n<phonebooks>\n<phonebook name=\"Kaputt\">\n"
                       "<contact><realName>A</realName></contact>\n<contact><realName>B</realName><number>01",
                       5, 42, "no element found",
                       {{"2 (1)", "", "A", ""}, {"4 (1)", "", "B", "01"}},
                       "Kaputt"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(PhonebookLoad, InformationBoxesForTheFirstTenIgnoredNodesThenOneSummary)
{
    struct Case {
        int comments;
        std::size_t boxes;
        const char* summary;  // text of the last box, or nullptr
    };
    const Case cases[] = {{1, 1, nullptr}, {10, 10, nullptr}, {11, 11, "1"}, {2500, 11, "2490"}};
    for (const Case& c : cases) {
        std::string xml = "<?xml version=\"1.0\"?><!-- outside --><phonebooks><phonebook name=\"Viele\">";
        for (int i = 0; i < c.comments; ++i)
            xml += i % 2 ? "<!-- c -->" : "<contact><?pi x?></contact>";
        xml += "</phonebook></phonebooks><!-- outside -->";
        ui::ClearRecordedMessages();
        LoadText(1, "viele.xml", xml);
        const auto messages = Messages();
        ASSERT_EQ(messages.size(), c.boxes) << c.comments;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(U8(messages[i].title), "Information");
            EXPECT_EQ(messages[i].icon, ui::Icon::Information);
        }
        const std::size_t singles = c.summary ? c.boxes - 1 : c.boxes;
        for (std::size_t i = 0; i < singles; ++i)
            EXPECT_EQ(messages[i].text, IgnoredNodeMessage(i % 2 ? XmlKindComment : XmlKindInstruction)) << i;
        if (c.summary) {
            EXPECT_EQ(U8(messages.back().text), std::string("  Weitere ") + c.summary +
                                                    " XML-Knoten wurden gefunden.\n  Diese werden noch nicht "
                                                    "verarbeitet und ignoriert.    \n  Bitte beachten !");
        }
        EXPECT_EQ(Rows(1).size(), static_cast<std::size_t>((c.comments + 1) / 2));
    }
}

TEST_F(PhonebookLoad, VeryDeepFileShowsTheParseErrorAndLoadsWhatWasRead)
{
    const int levels = 200000;
    std::string xml = "<phonebooks><phonebook name=\"Tief\"><contact><realName>A</realName></contact><contact>";
    xml.reserve(xml.size() + 7 * static_cast<std::size_t>(levels));
    for (int i = 0; i < levels; ++i)
        xml += "<a>";
    for (int i = 0; i < levels; ++i)
        xml += "</a>";
    xml += "</contact></phonebook></phonebooks>";
    LoadText(1, "tief.xml", xml);

    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(U8(Messages()[0].title), "Fehlermeldung");
    EXPECT_EQ(Messages()[0].icon, ui::Icon::Warning);
    const std::string text = U8(Messages()[0].text);
    const std::string tail = "  Meldung:\n    nesting deeper than 1000 levels    \n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.substr(0, 40), "  Fehler in der XML-Datei.    \n\n  Zeile:");

    EXPECT_EQ(Rows(1), (std::vector<Row>{{"2 (1)", "", "A", ""}, {"4 (1)", "", "", ""}}));
    EXPECT_EQ(U8(Text(1, NameFieldWidget)), "Tief");
    const std::size_t records = Panel(1).records.Size();
    EXPECT_GT(records, 900u);
    EXPECT_LE(records, 1010u);
    EXPECT_TRUE(PanelRowsInStep(1));
    EXPECT_TRUE(std::filesystem::exists(dir / "tief.xml_Formatiert.xml"));
}

TEST_F(PhonebookLoad, ReplacesAnExistingFormattedCopy)
{
    nwtest::WriteFileBytes(dir / "b.xml_Formatiert.xml", "alt");
    LoadText(1, "b.xml", OneLinePhonebook);
    EXPECT_EQ(ReadFileBytes(dir / "b.xml_Formatiert.xml"), OneLineFormatted);
}

TEST_F(PhonebookLoad, InvalidPanelNumberDoesNothing)
{
    const std::size_t dialogs = ui::RecordedFileDialogs().size();
    for (int panel : {0, 3, -1})
        LoadPhonebook(panel);
    EXPECT_EQ(ui::RecordedFileDialogs().size(), dialogs);
    EXPECT_TRUE(Rows(1).empty());
    EXPECT_TRUE(Messages().empty());
}

}  // namespace

// The formatted copy is begun before the records are read and written while
// they are: for every file at hand the records, the messages and the copy
// are those of reading first and reformatting the document in place after,
// and the document is gone once the copy is written.
TEST_F(PhonebookLoad, CopyWrittenWhileReadingEqualsReadingThenReformatting)
{
    const auto recordsOf = [](const RecordList& records) {
        std::vector<std::string> out;
        for (const NodeRecord& r : records)
            out.push_back(U8(r.nr.view()) + '|' + U8(r.name.view()) + '|' + U8(r.attributes.view()) + '|' +
                          U8(r.text.view()) + '|' + std::to_string(r.depth));
        return out;
    };
    const auto messagesOf = [](const ReadPhonebook& book) {
        std::vector<std::string> out;
        for (const BookMessage& m : book.messages)
            out.push_back(U8(m.title) + ": " + U8(m.text));
        return out;
    };
    const std::filesystem::path examples = NW_EXAMPLES_DIR;
    const std::filesystem::path tests = examples.parent_path() / "tests";
    std::size_t files = 0;
    for (const auto& folder : {examples, examples.parent_path() / "fuzz" / "corpus" / "xml", tests / "hostile",
                               nwtest::SharedTestData() / "real"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            SCOPED_TRACE(entry.path().string());
            const auto book = dir / "book.xml";
            std::filesystem::copy_file(entry.path(), book, std::filesystem::copy_options::overwrite_existing);
            const std::u16string path = pbtest::PathText(book);

            const ReadPhonebook first = ReadPhonebookFile(0, path, u" (1)");
            XmlFormat(0, XmlFormatReformat, 3);
            const std::string reformatted = first.opened ? XmlSerializeToBytes(0, 0) : std::string();
            XmlFreeDocument(0);
            std::filesystem::remove(nwtest::U8(FormattedCopyPath(path)));

            std::optional<FormattedCopyWriter> copy;
            const ReadPhonebook second = ReadPhonebookFile(0, path, u" (1)", &copy);
            ASSERT_EQ(copy.has_value(), second.opened);
            if (copy)
                copy->Wait();
            EXPECT_EQ(XmlMainNode(0), nullptr);
            EXPECT_EQ(recordsOf(second.records), recordsOf(first.records));
            EXPECT_EQ(messagesOf(second), messagesOf(first));
            if (second.opened) {
                EXPECT_EQ(ReadFileBytes(U8(FormattedCopyPath(path))), reformatted);
                ++files;
            }
        }
    }
    EXPECT_GT(files, 30u);
}
