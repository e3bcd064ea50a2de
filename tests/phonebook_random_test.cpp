// Random sequences of user actions on both panels, checked after every step
// against a plain model of the two phonebooks.
//
// The model knows nothing of the program's code: it reads phonebook files
// with Expat itself, keeps per panel the records before the first contact and
// a list of contacts (row texts, records, marked and ticked), and applies each
// action the way a user expects it to work. After every action the panels'
// rows, their order, texts and states, the records, the pairing of each row
// with its contact through the row key, the count labels, the Name and Datei
// fields and the message boxes must match the model; after every save the
// written file must load into the rows the model predicts.
//
// NW_RANDOM_OPS sets the number of actions (default 3000), NW_RANDOM_SEED the
// seed. The actions run in episodes of 5000, each from empty panels; a failing
// episode is cut down to the shortest list of actions that still fails, and
// that list is printed with the seed.
#include "phonebook_fixture.h"

#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

using nwtest::U16;
using nwtest::U8;
namespace fs = std::filesystem;

namespace {

using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

// The model ------------------------------------------------------------------------

struct MRecord {
    std::u16string nr;
    int depth = 0;
    std::u16string name;
    Pairs attributes;
    std::u16string text;
};

struct MContact {
    std::u16string nr, id, name, telefon;
    std::vector<MRecord> records;
    bool marked = false;
    bool ticked = false;
    bool transferred = false;  // copied or moved in from the other panel
};

struct MPanel {
    std::vector<MRecord> frame;  // the records before the first contact
    std::vector<MContact> contacts;
    std::u16string nameField;
    std::u16string fileField;
    std::u16string directory;
};

struct MMessage {
    std::u16string title;
    ui::Icon icon;
    std::u16string text;     // compared whole when not empty
    std::u16string contains; // else only this must stand in the text
};

std::u16string DirPart(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string FileOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string Number(long long n)
{
    return U16(std::to_string(n));
}

// The attributes text of a record: name="value"| per attribute; a value that
// holds "|" is written with "|" and "\" behind a backslash.
std::u16string AttributeText(const Pairs& pairs)
{
    std::u16string out;
    for (const auto& [name, value] : pairs) {
        out += name + u"=\"";
        const bool escape = value.find(u'|') != std::u16string::npos;
        for (char16_t c : value) {
            if (escape && (c == u'|' || c == u'\\'))
                out += u'\\';
            out += c;
        }
        out += u"\"|";
    }
    return out;
}

// One segment of an element's own text as loading leaves it: line breaks
// removed, a blank or tab kept only directly after other text (the segment's
// start counts as after text).
std::u16string LoadedSegment(const std::u16string& s)
{
    std::u16string out;
    bool afterText = true;
    for (char16_t c : s) {
        if (c == u'\r' || c == u'\n')
            continue;
        if (c == u' ' || c == u'\t') {
            if (!afterText)
                continue;
            out += c;
            afterText = false;
        } else {
            out += c;
            afterText = true;
        }
    }
    return out;
}

// What loading a file gives, read with Expat alone.
struct MLoad {
    bool opened = false;
    bool wellFormed = false;
    std::vector<MRecord> records;
    std::u16string phonebookName = u"Unbekannt";
    std::vector<std::u16string> ignored;  // kinds of the dropped nodes, in order
};

struct ExpatModel {
    MLoad* load = nullptr;
    std::u16string suffix;
    long long counter = 0;
    struct Open {
        std::size_t record;
        std::u16string text;
        std::u16string segment;
    };
    std::vector<Open> open;
    bool inCdata = false;

    void EndSegment()
    {
        if (!open.empty()) {
            open.back().text += LoadedSegment(open.back().segment);
            open.back().segment.clear();
        }
    }
    void Ignored(const char16_t* kind)
    {
        if (!open.empty()) {
            EndSegment();
            load->ignored.push_back(kind);
        }
    }
};

void XMLCALL MStart(void* data, const XML_Char* name, const XML_Char** atts)
{
    auto* m = static_cast<ExpatModel*>(data);
    m->EndSegment();
    MRecord r;
    r.nr = Number(m->counter++) + m->suffix;
    r.depth = static_cast<int>(m->open.size());
    r.name = U16(name);
    for (int i = 0; atts[i]; i += 2) {
        r.attributes.emplace_back(U16(atts[i]), U16(atts[i + 1]));
        if (r.name == u"phonebook" && r.attributes.back().first == u"name")
            m->load->phonebookName = r.attributes.back().second;
    }
    m->load->records.push_back(std::move(r));
    m->open.push_back({m->load->records.size() - 1, {}, {}});
}

void XMLCALL MEnd(void* data, const XML_Char*)
{
    auto* m = static_cast<ExpatModel*>(data);
    m->EndSegment();
    m->load->records[m->open.back().record].text = m->open.back().text;
    m->open.pop_back();
}

void XMLCALL MText(void* data, const XML_Char* s, int len)
{
    auto* m = static_cast<ExpatModel*>(data);
    if (!m->open.empty() && !m->inCdata)
        m->open.back().segment += U16(std::string(s, static_cast<std::size_t>(len)));
}

void XMLCALL MComment(void* data, const XML_Char*)
{
    static_cast<ExpatModel*>(data)->Ignored(u"Comment");
}

void XMLCALL MInstruction(void* data, const XML_Char*, const XML_Char*)
{
    static_cast<ExpatModel*>(data)->Ignored(u"Instruction");
}

void XMLCALL MCdataStart(void* data)
{
    auto* m = static_cast<ExpatModel*>(data);
    m->Ignored(u"CData");
    m->inCdata = true;
}

void XMLCALL MCdataEnd(void* data)
{
    static_cast<ExpatModel*>(data)->inCdata = false;
}

MLoad ModelLoad(const fs::path& file, const std::u16string& suffix)
{
    MLoad load;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) == 0 || ec)
        return load;
    const std::string bytes = nwtest::ReadFileBytes(file);
    load.opened = true;
    ExpatModel m;
    m.load = &load;
    m.suffix = suffix;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &m);
    XML_SetElementHandler(parser, MStart, MEnd);
    XML_SetCharacterDataHandler(parser, MText);
    XML_SetCommentHandler(parser, MComment);
    XML_SetProcessingInstructionHandler(parser, MInstruction);
    XML_SetCdataSectionHandler(parser, MCdataStart, MCdataEnd);
    load.wellFormed = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return load;
}

