// Marking, copying, moving and deleting contacts between the two panels.
#include "phonebook_fixture.h"

#include <random>

using nwtest::U16;
using nwtest::U8;
using pbtest::Row;

namespace {

constexpr int Marked = ui::RowSelected;
constexpr int Ticked = ui::RowTicked;

// Four contacts; the second is a single "contact" record, the last is
// followed by a record outside its element that counts for it.
const char* const Left =
    "<phonebooks><phonebook name=\"Links\">"
    "<contact><uniqueid>1</uniqueid><realName>Anna</realName><telephony><number>11</number></telephony></contact>"
    "<contact/>"
    "<contact><uniqueid>3</uniqueid><realName>Carl</realName></contact>"
    "<contact><realName>Dora</realName><number>44</number></contact>"
    "<setup/>"
    "</phonebook></phonebooks>";

const char* const Right =
    "<phonebooks><phonebook name=\"Rechts\">"
    "<contact><uniqueid>1</uniqueid><realName>Xaver</realName></contact>"
    "<contact><realName>Yvonne</realName><number>99</number></contact>"
    "</phonebook></phonebooks>";

const Row Anna{"2 (1)", "1", "Anna", "11"};
const Row Empty{"7 (1)", "", "", ""};
const Row Carl{"8 (1)", "3", "Carl", ""};
const Row Dora{"11 (1)", "", "Dora", "44"};
const Row Xaver{"2 (2)", "1", "Xaver", ""};
const Row Yvonne{"5 (2)", "", "Yvonne", "99"};

class PhonebookTransfer : public pbtest::PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        LoadText(1, "links.xml", Left);
        LoadText(2, "rechts.xml", Right);
        ASSERT_EQ(Rows(1), (std::vector<Row>{Anna, Empty, Carl, Dora}));
        ASSERT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne}));
        ASSERT_TRUE(Messages().empty());
    }

    void ExpectInStep()
    {
        EXPECT_TRUE(PanelRowsInStep(1)) << RecordSummary(1);
        EXPECT_TRUE(PanelRowsInStep(2)) << RecordSummary(2);
        EXPECT_EQ(Count(1), " Anz.: " + std::to_string(Rows(1).size()));
        EXPECT_EQ(Count(2), " Anz.: " + std::to_string(Rows(2).size()));
    }

    // The realName text of every contact in the panel's records ("-" for none).
    static std::vector<std::string> ContactNames(int panel)
    {
        std::vector<std::string> names;
        for (const NodeRecord& r : Panel(panel).records) {
            if (r.name == u"contact")
                names.push_back("-");
            else if (r.name == u"realName" && !names.empty())
                names.back() = U8(r.text);
        }
        return names;
    }
};

TEST_F(PhonebookTransfer, TickAndUntickActOnMarkedRowsOnly)
{
    struct Case {
        void (*operation)(int);
        std::vector<int> after;
    };
    // Rows: marked and ticked, marked only, ticked only, neither.
    const std::vector<int> before{Marked | Ticked, Marked, Ticked, 0};
    const Case cases[] = {{TickMarkedRows, {Ticked, Ticked, Ticked, 0}}, {UntickMarkedRows, {0, 0, Ticked, 0}}};
    const std::string records = RecordSummary(1);
    for (const Case& c : cases) {
        SetStates(1, before);
        ASSERT_EQ(States(1), before);
        ui::SetText(PanelWidgetNumber(1, CountLabelWidget), u"unverändert");
        c.operation(1);
        EXPECT_EQ(States(1), c.after);
        EXPECT_EQ(RecordSummary(1), records);
        EXPECT_EQ(Count(1), "unverändert");  // not refreshed
        EXPECT_EQ(States(2), (std::vector<int>{0, 0}));
    }
    // Nothing marked: nothing changes.
    SetStates(1, {Ticked, 0, 0, Ticked});
    TickMarkedRows(1);
    UntickMarkedRows(1);
    EXPECT_EQ(States(1), (std::vector<int>{Ticked, 0, 0, Ticked}));
}

TEST_F(PhonebookTransfer, CopyAppendsTickedContactsInOrderInBothDirections)
{
    SetStates(1, {Ticked, Marked, Ticked | Marked, Ticked});
    CopyContacts(1);
    EXPECT_EQ(Rows(1), (std::vector<Row>{Anna, Empty, Carl, Dora}));
    EXPECT_EQ(States(1), (std::vector<int>{0, Marked, 0, 0}));  // untouched rows keep their state
    EXPECT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne, Anna, Carl, Dora}));
    EXPECT_EQ(States(2), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(ContactNames(2), (std::vector<std::string>{"Xaver", "Yvonne", "Anna", "Carl", "Dora"}));
    EXPECT_EQ(RecordNames(2).back(), "setup");  // the record after Dora came along
    EXPECT_EQ(Panel(1).records.Size(), 15u);  // the source keeps its records
    ExpectInStep();

    TickRows(2, {1, 3});
    CopyContacts(2);
    EXPECT_EQ(Rows(1), (std::vector<Row>{Anna, Empty, Carl, Dora, Yvonne, Carl}));
    EXPECT_EQ(ContactNames(1), (std::vector<std::string>{"Anna", "-", "Carl", "Dora", "Yvonne", "Carl"}));
    // A contact copied back keeps its number: panel 1 shows "8 (1)" twice.
    EXPECT_EQ(Rows(1)[5].nr, Rows(1)[2].nr);
    ExpectInStep();
}

