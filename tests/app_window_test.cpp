// The main window and the information window as built at start-up, checked
// on the real Qt objects behind the toolkit's numbers.
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "app/build_info.h"
#include "app/main_window.h"
#include "app_fixture.h"

using apptest::AppTest;
using nwtest::U16;

namespace {

enum class Type { Frame, Label, Button, Field, List, CheckBox, Editor };
enum Font { Normal, Heading, List, Window };  // Window: none of the three
constexpr int None = -1;                       // no colour of its own

struct WidgetExpectation {
    int number;
    Type type;
    int parent;  // container number, or None for the window itself
    int x, y, width, height;
    const char* text;
    Font font;
    int textRgb;
    int backgroundRgb;
};

// clang-format off
const WidgetExpectation kMainWindow[] = {
    { 0, Type::Frame,  None,  10, 10, 800, 900, "",              Window,  None,     0xE6E6E6},
    { 1, Type::Label,     0,  10, 10, 120,  26, "Telefonbuch 1", Heading, 0xFF0000, 0xE6E6E6},
    { 2, Type::Label,     0, 130, 10,  90,  26, " Anz.: 0",      Normal,  0x0000FF, 0xE6E6E6},
    { 3, Type::Button,    0, 220, 10,  40,  24, "Neu",           Normal,  None,     None},
    { 4, Type::Button,    0, 265, 10,  55,  24, "Laden",         Normal,  None,     None},
    { 5, Type::Button,    0, 325, 10,  80,  24, "Speichern",     Normal,  None,     None},
    { 6, Type::Label,     0,  10, 45,  50,  24, "Name:",         Normal,  0x0000FF, 0xE6E6E6},
    { 7, Type::Field,     0,  60, 45, 120,  24, "",              Normal,  0x515151, 0xE6E6E6},
    { 8, Type::Label,     0, 190, 45,  45,  24, "Datei:",        Normal,  0x0000FF, 0xE6E6E6},
    { 9, Type::Field,     0, 235, 45, 555,  24, "",              Normal,  0x515151, 0xE6E6E6},
    {10, Type::Button,    0, 430, 10,  40,  24, "A +",           Normal,  None,     None},
    {11, Type::Button,    0, 475, 10,  40,  24, "A -",           Normal,  None,     None},
    {12, Type::Button,    0, 540, 10,  75,  24, "Kopieren",      Normal,  None,     None},
    {13, Type::Button,    0, 620, 10,  95,  24, "Verschieben",   Normal,  None,     None},
    {14, Type::Button,    0, 720, 10,  70,  24, "L\xC3\xB6schen", Normal, None,     None},
    {15, Type::List,      0,   0, 75, 798, 823, "",              List,    None,     None},
    {16, Type::Frame,  None, 820, 10, 800, 900, "",              Window,  None,     0xE6E6E6},
    {17, Type::Label,    16,  10, 10, 120,  26, "Telefonbuch 2", Heading, 0xFF0000, 0xE6E6E6},
    {18, Type::Label,    16, 130, 10,  90,  26, " Anz.: 0",      Normal,  0x0000FF, 0xE6E6E6},
    {19, Type::Button,   16, 220, 10,  40,  24, "Neu",           Normal,  None,     None},
    {20, Type::Button,   16, 265, 10,  55,  24, "Laden",         Normal,  None,     None},
    {21, Type::Button,   16, 325, 10,  80,  24, "Speichern",     Normal,  None,     None},
    {22, Type::Label,    16,  10, 45,  50,  24, "Name:",         Normal,  0x0000FF, 0xE6E6E6},
    {23, Type::Field,    16,  60, 45, 120,  24, "",              Normal,  0x515151, 0xE6E6E6},
    {24, Type::Label,    16, 190, 45,  45,  24, "Datei:",        Normal,  0x0000FF, 0xE6E6E6},
    {25, Type::Field,    16, 235, 45, 555,  24, "",              Normal,  0x515151, 0xE6E6E6},
    {26, Type::Button,   16, 435, 10,  40,  24, "A +",           Normal,  None,     None},
    {27, Type::Button,   16, 475, 10,  40,  24, "A -",           Normal,  None,     None},
    {28, Type::Button,   16, 540, 10,  75,  24, "Kopieren",      Normal,  None,     None},
    {29, Type::Button,   16, 620, 10,  95,  24, "Verschieben",   Normal,  None,     None},
    {30, Type::Button,   16, 720, 10,  70,  24, "L\xC3\xB6schen", Normal, None,     None},
    {31, Type::List,     16,   0, 75, 798, 823, "",              List,    None,     None},
};

const WidgetExpectation kInformationWindow[] = {
    {32, Type::Label,    None,  10,  10, 600,  30, "Nummernwerk", Heading, 0xFF0000, None},
    {33, Type::Editor,   None,  10,  40, 600, 350, nullptr,       List,    None,     None},
    {34, Type::CheckBox, None, 125, 400, 370,  30, " ToolTip ab n\xC3\xA4" "chstem Programmstart Ein-/Ausschalten",
                                                                  Normal,  None,     None},
    {35, Type::Button,   None, 250, 450, 120,  30, "Schliessen",  Normal,  None,     None},
};
// clang-format on

// Pixel heights at 96 dots per inch: 10 pt -> 13, 12 pt -> 16, 9 pt -> 12.
struct FontExpectation {
    int pixels;
    bool bold;
    bool underline;
};
const FontExpectation kFonts[] = {{13, true, false}, {16, true, true}, {12, false, false}};

QString TextOf(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* field = qobject_cast<QLineEdit*>(w))
        return field->text();
    return {};
}

