#pragma once

#include "exchange_records.h"

#include <QString>

#include <cstdint>

// A record made ready once for every open monitor: its frame in both number views and the
// texts of its row. The strings are shared, so each monitor keeps references, not copies.
struct TzPortObsEntry {
    TzPortObsRec Rec;
    QString CmdHex;
    QString CmdDec;
    uint32_t TickCount = 0; // tick counter when the record was published
    // Request rows only.
    QString IndexText;
    QString TimeText;
    QString RegText;
    QString FuncText;
};

TzPortObsEntry MakeRequestEntry(const TzPortObsRec &rec, uint32_t tick);
TzPortObsEntry MakeAnswerEntry(const TzPortObsRec &rec, uint32_t tick);
