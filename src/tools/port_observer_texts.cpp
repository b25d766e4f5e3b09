#include "port_observer_texts.h"

#include <QStringList>

namespace {

template <typename ByteText> QString JoinBytes(const QByteArray &bytes, ByteText byteText) {
    QStringList parts;
    parts.reserve(bytes.size());
    for (const char byte : bytes)
        parts << byteText(uint8_t(byte));
    return parts.join(QLatin1Char('.'));
}

} // namespace

QString FrameHexText(const QByteArray &bytes) {
    return JoinBytes(bytes, [](uint8_t b) {
        return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    });
}

QString FrameDecText(const QByteArray &bytes) {
    return JoinBytes(
        bytes, [](uint8_t b) { return QStringLiteral("%1").arg(b, 2, 10, QLatin1Char('0')); });
}

QString RegisterText(int reg) {
    return QStringLiteral("%1 (0x%2)").arg(reg).arg(QString::number(uint32_t(reg), 16).toUpper());
}

QString FunctionText(int func) {
    return QString::number(uint32_t(func), 16).toUpper().rightJustified(2, QLatin1Char('0')) +
           QLatin1Char('h');
}

QString ElapsedText(uint32_t ms) {
    return QStringLiteral("%1 мс").arg(ms);
}
