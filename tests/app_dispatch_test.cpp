// The event loop on the real toolkit: real clicks on the real widgets, then
// the loop handles what they queued. Effects are observed on rows, labels,
// fields and files.
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <set>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/information_window.h"
#include "app/main_window.h"
#include "app/unsaved_changes.h"
#include "app_fixture.h"
#include "phonebook/checking.h"
#include "base/date.h"
#include "base/text.h"
#include "contacts/exchange.h"
#include "phonebook/core.h"
#include "phonebook/merging.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"

namespace fs = std::filesystem;
using apptest::AppTest;
using apptest::PhonebookXml;
using nwtest::U16;
using nwtest::U8;

namespace {

void Click(int widget)
{
    auto* button = qobject_cast<QAbstractButton*>(ui::qt::WidgetObject(widget));
    ASSERT_NE(button, nullptr) << "widget " << widget;
    button->click();
}

int Rows(int panel) { return ui::CountItems(PanelWidgetNumber(panel, ContactListWidget)); }

// Tick marks of rows 0 to 2 as "T" (ticked) or "." (not).
std::string Ticks(int panel)
{
    std::string ticks;
    for (int row = 0; row < 3; ++row)
        ticks += ui::GetItemState(PanelWidgetNumber(panel, ContactListWidget), row) & ui::RowTicked ? 'T' : '.';
    return ticks;
}

// Types one letter into a panel's Name field, as the user would.
QLineEdit* TypeIntoName(int panel)
{
    auto* field = qobject_cast<QLineEdit*>(ui::qt::WidgetObject(PanelWidgetNumber(panel, NameFieldWidget)));
    EXPECT_NE(field, nullptr);
    field->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(field, &press);
    return field;
}

std::set<std::string> Files(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.insert(fs::relative(entry.path(), dir).string());
    return names;
}

class AppDispatch : public AppTest {
protected:
    void SetUp() override
    {
        fs::create_directory(dir_ / "daten");
        nwtest::WriteFileBytes(dir_ / "daten" / "links.xml",
                               PhonebookXml("Links", {{"J\xC3\xBCrgen M\xC3\xBCller", "030 5550101"},
                                                      {"K\xC3\xA4the Sch\xC3\xA4" "fer", "089 5550102"},
                                                      {"Bj\xC3\xB6rn Fu\xC3\x9F", "0151 5550103"}}));
        nwtest::WriteFileBytes(dir_ / "daten" / "rechts.xml",
                               PhonebookXml("Rechts", {{"S\xC3\xB6ren B\xC3\xA4" "cker", "040 5550201"},
                                                       {"Zo\xC3\xAB Kr\xC3\xA4mer", "0711 5550202"},
                                                       {"G\xC3\xBCnther H\xC3\xB6lzel", "0351 5550203"}}));
        nwtest::WriteFileBytes(dir_ / "daten" / "vier.xml",
                               PhonebookXml("Vier", {{"A", "1"}, {"B", "2"}, {"C", "3"}, {"D", "4"}}));
    }
    void TearDown() override
    {
        SetClock({});
        AppTest::TearDown();
    }

    std::u16string DataFile(const char* name) const { return U16((dir_ / "daten" / name).string()); }

    // "Laden" pressed in a panel, the dialog answered with file.
    void Load(int panel, const char* file)
    {
        ui::SetNextOpenFileAnswer(DataFile(file));
        Click(PanelWidgetNumber(panel, LoadButtonWidget));
        ASSERT_TRUE(apptest::HandlePendingEvents());
    }

    // Both panels loaded; in each, row 0 marked and ticked, row 1 marked
    // only, row 2 ticked only.
    void LoadBothAndMark()
    {
        Load(1, "links.xml");
        Load(2, "rechts.xml");
        for (int panel : {1, 2}) {
            const int list = PanelWidgetNumber(panel, ContactListWidget);
            ASSERT_EQ(ui::CountItems(list), 3);
            ui::SetItemState(list, 0, ui::RowSelected | ui::RowTicked);
            ui::SetItemState(list, 1, ui::RowSelected);
            ui::SetItemState(list, 2, ui::RowTicked);
        }
    }
};

// --- every panel button reaches its operation with its own panel ---------

struct ButtonCase {
    const char* name;
    PanelWidget button;
    int panel;
    int rowsHere, rowsOther;             // after the press
    const char* ticksHere;               // rows 0-2 afterwards, nullptr: not looked at
    const char* ticksOther;
};

void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

// clang-format off
const ButtonCase kButtons[] = {
    {"Neu1",          NewButtonWidget,    1, 0, 3, nullptr, "T.T"},
    {"Neu2",          NewButtonWidget,    2, 0, 3, nullptr, "T.T"},
    {"Laden1",        LoadButtonWidget,   1, 4, 3, "...",   "T.T"},
    {"Laden2",        LoadButtonWidget,   2, 4, 3, "...",   "T.T"},
    {"Speichern1",    SaveButtonWidget,   1, 3, 3, "T.T",   "T.T"},
    {"Speichern2",    SaveButtonWidget,   2, 3, 3, "T.T",   "T.T"},
    {"APlus1",        TickButtonWidget,   1, 3, 3, "TTT",   "T.T"},
    {"APlus2",        TickButtonWidget,   2, 3, 3, "TTT",   "T.T"},
    {"AMinus1",       UntickButtonWidget, 1, 3, 3, "..T",   "T.T"},
    {"AMinus2",       UntickButtonWidget, 2, 3, 3, "..T",   "T.T"},
    {"Kopieren1",     CopyButtonWidget,   1, 3, 5, nullptr, "T.T"},
    {"Kopieren2",     CopyButtonWidget,   2, 3, 5, nullptr, "T.T"},
    {"Verschieben1",  MoveButtonWidget,   1, 1, 5, nullptr, "T.T"},
    {"Verschieben2",  MoveButtonWidget,   2, 1, 5, nullptr, "T.T"},
    {"Loeschen1",     DeleteButtonWidget, 1, 1, 3, nullptr, "T.T"},
    {"Loeschen2",     DeleteButtonWidget, 2, 1, 3, nullptr, "T.T"},
};
// clang-format on

class AppDispatchButtons : public AppDispatch, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(AppDispatchButtons, PressRunsOperationOnItsPanel)
{
    const ButtonCase& c = GetParam();
    const int here = c.panel;
    const int other = 3 - c.panel;
    Start();
    LoadBothAndMark();
    const std::u16string otherName = ui::GetText(PanelWidgetNumber(other, NameFieldWidget));
    const std::u16string otherFile = ui::GetText(PanelWidgetNumber(other, FileFieldWidget));
    ASSERT_EQ(otherName, other == 1 ? u"Links" : u"Rechts");
    SetClock([] { return DateFromParts(2024, 3, 5, 14, 7, 0); });
    if (c.button == LoadButtonWidget)
        ui::SetNextOpenFileAnswer(DataFile("vier.xml"));

