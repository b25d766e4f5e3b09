#pragma once

#include "model/exchange_records.h"

#include <QList>

// Something that watches the line: every request the panel queues and every answer it gets.
class TzPortObserver {
public:
    virtual ~TzPortObserver() = default;
    virtual void AddRequest(const TzPortObsRec &rec) = 0;
    virtual void AddAnswer(const TzPortObsRec &rec) = 0;
};

// The open observers, in the order they were opened. An observer removes itself when it closes.
QList<TzPortObserver *> &PortObservers();

// Hand a copy of the record to every open observer, in list order.
void ObserversAddRequest(const TzPortObsRec &rec);
void ObserversAddAnswer(const TzPortObsRec &rec);