// Cuts records into the frame and the contacts, each contact with its row.
void SplitIntoContacts(const std::vector<MRecord>& records, MPanel& panel)
{
    panel.frame.clear();
    panel.contacts.clear();
    for (const MRecord& r : records) {
        if (r.name == u"contact") {
            MContact c;
            c.nr = r.nr;
            panel.contacts.push_back(std::move(c));
        }
        if (panel.contacts.empty()) {
            panel.frame.push_back(r);
            continue;
        }
        MContact& c = panel.contacts.back();
        c.records.push_back(r);
        if (r.name == u"uniqueid")
            c.id = r.text;
        else if (r.name == u"realName")
            c.name = r.text;
        else if (r.name == u"number")
            c.telefon += (c.telefon.empty() ? u"" : u"  #  ") + r.text;
    }
}

// For every record from the first contact on: the index of its parent among
// the records of its own contact (the contact and those after it up to the
// next), -1 when the parent lies outside them.
std::vector<long> ParentsWithinContacts(const std::vector<MRecord>& records)
{
    std::vector<long> parents;
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].name == u"contact")
            open.clear();
        else if (parents.empty())
            continue;  // before the first contact
        while (!open.empty() && records[open.back()].depth >= records[i].depth)
            open.pop_back();
        parents.push_back(open.empty() ? -1 : static_cast<long>(open.back()));
        open.push_back(i);
    }
    return parents;
}

std::vector<MRecord> AllRecords(const MPanel& p)
{
    std::vector<MRecord> out = p.frame;
    for (const MContact& c : p.contacts)
        out.insert(out.end(), c.records.begin(), c.records.end());
    return out;
}

// Actions --------------------------------------------------------------------------

enum class Act {
    Load,       // a file of the pool
    LoadSaved,  // the other panel's "_NEU.xml"
    Cancel,     // the open-file dialog cancelled
    New,
    Save,
    Mark,       // one row's state set to marked (and maybe ticked)
    Tick,       // one row's state set to ticked
    Clear,      // one row's state set to nothing
    TickMany,   // about a third of the rows ticked
    TickMarked,
    UntickMarked,
    Copy,
    Move,
    Delete,
    EditName,
    EditFile,
};

struct Action {
    Act act;
    int panel;
    std::uint32_t arg;
};

const char* ActName(Act a)
{
    switch (a) {
    case Act::Load: return "Load";
    case Act::LoadSaved: return "LoadSaved";
    case Act::Cancel: return "Cancel";
    case Act::New: return "New";
    case Act::Save: return "Save";
    case Act::Mark: return "Mark";
    case Act::Tick: return "Tick";
    case Act::Clear: return "Clear";
    case Act::TickMany: return "TickMany";
    case Act::TickMarked: return "TickMarked";
    case Act::UntickMarked: return "UntickMarked";
    case Act::Copy: return "Copy";
    case Act::Move: return "Move";
    case Act::Delete: return "Delete";
    case Act::EditName: return "EditName";
    case Act::EditFile: return "EditFile";
    }
    return "?";
}

const std::vector<std::u16string>& NamePool()
{
    static const std::vector<std::u16string> names = {
        u"",
        u"Privat",
        u"  Blanks  around  ",
        u"A|B\\C|",
        u"\"Quote\" & <Tag> 'x' ]]>",
        u"Zo\u00eb \u00df \u00dcn\u00efc\u00f8d\u00e9",
        u"Emoji \U0001F600 \u4E2D\u6587",
        std::u16string(300, u'n'),
    };
    return names;
}

// Phonebook files ------------------------------------------------------------------

// Writes varied phonebooks: the usual router layout and its odd relatives
// (several phonebooks, elements after the last contact, contacts at other
// depths, a main element other than "phonebooks", nodes loading drops), and
// contacts at mixed depths: in groups with records after them, inside other
// contacts, deeper than any other file's, below a contact as main element.
class Generator {
public:
    explicit Generator(std::uint32_t seed) : rng_(seed) {}

