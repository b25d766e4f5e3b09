#pragma once

#include <QtGlobal>

// Colours of log lines: 24-bit values with red in the low byte.
namespace LogColor {
inline constexpr quint32 DarkRed = 128, Green = 32768, Navy = 8388608;
}