    Click(PanelWidgetNumber(here, c.button));
    EXPECT_EQ(ui::PendingEventCount(), 1);
    EXPECT_TRUE(apptest::HandlePendingEvents());
    EXPECT_EQ(ui::PendingEventCount(), 0);

    EXPECT_EQ(Rows(here), c.rowsHere);
    EXPECT_EQ(Rows(other), c.rowsOther);
    EXPECT_EQ(ui::GetText(PanelWidgetNumber(here, CountLabelWidget)), u" Anz.: " + DecimalText(c.rowsHere));
    EXPECT_EQ(ui::GetText(PanelWidgetNumber(other, CountLabelWidget)), u" Anz.: " + DecimalText(c.rowsOther));
    if (c.ticksHere) {
        EXPECT_EQ(Ticks(here), c.ticksHere);
    }
    EXPECT_EQ(Ticks(other), c.ticksOther);
    EXPECT_EQ(ui::GetText(PanelWidgetNumber(other, NameFieldWidget)), otherName);
    EXPECT_EQ(ui::GetText(PanelWidgetNumber(other, FileFieldWidget)), otherFile);

    const std::string hereFile = here == 1 ? "links.xml" : "rechts.xml";
    const std::string otherSaved = (other == 1 ? "links.xml" : "rechts.xml") + std::string("_NEU.xml");
    EXPECT_FALSE(fs::exists(dir_ / "daten" / otherSaved));
    switch (c.button) {
    case NewButtonWidget:
        EXPECT_EQ(ui::GetText(PanelWidgetNumber(here, NameFieldWidget)), u"Neu_2403051407");
        break;
    case LoadButtonWidget:
        EXPECT_EQ(ui::GetText(PanelWidgetNumber(here, NameFieldWidget)), u"Vier");
        EXPECT_EQ(ui::GetText(PanelWidgetNumber(here, FileFieldWidget)), DataFile("vier.xml"));
        EXPECT_TRUE(fs::exists(dir_ / "daten" / "vier.xml_Formatiert.xml"));
        break;
    case SaveButtonWidget:
        EXPECT_TRUE(fs::exists(dir_ / "daten" / (hereFile + "_NEU.xml")));
        break;
    default:
        EXPECT_FALSE(fs::exists(dir_ / "daten" / (hereFile + "_NEU.xml")));
        break;
    }
    EXPECT_TRUE(ui::RecordedMessages().empty());
}

INSTANTIATE_TEST_SUITE_P(AppDispatch, AppDispatchButtons, ::testing::ValuesIn(kButtons),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDispatch, LoadDialogStartsInRememberedDirectoryOfItsPanel)
{
    fs::create_directory(dir_ / "eins");
    fs::create_directory(dir_ / "zwei");
    const std::string eins = (dir_ / "eins").string() + "/";
    const std::string zwei = (dir_ / "zwei").string() + "/";
    Start("Telefonbuch1 = " + eins + "\r\nTelefonbuch2 = " + zwei + "\r\n");
    Load(2, "rechts.xml");
    Load(1, "links.xml");
    const auto& dialogs = ui::RecordedFileDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].initialPath, U16(zwei));
    EXPECT_EQ(dialogs[1].initialPath, U16(eins));
    EXPECT_EQ(Rows(1), 3);
    EXPECT_EQ(Rows(2), 3);
}

// --- widgets outside the table run nothing ---------------------------------

struct Snapshot {
    std::u16string texts[2][4];
    std::string ticks[2];
    int rows[2];
    std::set<std::string> files;
    std::int32_t toolTip;
    bool informationOpen;

    bool operator==(const Snapshot&) const = default;
};

class AppDispatchIgnored : public AppDispatch {
protected:
    Snapshot Take()
    {
        Snapshot s{};
        for (int panel : {1, 2}) {
            int i = 0;
            for (PanelWidget widget : {CountLabelWidget, NameFieldWidget, FileFieldWidget, PanelTitleWidget})
                s.texts[panel - 1][i++] = ui::GetText(PanelWidgetNumber(panel, widget));
            s.ticks[panel - 1] = Ticks(panel);
            s.rows[panel - 1] = Rows(panel);
        }
        s.files = Files(dir_.path());
        s.toolTip = app::ToolTipSetting();
        s.informationOpen = ui::WindowExists(app::InformationWindow);
        return s;
    }

