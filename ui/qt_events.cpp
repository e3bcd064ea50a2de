// The event queue: Qt's signals become its entries, WaitForEvent and
// PollEvent hand them out.
#include "ui/qt_internal.h"

#include <QApplication>

namespace ui {

using namespace impl;

namespace {

// Objects Qt deletes later (tool tips, parts of closed dialogs) are only
// deleted by a running event loop; the program never starts one, so they are
// deleted here, from outside any Qt handler.
void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

Event TakeEvent()
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

}  // namespace

namespace impl {

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

void SyncLists()
{
    for (auto& [n, entry] : S().widgets)
        if (entry.kind == Kind::List && entry.widget && entry.list->selectionPending())
            entry.list->syncSelection();
}

}  // namespace impl

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

}  // namespace ui