bool HasType(QWidget* w, Type type)
{
    switch (type) {
    case Type::Frame: return qobject_cast<QFrame*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QTableView*>(w);
    case Type::Label: return qobject_cast<QLabel*>(w) != nullptr;
    case Type::Button: return qobject_cast<QPushButton*>(w) != nullptr;
    case Type::Field: return qobject_cast<QLineEdit*>(w) != nullptr;
    case Type::List: return qobject_cast<QTableView*>(w) != nullptr;
    case Type::CheckBox: return qobject_cast<QCheckBox*>(w) != nullptr;
    case Type::Editor: return qobject_cast<QPlainTextEdit*>(w) != nullptr;
    }
    return false;
}

int Rgb(const QColor& c) { return (c.red() << 16) | (c.green() << 8) | c.blue(); }

void ExpectWidget(const WidgetExpectation& e, int window)
{
    SCOPED_TRACE("widget " + std::to_string(e.number));
    QWidget* w = ui::qt::WidgetObject(e.number);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(HasType(w, e.type));
    QWidget* parent = e.parent == None ? ui::qt::WindowWidget(window) : ui::qt::ContainerArea(e.parent);
    EXPECT_EQ(w->parentWidget(), parent);
    EXPECT_EQ(w->geometry(), QRect(e.x, e.y, e.width, e.height));
    if (e.text) {
        EXPECT_EQ(TextOf(w), QString::fromUtf8(e.text));
    }

    if (e.font != Window) {
        const FontExpectation& f = kFonts[e.font];
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
        EXPECT_EQ(w->font().pixelSize(), f.pixels);
        EXPECT_EQ(w->font().bold(), f.bold);
        EXPECT_EQ(w->font().underline(), f.underline);
    }

    const bool field = e.type == Type::Field;
    if (e.textRgb != None) {
        EXPECT_EQ(Rgb(w->palette().color(field ? QPalette::Text : QPalette::WindowText)), e.textRgb);
    }
    if (e.backgroundRgb != None) {
        EXPECT_EQ(Rgb(w->palette().color(field ? QPalette::Base : QPalette::Window)), e.backgroundRgb);
        if (!field) {
            EXPECT_TRUE(w->autoFillBackground());
        }
    }
    // Widgets without colours of their own draw in the system's colours (the
    // window background itself is inherited from the panel).
    const QPalette system = QApplication::palette(w);
    const bool button = e.type == Type::Button;
    if (e.textRgb == None && (button || e.type == Type::List)) {
        const auto role = button ? QPalette::ButtonText : QPalette::Text;
        EXPECT_EQ(w->palette().color(role), system.color(role)) << "system text colour expected";
    }
    if (e.backgroundRgb == None && (button || e.type == Type::List)) {
        const auto role = button ? QPalette::Button : QPalette::Base;
        EXPECT_EQ(w->palette().color(role), system.color(role)) << "system background expected";
    }
}

