#pragma once
// The toolkit on Qt Widgets, inside. Windows, widgets and fonts live in
// tables keyed by the program's numbers; Qt's signals are turned into entries
// of one event queue that WaitForEvent and PollEvent hand out. Only the
// toolkit's own .cpp files include this header:
//   qt_application.cpp    the application object, display, scaling, translations
//   qt_windows.cpp        the tables, windows, the reset for tests
//   qt_events.cpp         the event queue
//   qt_widgets.cpp        the widget kinds and their looks
//   qt_widget_content.cpp texts, rows and states of widgets
//   qt_fonts.cpp          fonts
//   qt_menus.cpp          context menus
//   qt_dialogs.cpp        message boxes, questions, the file dialog and their seam
//   qt_contact_dialog.cpp the contact dialog and its seam
//   qt_list_actions.cpp   row activation, filtering and the find field of lists
//   qt_table_dialog.cpp   the dialog with a table of rows to choose from
#include "ui/toolkit.h"

#include "ui/contact_list_model.h"
#include "ui/contact_list_view.h"

#include <QFont>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QTranslator>
#include <QWidget>

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class QApplication;

namespace ui::impl {

inline QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }
inline std::u16string U(const QString& text) { return text.toStdU16String(); }

enum class Kind { Container, Label, Button, Field, CheckBox, Editor, List };

struct WidgetEntry {
    QPointer<QWidget> widget;
    Kind kind;
    int window;
    QWidget* area = nullptr;             // container: where its children go
    ContactListView* list = nullptr;     // list: the view with its rows
    int activatedRow = -1;               // list: the row activated last, and its key
    std::uint64_t activatedKey = 0;
    std::vector<MenuEntry> menu;         // its context menu, when it has one
    std::function<bool(int)> menuEnabled;
    QPointer<QObject> menuOpener;        // what opens the menu, once installed
};

struct WindowEntry {
    QPointer<QWidget> widget;
    int owner = NoWindow;
    unsigned long long openedAt = 0;      // to find the window opened last
    std::vector<int> containers;          // open container lists, innermost last
};

struct FontEntry {
    QFont font;
    int pixelHeight = 0;
};

struct QueuedEvent {
    Event kind;
    int widget;
    int window;
};

struct State {
    QApplication* ownApp = nullptr;
    int argc = 0;
    std::vector<char*> argv;
    std::map<int, WindowEntry> windows;
    std::unordered_map<int, WidgetEntry> widgets;
    std::map<int, FontEntry> fonts;
    int currentWindow = NoWindow;
    unsigned long long openCounter = 0;
    std::deque<QueuedEvent> queue;
    int eventWidget = -1;
    int eventWindow = NoWindow;
    bool recordMessages = false;
    std::vector<RecordedMessage> messages;
    std::deque<std::u16string> fileAnswers;  // of the open-file dialog
    std::deque<std::u16string> saveAnswers;  // of the save-file dialog
    std::vector<RecordedFileDialog> fileDialogs;
    std::deque<int> questionAnswers;
    std::vector<RecordedQuestion> questions;
    std::deque<std::optional<ContactForm>> contactFormAnswers;  // nullopt: "Abbrechen"
    std::vector<RecordedContactDialog> contactDialogs;
    std::deque<std::pair<int, std::vector<int>>> tableAnswers;  // button, rows chosen
    std::vector<TableDialog> tableDialogs;
    std::u16string noDisplayMessage;
    std::u16string language;               // of the translations, empty: none
    QPointer<QTranslator> translator;      // owned by the application object
};

// The one state of the toolkit (qt_windows.cpp).
State& S();

// Queues an event, unless it repeats the one queued last (qt_events.cpp).
void PushEvent(Event kind, int widget, int window);
// Shows the row selections the program made since Qt last ran, so that
// input is handled against what is on the screen (qt_events.cpp).
void SyncLists();

// The window a dialog belongs to: the program's active window, or else its
// visible window opened last; nullptr when none (qt_dialogs.cpp).
QWidget* FrontWindow();

// The top-level widget of a window; nullptr when none (qt_windows.cpp).
QWidget* WindowOf(int window);
// The window a dialog belongs to: the program's active window, or else its
// visible window opened last (qt_dialogs.cpp).
QWidget* FrontWindow();

// The entry of a widget that still exists; nullptr when none (qt_widgets.cpp).
WidgetEntry* EntryOf(int number);
// A list's view and model; nullptr when the number is no list.
ContactListView* ViewOf(int list);
ContactListModel* ModelOf(int list);
// Sets the colour roles in every colour group; DefaultColour takes the
// application's own colours back.
void SetRoles(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles, Colour colour);

}  // namespace ui::impl
