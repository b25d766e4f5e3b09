#include "port_observers.h"

#include "transport/utils.h"

#include <QCoreApplication>
#include <QThread>

std::function<uint32_t()> PortObserverTicks = [] { return GetTickCount(); };

QList<TzPortObserver *> &PortObservers() {
    static QList<TzPortObserver *> observers;
    return observers;
}

namespace {

using EntryMaker = TzPortObsEntry (*)(const TzPortObsRec &, uint32_t);
using Handler = void (TzPortObserver::*)(const TzPortObsEntry &);

// Walks a snapshot of the list, skipping an observer that closed while an earlier one ran.
// The list belongs to the GUI thread: a record published elsewhere is handed over to it.
void Publish(const TzPortObsRec &rec, EntryMaker make, Handler handler) {
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(
            app, [rec, make, handler] { Publish(rec, make, handler); }, Qt::QueuedConnection);
        return;
    }
    if (PortObservers().isEmpty())
        return;
    const TzPortObsEntry entry = make(rec, PortObserverTicks());
    const QList<TzPortObserver *> snapshot = PortObservers();
    for (TzPortObserver *observer : snapshot)
        if (PortObservers().contains(observer))
            (observer->*handler)(entry);
}

} // namespace

void ObserversAddRequest(const TzPortObsRec &rec) {
    Publish(rec, MakeRequestEntry, &TzPortObserver::AddRequest);
}

void ObserversAddAnswer(const TzPortObsRec &rec) {
    Publish(rec, MakeAnswerEntry, &TzPortObserver::AddAnswer);
}
