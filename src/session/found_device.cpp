#include "found_device.h"

#include "find_lines.h"
#include "line_settings.h"
#include "model/register_map.h"

bool TzFindDevice::IsTarvex() const {
    return aType == TarvexMap::kTarvexDeviceType;
}

QString TzFindDevice::ListText(bool withLine) const {
    QString text = QStringLiteral("[%1] %2").arg(Addr).arg(IsTarvex() ? QStringLiteral("Tarvex")
                                                                      : QStringLiteral("Unknown"));
    if (withLine)
        text += QStringLiteral(" %1 %2").arg(BaudRate).arg(FindFormatText(Format));
    return text;
}

bool TzFindDevice::SameModule(const TzFindDevice &other) const {
    return IsTarvex() && other.IsTarvex() && Addr == other.Addr && PortName == other.PortName &&
           BaudRate == other.BaudRate && Format == other.Format;
}

QStringList TzFindDevice::CsvRow() const {
    return {QString::number(Addr), QString::number(BaudRate), LineFormats().value(Format),
            IsTarvex() ? QStringLiteral("Tarvex") : QStringLiteral("Unknown"),
            QString::fromLatin1(Answer.AsBytes().toHex('.').toUpper())};
}

QStringList FindListCsvHeader() {
    return {QStringLiteral("Адрес"), QStringLiteral("Скорость"), QStringLiteral("Формат"),
            QStringLiteral("Устройство"), QStringLiteral("Ответ")};
}
