#include "find_lines.h"

#include "line_settings.h"

#include <QStringList>

#include <algorithm>

QList<TzFindLine> SearchSweepLines(int timeout) {
    QList<TzFindLine> lines;
    QStringList rates = LineBaudRates();
    std::reverse(rates.begin(), rates.end());
    for (const QString &rate : rates) {
        const int baudRate = rate.toInt();
        for (int format = 0; format < LineFormats().size(); ++format)
            lines.append({baudRate, format, std::max(timeout, GetTimeout(baudRate))});
    }
    return lines;
}

QString FindFormatText(int format) {
    return LineFormats().value(format).section(QLatin1Char(' '), -1);
}
