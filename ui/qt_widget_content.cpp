// What widgets show: texts, the rows of lists and editors, row and check
// box states.
#include "ui/qt_internal.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

namespace ui {

using namespace impl;

namespace {

template <typename T>
T* WidgetAs(int number)
{
    WidgetEntry* entry = EntryOf(number);
    return entry ? qobject_cast<T*>(entry->widget.data()) : nullptr;
}

}  // namespace

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

void SetItemText(int list, int row, const std::u16string& text)
{
    if (ContactListModel* model = ModelOf(list))
        model->setRowText(row, text);
}

std::uint64_t GetItemKey(int list, int row)
{
    ContactListModel* model = ModelOf(list);
    if (!model || !model->validRow(row))
        return 0;
    return model->key(row);
}

void ShowRow(int list, int row)
{
    if (ContactListView* view = ViewOf(list))
        view->showRow(row);
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

}  // namespace ui
