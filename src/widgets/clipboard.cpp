#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void CopyTextToClipboard(const QString &text) {
    QGuiApplication::clipboard()->setText(text);
}
