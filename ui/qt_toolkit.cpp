// The toolkit on Qt Widgets. Windows, widgets and fonts live in tables keyed
// by the program's numbers; Qt's signals are turned into entries of one event
// queue that WaitForEvent and PollEvent hand out.
#include "ui/toolkit.h"

#include "ui/contact_list_model.h"
#include "ui/contact_list_view.h"
#include "ui/qt_access.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTranslator>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>

namespace ui {
namespace {

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }
std::u16string U(const QString& text) { return text.toStdU16String(); }

enum class Kind { Container, Label, Button, Field, CheckBox, Editor, List };

struct WidgetEntry {
    QPointer<QWidget> widget;
    Kind kind;
    int window;
    QWidget* area = nullptr;             // container: where its children go
    ContactListView* list = nullptr;     // list: the view with its rows
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
    std::deque<std::u16string> fileAnswers;
    std::vector<RecordedFileDialog> fileDialogs;
    std::deque<int> questionAnswers;
    std::vector<RecordedQuestion> questions;
    std::u16string noDisplayMessage;
    std::u16string language;               // of the translations, empty: none
    QPointer<QTranslator> translator;      // owned by the application object
};

State& S()
{
    static State state;
    return state;
}

void PushEvent(Event kind, int widget, int window)
{
    auto& queue = S().queue;
    if (!queue.empty()) {
        const QueuedEvent& last = queue.back();
        if (last.kind == kind && last.widget == widget && last.window == window)
            return;
    }
    queue.push_back({kind, widget, window});
}

// A push button that Return and Enter press, as Space does, whether or not
// it sits in a dialog.
class ToolkitButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!event->isAutoRepeat())
                click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

// A window of the program. A close from outside (close box, Alt+F4, the
// window manager) is refused here and handed to the program as a request.
class ToolkitWindow : public QWidget {
public:
    ToolkitWindow(int number, QWidget* owner, Qt::WindowFlags flags) : QWidget(owner, flags), number_(number) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        PushEvent(Event::CloseRequest, -1, number_);
    }

private:
    int number_;
};

QWidget* WindowOf(int window)
{
    auto it = S().windows.find(window);
    return it == S().windows.end() ? nullptr : it->second.widget.data();
}

WidgetEntry* EntryOf(int number)
{
    auto it = S().widgets.find(number);
    if (it == S().widgets.end() || !it->second.widget)
        return nullptr;
    return &it->second;
}

template <typename T>
T* WidgetAs(int number)
{
    WidgetEntry* entry = EntryOf(number);
    return entry ? qobject_cast<T*>(entry->widget.data()) : nullptr;
}

ContactListView* ViewOf(int list)
{
    WidgetEntry* entry = EntryOf(list);
    return entry && entry->kind == Kind::List ? entry->list : nullptr;
}

ContactListModel* ModelOf(int list)
{
    ContactListView* view = ViewOf(list);
    return view ? view->contacts() : nullptr;
}

// Shows the row selections the program made since Qt last ran, so that
// input is handled against what is on the screen.
void SyncLists()
{
    for (auto& [n, entry] : S().widgets)
        if (entry.kind == Kind::List && entry.widget && entry.list->selectionPending())
            entry.list->syncSelection();
}

void ForgetWidget(int number)
{
    auto it = S().widgets.find(number);
    if (it == S().widgets.end())
        return;
    QWidget* widget = it->second.widget.data();
    const int window = it->second.window;
    S().widgets.erase(it);
    auto win = S().windows.find(window);
    if (win != S().windows.end())
        std::erase(win->second.containers, number);
    // Widgets inside a container go with it.
    if (widget) {
        std::vector<int> inside;
        for (auto& [n, entry] : S().widgets)
            if (entry.widget && widget->isAncestorOf(entry.widget))
                inside.push_back(n);
        for (int n : inside) {
            S().widgets.erase(n);
            if (win != S().windows.end())
                std::erase(win->second.containers, n);
        }
        delete widget;
    }
}

// The parent for a new widget: the innermost open container of the current
// window, or the window itself.
QWidget* CurrentParent(int* window)
{
    auto it = S().windows.find(S().currentWindow);
    if (it == S().windows.end() || !it->second.widget)
        return nullptr;
    *window = it->first;
    for (auto c = it->second.containers.rbegin(); c != it->second.containers.rend(); ++c) {
        WidgetEntry* entry = EntryOf(*c);
        if (entry && entry->area)
            return entry->area;
    }
    return it->second.widget.data();
}

