// The contact dialog on real widgets, row activation, and the list's filter
// and find field (offscreen platform).
#include "test_support.h"
#include "ui/qt_access.h"
#include "ui/toolkit.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <random>

using nwtest::U16;
using nwtest::U8;

namespace {

constexpr int Win = 0;
constexpr int List = 15;
constexpr int Activated = 44;
constexpr int Find = 42;
constexpr int FindCount = 43;

class UiEdit : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ASSERT_TRUE(ui::Init());
    }
    void SetUp() override
    {
        ui::qt::ResetForTests();
        ASSERT_TRUE(ui::OpenWindow(Win, 0, 0, 500, 300, u"Test", ui::WindowTitleBar, ui::NoWindow));
        ASSERT_TRUE(ui::ListView(List, 0, 0, 480, 280, u"", 25,
                                 ui::ListCheckBoxes | ui::ListMultiSelect | ui::ListShowSelectionAlways |
                                     ui::ListFullRowSelect));
        for (int column = 1; column <= 4; ++column)
            ui::AddColumn(List, column, u"C" + U16(std::to_string(column)), 90);
        ui::ActivateWindow(Win);
    }
    void TearDown() override { ui::qt::ResetForTests(); }

    static QTableView* View() { return qobject_cast<QTableView*>(ui::qt::WidgetObject(List)); }
    // The widget events waiting, by widget number.
    static std::vector<int> Events()
    {
        std::vector<int> out;
        while (ui::PollEvent() == ui::Event::Widget)
            out.push_back(ui::EventWidget());
        return out;
    }
};

// Runs check on the dialog once it is open.
void WhenModalOpens(std::function<void(QDialog*)> check)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            check(modal);
        }
    });
    timer->start(10);
}

