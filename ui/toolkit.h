#pragma once
// The number-addressed widget toolkit. The program names its windows, widgets
// and fonts by small numbers it fixes itself; this header is all it sees of
// the windowing system. No Qt type appears here: the implementation
// (ui/qt_*.cpp behind ui/qt_internal.h, with the contact list's model and
// view) is the only code that includes Qt.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

// Colours are 0xRRGGBB; -1 is the system default.
using Colour = std::int32_t;
constexpr Colour DefaultColour = -1;
constexpr Colour Rgb(int r, int g, int b) { return (r << 16) | (g << 8) | b; }

constexpr int NoWindow = -1;

// open window flags
enum : unsigned {
    WindowTitleBar = 0x01,
    WindowSystemMenu = 0x02,      // close box
    WindowMinimiseBox = 0x04,
    WindowScreenCentred = 0x08,
    WindowOwnerCentred = 0x10,
};

// widget flags
enum : unsigned {
    ContainerFlatBorder = 0x01,
    LabelCentred = 0x01,
    FieldNoBorder = 0x01,
    EditorReadOnly = 0x01,
    ListCheckBoxes = 0x01,
    ListMultiSelect = 0x02,
    ListShowSelectionAlways = 0x04,
    ListGridLines = 0x08,
    ListFullRowSelect = 0x10,
};

// font flags
enum : unsigned {
    FontBold = 0x01,
    FontUnderline = 0x02,
    FontHighQuality = 0x04,
};

// row state flags
enum : int {
    RowSelected = 1,
    RowTicked = 2,
    RowIndeterminate = 4,
};

// widget colour "which"
enum : int {
    ColourText = 1,
    ColourBackground = 2,
};

enum class Event : int { None = 0, Widget = 1, CloseRequest = 2 };

enum class Icon : int { Error = 1, Warning = 2, Information = 3 };

// Brings the toolkit up (creates the application object) and tears it down.
// Init is idempotent; argv may be empty. Init returns false without an
// application object when the windowing system needs a display and none is
// named (DisplayNamed); it then writes the no-display message, if one is set,
// as one line on standard error. A display that is named but cannot be
// reached shows only while the application object is made: the process then
// writes that line and ends at once with exit status 1.
bool Init(int argc = 0, char** argv = nullptr);
void Shutdown();
void SetNoDisplayMessage(const std::u16string& line);
// Whether the environment names what the windowing system needs: a display
// server (DISPLAY or WAYLAND_DISPLAY) for the X11 and Wayland platforms, the
// default; nothing for platforms that need none (QT_QPA_PLATFORM offscreen,
// for instance).
bool DisplayNamed();
// Call right after Init, before any window: when a window of this client
// size with its frame would not fit the primary screen's available area,
// everything (geometry, fonts, the toolkit's dialogs) is scaled down evenly
// just enough to fit, but never below one device pixel per pixel: what a
// high-DPI screen's scale factor added is taken back, no more. The
// application object is made anew for that. Where the window fits nothing
// changes.
void FitToScreen(int width, int height);
// Loads the windowing system's own translations (its dialogs, buttons and
// context menus) for a language such as "de", whatever the system's locale;
// false when they are not installed, and the toolkit's texts stay English.
bool SetLanguage(const std::u16string& language);
// The desktop entry (without ".desktop") that task bars match the windows to.
void SetDesktopFileName(const std::u16string& name);
// Vertical pixels per inch of the display (96 when it cannot be asked).
int DisplayDpiY();

// Windows and events --------------------------------------------------------
// x and y are ignored when a centring flag is given; width and height are
// those of the client area. owner is a window number or NoWindow.
bool OpenWindow(int window, int x, int y, int width, int height, const std::u16string& title,
                unsigned flags, int owner);
bool WindowExists(int window);
void SetWindowColour(int window, Colour colour);
// The icon is given as 32-bit ARGB pixels, row by row.
void SetWindowIcon(int window, int width, int height, const std::vector<std::uint32_t>& argb);
void CloseWindow(int window);
void ActivateWindow(int window);