// Creates a widget of type T at the current place, replacing any widget that
// had the number before.
template <typename T, typename... Args>
T* MakeWidget(int number, Kind kind, int x, int y, int width, int height, WidgetEntry** out, Args... args)
{
    if (!QApplication::instance() || width < 0 || height < 0)
        return nullptr;
    ForgetWidget(number);
    int window = NoWindow;
    QWidget* parent = CurrentParent(&window);
    if (!parent)
        return nullptr;
    auto* widget = new T(args..., parent);
    widget->setGeometry(x, y, width, height);
    WidgetEntry& entry = S().widgets[number];
    entry = WidgetEntry{widget, kind, window, nullptr, nullptr};
    if (out)
        *out = &entry;
    return widget;
}

QWidget* FrontWindow()
{
    if (QWidget* active = QApplication::activeWindow()) {
        for (auto& [n, entry] : S().windows)
            if (entry.widget == active)
                return active;
    }
    QWidget* best = nullptr;
    unsigned long long bestAt = 0;
    for (auto& [n, entry] : S().windows) {
        if (entry.widget && entry.widget->isVisible() && entry.openedAt >= bestAt) {
            best = entry.widget.data();
            bestAt = entry.openedAt;
        }
    }
    return best;
}

// Objects Qt deletes later (tool tips, parts of closed dialogs) are only
// deleted by a running event loop; the program never starts one, so they are
// deleted here, from outside any Qt handler.
void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Brings a window to the front. The offscreen platform has no stacking
// order and complains when asked for one.
void BringToFront(QWidget* window)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        window->raise();
    window->activateWindow();
}

// Rounds points * dpi / 72 to the nearest whole pixel, halves away from 0.
int PixelsForPoints(int points, int dpi)
{
    const long long scaled = static_cast<long long>(points) * dpi;
    const long long rounded = scaled >= 0 ? (scaled * 2 + 72) / 144 : -((-scaled * 2 + 72) / 144);
    return static_cast<int>(rounded);
}

QColor ToQColor(Colour colour)
{
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

void SetRoles(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles, Colour colour)
{
    QPalette palette = widget->palette();
    const QPalette defaults = QApplication::palette(widget);
    for (QPalette::ColorRole role : roles) {
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, role, colour == DefaultColour ? defaults.color(group, role) : ToQColor(colour));
        }
    }
    widget->setPalette(palette);
}

QMessageBox::Icon QtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    default: return QMessageBox::Information;
    }
}

QStringList QtFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        const QString tail = u'(' + patterns + u')';
        // Qt reads the patterns from the parentheses of the label.
        result.append(label.contains(tail) ? label : label + u' ' + tail);
    }
    return result;
}

void DropWindow(int window)
{
    auto it = S().windows.find(window);
    if (it == S().windows.end())
        return;
    QPointer<QWidget> widget = it->second.widget;
    std::vector<int> owned;
    for (auto& [n, entry] : S().widgets)
        if (entry.window == window)
            owned.push_back(n);
    for (int n : owned)
        S().widgets.erase(n);
    S().windows.erase(it);
    std::erase_if(S().queue, [window](const QueuedEvent& e) { return e.window == window; });
    if (S().currentWindow == window)
        S().currentWindow = NoWindow;
    // Windows it owns go with it, as Qt deletes child windows with their parent.
    std::vector<int> children;
    for (auto& [n, entry] : S().windows)
        if (entry.owner == window)
            children.push_back(n);
    for (int n : children)
        DropWindow(n);
    delete widget.data();
}

}  // namespace

// Application ---------------------------------------------------------------

