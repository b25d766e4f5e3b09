#pragma once

#include <QString>

class QStyle;

// The application's look with the panel's tooltip timing: a tip appears 200 ms after the
// pointer comes to rest. Wraps the given style, or the default one.
QStyle *NewToolTipStyle(QStyle *base = nullptr);

// Changes the look of the whole application, keeping the tooltip timing. An unknown style name
// changes nothing.
void SetBaseStyle(const QString &styleName);