// Blocks until a widget event or a close request is waiting and takes it.
Event WaitForEvent();
// Takes a waiting event without blocking (after letting Qt deliver what it
// has); Event::None when the queue is empty.
Event PollEvent();
int EventWidget();   // widget of the last widget event
int EventWindow();   // window of the last event
// Number of events still waiting (for tests).
int PendingEventCount();

// Widgets (created in the current window or container) ----------------------
bool Container(int number, int x, int y, int width, int height, unsigned flags);
void CloseContainerList();
bool TextLabel(int number, int x, int y, int width, int height, const std::u16string& text, unsigned flags);
bool Button(int number, int x, int y, int width, int height, const std::u16string& text);
bool TextField(int number, int x, int y, int width, int height, const std::u16string& text, unsigned flags);
bool CheckBox(int number, int x, int y, int width, int height, const std::u16string& text);
bool TextEditor(int number, int x, int y, int width, int height, unsigned flags);
bool ListView(int number, int x, int y, int width, int height, const std::u16string& column0Title,
              int column0Width, unsigned flags);
void AddColumn(int list, int position, const std::u16string& title, int width);
bool WidgetExists(int number);
void SetWidgetFont(int widget, int font);
void SetWidgetColour(int widget, int which, Colour colour);
// Shown also while the widget's window is not the active one.
void AttachToolTip(int widget, const std::u16string& text);
// Tab moves the keyboard focus through these widgets in the given order,
// Shift+Tab back; without it the order is that of creation. A focused button
// is pressed with Space, Return or Enter.
void SetTabOrder(const std::vector<int>& widgets);

// Widget content -----------------------------------------------------------
void SetText(int widget, const std::u16string& text);
std::u16string GetText(int widget);
// List: position -1 appends; text holds the column texts joined by line
// feeds, column 0 first; the row is neither ticked nor selected. key is a
// hidden number the program may attach to the row (0 when unused).
// Editor: appends one line.
void AddItem(int widget, int position, const std::u16string& text, std::uint64_t key = 0);
void RemoveItem(int list, int row);
void ClearItems(int list);
int CountItems(int list);
int GetItemState(int list, int row);
// Selected (and focused) exactly when RowSelected is given; ticked exactly
// when RowTicked is given.
void SetItemState(int list, int row, int flags);
std::u16string GetItemText(int list, int row, int column);
std::uint64_t GetItemKey(int list, int row);
// Marks row alone (it becomes the only selected row and the current one,
// ticks stay as they are) and scrolls the list to show it.
void ShowRow(int list, int row);
int GetState(int checkBox);
void SetState(int checkBox, int state);
// List: replaces a row's column texts (joined by line feeds, as for
// AddItem); its key, tick and mark stay.
void SetItemText(int list, int row, const std::u16string& text);
// List: the row with the keyboard focus mark, which Return acts on; -1 when
// there is none (or it is not shown).
int CurrentRow(int list);

// Row activation: a double click on a row (not on its check box), or Return
// or Enter on the list while the row with the focus mark is marked, queues a
// widget event of number event (in the list's window); ActivatedRow then
// tells the row, -1 when it is gone since.
void SetRowActivationEvent(int list, int event);
int ActivatedRow(int list);

// Filtering: the list shows only the rows whose text in one of columns
// holds text, both compared without regard to case and blanks; a text of
// nothing but digits and the signs of a telephone number ("+49 (30) 12-34")
// matches by its digits alone the digits of a column ("030/1234" holds
// "301"). The empty text shows every row. Row numbers, counts, texts and
// states keep addressing every row, shown or not; a row the filter hides
// loses its mark but keeps its tick. Rows added later are shown when they
// pass the filter; a row whose text is replaced stays as it is until the
// filter is set again. The first call for a list's columns readies its rows
// for them, the empty text included: the first key costs no more than the
// next.
void FilterRows(int list, const std::u16string& text, const std::vector<int>& columns);
int CountShownRows(int list);

