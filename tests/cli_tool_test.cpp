// nummernwerk-cli against the window: the same files through the tool's
// commands and through the panels' "Laden", "Kopieren" and "Speichern" give
// the same rows, messages and bytes. Then exit statuses, error lines and
// outputs that name an input.
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "base/atomic_file.h"
#include "cli/cli.h"
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

ToolRun Tool(const std::vector<std::string>& args, bool terminal = false)
{
    std::vector<const char*> argv{"nummernwerk-cli"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status =
        cli::Run(static_cast<int>(argv.size()), argv.data(), {out, err, terminal, std::chrono::milliseconds(0)});
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
    for (const char* command : {"list", "format", "merge"}) {
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

}  // namespace
