// The toolkit on real Qt widgets (offscreen platform): rows and their states,
// the event queue, widgets, fonts, windows and the dialog seam.
#include "test_support.h"
#include "ui/contact_list_model.h"
#include "ui/qt_access.h"
#include "ui/toolkit.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>

using nwtest::U16;
using nwtest::U8;

namespace {

constexpr int Win = 0;
constexpr int List = 15;

class UiToolkit : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ASSERT_TRUE(ui::Init());
    }
    void SetUp() override { ui::qt::ResetForTests(); }
    void TearDown() override { ui::qt::ResetForTests(); }

    static void OpenMainWindow(int width = 400, int height = 300)
    {
        ASSERT_TRUE(ui::OpenWindow(Win, 0, 0, width, height, u"Test", ui::WindowTitleBar | ui::WindowSystemMenu |
                                                                         ui::WindowMinimiseBox | ui::WindowScreenCentred,
                                   ui::NoWindow));
    }
    // A contact list with the program's five columns.
    static void OpenList()
    {
        OpenMainWindow();
        ASSERT_TRUE(ui::ListView(List, 0, 0, 380, 280, u"", 25,
                                 ui::ListCheckBoxes | ui::ListMultiSelect | ui::ListShowSelectionAlways |
                                     ui::ListGridLines | ui::ListFullRowSelect));
        ui::AddColumn(List, 1, u"Nr.", 65);
        ui::AddColumn(List, 2, u"ID", 45);
        ui::AddColumn(List, 3, u"Name", 230);
        ui::AddColumn(List, 4, u"Telefon", 410);
    }
    static QTableView* View() { return qobject_cast<QTableView*>(ui::qt::WidgetObject(List)); }
    static void Drain()
    {
        while (ui::PollEvent() != ui::Event::None) {
        }
    }
};

// Rows ------------------------------------------------------------------------

TEST_F(UiToolkit, RowsAreAddedInsertedRemovedAndClearedWithTheirKeys)
{
    OpenList();
    for (int i = 0; i < 5; ++i)
        ui::AddItem(List, -1, u"\n" + U16(std::to_string(i)) + u"\nid\nname\ntel", 100 + i);
    ui::AddItem(List, 0, u"\nfirst", 7);  // inserted before row 0
    ASSERT_EQ(ui::CountItems(List), 6);
    EXPECT_EQ(ui::GetItemText(List, 0, 1), u"first");
    EXPECT_EQ(ui::GetItemKey(List, 0), 7u);
    EXPECT_EQ(ui::GetItemText(List, 1, 1), u"0");

    ui::RemoveItem(List, 2);  // "1"
    ASSERT_EQ(ui::CountItems(List), 5);
    const char16_t* nr[] = {u"first", u"0", u"2", u"3", u"4"};
    const std::uint64_t keys[] = {7, 100, 102, 103, 104};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(ui::GetItemText(List, row, 1), nr[row]) << row;
        EXPECT_EQ(ui::GetItemKey(List, row), keys[row]) << row;
        EXPECT_EQ(View()->model()->index(row, 1).data().toString().toStdU16String(), nr[row]) << row;
    }
    ui::RemoveItem(List, 5);  // past the end: nothing
    ui::RemoveItem(List, -1);
    EXPECT_EQ(ui::CountItems(List), 5);
    EXPECT_EQ(ui::GetItemKey(List, 5), 0u);
    EXPECT_EQ(ui::GetItemText(List, 9, 1), u"");

    ui::ClearItems(List);
    EXPECT_EQ(ui::CountItems(List), 0);
    EXPECT_EQ(View()->model()->rowCount(), 0);
}

TEST_F(UiToolkit, ModelKeepsQtsModelContractThroughEveryChange)
{
    OpenList();
    auto* model = qobject_cast<ui::ContactListModel*>(View()->model());
    ASSERT_NE(model, nullptr);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Warning);
    // The tester reports a broken promise as a warning starting with "FAIL!".
    auto previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& msg) {
        if (msg.contains(QStringLiteral("FAIL!")))
            ADD_FAILURE() << msg.toStdString();
    });
    for (int i = 0; i < 20; ++i)
        ui::AddItem(List, i % 3 == 0 ? 0 : -1, u"\nnr\nid\nname\ntel", i);
    ui::SetItemState(List, 3, ui::RowSelected | ui::RowTicked);
    ui::RemoveItem(List, 3);
    ui::RemoveItem(List, 0);
    ui::SetItemState(List, 4, ui::RowTicked);  // while the removals are unannounced
    ui::PollEvent();
    ui::RemoveItem(List, 7);
    ui::AddItem(List, -1, u"\nlast");  // announces the removal first
    ui::RemoveItem(List, 0);
    ui::ClearItems(List);
    ui::PollEvent();
    qInstallMessageHandler(previous);
    EXPECT_EQ(ui::CountItems(List), 0);
}

struct CellCase {
    const char* name;
    std::u16string text;
    std::u16string cells[6];  // columns 0..5 (5 does not exist)
};

class UiToolkitCells : public UiToolkit, public ::testing::WithParamInterface<CellCase> {};