// Find field: a text field (number field) and a label (number label) laid
// over the top right corner of list, hidden until Ctrl+F is pressed while
// the keyboard focus is on the list or beside it in the same container (or
// window). Opening it and each edit queue a widget event of field. Escape
// empties and hides it, gives the list the focus and queues the event too;
// Return and the down arrow go to the list.
bool FindField(int field, int label, int list);

// Context menus -----------------------------------------------------------------
// An entry of a context menu: choosing it queues a widget event of its
// number in the widget's window, as a button's click does.
struct MenuEntry {
    int number;
    std::u16string text;
};
// Gives a widget a context menu with these entries, top to bottom (it
// replaces an earlier one). The menu opens on a right click, and with the
// Menu key or Shift+F10 while the widget has the keyboard focus (on a list
// beside its current row). enabled, when given, is asked each time the menu
// opens whether an entry (by number) can be chosen; a disabled entry is
// shown greyed.
void SetContextMenu(int widget, const std::vector<MenuEntry>& entries,
                    std::function<bool(int entry)> enabled = {});

// Fonts ---------------------------------------------------------------------
bool CreateFont(int font, const std::u16string& face, int points, unsigned flags);
bool FontExists(int font);
void FreeFont(int font);
// Pixel height of a font as created (size * dpi / 72, rounded); 0 when none.
int FontPixelHeight(int font);

// Dialogs -------------------------------------------------------------------
void MessageBox(const std::u16string& title, const std::u16string& text, Icon icon);
// filter: pairs of label and pattern joined by "|". Returns the chosen full
// path, or the empty text when the user cancels.
std::u16string OpenFileDialog(const std::u16string& title, const std::u16string& initialPath,
                              const std::u16string& filter, int filterIndex);
// The same for a file to write: the name may be new, a name typed without
// extension gets the chosen filter's first one, and choosing a file that
// exists asks before it is replaced.
std::u16string SaveFileDialog(const std::u16string& title, const std::u16string& initialPath,
                              const std::u16string& filter, int filterIndex);

// A modal question with a row of answer buttons, left to right as given;
// returns the index of the button chosen. Return chooses defaultButton;
// Escape and the box's close button choose cancelButton.
int Question(const std::u16string& title, const std::u16string& text, Icon icon,
             const std::vector<std::u16string>& buttons, int defaultButton, int cancelButton);

// A modal dialog with a text, a table and a row of answer buttons, left to
// right as given; returns the index of the button chosen. Return chooses
// defaultButton; Escape and the box's close button choose cancelButton.
// With choose set, a click on a row or Return on the current row calls it
// with the row's index and the dialog stays open (the program marks
// something behind it); without, Return on the table is Return.
struct TableDialog {
    std::u16string title;
    std::u16string text;  // above the table
    Icon icon = Icon::Information;
    std::vector<std::u16string> columns;  // titles
    std::vector<int> columnWidths;        // in pixels; the last column takes what is left
    std::vector<std::u16string> rows;     // cell texts joined by line feeds, as for a list
    std::vector<std::u16string> buttons;
    int defaultButton = 0;
    int cancelButton = 0;
    std::function<void(int row)> choose;
    // A widget the dialog is put beside rather than over, where the screen
    // has room: what choosing a row marks stays in sight. -1: none.
    int beside = -1;
};
int ShowTableDialog(const TableDialog& dialog);

