// nummernwerk-cli against the window: the same files through the tool's
// commands and through the panels' "Laden", "Kopieren" and "Speichern" give
// the same rows, messages and bytes. Then exit statuses, error lines and
// outputs that name an input.
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <optional>
#include <sstream>

#include "base/atomic_file.h"
#include "cli/cli.h"
#include "contacts/checks.h"
#include "contacts/duplicates.h"
#include "contacts/edit.h"
#include "contacts/exchange.h"
#include "contacts/merge.h"
#include "phonebook/book_file.h"
#include "phonebook_fixture.h"

namespace fs = std::filesystem;
using nwtest::ReadFileBytes;
using nwtest::U8;
using pbtest::Row;

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

// The time a changed contact's mod_time gets in every run.
constexpr std::int64_t Now = 1700000000;

ToolRun Tool(const std::vector<std::string>& args, bool terminal = false)
{
    std::vector<const char*> argv{"nummernwerk-cli"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status =
        cli::Run(static_cast<int>(argv.size()), argv.data(), {out, err, terminal, std::chrono::milliseconds(0), Now});
    return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Blanked(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

void AddFiles(std::vector<fs::path>& files, const fs::path& folder)
{
    std::error_code ec;
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().filename().string().find("_Formatiert") == std::string::npos)
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}

// The examples, the hostile inputs, the fuzzing seeds and, when present,
// the real router exports.
std::vector<fs::path> Inputs()
{
    std::vector<fs::path> files;
    AddFiles(files, NW_EXAMPLES_DIR);
    AddFiles(files, fs::path(NW_TEST_DATA_DIR).parent_path() / "hostile");
    AddFiles(files, fs::path(NW_EXAMPLES_DIR).parent_path() / "fuzz" / "corpus" / "xml");
    AddFiles(files, nwtest::SharedTestData() / "real");
    return files;
}

bool HasErrorBox(const std::vector<ui::RecordedMessage>& messages)
{
    return std::any_of(messages.begin(), messages.end(),
                       [](const ui::RecordedMessage& m) { return m.icon != ui::Icon::Information; });
}

class CliTool : public pbtest::PanelTest {
protected:
    // The file copied into the test's folder, where loading may write.
    fs::path Place(const fs::path& file, const std::string& name)
    {
        fs::copy_file(file, dir / name, fs::copy_options::overwrite_existing);
        return dir / name;
    }
};

TEST_F(CliTool, ListAndFormatGiveWhatLadenShowsAndWrites)
{
    const std::vector<fs::path> inputs = Inputs();
    ASSERT_GT(inputs.size(), 20u);
    for (const fs::path& source : inputs) {
        SCOPED_TRACE(source.string());
        const fs::path file = Place(source, "buch.xml");
        fs::remove(dir / "buch.xml_Formatiert.xml");
        ui::ClearRecordedMessages();
        Load(1, file);
        const std::vector<Row> rows = Rows(1);
        const std::vector<ui::RecordedMessage> boxes = Messages();
        const bool broken = HasErrorBox(boxes);

        const ToolRun list = Tool({"list", file.string()});
        EXPECT_EQ(list.status, broken ? cli::InputFailed : cli::Done);
        const std::vector<std::string> lines = Lines(list.out);
        ASSERT_EQ(lines.size(), rows.size() + 1);
        EXPECT_EQ(lines[0], Blanked(U8(Text(1, NameFieldWidget))));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            EXPECT_EQ(lines[i + 1], Blanked(r.nr.substr(0, r.nr.size() - 4)) + '\t' + Blanked(r.id) + '\t' +
                                        Blanked(r.name) + '\t' + Blanked(r.telefon));
        }
        // Every box appears on the error output, the error boxes with the
        // file and the place of the error first.
        const std::vector<std::string> errors = Lines(list.err);
        EXPECT_EQ(errors.size(), boxes.size());
        for (const std::string& line : errors)
            EXPECT_EQ(line.rfind(file.string() + ":", 0), 0u) << line;
        if (!boxes.empty() && boxes[0].icon == ui::Icon::Warning) {
            const std::string box = U8(boxes[0].text);
            const auto number = [&box](const char* label) {
                const std::size_t at = box.find(label) + std::string(label).size();
                return box.substr(at, box.find(' ', at) - at);
            };
            EXPECT_EQ(errors[0].rfind(file.string() + ":" + number("Zeile:\t") + ":" + number("Spalte:\t") + ": ", 0),
                      0u)
                << errors[0];
        }

        const ToolRun json = Tool({"list", "--json", file.string()});
        EXPECT_EQ(json.status, list.status);
        const auto object = nlohmann::json::parse(json.out);
        EXPECT_EQ(object["phonebook"], U8(Text(1, NameFieldWidget)));
        ASSERT_EQ(object["contacts"].size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto& c = object["contacts"][i];
            EXPECT_EQ(c["nr"].get<std::string>() + " (1)", rows[i].nr);
            const Row row{rows[i].nr, c["id"].get<std::string>(), c["name"].get<std::string>(),
                          c["telefon"].get<std::string>()};
            EXPECT_EQ(row, rows[i]);
            // The numbers are the pieces of Telefon, which joins them after
            // the first that is not empty.
            std::string joined;
            for (const auto& number : c["numbers"])
                joined += (joined.empty() ? "" : "  #  ") + number.get<std::string>();
            EXPECT_EQ(joined, rows[i].telefon);
        }
        ASSERT_EQ(object["messages"].size(), boxes.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(object["messages"][i]["title"], U8(boxes[i].title));
            EXPECT_EQ(object["messages"][i]["text"], U8(boxes[i].text));
        }

        fs::remove(dir / "werkzeug.xml");
        const ToolRun format = Tool({"format", file.string(), "-o", (dir / "werkzeug.xml").string()});
        if (broken) {
            EXPECT_EQ(format.status, cli::InputFailed);
            EXPECT_FALSE(fs::exists(dir / "werkzeug.xml"));
        } else {
            EXPECT_EQ(format.status, cli::Done) << format.err;
            EXPECT_EQ(ReadFileBytes(dir / "werkzeug.xml"), ReadFileBytes(dir / "buch.xml_Formatiert.xml"));
            const ToolRun standardOutput = Tool({"format", file.string()});
            EXPECT_EQ(standardOutput.out, ReadFileBytes(dir / "werkzeug.xml"));
        }
        EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(source));
    }
}

