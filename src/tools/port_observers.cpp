#include "port_observers.h"

QList<TzPortObserver *> &PortObservers() {
    static QList<TzPortObserver *> observers;
    return observers;
}

namespace {

// Walks a snapshot of the list, skipping an observer that closed while an earlier one ran.
template <typename Call> void ForEachObserver(Call call) {
    const QList<TzPortObserver *> snapshot = PortObservers();
    for (TzPortObserver *observer : snapshot)
        if (PortObservers().contains(observer))
            call(observer);
}

} // namespace

void ObserversAddRequest(const TzPortObsRec &rec) {
    const TzPortObsRec copy = rec;
    ForEachObserver([&](TzPortObserver *observer) { observer->AddRequest(copy); });
}

void ObserversAddAnswer(const TzPortObsRec &rec) {
    const TzPortObsRec copy = rec;
    ForEachObserver([&](TzPortObserver *observer) { observer->AddAnswer(copy); });
}