    // The user's action must reach the loop as an event, and the loop must
    // change nothing.
    // ticksAfter: panel 1's rows 0-2 afterwards (a user's own tick shows).
    template <typename Action>
    void ExpectNothingRuns(Action action, const char* ticksAfter = "T.T")
    {
        Start();
        LoadBothAndMark();
        const Snapshot before = Take();
        const std::size_t dialogs = ui::RecordedFileDialogs().size();
        action();
        EXPECT_GE(ui::PendingEventCount(), 1) << "the action raised no event at all";
        EXPECT_TRUE(apptest::HandlePendingEvents());
        EXPECT_EQ(ui::RecordedFileDialogs().size(), dialogs);
        EXPECT_TRUE(ui::RecordedMessages().empty());
        Snapshot after = Take();
        EXPECT_EQ(after.ticks[0], ticksAfter);
        after.ticks[0] = before.ticks[0];
        EXPECT_TRUE(after == before);
    }
};

TEST_F(AppDispatchIgnored, ClickInContactList)
{
    ExpectNothingRuns([] {
        auto* view = qobject_cast<QTableView*>(ui::qt::WidgetObject(ContactListWidget));
        ASSERT_NE(view, nullptr);
        const QRect cell = view->visualRect(view->model()->index(1, 3));
        const QPoint at = cell.center();
        QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &press);
        QApplication::sendEvent(view->viewport(), &release);
    });
}

