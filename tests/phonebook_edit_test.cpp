// Editing, adding and finding contacts in a panel, with the contact dialog
// answered through its seam.
#include "contacts/contact.h"
#include "contacts_books.h"
#include "phonebook/edit.h"
#include "phonebook_fixture.h"

#include <QAbstractItemModel>
#include <QTableView>

#include <ctime>
#include <functional>

#include "ui/qt_access.h"

using nwtest::Changes;
using nwtest::Lines;
using nwtest::RunsText;
using nwtest::U16;
using nwtest::U8;
using pbtest::Row;

namespace {

using Form = ui::ContactForm;

// Umlauts, formatted numbers, unknown elements and a contact of each shape.
const char* const Book =
    "<phonebooks><phonebook owner=\"1\" name=\"Büro\">"
    "<contact><category>0</category><person><realName>Jürgen Müller</realName></person>"
    "<telephony nid=\"2\"><number type=\"home\" prio=\"1\" id=\"0\" quickdial=\"12\">030 / 123 45-67</number>"
    "<number type=\"mobile\" prio=\"0\" id=\"1\" vanity=\"JUERGEN\">+49 171 9876543</number></telephony>"
    "<services nid=\"1\"><email classifier=\"private\" id=\"0\">j@example.org</email></services>"
    "<setup><ringTone>3</ringTone></setup><mod_time>1700000000</mod_time><uniqueid>7</uniqueid>"
    "<carddav_uid>abc</carddav_uid></contact>"
    "<contact><category>1</category><person><realName>ANNA Özdemir</realName></person>"
    "<telephony nid=\"1\"><number type=\"work\" prio=\"1\" id=\"0\" quickdial=\"13\">0211 55 66 77</number>"
    "</telephony><uniqueid>12</uniqueid></contact>"
    "<contact><person><realName>Straßen Verein</realName></person>"
    "<telephony><number type=\"fax_work\">+49 (89) 1000-200</number></telephony><uniqueid>3</uniqueid></contact>"
    "</phonebook></phonebooks>";

class PhonebookEdit : public pbtest::PanelTest {
protected:
    // The dialog for row `row` of panel 1, answered with the form shown as
    // change makes it (nothing: "Abbrechen"); the dialog as recorded.
    ui::RecordedContactDialog EditRow(int row, const std::function<void(Form&)>& change)
    {
        const std::size_t before = ui::RecordedContactDialogs().size();
        EXPECT_LT(row, ui::CountItems(List(1)));
        // The first answer is what the dialog shows: ask once to see it.
        ui::SetNextContactFormCancel();
        ui::SetItemState(List(1), row, ui::RowSelected);
        EditMarkedContact(1);
        EXPECT_EQ(ui::RecordedContactDialogs().size(), before + 1);
        Form form = ui::RecordedContactDialogs().back().shown;
        if (change) {
            change(form);
            ui::SetNextContactFormAnswer(form);
        } else {
            ui::SetNextContactFormCancel();
        }
        EditMarkedContact(1);
        ui::SetItemState(List(1), row, 0);
        return ui::RecordedContactDialogs().back();
    }
    static RecordList::Node* ContactOfRow(int panel, int row)
    {
        return Panel(panel).contactByKey.at(ui::GetItemKey(List(panel), row));
    }
    static std::vector<std::string> Errors(const ui::RecordedContactDialog& d)
    {
        std::vector<std::string> out;
        for (const ui::FormMessage& m : d.messages)
            if (m.error)
                out.push_back(std::to_string(static_cast<int>(m.field)) + ":" + std::to_string(m.index));
        return out;
    }
};

TEST_F(PhonebookEdit, FormShowsTheContactAndUnchangedOkChangesNothingInAnyBook)
{
    LoadText(1, "b.xml", Book);
    const Form shown = EditRow(0, [](Form&) {}).shown;
    EXPECT_EQ(U8(shown.name), "Jürgen Müller");
    ASSERT_EQ(shown.numbers.size(), 2u);
    EXPECT_EQ(U8(shown.numberTypes[static_cast<std::size_t>(shown.numbers[1].type)]), "Mobil");
    EXPECT_TRUE(shown.numbers[0].main);
    EXPECT_EQ(U8(shown.numbers[0].quickdial), "12");
    EXPECT_EQ(U8(shown.numbers[1].vanity), "JUERGEN");
    ASSERT_EQ(shown.emails.size(), 1u);
    EXPECT_EQ(U8(shown.emailKinds[static_cast<std::size_t>(shown.emails[0].kind)]), "Privat");

    // Every contact of the example books, answered as shown: no record
    // changes, the panel stays unchanged.
    // Loaded from copies: loading writes a tidied copy beside the file.
    for (const auto& entry : std::filesystem::directory_iterator(NW_EXAMPLES_DIR)) {
        const std::filesystem::path copy = dir / entry.path().filename().string();
        std::filesystem::copy_file(entry.path(), copy);
        Load(1, copy);
        const std::string before = RunsText(Panel(1).records);
        for (int row = 0; row < ui::CountItems(List(1)); ++row)
            EXPECT_TRUE(EditRow(row, [](Form&) {}).accepted) << entry.path() << " row " << row;
        EXPECT_EQ(RunsText(Panel(1).records), before) << entry.path();
        EXPECT_FALSE(Panel(1).changed);
    }
}

TEST_F(PhonebookEdit, OkWritesEveryFieldBackAndKeepsTheRestInPlace)
{
    struct Case {
        const char* what;
        std::function<void(Form&)> change;
        std::string changes;  // as Changes describes them
    };
    const Case cases[] = {
        {"name and VIP", [](Form& f) { f.name = u"Jürgen Müller-Lang"; f.vip = true; },
         "~1 .category=1 ~3 ..realName=Jürgen Müller-Lang "},
        {"number text, type, quick-dial, vanity",
         [](Form& f) {
             f.numbers[1].text = u"0172 1";
             f.numbers[1].type = 2;
             f.numbers[1].quickdial = u"20";
             f.numbers[1].vanity = u"";
         },
         "~6 ..number type=\"work\"|quickdial=\"20\"|prio=\"0\"|id=\"1\"|vanity=\"\"|=0172 1 "},
        {"main number moves",
         [](Form& f) { f.numbers[0].main = false; f.numbers[1].main = true; },
         "~5 ..number type=\"home\"|prio=\"0\"|id=\"0\"|quickdial=\"12\"|=030 / 123 45-67 "
         "~6 ..number type=\"mobile\"|prio=\"1\"|id=\"1\"|vanity=\"JUERGEN\"|=+49 171 9876543 "},
        {"number removed, address added",
         [](Form& f) {
             f.numbers.erase(f.numbers.begin());
             f.emails.push_back({u"w@example.org", 1, -1});
         },
         "~4 .telephony nid=\"1\"| ~6 .services nid=\"2\"| +8 ..email classifier=\"work\"|id=\"1\"|=w@example.org "
         "-5 ..number type=\"home\"|prio=\"1\"|id=\"0\"|quickdial=\"12\"|=030 / 123 45-67 "},
        {"numbers swapped, one added",
         [](Form& f) {
             std::swap(f.numbers[0], f.numbers[1]);
             f.numbers.push_back({u"**9", 6, false, u"", u"", -1});
         },
         "~4 .telephony nid=\"3\"| ^6 ..number type=\"home\"|prio=\"1\"|id=\"0\"|quickdial=\"12\"|=030 / 123 45-67 "
         "+7 ..number type=\"other\"|prio=\"0\"|id=\"2\"|=**9 "},
    };
    for (const Case& c : cases) {
        LoadText(1, "b.xml", Book);
        RecordList::Node* contact = ContactOfRow(1, 0);
        const auto before = Lines(contact);
        const std::int64_t start = std::time(nullptr);
        EXPECT_TRUE(EditRow(0, c.change).accepted) << c.what;
        // mod_time is the time of the edit; the rest is what the form says.
        std::string changes = Changes(before, contact);
        const std::size_t modTime = changes.find(".mod_time=");
        ASSERT_NE(modTime, std::string::npos) << c.what;
        const std::size_t end = changes.find(' ', modTime);
        const long long written = std::stoll(changes.substr(modTime + 10, end - modTime - 10));
        EXPECT_GE(written, start);
        EXPECT_LE(written, std::time(nullptr));
        changes.erase(changes.rfind('~', modTime), end + 1 - changes.rfind('~', modTime));
        EXPECT_EQ(changes, c.changes) << c.what;
        EXPECT_TRUE(Panel(1).changed) << c.what;
        EXPECT_TRUE(PanelRowsInStep(1));
        EXPECT_EQ(Rows(1)[0].name, U8(ReadContact(contact).name));
    }
    const Row edited = Rows(1)[0];
    EXPECT_EQ(edited.telefon, "+49 171 9876543  #  030 / 123 45-67  #  **9");
}

TEST_F(PhonebookEdit, ErrorsStandBesideTheirFieldAndRefuseOk)
{
    struct Case {
        const char* what;
        std::function<void(Form&)> change;
        std::vector<std::string> errors;  // field:index
    };
    const Case cases[] = {
        {"quick-dial of another contact", [](Form& f) { f.numbers[1].quickdial = u"13"; }, {"2:1"}},
        {"quick-dial twice in the contact", [](Form& f) { f.numbers[1].quickdial = u"12"; }, {"2:1"}},
        {"vanity of another number", [](Form& f) { f.numbers[0].vanity = u"JUERGEN"; }, {"2:1"}},
        {"control character in a number", [](Form& f) { f.numbers[1].text = u"0171\x01"; }, {"2:1"}},
        {"control character in the name", [](Form& f) { f.name = u"A\x1b"; }, {"1:0"}},
        {"control character in an address", [](Form& f) { f.emails[0].text = u"a\x02@b"; }, {"3:0"}},
        {"ten numbers",
         [](Form& f) {
             while (f.numbers.size() < 10)
                 f.numbers.push_back({U16(std::to_string(f.numbers.size())), 0, false, u"", u"", -1});
         },
         {"0:0"}},
        {"warnings only: no name, empty number",
         [](Form& f) {
             f.name = u"";
             f.numbers[1].text = u" ";
         },
         {}},
    };
    for (const Case& c : cases) {
        LoadText(1, "b.xml", Book);
        const std::string before = RunsText(Panel(1).records);
        const ui::RecordedContactDialog d = EditRow(0, c.change);
        EXPECT_EQ(Errors(d), c.errors) << c.what;
        EXPECT_EQ(d.accepted, c.errors.empty()) << c.what;
        EXPECT_EQ(RunsText(Panel(1).records) != before, c.errors.empty()) << c.what;
        EXPECT_EQ(Panel(1).changed, c.errors.empty()) << c.what;
    }
    // "Abbrechen" leaves everything as it was.
    LoadText(1, "b.xml", Book);
    const std::string before = RunsText(Panel(1).records);
    EXPECT_FALSE(EditRow(0, nullptr).accepted);
    EXPECT_EQ(RunsText(Panel(1).records), before);
    EXPECT_FALSE(Panel(1).changed);
}

TEST_F(PhonebookEdit, NewContactIsAppendedInTheRoutersShape)
{
    const Form answer{u"Neu Kontakt", true, {{u"0301", 1, true, u"", u"", -1}}, {{u"n@k.de", 0, -1}}, {}, {}, 9};
    for (const bool loaded : {true, false}) {
        RememberedDirectory(2) = pbtest::PathText(dir.path()) + u"/";
        if (loaded)
            LoadText(2, "b.xml", Book);
        ui::SetNextContactFormAnswer(answer);
        NewContact(2);
        EXPECT_TRUE(ui::RecordedContactDialogs().back().accepted);
        const int last = ui::CountItems(List(2)) - 1;
        ASSERT_EQ(last, loaded ? 3 : 0);
        EXPECT_EQ(Rows(2)[static_cast<std::size_t>(last)],
                  (Row{U8(ui::GetItemText(List(2), last, 1)), loaded ? "13" : "1", "Neu Kontakt", "0301"}));
        EXPECT_TRUE(Panel(2).changed);
        EXPECT_TRUE(PanelRowsInStep(2));
        EXPECT_EQ(Count(2), " Anz.: " + std::to_string(last + 1));
        std::string shape;
        for (const auto& [nr, line] : Lines(ContactOfRow(2, last)))
            shape += line.substr(0, line.find_first_of(" =")) + " ";
        EXPECT_EQ(shape, "contact .category .person ..realName .telephony ..number .services ..email .setup "
                         ".mod_time .uniqueid ");
        // Saved and loaded again, it is a contact like any other.
        SavePhonebook(2);
        Load(1, U8(Text(2, FileFieldWidget)) + "_NEU.xml");
        EXPECT_EQ(Rows(1).back().name, "Neu Kontakt");
        EXPECT_EQ(Rows(1).size(), static_cast<std::size_t>(last + 1));
        if (!loaded) {
            EXPECT_EQ(U8(Text(2, NameFieldWidget)).rfind("Neu_", 0), 0u);
        }
        PhonebookInit();
        ui::ClearItems(List(1));
        ui::ClearItems(List(2));
    }
    // Cancelled, a panel without a book stays without one.
    ui::SetNextContactFormCancel();
    NewContact(1);
    EXPECT_TRUE(Panel(1).records.Empty());
    EXPECT_FALSE(Panel(1).changed);
}

TEST_F(PhonebookEdit, FindFiltersByIdNameAndNumberAndKeepsTicks)
{
    LoadText(1, "b.xml", Book);
    const int find = PanelWidgetNumber(1, FindFieldWidget);
    TickRows(1, {0, 2});
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"müller", {"Jürgen Müller"}},
        {"anna öz", {"ANNA Özdemir"}},
        {"ÖZDEMIR", {"ANNA Özdemir"}},
        {"straßenverein", {"Straßen Verein"}},
        {"STRASSEN", {"Straßen Verein"}},
        {"12", {"Jürgen Müller", "ANNA Özdemir"}},  // ID 12, number 030 / 123 45-67
        {"1234567", {"Jürgen Müller"}},
        {"0211/556677", {"ANNA Özdemir"}},
        {"+49 (89) 1000", {"Straßen Verein"}},
        {"891000200", {"Straßen Verein"}},
        {"7", {"Jürgen Müller", "ANNA Özdemir"}},
        {"x", {}},
        {"", {"Jürgen Müller", "ANNA Özdemir", "Straßen Verein"}},
    };
    for (const auto& [query, names] : cases) {
        ui::SetText(find, U16(query));
        FindInPanel(1);
        // The names the view shows.
        const QAbstractItemModel* model = qobject_cast<QTableView*>(ui::qt::WidgetObject(List(1)))->model();
        std::vector<std::string> shown;
        for (int row = 0; row < model->rowCount(); ++row)
            shown.push_back(model->index(row, 3).data().toString().toStdString());
        EXPECT_EQ(shown, names) << query;
        EXPECT_EQ(ui::CountShownRows(List(1)), static_cast<int>(names.size())) << query;
        EXPECT_EQ(U8(Text(1, FindCountWidget)),
                  *query ? std::to_string(names.size()) + " von 3" : std::string()) << query;
        EXPECT_EQ(Count(1), " Anz.: 3");
    }
    // Copy while filtering acts on every ticked row, shown or not.
    ui::SetText(find, u"anna");
    FindInPanel(1);
    LoadText(2, "b.xml", Book);
    CopyContacts(1);
    EXPECT_EQ(ui::CountItems(List(2)), 5);
    EXPECT_EQ(Rows(2)[3].name, "Jürgen Müller");
    EXPECT_EQ(Rows(2)[4].name, "Straßen Verein");
    EXPECT_EQ(U8(Text(1, FindCountWidget)), "1 von 3");
}

}  // namespace
