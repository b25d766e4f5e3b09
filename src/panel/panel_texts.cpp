#include "panel_texts.h"

QString Hint(const char *text) {
    return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

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

QString LineFormatHint() {
    return Hint("Формат фрейма и протокола\r\n\r\nRTU, ASCII - формат\r\n\r\n8, 7 - размер байта"
                "\r\n\r\nN, O, E - чётность\r\nN - None (бит не используется)\r\nO - Odd (нечет)"
                "\r\nE - Even (чёт)\r\n\r\n1, 2 - стоповые биты");
}