TEST_F(AppDispatchIgnored, TickingARowCheckBox)
{
    ExpectNothingRuns([] {
        auto* view = qobject_cast<QTableView*>(ui::qt::WidgetObject(ContactListWidget));
        ASSERT_NE(view, nullptr);
        // What the view does when the user clicks the box of row 1.
        view->model()->setData(view->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    }, "TTT");
}

TEST_F(AppDispatchIgnored, TypingInNameField)
{
    ExpectNothingRuns([] {
        TypeIntoName(2)->undo();  // the snapshot compares the text; the event is what counts
    });
}

// --- the information window's two widgets and the end of the loop ---------

TEST_F(AppDispatch, ToolTipCheckBoxFromTwoGivesZeroThenOne)
{
    Start("ToolTip = 2\r\n");
    ASSERT_EQ(app::ToolTipSetting(), 2);
    ASSERT_EQ(ui::GetState(app::ToolTipCheckBox), 1);
    Click(app::ToolTipCheckBox);
    ASSERT_TRUE(apptest::HandlePendingEvents());
    EXPECT_EQ(app::ToolTipSetting(), 0);
    EXPECT_EQ(ui::GetState(app::ToolTipCheckBox), 0);
    Click(app::ToolTipCheckBox);
    ASSERT_TRUE(apptest::HandlePendingEvents());
    EXPECT_EQ(app::ToolTipSetting(), 1);
    EXPECT_EQ(ui::GetState(app::ToolTipCheckBox), 1);
    // Tooltips of this run stay as they were attached: none for 2.
    EXPECT_TRUE(ui::qt::WidgetObject(NewButtonWidget)->toolTip().isEmpty());
}

TEST_F(AppDispatch, SchliessenThenCloseRequestWritesLastSetting)
{
    const std::string dir = dir_.path().string() + "/";
    Start();
    Click(app::ToolTipCheckBox);  // 1 -> 0
    Click(app::CloseInformationButton);
    EXPECT_TRUE(apptest::HandlePendingEvents());
    EXPECT_FALSE(ui::WindowExists(app::InformationWindow));
    EXPECT_FALSE(ui::WidgetExists(app::ToolTipCheckBox));
    EXPECT_TRUE(ui::WindowExists(app::MainWindow));
    EXPECT_EQ(app::ToolTipSetting(), 0);

    ui::qt::WindowWidget(app::MainWindow)->close();  // the close box
    EXPECT_TRUE(ui::WindowExists(app::MainWindow)) << "a close is only a request";
    EXPECT_FALSE(apptest::HandlePendingEvents());
    ShutDown();
    EXPECT_EQ(SettingsBytes(), "\xEF\xBB\xBF\r\nTelefonbuch1 = " + dir + "\r\nTelefonbuch2 = " + dir +
                                   "\r\nToolTip = 0\r\n");
}

TEST_F(AppDispatch, RunEventLoopEndsAtCloseRequestAfterEarlierEvents)
{
    Start("ToolTip = 1\r\n");
    Click(app::ToolTipCheckBox);
    ui::qt::WindowWidget(app::MainWindow)->close();
    Click(NewButtonWidget);  // after the close request: never handled
    app::RunEventLoop();
    EXPECT_EQ(app::ToolTipSetting(), 0);
    EXPECT_EQ(ui::GetText(NameFieldWidget), u"");
    EXPECT_TRUE(ui::WindowExists(app::InformationWindow));
}

TEST_F(AppDispatch, CloseRequestWhileInformationWindowOpenEndsProgram)
{
    Start();
    ui::qt::WindowWidget(app::MainWindow)->close();
    EXPECT_FALSE(apptest::HandlePendingEvents());
    ShutDown();
    EXPECT_FALSE(ui::WindowExists(app::InformationWindow));
    EXPECT_FALSE(ui::WindowExists(app::MainWindow));
    EXPECT_TRUE(fs::exists(dir_ / "Nummernwerk.ini"));
}

// The close box a window manager draws anyway, or Alt+F4 on the window that
// is active after start, acts like "Schliessen".
TEST_F(AppDispatch, CloseRequestFromInformationWindowClosesOnlyIt)
{
    Start();
    ui::qt::WindowWidget(app::InformationWindow)->close();
    EXPECT_TRUE(apptest::HandlePendingEvents());
    EXPECT_FALSE(ui::WindowExists(app::InformationWindow));
    EXPECT_TRUE(ui::WindowExists(app::MainWindow));
    ui::qt::WindowWidget(app::MainWindow)->close();
    EXPECT_FALSE(apptest::HandlePendingEvents());
}

TEST_F(AppDispatch, LoadInPanelTwoIsRememberedAtExit)
{
    const std::string dir = dir_.path().string() + "/";
    Start("\xEF\xBB\xBF\r\nTelefonbuch1 = /irgendwo/\r\nTelefonbuch2 = /anderswo/\r\nToolTip = 1\r\n");
    Load(2, "rechts.xml");
    ShutDown();
    EXPECT_EQ(SettingsBytes(), "\xEF\xBB\xBF\r\nTelefonbuch1 = /irgendwo/\r\nTelefonbuch2 = " + dir +
                                   "daten/\r\nToolTip = 1\r\n");
}

// --- unsaved changes -------------------------------------------------------------

// The panels a question named, in the order asked.
std::vector<int> AskedPanels()
{
    std::vector<int> panels;
    for (const ui::RecordedQuestion& q : ui::RecordedQuestions())
        for (int panel : {1, 2})
            if (q.text.find(u'"' + app::PanelTitleText(panel) + u'"') != std::u16string::npos)
                panels.push_back(panel);
    return panels;
}

struct ChangeCase {
    const char* name;
    std::vector<std::pair<int, PanelWidget>> presses;  // panel, button (Name field: typed into)
    std::vector<int> asked;                    // at the close request
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

// clang-format off
const ChangeCase kChanges[] = {
    {"Nothing",              {},                                            {}},
    {"MarkingOnly",          {{1, TickButtonWidget}, {2, UntickButtonWidget}}, {}},
    {"CopyIn",               {{1, CopyButtonWidget}},                         {2}},
    {"MoveOutAndIn",         {{2, MoveButtonWidget}},                         {1, 2}},
    {"DeleteOut",            {{2, DeleteButtonWidget}},                       {2}},
    {"NameTyped",            {{1, NameFieldWidget}},                          {1}},
    {"CopyWithNothingTicked", {{1, DeleteButtonWidget}, {1, CopyButtonWidget}}, {1}},
    {"CopiedThenSaved",      {{1, CopyButtonWidget}, {2, SaveButtonWidget}},   {}},
};
// clang-format on

class AppUnsavedChanges : public AppDispatch, public ::testing::WithParamInterface<ChangeCase> {};

// After loading both panels, only the panels whose contents changed are
// asked about on closing; "Verwerfen" for each ends the program.
TEST_P(AppUnsavedChanges, CloseAsksOnlyAboutChangedPanels)
{
    const ChangeCase& c = GetParam();
    Start();
    LoadBothAndMark();
    for (const auto& [panel, widget] : c.presses) {
        if (widget == NameFieldWidget)
            TypeIntoName(panel);
        else
            Click(PanelWidgetNumber(panel, widget));
        // Contacts copied between the books share uniqueids: "Speichern"
        // asks about them first.
        if (widget == SaveButtonWidget)
            ui::SetNextTableDialogAnswer(SaveAnyway);
        ASSERT_TRUE(apptest::HandlePendingEvents());
    }
    ASSERT_TRUE(ui::RecordedQuestions().empty()) << "nothing asked before the close";
    ui::SetNextQuestionAnswer(app::DiscardChanges);
    ui::SetNextQuestionAnswer(app::DiscardChanges);
    ui::qt::WindowWidget(app::MainWindow)->close();
    EXPECT_FALSE(apptest::HandlePendingEvents());
    EXPECT_EQ(AskedPanels(), c.asked);
    EXPECT_EQ(ui::RecordedQuestions().size(), c.asked.size());
}

INSTANTIATE_TEST_SUITE_P(AppDispatch, AppUnsavedChanges, ::testing::ValuesIn(kChanges),
                         [](const auto& info) { return std::string(info.param.name); });

class AppUnsavedAnswers : public AppDispatch,
                          public ::testing::WithParamInterface<std::tuple<std::string, std::string>> {};

// Panel 1 lost a contact. Every way its contents could go asks first, and
// each answer does what it says: "Speichern" writes the phonebook and goes
// on only when that worked, "Verwerfen" goes on, "Abbrechen" leaves all as
// it was. "Laden" asks before its dialog; a dialog cancelled after
// "Verwerfen" loses nothing.
TEST_P(AppUnsavedAnswers, AnswerDecidesWhetherThePanelGoes)
{
    const auto& [trigger, answer] = GetParam();
    const bool loading = trigger.starts_with("Laden");
    Start();
    Load(1, "links.xml");
    ui::SetItemState(PanelWidgetNumber(1, ContactListWidget), 0, ui::RowTicked);
    Click(PanelWidgetNumber(1, DeleteButtonWidget));
    ASSERT_TRUE(apptest::HandlePendingEvents());
    ASSERT_EQ(Rows(1), 2);
    if (answer == "SpeichernScheitert")
        ui::SetText(PanelWidgetNumber(1, FileFieldWidget), U16((dir_ / "fehlt" / "links.xml").string()));
    const std::size_t dialogsBefore = ui::RecordedFileDialogs().size();

    ui::SetNextQuestionAnswer(answer == "Verwerfen"   ? app::DiscardChanges
                              : answer == "Abbrechen" ? app::KeepEditing
                                                      : app::SaveChanges);
    if (loading)
        ui::SetNextOpenFileAnswer(trigger == "Laden" ? DataFile("vier.xml") : u"");
    if (trigger == "Schliessen")
        ui::qt::WindowWidget(app::MainWindow)->close();
    else
        Click(PanelWidgetNumber(1, trigger == "Neu" ? NewButtonWidget : LoadButtonWidget));
    const bool loopGoesOn = apptest::HandlePendingEvents();

    ASSERT_EQ(ui::RecordedQuestions().size(), 1u);
    EXPECT_EQ(ui::RecordedQuestions()[0].title, u"Ungespeicherte \u00c4nderungen");
    EXPECT_EQ(ui::RecordedQuestions()[0].buttons,
              (std::vector<std::u16string>{u"Speichern", u"Verwerfen", u"Abbrechen"}));
    EXPECT_EQ(AskedPanels(), std::vector<int>{1});

    const bool saved = answer == "Speichern";
    const bool goesOn = saved || answer == "Verwerfen";
    EXPECT_EQ(fs::exists(dir_ / "daten" / "links.xml_NEU.xml"), saved);
    EXPECT_EQ(ui::RecordedMessages().size(), answer == "SpeichernScheitert" ? 1u : 0u);
    EXPECT_EQ(loopGoesOn, !(goesOn && trigger == "Schliessen"));
    EXPECT_EQ(ui::RecordedFileDialogs().size() - dialogsBefore, goesOn && loading ? 1u : 0u);
    EXPECT_EQ(Rows(1), !goesOn ? 2 : trigger == "Neu" ? 0 : trigger == "Laden" ? 4 : 2);
    const bool replaced = goesOn && (trigger == "Neu" || trigger == "Laden");
    EXPECT_EQ(PanelHasUnsavedChanges(1), !saved && !replaced);
}

INSTANTIATE_TEST_SUITE_P(
    AppDispatch, AppUnsavedAnswers,
    ::testing::Combine(::testing::Values("Neu", "Laden", "LadenAbgebrochen", "Schliessen"),
                       ::testing::Values("Speichern", "SpeichernScheitert", "Verwerfen", "Abbrechen")),
    [](const auto& info) { return std::get<0>(info.param) + "_" + std::get<1>(info.param); });

// --- "Prüfen…" and the check before "Speichern" ---------------------------

// A contact with numbers numbers; nid as written.
std::string CheckedContact(const std::string& name, int numbers, int nid)
{
    std::string xml = "<contact><person><realName>" + name + "</realName></person><telephony nid=\"" +
                      std::to_string(nid) + "\">";
    for (int i = 0; i < numbers; ++i)
        xml += "<number type=\"home\">0" + std::to_string(30 + i) + " 555</number>";
    return xml + "</telephony></contact>";
}

std::string CheckedBook(const std::string& contacts)
{
    return "<phonebooks><phonebook name=\"P\">" + contacts + "</phonebook></phonebooks>";
}

// Opens the list's context menu with a right click and chooses the entry
// with this text.
void ChooseFromListMenu(int panel, const QString& text)
{
    auto* view = qobject_cast<QTableView*>(ui::qt::WidgetObject(PanelWidgetNumber(panel, ContactListWidget)));
    ASSERT_NE(view, nullptr);
    const QPoint at(5, 5);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &click);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << "no menu opened";
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == text)
            chosen = action;
    ASSERT_NE(chosen, nullptr) << "no entry " << text.toStdString();
    ASSERT_TRUE(chosen->isEnabled());
    chosen->trigger();
    menu->close();
}