class AppMainWindow : public AppTest {};

TEST_F(AppMainWindow, EveryWidgetUnderItsNumber)
{
    Start();
    ASSERT_EQ(ui::DisplayDpiY(), 96);
    for (const WidgetExpectation& e : kMainWindow)
        ExpectWidget(e, app::MainWindow);
}

TEST_F(AppMainWindow, WindowFrameTitleAndBackground)
{
    Start();
    QWidget* window = ui::qt::WindowWidget(app::MainWindow);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(1630, 920));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "must not be resizable";
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Rgb(window->palette().color(QPalette::Window)), 0xC6C6C6);
    EXPECT_TRUE(window->autoFillBackground());

    const QString title = window->windowTitle();
    EXPECT_EQ(title.toStdU16String(), app::MainWindowTitle());
    static const QRegularExpression shape(
        QStringLiteral("^Nummernwerk  v1\\.10     \\[(GCC|Clang) v\\d+\\.\\d+ \\(x(64|86)\\)  -  Unicode  -  "
                       "(\\d\\d)\\.(\\d\\d)\\.(\\d{4})  -  ([^/\\\\]+)\\]$"));
    const QRegularExpressionMatch match = shape.match(title);
    ASSERT_TRUE(match.hasMatch()) << title.toStdString();
    EXPECT_GE(match.captured(5).toInt(), 2024);
    EXPECT_GE(match.captured(4).toInt(), 1);
    EXPECT_LE(match.captured(4).toInt(), 12);
    // The test is built by the same compiler as the program.
#if defined(__clang__)
    const QString tool = QStringLiteral("Clang v%1.%2").arg(__clang_major__).arg(__clang_minor__);
#else
    const QString tool = QStringLiteral("GCC v%1.%2").arg(__GNUC__).arg(__GNUC_MINOR__);
#endif
    EXPECT_EQ(title.mid(24, tool.size()), tool);
    EXPECT_EQ(match.captured(2), sizeof(void*) == 8 ? QStringLiteral("64") : QStringLiteral("86"));
}

TEST_F(AppMainWindow, IconIsSixteenPixelsSquareAndNotBlank)
{
    Start();
    const QIcon icon = ui::qt::WindowWidget(app::MainWindow)->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(16, 16).toImage();
    EXPECT_EQ(image.size(), QSize(16, 16));
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            opaque += qAlpha(image.pixel(x, y)) == 255;
    EXPECT_GT(opaque, 128);
    EXPECT_LT(opaque, 256) << "the corners are transparent";
}

TEST_F(AppMainWindow, ContactListsHaveColumnsAndOptions)
{
    Start();
    const char* titles[] = {"", "Nr.", "ID", "Name", "Telefon"};
    const int widths[] = {25, 65, 45, 230, 410};
    for (int list : {15, 31}) {
        SCOPED_TRACE("list " + std::to_string(list));
        auto* view = qobject_cast<QTableView*>(ui::qt::WidgetObject(list));
        ASSERT_NE(view, nullptr);
        QAbstractItemModel* model = view->model();
        ASSERT_EQ(model->columnCount(), 5);
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(titles[c]));
            EXPECT_EQ(view->columnWidth(c), widths[c]);
        }
        EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_TRUE(view->showGrid());
        EXPECT_EQ(view->palette().color(QPalette::Inactive, QPalette::Highlight),
                  view->palette().color(QPalette::Active, QPalette::Highlight))
            << "selection stays visible without focus";
        EXPECT_EQ(view->frameShadow(), QFrame::Sunken);
        EXPECT_EQ(ui::CountItems(list), 0);

        ui::AddItem(list, -1, u"\n0 (1)\n1\nJ\u00FCrgen\n030 555");
        ui::qt::WidgetObject(list);  // hands the appended row over to the view
        EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
        ui::ClearItems(list);
    }
}