// The dialog seam: tests record message boxes instead of showing them and
// answer the file dialogs and the questions themselves. The real dialogs
// are the default.
struct RecordedMessage {
    std::u16string title;
    std::u16string text;
    Icon icon;
};
void RecordMessageBoxes(bool on);
const std::vector<RecordedMessage>& RecordedMessages();
void ClearRecordedMessages();
// Queues an answer for the next open-file dialog (the empty text cancels).
// While answers are queued no dialog is shown; the dialog's arguments are
// kept for inspection.
void SetNextOpenFileAnswer(const std::u16string& path);
// The same for the next save-file dialog.
void SetNextSaveFileAnswer(const std::u16string& path);
struct RecordedFileDialog {
    std::u16string title;
    std::u16string initialPath;
    std::u16string filter;
    int filterIndex;
    bool save = false;  // a save-file dialog
};
const std::vector<RecordedFileDialog>& RecordedFileDialogs();
// Queues the index of the button that answers the next question. While
// answers are queued, or message boxes are recorded, no question is shown:
// it is recorded and answered from the queue, or with its cancel button when
// the queue is empty.
void SetNextQuestionAnswer(int button);
struct RecordedQuestion {
    std::u16string title;
    std::u16string text;
    Icon icon;
    std::vector<std::u16string> buttons;
};
const std::vector<RecordedQuestion>& RecordedQuestions();
// Queues the answer of the next table dialog: the rows chosen, in this
// order, before the button. Like questions, table dialogs are recorded and
// answered from the queue (with their cancel button when it is empty)
// while answers are queued or message boxes are recorded; recorded copies
// keep everything but choose.
void SetNextTableDialogAnswer(int button, const std::vector<int>& chosenRows = {});
const std::vector<TableDialog>& RecordedTableDialogs();

// The contact dialog ----------------------------------------------------------
// A contact as the dialog shows it: plain texts and choices. The program
// fills it, and reads it back after "OK".
struct ContactForm {
    struct Number {
        std::u16string text;
        int type = 0;  // index into numberTypes
        bool main = false;  // "Hauptnummer"; the dialog keeps it on one number at most
        std::u16string quickdial;
        std::u16string vanity;
        // Which number of the form as handed in this one is (the dialog
        // keeps it through edits and removals); -1 for a number added in the
        // dialog.
        int source = -1;
        bool operator==(const Number&) const = default;
    };
    struct Email {
        std::u16string text;
        int kind = 0;  // index into emailKinds
        int source = -1;
        bool operator==(const Email&) const = default;
    };
    std::u16string name;
    bool vip = false;
    std::vector<Number> numbers;
    std::vector<Email> emails;
    std::vector<std::u16string> numberTypes;  // the choices of a number's type
    std::vector<std::u16string> emailKinds;   // the choices of an address's kind
    int maxNumbers = 9;  // "Rufnummer hinzufügen" stops there
    bool operator==(const ContactForm&) const = default;
};

// A message the check hands the dialog, shown beside the field it names.
struct FormMessage {
    enum class Field { Contact, Name, Number, Email };
    Field field = Field::Contact;
    int index = 0;  // of the number or address in the form
    std::u16string text;
    bool error = false;  // errors refuse "OK"
    bool operator==(const FormMessage&) const = default;
};
using FormCheck = std::function<std::vector<FormMessage>(const ContactForm&)>;

// A modal dialog of the front window with the form, "OK" and "Abbrechen":
// name, VIP, the numbers (text, type, "Hauptnummer", quick-dial, vanity)
// and the addresses (text, kind), each with "Entfernen", and buttons that
// add a number or an address. check runs on the form as it stands after
// every change; its messages show beside their fields, and "OK" is disabled
// while one of them is an error. True for "OK", with form as the user left
// it; false, with form unchanged, for "Abbrechen", Escape or the close box.
bool ContactDialog(const std::u16string& title, ContactForm& form, const FormCheck& check);

// The seam of the contact dialog: while answers are queued, or message
// boxes are recorded, no dialog is shown. It is recorded and answered from
// the queue: an answer is taken as the user's form after "OK", unless check
// finds an error in it, which refuses it as the dialog's disabled "OK"
// would; the empty queue and a queued cancel answer "Abbrechen".
void SetNextContactFormAnswer(const ContactForm& answer);
void SetNextContactFormCancel();
struct RecordedContactDialog {
    std::u16string title;
    ContactForm shown;                  // as the program handed it in
    std::vector<FormMessage> messages;  // check's messages about the answer (about shown when cancelled)
    bool accepted = false;
};
const std::vector<RecordedContactDialog>& RecordedContactDialogs();

}  // namespace ui
