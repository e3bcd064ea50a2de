#pragma once
// A call that Qt's event loop makes later, once, however often it is asked
// for before then.
#include <QMetaObject>
#include <QObject>

namespace ui {

// Asks Qt's event loop to make call once; queued, a member of object, tells
// whether a call is waiting. The call goes with object.
template <typename Call>
void CallOnceLater(QObject* object, bool& queued, Call call)
{
    if (queued)
        return;
    queued = true;
    QMetaObject::invokeMethod(
        object,
        [&queued, call] {
            queued = false;
            call();
        },
        Qt::QueuedConnection);
}

}  // namespace ui