template <typename T>
T* Child(QWidget* dialog, const char* name)
{
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST_F(UiEdit, ContactDialogChecksAsTheUserTypesAndRefusesOkWhileAnErrorStands)
{
    ui::ContactForm form{u"Anna", false, {{u"030", 0, false, u"", u"", 0}, {u"0171", 1, true, u"", u"", 1}},
                         {}, {u"Privat", u"Mobil"}, {u"Privat"}, 3};
    // A number holding "x" is an error, an empty name a warning.
    const ui::FormCheck check = [](const ui::ContactForm& f) {
        std::vector<ui::FormMessage> out;
        for (std::size_t i = 0; i < f.numbers.size(); ++i)
            if (f.numbers[i].text.find(u'x') != std::u16string::npos)
                out.push_back({ui::FormMessage::Field::Number, static_cast<int>(i), u"Fehler: x", true});
        if (f.name.empty())
            out.push_back({ui::FormMessage::Field::Name, 0, u"Warnung: leer", false});
        return out;
    };
    std::vector<std::string> steps;
    WhenModalOpens([&](QDialog* d) {
        auto* ok = Child<QPushButton>(d, "ok");
        QTest::keyClicks(Child<QLineEdit>(d, "number-0"), "x");
        steps.push_back("error ok=" + std::to_string(ok->isEnabled()) +
                        " shown=" + std::to_string(Child<QLabel>(d, "numberMessage-0")->isVisibleTo(d)));
        // The main number stays one: ticking number 0 unticks number 1.
        Child<QCheckBox>(d, "main-0")->click();
        steps.push_back("main " + std::to_string(Child<QCheckBox>(d, "main-1")->isChecked()));
        Child<QPushButton>(d, "removeNumber-0")->click();
        steps.push_back("removed ok=" + std::to_string(ok->isEnabled()));
        Child<QLineEdit>(d, "name")->clear();
        QTest::keyClick(Child<QLineEdit>(d, "name"), Qt::Key_Backspace);
        steps.push_back("warning ok=" + std::to_string(ok->isEnabled()));
        auto* add = Child<QPushButton>(d, "addNumber");
        add->click();
        add->click();
        steps.push_back("limit add=" + std::to_string(add->isEnabled()));
        QTest::keyClicks(Child<QLineEdit>(d, "number-1"), "089");
        ok->click();
    });
    ASSERT_TRUE(ui::ContactDialog(u"Kontakt bearbeiten", form, check));
    EXPECT_EQ(steps, (std::vector<std::string>{"error ok=0 shown=1", "main 0", "removed ok=1", "warning ok=1",
                                                "limit add=0"}));
    // The number left is the second one handed in, no longer the main one;
    // the added ones come without a source.
    ASSERT_EQ(form.numbers.size(), 3u);
    EXPECT_EQ(form.numbers[0], (ui::ContactForm::Number{u"0171", 1, false, u"", u"", 1}));
    EXPECT_EQ(form.numbers[1], (ui::ContactForm::Number{u"089", 0, false, u"", u"", -1}));
    EXPECT_EQ(form.name, u"");

    // Cancelled, the form stays as it was.
    const ui::ContactForm before = form;
    WhenModalOpens([](QDialog* d) {
        QTest::keyClicks(Child<QLineEdit>(d, "name"), "Neu");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_FALSE(ui::ContactDialog(u"Kontakt bearbeiten", form, check));
    EXPECT_EQ(form, before);
}

TEST_F(UiEdit, DoubleClickAndReturnActivateARowThatIsFoundAgainByItsKey)
{
    for (int row = 0; row < 4; ++row)
        ui::AddItem(List, -1, u"\n" + U16(std::to_string(row)) + u"\nid\nname\ntel", 10 + row);
    ui::SetRowActivationEvent(List, Activated);
    QTableView* view = View();
    view->setFocus();
    Events();
    const auto cell = [view](int row, int column) { return view->visualRect(view->model()->index(row, column)).center(); };

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell(2, 3));
    EXPECT_EQ(Events(), std::vector<int>{Activated});
    EXPECT_EQ(ui::ActivatedRow(List), 2);
    ui::RemoveItem(List, 0);
    EXPECT_EQ(ui::ActivatedRow(List), 1);

    // Return acts on the current row while it is marked.
    ui::SetItemState(List, 0, ui::RowSelected);
    view->setCurrentIndex(view->model()->index(0, 1));
    ui::SetItemState(List, 0, ui::RowSelected);
    Events();
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(Events(), std::vector<int>{Activated});
    EXPECT_EQ(ui::ActivatedRow(List), 0);
    ui::SetItemState(List, 0, 0);
    Events();
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(Events(), std::vector<int>{});
    ui::RemoveItem(List, 0);
    EXPECT_EQ(ui::ActivatedRow(List), -1);
}

TEST_F(UiEdit, CtrlFOpensTheFindFieldAndEscapeClosesIt)
{
    ASSERT_TRUE(ui::FindField(Find, FindCount, List));
    auto* field = qobject_cast<QLineEdit*>(ui::qt::WidgetObject(Find));
    ASSERT_NE(field, nullptr);
    EXPECT_FALSE(field->isVisibleTo(View()));
    View()->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(View()->window()));
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field->isVisibleTo(View()));
    EXPECT_TRUE(field->hasFocus());
    // Over the list's header, inside the list.
    const QRect bar = field->parentWidget()->geometry();
    EXPECT_TRUE(View()->rect().contains(bar));
    EXPECT_LE(bar.top(), View()->horizontalHeader()->height());
    EXPECT_EQ(Events(), (std::vector<int>{Find}));
    QTest::keyClicks(field, "ab");
    EXPECT_EQ(ui::GetText(Find), u"ab");
    EXPECT_EQ(Events(), (std::vector<int>{Find}));  // one event for both keys while none was taken
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(ui::GetText(Find), u"");
    EXPECT_FALSE(field->isVisibleTo(View()));
    EXPECT_TRUE(View()->hasFocus());
    EXPECT_EQ(Events(), (std::vector<int>{Find}));
}