TEST_F(PhonebookTransfer, MoveTakesTickedContactsAwayInBothDirections)
{
    TickRows(1, {1, 3});
    ui::SetItemState(List(1), 2, Marked);
    MoveContacts(1);
    EXPECT_EQ(Rows(1), (std::vector<Row>{Anna, Carl}));
    EXPECT_EQ(States(1), (std::vector<int>{0, Marked}));
    EXPECT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne, Empty, Dora}));
    EXPECT_EQ(ContactNames(1), (std::vector<std::string>{"Anna", "Carl"}));
    EXPECT_EQ(ContactNames(2), (std::vector<std::string>{"Xaver", "Yvonne", "-", "Dora"}));
    // Moving the last contact took its trailing record; the frame stays.
    EXPECT_EQ(RecordNames(1), (std::vector<std::string>{"phonebooks", "phonebook", "contact", "uniqueid",
                                                          "realName", "telephony", "number", "contact",
                                                          "uniqueid", "realName"}));
    ExpectInStep();

    TickRows(2, {0, 3});
    MoveContacts(2);
    EXPECT_EQ(Rows(2), (std::vector<Row>{Yvonne, Empty}));
    EXPECT_EQ(Rows(1), (std::vector<Row>{Anna, Carl, Xaver, Dora}));
    EXPECT_EQ(ContactNames(1), (std::vector<std::string>{"Anna", "Carl", "Xaver", "Dora"}));
    ExpectInStep();
}

TEST_F(PhonebookTransfer, DeleteRemovesTickedContactsOnly)
{
    SetStates(1, {Ticked, Marked, 0, Ticked});
    DeleteContacts(1);
    EXPECT_EQ(Rows(1), (std::vector<Row>{Empty, Carl}));
    EXPECT_EQ(States(1), (std::vector<int>{Marked, 0}));
    EXPECT_EQ(ContactNames(1), (std::vector<std::string>{"-", "Carl"}));
    EXPECT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne}));
    ExpectInStep();

    // The one-record contact is one record.
    const std::size_t before = Panel(1).records.Size();
    TickRows(1, {0});
    DeleteContacts(1);
    EXPECT_EQ(Panel(1).records.Size(), before - 1);
    TickRows(1, {0});
    DeleteContacts(1);
    EXPECT_EQ(RecordNames(1), (std::vector<std::string>{"phonebooks", "phonebook"}));
    EXPECT_EQ(Count(1), " Anz.: 0");
    ExpectInStep();
}

TEST_F(PhonebookTransfer, NothingTickedChangesNothingButTheLabels)
{
    const std::string r1 = RecordSummary(1), r2 = RecordSummary(2);
    SetStates(1, {Marked, 0, Marked, 0});
    for (void (*op)(int) : {CopyContacts, MoveContacts, DeleteContacts}) {
        ui::SetText(PanelWidgetNumber(1, CountLabelWidget), u"x");
        ui::SetText(PanelWidgetNumber(2, CountLabelWidget), u"y");
        op(1);
        EXPECT_EQ(RecordSummary(1), r1);
        EXPECT_EQ(RecordSummary(2), r2);
        EXPECT_EQ(States(1), (std::vector<int>{Marked, 0, Marked, 0}));
        EXPECT_EQ(Count(1), " Anz.: 4");
        EXPECT_EQ(Count(2), " Anz.: 2");
    }
    for (void (*op)(int) : {CopyContacts, MoveContacts, DeleteContacts, TickMarkedRows, UntickMarkedRows})
        op(7);
    EXPECT_EQ(RecordSummary(1), r1);
    EXPECT_EQ(States(1), (std::vector<int>{Marked, 0, Marked, 0}));
}

TEST_F(PhonebookTransfer, SameContactTwiceThenOneCopyDeleted)
{
    TickRows(1, {2});
    CopyContacts(1);
    TickRows(1, {2});
    CopyContacts(1);
    EXPECT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne, Carl, Carl}));
    TickRows(2, {3});
    DeleteContacts(2);
    EXPECT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne, Carl}));
    EXPECT_EQ(ContactNames(2), (std::vector<std::string>{"Xaver", "Yvonne", "Carl"}));
    ExpectInStep();
}