TEST_F(AppMainWindow, PanelsStartEmpty)
{
    Start();
    for (int offset : {0, 16}) {  // panel 2's numbers are 16 higher
        EXPECT_EQ(ui::GetText(7 + offset), u"");
        EXPECT_EQ(ui::GetText(9 + offset), u"");
        EXPECT_EQ(ui::GetText(2 + offset), u" Anz.: 0");
        EXPECT_EQ(ui::CountItems(15 + offset), 0);
        EXPECT_FALSE(qobject_cast<QLineEdit*>(ui::qt::WidgetObject(7 + offset))->hasFrame());
        EXPECT_FALSE(qobject_cast<QLineEdit*>(ui::qt::WidgetObject(9 + offset))->hasFrame());
    }
}

// --- tooltips and the check box follow the ToolTip setting ---------------

struct ToolTipCase {
    const char* name;
    std::optional<std::string> settings;
    bool toolTips;
    bool boxTicked;
};

void PrintTo(const ToolTipCase& c, std::ostream* os) { *os << c.name; }

struct ButtonTip {
    int button;  // in panel 1
    const char* text;
};

const ButtonTip kButtonTips[] = {
    {3, "Neues Telefonbuch anlegen."},
    {4, "Vorhandenes Telefonbuch aus XML-Datei einlesen."},
    {5, "Aktuelles Telefonbuch in XML-Datei schreiben. Mit Zusatz '_NEU.xml'."},
    {10, "Bei allen markierten Eintr\xC3\xA4gen, die Auswahl setzen."},
    {11, "Bei allen markierten Eintr\xC3\xA4gen, die Auswahl l\xC3\xB6schen."},
    {12, "Alle ausgew\xC3\xA4hlten Eintr\xC3\xA4ge kopieren."},
    {13, "Alle ausgew\xC3\xA4hlten Eintr\xC3\xA4ge verschieben."},
    {14, "Alle ausgew\xC3\xA4hlten Eintr\xC3\xA4ge l\xC3\xB6schen."},
};

class AppToolTips : public AppTest, public ::testing::WithParamInterface<ToolTipCase> {};

TEST_P(AppToolTips, AttachedOnlyForSettingOne)
{
    const ToolTipCase& c = GetParam();
    Start(c.settings);
    std::map<int, QString> expected;
    if (c.toolTips)
        for (const auto& [number, text] : kButtonTips)
            for (int offset : {0, 16})
                expected[number + offset] = QString::fromUtf8(text);
    for (int number = 0; number <= 35; ++number) {
        SCOPED_TRACE("widget " + std::to_string(number));
        QWidget* w = ui::qt::WidgetObject(number);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->toolTip(), expected.count(number) ? expected[number] : QString());
    }
    EXPECT_EQ(ui::GetState(34), c.boxTicked ? 1 : 0);
}

const ToolTipCase kToolTipCases[] = {
    {"NoSettingsFile", std::nullopt, true, true},
    {"One", "ToolTip = 1\r\n", true, true},
    {"Zero", "ToolTip = 0\r\n", false, false},
    {"Two", "ToolTip = 2\r\n", false, true},
    {"Negative", "ToolTip = -1\r\n", false, true},
    {"Letters", "ToolTip = ja\r\n", false, false},
    {"Empty", "ToolTip =\r\n", false, false},
    {"OnlyInAGroup", "[Nummernwerk]\r\nToolTip = 0\r\n", true, true},
    {"LowerCaseKey", "tooltip=0", false, false},
};

