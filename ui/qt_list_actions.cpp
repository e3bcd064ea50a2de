// What the user does to a list beyond ticking and marking rows: activating
// a row, and finding rows through a find field that filters the list.
#include "ui/qt_internal.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include <algorithm>

namespace ui {

using namespace impl;

namespace {

// The find field: Escape empties and closes it, Return and the down arrow
// hand the keyboard to the list.
class FindLineEdit : public QLineEdit {
public:
    FindLineEdit(QWidget* bar, ContactListView* list, int number, int window)
        : QLineEdit(bar), bar_(bar), list_(list), number_(number), window_(window)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Escape:
            clear();
            bar_->hide();
            list_->horizontalHeader()->setMinimumHeight(0);
            list_->setFocus(Qt::ShortcutFocusReason);
            PushEvent(Event::Widget, number_, window_);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
            list_->setFocus(Qt::ShortcutFocusReason);
            return;
        default:
            QLineEdit::keyPressEvent(event);
        }
    }

private:
    QWidget* bar_;
    ContactListView* list_;
    int number_;
    int window_;
};

// The find bar's place: the list's top right corner, over the column
// headers, as high as they are and at least as high as the field needs.
void PlaceBar(QFrame* bar, ContactListView* list)
{
    const int width = std::min(330, list->width() - 4);
    const int height = std::max(list->horizontalHeader()->height(), bar->sizeHint().height());
    bar->setGeometry(list->width() - width - 2, 1, width, height);
}

}  // namespace

int CurrentRow(int list)
{
    ContactListView* view = ViewOf(list);
    return view ? view->currentRow() : -1;
}

void SetRowActivationEvent(int list, int event)
{
    WidgetEntry* entry = EntryOf(list);
    if (!entry || entry->kind != Kind::List)
        return;
    const int window = entry->window;
    entry->list->onActivate = [list, event, window](int row) {
        WidgetEntry* e = EntryOf(list);
        if (!e)
            return;
        e->activatedRow = row;
        e->activatedKey = e->list->contacts()->key(row);
        PushEvent(Event::Widget, event, window);
    };
}

int ActivatedRow(int list)
{
    WidgetEntry* entry = EntryOf(list);
    if (!entry || entry->kind != Kind::List || entry->activatedRow < 0)
        return -1;
    // Rows may have come or gone since: the key finds the row again.
    const ContactListModel* model = entry->list->contacts();
    if (model->validRow(entry->activatedRow) && model->key(entry->activatedRow) == entry->activatedKey)
        return entry->activatedRow;
    for (int row = 0; row < model->rows(); ++row)
        if (model->key(row) == entry->activatedKey)
            return entry->activatedRow = row;
    return entry->activatedRow = -1;
}

void FilterRows(int list, const std::u16string& text, const std::vector<int>& columns)
{
    if (ContactListModel* model = ModelOf(list))
        model->setFilter(Q(text), columns);
}

int CountShownRows(int list)
{
    ContactListModel* model = ModelOf(list);
    return model ? model->shownRows() : 0;
}

bool FindField(int field, int label, int list)
{
    WidgetEntry* entry = EntryOf(list);
    if (!entry || entry->kind != Kind::List || field == list || label == list || field == label)
        return false;
    ContactListView* view = entry->list;
    const int window = entry->window;

    auto* bar = new QFrame(view);
    bar->setFrameStyle(QFrame::Box | QFrame::Plain);
    bar->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(3, 1, 3, 1);
    layout->setSpacing(4);
    auto* caption = new QLabel(QStringLiteral("Suchen:"), bar);
    auto* edit = new FindLineEdit(bar, view, field, window);
    edit->setClearButtonEnabled(true);
    auto* count = new QLabel(bar);
    count->setTextFormat(Qt::PlainText);
    layout->addWidget(caption);
    layout->addWidget(edit, 1);
    layout->addWidget(count);
    bar->hide();  // the list's font reaches it, as that of a child

    QObject::connect(edit, &QLineEdit::textEdited, edit, [field, window] { PushEvent(Event::Widget, field, window); });
    // The clear button empties the field without an edit of the user's own.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, field, window](const QString& text) {
        if (text.isEmpty() && edit->isVisible())
            PushEvent(Event::Widget, field, window);
    });

    // Ctrl+F anywhere in the list's container, the list included.
    QWidget* scope = view->parentWidget() ? view->parentWidget() : view;
    auto* shortcut = new QShortcut(QKeySequence::Find, scope);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    // Opening it is an event of the field too: the program readies the list
    // for finding then, before the first key.
    QObject::connect(shortcut, &QShortcut::activated, bar, [bar, view, edit, field, window] {
        if (!bar->isVisible())
            PushEvent(Event::Widget, field, window);
        PlaceBar(bar, view);
        // While the bar is open the column headers are as high as it is, so
        // that it covers no row.
        view->horizontalHeader()->setMinimumHeight(bar->height());
        bar->show();
        bar->raise();
        edit->setFocus(Qt::ShortcutFocusReason);
        edit->selectAll();
    });
    QObject::connect(view, &QObject::destroyed, shortcut, &QObject::deleteLater);

    const auto enter = [window](int number, QWidget* widget, Kind kind) {
        WidgetEntry& entry = S().widgets[number];
        entry = WidgetEntry{};
        entry.widget = widget;
        entry.kind = kind;
        entry.window = window;
    };
    enter(field, edit, Kind::Field);
    enter(label, count, Kind::Label);
    return true;
}

}  // namespace ui
