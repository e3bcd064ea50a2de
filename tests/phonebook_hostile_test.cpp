// Hostile files through "Laden": empty, not XML, broken or unusual encodings,
// absurd nesting, attribute counts and text sizes, entity amplification,
// external entities and a very large phonebook. Each one either loads or ends
// in the message the user is promised, the panel stays in step with its
// records, the other panel is untouched, nothing but the chosen file is read,
// and the panel can still be saved into a file that loads again.
//
// The small files lie in tests/hostile; the large ones are made here.
#include "phonebook_fixture.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>

using nwtest::ReadFileBytes;
using nwtest::U16;
using nwtest::U8;
using nwtest::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

const fs::path HostileDir = fs::path(NW_TEST_DATA_DIR).parent_path() / "hostile";

// Stands in the files an external entity names; must never reach the program.
const std::string Secret = "GEHEIM-7f3a9c";

enum class Outcome {
    Loads,       // no message box
    CannotOpen,  // "Das Telefonbuch kann nicht geöffnet werden."
    ParseError,  // "Fehler in der XML-Datei." with line and column
};

struct HostileCase {
    const char* name;
    std::string (*make)();  // the file's bytes; nullptr: tests/hostile/<name>
    Outcome outcome;
    int rows;                  // rows after loading; -1 when not fixed
    const char* phonebookName; // Name field after loading; nullptr when not fixed
    int errorLine;             // of a parse error; 0 when not fixed
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string DeepNesting()
{
    constexpr int Depth = 200000;
    std::string xml = "<phonebooks><phonebook name=\"Tief\"><contact><realName>Oben</realName></contact>";
    xml.reserve(static_cast<std::size_t>(Depth) * 8 + 200);
    for (int i = 0; i < Depth; ++i)
        xml += "<a>";
    for (int i = 0; i < Depth; ++i)
        xml += "</a>";
    return xml + "</phonebook></phonebooks>";
}

std::string ManyAttributes()
{
    std::string xml = "<phonebooks><phonebook name=\"Viele\"><contact><realName>Attr</realName><number";
    for (int i = 0; i < 70000; ++i)
        xml += " a" + std::to_string(i) + "=\"" + std::to_string(i % 97) + "\"";
    return xml + ">0301</number></contact><contact><realName>Danach</realName></contact></phonebook></phonebooks>";
}

std::string HugeText()
{
    std::string xml = "<phonebooks><phonebook name=\"Lang\"><contact><realName>";
    const std::size_t size = 50u * 1024 * 1024;
    xml.reserve(size + 200);
    const std::string word = "Abcdefghij\xC3\xA4 ";  // 13 bytes with a two-byte character
    while (xml.size() < size)
        xml += word;
    return xml + "</realName><uniqueid>1</uniqueid></contact></phonebook></phonebooks>";
}

std::string ManyContacts()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<phonebooks>\n<phonebook name=\"Hunderttausend\">\n";
    xml.reserve(100000u * 220);
    for (int i = 0; i < 100000; ++i) {
        const std::string n = std::to_string(i);
        xml += "<contact><category>0</category><person><realName>Name " + n +
               "</realName></person><telephony nid=\"1\"><number type=\"home\" prio=\"1\" id=\"0\">030" + n +
               "</number></telephony><services/><setup/><uniqueid>" + n + "</uniqueid></contact>\n";
    }
    return xml + "</phonebook>\n</phonebooks>\n";
}

const HostileCase kCases[] = {
    {"empty.xml", nullptr, Outcome::CannotOpen, 0, "Unbekannt", 0},
    {"not_xml.xml", nullptr, Outcome::ParseError, 0, "Unbekannt", 1},
    {"invalid_utf8.xml", nullptr, Outcome::ParseError, 2, "Kaputt", 5},
    {"utf16le_no_bom.xml", nullptr, Outcome::Loads, 2, "Sechzehn", 0},
    {"utf16be_no_bom.xml", nullptr, Outcome::Loads, 2, "Sechzehn", 0},
    {"unknown_encoding.xml", nullptr, Outcome::ParseError, 0, "Unbekannt", 1},
    // Entity references are expanded; Expat's amplification limit stops the
    // load at the first reference and keeps what came before it.
    {"laughs_text.xml", nullptr, Outcome::ParseError, 1, "Lachen", 16},
    {"laughs_attribute.xml", nullptr, Outcome::ParseError, 0, "Unbekannt", 0},
    {"external_entity.xml", nullptr, Outcome::Loads, 2, "Extern", 0},
    {"external_dtd.xml", nullptr, Outcome::Loads, 1, "ExternDtd", 0},
    {"deep_nesting.xml", DeepNesting, Outcome::ParseError, 1, "Tief", 1},
    {"many_attributes.xml", ManyAttributes, Outcome::Loads, 2, "Viele", 0},
    {"huge_text.xml", HugeText, Outcome::Loads, 1, "Lang", 0},
    {"many_contacts.xml", ManyContacts, Outcome::Loads, 100000, "Hunderttausend", 0},
};

