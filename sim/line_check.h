#pragma once

#include "options.h"

// The line settings the master set on its end of the pseudo-terminal. A pseudo-terminal keeps
// the baud rate, the stop bits and the odd-parity flag as set, but clears the parity-enable bit
// whatever the master asks: there even parity and none look alike.
struct MasterLine {
    int baud = 0;
    bool twoStopBits = false;
    bool parityEnabled = false;
    bool oddParity = false;
};

// Reads them from any descriptor of the terminal; false when it is no terminal.
bool readMasterLine(int ttyFd, MasterLine &line);

// Whether a module with these settings would understand the master, as far as the terminal
// tells.
bool lineMatches(const MasterLine &line, int baud, const LineFormat &format);
