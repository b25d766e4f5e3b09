#pragma once

#include "session/line_settings.h" // LineBaudRates, LineFormats

#include <QString>

// Texts shared by the panel's settings fields.
QString Hint(const char *text); // a hint written with "\r\n" line breaks
QString LineFormatHint();
