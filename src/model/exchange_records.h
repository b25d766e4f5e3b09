#pragma once

#include "transport/string_bytes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class TzTag;

enum TzModbusMode { mmRTU, mmASCII };

// A request that was queued and not yet answered, matched to its answer by Code.
struct TzModbusAnswer {
    TzTag *Tag = nullptr;
    uint32_t Code = 0; // the serial worker's id of the request
    TzModbusMode Mode = mmRTU;
    TStringBytes Cmd;
    uint32_t TimeStamp = 0;
};

// What the line monitor is told about a request or an answer.
struct TzPortObsRec {
    int Port = 0;
    int Index = 0;
    int Addr = 0;
    int Func = 0;
    int Reg = 0;
    QByteArray Cmd;
    QString Value;
    QString Name;
};