TEST_P(UiToolkitCells, CellTextsComeFromLineFeedJoinedRowText)
{
    OpenList();
    ui::AddItem(List, -1, GetParam().text, 1);
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(U8(ui::GetItemText(List, 0, column)), U8(GetParam().cells[column])) << "column " << column;
        if (column < 5) {
            EXPECT_EQ(View()->model()->index(0, column).data().toString().toStdU16String(), GetParam().cells[column]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UiToolkitCells,
    ::testing::Values(
        CellCase{"AllFields", u"\n12 (1)\n45\nJ\u00fcrgen M\u00fcller\n030 1234567  #  0171 7654321",
                 {u"", u"12 (1)", u"45", u"J\u00fcrgen M\u00fcller", u"030 1234567  #  0171 7654321", u""}},
        CellCase{"FewerFields", u"\n7 (2)", {u"", u"7 (2)", u"", u"", u"", u""}},
        CellCase{"NoLineFeed", u"alone", {u"alone", u"", u"", u"", u"", u""}},
        CellCase{"EmptyFields", u"\n\n\nName\n", {u"", u"", u"", u"Name", u"", u""}},
        CellCase{"MoreFieldsThanColumns", u"a\nb\nc\nd\ne\nf\ng", {u"a", u"b", u"c", u"d", u"e", u""}},
        CellCase{"EmptyText", u"", {u"", u"", u"", u"", u"", u""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UiToolkit, ExtraFieldsDoNotAppearInAColumnAddedLater)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::ListView(List, 0, 0, 300, 200, u"", 25, ui::ListCheckBoxes));
    ui::AddColumn(List, 1, u"A", 50);
    ui::AddItem(List, -1, u"x\ny\nz");
    ui::AddColumn(List, 2, u"B", 50);
    EXPECT_EQ(ui::GetItemText(List, 0, 1), u"y");
    EXPECT_EQ(ui::GetItemText(List, 0, 2), u"");
}

// Rows are kept in a buffer whose gap follows the removals, and removals reach
// Qt in batches. A reference vector takes the same random operations; the two
// must agree after every step, and Qt must agree whenever it has caught up.
TEST_F(UiToolkit, RandomEditsAgreeWithAReferenceList)
{
    OpenList();
    struct Ref {
        std::u16string nr;
        std::uint64_t key;
        int state;
    };
    std::vector<Ref> ref;
    std::mt19937 random(12345);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::uint64_t nextKey = 1;
    for (int step = 0; step < 3000; ++step) {
        const int n = static_cast<int>(ref.size());
        const int op = pick(10);
        if (op < 3 || n == 0) {
            const int position = pick(4) == 0 && n > 0 ? pick(n) : -1;
            const std::u16string nr = U16(std::to_string(nextKey));
            ui::AddItem(List, position, u"\n" + nr + u"\nid\nname\ntel", nextKey);
            ref.insert(position < 0 ? ref.end() : ref.begin() + position, Ref{nr, nextKey, 0});
            ++nextKey;
        } else if (op < 6) {
            // Mostly from the end down, as deleting and moving do.
            const int row = pick(3) == 0 ? pick(n) : std::max(0, n - 1 - pick(3));
            ui::RemoveItem(List, row);
            ref.erase(ref.begin() + row);
        } else if (op < 9) {
            const int row = pick(n);
            const int flags = pick(4);
            ui::SetItemState(List, row, flags);
            ref[static_cast<std::size_t>(row)].state = flags;
        } else {
            ui::PollEvent();
            QItemSelectionModel* selection = View()->selectionModel();
            for (int row = 0; row < n; ++row)
                ASSERT_EQ(selection->isRowSelected(row, QModelIndex()), (ref[static_cast<std::size_t>(row)].state & 1) != 0)
                    << "step " << step << " row " << row;
            ASSERT_EQ(View()->model()->rowCount(), n);
        }
        ASSERT_EQ(ui::CountItems(List), static_cast<int>(ref.size())) << "step " << step;
        for (int row = 0; row < static_cast<int>(ref.size()); ++row) {
            const Ref& r = ref[static_cast<std::size_t>(row)];
            ASSERT_EQ(ui::GetItemText(List, row, 1), r.nr) << "step " << step << " row " << row;
            ASSERT_EQ(ui::GetItemKey(List, row), r.key);
            ASSERT_EQ(ui::GetItemState(List, row), r.state) << "step " << step << " row " << row;
        }
    }
}

TEST_F(UiToolkit, CurrentRowAndColumnWidthsSurviveRemovalsAndClearing)
{
    OpenList();
    for (int i = 0; i < 10; ++i)
        ui::AddItem(List, -1, u"\n" + U16(std::to_string(i)));
    ui::SetItemState(List, 6, ui::RowSelected);
    ui::PollEvent();
    ui::RemoveItem(List, 9);
    ui::RemoveItem(List, 2);
    ui::RemoveItem(List, 1);
    ui::PollEvent();
    QTableView* view = View();
    EXPECT_EQ(view->currentIndex().row(), 4);
    EXPECT_EQ(ui::GetItemText(List, 4, 1), u"6");
    EXPECT_TRUE(view->selectionModel()->isRowSelected(4, QModelIndex()));
    EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);

    ui::ClearItems(List);
    ui::PollEvent();
    const int widths[] = {25, 65, 45, 230, 410};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(view->columnWidth(c), widths[c]) << c;
    EXPECT_FALSE(view->currentIndex().isValid());
}

TEST_F(UiToolkit, UserSelectionIsReadBackAndKeptApartFromProgramChanges)
{
    OpenList();
    for (int i = 0; i < 6; ++i)
        ui::AddItem(List, -1, u"\nr\nid\nname\ntel");
    QTableView* view = View();
    QApplication::processEvents();
    auto cellCentre = [view](int row) { return view->visualRect(view->model()->index(row, 3)).center(); };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCentre(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(5));
    const int expected[] = {0, 1, 0, 1, 1, 1};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(ui::GetItemState(List, row), expected[row]) << row;
    Drain();

    // "A +": the marked rows are ticked and lose their mark.
    for (int row = 0; row < 6; ++row)
        if (ui::GetItemState(List, row) & ui::RowSelected)
            ui::SetItemState(List, row, ui::RowTicked);
    ui::PollEvent();
    EXPECT_TRUE(view->selectionModel()->selectedRows().isEmpty());
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(ui::GetItemState(List, row), expected[row] ? ui::RowTicked : 0) << row;

    // A plain click selects that row alone again.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCentre(2));
    EXPECT_EQ(ui::GetItemState(List, 2), ui::RowSelected);
    EXPECT_EQ(ui::GetItemState(List, 3), ui::RowTicked);
}

// Row states --------------------------------------------------------------------

struct StateCase {
    int start;     // state of row 1 before
    int set;       // flags given to SetItemState
    int expected;  // state read back
};

void PrintTo(const StateCase& c, std::ostream* os)
{
    *os << "start " << c.start << ", set " << c.set << " -> " << c.expected;
}

class UiToolkitRowState : public UiToolkit, public ::testing::WithParamInterface<StateCase> {};

TEST_P(UiToolkitRowState, SetItemStateSetsSelectionAndTickExactlyAsGiven)
{
    OpenList();
    for (int i = 0; i < 3; ++i)
        ui::AddItem(List, -1, u"\nr", i);
    // Neighbours with states of their own must keep them.
    ui::SetItemState(List, 0, ui::RowSelected | ui::RowTicked);
    ui::SetItemState(List, 2, ui::RowTicked);
    ui::SetItemState(List, 1, GetParam().start);
    ASSERT_EQ(ui::GetItemState(List, 1), GetParam().start);

    ui::SetItemState(List, 1, GetParam().set);
    const int state = ui::GetItemState(List, 1);
    EXPECT_EQ(state, GetParam().expected);

    // What Qt itself shows agrees.
    QTableView* view = View();
    const QModelIndex cell = view->model()->index(1, 0);
    EXPECT_EQ(view->selectionModel()->isRowSelected(1, QModelIndex()), (state & ui::RowSelected) != 0);
    EXPECT_EQ(cell.data(Qt::CheckStateRole).toInt(),
              (state & ui::RowTicked) ? Qt::Checked : (state & ui::RowIndeterminate) ? Qt::PartiallyChecked : Qt::Unchecked);
    if (GetParam().set & ui::RowSelected) {
        EXPECT_EQ(view->selectionModel()->currentIndex().row(), 1);
    }

    EXPECT_EQ(ui::GetItemState(List, 0), ui::RowSelected | ui::RowTicked);
    EXPECT_EQ(ui::GetItemState(List, 2), ui::RowTicked);
    EXPECT_EQ(ui::PendingEventCount(), 0) << "the program's own changes raise no events";
}

INSTANTIATE_TEST_SUITE_P(
    Table, UiToolkitRowState,
    ::testing::Values(StateCase{0, 0, 0}, StateCase{0, 1, 1}, StateCase{0, 2, 2}, StateCase{0, 3, 3},
                      StateCase{1, 0, 0}, StateCase{1, 1, 1}, StateCase{1, 2, 2}, StateCase{1, 3, 3},
                      StateCase{2, 0, 0}, StateCase{2, 1, 1}, StateCase{2, 2, 2}, StateCase{2, 3, 3},
                      StateCase{3, 0, 0}, StateCase{3, 1, 1}, StateCase{3, 2, 2}, StateCase{3, 3, 3},
                      StateCase{0, 4, 4}, StateCase{3, 5, 5}, StateCase{4, 2, 2}, StateCase{0, 6, 2}));

TEST_F(UiToolkit, NewRowsAreNeitherSelectedNorTickedAndStateOfMissingRowIsZero)
{
    OpenList();
    ui::AddItem(List, -1, u"\na");
    ui::SetItemState(List, 0, ui::RowSelected | ui::RowTicked);
    ui::AddItem(List, 0, u"\nb");  // inserted in front of a selected, ticked row
    EXPECT_EQ(ui::GetItemState(List, 0), 0);
    EXPECT_EQ(ui::GetItemState(List, 1), ui::RowSelected | ui::RowTicked);
    EXPECT_EQ(ui::GetItemState(List, 2), 0);
    EXPECT_EQ(ui::GetItemState(List, -1), 0);
}

TEST_F(UiToolkit, UserTickingACheckBoxTicksTheRowAndIsAnEventOfTheList)
{
    OpenList();
    ui::AddItem(List, -1, u"\na");
    ui::AddItem(List, -1, u"\nb");
    QTableView* view = View();
    QApplication::processEvents();
    const QModelIndex cell = view->model()->index(1, 0);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(cell);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    ASSERT_TRUE(box.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());

    EXPECT_EQ(ui::GetItemState(List, 1) & ui::RowTicked, ui::RowTicked);
    EXPECT_EQ(ui::GetItemState(List, 0), 0);
    ASSERT_EQ(ui::PollEvent(), ui::Event::Widget);
    EXPECT_EQ(ui::EventWidget(), List);
    EXPECT_EQ(ui::PollEvent(), ui::Event::None) << "the tick and the click are one event";
}

// Events ----------------------------------------------------------------------------

TEST_F(UiToolkit, EqualEventsInARowAreQueuedOnceOthersInOrder)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::Button(3, 10, 10, 40, 24, u"A"));
    ASSERT_TRUE(ui::Button(4, 60, 10, 40, 24, u"B"));
    auto* a = qobject_cast<QPushButton*>(ui::qt::WidgetObject(3));
    auto* b = qobject_cast<QPushButton*>(ui::qt::WidgetObject(4));
    ASSERT_TRUE(a && b);

    struct Case {
        std::vector<QPushButton*> clicks;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {{a}, {3}},
        {{a, a}, {3}},
        {{a, a, a}, {3}},
        {{a, b, a}, {3, 4, 3}},
        {{a, b, b, a, a}, {3, 4, 3}},
    };
    for (const Case& c : cases) {
        for (QPushButton* button : c.clicks)
            button->click();
        ASSERT_EQ(ui::PendingEventCount(), static_cast<int>(c.expected.size()));
        for (int widget : c.expected) {
            ASSERT_EQ(ui::PollEvent(), ui::Event::Widget);
            EXPECT_EQ(ui::EventWidget(), widget);
            EXPECT_EQ(ui::EventWindow(), Win);
        }
        EXPECT_EQ(ui::PollEvent(), ui::Event::None);
    }
}