struct CheckCase {
    const char* name;
    const char* book;      // befunde: errors and warnings, hinweis: an info only, sauber: none
    const char* trigger;   // Pruefen, Speichern, or closing after a change with "Speichern"
    int answer;            // button of the table dialog
    std::vector<int> chosen;
    bool asked;            // a table dialog was shown
    bool written;
    int marked;            // the only marked row afterwards, -1: row 0 stays marked
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

// In "befunde", row 0 is clean, row 1 has ten numbers, row 2 none.
// clang-format off
const CheckCase kChecks[] = {
    {"PruefenZeigtZeile",      "befunde", "Pruefen",    0,          {1},    true,  false, 2},
    {"PruefenZweiZeilen",      "befunde", "Pruefen",    0,          {1, 0}, true,  false, 1},
    {"PruefenOhneBefund",      "sauber",  "Pruefen",    0,          {},     false, false, -1},
    {"SpeichernTrotzdem",      "befunde", "Speichern",  SaveAnyway, {},     true,  true,  -1},
    {"SpeichernAbgebrochen",   "befunde", "Speichern",  CancelSave, {},     true,  false, -1},
    {"SpeichernNurHinweis",    "hinweis", "Speichern",  CancelSave, {},     false, true,  -1},
    {"SpeichernOhneBefund",    "sauber",  "Speichern",  CancelSave, {},     false, true,  -1},
    {"SchliessenTrotzdem",     "befunde", "Schliessen", SaveAnyway, {},     true,  true,  -1},
    {"SchliessenAbgebrochen",  "befunde", "Schliessen", CancelSave, {},     true,  false, -1},
};
// clang-format on

class AppCheck : public AppDispatch, public ::testing::WithParamInterface<CheckCase> {};

// "Prüfen…" lists the findings and marks the rows of those chosen; "Speichern"
// asks first only about errors and warnings, and writes nothing after
// "Abbrechen", also when it was the answer to closing with unsaved changes.
TEST_P(AppCheck, FindingsAreShownAndSavingAsksAboutThem)
{
    const CheckCase& c = GetParam();
    const std::string book = c.book == std::string("befunde")
                                 ? CheckedContact("Rein", 1, 1) + CheckedContact("Zehn", 10, 10) +
                                       CheckedContact("Leer", 0, 0)
                             : c.book == std::string("hinweis") ? CheckedContact("Rein", 1, 2)
                                                                : CheckedContact("Rein", 1, 1);
    nwtest::WriteFileBytes(dir_ / "daten" / "buch.xml", CheckedBook(book + CheckedContact("Letzt", 1, 1)));
    Start();
    Load(1, "buch.xml");
    const int list = PanelWidgetNumber(1, ContactListWidget);
    ui::SetItemState(list, 0, ui::RowSelected);
    const std::size_t messagesBefore = ui::RecordedMessages().size();
    ui::SetNextTableDialogAnswer(c.answer, c.chosen);
    const std::string trigger = c.trigger;
    bool loopGoesOn = true;
    if (trigger == "Pruefen") {
        ChooseFromListMenu(1, QStringLiteral("Pr\u00fcfen\u2026"));
        loopGoesOn = apptest::HandlePendingEvents();
    } else if (trigger == "Speichern") {
        Click(PanelWidgetNumber(1, SaveButtonWidget));
        loopGoesOn = apptest::HandlePendingEvents();
    } else {
        ui::SetItemState(list, Rows(1) - 1, ui::RowTicked);
        Click(PanelWidgetNumber(1, DeleteButtonWidget));
        ASSERT_TRUE(apptest::HandlePendingEvents());
        ui::SetNextQuestionAnswer(app::SaveChanges);
        ui::qt::WindowWidget(app::MainWindow)->close();
        loopGoesOn = apptest::HandlePendingEvents();
        EXPECT_EQ(loopGoesOn, !c.written) << "the program ends only after the save";
        EXPECT_EQ(PanelHasUnsavedChanges(1), !c.written);
    }
    if (trigger != "Schliessen") {
        EXPECT_TRUE(loopGoesOn);
    }

    const auto& dialogs = ui::RecordedTableDialogs();
    ASSERT_EQ(dialogs.size(), c.asked ? 1u : 0u);
    EXPECT_EQ(fs::exists(dir_ / "daten" / "buch.xml_NEU.xml"), c.written);
    if (c.asked) {
        const ui::TableDialog& d = dialogs[0];
        EXPECT_EQ(d.rows.size(), 2u) << "ten numbers, no number";
        EXPECT_NE(d.rows[0].find(u"Zehn"), std::u16string::npos);
        EXPECT_NE(d.rows[1].find(u"Leer"), std::u16string::npos);
        if (trigger == "Pruefen") {
            EXPECT_EQ(d.buttons, std::vector<std::u16string>{u"Schliessen"});
        } else {
            EXPECT_EQ(d.title, u"Pr\u00fcfung vor dem Speichern");
            EXPECT_EQ(d.buttons, (std::vector<std::u16string>{u"Trotzdem speichern", u"Abbrechen"}));
            EXPECT_EQ(d.buttons[d.defaultButton], u"Trotzdem speichern");
            EXPECT_EQ(d.buttons[d.cancelButton], u"Abbrechen");
        }
    } else if (trigger == "Pruefen") {
        EXPECT_EQ(ui::RecordedMessages().size() - messagesBefore, 1u) << "a book without findings says so";
    }
    if (!loopGoesOn)
        return;
    const int marked = c.marked < 0 ? 0 : c.marked;
    for (int row = 0; row < Rows(1); ++row)
        EXPECT_EQ((ui::GetItemState(list, row) & ui::RowSelected) != 0, row == marked) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(AppDispatch, AppCheck, ::testing::ValuesIn(kChecks),
                         [](const auto& info) { return std::string(info.param.name); });

// --- "Dubletten markieren", "Zusammenführen", vCard and CSV -----------------

// A contact with these numbers, each "text" or "text:quick-dial".
std::string MergeContact(const std::string& name, const std::vector<std::string>& numbers)
{
    std::string xml = "<contact><person><realName>" + name + "</realName></person><telephony>";
    for (const std::string& n : numbers) {
        const std::size_t colon = n.find(':');
        xml += colon == std::string::npos ? "<number>" + n + "</number>"
                                          : "<number quickdial=\"" + n.substr(colon + 1) + "\">" +
                                                n.substr(0, colon) + "</number>";
    }
    return xml + "</telephony></contact>";
}

// Tick marks of every row as "T" (ticked) or "." (not).
std::string AllTicks(int panel)
{
    std::string ticks;
    for (int row = 0; row < Rows(panel); ++row)
        ticks += ui::GetItemState(PanelWidgetNumber(panel, ContactListWidget), row) & ui::RowTicked ? 'T' : '.';
    return ticks;
}

void TickRows(int panel, const std::vector<int>& rows)
{
    for (int row : rows)
        ui::SetItemState(PanelWidgetNumber(panel, ContactListWidget), row, ui::RowTicked);
}

// The columns from firstColumn to Telefon of every row.
std::vector<std::u16string> RowTexts(int panel, int firstColumn = 1)
{
    std::vector<std::u16string> rows;
    for (int row = 0; row < Rows(panel); ++row) {
        rows.emplace_back();
        for (int column = firstColumn; column <= 4; ++column)
            rows.back() += ui::GetItemText(PanelWidgetNumber(panel, ContactListWidget), row, column) + u'|';
    }
    return rows;
}

// Exactly the rows whose contact stands earlier in the panel or anywhere in
// the other one get ticked (a tick of the user's own goes); one box tells
// how many. Panel 1: Anna, Bernd, Anna's number in another form, Carla
// (whom panel 2 holds), a nameless contact with Bernd's number, another
// Bernd with another number. Panel 2: Carla, Dora; emptied for step 2.
TEST_F(AppDispatch, MarkDuplicatesTicksLaterDuplicatesOnly)
{
    nwtest::WriteFileBytes(dir_ / "daten" / "eins.xml",
                           CheckedBook(MergeContact("Anna", {"030 1234567"}) + MergeContact("Bernd", {"089 111"}) +
                                       MergeContact("Anna", {"+49 30 1234567"}) + MergeContact("Carla", {"0171 222"}) +
                                       MergeContact("", {"089 111"}) + MergeContact("Bernd", {"040 999"})));
    nwtest::WriteFileBytes(dir_ / "daten" / "zwei.xml",
                           CheckedBook(MergeContact("Carla", {"0049 171 222"}) + MergeContact("Dora", {"0221 1"})));
    Start();
    Load(1, "eins.xml");
    Load(2, "zwei.xml");
    const std::pair<int, std::string> steps[] = {{1, "..TTT."}, {2, "T."}, {1, "..T.T."}};
    for (const auto& [panel, ticks] : steps) {
        if (ticks == "..T.T.")
            Click(PanelWidgetNumber(2, NewButtonWidget));
        TickRows(panel, {1});
        ui::ClearRecordedMessages();
        ChooseFromListMenu(panel, QStringLiteral("Dubletten markieren"));
        ASSERT_TRUE(apptest::HandlePendingEvents());
        EXPECT_EQ(AllTicks(panel), ticks);
        ASSERT_EQ(ui::RecordedMessages().size(), 1u);
        EXPECT_TRUE(ui::RecordedMessages()[0].text.starts_with(
            u"  " + DecimalText(std::count(ticks.begin(), ticks.end(), 'T')) + u" "));
    }
    EXPECT_FALSE(PanelHasUnsavedChanges(1)) << "ticks change no contact";
}

// Rows: Anna (quick-dial 12), Bernd, Anna again (the same number with
// quick-dial 15, and a mobile number), then two Annas with five numbers
// each. The ticked contacts become the first one's, their rows go, the
// count follows and a quick-dial that gave way is named; more than nine
// numbers are refused with the contact named; one tick cannot merge.
TEST_F(AppDispatch, MergeTickedRowsIntoTheFirst)
{
    struct Case {
        std::vector<int> ticked;
        const char* telefon;    // the merged row's; nullptr: nothing merged
        const char16_t* named;  // in the message
        bool conflict;          // the message names quick-dial 15
    };
    const Case cases[] = {
        {{0, 2}, "030 1234567  #  0171 333", u"Anna", true},
        {{1, 2}, "089 111  #  +49 30 1234567  #  0171 333", u"Bernd", false},
        {{3, 4}, nullptr, u"Anna", false},
        {{2}, nullptr, nullptr, false},
    };
    nwtest::WriteFileBytes(dir_ / "daten" / "buch.xml",
                           CheckedBook(MergeContact("Anna", {"030 1234567:12"}) + MergeContact("Bernd", {"089 111"}) +
                                       MergeContact("Anna", {"+49 30 1234567:15", "0171 333"}) +
                                       MergeContact("Anna", {"0170 1", "0170 2", "0170 3", "0170 4", "0170 5"}) +
                                       MergeContact("Anna", {"0160 1", "0160 2", "0160 3", "0160 4", "0160 5"})));
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.ticked));
        ui::SetNextQuestionAnswer(app::DiscardChanges);  // after a merge
        Load(1, "buch.xml");
        ui::ClearRecordedMessages();
        TickRows(1, c.ticked);
        const std::vector<std::u16string> before = RowTexts(1);
        ASSERT_EQ(CanMergeTicked(1), c.ticked.size() > 1);
        if (CanMergeTicked(1))
            ChooseFromListMenu(1, QStringLiteral("Zusammenf\u00fchren"));
        ASSERT_TRUE(apptest::HandlePendingEvents());