namespace {

// Room for a window's frame and title bar when a size is checked against the
// screen before the window exists, in logical pixels.
constexpr int FrameAllowanceWidth = 8;
constexpr int FrameAllowanceHeight = 36;
// FitToScreen never scales below one device pixel per design pixel: it takes
// back what a high-DPI screen added, no more. Below that texts would shrink
// under their design size, and Qt does not draw widgets reliably at a device
// pixel ratio under 1.
constexpr double SmallestDeviceScale = 1.0;

void WriteNoDisplayMessage()
{
    const QByteArray line = Q(S().noDisplayMessage).toUtf8();
    if (!line.isEmpty()) {
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }
}

// What Qt says while the application object is made is held back: when the
// platform cannot be brought up (a display that is named but unreachable),
// Qt ends the process with a fatal message, and the user gets the program's
// one line instead. Otherwise the held messages are passed on afterwards.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
QtMessageHandler passOn = nullptr;

void PassOnHeldMessages()
{
    for (const HeldMessage& m : heldMessages)
        passOn(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category.constData()), m.text);
    heldMessages.clear();
}

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg && !S().noDisplayMessage.empty()) {
        WriteNoDisplayMessage();
        std::_Exit(1);
    }
    if (type == QtFatalMsg) {
        PassOnHeldMessages();
        passOn(type, context, text);
        return;
    }
    heldMessages.push_back({type, QByteArray(context.category ? context.category : ""), text});
}

bool LoadTranslations()
{
    State& s = S();
    if (s.translator) {
        QCoreApplication::removeTranslator(s.translator);
        delete s.translator.data();
    }
    if (s.language.empty() || !QCoreApplication::instance())
        return false;
    const QString language = Q(s.language);
    QLocale::setDefault(QLocale(language));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    s.translator = translator;
    return true;
}

void MakeApplication()
{
    State& s = S();
    passOn = qInstallMessageHandler(HoldStartMessage);
    s.ownApp = new QApplication(s.argc, s.argv.data());
    qInstallMessageHandler(passOn);
    PassOnHeldMessages();
    QApplication::setQuitOnLastWindowClosed(false);
    LoadTranslations();
}

}  // namespace

bool Init(int argc, char** argv)
{
    State& s = S();
    if (QApplication::instance())
        return qobject_cast<QApplication*>(QApplication::instance()) != nullptr;
    if (!DisplayNamed()) {
        WriteNoDisplayMessage();
        return false;
    }
    static char programName[] = "nummernwerk";
    s.argv.clear();
    if (argc > 0 && argv) {
        for (int i = 0; i < argc; ++i)
            s.argv.push_back(argv[i]);
    } else {
        s.argv.push_back(programName);
    }
    s.argc = static_cast<int>(s.argv.size());
    s.argv.push_back(nullptr);
    MakeApplication();
    return true;
}

void Shutdown()
{
    qt::ResetForTests();
    State& s = S();
    if (s.ownApp) {
        delete s.ownApp;
        s.ownApp = nullptr;
    }
}

void SetNoDisplayMessage(const std::u16string& line) { S().noDisplayMessage = line; }

bool DisplayNamed()
{
    // QT_QPA_PLATFORM may list platforms to try in turn ("wayland;xcb"),
    // each with its arguments after a colon; unset, it is X11.
    const QStringList platforms = qEnvironmentVariable("QT_QPA_PLATFORM").split(u';', Qt::SkipEmptyParts);
    for (const QString& platform : platforms) {
        const QString name = platform.section(u':', 0, 0).trimmed();
        if (!name.isEmpty() && name != u"xcb" && !name.startsWith(u"wayland"))
            return true;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void FitToScreen(int width, int height)
{
    State& s = S();
    // Only an application object of the toolkit's own, before any window,
    // can be made anew.
    if (!s.ownApp || !s.windows.empty())
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const double scale = qt::FitScale(width, height, area.width(), area.height(), screen->devicePixelRatio());
    if (scale >= 1.0)
        return;
    // Qt scales everything evenly by QT_SCALE_FACTOR, on top of the screen's
    // own factor and of a factor the user chose; it reads it only when the
    // application object is made.
    bool given = false;
    double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&given);
    if (!given || factor <= 0)
        factor = 1.0;
    // Rounded down, so that the window fits.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(std::floor(factor * scale * 1000.0) / 1000.0, 'f', 3));
    delete s.ownApp;
    s.ownApp = nullptr;
    MakeApplication();
}

bool SetLanguage(const std::u16string& language)
{
    S().language = language;
    return LoadTranslations();
}

void SetDesktopFileName(const std::u16string& name)
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setDesktopFileName(Q(name));
}

int DisplayDpiY()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 96;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    const int dpi = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
    return dpi > 0 ? dpi : 96;
}

// Windows and events ----------------------------------------------------------

