#include "port_observer_texts.h"

// Both views are built for every record on a line that may carry thousands a second, so they
// are written character by character.
QString FrameHexText(const QByteArray &bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        if (!text.isEmpty())
            text += QLatin1Char('.');
        text += QLatin1Char(kDigits[uint8_t(byte) >> 4]);
        text += QLatin1Char(kDigits[uint8_t(byte) & 0x0F]);
    }
    return text;
}

QString FrameDecText(const QByteArray &bytes) {
    QString text;
    text.reserve(bytes.size() * 4);
    for (const char byte : bytes) {
        const int value = uint8_t(byte);
        if (!text.isEmpty())
            text += QLatin1Char('.');
        if (value >= 100)
            text += QLatin1Char(char('0' + value / 100));
        text += QLatin1Char(char('0' + value / 10 % 10));
        text += QLatin1Char(char('0' + value % 10));
    }
    return text;
}

QString RegisterText(int reg) {
    return QStringLiteral("%1 (0x%2)").arg(reg).arg(QString::number(uint32_t(reg), 16).toUpper());
}

QString FunctionText(int func) {
    return QString::number(uint32_t(func), 16).toUpper().rightJustified(2, QLatin1Char('0')) +
           QLatin1Char('h');
}

QString ElapsedText(uint32_t ms) {
    return QString::number(ms) + QStringLiteral(" мс");
}