    std::string Phonebook(int shape)
    {
        nl_ = Pick(4) == 0 ? "\r\n" : "\n";
        indent_ = Pick(3) == 0 ? "\t" : Pick(2) ? "  " : "";
        if (indent_.empty())
            nl_ = Pick(2) ? "" : "\n";
        std::string out;
        if (Pick(3))
            out += "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + nl_;
        if (Pick(5) == 0)
            out += "<!-- Telefonbuch -->" + nl_;
        const int contacts = Pick(4) == 0 ? 0 : 1 + Pick(Pick(5) == 0 ? 60 : 12);
        switch (shape % 9) {
        case 0:  // one phonebook, as the router writes it
        default:
            out += Open(0, "phonebooks", "") + PhonebookElement(1, contacts, true) + Close(0, "phonebooks");
            break;
        case 1:  // two phonebooks and an element after the last contact
            out += Open(0, "phonebooks", "") + PhonebookElement(1, contacts, true) +
                   PhonebookElement(1, 1 + Pick(4), Pick(2)) + Line(1, "<meta>" + Word() + "</meta>") +
                   Close(0, "phonebooks");
            break;
        case 2:  // contacts grouped one level deeper, a realName before the first
            out += Open(0, "phonebooks", "") + Open(1, "phonebook", " name=\"Gruppen\"") +
                   Line(2, "<realName>Vorweg</realName>") + Open(2, "group", " id=\"g\"") +
                   Contacts(3, contacts) + Close(2, "group") + Contacts(2, 1 + Pick(3)) +
                   Line(2, "<number>0000</number>") + Close(1, "phonebook") + Close(0, "phonebooks");
            break;
        case 3:  // a main element of another name, contacts right below it
            out += Open(0, "addressbook", " version=\"2\"") + Contacts(1, contacts) + Close(0, "addressbook");
            break;
        case 4:  // a single contact as the whole file
            out += Contact(0);
            break;
        case 5:  // a phonebook without name, with nodes loading drops
            out += Open(0, "phonebooks", "") + Open(1, "phonebook", " owner=\"0\"") + Line(2, "<!-- Kommentar -->") +
                   Line(2, "<?fritz box?>") + Contacts(2, contacts) + Close(1, "phonebook") + Close(0, "phonebooks");
            break;
        case 6:  // contacts, groups and records after contacts mixed below the phonebook
            out += Open(0, "phonebooks", "") + Open(1, "phonebook", " name=\"Gemischt\"") + Mixed(2, 1 + contacts) +
                   Close(1, "phonebook") + Close(0, "phonebooks");
            break;
        case 7:  // the same three levels deeper than usual
            out += Open(0, "a", "") + Open(1, "b", "") + Open(2, "c", "") + Mixed(3, 1 + contacts) + Close(2, "c") +
                   Close(1, "b") + Close(0, "a");
            break;
        case 8:  // a contact as main element, with contacts and records inside
            out += Open(0, "contact", "") + Line(1, "<realName>" + Text() + "</realName>") + Mixed(1, contacts) +
                   Close(0, "contact");
            break;
        }
        return out;
    }

private:
    int Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }

    std::string Ind(int depth)
    {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += indent_;
        return s;
    }
    std::string Line(int depth, const std::string& s) { return Ind(depth) + s + nl_; }
    std::string Open(int depth, const std::string& name, const std::string& attrs)
    {
        return Line(depth, "<" + name + attrs + ">");
    }
    std::string Close(int depth, const std::string& name) { return Line(depth, "</" + name + ">"); }

    std::string Word()
    {
        static const char* const words[] = {
            "Anna",  "M\xC3\xBCller", "Stra\xC3\x9F" "e", "&amp;Co", "&lt;Chef&gt;", "O&apos;Neil", "&#228;rger",
            "\xF0\x9F\x98\x80", "B\xC3\xA4" "cker", "x|y",  "a\\b", "Dr.", "&#x4E2D;", "Zoe",
        };
        return words[Pick(static_cast<int>(std::size(words)))];
    }

    // A text with the blanks, tabs and line breaks that loading folds.
    std::string Text()
    {
        std::string s;
        const int n = 1 + Pick(3);
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                s += Pick(4) == 0 ? "\n   " : Pick(3) == 0 ? "  \t" : " ";
            s += Word();
        }
        switch (Pick(8)) {
        case 0: return " " + s;
        case 1: return s + "  ";
        case 2: return "\n" + s + "\n" + Ind(3);
        default: return s;
        }
    }

    std::string AttributeValue()
    {
        static const char* const values[] = {"0", "1", "home", "x|y", "a\\b", "\\|", "&quot;q&quot;", "&#10;",
                                             "M\xC3\xBCnchen", "&lt;&amp;&gt;", ""};
        return values[Pick(static_cast<int>(std::size(values)))];
    }

    // An element that stood after a contact, outside it.
    std::string Loose()
    {
        switch (Pick(6)) {
        case 0: return "<number type=\"" + AttributeValue() + "\">0" + std::to_string(Pick(99999)) + "</number>";
        case 1: return "<realName>" + Text() + "</realName>";
        case 2: return "<uniqueid>" + std::to_string(Pick(500)) + "</uniqueid>";
        case 3: return "<setup/>";
        case 4: return "<note><line>" + Word() + "</line></note>";
        default: return "<number>" + Word() + "</number>";
        }
    }

    // About `budget` contacts at depth d mixed with groups of further such
    // items, records after contacts and contacts that hold contacts.
    std::string Mixed(int d, int budget)
    {
        std::string out;
        while (budget > 0) {
            switch (Pick(d > 8 ? 2 : 5)) {
            case 0:
                out += Contact(d);
                --budget;
                break;
            case 1:
                out += Contact(d) + Line(d, Loose());
                --budget;
                break;
            case 2: {
                const int inner = 1 + Pick(budget);
                out += Open(d, "group", Pick(2) ? " id=\"" + Word() + "\"" : "") + Mixed(d + 1, inner) +
                       (Pick(2) ? Line(d + 1, Loose()) : "") + Close(d, "group");
                budget -= inner;
                break;
            }
            case 3: {
                const int inner = Pick(budget);
                out += Open(d, "contact", "") + Line(d + 1, "<realName>" + Text() + "</realName>") +
                       Mixed(d + 1, inner) + (Pick(2) ? Line(d + 1, Loose()) : "") + Close(d, "contact");
                budget -= inner + 1;
                break;
            }
            default:
                out += Line(d, Loose());
                break;
            }
        }
        return out;
    }

    std::string PhonebookElement(int depth, int contacts, bool named)
    {
        std::string attrs = " owner=\"" + std::to_string(Pick(3)) + "\"";
        if (named)
            attrs += " name=\"" + Word() + "\"";
        return Open(depth, "phonebook", attrs) + Contacts(depth + 1, contacts) + Close(depth, "phonebook");
    }

    std::string Contacts(int depth, int n)
    {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += Contact(depth);
        return out;
    }

    std::string Contact(int d)
    {
        if (Pick(12) == 0)
            return Line(d, "<contact/>");
        std::string out = Open(d, "contact", Pick(6) == 0 ? " x=\"" + AttributeValue() + "\"" : "");
        out += Line(d + 1, "<category>" + std::to_string(Pick(2)) + "</category>");
        out += Open(d + 1, "person", "");
        const int names = Pick(8) == 0 ? 2 : Pick(10) == 0 ? 0 : 1;
        for (int i = 0; i < names; ++i) {
            std::string name = Text();
            if (Pick(10) == 0)
                name += "<![CDATA[verworfen]]>" + Word();
            out += Line(d + 2, "<realName>" + name + "</realName>");
        }
        if (Pick(3) == 0)
            out += Line(d + 2, "<imageURL>file:///var/" + std::to_string(Pick(99)) + ".jpg</imageURL>");
        out += Close(d + 1, "person");
        if (Pick(10) == 0)
            out += Line(d + 1, "<!-- numbers:1 -->");
        out += Open(d + 1, "telephony", " nid=\"" + std::to_string(Pick(4)) + "\"");
        const int numbers = Pick(4);
        for (int i = 0; i < numbers; ++i) {
            const std::string attrs = " type=\"" + AttributeValue() + "\" prio=\"" + std::to_string(Pick(2)) +
                                      "\" id=\"" + std::to_string(i) + "\"";
            if (Pick(6) == 0)
                out += Line(d + 2, "<number" + attrs + "/>");
            else
                out += Line(d + 2, "<number" + attrs + ">0" + std::to_string(rng_() % 100000000u) + "</number>");
        }
        out += Close(d + 1, "telephony");
        if (Pick(2))
            out += Line(d + 1, "<services><email classifier=\"private\">a@b.de</email></services>");
        out += Line(d + 1, "<setup/>");
        out += Line(d + 1, "<features doorphone=\"" + AttributeValue() + "\"/>");
        if (Pick(6))
            out += Line(d + 1, "<uniqueid>" + std::to_string(Pick(500)) + "</uniqueid>");
        if (Pick(15) == 0)
            out += Line(d + 1, "<uniqueid>" + std::to_string(Pick(500)) + "</uniqueid>");
        return out + Close(d, "contact");
    }

    std::mt19937 rng_;
    std::string nl_;
    std::string indent_;
};