TEST_F(UiToolkit, EqualEventIsQueuedAgainOnceTheFirstHasBeenTaken)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::Button(3, 10, 10, 40, 24, u"A"));
    auto* a = qobject_cast<QPushButton*>(ui::qt::WidgetObject(3));
    a->click();
    EXPECT_EQ(ui::WaitForEvent(), ui::Event::Widget);
    a->click();
    EXPECT_EQ(ui::WaitForEvent(), ui::Event::Widget);
    EXPECT_EQ(ui::EventWidget(), 3);
}

TEST_F(UiToolkit, RealMouseClickOnAButtonIsOneWidgetEvent)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::Button(20, 10, 10, 55, 24, u"Laden"));
    QTest::mouseClick(ui::qt::WidgetObject(20), Qt::LeftButton);
    ASSERT_EQ(ui::PendingEventCount(), 1);
    EXPECT_EQ(ui::WaitForEvent(), ui::Event::Widget);
    EXPECT_EQ(ui::EventWidget(), 20);
}

TEST_F(UiToolkit, ProgramChangesRaiseNoEvents)
{
    OpenList();
    ASSERT_TRUE(ui::TextField(7, 10, 10, 100, 24, u"", ui::FieldNoBorder));
    ASSERT_TRUE(ui::CheckBox(34, 10, 40, 100, 24, u"box"));
    ASSERT_TRUE(ui::Button(3, 10, 70, 40, 24, u"A"));
    ui::SetText(7, u"Name");
    ui::SetText(3, u"B");
    ui::SetState(34, 1);
    ui::SetState(34, 0);
    ui::AddItem(List, -1, u"\na");
    ui::SetItemState(List, 0, 3);
    ui::SetItemState(List, 0, 0);
    ui::RemoveItem(List, 0);
    EXPECT_EQ(ui::PollEvent(), ui::Event::None);
}

TEST_F(UiToolkit, CloseIsRefusedAndQueuedAsCloseRequest)
{
    OpenMainWindow();
    QWidget* window = ui::qt::WindowWidget(Win);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ui::WindowExists(Win));
    EXPECT_EQ(ui::WaitForEvent(), ui::Event::CloseRequest);
    EXPECT_EQ(ui::EventWindow(), Win);
}

// With the pointer resting on a button of a window that is not the active
// one, its tooltip still shows.
TEST_F(UiToolkit, ToolTipShowsWhileItsWindowIsInactive)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::Button(3, 10, 10, 40, 24, u"Neu"));
    ui::AttachToolTip(3, u"Neues Telefonbuch anlegen.");
    ASSERT_TRUE(ui::OpenWindow(1, 0, 0, 100, 100, u"Info", ui::WindowTitleBar, Win));
    QApplication::setActiveWindow(ui::qt::WindowWidget(1));
    ASSERT_TRUE(QTest::qWaitForWindowActive(ui::qt::WindowWidget(1)));
    QWidget* button = ui::qt::WidgetObject(3);
    ASSERT_FALSE(button->isActiveWindow());
    QTest::mouseMove(button, QPoint(5, 5));
    QTest::mouseMove(button, QPoint(10, 10));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Neues Telefonbuch anlegen."));
    QToolTip::hideText();
}