        const int rows = c.telefon ? 4 : 5;
        EXPECT_EQ(Rows(1), rows);
        EXPECT_EQ(ui::GetText(PanelWidgetNumber(1, CountLabelWidget)), u" Anz.: " + DecimalText(rows));
        EXPECT_EQ(PanelHasUnsavedChanges(1), c.telefon != nullptr);
        if (c.telefon) {
            EXPECT_EQ(U8(ui::GetItemText(PanelWidgetNumber(1, ContactListWidget), c.ticked[0], 4)), c.telefon);
        } else {
            EXPECT_EQ(RowTexts(1), before);
        }
        ASSERT_EQ(ui::RecordedMessages().size(), c.named ? 1u : 0u);
        if (!c.named)
            continue;
        const ui::RecordedMessage& box = ui::RecordedMessages()[0];
        EXPECT_EQ(box.icon, c.telefon ? ui::Icon::Information : ui::Icon::Warning);
        EXPECT_NE(box.text.find(u'"' + std::u16string(c.named) + u'"'), std::u16string::npos) << U8(box.text);
        EXPECT_EQ(box.text.find(u"15") != std::u16string::npos, c.conflict) << U8(box.text);
    }
}

// Every exchange file of the test data loads into a panel as the library
// reads it, named after the file and without a formatted copy; "Speichern"
// makes a phonebook of it that loads with the same names and numbers.
TEST_F(AppDispatch, ContactFilesLoadAsPhonebooksAndSaveAsXml)
{
    Start();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(NW_TEST_DATA_DIR) / "exchange")) {
        const std::string file = entry.path().filename().string();
        const std::u16string stem = U16(entry.path().stem().string());
        SCOPED_TRACE(file);
        fs::copy_file(entry.path(), dir_ / "daten" / file);
        ui::ClearRecordedMessages();
        Load(1, file.c_str());
        ++files;

        const ImportedBook expected = ImportContacts(*ExchangeFormatOf(U16(file)),
                                                     nwtest::ReadFileBytes(entry.path()), stem, u" (1)");
        std::vector<std::u16string> rows;
        ForEachContactRow(expected.records, [&](RecordList::Node*, auto nr, auto id, auto name, auto telefon) {
            rows.push_back(RowText(nr, id, name, telefon).substr(1) + u'|');
            std::replace(rows.back().begin(), rows.back().end(), u'\n', u'|');
        });
        EXPECT_FALSE(rows.empty());
        EXPECT_EQ(RowTexts(1), rows);
        EXPECT_EQ(ui::GetText(PanelWidgetNumber(1, NameFieldWidget)), stem);
        EXPECT_LE(ui::RecordedMessages().size(), 1u);
        EXPECT_FALSE(fs::exists(dir_ / "daten" / (file + "_Formatiert.xml")));

        ui::SetNextTableDialogAnswer(SaveAnyway);  // contacts without a number are asked about
        Click(PanelWidgetNumber(1, SaveButtonWidget));
        ASSERT_TRUE(apptest::HandlePendingEvents());
        Load(2, (file + "_NEU.xml").c_str());
        EXPECT_EQ(RowTexts(2, 2), RowTexts(1, 2));
    }
    EXPECT_GE(files, 10);
}