// One episode ----------------------------------------------------------------------

struct Failure {
    std::size_t step;  // index of the action after which the check failed
    std::string message;
};

std::string Describe(const Action& a, const std::vector<std::string>& pool)
{
    std::ostringstream os;
    os << ActName(a.act) << "(" << a.panel;
    if (a.act == Act::Load)
        os << ", " << pool[a.arg % pool.size()];
    else if (a.act == Act::Mark || a.act == Act::Tick || a.act == Act::Clear || a.act == Act::TickMany ||
             a.act == Act::EditName || a.act == Act::EditFile)
        os << ", " << a.arg;
    os << ")";
    return os.str();
}

std::int64_t StampDate()
{
    using namespace std::chrono;
    const auto day = sys_days{year{2026} / July / 22};
    return day.time_since_epoch().count() * 86400LL + 15 * 3600 + 30 * 60;
}

class Episode {
public:
    Episode(const fs::path& source, const std::vector<std::string>& pool) : source_(source), pool_(pool) {}

    // Runs the actions from empty panels on a fresh copy of the pool; the
    // first failed check ends the run.
    std::optional<Failure> Run(const std::vector<Action>& actions)
    {
        std::vector<Action> copy = actions;
        std::mt19937 unused;  // every action is given: none is chosen
        return Play(copy, unused, actions.size());
    }

    // Chooses `length` actions one at a time from the model's state as it
    // is after the actions before, runs them and keeps them in `actions`.
    std::optional<Failure> RunChosen(std::mt19937& rng, std::size_t length, std::vector<Action>& actions)
    {
        return Play(actions, rng, length);
    }

    // The next action, chosen from the model's state.
    static Action Choose(std::mt19937& rng, const MPanel panels[2])
    {
        const int panel = 1 + static_cast<int>(rng() % 2);
        const std::size_t all = panels[0].contacts.size() + panels[1].contacts.size();
        struct Weight {
            Act act;
            int weight;
        };
        // Large panels make deleting and starting afresh more likely, so the
        // panels stay at a size the checks after every step can afford.
        const int big = all > 400 ? 8 : all > 200 ? 3 : 1;
        const Weight weights[] = {
            {Act::Load, 4 * big},  {Act::LoadSaved, 4},  {Act::Cancel, 1},      {Act::New, 1 * big},
            {Act::Save, 6},        {Act::Mark, 16},      {Act::Tick, 10},       {Act::Clear, 4},
            {Act::TickMany, 3},    {Act::TickMarked, 6}, {Act::UntickMarked, 3}, {Act::Copy, 8},
            {Act::Move, 5},        {Act::Delete, 4 * big}, {Act::EditName, 3},  {Act::EditFile, 2},
        };
        int total = 0;
        for (const Weight& w : weights)
            total += w.weight;
        int pick = static_cast<int>(rng() % static_cast<std::uint32_t>(total));
        Act act = Act::Mark;
        for (const Weight& w : weights) {
            if (pick < w.weight) {
                act = w.act;
                break;
            }
            pick -= w.weight;
        }
        return {act, panel, static_cast<std::uint32_t>(rng())};
    }

    // What the runs so far exercised, for the closing line.
    struct Tally {
        std::uint64_t actions = 0, loads = 0, failedLoads = 0, savesChecked = 0, transfers = 0;
        std::size_t mostRows = 0;
    };
    const Tally& Counted() const { return tally_; }

private:
    std::optional<Failure> Play(std::vector<Action>& actions, std::mt19937& rng, std::size_t length)
    {
        nwtest::TempDir work;
        dir_ = work.path();
        for (const std::string& name : pool_)
            if (fs::exists(source_ / name))
                fs::copy_file(source_ / name, dir_ / name);
        // An empty Datei field saves to "_NEU.xml" in the current directory:
        // the episode's own, while it runs.
        struct Chdir {
            fs::path before = fs::current_path();
            explicit Chdir(const fs::path& to) { fs::current_path(to); }
            ~Chdir() { fs::current_path(before); }
        } chdir(dir_);
        Reset();
        for (std::size_t i = 0; i < length; ++i) {
            if (i >= actions.size())
                actions.push_back(Choose(rng, model_));
            error_.clear();
            ++tally_.actions;
            Apply(actions[i]);
            tally_.mostRows = std::max({tally_.mostRows, model_[0].contacts.size(), model_[1].contacts.size()});
            if (error_.empty())
                CheckAll();
            if (!error_.empty()) {
                actions.resize(i + 1);
                return Failure{i, error_};
            }
        }
        return std::nullopt;
    }

    MPanel& M(int panel) { return model_[panel - 1]; }
    static int Other(int panel) { return panel == 1 ? 2 : 1; }
    static int List(int panel) { return PanelWidgetNumber(panel, ContactListWidget); }
    static std::u16string Suffix(int panel) { return panel == 1 ? u" (1)" : u" (2)"; }
    std::u16string DirText() const { return pbtest::PathText(dir_) + u"/"; }

