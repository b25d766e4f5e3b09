#pragma once

#include "model/exchange_records.h"
#include "model/port_observer_entry.h"

#include <QList>

#include <cstdint>
#include <functional>

// Something that watches the line: every request the panel queues and every answer it gets.
class TzPortObserver {
public:
    virtual ~TzPortObserver() = default;
    virtual void AddRequest(const TzPortObsEntry &entry) = 0;
    virtual void AddAnswer(const TzPortObsEntry &entry) = 0;
};

// The open observers, in the order they were opened. An observer removes itself when it closes.
QList<TzPortObserver *> &PortObservers();

// Hand the record to every open observer, in list order. It is copied and rendered once, on the
// GUI thread, and every observer gets that one entry.
void ObserversAddRequest(const TzPortObsRec &rec);
void ObserversAddAnswer(const TzPortObsRec &rec);

// The millisecond tick counter behind the monitors' "Таймаут" column.
extern std::function<uint32_t()> PortObserverTicks;