TEST_F(CliTool, MergeWritesWhatKopierenAndSpeichernWrite)
{
    // Every well-formed input as target and as source, beside the examples,
    // and one merge of three under a new name.
    const fs::path examples = NW_EXAMPLES_DIR;
    struct Merge {
        std::vector<fs::path> files;
        std::string name;
    };
    std::vector<Merge> merges{
        {{examples / "Telefonbuch_Familie.xml", examples / "Telefonbuch_Arbeit.xml", examples / "Telefonbuch_Verein.xml"},
         "Alle – Ü & <>"},
        {{examples / "Telefonbuch_Arbeit.xml", examples / "Telefonbuch_Arbeit.xml"}, ""},
    };
    for (const fs::path& file : Inputs()) {
        ui::ClearRecordedMessages();
        Load(1, Place(file, "probe.xml"));
        if (HasErrorBox(Messages()))
            continue;
        merges.push_back({{file, examples / "Telefonbuch_Familie.xml"}, ""});
        merges.push_back({{examples / "Telefonbuch_Verein.xml", file}, ""});
    }
    for (const Merge& merge : merges) {
        SCOPED_TRACE(merge.files[0].string() + " + " + merge.files[1].string());
        std::vector<std::string> args{"merge"};
        for (std::size_t i = 0; i < merge.files.size(); ++i)
            args.push_back(Place(merge.files[i], "buch" + std::to_string(i) + ".xml").string());
        Load(1, args[1]);
        for (std::size_t i = 2; i < args.size(); ++i) {
            Load(2, args[i]);
            std::vector<int> all(static_cast<std::size_t>(ui::CountItems(List(2))));
            for (std::size_t row = 0; row < all.size(); ++row)
                all[row] = static_cast<int>(row);
            TickRows(2, all);
            CopyContacts(2);
        }
        if (!merge.name.empty())
            ui::SetText(PanelWidgetNumber(1, NameFieldWidget), nwtest::U16(merge.name));
        ui::SetText(PanelWidgetNumber(1, FileFieldWidget), pbtest::PathText(dir / "fenster.xml"));
        SavePhonebook(1);

        if (!merge.name.empty())
            args.insert(args.end(), {"--name", merge.name});
        const std::string window = ReadFileBytes(dir / "fenster.xml_NEU.xml");
        args.insert(args.end(), {"-o", (dir / "werkzeug.xml").string()});
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.status, cli::Done) << run.err;
        EXPECT_EQ(ReadFileBytes(dir / "werkzeug.xml"), window);
        args.back() = "-";
        EXPECT_EQ(Tool(args).out, window);
    }
}