    void Fail(const std::string& message)
    {
        if (error_.empty())
            error_ = message;
    }

    void Reset()
    {
        PhonebookInit();
        SetClock([] { return StampDate(); });
        for (int panel = 1; panel <= 2; ++panel) {
            ui::ClearItems(List(panel));
            ui::SetText(PanelWidgetNumber(panel, NameFieldWidget), u"");
            ui::SetText(PanelWidgetNumber(panel, FileFieldWidget), u"");
            ui::SetText(PanelWidgetNumber(panel, CountLabelWidget), u" Anz.: 0");
            RememberedDirectory(panel) = DirText();
            M(panel) = MPanel{};
            M(panel).directory = DirText();
        }
        Pump();
        ui::ClearRecordedMessages();
        expected_.clear();
    }

    // Lets Qt deliver what the last action queued, as the event loop would
    // between two clicks.
    static void Pump()
    {
        for (int i = 0; i < 100 && ui::PollEvent() != ui::Event::None; ++i) {
        }
    }

    void Apply(const Action& a)
    {
        const int p = a.panel;
        MPanel& m = M(p);
        const int list = List(p);
        const int rows = static_cast<int>(m.contacts.size());
        switch (a.act) {
        case Act::Load:
            Load(p, dir_ / pool_[a.arg % pool_.size()]);
            break;
        case Act::LoadSaved:
            Load(p, fs::path(U8(M(Other(p)).fileField + u"_NEU.xml")));
            break;
        case Act::Cancel: {
            const std::size_t dialogs = ui::RecordedFileDialogs().size();
            ui::SetNextOpenFileAnswer(u"");
            LoadPhonebook(p);
            if (ui::RecordedFileDialogs().size() != dialogs + 1)
                Fail("the load asked no file");
            break;
        }
        case Act::New: {
            NewPhonebook(p);
            const std::u16string name = u"Neu_2607221530";
            m.frame.clear();
            m.contacts.clear();
            m.frame.push_back({u"0" + Suffix(p), 0, u"phonebooks", {}, u""});
            m.frame.push_back({u"1" + Suffix(p), 1, u"phonebook", {{u"owner", u"1"}, {u"name", name}}, u""});
            m.nameField = name;
            m.fileField = m.directory + name + u".xml";
            break;
        }
        case Act::Save:
            Save(p);
            break;
        case Act::Mark:
        case Act::Tick:
        case Act::Clear: {
            if (rows == 0)
                break;
            const int row = static_cast<int>(a.arg % static_cast<std::uint32_t>(rows));
            const int flags = a.act == Act::Mark ? ((a.arg >> 16) & 1 ? 3 : 1) : a.act == Act::Tick ? 2 : 0;
            ui::SetItemState(list, row, flags);
            m.contacts[static_cast<std::size_t>(row)].marked = flags & 1;
            m.contacts[static_cast<std::size_t>(row)].ticked = flags & 2;
            break;
        }
        case Act::TickMany: {
            std::mt19937 pick(a.arg);
            for (int row = 0; row < rows; ++row) {
                if (pick() % 3 == 0) {
                    ui::SetItemState(list, row, ui::RowTicked);
                    m.contacts[static_cast<std::size_t>(row)].marked = false;
                    m.contacts[static_cast<std::size_t>(row)].ticked = true;
                }
            }
            break;
        }
        case Act::TickMarked:
        case Act::UntickMarked:
            if (a.act == Act::TickMarked)
                TickMarkedRows(p);
            else
                UntickMarkedRows(p);
            for (MContact& c : m.contacts) {
                if (c.marked) {
                    c.marked = false;
                    c.ticked = a.act == Act::TickMarked;
                }
            }
            break;
        case Act::Copy:
        case Act::Move: {
            if (a.act == Act::Copy)
                CopyContacts(p);
            else
                MoveContacts(p);
            for (const MContact& c : m.contacts)
                tally_.transfers += c.ticked;
            MPanel& t = M(Other(p));
            std::vector<MContact> kept;
            for (MContact& c : m.contacts) {
                if (!c.ticked) {
                    kept.push_back(c);
                    continue;
                }
                MContact copy = c;
                copy.marked = copy.ticked = false;
                copy.transferred = true;
                t.contacts.push_back(copy);
                c.marked = c.ticked = false;
                if (a.act == Act::Copy)
                    kept.push_back(c);
            }
            m.contacts = std::move(kept);
            break;
        }
        case Act::Delete: {
            DeleteContacts(p);
            std::vector<MContact> kept;
            for (MContact& c : m.contacts)
                if (!c.ticked)
                    kept.push_back(c);
            m.contacts = std::move(kept);
            break;
        }
        case Act::EditName:
            m.nameField = NamePool()[a.arg % NamePool().size()];
            ui::SetText(PanelWidgetNumber(p, NameFieldWidget), m.nameField);
            break;
        case Act::EditFile:
            m.fileField = DirText() + u"datei" + Number(a.arg % 4) + u".xml";
            ui::SetText(PanelWidgetNumber(p, FileFieldWidget), m.fileField);
            break;
        }
        Pump();
    }

    void Load(int p, const fs::path& file)
    {
        MPanel& m = M(p);
        const std::u16string path = pbtest::PathText(file);
        const MLoad load = ModelLoad(file, Suffix(p));

        ui::SetNextOpenFileAnswer(path);
        LoadPhonebook(p);

        const auto& dialogs = ui::RecordedFileDialogs();
        if (dialogs.empty() || dialogs.back().initialPath != m.directory ||
            dialogs.back().title != u"Telefonbuch auswählen:")
            Fail("the open-file dialog did not start in the remembered directory");

        m.directory = DirPart(path);
        m.fileField = path;
        m.nameField = load.phonebookName;
        ++tally_.loads;
        if (!load.opened) {
            ++tally_.failedLoads;
            expected_.push_back({u"Fehlermeldung", ui::Icon::Error,
                                 u"  Das Telefonbuch kann nicht geöffnet werden.    \n\n  Datei:  " + FileOf(path) +
                                     u"    \n\n  Pfad:   " + DirPart(path) + u"    ",
                                 u""});
            SplitIntoContacts({}, m);
            return;
        }
        if (!load.wellFormed) {
            Fail("a file of the pool or a saved file is not well-formed: " + file.string());
            return;
        }
        const std::size_t single = std::min<std::size_t>(load.ignored.size(), 10);
        for (std::size_t i = 0; i < single; ++i)
            expected_.push_back({u"Information", ui::Icon::Information,
                                 u"  Ein XML-Knoten '" + load.ignored[i] +
                                     u"' wurde gefunden.\n  Dieser wird noch nicht verarbeitet und ignoriert.    \n"
                                     u"  Bitte beachten !",
                                 u""});
        if (load.ignored.size() > single)
            expected_.push_back({u"Information", ui::Icon::Information, u"",
                                 u" " + Number(static_cast<long long>(load.ignored.size() - single)) + u" "});
        SplitIntoContacts(load.records, m);
    }