// Widgets ----------------------------------------------------------------------------

TEST_F(UiToolkit, CheckBoxStateFollowsUserAndProgram)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::CheckBox(34, 10, 10, 370, 30, u" ToolTip"));
    auto* box = qobject_cast<QCheckBox*>(ui::qt::WidgetObject(34));
    EXPECT_EQ(ui::GetState(34), 0);
    ui::SetState(34, 5);
    EXPECT_EQ(ui::GetState(34), 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_EQ(ui::GetState(34), 0);
    ASSERT_EQ(ui::PollEvent(), ui::Event::Widget);
    EXPECT_EQ(ui::EventWidget(), 34);
    ui::SetState(34, 0);
    EXPECT_EQ(ui::GetState(34), 0);
}

TEST_F(UiToolkit, TextFieldGivesBackWhatTheUserTyped)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::TextField(9, 10, 10, 300, 24, u"start", ui::FieldNoBorder));
    auto* field = qobject_cast<QLineEdit*>(ui::qt::WidgetObject(9));
    EXPECT_FALSE(field->hasFrame());
    EXPECT_EQ(ui::GetText(9), u"start");
    ui::SetText(9, u"/home/b\u00e4r/telefonbuch.xml");
    EXPECT_EQ(ui::GetText(9), u"/home/b\u00e4r/telefonbuch.xml");
    field->selectAll();
    QTest::keyClicks(field, "Gr");
    for (const QString& letter : {QStringLiteral("\u00fc"), QStringLiteral("\u00df"), QStringLiteral("e")}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, letter);
        QApplication::sendEvent(field, &press);
    }
    EXPECT_EQ(ui::GetText(9), u"Gr\u00fc\u00dfe");
    Drain();
}

TEST_F(UiToolkit, LabelShowsAmpersandLiterallyAndTakesAlignment)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::TextLabel(1, 10, 10, 120, 26, u"A & B <b>x</b>", 0));
    ASSERT_TRUE(ui::TextLabel(32, 10, 40, 600, 30, u"Nummernwerk", ui::LabelCentred));
    auto* left = qobject_cast<QLabel*>(ui::qt::WidgetObject(1));
    auto* centred = qobject_cast<QLabel*>(ui::qt::WidgetObject(32));
    EXPECT_EQ(left->textFormat(), Qt::PlainText);
    EXPECT_EQ(ui::GetText(1), u"A & B <b>x</b>");
    EXPECT_TRUE(left->alignment() & Qt::AlignLeft);
    EXPECT_TRUE(centred->alignment() & Qt::AlignHCenter);
}

TEST_F(UiToolkit, ContainerPlacesChildrenOnItsInnerArea)
{
    OpenMainWindow(1630, 920);
    ASSERT_TRUE(ui::Container(16, 820, 10, 800, 900, ui::ContainerFlatBorder));
    ASSERT_TRUE(ui::TextLabel(17, 10, 10, 120, 26, u"Telefonbuch 2", 0));
    ASSERT_TRUE(ui::ListView(31, 0, 75, 798, 823, u"", 25, ui::ListCheckBoxes));
    ui::CloseContainerList();
    ASSERT_TRUE(ui::Button(40, 5, 5, 10, 10, u"x"));

    QWidget* window = ui::qt::WindowWidget(Win);
    auto* frame = qobject_cast<QFrame*>(ui::qt::WidgetObject(16));
    EXPECT_EQ(frame->frameWidth(), 1);
    EXPECT_EQ(ui::qt::ContainerArea(16)->size(), QSize(798, 898));
    EXPECT_EQ(ui::qt::WidgetObject(17)->mapTo(window, QPoint(0, 0)), QPoint(831, 21));
    // The list's right and bottom edges meet the border.
    const QRect list(ui::qt::WidgetObject(31)->mapTo(window, QPoint(0, 0)), ui::qt::WidgetObject(31)->size());
    EXPECT_EQ(list, QRect(821, 86, 798, 823));
    EXPECT_EQ(ui::qt::WidgetObject(40)->parentWidget(), window);
}

TEST_F(UiToolkit, ColoursGoToPaletteAndBackToDefault)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::TextLabel(2, 10, 10, 90, 26, u" Anz.: 0", 0));
    ASSERT_TRUE(ui::TextField(7, 10, 40, 120, 24, u"", ui::FieldNoBorder));
    ui::SetWidgetColour(2, ui::ColourText, ui::Rgb(0, 0, 255));
    ui::SetWidgetColour(2, ui::ColourBackground, ui::Rgb(230, 230, 230));
    ui::SetWidgetColour(7, ui::ColourText, ui::Rgb(81, 81, 81));
    ui::SetWidgetColour(7, ui::ColourBackground, ui::Rgb(230, 230, 230));
    ui::SetWindowColour(Win, ui::Rgb(198, 198, 198));

    QWidget* label = ui::qt::WidgetObject(2);
    QWidget* field = ui::qt::WidgetObject(7);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(label->palette().color(QPalette::Window), QColor(230, 230, 230));
    EXPECT_TRUE(label->autoFillBackground());
    EXPECT_EQ(field->palette().color(QPalette::Text), QColor(81, 81, 81));
    EXPECT_EQ(field->palette().color(QPalette::Base), QColor(230, 230, 230));
    EXPECT_EQ(ui::qt::WindowWidget(Win)->palette().color(QPalette::Window), QColor(198, 198, 198));

    ui::SetWidgetColour(2, ui::ColourBackground, ui::DefaultColour);
    EXPECT_EQ(label->palette().color(QPalette::Window), QApplication::palette(label).color(QPalette::Window));
    EXPECT_FALSE(label->autoFillBackground());
}

