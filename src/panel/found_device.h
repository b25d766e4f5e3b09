#pragma once

#include "transport/string_bytes.h"

#include <QString>

// A module the search found: the connection settings under which it answered.
struct TzFindDevice {
    int ComPortIndx = -1; // positions in the panel's lists when the answer arrived
    int Addr = 0;
    int BaudRateIndx = -1;
    int FormatIndx = -1;
    QString Timeout; // the time-out field's text
    TStringBytes Answer;
};