// Records which files of a folder are opened while it watches.
class OpenWatch {
public:
    explicit OpenWatch(const fs::path& dir)
    {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0)
            inotify_add_watch(fd_, dir.c_str(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Works() const { return fd_ >= 0; }

    std::set<std::string> Opened()
    {
        std::set<std::string> names;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                if (e->len > 0)
                    names.insert(e->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return names;
    }

private:
    int fd_ = -1;
};

class PhonebookHostile : public pbtest::PanelTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(PhonebookHostile, LoadsOrFailsAsPromisedAndStaysUsable)
{
    const HostileCase c = GetParam();
    const fs::path file = dir / c.name;
    std::string bytes;
    if (c.make) {
        bytes = c.make();
        WriteFileBytes(file, bytes);
    } else {
        ASSERT_TRUE(fs::exists(HostileDir / c.name)) << HostileDir / c.name;
        fs::copy_file(HostileDir / c.name, file);
        bytes = ReadFileBytes(file);
    }
    // What an external entity or DTD would bring in, if anything read it.
    WriteFileBytes(dir / "geheim.txt", Secret);
    WriteFileBytes(dir / "geheim.dtd", "<!ENTITY dtdgeheim \"" + Secret + "\">\n");

    // The other panel holds a phonebook that must come through untouched.
    fs::create_directory(dir / "andere");
    WriteFileBytes(dir / "andere" / "b.xml",
                   "<phonebooks><phonebook name=\"B\"><contact><realName>Bleibt</realName></contact>"
                   "</phonebook></phonebooks>");
    Load(2, dir / "andere" / "b.xml");
    const auto otherRows = Rows(2);
    ui::ClearRecordedMessages();

    OpenWatch watch(dir.path());
    Load(1, file);
    std::set<std::string> opened = watch.Opened();

    // The message the user is promised, and no other box apart from the
    // Information boxes for nodes that loading drops.
    std::vector<ui::RecordedMessage> boxes;
    for (const auto& m : Messages())
        if (m.title != u"Information")
            boxes.push_back(m);
    switch (c.outcome) {
    case Outcome::Loads:
        EXPECT_TRUE(boxes.empty()) << U8(boxes.front().text);
        break;
    case Outcome::CannotOpen:
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(U8(boxes[0].title), "Fehlermeldung");
        EXPECT_EQ(boxes[0].icon, ui::Icon::Error);
        EXPECT_EQ(boxes[0].text, u"  Das Telefonbuch kann nicht geöffnet werden.    \n\n  Datei:  " + U16(c.name) +
                                     u"    \n\n  Pfad:   " + pbtest::PathText(dir.path()) + u"/    ");
        EXPECT_FALSE(fs::exists(dir / (std::string(c.name) + "_Formatiert.xml")));
        break;
    case Outcome::ParseError:
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(U8(boxes[0].title), "Fehlermeldung");
        EXPECT_EQ(boxes[0].icon, ui::Icon::Warning);
        EXPECT_EQ(boxes[0].text.rfind(u"  Fehler in der XML-Datei.    \n\n  Zeile:\t", 0), 0u) << U8(boxes[0].text);
        if (c.errorLine) {
            EXPECT_EQ(boxes[0].text.rfind(u"  Fehler in der XML-Datei.    \n\n  Zeile:\t" +
                                              U16(std::to_string(c.errorLine)) + u"    \n",
                                          0),
                      0u)
                << U8(boxes[0].text);
        }
        break;
    }

    // The panel: rows in step with records, the count label, the name.
    const auto rows = Rows(1);
    if (c.rows >= 0) {
        EXPECT_EQ(rows.size(), static_cast<std::size_t>(c.rows));
    }
    EXPECT_EQ(Count(1), " Anz.: " + std::to_string(rows.size()));
    EXPECT_TRUE(PanelRowsInStep(1));
    if (c.phonebookName) {
        EXPECT_EQ(U8(Text(1, NameFieldWidget)), c.phonebookName);
    }
    EXPECT_EQ(Text(1, FileFieldWidget), pbtest::PathText(file));
    EXPECT_EQ(Rows(2), otherRows);
    EXPECT_EQ(ReadFileBytes(file), bytes) << "the loaded file was changed";

    // Nothing of the secret files reached the program, and only the chosen
    // file was read: the other opens are the formatted copy being written.
    for (const NodeRecord& r : Panel(1).records) {
        ASSERT_EQ(U8(r.text).find(Secret), std::string::npos) << "in the text of " << U8(r.name);
        ASSERT_EQ(U8(r.attributes).find(Secret), std::string::npos) << "in the attributes of " << U8(r.name);
    }
    for (const auto& row : rows)
        ASSERT_EQ((row.name + row.id + row.telefon).find(Secret), std::string::npos);
    const fs::path formatted = dir / (std::string(c.name) + "_Formatiert.xml");
    if (fs::exists(formatted)) {
        EXPECT_EQ(ReadFileBytes(formatted).find(Secret), std::string::npos);
    }
    if (watch.Works()) {
        opened.erase(c.name);
        opened.erase(formatted.filename().string());
        for (const std::string& name : opened)
            EXPECT_EQ(name.rfind(".nw-save-", 0), 0u) << "the load opened " << name;
    }

    // The panel can be saved, and what it wrote loads into the same rows.
    ui::ClearRecordedMessages();
    ui::SetText(PanelWidgetNumber(1, FileFieldWidget), pbtest::PathText(dir / "gespeichert.xml"));
    SavePhonebook(1);
    EXPECT_TRUE(Messages().empty()) << U8(Messages().front().text);
    Load(2, dir / "gespeichert.xml_NEU.xml");
    EXPECT_TRUE(Messages().empty()) << U8(Messages().front().text);
    const auto reloaded = Rows(2);
    ASSERT_EQ(reloaded.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(reloaded[i].id, rows[i].id) << "row " << i;
        ASSERT_EQ(reloaded[i].name, rows[i].name) << "row " << i;
        ASSERT_EQ(reloaded[i].telefon, rows[i].telefon) << "row " << i;
    }
    EXPECT_TRUE(PanelRowsInStep(2));
}

INSTANTIATE_TEST_SUITE_P(Hostile, PhonebookHostile, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    name = name.substr(0, name.find('.'));
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

// A large phonebook stays workable: every contact ticked, moved to the other
// panel and back, without a row losing its contact.
class PhonebookLarge : public pbtest::PanelTest {};

TEST_F(PhonebookLarge, HundredThousandContactsMoveBothWays)
{
    WriteFileBytes(dir / "gross.xml", ManyContacts());
    Load(1, dir / "gross.xml");
    ASSERT_EQ(ui::CountItems(List(1)), 100000);
    NewPhonebook(2);
    for (int round = 0; round < 2; ++round) {
        const int from = round == 0 ? 1 : 2;
        const int to = round == 0 ? 2 : 1;
        const int n = ui::CountItems(List(from));
        for (int i = 0; i < n; ++i)
            ui::SetItemState(List(from), i, ui::RowTicked);
        MoveContacts(from);
        EXPECT_EQ(ui::CountItems(List(from)), 0);
        EXPECT_EQ(ui::CountItems(List(to)), 100000);
        EXPECT_TRUE(PanelRowsInStep(1));
        EXPECT_TRUE(PanelRowsInStep(2));
    }
    EXPECT_EQ(U8(ui::GetItemText(List(1), 99999, 3)), "Name 99999");
    EXPECT_EQ(U8(ui::GetItemText(List(1), 0, 1)), "2 (1)");
    EXPECT_EQ(Count(1), " Anz.: 100000");
    EXPECT_EQ(Count(2), " Anz.: 0");
}

}  // namespace