// Random edits, ticks and filters against a reference list: Qt sees the
// rows that passed the filter when it was set (or when they came), in
// order; every row keeps its text, key and tick.
TEST_F(UiEdit, FilterAgreesWithAReferenceThroughRandomEdits)
{
    QAbstractItemModelTester tester(View()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    struct Ref {
        std::string name, phone;
        std::uint64_t key;
        int state;
        bool shown;
    };
    std::vector<Ref> ref;
    std::mt19937 random(4711);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* names[] = {"Ab", "a B", "BA", "cab", "x"};
    const char* phones[] = {"030 12", "+49 (30) 1-2", "0301", "99", ""};
    const char* queries[] = {"", "ab", "A B", "b", "3012", "030/12", "(30)", "zz", "1"};
    std::string query;
    const auto passes = [&query](const Ref& r) {
        std::string folded, digits, name;
        for (char c : query)
            if (c != ' ')
                folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char c : r.name)
            if (c != ' ')
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        bool phone = !query.empty();
        for (char c : query) {
            if (std::isdigit(static_cast<unsigned char>(c)))
                digits += c;
            else if (!std::strchr(" +-/().", c))
                phone = false;
        }
        std::string phoneDigits;
        for (char c : r.phone)
            if (std::isdigit(static_cast<unsigned char>(c)))
                phoneDigits += c;
        std::string phoneFolded;
        for (char c : r.phone)
            if (c != ' ')
                phoneFolded += c;
        return folded.empty() || name.find(folded) != std::string::npos ||
               phoneFolded.find(folded) != std::string::npos ||
               (phone && !digits.empty() && phoneDigits.find(digits) != std::string::npos);
    };
    std::uint64_t nextKey = 1;
    for (int step = 0; step < 2000; ++step) {
        const int n = static_cast<int>(ref.size());
        const int op = pick(10);
        if (op < 3 || n == 0) {
            Ref r{names[pick(5)], phones[pick(5)], nextKey++, 0, false};
            r.shown = passes(r);
            const int position = pick(3) == 0 && n > 0 ? pick(n) : -1;
            ui::AddItem(List, position, U16("\n\n\n" + r.name + "\n" + r.phone), r.key);
            ref.insert(position < 0 ? ref.end() : ref.begin() + position, r);
        } else if (op < 5) {
            const int row = pick(n);
            ui::RemoveItem(List, row);
            ref.erase(ref.begin() + row);
        } else if (op < 7) {
            const int row = pick(n);
            ui::SetItemState(List, row, ui::RowTicked);
            ref[static_cast<std::size_t>(row)].state = ui::RowTicked;
        } else if (op < 8) {
            // A new text stays shown or hidden until the next filter.
            const int row = pick(n);
            Ref& r = ref[static_cast<std::size_t>(row)];
            r.name = names[pick(5)];
            ui::SetItemText(List, row, U16("\n\n\n" + r.name + "\n" + r.phone));
        } else {
            query = queries[pick(9)];
            ui::FilterRows(List, U16(query), {3, 4});
            for (Ref& r : ref)
                r.shown = passes(r);
        }
        const auto shown = std::count_if(ref.begin(), ref.end(), [](const Ref& r) { return r.shown; });
        ASSERT_EQ(ui::CountShownRows(List), shown) << "step " << step << " " << query;
        std::vector<std::string> seen;
        QAbstractItemModel* model = View()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            seen.push_back(model->index(row, 3).data().toString().toStdString());
        ASSERT_EQ(static_cast<long>(seen.size()), shown) << "step " << step;
        for (std::size_t i = 0, j = 0; i < ref.size(); ++i) {
            const Ref& r = ref[i];
            ASSERT_EQ(ui::GetItemKey(List, static_cast<int>(i)), r.key) << "step " << step;
            ASSERT_EQ(ui::GetItemState(List, static_cast<int>(i)), r.state) << "step " << step;
            if (r.shown) {
                ASSERT_EQ(seen[j++], r.name) << "step " << step << " row " << i;
            }
        }
    }
}

}  // namespace
