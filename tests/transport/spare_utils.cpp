#include "spare_utils.h"

#include "transport/utils.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <stdexcept>

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

QByteArray ReverseBytes(const QByteArray &bytes) {
    QByteArray reversed = bytes;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
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

QString MsToTimeText(uint32_t ms) {
    const TzSplitMs t = SplitMs(ms);
    return QString::number(t.hours) + ":" + TwoDigits(uint8_t(t.minutes)) + ":" +
           TwoDigits(uint8_t(t.seconds)) + "." + QString::number(t.milliseconds);
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