// What cannot be read is left out and told in one box and never ends the
// load; a file that cannot be opened gives the cannot-open box.
TEST_F(AppDispatch, ContactFileEntriesLeftOutAreToldInOneBox)
{
    const std::tuple<const char*, const char*, std::vector<std::string>, ui::Icon> cases[] = {
        {"karten.vcf",
         "BEGIN:VCARD\r\nFN:Ohne Ende\r\nBEGIN:VCARD\r\nFN:Gut\r\nTEL:030 1\r\nEND:VCARD\r\nBEGIN:VCARD\r\n"
         "FN:Ohne Nummer\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Q\r\nTEL;ENCODING=QUOTED-PRINTABLE:=G1\r\nEND:VCARD\r\n",
         {"Gut", "Ohne Nummer"}, ui::Icon::Information},
        {"felder.csv", "Name,Mobile Phone\r\nEva,0171 1\r\nZu,0171 2,x\r\nUwe,0171 3\r\n", {"Eva", "Uwe"},
         ui::Icon::Information},
        {"text.vcf", "nur Text\r\n", {}, ui::Icon::Information},
        {"fehlt.vcf", nullptr, {}, ui::Icon::Error},
        {"ordner.csv", "/", {}, ui::Icon::Error},  // a folder
    };
    Start();
    for (const auto& [file, bytes, names, icon] : cases) {
        SCOPED_TRACE(file);
        if (bytes && *bytes == '/')
            fs::create_directory(dir_ / "daten" / file);
        else if (bytes)
            nwtest::WriteFileBytes(dir_ / "daten" / file, bytes);
        ui::ClearRecordedMessages();
        Load(1, file);
        std::vector<std::string> shown;
        for (int row = 0; row < Rows(1); ++row)
            shown.push_back(U8(ui::GetItemText(PanelWidgetNumber(1, ContactListWidget), row, 3)));
        EXPECT_EQ(shown, names);
        ASSERT_EQ(ui::RecordedMessages().size(), 1u);
        EXPECT_EQ(ui::RecordedMessages()[0].icon, icon) << U8(ui::RecordedMessages()[0].text);
    }
}

