#pragma once

#include <QColor>

// A 24-bit colour with red in the low byte, green in the middle byte and blue in the high byte.
QColor WinColor(quint32 value);
