#pragma once

#include "transport/string_bytes.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// What answered a probe of the device search, and the line settings it answered under: enough to
// connect to it, to list it, and to write it into the search list's CSV file.
struct TzFindDevice {
    QString PortName; // the port's system name
    int Addr = 0;
    int BaudRate = 9600;
    int Format = 0;  // a row of LineFormats
    int Timeout = 0; // the probe's time-out, in ms
    int aType = 0;   // 73 for a Tarvex module; 0 for another responder
    TStringBytes Answer;
    uint32_t Timestamp = 0; // tick count when it answered

    bool IsTarvex() const;
    // "[16] Tarvex" or "[5] Unknown"; a sweep adds the line: "[16] Tarvex 19200 8N2".
    QString ListText(bool withLine) const;
    // A module is listed once per address and line; another responder in every pass.
    bool SameModule(const TzFindDevice &other) const;
    // Address, rate, format, "Tarvex" or "Unknown", the answer in hex: a row under
    // FindListCsvHeader.
    QStringList CsvRow() const;
};

QStringList FindListCsvHeader();