// Two different contacts with the same "Nr." text in one panel: a look-up by
// that text would remove the wrong one.
TEST_F(PhonebookTransfer, EqualNumbersFromTwoLoadsStayPaired)
{
    TickRows(1, {0});
    CopyContacts(1);  // Anna, 2 (1)
    LoadText(1, "zweite.xml",
             "<phonebooks><phonebook name=\"Z\"><contact><realName>Zora</realName></contact></phonebook></phonebooks>");
    TickRows(1, {0});
    CopyContacts(1);  // Zora, also 2 (1)
    ASSERT_EQ(Rows(2)[2].nr, Rows(2)[3].nr);
    EXPECT_EQ(ContactNames(2), (std::vector<std::string>{"Xaver", "Yvonne", "Anna", "Zora"}));

    TickRows(2, {2});  // Anna: the earlier of the two
    MoveContacts(2);
    EXPECT_EQ(Rows(2), (std::vector<Row>{Xaver, Yvonne, {"2 (1)", "", "Zora", ""}}));
    EXPECT_EQ(ContactNames(2), (std::vector<std::string>{"Xaver", "Yvonne", "Zora"}));
    EXPECT_EQ(ContactNames(1), (std::vector<std::string>{"Zora", "Anna"}));
    ExpectInStep();

    TickRows(1, {1});  // Anna again: now the later of two "2 (1)" rows in panel 1
    DeleteContacts(1);
    EXPECT_EQ(ContactNames(1), (std::vector<std::string>{"Zora"}));
    ExpectInStep();
}

TEST_F(PhonebookTransfer, CopyIntoAPhonebookWithoutContacts)
{
    LoadText(2, "leer.xml", "<phonebooks><phonebook name=\"Leer\"/></phonebooks>");
    ASSERT_TRUE(Rows(2).empty());
    TickRows(1, {0, 1});
    CopyContacts(1);
    EXPECT_EQ(Rows(2), (std::vector<Row>{Anna, Empty}));
    EXPECT_EQ(RecordNames(2), (std::vector<std::string>{"phonebooks", "phonebook", "contact", "uniqueid",
                                                          "realName", "telephony", "number", "contact"}));
    ExpectInStep();
}

TEST_F(PhonebookTransfer, CopyIntoAPanelThatHoldsNoPhonebook)
{
    PhonebookInit();  // panel records emptied; the widgets still show rows
    ui::ClearItems(List(1));
    ui::ClearItems(List(2));
    LoadText(1, "links.xml", Left);
    TickRows(1, {3});
    MoveContacts(1);
    EXPECT_EQ(Rows(2), (std::vector<Row>{Dora}));
    EXPECT_EQ(RecordNames(2), (std::vector<std::string>{"contact", "realName", "number", "setup"}));
    ExpectInStep();
}

TEST_F(PhonebookTransfer, ManyContactsMoveAndDeleteInStep)
{
    // Large enough that a look-up per row by scanning the records would make
    // this test crawl.
    const int contacts = 20000;
    std::string xml = "<phonebooks><phonebook name=\"Gross\">";
    for (int i = 0; i < contacts; ++i)
        xml += "<contact><uniqueid>" + std::to_string(i) + "</uniqueid><realName>N" + std::to_string(i) +
               "</realName></contact>";
    xml += "</phonebook></phonebooks>";
    LoadText(1, "gross.xml", xml);
    ASSERT_EQ(Rows(1).size(), static_cast<std::size_t>(contacts));
    std::vector<int> every(contacts);
    for (int i = 0; i < contacts; ++i)
        every[i] = i;
    TickRows(1, every);
    MoveContacts(1);
    EXPECT_EQ(Count(1), " Anz.: 0");
    EXPECT_EQ(Count(2), " Anz.: " + std::to_string(contacts + 2));
    EXPECT_EQ(Panel(2).records.Size(), 8u + 3u * contacts);
    ExpectInStep();
    every.resize(contacts + 2);
    every[contacts] = contacts;
    every[contacts + 1] = contacts + 1;
    TickRows(2, every);
    CopyContacts(2);
    TickRows(2, every);
    DeleteContacts(2);
    EXPECT_EQ(RecordNames(2), (std::vector<std::string>{"phonebooks", "phonebook"}));
    EXPECT_EQ(Rows(1).size(), static_cast<std::size_t>(contacts + 2));
    ExpectInStep();
}

TEST_F(PhonebookTransfer, RandomSequencesKeepRowsAndRecordsInStep)
{
    std::mt19937 random(20240611);
    for (int step = 0; step < 200; ++step) {
        const int panel = 1 + static_cast<int>(random() % 2);
        const int n = ui::CountItems(List(panel));
        for (int i = 0; i < n; ++i)
            ui::SetItemState(List(panel), i, static_cast<int>(random() % 4));
        switch (random() % 8) {
        case 0: TickMarkedRows(panel); break;
        case 1: UntickMarkedRows(panel); break;
        case 2:
        case 3: CopyContacts(panel); break;
        case 4: MoveContacts(panel); break;
        case 5: DeleteContacts(panel); break;
        case 6: if (random() % 4 == 0) LoadText(panel, "links.xml", Left); break;
        case 7: if (random() % 4 == 0) NewPhonebook(panel); break;
        }
        ASSERT_TRUE(PanelRowsInStep(1)) << "step " << step << ": " << RecordSummary(1);
        ASSERT_TRUE(PanelRowsInStep(2)) << "step " << step << ": " << RecordSummary(2);
    }
}

}  // namespace
