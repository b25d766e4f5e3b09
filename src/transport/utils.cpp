#include "utils.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <limits>
#include <stdexcept>

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

QString ByteToBitText(uint8_t b, bool lsbFirst) {
    QString text(8, u'0');
    for (int k = 0; k < 8; ++k) {
        const int bit = lsbFirst ? k : 7 - k;
        if (b & (1u << bit))
            text[k] = u'1';
    }
    return text;
}

QString BytesToBitText(const QByteArray &bytes, bool lsbFirst) {
    QString text;
    for (const char b : bytes)
        text += ByteToBitText(uint8_t(b), lsbFirst);
    return text;
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

QByteArray ReverseBytes(const QByteArray &bytes) {
    QByteArray reversed = bytes;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

QDate DateInCurrentYear(int day, int month) {
    return QDate(QDate::currentDate().year(), month, day);
}

bool IsYearEndSeason() {
    return IsYearEndSeasonAt(QDateTime::currentDateTime());
}

bool IsYearEndSeasonAt(const QDateTime &now) {
    const QDate date = now.date();
    return date >= QDate(date.year(), 12, 15) || date < QDate(date.year(), 1, 10);
}

uint16_t BytesToWord(uint8_t low, uint8_t high) {
    return uint16_t(high * 256 + low);
}

int RoundToStep(int value, int step) {
    if (step <= 0)
        return value;
    int lower = value / step * step;
    if (lower > value) // truncation went up for a negative value
        lower -= step;
    const int upper = lower + step;
    return value - lower < upper - value ? lower : upper;
}

bool ValueInRange(double value, double low, double high) {
    return low <= value && value <= high;
}

void WaitWithMessages(uint32_t ms) {
    const uint32_t start = GetTickCount();
    for (;;) {
        const bool reached = uint32_t(GetTickCount() - start) >= ms;
        QThread::msleep(10);
        QCoreApplication::processEvents();
        if (reached)
            return;
    }
}

bool SaveResourceToFile(const QString &resourceName, const QString &fileName) {
    const QString path = resourceName.startsWith(u':') ? resourceName : ":/" + resourceName;
    QFile resource(path);
    if (!resource.open(QIODevice::ReadOnly))
        throw std::runtime_error("resource not found: " + resourceName.toStdString());
    const QByteArray bytes = resource.readAll();
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        throw std::runtime_error("cannot write " + fileName.toStdString() + ": " +
                                 file.errorString().toStdString());
    return true;
}

int32_t TimeToMs(uint16_t hours, uint16_t minutes, uint16_t seconds, uint16_t milliseconds) {
    // Unsigned arithmetic: very large hour counts wrap like the 32-bit original instead of
    // overflowing a signed integer.
    const uint32_t ms = uint32_t(hours) * 3600000u + uint32_t(minutes) * 60000u +
                        uint32_t(seconds) * 1000u + milliseconds;
    return int32_t(ms);
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

QString MsToTimeText(uint32_t ms) {
    const TzSplitMs t = SplitMs(ms);
    return QString::number(t.hours) + ":" + TwoDigits(uint8_t(t.minutes)) + ":" +
           TwoDigits(uint8_t(t.seconds)) + "." + QString::number(t.milliseconds);
}

uint32_t GetTickCount() {
    using namespace std::chrono;
    const auto sinceStart = steady_clock::now().time_since_epoch();
    return uint32_t(duration_cast<milliseconds>(sinceStart).count());
}

QString NewGuid() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