INSTANTIATE_TEST_SUITE_P(AppWindows, AppToolTips, ::testing::ValuesIn(kToolTipCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- information window --------------------------------------------------

class AppInformationWindow : public AppTest {};

TEST_F(AppInformationWindow, WindowAndWidgets)
{
    Start();
    QWidget* window = ui::qt::WindowWidget(app::InformationWindow);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(620, 500));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Nummernwerk - Information"));
    EXPECT_EQ(window->parentWidget(), ui::qt::WindowWidget(app::MainWindow)) << "owned by the main window";
    EXPECT_EQ(window->windowModality(), Qt::NonModal);
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->testAttribute(Qt::WA_SetPalette)) << "no background colour of its own";

    for (const WidgetExpectation& e : kInformationWindow)
        ExpectWidget(e, app::InformationWindow);
    EXPECT_TRUE(qobject_cast<QLabel*>(ui::qt::WidgetObject(32))->alignment() & Qt::AlignHCenter);
    auto* editor = qobject_cast<QPlainTextEdit*>(ui::qt::WidgetObject(33));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isReadOnly());
    EXPECT_EQ(editor->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_NE(editor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_NE(editor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

// Lines 1 to 18 as the user reads them.
const char* const kFirstLines[] = {
    "Getestet mit FRITZ!Box 7590. Telefonb\xC3\xBC" "cher ohne Bilder.",
    "",
    "  1. Telefonb\xC3\xBC" "cher auslesen. \"http://fritz.box\"  >>  \"Telefonie\"  >>  \"Telefonbuch\"  >>  "
    "\"Sichern\".",
    "  2. Mit \"Nummernwerk\" Kontakte zwischen 2 Telefonb\xC3\xBC" "chern verschieben.",
    "  3. Telefonb\xC3\xBC" "cher einlesen. \"http://fritz.box\"  >>  \"Telefonie\"  >>  \"Telefonbuch\"  >>  "
    "\"Wiederherstellen\".",
    "",
    "Das Programm ver\xC3\xA4ndert die ausgelesenen Telefonb\xC3\xBC" "cher nicht.",
    "Beim 'Laden' wird eine formatierte Telefonbuch-Version mit dem Zusatz '_Formatiert.xml' gespeichert.",
    "Beim 'Speichern' wird der Zusatz '_NEU.xml' am Dateinamen angeh\xC3\xA4ngt.",
    "",
    "Vor dem Speichern kann der 'Name' und die 'Datei' abge\xC3\xA4ndert werden.",
    "Nur ausgew\xC3\xA4hlte Kontakte (H\xC3\xA4kchen-Box) werden kopiert, verschoben oder gel\xC3\xB6scht.",
    "Mit 'A+' oder 'A-' kann bei alle markierten Kontakten die Auswahl gesetzt oder gel\xC3\xB6scht werden.",
    "Die Spalte 'Nr.' dient nur zur internen Verwaltung. Die Spalte 'ID' ist die Kontakt-Nummer im Telefonbuch.",
    "",
    "Sind im Telefonbuch Daten vorhanden die nicht gelesen werden, wird dies beim Laden angezeigt.",
    "In den Listen werden nicht alle Kontakt-Daten angezeigt. Sie dienen nur zur Auswahl der Kontakte.",
    "",
};

// The expat licence paragraphs as single lines; the window may break them
// anywhere between words.
const char* const kLicence[] = {
    "Permission is hereby granted, free of charge, to any person obtaining a copy of this software and associated "
    "documentation files (the \"Software\"), to deal in the Software without restriction, including without "
    "limitation the rights to use, copy, modify, merge, publish, distribute, sublicense, and/or sell copies of the "
    "Software, and to permit persons to whom the Software is furnished to do so, subject to the following "
    "conditions:",
    "The above copyright notice and this permission notice shall be included in all copies or substantial portions "
    "of the Software.",
    "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED "
    "TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL "
    "THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF "
    "CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER "
    "DEALINGS IN THE SOFTWARE.",
};

QString Joined(const QStringList& lines, int first, int last)  // 1-based, inclusive
{
    QStringList part;
    for (int i = first; i <= last; ++i)
        part << lines[i - 1];
    return part.join(u' ');
}

TEST_F(AppInformationWindow, TextLineByLine)
{
    Start();
    auto* editor = qobject_cast<QPlainTextEdit*>(ui::qt::WidgetObject(33));
    ASSERT_NE(editor, nullptr);
    const QStringList lines = editor->toPlainText().split(u'\n');
    ASSERT_EQ(lines.size(), 43);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(lines[i], QString::fromUtf8(kFirstLines[i])) << "line " << i + 1;
    }

    EXPECT_TRUE(lines[18].startsWith(u"Copyright (c) ")) << lines[18].toStdString();
    EXPECT_EQ(lines[19], QString(81, u'_'));
    EXPECT_EQ(lines[21], QStringLiteral("License for the expat XML parser"));
    EXPECT_EQ(lines[23], QStringLiteral("Copyright (c) 1998-2000 Thai Open Source Software Center Ltd and Clark Cooper"));
    EXPECT_EQ(lines[24], QStringLiteral("Copyright (c) 2001-2022 Expat maintainers"));
    for (int empty : {21, 23, 26, 32, 35, 43}) {
        EXPECT_TRUE(lines[empty - 1].isEmpty()) << "line " << empty;
    }
    for (int line = 27; line <= 42; ++line)
        if (line != 32 && line != 35) {
            EXPECT_FALSE(lines[line - 1].trimmed().isEmpty()) << "line " << line;
        }
    EXPECT_EQ(Joined(lines, 27, 31), QString::fromUtf8(kLicence[0]));
    EXPECT_EQ(Joined(lines, 33, 34), QString::fromUtf8(kLicence[1]));
    EXPECT_EQ(Joined(lines, 36, 42), QString::fromUtf8(kLicence[2]));
}

TEST_F(AppInformationWindow, OpenedInFrontOfTheMainWindow)
{
    Start();
    QWidget* info = ui::qt::WindowWidget(app::InformationWindow);
    QWidget* main = ui::qt::WindowWidget(app::MainWindow);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(info->isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(info->isWindow());
    // Both are centred on the screen, frame included; on an axis where a
    // window is larger than the screen it starts at 0.
    const QRect screen = main->screen()->geometry();
    for (QWidget* window : {main, info}) {
        const QRect frame = window->frameGeometry();
        const int left = frame.width() > screen.width() ? 0 : (screen.width() - frame.width()) / 2;
        const int top = frame.height() > screen.height() ? 0 : (screen.height() - frame.height()) / 2;
        EXPECT_EQ(frame.topLeft(), screen.topLeft() + QPoint(left, top)) << window->windowTitle().toStdString();
    }
}

// --- keyboard and language ---------------------------------------------------------

// Tab walks each panel as it is read: the buttons left to right, then the
// Name and Datei fields, then the list; panel 1, then panel 2, then round.
// Return, Enter and Space press the focused button.
TEST_F(AppMainWindow, KeyboardFollowsTheLayout)
{
    Start();
    ui::CloseWindow(app::InformationWindow);
    QWidget* window = ui::qt::WindowWidget(app::MainWindow);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const int order[] = {3, 4, 5, 10, 11, 12, 13, 14, 7, 9, 15, 19, 20, 21, 26, 27, 28, 29, 30, 23, 25, 31, 3};
    ui::qt::WidgetObject(order[0])->setFocus();
    for (int number : std::vector<int>(std::begin(order) + 1, std::end(order))) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), ui::qt::WidgetObject(number)) << number;
    }
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        ASSERT_EQ(ui::PollEvent(), ui::Event::Widget) << key;
        EXPECT_EQ(ui::EventWidget(), 3);
    }
}

// Qt's own dialogs speak German whatever the system's language: the
// open-file dialog's buttons read "Öffnen" and "Abbrechen".
TEST_F(AppMainWindow, FileDialogIsGerman)
{
    Start();
    QStringList captions;
    QTimer::singleShot(0, [&captions] {
        QWidget* dialog = QApplication::activeModalWidget();
        for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>())
            for (QAbstractButton* button : box->buttons())
                captions << button->text().remove(u'&');
        dialog->close();
    });
    EXPECT_EQ(ui::OpenFileDialog(u"Telefonbuch", ProgramDirectory(), u"Telefonbuch (*.xml)|*.xml", 0), u"");
    captions.sort();
    EXPECT_EQ(captions, QStringList({QStringLiteral("Abbrechen"), QString::fromUtf8("\xC3\x96" "ffnen")}));
}

}  // namespace
