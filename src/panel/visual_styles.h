#pragma once

#include <QList>
#include <QString>

// The looks the panel offers, by the numbers the options file stores (12 "Terminal" by default).
struct TzVisualStyle {
    int Number;
    QString Name;
};

const QList<TzVisualStyle> &VisualStyles(); // in the order the style list shows them
int VisualStyleIndex(int number);           // position in that list, -1 when unknown

// Applies a look to the whole application: a Qt style and a palette. Unknown numbers do nothing.
bool ApplyVisualStyle(int number);
