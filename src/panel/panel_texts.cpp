#include "panel_texts.h"

QString Hint(const char *text) {
    return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString LineFormatHint() {
    return Hint("Формат фрейма и протокола\r\n\r\nRTU, ASCII - формат\r\n\r\n8, 7 - размер байта"
                "\r\n\r\nN, O, E - чётность\r\nN - None (бит не используется)\r\nO - Odd (нечет)"
                "\r\nE - Even (чёт)\r\n\r\n1, 2 - стоповые биты");
}