TEST_F(CliTool, ExitStatusesErrorLinesAndInputsNeverWritten)
{
    const fs::path good = Place(fs::path(NW_EXAMPLES_DIR) / "Telefonbuch_Familie.xml", "gut.xml");
    const fs::path other = Place(fs::path(NW_EXAMPLES_DIR) / "Telefonbuch_Arbeit.xml", "anders.xml");
    nwtest::WriteFileBytes(dir / "kaputt.xml", "<phonebooks><phonebook><contact><realName>A</realName></phonebook>");
    fs::create_symlink(good, dir / "verweis.xml");
    fs::create_hard_link(other, dir / "zweitname.xml");
    // Files that are not what their names say: a phonebook named .vcf, an
    // empty one named .csv.
    fs::copy_file(good, dir / "gut.vcf");
    nwtest::WriteFileBytes(dir / "anders.csv", "");
    const std::string goodBytes = ReadFileBytes(good), otherBytes = ReadFileBytes(other);
    const auto at = [this](const std::string& name) { return (dir / name).string(); };

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string errorStart;  // how the first line on the error output begins
    };
    const std::string cannotWrite = ": kann nicht geschrieben werden: " + U8(FileWriteReason(ENOENT));
    const Case cases[] = {
        {{}, cli::UsageError, "nummernwerk-cli: "},
        {{"bla"}, cli::UsageError, "nummernwerk-cli: "},
        {{"list"}, cli::UsageError, "nummernwerk-cli: "},
        {{"list", at("gut.xml"), at("anders.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"merge", at("gut.xml"), at("anders.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"format", "--bla", at("gut.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"list", at("fehlt.xml")}, cli::InputFailed, at("fehlt.xml") + ":0:0: "},
        {{"list", at("kaputt.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"format", at("kaputt.xml"), "-o", at("aus.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"merge", at("gut.xml"), at("fehlt.xml"), "-o", at("aus.xml")}, cli::InputFailed, at("fehlt.xml") + ":0:0: "},
        {{"merge", at("kaputt.xml"), at("gut.xml"), "-o", at("aus.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"format", at("gut.xml"), "-o", at("gut.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"format", at("gut.xml"), "-o", at("verweis.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"merge", at("gut.xml"), at("anders.xml"), "-o", at("zweitname.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"merge", at("verweis.xml"), at("anders.xml"), "-o", at("gut.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"format", at("gut.xml"), "-o", at("fehlt/aus.xml")}, cli::OutputFailed, at("fehlt/aus.xml") + cannotWrite},
        {{"merge", at("gut.xml"), at("anders.xml"), "-o", at("fehlt/aus.xml")}, cli::OutputFailed,
         at("fehlt/aus.xml") + cannotWrite},
        {{"check", at("gut.xml"), at("kaputt.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"check", at("fehlt.xml"), at("gut.xml")}, cli::InputFailed, at("fehlt.xml") + ":0:0: "},
        {{"dupes", at("gut.xml"), at("kaputt.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"dupes", at("gut.xml"), at("anders.xml"), at("gut.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"dedupe", at("kaputt.xml"), "-o", at("aus.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"dedupe", at("gut.xml"), "-o", at("verweis.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"dedupe", at("gut.xml"), "-o", at("fehlt/aus.xml")}, cli::OutputFailed, at("fehlt/aus.xml") + cannotWrite},
        {{"convert", at("kaputt.xml"), at("aus.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"convert", at("fehlt.vcf"), at("aus.xml")}, cli::InputFailed, at("fehlt.vcf") + ":0:0: "},
        {{"convert", at("gut.vcf"), at("aus.xml")}, cli::InputFailed, at("gut.vcf") + ":0:0: "},
        {{"convert", at("anders.csv"), at("aus.xml")}, cli::InputFailed, at("anders.csv") + ":0:0: "},
        {{"convert", at("gut.xml"), at("gut.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"convert", at("gut.xml"), at("verweis.xml"), "--name", "X"}, cli::UsageError, "nummernwerk-cli: "},
        {{"convert", at("gut.xml"), at("aus.txt")}, cli::UsageError, "nummernwerk-cli: "},
        {{"convert", at("gut.xml"), "-"}, cli::UsageError, "nummernwerk-cli: "},
        {{"convert", at("gut.xml"), "-", "--format", "pdf"}, cli::UsageError, "nummernwerk-cli: "},
        {{"convert", at("gut.xml"), at("fehlt/aus.xml")}, cli::OutputFailed, at("fehlt/aus.xml") + cannotWrite},
        {{"set", at("gut.xml"), "99", "--name", "X", "-o", at("aus.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"set", at("gut.xml"), "2", "--number", "fon:030 1", "-o", at("aus.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"add", at("gut.xml"), "--name", "X", "--number", "030 1", "-o", at("aus.xml")}, cli::UsageError,
         "nummernwerk-cli: "},
        {{"add", at("gut.xml"), "--name", "X", "--email", "privt:x@y.de", "-o", at("aus.xml")}, cli::UsageError,
         "nummernwerk-cli: "},
        {{"set", at("gut.xml"), "2", "--vip", "--no-vip", "-o", at("aus.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"add", at("gut.xml"), "-o", at("aus.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"set", at("gut.xml"), "2", "--vip", "-o", at("verweis.xml")}, cli::UsageError, "nummernwerk-cli: "},
        {{"add", at("kaputt.xml"), "--name", "X", "-o", at("aus.xml")}, cli::InputFailed, at("kaputt.xml") + ":1:"},
        {{"set", at("gut.xml"), "2", "--name", "A\x01", "-o", at("aus.xml")}, cli::ErrorsFound,
         at("gut.xml") + ": error control-characters 2 "},
        {{"add", at("gut.xml"), "--name", "Viele", "--number", "home:1", "--number", "home:2", "--number", "home:3",
          "--number", "home:4", "--number", "home:5", "--number", "home:6", "--number", "home:7", "--number", "home:8",
          "--number", "home:9", "--number", "home:10", "-o", at("aus.xml")},
         cli::ErrorsFound, at("gut.xml") + ": error too-many-numbers: "},
        {{"--help"}, cli::Done, ""},
        {{"merge", "--help"}, cli::Done, ""},
        {{"--version"}, cli::Done, ""},
    };
    for (const Case& c : cases) {
        std::string call;
        for (const std::string& a : c.args)
            call += a + " ";
        SCOPED_TRACE(call);
        const ToolRun run = Tool(c.args);
        EXPECT_EQ(run.status, c.status);
        if (c.errorStart.empty())
            EXPECT_EQ(run.err, "");
        else
            EXPECT_EQ(run.err.rfind(c.errorStart, 0), 0u) << run.err;
        EXPECT_FALSE(fs::exists(dir / "aus.xml"));
        EXPECT_EQ(ReadFileBytes(good), goodBytes);
        EXPECT_EQ(ReadFileBytes(other), otherBytes);
        EXPECT_TRUE(fs::is_symlink(dir / "verweis.xml"));
    }
    // --version names the project's version.
    EXPECT_EQ(Tool({"--version"}).out, std::string("nummernwerk-cli ") + NW_VERSION + "\n");
    // The help lists every command with its own help.
    const std::string help = Tool({"--help"}).out;
    for (const char* command : {"list", "format", "merge", "check", "dupes", "dedupe", "convert", "set", "add"}) {
        EXPECT_NE(help.find(std::string("\n  ") + command + " "), std::string::npos) << command;
        EXPECT_NE(Tool({command, "--help"}).out.find(std::string("nummernwerk-cli ") + command), std::string::npos);
    }
}

TEST_F(CliTool, ProgressLinesOnlyOnATerminal)
{
    const fs::path good = Place(fs::path(NW_EXAMPLES_DIR) / "Telefonbuch_Verein.xml", "gut.xml");
    // Each step that reached the threshold (here: at once) gets one line on
    // a terminal and none elsewhere; the results stay the same.
    struct Case {
        std::vector<std::string> args;
        std::size_t steps;
    };
    const Case cases[] = {
        {{"list", good.string()}, 1},
        {{"format", good.string(), "-o", (dir / "aus.xml").string()}, 2},
        {{"merge", good.string(), good.string(), "-o", "-"}, 3},
        {{"check", good.string(), good.string()}, 4},
        {{"convert", good.string(), (dir / "aus.vcf").string()}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ToolRun plain = Tool(c.args, false);
        const ToolRun terminal = Tool(c.args, true);
        EXPECT_EQ(terminal.status, cli::Done);
        EXPECT_EQ(terminal.out, plain.out);
        EXPECT_EQ(plain.err, "");
        EXPECT_EQ(Lines(terminal.err).size(), c.steps) << terminal.err;
    }
}

// A book with a finding of most kinds and duplicates of each kind: a merge
// with a quick-dial conflict, one refused for too many numbers.
std::string TroubledBook()
{
    std::string many;
    for (int i = 1; i <= 9; ++i)
        many += "<number type=\"home\">040 10" + std::to_string(i) + "</number>";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<phonebooks><phonebook name=\"Probe\">"
           "<contact><person><realName>Max Muster</realName></person><telephony nid=\"3\">"
           "<number type=\"home\" prio=\"1\" quickdial=\"12\">030 1234567</number>"
           "<number type=\"mobile\">0170 1111111</number></telephony><uniqueid>7</uniqueid></contact>"
           "<contact><person><realName>Muster, Max</realName></person><telephony>"
           "<number type=\"work\" prio=\"1\" quickdial=\"13\">+49 30 1234567</number>"
           "<number prio=\"1\">0170 2222222</number></telephony><uniqueid>7</uniqueid></contact>"
           "<contact><person><realName>Erika</realName></person><telephony>"
           "<number quickdial=\"13\">0170 2222222</number></telephony></contact>"
           "<contact><person><realName></realName></person><telephony><number>0170 1111111</number>"
           "<number></number></telephony></contact>"
           "<contact><person><realName>Viele</realName></person><telephony>" + many + "</telephony></contact>"
           "<contact><person><realName>Viele</realName></person><telephony><number>040 101</number>"
           "<number>040 999</number></telephony></contact>"
           "<contact><person><realName>Viele</realName></person><telephony><number>089 1</number>"
           "</telephony></contact>"
           "</phonebook></phonebooks>\n";
}

std::string_view KindId(DuplicateKind kind)
{
    return kind == DuplicateKind::SameContact ? "same-contact"
           : kind == DuplicateKind::SameNumber ? "same-number"
                                               : "same-name";
}

// A file read as "Laden" reads it, through the library.
ReadPhonebook Read(const fs::path& file, const std::u16string& suffix = u"")
{
    ReadPhonebook book = ReadPhonebookFile(0, nwtest::U16(file.string()), suffix);
    XmlFreeDocument(0);
    return book;
}

// What "Speichern" writes for records.
std::string Saved(const RecordList& records, const std::u16string& name, const fs::path& file)
{
    XmlCreateDocument(0, XmlEncoding::Utf8);
    EXPECT_TRUE(WritePhonebook(0, records, name, ByteTarget::File(nwtest::U16(file.string()))).written);
    XmlFreeDocument(0);
    return ReadFileBytes(file);
}

TEST_F(CliTool, CheckDupesDedupeAndConvertGiveWhatTheLibraryGives)
{
    nwtest::WriteFileBytes(dir / "probe.xml", TroubledBook());
    const ReadPhonebook troubled = Read(dir / "probe.xml");
    std::vector<fs::path> files = Inputs();
    files.push_back(dir / "probe.xml");
    std::size_t merged = 0, refused = 0, conflicts = 0, errors = 0;
    for (const fs::path& source : files) {
        SCOPED_TRACE(source.string());
        const fs::path file = source == dir / "probe.xml" ? source : Place(source, "buch.xml");
        const std::string path = file.string();
        const ReadPhonebook book = Read(file);
        if (!book.opened || book.status != 0) {
            for (const char* command : {"check", "dupes"})
                EXPECT_EQ(Tool({command, path}).status, cli::InputFailed);
            continue;
        }

        // check: every finding, as text lines and as JSON.
        const std::vector<CheckFinding> findings = CheckBook(book.records);
        const bool error = AnyFinding(findings, CheckSeverity::Error);
        errors += error;
        const ToolRun json = Tool({"check", "--json", path});
        EXPECT_EQ(json.status, error ? cli::ErrorsFound : cli::Done);
        const auto object = nlohmann::json::parse(json.out);
        EXPECT_EQ(object["file"], path);
        ASSERT_EQ(object["findings"].size(), findings.size());
        const std::vector<std::string> lines = Lines(Tool({"check", path}).out);
        ASSERT_EQ(lines.size(), findings.size());
        for (std::size_t i = 0; i < findings.size(); ++i) {
            const CheckFinding& f = findings[i];
            const auto& j = object["findings"][i];
            EXPECT_EQ(j["code"], CheckCodeId(f.code));
            EXPECT_EQ(j["severity"], CheckSeverityId(f.severity()));
            EXPECT_EQ(j["nr"], U8(f.nr));
            EXPECT_EQ(j["name"], U8(f.name));
            EXPECT_EQ(j["text"], U8(f.text));
            EXPECT_EQ(lines[i].rfind(path + ": " + std::string(CheckSeverityId(f.severity())) + " " +
                                         std::string(CheckCodeId(f.code)) + (f.contact ? " " + U8(f.nr) : ":"),
                                     0),
                      0u)
                << lines[i];
            EXPECT_TRUE(lines[i].ends_with(": " + Blanked(U8(f.text)))) << lines[i];
        }

        // dupes: alone and beside the troubled book.
        for (const ReadPhonebook* second : {static_cast<const ReadPhonebook*>(nullptr), &troubled}) {
            NumberKeys keys;
            const std::vector<DuplicateGroup> groups =
                FindDuplicates(book.records, second ? &second->records : nullptr, keys);
            std::vector<std::string> args{"dupes", path};
            if (second)
                args.push_back((dir / "probe.xml").string());
            const ToolRun text = Tool(args);
            args.push_back("--json");
            const ToolRun run = Tool(args);
            EXPECT_EQ(run.status, cli::Done) << run.err;
            const auto found = nlohmann::json::parse(run.out)["groups"];
            ASSERT_EQ(found.size(), groups.size());
            std::size_t members = 0;
            for (std::size_t g = 0; g < groups.size(); ++g) {
                EXPECT_EQ(found[g]["kind"], KindId(groups[g].kind));
                EXPECT_EQ(found[g]["nameKey"], U8(groups[g].nameKey));
                ASSERT_EQ(found[g]["numberKeys"].size(), groups[g].numberKeys.size());
                for (std::size_t k = 0; k < groups[g].numberKeys.size(); ++k)
                    EXPECT_EQ(found[g]["numberKeys"][k]["key"], U8(groups[g].numberKeys[k].text));
                ASSERT_EQ(found[g]["members"].size(), groups[g].members.size());
                for (std::size_t m = 0; m < groups[g].members.size(); ++m) {
                    const DuplicateMember& member = groups[g].members[m];
                    EXPECT_EQ(found[g]["members"][m]["file"], args[static_cast<std::size_t>(member.book) + 1]);
                    EXPECT_EQ(found[g]["members"][m]["nr"], U8(member.nr));
                    EXPECT_EQ(found[g]["members"][m]["name"], U8(member.name));
                }
                members += groups[g].members.size();
            }
            EXPECT_EQ(Lines(text.out).size(), groups.size() + members);
        }

        // dedupe: "Zusammenführen" of every group in the panel, then "Speichern".
        ReadPhonebook panel = Read(file, u" (1)");
        NumberKeys keys;
        const std::vector<MergeResult> results = MergeAllDuplicates(panel.records, keys);
        // The boxes of loading, then a line per refusal and per conflict, then the sum.
        std::size_t told = panel.messages.size() + 1;
        for (const MergeResult& r : results) {
            merged += r.merged;
            refused += r.refusal != MergeResult::Refusal::None;
            conflicts += r.conflicts.size();
            told += (r.refusal != MergeResult::Refusal::None) + r.conflicts.size();
        }
        const ToolRun dedupe = Tool({"dedupe", path, "-o", (dir / "werkzeug.xml").string()});
        EXPECT_EQ(dedupe.status, cli::Done);
        EXPECT_EQ(Lines(dedupe.err).size(), told) << dedupe.err;
        EXPECT_EQ(ReadFileBytes(dir / "werkzeug.xml"), Saved(panel.records, panel.phonebookName, dir / "fenster.xml"));

        // convert: to itself as "Speichern" writes it, to vCard and CSV as the
        // exchange writes them, and back as the exchange reads them.
        EXPECT_EQ(Tool({"convert", path, (dir / "kopie.xml").string(), "--name", "Neu"}).status, cli::Done);
        EXPECT_EQ(ReadFileBytes(dir / "kopie.xml"), Saved(book.records, u"Neu", dir / "fenster.xml"));
        for (const ExchangeFormat format : {ExchangeFormat::VCard, ExchangeFormat::Csv}) {
            const std::string ending = format == ExchangeFormat::VCard ? ".vcf" : ".csv";
            const fs::path out = dir / ("kontakte" + ending), back = dir / "zurueck.xml";
            ASSERT_EQ(Tool({"convert", path, out.string()}).status, cli::Done);
            const std::string bytes = ReadFileBytes(out);
            EXPECT_EQ(bytes, ExportContacts(format, ContactNodes(book.records)));
            EXPECT_EQ(Tool({"convert", path, "-", "--format", ending.substr(1)}).out, bytes);
            ASSERT_EQ(Tool({"convert", out.string(), back.string()}).status, cli::Done);
            const ImportedBook imported = ImportContacts(format, bytes, u"kontakte", u"");
            EXPECT_EQ(ReadFileBytes(back), Saved(imported.records, u"kontakte", dir / "fenster.xml"));
        }
        EXPECT_EQ(ReadFileBytes(file), source == file ? TroubledBook() : ReadFileBytes(source));
    }
    // The books hold every case the commands report.
    EXPECT_GT(errors, 0u);
    EXPECT_GT(merged, 0u);
    EXPECT_GT(refused, 0u);
    EXPECT_GT(conflicts, 0u);
}

// One change of a contact: the options and what they mean for its fields;
// no options for a contact it does not suit.
using Args = std::optional<std::vector<std::string>>;
struct ContactEdit {
    Args (*options)(const Contact& before);
    void (*change)(Contact& fields);
};

ContactNumber NewNumber(std::u16string text, std::u16string_view type, std::u16string prio = u"")
{
    ContactNumber n;
    n.text = text;
    n.type = type;
    n.prio = std::move(prio);
    return n;
}

ContactEmail NewEmail(std::u16string text, std::u16string_view classifier)
{
    ContactEmail e;
    e.text = text;
    e.classifier = classifier;
    return e;
}

const ContactEdit ContactEdits[] = {
    {[](const Contact&) -> Args { return std::vector<std::string>{}; }, [](Contact&) {}},
    {[](const Contact&) -> Args { return std::vector<std::string>{"--name", "Änne Ü. <&>", "--vip"}; },
     [](Contact& f) {
         f.name = u"Änne Ü. <&>";
         f.vip = true;
     }},
    {[](const Contact&) -> Args { return std::vector<std::string>{"--name", "", "--no-vip"}; },
     [](Contact& f) {
         f.name = u"";
         f.vip = false;
     }},
    // New numbers by the router's value and by the window's word.
    {[](const Contact&) -> Args {
         return std::vector<std::string>{"--number", "MOBIL:0170 1", "--number", "fax_work:030 2", "--number",
                                         "fax geschäftlich:**9"};
     },
     [](Contact& f) {
         f.numbers = {NewNumber(u"0170 1", NumberType::Mobile, u"1"), NewNumber(u"030 2", NumberType::FaxWork),
                      NewNumber(u"**9", NumberType::FaxWork)};
     }},
    // The numbers the contact holds, last first, each as "Sonstige": they
    // keep their records; the first given becomes the main number. (Numbers
    // of the same text would keep their order.)
    {[](const Contact& before) -> Args {
         std::vector<std::string> args;
         for (auto n = before.numbers.rbegin(); n != before.numbers.rend(); ++n) {
             if (std::find(args.begin(), args.end(), "Sonstige:" + U8(n->text.view())) != args.end())
                 return std::nullopt;
             args.insert(args.end(), {"--number", "Sonstige:" + U8(n->text.view())});
         }
         return args;
     },
     [](Contact& f) {
         std::reverse(f.numbers.begin(), f.numbers.end());
         for (ContactNumber& n : f.numbers) {
             n.type = NumberType::Other;
             n.prio = &n == &f.numbers.front() ? u"1" : n.prio == u"1" ? u"0" : n.prio;
         }
     }},
    {[](const Contact&) -> Args {
         return std::vector<std::string>{"--email", "Geschäftlich:a@b.de", "--email", "d@e.de", "--email", "OTHER:f"};
     },
     [](Contact& f) {
         f.emails = {NewEmail(u"a@b.de", u"work"), NewEmail(u"d@e.de", u"private"), NewEmail(u"f", u"other")};
     }},
};

TEST_F(CliTool, SetAndAddWriteWhatTheDialogsRulesWrite)
{
    nwtest::WriteFileBytes(dir / "probe.xml", TroubledBook());
    std::vector<fs::path> files;
    AddFiles(files, NW_EXAMPLES_DIR);
    AddFiles(files, nwtest::SharedTestData() / "real");
    files.push_back(dir / "probe.xml");
    std::size_t changed = 0, refused = 0;
    for (const fs::path& source : files) {
        const fs::path file = source == dir / "probe.xml" ? source : Place(source, "buch.xml");
        const std::string path = file.string(), out = (dir / "werkzeug.xml").string();
        const ReadPhonebook book = Read(file);
        if (!book.opened || book.status != 0)
            continue;
        const std::vector<RecordList::Node*> contacts = ContactNodes(book.records);
        // set on each contact with each edit; add with each edit's fields.
        for (std::size_t c = 0; c <= contacts.size(); ++c) {
            for (const ContactEdit& edit : ContactEdits) {
                ReadPhonebook panel = Read(file);
                RecordList::Node* contact = c < contacts.size() ? ContactNodes(panel.records)[c] : nullptr;
                Contact fields;
                if (contact)
                    ReadContact(contact, fields);
                Args options = edit.options(fields);
                if (!options)
                    continue;
                std::vector<std::string>& args = *options;
                const auto has = [&args](const char* option) {
                    return std::find(args.begin(), args.end(), option) != args.end();
                };
                if (!contact && (args.empty() || has("--no-vip")))
                    continue;
                if (!contact && !has("--name")) {
                    args.insert(args.end(), {"--name", "Neu"});
                    fields.name = u"Neu";
                }
                const std::vector<std::string> head =
                    contact ? std::vector<std::string>{"set", path, U8(contact->record.nr.view())}
                            : std::vector<std::string>{"add", path};
                args.insert(args.begin(), head.begin(), head.end());
                args.insert(args.end(), {"-o", out});
                SCOPED_TRACE(Blanked(std::accumulate(args.begin(), args.end(), std::string(),
                                                     [](std::string a, const std::string& b) { return a + b + ' '; })));
                edit.change(fields);

                const std::vector<CheckFinding> findings = CheckContact(fields, CheckIndex(panel.records));
                const bool refuses = RefusesChange(findings);
                fs::remove(out);
                const ToolRun run = Tool(args);
                EXPECT_EQ(run.status, refuses ? cli::ErrorsFound : cli::Done) << run.err;
                EXPECT_EQ(Lines(run.err).size(), panel.messages.size() + findings.size() + refuses) << run.err;
                if (refuses) {
                    EXPECT_FALSE(fs::exists(out));
                    ++refused;
                    continue;
                }
                if (contact)
                    ApplyContactEdit(panel.records, fields, Now);
                else
                    AddContactToBook(panel.records, fields, Now, u"");
                EXPECT_EQ(ReadFileBytes(out), Saved(panel.records, panel.phonebookName, dir / "fenster.xml"));
                ++changed;
            }
        }
        EXPECT_EQ(ReadFileBytes(file), source == file ? TroubledBook() : ReadFileBytes(source));
    }
    EXPECT_GT(changed, 100u);
    EXPECT_GT(refused, 0u);
}

TEST_F(CliTool, ConvertReadsWhatPhonesAndMailProgramsWrite)
{
    // Each exporter's file into a phonebook as the exchange reads it, every
    // card or row left out on a line of its own.
    const std::vector<std::string> broken{"BEGIN:VCARD\nFN:Ohne Ende\nTEL:030 1\n"
                                          "BEGIN:VCARD\nFN:Gut\nTEL:030 2\nEND:VCARD\n"
                                          "BEGIN:VCARD\nFN:Kaputt\nTEL;ENCODING=QUOTED-PRINTABLE:03=ZZ\nEND:VCARD\n",
                                          "Name,Telefon privat,Lieblingsfarbe\nA,030 1,blau\nB,030 2,rot,zuviel\n"};
    for (std::size_t i = 0; i < broken.size(); ++i)
        nwtest::WriteFileBytes(dir / ("kaputt" + std::to_string(i) + (i == 0 ? ".vcf" : ".csv")), broken[i]);
    std::vector<fs::path> files;
    AddFiles(files, fs::path(NW_TEST_DATA_DIR) / "exchange");
    AddFiles(files, dir.path());
    ASSERT_GT(files.size(), 10u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const ExchangeFormat format = *ExchangeFormatOf(nwtest::U16(file.string()));
        const ImportedBook imported = ImportContacts(format, ReadFileBytes(file), u"Privat", u"");
        const ToolRun run = Tool({"convert", file.string(), (dir / "aus.xml").string(), "--name", "Privat"});
        EXPECT_EQ(run.status, cli::Done) << run.err;
        EXPECT_EQ(ReadFileBytes(dir / "aus.xml"), Saved(imported.records, u"Privat", dir / "fenster.xml"));
        ImportReport rest = imported.report;
        rest.skipped.clear();
        const std::vector<std::string> errors = Lines(run.err);
        ASSERT_EQ(errors.size(), imported.report.skipped.size() + !ImportReportMessage(rest).empty()) << run.err;
        for (std::size_t i = 0; i < imported.report.skipped.size(); ++i)
            EXPECT_EQ(errors[i], file.string() + ":" + std::to_string(imported.report.skipped[i].line) + ": " +
                                     U8(ImportProblemText(imported.report.skipped[i].problem)));
    }
}

}  // namespace
