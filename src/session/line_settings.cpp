#include "line_settings.h"

#include "model/register_map.h"
#include "transport/utils.h"

#include <QtGlobal>

const QStringList &LineBaudRates() {
    static const QStringList rates = {"1200",  "2400",  "4800",  "9600",  "14400",
                                      "19200", "28800", "38400", "57600", "115200"};
    return rates;
}

const QStringList &LineFormats() {
    static const QStringList formats = {"MODBUS RTU 8N1", "MODBUS RTU 8O1", "MODBUS RTU 8E1",
                                        "MODBUS RTU 8N2"};
    return formats;
}

QString ShortFormatText(int format) {
    return LineFormats().value(qBound(0, format, 3)).mid(QStringLiteral("MODBUS ").size());
}

int GetTimeout(int baudRate) {
    switch (baudRate) {
    case 1200:
        return 150;
    case 2400:
        return 80;
    case 4800:
        return 50;
    case 9600:
        return 30;
    case 14400:
        return 20;
    case 19200:
        return 15;
    case 28800:
    case 38400:
    case 57600:
    case 115200:
        return 10;
    default:
        return 150;
    }
}

bool CheckTimeout(int timeout, int baudRate) {
    return timeout >= GetTimeout(baudRate);
}

QString PortTitle(const QString &portName) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(PortNumber(portName));
#else
    return portName;
#endif
}

int PortNumber(const QString &portName) {
    int number = 0;
    return TryDigitsToInt(portName, number) ? number : 0;
}

QString ModuleFormatText(int code) {
    static const char *const kModuleFormats[] = {"",        "ASCII 7O1", "ASCII 7E1", "ASCII 7N2",
                                                 "RTU 8N1", "RTU 8O1",   "RTU 8E1",   "RTU 8N2"};
    return code >= 1 && code <= 7 ? QString::fromLatin1(kModuleFormats[code]) : QString();
}

int ModuleFormatRow(int code) {
    const int row = code - TarvexMap::kRtuFormatCodeFirst;
    return row >= 0 && row < LineFormats().size() ? row : -1;
}