TEST_F(UiToolkit, EditorAppendsLinesAndDoesNotWrap)
{
    OpenMainWindow(620, 500);
    ASSERT_TRUE(ui::TextEditor(33, 10, 40, 600, 350, ui::EditorReadOnly));
    const std::u16string lines[] = {u"Getestet", u"", u"  1. eins", u""};
    for (const auto& line : lines)
        ui::AddItem(33, -1, line);
    auto* editor = qobject_cast<QPlainTextEdit*>(ui::qt::WidgetObject(33));
    EXPECT_EQ(editor->blockCount(), 4);
    EXPECT_EQ(ui::GetText(33), u"Getestet\n\n  1. eins\n");
    EXPECT_TRUE(editor->isReadOnly());
    EXPECT_EQ(editor->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(editor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(editor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QTest::keyClicks(editor, "typed");
    EXPECT_EQ(ui::GetText(33), u"Getestet\n\n  1. eins\n");
}

TEST_F(UiToolkit, EditorWithMoreLinesThanItShowsStartsAtTheTop)
{
    OpenMainWindow(620, 500);
    ASSERT_TRUE(ui::TextEditor(33, 10, 40, 600, 100, ui::EditorReadOnly));
    for (int i = 0; i < 60; ++i)
        ui::AddItem(33, -1, u"Zeile");
    auto* editor = qobject_cast<QPlainTextEdit*>(ui::qt::WidgetObject(33));
    ui::qt::WindowWidget(0)->show();
    QApplication::processEvents();
    EXPECT_GT(editor->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(editor->verticalScrollBar()->value(), 0);
    EXPECT_EQ(editor->textCursor().position(), 0);
}

TEST_F(UiToolkit, ListHasTheReportOptions)
{
    OpenList();
    QTableView* view = View();
    const char16_t* titles[] = {u"", u"Nr.", u"ID", u"Name", u"Telefon"};
    const int widths[] = {25, 65, 45, 230, 410};
    ASSERT_EQ(view->model()->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(view->model()->headerData(c, Qt::Horizontal).toString().toStdU16String(), titles[c]);
        EXPECT_EQ(view->columnWidth(c), widths[c]);
    }
    EXPECT_FALSE(view->verticalHeader()->isVisible());
    EXPECT_TRUE(view->horizontalHeader()->isVisible());
    EXPECT_TRUE(view->showGrid());
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    const QPalette p = view->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight), p.color(QPalette::Active, QPalette::Highlight));
    ui::AddItem(List, -1, u"\na");
    view = View();  // the new row is announced to Qt
    EXPECT_TRUE(view->model()->flags(view->model()->index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(view->model()->flags(view->model()->index(0, 1)) & Qt::ItemIsUserCheckable);
}

TEST_F(UiToolkit, TabAndShiftTabWalkTheWidgetsInCreationOrder)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::Container(0, 0, 0, 400, 300, ui::ContainerFlatBorder));
    ASSERT_TRUE(ui::TextLabel(2, 10, 10, 50, 24, u"Name:", 0));
    ASSERT_TRUE(ui::Button(3, 10, 40, 40, 24, u"Neu"));
    ASSERT_TRUE(ui::TextField(7, 10, 70, 100, 24, u"", ui::FieldNoBorder));
    ASSERT_TRUE(ui::ListView(List, 10, 100, 300, 100, u"", 25, ui::ListCheckBoxes));
    ui::CloseContainerList();
    ASSERT_TRUE(ui::Button(4, 10, 250, 40, 24, u"Laden"));
    QWidget* window = ui::qt::WindowWidget(Win);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    ui::qt::WidgetObject(3)->setFocus();

    const int forward[] = {7, List, 4, 3};
    for (int number : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), ui::qt::WidgetObject(number)) << number;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), ui::qt::WidgetObject(4));
    Drain();
}

TEST_F(UiToolkit, WidgetNumberReusedReplacesTheOldWidget)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::Button(3, 10, 10, 40, 24, u"old"));
    QPointer<QWidget> old = ui::qt::WidgetObject(3);
    ASSERT_TRUE(ui::TextLabel(3, 10, 10, 40, 24, u"new", 0));
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(ui::GetText(3), u"new");
}

// Fonts ------------------------------------------------------------------------------

struct FontCase {
    const char* face;
    int points;
    unsigned flags;
};

class UiToolkitFonts : public UiToolkit, public ::testing::WithParamInterface<FontCase> {};

TEST_P(UiToolkitFonts, FontIsSizedFromTheDisplayDpi)
{
    const FontCase& c = GetParam();
    ASSERT_TRUE(ui::CreateFont(1, U16(c.face), c.points, c.flags));
    const int dpi = QGuiApplication::primaryScreen() ? static_cast<int>(std::lround(
                                                            QGuiApplication::primaryScreen()->logicalDotsPerInchY()))
                                                      : 96;
    EXPECT_EQ(ui::DisplayDpiY(), dpi > 0 ? dpi : 96);
    const int expected = static_cast<int>(std::floor(c.points * ui::DisplayDpiY() / 72.0 + 0.5));
    EXPECT_EQ(ui::FontPixelHeight(1), expected);
    const QFont* font = ui::qt::FontObject(1);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->pixelSize(), expected);
    EXPECT_EQ(font->family(), QString::fromUtf8(c.face));
    EXPECT_EQ(font->weight(), (c.flags & ui::FontBold) ? QFont::Bold : QFont::Normal);
    EXPECT_EQ(font->underline(), (c.flags & ui::FontUnderline) != 0);
    EXPECT_EQ(font->styleStrategy() & QFont::PreferQuality,
              (c.flags & ui::FontHighQuality) ? QFont::PreferQuality : 0);

    OpenMainWindow();
    ASSERT_TRUE(ui::Button(3, 10, 10, 40, 24, u"Neu"));
    ui::SetWidgetFont(3, 1);
    EXPECT_EQ(ui::qt::WidgetObject(3)->font().pixelSize(), expected);
}

INSTANTIATE_TEST_SUITE_P(Program, UiToolkitFonts,
                         ::testing::Values(FontCase{"Arial", 10, ui::FontBold | ui::FontHighQuality},
                                           FontCase{"Arial", 12, ui::FontBold | ui::FontUnderline | ui::FontHighQuality},
                                           FontCase{"Arial", 9, ui::FontHighQuality},
                                           FontCase{"Arial", 11, 0},  // 14.67 pixels at 96 dpi: rounds up
                                           FontCase{"DejaVu Sans", 7, 0}));

TEST_F(UiToolkit, FailedOrFreedFontLeavesTheDefault)
{
    EXPECT_FALSE(ui::CreateFont(2, u"", 9, 0));
    EXPECT_FALSE(ui::CreateFont(2, u"Arial", 0, 0));
    EXPECT_FALSE(ui::FontExists(2));
    EXPECT_EQ(ui::FontPixelHeight(2), 0);
    OpenMainWindow();
    ASSERT_TRUE(ui::Button(3, 10, 10, 40, 24, u"Neu"));
    const QFont before = ui::qt::WidgetObject(3)->font();
    ui::SetWidgetFont(3, 2);
    EXPECT_EQ(ui::qt::WidgetObject(3)->font(), before);

    ASSERT_TRUE(ui::CreateFont(2, u"Arial", 9, 0));
    EXPECT_TRUE(ui::FontExists(2));
    ui::FreeFont(2);
    EXPECT_FALSE(ui::FontExists(2));
    EXPECT_EQ(ui::qt::FontObject(2), nullptr);
}

