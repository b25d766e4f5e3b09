#pragma once

#include <QString>
#include <QStringList>

// Texts shared by the panel's settings fields.
QString Hint(const char *text); // a hint written with "\r\n" line breaks
const QStringList &LineBaudRates();
const QStringList &LineFormats();
QString LineFormatHint();
