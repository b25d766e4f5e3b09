#include "port_observers.h"

#include <QCoreApplication>
#include <QThread>

QList<TzPortObserver *> &PortObservers() {
    static QList<TzPortObserver *> observers;
    return observers;
}

namespace {

// Walks a snapshot of the list, skipping an observer that closed while an earlier one ran.
// The list belongs to the GUI thread: a record published elsewhere is handed over to it.
template <typename Call> void ForEachObserver(Call call) {
    if (QCoreApplication::instance() &&
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [call] { ForEachObserver(call); }, Qt::QueuedConnection);
        return;
    }
    const QList<TzPortObserver *> snapshot = PortObservers();
    for (TzPortObserver *observer : snapshot)
        if (PortObservers().contains(observer))
            call(observer);
}

} // namespace

void ObserversAddRequest(const TzPortObsRec &rec) {
    ForEachObserver([copy = rec](TzPortObserver *observer) { observer->AddRequest(copy); });
}

void ObserversAddAnswer(const TzPortObsRec &rec) {
    ForEachObserver([copy = rec](TzPortObserver *observer) { observer->AddAnswer(copy); });
}
