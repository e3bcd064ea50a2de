// Context menus: opened with a right click, the Menu key or Shift+F10; an
// entry chosen is a widget event of its number.
#include "ui/qt_internal.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

namespace ui {

using namespace impl;

namespace {

// Where a menu opened from the keyboard appears: under the current row of a
// list while that is in sight, else at the top left of the list's rows, or
// half-way down the left edge of any other widget.
QPoint KeyboardPosition(QWidget* widget)
{
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        QWidget* rows = view->viewport();
        const QRect row = view->visualRect(view->currentIndex());
        if (row.isValid() && rows->rect().intersects(row))
            return rows->mapToGlobal(QPoint(std::max(row.left(), 0) + row.height(), row.bottom()));
        return rows->mapToGlobal(QPoint(0, 0));
    }
    return widget->mapToGlobal(QPoint(0, widget->height() / 2));
}

void OpenMenu(int number, const QPoint& at)
{
    WidgetEntry* entry = EntryOf(number);
    // A second request while a menu is open (the X11 platform turns the
    // Menu key into a context menu event of its own) opens no second menu.
    if (!entry || entry->menu.empty() || QApplication::activePopupWidget())
        return;
    // Copies: asking which entries are enabled runs the program's code.
    const std::vector<MenuEntry> entries = entry->menu;
    const std::function<bool(int)> enabled = entry->menuEnabled;
    const int window = entry->window;
    QPointer<QWidget> owner = entry->widget;
    SyncLists();
    auto* menu = new QMenu(owner);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuEntry& e : entries) {
        QString text = Q(e.text);
        text.replace(u'&', QStringLiteral("&&"));  // shown as it is, no shortcut letter
        QAction* action = menu->addAction(text);
        action->setEnabled(!enabled || enabled(e.number));
        QObject::connect(action, &QAction::triggered, menu,
                         [number = e.number, window] { PushEvent(Event::Widget, number, window); });
    }
    if (!owner) {
        delete menu;
        return;
    }
    menu->popup(at);
}

// Watches a widget (and the rows area of a list, where the mouse is) for
// what opens its menu.
class MenuOpener : public QObject {
public:
    MenuOpener(int number, QObject* parent) : QObject(parent), number_(number) {}

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        WidgetEntry* entry = EntryOf(number_);
        if (!entry)
            return false;
        if (event->type() == QEvent::ContextMenu) {
            auto* e = static_cast<QContextMenuEvent*>(event);
            OpenMenu(number_, e->reason() == QContextMenuEvent::Mouse ? e->globalPos()
                                                                       : KeyboardPosition(entry->widget));
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            auto* e = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers modifiers = e->modifiers() & ~Qt::KeypadModifier;
            if ((e->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
                (e->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
                OpenMenu(number_, KeyboardPosition(entry->widget));
                return true;
            }
        }
        return false;
    }

private:
    int number_;
};

}  // namespace

void SetContextMenu(int widget, const std::vector<MenuEntry>& entries, std::function<bool(int entry)> enabled)
{
    WidgetEntry* entry = EntryOf(widget);
    if (!entry)
        return;
    entry->menu = entries;
    entry->menuEnabled = std::move(enabled);
    if (entry->menuOpener)
        return;
    auto* opener = new MenuOpener(widget, entry->widget);
    entry->widget->installEventFilter(opener);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(entry->widget.data()))
        area->viewport()->installEventFilter(opener);
    entry->menuOpener = opener;
}

}  // namespace ui