    void Save(int p)
    {
        MPanel& m = M(p);
        const std::u16string target = m.fileField + u"_NEU.xml";
        const fs::path file(U8(target));
        const bool tooLong = U8(FileOf(target)).size() > 255;
        std::error_code ec;
        const auto before = fs::exists(file, ec) ? nwtest::ReadFileBytes(file) : std::string();

        SavePhonebook(p);

        if (tooLong) {
            expected_.push_back({u"Fehlermeldung", ui::Icon::Error, u"", u"kann nicht gespeichert werden"});
            if (fs::exists(file, ec) && nwtest::ReadFileBytes(file) != before)
                Fail("a failed save changed the file");
            return;
        }
        CheckSavedFile(m, file);
        ++tally_.savesChecked;
    }

    // The saved file holds the panel's records in order (after the frame of a
    // new phonebook when they do not begin with a record that stood at the
    // top of a file), every "phonebook" named as the Name field says, loads
    // into the panel's rows, and every contact's records nest among
    // themselves as they did.
    void CheckSavedFile(const MPanel& m, const fs::path& file)
    {
        const MLoad saved = ModelLoad(file, u" (x)");
        if (!saved.opened || !saved.wellFormed)
            return Fail("the saved file " + file.string() + " does not load");
        std::vector<MRecord> want = AllRecords(m);
        const bool transferredFirst = m.frame.empty() && !m.contacts.empty() && m.contacts.front().transferred;
        if (want.empty() || (want.front().name != u"phonebooks" && (want.front().depth > 0 || transferredFirst))) {
            std::vector<MRecord> frame = {{u"", 0, u"phonebooks", {}, u""},
                                          {u"", 1, u"phonebook", {{u"owner", u"1"}, {u"name", u""}}, u""}};
            want.insert(want.begin(), frame.begin(), frame.end());
        }
        const std::vector<MRecord>& got = saved.records;
        if (got.size() != want.size())
            return Fail("the saved file has " + std::to_string(got.size()) + " elements, the panel " +
                        std::to_string(want.size()) + " records");
        for (std::size_t i = 0; i < want.size(); ++i) {
            Pairs attrs = want[i].attributes;
            for (auto& [name, value] : attrs)
                if (want[i].name == u"phonebook" && name == u"name")
                    value = m.nameField;
            if (got[i].name != want[i].name || got[i].attributes != attrs)
                return Fail("saved element " + std::to_string(i) + " is <" + U8(got[i].name) + " " +
                            U8(AttributeText(got[i].attributes)) + ">, the record <" + U8(want[i].name) + " " +
                            U8(AttributeText(attrs)) + ">");
            if (Words(got[i].text) != Words(want[i].text))
                return Fail("saved element " + std::to_string(i) + " <" + U8(got[i].name) + "> has the text [" +
                            U8(got[i].text) + "], the record [" + U8(want[i].text) + "]");
        }
        if (ParentsWithinContacts(got) != ParentsWithinContacts(want))
            return Fail("a contact's records nest otherwise in the saved file");
        MPanel reloaded;
        SplitIntoContacts(got, reloaded);
        if (reloaded.contacts.size() != m.contacts.size())
            return Fail("the saved file loads into " + std::to_string(reloaded.contacts.size()) + " rows, not " +
                        std::to_string(m.contacts.size()));
        for (std::size_t i = 0; i < m.contacts.size(); ++i) {
            const MContact& a = m.contacts[i];
            const MContact& b = reloaded.contacts[i];
            if (a.id != b.id || a.name != b.name || a.telefon != b.telefon)
                return Fail("row " + std::to_string(i) + " of the saved file reads [" + U8(b.id) + "|" +
                            U8(b.name) + "|" + U8(b.telefon) + "], the panel shows [" + U8(a.id) + "|" +
                            U8(a.name) + "|" + U8(a.telefon) + "]");
        }
        bool named = false;
        for (const MRecord& r : want)
            for (const auto& [name, value] : r.attributes)
                named = named || (r.name == u"phonebook" && name == u"name");
        if (named && saved.phonebookName != m.nameField)
            Fail("the saved phonebook is named [" + U8(saved.phonebookName) + "], the Name field says [" +
                 U8(m.nameField) + "]");
    }

    // Blanks and tabs at both ends dropped and inner runs made one blank: an
    // element whose nesting a save changes gets its indentation laid out
    // anew, the words stay.
    static std::u16string Words(const std::u16string& s)
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

    void CheckAll()
    {
        for (int p = 1; p <= 2 && error_.empty(); ++p)
            CheckPanel(p);
        if (!error_.empty())
            return;
        const auto& got = ui::RecordedMessages();
        bool same = got.size() == expected_.size();
        for (std::size_t i = 0; same && i < got.size(); ++i) {
            const MMessage& e = expected_[i];
            same = got[i].title == e.title && got[i].icon == e.icon &&
                   (e.text.empty() ? got[i].text.find(e.contains) != std::u16string::npos : got[i].text == e.text);
        }
        if (!same) {
            std::string list;
            for (const auto& g : got)
                list += "\n   [" + U8(g.title) + "] " + U8(g.text);
            Fail("message boxes differ: expected " + std::to_string(expected_.size()) + ", shown " +
                 std::to_string(got.size()) + ":" + list);
        }
        ui::ClearRecordedMessages();
        expected_.clear();
    }

