#pragma once

#include "transport/string_bytes.h"

#include <QString>

#include <cstdint>

// A module the search found: the connection settings under which it answered.
struct TzFindDevice {
    int ComPortIndx = -1; // positions in the panel's lists when the answer arrived
    int Addr = 0;
    int BaudRateIndx = -1;
    int FormatIndx = -1;
    QString Timeout; // the time-out field's text
    int aType = 0;
    TStringBytes Answer;
    uint32_t Timestamp = 0;
    bool IsCounter = false;
};
