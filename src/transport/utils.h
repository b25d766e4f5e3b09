#pragma once

#include "string_bytes.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>

// CRC-16/MODBUS of positions 1..n of s (1 <= n <= s.Size()); placed in frames low byte first.
uint16_t ModbusCRC16(const TStringBytes &s, int n);

// All decimal digits of the text joined and converted ("COM 1 2" gives 12, "/dev/ttyUSB0" 0).
// Fails when there is no digit or the number does not fit a signed 32-bit integer.
bool TryDigitsToInt(const QString &text, int &value);

QString BytesToDottedDecimal(const TStringBytes &s); // all bytes but the last, joined by "."
bool IsBitSet(int64_t v, int n);
void ClampValue(double &v, double upper, double lower); // the upper bound wins when crossed

bool IsYearEndSeason();
bool IsYearEndSeasonAt(const QDateTime &now); // 15 December up to, not including, 10 January

struct TzSplitMs {
    uint32_t days = 0, hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
};
TzSplitMs SplitMs(uint32_t ms);
QString TwoDigits(uint8_t value);

// Milliseconds of a monotonic clock, wrapping at 2^32 like the system tick counter.
uint32_t GetTickCount();

// A new GUID in braced upper-case text form.
QString NewGuid();