// Windows --------------------------------------------------------------------------------

TEST_F(UiToolkit, WindowHasExactFixedClientAreaAndItsFlags)
{
    OpenMainWindow(200, 100);
    QWidget* window = ui::qt::WindowWidget(Win);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(200, 100));
    EXPECT_EQ(window->minimumSize(), QSize(200, 100));
    EXPECT_EQ(window->maximumSize(), QSize(200, 100));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Test"));
    const Qt::WindowFlags f = window->windowFlags();
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    const QRect screen = window->screen()->geometry();
    const QRect frame = window->frameGeometry();
    const int x = frame.width() > screen.width() ? 0 : (screen.width() - frame.width()) / 2;
    const int y = frame.height() > screen.height() ? 0 : (screen.height() - frame.height()) / 2;
    EXPECT_EQ(frame.topLeft(), QPoint(x, y));
}

TEST_F(UiToolkit, WindowLargerThanTheScreenStartsAtZero)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QSize big = screen->geometry().size() + QSize(100, 100);
    OpenMainWindow(big.width(), big.height());
    EXPECT_EQ(ui::qt::WindowWidget(Win)->frameGeometry().topLeft(), QPoint(0, 0));
}

TEST_F(UiToolkit, OwnedWindowStaysWithItsOwnerWithoutBlockingIt)
{
    OpenMainWindow(1630, 920);
    ASSERT_TRUE(ui::OpenWindow(1, 0, 0, 620, 500, u"Nummernwerk - Information",
                               ui::WindowTitleBar | ui::WindowScreenCentred, Win));
    ASSERT_TRUE(ui::Button(35, 250, 450, 120, 30, u"Schliessen"));
    QWidget* main = ui::qt::WindowWidget(Win);
    QPointer<QWidget> info = ui::qt::WindowWidget(1);
    EXPECT_EQ(info->parentWidget(), main);
    EXPECT_TRUE(info->isWindow());
    EXPECT_EQ(info->windowModality(), Qt::NonModal);
    EXPECT_FALSE(info->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(info->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(info->size(), QSize(620, 500));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    qobject_cast<QPushButton*>(ui::qt::WidgetObject(35))->click();
    ASSERT_EQ(ui::PollEvent(), ui::Event::Widget);
    EXPECT_EQ(ui::EventWindow(), 1);
    ui::CloseWindow(1);
    EXPECT_TRUE(info.isNull());
    EXPECT_FALSE(ui::WindowExists(1));
    EXPECT_FALSE(ui::WidgetExists(35));
    EXPECT_TRUE(ui::WindowExists(Win));
}

TEST_F(UiToolkit, ClosingAWindowDropsItsWaitingEvents)
{
    OpenMainWindow();
    ASSERT_TRUE(ui::OpenWindow(1, 0, 0, 100, 100, u"Info", ui::WindowTitleBar, Win));
    ui::qt::WindowWidget(1)->close();
    ui::qt::WindowWidget(Win)->close();
    ASSERT_EQ(ui::PendingEventCount(), 2);
    ui::CloseWindow(1);
    ASSERT_EQ(ui::PollEvent(), ui::Event::CloseRequest);
    EXPECT_EQ(ui::EventWindow(), Win);
}

TEST_F(UiToolkit, WindowIconComesFromArgbPixels)
{
    OpenMainWindow();
    std::vector<std::uint32_t> pixels(16 * 16, 0xFF00FF00u);
    pixels[0] = 0x80FF0000u;
    ui::SetWindowIcon(Win, 16, 16, pixels);
    const QImage image = ui::qt::WindowWidget(Win)->windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_EQ(image.pixel(5, 5), 0xFF00FF00u);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0x80);
}

// Dialogs ----------------------------------------------------------------------------------

TEST_F(UiToolkit, RecordedMessageBoxesAreNotShown)
{
    ui::RecordMessageBoxes(true);
    ui::MessageBox(u"Fehler", u"  Datei nicht gefunden.    ", ui::Icon::Error);
    ui::MessageBox(u"Info", u"  <contact>    ", ui::Icon::Information);
    ASSERT_EQ(ui::RecordedMessages().size(), 2u);
    EXPECT_EQ(ui::RecordedMessages()[0].title, u"Fehler");
    EXPECT_EQ(ui::RecordedMessages()[0].text, u"  Datei nicht gefunden.    ");
    EXPECT_EQ(ui::RecordedMessages()[0].icon, ui::Icon::Error);
    EXPECT_EQ(ui::RecordedMessages()[1].icon, ui::Icon::Information);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 0);
    ui::ClearRecordedMessages();
    EXPECT_TRUE(ui::RecordedMessages().empty());
}

// Runs check on the first modal dialog that opens, then lets it finish.
void WhenModalOpens(std::function<void(QWidget*)> check)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            check(modal);
        }
    });
    timer->start(10);
}

TEST_F(UiToolkit, RealMessageBoxIsModalPlainTextWithOneOkButton)
{
    OpenMainWindow();
    bool seen = false;
    WhenModalOpens([&seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->text(), QStringLiteral("  <b>x</b> & y    "));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Warnung"));
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->parentWidget(), ui::qt::WindowWidget(Win));
        box->button(QMessageBox::Ok)->click();
    });
    ui::MessageBox(u"Warnung", u"  <b>x</b> & y    ", ui::Icon::Warning);
    EXPECT_TRUE(seen);
}

// The real box: its buttons in the given order, Return for the default one,
// Escape and the close button for the cancel one, a click for that button.
TEST_F(UiToolkit, RealQuestionAnswersWithTheButtonChosen)
{
    OpenMainWindow();
    const std::vector<std::u16string> buttons = {u"Speichern", u"Verwerfen", u"Abbrechen"};
    const std::pair<std::function<void(QMessageBox*, QList<QAbstractButton*>&)>, int> cases[] = {
        {[](QMessageBox* box, auto&) { QTest::keyClick(box, Qt::Key_Return); }, 0},
        {[](QMessageBox* box, auto&) { QTest::keyClick(box, Qt::Key_Escape); }, 2},
        {[](QMessageBox* box, auto&) { box->close(); }, 2},
        {[](QMessageBox*, auto& shown) { shown[1]->click(); }, 1},
    };
    for (const auto& [answer, expected] : cases) {
        WhenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->parentWidget(), ui::qt::WindowWidget(Win));
            QList<QAbstractButton*> shown = box->buttons();
            std::sort(shown.begin(), shown.end(), [box](QAbstractButton* a, QAbstractButton* b) {
                return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
            });
            ASSERT_EQ(shown.size(), 3);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(shown[i]->text().toStdU16String(), buttons[i]);
            answer(box, shown);
        });
        EXPECT_EQ(ui::Question(u"Frage", u"  <b>Speichern?</b>    ", ui::Icon::Warning, buttons, 0, 2), expected);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// ShowRow leaves one row marked, the current one, and brings it into view.
