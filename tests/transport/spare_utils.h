#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Utilities of the family's shared unit that the panel itself has no use for. They live with
// their tests, outside the program.

QString ByteToBitText(uint8_t b, bool lsbFirst);
QString BytesToBitText(const QByteArray &bytes, bool lsbFirst);
QByteArray ReverseBytes(const QByteArray &bytes);
uint16_t BytesToWord(uint8_t low, uint8_t high);
int RoundToStep(int value, int step); // halfway rounds up
bool ValueInRange(double value, double low, double high);

// Writes an embedded resource (":/name") to a file; throws std::runtime_error on failure.
bool SaveResourceToFile(const QString &resourceName, const QString &fileName);

int32_t TimeToMs(uint16_t hours, uint16_t minutes, uint16_t seconds, uint16_t milliseconds);
QString MsToTimeText(uint32_t ms); // "1:02:03.4": whole days dropped, ms without leading zeros

// Returns after ms milliseconds, handling GUI events every 10 ms meanwhile.
void WaitWithMessages(uint32_t ms);