    void CheckPanel(int p)
    {
        const MPanel& m = M(p);
        const int list = List(p);
        const std::string where = "panel " + std::to_string(p) + ": ";
        const int n = ui::CountItems(list);
        if (n != static_cast<int>(m.contacts.size()))
            return Fail(where + std::to_string(n) + " rows, the model has " + std::to_string(m.contacts.size()));
        if (ui::GetText(PanelWidgetNumber(p, CountLabelWidget)) != u" Anz.: " + Number(n))
            return Fail(where + "count label [" + U8(ui::GetText(PanelWidgetNumber(p, CountLabelWidget))) + "]");
        if (ui::GetText(PanelWidgetNumber(p, NameFieldWidget)) != m.nameField)
            return Fail(where + "Name field [" + U8(ui::GetText(PanelWidgetNumber(p, NameFieldWidget))) +
                        "], the model has [" + U8(m.nameField) + "]");
        if (ui::GetText(PanelWidgetNumber(p, FileFieldWidget)) != m.fileField)
            return Fail(where + "Datei field [" + U8(ui::GetText(PanelWidgetNumber(p, FileFieldWidget))) + "]");
        if (RememberedDirectory(p) != m.directory)
            return Fail(where + "remembered directory [" + U8(RememberedDirectory(p)) + "]");

        // Rows: texts and states.
        for (int i = 0; i < n; ++i) {
            const MContact& c = m.contacts[static_cast<std::size_t>(i)];
            const std::u16string cells[] = {ui::GetItemText(list, i, 1), ui::GetItemText(list, i, 2),
                                            ui::GetItemText(list, i, 3), ui::GetItemText(list, i, 4)};
            if (cells[0] != c.nr || cells[1] != c.id || cells[2] != c.name || cells[3] != c.telefon ||
                !ui::GetItemText(list, i, 0).empty())
                return Fail(where + "row " + std::to_string(i) + " reads [" + U8(cells[0]) + "|" + U8(cells[1]) +
                            "|" + U8(cells[2]) + "|" + U8(cells[3]) + "], the model has [" + U8(c.nr) + "|" +
                            U8(c.id) + "|" + U8(c.name) + "|" + U8(c.telefon) + "]");
            const int state = ui::GetItemState(list, i);
            const int want = (c.marked ? ui::RowSelected : 0) | (c.ticked ? ui::RowTicked : 0);
            if (state != want)
                return Fail(where + "row " + std::to_string(i) + " has the state " + std::to_string(state) +
                            ", the model " + std::to_string(want));
        }

        // Records, field by field.
        const std::vector<MRecord> want = AllRecords(m);
        const RecordList& records = Panel(p).records;
        if (records.Size() != want.size())
            return Fail(where + std::to_string(records.Size()) + " records, the model has " +
                        std::to_string(want.size()));
        std::size_t i = 0;
        std::vector<const RecordList::Node*> contactNodes;
        for (const RecordList::Node* node = records.FirstNode(); node; node = node->next, ++i) {
            const NodeRecord& r = node->record;
            const MRecord& w = want[i];
            if (r.nr != w.nr || r.depth != w.depth || r.name != w.name || r.text != w.text ||
                r.attributes != AttributeText(w.attributes))
                return Fail(where + "record " + std::to_string(i) + " is {" + U8(r.nr) + ", " +
                            std::to_string(r.depth) + ", " + U8(r.name) + ", " + U8(r.attributes) + ", [" +
                            U8(r.text) + "]}, the model has {" + U8(w.nr) + ", " + std::to_string(w.depth) + ", " +
                            U8(w.name) + ", " + U8(AttributeText(w.attributes)) + ", [" + U8(w.text) + "]}");
            if (r.name == u"contact")
                contactNodes.push_back(node);
        }

        // Every row's key leads through the panel's index to its own contact.
        const PhonebookPanel& panel = Panel(p);
        if (panel.contactByKey.size() != static_cast<std::size_t>(n) || contactNodes.size() != m.contacts.size())
            return Fail(where + "the key index holds " + std::to_string(panel.contactByKey.size()) +
                        " entries for " + std::to_string(n) + " rows");
        std::set<std::uint64_t> keys;
        for (int row = 0; row < n; ++row) {
            const std::uint64_t key = ui::GetItemKey(list, row);
            if (key == 0 || !keys.insert(key).second)
                return Fail(where + "row " + std::to_string(row) + " has no key of its own");
            const auto found = panel.contactByKey.find(key);
            if (found == panel.contactByKey.end() || found->second != contactNodes[static_cast<std::size_t>(row)])
                return Fail(where + "the key of row " + std::to_string(row) + " does not lead to its contact");
        }
        if (!PanelRowsInStep(p))
            Fail(where + "the panel finds its rows out of step");
    }

    fs::path source_;
    std::vector<std::string> pool_;
    fs::path dir_;
    MPanel model_[2];
    std::vector<MMessage> expected_;
    std::string error_;
    Tally tally_;
};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    return std::strtoull(text, nullptr, 10);
}

// Removes actions as long as the run still fails: halves, quarters, ... down
// to single actions, each try from empty panels.
std::vector<Action> Shrink(Episode& episode, std::vector<Action> actions, Failure& failure)
{
    actions.resize(failure.step + 1);
    int budget = 400;
    for (std::size_t chunk = std::max<std::size_t>(actions.size() / 2, 1); chunk >= 1 && budget > 0; chunk /= 2) {
        for (std::size_t start = 0; start < actions.size() && budget > 0;) {
            std::vector<Action> fewer = actions;
            fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(start),
                        fewer.begin() + static_cast<std::ptrdiff_t>(std::min(start + chunk, fewer.size())));
            --budget;
            if (auto f = episode.Run(fewer)) {
                fewer.resize(f->step + 1);
                actions = std::move(fewer);
                failure = *f;
            } else {
                start += chunk;
            }
        }
        if (chunk == 1)
            break;
    }
    return actions;
}

class PhonebookRandom : public pbtest::PanelTest {};

