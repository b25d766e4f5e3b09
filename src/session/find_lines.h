#pragma once

#include <QList>
#include <QString>

// The line settings of one address pass of the device search.
struct TzFindLine {
    int BaudRate = 9600;
    int Format = 0; // a row of LineFormats: 0 8N1, 1 8O1, 2 8E1, 3 8N2
    int Timeout = 100;
};

// A sweep over the line settings: every rate of LineBaudRates, fastest first, with each format;
// the time-out given, raised to each rate's minimum.
QList<TzFindLine> SearchSweepLines(int timeout);

// The format as the search list shows it: "8N2" for row 3 of LineFormats.
QString FindFormatText(int format);