// "Exportieren…" writes the ticked contacts, or all, as the library writes
// them; it never writes over a loaded file (panel 2's google.vcf, also
// through a link), nor a file of another kind, and a failure says so.
TEST_F(AppDispatch, ExportWritesTickedOrAllContacts)
{
    const std::tuple<std::vector<int>, const char*, bool> cases[] = {
        {{}, "k.vcf", true},       {{0, 2}, "k.csv", true},      {{}, "", false},
        {{}, "k.xml", false},      {{}, "google.vcf", false},    {{}, "verweis.vcf", false},
        {{}, "fehlt/k.vcf", false},
    };
    fs::copy_file(fs::path(NW_TEST_DATA_DIR) / "exchange" / "google.vcf", dir_ / "daten" / "google.vcf");
    fs::create_symlink("google.vcf", dir_ / "daten" / "verweis.vcf");
    const std::string loaded = nwtest::ReadFileBytes(dir_ / "daten" / "google.vcf");
    Start();
    Load(1, "links.xml");
    Load(2, "google.vcf");
    const int list = PanelWidgetNumber(1, ContactListWidget);
    for (const auto& [ticked, answer, written] : cases) {
        SCOPED_TRACE(answer);
        ui::ClearRecordedMessages();
        for (int row = 0; row < Rows(1); ++row)
            ui::SetItemState(list, row, 0);
        TickRows(1, ticked);
        ui::SetNextSaveFileAnswer(*answer ? DataFile(answer) : u"");
        ChooseFromListMenu(1, QStringLiteral("Exportieren\u2026"));
        ASSERT_TRUE(apptest::HandlePendingEvents());

        EXPECT_TRUE(ui::RecordedFileDialogs().back().save);
        EXPECT_EQ(nwtest::ReadFileBytes(dir_ / "daten" / "google.vcf"), loaded);
        EXPECT_EQ(ui::RecordedMessages().size(), written || !*answer ? 0u : 1u);
        std::vector<RecordList::Node*> contacts;
        for (int row = 0; row < Rows(1); ++row)
            if (ticked.empty() || (ui::GetItemState(list, row) & ui::RowTicked))
                contacts.push_back(Panel(1).contactByKey.at(ui::GetItemKey(list, row)));
        if (written) {
            EXPECT_EQ(nwtest::ReadFileBytes(dir_ / "daten" / answer),
                      ExportContacts(*ExchangeFormatOf(U16(answer)), contacts));
        }
    }
    EXPECT_FALSE(fs::exists(dir_ / "daten" / "k.xml"));
    // Panel 2's phonebook is named after its file: the dialog offers another.
    ui::SetNextSaveFileAnswer(u"");
    ChooseFromListMenu(2, QStringLiteral("Exportieren\u2026"));
    ASSERT_TRUE(apptest::HandlePendingEvents());
    const std::u16string offered = ui::RecordedFileDialogs().back().initialPath;
    EXPECT_TRUE(offered.starts_with(DataFile("google")) && offered.ends_with(u".vcf")) << U8(offered);
    EXPECT_NE(offered, DataFile("google.vcf"));
}

}  // namespace