TEST_F(PhonebookRandom, ActionSequencesKeepRowsRecordsAndFilesInStepWithTheModel)
{
    const std::uint64_t total = EnvNumber("NW_RANDOM_OPS", 3000);
    const std::uint64_t seed = EnvNumber("NW_RANDOM_SEED", 20260722);
    constexpr std::uint64_t EpisodeLength = 5000;

    // The pool: generated phonebooks of every shape, the real router exports
    // when they are there, an empty file and a name without a file.
    nwtest::TempDir source;
    std::vector<std::string> pool;
    Generator generator(static_cast<std::uint32_t>(seed));
    for (int i = 0; i < 27; ++i) {
        const std::string name = "gen" + std::to_string(i) + ".xml";
        nwtest::WriteFileBytes(source / name, generator.Phonebook(i));
        pool.push_back(name);
    }
    const fs::path real = nwtest::SharedTestData() / "real";
    std::error_code ec;
    int realFiles = 0;
    for (const auto& entry : fs::directory_iterator(real, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".xml" || name.find("_Formatiert") != std::string::npos ||
            name.find("_NEU") != std::string::npos)
            continue;
        fs::copy_file(entry.path(), source / name);
        pool.push_back(name);
        ++realFiles;
    }
    if (realFiles == 0)
        std::cout << "[ INFO     ] no real phonebooks in " << real << "; generated ones only\n";
    nwtest::WriteFileBytes(source / "leer.xml", "");
    pool.push_back("leer.xml");
    pool.push_back("fehlt.xml");

    Episode episode(source.path(), pool);
    std::uint64_t done = 0;
    for (std::uint64_t number = 0; done < total; ++number) {
        const std::uint64_t length = std::min(EpisodeLength, total - done);
        std::mt19937 rng(static_cast<std::uint32_t>(seed * 1000003u + number));
        // Both panels start with a phonebook of the pool.
        std::vector<Action> actions = {{Act::Load, 1, static_cast<std::uint32_t>(rng())},
                                       {Act::Load, 2, static_cast<std::uint32_t>(rng())}};
        auto failure = episode.RunChosen(rng, length, actions);
        done += length;
        if (!failure)
            continue;
        const std::size_t firstStep = failure->step;
        const std::vector<Action> shortest = Shrink(episode, actions, *failure);
        std::ostringstream os;
        os << "seed " << seed << ", episode " << number << ": step " << firstStep << " of " << actions.size()
           << " failed; the shortest failing list of " << shortest.size() << " actions:\n";
        for (const Action& a : shortest)
            os << "  " << Describe(a, pool) << "\n";
        os << "fails with: " << failure->message;
        ADD_FAILURE() << os.str();
        return;
    }
    const auto& t = episode.Counted();
    std::cout << "[ INFO     ] " << done << " actions, seed " << seed << ": " << t.loads << " loads (" << t.failedLoads
              << " failing as they should), " << t.savesChecked << " saved files checked, " << t.transfers
              << " contacts copied or moved, up to " << t.mostRows << " rows in a panel\n";
}

}  // namespace

namespace {

// Found by the sequences above: a contact that comes to stand after another
// contact's element with text (a "number" after the last contact), because
// the contact between them was deleted or because it was copied in from a
// file whose contacts stand deeper, must not be saved inside that element:
// the text would come back with blanks around it.
struct AdjacencyCase {
    const char* name;
    const char* left;   // loaded into panel 1
    const char* right;  // loaded into panel 2
    int panel;          // the panel whose row is ticked
    int row;
    bool copy;          // copy to the other panel, else delete
    int saved;          // the panel saved and loaded again
    std::vector<pbtest::Row> rows;  // its rows after that load (Nr. not compared)
};

void PrintTo(const AdjacencyCase& c, std::ostream* os)
{
    *os << c.name;
}

class PhonebookAdjacency : public pbtest::PanelTest, public ::testing::WithParamInterface<AdjacencyCase> {};

TEST_P(PhonebookAdjacency, SavedFileKeepsEveryText)
{
    const AdjacencyCase& c = GetParam();
    LoadText(1, "links.xml", c.left);
    LoadText(2, "rechts.xml", c.right);
    ui::SetItemState(List(c.panel), c.row, ui::RowTicked);
    if (c.copy)
        CopyContacts(c.panel);
    else
        DeleteContacts(c.panel);
    ui::SetText(PanelWidgetNumber(c.saved, FileFieldWidget), pbtest::PathText(dir / "neu.xml"));
    SavePhonebook(c.saved);
    Load(c.saved == 1 ? 2 : 1, dir / "neu.xml_NEU.xml");
    auto rows = Rows(c.saved == 1 ? 2 : 1);
    for (auto& r : rows)
        r.nr.clear();
    EXPECT_EQ(rows, c.rows);
    EXPECT_TRUE(Messages().empty());
}

const char* const kTrailingNumber =
    "<phonebooks><phonebook name=\"n\">"
    "<contact><realName>W</realName></contact><number>0000</number>"
    "<contact><realName>X</realName></contact>"
    "<group><contact><realName>Y</realName><number>1</number></contact></group>"
    "</phonebook></phonebooks>";
const char* const kDeepContact =
    "<phonebooks><phonebook name=\"d\"><group>"
    "<contact><realName>Tief</realName><uniqueid>9</uniqueid></contact>"
    "</group></phonebook></phonebooks>";
const char* const kContactFile = "<contact><realName>Solo</realName><uniqueid>400</uniqueid></contact>";

const AdjacencyCase kAdjacencyCases[] = {
    {"DeletedContactBetween", kTrailingNumber, kDeepContact, 1, 1, false, 1,
     {{"", "", "W", "0000"}, {"", "", "Y", "1"}}},
    {"DeeperContactCopiedIn", kTrailingNumber, kDeepContact, 2, 0, true, 1,
     {{"", "", "W", "0000"}, {"", "", "X", ""}, {"", "", "Y", "1"}, {"", "9", "Tief", ""}}},
    {"ContactCopiedIntoASingleContactFile", kContactFile, kDeepContact, 2, 0, true, 1,
     {{"", "400", "Solo", ""}, {"", "9", "Tief", ""}}},
};

INSTANTIATE_TEST_SUITE_P(Robust, PhonebookAdjacency, ::testing::ValuesIn(kAdjacencyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