TEST_F(UiToolkit, ShowRowMarksTheRowAloneAndScrollsToIt)
{
    OpenList();
    for (int i = 0; i < 200; ++i)
        ui::AddItem(List, -1, u"\n" + U16(std::to_string(i)));
    ui::SetItemState(List, 0, ui::RowSelected | ui::RowTicked);
    ui::SetItemState(List, 1, ui::RowSelected);
    for (int row : {150, 3, 199}) {
        ui::ShowRow(List, row);
        QTableView* view = View();
        for (int r = 0; r < 200; ++r)
            ASSERT_EQ(ui::GetItemState(List, r) & ui::RowSelected, r == row ? ui::RowSelected : 0) << r;
        EXPECT_EQ(view->currentIndex().row(), row);
        EXPECT_TRUE(view->viewport()->rect().contains(view->visualRect(view->model()->index(row, 1))));
    }
    EXPECT_TRUE(ui::GetItemState(List, 0) & ui::RowTicked);
}

// The real table dialog: its cells from the rows' line-feed-joined texts,
// Return for the default button, Escape and the close button for the cancel
// one; with choose set, a click on a row and Return on the current row
// choose it and the dialog stays open.
TEST_F(UiToolkit, RealTableDialogAnswersAndReportsChosenRows)
{
    OpenMainWindow();
    using Act = std::function<void(QDialog*, QTableView*, QList<QPushButton*>&)>;
    struct Case {
        bool choosing;
        Act act;
        int answer;
        std::vector<int> chosen;
    };
    const auto clickRow = [](QTableView* table, int row) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
    };
    const Case cases[] = {
        {false, [](QDialog* d, QTableView*, auto&) { QTest::keyClick(d, Qt::Key_Return); }, 0, {}},
        {false, [](QDialog* d, QTableView*, auto&) { QTest::keyClick(d, Qt::Key_Escape); }, 1, {}},
        {false, [](QDialog* d, QTableView*, auto&) { d->close(); }, 1, {}},
        {false, [](QDialog*, QTableView*, auto& b) { b[1]->click(); }, 1, {}},
        {true,
         [clickRow](QDialog* d, QTableView* t, auto& b) {
             clickRow(t, 1);
             QTest::keyClick(t, Qt::Key_Down);
             QTest::keyClick(t, Qt::Key_Return);
             EXPECT_TRUE(d->isVisible());
             b[0]->click();
         },
         0, {1, 2}},
    };
    for (const Case& c : cases) {
        std::vector<int> chosen;
        ui::TableDialog dialog;
        dialog.title = u"Tabelle";
        dialog.columns = {u"Art", u"Nr.", u"Text"};
        dialog.columnWidths = {60, 60};
        dialog.rows = {u"Fehler\n1\nerste", u"Warnung\n2\nzweite", u"Hinweis\n3\ndritte & <b>"};
        dialog.buttons = {u"Ja", u"Nein"};
        dialog.cancelButton = 1;
        if (c.choosing)
            dialog.choose = [&chosen](int row) { chosen.push_back(row); };
        WhenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QDialog*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->parentWidget(), ui::qt::WindowWidget(Win));
            auto* table = box->findChild<QTableView*>();
            ASSERT_NE(table, nullptr);
            EXPECT_EQ(table->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Text"));
            EXPECT_EQ(table->model()->index(2, 2).data().toString(), QStringLiteral("dritte & <b>"));
            EXPECT_EQ(table->columnWidth(1), 60);
            QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
            ASSERT_EQ(buttons.size(), 2);
            std::sort(buttons.begin(), buttons.end(),
                      [](QPushButton* a, QPushButton* b) { return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x(); });
            EXPECT_EQ(buttons[0]->text(), QStringLiteral("Ja"));
            EXPECT_TRUE(buttons[0]->isDefault());
            c.act(box, table, buttons);
        });
        EXPECT_EQ(ui::ShowTableDialog(dialog), c.answer);
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// A right click, the Menu key and Shift+F10 open the menu; entries show "&"
// as it is, a disabled one is greyed, and a chosen one is a widget event of
// its number in the list's window.
TEST_F(UiToolkit, ContextMenuOpensFromMouseAndKeysAndQueuesItsEntry)
{
    OpenList();
    ui::AddItem(List, -1, u"\n1\n1\nA\n0");
    std::vector<int> asked;
    ui::SetContextMenu(List, {{40, u"A & B"}, {41, u"Zwei"}}, [&asked](int entry) {
        asked.push_back(entry);
        return entry != 41;
    });
    const std::function<void(QTableView*)> openers[] = {
        [](QTableView* view) {
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), view->viewport()->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(view->viewport(), &click);
        },
        [](QTableView* view) { QTest::keyClick(view, Qt::Key_Menu); },
        [](QTableView* view) { QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier); },
    };
    for (const auto& open : openers) {
        asked.clear();
        Drain();
        open(View());
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), QStringLiteral("A && B"));
        EXPECT_TRUE(actions[0]->isEnabled());
        EXPECT_FALSE(actions[1]->isEnabled());
        EXPECT_EQ(asked, (std::vector<int>{40, 41}));
        actions[0]->trigger();
        menu->close();
        ASSERT_EQ(ui::PollEvent(), ui::Event::Widget);
        EXPECT_EQ(ui::EventWidget(), 40);
        EXPECT_EQ(ui::EventWindow(), Win);
        EXPECT_EQ(ui::PollEvent(), ui::Event::None);
    }
}

TEST_F(UiToolkit, QueuedFileAnswersAreReturnedInOrderWithoutADialog)
{
    ui::SetNextOpenFileAnswer(u"/tmp/a.xml");
    ui::SetNextOpenFileAnswer(u"");
    EXPECT_EQ(ui::OpenFileDialog(u"Telefonbuch ausw\u00e4hlen:", u"/tmp/", u"Telefonbuch (*.xml)|*.xml", 0),
              u"/tmp/a.xml");
    EXPECT_EQ(ui::OpenFileDialog(u"second", u"/x/y.xml", u"A|*.a|B|*.b", 1), u"") << "the empty answer cancels";
    ASSERT_EQ(ui::RecordedFileDialogs().size(), 2u);
    const ui::RecordedFileDialog& first = ui::RecordedFileDialogs()[0];
    EXPECT_EQ(first.title, u"Telefonbuch ausw\u00e4hlen:");
    EXPECT_EQ(first.initialPath, u"/tmp/");
    EXPECT_EQ(first.filter, u"Telefonbuch (*.xml)|*.xml");
    EXPECT_EQ(first.filterIndex, 0);
    EXPECT_EQ(ui::RecordedFileDialogs()[1].filterIndex, 1);
}

