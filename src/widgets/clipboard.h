#pragma once

#include <QString>

void CopyTextToClipboard(const QString &text);
