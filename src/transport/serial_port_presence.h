#pragma once

#include <QString>

// Whether the port's device is there now: its device file on Unix (pseudo-terminals and links
// included), the system's list on Windows.
bool SerialPortPresent(const QString &name);