// The save dialog takes its own queued answers; shown, it is one to write
// with, and a name typed without extension gets the chosen filter's.
TEST_F(UiToolkit, SaveDialogAnswersApartAndAddsTheFiltersExtension)
{
    ui::SetNextOpenFileAnswer(u"/tmp/offen.xml");
    ui::SetNextSaveFileAnswer(u"/tmp/k.csv");
    EXPECT_EQ(ui::SaveFileDialog(u"Export", u"/tmp/", u"vCard|*.vcf", 0), u"/tmp/k.csv");
    EXPECT_EQ(ui::OpenFileDialog(u"Laden", u"/tmp/", u"XML|*.xml", 0), u"/tmp/offen.xml");
    EXPECT_TRUE(ui::RecordedFileDialogs().at(0).save && !ui::RecordedFileDialogs().at(1).save);

    nwtest::TempDir dir;
    OpenMainWindow();
    for (const auto& [index, typed, expected] : {std::tuple{0, "neu", "neu.vcf"}, std::tuple{1, "neu", "neu.csv"},
                                                 std::tuple{1, "neu.txt", "neu.txt"}}) {
        WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromUtf8(typed));  // as typed
            static_cast<QDialog*>(dialog)->accept();
        });
        const std::u16string chosen = ui::SaveFileDialog(u"Export", U16(dir.path().string() + "/"),
                                                         u"vCard (*.vcf)|*.vcf|CSV (*.csv)|*.csv", index);
        EXPECT_EQ(QFileInfo(QString::fromStdU16String(chosen)).fileName(), QString::fromUtf8(expected));
    }
}

struct FileDialogCase {
    const char* name;
    std::string filter;
    int index;
    bool withFile;  // initial path names a file in the folder
    bool accept;
    QStringList filters;
    QString selected;
};

class UiToolkitFileDialog : public UiToolkit, public ::testing::WithParamInterface<FileDialogCase> {};

TEST_P(UiToolkitFileDialog, RealDialogOpensTheFolderWithTheFilters)
{
    const FileDialogCase& c = GetParam();
    nwtest::TempDir dir;
    nwtest::WriteFileBytes(dir / "buch.xml", "<x/>");
    const std::string folder = dir.path().string();
    const std::u16string initial = U16(c.withFile ? folder + "/buch.xml" : folder + "/");
    OpenMainWindow();
    bool seen = false;
    WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Telefonbuch"));
        EXPECT_EQ(dialog->nameFilters(), c.filters);
        EXPECT_EQ(dialog->selectedNameFilter(), c.selected);
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(QString::fromStdString(folder)).canonicalPath());
        if (c.withFile) {
            ASSERT_EQ(dialog->selectedFiles().size(), 1);
            EXPECT_EQ(QFileInfo(dialog->selectedFiles().front()).fileName(), QStringLiteral("buch.xml"));
        }
        if (c.accept) {
            dialog->selectFile(QString::fromStdString(folder + "/buch.xml"));
            static_cast<QDialog*>(dialog)->accept();
        } else {
            dialog->reject();
        }
    });
    const std::u16string chosen = ui::OpenFileDialog(u"Telefonbuch", initial, U16(c.filter), c.index);
    EXPECT_TRUE(seen);
    if (c.accept) {
        EXPECT_EQ(QFileInfo(QString::fromStdU16String(chosen)).canonicalFilePath(),
                  QFileInfo(QString::fromStdString(folder + "/buch.xml")).canonicalFilePath());
    } else {
        EXPECT_EQ(chosen, u"");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, UiToolkitFileDialog,
    ::testing::Values(
        FileDialogCase{"ProgramFilter", "Telefonbuch (*.xml)|*.xml", 0, false, true,
                       {"Telefonbuch (*.xml)"}, "Telefonbuch (*.xml)"},
        FileDialogCase{"SecondPreselected", "XML|*.xml|Alle Dateien|*.*", 1, true, true,
                       {"XML (*.xml)", "Alle Dateien (*.*)"}, "Alle Dateien (*.*)"},
        FileDialogCase{"SeveralPatterns", "Texte|*.txt;*.xml", 0, true, false, {"Texte (*.txt *.xml)"},
                       "Texte (*.txt *.xml)"},
        FileDialogCase{"Cancelled", "Telefonbuch (*.xml)|*.xml", 0, true, false, {"Telefonbuch (*.xml)"},
                       "Telefonbuch (*.xml)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Application -------------------------------------------------------------------------------

TEST(UiToolkitDisplay, NamedWhenThePlatformFindsWhatItNeeds)
{
    // QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY ("-": unset), whether named.
    const std::array<const char*, 4> cases[] = {
        {"-", "-", "-", "no"},          {"-", ":0", "-", "yes"},         {"-", "", "", "no"},
        {"-", "-", "wayland-0", "yes"}, {"xcb", "-", "-", "no"},         {"wayland;xcb", "-", "-", "no"},
        {"offscreen", "-", "-", "yes"}, {"minimal:x=1", "-", "-", "yes"}, {"xcb;offscreen", "-", "-", "yes"},
    };
    const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    std::vector<std::optional<std::string>> kept;
    for (const char* name : names)
        kept.push_back(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            std::string(c[i]) == "-" ? unsetenv(names[i]) : setenv(names[i], c[i], 1);
        EXPECT_EQ(ui::DisplayNamed(), std::string(c[3]) == "yes") << c[0] << " " << c[1] << " " << c[2];
    }
    for (int i = 0; i < 3; ++i)
        kept[i] ? setenv(names[i], kept[i]->c_str(), 1) : unsetenv(names[i]);
}

// The scale brings a window that does not fit inside the available area,
// filling most of it, but never below one device pixel per pixel.
TEST(UiToolkitFit, ScaleFitsTheWindowButNeverBelowOneDevicePixel)
{
    // available width, height (logical pixels), device pixel ratio
    const std::array<double, 3> screens[] = {{1920, 1040, 1},   {1280, 720, 1.5}, {1536, 824, 1.25},
                                             {1366, 728, 1},    {910, 512, 1.5},  {3840, 2160, 2}};
    for (const auto& [width, height, ratio] : screens) {
        const double scale = ui::qt::FitScale(1630, 920, int(width), int(height), ratio);
        const bool fits = 1630 * scale <= width && 920 * scale <= height;
        const bool fills = 1630 * scale > 0.9 * width || 920 * scale > 0.9 * height;
        EXPECT_TRUE(scale == 1.0 ? fits || ratio == 1 : (fits && fills) || scale * ratio == 1.0) << width;
        EXPECT_LE(scale, 1.0);
        EXPECT_GE(scale * ratio, 1.0);
    }
}

}  // namespace
