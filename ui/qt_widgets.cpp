// The widget kinds: containers, labels, buttons, text fields, check boxes,
// text editors and contact lists, placed by number, and their fonts,
// colours, tooltips and tab order.
#include "ui/qt_internal.h"

#include "ui/qt_access.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace ui {

using namespace impl;

namespace {

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
    entry = WidgetEntry{};
    entry.widget = widget;
    entry.kind = kind;
    entry.window = window;
    if (out)
        *out = &entry;
    return widget;
}

QColor ToQColor(Colour colour)
{
    return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// What a signal of widget number of window queues.
auto WidgetEvent(int number, int window)
{
    return [number, window] { PushEvent(Event::Widget, number, window); };
}

// A button or check box with its text, as MakeWidget makes it: Tab and a
// click give it the focus, and every click queues an event.
template <typename T>
T* MakeClickable(int number, Kind kind, int x, int y, int width, int height, const std::u16string& text)
{
    WidgetEntry* entry = nullptr;
    auto* button = MakeWidget<T>(number, kind, x, y, width, height, &entry);
    if (!button)
        return nullptr;
    button->setText(Q(text));
    button->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(button, &QAbstractButton::clicked, button, WidgetEvent(number, entry->window));
    return button;
}

}  // namespace

namespace impl {

WidgetEntry* EntryOf(int number)
{
    auto it = S().widgets.find(number);
    if (it == S().widgets.end() || !it->second.widget)
        return nullptr;
    return &it->second;
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

}  // namespace impl

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
    auto* button = MakeClickable<ToolkitButton>(number, Kind::Button, x, y, width, height, text);
    if (!button)
        return false;
    button->setAutoDefault(false);
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
    QObject::connect(field, &QLineEdit::textEdited, field, WidgetEvent(number, entry->window));
    field->show();
    return true;
}

bool CheckBox(int number, int x, int y, int width, int height, const std::u16string& text)
{
    auto* box = MakeClickable<QCheckBox>(number, Kind::CheckBox, x, y, width, height, text);
    if (!box)
        return false;
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

    const auto event = WidgetEvent(number, entry->window);
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

namespace qt {

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

}  // namespace qt
}  // namespace ui