bool OpenWindow(int window, int x, int y, int width, int height, const std::u16string& title, unsigned flags,
                int owner)
{
    if (!QApplication::instance() || width <= 0 || height <= 0)
        return false;
    if (WindowExists(window))
        CloseWindow(window);
    QWidget* ownerWidget = owner == NoWindow ? nullptr : WindowOf(owner);

    Qt::WindowFlags wf = (ownerWidget ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
    if (flags & WindowTitleBar)
        wf |= Qt::WindowTitleHint;
    if (flags & WindowSystemMenu)
        wf |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (flags & WindowMinimiseBox)
        wf |= Qt::WindowMinimizeButtonHint;

    auto* widget = new ToolkitWindow(window, ownerWidget, wf);
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    widget->setWindowModality(Qt::NonModal);
    widget->setAttribute(Qt::WA_AlwaysShowToolTips);
    widget->setWindowTitle(Q(title));
    widget->setFixedSize(width, height);

    WindowEntry& entry = S().windows[window];
    entry = WindowEntry{};
    entry.widget = widget;
    entry.owner = ownerWidget ? owner : NoWindow;
    entry.openedAt = ++S().openCounter;
    S().currentWindow = window;

    // Place the whole window, frame included: once before it is shown, with
    // the frame as far as it is known, and again if showing it revealed a
    // different frame.
    auto place = [&] {
        const QSize frame = widget->frameGeometry().size();
        if (!(flags & (WindowScreenCentred | WindowOwnerCentred))) {
            widget->move(x, y);
            return;
        }
        QRect area;
        QRect available;
        QScreen* screen = ownerWidget ? ownerWidget->screen() : QGuiApplication::primaryScreen();
        if (screen)
            available = screen->availableGeometry();
        if ((flags & WindowOwnerCentred) && ownerWidget)
            area = ownerWidget->frameGeometry();
        else if (screen)
            area = screen->geometry();
        // On an axis where the window is larger than the area it starts at
        // the area's edge.
        int left = area.left() + std::max(0, (area.width() - frame.width()) / 2);
        int top = area.top() + std::max(0, (area.height() - frame.height()) / 2);
        // A window that fits beside the screen's panels is kept clear of them.
        if (frame.width() <= available.width())
            left = std::clamp(left, available.left(), available.right() + 1 - frame.width());
        if (frame.height() <= available.height())
            top = std::clamp(top, available.top(), available.bottom() + 1 - frame.height());
        widget->move(left, top);
    };
    place();
    const QSize before = widget->frameGeometry().size();
    widget->show();
    if (widget->frameGeometry().size() != before)
        place();
    BringToFront(widget);
    return true;
}

bool WindowExists(int window) { return WindowOf(window) != nullptr; }

void SetWindowColour(int window, Colour colour)
{
    QWidget* widget = WindowOf(window);
    if (!widget)
        return;
    SetRoles(widget, {QPalette::Window}, colour);
    widget->setAutoFillBackground(colour != DefaultColour);
}

void SetWindowIcon(int window, int width, int height, const std::vector<std::uint32_t>& argb)
{
    QWidget* widget = WindowOf(window);
    if (!widget || width <= 0 || height <= 0 ||
        argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return;
    QImage image(width, height, QImage::Format_ARGB32);
    for (int row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < width; ++col)
            line[col] = argb[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(col)];
    }
    widget->setWindowIcon(QIcon(QPixmap::fromImage(image)));
}

void CloseWindow(int window)
{
    auto it = S().windows.find(window);
    if (it == S().windows.end())
        return;
    if (QWidget* owner = WindowOf(it->second.owner))
        BringToFront(owner);
    DropWindow(window);
}

void ActivateWindow(int window)
{
    if (QWidget* widget = WindowOf(window))
        BringToFront(widget);
}

static Event TakeEvent()
{
    State& s = S();
    if (s.queue.empty())
        return Event::None;
    const QueuedEvent e = s.queue.front();
    s.queue.pop_front();
    if (e.kind == Event::Widget)
        s.eventWidget = e.widget;
    s.eventWindow = e.window;
    return e.kind;
}

Event WaitForEvent()
{
    if (!QApplication::instance())
        return Event::None;
    SyncLists();
    FlushDeletes();
    while (S().queue.empty())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return TakeEvent();
}

Event PollEvent()
{
    if (QApplication::instance()) {
        SyncLists();
        FlushDeletes();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return TakeEvent();
}

int EventWidget() { return S().eventWidget; }
int EventWindow() { return S().eventWindow; }
int PendingEventCount() { return static_cast<int>(S().queue.size()); }

// Widgets -----------------------------------------------------------------------

bool Container(int number, int x, int y, int width, int height, unsigned flags)
{
    WidgetEntry* entry = nullptr;
    auto* frame = MakeWidget<QFrame>(number, Kind::Container, x, y, width, height, &entry);
    if (!frame)
        return false;
    if (flags & ContainerFlatBorder) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
    } else {
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setLineWidth(2);
    }
    auto* area = new QWidget(frame);
    area->setGeometry(frame->contentsRect());
    entry->area = area;
    frame->show();
    area->show();
    S().windows[entry->window].containers.push_back(number);
    return true;
}

void CloseContainerList()
{
    auto it = S().windows.find(S().currentWindow);
    if (it != S().windows.end() && !it->second.containers.empty())
        it->second.containers.pop_back();
}

bool TextLabel(int number, int x, int y, int width, int height, const std::u16string& text, unsigned flags)
{
    auto* label = MakeWidget<QLabel>(number, Kind::Label, x, y, width, height, nullptr);
    if (!label)
        return false;
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(((flags & LabelCentred) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    label->setText(Q(text));
    label->show();
    return true;
}

bool Button(int number, int x, int y, int width, int height, const std::u16string& text)
{
    WidgetEntry* entry = nullptr;
    auto* button = MakeWidget<ToolkitButton>(number, Kind::Button, x, y, width, height, &entry);
    if (!button)
        return false;
    button->setText(Q(text));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    const int window = entry->window;
    QObject::connect(button, &QPushButton::clicked, button,
                     [number, window] { PushEvent(Event::Widget, number, window); });
    button->show();
    return true;
}

bool TextField(int number, int x, int y, int width, int height, const std::u16string& text, unsigned flags)
{
    WidgetEntry* entry = nullptr;
    auto* field = MakeWidget<QLineEdit>(number, Kind::Field, x, y, width, height, &entry);
    if (!field)
        return false;
    field->setFrame(!(flags & FieldNoBorder));
    field->setText(Q(text));
    field->setCursorPosition(0);
    const int window = entry->window;
    QObject::connect(field, &QLineEdit::textEdited, field,
                     [number, window] { PushEvent(Event::Widget, number, window); });
    field->show();
    return true;
}

bool CheckBox(int number, int x, int y, int width, int height, const std::u16string& text)
{
    WidgetEntry* entry = nullptr;
    auto* box = MakeWidget<QCheckBox>(number, Kind::CheckBox, x, y, width, height, &entry);
    if (!box)
        return false;
    box->setText(Q(text));
    box->setFocusPolicy(Qt::StrongFocus);
    const int window = entry->window;
    QObject::connect(box, &QCheckBox::clicked, box, [number, window] { PushEvent(Event::Widget, number, window); });
    box->show();
    return true;
}

bool TextEditor(int number, int x, int y, int width, int height, unsigned flags)
{
    auto* editor = MakeWidget<QPlainTextEdit>(number, Kind::Editor, x, y, width, height, nullptr);
    if (!editor)
        return false;
    editor->setReadOnly(flags & EditorReadOnly);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setTabChangesFocus(true);
    if (flags & EditorReadOnly)
        editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor->show();
    return true;
}

bool ListView(int number, int x, int y, int width, int height, const std::u16string& column0Title, int column0Width,
              unsigned flags)
{
    static_assert(ContactListView::CheckBoxes == ListCheckBoxes && ContactListView::MultiSelect == ListMultiSelect &&
                  ContactListView::ShowSelectionAlways == ListShowSelectionAlways &&
                  ContactListView::GridLines == ListGridLines && ContactListView::FullRowSelect == ListFullRowSelect);
    WidgetEntry* entry = nullptr;
    auto* view = MakeWidget<ContactListView>(number, Kind::List, x, y, width, height, &entry, flags);
    if (!view)
        return false;
    entry->list = view;
    view->contacts()->appendColumn(Q(column0Title));
    view->setColumnWidth(0, column0Width);

    const int window = entry->window;
    auto event = [number, window] { PushEvent(Event::Widget, number, window); };
    view->contacts()->onUserCheck = [event](int) { event(); };
    QObject::connect(view, &QAbstractItemView::clicked, view, event);
    view->show();
    return true;
}

void AddColumn(int list, int /*position*/, const std::u16string& title, int width)
{
    ContactListModel* model = ModelOf(list);
    if (!model)
        return;
    model->appendColumn(Q(title));
    ViewOf(list)->setColumnWidth(model->columnCount() - 1, width);
}

bool WidgetExists(int number) { return EntryOf(number) != nullptr; }

void SetWidgetFont(int widget, int font)
{
    WidgetEntry* entry = EntryOf(widget);
    auto it = S().fonts.find(font);
    if (!entry || it == S().fonts.end())
        return;
    entry->widget->setFont(it->second.font);
    if (entry->kind == Kind::List)
        entry->list->fitRowHeight();
}

void SetWidgetColour(int widget, int which, Colour colour)
{
    WidgetEntry* entry = EntryOf(widget);
    if (!entry)
        return;
    QWidget* w = entry->widget;
    if (which == ColourText) {
        SetRoles(w, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}, colour);
    } else if (which == ColourBackground) {
        switch (entry->kind) {
        case Kind::Button:
            SetRoles(w, {QPalette::Button}, colour);
            break;
        case Kind::Field:
        case Kind::Editor:
        case Kind::List:
            SetRoles(w, {QPalette::Base}, colour);
            break;
        default:
            SetRoles(w, {QPalette::Window}, colour);
            w->setAutoFillBackground(colour != DefaultColour);
            break;
        }
    }
}

void AttachToolTip(int widget, const std::u16string& text)
{
    if (WidgetEntry* entry = EntryOf(widget))
        entry->widget->setToolTip(Q(text));
}

void SetTabOrder(const std::vector<int>& widgets)
{
    QWidget* previous = nullptr;
    for (int number : widgets) {
        WidgetEntry* entry = EntryOf(number);
        if (!entry)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, entry->widget);
        previous = entry->widget;
    }
}

// Widget content -----------------------------------------------------------------

void SetText(int widget, const std::u16string& text)
{
    WidgetEntry* entry = EntryOf(widget);
    if (!entry)
        return;
    QWidget* w = entry->widget;
    const QSignalBlocker quiet(w);
    switch (entry->kind) {
    case Kind::Label:
        static_cast<QLabel*>(w)->setText(Q(text));
        break;
    case Kind::Button:
    case Kind::CheckBox:
        static_cast<QAbstractButton*>(w)->setText(Q(text));
        break;
    case Kind::Field: {
        auto* field = static_cast<QLineEdit*>(w);
        field->setText(Q(text));
        field->setCursorPosition(0);
        break;
    }
    case Kind::Editor:
        static_cast<QPlainTextEdit*>(w)->setPlainText(Q(text));
        break;
    default:
        break;
    }
}

std::u16string GetText(int widget)
{
    WidgetEntry* entry = EntryOf(widget);
    if (!entry)
        return {};
    QWidget* w = entry->widget;
    switch (entry->kind) {
    case Kind::Label:
        return U(static_cast<QLabel*>(w)->text());
    case Kind::Button:
    case Kind::CheckBox:
        return U(static_cast<QAbstractButton*>(w)->text());
    case Kind::Field:
        return U(static_cast<QLineEdit*>(w)->text());
    case Kind::Editor:
        return U(static_cast<QPlainTextEdit*>(w)->toPlainText());
    default:
        return {};
    }
}

void AddItem(int widget, int position, const std::u16string& text, std::uint64_t key)
{
    WidgetEntry* entry = EntryOf(widget);
    if (!entry)
        return;
    const QSignalBlocker quiet(entry->widget.data());
    if (entry->kind == Kind::List)
        entry->list->contacts()->insertRow(position, text, key);
    else if (entry->kind == Kind::Editor) {
        // Appending scrolls to the new last line; the reader starts at the top.
        auto* editor = static_cast<QPlainTextEdit*>(entry->widget.data());
        editor->appendPlainText(Q(text));
        editor->moveCursor(QTextCursor::Start);
        editor->ensureCursorVisible();
    }
}

void RemoveItem(int list, int row)
{
    if (ContactListModel* model = ModelOf(list))
        model->removeRowAt(row);
}

void ClearItems(int list)
{
    WidgetEntry* entry = EntryOf(list);
    if (!entry)
        return;
    if (entry->kind == Kind::List)
        entry->list->contacts()->clearRows();
    else if (entry->kind == Kind::Editor)
        static_cast<QPlainTextEdit*>(entry->widget.data())->clear();
}

int CountItems(int list)
{
    ContactListModel* model = ModelOf(list);
    return model ? model->rows() : 0;
}

int GetItemState(int list, int row)
{
    ContactListView* view = ViewOf(list);
    if (!view || !view->contacts()->validRow(row))
        return 0;
    int state = view->isRowSelected(row) ? RowSelected : 0;
    switch (view->contacts()->checkState(row)) {
    case Qt::Checked:
        state |= RowTicked;
        break;
    case Qt::PartiallyChecked:
        state |= RowIndeterminate;
        break;
    default:
        break;
    }
    return state;
}

void SetItemState(int list, int row, int flags)
{
    ContactListView* view = ViewOf(list);
    if (!view || !view->contacts()->validRow(row))
        return;
    view->contacts()->setCheckState(row, (flags & RowTicked)         ? Qt::Checked
                                         : (flags & RowIndeterminate) ? Qt::PartiallyChecked
                                                                      : Qt::Unchecked);
    view->setRowSelected(row, flags & RowSelected);
}

std::u16string GetItemText(int list, int row, int column)
{
    ContactListModel* model = ModelOf(list);
    if (!model || !model->validRow(row))
        return {};
    return model->cellText(row, column);
}

std::uint64_t GetItemKey(int list, int row)
{
    ContactListModel* model = ModelOf(list);
    if (!model || !model->validRow(row))
        return 0;
    return model->key(row);
}

int GetState(int checkBox)
{
    auto* box = WidgetAs<QCheckBox>(checkBox);
    return box && box->isChecked() ? 1 : 0;
}

void SetState(int checkBox, int state)
{
    if (auto* box = WidgetAs<QCheckBox>(checkBox)) {
        const QSignalBlocker quiet(box);
        box->setChecked(state != 0);
    }
}

// Fonts -------------------------------------------------------------------------

bool CreateFont(int font, const std::u16string& face, int points, unsigned flags)
{
    if (face.empty() || points <= 0 || !QApplication::instance())
        return false;
    const int pixels = PixelsForPoints(points, DisplayDpiY());
    if (pixels <= 0)
        return false;
    QFont f(Q(face));
    f.setPixelSize(pixels);
    f.setWeight((flags & FontBold) ? QFont::Bold : QFont::Normal);
    f.setUnderline(flags & FontUnderline);
    f.setStyleStrategy((flags & FontHighQuality) ? QFont::PreferQuality : QFont::PreferDefault);
    S().fonts[font] = FontEntry{f, pixels};
    return true;
}

bool FontExists(int font) { return S().fonts.count(font) != 0; }

void FreeFont(int font) { S().fonts.erase(font); }

int FontPixelHeight(int font)
{
    auto it = S().fonts.find(font);
    return it == S().fonts.end() ? 0 : it->second.pixelHeight;
}

// Dialogs -------------------------------------------------------------------------

void MessageBox(const std::u16string& title, const std::u16string& text, Icon icon)
{
    State& s = S();
    if (s.recordMessages) {
        s.messages.push_back({title, text, icon});
        return;
    }
    if (!QApplication::instance())
        return;
    QMessageBox box(QtIcon(icon), Q(title), Q(text), QMessageBox::Ok, FrontWindow());
    box.setTextFormat(Qt::PlainText);
    SyncLists();
    box.exec();
}

int Question(const std::u16string& title, const std::u16string& text, Icon icon,
             const std::vector<std::u16string>& buttons, int defaultButton, int cancelButton)
{
    State& s = S();
    if (!s.questionAnswers.empty() || s.recordMessages) {
        s.questions.push_back({title, text, icon, buttons});
        if (s.questionAnswers.empty())
            return cancelButton;
        const int answer = s.questionAnswers.front();
        s.questionAnswers.pop_front();
        return answer;
    }
    if (!QApplication::instance() || buttons.empty())
        return cancelButton;
    QMessageBox box(QtIcon(icon), Q(title), Q(text), QMessageBox::NoButton, FrontWindow());
    box.setTextFormat(Qt::PlainText);
    // Buttons of one role keep the order they were added in.
    std::vector<QPushButton*> pushButtons;
    for (const std::u16string& caption : buttons)
        pushButtons.push_back(box.addButton(Q(caption), QMessageBox::ActionRole));
    const auto valid = [&](int button) { return button >= 0 && button < static_cast<int>(pushButtons.size()); };
    if (valid(defaultButton))
        box.setDefaultButton(pushButtons[defaultButton]);
    if (valid(cancelButton))
        box.setEscapeButton(pushButtons[cancelButton]);
    SyncLists();
    box.exec();
    const auto chosen = std::find(pushButtons.begin(), pushButtons.end(), box.clickedButton());
    return chosen == pushButtons.end() ? cancelButton : static_cast<int>(chosen - pushButtons.begin());
}

std::u16string OpenFileDialog(const std::u16string& title, const std::u16string& initialPath,
                              const std::u16string& filter, int filterIndex)
{
    State& s = S();
    if (!s.fileAnswers.empty()) {
        s.fileDialogs.push_back({title, initialPath, filter, filterIndex});
        std::u16string answer = std::move(s.fileAnswers.front());
        s.fileAnswers.pop_front();
        return answer;
    }
    if (!QApplication::instance())
        return {};

    QFileDialog dialog(FrontWindow(), Q(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = QtFilters(Q(filter));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (filterIndex >= 0 && filterIndex < filters.size())
            dialog.selectNameFilter(filters[filterIndex]);
    }
    const QString path = Q(initialPath);
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        if (path.endsWith(u'/') || path.endsWith(QDir::separator()) || info.isDir()) {
            dialog.setDirectory(path);
        } else {
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    SyncLists();
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::u16string() : U(QDir::toNativeSeparators(chosen.front()));
}

void RecordMessageBoxes(bool on) { S().recordMessages = on; }
const std::vector<RecordedMessage>& RecordedMessages() { return S().messages; }
void ClearRecordedMessages() { S().messages.clear(); }
void SetNextOpenFileAnswer(const std::u16string& path) { S().fileAnswers.push_back(path); }
const std::vector<RecordedFileDialog>& RecordedFileDialogs() { return S().fileDialogs; }
void SetNextQuestionAnswer(int button) { S().questionAnswers.push_back(button); }
const std::vector<RecordedQuestion>& RecordedQuestions() { return S().questions; }

// Test access -----------------------------------------------------------------------

namespace qt {

double FitScale(int width, int height, int availableWidth, int availableHeight, double devicePixelRatio)
{
    if (width <= 0 || height <= 0)
        return 1.0;
    const double fit = std::min(static_cast<double>(availableWidth - FrameAllowanceWidth) / width,
                                static_cast<double>(availableHeight - FrameAllowanceHeight) / height);
    if (fit >= 1.0)
        return 1.0;
    const double smallest = SmallestDeviceScale / (devicePixelRatio > 0 ? devicePixelRatio : 1.0);
    return std::min(1.0, std::max(fit, smallest));
}

QWidget* WindowWidget(int window) { return WindowOf(window); }

QWidget* WidgetObject(int widget)
{
    WidgetEntry* entry = EntryOf(widget);
    if (!entry)
        return nullptr;
    if (entry->kind == Kind::List)
        entry->list->syncSelection();
    return entry->widget.data();
}

QWidget* ContainerArea(int container)
{
    WidgetEntry* entry = EntryOf(container);
    return entry ? entry->area : nullptr;
}

const QFont* FontObject(int font)
{
    auto it = S().fonts.find(font);
    return it == S().fonts.end() ? nullptr : &it->second.font;
}

void ResetForTests()
{
    State& s = S();
    while (!s.windows.empty())
        DropWindow(s.windows.begin()->first);
    s.widgets.clear();
    s.fonts.clear();
    s.queue.clear();
    s.currentWindow = NoWindow;
    s.eventWidget = -1;
    s.eventWindow = NoWindow;
    s.recordMessages = false;
    s.messages.clear();
    s.fileAnswers.clear();
    s.fileDialogs.clear();
    s.questionAnswers.clear();
    s.questions.clear();
}

}  // namespace qt
}  // namespace ui
