#include "utils.h"

#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <limits>

uint16_t ModbusCRC16(const TStringBytes &s, int n) {
    n = std::clamp(n, 0, s.Size());
    uint16_t crc = 0xFFFF;
    for (int p = 1; p <= n; ++p) {
        crc ^= s.ByteAt(p);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

bool TryDigitsToInt(const QString &text, int &value) {
    int64_t number = 0;
    bool anyDigit = false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            continue;
        anyDigit = true;
        number = number * 10 + (c.unicode() - u'0');
        if (number > std::numeric_limits<int32_t>::max())
            return false;
    }
    if (!anyDigit)
        return false;
    value = int(number);
    return true;
}

QString BytesToDottedDecimal(const TStringBytes &s) {
    QStringList parts;
    for (int p = 1; p < s.Size(); ++p)
        parts << QString::number(s.ByteAt(p));
    return parts.join(u'.');
}

bool IsBitSet(int64_t v, int n) {
    return n >= 0 && n < 64 && ((uint64_t(v) >> n) & 1u);
}

void ClampValue(double &v, double upper, double lower) {
    if (!(v >= lower))
        v = lower;
    if (v > upper)
        v = upper;
}

bool IsYearEndSeason() {
    return IsYearEndSeasonAt(QDateTime::currentDateTime());
}

bool IsYearEndSeasonAt(const QDateTime &now) {
    const QDate date = now.date();
    return date >= QDate(date.year(), 12, 15) || date < QDate(date.year(), 1, 10);
}

TzSplitMs SplitMs(uint32_t ms) {
    TzSplitMs split;
    split.days = ms / 86400000u;
    ms %= 86400000u;
    split.hours = ms / 3600000u;
    ms %= 3600000u;
    split.minutes = ms / 60000u;
    ms %= 60000u;
    split.seconds = ms / 1000u;
    split.milliseconds = ms % 1000u;
    return split;
}

QString TwoDigits(uint8_t value) {
    return value < 10 ? "0" + QString::number(value) : QString::number(value);
}

uint32_t GetTickCount() {
    using namespace std::chrono;
    const auto sinceStart = steady_clock::now().time_since_epoch();
    return uint32_t(duration_cast<milliseconds>(sinceStart).count());
}

QString NewGuid() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
